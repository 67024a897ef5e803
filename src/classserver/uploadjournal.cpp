#include "classserver/uploadjournal.h"

#include "history/historyschema.h"

#include <QAtomicInt>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <QtEndian>
#include <initializer_list>

namespace kalmix {

namespace {

std::optional<int> intOrNone(const QVariant& v) {
    return v.isNull() ? std::nullopt : std::optional<int>(v.toInt());
}

bool exec(QSqlQuery& q, std::initializer_list<QVariant> values) {
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec();
}

bool exec(QSqlDatabase db, const QString& sql) {
    QSqlQuery q(db);
    return q.exec(sql);
}

// A read that sees the file as it was at its first statement.
class ReadTogether {
public:
    explicit ReadTogether(QSqlDatabase db) : m_db(db) {
        m_ok = exec(m_db, QStringLiteral("BEGIN"));
    }
    ~ReadTogether() {
        if (m_ok)
            exec(m_db, QStringLiteral("COMMIT"));
    }
    bool ok() const { return m_ok; }

private:
    QSqlDatabase m_db;
    bool m_ok = false;
};

UploadRound roundOf(const QSqlQuery& q, int from) {
    UploadRound r;
    r.uid = q.value(from).toLongLong();
    r.player = q.value(from + 1).toString();
    r.started = q.value(from + 2).toLongLong();
    if (!q.value(from + 3).isNull())
        r.ended = q.value(from + 3).toLongLong();
    r.kind = q.value(from + 4).toInt();
    r.solved = q.value(from + 5).toInt();
    r.wrong = q.value(from + 6).toInt();
    r.helped = q.value(from + 7).toInt();
    r.seconds = intOrNone(q.value(from + 8));
    r.finished = q.value(from + 9).toInt() != 0;
    r.tasks = q.value(from + 10).toInt();
    r.firstRight = q.value(from + 11).toInt();
    return r;
}

const QString kRoundColumns = QStringLiteral(
    "r.uid, p.name, r.started, r.ended, r.kind, r.solved, r.wrong, r.helped, r.seconds, "
    "r.finished, r.tasks, r.first_right");

} // namespace

UploadJournal::UploadJournal(const QString& path, const QString& server, int busyMs)
    : m_path(path), m_server(server), m_busyMs(busyMs) {
    static QAtomicInt n;
    m_connection = QStringLiteral("kalmix-class-upload-%1").arg(n.fetchAndAddRelaxed(1));
}

UploadJournal::~UploadJournal() {
    close();
}

void UploadJournal::close() {
    if (!QSqlDatabase::contains(m_connection))
        return;
    { QSqlDatabase::database(m_connection, false).close(); }
    QSqlDatabase::removeDatabase(m_connection);
}

bool UploadJournal::isOpen() const {
    return QSqlDatabase::contains(m_connection) &&
           QSqlDatabase::database(m_connection, false).isOpen();
}

bool UploadJournal::open() {
    if (isOpen())
        return true;
    // No history yet: nothing to send, and the file is the game's to create.
    if (!QFileInfo::exists(m_path))
        return false;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyMs));
    if (!db.open() || history::prepareSchema(db) != history::SchemaState::Ready ||
        !ensureMarkRow()) {
        db = QSqlDatabase();
        close();
        return false;
    }
    return true;
}

// The server's row is made the first time this history meets it, before anything is read for
// it, so answers removed from then on always take its mark down. Written once, ever.
bool UploadJournal::ensureMarkRow() {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT 1 FROM class_sent WHERE server = ?"));
    if (!exec(q, {m_server}))
        return false;
    if (q.next())
        return true;
    q.finish();
    q.prepare(QStringLiteral("INSERT OR IGNORE INTO class_sent(server) VALUES (?)"));
    return exec(q, {m_server});
}

std::optional<UploadJournal::Marks> UploadJournal::marks() {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral(
        "SELECT last_answer, last_change, removals FROM class_sent WHERE server = ?"));
    if (!exec(q, {m_server}))
        return std::nullopt;
    Marks stored; // a server met for the first time has nothing yet
    if (q.next())
        stored = {q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(2).toLongLong()};
    // What the server committed since, as long as no answer was removed meanwhile.
    if (m_committed && m_committed->removals == stored.removals) {
        stored.lastAnswer = std::max(stored.lastAnswer, m_committed->lastAnswer);
        stored.lastChange = std::max(stored.lastChange, m_committed->lastChange);
    }
    return stored;
}

void UploadJournal::rememberSent(const UploadBatch& batch) {
    if (batch.moves)
        m_committed = Marks{batch.lastAnswer, batch.lastChange, batch.removals};
}

std::optional<qint64> UploadJournal::waiting() {
    if (!open())
        return std::nullopt;
    const std::optional<Marks> from = marks();
    if (!from)
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT count(*) FROM answer WHERE id > ?"));
    if (!exec(q, {from->lastAnswer}) || !q.next())
        return std::nullopt;
    return q.value(0).toLongLong();
}

qint64 UploadJournal::derivedUid(const QString& player, qint64 started, int twin) {
    QByteArray key = player.toUtf8() + '\n' + QByteArray::number(started);
    if (twin > 0)
        key += '\n' + QByteArray::number(twin);
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256);
    return qFromBigEndian<qint64>(hash.constData()) | 1;
}

bool UploadJournal::giveRoundIds() {
    if (!open())
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery find(db);
    if (!find.exec(QStringLiteral("SELECT r.id, p.name, r.started FROM round r "
                                  "LEFT JOIN player p ON p.id = r.player WHERE r.uid = 0 "
                                  "ORDER BY r.id LIMIT 500")))
        return false;
    struct Old {
        qint64 id;
        QString player;
        qint64 started;
    };
    std::vector<Old> old;
    while (find.next())
        old.push_back(
            {find.value(0).toLongLong(), find.value(1).toString(), find.value(2).toLongLong()});
    find.finish();
    if (old.empty())
        return true;
    // Short: the game's next answer waits for the file only a few milliseconds.
    if (!exec(db, QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    QSqlQuery taken(db);
    QSqlQuery set(db);
    bool ok = taken.prepare(QStringLiteral("SELECT 1 FROM round WHERE uid = ? AND id <> ?")) &&
              set.prepare(QStringLiteral("UPDATE round SET uid = ? WHERE id = ? AND uid = 0"));
    for (const Old& r : old) {
        if (!ok)
            break;
        // Two old rounds of one player that began in the same second stay two, in the order
        // they were written.
        int twin = 0;
        qint64 uid = derivedUid(r.player, r.started, twin);
        ok = exec(taken, {uid, r.id});
        while (ok && taken.next()) {
            taken.finish();
            uid = ++twin < 1000 ? derivedUid(r.player, r.started, twin)
                                : qint64(QRandomGenerator::system()->generate64() | 1);
            ok = exec(taken, {uid, r.id});
        }
        taken.finish();
        ok = ok && exec(set, {uid, r.id});
    }
    if (ok && exec(db, QStringLiteral("COMMIT")))
        return true;
    exec(db, QStringLiteral("ROLLBACK"));
    return false;
}

std::optional<UploadBatch> UploadJournal::next(int maxAnswers, int maxRounds) {
    if (!open())
        return std::nullopt;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const ReadTogether together(db);
    if (!together.ok())
        return std::nullopt;
    UploadBatch batch;
    const std::optional<Marks> from = marks();
    if (!from)
        return std::nullopt;
    batch.lastAnswer = from->lastAnswer;
    batch.lastChange = from->lastChange;
    batch.removals = from->removals;
    QSqlQuery q(db);

    // Rounds changed since they were sent (a round deleted since leaves only its mark).
    QSet<qint64> have;
    q.prepare(QStringLiteral("SELECT t.change, t.round, r.id IS NOT NULL, %1 FROM "
                             "round_touched t LEFT JOIN round r ON r.id = t.round LEFT JOIN "
                             "player p ON p.id = r.player WHERE t.change > ? "
                             "ORDER BY t.change LIMIT ?")
                  .arg(kRoundColumns));
    if (!exec(q, {batch.lastChange, maxRounds}))
        return std::nullopt;
    while (q.next()) {
        const qint64 change = q.value(0).toLongLong();
        const UploadRound r = roundOf(q, 3);
        // A round without its id yet waits for it (and so does every later change).
        if (q.value(2).toBool() && r.uid == 0)
            break;
        batch.lastChange = change;
        batch.moves = true;
        if (!q.value(2).toBool() || q.value(4).isNull())
            continue;
        have.insert(q.value(1).toLongLong());
        batch.rounds.push_back(r);
    }
    q.finish();

    // Answers past the mark, each with its place in its round.
    q.prepare(QStringLiteral(
        "SELECT x.id, x.round, r.uid, p.name, x.at, x.op, x.a, x.b, x.expected, x.given, "
        "x.outcome, x.ms, x.attempt, x.tricky, (SELECT count(*) FROM answer y WHERE "
        "y.round = x.round AND y.id <= x.id) FROM answer x LEFT JOIN round r ON r.id = x.round "
        "LEFT JOIN player p ON p.id = x.player WHERE x.id > ? ORDER BY x.id LIMIT ?"));
    if (!exec(q, {batch.lastAnswer, maxAnswers}))
        return std::nullopt;
    QSet<qint64> wanted;
    while (q.next()) {
        const bool whole = !q.value(2).isNull() && !q.value(3).isNull();
        if (whole && q.value(2).toLongLong() == 0)
            break; // its round has no id yet
        batch.lastAnswer = q.value(0).toLongLong();
        batch.moves = true;
        if (!whole)
            continue; // an answer without its round or player is nobody's to send
        UploadAnswer x;
        x.roundUid = q.value(2).toLongLong();
        x.player = q.value(3).toString();
        x.at = q.value(4).toLongLong();
        x.op = q.value(5).toInt();
        x.a = q.value(6).toInt();
        x.b = intOrNone(q.value(7));
        x.expected = q.value(8).toInt();
        x.given = intOrNone(q.value(9));
        x.outcome = q.value(10).toInt();
        x.ms = q.value(11).toInt();
        x.attempt = q.value(12).toInt();
        x.tricky = q.value(13).toInt() != 0;
        x.seq = q.value(14).toInt();
        batch.answers.push_back(std::move(x));
        if (const qint64 round = q.value(1).toLongLong(); !have.contains(round))
            wanted.insert(round);
    }
    q.finish();

    // The answers' rounds go first, as they are now.
    q.prepare(QStringLiteral("SELECT %1 FROM round r LEFT JOIN player p ON p.id = r.player "
                             "WHERE r.id = ?")
                  .arg(kRoundColumns));
    for (const qint64 id : std::as_const(wanted)) {
        if (!exec(q, {id}))
            return std::nullopt;
        if (q.next() && !q.value(1).isNull())
            batch.rounds.push_back(roundOf(q, 0));
        q.finish();
    }
    return batch;
}

bool UploadJournal::markSent(const UploadBatch& batch) {
    if (!batch.moves)
        return true;
    if (!open())
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("UPDATE class_sent SET last_answer = ?, last_change = ? "
                             "WHERE server = ? AND removals = ?"));
    return exec(q, {batch.lastAnswer, batch.lastChange, m_server, batch.removals}) &&
           q.numRowsAffected() == 1;
}

} // namespace kalmix
