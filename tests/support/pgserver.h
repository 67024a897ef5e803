#pragma once

// A real PostgreSQL server for one test program: a cluster made with initdb in a temporary
// directory, its Unix socket in that directory and, when asked, 127.0.0.1 on a free port
// (never any other address). Run as root (as CI runs), the server runs as the unprivileged
// user `nobody`. The superuser `postgres` comes in without a password; every other login needs
// its password (scram-sha-256), which the tests keep in a password file of their own.
//
// Every step returns false with the reason in error(); the tests fail, never skip, when the
// server's programs are missing (scripts/packages.txt installs them):
//     TestPgServer pg;
//     QVERIFY2(pg.start(), qPrintable(pg.error()));

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kalmix::test {

class TestPgServer {
public:
    struct Options {
        bool tcp = false;         // listen on 127.0.0.1 too, on a free port
        int maxConnections = 100; // the server's max_connections
    };
    TestPgServer();
    explicit TestPgServer(Options options);
    ~TestPgServer();
    TestPgServer(const TestPgServer&) = delete;
    TestPgServer& operator=(const TestPgServer&) = delete;

    // The first start makes the cluster and the database `kalmix`; later starts use the same
    // data (after stop() or kill()). Waits until the server takes connections.
    bool start();
    // A fast shutdown: open transactions are rolled back, connections closed.
    bool stop();
    // SIGKILL to the server and all its processes at once, as a crash or a pulled plug does.
    // Committed rows survive; what was not committed is gone.
    bool kill();
    bool restart() { return stop() && start(); }
    bool running() const { return m_running; }

    QString error() const { return m_error; }
    QString binDir() const { return m_bin; }
    QString socketDir() const { return m_dir.path(); }
    int port() const { return m_port; } // the port number (also of the socket's name)
    int tcpPort() const { return m_options.tcp ? m_port : 0; }

    // Connection strings: over the Unix socket, or over 127.0.0.1 (only with Options::tcp).
    QString conninfo(const QString& user, const QString& database = QStringLiteral("kalmix")) const;
    QString tcpConninfo(const QString& user,
                        const QString& database = QStringLiteral("kalmix")) const;
    QString superConninfo(const QString& database = QStringLiteral("kalmix")) const {
        return conninfo(QStringLiteral("postgres"), database);
    }

    // Runs SQL as the superuser (several statements may go in one string); false with the
    // server's message in error() when it fails.
    bool sql(const QString& statements, const QString& database = QStringLiteral("kalmix"));
    // The first value of a query run as the superuser; empty (and error() set) on failure.
    QString value(const QString& query, const QString& database = QStringLiteral("kalmix"));
    bool createDatabase(const QString& name);
    // A login role with a password (stored as scram-sha-256), written to the password file.
    bool createLogin(const QString& name, const QString& password);
    // The test's password file (mode 0600), for PGPASSFILE or passfile=.
    QString passFile() const;
    // Points PGPASSFILE at passFile() for this process (the settings store no password).
    void usePassFile() const;

private:
    bool initCluster();
    bool runTool(const QString& tool, const QStringList& args, int timeoutMs = 60000);
    bool fail(const QString& why);
    qint64 postmasterPid() const;

    Options m_options;
    QTemporaryDir m_dir;
    QString m_bin;
    QString m_error;
    int m_port = 0;
    bool m_initialised = false;
    bool m_running = false;
};

} // namespace kalmix::test
