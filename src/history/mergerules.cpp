#include "history/mergerules.h"

#include "history/historyschema.h"
#include "profiles/record.h"

#include <algorithm>

namespace kalmix::history {

namespace {

// The largest number the number ranges reach (the bounds of the range options).
qint64 largestRange() {
    static const qint64 largest = [] {
        qint64 m = 0;
        for (int option = 0; option <= 8; ++option)
            m = std::max<qint64>(m, rangeBound(option));
        return m;
    }();
    return largest;
}

// The largest factor or divisor (the factor boxes), and the largest number it is multiplied
// with: up to 10, or 20 for factors above 10.
qint64 largestFactor() {
    static const qint64 largest = [] {
        qint64 m = 0;
        for (int box = 0; box < 20; ++box)
            m = std::max<qint64>(m, factorOfBox(box));
        return m;
    }();
    return largest;
}
constexpr qint64 kLargestMultiplier = 20;

// The answer box takes six characters.
constexpr qint64 kLeastGiven = -99'999;
constexpr qint64 kLargestGiven = 999'999;

// A task may stay on the screen overnight; longer is no answer of a child.
constexpr qint64 kLongestAnswerMs = 24 * 3600 * 1000;
// A round longer than a month is no round of a child.
constexpr qint64 kLongestRoundSeconds = 31 * 24 * 3600;

bool within(qint64 v, qint64 low, qint64 high) {
    return v >= low && v <= high;
}

// The operands and the answer that counts as right, as the game's task generators make them.
bool validTask(qint64 op, qint64 a, const std::optional<qint64>& b, qint64 e) {
    const qint64 range = largestRange();
    if (op == 0) // counting: a pictures, no second operand
        return !b && a == e && within(a, 0, range);
    if (!b)
        return false;
    switch (op) {
    case 1: // adding picture symbols
    case 2: // +
        return within(a, 0, range) && within(*b, 0, range) && e == a + *b && e <= range;
    case 3: // -
        return within(a, 0, range) && within(*b, 0, a) && e == a - *b;
    case 4: // *: a times the factor b
        return within(a, 0, kLargestMultiplier) && within(*b, 0, largestFactor()) && e == a * *b;
    case 5: // /: a divided by b (also 0 divided by q)
        return within(*b, 1, std::max(largestFactor(), kLargestMultiplier)) &&
               within(e, 0, kLargestMultiplier) && a == *b * e;
    default:
        return false;
    }
}

} // namespace

StoredSpan mergeSpan(qint64 nowStored) {
    return {toStored(QDateTime(QDate(2000, 1, 1), QTime(0, 0))), nowStored + 24 * 3600};
}

bool validRound(const RoundValues& r, const StoredSpan& span) {
    return within(r.started, span.earliest, span.latest) &&
           (!r.ended || within(*r.ended, span.earliest, span.latest)) && within(r.kind, 0, 8) &&
           (!r.seconds || within(*r.seconds, 0, kLongestRoundSeconds)) && within(r.finished, 0, 1);
}

bool validAnswer(const AnswerValues& x, const StoredSpan& span) {
    return within(x.at, span.earliest, span.latest) && validTask(x.op, x.a, x.b, x.expected) &&
           (!x.given || within(*x.given, kLeastGiven, kLargestGiven)) &&
           within(x.outcome, kRight, kHelp) && within(x.ms, 0, kLongestAnswerMs) &&
           within(x.attempt, 1, std::numeric_limits<qint32>::max()) && within(x.tricky, 0, 1);
}

} // namespace kalmix::history
