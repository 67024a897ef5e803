#pragma once

// What a row of another computer's history must hold to be added to this one: values Kalmix
// itself writes. Checked on 64-bit values as read, before anything is narrowed.

#include <QtGlobal>
#include <optional>

namespace kalmix::history {

// The times a row may carry, as stored seconds (from 2000 to a day after now).
struct StoredSpan {
    qint64 earliest = 0;
    qint64 latest = 0;
};
StoredSpan mergeSpan(qint64 nowStored);

struct RoundValues {
    qint64 started = 0;
    std::optional<qint64> ended;
    qint64 kind = 0;
    std::optional<qint64> seconds;
    qint64 finished = 0;
};

struct AnswerValues {
    qint64 at = 0;
    qint64 op = 0;
    qint64 a = 0;
    std::optional<qint64> b;
    qint64 expected = 0;
    std::optional<qint64> given;
    qint64 outcome = 0;
    qint64 ms = 0;
    qint64 attempt = 0;
    qint64 tricky = 0;
};

bool validRound(const RoundValues& r, const StoredSpan& span);
bool validAnswer(const AnswerValues& x, const StoredSpan& span);

} // namespace kalmix::history
