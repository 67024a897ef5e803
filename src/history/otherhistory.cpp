// The other file is opened with SQLite's own interface, not through Qt's driver: so every
// setting that keeps a crafted file harmless can be made before the first read, and each value
// is seen with the type it is stored as.
#include "history/otherhistory.h"

#include "history/historyschema.h"
#include "profiles/record.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <sqlite3.h>

namespace kalmix::history {

namespace {

using Failure = OtherHistory::Failure;

// No value Kalmix writes comes near this; a longer one stops the statement that meets it.
constexpr int kLongestValue = 64 * 1024;
// SQLite's instructions between two looks at Cancel and the time.
constexpr int kStepsPerLook = 1000;

int stopWhenAsked(void* budget) {
    return static_cast<const MergeBudget*>(budget)->stop() ? 1 : 0;
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // SQLITE_ROW, SQLITE_DONE or the error.
    int step() {
        if (m_rc != SQLITE_OK)
            return m_rc;
        return sqlite3_step(m_stmt);
    }
    void reset() { sqlite3_reset(m_stmt); }
    void bind(int i, qint64 v) { sqlite3_bind_int64(m_stmt, i, v); }
    void bind(int i, const char* text) { sqlite3_bind_text(m_stmt, i, text, -1, SQLITE_STATIC); }
    int type(int c) const { return sqlite3_column_type(m_stmt, c); }
    // The column as a whole number, when it is stored as one.
    std::optional<qint64> integer(int c) const {
        if (type(c) != SQLITE_INTEGER)
            return std::nullopt;
        return sqlite3_column_int64(m_stmt, c);
    }
    // NULL, or a whole number: nullopt in the outer optional for any other value.
    std::optional<std::optional<qint64>> nullable(int c) const {
        if (type(c) == SQLITE_NULL)
            return std::optional<qint64>();
        if (type(c) != SQLITE_INTEGER)
            return std::nullopt;
        return std::optional<qint64>(sqlite3_column_int64(m_stmt, c));
    }
    QString text(int c) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, c));
        return QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, c));
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

Failure failureOf(int rc, const MergeBudget& budget) {
    switch (rc & 0xff) {
    case SQLITE_INTERRUPT:
        return budget.control().cancelled() ? Failure::Cancelled : Failure::TooSlow;
    case SQLITE_CORRUPT:
    case SQLITE_TOOBIG:
        return Failure::Damaged;
    default:
        return Failure::Unreadable;
    }
}

// One number from a pragma or a query without parameters.
std::optional<qint64> number(sqlite3* db, const char* sql, int* rc) {
    Statement s(db, sql);
    *rc = s.step();
    return *rc == SQLITE_ROW ? s.integer(0) : std::nullopt;
}

class Reader {
public:
    Reader(const StoredSpan& span, const MergeBudget& budget) : m_span(span), m_budget(budget) {}
    ~Reader() { sqlite3_close_v2(m_db); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    OtherHistory read(const QString& path);

private:
    bool open(const QString& path);
    bool fail(Failure failure) {
        if (m_out.failure == Failure::None)
            m_out.failure = failure;
        return false;
    }
    bool failed(int rc) { return fail(failureOf(rc, m_budget)); }
    bool knownTables(int version);
    bool sound();
    bool withinRowBudget();
    bool readPlayers();
    bool readRounds(int version);
    bool readAnswers();
    // Counts a row read; false when the reading is to stop.
    bool counted();

    const StoredSpan& m_span;
    const MergeBudget& m_budget;
    sqlite3* m_db = nullptr;
    OtherHistory m_out;
    qint64 m_rows = 0;
    qint64 m_read = 0;
    QHash<qint64, QString> m_players;
    QHash<qint64, std::pair<qint32, qint64>> m_rounds; // id: index and player id
};

bool Reader::open(const QString& path) {
    const QFileInfo info(path);
    const QFileInfo wal(path + QStringLiteral("-wal"));
    if (!info.isFile())
        return fail(Failure::Unreadable);
    if (info.size() + (wal.isFile() ? wal.size() : 0) > m_budget.control().maxFileBytes)
        return fail(Failure::TooLarge);
    // An absolute path is never taken for a URI.
    const QByteArray name = QFile::encodeName(info.absoluteFilePath());
    if (sqlite3_open_v2(name.constData(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return fail(Failure::Unreadable);
    // The file's schema is not trusted: its views, triggers and functions of its own are never
    // run, and no value grows beyond what Kalmix writes.
    sqlite3_extended_result_codes(m_db, 0);
    sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, kLongestValue);
    int rc = SQLITE_OK;
    for (const int option :
         {SQLITE_DBCONFIG_DEFENSIVE, SQLITE_DBCONFIG_TRUSTED_SCHEMA, SQLITE_DBCONFIG_ENABLE_VIEW,
          SQLITE_DBCONFIG_ENABLE_TRIGGER, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION,
          SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER}) {
        const int on = option == SQLITE_DBCONFIG_DEFENSIVE ? 1 : 0;
        if (sqlite3_db_config(m_db, option, on, nullptr) != SQLITE_OK)
            rc = SQLITE_ERROR;
    }
    sqlite3_progress_handler(m_db, kStepsPerLook, stopWhenAsked,
                             const_cast<MergeBudget*>(&m_budget));
    sqlite3_busy_timeout(m_db, 2000);
    if (rc != SQLITE_OK || sqlite3_exec(m_db,
                                        "PRAGMA trusted_schema=OFF; PRAGMA query_only=ON; "
                                        "PRAGMA cache_size=-16384",
                                        nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail(Failure::Unreadable);
    return true;
}

// The tables this version keeps, as tables (never views or virtual tables) with exactly the
// columns the version's schema gives them, and the id each row is known by as its key.
bool Reader::knownTables(int version) {
    for (const char* table : {"player", "round", "answer"}) {
        Statement kind(m_db, "SELECT type, sql LIKE 'CREATE VIRTUAL%' FROM sqlite_master "
                             "WHERE name = ?1 COLLATE NOCASE AND type <> 'trigger'");
        kind.bind(1, table);
        int rc = kind.step();
        if (rc != SQLITE_ROW)
            return rc == SQLITE_DONE ? fail(Failure::Unreadable) : failed(rc);
        if (kind.text(0) != u"table" || kind.integer(1).value_or(1) != 0)
            return fail(Failure::Unreadable);
        Statement columns(m_db, "SELECT name, type, pk, hidden FROM pragma_table_xinfo(?1)");
        columns.bind(1, table);
        QStringList names;
        while ((rc = columns.step()) == SQLITE_ROW) {
            const bool id = names.isEmpty();
            const bool key = columns.integer(2).value_or(-1) == (id ? 1 : 0);
            const bool idType =
                !id || columns.text(1).compare(u"INTEGER", Qt::CaseInsensitive) == 0;
            if (!key || !idType || columns.integer(3).value_or(-1) != 0)
                return fail(Failure::Unreadable);
            names << columns.text(0).toLower();
        }
        if (rc != SQLITE_DONE)
            return failed(rc);
        if (names != tableColumns(version, QString::fromLatin1(table)))
            return fail(Failure::Unreadable);
    }
    return true;
}

bool Reader::sound() {
    Statement check(m_db, "PRAGMA quick_check(1)");
    const int rc = check.step();
    if (rc != SQLITE_ROW)
        return failed(rc);
    return check.text(0) == u"ok" || fail(Failure::Damaged);
}

bool Reader::withinRowBudget() {
    int rc = SQLITE_OK;
    const auto rows = number(m_db,
                             "SELECT (SELECT count(*) FROM player) + (SELECT count(*) FROM round) "
                             "+ (SELECT count(*) FROM answer)",
                             &rc);
    if (!rows)
        return failed(rc);
    if (*rows > m_budget.control().maxRows)
        return fail(Failure::TooLarge);
    m_rows = std::max<qint64>(1, *rows);
    return true;
}

bool Reader::counted() {
    ++m_read;
    if ((m_read & 1023) == 0) {
        m_budget.control().setProgress(int(m_read * (MergeControl::kComplete / 2) / m_rows));
        if (m_budget.stop())
            return fail(m_budget.control().cancelled() ? Failure::Cancelled : Failure::TooSlow);
    }
    return true;
}

// Names are read one by one: a name too long to read makes its player a bad row, and the
// other players are read all the same.
bool Reader::readPlayers() {
    std::vector<qint64> ids;
    {
        Statement all(m_db, "SELECT id FROM player");
        int rc;
        while ((rc = all.step()) == SQLITE_ROW)
            ids.push_back(all.integer(0).value_or(0));
        if (rc != SQLITE_DONE)
            return failed(rc);
    }
    Statement one(m_db, "SELECT name FROM player WHERE id = ?1");
    for (const qint64 id : ids) {
        if (!counted())
            return false;
        one.bind(1, id);
        const int rc = one.step();
        const bool read = rc == SQLITE_ROW && one.type(0) == SQLITE_TEXT;
        const QString name = read ? one.text(0) : QString();
        one.reset();
        if ((rc & 0xff) == SQLITE_INTERRUPT)
            return failed(rc);
        if (read && validPlayerName(name))
            m_players.insert(id, name);
        else
            ++m_out.skipped;
    }
    return true;
}

bool Reader::readRounds(int version) {
    Statement s(m_db, version >= 2 ? "SELECT id, player, started, ended, kind, seconds, finished, "
                                     "uid FROM round"
                                   : "SELECT id, player, started, ended, kind, seconds, finished, "
                                     "0 FROM round");
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) {
        if (!counted())
            return false;
        const auto id = s.integer(0), player = s.integer(1), started = s.integer(2),
                   kind = s.integer(4), finished = s.integer(6), uid = s.integer(7);
        const auto ended = s.nullable(3), seconds = s.nullable(5);
        const auto name = player ? m_players.constFind(*player) : m_players.constEnd();
        const bool read = id && started && kind && finished && uid && ended && seconds &&
                          name != m_players.constEnd() && !m_rounds.contains(*id);
        if (!read || !validRound({*started, *ended, *kind, *seconds, *finished}, m_span)) {
            ++m_out.skipped;
            continue;
        }
        m_rounds.insert(*id, {qint32(m_out.rounds.size()), *player});
        m_out.rounds.push_back(
            {*name, *started, *ended, int(*kind),
             seconds->has_value() ? std::optional<int>(int(**seconds)) : std::nullopt,
             int(*finished), *uid});
    }
    return rc == SQLITE_DONE || failed(rc);
}

bool Reader::readAnswers() {
    Statement s(m_db, "SELECT round, player, at, op, a, b, expected, given, outcome, ms, "
                      "attempt, tricky FROM answer");
    int rc;
    const auto narrow = [](const std::optional<qint64>& v) {
        return v ? std::optional<int>(int(*v)) : std::nullopt;
    };
    while ((rc = s.step()) == SQLITE_ROW) {
        if (!counted())
            return false;
        const auto round = s.integer(0), player = s.integer(1);
        const auto at = s.integer(2), op = s.integer(3), a = s.integer(4), e = s.integer(6),
                   outcome = s.integer(8), ms = s.integer(9), attempt = s.integer(10),
                   tricky = s.integer(11);
        const auto b = s.nullable(5), given = s.nullable(7);
        const auto owner = round ? m_rounds.constFind(*round) : m_rounds.constEnd();
        // An answer belongs to its round's player, as the game writes it.
        const bool read = owner != m_rounds.constEnd() && player && *player == owner->second &&
                          at && op && a && b && e && given && outcome && ms && attempt && tricky;
        if (!read || !validAnswer({*at, *op, *a, *b, *e, *given, *outcome, *ms, *attempt, *tricky},
                                  m_span)) {
            ++m_out.skipped;
            continue;
        }
        m_out.answers.push_back({owner->first, int(*op), *at, int(*a), narrow(*b), int(*e),
                                 narrow(*given), int(*outcome), int(*ms), int(*attempt),
                                 int(*tricky)});
    }
    return rc == SQLITE_DONE || failed(rc);
}

OtherHistory Reader::read(const QString& path) {
    if (!open(path))
        return std::move(m_out);
    int rc = SQLITE_OK;
    const auto id = number(m_db, "PRAGMA application_id", &rc);
    const auto version = id ? number(m_db, "PRAGMA user_version", &rc) : std::nullopt;
    if (!id || !version || *id != kApplicationId || *version < 1) {
        fail((rc & 0xff) == SQLITE_INTERRUPT ? failureOf(rc, m_budget) : Failure::Unreadable);
        return std::move(m_out);
    }
    if (*version > kSchemaVersion) {
        fail(Failure::Newer);
        return std::move(m_out);
    }
    // One read transaction: what another program writes meanwhile is not half seen.
    rc = sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
    const bool ok = (rc == SQLITE_OK || failed(rc)) && knownTables(int(*version)) && sound() &&
                    withinRowBudget() && readPlayers() && readRounds(int(*version)) &&
                    readAnswers();
    sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    if (!ok) {
        m_out.rounds.clear();
        m_out.answers.clear();
    }
    m_budget.control().setProgress(MergeControl::kComplete / 2);
    return std::move(m_out);
}

} // namespace

OtherHistory readOtherHistory(const QString& path, const StoredSpan& span,
                              const MergeBudget& budget) {
    return Reader(span, budget).read(path);
}

} // namespace kalmix::history
