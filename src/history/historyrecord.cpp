// The game's rounds and answers go into the history as they happen. What the file cannot take
// just now waits in memory, in order, and goes in with the next write.
#include "history/historyschema.h"
#include "history/historystore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cmath>

namespace kalmix {

using namespace history;

namespace {

// More than a very long day of practice; beyond it the oldest owed writes give way.
constexpr std::size_t kMaxOwed = 20000;

} // namespace

bool HistoryStore::run(QSqlQuery& q) {
    if (q.exec())
        return true;
    m_failCode = q.lastError().nativeErrorCode();
    return false;
}

bool HistoryStore::run(const QString& sql) {
    QSqlQuery q(m_db);
    if (q.exec(sql))
        return true;
    m_failCode = q.lastError().nativeErrorCode();
    return false;
}

void HistoryStore::forgetRounds() {
    for (Round& round : m_rounds)
        round.row = 0;
}

void HistoryStore::roundStarted(const QString& player, int kind, const QDateTime& at) {
    if (m_round && std::none_of(m_owed.begin(), m_owed.end(),
                                [&](const Owed& owed) { return owed.round == m_round; }))
        m_rounds.remove(m_round); // left without an end, and nothing of it owed
    m_round = ++m_lastRound;
    m_rounds.insert(m_round, Round{player, kind, at, 0});
    m_attempt = 0;
    // The file is opened now, so a file that cannot be used is said before the first answer.
    if (!ensureOpen(Open::Create)) {
        if (m_openFailure == Failure::Passing)
            sayBusy();
        return;
    }
    if (!m_owed.empty() && !writeOwed() && !m_owed.empty())
        sayBusy();
}

void HistoryStore::taskShown(const TaskFacts&, bool again) {
    if (!again)
        m_attempt = 0;
}

void HistoryStore::answerJudged(const TaskFacts& task, std::optional<int> answer, Outcome outcome,
                                double seconds, const QDateTime& at) {
    if (!m_round)
        return; // no round was started
    Owed owed;
    owed.round = m_round;
    owed.task = task;
    owed.given = answer;
    owed.outcome = outcome == Outcome::Right ? kRight : outcome == Outcome::Wrong ? kWrong : kHelp;
    owed.ms = static_cast<int>(std::lround(std::clamp(seconds, 0.0, 1e6) * 1000));
    owed.attempt = ++m_attempt; // a later answer of the task is a later try, stored or not
    owed.at = at;
    m_owed.push_back(std::move(owed));
    if (m_owed.size() > kMaxOwed)
        m_owed.pop_front();
    // Not said while the child plays: the round's end says it if the answers still wait. While
    // the file is held the answer is not kept waiting at all: it waits in memory instead.
    if (m_held) {
        setBusyTimeout(0);
        writeOwed();
        setBusyTimeout(kBusyMs);
    } else {
        writeOwed();
    }
}

void HistoryStore::roundEnded(const RoundSummary& summary, bool finished, const QDateTime& at) {
    if (!m_round)
        return;
    Owed end;
    end.round = std::exchange(m_round, 0);
    end.end = true;
    end.at = at;
    end.seconds = summary.seconds;
    end.finished = finished;
    m_owed.push_back(std::move(end));
    if (!writeOwed()) {
        if (!m_owed.empty())
            sayBusy();
        return;
    }
    // The journal is carried into the file and cut back while the child looks at the result.
    run(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

// Writes every owed write in one transaction. A damaged file is set aside and the writes go to
// a new one; a file busy or out of reach keeps them owed; any other failure drops them, said
// once.
bool HistoryStore::writeOwed() {
    for (int attempt = 0; attempt < 2 && !m_owed.empty(); ++attempt) {
        if (!ensureOpen(Open::Create)) {
            if (m_openFailure == Failure::Passing) {
                m_held = true;
                return false;
            }
            break; // said when the file was found unusable
        }
        if (writeOwedOnce()) {
            m_owed.clear();
            ++m_changes;
            wroteOk();
            break;
        }
        const Failure failure = failureOf(m_failCode);
        if (failure == Failure::Passing) {
            m_held = true;
            return false;
        }
        if (failure == Failure::Damaged && attempt == 0 && setAside(m_failCode))
            continue; // the writes go to a new file
        if (failure != Failure::Damaged)
            writeFailed(m_failCode);
        break;
    }
    const bool written = m_owed.empty();
    m_owed.clear();
    m_held = false;
    // Only the round being played is remembered once nothing is owed.
    for (auto it = m_rounds.begin(); it != m_rounds.end();) {
        if (it.key() == m_round)
            ++it;
        else
            it = m_rounds.erase(it);
    }
    return written;
}

bool HistoryStore::writeOwedOnce() {
    if (!m_insertAnswer) {
        m_insertAnswer = std::make_unique<QSqlQuery>(m_db);
        m_updateRound = std::make_unique<QSqlQuery>(m_db);
        if (!m_insertAnswer->prepare(QStringLiteral(
                "INSERT INTO answer(round, player, at, op, a, b, expected, given, outcome, ms, "
                "attempt, tricky) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) ||
            !m_updateRound->prepare(QStringLiteral(
                "UPDATE round SET solved = solved + ?, wrong = wrong + ?, helped = helped + ?, "
                "tasks = tasks + ?, first_right = first_right + ?, seconds = ? WHERE id = ?"))) {
            m_failCode = m_insertAnswer->lastError().nativeErrorCode();
            if (m_failCode.isEmpty())
                m_failCode = m_updateRound->lastError().nativeErrorCode();
            m_insertAnswer.reset();
            m_updateRound.reset();
            return false;
        }
    }
    // Taken for writing at once, so a file another program holds is found before anything is
    // written, within the short busy wait.
    if (!run(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    std::vector<quint64> made; // rounds whose rows this transaction writes
    bool ok = true;
    for (const Owed& owed : m_owed) {
        const auto found = m_rounds.find(owed.round);
        if (found == m_rounds.end())
            continue;
        Round& round = *found;
        if (owed.end) {
            if (!round.row)
                continue; // a round left before any answer leaves nothing behind
            QSqlQuery q(m_db);
            q.prepare(QStringLiteral(
                "UPDATE round SET ended = ?, seconds = ?, finished = ? WHERE id = ?"));
            q.addBindValue(toStored(owed.at));
            q.addBindValue(owed.seconds);
            q.addBindValue(owed.finished ? 1 : 0);
            q.addBindValue(round.row);
            ok = run(q);
        } else {
            if (!round.row) {
                ok = writeRound(round);
                made.push_back(owed.round);
            }
            ok = ok && writeAnswer(owed, round);
        }
        if (!ok)
            break;
    }
    if (ok && run(QStringLiteral("COMMIT")))
        return true;
    const QString failCode = m_failCode;
    run(QStringLiteral("ROLLBACK"));
    m_failCode = failCode;
    // Rows of this transaction are gone again, players added in it too.
    for (quint64 serial : made)
        m_rounds[serial].row = 0;
    m_playerIds.clear();
    return false;
}

// The round's row is written with its first answer.
bool HistoryStore::writeRound(Round& round) {
    const int player = playerId(round.player, true);
    if (!player)
        return false;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO round(player, started, kind) VALUES (?, ?, ?)"));
    q.addBindValue(player);
    q.addBindValue(toStored(round.started));
    q.addBindValue(round.kind);
    if (!run(q))
        return false;
    round.row = q.lastInsertId().toLongLong();
    return true;
}

bool HistoryStore::writeAnswer(const Owed& owed, Round& round) {
    const int player = playerId(round.player, true);
    if (!player)
        return false;
    const TaskFacts& task = owed.task;
    QSqlQuery& q = *m_insertAnswer;
    q.addBindValue(round.row);
    q.addBindValue(player);
    q.addBindValue(toStored(owed.at));
    q.addBindValue(operationCode(task.operation));
    q.addBindValue(task.a);
    q.addBindValue(task.b ? QVariant(*task.b) : QVariant());
    q.addBindValue(task.expected);
    q.addBindValue(owed.given ? QVariant(*owed.given) : QVariant());
    q.addBindValue(owed.outcome);
    q.addBindValue(owed.ms);
    q.addBindValue(owed.attempt);
    q.addBindValue(task.tricky ? 1 : 0);
    if (!run(q))
        return false;
    QSqlQuery& u = *m_updateRound;
    u.addBindValue(owed.outcome == kRight ? 1 : 0);
    u.addBindValue(owed.outcome == kWrong ? 1 : 0);
    u.addBindValue(owed.outcome == kHelp ? 1 : 0);
    u.addBindValue(owed.attempt == 1 ? 1 : 0);
    u.addBindValue(owed.attempt == 1 && owed.outcome == kRight ? 1 : 0);
    u.addBindValue(std::max<qint64>(0, toStored(owed.at) - toStored(round.started)));
    u.addBindValue(round.row);
    return run(u);
}

} // namespace kalmix
