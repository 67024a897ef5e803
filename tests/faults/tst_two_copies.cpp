#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Two copies on one settings file would overwrite each other's players: a second start hands
// over to the running copy and ends; a copy that was killed does not block the next start.
class TestTwoCopies : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void secondStartHandsOver();
};

namespace {
QByteArray firstLine(QProcess& p) {
    for (int i = 0; i < 100 && !p.canReadLine(); ++i)
        p.waitForReadyRead(100);
    return p.readLine().trimmed();
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
    refused.start(copy, {dir.path()});
    QVERIFY(refused.waitForFinished(10000));
    QCOMPARE(refused.readAll().trimmed(), QByteArray("refused"));
}

QTEST_GUILESS_MAIN(TestTwoCopies)
#include "tst_two_copies.moc"
