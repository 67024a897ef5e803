// The history file among other programs: held by one, deleted or replaced while Kalmix runs,
// set aside with its journals, its write-ahead log kept small and its mode owner-only. No answer
// is lost that could be kept, and the game never waits for the disk.
#include "history/historyschema.h"
#include "history/historystore.h"
#include "historycheck.h"
#include "services/lang.h"
#include "support/testenv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace kalmix;
using namespace kalmix::test;

namespace {

const QDateTime kAt(QDate(2026, 12, 5), QTime(16, 0));

// One answer of the round, the task a + 3, given at the round's start plus `second`.
void answerAt(HistoryStore& store, int a, int second) {
    store.taskShown(plus(a, 3), false);
    answer(store, plus(a, 3), a % 3 ? Outcome::Right : Outcome::Wrong, kAt.addSecs(second));
}

void playRound(HistoryStore& store, int n, const QString& player = u"Anna"_qs, int from = 0) {
    store.roundStarted(player, 2, kAt.addSecs(from));
    for (int i = 0; i < n; ++i)
        answerAt(store, i % 10, from + i);
    store.roundEnded({n, 0, 0, n, false}, true, kAt.addSecs(from + n));
}

// The files set aside, without their journals.
QStringList asideFiles(const QString& dir) {
    QStringList files = QDir(dir).entryList({u"*.bad-*"_qs}, QDir::Files);
    files.removeIf([](const QString& name) {
        return name.endsWith(u"-wal"_qs) || name.endsWith(u"-shm"_qs) ||
               name.endsWith(u"-journal"_qs);
    });
    return files;
}

// Another program holding the file, until released.
class Locker {
public:
    Locker(const QString& path, const QString& mode) {
        m_process.start(QStringLiteral(HISTORY_LOCKER), {path, mode});
    }
    ~Locker() { release(); }
    bool holds() {
        QByteArray out;
        while (!out.contains("locked\n") && m_process.waitForReadyRead(10000))
            out += m_process.readAllStandardOutput();
        return out.contains("locked\n");
    }
    void release() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.write("\n");
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
};

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

class TestHistoryFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        TestEnv env;
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
        WriteLanguageCopy();
        QVERIFY(!langText(380).isEmpty());
    }
    void heldFileKeepsTheAnswers_data();
    void heldFileKeepsTheAnswers();
    void heldAtTheEnd();
    void deletedOrReplacedWhileRunning_data();
    void deletedOrReplacedWhileRunning();
    void setAsideWithItsJournals();
    void journalIsCutBack();
    void newFilesAreOwnerOnly();

private:
    QTemporaryDir m_tmp;
};

void TestHistoryFile::heldFileKeepsTheAnswers_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("openFirst"); // the store has the file open when the lock comes
    QTest::newRow("a write held while the file is open") << u"write"_qs << true;
    QTest::newRow("the whole file taken before it is opened") << u"exclusive"_qs << false;
}

// Another program holds the file: nothing is set aside, no answer waits more than a moment, the
// answers stay in memory in order, said once, and all go in with the first write after the
// file is free again.
void TestHistoryFile::heldFileKeepsTheAnswers() {
    QFETCH(QString, mode);
    QFETCH(bool, openFirst);
    TestEnv env;
    const QString path = env.path(u"Kalmix.db"_qs);
    {
        HistoryStore earlier;
        playRound(earlier, 2, u"Anna"_qs, -600);
    }
    HistoryStore store;
    if (openFirst) {
        store.roundStarted(u"Anna"_qs, 2, kAt);
        answerAt(store, 1, 1);
    }
    Locker locker(path, mode);
    QVERIFY(locker.holds());
    QElapsedTimer slowest;
    qint64 slowestMs = 0;
    const auto timed = [&](const std::function<void()>& step) {
        slowest.start();
        step();
        slowestMs = std::max(slowestMs, slowest.elapsed());
    };
    if (!openFirst)
        timed([&] { store.roundStarted(u"Anna"_qs, 2, kAt); });
    for (int i = 2; i < 5; ++i) {
        timed([&] { answerAt(store, i, i); });
        QVERIFY2(slowestMs < 500, qPrintable(QString::number(slowestMs)));
    }
    timed([&] { store.roundEnded({3, 1, 0, 4, false}, true, kAt.addSecs(10)); });
    store.roundStarted(u"Ben"_qs, 2, kAt.addSecs(20));
    timed([&] { answerAt(store, 5, 21); });
    QVERIFY2(slowestMs < 500, qPrintable(QString::number(slowestMs)));
    QCOMPARE(env.messages.size(), 1);
    QCOMPARE(env.messages[0].text, langText(380).arg(path));
    QVERIFY(asideFiles(env.dir()).isEmpty());

    // The command line is told the file is busy, not that it is no history.
    HistoryStore reader(path);
    reader.setFinishWaitForTesting(20);
    QString error;
    if (mode == u"exclusive"_qs) {
        QVERIFY(!reader.openExisting(&error));
        QVERIFY2(error.contains(u"just now"_qs), qPrintable(error));
    }

    locker.release();
    answerAt(store, 6, 22); // the next write takes everything owed with it
    Peek peek(path);
    QStringList expected = {u"Anna|02|1"_qs, u"Anna|03|1"_qs, u"Anna|04|1"_qs, u"Ben|21|1"_qs,
                            u"Ben|22|1"_qs};
    if (openFirst)
        expected.prepend(u"Anna|01|1"_qs);
    QCOMPARE(peek.rows(u"SELECT player, strftime('%S', answered_at), attempt FROM answers "
                       "WHERE round_started >= '2026-12-05T16' ORDER BY rowid"_qs),
             expected);
    QCOMPARE(peek.rows(u"SELECT player, ended, finished FROM rounds ORDER BY started"_qs),
             QStringList({u"Anna|2026-12-05T15:50:02|1"_qs, u"Anna|2026-12-05T16:00:10|1"_qs,
                          u"Ben|-|0"_qs}));
    QCOMPARE(peek.inconsistentRounds(), 0);
    QCOMPARE(env.messages.size(), 1);
}

// As the program ends the owed answers are written when the file is free by then; when it is
// still held they are lost, and that is said.
void TestHistoryFile::heldAtTheEnd() {
    TestEnv env;
    const QString path = env.path(u"Kalmix.db"_qs);
    for (const bool freeAtTheEnd : {true, false}) {
        env.messages.clear();
        HistoryStore store;
        store.setFinishWaitForTesting(20);
        store.roundStarted(u"Anna"_qs, 2, kAt);
        answerAt(store, 1, 1);
        Locker locker(path, u"write"_qs);
        QVERIFY(locker.holds());
        answerAt(store, 2, 2);
        store.roundEnded({2, 0, 0, 2, false}, false, kAt.addSecs(3));
        if (freeAtTheEnd)
            locker.release();
        store.finish();
        locker.release();
        Peek peek(path);
        const QString stored = peek.one(u"SELECT count(*) FROM answer"_qs);
        if (freeAtTheEnd) {
            QCOMPARE(stored, u"2"_qs);
            QCOMPARE(peek.one(u"SELECT ended FROM rounds"_qs), u"2026-12-05T16:00:03"_qs);
            QCOMPARE(env.messages.size(), 1); // held at the round's end
        } else {
            QCOMPARE(stored, u"3"_qs);
            QCOMPARE(env.messages.size(), 2);
            QCOMPARE(env.messages[1].text, langText(382).arg(path));
        }
    }
}

void TestHistoryFile::deletedOrReplacedWhileRunning_data() {
    QTest::addColumn<QStringList>("removed"); // names deleted
    QTest::addColumn<QString>("replacement"); // "history", "history with its journal", "junk"
    QTest::addColumn<int>("before");          // answers the file at the path held already
    const QStringList all = {u"Kalmix.db"_qs, u"Kalmix.db-wal"_qs, u"Kalmix.db-shm"_qs};
    QTest::newRow("file deleted") << QStringList{u"Kalmix.db"_qs} << QString() << 0;
    QTest::newRow("file and journals deleted") << all << QString() << 0;
    QTest::newRow("replaced by another history") << QStringList() << u"history"_qs << 5;
    QTest::newRow("replaced by another history with its journal")
        << QStringList() << u"history with its journal"_qs << 5;
    QTest::newRow("replaced by a CSV file") << QStringList() << u"junk"_qs << 0;
}

// The file deleted or replaced while a round runs: noticed before the next write, said once, and
// that answer and every later one go to the file now at the path (a new one if there is none);
// what was there is kept.
void TestHistoryFile::deletedOrReplacedWhileRunning() {
    QFETCH(QStringList, removed);
    QFETCH(QString, replacement);
    QFETCH(int, before);
    TestEnv env;
    const QString path = env.path(u"Kalmix.db"_qs);
    QTemporaryDir elsewhere(env.path(u"other-XXXXXX"_qs));
    const QString other = elsewhere.filePath(u"Kalmix.db"_qs);
    std::unique_ptr<HistoryStore> otherStore;
    if (replacement.startsWith(u"history"_qs)) {
        otherStore = std::make_unique<HistoryStore>(other);
        otherStore->roundStarted(u"Ben"_qs, 4, kAt.addDays(-1));
        for (int i = 0; i < 5; ++i)
            answerAt(*otherStore, i, i - 86400);
        if (replacement == u"history"_qs)
            otherStore.reset(); // closed, with nothing left in its journal
    } else if (replacement == u"junk"_qs) {
        QFile csv(other);
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("player,round_started\r\nAnna,2026-12-05T16:00:00\r\n");
    }

    HistoryStore store;
    store.roundStarted(u"Anna"_qs, 2, kAt);
    for (int i = 0; i < 3; ++i)
        answerAt(store, i, i);
    for (const QString& name : removed)
        QVERIFY(QFile::remove(env.path(name)));
    if (!replacement.isEmpty()) {
        // Copied in and renamed over it, as a file manager or a restore does.
        for (const QString& suffix : {u""_qs, u"-wal"_qs}) {
            if (QFileInfo::exists(other + suffix)) {
                QVERIFY(QFile::copy(other + suffix, path + u".new"_qs + suffix));
                QVERIFY(::rename(QFile::encodeName(path + u".new"_qs + suffix).constData(),
                                 QFile::encodeName(path + suffix).constData()) == 0);
            }
        }
    }
    for (int i = 3; i < 5; ++i)
        answerAt(store, i, i);
    store.roundEnded({4, 1, 0, 5, false}, true, kAt.addSecs(5));
    playRound(store, 2, u"Anna"_qs, 60);

    QVERIFY(!env.messages.isEmpty());
    QCOMPARE(env.messages[0].text, langText(381).arg(path));
    if (replacement == u"junk"_qs) {
        QCOMPARE(env.messages.size(), 2);
        const QStringList aside = asideFiles(env.dir());
        QCOMPARE(aside.size(), 1);
        QCOMPARE(env.messages[1].text, langText(271).arg(env.path(aside[0])));
    } else {
        QCOMPARE(env.messages.size(), 1);
    }
    store.finish();
    Peek peek(path);
    QCOMPARE(peek.one(u"PRAGMA integrity_check"_qs), u"ok"_qs);
    QCOMPARE(peek.one(u"SELECT count(*) FROM answers WHERE player = 'Ben'"_qs),
             QString::number(before));
    QCOMPARE(peek.rows(u"SELECT strftime('%M%S', answered_at) FROM answers WHERE player = "
                       "'Anna' ORDER BY rowid"_qs),
             QStringList({u"0003"_qs, u"0004"_qs, u"0100"_qs, u"0101"_qs}));
    QCOMPARE(peek.inconsistentRounds(), 0);
}

// A file set aside takes its journals with it (a rollback journal too, which SQLite would
// otherwise read into the new file or delete). When its write-ahead log cannot follow, the file
// and its log stay where they are and no new history is begun.
void TestHistoryFile::setAsideWithItsJournals() {
    TestEnv env;
    const QByteArray junk(8192, '\x5a');
    const QByteArray journal = QByteArray(4, '\0') + QByteArray(508, 'j');
    {
        env.writeFile(u"Kalmix.db"_qs, junk);
        env.writeFile(u"Kalmix.db-journal"_qs, journal);
        HistoryStore store;
        playRound(store, 2);
        const QStringList aside = asideFiles(env.dir());
        QCOMPARE(aside.size(), 1);
        QCOMPARE(env.messages.size(), 1);
        QCOMPARE(env.messages[0].text, langText(271).arg(env.path(aside[0])));
        QCOMPARE(env.readFile(aside[0]), junk);
        QCOMPARE(env.readFile(aside[0] + u"-journal"_qs), journal);
        QVERIFY(!QFileInfo::exists(env.path(u"Kalmix.db-journal"_qs)));
        store.finish();
        QCOMPARE(Peek(store.path()).one(u"SELECT count(*) FROM answers"_qs), u"2"_qs);
    }
    {
        // Another program's database, open in that program with its latest rows still in the
        // log, under a name that fits with the stamp but not with "-wal" after it.
        const QString name = QString(235 - 3, u'k') + u".db"_qs;
        const QString path = env.path(name);
        env.messages.clear();
        {
            Peek other(path);
            other.rows(u"PRAGMA journal_mode=WAL"_qs);
            other.rows(u"CREATE TABLE notes(text TEXT)"_qs);
            other.rows(u"INSERT INTO notes VALUES ('a'), ('b'), ('c')"_qs);
            QVERIFY(QFileInfo(path + u"-wal"_qs).size() > 0);
            HistoryStore store(path);
            playRound(store, 2);
            QCOMPARE(env.messages.size(), 1);
            QCOMPARE(env.messages[0].text, langText(270).arg(path));
            QVERIFY(QFileInfo(path + u"-wal"_qs).size() > 0);
            QCOMPARE(asideFiles(env.dir()).size(), 1); // only the first case's
        }
        QCOMPARE(Peek(path).one(u"SELECT count(*) FROM notes"_qs), u"3"_qs);
    }
}

// The write-ahead log is carried into the file and cut to nothing when a round ends and when
// the store closes, even while another program has the file open.
void TestHistoryFile::journalIsCutBack() {
    TestEnv env;
    const QString wal = env.path(u"Kalmix.db-wal"_qs);
    {
        HistoryStore store;
        playRound(store, 1);
        Peek other(store.path());
        QCOMPARE(other.one(u"SELECT count(*) FROM answer"_qs), u"1"_qs);
        store.roundStarted(u"Anna"_qs, 2, kAt.addSecs(100));
        for (int i = 0; i < 300; ++i)
            answerAt(store, i % 10, 100 + i);
        QVERIFY(QFileInfo(wal).size() > 100000);
        store.roundEnded({300, 0, 0, 300, false}, true, kAt.addSecs(400));
        QCOMPARE(QFileInfo(wal).size(), 0);
        store.roundStarted(u"Anna"_qs, 2, kAt.addSecs(500));
        for (int i = 0; i < 300; ++i)
            answerAt(store, i % 10, 500 + i);
        store.finish();
        QVERIFY(!QFileInfo::exists(wal) || QFileInfo(wal).size() == 0);
        QCOMPARE(other.one(u"SELECT count(*) FROM answer"_qs), u"601"_qs);
    }
    QVERIFY(env.messages.isEmpty());
}

// A new history, its log and shared-memory file are its owner's only whatever the umask; an
// existing file keeps the mode it has.
void TestHistoryFile::newFilesAreOwnerOnly() {
    TestEnv env;
    const mode_t umaskBefore = ::umask(022);
    const QString path = env.path(u"Kalmix.db"_qs);
    {
        HistoryStore store;
        playRound(store, 2);
        store.roundStarted(u"Anna"_qs, 2, kAt.addSecs(60));
        answerAt(store, 1, 61);
        QCOMPARE(modeOf(path), 0600);
        QCOMPARE(modeOf(path + u"-wal"_qs), 0600);
        QCOMPARE(modeOf(path + u"-shm"_qs), 0600);
    }
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
    {
        HistoryStore store;
        playRound(store, 1, u"Anna"_qs, 120);
        store.roundStarted(u"Anna"_qs, 2, kAt.addSecs(180));
        answerAt(store, 1, 181);
        QCOMPARE(modeOf(path), 0640);
        QCOMPARE(modeOf(path + u"-wal"_qs), 0640);
    }
    ::umask(umaskBefore);
    QVERIFY(env.messages.isEmpty());
}

QTEST_GUILESS_MAIN(TestHistoryFile)
#include "tst_historyfile.moc"
