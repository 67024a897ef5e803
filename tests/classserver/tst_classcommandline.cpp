// kalmix --init-class-server, run as school IT would run it, against a real PostgreSQL; and
// options that Kalmix does not know, which must not open the window.

#include "classserver/classschema.h"
#include "history/commandline.h"
#include "support/pgserver.h"

#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <vector>

using namespace kalmix::test;

class TestClassCommandLine : public QObject {
    Q_OBJECT
    TestPgServer pg;
    QByteArray out, err;

    // Runs kalmix with no display at all: whatever tried to open the window would fail.
    int run(const QStringList& args) {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            e.remove(QString::fromLatin1(name));
        e.insert(QStringLiteral("PGPASSFILE"), pg.passFile());
        p.setProcessEnvironment(e);
        p.start(QStringLiteral(KALMIX_BIN), args);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return -1;
        }
        out = p.readAllStandardOutput();
        err = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(pg.start(), qPrintable(pg.error()));
        for (const char* login : {"it", "pupils_2a", "teacher_2a"})
            QVERIFY2(pg.createLogin(QString::fromLatin1(login), QStringLiteral("pw")),
                     qPrintable(pg.error()));
        // school IT: the database's owner, allowed to make roles, no superuser
        QVERIFY(pg.sql(QStringLiteral("ALTER ROLE it CREATEROLE"), QStringLiteral("postgres")));
        QVERIFY(
            pg.sql(QStringLiteral("CREATE DATABASE school OWNER it"), QStringLiteral("postgres")));
    }

    // An option Kalmix does not know is refused with exit code 2 and its name, before any
    // window; Qt's own options still go to the window.
    void unknownOptionsAreRefused() {
        QCOMPARE(run({QStringLiteral("--frobnicate")}), 2);
        QVERIFY(err.contains("--frobnicate"));
        QCOMPARE(run({QStringLiteral("--platform"), QStringLiteral("offscreen"),
                      QStringLiteral("--init-class-server=x"), QStringLiteral("--colour=red")}),
                 2);
        QVERIFY(err.contains("--colour=red"));
        // Qt's options, with one dash or two, with their values, leave the start to the window
        for (const QList<QByteArray>& args :
             {QList<QByteArray>{"--platform", "offscreen"}, QList<QByteArray>{"--style=fusion"},
              QList<QByteArray>{"-platform", "xcb", "--reverse"},
              QList<QByteArray>{"--qwindowtitle", "--title-like-text"}}) {
            QList<QByteArray> copies = QList<QByteArray>{"kalmix"} + args;
            std::vector<char*> argv;
            for (QByteArray& a : copies)
                argv.push_back(a.data());
            QVERIFY(!kalmix::runCommandLine(int(argv.size()), argv.data()).has_value());
        }
        QCOMPARE(run({QStringLiteral("--help")}), 0);
        QVERIFY(out.contains("--init-class-server CONNINFO"));
        // the options that only go together
        for (const QStringList& args :
             {QStringList{QStringLiteral("--class"), QStringLiteral("2a")},
              QStringList{QStringLiteral("--init-class-server"), QStringLiteral("x"),
                          QStringLiteral("--class"), QStringLiteral("2a")},
              QStringList{QStringLiteral("--init-class-server"), QStringLiteral("x"),
                          QStringLiteral("--pupil-role"), QStringLiteral("p")},
              QStringList{QStringLiteral("--init-class-server"), QStringLiteral("x"),
                          QStringLiteral("--export-csv"), QStringLiteral("a.csv")}}) {
            QCOMPARE(run(args), 2);
            QVERIFY(!err.isEmpty());
        }
    }

    // The database's owner sets the server up and adds a class's logins: exit 0, and the same
    // again changes nothing. A run that cannot do it says why, with exit code 2.
    void initClassServerAsTheOwner() {
        const QString it = pg.conninfo(QStringLiteral("it"), QStringLiteral("school"));
        QCOMPARE(
            run({QStringLiteral("--init-class-server"), it, QStringLiteral("--class"),
                 QStringLiteral("2a"), QStringLiteral("--pupil-role"), QStringLiteral("pupils_2a"),
                 QStringLiteral("--teacher-role"), QStringLiteral("teacher_2a")}),
            0);
        QVERIFY2(
            out.contains(
                QStringLiteral("from version 0 to %1").arg(kalmix::kClassSchemaVersion).toUtf8()),
            out.constData());
        QCOMPARE(run({QStringLiteral("--init-class-server"), it, QStringLiteral("--class"),
                      QStringLiteral("2a"), QStringLiteral("--pupil-role"),
                      QStringLiteral("pupils_2a")}),
                 0);
        QVERIFY(out.contains("up to date"));
        QCOMPARE(pg.value(QStringLiteral("SELECT string_agg(class || ':' || member, ',' ORDER BY "
                                         "member) FROM kalmix.class_member"),
                          QStringLiteral("school")),
                 QStringLiteral("2a:pupils_2a,2a:teacher_2a"));

        // an owner who may not hand out the roles is told what it needs
        QVERIFY(pg.createLogin(QStringLiteral("owner"), QStringLiteral("pw")));
        QVERIFY(pg.sql(QStringLiteral("CREATE DATABASE other OWNER owner"),
                       QStringLiteral("postgres")));
        QCOMPARE(run({QStringLiteral("--init-class-server"),
                      pg.conninfo(QStringLiteral("owner"), QStringLiteral("other")),
                      QStringLiteral("--class"), QStringLiteral("3b"),
                      QStringLiteral("--pupil-role"), QStringLiteral("pupils_2a")}),
                 2);
        QVERIFY2(err.contains("CREATEROLE"), err.constData());

        // a pupils' login is no owner
        QCOMPARE(run({QStringLiteral("--init-class-server"),
                      pg.conninfo(QStringLiteral("pupils_2a"), QStringLiteral("kalmix"))}),
                 2);
        QVERIFY2(err.contains("owner"), err.constData());
        // a server that is not there
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 closed = probe.serverPort();
        probe.close();
        QCOMPARE(
            run({QStringLiteral("--init-class-server"),
                 QStringLiteral("host=127.0.0.1 port=%1 dbname=school user=it connect_timeout=3")
                     .arg(closed)}),
            2);
        QVERIFY2(err.contains("cannot be reached"), err.constData());
        // a wrong password
        QCOMPARE(run({QStringLiteral("--init-class-server"),
                      it + QStringLiteral(" password=wrong passfile=/nonexistent")}),
                 2);
        QVERIFY2(err.contains("password"), err.constData());
    }
};

QTEST_GUILESS_MAIN(TestClassCommandLine)
#include "tst_classcommandline.moc"
