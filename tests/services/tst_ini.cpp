#include "services/codepage.h"
#include "services/ini.h"

#include <QRandomGenerator>
#include <QTest>

using namespace kalmix;

class TestIni : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsCaseInsensitiveAndTrimmed();
    void firstSectionAndFirstKeyWin();
    void oddLines_data();
    void oddLines();
    void writeKeepsUntouchedLines();
    void writeAddsKeyAtSectionEnd();
    void removeKeyAndSection();
    void valuesCannotBreakLines();
    void decodesUtf8AndWindows1252();
    void cp1252RoundTrip();
    void hugeAndRandomInputsStayWhole();
    void indexAnswersAsTheDocument();
};

void TestIni::readsCaseInsensitiveAndTrimmed() {
    const auto doc = IniDocument::parse("[Optionen]\r\nSprache= 1000\r\nPlaySound=-1\t \r\n");
    QCOMPARE(doc.value(QStringLiteral("OPTIONEN"), QStringLiteral("sprache")), u"1000"_qs);
    QCOMPARE(doc.value(QStringLiteral("optionen"), QStringLiteral("PlaySound")), u"-1"_qs);
    QVERIFY(!doc.value(QStringLiteral("Optionen"), QStringLiteral("LogFile")));
    QVERIFY(!doc.value(QStringLiteral("Benutzer"), QStringLiteral("aktiv")));
}

void TestIni::firstSectionAndFirstKeyWin() {
    const auto doc = IniDocument::parse("[a]\nk=1\nK=2\n[b]\nk=3\n[A]\nk=4\nx=5\n");
    QCOMPARE(doc.value(QStringLiteral("a"), QStringLiteral("k")), u"1"_qs);
    QCOMPARE(doc.value(QStringLiteral("b"), QStringLiteral("k")), u"3"_qs);
    // The second "[A]" is hidden behind the first.
    QVERIFY(!doc.value(QStringLiteral("a"), QStringLiteral("x")));
}

void TestIni::oddLines_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected"); // null QString: absent
    QTest::newRow("utf-8 byte order mark") << QByteArray("\xEF\xBB\xBF[s]\r\nk=v\r\n") << "s"
                                           << "k"
                                           << "v";
    QTest::newRow("header without bracket") << QByteArray("[s\nk=v\n") << "s"
                                            << "k"
                                            << "v";
    QTest::newRow("bracket inside the name") << QByteArray("[a]b]\nk=v\n") << "a]b"
                                             << "k"
                                             << "v";
    QTest::newRow("blanks inside brackets") << QByteArray("[ s ]\nk=v\n") << "s"
                                            << "k"
                                            << "v";
    QTest::newRow("line without equals sign") << QByteArray("[s]\njunk\nk=v\n") << "s"
                                              << "k"
                                              << "v";
    QTest::newRow("entry before any section") << QByteArray("k=v\n[s]\n") << "s"
                                              << "k" << QString();
    QTest::newRow("value ends at nul") << QByteArray("[s]\nk=ab\0cd\n", 12) << "s"
                                       << "k"
                                       << "ab";
    QTest::newRow("lone carriage returns") << QByteArray("[s]\rk=v\r") << "s"
                                           << "k"
                                           << "v";
    QTest::newRow("empty value") << QByteArray("[s]\nk=\n") << "s"
                                 << "k"
                                 << "";
    QTest::newRow("equals sign in value") << QByteArray("[s]\nk=a=b\n") << "s"
                                          << "k"
                                          << "a=b";
    QTest::newRow("language file style")
        << QByteArray("[lang]\r\n0124 = Text\t\t\r\n\0\0\0", 27) << "Lang"
        << "0124"
        << "Text";
}

void TestIni::oddLines() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const auto v = IniDocument::parse(bytes).value(section, key);
    if (expected.isNull())
        QVERIFY(!v);
    else
        QCOMPARE(v, expected);
}

void TestIni::writeKeepsUntouchedLines() {
    auto doc = IniDocument::parse("; comment\r\n[Optionen]\r\nSprache= 0\r\n\r\njunk line\r\n"
                                  "[Anna]\r\nUebung= 2\r\n");
    doc.setValue(QStringLiteral("optionen"), QStringLiteral("Sprache"), QStringLiteral(" 1000"));
    QCOMPARE(doc.toBytes(), QByteArray("; comment\r\n[Optionen]\r\nSprache= 1000\r\n\r\n"
                                       "junk line\r\n[Anna]\r\nUebung= 2\r\n"));
}

void TestIni::writeAddsKeyAtSectionEnd() {
    auto doc = IniDocument::parse("[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n");
    doc.setValue(QStringLiteral("a"), QStringLiteral("z"), QStringLiteral("3"));
    doc.setValue(QStringLiteral("c"), QStringLiteral("w"), QStringLiteral("4"));
    QCOMPARE(doc.toBytes(), QByteArray("[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\n[c]\r\nw=4\r\n"));
    IniDocument empty;
    empty.setValue(QStringLiteral("Optionen"), QStringLiteral("Sprache"), QStringLiteral(" 0"));
    QCOMPARE(empty.toBytes(), QByteArray("[Optionen]\r\nSprache= 0\r\n"));
}

void TestIni::removeKeyAndSection() {
    auto doc = IniDocument::parse("[Benutzer]\nName1=Anna\nName2=Bert\n[Bert]\nUebung= 1\n"
                                  "Hilfe= 1\n[Carla]\nUebung= 3\n[bert]\nUebung= 9\n");
    doc.removeKey(QStringLiteral("benutzer"), QStringLiteral("NAME2"));
    doc.removeSection(QStringLiteral("Bert"));
    QCOMPARE(doc.toBytes(), QByteArray("[Benutzer]\r\nName1=Anna\r\n[Carla]\r\nUebung= 3\r\n"));
    doc.removeKey(QStringLiteral("Nowhere"), QStringLiteral("x")); // nothing to do
    doc.removeSection(QStringLiteral("Nowhere"));
    QCOMPARE(doc.lines().size(), 4);
}

void TestIni::valuesCannotBreakLines() {
    IniDocument doc;
    doc.setValue(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("a\r\n[evil]\nb"));
    QCOMPARE(doc.lines().size(), 2);
    QCOMPARE(doc.value(QStringLiteral("s"), QStringLiteral("k")), u"a  [evil] b"_qs);
}

void TestIni::decodesUtf8AndWindows1252() {
    QCOMPARE(decodeTextFile("J\xC3\xB6rg"), u"Jörg"_qs);
    QCOMPARE(decodeTextFile("J\xF6rg"), u"Jörg"_qs); // not UTF-8: Windows-1252
    QCOMPARE(decodeTextFile("\x80\x95\xF7"), u"€•÷"_qs);
    const auto doc = IniDocument::parse("[Benutzer]\r\nName1=J\xF6rg\r\n");
    QCOMPARE(doc.value(QStringLiteral("Benutzer"), QStringLiteral("Name1")), u"Jörg"_qs);
    QCOMPARE(doc.toBytes(), QByteArray("[Benutzer]\r\nName1=J\xC3\xB6rg\r\n"));
}

void TestIni::cp1252RoundTrip() {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    QCOMPARE(toCp1252(fromCp1252(all)), all);
    QCOMPARE(toCp1252(u"Übung • ÷ ✓"_qs), QByteArray("\xDC"
                                                     "bung \x95 \xF7 ?"));
}

void TestIni::hugeAndRandomInputsStayWhole() {
    // A value of 100,000 characters and an endless line are read and written back whole.
    const QByteArray longValue(100000, 'x');
    auto doc = IniDocument::parse("[s]\nk=" + longValue + "\n" + QByteArray(300000, 'y'));
    QCOMPARE(doc.value(QStringLiteral("s"), QStringLiteral("k"))->size(), 100000);
    doc.setValue(QStringLiteral("s"), QStringLiteral("n"), QStringLiteral("1"));
    QVERIFY(IniDocument::parse(doc.toBytes()).lines().contains(QString(300000, 'y')));

    // Random bytes never break the reader, and whatever was readable survives a write.
    auto* rng = QRandomGenerator::global();
    for (int round = 0; round < 200; ++round) {
        QByteArray junk(static_cast<int>(rng->bounded(2000)), Qt::Uninitialized);
        for (char& c : junk)
            c = static_cast<char>(rng->bounded(256));
        const QByteArray bytes = junk + "\r\n[known]\r\nkey=value\r\n";
        auto d = IniDocument::parse(bytes);
        d.setValue(QStringLiteral("other"), QStringLiteral("k"), QStringLiteral("v"));
        const auto again = IniDocument::parse(d.toBytes());
        QCOMPARE(again.value(QStringLiteral("other"), QStringLiteral("k")), u"v"_qs);
        if (!junk.contains('['))
            QCOMPARE(again.value(QStringLiteral("known"), QStringLiteral("key")), u"value"_qs);
    }
}

void TestIni::indexAnswersAsTheDocument() {
    // Short sections are searched line by line, long ones through a key table: both must give
    // the first key of the first section, whatever the spelling, and nothing of a repeat.
    QByteArray text = "k=before\r\n[Short]\r\nk=1\r\nK = 2\r\n;c=3\r\n[long]\r\n";
    for (int i = 0; i < 60; ++i)
        text += "Key" + QByteArray::number(i % 40) + "=" + QByteArray::number(i) + "\r\n";
    text += "[LONG]\r\nkey0=hidden\r\nextra=hidden\r\n[short\r\nx= 4 \r\n[ next ]\r\nz\r\n";
    const auto doc = IniDocument::parse(text);
    const IniIndex index(doc);
    const QStringList sections = {u"short"_qs, u"SHORT"_qs, u"Long"_qs, u"next"_qs, u"none"_qs};
    QStringList keys = {u"k"_qs, u"K"_qs, u";c"_qs, u"x"_qs, u"extra"_qs, u"z"_qs, u""_qs};
    for (int i = 0; i < 45; ++i)
        keys << QStringLiteral("KEY%1").arg(i);
    for (const QString& section : sections) {
        for (const QString& key : keys)
            QCOMPARE(index.value(section, key), doc.value(section, key));
    }
    QCOMPARE(index.value(u"long"_qs, u"key3"_qs), u"3"_qs);
    QCOMPARE(index.value(u"Long"_qs, u"KEY39"_qs), u"39"_qs);
    QVERIFY(index.holdsExactly(u"short"_qs, u"K"_qs, u" 2"_qs) == false); // "k=1" comes first
    QVERIFY(index.holdsExactly(u"SHORT"_qs, u"k"_qs, u"1"_qs));
    QVERIFY(!index.holdsExactly(u"long"_qs, u"key1"_qs, u" 1"_qs));
    QVERIFY(index.holdsExactly(u"long"_qs, u"Key1"_qs, u"1"_qs));
}

QTEST_GUILESS_MAIN(TestIni)
#include "tst_ini.moc"
