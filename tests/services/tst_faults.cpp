#include "engine/practicelog.h"
#include "errors/fehlerwart.h"
#include "errors/procedure.h"
#include "errors/runtimeerror.h"
#include "services/resfiles.h"
#include "services/settings.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

using namespace kalmix;
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
    QVERIFY(env.errors.isEmpty()); // a failed settings write is silent
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

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
