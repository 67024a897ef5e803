#include "history/mergecontrol.h"

#include <QThread>
#include <memory>

namespace kalmix {

void MergeControl::run(const std::function<void()>& work) {
    const std::unique_ptr<QThread> thread(QThread::create(work));
    thread->start();
    thread->wait();
}

} // namespace kalmix
