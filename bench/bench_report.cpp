// The report window's own share of its time, with a history the size of a class: 40 players
// with 25,000 answers each. The history's answers are made once beforehand, so what is
// measured is the window: opening on a player (with a full multiplication grid), choosing a
// player whose large range of sums is listed (20,000 practised facts), and the class overview
// shown and sorted by a column.
//   bench_report [RUNS]
#include "history/reportsource.h"
#include "profiles/settingsfile.h"
#include "report/factgrid.h"
#include "report/reportwindow.h"
#include "services/appinfo.h"
#include "services/lang.h"
#include "services/resfiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QListWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace kalmix;

namespace {

constexpr int kPlayers = 40;

class ClassHistory final : public ReportSource {
public:
    ClassHistory() {
        for (int i = 0; i < kPlayers; ++i)
            m_players.append({QStringLiteral("Player %1").arg(i + 1, 2, 10, QLatin1Char('0')),
                              i >= kPlayers - 3});
        // 25,000 answers of sums up to 500 touch about 20,000 facts.
        for (int a = 0; a <= 500 && m_sums.size() < 20000; ++a) {
            for (int b = 1; a + b <= 500 && m_sums.size() < 20000; b += 3)
                m_sums.append({a, b, 1 + (a + b) % 4, (a * b) % 3, state(a, b), (a + b) % 41 == 0});
        }
        for (int f = 0; f <= 20; ++f) {
            for (int m = 2; m <= 20; ++m)
                m_products.append({m, f, 30, 20 + (m * f) % 10, state(m, f), false});
        }
        const QDateTime now = QDateTime::currentDateTime();
        for (int i = 0; i < kPlayers; ++i)
            m_rows.append({m_players[i].name, m_players[i].deleted, now.addSecs(-3600 * i), i % 9,
                           25000 - i * 7, 0.5 + i / 100.0, i % 3 - 1});
    }
    static ReportFact::State state(int a, int b) {
        return static_cast<ReportFact::State>((a * 7 + b) % 4);
    }
    QList<ReportPlayer> players() override { return m_players; }
    QList<ReportDay> days(const QString&, QDate first, QDate last) override {
        QList<ReportDay> list;
        for (QDate d = first; d <= last; d = d.addDays(1))
            list.append({d, 25, 30, 22});
        return list;
    }
    ReportTotals totals(const QString&, const QDateTime&) override {
        return {620, 25000, 19000, 900, 4.2};
    }
    QList<ReportFact> facts(const QString&, const QString& operation, int, int) override {
        return operation == u'+' ? m_sums : m_products;
    }
    QList<ReportTrickyTask> trickyTasks(const QString&, const QDateTime&, int count) override {
        QList<ReportTrickyTask> list;
        for (int i = 0; i < count; ++i)
            list.append({QStringLiteral("*"), i + 2, 7, (i + 2) * 7, 12, 6, 5.5, false});
        return list;
    }
    QList<ReportClassRow> classOverview(const QDateTime&) override { return m_rows; }
    bool exportCsv(const QString&, const QString&, QString*) override { return true; }
    MergeResult merge(const QString&, MergeControl&) override { return {}; }

private:
    QList<ReportPlayer> m_players;
    QList<ReportFact> m_sums;
    QList<ReportFact> m_products;
    QList<ReportClassRow> m_rows;
};

struct Figures {
    std::vector<double> ms;
    void add(const QElapsedTimer& t) { ms.push_back(t.nsecsElapsed() / 1e6); }
    void print(const char* what) {
        std::sort(ms.begin(), ms.end());
        std::printf("%-58s median %7.2f ms   max %7.2f ms   (%zu runs)\n", what, ms[ms.size() / 2],
                    ms.back(), ms.size());
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    initResources();
    QTemporaryDir dir;
    setProgramDirForTesting(dir.path());
    WriteLanguageCopy();
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    // Player 01 practises multiplication with every factor, Player 02 sums up to 500.
    SaveIni(QStringLiteral("Player 01"), QStringLiteral("Uebung"), QStringLiteral(" 4"));
    SaveIni(QStringLiteral("Player 01"), QStringLiteral("Faktoren"),
            QStringLiteral("11111111111111111111"));
    SaveIni(QStringLiteral("Player 02"), QStringLiteral("Uebung"), QStringLiteral(" 2"));
    SaveIni(QStringLiteral("Player 02"), QStringLiteral("MaxSum"), QStringLiteral(" 5"));

    ClassHistory history;
    Figures open, listed, overview;
    for (int run = 0; run <= runs; ++run) { // the first run warms up
        QElapsedTimer t;
        t.start();
        ReportWindow window(history);
        window.show();
        window.repaint();
        QApplication::processEvents();
        if (run > 0)
            open.add(t);

        t.restart();
        window.lstPlayers->setCurrentRow(1);
        window.repaint();
        QApplication::processEvents();
        if (run > 0)
            listed.add(t);

        t.restart();
        window.tabs->setCurrentIndex(1);
        window.tblClass->sortByColumn(3, Qt::DescendingOrder);
        window.repaint();
        QApplication::processEvents();
        if (run > 0)
            overview.add(t);
    }
    std::printf("Report window, %d players with 25,000 answers each\n", kPlayers);
    open.print("opened on a player, multiplication grid 21 x 19, painted");
    listed.print("another player chosen: 20,000 sums listed, painted");
    overview.print("class overview shown, sorted by tasks, painted");
    return 0;
}
