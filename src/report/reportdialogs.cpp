#include "report/reportdialogs.h"

#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace kalmix {

namespace {
FileDialogHook& fileHook() {
    static FileDialogHook h;
    return h;
}
PrintDialogHook& printHook() {
    static PrintDialogHook h;
    return h;
}
} // namespace

void setFileDialogHook(FileDialogHook hook) {
    fileHook() = std::move(hook);
}

void setPrintDialogHook(PrintDialogHook hook) {
    printHook() = std::move(hook);
}

QString askFileName(const FileDialogCall& call, QWidget* parent) {
    if (fileHook())
        return fileHook()(call);
    return call.save
               ? QFileDialog::getSaveFileName(parent, call.caption, call.suggested, call.filter)
               : QFileDialog::getOpenFileName(parent, call.caption, call.suggested, call.filter);
}

bool askPrinter(QPrinter& printer, QWidget* parent) {
    if (printHook())
        return printHook()(printer);
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace kalmix
