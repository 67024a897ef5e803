#pragma once

// One connection to the class server (a PostgreSQL database), used by one thread at a time.
// The connection string goes to libpq as it is, so `service=kalmix` (pg_service.conf), the
// password file (~/.pgpass or PGPASSFILE) and `sslmode=verify-full` work without any code here.
// Every wait is bounded: connecting and each statement have a deadline, and a statement that
// passes it closes the connection (the server rolls back what it had begun).

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <atomic>
#include <memory>

struct pg_conn;
struct pg_result;

namespace kalmix {

// The oldest PostgreSQL the class server may run (as PQserverVersion counts: 15.0 = 150000).
// Its views apply the row-level security of the login that reads them (security_invoker).
constexpr int kMinimumServerVersion = 150000;

// What went wrong with the class server, in the terms "Test connection" explains.
enum class ServerProblem {
    None,          // no problem
    Unreachable,   // no server answers at that address (host, port, socket, network)
    WrongPassword, // the password is wrong or none was found for the login
    NoDatabase,    // the server has no database of that name
    NotAllowed,    // the login may not do this (write its class, read the tables)
    ServerTooOld,  // PostgreSQL older than kMinimumServerVersion
    ServerTooNew,  // the schema is newer than this Kalmix knows
    SchemaMissing, // the database has no Kalmix schema yet
    Timeout,       // the server did not answer in time
    LoginRefused,  // the server does not let this login in (pg_hba.conf, NOLOGIN, no such role)
    Other,         // anything else; `message` has the server's words
};

struct ServerError {
    ServerProblem problem = ServerProblem::None;
    QString sqlState; // the five-character SQLSTATE when the server sent one
    QString message;  // libpq's or the server's own message, for logs and the Other case
    QString user;     // the login, when known
    QString database; // the database, when known
    QString className;
    int number = 0; // the server version (ServerTooOld) or schema version (ServerTooNew)

    bool ok() const { return problem == ServerProblem::None; }
    // An error of `problem` with libpq's or the server's message.
    static ServerError of(ServerProblem problem, const QString& message = {}) {
        ServerError e;
        e.problem = problem;
        e.message = message;
        return e;
    }
};

// The problem in plain words for a teacher or a school's IT, in the current language (English
// when no language file is loaded, as on the command line).
QString describe(const ServerError& error);

// The problem a SQLSTATE stands for ("28P01" a wrong password, "3D000" no database, ...).
ServerProblem problemOfSqlState(const QString& sqlState);

// The rows of one statement, values in libpq's text format.
class PgResult {
public:
    PgResult() = default;
    explicit PgResult(pg_result* result);
    int rows() const;
    int columns() const;
    bool isNull(int row, int column) const;
    QString value(int row, int column) const; // the empty string for NULL
    qint64 number(int row, int column) const; // 0 for NULL or not a number
    int column(const char* name) const;       // the column of that name; -1 when none
    qint64 affected() const;                  // rows an INSERT/UPDATE/DELETE touched

private:
    std::shared_ptr<pg_result> m_result;
};

class PgConnection {
public:
    PgConnection();
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Connects with libpq's connection string (or URI), waiting at most timeoutSeconds for the
    // server. A server older than kMinimumServerVersion is refused (ServerTooOld).
    ServerError open(const QString& conninfo, int timeoutSeconds);
    bool isOpen() const;
    void close();

    // Runs one statement with parameters $1, $2, ... (an invalid or null QVariant is NULL, a
    // bool true/false, a QDateTime ISO 8601 with its offset, anything else its text). Waits at
    // most timeoutMs (0: the default of the connection, see setStatementTimeout); past it the
    // connection is closed and the error is Timeout. Several statements without parameters
    // may go in one string (schema steps).
    ServerError exec(const QString& sql, const QVariantList& params = {},
                     PgResult* result = nullptr, int timeoutMs = 0);
    ServerError begin() { return exec(QStringLiteral("BEGIN")); }
    ServerError commit() { return exec(QStringLiteral("COMMIT")); }
    // Rolls back an open transaction; harmless when none is open or the connection is gone.
    void rollback();

    // The default wait of exec() in milliseconds (30 s unless set).
    void setStatementTimeout(int ms) { m_statementTimeoutMs = ms; }

    // Calls off the running open() or exec() at once, from any thread, without waiting for
    // the server: the connection is closed and the call returns Timeout. Every later call
    // does the same until clearCancel() (the uploader cancels when Kalmix quits).
    void cancel();
    void clearCancel();

    int serverVersion() const; // 150004 for 15.4; 0 when not open
    QString user() const;
    QString database() const;
    pg_conn* handle() const { return m_conn; }

    // Connections still being started on a thread of their own after their open() stopped
    // waiting (a name lookup that hangs); they end themselves once it comes back.
    static int startsInFlight();

private:
    enum class Wait { Ready, TimedOut, Cancelled };
    Wait waitFor(int fd, short events, qint64 deadlineMs);
    Wait waitSocket(bool forWrite, qint64 deadlineMs);
    pg_conn* start(const QByteArray& conninfo, const QByteArray& timeout, qint64 deadlineMs,
                   Wait* waited);
    ServerError connectionError(ServerProblem fallback, const QString& message = {});
    ServerError lostConnection(ServerProblem problem, const QString& message);

    pg_conn* m_conn = nullptr;
    int m_wake = -1; // an eventfd that cancel() writes to, so a waiting call wakes at once
    std::atomic<bool> m_cancelled{false};
    int m_statementTimeoutMs = 30000;
};

} // namespace kalmix
