#include "classserver/pgconnection.h"

#include "services/lang.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <libpq-fe.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kalmix {

namespace {

// Milliseconds on a clock that only goes forward.
qint64 nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// libpq's message for a failed connection carries the server's SQLSTATE when the error
// verbosity is VERBOSE ("FATAL:  28P01: password authentication failed ..."). The severity is
// translated, the code never is.
QString sqlStateIn(const QString& message) {
    static const QRegularExpression code(QStringLiteral(":  ([0-9A-Z]{5}): "));
    const QRegularExpressionMatch m = code.match(message);
    return m.hasMatch() ? m.captured(1) : QString();
}

// A connection being started on its own thread, handed over when the start is done, or ended
// by that thread when nobody waits for it any more.
struct PendingStart {
    std::mutex mutex;
    pg_conn* conn = nullptr;
    bool done = false;
    bool abandoned = false;
    const int ready = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); // written when done
    ~PendingStart() {
        if (ready >= 0)
            ::close(ready);
    }
};

std::atomic<int> g_startsInFlight{0};

pg_conn* startConnection(const QByteArray& conninfo, const QByteArray& timeout) {
    // Later entries win: the connection string may set its own connect_timeout and application
    // name, but the texts travel as UTF-8 whatever it says.
    const char* keys[] = {"fallback_application_name", "connect_timeout", "dbname",
                          "client_encoding", nullptr};
    const char* values[] = {"kalmix", timeout.constData(), conninfo.constData(), "UTF8", nullptr};
    return PQconnectStartParams(keys, values, 1);
}

QString fromPg(const char* text) {
    return text ? QString::fromUtf8(text).trimmed() : QString();
}

QByteArray parameterText(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? "true" : "false";
    case QMetaType::QDateTime:
        return v.toDateTime().toUTC().toString(Qt::ISODateWithMs).toUtf8();
    case QMetaType::QByteArray:
        return v.toByteArray();
    default:
        return v.toString().toUtf8();
    }
}

// The text of a language number; on the command line, where no language file is loaded, the
// English text from the program's own language resource.
QString text(int nr) {
    const QString own = LangDatei.isEmpty() ? QString() : langText(nr);
    return own.isEmpty() ? builtInLangText(static_cast<std::int16_t>(1000 + nr)) : own;
}

QString orQuestion(const QString& s) {
    return s.isEmpty() ? QStringLiteral("?") : s;
}

} // namespace

ServerProblem problemOfSqlState(const QString& s) {
    if (s == u"28P01")
        return ServerProblem::WrongPassword;
    if (s == u"28000")
        return ServerProblem::LoginRefused;
    if (s == u"3D000")
        return ServerProblem::NoDatabase;
    if (s == u"42501")
        return ServerProblem::NotAllowed;
    if (s == u"57014")
        return ServerProblem::Timeout;
    if (s == u"3F000" || s == u"42P01")
        return ServerProblem::SchemaMissing;
    // Connection failures, the server shutting down or not yet ready, too many connections.
    if (s.startsWith(u"08") || s == u"57P01" || s == u"57P02" || s == u"57P03" || s == u"53300")
        return ServerProblem::Unreachable;
    return ServerProblem::Other;
}

QString describe(const ServerError& e) {
    switch (e.problem) {
    case ServerProblem::None:
        return text(420);
    case ServerProblem::Unreachable:
        return text(410);
    case ServerProblem::WrongPassword:
        return text(411).arg(orQuestion(e.user));
    case ServerProblem::NoDatabase:
        return text(412).arg(orQuestion(e.database));
    case ServerProblem::NotAllowed:
        return e.className.isEmpty() ? text(421).arg(orQuestion(e.user))
                                     : text(413).arg(orQuestion(e.user), e.className);
    case ServerProblem::ServerTooOld:
        // 150004 is 15.4; before 10, 90605 was 9.6.5
        return text(414).arg(
            e.number >= 100000
                ? QStringLiteral("%1.%2").arg(e.number / 10000).arg(e.number % 10000)
                : QStringLiteral("%1.%2").arg(e.number / 10000).arg(e.number / 100 % 100));
    case ServerProblem::ServerTooNew:
        return text(415).arg(e.number);
    case ServerProblem::SchemaMissing:
        return text(416);
    case ServerProblem::Timeout:
        return text(417);
    case ServerProblem::LoginRefused:
        return text(419).arg(orQuestion(e.user));
    case ServerProblem::Other:
        break;
    }
    return text(418).arg(e.message.isEmpty() ? e.sqlState : e.message);
}

PgResult::PgResult(pg_result* result) : m_result(result, PQclear) {}

int PgResult::rows() const {
    return m_result ? PQntuples(m_result.get()) : 0;
}

int PgResult::columns() const {
    return m_result ? PQnfields(m_result.get()) : 0;
}

bool PgResult::isNull(int row, int column) const {
    return !m_result || row >= rows() || column >= columns() ||
           PQgetisnull(m_result.get(), row, column);
}

QString PgResult::value(int row, int column) const {
    return isNull(row, column) ? QString()
                               : QString::fromUtf8(PQgetvalue(m_result.get(), row, column));
}

int PgResult::column(const char* name) const {
    return m_result ? PQfnumber(m_result.get(), name) : -1;
}

qint64 PgResult::number(int row, int column) const {
    return value(row, column).toLongLong();
}

qint64 PgResult::affected() const {
    return m_result ? QByteArray(PQcmdTuples(m_result.get())).toLongLong() : 0;
}

PgConnection::PgConnection() : m_wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

PgConnection::~PgConnection() {
    close();
    if (m_wake >= 0)
        ::close(m_wake);
}

bool PgConnection::isOpen() const {
    return m_conn && PQstatus(m_conn) == CONNECTION_OK;
}

void PgConnection::close() {
    if (m_conn)
        PQfinish(m_conn);
    m_conn = nullptr;
}

void PgConnection::cancel() {
    m_cancelled = true;
    if (m_wake >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wake, &one, sizeof one);
    }
}

void PgConnection::clearCancel() {
    m_cancelled = false;
    uint64_t count = 0;
    if (m_wake >= 0 && ::read(m_wake, &count, sizeof count) < 0)
        count = 0; // nothing was written since: nothing to take away
}

int PgConnection::serverVersion() const {
    return isOpen() ? PQserverVersion(m_conn) : 0;
}

QString PgConnection::user() const {
    return m_conn ? fromPg(PQuser(m_conn)) : QString();
}

QString PgConnection::database() const {
    return m_conn ? fromPg(PQdb(m_conn)) : QString();
}

int PgConnection::startsInFlight() {
    return g_startsInFlight;
}

PgConnection::Wait PgConnection::waitSocket(bool forWrite, qint64 deadlineMs) {
    return waitFor(PQsocket(m_conn), short(POLLIN | (forWrite ? POLLOUT : 0)), deadlineMs);
}

PgConnection::Wait PgConnection::waitFor(int fd, short events, qint64 deadlineMs) {
    for (;;) {
        if (m_cancelled)
            return Wait::Cancelled;
        const qint64 left = deadlineMs - nowMs();
        if (left <= 0)
            return Wait::TimedOut;
        pollfd fds[2] = {{fd, events, 0}, {m_wake, POLLIN, 0}};
        const int n = ::poll(fds, m_wake >= 0 ? 2 : 1, int(std::min<qint64>(left, 1000)));
        if (n < 0 && errno != EINTR)
            return Wait::Ready; // libpq sees the broken socket itself
        if (m_cancelled)
            return Wait::Cancelled;
        if (n > 0 && fds[0].revents)
            return Wait::Ready;
    }
}

ServerError PgConnection::connectionError(ServerProblem fallback, const QString& message) {
    ServerError e;
    e.message = message.isEmpty() && m_conn ? fromPg(PQerrorMessage(m_conn)) : message;
    e.sqlState = sqlStateIn(e.message);
    e.problem = e.sqlState.isEmpty() ? fallback : problemOfSqlState(e.sqlState);
    e.user = user();
    e.database = database();
    if (m_conn && PQconnectionNeedsPassword(m_conn))
        e.problem = ServerProblem::WrongPassword;
    close();
    return e;
}

ServerError PgConnection::open(const QString& conninfo, int timeoutSeconds) {
    close();
    const QByteArray info = conninfo.toUtf8();
    // A connection string that cannot be parsed is no network problem: say what libpq says.
    char* parseError = nullptr;
    PQconninfoOption* options = PQconninfoParse(info.constData(), &parseError);
    const QString why = fromPg(parseError);
    if (parseError)
        PQfreemem(parseError);
    if (options)
        PQconninfoFree(options);
    // a bare word is no connection string: libpq takes it as the database's name
    else if (info.contains('=') || info.contains("://"))
        return ServerError::of(ServerProblem::Other, why);
    const QByteArray timeout = QByteArray::number(std::max(1, timeoutSeconds));
    const qint64 deadline = nowMs() + std::max(1, timeoutSeconds) * qint64(1000);
    Wait started = Wait::Ready;
    m_conn = start(info, timeout, deadline, &started);
    if (started == Wait::Cancelled)
        return ServerError::of(ServerProblem::Timeout, QStringLiteral("cancelled"));
    if (started == Wait::TimedOut)
        return ServerError::of(
            ServerProblem::Unreachable,
            QStringLiteral("the server's name was not found within %1 s").arg(timeoutSeconds));
    if (!m_conn)
        return ServerError::of(ServerProblem::Other, QStringLiteral("out of memory"));
    PQsetErrorVerbosity(m_conn, PQERRORS_VERBOSE);
    // The server's notices ("role is already a member", ...) are no errors: libpq would print
    // them on standard error.
    PQsetNoticeProcessor(
        m_conn, [](void*, const char*) {}, nullptr);
    // Whether the server was reached at all: a failure before that is an unreachable host.
    bool reached = false;
    PostgresPollingStatusType poll =
        PQstatus(m_conn) == CONNECTION_BAD ? PGRES_POLLING_FAILED : PGRES_POLLING_WRITING;
    for (;;) {
        const ConnStatusType status = PQstatus(m_conn);
        if (status != CONNECTION_STARTED && status != CONNECTION_NEEDED && status != CONNECTION_BAD)
            reached = true;
        if (poll == PGRES_POLLING_OK)
            break;
        if (poll == PGRES_POLLING_FAILED)
            return connectionError(reached ? ServerProblem::Other : ServerProblem::Unreachable);
        const Wait w = waitSocket(poll == PGRES_POLLING_WRITING, deadline);
        if (w == Wait::Cancelled)
            return connectionError(ServerProblem::Timeout, QStringLiteral("cancelled"));
        if (w == Wait::TimedOut)
            return connectionError(reached ? ServerProblem::Timeout : ServerProblem::Unreachable,
                                   QStringLiteral("no answer within %1 s").arg(timeoutSeconds));
        poll = PQconnectPoll(m_conn);
    }
    if (PQserverVersion(m_conn) < kMinimumServerVersion) {
        ServerError e = ServerError::of(ServerProblem::ServerTooOld);
        e.number = PQserverVersion(m_conn);
        e.user = user();
        e.database = database();
        close();
        return e;
    }
    PQsetnonblocking(m_conn, 1);
    return {};
}

// libpq looks the server's name up while it starts a connection, and a name server that does
// not answer holds that call as long as the system's resolver waits (half a minute and more).
// The start runs on a thread of its own, so this waits no longer than asked and can be called
// off; a start nobody waits for any more is ended by its thread when the lookup comes back.
pg_conn* PgConnection::start(const QByteArray& conninfo, const QByteArray& timeout,
                             qint64 deadlineMs, Wait* waited) {
    *waited = Wait::Ready;
    auto pending = std::make_shared<PendingStart>();
    if (pending->ready < 0)
        return startConnection(conninfo, timeout);
    ++g_startsInFlight;
    try {
        std::thread([pending, conninfo, timeout] {
            pg_conn* conn = startConnection(conninfo, timeout);
            {
                const std::lock_guard lock(pending->mutex);
                if (!pending->abandoned) {
                    pending->conn = conn;
                    pending->done = true;
                    const uint64_t one = 1;
                    [[maybe_unused]] const ssize_t n = ::write(pending->ready, &one, sizeof one);
                    conn = nullptr;
                }
            }
            if (conn)
                PQfinish(conn);
            --g_startsInFlight;
        }).detach();
    } catch (const std::system_error&) {
        --g_startsInFlight; // no thread to be had: started here, as libpq would
        return startConnection(conninfo, timeout);
    }
    const Wait w = waitFor(pending->ready, POLLIN, deadlineMs);
    const std::lock_guard lock(pending->mutex);
    if (pending->done)
        return pending->conn; // done just in time counts as done
    pending->abandoned = true;
    *waited = w == Wait::Ready ? Wait::TimedOut : w;
    return nullptr;
}

ServerError PgConnection::lostConnection(ServerProblem problem, const QString& message) {
    ServerError e = ServerError::of(problem, message);
    e.user = user();
    e.database = database();
    close();
    return e;
}

ServerError PgConnection::exec(const QString& sql, const QVariantList& params, PgResult* result,
                               int timeoutMs) {
    if (result)
        *result = PgResult();
    if (m_cancelled)
        return lostConnection(ServerProblem::Timeout, QStringLiteral("cancelled"));
    if (!isOpen())
        return ServerError::of(ServerProblem::Unreachable,
                               QStringLiteral("not connected to the class server"));
    const qint64 deadline = nowMs() + (timeoutMs > 0 ? timeoutMs : m_statementTimeoutMs);
    const QByteArray query = sql.toUtf8();
    int sent = 0;
    if (params.isEmpty()) {
        sent = PQsendQuery(m_conn, query.constData());
    } else {
        QList<QByteArray> texts;
        std::vector<const char*> values;
        texts.reserve(params.size());
        for (const QVariant& v : params) {
            const bool null = !v.isValid() || v.isNull();
            texts.append(null ? QByteArray() : parameterText(v));
            values.push_back(null ? nullptr : texts.last().constData());
        }
        sent = PQsendQueryParams(m_conn, query.constData(), int(values.size()), nullptr,
                                 values.data(), nullptr, nullptr, 0);
    }
    if (!sent)
        return lostConnection(ServerProblem::Unreachable, fromPg(PQerrorMessage(m_conn)));
    // Send all, then read until the server has answered every statement.
    for (;;) {
        const int flushed = PQflush(m_conn);
        if (flushed < 0)
            return lostConnection(ServerProblem::Unreachable, fromPg(PQerrorMessage(m_conn)));
        if (flushed == 0)
            break;
        const Wait w = waitSocket(true, deadline);
        if (w != Wait::Ready)
            return lostConnection(ServerProblem::Timeout, QStringLiteral("no answer in time"));
        if (!PQconsumeInput(m_conn))
            return lostConnection(ServerProblem::Unreachable, fromPg(PQerrorMessage(m_conn)));
    }
    ServerError error;
    for (;;) {
        while (PQisBusy(m_conn)) {
            const Wait w = waitSocket(false, deadline);
            if (w != Wait::Ready)
                return lostConnection(ServerProblem::Timeout, QStringLiteral("no answer in time"));
            if (!PQconsumeInput(m_conn))
                return lostConnection(ServerProblem::Unreachable, fromPg(PQerrorMessage(m_conn)));
        }
        PGresult* r = PQgetResult(m_conn);
        if (!r)
            break;
        const ExecStatusType status = PQresultStatus(r);
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK ||
            status == PGRES_EMPTY_QUERY) {
            if (result)
                *result = PgResult(r);
            else
                PQclear(r);
            continue;
        }
        if (error.ok()) {
            error.sqlState = fromPg(PQresultErrorField(r, PG_DIAG_SQLSTATE));
            error.message = fromPg(PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY));
            if (error.message.isEmpty())
                error.message = fromPg(PQresultErrorMessage(r));
            error.problem =
                error.sqlState.isEmpty() ? ServerProblem::Other : problemOfSqlState(error.sqlState);
            error.user = user();
            error.database = database();
        }
        PQclear(r);
    }
    if (PQstatus(m_conn) == CONNECTION_BAD) {
        const QString why =
            error.message.isEmpty() ? fromPg(PQerrorMessage(m_conn)) : error.message;
        const ServerProblem problem = error.ok() || error.problem == ServerProblem::Other
                                          ? ServerProblem::Unreachable
                                          : error.problem;
        ServerError lost = lostConnection(problem, why);
        lost.sqlState = error.sqlState;
        return lost;
    }
    if (!error.ok() && result)
        *result = PgResult();
    return error;
}

void PgConnection::rollback() {
    if (isOpen() && PQtransactionStatus(m_conn) != PQTRANS_IDLE)
        exec(QStringLiteral("ROLLBACK"), {}, nullptr, 5000);
}

} // namespace kalmix
