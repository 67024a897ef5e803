#include "profiles/settingsfile.h"
#include "services/runtimeerror.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <optional>
#include <unistd.h>

using namespace kalmix;
using kalmix::test::TestEnv;

namespace {
const QString kOpt = QStringLiteral("Optionen");
const QString kSprache = QStringLiteral("Sprache");
} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void noFileGivesDefaults();
    void firstWriteCreatesTheFile();
    void numbersKeepTheirLeadingBlank();
    void getIniInt_data();
    void getIniInt();
    void overflowGoesThroughTheHandler();
    void longTextsAreCutTo254();
    void nullKeyAndNullValueDelete();
    void windows1252FileReadsAndSurvivesAWrite();
    void readOnlyFileIsLeftAlone();
    void unreadableFileIsNeverReplaced();
    void failedWriteLeavesOldFile();
    void everyReadSeesTheFileAsItIs();
    void aBatchWritesItsChangesOnce();
};

void TestSettings::noFileGivesDefaults() {
    TestEnv env;
    QCOMPARE(GetIniInt(kOpt, kSprache, 0), 0);
    QCOMPARE(GetIniInt(kOpt, QStringLiteral("PlaySound"), -1), -1);
    QCOMPARE(GetIniString(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), {}), QString());
    QCOMPARE(GetIniString(QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("ab  ")),
             u"ab"_qs);
    QCOMPARE(GetIniString(QStringLiteral("x"), QStringLiteral("y"), QString(255, u' ')), QString());
    QVERIFY(!QFile::exists(env.iniPath()));
    QVERIFY(env.errors.isEmpty());
}

void TestSettings::firstWriteCreatesTheFile() {
    TestEnv env;
    QCOMPARE(iniFilePath(), env.iniPath());
    SaveIni(kOpt, kSprache, QStringLiteral(" 1000"));
    QCOMPARE(env.readFile(QStringLiteral("Kalmix.ini")),
             QByteArray("[Optionen]\r\nSprache= 1000\r\n"));
    SaveIni(kOpt, QStringLiteral("PlaySound"), Str(-1));
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("Name1"), QStringLiteral("Anna"));
    QCOMPARE(
        env.readFile(QStringLiteral("Kalmix.ini")),
        QByteArray("[Optionen]\r\nSprache= 1000\r\nPlaySound=-1\r\n[Benutzer]\r\nName1=Anna\r\n"));
    // No temporary file is left beside it.
    QCOMPARE(QDir(env.dir()).entryList(QDir::Files), QStringList{QStringLiteral("Kalmix.ini")});
}

void TestSettings::numbersKeepTheirLeadingBlank() {
    TestEnv env;
    QCOMPARE(Str(1000), u" 1000"_qs);
    QCOMPARE(Str(0), u" 0"_qs);
    QCOMPARE(Str(-1), u"-1"_qs);
    SaveIni(kOpt, kSprache, Str(1000));
    QCOMPARE(GetIniInt(kOpt, kSprache, 0), 1000);
    QCOMPARE(GetIniString(kOpt, kSprache, {}), u"1000"_qs);
}

void TestSettings::getIniInt_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("minus one") << QByteArray("-1") << -1;
    QTest::newRow("leading blank") << QByteArray(" 42") << 42;
    QTest::newRow("plus sign") << QByteArray("+7") << 7;
    QTest::newRow("stops at first non-digit") << QByteArray("12abc") << 12;
    QTest::newRow("no digits") << QByteArray("abc") << 0;
    QTest::newRow("empty value gives default") << QByteArray("") << 99;
    QTest::newRow("upper limit") << QByteArray("32767") << 32767;
    QTest::newRow("lower limit") << QByteArray("-32768") << -32768;
}

void TestSettings::getIniInt() {
    QFETCH(QByteArray, stored);
    QFETCH(int, expected);
    TestEnv env;
    env.writeFile(QStringLiteral("Kalmix.ini"), "[Optionen]\r\nSprache=" + stored + "\r\n");
    QCOMPARE(int(GetIniInt(kOpt, kSprache, 99)), expected);
    QVERIFY(env.errors.isEmpty());
}

void TestSettings::overflowGoesThroughTheHandler() {
    for (const QByteArray& stored :
         {QByteArray("40000"), QByteArray("-32769"), QByteArray("99999999999999999999999")}) {
        TestEnv env;
        env.writeFile(QStringLiteral("Kalmix.ini"), "[Optionen]\r\nSprache=" + stored + "\r\n");
        QCOMPARE(GetIniInt(kOpt, kSprache, 5), 0); // left: the function's default
        QCOMPARE(env.errors.size(), 1);
        QCOMPARE(env.errors[0].module, u"Allgemein"_qs);
        QCOMPARE(env.errors[0].procedure, u"GetIniInt"_qs);
        QCOMPARE(env.errors[0].number, ErrNr::Overflow);
        QCOMPARE(env.errors[0].line, 1);
    }
    // A default outside the range overflows too.
    TestEnv env;
    GetIniInt(kOpt, kSprache, 70000);
    QCOMPARE(env.errors.size(), 1);
}

void TestSettings::longTextsAreCutTo254() {
    TestEnv env;
    const QString text(300, u'a');
    SaveIni(QStringLiteral("s"), QStringLiteral("k"), text);
    QCOMPARE(GetIniString(QStringLiteral("s"), QStringLiteral("k"), {}), text.left(254));
    QCOMPARE(GetIniString(QStringLiteral("s"), QStringLiteral("none"), text), text.left(254));
    // The file keeps the whole text.
    QVERIFY(env.readFile(QStringLiteral("Kalmix.ini")).contains(QByteArray(300, 'a')));
}

void TestSettings::nullKeyAndNullValueDelete() {
    TestEnv env;
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("Name1"), QStringLiteral("Anna"));
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("Name2"), QStringLiteral("Bert"));
    SaveIni(QStringLiteral("Bert"), QStringLiteral("Uebung"), Str(2));
    SaveIni(QStringLiteral("Bert"), QStringLiteral("MaxSum"), Str(20));
    // The empty text is a value like any other.
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), QString());
    QCOMPARE(GetIniString(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), QStringLiteral("x")),
             QString());

    SaveIni(QStringLiteral("Bert"), std::nullopt, std::nullopt);
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("Name2"), std::nullopt);
    QCOMPARE(GetIniInt(QStringLiteral("Bert"), QStringLiteral("Uebung"), 7), 7);
    QCOMPARE(GetIniString(QStringLiteral("Benutzer"), QStringLiteral("Name2"), {}), QString());
    QCOMPARE(env.readFile(QStringLiteral("Kalmix.ini")),
             QByteArray("[Benutzer]\r\nName1=Anna\r\naktiv=\r\n"));
}

void TestSettings::windows1252FileReadsAndSurvivesAWrite() {
    TestEnv env;
    env.writeFile(QStringLiteral("Kalmix.ini"),
                  "[Benutzer]\r\nName1=J\xF6rg\r\nName2=Ren\xE9\r\n[J\xF6rg]\r\nUebung= 4\r\n"
                  "broken line\r\n[Ren\xE9\r\nUebung= 5\r\n");
    QCOMPARE(GetIniString(QStringLiteral("Benutzer"), QStringLiteral("Name1"), {}), u"Jörg"_qs);
    QCOMPARE(GetIniInt(QStringLiteral("jÖrg"), QStringLiteral("Uebung"), 0), 4);
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), QStringLiteral("René"));
    QCOMPARE(GetIniString(QStringLiteral("Benutzer"), QStringLiteral("Name2"), {}), u"René"_qs);
    QCOMPARE(GetIniInt(QStringLiteral("Jörg"), QStringLiteral("Uebung"), 0), 4);
    QCOMPARE(GetIniInt(QStringLiteral("René"), QStringLiteral("Uebung"), 0), 5);
    QVERIFY(env.readFile(QStringLiteral("Kalmix.ini")).contains("broken line"));
}

void TestSettings::readOnlyFileIsLeftAlone() {
    if (::geteuid() == 0)
        QSKIP("root writes read-only files");
    TestEnv env;
    const QByteArray before("[Optionen]\r\nSprache= 0\r\n");
    env.writeFile(QStringLiteral("Kalmix.ini"), before);
    QFile::setPermissions(env.iniPath(), QFile::ReadOwner);
    SaveIni(kOpt, kSprache, Str(1000));
    QCOMPARE(env.readFile(QStringLiteral("Kalmix.ini")), before);
    QVERIFY(env.errors.isEmpty()); // said in a message box, never as an error dialog
}

void TestSettings::unreadableFileIsNeverReplaced() {
    TestEnv env;
    // A directory where the file should be cannot be read as a file.
    QDir(env.dir()).mkdir(QStringLiteral("Kalmix.ini"));
    SaveIni(kOpt, kSprache, Str(1000));
    QVERIFY(QFileInfo(env.iniPath()).isDir());
    QCOMPARE(GetIniInt(kOpt, kSprache, 3), 3);
}

void TestSettings::failedWriteLeavesOldFile() {
    // The target path is in a directory that does not exist: the write fails, nothing appears.
    QVERIFY(!profileWrite(QStringLiteral("/nonexistent-kalmix-dir/Kalmix.ini"), kOpt, kSprache,
                          QStringLiteral("1")));
    TestEnv env;
    env.writeFile(QStringLiteral("Kalmix.ini"), "[Optionen]\r\nSprache= 0\r\n");
    // Writing the same value again leaves the file untouched (not even rewritten).
    const QDateTime before = QFileInfo(env.iniPath()).lastModified();
    QVERIFY(profileWrite(env.iniPath(), kOpt, kSprache, QStringLiteral(" 0")));
    QCOMPARE(QFileInfo(env.iniPath()).lastModified(), before);
}

void TestSettings::everyReadSeesTheFileAsItIs() {
    TestEnv env;
    // Rewritten in place, at once and with the same length: the next read must not give the
    // old value, however coarse the file times are.
    for (int round = 0; round < 20; ++round) {
        const QByteArray value = QByteArray::number(1000 + round);
        env.writeFile(QStringLiteral("Kalmix.ini"), "[Optionen]\r\nSprache=" + value + "\r\n");
        QCOMPARE(GetIniString(kOpt, kSprache, {}), QString::fromLatin1(value));
    }
    // Storing again what reads the same but is written differently does change the file.
    env.writeFile(QStringLiteral("Kalmix.ini"), "[Optionen]\r\nSprache=1000\r\n");
    QCOMPARE(GetIniInt(kOpt, kSprache, 0), 1000);
    SaveIni(kOpt, kSprache, Str(1000));
    QCOMPARE(env.readFile(QStringLiteral("Kalmix.ini")),
             QByteArray("[Optionen]\r\nSprache= 1000\r\n"));
    SaveIni(kOpt, QStringLiteral("SPRACHE"), Str(1000)); // another spelling of the key
    QCOMPARE(env.readFile(QStringLiteral("Kalmix.ini")),
             QByteArray("[Optionen]\r\nSPRACHE= 1000\r\n"));
    QFile::remove(env.iniPath());
    QCOMPARE(GetIniInt(kOpt, kSprache, 7), 7);
    // Duplicate sections and keys: the first one wins, as the file reads from the top.
    env.writeFile(QStringLiteral("Kalmix.ini"), "[a]\r\nk=1\r\nk=2\r\n[A]\r\nk=3\r\nx=4\r\n");
    QCOMPARE(GetIniInt(QStringLiteral("A"), QStringLiteral("K"), 0), 1);
    QCOMPARE(GetIniInt(QStringLiteral("a"), QStringLiteral("x"), 0), 0);
}

// A player added or deleted is one change: the list and the profile are written together,
// once, when the batch ends; meanwhile every read sees them, and the file is the old one.
void TestSettings::aBatchWritesItsChangesOnce() {
    TestEnv env;
    const QByteArray before("[Optionen]\r\nSprache= 0\r\n[Benutzer]\r\nName1=Anna\r\n");
    env.writeFile(QStringLiteral("Kalmix.ini"), before);
    {
        const SettingsBatch together;
        SaveIniList(u"Benutzer"_qs, u"Name"_qs, {u"Anna"_qs, u"Ben"_qs});
        {
            const SettingsBatch inner; // ends without writing: the outer one writes
            SaveIni(u"Ben"_qs, u"Uebung"_qs, Str(2));
        }
        SaveIni(kOpt, kSprache, std::nullopt);
        QCOMPARE(GetIniList(u"Benutzer"_qs, u"Name"_qs), (QStringList{u"Anna"_qs, u"Ben"_qs}));
        QCOMPARE(GetIniInt(u"ben"_qs, u"UEBUNG"_qs, 0), 2);
        QCOMPARE(GetIniInt(kOpt, kSprache, 7), 7);
        QCOMPARE(env.readFile(QStringLiteral("Kalmix.ini")), before);
    }
    QCOMPARE(env.readFile(QStringLiteral("Kalmix.ini")),
             QByteArray("[Optionen]\r\n[Benutzer]\r\nName1=Anna\r\nName2=Ben\r\n"
                        "[Ben]\r\nUebung= 2\r\n"));
    QVERIFY(env.messages.isEmpty());
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
