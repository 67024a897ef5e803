#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/codepage.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "services/runtimeerror.h"
#include "support/testenv.h"

#include <QFile>
#include <QTest>

using namespace kalmix;
using kalmix::test::TestEnv;

namespace {

const QString kOpt = QStringLiteral("Optionen");

SettingsControls controls(const QString& symbols, const QString& factors) {
    SettingsControls c;
    c.name = QStringLiteral("Anna");
    for (int k = 0; k < 25; ++k)
        c.symbols[k] = tickAt(symbols, k);
    for (int i = 0; i < 20; ++i)
        c.factors[i] = tickAt(factors, i);
    return c;
}

// The first `count` positions hold the list, the rest 0.
template <std::size_t N> QList<int> valid(const std::array<std::int16_t, N>& list, int count) {
    QList<int> values(list.begin(), list.end());
    for (int i = count; i < int(N); ++i) {
        if (values[i] != 0)
            return {-1}; // a stale position
    }
    return values.mid(0, count);
}

// A record as an earlier apply step left it, so that a test sees what this one changes.
void earlierRecord(int uebung) {
    resetRecord();
    Uebung = static_cast<std::int16_t>(uebung);
    MaxSum = uebung <= 1 ? 9 : 50;
    MinSum = 77;
    SymbolListe.fill(0);
    SymbolListe[0] = 11;
    SymbolListe[1] = 12;
    SymbolZahl = 2;
    FaktorListe.fill(0);
    FaktorListe[0] = 8;
    FaktorListe[1] = 16;
    FaktorZahl = 2;
    SignMul = QStringLiteral(" •");
    SignDiv = QStringLiteral(" ÷");
    SprachBasis = 0;
}

} // namespace

class TestRecord : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void applyStep_data();
    void applyStep();
    void switches_data();
    void switches();
    void emptyNameIsNotSaved();
    void readAloudGetsItsVoiceReady();
    void minSum_data();
    void minSum();
    void rangeOptions_data();
    void rangeOptions();
    void rangeOptionsOutside();
    void tickStrings_data();
    void tickStrings();
    void tickStringsAreWrittenWhole();
    void signs_data();
    void signs();
};

void TestRecord::initTestCase() {
    initResources();
    WriteLanguageCopy();
}

void TestRecord::applyStep_data() {
    QTest::addColumn<int>("uebung");
    QTest::addColumn<QString>("symbols");
    QTest::addColumn<QString>("factors");
    QTest::addColumn<bool>("completed"); // saved, MinSum and signs applied
    QTest::addColumn<QList<int>>("symbolList");
    QTest::addColumn<QList<int>>("factorList");
    QTest::addColumn<bool>("warning");
    const QString defaultSymbols = QString::fromLatin1(kDefaultSymbole);
    const QString defaultFactors = QString::fromLatin1(kDefaultFaktoren);
    const QList<int> earlierSymbols{11, 12};
    const QList<int> earlierFactors{8, 16};
    const QString all(25, u'1');

    QTest::newRow("default player") << 0 << defaultSymbols << defaultFactors << true
                                    << QList{0, 2, 3, 5, 7} << earlierFactors << false;
    QTest::newRow("symbol addition, all symbols")
        << 1 << all << QString() << true
        << QList{0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}
        << earlierFactors << false;
    QTest::newRow("symbol addition, last symbol only")
        << 1 << QString(24, u'0') + u'1' << QString() << true << QList{24} << earlierFactors
        << false;
    QTest::newRow("counting, no symbol: symbol 0 and stop")
        << 0 << QString() << defaultFactors << false << QList{0} << earlierFactors << false;
    QTest::newRow("counting, only 0 characters")
        << 0 << QString(25, u'0') << QString() << false << QList{0} << earlierFactors << false;
    QTest::newRow("addition reads neither list")
        << 2 << QString() << QString() << true << earlierSymbols << earlierFactors << false;
    QTest::newRow("subtraction without factors, no message")
        << 3 << QString() << QString() << true << earlierSymbols << earlierFactors << false;
    QTest::newRow("mixed addition without factors, no message")
        << 6 << QString() << QString() << true << earlierSymbols << earlierFactors << false;
    QTest::newRow("division, factors 3, 20 and 0")
        << 5 << QString() << u"01000000000000000011"_qs << true << earlierSymbols << QList{3, 20, 0}
        << false;
    QTest::newRow("multiplication, default factors")
        << 4 << QString() << defaultFactors << true << earlierSymbols << QList{4, 5, 7, 9, 13}
        << false;
    QTest::newRow("all four, every factor")
        << 8 << defaultSymbols << QString(20, u'1') << true << earlierSymbols
        << QList{2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 0} << false;
    QTest::newRow("other characters than 1 are unticked")
        << 7 << QString() << u"x1y1 2"_qs << true << earlierSymbols << QList{3, 5} << false;
    for (int kind : {4, 5, 7, 8}) {
        QTest::addRow("kind %d without factors: warning and stop", kind)
            << kind << defaultSymbols << QString(20, u'0') << false << earlierSymbols
            << QList{4, 5, 7, 9, 13} << true; // the default factors, never an empty list
    }
}

void TestRecord::applyStep() {
    QFETCH(int, uebung);
    QFETCH(QString, symbols);
    QFETCH(QString, factors);
    QFETCH(bool, completed);
    QFETCH(QList<int>, symbolList);
    QFETCH(QList<int>, factorList);
    QFETCH(bool, warning);
    TestEnv env;
    earlierRecord(uebung);
    int saves = 0;
    const bool result = applySettings(controls(symbols, factors), [&] { ++saves; });

    QCOMPARE(result, completed);
    QCOMPARE(valid(SymbolListe, SymbolZahl), symbolList);
    QCOMPARE(valid(FaktorListe, FaktorZahl), factorList);
    QCOMPARE(saves, completed ? 1 : 0);
    // The lower bound always belongs to the upper one, however the step ended.
    QCOMPARE(int(MinSum), uebung <= 1 ? 2 : 21);
    QCOMPARE(SignMul, completed ? u" ·"_qs : u" •"_qs);
    QCOMPARE(SignDiv, completed ? u" :"_qs : u" ÷"_qs);
    QCOMPARE(QFile::exists(env.iniPath()), completed); // the signs are the only thing stored
    QCOMPARE(env.messages.size(), warning ? 1 : 0);
    if (warning) {
        QCOMPARE(env.messages[0].text, u"Du musst mindestens einen Faktor/Divisor auswählen!"_qs);
        QCOMPARE(env.messages[0].icon, MsgIcon::Exclamation);
        QCOMPARE(env.messages[0].buttons, MsgButtons::Ok);
        QCOMPARE(env.messages[0].caption, u"Kalmix"_qs);
    }
    // The switches come first and are applied whatever stops the step later.
    QCOMPARE(int(Hilfe), -1);
    QCOMPARE(int(Animation), -1);
    QCOMPARE(int(LogFile), 0);
    QVERIFY(env.errors.isEmpty());
}

void TestRecord::switches_data() {
    QTest::addColumn<bool>("log");
    QTest::addColumn<bool>("help");
    QTest::addColumn<bool>("animation");
    QTest::newRow("all on") << true << true << true;
    QTest::newRow("all off") << false << false << false;
    QTest::newRow("only the log") << true << false << false;
    QTest::newRow("only the animation") << false << false << true;
}

void TestRecord::switches() {
    QFETCH(bool, log);
    QFETCH(bool, help);
    QFETCH(bool, animation);
    TestEnv env;
    earlierRecord(2);
    LogFile = Hilfe = Animation = 5; // neither truth value
    SettingsControls c = controls({}, {});
    c.logFile = log;
    c.hilfe = help;
    c.animation = animation;
    QVERIFY(applySettings(c));
    QCOMPARE(int(LogFile), log ? -1 : 0);
    QCOMPARE(int(Hilfe), help ? -1 : 0);
    QCOMPARE(int(Animation), animation ? -1 : 0);
}

// An empty name box saves no profile; the rest of the step still runs.
void TestRecord::emptyNameIsNotSaved() {
    TestEnv env;
    earlierRecord(4);
    SettingsControls c = controls({}, QString::fromLatin1(kDefaultFaktoren));
    c.name.clear();
    int saves = 0;
    QVERIFY(applySettings(c, [&] { ++saves; }));
    QCOMPARE(saves, 0);
    QCOMPARE(int(MinSum), 21);
    QCOMPARE(SignMul, u" ·"_qs);
}

// Choosing a player who has tasks read aloud gets the voice of the game's language ready, so
// that the first task is heard at once; nobody else starts the speech engine.
void TestRecord::readAloudGetsItsVoiceReady() {
    TestEnv env;
    earlierRecord(2);
    SprachBasis = 6000; // French
    SettingsControls c = controls({}, {});
    QVERIFY(applySettings(c));
    c.readAloud = true;
    c.name.clear(); // no player yet
    QVERIFY(applySettings(c));
    QVERIFY(env.speech.prepared.isEmpty());
    c.name = QStringLiteral("Anna");
    QVERIFY(applySettings(c));
    QCOMPARE(env.speech.prepared, QList<int>{6});
    QVERIFY(env.speech.said.isEmpty());
}

void TestRecord::minSum_data() {
    QTest::addColumn<int>("maxSum");
    QTest::addColumn<int>("minSum");
    const int rows[][2] = {{6, 2},    {9, 2},     {10, 2},    {19, 11}, {20, 11}, {50, 21},
                           {100, 31}, {200, 101}, {500, 101}, {7, 21},  {0, 21}};
    for (const auto& r : rows)
        QTest::addRow("bound %d", r[0]) << r[0] << r[1];
}

void TestRecord::minSum() {
    QFETCH(int, maxSum);
    QFETCH(int, minSum);
    TestEnv env;
    earlierRecord(2);
    MaxSum = static_cast<std::int16_t>(maxSum);
    QCOMPARE(int(minSumFor(MaxSum)), minSum);
    QVERIFY(applySettings(controls({}, {})));
    // A bound that no range option shows becomes the default range 10.
    QCOMPARE(int(MinSum), rangeOption(maxSum) < 0 ? 2 : minSum);
}

void TestRecord::rangeOptions_data() {
    QTest::addColumn<int>("option");
    QTest::addColumn<int>("bound");
    const int bounds[] = {10, 20, 50, 100, 200, 500, 9, 19, 6};
    for (int option = 0; option < 9; ++option)
        QTest::addRow("option %d", option) << option << bounds[option];
}

void TestRecord::rangeOptions() {
    QFETCH(int, option);
    QFETCH(int, bound);
    QCOMPARE(int(rangeBound(option)), bound);
    QCOMPARE(rangeOption(bound), option);
}

void TestRecord::rangeOptionsOutside() {
    for (int option : {-1, 9}) {
        try {
            rangeBound(option);
            QFAIL("no error raised");
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), ErrNr::SubscriptOutOfRange);
        }
    }
    QCOMPARE(rangeOption(7), -1);
}

void TestRecord::tickStrings_data() {
    QTest::addColumn<QString>("ticks");
    QTest::addColumn<int>("box");
    QTest::addColumn<bool>("ticked");
    QTest::newRow("first box ticked") << u"101101010"_qs << 0 << true;
    QTest::newRow("second box not") << u"101101010"_qs << 1 << false;
    QTest::newRow("last character") << u"101101011"_qs << 8 << true;
    QTest::newRow("beyond a short string") << u"101101010"_qs << 9 << false;
    QTest::newRow("factor 0 of the default factors")
        << QString::fromLatin1(kDefaultFaktoren) << 19 << false;
    QTest::newRow("empty string") << QString() << 0 << false;
    QTest::newRow("2 is no tick") << u"2"_qs << 0 << false;
    QTest::newRow("blank is no tick") << u" 1"_qs << 0 << false;
    QTest::newRow("after a blank") << u" 1"_qs << 1 << true;
    QTest::newRow("negative box") << u"111"_qs << -1 << false;
}

void TestRecord::tickStrings() {
    QFETCH(QString, ticks);
    QFETCH(int, box);
    QFETCH(bool, ticked);
    QCOMPARE(tickAt(ticks, box), ticked);
}

// Read back and written again, the short default strings become one character per box.
void TestRecord::tickStringsAreWrittenWhole() {
    const SettingsControls c =
        controls(QString::fromLatin1(kDefaultSymbole), QString::fromLatin1(kDefaultFaktoren));
    QCOMPARE(tickString(c.symbols), u"1011010100000000000000000"_qs);
    QCOMPARE(tickString(c.factors), u"00110101000100000000"_qs);
}

void TestRecord::signs_data() {
    QTest::addColumn<int>("mulOption");
    QTest::addColumn<int>("divOption");
    QTest::addColumn<QString>("mul");
    QTest::addColumn<QString>("div");
    QTest::newRow("first options") << 0 << 0 << u"·"_qs << u":"_qs;
    QTest::newRow("second options") << 1 << 1 << u"x"_qs << u"/"_qs;
    QTest::newRow("third options") << 2 << 2 << u"*"_qs << u"÷"_qs;
    QTest::newRow("mixed") << 1 << 2 << u"x"_qs << u"÷"_qs;
}

// The chosen signs become the record's signs with a leading blank and are stored so in
// Optionen for all players; reading them back gives the sign without the blank.
void TestRecord::signs() {
    QFETCH(int, mulOption);
    QFETCH(int, divOption);
    QFETCH(QString, mul);
    QFETCH(QString, div);
    TestEnv env;
    earlierRecord(7);
    SettingsControls c = controls({}, QString::fromLatin1(kDefaultFaktoren));
    c.signMulOption = mulOption;
    c.signDivOption = divOption;
    QVERIFY(applySettings(c));
    QCOMPARE(SignMul, u' ' + mul);
    QCOMPARE(SignDiv, u' ' + div);
    const QString file = decodeTextFile(env.readFile(QStringLiteral("Kalmix.ini")));
    QVERIFY2(file.contains(u"SignMul= "_qs + mul + u"\r\n"_qs), qPrintable(file));
    QVERIFY2(file.contains(u"SignDiv= "_qs + div + u"\r\n"_qs), qPrintable(file));
    QCOMPARE(GetIniString(kOpt, QStringLiteral("SignMul"), {}), mul);
    QCOMPARE(GetIniString(kOpt, QStringLiteral("SignDiv"), {}), div);
}

QTEST_GUILESS_MAIN(TestRecord)
#include "tst_record.moc"
