#include "history/historystore.h"

#include "history/historyschema.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/settings.h"
#include "settings/record.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cmath>
#include <cstdio>

namespace kalmix {

using namespace history;

namespace {

// SQLite's primary result codes that decide what the store does after a failed statement.
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADb = 26;

int sqliteCode(const QString& native) {
    return native.toInt() & 0xff;
}

bool damaged(const QString& native) {
    const int code = sqliteCode(native);
    return code == kSqliteCorrupt || code == kSqliteNotADb;
}

QString nextConnectionName() {
    static int n = 0;
    return QStringLiteral("kalmix-history-%1").arg(++n);
}

} // namespace

HistoryStore::HistoryStore(const QString& path)
    : m_path(path), m_connection(nextConnectionName()) {}

HistoryStore::~HistoryStore() {
    close();
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::removeDatabase(m_connection);
}

QString HistoryStore::defaultPath() {
    return QFileInfo(iniFilePath()).dir().filePath(QStringLiteral("Kalmix.db"));
}

QString HistoryStore::path() const {
    return m_path.isEmpty() ? defaultPath() : m_path;
}

void HistoryStore::setConnectOptionsForTesting(const QString& options) {
    m_options = options;
}

void HistoryStore::setMaxPageCountForTesting(int pages) {
    m_maxPages = pages;
    if (m_db.isOpen())
        QSqlQuery(m_db).exec(QStringLiteral("PRAGMA max_page_count=%1").arg(pages));
}

void HistoryStore::setQuiet(bool quiet) {
    m_quiet = quiet;
}

void HistoryStore::tell(const QString& text) {
    if (m_quiet) {
        std::fprintf(stderr, "Kalmix: %s\n", qPrintable(text));
        return;
    }
    MsgBox(text, MsgButtons::Ok, MsgIcon::Exclamation);
}

bool HistoryStore::openFile(bool create) {
    if (m_path.isEmpty())
        m_path = defaultPath();
    if (!create && !QFileInfo::exists(m_path))
        return false;
    if (!QSqlDatabase::contains(m_connection))
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db = QSqlDatabase::database(m_connection, false);
    m_db.setDatabaseName(m_path);
    m_db.setConnectOptions(m_options);
    return m_db.open();
}

void HistoryStore::close() {
    m_insertAnswer.reset();
    m_updateRound.reset();
    m_playerIds.clear();
    m_roundId = 0;
    if (m_db.isOpen())
        m_db.close();
    m_db = QSqlDatabase();
    ++m_changes;
}

bool HistoryStore::openExisting(QString* error) {
    if (m_db.isOpen())
        return true;
    m_options = QStringLiteral("QSQLITE_OPEN_READONLY");
    const QString shown = QDir::toNativeSeparators(path());
    if (!openFile(false)) {
        *error = QFileInfo::exists(m_path)
                     ? QStringLiteral("%1 cannot be opened.").arg(shown)
                     : QStringLiteral("There is no practice history at %1.").arg(shown);
        close();
        return false;
    }
    if (!isKalmixHistory(m_db)) {
        *error =
            QStringLiteral("%1 is not a Kalmix practice history, or it is damaged.").arg(shown);
        close();
        return false;
    }
    m_disabled = true; // never created anew or set aside from here
    return true;
}

bool HistoryStore::ensureOpen(Open mode) {
    if (m_db.isOpen())
        return true;
    if (m_disabled)
        return false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool existed = QFileInfo::exists(path());
        if (!openFile(mode == Open::Create)) {
            const QString code = m_db.lastError().nativeErrorCode();
            close();
            if (mode == Open::ExistingOnly && !existed)
                return false;
            if (existed && attempt == 0) {
                setAside(code);
                continue;
            }
            writeFailed(code);
            return false;
        }
        switch (prepareSchema(m_db)) {
        case SchemaState::Ready:
            if (m_maxPages > 0)
                setMaxPageCountForTesting(m_maxPages);
            wroteOk();
            return true;
        case SchemaState::NotKalmix:
            close();
            if (attempt == 0) {
                setAside({});
                continue;
            }
            break;
        case SchemaState::Newer:
            // A later Kalmix's history: left as it is, and not written by this one.
            close();
            m_disabled = true;
            writeFailed({});
            return false;
        case SchemaState::Failed: {
            const QString code = m_db.lastError().nativeErrorCode();
            close();
            if (damaged(code) && attempt == 0) {
                setAside(code);
                continue;
            }
            writeFailed(code);
            return false;
        }
        }
    }
    writeFailed({});
    return false;
}

// A file that cannot be used is kept beside the new one under a name with the time it was
// found, its journal with it; it is never deleted.
void HistoryStore::setAside(const QString&) {
    close();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_path + QStringLiteral(".bad-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = m_path + QStringLiteral(".bad-") + stamp + QStringLiteral("-%1").arg(n);
    if (!QFile::rename(m_path, aside)) {
        m_disabled = true;
        writeFailed({});
        return;
    }
    for (const char* journal : {"-wal", "-shm"}) {
        const QString from = m_path + QLatin1String(journal);
        if (QFileInfo::exists(from) && !QFile::rename(from, aside + QLatin1String(journal)))
            QFile::remove(from); // a journal that stayed would be applied to the new file
    }
    tell(langText(271).arg(QDir::toNativeSeparators(aside)));
}

void HistoryStore::writeFailed(const QString&) {
    if (m_writeToldOnce)
        return;
    m_writeToldOnce = true;
    tell(langText(270).arg(QDir::toNativeSeparators(path())));
}

void HistoryStore::wroteOk() {
    m_writeToldOnce = false;
}

int HistoryStore::playerId(const QString& name, bool create) {
    if (const auto it = m_playerIds.constFind(name); it != m_playerIds.constEnd())
        return *it;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT id FROM player WHERE name = ?"));
    q.addBindValue(name);
    int id = 0;
    if (q.exec() && q.next()) {
        id = q.value(0).toInt();
    } else if (create) {
        q.prepare(QStringLiteral("INSERT INTO player(name) VALUES (?)"));
        q.addBindValue(name);
        if (!q.exec())
            return 0;
        id = q.lastInsertId().toInt();
    }
    if (id)
        m_playerIds.insert(name, id);
    return id;
}

void HistoryStore::roundStarted(const QString& player, int kind, const QDateTime& at) {
    m_player = player;
    m_kind = kind;
    m_started = at;
    m_roundId = 0;
    m_attempt = 0;
    ensureOpen(Open::Create);
}

void HistoryStore::taskShown(const TaskFacts&, bool again) {
    if (!again)
        m_attempt = 0;
}

// The round's row is written with its first answer, so a round left before any answer leaves
// nothing behind.
bool HistoryStore::writeRound() {
    const int player = playerId(m_player, true);
    if (!player)
        return false;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO round(player, started, kind) VALUES (?, ?, ?)"));
    q.addBindValue(player);
    q.addBindValue(toStored(m_started));
    q.addBindValue(m_kind);
    if (!q.exec())
        return false;
    m_roundId = q.lastInsertId().toLongLong();
    return true;
}

bool HistoryStore::recordAnswer(const TaskFacts& task, std::optional<int> answer, Outcome outcome,
                                double seconds, const QDateTime& at) {
    if (!m_insertAnswer) {
        m_insertAnswer = std::make_unique<QSqlQuery>(m_db);
        m_updateRound = std::make_unique<QSqlQuery>(m_db);
        if (!m_insertAnswer->prepare(QStringLiteral(
                "INSERT INTO answer(round, player, at, op, a, b, expected, given, outcome, ms, "
                "attempt, tricky) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) ||
            !m_updateRound->prepare(QStringLiteral(
                "UPDATE round SET solved = solved + ?, wrong = wrong + ?, helped = helped + ?, "
                "tasks = tasks + ?, first_right = first_right + ?, seconds = ? WHERE id = ?"))) {
            m_insertAnswer.reset();
            m_updateRound.reset();
            return false;
        }
    }
    const qint64 roundBefore = m_roundId;
    if (!m_db.transaction())
        return false;
    const int code = outcome == Outcome::Right   ? kRight
                     : outcome == Outcome::Wrong ? kWrong
                                                 : kHelp;
    const int attempt = m_attempt + 1;
    bool ok = m_roundId != 0 || writeRound();
    if (ok) {
        QSqlQuery& q = *m_insertAnswer;
        q.addBindValue(m_roundId);
        q.addBindValue(playerId(m_player, true));
        q.addBindValue(toStored(at));
        q.addBindValue(operationCode(task.operation));
        q.addBindValue(task.a);
        q.addBindValue(task.b ? QVariant(*task.b) : QVariant());
        q.addBindValue(task.expected);
        q.addBindValue(answer ? QVariant(*answer) : QVariant());
        q.addBindValue(code);
        q.addBindValue(static_cast<int>(std::lround(std::max(0.0, seconds) * 1000)));
        q.addBindValue(attempt);
        q.addBindValue(task.tricky ? 1 : 0);
        ok = q.exec();
    }
    if (ok) {
        QSqlQuery& u = *m_updateRound;
        u.addBindValue(code == kRight ? 1 : 0);
        u.addBindValue(code == kWrong ? 1 : 0);
        u.addBindValue(code == kHelp ? 1 : 0);
        u.addBindValue(attempt == 1 ? 1 : 0);
        u.addBindValue(attempt == 1 && code == kRight ? 1 : 0);
        u.addBindValue(std::max<qint64>(0, toStored(at) - toStored(m_started)));
        u.addBindValue(m_roundId);
        ok = u.exec();
    }
    if (ok && m_db.commit()) {
        m_attempt = attempt;
        return true;
    }
    m_db.rollback();
    m_roundId = roundBefore;
    return false;
}

void HistoryStore::answerJudged(const TaskFacts& task, std::optional<int> answer, Outcome outcome,
                                double seconds, const QDateTime& at) {
    if (m_player.isEmpty())
        return; // no round was started
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!ensureOpen(Open::Create)) {
            ++m_attempt; // the next answer of the task is still a later try
            return;
        }
        if (recordAnswer(task, answer, outcome, seconds, at)) {
            ++m_changes;
            wroteOk();
            return;
        }
        QString native = m_insertAnswer ? m_insertAnswer->lastError().nativeErrorCode() : QString();
        if (native.isEmpty() && m_updateRound)
            native = m_updateRound->lastError().nativeErrorCode();
        if (native.isEmpty())
            native = m_db.lastError().nativeErrorCode();
        if (!damaged(native))
            break;
        // A damaged file found while writing: kept aside, and the answer goes to a new one.
        m_roundId = 0;
        setAside(native);
    }
    ++m_attempt;
    writeFailed({});
}

void HistoryStore::roundEnded(const RoundSummary& summary, bool finished, const QDateTime& at) {
    if (m_player.isEmpty())
        return;
    const QString player = std::exchange(m_player, QString());
    if (!m_roundId || !m_db.isOpen())
        return;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE round SET ended = ?, seconds = ?, finished = ? WHERE id = ?"));
    q.addBindValue(toStored(at));
    q.addBindValue(summary.seconds);
    q.addBindValue(finished ? 1 : 0);
    q.addBindValue(m_roundId);
    if (q.exec())
        ++m_changes;
    m_roundId = 0;
    q.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
}

bool HistoryStore::deletePlayerHistory(const QString& player) {
    if (!ensureOpen(Open::ExistingOnly))
        return !QFileInfo::exists(path());
    const int id = playerId(player, false);
    if (!id)
        return true;
    if (!m_db.transaction())
        return false;
    bool ok = true;
    for (const char* table : {"answer", "round"}) {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("DELETE FROM %1 WHERE player = ?").arg(QLatin1String(table)));
        q.addBindValue(id);
        ok = ok && q.exec();
    }
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("DELETE FROM player WHERE id = ?"));
    q.addBindValue(id);
    ok = ok && q.exec() && m_db.commit();
    if (!ok) {
        m_db.rollback();
        return false;
    }
    m_playerIds.remove(player);
    if (player == m_player)
        m_roundId = 0;
    ++m_changes;
    return true;
}

QStringList HistoryStore::presentPlayers() const {
    return readPlayerNames();
}

} // namespace kalmix
