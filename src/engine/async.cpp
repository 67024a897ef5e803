#include "engine/async.h"

#include "engine/scheduler.h"
#include "services/clock.h"

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

namespace {

// Lets the scheduler end the wait after ms; a later arming or a hold makes this call void.
void arm(const std::shared_ptr<WaitGroup::State>& state,
         const std::shared_ptr<WaitGroup::Pending>& pending, qint64 ms) {
    const quint64 number = ++pending->armed;
    std::weak_ptr<WaitGroup::State> weak = state;
    scheduler().after(static_cast<int>(ms), [weak, pending, number] {
        if (pending->done || pending->armed != number)
            return; // abandoned, held or armed again
        pending->done = true;
        if (auto s = weak.lock())
            std::erase(s->pending, pending);
        pending->handle.resume();
    });
}

} // namespace

void WaitGroup::Awaiter::await_suspend(std::coroutine_handle<> h) {
    m_pending = std::make_shared<Pending>();
    m_pending->handle = h;
    m_pending->due = clock().monotonicMs() + m_ms;
    m_pending->remaining = m_ms;
    m_state->pending.push_back(m_pending);
    if (!m_state->held)
        arm(m_state, m_pending, m_ms);
}

void WaitGroup::hold() {
    if (m_state->held)
        return;
    m_state->held = true;
    const qint64 now = clock().monotonicMs();
    for (const auto& p : m_state->pending) {
        p->remaining = std::max<qint64>(0, p->due - now);
        ++p->armed; // the scheduler's call no longer ends it
    }
}

void WaitGroup::release() {
    if (!m_state->held)
        return;
    m_state->held = false;
    const qint64 now = clock().monotonicMs();
    const std::vector<std::shared_ptr<Pending>> pending = m_state->pending;
    for (const auto& p : pending) {
        p->due = now + p->remaining;
        arm(m_state, p, p->remaining);
    }
}

void WaitGroup::cancelAll() {
    m_state->held = false;
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
