#include "services/clock.h"

#include <QElapsedTimer>

namespace kalmix {

namespace {
class SystemClock final : public Clock {
public:
    SystemClock() { m_timer.start(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 monotonicMs() const override { return m_timer.elapsed(); }

private:
    QElapsedTimer m_timer;
};

Clock*& current() {
    static Clock* c = nullptr;
    return c;
}
} // namespace

Clock& clock() {
    static SystemClock system;
    return current() ? *current() : system;
}

void setClock(Clock* c) {
    current() = c;
}

} // namespace kalmix
