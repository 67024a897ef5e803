#include "history/historyschema.h"

#include "history/historyfile.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace kalmix::history {

namespace {

const char* const kOperations[] = {"count", "symbols", "+", "-", "*", "/"};

// Each step brings the schema from version n to n + 1. The views are the contract other tools
// read: their columns keep their names and meanings in every later version.
const QStringList& migrations() {
    static const QStringList steps = {
        QStringLiteral(R"(
CREATE TABLE player(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
CREATE TABLE round(
    id INTEGER PRIMARY KEY, player INTEGER NOT NULL, started INTEGER NOT NULL,
    ended INTEGER, kind INTEGER NOT NULL, solved INTEGER NOT NULL DEFAULT 0,
    wrong INTEGER NOT NULL DEFAULT 0, helped INTEGER NOT NULL DEFAULT 0, seconds INTEGER,
    finished INTEGER NOT NULL DEFAULT 0, tasks INTEGER NOT NULL DEFAULT 0,
    first_right INTEGER NOT NULL DEFAULT 0);
CREATE INDEX round_by_player ON round(player, started);
CREATE TABLE answer(
    id INTEGER PRIMARY KEY, round INTEGER NOT NULL, player INTEGER NOT NULL,
    at INTEGER NOT NULL, op INTEGER NOT NULL, a INTEGER NOT NULL, b INTEGER,
    expected INTEGER NOT NULL, given INTEGER, outcome INTEGER NOT NULL, ms INTEGER NOT NULL,
    attempt INTEGER NOT NULL, tricky INTEGER NOT NULL DEFAULT 0);
CREATE INDEX answer_by_player ON answer(player, at);
CREATE VIEW answers AS SELECT
    p.name AS player,
    strftime('%Y-%m-%dT%H:%M:%S', r.started, 'unixepoch') AS round_started,
    strftime('%Y-%m-%dT%H:%M:%S', x.at, 'unixepoch') AS answered_at,
    r.kind AS kind,
    CASE x.op WHEN 0 THEN 'count' WHEN 1 THEN 'symbols' WHEN 2 THEN '+' WHEN 3 THEN '-'
              WHEN 4 THEN '*' ELSE '/' END AS operation,
    x.a AS a, x.b AS b, x.expected AS expected, x.given AS answer,
    CASE x.outcome WHEN 0 THEN 'right' WHEN 1 THEN 'wrong' ELSE 'help' END AS outcome,
    x.ms / 1000.0 AS seconds, x.attempt AS attempt, x.tricky AS tricky
    FROM answer x JOIN round r ON r.id = x.round JOIN player p ON p.id = x.player;
CREATE VIEW rounds AS SELECT
    p.name AS player,
    strftime('%Y-%m-%dT%H:%M:%S', r.started, 'unixepoch') AS started,
    strftime('%Y-%m-%dT%H:%M:%S', r.ended, 'unixepoch') AS ended,
    r.kind AS kind, r.solved AS solved, r.wrong AS wrong, r.helped AS helped,
    r.seconds AS seconds, r.finished AS finished
    FROM round r JOIN player p ON p.id = r.player;
)"),
        // Each round gets an id of its own, drawn at random when it is written, so the rounds
        // of two computers that started in the same second under the same name stay two when
        // one history is added to the other. Rounds written before have none (0). The views
        // show a code no Kalmix writes as NULL, never as a real operation or outcome.
        QStringLiteral(R"(
CREATE TABLE round_with_uid(
    id INTEGER PRIMARY KEY, player INTEGER NOT NULL, started INTEGER NOT NULL,
    ended INTEGER, kind INTEGER NOT NULL, solved INTEGER NOT NULL DEFAULT 0,
    wrong INTEGER NOT NULL DEFAULT 0, helped INTEGER NOT NULL DEFAULT 0, seconds INTEGER,
    finished INTEGER NOT NULL DEFAULT 0, tasks INTEGER NOT NULL DEFAULT 0,
    first_right INTEGER NOT NULL DEFAULT 0, uid INTEGER NOT NULL DEFAULT (random() | 1));
INSERT INTO round_with_uid(id, player, started, ended, kind, solved, wrong, helped, seconds,
    finished, tasks, first_right, uid)
    SELECT id, player, started, ended, kind, solved, wrong, helped, seconds, finished, tasks,
    first_right, 0 FROM round;
DROP VIEW IF EXISTS answers;
DROP VIEW IF EXISTS rounds;
DROP TABLE round;
ALTER TABLE round_with_uid RENAME TO round;
CREATE INDEX round_by_player ON round(player, started);
CREATE INDEX round_by_uid ON round(uid);
CREATE VIEW answers AS SELECT
    p.name AS player,
    strftime('%Y-%m-%dT%H:%M:%S', r.started, 'unixepoch') AS round_started,
    strftime('%Y-%m-%dT%H:%M:%S', x.at, 'unixepoch') AS answered_at,
    r.kind AS kind,
    CASE x.op WHEN 0 THEN 'count' WHEN 1 THEN 'symbols' WHEN 2 THEN '+' WHEN 3 THEN '-'
              WHEN 4 THEN '*' WHEN 5 THEN '/' END AS operation,
    x.a AS a, x.b AS b, x.expected AS expected, x.given AS answer,
    CASE x.outcome WHEN 0 THEN 'right' WHEN 1 THEN 'wrong' WHEN 2 THEN 'help' END AS outcome,
    x.ms / 1000.0 AS seconds, x.attempt AS attempt, x.tricky AS tricky
    FROM answer x JOIN round r ON r.id = x.round JOIN player p ON p.id = x.player;
CREATE VIEW rounds AS SELECT
    p.name AS player,
    strftime('%Y-%m-%dT%H:%M:%S', r.started, 'unixepoch') AS started,
    strftime('%Y-%m-%dT%H:%M:%S', r.ended, 'unixepoch') AS ended,
    r.kind AS kind, r.solved AS solved, r.wrong AS wrong, r.helped AS helped,
    r.seconds AS seconds, r.finished AS finished
    FROM round r JOIN player p ON p.id = r.player;
)"),
        // What the class server has of this history. class_sent keeps, per server (its
        // connection text), the last answer the server has committed and the last change of
        // a round it has; round_touched numbers every round's latest change (its row written
        // or updated), so a round that changed after it was sent goes up again. Answers that
        // are removed take the mark down with them, so an id used again is never taken for
        // one the server has. The statements of a trigger stay on one line.
        QStringLiteral(R"(
CREATE TABLE class_sent(
    server TEXT PRIMARY KEY, last_answer INTEGER NOT NULL DEFAULT 0,
    last_change INTEGER NOT NULL DEFAULT 0, removals INTEGER NOT NULL DEFAULT 0);
CREATE TABLE round_touched(round INTEGER PRIMARY KEY, change INTEGER NOT NULL);
CREATE INDEX round_touched_by_change ON round_touched(change);
INSERT INTO round_touched(round, change) SELECT id, id FROM round;
CREATE INDEX answer_by_round ON answer(round);
CREATE TRIGGER round_written AFTER INSERT ON round BEGIN INSERT OR REPLACE INTO round_touched(round, change) VALUES (new.id, (SELECT coalesce(max(change), 0) + 1 FROM round_touched)); END;
CREATE TRIGGER round_updated AFTER UPDATE ON round BEGIN INSERT OR REPLACE INTO round_touched(round, change) VALUES (new.id, (SELECT coalesce(max(change), 0) + 1 FROM round_touched)); END;
CREATE TRIGGER answer_removed AFTER DELETE ON answer BEGIN UPDATE class_sent SET removals = removals + 1, last_answer = min(last_answer, (SELECT coalesce(max(id), 0) FROM answer)); END;
)"),
    };
    return steps;
}

// The tables' columns in each version, in the order the steps above create them.
const char* const kPlayerColumns[] = {"id", "name"};
const char* const kRoundColumns[] = {"id",     "player",      "started", "ended",   "kind",
                                     "solved", "wrong",       "helped",  "seconds", "finished",
                                     "tasks",  "first_right", "uid"};
const char* const kAnswerColumns[] = {"id",       "round", "player",  "at", "op",      "a",     "b",
                                      "expected", "given", "outcome", "ms", "attempt", "tricky"};

template <size_t N> QStringList names(const char* const (&list)[N], size_t count = N) {
    QStringList out;
    for (size_t i = 0; i < count && i < N; ++i)
        out << QLatin1String(list[i]);
    return out;
}

// The statement's first value; on failure the native error code goes to `error`.
std::optional<qint64> firstValue(QSqlDatabase& db, const QString& sql, QString* error = nullptr) {
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next()) {
        if (error)
            *error = q.lastError().nativeErrorCode();
        return std::nullopt;
    }
    return q.value(0).toLongLong();
}

std::optional<qint64> pragma(QSqlDatabase& db, const char* name, QString* error = nullptr) {
    return firstValue(db, QStringLiteral("PRAGMA ") + QLatin1String(name), error);
}

bool exec(QSqlDatabase& db, const QString& sql, QString* error = nullptr) {
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    if (error)
        *error = q.lastError().nativeErrorCode();
    return false;
}

} // namespace

QStringList tableColumns(int version, const QString& table) {
    if (version < 1 || version > kSchemaVersion)
        return {};
    if (table == u"player")
        return names(kPlayerColumns);
    if (table == u"round")
        return names(kRoundColumns, version == 1 ? 12 : 13);
    if (table == u"answer")
        return names(kAnswerColumns);
    return {};
}

int operationCode(const QString& operation) {
    for (int i = 0; i < 6; ++i) {
        if (operation == QLatin1String(kOperations[i]))
            return i;
    }
    return -1;
}

QString operationName(int code) {
    return code >= 0 && code < 6 ? QString::fromLatin1(kOperations[code]) : QString();
}

qint64 toStored(const QDateTime& local) {
    return QDateTime(local.date(), local.time(), Qt::UTC).toSecsSinceEpoch();
}

QDateTime fromStored(qint64 seconds) {
    const QDateTime utc = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
    return QDateTime(utc.date(), utc.time());
}

bool isKalmixHistory(QSqlDatabase& db, QString* nativeError) {
    const auto id = pragma(db, "application_id", nativeError);
    return id && *id == kApplicationId;
}

SchemaState prepareSchema(QSqlDatabase& db, QString* nativeError) {
    QString error;
    const auto failed = [&] {
        if (nativeError)
            *nativeError = error;
        return SchemaState::Failed;
    };
    // Reading the header tells a database from any other file. A header that cannot be read
    // just now (another program holds the file) says nothing about the file.
    const auto id = pragma(db, "application_id", &error);
    const auto version = id ? pragma(db, "user_version", &error) : std::nullopt;
    const auto tables =
        version ? firstValue(db, QStringLiteral("SELECT count(*) FROM sqlite_master"), &error)
                : std::nullopt;
    if (!id || !version || !tables) {
        const QString code = error.isEmpty() ? db.lastError().nativeErrorCode() : error;
        if (failureOf(code) != Failure::Damaged) {
            error = code;
            return failed();
        }
        return SchemaState::NotKalmix;
    }
    if (*tables > 0 && *id != kApplicationId)
        return SchemaState::NotKalmix;
    if (*version > kSchemaVersion)
        return SchemaState::Newer;
    // The journal is carried into the file when a round ends (and when the file is closed),
    // not while a child waits for the answer's feedback; after that it shrinks back to at most
    // a megabyte.
    if (!exec(db, QStringLiteral("PRAGMA journal_mode=WAL"), &error) ||
        !exec(db, QStringLiteral("PRAGMA synchronous=NORMAL"), &error) ||
        !exec(db, QStringLiteral("PRAGMA wal_autocheckpoint=0"), &error) ||
        !exec(db, QStringLiteral("PRAGMA journal_size_limit=%1").arg(kJournalSizeLimit), &error))
        return failed();
    for (int v = static_cast<int>(*version); v < kSchemaVersion; ++v) {
        if (!exec(db, QStringLiteral("BEGIN IMMEDIATE"), &error))
            return failed();
        bool ok = true;
        // A statement ends with a semicolon at the end of its line.
        static const QRegularExpression end(QStringLiteral(";\\s*\\n"));
        for (const QString& statement : migrations()[v].split(end, Qt::SkipEmptyParts)) {
            if (!statement.trimmed().isEmpty() && !exec(db, statement, &error)) {
                ok = false;
                break;
            }
        }
        ok = ok &&
             exec(db, QStringLiteral("PRAGMA application_id=%1").arg(kApplicationId), &error) &&
             exec(db, QStringLiteral("PRAGMA user_version=%1").arg(v + 1), &error) &&
             exec(db, QStringLiteral("COMMIT"), &error);
        if (!ok) {
            QString ignored;
            exec(db, QStringLiteral("ROLLBACK"), &ignored);
            return failed();
        }
    }
    return SchemaState::Ready;
}

} // namespace kalmix::history
