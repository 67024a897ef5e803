// Another computer's history file is added to this one's.
#include "history/historyschema.h"
#include "history/historystore.h"
#include "services/lang.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cmath>

namespace kalmix {

using namespace history;

namespace {

const char kColumns[] = "player, round_started, answered_at, kind, operation, a, b, expected, "
                        "answer, outcome, seconds, attempt, tricky";

qint64 storedIso(const QString& iso) {
    return toStored(QDateTime::fromString(iso, Qt::ISODate));
}

// Reads another computer's history through its views only, so any version of the file serves.
class OtherFile {
public:
    explicit OtherFile(const QString& path) : m_name(QStringLiteral("kalmix-history-merge")) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        m_ok = QFileInfo(path).isFile() && db.open() && isKalmixHistory(db);
    }
    ~OtherFile() {
        { QSqlDatabase::database(m_name, false).close(); }
        QSqlDatabase::removeDatabase(m_name);
    }
    bool ok() const { return m_ok; }
    int version() {
        QSqlQuery q = query(QStringLiteral("PRAGMA user_version"));
        return m_ok && q.next() ? q.value(0).toInt() : -1;
    }
    QSqlQuery query(const QString& sql) {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        q.setForwardOnly(true);
        m_ok = m_ok && q.exec(sql);
        return q;
    }

private:
    QString m_name;
    bool m_ok = false;
};

struct OtherRound {
    QString player;
    qint64 started;
    QVariant ended;
    int kind, solved, wrong, helped;
    QVariant seconds;
    int finished;
};

struct OtherAnswer {
    QString player;
    qint64 roundStarted, at;
    int kind, op, a;
    QVariant b;
    int expected;
    QVariant given;
    int outcome, ms, attempt, tricky;
};

void readViews(OtherFile& other, std::vector<OtherRound>& rounds,
               std::vector<OtherAnswer>& answers) {
    QSqlQuery r = other.query(
        QStringLiteral("SELECT player, started, ended, kind, solved, wrong, helped, seconds, "
                       "finished FROM rounds"));
    while (other.ok() && r.next()) {
        const QVariant ended = r.value(2);
        rounds.push_back({r.value(0).toString(), storedIso(r.value(1).toString()),
                          ended.isNull() ? QVariant() : QVariant(storedIso(ended.toString())),
                          r.value(3).toInt(), r.value(4).toInt(), r.value(5).toInt(),
                          r.value(6).toInt(), r.value(7), r.value(8).toInt()});
    }
    QSqlQuery a =
        other.query(QStringLiteral("SELECT %1 FROM answers").arg(QLatin1String(kColumns)));
    while (other.ok() && a.next()) {
        const QString outcome = a.value(9).toString();
        answers.push_back({a.value(0).toString(), storedIso(a.value(1).toString()),
                           storedIso(a.value(2).toString()), a.value(3).toInt(),
                           operationCode(a.value(4).toString()), a.value(5).toInt(), a.value(6),
                           a.value(7).toInt(), a.value(8),
                           outcome == u"right"   ? kRight
                           : outcome == u"wrong" ? kWrong
                                                 : kHelp,
                           static_cast<int>(std::lround(a.value(10).toDouble() * 1000)),
                           a.value(11).toInt(), a.value(12).toInt()});
    }
}

// A file of this very schema is read from its tables, without the views' text conversions.
void readTables(OtherFile& other, std::vector<OtherRound>& rounds,
                std::vector<OtherAnswer>& answers) {
    QHash<qint64, QString> names;
    QSqlQuery p = other.query(QStringLiteral("SELECT id, name FROM player"));
    while (other.ok() && p.next())
        names.insert(p.value(0).toLongLong(), p.value(1).toString());
    QHash<qint64, size_t> roundAt;
    QSqlQuery r = other.query(
        QStringLiteral("SELECT id, player, started, ended, kind, solved, wrong, helped, seconds, "
                       "finished FROM round"));
    while (other.ok() && r.next()) {
        const auto name = names.constFind(r.value(1).toLongLong());
        if (name == names.constEnd())
            continue;
        roundAt.insert(r.value(0).toLongLong(), rounds.size());
        rounds.push_back({*name, r.value(2).toLongLong(), r.value(3), r.value(4).toInt(),
                          r.value(5).toInt(), r.value(6).toInt(), r.value(7).toInt(), r.value(8),
                          r.value(9).toInt()});
    }
    QSqlQuery a = other.query(QStringLiteral("SELECT round, at, op, a, b, expected, given, "
                                             "outcome, ms, attempt, tricky FROM answer"));
    while (other.ok() && a.next()) {
        const auto at = roundAt.constFind(a.value(0).toLongLong());
        if (at == roundAt.constEnd())
            continue; // as the answers view, which shows no answer without its round
        const OtherRound& round = rounds[*at];
        answers.push_back({round.player, round.started, a.value(1).toLongLong(), round.kind,
                           a.value(2).toInt(), a.value(3).toInt(), a.value(4), a.value(5).toInt(),
                           a.value(6), a.value(7).toInt(), a.value(8).toInt(), a.value(9).toInt(),
                           a.value(10).toInt()});
    }
}

} // namespace

MergeResult HistoryStore::merge(const QString& path) {
    MergeResult result;
    std::vector<OtherRound> rounds;
    std::vector<OtherAnswer> answers;
    {
        OtherFile other(path);
        if (!other.ok()) {
            result.error = langText(272).arg(QDir::toNativeSeparators(path));
            return result;
        }
        if (other.version() == kSchemaVersion)
            readTables(other, rounds, answers);
        else
            readViews(other, rounds, answers);
        if (!other.ok()) {
            result.error = langText(272).arg(QDir::toNativeSeparators(path));
            return result;
        }
    }
    if (!ensureOpen(Open::Create)) {
        result.error = langText(270).arg(QDir::toNativeSeparators(this->path()));
        return result;
    }

    QSqlQuery findRound(m_db), addRound(m_db), findAnswer(m_db), addAnswer(m_db), fix(m_db);
    findRound.prepare(QStringLiteral("SELECT id FROM round WHERE player = ? AND started = ?"));
    addRound.prepare(QStringLiteral(
        "INSERT INTO round(player, started, ended, kind, solved, wrong, helped, seconds, "
        "finished) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    findAnswer.prepare(QStringLiteral(
        "SELECT 1 FROM answer WHERE player = ? AND at = ? AND op = ? AND a = ? AND b IS ? "
        "AND expected = ? AND attempt = ? LIMIT 1"));
    addAnswer.prepare(QStringLiteral(
        "INSERT INTO answer(round, player, at, op, a, b, expected, given, outcome, ms, attempt, "
        "tricky) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    if (!m_db.transaction()) {
        result.error = m_db.lastError().text();
        return result;
    }
    bool ok = true;
    QHash<std::pair<int, qint64>, qint64> roundIds;
    struct Counts {
        int solved = 0, wrong = 0, helped = 0, tasks = 0, firstRight = 0;
    };
    QSet<qint64> added;
    QHash<qint64, Counts> touched;
    const auto roundOf = [&](int player, qint64 started, const OtherRound* from,
                             int kind) -> qint64 {
        if (const auto it = roundIds.constFind({player, started}); it != roundIds.constEnd())
            return *it;
        findRound.addBindValue(player);
        findRound.addBindValue(started);
        if (!findRound.exec())
            return 0;
        qint64 id = findRound.next() ? findRound.value(0).toLongLong() : 0;
        findRound.finish();
        if (!id) {
            addRound.addBindValue(player);
            addRound.addBindValue(started);
            addRound.addBindValue(from ? from->ended : QVariant());
            addRound.addBindValue(from ? from->kind : kind);
            addRound.addBindValue(from ? from->solved : 0);
            addRound.addBindValue(from ? from->wrong : 0);
            addRound.addBindValue(from ? from->helped : 0);
            addRound.addBindValue(from ? from->seconds : QVariant());
            addRound.addBindValue(from ? from->finished : 0);
            if (!addRound.exec())
                return 0;
            id = addRound.lastInsertId().toLongLong();
            added.insert(id);
        }
        roundIds.insert({player, started}, id);
        return id;
    };
    for (const OtherRound& r : rounds) {
        const int player = playerId(r.player, true);
        ok = ok && player && roundOf(player, r.started, &r, r.kind);
    }
    for (const OtherAnswer& x : answers) {
        if (!ok)
            break;
        const int player = playerId(x.player, true);
        const qint64 round = player ? roundOf(player, x.roundStarted, nullptr, x.kind) : 0;
        ok = round != 0;
        if (!ok)
            break;
        // A round new here holds no answer yet: its answers need no looking for.
        const bool fresh = added.contains(round);
        if (!fresh) {
            findAnswer.addBindValue(player);
            findAnswer.addBindValue(x.at);
            findAnswer.addBindValue(x.op);
            findAnswer.addBindValue(x.a);
            findAnswer.addBindValue(x.b);
            findAnswer.addBindValue(x.expected);
            findAnswer.addBindValue(x.attempt);
            ok = findAnswer.exec();
            const bool present = ok && findAnswer.next();
            findAnswer.finish();
            if (!ok || present)
                continue;
        }
        for (const QVariant& v :
             {QVariant(round), QVariant(player), QVariant(x.at), QVariant(x.op), QVariant(x.a), x.b,
              QVariant(x.expected), x.given, QVariant(x.outcome), QVariant(x.ms),
              QVariant(x.attempt), QVariant(x.tricky)})
            addAnswer.addBindValue(v);
        ok = addAnswer.exec();
        Counts& c = touched[round];
        c.solved += x.outcome == kRight;
        c.wrong += x.outcome == kWrong;
        c.helped += x.outcome == kHelp;
        c.tasks += x.attempt == 1;
        c.firstRight += x.attempt == 1 && x.outcome == kRight;
        ++result.answers;
    }
    // The rounds' own counts follow the answers they now hold; a round new here brought its
    // solved, wrong and helped counts with it.
    fix.prepare(QStringLiteral(
        "UPDATE round SET solved = solved + ?, wrong = wrong + ?, helped = helped + ?, "
        "tasks = tasks + ?, first_right = first_right + ? WHERE id = ?"));
    for (auto it = touched.cbegin(); ok && it != touched.cend(); ++it) {
        const Counts& c = it.value();
        const bool fresh = added.contains(it.key());
        for (const int v : {fresh ? 0 : c.solved, fresh ? 0 : c.wrong, fresh ? 0 : c.helped,
                            c.tasks, c.firstRight})
            fix.addBindValue(v);
        fix.addBindValue(it.key());
        ok = fix.exec();
    }
    if (!ok || !m_db.commit()) {
        m_db.rollback();
        m_playerIds.clear();
        ++m_changes;
        result = {};
        result.error = langText(270).arg(QDir::toNativeSeparators(this->path()));
        return result;
    }
    result.ok = true;
    result.rounds = added.size();
    ++m_changes;
    return result;
}

} // namespace kalmix
