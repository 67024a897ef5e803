// The connection to the class server against a real PostgreSQL: what each failure is called,
// and that no wait is longer than asked, whether the network is cut, stalled or the server is
// killed.

#include "classserver/pgconnection.h"
#include "support/pgserver.h"
#include "support/tcpproxy.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTest>
#include <QThread>
#include <unistd.h>

using namespace kalmix;
using namespace kalmix::test;

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

        QVERIFY(pg.sql(QStringLiteral("CREATE ROLE barred NOLOGIN PASSWORD 'x'")));
        e = c.open(pg.conninfo(QStringLiteral("barred")) + QStringLiteral(" password=x"), 5);
        QCOMPARE(e.problem, ServerProblem::LoginRefused);
        QVERIFY(!c.isOpen());
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

        proxy.setStalled(false);
        QVERIFY(c.open(info, 5).ok());
        proxy.setStalled(true);
        QThread* canceller = QThread::create([&c] {
            QThread::msleep(100);
            c.cancel();
        });
        canceller->start();
        t.restart();
        e = c.exec(QStringLiteral("SELECT 1"), {}, nullptr, 60000);
        canceller->wait();
        delete canceller;
        QCOMPARE(e.problem, ServerProblem::Timeout);
        QVERIFY(t.elapsed() < 5000);
        proxy.setStalled(false);
        QCOMPARE(c.open(info, 5).problem, ServerProblem::Timeout); // cancelled stays cancelled
        c.clearCancel();
        QVERIFY(c.open(info, 5).ok());

        // cut in the middle of a statement: the connection is lost, not the program
        QThread* cutter = QThread::create([&proxy] {
            QThread::msleep(100);
            proxy.cutAll();
        });
        cutter->start();
        e = c.exec(QStringLiteral("SELECT pg_sleep(2)"), {}, nullptr, 10000);
        cutter->wait();
        delete cutter;
        QCOMPARE(e.problem, ServerProblem::Unreachable);
        QVERIFY(!c.isOpen());
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
