// Another computer's history file is added to this one's, on a thread of its own: the other
// file is read and checked (otherhistory.cpp), then what is new is written here in one
// transaction, so a merge that fails or is cancelled changes nothing.
//
// A round is known across computers by the id drawn when it was first written (its uid), so
// two rounds that began in the same second under the same name stay two. Rounds written
// before those ids (uid 0) are known by their player and start, as they always were.
#include "history/historyschema.h"
#include "history/historystore.h"
#include "history/otherhistory.h"
#include "services/clock.h"
#include "services/lang.h"

#include <QAtomicInt>
#include <QDir>
#include <QHash>
#include <QSqlQuery>
#include <QVariant>

namespace kalmix {

using namespace history;

namespace {

QVariant orNull(const std::optional<int>& v) {
    return v ? QVariant(*v) : QVariant();
}

QVariant orNull(const std::optional<qint64>& v) {
    return v ? QVariant(*v) : QVariant();
}

// The store's file, opened a second time on the merge's thread (a connection serves the
// thread that opened it only).
class StoreConnection {
public:
    StoreConnection(const QString& path, const QString& options, int maxPages) {
        static QAtomicInt n;
        m_name = QStringLiteral("kalmix-history-merge-%1").arg(n.fetchAndAddRelaxed(1));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(options);
        m_ok = db.open();
        if (m_ok && maxPages > 0)
            QSqlQuery(db).exec(QStringLiteral("PRAGMA max_page_count=%1").arg(maxPages));
    }
    ~StoreConnection() {
        { QSqlDatabase::database(m_name, false).close(); }
        QSqlDatabase::removeDatabase(m_name);
    }
    bool ok() const { return m_ok; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
    bool m_ok = false;
};

class Writer {
public:
    Writer(QSqlDatabase db, const MergeBudget& budget)
        : m_budget(budget), m_findPlayer(db), m_addPlayer(db), m_byUid(db), m_byStart(db),
          m_legacy(db), m_claim(db), m_addRound(db), m_complete(db), m_findAnswer(db),
          m_findInRound(db), m_addAnswer(db), m_counts(db) {}

    // False when stopped or failed; nothing is kept then.
    bool write(const OtherHistory& other, MergeResult& result);

private:
    struct Local {
        qint64 id = 0;
        int player = 0;
        bool fresh = false;   // added by this merge: none of its answers is here yet
        bool sameUid = false; // the very round, known by its id
    };
    struct Counts {
        int solved = 0, wrong = 0, helped = 0, tasks = 0, firstRight = 0;
    };
    bool prepare();
    int playerId(const QString& name);
    std::optional<Local> localRound(const OtherRound& r);
    bool isPresent(const Local& round, const OtherAnswer& x);
    bool exec(QSqlQuery& q, std::initializer_list<QVariant> values) {
        for (const QVariant& v : values)
            q.addBindValue(v);
        return q.exec();
    }
    std::optional<qint64> first(QSqlQuery& q, std::initializer_list<QVariant> values) {
        if (!exec(q, values))
            return std::nullopt;
        const qint64 v = q.next() ? q.value(0).toLongLong() : 0;
        q.finish();
        return v;
    }

    const MergeBudget& m_budget;
    QSqlQuery m_findPlayer, m_addPlayer, m_byUid, m_byStart, m_legacy, m_claim, m_addRound,
        m_complete, m_findAnswer, m_findInRound, m_addAnswer, m_counts;
    QHash<QString, int> m_players;
};

bool Writer::prepare() {
    return m_findPlayer.prepare(QStringLiteral("SELECT id FROM player WHERE name = ?")) &&
           m_addPlayer.prepare(QStringLiteral("INSERT INTO player(name) VALUES (?)")) &&
           m_byUid.prepare(QStringLiteral("SELECT id FROM round WHERE player = ? AND uid = ?")) &&
           m_byStart.prepare(QStringLiteral(
               "SELECT id FROM round WHERE player = ? AND started = ? ORDER BY id LIMIT 1")) &&
           m_legacy.prepare(QStringLiteral("SELECT id FROM round WHERE player = ? AND "
                                           "started = ? AND uid = 0 ORDER BY id LIMIT 1")) &&
           m_claim.prepare(QStringLiteral("UPDATE round SET uid = ? WHERE id = ?")) &&
           m_addRound.prepare(
               QStringLiteral("INSERT INTO round(player, started, ended, kind, seconds, "
                              "finished, uid) VALUES (?, ?, ?, ?, ?, ?, ?)")) &&
           m_complete.prepare(
               QStringLiteral("UPDATE round SET ended = ?, seconds = ?, finished = ? "
                              "WHERE id = ? AND ended IS NULL")) &&
           m_findAnswer.prepare(QStringLiteral(
               "SELECT 1 FROM answer WHERE player = ? AND at = ? AND op = ? AND a = ? AND "
               "b IS ? AND expected = ? AND attempt = ? LIMIT 1")) &&
           m_findInRound.prepare(QStringLiteral(
               "SELECT 1 FROM answer WHERE player = ? AND at = ? AND op = ? AND a = ? AND "
               "b IS ? AND expected = ? AND attempt = ? AND round = ? LIMIT 1")) &&
           m_addAnswer.prepare(QStringLiteral(
               "INSERT INTO answer(round, player, at, op, a, b, expected, given, outcome, ms, "
               "attempt, tricky) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) &&
           m_counts.prepare(QStringLiteral(
               "UPDATE round SET solved = solved + ?, wrong = wrong + ?, helped = helped + ?, "
               "tasks = tasks + ?, first_right = first_right + ? WHERE id = ?"));
}

int Writer::playerId(const QString& name) {
    if (const auto it = m_players.constFind(name); it != m_players.constEnd())
        return *it;
    auto id = first(m_findPlayer, {name});
    if (id && !*id) {
        id = exec(m_addPlayer, {name})
                 ? std::optional<qint64>(m_addPlayer.lastInsertId().toLongLong())
                 : std::nullopt;
    }
    if (!id || !*id)
        return 0;
    m_players.insert(name, int(*id));
    return int(*id);
}

std::optional<Writer::Local> Writer::localRound(const OtherRound& r) {
    Local local;
    local.player = playerId(r.player);
    if (!local.player)
        return std::nullopt;
    std::optional<qint64> id;
    if (r.uid != 0) {
        id = first(m_byUid, {local.player, r.uid});
        local.sameUid = id && *id;
        // The round came here before through a program that kept no round ids: it takes its id.
        if (id && !*id) {
            id = first(m_legacy, {local.player, r.started});
            if (id && *id && !exec(m_claim, {r.uid, *id}))
                return std::nullopt;
        }
    } else {
        id = first(m_byStart, {local.player, r.started});
    }
    if (!id)
        return std::nullopt;
    if (*id) {
        local.id = *id;
        // A round that had not ended when it came here before is completed now.
        if (r.ended && !exec(m_complete, {*r.ended, orNull(r.seconds), r.finished, local.id}))
            return std::nullopt;
        return local;
    }
    if (!exec(m_addRound, {local.player, r.started, orNull(r.ended), r.kind, orNull(r.seconds),
                           r.finished, r.uid}))
        return std::nullopt;
    local.id = m_addRound.lastInsertId().toLongLong();
    local.fresh = true;
    return local;
}

// Present already: the same task and try at the same time, in the very round when the round is
// known by its id (the same task may be answered in the same second on two computers).
bool Writer::isPresent(const Local& round, const OtherAnswer& x) {
    QSqlQuery& q = round.sameUid ? m_findInRound : m_findAnswer;
    q.addBindValue(round.player);
    q.addBindValue(x.at);
    q.addBindValue(x.op);
    q.addBindValue(x.a);
    q.addBindValue(orNull(x.b));
    q.addBindValue(x.expected);
    q.addBindValue(x.attempt);
    if (round.sameUid)
        q.addBindValue(round.id);
    const bool present = q.exec() && q.next();
    q.finish();
    return present;
}

bool Writer::write(const OtherHistory& other, MergeResult& result) {
    if (!prepare())
        return false;
    std::vector<Local> rounds;
    rounds.reserve(other.rounds.size());
    for (const OtherRound& r : other.rounds) {
        const auto local = localRound(r);
        if (!local)
            return false;
        rounds.push_back(*local);
        result.rounds += local->fresh ? 1 : 0;
    }
    QHash<qint64, Counts> touched;
    const size_t total = std::max<size_t>(1, other.answers.size());
    for (size_t i = 0; i < other.answers.size(); ++i) {
        if ((i & 255) == 0) {
            m_budget.control().setProgress(
                int(MergeControl::kComplete / 2 + i * (MergeControl::kComplete / 2) / total));
            if (m_budget.stop())
                return false;
        }
        const OtherAnswer& x = other.answers[i];
        const Local& round = rounds[x.round];
        if (!round.fresh && isPresent(round, x))
            continue;
        if (!exec(m_addAnswer, {round.id, round.player, x.at, x.op, x.a, orNull(x.b), x.expected,
                                orNull(x.given), x.outcome, x.ms, x.attempt, x.tricky}))
            return false;
        Counts& c = touched[round.id];
        c.solved += x.outcome == kRight;
        c.wrong += x.outcome == kWrong;
        c.helped += x.outcome == kHelp;
        c.tasks += x.attempt == 1;
        c.firstRight += x.attempt == 1 && x.outcome == kRight;
        ++result.answers;
    }
    // The rounds' own counts follow the answers they now hold.
    for (auto it = touched.cbegin(); it != touched.cend(); ++it) {
        const Counts& c = it.value();
        if (!exec(m_counts, {c.solved, c.wrong, c.helped, c.tasks, c.firstRight, it.key()}))
            return false;
    }
    return !m_budget.stop();
}

QString refusal(OtherHistory::Failure failure, const QString& path, const MergeControl& control) {
    const QString shown = QDir::toNativeSeparators(path);
    switch (failure) {
    case OtherHistory::Failure::Newer:
        return langText(387).arg(shown);
    case OtherHistory::Failure::Damaged:
        return langText(386).arg(shown);
    case OtherHistory::Failure::TooLarge:
        return langText(388).arg(shown);
    case OtherHistory::Failure::TooSlow:
        return langText(389).arg(shown).arg((control.maxMs + 59'999) / 60'000);
    default:
        return langText(272).arg(shown);
    }
}

// The merge's own thread: no message and no text of the language file is made here.
struct MergeJob {
    QString path;
    QString store;
    QString options;
    int maxPages = 0;
    qint64 now = 0; // stored seconds

    struct Ending {
        MergeResult result;
        OtherHistory::Failure refused = OtherHistory::Failure::None;
        bool notSaved = false; // this computer's history could not be written
    };

    Ending run(MergeControl& control) const {
        Ending out;
        const MergeBudget budget(control);
        const OtherHistory other = readOtherHistory(path, mergeSpan(now), budget);
        if (other.failure != OtherHistory::Failure::None) {
            out.result.cancelled = other.failure == OtherHistory::Failure::Cancelled;
            out.refused = out.result.cancelled ? OtherHistory::Failure::None : other.failure;
            return out;
        }
        const StoreConnection connection(store, options, maxPages);
        QSqlDatabase db = connection.db();
        QSqlQuery q(db);
        // Taken for writing at once: a write lock taken later could find the file changed.
        if (!connection.ok() || !q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            out.notSaved = true;
            return out;
        }
        Writer writer(db, budget);
        if (writer.write(other, out.result) && q.exec(QStringLiteral("COMMIT"))) {
            // What the merge wrote is carried into the file, and the journal is emptied (it
            // stays as it is while another program reads the file).
            q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            out.result.ok = true;
            out.result.skipped = int(other.skipped);
            control.setProgress(MergeControl::kComplete);
            return out;
        }
        q.exec(QStringLiteral("ROLLBACK"));
        out.result = {};
        out.result.cancelled = control.cancelled();
        if (!out.result.cancelled && budget.expired())
            out.refused = OtherHistory::Failure::TooSlow;
        else if (!out.result.cancelled)
            out.notSaved = true;
        return out;
    }
};

} // namespace

MergeResult HistoryStore::merge(const QString& path, MergeControl& control) {
    MergeResult result;
    // The file is made or brought to this version here, where its messages can be shown.
    if (!ensureOpen(Open::Create)) {
        result.error = langText(270).arg(QDir::toNativeSeparators(this->path()));
        return result;
    }
    const MergeJob job{path, this->path(), m_options, m_maxPages, toStored(clock().now())};
    MergeJob::Ending out;
    control.run([&] { out = job.run(control); });
    ++m_changes;
    result = out.result;
    if (out.refused != OtherHistory::Failure::None)
        result.error = refusal(out.refused, path, control);
    else if (out.notSaved)
        result.error = langText(270).arg(QDir::toNativeSeparators(this->path()));
    return result;
}

} // namespace kalmix
