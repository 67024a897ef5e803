// The Qt code generator cannot read the coroutine headers, and needs nothing from them.
#ifndef Q_MOC_RUN
#include "engine/game.h"
#endif
#include "engine/random.h"
#include "profiles/record.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "services/sound.h"
#include "support/fakes.h"
#include "support/testenv.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <map>
#include <set>

using namespace kalmix;
using namespace kalmix::test;

namespace {

// Everything a game needs, with a virtual clock and a seeded random source.
struct Fixture {
    TestEnv env;
    FakeScheduler scheduler{&env.clock};
    ScriptedRandom random;
    FakeBoard board;
    Game game{board};
    GameDriver driver{game, board, scheduler};
};

const QRegularExpression kAddition(QStringLiteral("^ (\\d+) \\+ (\\d+) = $"));
const QRegularExpression kSubtraction(QStringLiteral("^ (\\d+) - (\\d+) = $"));
const QRegularExpression kProduct(QStringLiteral("^ (\\d+) • (\\d+) = $"));
const QRegularExpression kQuotient(QStringLiteral("^(\\d+) : (\\d+) = $"));

// The arithmetic kind a task text belongs to: 2 addition, 3 subtraction, 4 multiplication,
// 5 division, -1 none.
int kindOf(const QString& task) {
    if (kAddition.match(task).hasMatch())
        return 2;
    if (kSubtraction.match(task).hasMatch())
        return 3;
    if (kProduct.match(task).hasMatch())
        return 4;
    if (kQuotient.match(task).hasMatch())
        return 5;
    return -1;
}

} // namespace

class TestGenerators : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init() { useTypicalRecord(2); }

    void zufallszahl_data();
    void zufallszahl();
    void zufallszahlCoversItsRange_data();
    void zufallszahlCoversItsRange();

    void sumTasks_data();
    void sumTasks();
    void scriptedSums_data();
    void scriptedSums();
    void oneNumberRangeEnds_data();
    void oneNumberRangeEnds();

    void scriptedFactorTasks_data();
    void scriptedFactorTasks();
    void factorTasks_data();
    void factorTasks();

    void mixedKinds_data();
    void mixedKinds();

    void praiseSound_data();
    void praiseSound();
    void praiseProportions();

    void countingNeverRepeats();
    void countingAvoidsThePreviousResult();
    void singleSymbol_data();
    void singleSymbol();
    void scriptedSymbolAddition_data();
    void scriptedSymbolAddition();
};

void TestGenerators::initTestCase() {
    initResources();
    WriteLanguageCopy();
}

// ---------------------------------------------------------------- Zufallszahl

void TestGenerators::zufallszahl_data() {
    QTest::addColumn<int>("von");
    QTest::addColumn<int>("bis");
    QTest::addColumn<double>("r");
    QTest::addColumn<int>("expected");
    QTest::newRow("one-number range, low r") << 5 << 5 << 0.0 << 5;
    QTest::newRow("one-number range, high r") << 5 << 5 << 0.999999 << 5;
    QTest::newRow("empty range gives von") << 0 << -1 << 0.7 << 0;
    QTest::newRow("r 0 gives von") << 1 << 6 << 0.0 << 1;
    QTest::newRow("r just below 1 gives bis") << 1 << 6 << 0.999999 << 6;
    QTest::newRow("two numbers, upper half") << 0 << 1 << 0.5 << 1;
    QTest::newRow("two numbers, lower half") << 0 << 1 << 0.499999 << 0;
    QTest::newRow("negative von") << -3 << 3 << 0.0 << -3;
    QTest::newRow("largest product range") << 101 << 500 << 0.999999 << 500;
}

void TestGenerators::zufallszahl() {
    QFETCH(int, von);
    QFETCH(int, bis);
    QFETCH(double, r);
    QFETCH(int, expected);
    TestEnv env;
    ScriptedRandom random;
    random.push(r);
    QCOMPARE(int(Zufallszahl(von, bis)), expected);
    QCOMPARE(random.draws, 1);
    QCOMPARE(random.reseeds, 1); // the generator is stirred before every draw
    QVERIFY(env.errors.isEmpty());
}

void TestGenerators::zufallszahlCoversItsRange_data() {
    QTest::addColumn<int>("von");
    QTest::addColumn<int>("bis");
    QTest::newRow("dice") << 1 << 6;
    QTest::newRow("coin") << 0 << 1;
    QTest::newRow("counting") << 2 << 9;
    QTest::newRow("cheers") << 101 << 103;
    QTest::newRow("four kinds") << 0 << 3;
}

void TestGenerators::zufallszahlCoversItsRange() {
    QFETCH(int, von);
    QFETCH(int, bis);
    TestEnv env;
    ScriptedRandom random;
    const int n = bis - von + 1;
    const int draws = 600 * n;
    std::map<int, int> counts;
    for (int i = 0; i < draws; ++i)
        ++counts[Zufallszahl(von, bis)];
    QCOMPARE(int(counts.size()), n); // every number, and nothing outside
    QCOMPARE(counts.begin()->first, von);
    QCOMPARE(counts.rbegin()->first, bis);
    for (const auto& [value, count] : counts) {
        QVERIFY2(
            count > 480 && count < 720,
            qPrintable(QStringLiteral("%1 drawn %2 times of %3").arg(value).arg(count).arg(draws)));
    }
}

// ---------------------------------------------------------------- addition and subtraction

void TestGenerators::sumTasks_data() {
    QTest::addColumn<int>("maxSum");
    QTest::addColumn<int>("minSum");
    QTest::addColumn<bool>("withZero");
    const int bounds[][2] = {{6, 2},   {9, 2},    {10, 2},    {19, 11},  {20, 11},
                             {50, 21}, {100, 31}, {200, 101}, {500, 101}};
    for (const auto& b : bounds) {
        for (bool zero : {false, true}) {
            QTest::addRow("range %d, %s", b[0], zero ? "with 0" : "without 0")
                << b[0] << b[1] << zero;
        }
    }
}

// Many tasks of both kinds: the numbers stay in their ranges and the texts keep their form.
void TestGenerators::sumTasks() {
    QFETCH(int, maxSum);
    QFETCH(int, minSum);
    QFETCH(bool, withZero);
    Fixture f;
    MaxSum = static_cast<std::int16_t>(maxSum);
    MinSum = static_cast<std::int16_t>(minSum);
    Null = truth(withZero);
    const int lowestFirst = withZero ? 0 : 1;

    for (bool subtraction : {false, true}) {
        bool sawZero = false;
        int largestSum = 0;
        for (int i = 0; i < 1500; ++i) {
            // The draw avoids the previous answer: the sum of an addition, the difference of
            // a subtraction.
            const int previous = f.game.Ergebnis;
            subtraction ? f.game.Subtraktion() : f.game.Addition();
            const auto m = (subtraction ? kSubtraction : kAddition).match(f.board.task);
            QVERIFY2(m.hasMatch(), qPrintable(f.board.task));
            const int x = m.captured(1).toInt();
            const int y = m.captured(2).toInt();
            // The task as the child reads it: first + second = sum, or sum - second = first.
            const int sum = subtraction ? x : x + y;
            const int first = subtraction ? x - y : x;
            const int second = y;
            QCOMPARE(int(f.game.Ergebnis), subtraction ? first : sum);
            QCOMPARE(f.board.task, subtraction
                                       ? QStringLiteral(" %1 - %2 = ").arg(sum).arg(second)
                                       : QStringLiteral(" %1 + %2 = ").arg(first).arg(second));
            QVERIFY2(second >= 1, qPrintable(f.board.task));
            QVERIFY2(first >= lowestFirst && first <= maxSum - minSum, qPrintable(f.board.task));
            QVERIFY2(sum <= maxSum, qPrintable(f.board.task));
            // A sum above every possible first addend (and its successor) was drawn as such
            // and not taken from a swap, so it is never the previous answer.
            if (sum > maxSum - minSum + 1)
                QVERIFY2(sum != previous, qPrintable(f.board.task));
            sawZero = sawZero || first == 0;
            largestSum = std::max(largestSum, sum);
            QVERIFY(f.board.taskVisible);
            QVERIFY(f.board.answerVisible);
        }
        QCOMPARE(sawZero, withZero);
        QCOMPARE(largestSum, maxSum);
    }
    QVERIFY(f.env.errors.isEmpty());
}

void TestGenerators::scriptedSums_data() {
    QTest::addColumn<bool>("subtraction");
    QTest::addColumn<int>("maxSum");
    QTest::addColumn<int>("minSum");
    QTest::addColumn<bool>("withZero");
    QTest::addColumn<int>("previous");
    QTest::addColumn<QList<int>>("drawn"); // first addend, then the sums drawn
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("answer");

    QTest::newRow("sum 3 below first addend 7")
        << false << 10 << 2 << false << 0 << QList{7, 3} << u" 4 + 3 = "_qs << 7;
    QTest::newRow("sum 3 below first addend 7, subtraction")
        << true << 10 << 2 << false << 0 << QList{7, 3} << u" 7 - 3 = "_qs << 4;
    QTest::newRow("sum equal to first addend 5")
        << false << 10 << 2 << false << 0 << QList{5, 5} << u" 5 + 1 = "_qs << 6;
    QTest::newRow("sum equal to first addend 5, subtraction")
        << true << 10 << 2 << false << 0 << QList{5, 5} << u" 6 - 1 = "_qs << 5;
    QTest::newRow("sum above first addend")
        << false << 10 << 2 << false << 0 << QList{4, 7} << u" 4 + 3 = "_qs << 7;
    QTest::newRow("previous sum drawn again")
        << false << 10 << 2 << false << 7 << QList{4, 7, 7, 9} << u" 4 + 5 = "_qs << 9;
    QTest::newRow("a swap may repeat the previous sum")
        << false << 10 << 2 << false << 7 << QList{7, 3} << u" 4 + 3 = "_qs << 7;
    QTest::newRow("first addend 0")
        << false << 10 << 2 << true << 0 << QList{0, 6} << u" 0 + 6 = "_qs << 6;
    QTest::newRow("first addend 0, subtraction to 0")
        << true << 10 << 2 << true << 0 << QList{0, 6} << u" 6 - 6 = "_qs << 0;
    QTest::newRow("largest range, largest numbers")
        << false << 500 << 101 << false << 0 << QList{399, 500} << u" 399 + 101 = "_qs << 500;
    QTest::newRow("largest range, subtraction")
        << true << 500 << 101 << false << 0 << QList{250, 480} << u" 480 - 230 = "_qs << 250;
}

// The documented cases with the random numbers laid down in advance.
void TestGenerators::scriptedSums() {
    QFETCH(bool, subtraction);
    QFETCH(int, maxSum);
    QFETCH(int, minSum);
    QFETCH(bool, withZero);
    QFETCH(int, previous);
    QFETCH(QList<int>, drawn);
    QFETCH(QString, text);
    QFETCH(int, answer);
    Fixture f;
    MaxSum = static_cast<std::int16_t>(maxSum);
    MinSum = static_cast<std::int16_t>(minSum);
    Null = truth(withZero);
    f.game.Ergebnis = static_cast<std::int16_t>(previous);
    f.random.pushInt(withZero ? 0 : 1, maxSum - minSum, drawn.first());
    for (int sum : drawn.mid(1))
        f.random.pushInt(minSum, maxSum, sum);

    subtraction ? f.game.Subtraktion() : f.game.Addition();
    QCOMPARE(f.board.task, text);
    QCOMPARE(int(f.game.Ergebnis), answer);
    QCOMPARE(f.random.draws, long(drawn.size())); // no more and no fewer draws
    QVERIFY(f.env.errors.isEmpty());
}

void TestGenerators::oneNumberRangeEnds_data() {
    QTest::addColumn<bool>("withZero");
    QTest::addColumn<QString>("text");
    QTest::newRow("without 0") << false << u" 1 + 4 = "_qs;
    QTest::newRow("with 0") << true << u" 0 + 5 = "_qs;
}

// A range of one number cannot avoid the previous sum; the draw must still end.
void TestGenerators::oneNumberRangeEnds() {
    QFETCH(bool, withZero);
    QFETCH(QString, text);
    Fixture f;
    MaxSum = MinSum = 5;
    Null = truth(withZero);
    f.game.Ergebnis = 5;
    f.random.drawLimit = 100;
    f.game.Addition();
    QCOMPARE(f.board.task, text);
    QCOMPARE(int(f.game.Ergebnis), 5);
    QVERIFY(f.env.errors.isEmpty());
}

// ---------------------------------------------------------------- multiplication and division

void TestGenerators::scriptedFactorTasks_data() {
    QTest::addColumn<bool>("division");
    QTest::addColumn<QList<int>>("factors");
    QTest::addColumn<int>("previous");
    QTest::addColumn<QList<int>>("drawn"); // the list position, then multipliers or quotients
    QTest::addColumn<QString>("signs");    // multiplication and division sign with their blanks
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("maxMultiplier");
    const QString usual = u" • :"_qs;

    QTest::newRow("factor 0, multiplication")
        << false << QList{0} << 0 << QList{0, 4} << usual << u" 4 • 0 = "_qs << 0 << 10;
    QTest::newRow("factor 0, division")
        << true << QList{0} << 0 << QList{0, 4} << usual << u"0 : 4 = "_qs << 0 << 10;
    QTest::newRow("factor 12, multiplier 17")
        << false << QList{12} << 0 << QList{0, 17} << usual << u" 17 • 12 = "_qs << 204 << 20;
    QTest::newRow("factor 12, quotient 17")
        << true << QList{12} << 0 << QList{0, 17} << usual << u"204 : 12 = "_qs << 17 << 20;
    QTest::newRow("factor 10 keeps multipliers to 10")
        << false << QList{10} << 0 << QList{0, 10} << usual << u" 10 • 10 = "_qs << 100 << 10;
    QTest::newRow("factor 11 takes multipliers to 20")
        << false << QList{11} << 0 << QList{0, 20} << usual << u" 20 • 11 = "_qs << 220 << 20;
    QTest::newRow("largest division")
        << true << QList{20} << 0 << QList{0, 20} << usual << u"400 : 20 = "_qs << 20 << 20;
    QTest::newRow("second factor of three")
        << false << QList{3, 7, 9} << 0 << QList{1, 3} << usual << u" 3 • 7 = "_qs << 21 << 10;
    QTest::newRow("factor 0 last in the list")
        << true << QList{4, 0} << 0 << QList{1, 6} << usual << u"0 : 6 = "_qs << 0 << 10;
    QTest::newRow("same product drawn again")
        << false << QList{7} << 21 << QList{0, 3, 3, 4} << usual << u" 4 • 7 = "_qs << 28 << 10;
    QTest::newRow("same quotient drawn again")
        << true << QList{7} << 3 << QList{0, 3, 3, 5} << usual << u"35 : 7 = "_qs << 5 << 10;
    QTest::newRow("factor 0 may repeat 0")
        << false << QList{0} << 0 << QList{0, 9} << usual << u" 9 • 0 = "_qs << 0 << 10;
    QTest::newRow("other signs, multiplication")
        << false << QList{6} << 0 << QList{0, 8} << u" x ÷"_qs << u" 8 x 6 = "_qs << 48 << 10;
    QTest::newRow("other signs, division")
        << true << QList{6} << 0 << QList{0, 8} << u" * /"_qs << u"48 / 6 = "_qs << 8 << 10;
}

void TestGenerators::scriptedFactorTasks() {
    QFETCH(bool, division);
    QFETCH(QList<int>, factors);
    QFETCH(int, previous);
    QFETCH(QList<int>, drawn);
    QFETCH(QString, signs);
    QFETCH(QString, text);
    QFETCH(int, answer);
    QFETCH(int, maxMultiplier);
    Fixture f;
    FaktorListe.fill(0);
    for (int i = 0; i < factors.size(); ++i)
        FaktorListe[i] = static_cast<std::int16_t>(factors[i]);
    FaktorZahl = static_cast<std::int16_t>(factors.size());
    NullFaktor = truth(factors.contains(0));
    SignMul = signs.left(2);
    SignDiv = signs.mid(2);
    f.game.Ergebnis = static_cast<std::int16_t>(previous);
    f.random.drawLimit = 50; // factor 0 must not redraw for ever
    f.random.pushInt(0, factors.size() - 1, drawn.first());
    for (int m : drawn.mid(1))
        f.random.pushInt(division ? 3 : 2, maxMultiplier, m);

    division ? f.game.Division() : f.game.Multiplikation();
    QCOMPARE(f.board.task, text);
    QCOMPARE(int(f.game.Ergebnis), answer);
    QCOMPARE(int(f.game.MaxMultiplikator), maxMultiplier);
    QCOMPARE(f.random.draws, long(drawn.size()));
    QVERIFY(f.board.taskVisible);
    QVERIFY(f.board.answerVisible);
    QVERIFY(f.env.errors.isEmpty());
}

void TestGenerators::factorTasks_data() {
    QTest::addColumn<bool>("division");
    QTest::addColumn<QList<int>>("factors");
    const QList<int> small{2, 3, 4, 5, 6, 7, 8, 9, 10};
    QTest::newRow("multiplication, factors 2 to 10") << false << small;
    QTest::newRow("division, factors 2 to 10") << true << small;
    QTest::newRow("multiplication, factor 12") << false << QList{12};
    QTest::newRow("division, factor 12") << true << QList{12};
    QTest::newRow("multiplication, factors 5 and 20 and 0") << false << QList{5, 20, 0};
    QTest::newRow("division, factors 5 and 20 and 0") << true << QList{5, 20, 0};
}

// Many tasks: multipliers from 2 and quotients from 3, up to 10 or, for factors above 10, up
// to 20; no task repeats the previous answer unless its factor is 0.
void TestGenerators::factorTasks() {
    QFETCH(bool, division);
    QFETCH(QList<int>, factors);
    Fixture f;
    FaktorListe.fill(0);
    for (int i = 0; i < factors.size(); ++i)
        FaktorListe[i] = static_cast<std::int16_t>(factors[i]);
    FaktorZahl = static_cast<std::int16_t>(factors.size());
    NullFaktor = truth(factors.contains(0));
    const int lowest = division ? 3 : 2;

    std::map<int, std::set<int>> multipliersByFactor;
    int previous = f.game.Ergebnis;
    for (int i = 0; i < 3000; ++i) {
        division ? f.game.Division() : f.game.Multiplikation();
        const auto m = (division ? kQuotient : kProduct).match(f.board.task);
        QVERIFY2(m.hasMatch(), qPrintable(f.board.task));
        const int left = m.captured(1).toInt();
        const int right = m.captured(2).toInt();
        int factor = 0, multiplier = 0, answer = 0;
        if (!division) {
            multiplier = left;
            factor = right;
            answer = left * right;
        } else if (left == 0) {
            multiplier = right; // a division of 0 shows the drawn quotient as the divisor
            factor = 0;
            answer = 0;
        } else {
            factor = right;
            QCOMPARE(left % factor, 0);
            multiplier = left / factor;
            answer = multiplier;
        }
        QVERIFY2(factors.contains(factor), qPrintable(f.board.task));
        QCOMPARE(int(f.game.Ergebnis), answer);
        QVERIFY2(multiplier >= lowest && multiplier <= (factor > 10 ? 20 : 10),
                 qPrintable(f.board.task));
        if (factor != 0)
            QVERIFY2(answer != previous, qPrintable(f.board.task));
        multipliersByFactor[factor].insert(multiplier);
        previous = answer;
    }
    // Every factor was drawn, each with its whole range of multipliers or quotients.
    QCOMPARE(int(multipliersByFactor.size()), int(factors.size()));
    for (const auto& [factor, multipliers] : multipliersByFactor) {
        const int highest = factor > 10 ? 20 : 10;
        QCOMPARE(int(multipliers.size()), highest - lowest + 1);
    }
    QVERIFY(f.env.errors.isEmpty());
}

// ---------------------------------------------------------------- mixed kinds

void TestGenerators::mixedKinds_data() {
    QTest::addColumn<int>("uebung");
    QTest::addColumn<QList<int>>("kinds");
    QTest::newRow("addition and subtraction") << 6 << QList{2, 3};
    QTest::newRow("multiplication and division") << 7 << QList{4, 5};
    QTest::newRow("all four") << 8 << QList{2, 3, 4, 5};
}

// Each game start puts a first task on the board: over many starts a mixed kind draws each
// of its kinds in about equal shares and no other kind.
void TestGenerators::mixedKinds() {
    QFETCH(int, uebung);
    QFETCH(QList<int>, kinds);
    Fixture f;
    useTypicalRecord(uebung);
    std::map<int, int> counts;
    const int starts = 400;
    for (int i = 0; i < starts; ++i) {
        f.game.Start_Click();
        ++counts[kindOf(f.board.task)];
    }
    QCOMPARE(int(counts.size()), int(kinds.size()));
    for (int kind : kinds) {
        const double share = double(counts[kind]) / starts;
        QVERIFY2(share > 0.7 / kinds.size() && share < 1.3 / kinds.size(),
                 qPrintable(
                     QStringLiteral("kind %1: %2 of %3").arg(kind).arg(counts[kind]).arg(starts)));
    }
    QVERIFY(f.env.errors.isEmpty());
}

// ---------------------------------------------------------------- praise

void TestGenerators::praiseSound_data() {
    QTest::addColumn<int>("drawn");
    QTest::addColumn<int>("wav");
    const int wavs[] = {101, 102, 103, 104, 108, 108, 111, 111, 111, 111, 111, 111};
    for (int r = 1; r <= 12; ++r)
        QTest::addRow("draw %d", r) << r << wavs[r - 1];
}

void TestGenerators::praiseSound() {
    QFETCH(int, drawn);
    QFETCH(int, wav);
    Fixture f;
    PlaySound = kTrue;
    Animation = kFalse;
    f.game.Start_Click();
    QVERIFY(f.driver.awaitingAnswer());
    f.random.pushInt(1, 12, drawn);
    f.driver.answer(f.game.Ergebnis);
    QCOMPARE(wavIds(f.env.sound.played), (QList{108, wav}));
}

// Over many right answers WAV 111 follows about half, WAV 108 about a sixth and each of
// WAV 101 to 104 about a twelfth.
void TestGenerators::praiseProportions() {
    Fixture f;
    PlaySound = kTrue;
    Animation = kFalse;
    const int answers = 1200;
    AufgZahl = answers;
    f.game.Start_Click();
    for (int i = 0; i < answers; ++i) {
        QVERIFY(f.driver.awaitAnswerBox());
        f.driver.answer(f.game.Ergebnis);
    }
    QVERIFY(!f.game.running());
    QList<int> ids = wavIds(f.env.sound.played);
    QCOMPARE(ids.size(), answers + 2);
    QCOMPARE(ids.takeFirst(), 108); // the game's start
    QCOMPARE(ids.takeLast(), 107);  // its end
    std::map<int, int> counts;
    for (int id : ids)
        ++counts[id];
    QCOMPARE(int(counts.size()), 6);
    const std::map<int, double> expected = {{101, 1 / 12.0}, {102, 1 / 12.0}, {103, 1 / 12.0},
                                            {104, 1 / 12.0}, {108, 1 / 6.0},  {111, 1 / 2.0}};
    for (const auto& [id, share] : expected) {
        const double seen = double(counts[id]) / answers;
        QVERIFY2(
            std::abs(seen - share) < 0.3 * share,
            qPrintable(QStringLiteral("WAV %1: %2 of %3").arg(id).arg(counts[id]).arg(answers)));
    }
}

// ---------------------------------------------------------------- picture tasks

// Counting shows 2 to 9 pictures of one chosen symbol, never the same number twice running.
void TestGenerators::countingNeverRepeats() {
    Fixture f;
    useTypicalRecord(0);
    Animation = kFalse;
    const int tasks = 300;
    AufgZahl = tasks;
    f.game.Start_Click();
    std::map<int, int> counts;
    QSet<int> symbolsSeen;
    int previous = -1;
    for (int i = 0; i < tasks; ++i) {
        QVERIFY(f.driver.awaitAnswerBox());
        const int shown = f.board.visibleSymbols(0);
        QVERIFY2(shown >= 2 && shown <= 9, qPrintable(QString::number(shown)));
        QVERIFY(shown != previous);
        QCOMPARE(f.board.visibleSymbols(1), 0);
        // The pictures fill the first slots, all with the same symbol.
        const int symbol = f.board.symbols[0][0];
        for (int slot = 0; slot < 25; ++slot)
            QCOMPARE(f.board.symbols[0][slot], slot < shown ? symbol : -1);
        QVERIFY(QList<int>({0, 2, 3, 5, 7}).contains(symbol));
        symbolsSeen.insert(symbol);
        ++counts[shown];
        previous = shown;
        f.driver.answer(shown);
    }
    QVERIFY(!f.game.running());
    QCOMPARE(int(counts.size()), 8);
    QCOMPARE(symbolsSeen.size(), 5);
    QVERIFY(f.env.errors.isEmpty());
}

// The result carries over from game to game: the first count of a new game avoids it too.
void TestGenerators::countingAvoidsThePreviousResult() {
    Fixture f;
    useTypicalRecord(0);
    f.game.Ergebnis = 7;
    f.random.pushInt(2, 9, 7);
    f.random.pushInt(2, 9, 7);
    f.random.pushInt(2, 9, 4);
    f.game.Start_Click();
    QVERIFY(f.driver.awaitAnswerBox());
    QCOMPARE(f.board.visibleSymbols(0), 4);
    QCOMPARE(int(f.game.Ergebnis), 4);
}

void TestGenerators::singleSymbol_data() {
    QTest::addColumn<int>("uebung");
    QTest::addColumn<int>("symbol");
    QTest::newRow("counting, symbol 0") << 0 << 0;
    QTest::newRow("counting, symbol 17") << 0 << 17;
    QTest::newRow("symbol addition, symbol 24") << 1 << 24;
    QTest::newRow("symbol addition, symbol 3") << 1 << 3;
}

// With one symbol chosen every picture of every task is that symbol, in both rows.
void TestGenerators::singleSymbol() {
    QFETCH(int, uebung);
    QFETCH(int, symbol);
    Fixture f;
    useTypicalRecord(uebung);
    SymbolListe.fill(0);
    SymbolListe[0] = static_cast<std::int16_t>(symbol);
    SymbolZahl = 1;
    AufgZahl = 20;
    f.game.Start_Click();
    for (int i = 0; i < 20; ++i) {
        QVERIFY(f.driver.awaitAnswerBox());
        for (int row = 0; row < 2; ++row) {
            for (int s : f.board.symbols[row])
                QVERIFY(s == -1 || s == symbol);
        }
        f.driver.answer(f.board.visibleSymbols(0) + f.board.visibleSymbols(1));
    }
    f.scheduler.advance(1000); // the figure's last steps
    QVERIFY(!f.game.running());
    QVERIFY(f.env.errors.isEmpty());
}

void TestGenerators::scriptedSymbolAddition_data() {
    QTest::addColumn<bool>("withZero");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("sum");
    QTest::addColumn<int>("firstRow");
    QTest::addColumn<int>("secondRow");
    QTest::addColumn<QString>("logText");
    QTest::newRow("three and two") << false << 3 << 5 << 3 << 2 << u"OOO + OO = "_qs;
    QTest::newRow("sum below first addend") << false << 7 << 3 << 4 << 3 << u"OOOO + OOO = "_qs;
    QTest::newRow("first addend 0 leaves the first row empty")
        << true << 0 << 5 << 0 << 5 << u" + OOOOO = "_qs;
    QTest::newRow("nine in all") << false << 1 << 9 << 1 << 8 << u"O + OOOOOOOO = "_qs;
}

// Symbol addition: the first addend in the first row, the second in the second row, both of
// the same symbol; the practice log gets the groups as letters.
void TestGenerators::scriptedSymbolAddition() {
    QFETCH(bool, withZero);
    QFETCH(int, first);
    QFETCH(int, sum);
    QFETCH(int, firstRow);
    QFETCH(int, secondRow);
    QFETCH(QString, logText);
    Fixture f;
    useTypicalRecord(1);
    Null = truth(withZero);
    LogFile = kTrue;
    f.random.pushInt(withZero ? 0 : 1, 7, first);
    f.random.pushInt(2, 9, sum);
    f.random.pushInt(0, 4, 2); // symbol 3 of the list 0, 2, 3, 5, 7
    f.game.Start_Click();
    QVERIFY(f.driver.awaitAnswerBox());
    QCOMPARE(f.board.visibleSymbols(0), firstRow);
    QCOMPARE(f.board.visibleSymbols(1), secondRow);
    for (int row = 0; row < 2; ++row) {
        for (int slot = 0; slot < 25; ++slot)
            QCOMPARE(f.board.symbols[row][slot], slot < (row ? secondRow : firstRow) ? 3 : -1);
    }
    QCOMPARE(int(f.game.Ergebnis), firstRow + secondRow);
    QCOMPARE(f.board.task, logText);
    QVERIFY(!f.board.taskVisible);
    QVERIFY(f.board.questionVisible);
    QVERIFY(f.board.answerBesideQuestion);
}

QTEST_GUILESS_MAIN(TestGenerators)
#include "tst_generators.moc"
