#include "classserver/uploader.h"

#include "classserver/classschema.h"
#include "classserver/pgconnection.h"
#include "classserver/uploadjournal.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QThread>
#include <QVariantList>
#include <algorithm>
#include <chrono>
#include <utility>

namespace kalmix {

namespace {

// How long a connection may take, and a statement; a try that takes longer is tried again.
constexpr int kConnectSeconds = 5;
constexpr int kStatementMs = 15000;

QVariant time(qint64 stored) {
    // The history's wall-clock seconds, kept on the server as if they were UTC.
    return QDateTime::fromSecsSinceEpoch(stored, Qt::UTC);
}

template <typename T> QVariant orNull(const std::optional<T>& v) {
    return v ? QVariant::fromValue(*v) : QVariant();
}

// "($1, $2, ...), ($n, ...)" for `rows` rows of `columns` values.
QString placeholders(int rows, int columns) {
    QString out;
    out.reserve(rows * columns * 5);
    int n = 0;
    for (int r = 0; r < rows; ++r) {
        out += r ? QStringLiteral(", (") : QStringLiteral("(");
        for (int c = 0; c < columns; ++c)
            out += (c ? QStringLiteral(", $") : QStringLiteral("$")) + QString::number(++n);
        out += u')';
    }
    return out;
}

// A round written again only ever gains: its end, its counts. It is known in its class by its
// id alone, so a round that reached two computers (a history added from another) is one round.
const QString kRoundSql = QStringLiteral(
    "INSERT INTO kalmix.round AS r (class, machine, uid, player, started, ended, kind, solved, "
    "wrong, helped, seconds, finished, tasks, first_right) VALUES %1 "
    "ON CONFLICT (class, uid) DO UPDATE SET ended = coalesce(EXCLUDED.ended, r.ended), "
    "solved = greatest(r.solved, EXCLUDED.solved), wrong = greatest(r.wrong, EXCLUDED.wrong), "
    "helped = greatest(r.helped, EXCLUDED.helped), "
    "seconds = greatest(r.seconds, EXCLUDED.seconds), finished = r.finished OR EXCLUDED.finished, "
    "tasks = greatest(r.tasks, EXCLUDED.tasks), "
    "first_right = greatest(r.first_right, EXCLUDED.first_right)");
const QString kAnswerSql = QStringLiteral(
    "INSERT INTO kalmix.answer (class, machine, round_uid, seq, player, at, op, a, b, expected, "
    "given, outcome, ms, attempt, tricky) VALUES %1 ON CONFLICT DO NOTHING");

} // namespace

ClassUploader::ClassUploader(const UploadTarget& target, QObject* parent)
    : QObject(parent), m_target(target) {}

ClassUploader::~ClassUploader() {
    if (!stop(1000) && m_thread) {
        m_thread->wait(); // called off already: only the history file's short wait is left
        writeMark();
    }
}

void ClassUploader::setRetryForTesting(int firstMs, int maxMs) {
    m_firstRetryMs = firstMs;
    m_maxRetryMs = maxMs;
}

void ClassUploader::setBatchSizeForTesting(int answers) {
    m_batchAnswers = answers;
}

void ClassUploader::start() {
    if (m_thread)
        return;
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->setObjectName(QStringLiteral("class-uploader"));
    m_thread->start(QThread::LowPriority);
}

void ClassUploader::wake() {
    {
        const std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_wakeUp.notify_all();
}

void ClassUploader::writeMark() {
    std::optional<UploadBatch> mark;
    {
        const std::lock_guard lock(m_mutex);
        mark.swap(m_committed);
        m_markQueued = false;
    }
    if (!mark)
        return;
    // As short a wait for the file as the game's own writes: the window never stands still.
    if (!m_markWriter)
        m_markWriter =
            std::make_unique<UploadJournal>(m_target.historyPath, m_target.connection, 5);
    if (m_markWriter->markSent(*mark))
        return;
    // Not written now (the file is busy, or answers were removed): tried again with the next
    // batch or at the end; until then this run reads on from the commit, and a later run
    // sends the batch again, which the server takes only once.
    const std::lock_guard lock(m_mutex);
    if (!m_committed)
        m_committed = std::move(mark);
}

bool ClassUploader::stop(int ms) {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        if (m_server)
            m_server->cancel();
    }
    m_wakeUp.notify_all();
    const bool ended = !m_thread || m_thread->wait(QDeadlineTimer(ms));
    if (ended)
        m_thread.reset();
    writeMark(); // what the server committed last is marked now, not sent again next time
    return ended;
}

QString ClassUploader::lastError() const {
    ServerError error;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_lastError)
            return {};
        error = *m_lastError;
    }
    return describe(error);
}

std::vector<double> ClassUploader::batchMilliseconds() const {
    const std::lock_guard lock(m_mutex);
    return m_batchMs;
}

ServerProblem ClassUploader::lastProblem() const {
    const std::lock_guard lock(m_mutex);
    return m_lastError ? m_lastError->problem : ServerProblem::None;
}

void ClassUploader::setStatus(qint64 waiting, const std::optional<ServerError>& error,
                              bool keepError) {
    bool changed = m_waiting.exchange(waiting) != waiting;
    if (!keepError) {
        const std::lock_guard lock(m_mutex);
        const bool before = m_lastError.has_value();
        const bool after = error.has_value();
        changed =
            changed || before != after ||
            (before && after &&
             (m_lastError->problem != error->problem || m_lastError->message != error->message));
        m_lastError = error;
    }
    if (changed)
        Q_EMIT statusChanged();
}

void ClassUploader::run() {
    UploadJournal journal(m_target.historyPath, m_target.connection);
    PgConnection server;
    {
        const std::lock_guard lock(m_mutex);
        m_server = &server;
        if (m_stopping)
            server.cancel();
    }
    using Clock = std::chrono::steady_clock;
    int retryMs = 0;
    Clock::time_point retryAt;
    for (;;) {
        bool recount = false;
        {
            std::unique_lock lock(m_mutex);
            // While the server is out of reach, new answers wait for the next try's time; they
            // are counted as they come.
            if (retryMs > 0)
                recount = m_wakeUp.wait_until(lock, retryAt,
                                              [this] { return m_woken || m_stopping.load(); });
            else
                m_wakeUp.wait(lock, [this] { return m_woken || m_stopping.load(); });
            if (m_stopping)
                break;
            m_woken = false;
        }
        if (recount) {
            if (journal.open())
                setStatus(journal.waiting().value_or(-1), {}, true);
            continue;
        }
        const Pass pass = sendWaiting(journal, server);
        if (pass == Pass::Stopped)
            break;
        if (pass == Pass::Done) {
            retryMs = 0;
            continue;
        }
        retryMs = retryMs ? std::min(retryMs * 2, m_maxRetryMs) : m_firstRetryMs;
        retryAt = Clock::now() + std::chrono::milliseconds(retryMs);
    }
    const std::lock_guard lock(m_mutex);
    m_server = nullptr;
}

ClassUploader::Pass ClassUploader::sendWaiting(UploadJournal& journal, PgConnection& server) {
    if (!journal.open()) {
        // No history yet: nothing waits. One that cannot be read now is tried again.
        const bool exists = QFileInfo::exists(m_target.historyPath);
        setStatus(exists ? -1 : 0, {}, true);
        return exists ? Pass::Failed : Pass::Done;
    }
    for (;;) {
        if (stopping())
            return Pass::Stopped;
        journal.giveRoundIds();
        const std::optional<UploadBatch> batch = journal.next(m_batchAnswers);
        if (!batch)
            return Pass::Failed;
        if (batch->empty()) {
            setStatus(0, {}, true);
            return Pass::Done;
        }
        // Counted before the server is asked, which may take a while.
        setStatus(journal.waiting().value_or(-1), {}, true);
        ServerError error;
        if (!server.isOpen())
            error = connect(server);
        QElapsedTimer took;
        took.start();
        if (error.ok())
            error = send(server, *batch);
        if (stopping())
            return Pass::Stopped;
        if (!error.ok()) {
            server.close(); // the server rolls back what it had begun
            if (error.className.isEmpty())
                error.className = m_target.className;
            setStatus(journal.waiting().value_or(-1), error);
            return Pass::Failed;
        }
        ++m_batches;
        {
            const std::lock_guard lock(m_mutex);
            m_batchMs.push_back(double(took.nsecsElapsed()) / 1e6);
        }
        // The mark moves in the file on the program's main thread, where the game writes its
        // answers, so the two never wait for each other; this thread reads on from the commit.
        journal.rememberSent(*batch);
        bool queued = false;
        {
            const std::lock_guard lock(m_mutex);
            queued = std::exchange(m_markQueued, true); // one write waits at a time
            m_committed = *batch;
            m_committed->rounds.clear();
            m_committed->answers.clear();
        }
        if (!queued)
            QMetaObject::invokeMethod(
                this, [this] { writeMark(); }, Qt::QueuedConnection);
        setStatus(journal.waiting().value_or(-1), std::nullopt);
    }
}

ServerError ClassUploader::connect(PgConnection& server) {
    ServerError error = server.open(m_target.connection, kConnectSeconds);
    if (!error.ok())
        return error;
    server.setStatementTimeout(kStatementMs);
    error = checkClassSchema(server);
    if (!error.ok())
        server.close();
    return error;
}

ServerError ClassUploader::send(PgConnection& server, const UploadBatch& batch) {
    const QString& cls = m_target.className;
    const QString& machine = m_target.machine;
    // One row per round: the server takes a round only once in a statement.
    QHash<qint64, const UploadRound*> rounds;
    for (const UploadRound& r : batch.rounds)
        rounds.insert(r.uid, &r);
    ServerError error = server.begin();
    if (error.ok() && !rounds.isEmpty()) {
        QVariantList values;
        values.reserve(rounds.size() * 14);
        for (const UploadRound* r : std::as_const(rounds)) {
            values << cls << machine << r->uid << r->player << time(r->started)
                   << (r->ended ? time(*r->ended) : QVariant()) << r->kind << r->solved << r->wrong
                   << r->helped << orNull(r->seconds) << r->finished << r->tasks << r->firstRight;
        }
        error = server.exec(kRoundSql.arg(placeholders(int(rounds.size()), 14)), values);
    }
    if (error.ok() && !batch.answers.empty()) {
        QVariantList values;
        values.reserve(int(batch.answers.size()) * 15);
        for (const UploadAnswer& x : batch.answers) {
            values << cls << machine << x.roundUid << x.seq << x.player << time(x.at) << x.op << x.a
                   << orNull(x.b) << x.expected << orNull(x.given) << x.outcome << x.ms << x.attempt
                   << x.tricky;
        }
        error = server.exec(kAnswerSql.arg(placeholders(int(batch.answers.size()), 15)), values);
    }
    if (error.ok())
        error = server.commit();
    return error;
}

} // namespace kalmix
