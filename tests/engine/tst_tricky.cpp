// Tricky tasks: which facts are tricky, when they come back, and that a player without the
// switch (or without tricky tasks) gets exactly the tasks of a game without it.
#include "gamefixture.h"

#include "engine/trickytasks.h"
#include "services/resfiles.h"

using namespace kalmix;
using namespace kalmix::test;

namespace {

TaskFacts fact(const char* op, int a, int b, int e) {
    return {2, QString::fromLatin1(op), a, b, e};
}

struct FixedSource final : TrickySource {
    QList<TaskFacts> pool;
    QList<TaskFacts> trickyTasks(const QString&) override { return pool; }
};

// The tasks of a round as the listeners hear them: "7+2" or "7+2!" for a tricky one.
struct Tasks final : GameEvents {
    QStringList shown;
    void taskShown(const TaskFacts& t, bool again) override {
        if (!again)
            shown << QStringLiteral("%1%2%3%4")
                         .arg(t.a)
                         .arg(t.operation)
                         .arg(t.b.value_or(-1))
                         .arg(t.tricky ? QStringLiteral("!") : QString());
    }
};

// Plays a round of the typical record with the script, returns the tasks shown.
QStringList playRound(Fixture& f, const QString& script, TrickySource* source, bool on,
                      int kind = 2, int count = 10) {
    useTypicalRecord(kind);
    AufgZahl = static_cast<std::int16_t>(count);
    Knifflig = truth(on);
    Tasks tasks;
    f.game.events.add(&tasks);
    f.game.trickySource = source;
    f.game.Start_Click();
    play(f, script, false);
    f.game.events.remove(&tasks);
    return tasks.shown;
}

} // namespace

class TestTricky : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { initResources(); }
    void factsLeaveAfterTwoRoundsRightAtFirstTry();
    void fitsTheSettings_data();
    void fitsTheSettings();
    void offOrEmptyDrawsAsBefore();
    void aWrongAnswerComesBackWithinThreeToSixTasks();
    void fittingTrickyTasksAreDrawnAndMarked();
};

// A miss makes a fact tricky; right at the first try in two different rounds after the last
// miss takes it out; a right answer after a wrong one on the same showing does not count.
void TestTricky::factsLeaveAfterTwoRoundsRightAtFirstTry() {
    const TaskFacts x = fact("*", 7, 8, 56), y = fact("+", 4, 5, 9), z = fact("-", 9, 3, 6);
    QList<PastAnswer> h = {
        {1, x, 1, Outcome::Wrong}, {1, x, 2, Outcome::Right}, // wrong, then right: tricky
        {1, y, 1, Outcome::Help},                             // helped: tricky
        {1, z, 1, Outcome::Right},                            // never missed
        {1, x, 1, Outcome::Right}, // came back in its round: one occasion
        {2, y, 1, Outcome::Right}, {2, y, 1, Outcome::Right}, // one round only
    };
    QList<TaskFacts> t = trickyFacts(h);
    QCOMPARE(t.size(), 2);
    QVERIFY(t[0].sameFact(x) && t[1].sameFact(y));
    h.append({3, x, 1, Outcome::Right}); // second round: x leaves
    t = trickyFacts(h);
    QCOMPARE(t.size(), 1);
    QVERIFY(t[0].sameFact(y));
    h.append({4, x, 1, Outcome::Wrong}); // a new miss puts it back
    QCOMPARE(trickyFacts(h).size(), 2);
}

void TestTricky::fitsTheSettings_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QList<int>>("abe");
    QTest::addColumn<bool>("fits");
    // The typical record: range 2..10 without 0, factors 4 5 7 9 13.
    QTest::newRow("sum in range") << 2 << u"+"_qs << QList<int>{3, 4, 7} << true;
    QTest::newRow("sum above range") << 2 << u"+"_qs << QList<int>{8, 4, 12} << false;
    QTest::newRow("sum with 0, zero off") << 2 << u"+"_qs << QList<int>{0, 4, 4} << false;
    QTest::newRow("sum for a difference kind") << 3 << u"+"_qs << QList<int>{3, 4, 7} << false;
    QTest::newRow("difference") << 6 << u"-"_qs << QList<int>{9, 4, 5} << true;
    QTest::newRow("product of a chosen factor") << 4 << u"*"_qs << QList<int>{6, 7, 42} << true;
    QTest::newRow("product of another factor") << 4 << u"*"_qs << QList<int>{6, 8, 48} << false;
    QTest::newRow("product beyond 10 times") << 8 << u"*"_qs << QList<int>{11, 7, 77} << false;
    QTest::newRow("quotient") << 7 << u"/"_qs << QList<int>{35, 5, 7} << true;
    QTest::newRow("0 : q without 0") << 5 << u"/"_qs << QList<int>{0, 4, 0} << false;
    QTest::newRow("pictures are never drawn again")
        << 0 << u"count"_qs << QList<int>{5, 0, 5} << false;
    // A history edited by hand may hold any numbers: checked without overflow.
    const int most = std::numeric_limits<int>::max(), least = std::numeric_limits<int>::min();
    QTest::newRow("sum beyond 32 bits") << 2 << u"+"_qs << QList<int>{most, 2, least + 1} << false;
    QTest::newRow("difference beyond 32 bits")
        << 3 << u"-"_qs << QList<int>{least, 1, most} << false;
    QTest::newRow("product beyond 32 bits") << 4 << u"*"_qs << QList<int>{65536, 65536, 0} << false;
    QTest::newRow("quotient beyond 32 bits")
        << 5 << u"/"_qs << QList<int>{0, 65536, 65536} << false;
}

void TestTricky::fitsTheSettings() {
    QFETCH(int, kind);
    QFETCH(QString, op);
    QFETCH(QList<int>, abe);
    QFETCH(bool, fits);
    Fixture f;
    useTypicalRecord(kind);
    QCOMPARE(fitsSettings({kind, op, abe[0], abe[1], abe[2]}), fits);
}

// Off, or on without a tricky task that fits, a round draws the same numbers and asks the same
// tasks as a game without the switch.
void TestTricky::offOrEmptyDrawsAsBefore() {
    // One fixture at a time: a fixture installs its clock and random source while it lives.
    auto run = [](TrickySource* source, bool on, long* draws = nullptr) {
        Fixture f;
        const QStringList shown = playRound(f, u"r w r r h r r r r r r r"_qs, source, on);
        if (draws)
            *draws = f.random.draws;
        return shown;
    };
    FixedSource none, unfit;
    unfit.pool = {fact("+", 30, 40, 70), fact("*", 3, 8, 24)}; // outside range and factors
    long plainDraws = 0, offDraws = 0;
    const QStringList before = run(nullptr, false, &plainDraws);
    QCOMPARE(before.size(), 11);
    QCOMPARE(run(&unfit, false, &offDraws), before);
    QCOMPARE(offDraws, plainDraws);
    // On, a wrong answer brings its task back later, but until then nothing differs.
    QCOMPARE(run(&none, true).mid(0, 4), before.mid(0, 4));
    QCOMPARE(run(&unfit, true).mid(0, 4), before.mid(0, 4));
}

// A task answered wrong or with the light bulb is asked again as the third to sixth task
// after it, marked tricky.
void TestTricky::aWrongAnswerComesBackWithinThreeToSixTasks() {
    for (const char* script : {"w r r r r r r r r r", "r h r r r r r r r r r"}) {
        Fixture f;
        FixedSource none;
        const QStringList shown = playRound(f, QString::fromLatin1(script), &none, true);
        const int missed = script[0] == 'w' ? 0 : 1;
        const qsizetype back = shown.indexOf(shown[missed] + u'!');
        QVERIFY2(back >= missed + 3 && back <= missed + 6, qPrintable(shown.join(u' ')));
        QCOMPARE(shown.filter(u"!"_qs).size(), 1);
    }
}

// With tricky tasks that fit, about one task in four is one of them, marked as tricky; a
// tricky task that does not fit is never asked.
void TestTricky::fittingTrickyTasksAreDrawnAndMarked() {
    Fixture f;
    FixedSource source;
    source.pool = {fact("*", 6, 7, 42), fact("*", 3, 8, 24), fact("+", 4, 5, 9)};
    const QStringList shown = playRound(f, QString(u"r "_qs).repeated(100), &source, true, 4, 100);
    QCOMPARE(shown.size(), 100);
    const qsizetype tricky = shown.filter(u"!"_qs).size();
    QVERIFY2(tricky >= 12 && tricky <= 40, qPrintable(QString::number(tricky)));
    const QStringList marked = shown.filter(u"!"_qs);
    QCOMPARE(QSet<QString>(marked.begin(), marked.end()), QSet<QString>{u"6*7!"_qs});
}

QTEST_GUILESS_MAIN(TestTricky)
#include "tst_tricky.moc"
