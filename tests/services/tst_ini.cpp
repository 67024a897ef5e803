#include "services/codepage.h"
#include "services/ini.h"

#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
#include <ctime>

using namespace kalmix;

namespace {

// The settings file's rules written down the plain way, one line after the other: the first
// section of a name and its first key win, names match without regard to case. The document
// keeps an index to find its lines; its edits must leave exactly the lines this one does.
class PlainIni {
public:
    QStringList lines;

    std::optional<QString> value(const QString& section, const QString& key) const {
        const qsizetype i = findKey(findSection(section), key);
        QString v;
        if (i < 0 || !iniEntry(lines[i], nullptr, &v))
            return std::nullopt;
        return v;
    }
    void setValue(const QString& section, const QString& key, const QString& value) {
        const QString line = key + u'=' + value;
        const auto [header, end] = findSection(section);
        if (header < 0) {
            lines << u'[' + section + u']' << line;
            return;
        }
        const qsizetype i = findKey({header, end}, key);
        if (i >= 0) {
            lines[i] = line;
            return;
        }
        qsizetype at = end;
        while (at > header + 1 && std::all_of(lines[at - 1].begin(), lines[at - 1].end(),
                                              [](QChar c) { return c == u' ' || c == u'\t'; }))
            --at;
        lines.insert(at, line);
    }
    void removeKey(const QString& section, const QString& key) {
        auto range = findSection(section);
        for (qsizetype i; (i = findKey(range, key)) >= 0; --range.second)
            lines.removeAt(i);
    }
    void removeSection(const QString& section) {
        for (auto r = findSection(section); r.first >= 0; r = findSection(section))
            lines.remove(r.first, r.second - r.first);
    }

private:
    std::pair<qsizetype, qsizetype> findSection(const QString& section) const {
        QString name;
        qsizetype header = -1;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (!iniSectionName(lines[i], &name))
                continue;
            if (header >= 0)
                return {header, i};
            if (name.compare(section, Qt::CaseInsensitive) == 0)
                header = i;
        }
        return {header, header < 0 ? -1 : lines.size()};
    }
    qsizetype findKey(std::pair<qsizetype, qsizetype> range, const QString& key) const {
        QString k;
        for (qsizetype i = range.first + 1; range.first >= 0 && i < range.second; ++i) {
            if (iniEntry(lines[i], &k, nullptr) && k.compare(key, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }
};

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

} // namespace

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
    void editsKeepEveryByteAsALineByLineWriterWould();
    void savingALongListCostsInProportionToItsLength();
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

void TestIni::editsKeepEveryByteAsALineByLineWriterWould() {
    // Random edits of documents full of repeats, names in other letter case, blank and junk
    // lines, and sections long enough to get a key table: after every edit the document holds
    // the very lines the plain writer holds, and every lookup answers as it does.
    const QStringList sections = {u"a"_qs,    u"A"_qs,  u"B"_qs,   u"long"_qs,
                                  u"LONG"_qs, u" a"_qs, u"new"_qs, u"x]y"_qs};
    QStringList keys = {u"k"_qs, u"K"_qs, u"x"_qs, u" k"_qs, u"[k"_qs, u"a=b"_qs, u""_qs};
    for (int i = 0; i < 30; ++i)
        keys << QStringLiteral("Name%1").arg(i);
    const QStringList seeds = {u"[k=1"_qs,  u""_qs,       u"junk"_qs,  u"; note"_qs, u"[a]"_qs,
                               u"[ b ]"_qs, u"[long]"_qs, u"[Long"_qs, u"k=0"_qs,    u"x = 1 "_qs};
    QRandomGenerator seeded(20261210);
    auto* rng = &seeded;
    const auto pick = [rng](const QStringList& from) {
        return from[static_cast<qsizetype>(rng->bounded(static_cast<quint32>(from.size())))];
    };
    for (int round = 0; round < 300; ++round) {
        PlainIni plain;
        for (int i = static_cast<int>(rng->bounded(40)); i > 0; --i)
            plain.lines << (rng->bounded(3) == 0 ? pick(seeds) : pick(keys) + u'=' + pick(keys));
        plain.lines << u"[long]"_qs;
        for (int i = static_cast<int>(rng->bounded(60)); i > 0; --i)
            plain.lines << pick(keys) + u'=' + QString::number(i);
        IniDocument doc = IniDocument::fromText(plain.lines.join(u'\n'));
        QCOMPARE(doc.lines(), plain.lines);
        for (int step = 0; step < 40; ++step) {
            const QString section = pick(sections), key = pick(keys);
            const QString value = QString::number(step);
            switch (rng->bounded(6)) {
            case 0:
                doc.removeKey(section, key);
                plain.removeKey(section, key);
                break;
            case 1:
                doc.removeSection(section);
                plain.removeSection(section);
                break;
            default:
                doc.setValue(section, key, value);
                plain.setValue(section, key, value);
            }
            QCOMPARE(doc.lines(), plain.lines);
            const IniDocument copy = doc; // a copy carries its index along
            for (const QString& s : sections) {
                QCOMPARE(copy.value(s, key), plain.value(s, key));
                QCOMPARE(doc.value(s, u"Name1"_qs), plain.value(s, u"Name1"_qs));
            }
        }
    }
}

void TestIni::savingALongListCostsInProportionToItsLength() {
    // What deleting and adding a player does to the settings file: a player's section goes,
    // every later name moves up one place, the last name goes, and a new one is added. With
    // eight times as many players that must cost about eight times as much, not sixty-four.
    bool right = true;
    const auto work = [&right](int players) {
        QStringList text = {u"[Optionen]"_qs, u"Sprache= 0"_qs, u"[Benutzer]"_qs};
        for (int n = 1; n <= players; ++n)
            text << QStringLiteral("Name%1=Player %1").arg(n);
        text << u"aktiv=Player 1"_qs;
        for (int n = 1; n <= players; ++n)
            text << QStringLiteral("[Player %1]").arg(n) << u"Uebung= 2"_qs << u"Hilfe= 1"_qs;
        const IniDocument stored = IniDocument::fromText(text.join(u"\r\n"_qs));
        double best = 1e9;
        for (int run = 0; run < 5; ++run) {
            const double start = threadCpuMs();
            IniDocument doc = stored;
            doc.removeSection(QStringLiteral("Player %1").arg(players / 2));
            for (int n = players / 2; n < players; ++n)
                doc.setValue(u"Benutzer"_qs, QStringLiteral("Name%1").arg(n),
                             QStringLiteral("Player %1").arg(n + 1));
            doc.removeKey(u"Benutzer"_qs, QStringLiteral("Name%1").arg(players));
            for (int n = 1; n < players; ++n) // unchanged names are written again
                doc.setValue(u"Benutzer"_qs, QStringLiteral("Name%1").arg(n),
                             *doc.value(u"Benutzer"_qs, QStringLiteral("Name%1").arg(n)));
            doc.setValue(u"Benutzer"_qs, QStringLiteral("Name%1").arg(players), u"New"_qs);
            best = std::min(best, threadCpuMs() - start);
            right = right &&
                    doc.value(u"benutzer"_qs, QStringLiteral("name%1").arg(players)) == u"New"_qs;
        }
        return best;
    };
    const double small = work(500), large = work(4000);
    QVERIFY(right);
    qInfo("500 players: %.2f ms, 4000 players: %.2f ms", small, large);
    QVERIFY2(large < 24 * std::max(small, 0.05),
             qPrintable(QStringLiteral("%1 ms against %2 ms").arg(large).arg(small)));
}

QTEST_GUILESS_MAIN(TestIni)
#include "tst_ini.moc"
