#include "support/pgserver.h"

#include "classserver/pgconnection.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

namespace kalmix::test {

namespace {

// The newest installed PostgreSQL's programs (Debian: /usr/lib/postgresql/<version>/bin), or
// the folder KALMIX_PG_BIN names.
QString findBinDir() {
    const QString own = qEnvironmentVariable("KALMIX_PG_BIN");
    if (!own.isEmpty())
        return own;
    QDir root(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(),
              [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& v : versions) {
        const QString bin = root.filePath(v + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")))
            return bin;
    }
    return root.filePath(QStringLiteral("15/bin"));
}

// The account the server runs under when the tests run as root: PostgreSQL refuses root.
struct Account {
    bool switchUser = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

Account serverAccount() {
    Account a;
    if (geteuid() != 0)
        return a;
    if (const passwd* pw = getpwnam("nobody")) {
        a.switchUser = true;
        a.uid = pw->pw_uid;
        a.gid = pw->pw_gid;
    }
    return a;
}

int freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString quoted(const QString& value) {
    QString v = value;
    v.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + v + u'\'';
}

QString sqlLiteral(const QString& value) {
    QString v = value;
    return u'\'' + v.replace(u'\'', QStringLiteral("''")) + u'\'';
}

QString sqlName(const QString& value) {
    QString v = value;
    return u'"' + v.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString pgpassField(const QString& value) {
    QString v = value;
    return v.replace(u'\\', QStringLiteral("\\\\")).replace(u':', QStringLiteral("\\:"));
}

bool processGone(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || line.mid(close + 2, 1) == "Z"; // a zombie nobody reaps is gone too
}

QList<qint64> childrenOf(qint64 parent) {
    QList<qint64> out;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& e : entries) {
        bool number = false;
        const qint64 pid = e.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == parent)
            out.append(pid);
    }
    return out;
}

} // namespace

TestPgServer::TestPgServer() : TestPgServer(Options{}) {}

TestPgServer::TestPgServer(Options options)
    : m_options(options), m_dir(QDir::tempPath() + QStringLiteral("/kalmix-pg-XXXXXX")),
      m_bin(findBinDir()) {}

TestPgServer::~TestPgServer() {
    if (m_running && !stop())
        kill();
}

bool TestPgServer::fail(const QString& why) {
    m_error = why;
    return false;
}

bool TestPgServer::runTool(const QString& tool, const QStringList& args, int timeoutMs) {
    const QString program = m_bin + u'/' + tool;
    if (!QFile::exists(program))
        return fail(QStringLiteral("%1 is missing: the tests need PostgreSQL's server programs "
                                   "(Debian package postgresql, see scripts/packages.txt)")
                        .arg(program));
    QProcess p;
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    env.insert(QStringLiteral("HOME"), m_dir.path());
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_dir.path());
    const Account account = serverAccount();
    if (account.switchUser) {
        p.setChildProcessModifier([account] {
            if (setgroups(0, nullptr) != 0 || setgid(account.gid) != 0 || setuid(account.uid) != 0)
                _exit(126);
        });
    }
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return fail(QStringLiteral("%1 did not finish: %2").arg(tool, p.errorString()));
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        QString log;
        QFile logFile(m_dir.filePath(QStringLiteral("server.log")));
        if (logFile.open(QIODevice::ReadOnly))
            log = QString::fromUtf8(logFile.readAll().right(2000));
        return fail(QStringLiteral("%1 %2 failed (%3): %4 %5\n%6")
                        .arg(tool, args.join(u' '))
                        .arg(p.exitCode())
                        .arg(QString::fromUtf8(p.readAllStandardError()),
                             QString::fromUtf8(p.readAllStandardOutput()), log));
    }
    return true;
}

bool TestPgServer::initCluster() {
    if (!m_dir.isValid())
        return fail(QStringLiteral("no temporary directory: %1").arg(m_dir.errorString()));
    const Account account = serverAccount();
    if (account.switchUser &&
        chown(QFile::encodeName(m_dir.path()).constData(), account.uid, account.gid) != 0)
        return fail(QStringLiteral("cannot give %1 to the server's account").arg(m_dir.path()));
    m_port = freePort();
    if (m_port == 0)
        return fail(QStringLiteral("no free port on 127.0.0.1"));
    const QString data = m_dir.filePath(QStringLiteral("data"));
    if (!runTool(QStringLiteral("initdb"),
                 {QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("postgres"),
                  QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C"),
                  QStringLiteral("--auth=trust"), QStringLiteral("--no-sync")},
                 120000))
        return false;
    // Only the superuser comes in without a password; the tests' logins prove theirs.
    QFile hba(data + QStringLiteral("/pg_hba.conf"));
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        hba.write("local all postgres trust\n"
                  "local all all scram-sha-256\n"
                  "host all postgres 127.0.0.1/32 trust\n"
                  "host all all 127.0.0.1/32 scram-sha-256\n") < 0)
        return fail(QStringLiteral("cannot write pg_hba.conf"));
    hba.close();
    QFile conf(data + QStringLiteral("/postgresql.conf"));
    if (!conf.open(QIODevice::WriteOnly | QIODevice::Append))
        return fail(QStringLiteral("cannot write postgresql.conf"));
    // fsync off: the data need not survive the machine, only the server. Commits still reach
    // the operating system before they are confirmed (synchronous_commit stays on), so what
    // was committed survives kill().
    const QString settings =
        QStringLiteral("\nunix_socket_directories = %1\nlisten_addresses = '%2'\nport = %3\n"
                       "max_connections = %4\nfsync = off\n"
                       "full_page_writes = off\nshared_buffers = 16MB\n"
                       "password_encryption = 'scram-sha-256'\nlog_min_messages = warning\n")
            .arg(quoted(m_dir.path()), m_options.tcp ? QStringLiteral("127.0.0.1") : QString())
            .arg(m_port)
            .arg(m_options.maxConnections);
    conf.write(settings.toUtf8());
    conf.close();
    QFile pass(passFile());
    if (!pass.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        !pass.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        return fail(QStringLiteral("cannot write the password file"));
    m_initialised = true;
    return true;
}

bool TestPgServer::start() {
    m_error.clear();
    if (m_running)
        return true;
    if (!m_initialised && !initCluster())
        return false;
    if (!runTool(QStringLiteral("pg_ctl"),
                 {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")),
                  QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")),
                  QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
                  QStringLiteral("start")},
                 90000))
        return false;
    m_running = true;
    if (value(QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = 'kalmix'"),
              QStringLiteral("postgres")) == u"0")
        return createDatabase(QStringLiteral("kalmix"));
    return m_error.isEmpty();
}

bool TestPgServer::stop() {
    m_error.clear();
    if (!m_running)
        return true;
    if (!runTool(QStringLiteral("pg_ctl"),
                 {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")),
                  QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"),
                  QStringLiteral("stop")}))
        return false;
    m_running = false;
    return true;
}

qint64 TestPgServer::postmasterPid() const {
    QFile pidFile(m_dir.filePath(QStringLiteral("data/postmaster.pid")));
    if (!pidFile.open(QIODevice::ReadOnly))
        return 0;
    return pidFile.readLine().trimmed().toLongLong();
}

bool TestPgServer::kill() {
    m_error.clear();
    const qint64 pid = postmasterPid();
    if (pid <= 0)
        return fail(QStringLiteral("no postmaster.pid: the server is not running"));
    QList<qint64> all = childrenOf(pid);
    all.prepend(pid);
    for (qint64 p : all)
        ::kill(pid_t(p), SIGKILL);
    QDeadlineTimer deadline(10000);
    for (qint64 p : all) {
        while (!processGone(p)) {
            if (deadline.hasExpired())
                return fail(QStringLiteral("the server's process %1 does not end").arg(p));
            QThread::msleep(10);
        }
    }
    // The lock files name a process that is gone, or a zombie that nobody reaps (in a
    // container without an init process), which the next server would take for alive.
    QFile::remove(m_dir.filePath(QStringLiteral("data/postmaster.pid")));
    QFile::remove(m_dir.filePath(QStringLiteral(".s.PGSQL.%1.lock").arg(m_port)));
    m_running = false;
    return true;
}

QString TestPgServer::conninfo(const QString& user, const QString& database) const {
    return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4 connect_timeout=10")
        .arg(quoted(m_dir.path()))
        .arg(m_port)
        .arg(quoted(database), quoted(user));
}

QString TestPgServer::tcpConninfo(const QString& user, const QString& database) const {
    return QStringLiteral("host=127.0.0.1 port=%1 dbname=%2 user=%3 connect_timeout=10")
        .arg(m_port)
        .arg(quoted(database), quoted(user));
}

bool TestPgServer::sql(const QString& statements, const QString& database) {
    PgConnection c;
    ServerError e = c.open(superConninfo(database), 20);
    if (e.ok())
        e = c.exec(statements, {}, nullptr, 60000);
    if (!e.ok())
        return fail(
            QStringLiteral("SQL failed: %1 (%2)\n%3").arg(e.message, e.sqlState, statements));
    return true;
}

QString TestPgServer::value(const QString& query, const QString& database) {
    PgConnection c;
    PgResult r;
    ServerError e = c.open(superConninfo(database), 20);
    if (e.ok())
        e = c.exec(query, {}, &r, 60000);
    if (!e.ok()) {
        fail(QStringLiteral("query failed: %1 (%2)\n%3").arg(e.message, e.sqlState, query));
        return {};
    }
    return r.value(0, 0);
}

bool TestPgServer::createDatabase(const QString& name) {
    return sql(QStringLiteral("CREATE DATABASE %1").arg(sqlName(name)), QStringLiteral("postgres"));
}

bool TestPgServer::createLogin(const QString& name, const QString& password) {
    if (!sql(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD %2")
                 .arg(sqlName(name), sqlLiteral(password)),
             QStringLiteral("postgres")))
        return false;
    QFile pass(passFile());
    if (!pass.open(QIODevice::WriteOnly | QIODevice::Append))
        return fail(QStringLiteral("cannot write the password file"));
    pass.write(
        QStringLiteral("*:*:*:%1:%2\n").arg(pgpassField(name), pgpassField(password)).toUtf8());
    return true;
}

QString TestPgServer::passFile() const {
    return m_dir.filePath(QStringLiteral("pgpass"));
}

void TestPgServer::usePassFile() const {
    qputenv("PGPASSFILE", QFile::encodeName(passFile()));
}

} // namespace kalmix::test
