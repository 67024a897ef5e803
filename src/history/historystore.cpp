#include "history/historystore.h"

#include "history/historyschema.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/lang.h"
#include "services/msgbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cstdio>

namespace kalmix {

using namespace history;

namespace {

QString nextConnectionName() {
    static int n = 0;
    return QStringLiteral("kalmix-history-%1").arg(++n);
}

} // namespace

HistoryStore::HistoryStore(const QString& path)
    : m_path(path), m_connection(nextConnectionName()) {}

HistoryStore::~HistoryStore() {
    finish();
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

void HistoryStore::setFinishWaitForTesting(int ms) {
    m_finishWaitMs = ms;
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
    if (create)
        createOwnerOnly(m_path);
    if (!QSqlDatabase::contains(m_connection))
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db = QSqlDatabase::database(m_connection, false);
    m_db.setDatabaseName(m_path);
    QStringList options;
    if (!m_options.isEmpty())
        options << m_options;
    options << QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyMs);
    m_db.setConnectOptions(options.join(u';'));
    return m_db.open();
}

void HistoryStore::setBusyTimeout(int ms) {
    m_busyMs = ms;
    if (m_db.isOpen())
        run(QStringLiteral("PRAGMA busy_timeout=%1").arg(ms));
}

void HistoryStore::close() {
    m_insertAnswer.reset();
    m_updateRound.reset();
    m_playerIds.clear();
    forgetRounds();
    if (m_db.isOpen())
        m_db.close();
    m_db = QSqlDatabase();
    m_fileId.reset();
    m_walId.reset();
    ++m_changes;
}

void HistoryStore::finish() {
    if (!m_owed.empty()) {
        // The program ends: a file another program holds gets a little longer.
        setBusyTimeout(m_finishWaitMs);
        writeOwed();
        const bool answersLost =
            std::any_of(m_owed.begin(), m_owed.end(), [](const Owed& owed) { return !owed.end; });
        m_owed.clear();
        if (answersLost)
            tell(langText(382).arg(QDir::toNativeSeparators(path())));
        setBusyTimeout(kBusyMs);
    }
    if (!m_disabled && m_db.isOpen() && stillAtPath())
        run(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    close();
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
    setBusyTimeout(m_finishWaitMs);
    QString code;
    if (!isKalmixHistory(m_db, &code)) {
        *error = failureOf(code) == Failure::Passing
                     ? QStringLiteral("%1 cannot be read just now: another program is using it.")
                           .arg(shown)
                     : QStringLiteral("%1 is not a Kalmix practice history, or it is damaged.")
                           .arg(shown);
        close();
        return false;
    }
    m_disabled = true; // never created anew or set aside from here
    return true;
}

bool HistoryStore::stillAtPath() const {
    return !m_fileId || fileIdOf(m_path) == m_fileId;
}

// The file was deleted or replaced while it was open: what is written from now on goes to the
// file at the path, or a new one. The old file gets its journal (wherever it is now); the
// journal itself, when it is still at the path, goes, since SQLite would read it into the file
// found there. SQLite leaves it on closing a moved file, and never deletes one of another file.
void HistoryStore::leaveMovedFile() {
    run(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    const std::optional<FileId> ownWal = m_walId;
    close();
    const QString wal = m_path + QStringLiteral("-wal");
    if (ownWal && fileIdOf(wal) == ownWal)
        QFile::remove(wal);
    tell(langText(381).arg(QDir::toNativeSeparators(m_path)));
}

bool HistoryStore::ensureOpen(Open mode) {
    m_openFailure = Failure::Lasting;
    if (m_db.isOpen()) {
        if (stillAtPath())
            return true;
        leaveMovedFile();
    }
    if (m_disabled)
        return false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool existed = QFileInfo::exists(path());
        if (mode == Open::ExistingOnly && !existed)
            return false;
        QString code;
        SchemaState state = SchemaState::Failed;
        if (openFile(mode == Open::Create))
            state = prepareSchema(m_db, &code);
        else
            code = m_db.lastError().nativeErrorCode();
        switch (state) {
        case SchemaState::Ready:
            m_fileId = fileIdOf(m_path);
            m_walId = fileIdOf(m_path + QStringLiteral("-wal"));
            if (m_maxPages > 0)
                setMaxPageCountForTesting(m_maxPages);
            return true;
        case SchemaState::NotKalmix:
            close();
            if (attempt > 0)
                break;
            if (setAside({}))
                continue;
            return false;
        case SchemaState::Newer:
            // A later Kalmix's history: left as it is, and not written by this one.
            close();
            m_disabled = true;
            writeFailed({});
            return false;
        case SchemaState::Failed:
            close();
            switch (failureOf(code)) {
            case Failure::Damaged:
                if (!existed || attempt > 0)
                    break;
                if (setAside(code))
                    continue;
                return false;
            case Failure::Passing:
                // Held by another program, or out of reach: nothing is wrong with the file.
                m_openFailure = Failure::Passing;
                return false;
            case Failure::Lasting:
                break;
            }
            writeFailed(code);
            return false;
        }
    }
    writeFailed({});
    return false;
}

// A file that cannot be used is kept beside the new one under a name with the time it was
// found, its journals with it; it is never deleted. When its journals cannot go with it, it
// stays where it is and no new history is begun.
bool HistoryStore::setAside(const QString&) {
    close();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString aside = moveAside(m_path, m_path + QStringLiteral(".bad-") + stamp);
    if (aside.isEmpty()) {
        m_disabled = true;
        writeFailed({});
        return false;
    }
    tell(langText(271).arg(QDir::toNativeSeparators(aside)));
    return true;
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

// Said once a run: the answers wait in memory and nothing is lost while the program runs.
void HistoryStore::sayBusy() {
    if (m_busyToldOnce)
        return;
    m_busyToldOnce = true;
    tell(langText(380).arg(QDir::toNativeSeparators(path())));
}

int HistoryStore::playerId(const QString& name, bool create) {
    if (const auto it = m_playerIds.constFind(name); it != m_playerIds.constEnd())
        return *it;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT id FROM player WHERE name = ?"));
    q.addBindValue(name);
    int id = 0;
    if (run(q) && q.next()) {
        id = q.value(0).toInt();
    } else if (create) {
        q.prepare(QStringLiteral("INSERT INTO player(name) VALUES (?)"));
        q.addBindValue(name);
        if (!run(q))
            return 0;
        id = q.lastInsertId().toInt();
    }
    if (id)
        m_playerIds.insert(name, id);
    return id;
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
    // What was kept for the player's rounds goes with them.
    std::erase_if(m_owed, [&](const Owed& owed) {
        const auto round = m_rounds.constFind(owed.round);
        return round == m_rounds.constEnd() || round->player == player;
    });
    for (Round& round : m_rounds) {
        if (round.player == player)
            round.row = 0;
    }
    ++m_changes;
    return true;
}

QStringList HistoryStore::presentPlayers() const {
    return readPlayerNames();
}

} // namespace kalmix
