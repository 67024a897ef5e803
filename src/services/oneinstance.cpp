#include "services/oneinstance.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>
#include <unistd.h>

namespace kalmix {

namespace {
constexpr char kRequest[] = "front\n";
constexpr int kWaitMs = 2000;
} // namespace

OneInstance::OneInstance(const QString& settingsFile)
    : m_file(QFileInfo(settingsFile).absoluteFilePath()), m_lock(m_file + QStringLiteral(".lock")) {
    m_lock.setStaleLockTime(0); // a lock outlives its holder only when that copy is gone
}

OneInstance::~OneInstance() = default;

QString OneInstance::serverName() const {
    // One name per user and settings file, short enough for a socket path.
    const QByteArray key =
        QByteArray::number(static_cast<qulonglong>(::geteuid())) + ':' + QFile::encodeName(m_file);
    return QStringLiteral("kalmix-") +
           QString::fromLatin1(
               QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(24));
}

OneInstance::Start OneInstance::start() {
    if (m_lock.tryLock(0)) {
        m_server = std::make_unique<QLocalServer>();
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        QLocalServer::removeServer(serverName()); // left by a copy that was killed
        m_server->listen(serverName());
        QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(), [this] {
            while (QLocalSocket* s = m_server->nextPendingConnection()) {
                QObject::connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
                QObject::connect(s, &QLocalSocket::readyRead, s, [this, s] {
                    if (s->readAll().contains('\n') && m_bringToFront)
                        m_bringToFront();
                });
            }
        });
        return Start::First;
    }
    if (m_lock.error() != QLockFile::LockFailedError)
        return Start::First; // no lock can be made here, and so no second copy could either
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (socket.waitForConnected(kWaitMs) && socket.write(kRequest) == qint64(sizeof kRequest - 1) &&
        socket.waitForBytesWritten(kWaitMs)) {
        socket.disconnectFromServer();
        return Start::Handed;
    }
    return Start::Refused;
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
