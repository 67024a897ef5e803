// The connection to the class server against a real PostgreSQL: what each failure is called,
// and that no wait is longer than asked, whether the network is cut, stalled or the server is
// killed.

#include "classserver/pgconnection.h"
#include "classserver/uploadcheck.h"
#include "classserver/uploader.h"
#include "services/lang.h"
#include "support/pgserver.h"
#include "support/tcpproxy.h"
#include "support/testenv.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTest>
#include <QThread>
#include <QtEndian>
#include <condition_variable>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace kalmix;
using namespace kalmix::test;

namespace {

// A name server that does not answer, for one made-up name: its lookups are held until the
// test lets them go. Every other name is looked up as always.
const char kStalledHost[] = "stalled-name-server.test";
std::mutex g_lookupMutex;
std::condition_variable g_lookupGo;
bool g_lookupsLetGo = false;
int g_lookupsHeld = 0;

int lookupsHeld() {
    const std::lock_guard lock(g_lookupMutex);
    return g_lookupsHeld;
}

void letLookupsGo() {
    {
        const std::lock_guard lock(g_lookupMutex);
        g_lookupsLetGo = true;
    }
    g_lookupGo.notify_all();
}

// A server that says it is PostgreSQL 14 and lets anybody in, as an older server greets
// libpq; it takes one connection on 127.0.0.1.
class OlderServer {
public:
    OlderServer() {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof at;
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&at), size) != 0 ||
            ::listen(m_listen, 1) != 0 ||
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&at), &size) != 0)
            return;
        m_port = ntohs(at.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~OlderServer() {
        ::shutdown(m_listen, SHUT_RDWR); // wakes accept()
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listen);
    }
    quint16 port() const { return m_port; }

private:
    static void message(QByteArray& out, char type, const QByteArray& body) {
        out += type;
        const quint32 length = qToBigEndian(quint32(body.size() + 4));
        out += QByteArray(reinterpret_cast<const char*>(&length), 4) + body;
    }
    void serve() {
        const int c = ::accept(m_listen, nullptr, nullptr);
        if (c < 0)
            return;
        char buffer[1024];
        quint32 length = 0; // the start message: its length, then as much again
        if (::recv(c, &length, 4, MSG_WAITALL) == 4) {
            length = qFromBigEndian(length);
            for (quint32 left = length - 4; left > 0 && left < 10000;) {
                const ssize_t n = ::recv(c, buffer, std::min<size_t>(left, sizeof buffer), 0);
                if (n <= 0)
                    break;
                left -= quint32(n);
            }
            QByteArray out;
            message(out, 'R', QByteArray(4, '\0')); // no password asked
            message(out, 'S',
                    QByteArray("server_version\0"
                               "14.11\0",
                               21));
            message(out, 'K', QByteArray(8, '\1'));
            message(out, 'Z', QByteArray("I"));
            [[maybe_unused]] const ssize_t sent = ::send(c, out.constData(), out.size(), 0);
            while (::recv(c, buffer, sizeof buffer, 0) > 0) {
            } // until the client goes
        }
        ::close(c);
    }

    int m_listen = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

} // namespace

// This program's own getaddrinfo comes before the C library's for libpq.
extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** res) noexcept {
    using Lookup = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const auto real = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, "getaddrinfo"));
    if (!node || std::strcmp(node, kStalledHost) != 0)
        return real(node, service, hints, res);
    std::unique_lock lock(g_lookupMutex);
    ++g_lookupsHeld;
    g_lookupGo.wait(lock, [] { return g_lookupsLetGo; });
    --g_lookupsHeld;
    return EAI_NONAME;
}

class TestPgConnection : public QObject {
    Q_OBJECT
    TestPgServer pg{TestPgServer::Options{true, 100}};

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(pg.start(), qPrintable(pg.error()));
        QVERIFY2(pg.createLogin(QStringLiteral("pupil 2a"), QStringLiteral("se:cr\\et'")),
                 qPrintable(pg.error()));
        pg.usePassFile();
    }

    // The harness: the server does not run as root, and listens nowhere but the socket and
    // 127.0.0.1.
    void serverRunsUnprivilegedOnThisMachineOnly() {
        QCOMPARE(pg.value(QStringLiteral("SHOW listen_addresses")), QStringLiteral("127.0.0.1"));
        // the data belong to the account the server runs as, never root
        QVERIFY(QFileInfo(pg.socketDir() + QStringLiteral("/data")).ownerId() != 0);
    }

    // A login with its password from the password file comes in over the socket and over TCP,
    // and values go both ways as UTF-8.
    void passwordFileLoginAndParameters() {
        for (const QString& info : {pg.conninfo(QStringLiteral("pupil 2a")),
                                    pg.tcpConninfo(QStringLiteral("pupil 2a"))}) {
            PgConnection c;
            const ServerError e = c.open(info, 5);
            QVERIFY2(e.ok(), qPrintable(e.message));
            PgResult r;
            QVERIFY(c.exec(QStringLiteral("SELECT $1::text || 'ß', $2::int + 1, $3::boolean, "
                                          "$4::text IS NULL, current_user"),
                           {QStringLiteral("Spieler „Ö“"), 41, true, QVariant()}, &r)
                        .ok());
            QCOMPARE(r.value(0, 0), QStringLiteral("Spieler „Ö“ß"));
            QCOMPARE(r.number(0, 1), 42);
            QCOMPARE(r.value(0, 2), QStringLiteral("t"));
            QCOMPARE(r.value(0, 3), QStringLiteral("t"));
            QCOMPARE(r.value(0, 4), QStringLiteral("pupil 2a"));
        }
    }

    // Each failure that "Test connection" explains has its own problem, and its words name
    // what is wrong.
    void failuresAreTold() {
        PgConnection c;
        ServerError e = c.open(pg.conninfo(QStringLiteral("pupil 2a")) +
                                   QStringLiteral(" password=wrong passfile=/nonexistent"),
                               5);
        QCOMPARE(e.problem, ServerProblem::WrongPassword);
        QVERIFY(describe(e).contains(QStringLiteral("pupil 2a")));
        // no password anywhere is told the same way
        e = c.open(
            pg.conninfo(QStringLiteral("pupil 2a")) + QStringLiteral(" passfile=/nonexistent"), 5);
        QCOMPARE(e.problem, ServerProblem::WrongPassword);

        e = c.open(pg.conninfo(QStringLiteral("pupil 2a"), QStringLiteral("nosuchdb")), 5);
        QCOMPARE(e.problem, ServerProblem::NoDatabase);
        QVERIFY(describe(e).contains(QStringLiteral("nosuchdb")));

        QTcpServer probe; // a port nobody listens on any more
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 closed = probe.serverPort();
        probe.close();
        e = c.open(QStringLiteral("host=127.0.0.1 port=%1 dbname=kalmix user=x").arg(closed), 5);
        QCOMPARE(e.problem, ServerProblem::Unreachable);
        e = c.open(QStringLiteral("host=/nonexistent-folder dbname=kalmix user=x"), 5);
        QCOMPARE(e.problem, ServerProblem::Unreachable);

        e = c.open(QStringLiteral("host=%1 port=%2 user=postgres dbname=kalmix bogus=1")
                       .arg(pg.socketDir())
                       .arg(pg.port()),
                   5);
        QCOMPARE(e.problem, ServerProblem::Other);
        QVERIFY(describe(e).contains(QStringLiteral("bogus")));

        OlderServer older;
        QVERIFY(older.port());
        e = c.open(QStringLiteral("host=127.0.0.1 port=%1 dbname=kalmix user=x sslmode=disable "
                                  "gssencmode=disable")
                       .arg(older.port()),
                   5);
        QCOMPARE(e.problem, ServerProblem::ServerTooOld);
        QCOMPARE(e.number, 140011);
        QVERIFY2(describe(e).contains(QStringLiteral("14.11")), qPrintable(describe(e)));

        QVERIFY(pg.sql(QStringLiteral("CREATE ROLE barred NOLOGIN PASSWORD 'x'")));
        e = c.open(pg.conninfo(QStringLiteral("barred")) + QStringLiteral(" password=x"), 5);
        QCOMPARE(e.problem, ServerProblem::LoginRefused);
        QVERIFY(!c.isOpen());
    }

    // The words come from the language file in the chosen language; where none is loaded (the
    // command line), in English.
    void problemsInTheChosenLanguage() {
        ServerError e = ServerError::of(ServerProblem::NoDatabase);
        e.database = QStringLiteral("schule");
        QVERIFY(describe(e).startsWith(QStringLiteral("The class server has no database")));
        TestEnv env;
        WriteLanguageCopy();
        const std::int16_t before = SprachBasis;
        SprachBasis = 0;
        QCOMPARE(describe(e), QStringLiteral("Auf dem Klassenserver gibt es keine Datenbank "
                                             "„schule“. Bitte den Datenbanknamen (dbname) in der "
                                             "Verbindung prüfen."));
        SprachBasis = 6000;
        QVERIFY(describe(ServerError::of(ServerProblem::Other, QStringLiteral("x")))
                    .endsWith(QStringLiteral("problème\u00a0: x")));
        SprachBasis = before;
        LangDatei.clear();
    }

    // A server that accepts the connection and then says nothing: open() and exec() give up
    // after their time, and cancel() from another thread ends a wait at once.
    void stalledNetworkIsBounded() {
        TcpProxy proxy(quint16(pg.tcpPort()));
        PgConnection c;
        QString info = pg.tcpConninfo(QStringLiteral("pupil 2a"));
        info.replace(QStringLiteral("port=%1").arg(pg.tcpPort()),
                     QStringLiteral("port=%1").arg(proxy.port()));
        QVERIFY(c.open(info, 5).ok());
        proxy.setStalled(true);
        QElapsedTimer t;
        t.start();
        ServerError e = c.exec(QStringLiteral("SELECT 1"), {}, nullptr, 300);
        QCOMPARE(e.problem, ServerProblem::Timeout);
        QVERIFY(t.elapsed() < 3000);
        QVERIFY(!c.isOpen());

        t.restart();
        e = c.open(info, 1);
        QCOMPARE(e.problem, ServerProblem::Timeout); // reached, but no answer
        QVERIFY(t.elapsed() < 4000);

        // another thread calls the wait off, or the network is cut, once the statement is
        // on its way
        const auto whileWaiting = [&](const std::function<void()>& act) {
            proxy.setStalled(true);
            const qint64 before = proxy.bytesFromClients();
            QThread* other = QThread::create([&] {
                QTRY_VERIFY_WITH_TIMEOUT(proxy.bytesFromClients() > before, 10000);
                act();
            });
            other->start();
            t.restart();
            const ServerError e = c.exec(QStringLiteral("SELECT 1"), {}, nullptr, 60000);
            other->wait();
            delete other;
            proxy.setStalled(false);
            return e;
        };
        proxy.setStalled(false);
        QVERIFY(c.open(info, 5).ok());
        QCOMPARE(whileWaiting([&c] { c.cancel(); }).problem, ServerProblem::Timeout);
        QVERIFY(t.elapsed() < 10000);
        QCOMPARE(c.open(info, 5).problem, ServerProblem::Timeout); // cancelled stays cancelled
        c.clearCancel();
        QVERIFY(c.open(info, 5).ok());
        QCOMPARE(whileWaiting([&proxy] { proxy.cutAll(); }).problem, ServerProblem::Unreachable);
        QVERIFY(t.elapsed() < 10000);
        QVERIFY(!c.isOpen());
    }

    // A name server that does not answer: open() waits no longer than it was asked to, cancel()
    // ends the wait at once, and quitting Kalmix does not wait for the uploader's lookup. The
    // starts left behind end themselves once the lookups come back.
    void stalledNameLookupIsBounded() {
        const QString info =
            QStringLiteral("host=%1 dbname=kalmix user=p").arg(QLatin1String(kStalledHost));
        QElapsedTimer t;
        t.start();
        PgConnection waited;
        const ServerError e = waited.open(info, 1);
        QCOMPARE(e.problem, ServerProblem::Unreachable);
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));

        PgConnection called;
        QThread* other = QThread::create([&called] {
            QTRY_COMPARE_WITH_TIMEOUT(lookupsHeld(), 2, 10000);
            called.cancel();
        });
        other->start();
        t.restart();
        QCOMPARE(called.open(info, 60).problem, ServerProblem::Timeout);
        QVERIFY(t.elapsed() < 10000);
        other->wait();
        delete other;

        TestEnv env;
        HistoryStore store(env.path(QStringLiteral("Kalmix.db")));
        playRound(store, QStringLiteral("Ada"), kLessonStart, 2);
        {
            ClassUploader u(
                UploadTarget{info, QStringLiteral("2a"), QStringLiteral("m"), store.path()});
            u.start();
            u.wake();
            QTRY_COMPARE_WITH_TIMEOUT(lookupsHeld(), 3, 10000);
            t.restart();
            QVERIFY(u.stop(1000));
            QVERIFY(t.elapsed() < 2000);
        }
        QCOMPARE(PgConnection::startsInFlight(), 3);
        letLookupsGo();
        QTRY_COMPARE_WITH_TIMEOUT(PgConnection::startsInFlight(), 0, 10000);
    }

    // Killed and started again on the same data: what was committed is there, the connection
    // that was open is told it is gone, and a new one works.
    void killedServerComesBackWithItsRows() {
        QVERIFY(pg.sql(QStringLiteral("CREATE TABLE kept(n int); INSERT INTO kept VALUES (7)")));
        PgConnection c;
        QVERIFY(c.open(pg.superConninfo(), 5).ok());
        QVERIFY(c.begin().ok());
        QVERIFY(c.exec(QStringLiteral("INSERT INTO kept VALUES (8)")).ok());
        QVERIFY2(pg.kill(), qPrintable(pg.error()));
        QCOMPARE(c.commit().problem, ServerProblem::Unreachable);
        QCOMPARE(c.open(pg.superConninfo(), 2).problem, ServerProblem::Unreachable);
        QVERIFY2(pg.start(), qPrintable(pg.error()));
        QCOMPARE(pg.value(QStringLiteral("SELECT string_agg(n::text, ',') FROM kept")),
                 QStringLiteral("7"));
        QVERIFY2(pg.restart(), qPrintable(pg.error()));
        QVERIFY(c.open(pg.superConninfo(), 5).ok());
    }
};

QTEST_GUILESS_MAIN(TestPgConnection)
#include "tst_pgconnection.moc"
