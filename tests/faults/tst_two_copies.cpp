#include "main/startup.h"
#include "services/lang.h"
#include "services/oneinstance.h"
#include "support/testenv.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace kalmix;
using namespace Qt::StringLiterals;

// Two copies on one settings file would overwrite each other's players: a second start hands
// over to the running copy and ends; a copy that was killed does not block the next start.
// Every start either reaches the running copy, takes over a lock that nobody holds, or says
// plainly what is wrong.
class TestTwoCopies : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void secondStartHandsOver();
    void lockLeftByAnotherComputer();
    void lockWithoutAReadableOwner_data();
    void lockWithoutAReadableOwner();
    void frozenCopyIsNamedNotHandedOver();
    void copyStillStartingIsReached();
    void socketInAFolderOfTheUser();
};

namespace {
QByteArray firstLine(QProcess& p) {
    for (int i = 0; i < 100 && !p.canReadLine(); ++i)
        p.waitForReadyRead(100);
    return p.readLine().trimmed();
}

// What one start of a copy prints when it ends by itself.
QByteArray startOnce(const QString& dir, int waitMs,
                     const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ONE_COPY), {dir, QString::number(waitMs)});
    if (!p.waitForFinished(15000))
        p.kill();
    return p.readAll().trimmed();
}

// A lock file as a copy on another computer leaves it, made `age` ago.
void writeForeignLock(const QString& path, qint64 ageSecs) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("4000000\nkalmix\nlaptop-of-anna\n");
    f.close();
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-ageSecs),
                          QFileDevice::FileModificationTime));
}

// The environment of a start, with the runtime and temporary folders given.
QProcessEnvironment startEnv(const QString& runtime, const QString& temp = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"XDG_RUNTIME_DIR"_s);
    if (!runtime.isEmpty())
        env.insert(u"XDG_RUNTIME_DIR"_s, runtime);
    if (!temp.isEmpty())
        env.insert(u"TMPDIR"_s, temp);
    return env;
}

bool isSocket(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISSOCK(st.st_mode);
}
} // namespace

void TestTwoCopies::secondStartHandsOver() {
    QTemporaryDir dir;
    const QString copy = QStringLiteral(ONE_COPY);
    QProcess running, second;
    running.start(copy, {dir.path()});
    QCOMPARE(firstLine(running), QByteArray("first"));
    second.start(copy, {dir.path()});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.readAll().trimmed(), QByteArray("handed"));
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(firstLine(running), QByteArray("front")); // the running copy was asked forward
    QVERIFY(running.waitForFinished(10000));

    // A copy that dies without cleaning up leaves its lock behind; the next start takes it.
    QProcess killed, next;
    killed.start(copy, {dir.path()});
    QCOMPARE(firstLine(killed), QByteArray("first"));
    killed.kill();
    QVERIFY(killed.waitForFinished(10000));
    next.start(copy, {dir.path()});
    QCOMPARE(firstLine(next), QByteArray("first"));
    next.kill();
    next.waitForFinished(10000);

    // A copy that holds the lock but cannot be reached: the start says so and ends.
    QLockFile held(dir.filePath(QStringLiteral("Kalmix.ini.lock")));
    QVERIFY(held.tryLock(0));
    QProcess refused;
    refused.start(copy, {dir.path(), QStringLiteral("300")});
    QVERIFY(refused.waitForFinished(10000));
    QCOMPARE(refused.readAll().trimmed(), QByteArray("refused"));
}

// A lock from another computer (a program folder on a USB stick or a network share): the start
// names that computer and asks; Yes takes the lock over, No ends. A day old, it is left over.
void TestTwoCopies::lockLeftByAnotherComputer() {
    test::TestEnv env;
    const QString lock = env.path(u"Kalmix.ini.lock"_s);
    writeForeignLock(lock, 60);
    const QByteArray foreign = env.readFile(u"Kalmix.ini.lock"_s);
    const QByteArray ours = QByteArray::number(::getpid()).append('\n');
    {
        OneInstance one(env.iniPath(), std::chrono::milliseconds(300));
        env.answers = {MsgResult::No};
        QVERIFY(!startsAlone(one));
        QCOMPARE(env.messages.size(), 1);
        QCOMPARE(env.messages[0].buttons, MsgButtons::YesNo);
        QCOMPARE(env.messages[0].defaultButton, MsgResult::No);
        QCOMPARE(env.messages[0].text,
                 langText(395).arg(u"laptop-of-anna"_s, QDir::toNativeSeparators(lock)));
        QCOMPARE(env.readFile(u"Kalmix.ini.lock"_s), foreign); // No leaves it as it was
    }
    {
        OneInstance one(env.iniPath(), std::chrono::milliseconds(300));
        env.answers = {MsgResult::Yes};
        QVERIFY(startsAlone(one));
        QCOMPARE(env.messages.size(), 2);
        QVERIFY(env.readFile(u"Kalmix.ini.lock"_s).startsWith(ours));
    }
    writeForeignLock(lock, 25 * 3600);
    OneInstance one(env.iniPath(), std::chrono::milliseconds(300));
    QVERIFY(startsAlone(one));
    QCOMPARE(env.messages.size(), 2); // no question for a lock a day old
    QVERIFY(env.readFile(u"Kalmix.ini.lock"_s).startsWith(ours));
}

void TestTwoCopies::lockWithoutAReadableOwner_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("junk") << QByteArray("\x93\xff junk\n\n");
    QTest::newRow("zeros") << QByteArray(4096, '\0');
}

// A lock left empty or spoilt (a start under a full disk, a power cut) while no copy runs is
// taken over, not mistaken for a copy that does not answer.
void TestTwoCopies::lockWithoutAReadableOwner() {
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    QFile lock(dir.filePath(u"Kalmix.ini.lock"_s));
    QVERIFY(lock.open(QIODevice::WriteOnly) && lock.write(bytes) == bytes.size() && lock.flush());
    QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-600),
                             QFileDevice::FileModificationTime));
    lock.close();
    QProcess first;
    first.start(QStringLiteral(ONE_COPY), {dir.path(), u"300"_s});
    QCOMPARE(firstLine(first), QByteArray("first"));
    first.kill();
    first.waitForFinished(10000);
}

// A running copy that was stopped (or hangs) takes the request but cannot answer: the later
// start says so instead of ending without a word.
void TestTwoCopies::frozenCopyIsNamedNotHandedOver() {
    QTemporaryDir dir;
    QProcess running;
    running.start(QStringLiteral(ONE_COPY), {dir.path()});
    QCOMPARE(firstLine(running), QByteArray("first"));
    const pid_t pid = static_cast<pid_t>(running.processId());
    QVERIFY(::kill(pid, SIGSTOP) == 0);
    const QByteArray said = startOnce(dir.path(), 300);
    ::kill(pid, SIGCONT);
    QCOMPARE(said, QByteArray("refused"));
    running.kill();
    QVERIFY(running.waitForFinished(10000));
}

// Two copies started at the same moment: the second finds the lock of the first before the
// first listens, and keeps trying until it is reached.
void TestTwoCopies::copyStillStartingIsReached() {
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"Kalmix.ini"_s);
    QLockFile starting(ini + u".lock"_s); // this test is the copy that starts
    QVERIFY(starting.tryLock(0));
    QProcess second;
    second.start(QStringLiteral(ONE_COPY), {dir.path()});
    QVERIFY(second.waitForStarted());
    QVERIFY(!second.waitForFinished(300)); // not given up on a copy that does not listen yet
    QLocalServer server;
    server.setSocketOptions(QLocalServer::UserAccessOption);
    QVERIFY(server.listen(instanceSocketPaths(ini).value(0)));
    QVERIFY(server.waitForNewConnection(10000));
    QLocalSocket* request = server.nextPendingConnection();
    QTRY_VERIFY(request->canReadLine());
    QCOMPARE(request->readLine(), QByteArray("front\n"));
    request->write("here\n");
    request->flush();
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.readAll().trimmed(), QByteArray("handed"));

    // Real copies started together: one runs, the other hands over to it.
    for (int round = 0; round < 2; ++round) {
        QTemporaryDir together;
        QProcess a, b;
        a.start(QStringLiteral(ONE_COPY), {together.path()});
        b.start(QStringLiteral(ONE_COPY), {together.path()});
        QVERIFY(a.waitForFinished(15000) && b.waitForFinished(15000));
        QStringList said = {QString::fromUtf8(a.readAll().trimmed()),
                            QString::fromUtf8(b.readAll().trimmed())};
        said.sort();
        QCOMPARE(said, (QStringList{u"first\nfront"_s, u"handed"_s}));
    }
}

// The copy listens in the user's runtime folder when it is the user's alone, else beside the
// settings file: never under a name anyone can guess in the shared temporary folder. Where no
// place takes a socket, the copy still runs and holds the lock, and a later start says that
// it does not answer instead of writing the same file unseen.
void TestTwoCopies::socketInAFolderOfTheUser() {
    QTemporaryDir dir, runtime, open;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(open.path(), QFile::Permissions(0x7777));
    const QString ini = dir.filePath(u"Kalmix.ini"_s);
    struct Case {
        QString runtime;
        QString expected;
    };
    for (const Case& c : {Case{runtime.path(), runtime.path()}, Case{open.path(), dir.path()},
                          Case{QString(), dir.path()}}) {
        const QProcessEnvironment env = startEnv(c.runtime);
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(QStringLiteral(ONE_COPY), {dir.path()});
        QCOMPARE(firstLine(first), QByteArray("first"));
        const QStringList sockets =
            QDir(c.expected).entryList(QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(sockets.size(), 1);
        QVERIFY(isSocket(QDir(c.expected).filePath(sockets[0])));
        QCOMPARE(startOnce(dir.path(), 300, env), QByteArray("handed"));
        QVERIFY(first.waitForFinished(10000));
    }

    // No runtime folder and a settings path too long for a socket: a folder of the user's own
    // in the temporary folder. Taken by a file, no place is left.
    QTemporaryDir temp;
    const QString deep = dir.filePath(QString(60, u'a') + u'/' + QString(60, u'b'));
    QVERIFY(QDir().mkpath(deep));
    const QString own = temp.filePath(u"kalmix-"_s + QString::number(::geteuid()));
    const QProcessEnvironment env = startEnv({}, temp.path());
    for (const bool taken : {false, true}) {
        if (taken) {
            QVERIFY(QDir(own).removeRecursively());
            QFile file(own);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(QStringLiteral(ONE_COPY), {deep});
        QCOMPARE(firstLine(first), QByteArray("first"));
        if (!taken) {
            QCOMPARE(QFileInfo(own).permissions(), QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ExeOwner | QFile::ReadUser |
                                                       QFile::WriteUser | QFile::ExeUser);
            QCOMPARE(QDir(own).entryList(QDir::System).size(), 1);
        }
        QCOMPARE(startOnce(deep, 300, env), QByteArray(taken ? "refused" : "handed"));
        first.kill();
        first.waitForFinished(10000);
    }
}

QTEST_GUILESS_MAIN(TestTwoCopies)
#include "tst_two_copies.moc"
