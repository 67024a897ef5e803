#pragma once

// A merge of another computer's history runs on a thread of its own: it reports here how far
// it is and learns here that it is to stop. The caller decides how the wait looks (the report
// window shows a progress bar with Cancel).

#include <QtGlobal>
#include <atomic>
#include <functional>

namespace kalmix {

class MergeControl {
public:
    virtual ~MergeControl() = default;

    // Runs work on a thread of its own and returns once it has ended. This one just waits.
    virtual void run(const std::function<void()>& work);

    // From any thread.
    void cancel() { m_cancelled = true; }
    bool cancelled() const { return m_cancelled; }
    // How far the work is, 0 to kComplete; set on the merge's thread.
    static constexpr int kComplete = 1000;
    virtual void setProgress(int part) { m_done = qBound(0, part, kComplete); }
    int progress() const { return m_done; }

    // What one merge may take: beyond these the file is refused and nothing is added.
    qint64 maxFileBytes = qint64(512) << 20; // the file with its write-ahead log
    qint64 maxRows = 3'000'000;              // players, rounds and answers together
    qint64 maxMs = 300'000;                  // reading and adding, without the caller's wait

private:
    std::atomic<bool> m_cancelled{false};
    std::atomic<int> m_done{0};
};

} // namespace kalmix
