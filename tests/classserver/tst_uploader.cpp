// The uploader against a real PostgreSQL: two computers reach one class; a server stopped,
// killed, slow, cut off or refusing the password loses nothing and doubles nothing, and the
// program's end never waits long for it.
#include "classserver/classschema.h"
#include "classserver/uploadcheck.h"
#include "classserver/uploader.h"
#include "classserver/uploadjournal.h"
#include "support/pgserver.h"
#include "support/tcpproxy.h"
#include "support/testenv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

using namespace kalmix;
using namespace kalmix::test;

namespace {

const QString kPassword = QStringLiteral("pw-2a");

} // namespace

class TestUploader : public QObject {
    Q_OBJECT
    TestPgServer pg{TestPgServer::Options{true, 100}};
    int m_machines = 0;

    // An uploader of a new computer to class 2a, as the pupils' login p2a.
    std::unique_ptr<ClassUploader> uploader(const QString& history, const QString& conninfo,
                                            const QString& machine) {
        auto u =
            std::make_unique<ClassUploader>(UploadTarget{conninfo, u"2a"_qs, machine, history});
        u->setRetryForTesting(20, 200);
        return u;
    }
    QString newMachine() { return QStringLiteral("machine-%1").arg(++m_machines); }
    qint64 onServer(const QString& machine, const QString& table = u"answer"_qs) {
        return pg
            .value(u"SELECT count(*) FROM kalmix.%1 WHERE machine = '%2'"_qs.arg(table, machine))
            .toLongLong();
    }
    static qint64 local(const QString& path) {
        Peek peek(path);
        return peek.one(u"SELECT count(*) FROM answer"_qs).toLongLong();
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(pg.start(), qPrintable(pg.error()));
        QVERIFY2(pg.createLogin(u"p2a"_qs, kPassword), qPrintable(pg.error()));
        const QString why = initClassServer({pg.superConninfo(), u"2a"_qs, u"p2a"_qs, {}});
        QVERIFY2(why.isEmpty(), qPrintable(why));
        pg.usePassFile();
    }
    // A case that failed with the server stopped does not take the later cases with it.
    void init() { QVERIFY2(pg.running() || pg.start(), qPrintable(pg.error())); }
    void twoComputersReachOneClass();
    void aHistoryAddedFromAnotherComputerIsThereOnce();
    void aServerStoppedDuringARoundGetsEveryAnswerOnce();
    void aServerKilledInTheMiddleOfABatch();
    void slowAndCutConnections();
    void aWrongPasswordKeepsTheAnswersWaiting();
    void anotherWriterOfTheHistoryHoldsNothingUp();
};

// Two computers, each with its own settings folder and history, send to one server; a
// child's rounds from both are there, each answer once, the round's end too.
void TestUploader::twoComputersReachOneClass() {
    TestEnv one, two;
    HistoryStore first(one.path(u"Kalmix.db"_qs)), second(two.path(u"Kalmix.db"_qs));
    playRound(first, u"Ada"_qs, kLessonStart, 4);
    playRound(second, u"Ada"_qs, kLessonStart.addSecs(600), 3, false);
    const QString m1 = newMachine(), m2 = newMachine();
    auto u1 = uploader(first.path(), pg.conninfo(u"p2a"_qs), m1);
    auto u2 = uploader(second.path(), pg.conninfo(u"p2a"_qs), m2);
    u1->start();
    u2->start();
    QTRY_COMPARE_WITH_TIMEOUT(u1->waiting(), 0, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(u2->waiting(), 0, 20000);
    QCOMPARE(pg.value(u"SELECT count(*) FROM kalmix.answers WHERE player = 'Ada' AND "
                      "class = '2a' AND machine IN ('%1', '%2')"_qs.arg(m1, m2)),
             u"7"_qs);
    // The round's end comes later and goes up on its own.
    second.roundEnded({3, 0, 0, 9, false}, true, kLessonStart.addSecs(609));
    u2->wake();
    QTRY_COMPARE_WITH_TIMEOUT(
        pg.value(u"SELECT finished FROM kalmix.rounds WHERE machine = '%1'"_qs.arg(m2)), u"1"_qs,
        20000);
    QCOMPARE(u1->lastError(), QString());
    QCOMPARE(onServer(m2, u"round"_qs), 1);
}

// One computer's history is added to another's ("Add history from another computer..."), and
// both send it: its rounds and answers are on the server once, beside the second computer's own.
void TestUploader::aHistoryAddedFromAnotherComputerIsThereOnce() {
    TestEnv one, two;
    two.clock.wall = kLessonStart.addDays(1); // the day the file is carried over
    const QString carried = one.path(u"Kalmix.db"_qs);
    HistoryStore second(two.path(u"Kalmix.db"_qs));
    playRound(second, u"Dee"_qs, kLessonStart.addSecs(900), 2);
    const QString m1 = newMachine(), m2 = newMachine();
    {
        HistoryStore first(carried);
        playRound(first, u"Dee"_qs, kLessonStart, 4);
        auto u1 = uploader(carried, pg.conninfo(u"p2a"_qs), m1);
        u1->start();
        QTRY_COMPARE_WITH_TIMEOUT(u1->waiting(), 0, 20000);
    } // the file is carried over once that computer's Kalmix has ended
    const MergeResult merged = second.merge(carried);
    QVERIFY(merged.ok);
    QCOMPARE(merged.answers, 4);
    auto u2 = uploader(second.path(), pg.conninfo(u"p2a"_qs), m2);
    u2->start();
    QTRY_COMPARE_WITH_TIMEOUT(u2->waiting(), 0, 20000);
    QCOMPARE(pg.value(u"SELECT count(*) || ' ' || count(DISTINCT round_started) FROM "
                      "kalmix.answers WHERE player = 'Dee'"_qs),
             u"6 2"_qs);
    QCOMPARE(onServer(m1, u"round"_qs), 1);
    QCOMPARE(onServer(m2, u"round"_qs), 1);
    QCOMPARE(u2->lastError(), QString());
}

// The server goes away while the child plays on and comes back: the answers of the gap go
// up, none twice, and the child was never told anything.
void TestUploader::aServerStoppedDuringARoundGetsEveryAnswerOnce() {
    TestEnv env;
    HistoryStore store(env.path(u"Kalmix.db"_qs));
    const QString machine = newMachine();
    auto u = uploader(store.path(), pg.conninfo(u"p2a"_qs), machine);
    store.roundStarted(u"Bo"_qs, 2, kLessonStart);
    answer(store, plus(1, 1), Outcome::Right, kLessonStart.addSecs(3));
    u->start();
    QTRY_COMPARE_WITH_TIMEOUT(onServer(machine), 1, 20000);
    QVERIFY2(pg.stop(), qPrintable(pg.error()));
    for (int i = 2; i <= 6; ++i) {
        answer(store, plus(1, i), Outcome::Right, kLessonStart.addSecs(3 * i));
        u->wake();
    }
    QTRY_COMPARE_WITH_TIMEOUT(u->lastProblem(), ServerProblem::Unreachable, 20000);
    // The first failed try may have counted before the last answers came; they are counted
    // as they come, without a new try.
    QTRY_COMPARE_WITH_TIMEOUT(u->waiting(), 5, 5000);
    QVERIFY(!u->lastError().isEmpty());
    QVERIFY2(pg.start(), qPrintable(pg.error()));
    QTRY_COMPARE_WITH_TIMEOUT(u->waiting(), 0, 30000);
    QCOMPARE(onServer(machine), 6);
    QCOMPARE(u->lastError(), QString());
    QVERIFY(env.messages.isEmpty());
}

// The server dies at once (SIGKILL) while batches go up through a slow line: what it had
// not committed is sent again after it is back, and it ends with every answer exactly once.
void TestUploader::aServerKilledInTheMiddleOfABatch() {
    TestEnv env;
    HistoryStore store(env.path(u"Kalmix.db"_qs));
    for (int r = 0; r < 10; ++r)
        playRound(store, u"Cy"_qs, kLessonStart.addSecs(600 * r), 40);
    TcpProxy proxy(quint16(pg.tcpPort()));
    proxy.setDelay(30);
    const QString machine = newMachine();
    auto u =
        uploader(store.path(),
                 u"host=127.0.0.1 port=%1 dbname=kalmix user=p2a"_qs.arg(proxy.port()), machine);
    u->setBatchSizeForTesting(50);
    u->start();
    QTRY_VERIFY_WITH_TIMEOUT(u->sentBatches() >= 2, 30000);
    QTest::qWait(60); // into the next batch's statements
    QVERIFY2(pg.kill(), qPrintable(pg.error()));
    QVERIFY2(pg.start(), qPrintable(pg.error()));
    QTRY_COMPARE_WITH_TIMEOUT(u->waiting(), 0, 60000);
    QCOMPARE(onServer(machine), local(store.path()));
    QCOMPARE(onServer(machine, u"round"_qs), 10);
}

// A slow line gets everything there; a line cut in the middle of a batch loses nothing; a
// line that stalls does not hold up the end of the program.
void TestUploader::slowAndCutConnections() {
    TestEnv env;
    HistoryStore store(env.path(u"Kalmix.db"_qs));
    for (int r = 0; r < 6; ++r)
        playRound(store, u"Dan"_qs, kLessonStart.addSecs(600 * r), 20);
    TcpProxy proxy(quint16(pg.tcpPort()));
    proxy.setDelay(40);
    const QString conninfo = u"host=127.0.0.1 port=%1 dbname=kalmix user=p2a"_qs.arg(proxy.port());
    const QString machine = newMachine();
    auto u = uploader(store.path(), conninfo, machine);
    u->setBatchSizeForTesting(20);
    u->start();
    QTRY_VERIFY_WITH_TIMEOUT(u->sentBatches() >= 1, 30000);
    proxy.cutAll();
    QTRY_COMPARE_WITH_TIMEOUT(u->waiting(), 0, 60000);
    QCOMPARE(onServer(machine), 120);

    playRound(store, u"Dan"_qs, kLessonStart.addSecs(6000), 5);
    proxy.setStalled(true);
    u->wake();
    QTRY_VERIFY_WITH_TIMEOUT(proxy.accepted() > 0, 10000);
    QTest::qWait(100); // the batch waits for the stalled line
    QElapsedTimer quitting;
    quitting.start();
    QVERIFY(u->stop(1000));
    QVERIFY2(quitting.elapsed() < 1100, qPrintable(QString::number(quitting.elapsed())));
    proxy.setStalled(false);
    // The next start sends what was left.
    auto next = uploader(store.path(), conninfo, machine);
    next->start();
    QTRY_COMPARE_WITH_TIMEOUT(next->waiting(), 0, 30000);
    QCOMPARE(onServer(machine), 125);
}

// A password the server refuses: the answers wait (and are counted while they wait), the
// problem is said in plain words for the settings window, and no message comes up.
void TestUploader::aWrongPasswordKeepsTheAnswersWaiting() {
    TestEnv env;
    HistoryStore store(env.path(u"Kalmix.db"_qs));
    playRound(store, u"Eva"_qs, kLessonStart, 3);
    const QString wrong = env.path(u"pgpass"_qs);
    env.writeFile(u"pgpass"_qs, "*:*:*:p2a:not-the-password\n");
    QFile::setPermissions(wrong, QFile::ReadOwner | QFile::WriteOwner);
    const QString machine = newMachine();
    auto u = uploader(store.path(), pg.conninfo(u"p2a"_qs) + u" passfile="_qs + wrong, machine);
    u->setRetryForTesting(60000, 60000);
    u->start();
    QTRY_COMPARE_WITH_TIMEOUT(u->lastProblem(), ServerProblem::WrongPassword, 20000);
    QCOMPARE(u->waiting(), 3);
    // Answers given while the next try is a minute away are counted as they come.
    playRound(store, u"Eva"_qs, kLessonStart.addSecs(600), 1);
    u->wake();
    QTRY_COMPARE_WITH_TIMEOUT(u->waiting(), 4, 5000);
    QVERIFY(u->lastError().contains(u"p2a"_qs));
    QCOMPARE(onServer(machine), 0);
    QVERIFY(env.messages.isEmpty());
}

// While another program holds the history for writing (the game's own writes wait only a
// few milliseconds), the uploader still sends, never writes the file from its thread, and
// marks what the server has once the file is free.
void TestUploader::anotherWriterOfTheHistoryHoldsNothingUp() {
    TestEnv env;
    HistoryStore store(env.path(u"Kalmix.db"_qs));
    playRound(store, u"Fay"_qs, kLessonStart, 30);
    store.finish();
    const QString machine = newMachine();
    // The history met this server before (its row there is written once, ever).
    QCOMPARE(UploadJournal(store.path(), pg.conninfo(u"p2a"_qs)).waiting(),
             std::optional<qint64>(30));
    {
        Peek holder(store.path());
        QCOMPARE(holder.rows(u"BEGIN IMMEDIATE"_qs), QStringList());
        auto u = uploader(store.path(), pg.conninfo(u"p2a"_qs), machine);
        u->setBatchSizeForTesting(10);
        u->start();
        QTRY_COMPARE_WITH_TIMEOUT(u->waiting(), 0, 20000);
        QCOMPARE(u->sentBatches(), 3); // none sent twice
        QCOMPARE(onServer(machine), 30);
        QCOMPARE(holder.rows(u"COMMIT"_qs), QStringList());
        QVERIFY(u->stop(1000)); // marks it now
    }
    UploadJournal later(store.path(), pg.conninfo(u"p2a"_qs));
    QCOMPARE(later.waiting(), std::optional<qint64>(0));
}

QTEST_MAIN(TestUploader)
#include "tst_uploader.moc"
