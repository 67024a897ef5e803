#pragma once

#include "history/mergecontrol.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kalmix {

// While another computer's history is added: a bar that shows how far it is, and Cancel. The
// merge runs on a thread of its own, so the windows stay painted and answer meanwhile; Cancel
// (or closing the bar's window) stops it, and the history stays as it was.
class MergeProgress final : public QDialog, public MergeControl {
    Q_OBJECT
public:
    MergeProgress(const QString& path, QWidget* parent);

    // Shows the bar until work has ended.
    void run(const std::function<void()>& work) override;

    QLabel* lblFile = nullptr;
    QProgressBar* barDone = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    // Escape and the window's close button cancel; the window closes once the work has stopped.
    void reject() override;
};

} // namespace kalmix
