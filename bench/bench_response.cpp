// Responsiveness: from Enter in the answer box to the right or wrong picture painted, in the
// real main window on the offscreen platform, with the game's clock and waits injected.
//
// usage: bench_response [--locked=write|exclusive] [--silent-class-server]
//   --locked=write      another program holds a write on the practice history from the first
//                       answer on (a database browser with unsaved changes);
//   --locked=exclusive  another program has taken the whole file before the game opens it.
// The lock is let go after the last answer; every answer must be in the history afterwards.
//   --silent-class-server  a class server is set, and it takes connections on 127.0.0.1 but
//                       never answers: the uploader waits for it while the child plays.
#include "classserver/classupload.h"
#include "engine/scheduler.h"
#include "history/historystore.h"
#include "main/frmkalmix.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/appinfo.h"
#include "services/clock.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/resfiles.h"
#include "services/sound.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

using namespace kalmix;

namespace {

// Waits that run only when the benchmark moves its clock on.
class ManualScheduler final : public Scheduler {
public:
    void after(int ms, std::function<void()> fn) override {
        m_queue.emplace(std::make_pair(m_now + ms, m_seq++), std::move(fn));
    }
    void advance(qint64 ms) {
        const qint64 target = m_now + ms;
        while (!m_queue.empty() && m_queue.begin()->first.first <= target) {
            auto node = m_queue.extract(m_queue.begin());
            m_now = node.key().first;
            node.mapped()();
        }
        m_now = target;
    }

private:
    qint64 m_now = 0;
    quint64 m_seq = 0;
    std::map<std::pair<qint64, quint64>, std::function<void()>> m_queue;
};

class Silent final : public SoundPlayer {
    void play(const QByteArray&) override {}
    void stop() override {}
};

// Another program holding the history file until it is let go.
class Locker {
public:
    bool take(const QString& path, const QString& mode) {
        m_process.start(QStringLiteral(HISTORY_LOCKER), {path, mode});
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
        m_process.waitForFinished(10000);
    }
    ~Locker() { release(); }

private:
    QProcess m_process;
};

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString locked;
    bool silentServer = false;
    for (const QString& arg : app.arguments().mid(1)) {
        if (arg.startsWith(QStringLiteral("--locked=")))
            locked = arg.mid(9);
        else if (arg == QStringLiteral("--silent-class-server"))
            silentServer = true;
        else
            locked = arg; // refused below
    }
    if (!locked.isEmpty() && locked != QStringLiteral("write") &&
        locked != QStringLiteral("exclusive")) {
        std::fprintf(stderr,
                     "usage: bench_response [--locked=write|exclusive] [--silent-class-server]\n");
        return 2;
    }
    initResources();
    QTemporaryDir dir;
    setProgramDirForTesting(dir.path());
    WriteLanguageCopy();
    ManualScheduler scheduler;
    setScheduler(&scheduler);
    Silent silent;
    setSoundPlayer(&silent);
    int messages = 0;
    setMsgBoxHook([&](const MsgBoxCall&) {
        ++messages;
        return MsgResult::Ok;
    });
    const QString history = dir.filePath(QStringLiteral("Kalmix.db"));
    // A server that accepts every connection and never says a word.
    QTcpServer mute;
    QList<QTcpSocket*> held;
    if (silentServer) {
        if (!mute.listen(QHostAddress::LocalHost))
            return 1;
        QObject::connect(&mute, &QTcpServer::newConnection, [&] {
            while (QTcpSocket* s = mute.nextPendingConnection())
                held.append(s);
        });
        SaveIni(QStringLiteral("Optionen"), QStringLiteral("Klassenserver"),
                QStringLiteral("host=127.0.0.1 port=%1 dbname=kalmix user=pupils_2a")
                    .arg(mute.serverPort()));
        SaveIni(QStringLiteral("Optionen"), QStringLiteral("Klasse"), QStringLiteral("2a"));
    }
    Locker locker;
    if (locked == QStringLiteral("exclusive")) {
        // A history with one answer, taken whole by the other program before the game starts.
        {
            HistoryStore earlier(history);
            earlier.roundStarted(QStringLiteral("Anna"), 2, QDateTime::currentDateTime());
            earlier.answerJudged(TaskFacts{2, QStringLiteral("+"), 1, 1, 2}, 2, Outcome::Right, 1.0,
                                 QDateTime::currentDateTime());
        }
        if (!locker.take(history, locked))
            return 1;
    }

    frmKalmix window;
    window.show();
    resetRecord();
    aktiv = QStringLiteral("Anna");
    Uebung = 2;
    MaxSum = 100;
    MinSum = 31;
    AufgZahl = 100;
    Animation = Hilfe = kTrue;
    window.game().Start_Click();

    std::vector<double> ms;
    std::vector<double> restarts;
    for (int i = 0; i < 300; ++i) {
        if (i == 1 && locked == QStringLiteral("write") && !locker.take(history, locked))
            return 1;
        scheduler.advance(3000);
        const bool wrong = i % 3 == 0;
        QTest::keyClicks(window.txtErgebnis,
                         QString::number(window.game().Ergebnis + (wrong ? 1 : 0)));
        QElapsedTimer t;
        t.start();
        QTest::keyClick(window.txtErgebnis, Qt::Key_Return);
        QLabel* picture = window.imgJaNein[wrong ? 1 : 0];
        if (!picture->isVisible())
            return 1;
        const QPixmap painted = window.grab(); // the whole window painted, the picture with it
        if (painted.isNull())
            return 1;
        ms.push_back(t.nsecsElapsed() / 1e6);
        if (Uebung == 2 && window.game().Geloest >= 90) {
            // A new round: the old one ends, and its journal goes into the file.
            QElapsedTimer restart;
            restart.start();
            window.game().Start_Click();
            restarts.push_back(restart.nsecsElapsed() / 1e6);
        }
    }
    // Every answer went into the practice history too, one transaction each, within the time;
    // those given while the file was held go in once it is free, at the latest as the program
    // ends.
    locker.release();
    qint64 waiting = -1;
    if (const ClassUploader* uploader = ClassUpload::running())
        waiting = uploader->waiting();
    QElapsedTimer quitting;
    quitting.start();
    window.close();
    const double quitMs = quitting.nsecsElapsed() / 1e6;
    long recorded = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("n"));
        db.setDatabaseName(dir.filePath(QStringLiteral("Kalmix.db")));
        QSqlQuery q(db);
        if (db.open() && q.exec(QStringLiteral("SELECT count(*) FROM answers")) && q.next())
            recorded = q.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("n"));
    if (!locked.isEmpty())
        std::printf("history held by another program (%s), messages shown: %d\n",
                    qPrintable(locked), messages);
    std::printf("answers recorded in the practice history: %ld\n", recorded);
    if (silentServer)
        std::printf("class server that never answers: %lld connections taken, answers waiting "
                    "for it at the end %lld, the end of the program took %.1f ms\n",
                    static_cast<long long>(held.size()), static_cast<long long>(waiting), quitMs);
    std::sort(ms.begin(), ms.end());
    std::printf("Enter to picture painted, %zu answers: median %.2f ms, 95th %.2f ms, max %.2f ms "
                "(target: under 16 ms)\n",
                ms.size(), ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back());
    if (!restarts.empty()) {
        std::sort(restarts.begin(), restarts.end());
        std::printf("Start again (the round before ends, 90 to 130 answers), %zu times: median "
                    "%.2f ms, max %.2f ms\n",
                    restarts.size(), restarts[restarts.size() / 2], restarts.back());
    }
    return ms.back() < 16 ? 0 : 2;
}
