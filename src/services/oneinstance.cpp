#include "services/oneinstance.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSysInfo>
#include <QThread>
#include <QWidget>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kalmix {

namespace {

constexpr char kRequest[] = "front\n";
constexpr char kAnswer[] = "here\n";
constexpr qint64 kLineLimit = 256;            // a request is one short line
constexpr qint64 kFreshMs = 1000;             // a lock this young may still be being written
constexpr qint64 kDayMs = 24LL * 3600 * 1000; // another computer's lock this old is left over
constexpr int kRefreshMs = 3600 * 1000;       // a running copy keeps its lock this fresh
constexpr int kRetryMs = 50;                  // between two tries to reach a starting copy
constexpr int kConnectMs = 200;
// A socket path must fit sockaddr_un; the server binds in a folder beside it first.
constexpr qsizetype kSocketPathLimit = sizeof(sockaddr_un::sun_path) - 20;

// A folder only its owner, this user, may enter; not a link.
bool isPrivateFolder(const QByteArray& dir) {
    struct stat st {};
    return dir.startsWith('/') && ::lstat(dir.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// Whoever holds the lock file, as the lock file names it.
struct Holder {
    enum class Kind { Gone, Unreadable, Here, Elsewhere };
    Kind kind = Kind::Gone;
    QString host;
    qint64 ageMs = 0; // since the lock was made or last refreshed, either way
};

Holder holderOf(const QString& lockFile) {
    QFile f(lockFile);
    if (!f.open(QIODevice::ReadOnly))
        return {f.exists() ? Holder::Kind::Unreadable : Holder::Kind::Gone, {}, 0};
    Holder h;
    const QDateTime changed = QFileInfo(f).lastModified();
    h.ageMs = changed.isValid() ? qAbs(changed.msecsTo(QDateTime::currentDateTimeUtc())) : 0;
    // The lock names the process, the program, the computer and, from newer writers, the
    // computer's lasting id, one line each.
    const QList<QByteArray> lines = f.read(4096).split('\n');
    bool number = false;
    const qint64 pid = lines.value(0).toLongLong(&number);
    if (!number || pid <= 0 || lines.size() < 3) {
        h.kind = Holder::Kind::Unreadable;
        return h;
    }
    h.host = QString::fromUtf8(lines.value(2));
    bool here = h.host.isEmpty() || h.host == QSysInfo::machineHostName();
    const QByteArray machine = lines.value(3);
    const QByteArray ours = QSysInfo::machineUniqueId();
    if (!machine.isEmpty() && !ours.isEmpty())
        here = machine == ours; // a renamed computer is still this one
    h.kind = here ? Holder::Kind::Here : Holder::Kind::Elsewhere;
    return h;
}

// Removes a lock whose holder is still of that kind and older than that. Two starts never
// remove at once: the second would remove the lock the first has just made. So the lock is
// looked at again under that guard; and removing it fails while a running copy holds it.
bool removeLeftLock(QLockFile& lock, Holder::Kind kind, qint64 olderThanMs) {
    QLockFile guard(lock.fileName() + QStringLiteral(".rmlock"));
    if (!guard.tryLock(0))
        return false;
    const Holder now = holderOf(lock.fileName());
    return now.kind == kind && now.ageMs > olderThanMs && lock.removeStaleLockFile();
}

// Whether the process at the other end of the socket runs as this user.
bool fromThisUser(const QLocalSocket& socket) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer,
                        &size) == 0 &&
           peer.uid == ::geteuid();
}

// Removes a socket that a copy which was killed left at the path; nothing else.
void removeLeftSocket(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == ::geteuid())
        ::unlink(name.constData());
}

// A folder of the user's own in the shared temporary folder.
QString privateTempFolder() {
    return QDir::tempPath() + QStringLiteral("/kalmix-") + QString::number(::geteuid());
}

} // namespace

QStringList instanceSocketPaths(const QString& settingsFile) {
    const QString file = QFileInfo(settingsFile).absoluteFilePath();
    const QString name = QStringLiteral("kalmix-") +
                         QString::fromLatin1(QCryptographicHash::hash(QFile::encodeName(file),
                                                                      QCryptographicHash::Sha1)
                                                 .toHex()
                                                 .left(24));
    QStringList places;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (isPrivateFolder(runtime))
        places.append(QFile::decodeName(runtime) + u'/' + name);
    places.append(file + QStringLiteral(".sock"));
    const QString own = privateTempFolder();
    if (isPrivateFolder(QFile::encodeName(own)))
        places.append(own + u'/' + name);
    QStringList fitting;
    for (const QString& place : places) {
        if (QFile::encodeName(place).size() <= kSocketPathLimit)
            fitting.append(place);
    }
    return fitting;
}

OneInstance::OneInstance(const QString& settingsFile, std::chrono::milliseconds wait)
    : m_file(QFileInfo(settingsFile).absoluteFilePath()), m_wait(wait),
      m_lock(m_file + QStringLiteral(".lock")) {
    m_lock.setStaleLockTime(0); // a lock outlives its holder only when that copy is gone
    // The lock's time tells another computer that this copy still runs.
    m_refresh.setInterval(kRefreshMs);
    m_refresh.callOnTimeout(
        [this] { ::utimensat(AT_FDCWD, QFile::encodeName(lockFile()).constData(), nullptr, 0); });
}

OneInstance::~OneInstance() = default;

OneInstance::Start OneInstance::start() {
    const QDeadlineTimer deadline(m_wait);
    for (;;) {
        if (m_lock.tryLock(0)) {
            // The folder of the user's own in the temporary folder is made when no other
            // place takes the socket. Nowhere to listen at all, this copy runs and keeps the
            // lock, so that a later start does not write the same file unseen but says that
            // Kalmix runs and does not answer.
            if (!listen() && ::mkdir(QFile::encodeName(privateTempFolder()).constData(), 0700) == 0)
                listen();
            m_refresh.start();
            return Start::First;
        }
        if (m_lock.error() != QLockFile::LockFailedError)
            return Start::First; // no lock can be made here, and so no second copy could either
        // A lock whose holder is gone on this computer was taken over by tryLock already.
        bool again = false;
        const Holder holder = holderOf(lockFile());
        switch (holder.kind) {
        case Holder::Kind::Gone:
            again = true; // released in the meantime
            break;
        case Holder::Kind::Unreadable:
            // Left empty or spoilt by a full disk or a power cut, unless it is being written
            // just now.
            again = holder.ageMs > kFreshMs && removeLeftLock(m_lock, holder.kind, kFreshMs);
            break;
        case Holder::Kind::Elsewhere:
            if (holder.ageMs > kDayMs && removeLeftLock(m_lock, holder.kind, kDayMs)) {
                again = true;
                break;
            }
            m_holderHost = holder.host;
            return Start::Elsewhere;
        case Holder::Kind::Here:
            switch (ask(deadline)) {
            case Reply::Answered:
                return Start::Handed;
            case Reply::Silent:
                return Start::Refused;
            case Reply::Nobody:
                break; // still starting, or it cannot listen
            }
            break;
        }
        if (deadline.hasExpired())
            return Start::Refused;
        if (!again)
            QThread::msleep(kRetryMs);
    }
}

OneInstance::Start OneInstance::takeOver() {
    removeLeftLock(m_lock, Holder::Kind::Elsewhere, -1);
    const Start start = this->start();
    return start == Start::Elsewhere ? Start::Refused : start;
}

OneInstance::Reply OneInstance::ask(const QDeadlineTimer& deadline) const {
    for (const QString& place : instanceSocketPaths(m_file)) {
        QLocalSocket socket;
        socket.connectToServer(place);
        if (!socket.waitForConnected(kConnectMs) || !fromThisUser(socket))
            continue;
        socket.write(kRequest, qint64(sizeof kRequest - 1));
        socket.waitForBytesWritten(kConnectMs);
        // A copy that hangs (or was stopped) takes the request but never answers.
        const QDeadlineTimer answerBy(qMax<qint64>(deadline.remainingTime(), kConnectMs));
        while (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState &&
               socket.bytesAvailable() < kLineLimit && !answerBy.hasExpired())
            socket.waitForReadyRead(int(qMin<qint64>(answerBy.remainingTime(), 1000)));
        if (socket.canReadLine())
            return Reply::Answered;
        if (socket.state() == QLocalSocket::ConnectedState)
            return Reply::Silent;
        // Closed without an answer: that copy ended in the meantime.
    }
    return Reply::Nobody;
}

bool OneInstance::listen() {
    for (const QString& place : instanceSocketPaths(m_file)) {
        auto server = std::make_unique<QLocalServer>();
        server->setSocketOptions(QLocalServer::UserAccessOption);
        removeLeftSocket(place); // the lock is ours: no running copy listens there
        if (!server->listen(place))
            continue;
        QLocalServer* s = server.get();
        QObject::connect(s, &QLocalServer::newConnection, s, [this, s] {
            while (QLocalSocket* c = s->nextPendingConnection()) {
                QObject::connect(c, &QLocalSocket::disconnected, c, &QObject::deleteLater);
                QObject::connect(c, &QLocalSocket::readyRead, c, [this, c] {
                    if (!c->canReadLine()) {
                        if (c->bytesAvailable() > kLineLimit)
                            c->abort();
                        return;
                    }
                    c->readAll();
                    c->write(kAnswer, qint64(sizeof kAnswer - 1));
                    c->flush();
                    if (m_bringToFront)
                        m_bringToFront();
                });
            }
        });
        m_server = std::move(server);
        m_socketPath = place;
        return true;
    }
    return false;
}

void OneInstance::onRequest(std::function<void()> bringToFront) {
    m_bringToFront = std::move(bringToFront);
}

void bringWindowsToFront() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible())
            continue;
        w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
        w->raise();
    }
    QWidget* front = QApplication::activeModalWidget();
    if (!front)
        front = QApplication::activeWindow();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!front && w->isVisible() && w->objectName() == QLatin1String("frmKalmix"))
            front = w;
    }
    if (front) {
        front->raise();
        front->activateWindow();
    }
}

} // namespace kalmix
