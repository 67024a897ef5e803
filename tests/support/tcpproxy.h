#pragma once

// A forwarder on 127.0.0.1 between a client and a server on this machine, running on a thread
// of its own (the client under test may block its thread while it waits). It passes the bytes
// on as they come, or late, or not at all, and can cut every connection at once: a slow, a
// stalled and a broken network, without leaving this machine.

#include <QtGlobal>
#include <memory>

class QThread;

namespace kalmix::test {

class ProxyWorker;

class TcpProxy {
public:
    // Forwards to 127.0.0.1:targetPort; listens on a free port of 127.0.0.1.
    explicit TcpProxy(quint16 targetPort);
    ~TcpProxy();
    TcpProxy(const TcpProxy&) = delete;
    TcpProxy& operator=(const TcpProxy&) = delete;

    quint16 port() const { return m_port; }

    // Each piece of data waits this long before it goes on (0: at once).
    void setDelay(int ms);
    // Stalled, nothing goes on in either direction (it is kept, and goes on when released);
    // the connections stay open.
    void setStalled(bool stalled);
    // Ends every open connection at once (a reset, as when a cable is pulled and the peer
    // notices); new connections still come through.
    void cutAll();
    // While refusing, each new connection is closed as soon as it is accepted.
    void setRefusing(bool refusing);
    // Connections accepted so far, and open now.
    int accepted() const;
    int open() const;

private:
    std::unique_ptr<QThread> m_thread;
    ProxyWorker* m_worker = nullptr; // lives on m_thread
    quint16 m_port = 0;
};

} // namespace kalmix::test
