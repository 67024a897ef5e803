#include "engine/scheduler.h"

#include <QCoreApplication>
#include <QTimer>

namespace kalmix {

namespace {

class QtScheduler final : public Scheduler {
public:
    void after(int ms, std::function<void()> fn) override {
        QTimer::singleShot(ms, Qt::PreciseTimer, QCoreApplication::instance(), std::move(fn));
    }
};

Scheduler*& current() {
    static Scheduler* s = nullptr;
    return s;
}

} // namespace

Scheduler& scheduler() {
    if (current())
        return *current();
    static QtScheduler qt;
    return qt;
}

void setScheduler(Scheduler* s) {
    current() = s;
}

} // namespace kalmix
