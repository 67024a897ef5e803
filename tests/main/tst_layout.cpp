#include "main/layout.h"

#include <QTest>

using namespace kalmix;

class TestLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void halfRoundsHalvesToEven_data();
    void halfRoundsHalvesToEven();
    void designWindowAtNormalFonts();
    void largeFontsMoveCountAndClock();
    void narrowWindowCutsTheBoardOff();
    void figureFollowsTheGame_data();
    void figureFollowsTheGame();
    void toolbarSlotsLeaveGaps();
};

void TestLayout::halfRoundsHalvesToEven_data() {
    QTest::addColumn<double>("v");
    QTest::addColumn<int>("expected");
    QTest::newRow("whole even") << 50.0 << 25;
    QTest::newRow("whole odd drops the remainder") << 49.0 << 24;
    QTest::newRow("half rounds to even below") << 24.5 << 12;
    QTest::newRow("half rounds to even above") << 25.5 << 13;
    QTest::newRow("negative truncates toward zero") << -251.0 << -125;
}

void TestLayout::halfRoundsHalvesToEven() {
    QFETCH(double, v);
    QFETCH(int, expected);
    QCOMPARE(half(v), expected);
}

void TestLayout::designWindowAtNormalFonts() {
    LayoutInput in;
    in.W = 700;
    in.H = 540;
    const Layout l = formLayout(in);
    QCOMPARE(l.board, QPoint(24, 114)); // half(700-518-97-36), half(540-371)+30
    QCOMPARE(l.barWidth, 560);
    QCOMPARE(l.barLeft, 21);
    QCOMPARE(l.barTop, 57);
    QCOMPARE(l.meterTop, 57 - 0.92 * 32);
    QCOMPARE(l.meterLeft, 21.0);
    QCOMPARE(l.panel, QPoint(554, 163));  // 542 + half(700-542-97-36), 114 + half(371-273)
    QCOMPARE(l.number, QPoint(563, 263)); // panel + 100
    QCOMPARE(l.label0, QPoint(563, 190)); // 263 - 2.5*28 - 3
    QCOMPARE(l.time, QPoint(563, 343));   // panel + 180
    QCOMPARE(l.label1, QPoint(563, 312)); // 343 - 28 - 3
    QCOMPARE(l.stripLeft, 700 - 1.15 * 37);
    QCOMPARE(l.stripWidth, 1.2 * 37);
    QCOMPARE(l.stripHeight, 546.0);
}

void TestLayout::largeFontsMoveCountAndClock() {
    LayoutInput in;
    in.W = 700;
    in.H = 540;
    in.twipsPerPixel = 12;
    const Layout l = formLayout(in);
    QCOMPARE(l.number.y() - l.panel.y(), 125);
    QCOMPARE(l.time.y() - l.panel.y(), 225);
    QCOMPARE(layoutFactor(15), 1.0);
    QCOMPARE(layoutFactor(12), 1.25);
}

void TestLayout::narrowWindowCutsTheBoardOff() {
    LayoutInput in;
    in.W = 400;
    in.H = 300;
    const Layout l = formLayout(in);
    QCOMPARE(l.board.x(), -125); // nothing is clamped
    QCOMPARE(l.board.y(), half(300 - 371) + 30);
    QVERIFY(l.stripLeft + l.stripWidth > in.W); // the strip still ends at the right edge
}

void TestLayout::figureFollowsTheGame_data() {
    QTest::addColumn<int>("geloest");
    QTest::addColumn<int>("aufgZahl");
    QTest::addColumn<double>("elapsed"); // negative: count mode
    QTest::addColumn<int>("zeit");
    QTest::addColumn<double>("rest");  // where the last walk left the figure; negative: none
    QTest::addColumn<double>("share"); // of the bar's width from its left edge
    QTest::newRow("before the first game") << 0 << 10 << -1.0 << 0 << -1.0 << 0.0;
    QTest::newRow("count mode, 5 of 10") << 5 << 10 << -1.0 << 0 << -1.0 << 0.43;
    QTest::newRow("count mode, all solved") << 10 << 10 << -1.0 << 0 << -1.0 << 0.86;
    QTest::newRow("time mode, 60 of 120 s") << 0 << 0 << 60.0 << 120 << -1.0 << 0.43;
    QTest::newRow("time mode, just started") << 0 << 0 << 0.0 << 120 << -1.0 << 0.0;
    QTest::newRow("count mode, after the last walk") << 10 << 10 << -1.0 << 0 << 0.93 << 0.93;
    QTest::newRow("time mode, after the last walk") << 3 << 0 << 200.0 << 120 << 0.93 << 0.93;
}

void TestLayout::figureFollowsTheGame() {
    QFETCH(int, geloest);
    QFETCH(int, aufgZahl);
    QFETCH(double, elapsed);
    QFETCH(int, zeit);
    QFETCH(double, rest);
    QFETCH(double, share);
    LayoutInput in;
    in.W = 800;
    in.H = 600;
    in.geloest = geloest;
    in.aufgZahl = aufgZahl;
    if (elapsed >= 0)
        in.elapsed = elapsed;
    in.zeit = zeit;
    if (rest >= 0)
        in.figureRest = rest;
    const Layout l = formLayout(in);
    QVERIFY(qAbs(l.meterLeft - (l.barLeft + share * l.barWidth)) < 1e-9);
}

void TestLayout::toolbarSlotsLeaveGaps() {
    QCOMPARE(buttonSlot(0), 0);
    QCOMPARE(buttonSlot(2), 2);
    QCOMPARE(buttonSlot(3), 4);
    QCOMPARE(buttonSlot(4), 5);
    QCOMPARE(buttonSlot(10), 7);
    QCOMPARE(buttonSlot(16), 13);
    LayoutInput in;
    in.W = 700;
    in.H = 540;
    const Layout l = formLayout(in);
    QCOMPARE(l.buttons[3].y(), 4 * 37 + 4.0);
    QCOMPARE(l.buttons[16].y(), 13 * 37 + 4.0);
    QCOMPARE(l.buttons[0].x(), l.stripLeft + 4);
    // A window too short for every slot narrows the gaps, and only them.
    in.H = 512;
    const Layout s = formLayout(in);
    QCOMPARE(s.buttons[16].y() + 37, 512.0);
    QCOMPARE(s.buttons[11].y() - s.buttons[10].y(), 37.0);
    QCOMPARE(s.buttons[2], l.buttons[2]);
}

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
