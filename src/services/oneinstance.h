#pragma once

#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace kalmix {

// One running Kalmix per settings file: two copies writing the same file would each overwrite
// the other's players. The first start holds a lock beside the settings file and listens for
// later starts; a later start asks it to come to the front and then ends.
class OneInstance {
public:
    enum class Start {
        First,   // this copy runs; it holds the lock
        Handed,  // another copy runs and was asked to come to the front
        Refused, // another copy runs but could not be reached
    };

    explicit OneInstance(const QString& settingsFile);
    ~OneInstance();

    // Takes the lock, or hands the start over to the copy that holds it. A lock that cannot
    // be made at all (nowhere to write) lets this copy run.
    Start start();
    // What the running copy does when a later start asks it to come to the front.
    void onRequest(std::function<void()> bringToFront);

private:
    QString serverName() const;

    QString m_file;
    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_server;
    std::function<void()> m_bringToFront;
};

// Shows the program's windows again and puts them in front (its dialog on top, if one is open).
void bringWindowsToFront();

} // namespace kalmix
