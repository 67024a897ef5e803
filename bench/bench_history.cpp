// The practice history's figures on a large store (made by bench_make_history):
//   bench_history BIG.db SMALL.db
// one player's report queries together, the class overview, merging SMALL into a copy of BIG,
// the bytes per answer, and the time one answer adds when it is recorded.
#include "history/historystore.h"
#include "services/appinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace kalmix;

namespace {

// Processor time of this program in ms: on a loaded machine the wall time waits for the others.
double cpuMs() {
    return std::clock() * 1000.0 / CLOCKS_PER_SEC;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long countAnswers(const QString& path) {
    long n = 0;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT count(*) FROM answer")) && q.next())
            n = q.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return n;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_history BIG.db SMALL.db\n");
        return 2;
    }
    const QString big = QString::fromLocal8Bit(argv[1]);
    const QString small = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir dir;
    setProgramDirForTesting(dir.path());
    // The settings file lists all players but the last two, who count as deleted.
    QByteArray ini = "[Benutzer]\r\n";
    for (int p = 1; p <= 38; ++p)
        ini += QByteArray("Name") + QByteArray::number(p) + "=Player " + QByteArray::number(p) +
               "\r\n";
    QFile f(dir.filePath(QStringLiteral("Kalmix.ini")));
    if (!f.open(QIODevice::WriteOnly) || f.write(ini) < 0)
        return 1;
    f.close();
    const QString work = dir.filePath(QStringLiteral("Kalmix.db"));
    if (!QFile::copy(big, work))
        return 1;

    const long answers = countAnswers(work);
    std::printf("store: %ld answers, %.1f MB, %.1f bytes per answer (target: under 100)\n", answers,
                QFileInfo(work).size() / 1e6, double(QFileInfo(work).size()) / answers);

    const QDateTime now(QDate(2026, 12, 9), QTime(18, 0));
    std::vector<double> report, overview, reportCpu, overviewCpu;
    for (int p = 1; p <= 40; p += 4) {
        HistoryStore store(work); // a fresh store, as when the report window opens
        const QString player = QStringLiteral("Player %1").arg(p);
        QElapsedTimer t;
        t.start();
        double cpu = cpuMs();
        store.players();
        store.days(player, now.date().addDays(-41), now.date());
        store.totals(player, now.addDays(-7));
        store.totals(player, now.addDays(-30));
        store.totals(player, {});
        for (const char* op : {"+", "-", "*", "/"})
            store.facts(player, QString::fromLatin1(op), 20, 20);
        store.trickyTasks(player, now.addDays(-30), 10);
        report.push_back(t.nsecsElapsed() / 1e6);
        reportCpu.push_back(cpuMs() - cpu);
        HistoryStore other(work);
        t.restart();
        cpu = cpuMs();
        other.classOverview(now);
        overview.push_back(t.nsecsElapsed() / 1e6);
        overviewCpu.push_back(cpuMs() - cpu);
    }
    std::printf("one player's report (players, 6 weeks of days, 3 totals, 4 fact grids, tricky "
                "tasks), %zu players: median %.0f ms, max %.0f ms, processor median %.0f ms "
                "(target: under 300 ms)\n",
                report.size(), median(report), *std::max_element(report.begin(), report.end()),
                median(reportCpu));
    std::printf(
        "class overview of 40 players: median %.0f ms, max %.0f ms (target: under 500 ms)\n",
        median(overview), *std::max_element(overview.begin(), overview.end()));

    {
        HistoryStore store(work);
        QElapsedTimer t;
        t.start();
        const double cpu = cpuMs();
        const MergeResult r = store.merge(small);
        std::printf("merge of %ld answers into the store: %.2f s (processor %.2f s), %d rounds and "
                    "%d answers added (target: under 5 s)\n",
                    countAnswers(small), t.nsecsElapsed() / 1e9, (cpuMs() - cpu) / 1000, r.rounds,
                    r.answers);
        t.restart();
        const double againCpu = cpuMs();
        const MergeResult again = store.merge(small);
        std::printf("the same file again: %.2f s (processor %.2f s), %d answers added\n",
                    t.nsecsElapsed() / 1e9, (cpuMs() - againCpu) / 1000, again.answers);
    }

    {
        HistoryStore store(work);
        std::vector<double> ms;
        store.roundStarted(QStringLiteral("Player 1"), 2, now);
        for (int i = 0; i < 2000; ++i) {
            const TaskFacts task{2, QStringLiteral("+"), i % 10, 3, i % 10 + 3};
            store.taskShown(task, false);
            QElapsedTimer t;
            t.start();
            store.answerJudged(task, task.expected, Outcome::Right, 2.5, now.addSecs(i));
            ms.push_back(t.nsecsElapsed() / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("recording one answer (one transaction) on this store, %zu answers: median "
                    "%.3f ms, 99th %.3f ms, max %.3f ms (target: under 1 ms)\n",
                    ms.size(), ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back());
    }
    setProgramDirForTesting({});
    return 0;
}
