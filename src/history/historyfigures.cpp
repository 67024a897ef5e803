// The figures of the report window, worked out from a player's answers.
#include "history/historyfigures.h"

#include "history/historyschema.h"

#include <QMap>
#include <algorithm>
#include <limits>
#include <tuple>

namespace kalmix {

using namespace history;

namespace {

// One task as the child met it: its first answer and the tries that followed.
struct Task {
    qint64 at = 0; // the first answer
    int op = 0;
    int a = 0;
    std::optional<int> b;
    int expected = 0;
    bool firstRight = false; // right at the first try, without the light bulb
    bool helped = false;
    bool settled = false; // ended right or helped
    qint64 ms = 0;        // from shown to its last answer, all tries together (64 bits: a
                          // history edited by hand may hold any time)
    int solved = 0;       // right answers without the light bulb
};

std::vector<Task> tasksOf(const AnswerRows& rows, qint64 since) {
    std::vector<Task> tasks;
    qint64 round = -1;
    bool skipping = false; // the tries of a task before the span
    for (const AnswerRow& r : rows) {
        const bool next = r.attempt <= 1 || r.round != round || (tasks.empty() && !skipping);
        round = r.round;
        if (next) {
            skipping = r.at < since;
            if (skipping)
                continue;
            tasks.push_back({r.at, r.op, r.a, r.b, r.expected, r.outcome == kRight});
        } else if (skipping) {
            continue;
        }
        Task& t = tasks.back();
        t.helped = t.helped || r.outcome == kHelp;
        t.settled = r.outcome != kWrong;
        t.ms += r.ms;
        t.solved += r.outcome == kRight ? 1 : 0;
    }
    return tasks;
}

std::optional<double> medianSeconds(std::vector<qint64> ms) {
    if (ms.empty())
        return std::nullopt;
    const size_t mid = ms.size() / 2;
    std::nth_element(ms.begin(), ms.begin() + mid, ms.end());
    double m = double(ms[mid]);
    if (ms.size() % 2 == 0)
        m = (m + double(*std::max_element(ms.begin(), ms.begin() + mid))) / 2;
    return m / 1000.0;
}

QDate dayOf(qint64 at) {
    return fromStored(at).date();
}

// The player's facts ever missed, and those of them tricky now, as "op a b" keys.
struct TrickyKeys {
    QSet<QString> missed;
    QSet<QString> tricky;
};

TrickyKeys trickyKeysOf(const AnswerRows& rows) {
    TrickyKeys keys;
    for (const AnswerRow& r : rows) {
        if (r.outcome != kRight)
            keys.missed.insert(factKey(operationName(r.op), r.a, r.b));
    }
    for (const TaskFacts& t : trickyFactsOf(rows))
        keys.tricky.insert(factKey(t.operation, t.a, t.b));
    return keys;
}

} // namespace

qint64 storedSince(const QDateTime& since) {
    return since.isValid() ? toStored(since) : std::numeric_limits<qint64>::min();
}

QList<ReportDay> answerDays(const AnswerRows& rows, QDate first, QDate last) {
    QList<ReportDay> result;
    if (!first.isValid() || !last.isValid() || last < first)
        return result;
    for (QDate d = first; d <= last; d = d.addDays(1)) {
        ReportDay day;
        day.day = d;
        result.append(day);
    }
    const qint64 since = toStored(first.startOfDay());
    for (const Task& t : tasksOf(rows, since)) {
        const qint64 i = first.daysTo(dayOf(t.at));
        if (i < 0 || i >= result.size())
            continue;
        ReportDay& d = result[i];
        d.tasks += 1;
        d.rightFirstTry += t.firstRight ? 1 : 0;
        d.solved += t.solved;
    }
    return result;
}

ReportTotals answerTotals(const AnswerRows& rows, qint64 since) {
    ReportTotals result;
    std::vector<qint64> ms;
    for (const Task& t : tasksOf(rows, since)) {
        result.tasks += 1;
        result.rightFirstTry += t.firstRight ? 1 : 0;
        result.helped += t.helped ? 1 : 0;
        if (t.settled)
            ms.push_back(t.ms);
    }
    result.medianSeconds = medianSeconds(std::move(ms));
    return result;
}

QList<ReportFact> answerFacts(const AnswerRows& rows, const QString& operation, int maxA,
                              int maxB) {
    struct Seen {
        ReportFact fact;
        int lastRun = 0; // right at the first try this many times in a row, most recent last
    };
    QMap<std::pair<int, int>, Seen> seen;
    const int op = operationCode(operation);
    for (const Task& t : tasksOf(rows, std::numeric_limits<qint64>::min())) {
        if (t.op != op || !t.b || t.a > maxA || *t.b > maxB)
            continue;
        Seen& s = seen[{t.a, *t.b}];
        s.fact.a = t.a;
        s.fact.b = *t.b;
        s.fact.tasks += 1;
        s.fact.rightFirstTry += t.firstRight ? 1 : 0;
        s.lastRun = t.firstRight ? s.lastRun + 1 : 0;
    }
    QList<ReportFact> result;
    const TrickyKeys keys = trickyKeysOf(rows);
    for (Seen& s : seen) {
        ReportFact& f = s.fact;
        const QString key = factKey(operation, f.a, f.b);
        const bool tricky = keys.tricky.contains(key);
        f.leftTricky = !tricky && keys.missed.contains(key);
        if (tricky)
            f.state = ReportFact::State::OftenWrong;
        else if (s.lastRun >= 3)
            f.state = ReportFact::State::Mastered;
        else if ((f.tasks - f.rightFirstTry) * 3 >= f.tasks)
            f.state = ReportFact::State::OftenWrong;
        else
            f.state = ReportFact::State::Learning;
        result.append(f);
    }
    return result;
}

QList<ReportTrickyTask> answerTrickyTasks(const AnswerRows& rows, qint64 since, int count) {
    using Key = std::tuple<int, int, int, int>; // operation, a, b (or -1), expected
    QMap<Key, std::pair<ReportTrickyTask, std::vector<qint64>>> seen;
    for (const Task& t : tasksOf(rows, since)) {
        auto& [task, ms] = seen[{t.op, t.a, t.b.value_or(-1), t.expected}];
        task.operation = operationName(t.op);
        task.a = t.a;
        task.b = t.b;
        task.expected = t.expected;
        task.tasks += 1;
        task.notFirstTry += t.firstRight ? 0 : 1;
        if (t.settled)
            ms.push_back(t.ms);
    }
    QList<ReportTrickyTask> result;
    const TrickyKeys keys = trickyKeysOf(rows);
    for (auto& [task, ms] : seen) {
        task.medianSeconds = medianSeconds(std::move(ms));
        const QString key = factKey(task.operation, task.a, task.b);
        task.leftTricky = !keys.tricky.contains(key) && keys.missed.contains(key);
        result.append(task);
    }
    std::stable_sort(result.begin(), result.end(), [](const auto& x, const auto& y) {
        if (x.notFirstTry != y.notFirstTry)
            return x.notFirstTry > y.notFirstTry;
        return x.medianSeconds.value_or(0) > y.medianSeconds.value_or(0);
    });
    if (count >= 0 && result.size() > count)
        result.resize(count);
    return result;
}

QList<TaskFacts> trickyFactsOf(const AnswerRows& rows) {
    QList<PastAnswer> past;
    for (const AnswerRow& r : rows) {
        const QString op = operationName(r.op);
        if (op == u"count" || op == u"symbols")
            continue;
        PastAnswer p;
        p.round = r.round;
        p.task = {0, op, r.a, r.b, r.expected};
        p.attempt = r.attempt;
        p.outcome = r.outcome == kRight   ? Outcome::Right
                    : r.outcome == kWrong ? Outcome::Wrong
                                          : Outcome::Help;
        past.append(p);
    }
    return trickyFacts(past);
}

} // namespace kalmix
