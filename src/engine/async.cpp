#include "engine/async.h"

#include "engine/scheduler.h"

#include <QtGlobal>
#include <algorithm>
#include <cmath>

namespace kalmix {

std::coroutine_handle<>
Async::promise_type::Final::await_suspend(std::coroutine_handle<promise_type> h) noexcept {
    promise_type& p = h.promise();
    if (p.detached) {
        if (p.error) {
            try {
                std::rethrow_exception(p.error);
            } catch (const GameCancelled&) {
                // an abandoned game: nothing more to do
            } catch (const std::exception& e) {
                qWarning("Kalmix: a procedure ended with an unhandled error: %s", e.what());
            } catch (...) {
                qWarning("Kalmix: a procedure ended with an unhandled error");
            }
        }
        h.destroy();
        return std::noop_coroutine();
    }
    return p.continuation ? p.continuation : std::noop_coroutine();
}

void Async::start() && {
    std::coroutine_handle<promise_type> h = std::exchange(m_h, {});
    if (!h)
        return;
    h.promise().detached = true;
    h.resume();
}

WaitGroup::WaitGroup() : m_state(std::make_shared<State>()) {}

WaitGroup::~WaitGroup() {
    cancelAll();
}

WaitGroup::Awaiter WaitGroup::wait(double seconds) const {
    return Awaiter(m_state, static_cast<int>(std::lround(std::max(0.0, seconds) * 1000.0)));
}

void WaitGroup::Awaiter::await_suspend(std::coroutine_handle<> h) {
    m_pending = std::make_shared<Pending>();
    m_pending->handle = h;
    m_state->pending.push_back(m_pending);
    std::weak_ptr<State> state = m_state;
    scheduler().after(m_ms, [state, pending = m_pending] {
        if (pending->done)
            return; // already abandoned
        pending->done = true;
        if (auto s = state.lock())
            std::erase(s->pending, pending);
        pending->handle.resume();
    });
}

void WaitGroup::cancelAll() {
    std::vector<std::shared_ptr<Pending>> abandoned;
    abandoned.swap(m_state->pending);
    for (const auto& p : abandoned) {
        if (p->done)
            continue;
        p->done = true;
        p->cancelled = true;
        p->handle.resume();
    }
}

} // namespace kalmix
