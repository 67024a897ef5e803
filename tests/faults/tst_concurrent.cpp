#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// Two programs write the settings file at the same time while a third reads it: every state
// the reader sees is a whole file, and so is the last one.
class TestConcurrent : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void twoWritersNeverCorruptTheFile();
};

namespace {
bool whole(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return true;
    if (!bytes.endsWith("\r\n"))
        return false;
    static const QRegularExpression line(QStringLiteral("^(\\[[^\\]]+\\]|[A-Za-z0-9]+=.*)$"));
    const QString text = QString::fromUtf8(bytes.chopped(2));
    if (text.contains(u'\n') && text.count(QStringLiteral("\r\n")) != text.count(u'\n'))
        return false; // a line end without its carriage return
    for (const QString& l : text.split(QStringLiteral("\r\n"))) {
        if (!line.match(l).hasMatch())
            return false;
    }
    return true;
}
} // namespace

void TestConcurrent::twoWritersNeverCorruptTheFile() {
    QTemporaryDir dir;
    const QString writer = QStringLiteral(INI_WRITER);
    QProcess a, b;
    a.start(writer, {dir.path(), QStringLiteral("Anna"), QStringLiteral("150")});
    b.start(writer, {dir.path(), QStringLiteral("Ben"), QStringLiteral("150")});
    QVERIFY(a.waitForStarted() && b.waitForStarted());
    int snapshots = 0;
    while (a.state() != QProcess::NotRunning || b.state() != QProcess::NotRunning) {
        QFile f(dir.filePath(QStringLiteral("Kalmix.ini")));
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = f.readAll();
            QVERIFY2(whole(bytes), bytes.constData());
            ++snapshots;
        }
        a.waitForFinished(1);
        b.waitForFinished(1);
    }
    QCOMPARE(a.exitCode(), 0);
    QCOMPARE(b.exitCode(), 0);
    QFile f(dir.filePath(QStringLiteral("Kalmix.ini")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray last = f.readAll();
    QVERIFY(whole(last));
    QVERIFY(last.contains("[Optionen]\r\nSprache="));
    QVERIFY(snapshots > 0);
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Kalmix.ini")});
}

QTEST_GUILESS_MAIN(TestConcurrent)
#include "tst_concurrent.moc"
