#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace kalmix {

// The practice log in a read-only window of Kalmix's own, for desktops that have no viewer
// for text files. A fixed-pitch font keeps the columns of the log lined up. The window
// deletes itself when it is closed.
class LogViewer : public QDialog {
    Q_OBJECT
public:
    LogViewer(const QString& path, QWidget* parent = nullptr);

    QPlainTextEdit* text = nullptr;
};

} // namespace kalmix
