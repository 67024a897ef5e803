#include "report/mergeprogress.h"

#include "services/lang.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

namespace kalmix {

MergeProgress::MergeProgress(const QString& path, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("mergeProgress"));
    setWindowTitle(langText(308).remove(u'&'));
    setWindowModality(Qt::WindowModal);
    lblFile = new QLabel(langText(390).arg(QFileInfo(path).fileName()), this);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblFile->setTextFormat(Qt::PlainText);
    barDone = new QProgressBar(this);
    barDone->setObjectName(QStringLiteral("barDone"));
    barDone->setRange(0, kComplete);
    barDone->setValue(0);
    barDone->setTextVisible(false);
    auto* buttons = new QDialogButtonBox(this);
    cmdCancel = buttons->addButton(langText(143), QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::rejected, this, &MergeProgress::reject);
    auto* l = new QVBoxLayout(this);
    l->addWidget(lblFile);
    l->addWidget(barDone);
    l->addWidget(buttons);
    setMinimumWidth(420);
}

void MergeProgress::run(const std::function<void()>& work) {
    const std::unique_ptr<QThread> thread(QThread::create(work));
    // Queued to this thread: the bar closes once the work has ended, however early that is.
    connect(thread.get(), &QThread::finished, this, &QDialog::accept, Qt::QueuedConnection);
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [this] { barDone->setValue(progress()); });
    tick.start(50);
    thread->start();
    exec();
    thread->wait();
}

void MergeProgress::reject() {
    cancel();
    cmdCancel->setEnabled(false);
}

} // namespace kalmix
