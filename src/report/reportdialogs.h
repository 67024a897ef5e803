#pragma once

#include <QString>
#include <functional>

class QPrinter;
class QWidget;

namespace kalmix {

// The file and print dialogs of the report window. Tests answer them here instead of a
// person, as they answer message boxes, so that no test waits for a dialog.
struct FileDialogCall {
    bool save = true; // false: a file to open
    QString caption;
    QString suggested; // the file name offered
    QString filter;
};

// The chosen file, or the empty text when the dialog was cancelled.
QString askFileName(const FileDialogCall& call, QWidget* parent);
// Shows the print dialog for the printer; false when it was cancelled.
bool askPrinter(QPrinter& printer, QWidget* parent);

using FileDialogHook = std::function<QString(const FileDialogCall&)>;
using PrintDialogHook = std::function<bool(QPrinter&)>;
// nullptr shows the real dialogs again.
void setFileDialogHook(FileDialogHook hook);
void setPrintDialogHook(PrintDialogHook hook);

} // namespace kalmix
