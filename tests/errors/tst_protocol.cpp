#include "errors/protocol.h"

#include <QTest>

using namespace kalmix;

namespace {

ProtocolData sample() {
    ProtocolData d;
    d.progInfoCaption = "Programm-Info:";
    d.progInfo = "Kalmix  V1.0.0";
    d.errorCaption = "Fehlerbeschreibung / error description:";
    const char* titles[4] = {
        "Fehler-Nr / error :", "Modul:", "Prozedur / procedure:", "Zeile / Line:"};
    const char* values[4] = {"6 (Overflow)", "Allgemein", "GetIniInt", "1"};
    for (int i = 0; i < 4; ++i) {
        d.errTitles[i] = titles[i];
        d.errValues[i] = values[i];
    }
    d.when = QDateTime(QDate(2026, 3, 4), QTime(7, 8, 9));
    d.callStackCaption = "CallStack:";
    d.system = {"Linux", 6, 1, 77, "Debian GNU/Linux 12 (bookworm)"};
    return d;
}

const QString kSep(70, '-');
const QString kInd(10, ' ');

} // namespace

class TestProtocol : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void protocolLines();
    void callStackEntriesNewestFirst();
    void shortLinesPrintOneToOne();
    void longLinesWrap();
    void wrapEdgeCases();
    void lpstrToVbString();
};

void TestProtocol::protocolLines() {
    const QStringList expected = {
        kSep,
        "F E H L E R P R O T O K O L L vom Fehlerwart",
        kSep,
        "PROGRAMM-INFO:",
        kInd + "Kalmix  V1.0.0",
        kSep,
        "FEHLERBESCHREIBUNG / ERROR DESCRIPTION:",
        kInd + "Fehler-Nr / error :\t6 (Overflow)",
        kInd + "Modul:\tAllgemein",
        kInd + "Prozedur / procedure:\tGetIniInt",
        kInd + "Zeile / Line:\t1",
        kInd + "Datum/Uhrzeit:\t03-04-2026 / 07:08:09",
        kSep,
        "CALLSTACK:",
        kSep, // an empty call stack adds no line
        "SYSTEMINFO:",
        kInd + "Plattform:\tLinux",
        kInd + "Version:\t6.1",
        kInd + "Build:\t77   Debian GNU/Linux 12 (bookworm)",
        kSep,
        "",
    };
    QCOMPARE(buildProtocolText(sample()), expected.join("\r\n"));
}

void TestProtocol::callStackEntriesNewestFirst() {
    ProtocolData d = sample();
    d.callStack = QStringList{"Start_Click 10:00:02", "Form_Load 10:00:01"};
    d.system.build = 0x12345; // only the low 16 bits count
    const QStringList lines = buildProtocolText(d).split("\r\n");
    const qsizetype at = lines.indexOf("CALLSTACK:");
    QCOMPARE(lines[at + 1], kInd + "Start_Click 10:00:02");
    QCOMPARE(lines[at + 2], kInd + "Form_Load 10:00:01");
    QCOMPARE(lines[at + 3], kSep);
    QVERIFY(lines.contains(kInd + "Build:\t" + QString::number(0x2345) +
                           "   Debian GNU/Linux 12 (bookworm)"));
}

void TestProtocol::shortLinesPrintOneToOne() {
    const QString protocol = buildProtocolText(sample());
    const QStringList source = protocol.split("\r\n");
    const QStringList printed = printLines(protocol);
    // Each protocol line (all shorter than 73 columns) is one printer line with a blank added;
    // the protocol's final CR LF gives one more blank line.
    QCOMPARE(printed.size(), source.size());
    for (int i = 0; i < source.size(); ++i)
        QCOMPARE(printed[i], source[i] + ' ');
}

void TestProtocol::longLinesWrap() {
    const QString description = kInd + "Fehler-Nr / error :\t75 (Path/File access error while "
                                       "writing the practice log to the program directory)";
    const QStringList printed = printLines(description + "\r\n");
    QCOMPARE(printed.size(), 3); // two for the description, one for the empty last line
    QVERIFY(printed[0].size() <= 73);
    QVERIFY(printed[1].startsWith(QString(20, ' ')));
    QVERIFY(printed[1].at(20) != ' ');
    QCOMPARE(QString(printed[0] + printed[1].mid(20)), description + ' ');
}

void TestProtocol::wrapEdgeCases() {
    // A line of 72 columns fits with its added blank; one of 73 columns wraps.
    QCOMPARE(printLines(QString(70, 'a') + " b"), QStringList{QString(70, 'a') + " b "});
    const QStringList wrapped = printLines(QString(71, 'a') + " b");
    QCOMPARE(wrapped.size(), 2);
    QCOMPARE(wrapped[0], QString(71, 'a') + ' ');
    QCOMPARE(wrapped[1], QString(20, ' ') + "b ");
    // Continuation lines start counting again after their 20 blanks.
    const QStringList three = printLines(QString(72, 'a') + ' ' + QString(72, 'b') + " c");
    QCOMPARE(three.size(), 3);
    QCOMPARE(three[1], QString(20, ' ') + QString(72, 'b') + ' ');
    QCOMPARE(three[2], QString(20, ' ') + "c ");
    // One word wider than the line is printed unbroken.
    QCOMPARE(printLines(QString(100, 'w'))[0], QString(100, 'w') + ' ');
    // A tab counts as one column; indents survive as words of blanks.
    QCOMPARE(printLines(kInd + "a\tb")[0], kInd + "a\tb ");
}

void TestProtocol::lpstrToVbString() {
    QCOMPARE(LPSTRToVBString(QString("Service Pack 2") + QChar(0) + "junk"), "Service Pack 2");
    QCOMPARE(LPSTRToVBString("no terminator"), QString());
    QCOMPARE(LPSTRToVBString(QString(QChar(0))), QString());
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
