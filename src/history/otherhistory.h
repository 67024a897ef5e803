#pragma once

// Another computer's history file, read on the merge's own thread: checked before it is read,
// read from its tables in one read transaction within a time and row budget, and every row
// checked. Only what passes is handed on.

#include "history/mergecontrol.h"
#include "history/mergerules.h"

#include <QString>
#include <chrono>
#include <optional>
#include <vector>

namespace kalmix::history {

// What a merge may still spend: stopped by Cancel or by its time.
class MergeBudget {
public:
    explicit MergeBudget(MergeControl& control)
        : m_control(control),
          m_deadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(control.maxMs)) {}
    bool expired() const { return std::chrono::steady_clock::now() > m_deadline; }
    bool stop() const { return m_control.cancelled() || expired(); }
    MergeControl& control() const { return m_control; }

private:
    MergeControl& m_control;
    std::chrono::steady_clock::time_point m_deadline;
};

struct OtherRound {
    QString player;
    qint64 started = 0;
    std::optional<qint64> ended;
    int kind = 0;
    std::optional<int> seconds;
    int finished = 0;
    qint64 uid = 0; // 0: the file keeps no round ids, or the round was written before them
};

struct OtherAnswer {
    qint32 round = 0; // its index in the rounds read
    int op = 0;
    qint64 at = 0;
    int a = 0;
    std::optional<int> b;
    int expected = 0;
    std::optional<int> given;
    int outcome = 0;
    int ms = 0;
    int attempt = 0;
    int tricky = 0;
};

struct OtherHistory {
    enum class Failure {
        None,
        Unreadable, // cannot be opened or read, or no Kalmix history
        Newer,      // a later Kalmix's history
        Damaged,    // the database check failed, or it holds what no Kalmix writes
        TooLarge,   // beyond the file size or the row budget
        TooSlow,    // beyond the time budget
        Cancelled,
    };
    Failure failure = Failure::None;
    std::vector<OtherRound> rounds;
    std::vector<OtherAnswer> answers;
    qint64 skipped = 0; // rows that fail the checks, and the rows that belong to them
};

// Reports its progress from 0 to half of MergeControl::kComplete.
OtherHistory readOtherHistory(const QString& path, const StoredSpan& span,
                              const MergeBudget& budget);

} // namespace kalmix::history
