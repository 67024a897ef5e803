// The practice history never stops a game: a file it cannot use is set aside, a full disk or a
// read-only file is said once, a killed program leaves a sound file, and the command line
// answers with its exit codes.
#include "history/historystore.h"
#include "historycheck.h"
#include "services/lang.h"
#include "support/testenv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kalmix;
using namespace kalmix::test;

namespace {

const QDateTime kAt(QDate(2026, 12, 5), QTime(16, 0));

// Plays n answers of one round into the store.
void playRound(HistoryStore& store, int n, const QString& player = u"Anna"_qs) {
    store.roundStarted(player, 2, kAt);
    for (int i = 0; i < n; ++i) {
        store.taskShown(plus(i % 10, 3), false);
        answer(store, plus(i % 10, 3), i % 4 ? Outcome::Right : Outcome::Wrong, kAt.addSecs(i));
    }
}

QStringList asideFiles(const TestEnv& env) {
    return QDir(env.dir()).entryList({u"Kalmix.db.bad-*"_qs}, QDir::Files);
}

// A file-size limit, as `ulimit -f` sets it: writes past it are cut short or fail.
void limitFileSize(rlim_t bytes) {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

// The program linked into a folder of its own, run there without a display.
struct Program {
    // In the system's temporary folder, which every user may pass through (the build tree, and
    // the tests' own temporary folder, may lie in a folder only its owner enters, and one test
    // runs the program as another user).
    QTemporaryDir dir{u"/tmp/kalmix-cli-XXXXXX"_qs};
    QString bin = dir.filePath(u"kalmix"_qs);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QStringList prefix;   // a program that starts it (as another user)
    rlim_t sizeLimit = 0; // none
    QString output;       // standard output to this file; empty: read
    QByteArray out, err;

    bool place() {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        return ::link(KALMIX_BIN, QFile::encodeName(bin).constData()) == 0 ||
               QFile::copy(QStringLiteral(KALMIX_BIN), bin);
    }
    int run(const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        const rlim_t limit = sizeLimit;
        p.setChildProcessModifier([limit] {
            std::signal(SIGXFSZ, SIG_DFL); // as a shell leaves it
            if (limit)
                limitFileSize(limit);
        });
        if (!output.isEmpty())
            p.setStandardOutputFile(output);
        const QStringList all = prefix + QStringList{bin} + args;
        p.start(all.first(), all.mid(1));
        p.waitForFinished(20000);
        out = p.readAllStandardOutput();
        err = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
};

} // namespace

class TestHistoryFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The language file copy goes to a temporary directory of this test's own, so no other
    // program's copy in the shared one stands in for it.
    void initTestCase() {
        TestEnv env;
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
        WriteLanguageCopy();
        QVERIFY(!langText(273).isEmpty());
    }
    void unusableFileIsSetAside_data();
    void unusableFileIsSetAside();
    void fullDiskIsSaidOnce();
    void failedWriteAddsNoPlayer();
    void readOnlyFileIsSaidOnce();
    void killedWhileWritingLeavesASoundFile();
    void commandLineExitCodes();
    void shortWriteKeepsTheOldFile();
    void commandLineWritesOnlyWhereItMay();
    void commandLineFindsAnInstalledHistory();

private:
    QTemporaryDir m_tmp;
};

void TestHistoryFaults::unusableFileIsSetAside_data() {
    QTest::addColumn<QByteArray>("sql"); // makes the file; empty: junk bytes
    QTest::addColumn<bool>("setAside");
    QTest::newRow("junk") << QByteArray() << true;
    QTest::newRow("another program's database")
        << QByteArray("CREATE TABLE notes(text TEXT)") << true;
    QTest::newRow("a later Kalmix's history")
        << QByteArray("PRAGMA application_id=1263291736; PRAGMA user_version=99") << false;
}

// A file that is no history of this Kalmix: the game's answers go to a new file and the old one
// is kept under another name (one message); a later version's history is left alone.
void TestHistoryFaults::unusableFileIsSetAside() {
    QFETCH(QByteArray, sql);
    QFETCH(bool, setAside);
    TestEnv env;
    const QString path = env.path(u"Kalmix.db"_qs);
    if (sql.isEmpty()) {
        env.writeFile(u"Kalmix.db"_qs, QByteArray(8192, '\x5a'));
    } else {
        Peek make(path);
        for (const QByteArray& s : sql.split(';'))
            make.rows(QString::fromLatin1(s));
    }
    const QByteArray before = env.readFile(u"Kalmix.db"_qs);
    HistoryStore store;
    playRound(store, 3);
    playRound(store, 2);
    QCOMPARE(env.messages.size(), 1);
    if (!setAside) {
        QCOMPARE(env.messages[0].text, langText(270).arg(path));
        QVERIFY(asideFiles(env).isEmpty());
        QCOMPARE(env.readFile(u"Kalmix.db"_qs), before);
        return;
    }
    const QStringList aside = asideFiles(env);
    QCOMPARE(aside.size(), 1);
    QCOMPARE(env.messages[0].text, langText(271).arg(env.path(aside[0])));
    QCOMPARE(env.readFile(aside[0]), before);
    Peek peek(path);
    QCOMPARE(peek.one(u"SELECT count(*) FROM answers"_qs), u"5"_qs);
}

// A full disk (a page limit): the answers that fit are kept whole, the failure is said once,
// and recording goes on by itself once there is room again.
void TestHistoryFaults::fullDiskIsSaidOnce() {
    TestEnv env;
    HistoryStore store;
    playRound(store, 1);
    Peek peek(store.path());
    store.setMaxPageCountForTesting(peek.one(u"PRAGMA page_count"_qs).toInt());
    playRound(store, 400);
    QCOMPARE(env.messages.size(), 1);
    QCOMPARE(env.messages[0].text, langText(270).arg(store.path()));
    const int kept = peek.one(u"SELECT count(*) FROM answer"_qs).toInt();
    QVERIFY2(kept >= 1 && kept < 401, qPrintable(QString::number(kept)));
    QCOMPARE(peek.inconsistentRounds(), 0);
    store.setMaxPageCountForTesting(100000);
    playRound(store, 1);
    QCOMPARE(peek.one(u"SELECT count(*) FROM answer"_qs).toInt(), kept + 1);
    QCOMPARE(env.messages.size(), 1);
}

// A new player's first answer that does not fit on the disk takes the player's row with it; once
// there is room the player's answers are stored under the player's own name, and no later
// player inherits them.
void TestHistoryFaults::failedWriteAddsNoPlayer() {
    TestEnv env;
    HistoryStore store;
    playRound(store, 1);
    Peek peek(store.path());
    store.setMaxPageCountForTesting(peek.one(u"PRAGMA page_count"_qs).toInt());
    playRound(store, 400); // until the answer table needs a page more
    QCOMPARE(env.messages.size(), 1);
    store.roundStarted(u"Ben"_qs, 2, kAt);
    answer(store, plus(1, 1), Outcome::Right, kAt);
    store.setMaxPageCountForTesting(100000);
    answer(store, plus(2, 1), Outcome::Right, kAt.addSecs(1));
    playRound(store, 1, u"Cleo"_qs);
    QCOMPARE(peek.rows(u"SELECT player, a FROM answers WHERE player != 'Anna'"_qs),
             QStringList({u"Ben|2"_qs, u"Cleo|0"_qs}));
    QCOMPARE(peek.one(u"SELECT count(*) FROM answer WHERE player NOT IN (SELECT id FROM "
                      "player)"_qs),
             u"0"_qs);
}

// A file that may be read but not written (opened read-only, as SQLite does with a
// write-protected file; chmod would not stop root, who runs CI): said once, nothing set aside.
void TestHistoryFaults::readOnlyFileIsSaidOnce() {
    TestEnv env;
    {
        HistoryStore store;
        playRound(store, 3);
    }
    const QByteArray before = env.readFile(u"Kalmix.db"_qs);
    HistoryStore store;
    store.setConnectOptionsForTesting(u"QSQLITE_OPEN_READONLY"_qs);
    playRound(store, 5);
    playRound(store, 5);
    QCOMPARE(env.messages.size(), 1);
    QCOMPARE(env.messages[0].text, langText(270).arg(store.path()));
    QVERIFY(asideFiles(env).isEmpty());
    QCOMPARE(env.readFile(u"Kalmix.db"_qs), before);
    QCOMPARE(store.totals(u"Anna"_qs, {}).tasks, 3);
}

// A program that records answers is killed while it writes: every answer it reported stored is
// there, and each round's counts agree with its answers.
void TestHistoryFaults::killedWhileWritingLeavesASoundFile() {
    TestEnv env;
    const QString path = env.path(u"Kalmix.db"_qs);
    for (int run = 0; run < 12; ++run) {
        QProcess writer;
        writer.start(QStringLiteral(HISTORY_WRITER), {path});
        QVERIFY(writer.waitForStarted());
        QByteArray out;
        const int target = 40 + run * 17;
        while (out.count('\n') < target && writer.waitForReadyRead(10000))
            out += writer.readAllStandardOutput();
        writer.kill();
        writer.waitForFinished();
        out += writer.readAllStandardOutput();
        QVERIFY2(out.count('\n') >= target, out.right(200).constData());
        const int reported = out.count('\n');
        Peek peek(path);
        QCOMPARE(peek.one(u"PRAGMA integrity_check"_qs), u"ok"_qs);
        QCOMPARE(peek.inconsistentRounds(), 0);
        // Each run starts its rounds at the same times, so runs add to the same table.
        QVERIFY(peek.one(u"SELECT count(*) FROM answer"_qs).toInt() >= reported);
    }
}

// kalmix --export-csv runs without a display: 0 with the CSV written, 2 with a message for bad
// arguments or a history it cannot read (which it leaves as it is).
void TestHistoryFaults::commandLineExitCodes() {
    // The program keeps its files beside itself, so a link to it in a folder of its own finds
    // the history there.
    QTemporaryDir dir(QFileInfo(QStringLiteral(KALMIX_BIN)).absolutePath() + u"/cli-XXXXXX"_qs);
    const QString bin = dir.filePath(u"kalmix"_qs);
    QVERIFY(::link(KALMIX_BIN, QFile::encodeName(bin).constData()) == 0 ||
            QFile::copy(QStringLiteral(KALMIX_BIN), bin));
    const auto run = [&](const QStringList& args, QByteArray* err = nullptr) {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            e.remove(QString::fromLatin1(name));
        p.setProcessEnvironment(e);
        p.setWorkingDirectory(dir.path());
        p.start(bin, args);
        p.waitForFinished(20000);
        if (err)
            *err = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QByteArray err;
    QCOMPARE(run({u"--help"_qs}), 0);
    QCOMPARE(run({u"--export-csv"_qs, u"a.csv"_qs}, &err), 2); // no history yet
    QVERIFY(err.contains("no practice history"));
    {
        TestEnv env;
        HistoryStore store(dir.filePath(u"Kalmix.db"_qs));
        playRound(store, 2, u"Anna"_qs);
        playRound(store, 1, u"Ben"_qs);
    }
    QCOMPARE(run({u"--export-csv"_qs, u"a.csv"_qs, u"--player"_qs, u"Anna"_qs}), 0);
    QFile csv(dir.filePath(u"a.csv"_qs));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll().count("\r\n"), 3);
    QCOMPARE(run({u"--export-csv=b.csv"_qs}), 0);
    QCOMPARE(run({u"--export-csv"_qs, u"a.csv"_qs, u"--colour"_qs}, &err), 2);
    QVERIFY(err.contains("--colour"));
    QCOMPARE(run({u"--export-csv"_qs}), 2);
    QCOMPARE(run({u"--player"_qs, u"Anna"_qs}), 2);
    QCOMPARE(run({u"--export-csv"_qs, u"no/such/dir/a.csv"_qs}), 2);
    QFile db(dir.filePath(u"Kalmix.db"_qs));
    QVERIFY(db.open(QIODevice::WriteOnly | QIODevice::Truncate));
    db.write(QByteArray(4096, 'x'));
    db.close();
    QCOMPARE(run({u"--export-csv"_qs, u"c.csv"_qs}), 2);
    QVERIFY(QFileInfo(dir.filePath(u"Kalmix.db"_qs)).size() == 4096);
}

// A CSV that does not fit (a full disk, a file-size limit) fails with its reason, and the file
// that was there stays as it was.
void TestHistoryFaults::shortWriteKeepsTheOldFile() {
    TestEnv env;
    HistoryStore store;
    playRound(store, 200);
    env.writeFile(u"a.csv"_qs, "precious");
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    const auto signalBefore = std::signal(SIGXFSZ, SIG_IGN);
    limitFileSize(4096);
    QString error;
    const bool written = store.exportCsv(env.path(u"a.csv"_qs), {}, &error);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, signalBefore);
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(env.readFile(u"a.csv"_qs), QByteArray("precious"));
    QCOMPARE(QDir(env.dir()).entryList({u"a.csv*"_qs}, QDir::Files | QDir::Hidden).size(), 1);
}

// The command line: standard output for "-", exit code 2 (and the old file kept) when the file
// does not fit under `ulimit -f`, and never a file of Kalmix's own or a pipe as the target.
void TestHistoryFaults::commandLineWritesOnlyWhereItMay() {
    Program program;
    QVERIFY(program.place());
    {
        TestEnv env;
        HistoryStore store(program.dir.filePath(u"Kalmix.db"_qs));
        playRound(store, 800);
    }
    QCOMPARE(program.run({u"--export-csv"_qs, u"-"_qs}), 0);
    QCOMPARE(program.out.count("\r\n"), 801);
    QVERIFY(program.out.startsWith("player,") && program.err.isEmpty());

    const QString old = program.dir.filePath(u"a.csv"_qs);
    QFile f(old);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("precious") == 8);
    f.close();
    program.sizeLimit = 40000; // room for the history's shared-memory file, not for the CSV
    QCOMPARE(program.run({u"--export-csv"_qs, u"a.csv"_qs}), 2);
    QVERIFY2(program.err.contains("File too large"), program.err.constData());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("precious"));
    program.sizeLimit = 0;

    const QByteArray fifo = QFile::encodeName(program.dir.filePath(u"fifo.csv"_qs));
    QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
    const qint64 historySize = QFileInfo(program.dir.filePath(u"Kalmix.db"_qs)).size();
    for (const char* target : {"Kalmix.db", "Kalmix.ini.lock", "fifo.csv"}) {
        QCOMPARE(program.run({u"--export-csv"_qs, QString::fromLatin1(target)}), 2);
        QVERIFY2(program.err.contains(target), program.err.constData());
    }
    QCOMPARE(QFileInfo(program.dir.filePath(u"Kalmix.db"_qs)).size(), historySize);
    QVERIFY(!QFile::exists(program.dir.filePath(u"Kalmix.ini.lock"_qs)));
    struct stat st {};
    QVERIFY(::stat(fifo.constData(), &st) == 0 && S_ISFIFO(st.st_mode));

    program.output = u"/dev/full"_qs;
    QCOMPARE(program.run({u"--export-csv"_qs, u"-"_qs}), 2);
}

// Installed where the user cannot write, Kalmix keeps its files in the user's data folder,
// named after the program; the command line finds the history there and makes no other folder.
void TestHistoryFaults::commandLineFindsAnInstalledHistory() {
    Program program;
    QVERIFY(program.place());
    const QString home = program.dir.filePath(u"home"_qs);
    const QString data = home + u"/.local/share/Kalmix"_qs;
    QVERIFY(QDir().mkpath(data));
    {
        TestEnv env;
        HistoryStore store(data + u"/Kalmix.db"_qs);
        playRound(store, 2);
    }
    program.env.insert(u"HOME"_qs, home);
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        program.env.remove(QString::fromLatin1(name));
    const QByteArray folder = QFile::encodeName(program.dir.path());
    if (::geteuid() == 0) { // root writes anywhere: the program runs as nobody
        if (QStandardPaths::findExecutable(u"setpriv"_qs).isEmpty())
            QSKIP("needs setpriv to run the program as another user");
        QVERIFY(::chmod(folder.constData(), 0755) == 0);
        QStringList owned{home};
        QDirIterator it(home, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            owned << it.next();
        for (const QString& path : owned)
            QVERIFY(::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0);
        program.prefix = QStringList{u"setpriv"_qs, u"--reuid=65534"_qs, u"--regid=65534"_qs,
                                     u"--clear-groups"_qs};
    } else {
        QVERIFY(::chmod(folder.constData(), 0555) == 0);
    }
    const int code = program.run({u"--export-csv"_qs, u"-"_qs});
    ::chmod(folder.constData(), 0755);
    QVERIFY2(code == 0, program.err.constData());
    QCOMPARE(program.out.count("\r\n"), 3);
    QVERIFY(!QFile::exists(home + u"/.local/share/kalmix"_qs));
}

QTEST_GUILESS_MAIN(TestHistoryFaults)
#include "tst_historyfaults.moc"
