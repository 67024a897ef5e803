#pragma once

#include <QLockFile>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

class QDeadlineTimer;
class QLocalServer;

namespace kalmix {

// One running Kalmix per settings file: two copies writing the same file would each overwrite
// the other's players. The first start holds a lock beside the settings file and listens for
// later starts; a later start asks it to come to the front, waits for its answer and then ends.
class OneInstance {
public:
    enum class Start {
        First,     // this copy runs; it holds the lock (or no lock can be made here)
        Handed,    // another copy runs here and answered the request to come to the front
        Refused,   // another copy holds the lock here but did not answer within the wait
        Elsewhere, // the lock was left by another computer (holderHost()); see takeOver()
    };

    // How long a start tries to reach the copy that holds the lock: one that is still starting
    // may not listen yet, and a running one answers at once unless it hangs.
    static constexpr std::chrono::milliseconds kWait{3000};

    explicit OneInstance(const QString& settingsFile, std::chrono::milliseconds wait = kWait);
    ~OneInstance();
    OneInstance(const OneInstance&) = delete;
    OneInstance& operator=(const OneInstance&) = delete;

    // Takes the lock, or hands the start over to the copy that holds it. A lock left by a copy
    // that is gone (on this computer, or more than a day ago on another one) or that holds no
    // readable owner is taken over. A lock that cannot be made at all (nowhere to write) lets
    // this copy run. Each start either runs, reaches the running copy, or says why not.
    Start start();
    // After Elsewhere, when the user chose to start anyway: removes that lock, unless a copy
    // still holds it, and starts as start() does (Refused while another computer holds it).
    Start takeOver();
    // The computer named in the lock that start() found to be another's.
    QString holderHost() const { return m_holderHost; }
    QString lockFile() const { return m_lock.fileName(); }
    // Where this copy listens for later starts; empty when it does not (it holds no lock, or
    // no place would take a socket: later starts then say that it does not answer).
    QString socketPath() const { return m_socketPath; }
    // What the running copy does when a later start asks it to come to the front.
    void onRequest(std::function<void()> bringToFront);

private:
    enum class Reply { Answered, Silent, Nobody };
    Reply ask(const QDeadlineTimer& deadline) const;
    bool listen();

    QString m_file;
    std::chrono::milliseconds m_wait;
    QLockFile m_lock;
    QTimer m_refresh;
    std::unique_ptr<QLocalServer> m_server;
    QString m_socketPath;
    QString m_holderHost;
    std::function<void()> m_bringToFront;
};

// The places where the copy that runs on this settings file listens, the best first: the
// user's runtime folder, beside the settings file, a folder of the user's own in the temporary
// folder (made only when no other place takes the socket). The two folders count only while
// they are the user's alone, and only paths that fit a socket are listed.
QStringList instanceSocketPaths(const QString& settingsFile);

// Shows the program's windows again and puts them in front (its dialog on top, if one is open).
void bringWindowsToFront();

} // namespace kalmix
