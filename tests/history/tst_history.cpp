// The practice history as other tools read it: its views for every exercise kind, the report's
// figures, merging another computer's file, the CSV, and a deleted player's history.
#include "../engine/gamefixture.h"
#include "history/historyschema.h"
#include "history/historystore.h"
#include "history/ownfiles.h"
#include "historycheck.h"
#include "profiles/settingsfile.h"
#include "services/lang.h"
#include "settings/frmuebung.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace kalmix;
using namespace kalmix::test;

class TestHistory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The language file copy goes to a temporary directory of this test's own, so no other
    // program's copy in the shared one stands in for it.
    void initTestCase() {
        TestEnv env;
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
        WriteLanguageCopy();
        QVERIFY(!langText(273).isEmpty());
    }
    void viewsHoldEveryKind_data();
    void viewsHoldEveryKind();
    void reportFigures();
    void mergeAddsOnlyWhatIsNew_data();
    void mergeAddsOnlyWhatIsNew();
    void csvQuotesAsRfc4180();
    void csvKeepsFormulasAsText();
    void exportTargets();
    void deletedPlayersKeepTheirHistoryUnlessAsked();
    void trickyTasksComeFromTheHistory();

private:
    QTemporaryDir m_tmp;
};

void TestHistory::viewsHoldEveryKind_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("operations");
    const QStringList all{u"+"_qs, u"-"_qs, u"*"_qs, u"/"_qs};
    QTest::newRow("0 counting") << 0 << QStringList{u"count"_qs};
    QTest::newRow("1 symbols") << 1 << QStringList{u"symbols"_qs};
    QTest::newRow("2 addition") << 2 << QStringList{u"+"_qs};
    QTest::newRow("3 subtraction") << 3 << QStringList{u"-"_qs};
    QTest::newRow("4 multiplication") << 4 << QStringList{u"*"_qs};
    QTest::newRow("5 division") << 5 << QStringList{u"/"_qs};
    QTest::newRow("6 plus and minus") << 6 << QStringList{u"+"_qs, u"-"_qs};
    QTest::newRow("7 times and divided") << 7 << QStringList{u"*"_qs, u"/"_qs};
    QTest::newRow("8 all four") << 8 << all;
}

// A round played through the game: a wrong answer and its second try, a task the light bulb
// solved, a right one. Each shows up in the views with its operands, try and outcome.
void TestHistory::viewsHoldEveryKind() {
    QFETCH(int, kind);
    QFETCH(QStringList, operations);
    Fixture f;
    useTypicalRecord(kind);
    AufgZahl = 2;
    HistoryStore store;
    f.game.events.add(&store);
    f.game.Start_Click();
    play(f, u"w r h r"_qs, false);
    f.scheduler.runAll();
    f.game.events.remove(&store);
    QVERIFY(f.env.messages.isEmpty());

    Peek peek(f.env.path(u"Kalmix.db"_qs));
    const QStringList rows = peek.rows(
        u"SELECT player, kind, operation, a, b, expected, answer, outcome, attempt, tricky, "
        "round_started, answered_at, seconds FROM answers"_qs);
    QCOMPARE(rows.size(), 4);
    const QStringList outcomes{u"wrong|1"_qs, u"right|2"_qs, u"help|1"_qs, u"right|1"_qs};
    const QRegularExpression iso(u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$"_qs);
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList c = rows[i].split(u'|');
        QCOMPARE(c[0], u"Anna"_qs);
        QCOMPARE(c[1].toInt(), kind);
        QVERIFY2(operations.contains(c[2]), qPrintable(rows[i]));
        const int a = c[3].toInt(), expected = c[5].toInt();
        const bool pictures = kind <= 1;
        QVERIFY2(pictures == (c[4] == u"-") || kind == 1, qPrintable(rows[i]));
        const int b = c[4].toInt();
        const int should = c[2] == u"+"         ? a + b
                           : c[2] == u"-"       ? a - b
                           : c[2] == u"*"       ? a * b
                           : c[2] == u"/"       ? (b ? a / b : -1)
                           : c[2] == u"symbols" ? a + b
                                                : a;
        QVERIFY2(should == expected, qPrintable(rows[i]));
        QCOMPARE(c[6].toInt(), c[7] == u"wrong" ? expected + 1 : expected);
        QCOMPARE(c[7] + u'|' + c[8], outcomes[i]);
        QCOMPARE(c[9], u"0"_qs);
        QVERIFY2(iso.match(c[10]).hasMatch() && iso.match(c[11]).hasMatch(), qPrintable(rows[i]));
        QVERIFY(c[11] >= c[10] && c[12].toDouble() >= 0);
    }
    QCOMPARE(peek.rows(u"SELECT player, kind, solved, wrong, helped, finished, ended IS NOT NULL "
                       "FROM rounds"_qs),
             QStringList{u"Anna|%1|2|1|1|1|1"_qs.arg(kind)});
}

// The report's figures from answers told at known times: a task counts once however often it
// was answered, right at the first try only without a wrong answer or the light bulb first.
void TestHistory::reportFigures() {
    TestEnv env;
    env.writeFile(u"Kalmix.ini"_qs, "[Benutzer]\r\nName1=Anna\r\n");
    HistoryStore store;
    const QDateTime day1(QDate(2026, 12, 1), QTime(10, 0));
    const QDateTime day3 = day1.addDays(2);
    store.roundStarted(u"Anna"_qs, 2, day1);
    for (int i = 0; i < 3; ++i) { // 3 + 4 mastered
        store.taskShown(plus(3, 4), false);
        answer(store, plus(3, 4), Outcome::Right, day1.addSecs(10 * i), 1.0);
    }
    store.taskShown(plus(8, 5), false); // 8 + 5: wrong, then right; later helped
    answer(store, plus(8, 5), Outcome::Wrong, day1.addSecs(40), 5.0);
    store.taskShown(plus(8, 5), true);
    answer(store, plus(8, 5), Outcome::Right, day1.addSecs(50), 4.0);
    store.roundEnded({4, 1, 0, 60, false}, true, day1.addSecs(60));
    store.roundStarted(u"Ben"_qs, 2, day3); // Ben is not in the settings file any more
    store.taskShown(plus(8, 5), false);
    answer(store, plus(8, 5), Outcome::Help, day3);
    store.roundEnded({0, 0, 1, 10, false}, false, day3.addSecs(10));
    store.roundStarted(u"Anna"_qs, 2, day3);
    store.taskShown(plus(8, 5), false);
    answer(store, plus(8, 5), Outcome::Help, day3.addSecs(5), 3.0);

    const QList<ReportPlayer> players = store.players();
    QCOMPARE(players.size(), 2);
    QVERIFY(players[0].name == u"Anna" && !players[0].deleted);
    QVERIFY(players[1].name == u"Ben" && players[1].deleted);

    const QList<ReportDay> days = store.days(u"Anna"_qs, day1.date(), day3.date());
    QCOMPARE(days.size(), 3);
    QCOMPARE((QList<int>{days[0].tasks, days[0].rightFirstTry, days[0].solved}),
             (QList<int>{4, 3, 4}));
    QCOMPARE(days[1].tasks, 0);
    QCOMPARE((QList<int>{days[2].tasks, days[2].rightFirstTry, days[2].solved}),
             (QList<int>{1, 0, 0}));

    const ReportTotals all = store.totals(u"Anna"_qs, {});
    QCOMPARE((QList<int>{all.rounds, all.tasks, all.rightFirstTry, all.helped}),
             (QList<int>{2, 5, 3, 1}));
    QCOMPARE(all.medianSeconds, std::optional<double>(1.0)); // 1 1 1 3 9 (5 + 4 for 8 + 5)
    const ReportTotals late = store.totals(u"Anna"_qs, day3);
    QVERIFY(late.rounds == 1 && late.tasks == 1 && late.helped == 1);

    const QList<ReportFact> facts = store.facts(u"Anna"_qs, u"+"_qs, 10, 10);
    QCOMPARE(facts.size(), 2);
    QVERIFY(facts[0].a == 3 && facts[0].state == ReportFact::State::Mastered);
    QVERIFY(facts[1].a == 8 && facts[1].tasks == 2 && facts[1].rightFirstTry == 0 &&
            facts[1].state == ReportFact::State::OftenWrong);
    QVERIFY(store.facts(u"Anna"_qs, u"+"_qs, 5, 10).size() == 1);

    const QList<ReportTrickyTask> tricky = store.trickyTasks(u"Anna"_qs, {}, 10);
    QCOMPARE(tricky.size(), 2);
    QVERIFY(tricky[0].a == 8 && tricky[0].notFirstTry == 2 && tricky[0].tasks == 2);
    QCOMPARE(tricky[0].medianSeconds, std::optional<double>(6.0));

    const QList<ReportClassRow> overview = store.classOverview(day3.addSecs(3600));
    QCOMPARE(overview.size(), 2);
    QVERIFY(overview[0].player == u"Anna" && overview[0].roundsThisWeek == 2 &&
            overview[0].tasks == 5 && qFuzzyCompare(overview[0].shareRightFirstTry, 0.6));
    QVERIFY(overview[0].lastRound == day3 && overview[1].deleted);
}

// Another computer's file: what this store holds already is not doubled, and a file that is no
// history is refused with a message, changing nothing.
void TestHistory::mergeAddsOnlyWhatIsNew_data() {
    QTest::addColumn<int>("version");
    QTest::newRow("this version's file") << history::kSchemaVersion;
    // Its tables may mean something else, and its views are never run: refused with a reason.
    QTest::newRow("a later version's file") << history::kSchemaVersion + 1;
}

void TestHistory::mergeAddsOnlyWhatIsNew() {
    QFETCH(int, version);
    TestEnv env;
    const QDateTime t(QDate(2026, 12, 2), QTime(9, 0));
    const QString here = env.path(u"Kalmix.db"_qs), there = env.path(u"other.db"_qs);
    {
        HistoryStore store(here);
        store.roundStarted(u"Anna"_qs, 2, t);
        store.taskShown(plus(1, 2), false);
        answer(store, plus(1, 2), Outcome::Wrong, t.addSecs(5));
        store.taskShown(plus(1, 2), true);
        answer(store, plus(1, 2), Outcome::Right, t.addSecs(9));
        store.roundEnded({1, 1, 0, 9, false}, true, t.addSecs(9));
    }
    QVERIFY(QFile::copy(here, there));
    {
        HistoryStore other(there);
        other.roundStarted(u"Cem"_qs, 4, t); // the same moment on the other computer
        other.taskShown(TaskFacts{4, u"*"_qs, 3, 4, 12}, false);
        answer(other, TaskFacts{4, u"*"_qs, 3, 4, 12}, Outcome::Right, t.addSecs(3));
    }
    Peek(there).rows(u"PRAGMA user_version=%1"_qs.arg(version));
    env.clock.wall = t.addDays(1); // rows from after tomorrow are no answers of a child
    HistoryStore store(here);
    const MergeResult first = store.merge(there);
    if (version > history::kSchemaVersion) {
        QVERIFY(!first.ok && first.error == langText(387).arg(there));
        QCOMPARE(Peek(here).one(u"SELECT count(*) FROM answers"_qs), u"2"_qs);
        return;
    }
    QVERIFY(first.ok && first.rounds == 1 && first.answers == 1);
    const MergeResult again = store.merge(there);
    QVERIFY(again.ok && again.rounds == 0 && again.answers == 0);
    QCOMPARE(store.totals(u"Cem"_qs, {}).rightFirstTry, 1);

    env.writeFile(u"junk.db"_qs, QByteArray(4096, 'x'));
    const MergeResult junk = store.merge(env.path(u"junk.db"_qs));
    QVERIFY(!junk.ok && junk.error == langText(272).arg(env.path(u"junk.db"_qs)));
    QVERIFY(!store.merge(env.path(u"missing.db"_qs)).ok);
    Peek peek(here);
    QCOMPARE(peek.one(u"SELECT count(*) || '/' || (SELECT count(*) FROM rounds) FROM answers"_qs),
             u"3/2"_qs);
    QCOMPARE(peek.inconsistentRounds(), 0);
}

void TestHistory::csvQuotesAsRfc4180() {
    TestEnv env;
    HistoryStore store;
    const QDateTime t(QDate(2026, 12, 3), QTime(14, 5, 9));
    for (const QString& name : {u"Jürgen \"Jo\", 2b"_qs, u"Eva"_qs}) {
        store.roundStarted(name, 2, t);
        store.taskShown(plus(2, 2), false);
        store.answerJudged(plus(2, 2), std::nullopt, Outcome::Wrong, 1.25, t.addSecs(1));
    }
    QString error;
    QVERIFY(store.exportCsv(env.path(u"all.csv"_qs), {}, &error));
    QVERIFY(store.exportCsv(env.path(u"eva.csv"_qs), u"Eva"_qs, &error));
    const QByteArray header = "player,round_started,answered_at,kind,operation,a,b,expected,"
                              "answer,outcome,seconds,attempt,tricky\r\n";
    QCOMPARE(env.readFile(u"eva.csv"_qs),
             header + "Eva,2026-12-03T14:05:09,2026-12-03T14:05:10,2,+,2,2,4,,wrong,1.25,1,0\r\n");
    const QByteArray all = env.readFile(u"all.csv"_qs);
    QVERIFY(all.startsWith(header)); // no byte order mark
    QVERIFY(all.contains(
        "\r\n\"J\xc3\xbcrgen \"\"Jo\"\", 2b\",2026-12-03T14:05:09,2026-12-03T14:05:10,2,+,"));
    QVERIFY(!store.exportCsv(env.path(u"no/such/dir/x.csv"_qs), {}, &error) && !error.isEmpty());
}

// A name a spreadsheet would run as a formula is written as text (a leading apostrophe); the
// operation column's fixed codes stay as they are.
void TestHistory::csvKeepsFormulasAsText() {
    TestEnv env;
    HistoryStore store;
    const QDateTime t(QDate(2026, 12, 3), QTime(14, 5, 9));
    const QStringList names{u"=HYPERLINK(\"x\")"_qs, u"+1"_qs,    u"-2+3"_qs,
                            u"@SUM(A1)"_qs,          u"\tTab"_qs, u"\rCR"_qs,
                            u"Anna-Lena"_qs};
    for (int i = 0; i < names.size(); ++i) {
        store.roundStarted(names[i], 2, t.addSecs(i * 10));
        const TaskFacts minus{2, QStringLiteral("-"), 5, 2, 3};
        store.taskShown(minus, false);
        answer(store, minus, Outcome::Right, t.addSecs(i * 10 + 1));
    }
    QString error;
    QVERIFY(store.exportCsv(env.path(u"all.csv"_qs), {}, &error));
    QList<QByteArray> rows = env.readFile(u"all.csv"_qs).split('\n');
    QCOMPARE(rows.size(), names.size() + 2); // the header, the rows, nothing after the last
    const QByteArray rest = ",2,-,5,2,3,3,right,2,1,0\r";
    QCOMPARE(rows[1], "\"'=HYPERLINK(\"\"x\"\")\",2026-12-03T14:05:09,2026-12-03T14:05:10" + rest);
    QVERIFY(rows[2].startsWith("'+1,") && rows[3].startsWith("'-2+3,") &&
            rows[4].startsWith("'@SUM(A1),") && rows[5].startsWith("'\tTab,"));
    QVERIFY(rows[6].startsWith("\"'\rCR\","));
    QVERIFY(rows[7].startsWith("Anna-Lena,") && rows[7].endsWith(rest));
}

// An export never writes over a file of Kalmix's own, under whatever name it is reached, nor
// over anything that is not a regular file.
void TestHistory::exportTargets() {
    TestEnv env;
    SaveIni(u"Optionen"_qs, u"Sprache"_qs, u"1000"_qs);
    env.writeFile(u"Anna.csv"_qs, "precious");
    const auto link = [&](const QString& target, const QString& name) {
        return ::symlink(QFile::encodeName(target).constData(),
                         QFile::encodeName(env.path(name)).constData()) == 0;
    };
    QVERIFY(link(env.iniPath(), u"settings.csv"_qs));
    QVERIFY(link(u"Kalmix.db-journal"_qs, u"dangling.csv"_qs)); // relative, to nothing yet
    QVERIFY(link(env.dir(), u"folder"_qs));
    QVERIFY(link(env.path(u"Anna.csv"_qs), u"anna-link.csv"_qs));
    QVERIFY(::link(QFile::encodeName(env.iniPath()).constData(),
                   QFile::encodeName(env.path(u"hard.csv"_qs)).constData()) == 0);
    QVERIFY(::mkfifo(QFile::encodeName(env.path(u"fifo.csv"_qs)).constData(), 0600) == 0);
    for (const QString& own : ownFiles() + QStringList{u"settings.csv"_qs, u"dangling.csv"_qs,
                                                       u"folder/Kalmix_Log.txt"_qs, u"hard.csv"_qs,
                                                       u"Kalmix.db.bad-20261201-0800"_qs})
        QVERIFY2(checkExportTarget(QDir(env.dir()).filePath(own)) == ExportTarget::OwnFile,
                 qPrintable(own));
    QVERIFY(ownFiles().contains(LangDatei));
    for (const QString& other : {env.path(u"fifo.csv"_qs), env.dir(), u"/dev/null"_qs})
        QVERIFY2(checkExportTarget(other) == ExportTarget::NotAFile, qPrintable(other));
    for (const QString& free : {u"Anna.csv"_qs, u"anna-link.csv"_qs, u"new.csv"_qs})
        QVERIFY2(checkExportTarget(env.path(free)) == ExportTarget::Free, qPrintable(free));
}

// The wizard's delete question keeps the player's history unless its tick box is ticked.
void TestHistory::deletedPlayersKeepTheirHistoryUnlessAsked() {
    TestEnv env;
    env.writeFile(u"Kalmix.ini"_qs,
                  "[Benutzer]\r\nName1=Anna\r\nName2=Ben\r\naktiv=Anna\r\n[Anna]\r\n[Ben]\r\n");
    HistoryStore store;
    setReportSource(&store);
    const QDateTime t(QDate(2026, 12, 4), QTime(8, 0));
    for (const QString& name : {u"Anna"_qs, u"Ben"_qs}) {
        store.roundStarted(name, 2, t);
        answer(store, plus(1, 1), Outcome::Right, t);
        store.roundEnded({1, 0, 0, 3, false}, true, t);
    }
    resetRecord();
    aktiv = u"Anna"_qs;
    auto w = std::make_unique<frmUebung>();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    const auto remove = [&](const QString& name, bool tick) {
        QListWidgetItem* item = w->lstName->findItems(name, Qt::MatchExactly).value(0);
        QTest::mouseClick(w->lstName->viewport(), Qt::LeftButton, {},
                          w->lstName->visualItemRect(item).center());
        env.ticks = {tick};
        QTest::mouseClick(w->cmdDelEntry, Qt::LeftButton);
    };
    remove(u"Anna"_qs, false);
    QCOMPARE(env.messages.last().checkBox, langText(273));
    remove(u"Ben"_qs, true);
    w.reset();
    setReportSource(nullptr);
    const QList<ReportPlayer> left = store.players();
    QCOMPARE(left.size(), 1);
    QVERIFY(left[0].name == u"Anna" && left[0].deleted);
    QCOMPARE(store.totals(u"Ben"_qs, {}).tasks, 0);
    resetRecord();
}

// A task missed in a round with the switch on comes back in it, marked in the answers view; it
// is tricky for the game's next round, and leaves the set after two later rounds right at the
// first try, which the report's grid shows.
void TestHistory::trickyTasksComeFromTheHistory() {
    Fixture f;
    useTypicalRecord(2);
    AufgZahl = 8;
    Knifflig = kTrue;
    HistoryStore store;
    f.game.events.add(&store);
    f.game.trickySource = &store;
    f.game.Start_Click();
    play(f, u"w r r r r r r r r"_qs, false);
    f.scheduler.runAll();
    f.game.events.remove(&store);
    Peek peek(f.env.path(u"Kalmix.db"_qs));
    const QStringList first = peek.rows(u"SELECT a, b, expected FROM answers LIMIT 1"_qs);
    QCOMPARE(peek.rows(u"SELECT a, b, expected FROM answers WHERE tricky = 1"_qs), first);
    const QStringList abe = first.value(0).split(u'|');
    const TaskFacts missed = {2, u"+"_qs, abe[0].toInt(), abe[1].toInt(), abe[2].toInt()};
    QList<TaskFacts> tricky = store.trickyTasks(u"Anna"_qs);
    QCOMPARE(tricky.size(), 1);
    QVERIFY(tricky[0].sameFact(missed)); // the return in its round was one occasion

    const QDateTime later = f.env.clock.now().addDays(1);
    store.roundStarted(u"Anna"_qs, 2, later);
    store.taskShown(missed, false);
    answer(store, missed, Outcome::Right, later.addSecs(5));
    QVERIFY(store.trickyTasks(u"Anna"_qs).isEmpty());
    const QList<ReportFact> facts = store.facts(u"Anna"_qs, u"+"_qs, 20, 20);
    const auto fact = std::find_if(facts.begin(), facts.end(), [&](const ReportFact& x) {
        return x.a == missed.a && x.b == *missed.b;
    });
    QVERIFY(fact != facts.end() && fact->leftTricky);
}

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
