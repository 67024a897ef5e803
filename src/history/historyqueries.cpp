// The figures of the report window, read from the history.
#include "history/historyfigures.h"
#include "history/historyschema.h"
#include "history/historystore.h"

#include <QMap>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace kalmix {

using namespace history;

namespace {

bool byName(const QString& x, const QString& y) {
    const int c = x.compare(y, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : x < y;
}

} // namespace

const AnswerRows& HistoryStore::rowsOf(const QString& player) {
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
            {q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(2).toInt(),
             q.value(3).toInt(), b.isNull() ? std::nullopt : std::optional<int>(b.toInt()),
             q.value(5).toInt(), q.value(6).toInt(), q.value(7).toInt(), q.value(8).toInt()});
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
    return answerDays(rowsOf(player), first, last);
}

ReportTotals HistoryStore::totals(const QString& player, const QDateTime& since) {
    const qint64 from = storedSince(since);
    ReportTotals result = answerTotals(rowsOf(player), from);
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
    return answerFacts(rowsOf(player), operation, maxA, maxB);
}

QList<ReportTrickyTask> HistoryStore::trickyTasks(const QString& player, const QDateTime& since,
                                                  int count) {
    return answerTrickyTasks(rowsOf(player), storedSince(since), count);
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
