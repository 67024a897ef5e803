// The figures of the report window, read from the history.
#include "history/historyschema.h"
#include "history/historystore.h"

#include <QMap>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
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

std::vector<Task> tasksOf(const std::vector<HistoryStore::Row>& rows, qint64 since) {
    std::vector<Task> tasks;
    int round = -1;
    bool skipping = false; // the tries of a task before the span
    for (const HistoryStore::Row& r : rows) {
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

qint64 stored(const QDateTime& t) {
    return t.isValid() ? toStored(t) : std::numeric_limits<qint64>::min();
}

QDate dayOf(qint64 at) {
    return fromStored(at).date();
}

bool byName(const QString& x, const QString& y) {
    const int c = x.compare(y, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : x < y;
}

} // namespace

const std::vector<HistoryStore::Row>& HistoryStore::rowsOf(const QString& player) {
    if (player == m_cachedPlayer && m_cachedAt == m_changes)
        return m_rows;
    m_rows.clear();
    m_cachedPlayer = player;
    m_cachedAt = m_changes;
    if (!ensureOpen(Open::ExistingOnly))
        return m_rows;
    const int id = playerId(player, false);
    if (!id)
        return m_rows;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    // An answer with a code no Kalmix writes (an older merge kept whatever it was given) is
    // no task of the child's.
    q.prepare(QStringLiteral("SELECT at, round, op, a, b, expected, outcome, ms, attempt "
                             "FROM answer WHERE player = ? AND op BETWEEN 0 AND 5 AND "
                             "outcome BETWEEN 0 AND 2 AND attempt >= 1 ORDER BY at, id"));
    q.addBindValue(id);
    if (!q.exec())
        return m_rows;
    while (q.next()) {
        const QVariant b = q.value(4);
        m_rows.push_back(
            {q.value(0).toLongLong(), q.value(1).toInt(), q.value(2).toInt(), q.value(3).toInt(),
             b.isNull() ? std::nullopt : std::optional<int>(b.toInt()), q.value(5).toInt(),
             q.value(6).toInt(), q.value(7).toInt(), q.value(8).toInt()});
    }
    return m_rows;
}

QList<ReportPlayer> HistoryStore::players() {
    QList<ReportPlayer> result;
    if (!ensureOpen(Open::ExistingOnly))
        return result;
    const QStringList present = presentPlayers();
    QStringList here, gone;
    QSqlQuery q(m_db);
    q.exec(QStringLiteral("SELECT name FROM player WHERE EXISTS (SELECT 1 FROM round WHERE "
                          "round.player = player.id)"));
    while (q.next()) {
        const QString name = q.value(0).toString();
        (present.contains(name) ? here : gone).append(name);
    }
    std::sort(here.begin(), here.end(), byName);
    std::sort(gone.begin(), gone.end(), byName);
    for (const QString& name : here)
        result.append(ReportPlayer{name, false});
    for (const QString& name : gone)
        result.append(ReportPlayer{name, true});
    return result;
}

QList<ReportDay> HistoryStore::days(const QString& player, QDate first, QDate last) {
    QList<ReportDay> result;
    if (!first.isValid() || !last.isValid() || last < first)
        return result;
    for (QDate d = first; d <= last; d = d.addDays(1)) {
        ReportDay day;
        day.day = d;
        result.append(day);
    }
    const qint64 since = toStored(first.startOfDay());
    for (const Task& t : tasksOf(rowsOf(player), since)) {
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

ReportTotals HistoryStore::totals(const QString& player, const QDateTime& since) {
    ReportTotals result;
    const qint64 from = stored(since);
    std::vector<qint64> ms;
    for (const Task& t : tasksOf(rowsOf(player), from)) {
        result.tasks += 1;
        result.rightFirstTry += t.firstRight ? 1 : 0;
        result.helped += t.helped ? 1 : 0;
        if (t.settled)
            ms.push_back(t.ms);
    }
    result.medianSeconds = medianSeconds(std::move(ms));
    const int id = m_db.isOpen() ? playerId(player, false) : 0;
    if (id) {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("SELECT count(*) FROM round WHERE player = ? AND started >= ?"));
        q.addBindValue(id);
        q.addBindValue(from);
        if (q.exec() && q.next())
            result.rounds = q.value(0).toInt();
    }
    return result;
}

QList<ReportFact> HistoryStore::facts(const QString& player, const QString& operation, int maxA,
                                      int maxB) {
    struct Seen {
        ReportFact fact;
        int lastRun = 0; // right at the first try this many times in a row, most recent last
    };
    QMap<std::pair<int, int>, Seen> seen;
    const int op = operationCode(operation);
    for (const Task& t : tasksOf(rowsOf(player), std::numeric_limits<qint64>::min())) {
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
    const TrickyKeys keys = trickyKeys(player);
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

QList<ReportTrickyTask> HistoryStore::trickyTasks(const QString& player, const QDateTime& since,
                                                  int count) {
    using Key = std::tuple<int, int, int, int>; // operation, a, b (or -1), expected
    QMap<Key, std::pair<ReportTrickyTask, std::vector<qint64>>> seen;
    for (const Task& t : tasksOf(rowsOf(player), stored(since))) {
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
    const TrickyKeys keys = trickyKeys(player);
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

// From the rounds' own counts, so a class of a million answers is read in one pass over its
// rounds.
QList<ReportClassRow> HistoryStore::classOverview(const QDateTime& now) {
    const QStringList present = presentPlayers();
    QMap<QString, ReportClassRow> rows;
    for (const QString& name : present)
        rows[name].player = name;
    if (ensureOpen(Open::ExistingOnly)) {
        const qint64 weekAgo = toStored(now.addDays(-7));
        const qint64 twoWeeksAgo = toStored(now.addDays(-14));
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral(
            "SELECT p.name, max(r.started), sum(r.started >= :w1), sum(r.tasks), "
            "sum(r.first_right), sum(CASE WHEN r.started >= :w1 THEN r.tasks ELSE 0 END), "
            "sum(CASE WHEN r.started >= :w1 THEN r.first_right ELSE 0 END), "
            "sum(CASE WHEN r.started >= :w2 AND r.started < :w1 THEN r.tasks ELSE 0 END), "
            "sum(CASE WHEN r.started >= :w2 AND r.started < :w1 THEN r.first_right ELSE 0 END) "
            "FROM round r JOIN player p ON p.id = r.player GROUP BY r.player"));
        q.bindValue(QStringLiteral(":w1"), weekAgo);
        q.bindValue(QStringLiteral(":w2"), twoWeeksAgo);
        if (q.exec()) {
            while (q.next()) {
                const QString name = q.value(0).toString();
                ReportClassRow& row = rows[name];
                row.player = name;
                row.deleted = !present.contains(name);
                row.lastRound = fromStored(q.value(1).toLongLong());
                row.roundsThisWeek = q.value(2).toInt();
                row.tasks = q.value(3).toInt();
                row.shareRightFirstTry = row.tasks ? q.value(4).toDouble() / row.tasks : 0.0;
                const int lastTasks = q.value(5).toInt();
                const int beforeTasks = q.value(7).toInt();
                if (lastTasks > 0 && beforeTasks > 0) {
                    const double change =
                        q.value(6).toDouble() / lastTasks - q.value(8).toDouble() / beforeTasks;
                    row.trend = change >= 0.05 ? 1 : change <= -0.05 ? -1 : 0;
                }
            }
        }
    }
    QList<ReportClassRow> result = rows.values();
    std::sort(result.begin(), result.end(), [](const auto& x, const auto& y) {
        return x.deleted != y.deleted ? !x.deleted : byName(x.player, y.player);
    });
    return result;
}

} // namespace kalmix
