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
    QString suffix = {}; // added to a name typed without one ("csv"), before replacing is asked
};

// The chosen file, or the empty text when the dialog was cancelled. The dialog lists files
// and folders only: nothing in it deletes, renames or makes anything. Saving over a file that
// exists is asked first, under the name with its suffix.
QString askFileName(const FileDialogCall& call, QWidget* parent);
// Shows the print dialog for the printer; false when it was cancelled. It prints to printers
// only: files are made with "Save as PDF", which takes the care a file needs.
bool askPrinter(QPrinter& printer, QWidget* parent);

// The hook answers as the person would type: a name without a suffix gets the call's one.
using FileDialogHook = std::function<QString(const FileDialogCall&)>;
using PrintDialogHook = std::function<bool(QPrinter&)>;
// nullptr shows the real dialogs again.
void setFileDialogHook(FileDialogHook hook);
void setPrintDialogHook(PrintDialogHook hook);

} // namespace kalmix
