// Writes that fail in the middle of a run are said once, in the current language, and never
// pass for success.
#include "engine/gamefixture.h"
#include "profiles/settingsfile.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "settings/frmuebung.h"

#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace kalmix;
using namespace kalmix::test;

namespace {

// The program directory made read-only, for root too: the override of file permissions is
// taken from this thread's effective capabilities while the object lives.
class ReadOnlyDir {
public:
    explicit ReadOnlyDir(const QString& dir) : m_dir(dir) {
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        syscall(SYS_capget, &m_header, m_caps);
        __user_cap_data_struct dropped[2] = {m_caps[0], m_caps[1]};
        dropped[0].effective &= ~((1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &m_header, dropped);
    }
    ~ReadOnlyDir() {
        syscall(SYS_capset, &m_header, m_caps);
        QFile::setPermissions(m_dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private:
    QString m_dir;
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_caps[2]{};
};

} // namespace

class TestFailedWrites : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        initResources();
        WriteLanguageCopy();
    }
    void okWithReadOnlyDirectory();
    void logReplacedByDirectoryMidGame();
    void fileSizeLimitEndsNothing();
};

// A player added while the program directory is read-only: OK closes the window (the settings
// hold for this run) and says once that they could not be saved; the file stays whole.
void TestFailedWrites::okWithReadOnlyDirectory() {
    TestEnv env;
    env.writeFile(QStringLiteral("Kalmix.ini"),
                  "[Optionen]\r\nSprache= 1000\r\n[Benutzer]\r\n"
                  "Name1=Anna\r\naktiv=Anna\r\n[Anna]\r\nUebung= 3\r\n");
    SprachBasis = 1000;
    aktiv = GetIniString(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), {});
    frmUebung w;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    const QByteArray before = env.readFile(QStringLiteral("Kalmix.ini"));
    {
        const ReadOnlyDir readOnly(env.dir());
        QTest::keyClicks(w.txtName, "Carla");
        QTest::keyClick(w.txtName, Qt::Key_Tab); // a new player is saved at once
        QTest::mouseClick(w.cmdOptOK, Qt::LeftButton);
    }
    QVERIFY(w.unloaded() && !w.isVisible());
    QCOMPARE(env.messages.size(), 1);
    QCOMPARE(env.messages[0].text, langText(240).arg(QDir::toNativeSeparators(env.iniPath())));
    QVERIFY(langText(240).startsWith(u"The settings could not be saved"_qs));
    QVERIFY(env.errors.isEmpty());
    QCOMPARE(env.readFile(QStringLiteral("Kalmix.ini")), before);
    QCOMPARE(QDir(env.dir()).entryList(QDir::Files), QStringList{u"Kalmix.ini"_qs});
    SprachBasis = 0;
}

// The log deleted in the middle of a game is made anew; replaced by a directory, its lines are
// left out with one message and no error, the game goes on to its end; once the directory is
// gone, logging goes on in a new file.
void TestFailedWrites::logReplacedByDirectoryMidGame() {
    setSystemLocaleForTesting([] { return QLocale(QLocale::German, QLocale::Germany); });
    Fixture f;
    useTypicalRecord(2);
    LogFile = kTrue;
    AufgZahl = 5;
    f.game.Start_Click();
    QVERIFY(QFile::remove(f.env.path(kLogName)));
    QString task = f.board.task + QString::number(f.rightAnswer());
    play(f, QStringLiteral("r +1"));
    QCOMPARE(f.logLines(), QStringList{u"09:26:53\t"_qs + task});

    QVERIFY(QFile::remove(f.env.path(kLogName)) && QDir(f.env.dir()).mkdir(kLogName));
    play(f, QStringLiteral("r +1 w r +1 r +1"));
    QCOMPARE(f.env.messages.size(), 1);
    QCOMPARE(f.env.messages[0].text,
             langText(241).arg(QDir::toNativeSeparators(f.env.path(kLogName))));
    QVERIFY(f.env.errors.isEmpty());
    QVERIFY(f.game.running());

    QVERIFY(QDir(f.env.dir()).rmdir(kLogName));
    QVERIFY(f.driver.awaitAnswerBox());
    task = f.board.task + QString::number(f.rightAnswer());
    play(f, QStringLiteral("r +3"));
    QCOMPARE(f.logLines(), QStringList{u"09:26:53\t"_qs + task});
    QVERIFY(!f.game.running());
    QCOMPARE(f.env.messages.size(), 1);
    LogNr().close();
    setSystemLocaleForTesting({});
}

// Under a file-size limit a write fails as on a full disk; the signal the limit sends ends
// nothing, from the first file of a start (its lock) on, whichever file it is (the practice
// log being off, say).
void TestFailedWrites::fileSizeLimitEndsNothing() {
    // The program keeps its files beside itself: a link to it in a folder of its own.
    QTemporaryDir dir(QFileInfo(QStringLiteral(KALMIX_BIN)).absolutePath() + u"/fsize-XXXXXX"_qs);
    const QString bin = dir.filePath(u"kalmix"_qs);
    QVERIFY(::link(KALMIX_BIN, QFile::encodeName(bin).constData()) == 0 ||
            QFile::copy(QStringLiteral(KALMIX_BIN), bin));
    QProcess kalmix;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
    env.insert(u"LD_PRELOAD"_qs, QStringLiteral(LABEL_PROBE));
    env.insert(u"KALMIX_PROBE"_qs, u"/dev/stdout"_qs); // a pipe: no limit on its size
    // In the sanitizers' build the probe comes before their runtime, which they allow here.
    env.insert(u"ASAN_OPTIONS"_qs, env.value(u"ASAN_OPTIONS"_qs) + u":verify_asan_link_order=0"_qs);
    kalmix.setProcessEnvironment(env);
    kalmix.setWorkingDirectory(dir.path());
    kalmix.setChildProcessModifier([] {
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 0; // no file may grow at all
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    kalmix.start(bin, {});
    QVERIFY(kalmix.waitForStarted());
    // Any text on a label: the start went past its first writes.
    while (kalmix.state() == QProcess::Running && !kalmix.canReadLine())
        kalmix.waitForReadyRead(20000);
    QVERIFY(kalmix.canReadLine());
    QCOMPARE(kalmix.state(), QProcess::Running);
    kalmix.kill();
    kalmix.waitForFinished(10000);
}

QTEST_MAIN(TestFailedWrites)
#include "tst_failed_writes.moc"
