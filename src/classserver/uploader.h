#pragma once

// Sends the practice history to the class server, on a thread of its own. Every answer is in
// Kalmix.db first; this sends what the server does not have yet, in batches of one server
// transaction each, and counts a batch as sent only after the server committed it (a batch
// sent twice adds nothing there). It never shows a message: what goes wrong waits for the
// next try (after 1 s, then twice as long each time up to a minute) and is told in plain words
// by lastError().

#include "classserver/pgconnection.h"
#include "classserver/uploadjournal.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QThread;

namespace kalmix {

struct UploadTarget {
    QString connection;  // libpq's connection text (Klassenserver)
    QString className;   // Klasse
    QString machine;     // this computer's id (Rechnerkennung)
    QString historyPath; // Kalmix.db
};

class ClassUploader final : public QObject {
    Q_OBJECT
public:
    explicit ClassUploader(const UploadTarget& target, QObject* parent = nullptr);
    // Stops as stop() does, waiting at most a second.
    ~ClassUploader() override;

    const UploadTarget& target() const { return m_target; }

    // Starts the thread; its first look at the history comes at once.
    void start();
    // Something new is in the history (an answer, a round's end): it goes up soon. Never
    // waits; while the server is out of reach the next try keeps its time.
    void wake();
    // Calls off what runs (a batch not committed is simply sent again next time) and waits
    // at most `ms` for the thread. True when it ended in time.
    bool stop(int ms = 1000);

    // Answers that wait for the server (-1 while not known), and the last try's problem in
    // plain words (empty when it went well). Any thread may ask.
    qint64 waiting() const { return m_waiting.load(); }
    QString lastError() const;
    ServerProblem lastProblem() const;
    // Batches the server has committed since the start, and how long each took from the
    // first statement to the commit (milliseconds; the load benchmark reads them).
    int sentBatches() const { return m_batches.load(); }
    std::vector<double> batchMilliseconds() const;

    // Tests: the first and the longest wait between tries, and the batch size.
    void setRetryForTesting(int firstMs, int maxMs);
    void setBatchSizeForTesting(int answers);

Q_SIGNALS:
    // waiting() or lastError() changed (sent from the uploader's thread).
    void statusChanged();

private:
    enum class Pass { Done, Failed, Stopped };
    void run();
    Pass sendWaiting(UploadJournal& journal, PgConnection& server);
    ServerError connect(PgConnection& server);
    ServerError send(PgConnection& server, const UploadBatch& batch);
    // keepError: the last try's problem stays as it is (nothing was asked of the server).
    void writeMark(); // on the main thread
    void setStatus(qint64 waiting, const std::optional<ServerError>& error, bool keepError = false);
    bool stopping() const { return m_stopping.load(); }

    const UploadTarget m_target;
    std::unique_ptr<QThread> m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_wakeUp;
    bool m_woken = true; // the first look comes at once
    std::atomic<bool> m_stopping{false};
    std::atomic<qint64> m_waiting{-1};
    std::atomic<int> m_batches{0};
    std::optional<ServerError> m_lastError;      // under m_mutex
    std::vector<double> m_batchMs;               // under m_mutex
    std::optional<UploadBatch> m_committed;      // under m_mutex: the marks to write
    bool m_markQueued = false;                   // under m_mutex: writeMark() is on its way
    std::unique_ptr<UploadJournal> m_markWriter; // the main thread's connection
    PgConnection* m_server = nullptr;            // the thread's connection, under m_mutex
    int m_firstRetryMs = 1000;
    int m_maxRetryMs = 60000;
    int m_batchAnswers = 500;
};

} // namespace kalmix
