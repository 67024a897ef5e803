// The game held by the settings window, and games that cannot go on.
#include "services/lang.h"
#include "services/procedure.h"
#include "services/resfiles.h"

#include "gamefixture.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <algorithm>
#include <cmath>

using namespace kalmix;
using namespace kalmix::test;

class TestGameHeld : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        initResources();
        WriteLanguageCopy();
    }
    void init() {
        useTypicalRecord(2);
        setSystemLocaleForTesting([] { return QLocale(QLocale::German, QLocale::Germany); });
    }
    void cleanup() {
        LogNr().close();
        setSystemLocaleForTesting({});
    }
    void settingsWindowHoldsTheGame_data();
    void settingsWindowHoldsTheGame();
    void fewerTasksSetDuringTheGame();
    void leftProcedureEndsTheGame_data();
    void leftProcedureEndsTheGame();
    void timeRunsOutUnderAMessageBox_data();
    void timeRunsOutUnderAMessageBox();
    void roundOverDuringItsLastWalk_data();
    void roundOverDuringItsLastWalk();
};

namespace {

// How the settings window opened during a game was closed.
enum Closing {
    Cancel,        // the record is the game's again
    OkNewRange,    // same player and kind; other symbols and another range
    OkAnotherKind, // the game cannot go on
};

struct BoardItems {
    bool taskText, question;
    std::array<std::array<int, 25>, 2> symbols;
    std::array<bool, 2> jaNein;
    QString task, answer;
    bool answerVisible, preview;
    bool operator==(const BoardItems&) const = default;
};

BoardItems itemsOf(const FakeBoard& b) {
    return {b.taskVisible, b.questionVisible, b.symbols,       b.jaNein,
            b.task,        b.answer,          b.answerVisible, b.preview};
}

// Hears the answers judged and the ends of rounds; may show a message box at an answer, as the
// practice history does when it cannot write.
struct Heard final : GameEvents {
    QStringList said;
    std::function<void()> atAnswer;
    void answerJudged(const TaskFacts&, std::optional<int>, Outcome, double,
                      const QDateTime&) override {
        said << u"answer"_qs;
        if (atAnswer)
            atAnswer();
    }
    void roundEnded(const RoundSummary&, bool finished, const QDateTime&) override {
        said << (finished ? u"finished"_qs : u"abandoned"_qs);
    }
};

} // namespace

void TestGameHeld::settingsWindowHoldsTheGame_data() {
    QTest::addColumn<int>("moment");
    QTest::addColumn<int>("closing");
    const QList<std::pair<const char*, Moment>> moments = {
        {"task waiting", TaskWaiting},
        {"wrong-answer wait", WrongAnswerWait},
        {"right-answer wait", RightAnswerWait},
        {"picture build", PictureAnimationAfterSolved},
        {"figure sequence", SpecialMeterSequence},
        {"time-limited tick", TimeModeMeter},
        {"solution help's wait", SolutionHelpWait},
    };
    const QList<std::pair<const char*, Closing>> closings = {
        {"Cancel", Cancel}, {"OK", OkNewRange}, {"OK, another kind", OkAnotherKind}};
    for (const auto& [m, moment] : moments)
        for (const auto& [c, closing] : closings)
            QTest::addRow("%s, %s", m, c) << int(moment) << int(closing);
}

// The settings window opened during a game holds it: nothing happens under the window, not
// even with a record that is half edited. Afterwards the old game goes on exactly as it would
// have without the window (the clock does not count the time held), now with the applied
// record; or, when the window changed the kind, the board is cleared and Start begins anew.
void TestGameHeld::settingsWindowHoldsTheGame() {
    QFETCH(int, moment);
    QFETCH(int, closing);
    const bool pictures = moment == PictureAnimationAfterSolved;
    // What happens in the 3 s after the moment, or after the window closed.
    const auto after = [](Fixture& f) {
        f.board.clearHistory();
        f.scheduler.advance(3000);
        return f.board.events;
    };
    QStringList untouched;
    {
        Fixture twin;
        playTo(twin, Moment(moment));
        untouched = after(twin);
    }
    Fixture f;
    playTo(f, Moment(moment));
    const BoardItems before = itemsOf(f.board);
    const qsizetype sounds = f.env.sound.played.size();
    const QByteArray log = f.log();

    f.game.pauseForSettings();
    QVERIFY(!f.board.taskVisible && !f.board.questionVisible);
    QCOMPARE(f.board.visibleSymbols(0) + f.board.visibleSymbols(1), 0);
    QVERIFY(!f.board.jaNein[0] && !f.board.jaNein[1]);
    // The window changes the kind and the range at once, the rest only at OK.
    Uebung = pictures ? 3 : 1;
    MaxSum = 500;
    f.board.clearHistory();
    f.scheduler.advance(30'000);
    QVERIFY2(f.board.events.isEmpty(), qPrintable(f.board.events.join(u", ")));
    QCOMPARE(f.env.sound.played.size(), sounds);
    QCOMPARE(f.log(), log);

    const Closing how = Closing(closing);
    if (how == OkAnotherKind) {
        Uebung = pictures ? 3 : 1;
        MinSum = 2;
        MaxSum = 9;
    } else {
        Uebung = pictures ? 0 : 2;
        MaxSum = how == Cancel ? 10 : 20;
        MinSum = how == Cancel ? 2 : 11;
        if (how == OkNewRange) {
            SymbolListe = {9};
            SymbolZahl = 1;
        }
    }
    f.game.resumeAfterSettings();
    QVERIFY(f.env.errors.isEmpty());

    if (how == OkAnotherKind) {
        QVERIFY(!f.game.running());
        QVERIFY(!f.board.frameVisible && !f.board.answerVisible && !f.board.taskVisible);
        QVERIFY(!f.board.preview);
        QVERIFY(f.board.enabled(kStart));
        QVERIFY(!f.board.enabled(kSolution));
        QVERIFY(f.board.enabled(kOptions) && f.board.enabled(kHelp));
        QCOMPARE(f.board.meterIcon, 101);
        f.board.clearHistory();
        f.scheduler.advance(10'000);
        QVERIFY(f.board.events.isEmpty()); // nothing of the old game is left
        f.game.Start_Click();
        QVERIFY(f.driver.awaitAnswerBox());
        QCOMPARE(f.board.questionVisible, !pictures);
        QVERIFY(f.env.errors.isEmpty());
        return;
    }
    QVERIFY(itemsOf(f.board) == before); // what the window hid is shown again
    // Up to the next task drawn, which the new record may change.
    const auto untilNextTask = [](QStringList events) {
        const auto next = std::find_if(events.begin(), events.end(),
                                       [](const QString& e) { return e.startsWith(u"task"); });
        return events.mid(0, next - events.begin());
    };
    if (how == Cancel)
        QCOMPARE(after(f), untouched);
    else
        QCOMPARE(untilNextTask(after(f)), untilNextTask(untouched));
    // The next task is drawn from the record as the window left it.
    play(f, QStringLiteral("r"));
    QVERIFY(f.driver.awaitAnswerBox());
    if (how == OkNewRange && pictures) {
        QCOMPARE(f.board.visibleSymbols(0), int(f.game.Ergebnis));
        QCOMPARE(f.board.symbols[0][0], 9);
    } else if (how == OkNewRange) {
        QVERIFY2(f.game.Ergebnis >= 11 && f.game.Ergebnis <= 20, qPrintable(f.board.task));
    }
    QVERIFY(f.env.errors.isEmpty());
}

// A task count lowered in the settings window below the tasks already solved ends the game
// with the next solved task instead of never.
void TestGameHeld::fewerTasksSetDuringTheGame() {
    Fixture f;
    AufgZahl = 20;
    f.game.Start_Click();
    play(f, QStringLiteral("r r r r r r r r r r r r"));
    QVERIFY(f.driver.awaitAnswerBox());
    f.game.pauseForSettings();
    AufgZahl = 10;
    f.game.resumeAfterSettings();
    play(f, QStringLiteral("r"));
    f.scheduler.advance(1000);
    QVERIFY(!f.game.running());
    QVERIFY(f.board.enabled(kStart));
}

void TestGameHeld::leftProcedureEndsTheGame_data() {
    QTest::addColumn<QString>("procedure"); // whose statement fails; empty: none
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("uebung");      // 9: a kind outside 0 to 8 at the trigger
    QTest::addColumn<QString>("script");  // played before the failure can happen
    QTest::addColumn<QString>("trigger"); // "s" Start, "r", "w", "h" as in play()
    QTest::addColumn<bool>("goesOn");     // the game's own procedure was not left
    QTest::newRow("start: log") << u"Start_Click"_qs << 3 << 2 << u"r"_qs << u"s"_qs << false;
    QTest::newRow("start: after the first task")
        << u"Start_Click"_qs << 8 << 2 << QString() << u"s"_qs << false;
    QTest::newRow("kind outside 0 to 8") << QString() << 0 << 9 << u"r"_qs << u"s"_qs << false;
    QTest::newRow("dispatch") << u"UebungAusfuehren"_qs << 1 << 2 << QString() << u"r"_qs << false;
    QTest::newRow("generator") << u"Addition"_qs << 2 << 2 << u"r"_qs << u"s"_qs << false;
    QTest::newRow("counting picture") << u"Zaehlen"_qs << 5 << 0 << QString() << u"s"_qs << false;
    QTest::newRow("second row's picture")
        << u"SymbAddition"_qs << 6 << 1 << QString() << u"s"_qs << false;
    QTest::newRow("judging") << u"Form_KeyPress"_qs << 2 << 2 << QString() << u"w"_qs << false;
    QTest::newRow("wrong answer's log line")
        << u"Form_KeyPress"_qs << 7 << 2 << QString() << u"w"_qs << false;
    QTest::newRow("solved count") << u"Form_KeyPress"_qs << 14 << 2 << QString() << u"r"_qs
                                  << false;
    QTest::newRow("after the right answer's wait")
        << u"Form_KeyPress"_qs << 19 << 2 << QString() << u"r"_qs << false;
    QTest::newRow("game end") << u"Form_KeyPress"_qs << 22 << 2 << u"r r r r r r r r r"_qs
                              << u"r"_qs << false;
    QTest::newRow("figure's first step") << u"Sequenz"_qs << 2 << 2 << QString() << u"r"_qs << true;
    QTest::newRow("help's answer") << u"PicBut_Click"_qs << 1 << 2 << QString() << u"h"_qs << true;
}

// "Leave the procedure" leaves all of it, also what would follow its waits. A game whose own
// procedure was left, or that got no task, ends so that Start works; one whose helper (the
// figure, the help) was left goes on.
void TestGameHeld::leftProcedureEndsTheGame() {
    QFETCH(QString, procedure);
    QFETCH(int, line);
    QFETCH(int, uebung);
    QFETCH(QString, script);
    QFETCH(QString, trigger);
    QFETCH(bool, goesOn);
    Fixture f;
    useTypicalRecord(uebung == 9 ? 2 : uebung);
    LogFile = kTrue;
    f.env.errorAnswer = ActionLeave;
    if (!script.isEmpty() || trigger != u"s") {
        f.game.Start_Click();
        play(f, script);
        QVERIFY(f.driver.awaitAnswerBox());
    }
    Uebung = static_cast<std::int16_t>(uebung);
    bool hit = false;
    QStringList afterwards; // statements of the left procedure that still ran
    setFaultInjector([&](const char*, const char* p, int n) {
        if (procedure.isEmpty() || QLatin1String(p) != procedure)
            return false;
        if (hit)
            afterwards << QString::number(n);
        const bool fails = !hit && n == line;
        hit = hit || fails;
        return fails;
    });
    f.board.clearHistory();
    if (trigger == u"s")
        f.game.Start_Click();
    else if (trigger == u"h")
        f.game.Loesung_Click();
    else if (trigger == u"r")
        f.answerRight();
    else
        f.answerWrong();
    f.scheduler.advance(5000);
    setFaultInjector(nullptr);
    QCOMPARE(hit, !procedure.isEmpty());
    QCOMPARE(afterwards, QStringList());

    if (goesOn) {
        QVERIFY(!f.board.events.contains(u"jaNein 1 1"_qs)); // nothing was judged wrong
        QVERIFY(f.driver.awaitAnswerBox());
        QCOMPARE(f.board.meterIcon, 101);
        QVERIFY(!f.game.HilfeBenutzt);
        return;
    }
    QVERIFY(!f.game.running());
    QVERIFY(f.board.enabled(kStart));
    QVERIFY(!f.board.enabled(kSolution));
    QVERIFY(f.board.enabled(kOptions) && f.board.enabled(kHelp));
    QVERIFY(!f.board.preview);
    QVERIFY(!f.board.frameVisible && !f.board.answerVisible);
    f.board.clearHistory();
    f.scheduler.advance(10'000);
    QCOMPARE(f.board.events, QStringList()); // nothing of it is left pending
    // Start works.
    Uebung = 2;
    f.game.Start_Click();
    QVERIFY(f.driver.awaitAnswerBox());
    play(f, QStringLiteral("r"));
    QCOMPARE(int(f.game.Geloest), 1);
}

void TestGameHeld::timeRunsOutUnderAMessageBox_data() {
    QTest::addColumn<QString>("box");     // who shows it: "log", "history" or "error" (Ignore)
    QTest::addColumn<QString>("answer");  // "w", "r" or "h" as in play()
    QTest::addColumn<QString>("failing"); // the statement whose error shows the error dialog
    QTest::newRow("wrong answer, the log fails") << u"log"_qs << u"w"_qs << QString();
    QTest::newRow("right answer, the log fails") << u"log"_qs << u"r"_qs << QString();
    QTest::newRow("light bulb's answer, the log fails") << u"log"_qs << u"h"_qs << QString();
    QTest::newRow("wrong answer, the history fails") << u"history"_qs << u"w"_qs << QString();
    QTest::newRow("right answer, the history fails") << u"history"_qs << u"r"_qs << QString();
    QTest::newRow("wrong answer, an error ignored")
        << u"error"_qs << u"w"_qs << u"Form_KeyPress 5"_qs; // the wrong picture
    QTest::newRow("right answer, an error ignored")
        << u"error"_qs << u"r"_qs << u"Form_KeyPress 10"_qs; // the right picture
    QTest::newRow("the next task, an error ignored")
        << u"error"_qs << u"r"_qs << u"Addition 1"_qs; // its numbers
}

// A message box shown while an answer is judged lets the clock tick on, and the time of the
// round may run out under it. The round ends then, once; what the judging still had to do when
// the box closed is not done: no answer box opens again, the keys are not filtered, no second
// end, end sound or summary.
void TestGameHeld::timeRunsOutUnderAMessageBox() {
    QFETCH(QString, box);
    QFETCH(QString, answer);
    QFETCH(QString, failing);
    Fixture f;
    Zeit = 30;
    AufgZahl = 0;
    Hilfe = PlaySound = LogFile = kTrue;
    Animation = kFalse;
    Heard heard;
    f.game.events.add(&heard);
    QList<RoundSummary> ended;
    f.game.roundEnded = [&](const RoundSummary& s) { ended.append(s); };
    f.game.Start_Click();
    play(f, u"r"_qs);
    f.scheduler.advance(28'000 - f.env.clock.mono);
    QVERIFY(f.driver.awaitingAnswer());

    int boxes = 0;
    qsizetype eventsAtTheEnd = -1, soundsAtTheEnd = -1, heardAtTheEnd = -1;
    const auto underTheBox = [&] {
        ++boxes;
        f.scheduler.advance(5000); // the clock ticks on while the box is open
        QVERIFY(!f.game.running());
        eventsAtTheEnd = f.board.events.size();
        soundsAtTheEnd = f.env.sound.played.size();
        heardAtTheEnd = heard.said.size();
    };
    if (box == u"error") {
        // The statement fails once; the dialog is answered Ignore.
        const QString procedure = failing.section(u' ', 0, 0);
        const int line = failing.section(u' ', 1).toInt();
        setFaultInjector(
            [procedure, line, failed = false](const char*, const char* p, int n) mutable {
                if (failed || QLatin1String(p) != procedure || n != line)
                    return false;
                return failed = true;
            });
        setErrorReporter([&](const QString&, const QString&) {
            underTheBox();
            return std::int16_t(ActionIgnore);
        });
    } else {
        setMsgBoxHook([&](const MsgBoxCall&) {
            underTheBox();
            return MsgResult::Ok;
        });
        if (box == u"log") { // the log's place is taken by a folder
            QFile::remove(f.env.path(kLogName));
            QVERIFY(QDir(f.env.dir()).mkdir(kLogName));
        } else {
            heard.atAnswer = [] { MsgBox(u"The practice history cannot be written."_qs); };
        }
    }
    f.board.clearHistory();
    f.env.sound.played.clear();
    if (answer == u"h") {
        f.game.Loesung_Click();
        f.scheduler.advance(200);
    } else if (answer == u"r") {
        f.answerRight();
    } else {
        f.answerWrong();
    }
    f.scheduler.runAll();
    QCOMPARE(boxes, 1);
    f.driver.enter();
    setFaultInjector(nullptr);
    setMsgBoxHook(nullptr);
    setErrorReporter(nullptr);
    f.game.events.remove(&heard);

    QCOMPARE(f.board.events.mid(eventsAtTheEnd), QStringList());
    QCOMPARE(f.sounds().mid(soundsAtTheEnd), QList<int>());
    QCOMPARE(f.sounds().count(107), 1);
    QCOMPARE(heard.said.mid(heardAtTheEnd), QStringList());
    QCOMPARE(heard.said.count(u"finished"_qs), 1);
    QCOMPARE(ended.size(), 1);
    QVERIFY(ended[0].timeUp);
    QVERIFY(!f.game.running());
    QVERIFY(!f.board.answerVisible && !f.board.preview && !f.board.frameVisible);
    QVERIFY(f.board.enabled(kStart));
    QVERIFY(f.board.enabled(kOptions) && f.board.enabled(kHelp));
    // The next round starts as usual.
    f.game.Start_Click();
    QVERIFY(f.driver.awaitAnswerBox());
}

void TestGameHeld::roundOverDuringItsLastWalk_data() {
    QTest::addColumn<QString>("what");
    QTest::newRow("settings window cancelled") << u"cancel"_qs;
    QTest::newRow("settings window: another kind") << u"kind"_qs;
    QTest::newRow("settings window: another player") << u"player"_qs;
    QTest::newRow("a new round started") << u"start"_qs;
}

// The last task of a round is solved: while the figure walks to the pencil's tip, the round is
// finished already. Nothing done in that moment makes it an abandoned round, and unless a new
// round starts at once, its summary is shown.
void TestGameHeld::roundOverDuringItsLastWalk() {
    QFETCH(QString, what);
    Fixture f;
    AufgZahl = 2;
    Animation = PlaySound = kTrue;
    aktiv = u"Anna"_qs;
    Heard heard;
    f.game.events.add(&heard);
    QList<RoundSummary> ended;
    f.game.roundEnded = [&](const RoundSummary& s) { ended.append(s); };
    f.game.Start_Click();
    play(f, u"r r"_qs);
    f.scheduler.advance(500); // the step to the last task's place, then the last walk
    QVERIFY(f.game.running());
    QVERIFY(f.board.meterIcon != 101);

    if (what == u"start") {
        f.game.Start_Click();
    } else {
        f.game.pauseForSettings();
        f.scheduler.advance(10'000);
        if (what == u"kind")
            Uebung = 4;
        else if (what == u"player")
            aktiv = u"Ben"_qs;
        f.game.resumeAfterSettings();
    }
    f.scheduler.runAll();
    f.game.events.remove(&heard);
    aktiv.clear();
    QCOMPARE(heard.said.filter(u"ed"_qs).mid(0, 1), QStringList{u"finished"_qs});
    QVERIFY(!heard.said.contains(u"abandoned"_qs));
    if (what == u"start") {
        QVERIFY(ended.isEmpty()); // the new round is on the board
        QVERIFY(f.driver.awaitAnswerBox());
        return;
    }
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended[0].solved, 2);
    QVERIFY(!f.game.running());
    QVERIFY(f.board.enabled(kStart));
    QCOMPARE(f.board.meter, std::nearbyint(f.board.left + 0.93 * f.board.width));
    QCOMPARE(f.sounds().count(107), 1);
}

QTEST_MAIN(TestGameHeld)
#include "tst_gameheld.moc"
