#pragma once

#include <QDateTime>
#include <QtGlobal>

namespace kalmix {

// The time of day and a monotonic clock. Durations are always measured on the monotonic one,
// so midnight or a changed system clock never cuts a wait short or freezes a game.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual qint64 monotonicMs() const = 0;
};

// The clock the program uses; tests install one of their own (nullptr restores the system's).
Clock& clock();
void setClock(Clock* c);

} // namespace kalmix
