#pragma once

#include <functional>

namespace kalmix {

// Runs functions later on the user-interface thread. Waits never spin: they hand the rest of
// their procedure to the scheduler. Tests install one that runs on a virtual clock.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    virtual void after(int ms, std::function<void()> fn) = 0;
};

Scheduler& scheduler();
void setScheduler(Scheduler* s); // nullptr restores the event loop's timers

} // namespace kalmix
