#include "engine/practicelog.h"
#include "errors/fehlerwart.h"
#include "profiles/settingsfile.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/plaintext.h"
#include "services/procedure.h"
#include "services/resfiles.h"
#include "services/runtimeerror.h"
#include "support/testenv.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kalmix;
using namespace Qt::StringLiterals;
using kalmix::test::TestEnv;

namespace {

// A full disk, as the process sees it: no file may grow beyond `bytes`.
class DiskLimit {
public:
    explicit DiskLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending us
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~DiskLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files);
}

unsigned modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The process's umask while the object lives.
class Umask {
public:
    explicit Umask(mode_t mask) : m_old(::umask(mask)) {}
    ~Umask() { ::umask(m_old); }

private:
    mode_t m_old;
};

} // namespace

class TestFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { initResources(); }
    void fullDiskKeepsTheSettingsFile();
    void fullDiskKeepsThePracticeLogWhole();
    void fullDiskKeepsTheErrorLogWhole();
    void junkSettingsFiles_data();
    void junkSettingsFiles();
    void foreignEncodings_data();
    void foreignEncodings();
    void languageCopyOfAnotherUser();
    void nowhereToWriteTheLanguageCopy();
    void messageTextsArePlain();
    void filesOnlyTheirOwnerReads_data();
    void filesOnlyTheirOwnerReads();
    void settingsFileBehindALink();
};

void TestFaults::fullDiskKeepsTheSettingsFile() {
    TestEnv env;
    SaveIni(QStringLiteral("Optionen"), QStringLiteral("Sprache"), Str(1000));
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("Name1"), QStringLiteral("Anna"));
    const QByteArray before = env.readFile(QStringLiteral("Kalmix.ini"));
    {
        const DiskLimit full(before.size() + 20);
        SaveIni(QStringLiteral("Benutzer"), QStringLiteral("Name2"), QString(500, u'B'));
    }
    QCOMPARE(env.readFile(QStringLiteral("Kalmix.ini")), before);
    QCOMPARE(filesIn(env.dir()), QStringList{QStringLiteral("Kalmix.ini")}); // no leftovers
    QCOMPARE(GetIniString(QStringLiteral("Benutzer"), QStringLiteral("Name2"), {}), QString());
    QVERIFY(env.errors.isEmpty()); // no error dialog: one message says the file was not saved
    QCOMPARE(env.messages.size(), 1);
    // Once there is room again, writing works as before.
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("Name2"), QStringLiteral("Ben"));
    QCOMPARE(GetIniString(QStringLiteral("Benutzer"), QStringLiteral("Name2"), {}),
             QStringLiteral("Ben"));
}

void TestFaults::fullDiskKeepsThePracticeLogWhole() {
    TestEnv env;
    LogNr().open();
    LogNr().writeLine(QStringLiteral("15:11:20\t 4 + 3 = 7"));
    const QByteArray before = env.readFile(QStringLiteral("Kalmix_Log.txt"));
    {
        const DiskLimit full(before.size() + 10);
        QVERIFY_THROWS_EXCEPTION(RuntimeError,
                                 LogNr().writeLine(QStringLiteral("15:11:31\t 8 - 5 = 3")));
    }
    QCOMPARE(env.readFile(QStringLiteral("Kalmix_Log.txt")), before);
    // The next line reopens the log and is written whole.
    LogNr().writeLine(QStringLiteral("15:11:35\t 8 - 5 = 3"));
    QCOMPARE(env.readFile(QStringLiteral("Kalmix_Log.txt")),
             QByteArray(before + "15:11:35\t 8 - 5 = 3\r\n"));
    LogNr().close();
}

void TestFaults::fullDiskKeepsTheErrorLogWhole() {
    TestEnv env;
    auto& dlg = Fehlerwart::instance();
    const QByteArray start("an older protocol\r\n");
    env.writeFile(QStringLiteral("Kalmix.EPT"), start);
    {
        const DiskLimit full(start.size() + 100);
        QVERIFY(!dlg.AppendProtocolFile());
    }
    QCOMPARE(env.readFile(QStringLiteral("Kalmix.EPT")), start);
    QVERIFY(dlg.AppendProtocolFile());
    QVERIFY(env.readFile(QStringLiteral("Kalmix.EPT"))
                .startsWith(QByteArray(start + QByteArray(70, 0x2d))));
}

void TestFaults::junkSettingsFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QByteArray random(64 * 1024, Qt::Uninitialized);
    QRandomGenerator rng(7);
    for (char& c : random)
        c = static_cast<char>(rng.bounded(256));
    QTest::newRow("random bytes") << random;
    QTest::newRow("10 MB without a line end") << QByteArray(10 * 1024 * 1024, 'x');
    QByteArray lines;
    for (int i = 0; lines.size() < 10 * 1024 * 1024; ++i)
        lines += "[S" + QByteArray::number(i % 97) + "]\r\nk=" + QByteArray::number(i) + "\r\n";
    QTest::newRow("10 MB of sections") << lines;
}

void TestFaults::junkSettingsFiles() {
    QFETCH(QByteArray, bytes);
    TestEnv env;
    env.writeFile(QStringLiteral("Kalmix.ini"), bytes);
    QCOMPARE(GetIniInt(QStringLiteral("Optionen"), QStringLiteral("Sprache"), 7), 7);
    QCOMPARE(GetIniString(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), {}), QString());
    SaveIni(QStringLiteral("Optionen"), QStringLiteral("Sprache"), Str(2000));
    QCOMPARE(GetIniInt(QStringLiteral("Optionen"), QStringLiteral("Sprache"), 0), 2000);
    QVERIFY(env.errors.isEmpty());
}

void TestFaults::foreignEncodings_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("readable"); // false: the file must be left as it is
    const QString text = QStringLiteral("[Benutzer]\r\nName1=Zoë\r\nName2=Jörg\r\n");
    const auto utf16 = [&](bool little) {
        QByteArray b;
        for (QChar c : text) {
            const char hi = static_cast<char>(c.unicode() >> 8), lo = static_cast<char>(c.cell());
            b.append(little ? lo : hi).append(little ? hi : lo);
        }
        return b;
    };
    QTest::newRow("UTF-8 with one Windows-1252 line")
        << QByteArray("[Benutzer]\r\nName1=Zo\xC3\xAB\r\nName2=J\xF6rg\r\n") << true;
    QTest::newRow("UTF-16 LE with BOM") << QByteArray("\xFF\xFE" + utf16(true)) << true;
    QTest::newRow("UTF-16 BE with BOM") << QByteArray("\xFE\xFF" + utf16(false)) << true;
    QTest::newRow("UTF-16 LE without BOM") << utf16(true) << true;
    QTest::newRow("UTF-16 cut in a character")
        << QByteArray("\xFF\xFE" + utf16(true) + "\x41") << false;
}

// A settings file in another encoding keeps its players, through any number of writes.
void TestFaults::foreignEncodings() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, readable);
    TestEnv env;
    env.writeFile(QStringLiteral("Kalmix.ini"), bytes);
    SaveIni(QStringLiteral("Optionen"), QStringLiteral("Sprache"), Str(1000));
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("Name2"), QStringLiteral("Jörg"));
    if (!readable) {
        QCOMPARE(env.readFile(QStringLiteral("Kalmix.ini")), bytes);
        return;
    }
    QCOMPARE(GetIniString(QStringLiteral("Benutzer"), QStringLiteral("Name1"), {}), u"Zoë"_qs);
    QCOMPARE(GetIniString(QStringLiteral("Benutzer"), QStringLiteral("Name2"), {}), u"Jörg"_qs);
    QCOMPARE(GetIniInt(QStringLiteral("Optionen"), QStringLiteral("Sprache"), 0), 1000);
    QVERIFY(env.readFile(QStringLiteral("Kalmix.ini")).contains("Name1=Zo\xC3\xAB\r\n"));
}

// Another user of the machine left a copy with the very same bytes in the shared temporary
// directory, writable by others: Kalmix must not read its texts from a file someone else can
// rewrite.
void TestFaults::languageCopyOfAnotherUser() {
    TestEnv env;
    const QByteArray oldTemp = qgetenv("TMPDIR");
    QVERIFY(QDir(env.dir()).mkdir(QStringLiteral("tmp")));
    qputenv("TMPDIR", env.path(QStringLiteral("tmp")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", env.path(QStringLiteral("cache")).toLocal8Bit());
    const QString theirs = env.path(QStringLiteral("tmp/~tmp.lng"));
    env.writeFile(QStringLiteral("tmp/~tmp.lng"), loadResource(QStringLiteral("CUSTOM"), 1000));
    QVERIFY(::chmod(QFile::encodeName(theirs).constData(), 0666) == 0);
    if (::geteuid() == 0) // as the system user, the copy can belong to someone else indeed
        QVERIFY(::chown(QFile::encodeName(theirs).constData(), 65534, 65534) == 0);
    WriteLanguageCopy();
    struct stat st {};
    QVERIFY(::lstat(QFile::encodeName(LangDatei).constData(), &st) == 0);
    QCOMPARE(st.st_uid, ::geteuid());
    QCOMPARE(st.st_mode & (S_IWGRP | S_IWOTH), 0u);
    QCOMPARE(GetLang(1124), QStringLiteral("Really end game?"));
    QVERIFY(env.errors.isEmpty());
    qputenv("TMPDIR", oldTemp);
    qunsetenv("XDG_CACHE_HOME");
}

// No copy can be written anywhere: the failure is reported once, and every text still comes.
void TestFaults::nowhereToWriteTheLanguageCopy() {
    TestEnv env;
    const QByteArray oldTemp = qgetenv("TMPDIR");
    QVERIFY(QDir(env.dir()).mkpath(QStringLiteral("tmp/~tmp.lng"))); // a directory in the way
    env.writeFile(QStringLiteral("file"), "not a directory");
    qputenv("TMPDIR", env.path(QStringLiteral("tmp")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", env.path(QStringLiteral("file/cache")).toLocal8Bit());
    WriteLanguageCopy();
    QCOMPARE(env.errors.size(), 1);
    QCOMPARE(GetLang(1124), QStringLiteral("Really end game?"));
    QCOMPARE(GetLang(124), QStringLiteral("Wirklich schon aufhören?"));
    qputenv("TMPDIR", oldTemp);
    qunsetenv("XDG_CACHE_HOME");
    WriteLanguageCopy(); // the next copy is a file again
    QVERIFY(QFileInfo(LangDatei).isFile());
}

// A text that looks like markup is shown as it is written, never as a heading, link or picture.
void TestFaults::messageTextsArePlain() {
    TestEnv env;
    setMsgBoxHook(nullptr);
    Qt::TextFormat shown = Qt::AutoText;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->textFormat();
            box->accept();
        }
    });
    const QString markup = QStringLiteral("<h1>Hi</h1><img src=\"/etc/x.png\"><a href=\"x\">y</a>");
    MsgBox(markup);
    QCOMPARE(shown, Qt::PlainText);
    // Tool tips too.
    showToolTipsAsPlainText(*qApp);
    QWidget button;
    button.setToolTip(markup);
    button.show();
    QHelpEvent help(QEvent::ToolTip, QPoint(1, 1), button.mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(&button, &help);
    QCOMPARE(QToolTip::text(), Qt::convertFromPlainText(markup, Qt::WhiteSpaceNormal));
    QToolTip::hideText();
}

void TestFaults::filesOnlyTheirOwnerReads_data() {
    QTest::addColumn<unsigned>("mask");
    QTest::newRow("umask 022") << 022u;
    QTest::newRow("umask 077") << 077u;
}

// New files follow the umask; the settings file is the owner's alone while it holds the
// password's hash, and so is the practice log with the children's names and answers.
void TestFaults::filesOnlyTheirOwnerReads() {
    QFETCH(unsigned, mask);
    const Umask umask(mask);
    TestEnv env;
    SaveIni(u"Optionen"_s, u"Sprache"_s, Str(1000));
    QCOMPARE(modeOf(env.iniPath()), 0666u & ~mask);
    SaveIni(u"Optionen"_s, u"Passwort"_s, u"pbkdf2-sha256$1000$c2FsdA==$aGFzaA=="_s);
    QCOMPARE(modeOf(env.iniPath()), 0600u);
    SaveIni(u"Benutzer"_s, u"Name1"_s, u"Anna"_s);
    QCOMPARE(modeOf(env.iniPath()), 0600u);
    LogNr().open();
    LogNr().writeLine(u"15:11:20\t 4 + 3 = 7"_s);
    LogNr().close();
    QCOMPARE(modeOf(env.path(u"Kalmix_Log.txt"_s)), 0600u);

    // A file that an older Kalmix left readable by all loses that at the start.
    QVERIFY(::chmod(QFile::encodeName(env.iniPath()).constData(), 0644) == 0);
    keepPasswordPrivate();
    QCOMPARE(modeOf(env.iniPath()), 0600u);
    SaveIni(u"Optionen"_s, u"Passwort"_s, std::nullopt); // what it is now, it stays
    QCOMPARE(modeOf(env.iniPath()), 0600u);
    QVERIFY(env.messages.isEmpty() && env.errors.isEmpty());
}

// A settings file that is a link to a file elsewhere stays a link: the file it points to is
// rewritten and keeps its owner and permissions.
void TestFaults::settingsFileBehindALink() {
    TestEnv env;
    QVERIFY(QDir(env.dir()).mkdir(u"shared"_s));
    const QString real = env.path(u"shared/Kalmix.ini"_s);
    env.writeFile(u"shared/Kalmix.ini"_s, "[Optionen]\r\nSprache= 1000\r\n");
    const QByteArray realName = QFile::encodeName(real);
    QVERIFY(::chmod(realName.constData(), 0640) == 0);
    const bool root = ::geteuid() == 0; // only the system user can give a file away
    if (root)
        QVERIFY(::chown(realName.constData(), 4242, 4343) == 0);
    QVERIFY(::symlink("shared/Kalmix.ini", QFile::encodeName(env.iniPath()).constData()) == 0);
    SaveIni(u"Benutzer"_s, u"Name1"_s, u"Anna"_s);
    QVERIFY(QFileInfo(env.iniPath()).isSymLink());
    QVERIFY(env.readFile(u"shared/Kalmix.ini"_s).contains("Name1=Anna\r\n"));
    QCOMPARE(GetIniInt(u"Optionen"_s, u"Sprache"_s, 0), 1000);
    struct stat st {};
    QVERIFY(::stat(realName.constData(), &st) == 0);
    QCOMPARE(st.st_mode & 07777, 0640u);
    if (root) {
        QCOMPARE(st.st_uid, 4242u);
        QCOMPARE(st.st_gid, 4343u);
    }
    QCOMPARE(filesIn(env.path(u"shared"_s)), QStringList{u"Kalmix.ini"_s}); // no leftovers
    QVERIFY(env.messages.isEmpty() && env.errors.isEmpty());
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
