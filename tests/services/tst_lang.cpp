#include "profiles/languagechoice.h"
#include "profiles/settingsfile.h"
#include "services/codepage.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>

using namespace kalmix;
using kalmix::test::TestEnv;

namespace {

// The shipped language file as its entries: key -> text, in file order.
QList<QPair<QString, QString>> shippedEntries() {
    QList<QPair<QString, QString>> entries;
    const QByteArray bytes = loadResource(QStringLiteral("CUSTOM"), 1000);
    const QString text = fromCp1252(bytes.chopped(3));
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    for (const QString& line : lines.mid(1)) {
        if (line.isEmpty())
            continue;
        entries.append({line.left(4), line.mid(7)});
    }
    return entries;
}

// Text numbers every language holds.
// clang-format off
const QList<int> kNumbers = {
    102, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122,
    123, 124, 125, 126, 127, 128, 129, 130, 131, 132, 133, 134, 136, 137, 138, 143, 145, 146, 147,
    148, 149, 150, 151, 152, 153, 154, 155, 156, 158, 159, 160, 161, 162, 163, 164, 166, 167, 168,
    169, 170, 171, 172, 173, 174, 175, 176, 177, 178, 179, 181, 182, 183, 184, 185, 186, 187, 188,
    190, 191, 192, 201, 202, 203, 204, 205, 210, 211, 212, 213, 215, 216, 225, 235, 240, 241, 250,
    251, 252, 253, 254, 255, 256, 260, 261, 262, 270, 271, 272, 273, 290, 291, 292, 300, 301, 302,
    303, 304, 305, 306, 307, 308, 309, 311, 312, 313, 314, 315, 316, 317, 318, 319, 320, 321, 322,
    323, 324, 325, 326, 327, 328, 329, 330, 331, 332, 333, 334, 335, 336, 337, 338, 339, 340, 341,
    342, 343, 344, 345, 348, 350, 351, 352, 353, 354, 355, 356, 357, 360, 370, 371, 372, 380, 381, 382, 385, 386, 387, 388, 389, 390, 395, 400, 401, 402, 410, 411, 412, 413, 414, 415, 416, 417, 418, 419, 420, 421, 430, 431, 432, 433, 434, 435, 436, 437, 438, 439, 440, 441, 442, 443, 445, 446, 447};
} // namespace

class TestLang : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { initResources(); }
    void languageFileFormat();
    void everyTextInEveryLanguage();
    void fixedWordings();
    void getLangReadsTheCopy();
    void getLangEdgeCases();
    void localeIdentifiers_data();
    void localeIdentifiers();
    void startLanguage();
    void languageCopyInTheWay();
    void countsInEveryLanguage();
    void countFormsShowTheirNumber();
};

void TestLang::languageFileFormat() {
    const QByteArray bytes = loadResource(QStringLiteral("CUSTOM"), 1000);
    QVERIFY(bytes.startsWith("[lang]\r\n"));
    QVERIFY(bytes.endsWith(QByteArray("\r\n\0\0\0", 5)));
    const QByteArray body = bytes.chopped(3);
    QVERIFY(!body.contains('\0'));
    QCOMPARE(body.count("\r\n"), body.count('\n')); // every line ends in CR LF
    QCOMPARE(body.count('\r'), body.count('\n'));
    // Windows-1252, not UTF-8: the German umlauts are single bytes.
    QVERIFY(bytes.contains("0124 = Wirklich schon aufh\xF6ren?\r\n"));
    static const QRegularExpression entry(QStringLiteral("^[0-6]\\d{3} = \\S.*$"));
    const auto entries = shippedEntries();
    QStringList order;
    for (const auto& [key, text] : entries) {
        QVERIFY2(entry.match(key + QStringLiteral(" = ") + text).hasMatch(), qPrintable(key));
        order.append(key.mid(1) + key.left(1)); // text number first, then language
    }
    QStringList sorted = order;
    std::stable_sort(sorted.begin(), sorted.end());
    QCOMPARE(order, sorted);
}

void TestLang::everyTextInEveryLanguage() {
    QMap<QString, QStringList> texts;
    for (const auto& [key, text] : shippedEntries())
        texts[key].append(text);
    for (int nr : kNumbers) {
        for (int lang = 0; lang < 7; ++lang) {
            const QString key = QStringLiteral("%1%2").arg(lang).arg(nr);
            const bool expected = !(lang == 3 && (nr == 129 || nr == 130));
            QVERIFY2(texts.contains(key) == expected, qPrintable(key));
            if (!expected)
                continue;
            const QString english = texts.value(QStringLiteral("1%1").arg(nr)).first();
            const QString text = texts.value(key).first();
            // An access key wherever the English has one, on a letter.
            QCOMPARE(text.count(u'&'), english.count(u'&'));
            const qsizetype amp = text.indexOf(u'&');
            if (amp >= 0)
                QVERIFY2(text.at(amp + 1).isLetter(), qPrintable(key));
        }
    }
    QCOMPARE(texts.value(QStringLiteral("1147")),
             (QStringList{QStringLiteral("Settings..."), QStringLiteral("Settings ...")}));
    QCOMPARE(texts.size(), kNumbers.size() * 7 - 2);
}

void TestLang::fixedWordings() {
    QMap<QString, QString> t;
    for (const auto& [key, text] : shippedEntries())
        t.insert(key, text); // later duplicates do not matter here
    QCOMPARE(t.value(QStringLiteral("3102")), u"Per altre informazioni vedi readme.txt!"_qs);
    QCOMPARE(t.value(QStringLiteral("0183")), u"•"_qs);
    QCOMPARE(t.value(QStringLiteral("1184")), u"÷"_qs);
    QCOMPARE(t.value(QStringLiteral("0188")), u"Mutliplikation   + Division"_qs);
    QCOMPARE(t.value(QStringLiteral("1188")), u"Multiplication  + Division"_qs);
    for (int lang = 0; lang < 7; ++lang) {
        const QString d = QString::number(lang);
        QVERIFY(t.value(d + QStringLiteral("122")).contains(QStringLiteral("Orbelt")));
        QVERIFY2(t.value(d + QStringLiteral("169")).endsWith(QStringLiteral("   >")),
                 qPrintable(d));
        QVERIFY(!t.value(d + QStringLiteral("169")).endsWith(QStringLiteral("    >")));
        QVERIFY(t.value(d + QStringLiteral("170")).startsWith(QStringLiteral("<   ")));
        QVERIFY(!t.value(d + QStringLiteral("170")).startsWith(QStringLiteral("<    ")));
        if (lang > 0)
            QVERIFY(t.value(d + QStringLiteral("188")).contains(QStringLiteral("  +")));
    }
}

void TestLang::getLangReadsTheCopy() {
    TestEnv env;
    WriteLanguageCopy();
    QCOMPARE(LangDatei, GetTempDir() + QStringLiteral("~tmp.lng"));
    QFile copy(LangDatei);
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), loadResource(QStringLiteral("CUSTOM"), 1000));

    SprachBasis = 0;
    QCOMPARE(GetLang(SprachBasis + 124), u"Wirklich schon aufhören?"_qs);
    SprachBasis = 1000;
    QCOMPARE(GetLang(SprachBasis + 124), u"Really end game?"_qs);
    QCOMPARE(GetLang(SprachBasis + 147), u"Settings..."_qs);
    QCOMPARE(GetLang(SprachBasis + 169), u"&Next   >"_qs);
    SprachBasis = 3000;
    QCOMPARE(GetLang(SprachBasis + 129), QString());
    QCOMPARE(GetLang(SprachBasis + 102), u"Per altre informazioni vedi readme.txt!"_qs);
    SprachBasis = 0;
    QCOMPARE(GetLang(183), u"•"_qs);
    QCOMPARE(GetLang(105), u"Wieviele sind es?"_qs);
    for (int lang = 2; lang < 7; ++lang)
        QVERIFY(!GetLang(static_cast<std::int16_t>(lang * 1000 + 124)).isEmpty());
    QVERIFY(env.errors.isEmpty());
}

void TestLang::getLangEdgeCases() {
    TestEnv env;
    LangDatei = env.path(QStringLiteral("test.lng"));
    env.writeFile(QStringLiteral("test.lng"),
                  "[lang]\r\n0105 = mit Tab\t\t\r\n0106 = " + QByteArray(300, 'z') + "\r\n");
    QCOMPARE(GetLang(105), u"mit Tab"_qs);
    QCOMPARE(GetLang(106).size(), 254);
    QCOMPARE(GetLang(107), QString());
    LangDatei = env.path(QStringLiteral("missing.lng"));
    QCOMPARE(GetLang(105), QString());
    QVERIFY(env.errors.isEmpty());
}

void TestLang::localeIdentifiers_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("id");
    QTest::newRow("German, Germany") << "de_DE"
                                     << "0407";
    QTest::newRow("German, Austria") << "de_AT"
                                     << "0C07";
    QTest::newRow("German, Switzerland") << "de_CH"
                                         << "0807";
    QTest::newRow("English, USA") << "en_US"
                                  << "0409";
    QTest::newRow("English, UK") << "en_GB"
                                 << "0809";
    QTest::newRow("Swedish") << "sv_SE"
                             << "041D";
    QTest::newRow("French, France") << "fr_FR"
                                    << "040C";
    QTest::newRow("C locale") << "C"
                              << "0409";
}

void TestLang::localeIdentifiers() {
    QFETCH(QString, locale);
    QFETCH(QString, id);
    QCOMPARE(localeLanguageId(QLocale(locale)), id);
}

void TestLang::startLanguage() {
    TestEnv env;
    QLocale locale(QStringLiteral("de_DE"));
    setSystemLocaleForTesting([&locale] { return locale; });
    QVERIFY(isFirstStart());
    QCOMPARE(kalmix::startLanguage(), 0);
    locale = QLocale(QStringLiteral("de_AT")); // only Germany's identifier chooses German
    QCOMPARE(kalmix::startLanguage(), 1000);
    locale = QLocale(QStringLiteral("en_US"));
    QCOMPARE(kalmix::startLanguage(), 1000);
    // Once "Sprache" is stored, it rules whatever the locale.
    SaveIni(QStringLiteral("Optionen"), QStringLiteral("Sprache"), Str(2000));
    QVERIFY(!isFirstStart());
    QCOMPARE(kalmix::startLanguage(), 2000);
    locale = QLocale(QStringLiteral("de_DE"));
    QCOMPARE(kalmix::startLanguage(), 2000);
    // Other settings alone do not end the first start.
    TestEnv fresh;
    SaveIni(QStringLiteral("Optionen"), QStringLiteral("PlaySound"), Str(-1));
    QVERIFY(isFirstStart());
    setSystemLocaleForTesting(nullptr);
}

void TestLang::languageCopyInTheWay() {
    TestEnv env;
    const QByteArray oldTemp = qgetenv("TMPDIR");
    QDir(env.dir()).mkpath(QStringLiteral("tmp/~tmp.lng")); // a directory where the copy goes
    qputenv("TMPDIR", env.path(QStringLiteral("tmp")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", env.path(QStringLiteral("cache")).toLocal8Bit());
    WriteLanguageCopy();
    QVERIFY(env.errors.isEmpty());
    QVERIFY(!LangDatei.startsWith(env.path(QStringLiteral("tmp"))));
    SprachBasis = 1000;
    QCOMPARE(GetLang(1124), QStringLiteral("Really end game?"));
    // A copy that is already there with the right bytes is used as it is, even read-only.
    QDir(env.path(QStringLiteral("tmp"))).rmdir(QStringLiteral("~tmp.lng"));
    QFile copy(env.path(QStringLiteral("tmp/~tmp.lng")));
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write(loadResource(QStringLiteral("CUSTOM"), 1000));
    copy.close();
    copy.setPermissions(QFile::ReadOwner | QFile::ReadOther);
    WriteLanguageCopy();
    QCOMPARE(LangDatei, env.path(QStringLiteral("tmp/~tmp.lng")));
    QVERIFY(env.errors.isEmpty());
    qputenv("TMPDIR", oldTemp);
    qunsetenv("XDG_CACHE_HOME");
}

// The texts that show a count, for 0, 1, 2, 5 and 21 in every language: one thing takes the
// form for one (and in French so does none), 21 is as plural as 5.
void TestLang::countsInEveryLanguage() {
    TestEnv env;
    WriteLanguageCopy();
    const QList<qint64> counts = {0, 1, 2, 5, 21};
    struct Row {
        int lang, nr;
        QStringList texts; // for the counts above
    };
    // clang-format off
    const QList<Row> rows = {
        {0, 400, {u"0-mal"_qs, u"einmal"_qs, u"2-mal"_qs, u"5-mal"_qs, u"21-mal"_qs}},
        {1, 400, {u"0 times"_qs, u"once"_qs, u"2 times"_qs, u"5 times"_qs, u"21 times"_qs}},
        {2, 400, {u"0 gånger"_qs, u"en gång"_qs, u"2 gånger"_qs, u"5 gånger"_qs, u"21 gånger"_qs}},
        {3, 400, {u"0 volte"_qs, u"una volta"_qs, u"2 volte"_qs, u"5 volte"_qs, u"21 volte"_qs}},
        {4, 400, {u"0 veces"_qs, u"una vez"_qs, u"2 veces"_qs, u"5 veces"_qs, u"21 veces"_qs}},
        {5, 400, {u"0 ganger"_qs, u"én gang"_qs, u"2 ganger"_qs, u"5 ganger"_qs, u"21 ganger"_qs}},
        {6, 400, {u"0 fois"_qs, u"1 fois"_qs, u"2 fois"_qs, u"5 fois"_qs, u"21 fois"_qs}},
        {0, 256, {u"0 von 3 Sternen"_qs, u"1 von 3 Sternen"_qs, u"2 von 3 Sternen"_qs,
                  u"5 von 3 Sternen"_qs, u"21 von 3 Sternen"_qs}},
        {3, 256, {u"0 stelle su 3"_qs, u"1 stella su 3"_qs, u"2 stelle su 3"_qs,
                  u"5 stelle su 3"_qs, u"21 stelle su 3"_qs}},
        {6, 256, {u"0 étoile sur 3"_qs, u"1 étoile sur 3"_qs, u"2 étoiles sur 3"_qs,
                  u"5 étoiles sur 3"_qs, u"21 étoiles sur 3"_qs}},
        {0, 401, {u"0 Runden"_qs, u"1 Runde"_qs, u"2 Runden"_qs, u"5 Runden"_qs, u"21 Runden"_qs}},
        {1, 401, {u"0 rounds"_qs, u"1 round"_qs, u"2 rounds"_qs, u"5 rounds"_qs, u"21 rounds"_qs}},
        {2, 401, {u"0 omgångar"_qs, u"1 omgång"_qs, u"2 omgångar"_qs, u"5 omgångar"_qs,
                  u"21 omgångar"_qs}},
        {3, 401, {u"0 partite"_qs, u"1 partita"_qs, u"2 partite"_qs, u"5 partite"_qs,
                  u"21 partite"_qs}},
        {4, 401, {u"0 partidas"_qs, u"1 partida"_qs, u"2 partidas"_qs, u"5 partidas"_qs,
                  u"21 partidas"_qs}},
        {5, 401, {u"0 runder"_qs, u"1 runde"_qs, u"2 runder"_qs, u"5 runder"_qs, u"21 runder"_qs}},
        {6, 401, {u"0 partie"_qs, u"1 partie"_qs, u"2 parties"_qs, u"5 parties"_qs,
                  u"21 parties"_qs}},
        {0, 402, {u"0 Antworten"_qs, u"1 Antwort"_qs, u"2 Antworten"_qs, u"5 Antworten"_qs,
                  u"21 Antworten"_qs}},
        {1, 402, {u"0 answers"_qs, u"1 answer"_qs, u"2 answers"_qs, u"5 answers"_qs,
                  u"21 answers"_qs}},
        {2, 402, {u"0 svar"_qs, u"1 svar"_qs, u"2 svar"_qs, u"5 svar"_qs, u"21 svar"_qs}},
        {3, 402, {u"0 risposte"_qs, u"1 risposta"_qs, u"2 risposte"_qs, u"5 risposte"_qs,
                  u"21 risposte"_qs}},
        {4, 402, {u"0 respuestas"_qs, u"1 respuesta"_qs, u"2 respuestas"_qs, u"5 respuestas"_qs,
                  u"21 respuestas"_qs}},
        {5, 402, {u"0 svar"_qs, u"1 svar"_qs, u"2 svar"_qs, u"5 svar"_qs, u"21 svar"_qs}},
        {6, 402, {u"0 réponse"_qs, u"1 réponse"_qs, u"2 réponses"_qs, u"5 réponses"_qs,
                  u"21 réponses"_qs}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SprachBasis = static_cast<std::int16_t>(row.lang * 1000);
        for (int i = 0; i < counts.size(); ++i)
            QCOMPARE(langCount(row.nr, counts[i]), row.texts[i]);
    }
    // The tooltip of a fact in the report: two counts in one sentence.
    SprachBasis = 1000;
    QCOMPARE(langText(336).arg(u"7 x 8 = 56"_qs, langCount(400, 1), langCount(400, 0)),
             u"7 x 8 = 56: asked once, right first time 0 times"_qs);
    // The merge's result: rounds and answers, and the rows left out.
    QCOMPARE(langText(338).arg(langCount(401, 1), langCount(402, 2)),
             u"1 round and 2 answers were added."_qs);
    QCOMPARE(langCount(385, 1),
             u"1 row of the file held values that Kalmix never writes and was left out."_qs);
    SprachBasis = 0;
    QVERIFY(env.errors.isEmpty());
}

// A text with a form for one and a form for several never leaves a count out where one thing
// is more than the number 1: French counts none with one, so its forms must show the number.
void TestLang::countFormsShowTheirNumber() {
    for (const auto& [key, text] : shippedEntries()) {
        if (!text.contains(u'|'))
            continue;
        const QStringList forms = text.split(u'|');
        QCOMPARE(forms.size(), 2);
        QVERIFY2(forms[1].contains(QStringLiteral("%1")), qPrintable(key));
        if (key.startsWith(u'6'))
            QVERIFY2(forms[0].contains(QStringLiteral("%1")), qPrintable(key));
    }
}

QTEST_GUILESS_MAIN(TestLang)
#include "tst_lang.moc"
