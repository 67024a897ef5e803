#include "support/tcpproxy.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <deque>

namespace kalmix::test {

// One direction of one connection: what came in and when it may go on.
struct Lane {
    QPointer<QTcpSocket> from;
    QPointer<QTcpSocket> to;
    std::deque<std::pair<qint64, QByteArray>> pending;
    bool closing = false; // `from` has closed: close `to` once everything has gone on
};

struct Pair {
    QTcpSocket* client = nullptr;
    QTcpSocket* server = nullptr;
    Lane up;   // client to server
    Lane down; // server to client
};

class ProxyWorker : public QObject {
public:
    explicit ProxyWorker(quint16 target) : m_target(target) { m_clock.start(); }
    ~ProxyWorker() override { dropAll(); }

    quint16 listen() {
        m_server = new QTcpServer(this);
        if (!m_server->listen(QHostAddress::LocalHost, 0))
            return 0;
        QObject::connect(m_server, &QTcpServer::newConnection, this, [this] { accept(); });
        return m_server->serverPort();
    }

    int delay = 0;
    bool stalled = false;
    bool refusing = false;
    std::atomic<int> accepted{0};
    std::atomic<int> open{0};
    std::atomic<qint64> fromClients{0};

    void pumpAll() {
        const QList<Pair*> pairs = m_pairs; // a socket's signal may drop a pair meanwhile
        for (Pair* p : pairs) {
            if (m_pairs.contains(p))
                pump(p->up);
            if (m_pairs.contains(p))
                pump(p->down);
        }
    }

    void dropAll() {
        const QList<Pair*> pairs = m_pairs;
        for (Pair* p : pairs)
            drop(p, true);
    }

private:
    void accept() {
        while (QTcpSocket* client = m_server->nextPendingConnection()) {
            ++accepted;
            if (refusing) {
                client->abort();
                client->deleteLater();
                continue;
            }
            ++open;
            auto* p = new Pair;
            p->client = client;
            p->server = new QTcpSocket(this);
            p->up.from = client;
            p->up.to = p->server;
            p->down.from = p->server;
            p->down.to = client;
            m_pairs.append(p);
            for (Lane* lane : {&p->up, &p->down}) {
                QObject::connect(lane->from, &QTcpSocket::readyRead, this, [this, lane, p] {
                    if (lane->from && lane->to) {
                        const QByteArray data = lane->from->readAll();
                        if (lane->to == p->server)
                            fromClients += data.size();
                        lane->pending.emplace_back(m_clock.elapsed() + delay, data);
                        pump(*lane);
                    }
                });
                QObject::connect(lane->from, &QTcpSocket::disconnected, this, [this, lane] {
                    lane->closing = true;
                    pump(*lane);
                });
            }
            QObject::connect(p->server, &QTcpSocket::errorOccurred, this,
                             [this, p](QAbstractSocket::SocketError) {
                                 if (p->server->state() != QAbstractSocket::ConnectedState)
                                     drop(p, true);
                             });
            p->server->connectToHost(QHostAddress::LocalHost, m_target);
        }
    }

    void pump(Lane& lane) {
        if (stalled)
            return;
        const qint64 now = m_clock.elapsed();
        while (!lane.pending.empty() && lane.pending.front().first <= now && lane.to) {
            lane.to->write(lane.pending.front().second);
            lane.pending.pop_front();
        }
        if (!lane.pending.empty()) {
            const qint64 wait = std::max<qint64>(1, lane.pending.front().first - now);
            QTimer::singleShot(int(wait), this, [this] { pumpAll(); });
        } else if (lane.closing && lane.to) {
            lane.to->disconnectFromHost();
        }
        // Never from inside a pump: its lane belongs to a pair that dropping deletes.
        QMetaObject::invokeMethod(
            this, [this] { dropFinished(); }, Qt::QueuedConnection);
    }

    // Drops the pairs whose both directions have closed and sent everything on.
    void dropFinished() {
        const QList<Pair*> pairs = m_pairs;
        for (Pair* p : pairs) {
            if (p->up.closing && p->down.closing && p->up.pending.empty() &&
                p->down.pending.empty())
                drop(p, false);
        }
    }

    void drop(Pair* p, bool reset) {
        if (!m_pairs.removeOne(p))
            return;
        --open;
        for (QTcpSocket* s : {p->client, p->server}) {
            s->disconnect(this);
            if (reset)
                s->abort();
            s->deleteLater();
        }
        delete p;
    }

    quint16 m_target;
    QTcpServer* m_server = nullptr;
    QList<Pair*> m_pairs;
    QElapsedTimer m_clock;
};

TcpProxy::TcpProxy(quint16 targetPort) : m_thread(std::make_unique<QThread>()) {
    m_worker = new ProxyWorker(targetPort);
    m_worker->moveToThread(m_thread.get());
    QObject::connect(m_thread.get(), &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
    QMetaObject::invokeMethod(
        m_worker, [this] { m_port = m_worker->listen(); }, Qt::BlockingQueuedConnection);
}

TcpProxy::~TcpProxy() {
    QMetaObject::invokeMethod(
        m_worker, [this] { m_worker->dropAll(); }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

void TcpProxy::setDelay(int ms) {
    QMetaObject::invokeMethod(
        m_worker, [this, ms] { m_worker->delay = ms; }, Qt::BlockingQueuedConnection);
}

void TcpProxy::setStalled(bool stalled) {
    QMetaObject::invokeMethod(
        m_worker,
        [this, stalled] {
            m_worker->stalled = stalled;
            m_worker->pumpAll();
        },
        Qt::BlockingQueuedConnection);
}

void TcpProxy::cutAll() {
    QMetaObject::invokeMethod(
        m_worker, [this] { m_worker->dropAll(); }, Qt::BlockingQueuedConnection);
}

void TcpProxy::setRefusing(bool refusing) {
    QMetaObject::invokeMethod(
        m_worker, [this, refusing] { m_worker->refusing = refusing; },
        Qt::BlockingQueuedConnection);
}

int TcpProxy::accepted() const {
    return m_worker->accepted;
}

int TcpProxy::open() const {
    return m_worker->open;
}

qint64 TcpProxy::bytesFromClients() const {
    return m_worker->fromClients;
}

} // namespace kalmix::test
