// The report and the tricky tasks read from a real class server: a class played on several
// computers shows as one, with the same figures this computer's history gives for the same
// answers; a server that is gone or stalls leaves the report and the game with this
// computer's history, and says so.

#include "classrows.h"
#include "classserver/classschema.h"
#include "classserver/classsource.h"
#include "classserver/naturalorder.h"
#include "main/frmkalmix.h"
#include "profiles/settingsfile.h"
#include "report/reportwindow.h"
#include "services/lang.h"
#include "support/pgserver.h"
#include "support/tcpproxy.h"
#include "support/testenv.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace kalmix;
using namespace kalmix::test;

namespace {

const QString kPassword = QStringLiteral("pw");

QString text(const ReportTotals& t) {
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(t.rounds)
        .arg(t.tasks)
        .arg(t.rightFirstTry)
        .arg(t.helped)
        .arg(t.medianSeconds ? QString::number(*t.medianSeconds) : QStringLiteral("-"));
}

QStringList texts(const QList<ReportDay>& days) {
    QStringList out;
    for (const ReportDay& d : days)
        out << QStringLiteral("%1 %2 %3 %4")
                   .arg(d.day.toString(Qt::ISODate))
                   .arg(d.solved)
                   .arg(d.tasks)
                   .arg(d.rightFirstTry);
    return out;
}

QStringList texts(const QList<ReportFact>& facts) {
    QStringList out;
    for (const ReportFact& f : facts)
        out << QStringLiteral("%1 %2 %3 %4 %5 %6")
                   .arg(f.a)
                   .arg(f.b)
                   .arg(f.tasks)
                   .arg(f.rightFirstTry)
                   .arg(int(f.state))
                   .arg(f.leftTricky);
    return out;
}

QStringList texts(const QList<ReportTrickyTask>& tasks) {
    QStringList out;
    for (const ReportTrickyTask& t : tasks)
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                   .arg(t.operation)
                   .arg(t.a)
                   .arg(t.b.value_or(-1))
                   .arg(t.expected)
                   .arg(t.tasks)
                   .arg(t.notFirstTry)
                   .arg(t.medianSeconds.value_or(-1))
                   .arg(t.leftTricky);
    return out;
}

QStringList texts(const QList<TaskFacts>& facts) {
    QStringList out;
    for (const TaskFacts& t : facts)
        out << factKey(t.operation, t.a, t.b) + u' ' + QString::number(t.expected);
    return out;
}

QStringList texts(const QList<ReportClassRow>& rows) {
    QStringList out;
    for (const ReportClassRow& r : rows)
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                   .arg(r.player)
                   .arg(r.deleted)
                   .arg(r.lastRound.toString(Qt::ISODate))
                   .arg(r.roundsThisWeek)
                   .arg(r.tasks)
                   .arg(r.shareRightFirstTry)
                   .arg(r.trend);
    return out;
}

QStringList names(const QList<ReportPlayer>& players) {
    QStringList out;
    for (const ReportPlayer& p : players)
        out << p.name + (p.deleted ? QStringLiteral(" (deleted)") : QString());
    return out;
}

QStringList names(const QList<ReportClassRow>& rows) {
    QStringList out;
    for (const ReportClassRow& r : rows)
        out << r.player;
    return out;
}

} // namespace

class TestClassSource : public QObject {
    Q_OBJECT
    TestPgServer pg{TestPgServer::Options{true, 100}};
    PgConnection owner;

    QString teacher() const { return pg.conninfo(QStringLiteral("t2a")); }

    void clearServer() {
        QVERIFY(owner.exec(QStringLiteral("TRUNCATE kalmix.answer, kalmix.round")).ok());
    }
    void send(HistoryStore& store, const QString& className, const QString& machine) {
        store.finish();
        const QString error = sendHistory(owner, store.path(), className, machine);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

private Q_SLOTS:
    void initTestCase() {
        {
            TestEnv env;
            WriteLanguageCopy();
        }
        QVERIFY2(pg.start(), qPrintable(pg.error()));
        for (const char* login : {"p2a", "t2a"})
            QVERIFY2(pg.createLogin(QString::fromLatin1(login), kPassword), qPrintable(pg.error()));
        pg.usePassFile();
        QVERIFY(owner.open(pg.superConninfo(), 5).ok());
        QVERIFY(migrateClassSchema(owner).ok());
        QVERIFY(
            addClassMember(owner, QStringLiteral("2a"), QStringLiteral("p2a"), MemberKind::Pupil)
                .ok());
        QVERIFY(
            addClassMember(owner, QStringLiteral("2a"), QStringLiteral("t2a"), MemberKind::Teacher)
                .ok());
    }

    // The texts are read from a copy of the language file that every Kalmix on this machine
    // writes: written anew for each case.
    void init() {
        SprachBasis = 1000;
        WriteLanguageCopy();
    }

    // Numbers in names go by their value, letters without regard to case.
    void namesInNaturalOrder() {
        QStringList list = {u"Player 10"_qs, u"player 2"_qs, u"Player 1b"_qs, u"Anna"_qs,
                            u"Player 02"_qs, u"Player 1"_qs, u"Player 9"_qs};
        std::sort(list.begin(), list.end(), naturalLess);
        QCOMPARE(list, (QStringList{u"Anna"_qs, u"Player 1"_qs, u"Player 1b"_qs, u"Player 02"_qs,
                                    u"player 2"_qs, u"Player 9"_qs, u"Player 10"_qs}));
    }

    // Two computers of class 2a and one of class 3b send their rows: the teacher of 2a sees
    // every child of 2a, in natural order, each with the answers from every computer, and
    // none of 3b.
    void twoComputersOneClass() {
        clearServer();
        TestEnv env;
        env.writeFile(u"Kalmix.ini"_qs, "[Benutzer]\r\nName1=Zoe\r\n");
        QDateTime at = env.clock.wall.addDays(-1);
        HistoryStore a(env.path(u"a.db"_qs)), b(env.path(u"b.db"_qs)), c(env.path(u"c.db"_qs));
        a.roundStarted(u"Player 10"_qs, 8, at);
        play(a, fact("+", 3, 4, 7), {Outcome::Right}, at);
        a.roundEnded({1, 0, 0, 5, false}, true, at);
        a.roundStarted(u"Player 2"_qs, 8, at);
        play(a, fact("+", 5, 5, 10), {Outcome::Wrong, Outcome::Right}, at);
        a.roundEnded({1, 1, 0, 9, false}, true, at);
        b.roundStarted(u"Player 2"_qs, 8, at);
        play(b, fact("*", 6, 6, 36), {Outcome::Right}, at);
        b.roundEnded({1, 0, 0, 5, false}, true, at);
        b.roundStarted(u"Anna"_qs, 8, at);
        play(b, fact("-", 9, 3, 6), {Outcome::Right}, at);
        b.roundEnded({1, 0, 0, 5, false}, true, at);
        c.roundStarted(u"Player 3"_qs, 8, at);
        play(c, fact("+", 1, 1, 2), {Outcome::Right}, at);
        c.roundEnded({1, 0, 0, 5, false}, true, at);
        send(a, u"2a"_qs, u"machine-a"_qs);
        send(b, u"2a"_qs, u"machine-b"_qs);
        send(c, u"3b"_qs, u"machine-c"_qs);

        HistoryStore local(env.path(u"b.db"_qs));
        ClassServerSource source({teacher(), u"2a"_qs}, local);
        source.beginReading();
        QCOMPARE(source.origin(), langText(445).arg(u"2a"_qs));
        QCOMPARE(names(source.players()),
                 (QStringList{u"Anna"_qs, u"Player 2"_qs, u"Player 10"_qs}));
        const ReportTotals t = source.totals(u"Player 2"_qs, QDateTime());
        QCOMPARE(text(t).section(u' ', 0, 2), u"2 2 1"_qs); // rounds, tasks, right at once
        // this computer's players who have not played yet are in the overview too
        QCOMPARE(names(source.classOverview(env.clock.wall)),
                 (QStringList{u"Anna"_qs, u"Player 2"_qs, u"Player 10"_qs, u"Zoe"_qs}));
        QVERIFY2(source.readingServer(), qPrintable(source.lastError().message));
    }

    // The same answers give the same figures, whether the history on this computer or the
    // class server is read.
    void sameFiguresAsThisComputersHistory() {
        clearServer();
        TestEnv env;
        env.writeFile(u"Kalmix.ini"_qs, "[Benutzer]\r\nName1=Anna\r\nName2=Ben\r\n");
        const QDateTime now = env.clock.wall;
        HistoryStore store(env.path(u"Kalmix.db"_qs));
        // Anna over five weeks: facts mastered, missed and left again, help, counting, the
        // tries of a task across midnight of the span's first day
        for (int week = 5; week >= 0; --week) {
            for (int day : {3, 1}) {
                QDateTime at = now.addDays(-7 * week - day).addSecs(-3600);
                store.roundStarted(u"Anna"_qs, 8, at);
                play(store, fact("*", 7, 8, 56),
                     week % 2 ? QList<Outcome>{Outcome::Wrong, Outcome::Right}
                              : QList<Outcome>{Outcome::Right},
                     at);
                play(store, fact("+", 3 + week, 4, 7 + week), {Outcome::Right}, at);
                play(store, fact("-", 12, day, 12 - day),
                     day == 1 ? QList<Outcome>{Outcome::Help} : QList<Outcome>{Outcome::Right}, at);
                play(store, fact("/", 42, 6, 7), {Outcome::Right}, at);
                play(store, TaskFacts{0, u"count"_qs, 5, std::nullopt, 5}, {Outcome::Right}, at);
                store.roundEnded({5, 0, 0, 30, false}, week != 3, at);
            }
        }
        QDateTime at = now.addSecs(-600);
        store.roundStarted(u"Ben"_qs, 8, at);
        play(store, fact("*", 9, 9, 81), {Outcome::Wrong, Outcome::Wrong, Outcome::Help}, at);
        store.roundEnded({0, 2, 1, 20, false}, false, at);
        send(store, u"2a"_qs, u"machine-a"_qs);

        HistoryStore local(env.path(u"other.db"_qs));
        ClassServerSource source({teacher(), u"2a"_qs}, local);
        source.beginReading();
        QCOMPARE(names(source.players()), names(store.players()));
        for (const QString& player : {u"Anna"_qs, u"Ben"_qs}) {
            QCOMPARE(texts(source.days(player, now.date().addDays(-27), now.date())),
                     texts(store.days(player, now.date().addDays(-27), now.date())));
            for (const QDateTime& since : {now.addDays(-7), now.addDays(-30), QDateTime()})
                QCOMPARE(text(source.totals(player, since)), text(store.totals(player, since)));
            for (const char* op : {"+", "-", "*", "/"})
                QCOMPARE(texts(source.facts(player, QLatin1String(op), 20, 20)),
                         texts(store.facts(player, QLatin1String(op), 20, 20)));
            QCOMPARE(texts(source.trickyTasks(player, now.addDays(-30), 10)),
                     texts(store.trickyTasks(player, now.addDays(-30), 10)));
            QCOMPARE(texts(source.trickyTasks(player)), texts(store.trickyTasks(player)));
        }
        QCOMPARE(texts(source.classOverview(now)), texts(store.classOverview(now)));
        QVERIFY(!texts(store.trickyTasks(u"Anna"_qs)).isEmpty());
        QVERIFY2(source.readingServer(), qPrintable(source.lastError().message));
    }

    // A server that has stopped: the report window shows this computer's history and says
    // why, never an empty window; once the server is back, the next window reads it again,
    // also when the server restarted behind a connection an earlier window left open.
    void stoppedServerShowsThisComputersHistory() {
        clearServer();
        TestEnv env;
        env.writeFile(u"Kalmix.ini"_qs, "[Benutzer]\r\nName1=Ben\r\n");
        QDateTime at = env.clock.wall.addSecs(-100);
        HistoryStore local(env.path(u"Kalmix.db"_qs));
        local.roundStarted(u"Ben"_qs, 8, at);
        play(local, fact("+", 2, 2, 4), {Outcome::Right}, at);
        local.roundEnded({1, 0, 0, 5, false}, true, at);
        HistoryStore other(env.path(u"other.db"_qs));
        other.roundStarted(u"Cem"_qs, 8, at);
        play(other, fact("+", 2, 3, 5), {Outcome::Right}, at);
        other.roundEnded({1, 0, 0, 5, false}, true, at);
        send(other, u"2a"_qs, u"machine-b"_qs);
        ClassServerSource source({teacher(), u"2a"_qs}, local);
        {
            ReportWindow w(source);
            QCOMPARE(w.lstPlayers->item(0)->text(), u"Cem"_qs);
            QCOMPARE(w.lblOrigin->text(), langText(445).arg(u"2a"_qs));
            QVERIFY(!w.lblOrigin->isHidden());
        }
        QVERIFY2(pg.stop(), qPrintable(pg.error()));
        {
            ReportWindow w(source);
            QVERIFY(w.lblOrigin->text().startsWith(langText(446)));
            QVERIFY(!w.lblOrigin->isHidden());
            QCOMPARE(w.lstPlayers->count(), 1);
            QCOMPARE(w.lstPlayers->item(0)->text(), u"Ben"_qs);
            QCOMPARE(w.report().totals[2].tasks, 1);
        }
        QVERIFY2(pg.start(), qPrintable(pg.error()));
        QVERIFY(owner.open(pg.superConninfo(), 5).ok());
        {
            ReportWindow w(source);
            QCOMPARE(w.lstPlayers->item(0)->text(), u"Cem"_qs);
        }
        // restarted while no window was open: the next window reads it, with no note of a
        // failure
        QVERIFY2(pg.restart(), qPrintable(pg.error()));
        QVERIFY(owner.open(pg.superConninfo(), 5).ok());
        ReportWindow w(source);
        QCOMPARE(w.lstPlayers->item(0)->text(), u"Cem"_qs);
        QCOMPARE(w.lblOrigin->text(), langText(445).arg(u"2a"_qs));
    }

    // A server without the class tables, or with those of a newer Kalmix, or settings without
    // a class, are not read: the report shows this computer's history and says why.
    void serverWithoutOrWithNewerSchemaIsNotRead() {
        TestEnv env;
        QVERIFY(pg.createDatabase(u"empty"_qs));
        HistoryStore local(env.path(u"Kalmix.db"_qs));
        ClassServerSource empty({pg.conninfo(u"t2a"_qs, u"empty"_qs), u"2a"_qs}, local);
        empty.beginReading();
        QCOMPARE(empty.origin(),
                 langText(446) + u'\n' + describe(ServerError::of(ServerProblem::SchemaMissing)));
        ClassServerSource noClass({teacher(), QString()}, local); // Klasse missing
        noClass.beginReading();
        QCOMPARE(noClass.origin(), langText(447));
        QVERIFY(owner.exec(u"INSERT INTO kalmix.schema_version VALUES (99)"_qs).ok());
        ClassServerSource newer({teacher(), u"2a"_qs}, local);
        newer.beginReading();
        const bool refused = !newer.readingServer() && newer.players().isEmpty() &&
                             newer.lastError().problem == ServerProblem::ServerTooNew;
        QVERIFY(owner.exec(u"DELETE FROM kalmix.schema_version WHERE version = 99"_qs).ok());
        QVERIFY(refused);
    }

    // A task missed on one computer comes back on another; a server that stalls holds the
    // round's start up about a second, once, and the game goes on with this computer's
    // history.
    void trickyTasksFollowTheChild() {
        clearServer();
        TestEnv env;
        QDateTime at = env.clock.wall.addSecs(-100);
        HistoryStore a(env.path(u"a.db"_qs));
        a.roundStarted(u"Player 2"_qs, 8, at);
        play(a, fact("*", 7, 8, 56), {Outcome::Wrong, Outcome::Right}, at);
        a.roundEnded({1, 1, 0, 9, false}, true, at);
        send(a, u"2a"_qs, u"machine-a"_qs);

        HistoryStore b(env.path(u"b.db"_qs));
        TcpProxy proxy(quint16(pg.tcpPort()));
        const QString viaProxy =
            QStringLiteral("host=127.0.0.1 port=%1 dbname=kalmix user=p2a").arg(proxy.port());
        ClassServerSource source({viaProxy, u"2a"_qs}, b);
        QCOMPARE(texts(source.trickyTasks(u"Player 2"_qs)), QStringList{u"* 7 8 56"_qs});
        QVERIFY(b.trickyTasks(u"Player 2"_qs).isEmpty());

        proxy.setStalled(true);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(source.trickyTasks(u"Player 2"_qs).isEmpty()); // this computer's: none
        QVERIFY2(timer.elapsed() < 2500, qPrintable(QString::number(timer.elapsed())));
        timer.restart();
        QVERIFY(source.trickyTasks(u"Player 2"_qs).isEmpty()); // not tried again so soon
        QVERIFY2(timer.elapsed() < 200, qPrintable(QString::number(timer.elapsed())));
        proxy.setStalled(false);
        env.clock.mono += 60001;
        QCOMPARE(texts(source.trickyTasks(u"Player 2"_qs)), QStringList{u"* 7 8 56"_qs});
    }

    // With a class server in the settings, the program's report and the game's tricky tasks
    // read it; once the key is gone, this computer's history again, as without it.
    void theProgramReadsTheClassServerOfItsSettings() {
        TestEnv env;
        WriteLanguageCopy();
        SaveIni(u"Optionen"_qs, u"Klassenserver"_qs, teacher());
        SaveIni(u"Optionen"_qs, u"Klasse"_qs, u"2a"_qs);
        {
            frmKalmix window;
            auto* source = dynamic_cast<ClassServerSource*>(reportSource());
            QVERIFY(source);
            QCOMPARE(static_cast<TrickySource*>(source), window.game().trickySource);
            QCOMPARE(source->config().className, u"2a"_qs);
            QCOMPARE(source->config().conninfo, teacher());
        }
        QCOMPARE(reportSource(), nullptr);
        SaveIni(u"Optionen"_qs, u"Klassenserver"_qs, std::nullopt);
        frmKalmix window;
        QVERIFY(dynamic_cast<HistoryStore*>(reportSource()));
        QCOMPARE(dynamic_cast<HistoryStore*>(window.game().trickySource),
                 dynamic_cast<HistoryStore*>(reportSource()));
    }

    // kalmix --export-csv FILE --class-server writes the class from the server, with the
    // server view's columns; a server it cannot read is a failure with the reason, and no
    // file is left behind.
    void exportFromTheClassServer() {
        clearServer();
        QTemporaryDir dir(QFileInfo(QStringLiteral(KALMIX_BIN)).absolutePath() +
                          u"/class-XXXXXX"_qs);
        const QString bin = dir.filePath(u"kalmix"_qs);
        // the program keeps its settings beside itself: a copy of its own in the folder
        QVERIFY(::link(KALMIX_BIN, QFile::encodeName(bin).constData()) == 0 ||
                QFile::copy(QStringLiteral(KALMIX_BIN), bin));
        const auto settings = [&](const QString& conninfo) {
            QFile ini(dir.filePath(u"Kalmix.ini"_qs));
            QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ini.write(QStringLiteral("[Optionen]\r\nKlassenserver=%1\r\nKlasse=2a\r\n")
                          .arg(conninfo)
                          .toUtf8());
        };
        QByteArray err;
        const auto run = [&](const QStringList& args) {
            QProcess p;
            QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                e.remove(QString::fromLatin1(name));
            e.insert(u"PGPASSFILE"_qs, pg.passFile());
            p.setProcessEnvironment(e);
            p.setWorkingDirectory(dir.path());
            p.start(bin, args);
            p.waitForFinished(30000);
            err = p.readAllStandardError();
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        const auto lines = [&](const QString& name) {
            QFile f(dir.filePath(name));
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(u"\r\n"_qs)
                                               : QStringList{};
        };
        {
            TestEnv env;
            QDateTime at = env.clock.wall;
            HistoryStore a(env.path(u"a.db"_qs)), b(env.path(u"b.db"_qs));
            a.roundStarted(u"=Player 2"_qs, 8, at);
            play(a, fact("+", 3, 4, 7), {Outcome::Wrong, Outcome::Right}, at);
            a.roundEnded({1, 1, 0, 5, false}, true, at);
            b.roundStarted(u"Anna"_qs, 8, at);
            play(b, fact("*", 6, 6, 36), {Outcome::Help}, at);
            b.roundEnded({0, 0, 1, 5, false}, true, at);
            send(a, u"2a"_qs, u"machine-a"_qs);
            send(b, u"2a"_qs, u"machine-b"_qs);
        }
        settings(teacher());
        QVERIFY2(run({u"--export-csv"_qs, u"all.csv"_qs, u"--class-server"_qs}) == 0,
                 err.constData());
        const QStringList all = lines(u"all.csv"_qs);
        QCOMPARE(all.value(0), u"player,round_started,answered_at,kind,operation,a,b,expected,"
                               "answer,outcome,seconds,attempt,tricky,class,machine"_qs);
        QCOMPARE(all.size(), 5); // the header, three answers, the end of the last line
        QVERIFY2(all.value(1).startsWith(u"'=Player 2,"_qs) &&
                     all.value(1).endsWith(u",+,3,4,7,8,wrong,2.5,1,0,2a,machine-a"_qs),
                 qPrintable(all.value(1)));
        QVERIFY2(all.value(3).startsWith(u"Anna,"_qs) &&
                     all.value(3).endsWith(u",*,6,6,36,36,help,2.5,1,0,2a,machine-b"_qs),
                 qPrintable(all.value(3)));
        QCOMPARE(
            run({u"--export-csv=anna.csv"_qs, u"--class-server"_qs, u"--player"_qs, u"Anna"_qs}),
            0);
        QCOMPARE(lines(u"anna.csv"_qs).size(), 3);
        // a class this teacher does not read: nothing of it
        QCOMPARE(
            run({u"--export-csv"_qs, u"3b.csv"_qs, u"--class-server"_qs, u"--class"_qs, u"3b"_qs}),
            0);
        QCOMPARE(lines(u"3b.csv"_qs).size(), 2);
        // no server there: exit code 2, the reason, no file
        settings(u"host=127.0.0.1 port=1 dbname=kalmix user=t2a connect_timeout=2"_qs);
        QCOMPARE(run({u"--export-csv"_qs, u"gone.csv"_qs, u"--class-server"_qs}), 2);
        QVERIFY2(err.contains("class server"), err.constData());
        QVERIFY(!QFile::exists(dir.filePath(u"gone.csv"_qs)));
        QCOMPARE(run({u"--class-server"_qs}), 2);
        QCOMPARE(run({u"--export-csv"_qs, u"x.csv"_qs, u"--class-server=yes"_qs}), 2);
    }
};

QTEST_MAIN(TestClassSource)
#include "tst_classsource.moc"
