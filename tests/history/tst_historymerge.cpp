// Adding another computer's history: crafted files (tests/history/fixtures/h*.sql) are
// refused or cleaned quickly and a merge leaves no journal behind, budgets and Cancel change
// nothing, rounds of two computers stay apart, first-version files are brought forward, and
// the report bears whatever values a history holds.
#include "history/historyschema.h"
#include "history/historystore.h"
#include "historycheck.h"
#include "profiles/record.h"
#include "services/lang.h"
#include "support/testenv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using namespace kalmix;
using namespace kalmix::test;

namespace {

const QDateTime kNow(QDate(2026, 12, 10), QTime(12, 0));

// A history file made by SQL scripts of the fixtures folder, run in order.
QString makeFile(const TestEnv& env, const QString& name, const QStringList& scripts) {
    const QString path = env.path(name);
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr); // a test file
    for (const QString& script : scripts) {
        QFile f(QStringLiteral(KALMIX_SOURCE_DIR "/tests/history/fixtures/") + script);
        const bool read = f.open(QIODevice::ReadOnly);
        char* error = nullptr;
        if (!read || sqlite3_exec(db, f.readAll().constData(), nullptr, nullptr, &error))
            qWarning("%s: %s", qPrintable(script), error ? error : "cannot be read");
        sqlite3_free(error);
    }
    sqlite3_close(db);
    return path;
}

// A store with one sound round of Bea in it, for what a merge must leave as it was.
void playBea(HistoryStore& store) {
    const QDateTime t(QDate(2026, 12, 9), QTime(8, 0));
    store.roundStarted(u"Bea"_qs, 2, t);
    store.taskShown(plus(2, 2), false);
    answer(store, plus(2, 2), Outcome::Right, t.addSecs(4));
    store.roundEnded({1, 0, 0, 4, false}, true, t.addSecs(4));
}

// The store as a text: what a merge that changes nothing leaves byte for byte the same.
QString contents(const QString& path) {
    Peek peek(path);
    return peek.rows(u"SELECT * FROM player"_qs).join(u' ') + u'/' +
           peek.rows(u"SELECT * FROM round"_qs).join(u' ') + u'/' +
           peek.rows(u"SELECT * FROM answer"_qs).join(u' ');
}

// Cancels once the merge has come this far (of MergeControl::kComplete).
class CancelAt final : public MergeControl {
public:
    explicit CancelAt(int at) : m_at(at) {}
    void setProgress(int part) override {
        MergeControl::setProgress(part);
        if (part >= m_at)
            cancel();
    }

private:
    int m_at;
};

} // namespace

class TestHistoryMerge : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        TestEnv env;
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
        WriteLanguageCopy();
        QVERIFY(!langText(385).isEmpty());
    }
    void hostileFilesAreRefusedOrCleaned_data();
    void hostileFilesAreRefusedOrCleaned();
    void budgetsAndCancelChangeNothing_data();
    void budgetsAndCancelChangeNothing();
    void roundsOfTwoComputersStayTwo();
    void firstVersionFilesComeForward();
    void reportBearsExtremeStoredValues();

private:
    QTemporaryDir m_tmp;
};

void TestHistoryMerge::hostileFilesAreRefusedOrCleaned_data() {
    QTest::addColumn<QStringList>("scripts");
    QTest::addColumn<int>("refusal"); // the text of the refusal; 0: merged
    QTest::addColumn<int>("answers"); // added
    QTest::addColumn<int>("skipped");
    const QString v1 = u"version1.sql"_qs;
    QTest::newRow("h1 extreme values") << QStringList{v1, u"h1_extreme.sql"_qs} << 0 << 3 << 42;
    QTest::newRow("h2 endless views") << QStringList{u"h2_endless.sql"_qs} << 272 << 0 << 0;
    QTest::newRow("h3 names of megabytes") << QStringList{v1, u"h3_bignames.sql"_qs} << 0 << 1 << 9;
    QTest::newRow("h4 tables that are endless views")
        << QStringList{u"h4_tables_as_views.sql"_qs} << 272 << 0 << 0;
    QTest::newRow("h5 many answers") << QStringList{v1, u"h5_many.sql"_qs} << 0 << 20000 << 0;
    QTest::newRow("h6 a later version with junk views")
        << QStringList{u"h6_views_junk.sql"_qs} << 387 << 0 << 0;
    QTest::newRow("h7 a name of 20 million characters")
        << QStringList{v1, u"h7_hugename.sql"_qs} << 0 << 1 << 3;
    QTest::newRow("damaged pages") << QStringList{v1, u"h5_many.sql"_qs} << 386 << 0 << 0;
}

// Every row added is one Kalmix could have written; a file that cannot be read safely is
// refused with its reason and changes nothing; none takes long.
void TestHistoryMerge::hostileFilesAreRefusedOrCleaned() {
    QFETCH(QStringList, scripts);
    QFETCH(int, refusal);
    QFETCH(int, answers);
    QFETCH(int, skipped);
    TestEnv env;
    env.clock.wall = kNow;
    const QString there = makeFile(env, u"other.db"_qs, scripts);
    if (QString::fromLatin1(QTest::currentDataTag()) == u"damaged pages") {
        QFile f(there);
        QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(10 * 4096 + 100));
        f.write(QByteArray(3000, '\x55'));
    }
    HistoryStore store(env.path(u"Kalmix.db"_qs));
    playBea(store);
    const QString before = contents(store.path());
    QElapsedTimer timer;
    timer.start();
    const MergeResult r = store.merge(there);
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
    if (refusal) {
        QVERIFY(!r.ok && !r.cancelled);
        QCOMPARE(r.error, langText(refusal).arg(there));
        QCOMPARE(contents(store.path()), before);
        return;
    }
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(QFileInfo(store.path() + u"-wal"_qs).size(), 0); // carried into the file
    QCOMPARE(r.answers, answers);
    QCOMPARE(r.skipped, skipped);
    Peek peek(store.path());
    for (const QString& name : peek.rows(u"SELECT name FROM player"_qs))
        QVERIFY2(validPlayerName(name), qPrintable(name.left(50)));
    QCOMPARE(peek.inconsistentRounds(), 0);
    QCOMPARE(peek.one(u"SELECT count(*) FROM answers WHERE operation IS NULL OR outcome IS NULL "
                      "OR round_started > '2026-12-11'"_qs),
             u"0"_qs);
    const ReportTotals anna = store.totals(u"Anna"_qs, {});
    QVERIFY(anna.medianSeconds && *anna.medianSeconds >= 1.5 && *anna.medianSeconds <= 7.0);
}

void TestHistoryMerge::budgetsAndCancelChangeNothing_data() {
    QTest::addColumn<QString>("limit");
    QTest::addColumn<int>("refusal"); // 0: cancelled
    QTest::newRow("more rows than a merge may read") << u"rows"_qs << 388;
    QTest::newRow("a file larger than a merge may read") << u"bytes"_qs << 388;
    QTest::newRow("no time left") << u"time"_qs << 389;
    QTest::newRow("cancelled while reading") << u"read"_qs << 0;
    QTest::newRow("cancelled while writing") << u"write"_qs << 0;
}

// Beyond a budget, or cancelled at any point, the merge stops and the history is as it was.
void TestHistoryMerge::budgetsAndCancelChangeNothing() {
    QFETCH(QString, limit);
    QFETCH(int, refusal);
    TestEnv env;
    env.clock.wall = kNow;
    const QString there = makeFile(env, u"other.db"_qs, {u"version1.sql"_qs, u"h5_many.sql"_qs});
    HistoryStore store(env.path(u"Kalmix.db"_qs));
    playBea(store);
    const QString before = contents(store.path());
    CancelAt control(limit == u"read" ? 1 : limit == u"write" ? 700 : MergeControl::kComplete + 1);
    if (limit == u"rows")
        control.maxRows = 20000;
    if (limit == u"bytes")
        control.maxFileBytes = 100'000;
    if (limit == u"time")
        control.maxMs = 0;
    const MergeResult r = store.merge(there, control);
    QVERIFY(!r.ok && r.answers == 0);
    QCOMPARE(r.cancelled, refusal == 0);
    const QString why = refusal == 389 ? langText(389).arg(there).arg(0)
                        : refusal != 0 ? langText(refusal).arg(there)
                                       : QString();
    QCOMPARE(r.error, why);
    QCOMPARE(contents(store.path()), before);
    QVERIFY(store.merge(there).ok); // the file itself is sound
}

// Two classroom computers, Start pressed in the same second under the same name: two rounds,
// whichever way the files go, however often; a round added before it ended is completed.
void TestHistoryMerge::roundsOfTwoComputersStayTwo() {
    TestEnv env;
    env.clock.wall = kNow;
    const QDateTime t(QDate(2026, 12, 9), QTime(10, 0));
    const QString pathA = env.path(u"a.db"_qs), pathB = env.path(u"b.db"_qs);
    HistoryStore a(pathA), b(pathB);
    for (HistoryStore* s : {&a, &b}) {
        const TaskFacts task = plus(s == &a ? 1 : 5, 2);
        s->roundStarted(u"Anna"_qs, 2, t);
        s->taskShown(task, false);
        answer(*s, task, Outcome::Right, t.addSecs(3));
    }
    QVERIFY(a.merge(pathB).answers == 1); // b's round has not ended yet
    b.roundEnded({1, 0, 0, 3, false}, true, t.addSecs(3));
    a.roundEnded({1, 0, 0, 3, false}, true, t.addSecs(3));
    for (int i = 0; i < 2; ++i) {
        QVERIFY(a.merge(pathB).ok);
        QVERIFY(b.merge(pathA).ok);
    }
    QVERIFY(a.merge(pathA).answers == 0); // a store into itself
    for (const QString& path : {pathA, pathB}) {
        Peek peek(path);
        QCOMPARE(peek.rows(u"SELECT count(*), count(DISTINCT uid), count(ended) FROM round"_qs),
                 QStringList{u"2|2|2"_qs});
        QCOMPARE(peek.one(u"SELECT group_concat(a || '+' || b, ' ') FROM (SELECT a, b FROM "
                          "answer ORDER BY a)"_qs),
                 u"1+2 5+2"_qs);
        QCOMPARE(peek.inconsistentRounds(), 0);
    }
}

// A history of the first version is brought forward: its rounds keep no id (0), new ones get
// one, and its views no longer show an unknown code as an operation or outcome. Merged
// either way with a first-version file, nothing is doubled.
void TestHistoryMerge::firstVersionFilesComeForward() {
    TestEnv env;
    env.clock.wall = kNow;
    const QString old = makeFile(env, u"old.db"_qs, {u"version1.sql"_qs, u"h5_many.sql"_qs});
    const QString here = makeFile(env, u"Kalmix.db"_qs, {u"version1.sql"_qs, u"h5_many.sql"_qs});
    Peek(here).rows(
        u"INSERT INTO answer(round, player, at, op, a, b, expected, given, outcome, "
        "ms, attempt, tricky) VALUES (1, 1, 1796119200, 99, 1, 1, 2, 2, 7, 1, 1, 0)"_qs);
    HistoryStore store(here);
    playBea(store);
    Peek peek(here);
    QCOMPARE(peek.one(u"PRAGMA user_version"_qs), QString::number(history::kSchemaVersion));
    QCOMPARE(peek.one(u"SELECT count(*) FROM round WHERE uid = 0"_qs), u"20"_qs);
    QCOMPARE(peek.one(u"SELECT count(*) FROM round WHERE uid != 0"_qs), u"1"_qs);
    QCOMPARE(peek.one(u"SELECT ifnull(operation, '-') || ifnull(outcome, '-') FROM answers "
                      "WHERE a = 1 AND expected = 2"_qs),
             u"--"_qs);
    const MergeResult r = store.merge(old);
    QVERIFY(r.ok && r.rounds == 0 && r.answers == 0);
    QVERIFY(HistoryStore(old).merge(here).answers == 1); // Bea's, and nothing else
    QCOMPARE(Peek(old).one(u"SELECT count(*) FROM round"_qs), u"21"_qs);
}

// A history edited by hand or by an older merge: times that add up beyond 32 bits, codes no
// Kalmix writes. The figures stay true and the unknown codes stay out of the report.
void TestHistoryMerge::reportBearsExtremeStoredValues() {
    TestEnv env;
    HistoryStore store(env.path(u"Kalmix.db"_qs));
    playBea(store);
    Peek peek(store.path());
    peek.rows(u"INSERT INTO answer(round, player, at, op, a, b, expected, given, outcome, ms, "
              "attempt, tricky) VALUES (1, 1, 1796119300, 2, 9, 9, 18, 1, 1, 2147483647, 1, 0), "
              "(1, 1, 1796119301, 2, 9, 9, 18, 18, 0, 2147483647, 2, 0), "
              "(1, 1, 1796119302, 99, 7, 0, 7, 7, 7, 1000, 1, 0)"_qs);
    const ReportTotals totals = store.totals(u"Bea"_qs, {});
    QCOMPARE(totals.tasks, 2);
    QVERIFY(totals.medianSeconds && qFuzzyCompare(*totals.medianSeconds, (2.0 + 4294967.294) / 2));
    const QList<ReportTrickyTask> tricky = store.trickyTasks(u"Bea"_qs, {}, 10);
    QCOMPARE(tricky.size(), 2);
    for (const ReportTrickyTask& t : tricky)
        QVERIFY(t.operation == u"+");
}

QTEST_GUILESS_MAIN(TestHistoryMerge)
#include "tst_historymerge.moc"
