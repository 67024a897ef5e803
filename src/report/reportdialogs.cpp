#include "report/reportdialogs.h"

#include <QFileDialog>
#include <QFileInfo>
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

// As the dialog does with a typed name: the suffix goes to a file name that has no dot.
QString withSuffix(const QString& path, const QString& suffix) {
    if (path.isEmpty() || suffix.isEmpty() || QFileInfo(path).fileName().contains(u'.') ||
        QFileInfo(path).isDir())
        return path;
    return path + u'.' + suffix;
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
        return withSuffix(fileHook()(call), call.suffix);
    // Qt's own dialog, whatever the desktop offers: only it can be kept from deleting,
    // renaming and making folders (a child may be at the keyboard).
    QFileDialog dialog(parent, call.caption, call.suggested, call.filter);
    dialog.setObjectName(QStringLiteral("fileDialog"));
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ReadOnly);
    dialog.setAcceptMode(call.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(call.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(call.suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

bool askPrinter(QPrinter& printer, QWidget* parent) {
    if (printHook())
        return printHook()(printer);
    QPrintDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("printDialog"));
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace kalmix
