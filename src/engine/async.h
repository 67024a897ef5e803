#pragma once

#include <QtGlobal>
#include <coroutine>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

namespace kalmix {

// Thrown out of a wait whose game was abandoned: it unwinds the waiting procedure and every
// procedure that awaits it. No procedure's error handler catches it.
struct GameCancelled {};

// A procedure that can pause: a coroutine that awaits waits and other such procedures.
// It starts when awaited, or when started on its own with start(), after which it owns itself.
class [[nodiscard]] Async {
public:
    struct promise_type {
        std::coroutine_handle<> continuation;
        std::exception_ptr error;
        bool detached = false;

        Async get_return_object() {
            return Async(std::coroutine_handle<promise_type>::from_promise(*this));
        }
        std::suspend_always initial_suspend() noexcept { return {}; }
        struct Final {
            bool await_ready() noexcept { return false; }
            std::coroutine_handle<> await_suspend(std::coroutine_handle<promise_type> h) noexcept;
            void await_resume() noexcept {}
        };
        Final final_suspend() noexcept { return {}; }
        void return_void() {}
        void unhandled_exception() { error = std::current_exception(); }
    };

    Async(Async&& other) noexcept : m_h(std::exchange(other.m_h, {})) {}
    Async& operator=(Async&&) = delete;
    ~Async() {
        if (m_h)
            m_h.destroy();
    }

    bool await_ready() const noexcept { return !m_h || m_h.done(); }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept {
        m_h.promise().continuation = awaiting;
        return m_h;
    }
    void await_resume() {
        if (m_h && m_h.promise().error)
            std::rethrow_exception(m_h.promise().error);
    }

    // Runs the procedure on its own, as an event handler does.
    void start() &&;

private:
    explicit Async(std::coroutine_handle<promise_type> h) : m_h(h) {}
    std::coroutine_handle<promise_type> m_h;
};

// The waits of one owner (the game), which can all be abandoned at once, or held while a modal
// window is shown: a held wait keeps what was left of it and runs that out after the hold.
class WaitGroup {
public:
    WaitGroup();
    ~WaitGroup();
    WaitGroup(const WaitGroup&) = delete;
    WaitGroup& operator=(const WaitGroup&) = delete;

    struct Pending {
        std::coroutine_handle<> handle;
        bool done = false;
        bool cancelled = false;
        qint64 due = 0;       // monotonic milliseconds at which it ends
        qint64 remaining = 0; // while held: what is left of it
        quint64 armed = 0;    // only the scheduler's call of this number resumes it
    };
    struct State {
        std::vector<std::shared_ptr<Pending>> pending;
        bool held = false;
    };

    class Awaiter {
    public:
        Awaiter(std::shared_ptr<State> state, int ms) : m_state(std::move(state)), m_ms(ms) {}
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> h);
        void await_resume() const {
            if (m_pending->cancelled)
                throw GameCancelled{};
        }

    private:
        std::shared_ptr<State> m_state;
        int m_ms;
        std::shared_ptr<Pending> m_pending;
    };

    // A pause of the given seconds; the scheduler resumes the procedure afterwards.
    Awaiter wait(double seconds) const;
    // Every wait pending now resumes at once and unwinds its procedures with GameCancelled.
    void cancelAll();
    // While held no wait ends, and the time does not count for them; release() lets each run
    // out what was left of it when the hold began. Waits begun during the hold start then.
    void hold();
    void release();
    bool held() const { return m_state->held; }
    std::size_t pending() const { return m_state->pending.size(); }

private:
    std::shared_ptr<State> m_state;
};

} // namespace kalmix
