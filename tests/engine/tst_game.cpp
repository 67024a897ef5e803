#include "engine/practicelog.h"
#include "engine/random.h"
#include "profiles/record.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "services/sound.h"
#include "support/fakes.h"
#include "support/testenv.h"

// The Qt code generator cannot read the coroutine headers, and needs nothing from them.
#ifndef Q_MOC_RUN
#include "engine/game.h"
#endif

#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace kalmix;
using namespace kalmix::test;

#include "gamefixture.h"

class TestGame : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void gameStart_data();
    void gameStart();
    void startWithoutPlayer_data();
    void startWithoutPlayer();
    void countModeGame();
    void gameEnds_data();
    void gameEnds();
    void timeLimit_data();
    void timeLimit();
    void clock_data();
    void clock();
    void everyKindPlaysToTheEnd_data();
    void everyKindPlaysToTheEnd();
    void pictureTaskBuild_data();
    void pictureTaskBuild();
    void clearingKeepsLaterSlots();

    void judging_data();
    void judging();
    void keyFilter_data();
    void keyFilter();
    void typing();
    void solutionHelp_data();
    void solutionHelp();
    void busyMomentsIgnoreInput_data();
    void busyMomentsIgnoreInput();
    void newGameAbandonsTheOld_data();
    void newGameAbandonsTheOld();

    void meterCountMode_data();
    void meterCountMode();
    void meterStaysStill_data();
    void meterStaysStill();
    void soundsOff();
    void meterTimeMode();

    void printZones_data();
    void printZones();
    void logHeader_data();
    void logHeader();
    void practiceLogBytes();
    void practiceLogOff_data();
    void practiceLogOff();
    void closedLogIsReopened();
    void twoGamesTwoHeaders();

    void roundFigures_data();
    void roundFigures();
    void timeUpEndsTheRoundAtOnce_data();
    void timeUpEndsTheRoundAtOnce();
    void listenersHearEveryMoment();
};

void TestGame::initTestCase() {
    initResources();
    WriteLanguageCopy();
}

void TestGame::init() {
    useTypicalRecord(2);
    setSystemLocaleForTesting([] { return QLocale(QLocale::German, QLocale::Germany); });
}

void TestGame::cleanup() {
    LogNr().close();
    setSystemLocaleForTesting({});
}

// ---------------------------------------------------------------- start and end

void TestGame::gameStart_data() {
    QTest::addColumn<bool>("help");
    QTest::addColumn<int>("seconds");
    QTest::newRow("count mode with help") << true << 0;
    QTest::newRow("count mode without help") << false << 0;
    QTest::newRow("time mode with help") << true << 60;
}

void TestGame::gameStart() {
    QFETCH(bool, help);
    QFETCH(int, seconds);
    Fixture f;
    Hilfe = truth(help);
    Zeit = static_cast<std::int16_t>(seconds);
    AufgZahl = seconds ? 0 : 10;
    PlaySound = kTrue;
    f.env.clock.mono = 5'000'000; // the monotonic clock does not start with the game
    f.board.meter = 3000;         // where the last game left the figure
    f.game.Geloest = 7;
    f.game.Start_Click();

    QCOMPARE(f.sounds(), QList{108});
    QVERIFY(f.board.frameVisible);
    QVERIFY(f.board.taskVisible);
    QVERIFY(f.board.answerVisible);
    QVERIFY(f.board.answerFocused);
    QVERIFY(!f.board.answerBesideQuestion);
    QVERIFY(!f.board.enabled(kStart));
    QCOMPARE(f.board.enabled(kSolution), help);
    QCOMPARE(f.board.number, u"0"_qs);
    QCOMPARE(f.board.time, seconds ? u"01:00"_qs : u"00:00"_qs); // a time limit counts down
    QCOMPARE(f.board.meter, 600.0);
    QCOMPARE(int(f.game.Geloest), 0);
    QVERIFY(f.game.timerEnabled());
    QVERIFY(f.board.preview);
    QCOMPARE(f.game.StartZeit, std::optional<qint64>(5'000'000));
    QCOMPARE(f.game.StartTimer.has_value(), seconds != 0);
    QVERIFY(f.driver.awaitingAnswer());
    QVERIFY(f.env.errors.isEmpty());
}

void TestGame::startWithoutPlayer_data() {
    QTest::addColumn<QString>("entered");
    QTest::newRow("wizard closed without a name") << QString();
    QTest::newRow("wizard gave a name") << u"Lena"_qs;
}

// Without an active player the settings wizard comes first; a game starts only when it
// leaves a name, and then the player list is filled again.
void TestGame::startWithoutPlayer() {
    QFETCH(QString, entered);
    Fixture f;
    aktiv.clear();
    int wizards = 0, refills = 0;
    f.game.showSettingsWizard = [&] {
        ++wizards;
        aktiv = entered;
    };
    f.game.ComboAktualisieren = [&] { ++refills; };
    f.game.Start_Click();
    QCOMPARE(wizards, 1);
    QCOMPARE(refills, entered.isEmpty() ? 0 : 1);
    QCOMPARE(f.game.running(), !entered.isEmpty());
    QCOMPARE(f.board.frameVisible, !entered.isEmpty());
    QCOMPARE(f.game.timerEnabled(), !entered.isEmpty());
}

// A game of ten tasks with one wrong answer, repeated until right, and one answer filled in
// by the solution help, which is not counted.
void TestGame::countModeGame() {
    Fixture f;
    LogFile = PlaySound = kTrue;
    f.game.Start_Click();
    QStringList expectedLog = {QString(), u"14.03.2026 09:26:53         Anna"_qs, QString()};
    for (int task = 1; task <= 11; ++task) {
        QVERIFY(f.driver.awaitAnswerBox());
        const QString text = f.board.task;
        const QString right = QString::number(f.rightAnswer());
        if (task == 3) {
            const QString wrong = QString::number(f.rightAnswer() + 1);
            f.driver.type(wrong);
            f.driver.enter();
            QVERIFY(f.board.jaNein[1]);
            QVERIFY(!f.board.jaNein[0]);
            QVERIFY(!f.board.preview);
            QCOMPARE(f.sounds().last(), 110);
            expectedLog << zoneAdvanced(QString(u"09:26:53\t"_qs + text + wrong), u"Falsch!"_qs);
            f.scheduler.advance(999);
            QVERIFY(f.board.jaNein[1]);
            f.scheduler.advance(1);
            // The same task again, with an empty answer box.
            QVERIFY(!f.board.jaNein[1]);
            QVERIFY(f.driver.awaitingAnswer());
            QCOMPARE(f.board.task, text);
            QCOMPARE(f.board.answer, QString());
            QCOMPARE(f.board.number, u"2"_qs);
        }
        if (task == 6) {
            f.game.Loesung_Click();
            QCOMPARE(f.board.answer, right);
            expectedLog << zoneAdvanced(QString(u"09:26:53\t"_qs + text + right),
                                        u"mit Hilfestellung!"_qs);
        } else {
            f.driver.type(right);
            f.driver.enter();
            expectedLog << u"09:26:53\t"_qs + text + right;
        }
        if (task < 11)
            QVERIFY(f.game.running());
    }
    QVERIFY(f.scheduler.runAll()); // nothing left over: the clock has stopped
    QVERIFY(!f.game.running());
    QCOMPARE(int(f.game.Geloest), 10);
    // The count is reset once before the first task goes up and once more after it.
    QCOMPARE(f.board.numbers, (QList{0, 0, 1, 2, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    QCOMPARE(f.logLines(), expectedLog);
    QCOMPARE(f.sounds().first(), 108);
    QCOMPARE(f.sounds().count(110), 1);
    QCOMPARE(f.sounds().last(), 107);
    QVERIFY(f.env.errors.isEmpty());
}

void TestGame::gameEnds_data() {
    QTest::addColumn<int>("uebung");
    QTest::addColumn<int>("tasks");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("script");
    QTest::newRow("count mode, ten solved") << 2 << 10 << 0 << u"r r r r r r r r r r"_qs;
    QTest::newRow("count mode, help answers never count") << 3 << 2 << 0 << u"h r h h r"_qs;
    QTest::newRow("count mode, wrong answers repeat the task") << 4 << 1 << 0 << u"w w r"_qs;
    QTest::newRow("time mode, the time runs out") << 5 << 0 << 60 << u"+55 r w w r +5"_qs;
    QTest::newRow("time mode, the time runs out after a help answer")
        << 6 << 0 << 60 << u"+59 h +2"_qs;
    QTest::newRow("counting pictures") << 0 << 3 << 0 << u"r w r r"_qs;
    QTest::newRow("symbol addition") << 1 << 2 << 0 << u"r h r"_qs;
}

// However a game ends, it ends the same way: clock off, board cleared, task frame hidden,
// start button enabled with the focus, solution button disabled, key preview off, WAV 107.
void TestGame::gameEnds() {
    QFETCH(int, uebung);
    QFETCH(int, tasks);
    QFETCH(int, seconds);
    QFETCH(QString, script);
    Fixture f;
    useTypicalRecord(uebung);
    AufgZahl = static_cast<std::int16_t>(tasks);
    Zeit = static_cast<std::int16_t>(seconds);
    LogFile = PlaySound = kTrue;
    f.game.Start_Click();
    play(f, script);
    QVERIFY(f.scheduler.runAll());
    QVERIFY(!f.game.running());
    QVERIFY(!f.game.timerEnabled());
    QVERIFY(!f.board.frameVisible);
    QVERIFY(!f.board.taskVisible);
    QVERIFY(!f.board.questionVisible);
    QCOMPARE(f.board.jaNein, (std::array<bool, 2>{false, false}));
    QCOMPARE(f.board.visibleSymbols(0) + f.board.visibleSymbols(1), 0);
    QVERIFY(f.board.enabled(kStart));
    QCOMPARE(f.board.focusedButton, std::optional<int>(kStart));
    QVERIFY(!f.board.enabled(kSolution));
    QVERIFY(!f.board.preview);
    QCOMPARE(f.sounds().last(), 107);
    if (!seconds)
        QCOMPARE(int(f.game.Geloest), tasks);

    // Enter and the solution button do nothing after the end.
    const QByteArray log = f.log();
    int enter = 13;
    f.game.Form_KeyPress(enter);
    QCOMPARE(enter, 0);
    f.game.Loesung_Click();
    QVERIFY(f.scheduler.runAll());
    QCOMPARE(f.log(), log);
    QVERIFY(!f.board.frameVisible);
    QVERIFY(f.env.errors.isEmpty());
}

void TestGame::timeLimit_data() {
    QTest::addColumn<int>("startMs"); // on the monotonic clock
    QTest::addColumn<int>("answerAtMs");
    QTest::addColumn<bool>("ends");
    // The next task comes a second later, still within the time.
    QTest::newRow("at 58 s another task") << 0 << 58'000 << false;
    QTest::newRow("just before 59 s another task") << 4'000'000 << 58'999 << false;
    QTest::newRow("at 60 s the end") << 0 << 60'000 << true;
    QTest::newRow("at 60 s the end, clock not at 0") << 4'000'000 << 60'000 << true;
    QTest::newRow("long after the time the end") << 0 << 95'000 << true;
}

// A time-limited game of 60 seconds ends at second 60; a right answer before leads to the next
// task.
void TestGame::timeLimit() {
    QFETCH(int, startMs);
    QFETCH(int, answerAtMs);
    QFETCH(bool, ends);
    Fixture f;
    Zeit = 60;
    AufgZahl = 0;
    f.env.clock.mono = startMs;
    f.game.Start_Click();
    f.scheduler.advance(answerAtMs);
    if (ends) { // the clock's tick at the limit closed the answer box already
        QVERIFY(!f.game.running());
        QVERIFY(!f.board.answerVisible);
        return;
    }
    QVERIFY(f.driver.awaitingAnswer());
    f.answerRight();
    QCOMPARE(f.game.running(), !ends);
    if (!ends) { // the next task after a second's pause
        f.scheduler.advance(999);
        QCOMPARE(f.board.answerOpens, 1);
        QVERIFY(f.board.jaNein[0]);
        f.scheduler.advance(1);
        QCOMPARE(f.board.answerOpens, 2);
        QVERIFY(f.driver.awaitingAnswer());
    }
}

void TestGame::clock_data() {
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("shown");
    QTest::newRow("one second") << 1 << u"00:01"_qs;
    QTest::newRow("61 seconds") << 61 << u"01:01"_qs;
    QTest::newRow("59:59") << 3599 << u"59:59"_qs;
    QTest::newRow("one hour shows no hours") << 3600 << u"00:00"_qs;
    QTest::newRow("1 h 5 min 12 s") << 3912 << u"05:12"_qs;
}

void TestGame::clock() {
    QFETCH(int, seconds);
    QFETCH(QString, shown);
    Fixture f;
    f.env.clock.mono = 86'000'000;
    f.game.Start_Click();
    f.scheduler.advance(seconds * 1000LL - 1);
    QVERIFY(f.board.time != shown); // not yet
    f.scheduler.advance(1);
    QCOMPARE(f.board.time, shown);
}

void TestGame::everyKindPlaysToTheEnd_data() {
    QTest::addColumn<int>("uebung");
    QTest::addColumn<QString>("logPattern"); // of a solved line after the time and the tab
    QTest::newRow("0 counting") << 0 << u"O{2,9}     \\d"_qs;
    QTest::newRow("1 symbol addition") << 1 << u"O* \\+ O+ = \\d+"_qs;
    QTest::newRow("2 addition") << 2 << u" \\d+ \\+ \\d+ = \\d+"_qs;
    QTest::newRow("3 subtraction") << 3 << u" \\d+ - \\d+ = \\d+"_qs;
    QTest::newRow("4 multiplication") << 4 << u" \\d+ • \\d+ = \\d+"_qs;
    QTest::newRow("5 division") << 5 << u"\\d+ : \\d+ = \\d+"_qs;
    QTest::newRow("6 addition and subtraction") << 6 << u" \\d+ [+-] \\d+ = \\d+"_qs;
    QTest::newRow("7 multiplication and division") << 7 << u" ?\\d+ [•:] \\d+ = \\d+"_qs;
    QTest::newRow("8 all four") << 8 << u" ?\\d+ [-+•:] \\d+ = \\d+"_qs;
}

// A child who reads the board and always answers right finishes a game of every kind.
void TestGame::everyKindPlaysToTheEnd() {
    QFETCH(int, uebung);
    QFETCH(QString, logPattern);
    Fixture f;
    useTypicalRecord(uebung);
    LogFile = PlaySound = kTrue;
    f.game.Start_Click();
    for (int task = 0; task < 10; ++task) {
        QVERIFY(f.driver.awaitAnswerBox());
        QCOMPARE(f.board.answerBesideQuestion, uebung <= 1);
        QCOMPARE(f.board.taskVisible, uebung > 1);
        QCOMPARE(f.board.questionVisible, uebung <= 1);
        f.answerRight();
        QVERIFY(f.board.jaNein[0]);
    }
    QVERIFY(f.scheduler.runAll());
    QVERIFY(!f.game.running());
    QCOMPARE(int(f.game.Geloest), 10);
    const QStringList lines = f.logLines().mid(3);
    QCOMPARE(lines.size(), 10);
    const QRegularExpression solved(u"^09:26:53\\t"_qs + logPattern + u'$');
    for (const QString& line : lines)
        QVERIFY2(solved.match(line).hasMatch(), qPrintable(line));
    QVERIFY(f.env.errors.isEmpty());
}

void TestGame::pictureTaskBuild_data() {
    QTest::addColumn<bool>("help");
    QTest::newRow("with help") << true;
    QTest::newRow("without help") << false;
}

// The pictures come one by one, 0.2 s apart, each with WAV 105; the solution, options and
// help buttons are off meanwhile, and the answer box opens beside the question at the end.
void TestGame::pictureTaskBuild() {
    QFETCH(bool, help);
    Fixture f;
    useTypicalRecord(0);
    Hilfe = truth(help);
    LogFile = PlaySound = kTrue;
    f.random.pushInt(2, 9, 4);
    f.random.pushInt(0, 4, 4); // symbol 7
    f.board.number = u"7"_qs;  // what the last game left on the panel
    f.board.time = u"03:12"_qs;
    f.game.Start_Click();
    for (int shown = 1; shown <= 4; ++shown) {
        QCOMPARE(f.board.number + u' ' + f.board.time, u"0 00:00"_qs); // the new game's
        QCOMPARE(f.board.visibleSymbols(0), shown);
        QCOMPARE(f.board.symbols[0][shown - 1], 7);
        QCOMPARE(f.sounds().count(105), shown);
        QVERIFY(f.game.presenting());
        QVERIFY(f.board.questionVisible);
        QVERIFY(!f.board.answerVisible);
        QVERIFY(!f.board.enabled(kSolution));
        QVERIFY(!f.board.enabled(kOptions));
        QVERIFY(!f.board.enabled(kHelp));
        f.scheduler.advance(200);
    }
    QVERIFY(f.driver.awaitingAnswer());
    QVERIFY(f.board.answerBesideQuestion);
    QCOMPARE(f.board.enabled(kSolution), help);
    QVERIFY(f.board.enabled(kOptions));
    QVERIFY(f.board.enabled(kHelp));
    QVERIFY(!f.board.taskVisible);
    QCOMPARE(f.board.task, u"OOOO     "_qs); // for the practice log only
    QCOMPARE(f.sounds(), (QList{108, 105, 105, 105, 105}));
}

// Clearing the board hides the first nine pictures of each row and leaves the others alone.
void TestGame::clearingKeepsLaterSlots() {
    Fixture f;
    f.board.setAllSymbols(6);
    f.board.jaNein = {true, true};
    f.board.taskVisible = f.board.questionVisible = true;
    f.game.Unsichtbar();
    for (int row = 0; row < 2; ++row) {
        for (int slot = 0; slot < 25; ++slot)
            QCOMPARE(f.board.symbols[row][slot], slot <= 8 ? -1 : 6);
    }
    QCOMPARE(f.board.jaNein, (std::array<bool, 2>{false, false}));
    QVERIFY(!f.board.taskVisible);
    QVERIFY(!f.board.questionVisible);
}

// ---------------------------------------------------------------- answers

void TestGame::judging_data() {
    QTest::addColumn<int>("factor");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("right");
    QTest::newRow("empty box is 0, answer 0") << 0 << QString() << true;
    QTest::newRow("empty box is 0, answer 8") << 4 << QString() << false;
    QTest::newRow("0 typed, answer 0") << 0 << u"0"_qs << true;
    QTest::newRow("leading zeros") << 4 << u"008"_qs << true;
    QTest::newRow("a digit too many") << 4 << u"80"_qs << false;
    QTest::newRow("letters never reach the box") << 4 << u"8a"_qs << true;
}

void TestGame::judging() {
    QFETCH(int, factor);
    QFETCH(QString, typed);
    QFETCH(bool, right);
    Fixture f;
    useTypicalRecord(4);
    FaktorListe[0] = static_cast<std::int16_t>(factor);
    FaktorZahl = 1;
    NullFaktor = truth(factor == 0);
    f.random.pushInt(0, 0, 0);
    f.random.pushInt(2, 10, 2);
    f.game.Start_Click();
    QCOMPARE(int(f.game.Ergebnis), 2 * factor);
    f.driver.type(typed);
    f.driver.enter();
    QCOMPARE(f.board.jaNein[0], right);
    QCOMPARE(f.board.jaNein[1], !right);
    QCOMPARE(int(f.game.Geloest), right ? 1 : 0);
}

void TestGame::keyFilter_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("passed");
    QTest::newRow("0") << int('0') << int('0');
    QTest::newRow("5") << int('5') << int('5');
    QTest::newRow("9") << int('9') << int('9');
    QTest::newRow("Backspace") << 8 << 8;
    QTest::newRow("Enter") << 13 << 0;
    QTest::newRow("a") << int('a') << 0;
    QTest::newRow("Z") << int('Z') << 0;
    QTest::newRow("minus") << int('-') << 0;
    QTest::newRow("plus") << int('+') << 0;
    QTest::newRow("blank") << int(' ') << 0;
    QTest::newRow("slash, just below the digits") << int('/') << 0;
    QTest::newRow("colon, just above the digits") << int(':') << 0;
    QTest::newRow("Escape") << 27 << 0;
}

void TestGame::keyFilter() {
    QFETCH(int, code);
    QFETCH(int, passed);
    Fixture f;
    f.game.Start_Click();
    f.game.Form_KeyPress(code);
    QCOMPARE(code, passed);
}

void TestGame::typing() {
    Fixture f;
    f.game.Start_Click();
    f.driver.type(u"12a-3"_qs);
    QCOMPARE(f.board.answer, u"123"_qs);
    f.driver.key(8);
    QCOMPARE(f.board.answer, u"12"_qs);
    QVERIFY(f.driver.awaitingAnswer()); // nothing was judged
}

void TestGame::solutionHelp_data() {
    QTest::addColumn<int>("factor");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("answer 0") << 0 << u"09:26:53\t 4 • 0 = 0         mit Hilfestellung!"_qs;
    QTest::newRow("answer 28") << 7 << u"09:26:53\t 4 • 7 = 28        mit Hilfestellung!"_qs;
}

// The help fills in the answer, waits 0.2 s and judges it: right, praised, logged with text
// 131, not counted.
void TestGame::solutionHelp() {
    QFETCH(int, factor);
    QFETCH(QString, logLine);
    Fixture f;
    useTypicalRecord(4);
    FaktorListe[0] = static_cast<std::int16_t>(factor);
    FaktorZahl = 1;
    NullFaktor = truth(factor == 0);
    LogFile = kTrue;
    f.random.pushInt(0, 0, 0);
    f.random.pushInt(2, 10, 4);
    f.game.Start_Click();
    f.game.Loesung_Click();
    QCOMPARE(f.board.answer, QString::number(4 * factor));
    QVERIFY(f.game.HilfeBenutzt);
    f.scheduler.advance(199);
    QVERIFY(!f.board.jaNein[0]);
    f.scheduler.advance(1);
    QVERIFY(f.board.jaNein[0]);
    QVERIFY(!f.game.HilfeBenutzt);
    QCOMPARE(int(f.game.Geloest), 0);
    QCOMPARE(f.board.number, u"0"_qs);
    QCOMPARE(f.board.meterMoves, QList{600.0}); // only the start's
    QCOMPARE(f.logLines().last(), logLine);
    // The game goes on with the next task; the next right answer counts.
    play(f, QStringLiteral("r"));
    QCOMPARE(int(f.game.Geloest), 1);
}

void TestGame::busyMomentsIgnoreInput_data() {
    QTest::addColumn<int>("moment");
    QTest::addColumn<bool>("busy"); // every key is held back, digits too
    QTest::newRow("no game yet") << int(NoGameYet) << false;
    QTest::newRow("first picture task being put up") << int(PictureAnimation) << true;
    QTest::newRow("next picture task being put up") << int(PictureAnimationAfterSolved) << true;
    QTest::newRow("wrong-answer wait") << int(WrongAnswerWait) << true;
    QTest::newRow("right-answer wait") << int(RightAnswerWait) << true;
    QTest::newRow("figure moving") << int(MeterSequence) << true;
    QTest::newRow("solution help's wait") << int(SolutionHelpWait) << true;
    QTest::newRow("after the game end") << int(AfterGameEnd) << false;
}

// Enter and the solution button at a moment when no task waits for its answer change
// nothing: the game goes on exactly as an untouched twin of it does.
void TestGame::busyMomentsIgnoreInput() {
    QFETCH(int, moment);
    QFETCH(bool, busy);
    struct Outcome {
        QByteArray log;
        QList<int> sounds;
        QStringList events;
        int solved = 0;
        bool preview = false;
        QList<int> codes; // what the key filter left of Enter, 5, Backspace, Enter
    };
    const auto run = [&](bool poke) {
        Fixture f;
        playTo(f, Moment(moment));
        Outcome o;
        o.preview = f.board.preview;
        if (poke) {
            for (int code : {13, int('5'), 8, 13}) {
                f.game.Form_KeyPress(code);
                o.codes << code;
            }
            f.game.Loesung_Click();
            f.game.Loesung_Click();
        }
        f.scheduler.advance(3000);
        o.log = f.log();
        o.sounds = f.sounds();
        o.events = f.board.events;
        o.solved = f.game.Geloest;
        return o;
    };
    const Outcome twin = run(false);
    const Outcome poked = run(true);
    QCOMPARE(poked.codes, busy ? (QList{0, 0, 0, 0}) : (QList{0, int('5'), 8, 0}));
    if (moment == PictureAnimationAfterSolved)
        QVERIFY(poked.preview); // on, although the answer box is hidden
    QCOMPARE(poked.events, twin.events);
    QCOMPARE(poked.log, twin.log);
    QCOMPARE(poked.sounds, twin.sounds);
    QCOMPARE(poked.solved, twin.solved);
}

void TestGame::newGameAbandonsTheOld_data() {
    QTest::addColumn<int>("moment");
    QTest::newRow("picture animation") << int(PictureAnimation);
    QTest::newRow("wrong-answer wait") << int(WrongAnswerWait);
    QTest::newRow("right-answer wait") << int(RightAnswerWait);
    QTest::newRow("meter sequence") << int(MeterSequence);
    QTest::newRow("special meter sequence") << int(SpecialMeterSequence);
    QTest::newRow("time-mode meter step") << int(TimeModeMeter);
    QTest::newRow("solution help's wait") << int(SolutionHelpWait);
    QTest::newRow("game end's wait") << int(GameEndWait);
}

// A new game (another player chosen in the list) started while the old one waits: the new
// game's board, counters and log get nothing of the old one, now or later.
void TestGame::newGameAbandonsTheOld() {
    QFETCH(int, moment);
    Fixture f;
    playTo(f, Moment(moment));
    const qsizetype soundsBefore = f.env.sound.played.size();

    useTypicalRecord(2);
    LogFile = PlaySound = kTrue;
    f.env.clock.wall = at(15, 0, 0);
    f.game.Start_Click();
    const QString task = f.board.task;
    const std::int16_t expected = f.game.Ergebnis;
    f.board.clearHistory();
    f.scheduler.advance(5000);

    // Only the new game's clock ticked meanwhile.
    QCOMPARE(f.board.events, (QStringList{u"time 00:01"_qs, u"time 00:02"_qs, u"time 00:03"_qs,
                                          u"time 00:04"_qs, u"time 00:05"_qs}));
    QCOMPARE(f.scheduler.pending(), std::size_t(1));
    QCOMPARE(f.sounds().mid(soundsBefore), QList{108});
    QVERIFY(f.log().endsWith("\r\n07.12.2026 15:00:00         Anna\r\n\r\n"));

    QVERIFY(f.driver.awaitingAnswer());
    QCOMPARE(f.board.task, task);
    QCOMPARE(f.game.Ergebnis, expected);
    QCOMPARE(int(f.game.Geloest), 0);
    QVERIFY(!f.game.HilfeBenutzt);
    QCOMPARE(f.board.number, u"0"_qs);
    QCOMPARE(f.board.jaNein, (std::array<bool, 2>{false, false}));
    QCOMPARE(f.board.visibleSymbols(0) + f.board.visibleSymbols(1), 0);
    QVERIFY(f.board.frameVisible);
    QVERIFY(!f.board.enabled(kStart));
    QCOMPARE(f.board.meter, 600.0);
    QCOMPARE(f.board.meterIcon, 101); // the resting figure
    QVERIFY(f.board.enabled(kSolution));
    const bool toolsEnabled = f.board.enabled(kOptions) && f.board.enabled(kHelp);
    QVERIFY(toolsEnabled);

    // The new game counts from its own first answer.
    f.answerRight();
    f.scheduler.advance(500);
    QCOMPARE(int(f.game.Geloest), 1);
    QCOMPARE(f.board.number, u"1"_qs);
    QCOMPARE(f.logLines().last(), u"15:00:00\t"_qs + task + QString::number(expected));
    QVERIFY(f.env.errors.isEmpty());
}

// ---------------------------------------------------------------- progress meter

void TestGame::meterCountMode_data() {
    QTest::addColumn<int>("barLeft");
    QTest::addColumn<int>("barWidth");
    QTest::addColumn<QList<int>>("targets"); // after each solved task of ten
    QTest::newRow("bar from 600, 6000 wide")
        << 600 << 6000 << QList{1116, 1632, 2148, 2664, 3180, 3696, 4212, 4728, 5244, 5760};
    QTest::newRow("halves round to even")
        << 0 << 150 << QList{13, 26, 39, 52, 64, 77, 90, 103, 116, 129};
}

// In count mode every solved task moves the figure in three steps; every fifth gets the
// special steps and a cheer. After the last task it stands at 86 % of the bar.
void TestGame::meterCountMode() {
    QFETCH(int, barLeft);
    QFETCH(int, barWidth);
    QFETCH(QList<int>, targets);
    Fixture f;
    PlaySound = kTrue;
    f.board.left = barLeft;
    f.board.width = barWidth;
    f.game.Start_Click();
    double x = barLeft;
    for (int solved = 1; solved <= 10; ++solved) {
        QVERIFY(f.driver.awaitAnswerBox());
        f.board.clearHistory();
        const qsizetype soundsBefore = f.env.sound.played.size();
        f.answerRight();
        f.scheduler.advance(400);
        const bool special = solved % 5 == 0;
        const double d = targets[solved - 1] - x;
        QCOMPARE(f.board.meterPictures.mid(0, 3),
                 special ? (QList{104, 105, 101}) : (QList{102, 103, 101}));
        QCOMPARE(f.board.meterMoves.mid(0, 3), (QList{x + d / 3, x + 2 * d / 3, x + d}));
        const QList<int> played = f.sounds().mid(soundsBefore);
        QCOMPARE(played.size(), special ? 2 : 1);
        if (special)
            QVERIFY2(played[1] >= 101 && played[1] <= 103, qPrintable(QString::number(played[1])));
        x = targets[solved - 1];
    }
    // Then the figure walks on to the pencil's tip and cheers, and the round ends.
    f.board.clearHistory();
    const qsizetype soundsBefore = f.env.sound.played.size();
    f.scheduler.advance(500);
    QVERIFY(!f.game.running());
    QCOMPARE(f.board.meterPictures, (QList{105, 101}));
    QCOMPARE(f.board.meter, std::nearbyint(barLeft + 0.93 * barWidth));
    const QList<int> played = f.sounds().mid(soundsBefore);
    QCOMPARE(played.size(), 2);
    QVERIFY(played[0] >= 101 && played[0] <= 103);
    QCOMPARE(played[1], 107);
}

void TestGame::meterStaysStill_data() {
    QTest::addColumn<bool>("animation");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("script");
    QTest::newRow("count mode, animation off") << false << 0 << u"r r w r h r"_qs;
    QTest::newRow("time mode, animation off") << false << 60 << u"+20 r +20 r +15 r"_qs;
    QTest::newRow("count mode, help answers") << true << 0 << u"h h h"_qs;
}

void TestGame::meterStaysStill() {
    QFETCH(bool, animation);
    QFETCH(int, seconds);
    QFETCH(QString, script);
    Fixture f;
    Animation = truth(animation);
    Zeit = static_cast<std::int16_t>(seconds);
    AufgZahl = seconds ? 0 : 10;
    f.game.Start_Click();
    play(f, script, false);
    f.scheduler.advance(2000);
    QCOMPARE(f.board.meterMoves, QList{600.0}); // only the start's
    QVERIFY(f.board.meterPictures.isEmpty());
}

// With sounds off nothing is played, but pictures, figure and waits are the same.
void TestGame::soundsOff() {
    Fixture f;
    useTypicalRecord(0);
    AufgZahl = 5;
    f.game.Start_Click();
    play(f, QStringLiteral("r w h r r r r"));
    QVERIFY(f.scheduler.runAll());
    QVERIFY(!f.game.running());
    QVERIFY(f.board.meterPictures.contains(104)); // the fifth task's special steps
    QVERIFY(f.env.sound.played.isEmpty());
}

// In time mode the figure follows the clock, in steps of more than a thirtieth of the bar,
// until its target reaches 98 % of the bar's width. Before the first solved task each step is
// the special one with its cheer.
void TestGame::meterTimeMode() {
    Fixture f;
    Zeit = 60;
    AufgZahl = 0;
    PlaySound = kTrue;
    f.game.Start_Click();
    f.scheduler.advance(2999);
    QVERIFY(f.board.meterPictures.isEmpty());
    f.scheduler.advance(9401 - 2999);
    // Targets 600 + 97 per second: a step at 3, 6 and 9 s.
    QCOMPARE(f.board.meterPictures, (QList{104, 105, 101, 104, 105, 101, 104, 105, 101}));
    QCOMPARE(f.board.meterMoves,
             (QList{600.0, 697.0, 794.0, 891.0, 988.0, 1085.0, 1182.0, 1279.0, 1376.0, 1473.0}));
    const QList<int> played = f.sounds();
    QCOMPARE(played.size(), 4);
    for (int cheer : played.mid(1))
        QVERIFY(cheer >= 101 && cheer <= 103);

    f.answerRight(); // one solved: normal steps from now on
    f.board.clearHistory();
    f.scheduler.advance(70'000);
    // Steps at 12, 15, ... 54 s, and a quiet last walk to the tip when the time is up.
    QCOMPARE(f.board.meterPictures.size(), 15 * 3 + 3);
    QCOMPARE(f.board.meterPictures.mid(45), (QList{102, 103, 101}));
    QCOMPARE(f.board.meterPictures.mid(0, 3), (QList{102, 103, 101}));
    QCOMPARE(f.board.meterMoves[f.board.meterMoves.size() - 4],
             5838.0);                // 600 + 97 * 54; at 57 s the target passes 5880
    QCOMPARE(f.board.meter, 6180.0); // 600 + 0.93 * 6000
}

// ---------------------------------------------------------------- practice log

void TestGame::printZones_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("blanks");
    QTest::newRow("empty line") << 0 << 14;
    QTest::newRow("one short of a zone") << 13 << 1;
    QTest::newRow("a whole zone") << 14 << 14;
    QTest::newRow("into the second zone") << 15 << 13;
    QTest::newRow("date and time") << 19 << 9;
    QTest::newRow("two whole zones") << 28 << 14;
    QTest::newRow("long line") << 100 << 12;
}

void TestGame::printZones() {
    QFETCH(int, length);
    QFETCH(int, blanks);
    const QString line(length, u'x');
    QCOMPARE(kalmix::zoneAdvanced(line, u"N"_qs), line + QString(blanks, u' ') + u'N');
}

void TestGame::logHeader_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("header");
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany)
                            << u"07.12.2026 15:11:14         Spieler1"_qs;
    QTest::newRow("British") << QLocale(QLocale::English, QLocale::UnitedKingdom)
                             << u"07/12/2026 15:11:14         Spieler1"_qs;
    QTest::newRow("Swedish") << QLocale(QLocale::Swedish, QLocale::Sweden)
                             << u"2026-12-07 15:11:14         Spieler1"_qs;
    // Their long time format puts the zone in brackets: "H:mm:ss (t)".
    QTest::newRow("Spanish") << QLocale(QLocale::Spanish, QLocale::Spain)
                             << u"7/12/2026 15:11:14          Spieler1"_qs;
    QTest::newRow("Catalan") << QLocale(QLocale::Catalan, QLocale::Spain)
                             << u"7/12/2026 15:11:14          Spieler1"_qs;
    QTest::newRow("Chinese, zone first")
        << QLocale(QLocale::Chinese, QLocale::China) << u"2026/12/7 15:11:14          Spieler1"_qs;
}

// Date in the short format with four-digit year, time with seconds and without a zone.
void TestGame::logHeader() {
    QFETCH(QLocale, locale);
    QFETCH(QString, header);
    setSystemLocaleForTesting([locale] { return locale; });
    QCOMPARE(logHeaderLine(at(15, 11, 14), u"Spieler1"_qs), header);
}

// The exact bytes of a game: header, solved, wrong and helped lines, UTF-8 with CR LF.
void TestGame::practiceLogBytes() {
    Fixture f;
    useTypicalRecord(6);
    LogFile = kTrue;
    AufgZahl = 3;
    aktiv = u"Jürgen"_qs;
    const auto nextTask = [&](int kind, int first, int sum) {
        f.random.pushInt(0, 1, kind);
        f.random.pushInt(1, 8, first);
        f.random.pushInt(2, 10, sum);
    };
    const auto answerAt = [&](QDateTime when, const QString& typed) {
        QVERIFY(f.driver.awaitAnswerBox());
        f.env.clock.wall = when;
        f.driver.type(typed);
        f.driver.enter();
    };
    f.env.clock.wall = at(15, 11, 14);
    nextTask(0, 4, 7);
    f.game.Start_Click();
    QCOMPARE(f.board.task, u" 4 + 3 = "_qs);
    nextTask(1, 3, 8);
    answerAt(at(15, 11, 20), u"7"_qs);
    answerAt(at(15, 11, 31), u"2"_qs);
    QCOMPARE(f.board.task, u" 8 - 5 = "_qs);
    nextTask(0, 5, 5);
    answerAt(at(15, 11, 35), u"3"_qs);
    QVERIFY(f.driver.awaitAnswerBox());
    QCOMPARE(f.board.task, u" 5 + 1 = "_qs);
    f.env.clock.wall = at(15, 11, 44);
    nextTask(0, 2, 9);
    f.game.Loesung_Click();
    answerAt(at(15, 11, 50), u"9"_qs);
    QVERIFY(f.scheduler.runAll());
    QVERIFY(!f.game.running());

    const QByteArray expected = u"\r\n"
                                "07.12.2026 15:11:14         Jürgen\r\n"
                                "\r\n"
                                "15:11:20\t 4 + 3 = 7\r\n"
                                "15:11:31\t 8 - 5 = 2         Falsch!\r\n"
                                "15:11:35\t 8 - 5 = 3\r\n"
                                "15:11:44\t 5 + 1 = 6         mit Hilfestellung!\r\n"
                                "15:11:50\t 2 + 7 = 9\r\n"_qs.toUtf8();
    QCOMPARE(f.log(), expected);
}

void TestGame::practiceLogOff_data() {
    QTest::addColumn<bool>("earlierLog");
    QTest::newRow("no log yet") << false;
    QTest::newRow("log of an earlier game") << true;
}

// With the log off the file is neither created nor changed.
void TestGame::practiceLogOff() {
    QFETCH(bool, earlierLog);
    Fixture f;
    if (earlierLog) {
        LogFile = kTrue;
        f.game.Start_Click();
        play(f, QStringLiteral("r"));
        LogFile = kFalse;
    }
    const QByteArray before = f.log();
    f.game.Start_Click();
    play(f, QStringLiteral("r w r h"));
    f.scheduler.advance(2000);
    QCOMPARE(QFile::exists(f.env.path(kLogName)), earlierLog);
    QCOMPARE(f.log(), before);
}

// The settings wizard closes the log in the middle of a game; the next line opens it again.
void TestGame::closedLogIsReopened() {
    Fixture f;
    LogFile = kTrue;
    f.game.Start_Click();
    const QString task = f.board.task;
    const QString answer = QString::number(f.rightAnswer());
    LogNr().close();
    play(f, QStringLiteral("r +1"));
    QVERIFY(LogNr().isOpen());
    QCOMPARE(f.logLines(), (QStringList{QString(), u"14.03.2026 09:26:53         Anna"_qs,
                                        QString(), u"09:26:53\t"_qs + task + answer}));
    QVERIFY(f.env.errors.isEmpty());
}

void TestGame::twoGamesTwoHeaders() {
    Fixture f;
    LogFile = kTrue;
    f.env.clock.wall = at(10, 0, 0);
    f.game.Start_Click();
    const QString first = f.board.task + QString::number(f.rightAnswer());
    play(f, QStringLiteral("r +2"));
    f.env.clock.wall = at(10, 5, 0);
    f.game.Start_Click();
    const QString second = f.board.task + QString::number(f.rightAnswer());
    play(f, QStringLiteral("r +1"));
    QCOMPARE(f.logLines(), (QStringList{QString(), u"07.12.2026 10:00:00         Anna"_qs,
                                        QString(), u"10:00:00\t"_qs + first, QString(),
                                        u"07.12.2026 10:05:00         Anna"_qs, QString(),
                                        u"10:05:00\t"_qs + second}));
}

// ---------------------------------------------------------------- end of a round

void TestGame::roundFigures_data() {
    QTest::addColumn<int>("tasks");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QList<int>>("figures"); // solved, wrong, helped, stars
    QTest::newRow("clean") << 5 << u"r r r r r"_qs << QList<int>{5, 0, 0, 3};
    QTest::newRow("one wrong is always allowed") << 2 << u"w r r"_qs << QList<int>{2, 1, 0, 2};
    QTest::newRow("one help is always allowed") << 2 << u"h r r"_qs << QList<int>{2, 0, 1, 2};
    QTest::newRow("a fifth of ten")
        << 10 << u"w r r r r r h r r r r r"_qs << QList<int>{10, 1, 1, 2};
    QTest::newRow("more than a fifth") << 5 << u"w r r h r r w r"_qs << QList<int>{5, 2, 1, 1};
}

// The round counts its wrong and helped answers; the summary comes once, at the end, and the
// practice log gets no line of it.
void TestGame::roundFigures() {
    QFETCH(int, tasks);
    QFETCH(QString, script);
    QFETCH(QList<int>, figures);
    Fixture f;
    AufgZahl = static_cast<std::int16_t>(tasks);
    Hilfe = kTrue;
    LogFile = kTrue;
    QList<RoundSummary> ended;
    f.game.roundEnded = [&](const RoundSummary& s) { ended.append(s); };
    f.game.Start_Click();
    f.scheduler.advance(7000);
    play(f, script, false);
    f.scheduler.runAll();
    QVERIFY(!f.game.running());
    QCOMPARE(ended.size(), 1);
    const RoundSummary& s = ended[0];
    QCOMPARE((QList<int>{s.solved, s.wrong, s.helped, roundStars(s)}), figures);
    QVERIFY(!s.timeUp);
    QVERIFY(s.seconds >= 7 && s.seconds < 7 + 3 * script.size());
    QCOMPARE(f.logLines().size(), 3 + s.solved + s.wrong + s.helped); // header and answers
    // The next round counts afresh.
    f.game.Start_Click();
    QCOMPARE(f.game.summary().wrong + f.game.summary().helped, 0);
}

void TestGame::timeUpEndsTheRoundAtOnce_data() {
    QTest::addColumn<QString>("action"); // done just before the limit
    QTest::addColumn<int>("atMs");
    QTest::addColumn<QList<int>>("figures"); // solved, helped
    QTest::newRow("answer typed, not entered") << u"type"_qs << 29'500 << QList<int>{1, 0};
    QTest::newRow("right answer judged before") << u"right"_qs << 29'500 << QList<int>{2, 0};
    QTest::newRow("light bulb's answer pending") << u"help"_qs << 29'900 << QList<int>{1, 0};
}

// At the limit the answer box closes with the end sound, whatever it holds is not judged, and
// the summary says the time is up.
void TestGame::timeUpEndsTheRoundAtOnce() {
    QFETCH(QString, action);
    QFETCH(int, atMs);
    QFETCH(QList<int>, figures);
    Fixture f;
    Zeit = 30;
    AufgZahl = 0;
    Hilfe = PlaySound = LogFile = kTrue;
    Animation = kFalse;
    QList<RoundSummary> ended;
    f.game.roundEnded = [&](const RoundSummary& s) { ended.append(s); };
    f.game.Start_Click();
    QCOMPARE(f.board.time, u"00:30"_qs); // the clock counts down
    play(f, u"r"_qs);
    f.scheduler.advance(28'000 - f.env.clock.mono);
    QCOMPARE(f.board.time, u"00:02"_qs);
    f.scheduler.advance(atMs - f.env.clock.mono);
    QVERIFY(f.driver.awaitingAnswer());
    if (action == u"type")
        f.driver.type(u"7"_qs);
    else if (action == u"right")
        f.answerRight();
    else
        f.game.Loesung_Click();
    const int logged = f.logLines().size();
    f.env.sound.played.clear();
    f.scheduler.advance(30'000 - f.env.clock.mono);
    QVERIFY(!f.game.running());
    QVERIFY(!f.board.answerVisible);
    QVERIFY(!f.board.preview);
    QVERIFY(f.board.enabled(kStart));
    QVERIFY(!f.board.enabled(kSolution));
    QCOMPARE(f.sounds(), QList<int>{107});
    QCOMPARE(f.board.time, u"00:00"_qs);
    QCOMPARE(ended.size(), 1);
    QVERIFY(ended[0].timeUp);
    QCOMPARE(ended[0].seconds, 30);
    QCOMPARE((QList<int>{ended[0].solved, ended[0].helped}), figures);
    f.scheduler.runAll();
    f.driver.enter();
    QCOMPARE(f.logLines().size(), logged); // nothing judged after the limit
    QCOMPARE(ended.size(), 1);
}

QTEST_GUILESS_MAIN(TestGame)
#include "tst_game.moc"

namespace {
// Writes each moment it hears as a short line.
struct Recorder final : GameEvents {
    QStringList heard;
    void roundStarted(const QString& player, int kind, const QDateTime&) override {
        heard << u"start %1 %2"_qs.arg(player).arg(kind);
    }
    void taskShown(const TaskFacts& t, bool again) override {
        heard << u"%1%2 %3%4%5=%6"_qs.arg(again ? u"again"_qs : u"task"_qs, u""_qs)
                     .arg(t.a)
                     .arg(t.operation)
                     .arg(t.b ? QString::number(*t.b) : QString())
                     .arg(t.expected);
    }
    void answerJudged(const TaskFacts& t, std::optional<int> answer, Outcome o, double seconds,
                      const QDateTime&) override {
        const char* word = o == Outcome::Right ? "right" : o == Outcome::Wrong ? "wrong" : "help";
        heard << u"%1 %2 %3 %4s"_qs.arg(QString::fromLatin1(word))
                     .arg(answer ? *answer : -1)
                     .arg(t.expected)
                     .arg(seconds);
    }
    void roundEnded(const RoundSummary& s, bool finished, const QDateTime&) override {
        heard << u"end %1 %2/%3/%4"_qs.arg(finished ? u"finished"_qs : u"abandoned"_qs)
                     .arg(s.solved)
                     .arg(s.wrong)
                     .arg(s.helped);
    }
};
} // namespace

// The listeners hear each task as it waits (again after a wrong answer), each judged answer
// with its outcome and the seconds since the task was shown, and each round's end once:
// finished, or abandoned by a new start.
void TestGame::listenersHearEveryMoment() {
    Fixture f;
    AufgZahl = 2;
    Hilfe = kTrue;
    Recorder rec;
    f.game.events.add(&rec);
    f.game.Start_Click();
    QVERIFY(f.driver.awaitAnswerBox());
    const long long expected = f.rightAnswer();
    f.scheduler.advance(3000);
    f.answerWrong();
    play(f, u"r h r"_qs, false);
    f.scheduler.runAll();
    f.game.Start_Click();
    QVERIFY(f.driver.awaitAnswerBox());
    f.game.Start_Click(); // abandons the second round
    f.game.events.remove(&rec);
    f.game.endOfProgram();
    const QStringList& h = rec.heard;
    QCOMPARE(h.size(), 15);
    QCOMPARE(h[0], u"start %1 2"_qs.arg(aktiv));
    QVERIFY2(h[1].startsWith(u"task ") && h[1].endsWith(u"=%1"_qs.arg(expected)), qPrintable(h[1]));
    QVERIFY2(h[1].contains(u'+'), qPrintable(h[1]));
    QCOMPARE(h[2], u"wrong %1 %2 3s"_qs.arg(expected + 1).arg(expected));
    QVERIFY(h[3].startsWith(u"again "));
    QVERIFY(h[4].startsWith(u"right %1 %1 0s"_qs.arg(expected)));
    QVERIFY(h[6].startsWith(u"help ") && h[6].endsWith(u" 0.2s"));
    QVERIFY(h[8].startsWith(u"right "));
    QCOMPARE(h[9], u"end finished 2/1/1"_qs);
    QCOMPARE(h[10], u"start %1 2"_qs.arg(aktiv));
    QCOMPARE(h[12], u"end abandoned 0/0/0"_qs);
    QCOMPARE(h[13], u"start %1 2"_qs.arg(aktiv)); // the program's end told nobody
}
