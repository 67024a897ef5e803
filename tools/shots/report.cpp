// Shows the report window with a history full of plausible data, for screenshots:
//   shot_report [LANGUAGE_BASE] [TAB] [PLAYER_ROW] [PDF_FILE]
// TAB 1 is the class overview; TAB 9 shows the player page under the bar of a merge under way.
// With a PDF file the tab's pages are saved there instead. It runs in
// a fresh program directory under /tmp.
#include "errors/fehlerwart.h"
#include "history/reportsource.h"
#include "profiles/settingsfile.h"
#include "report/mergeprogress.h"
#include "report/reportdialogs.h"
#include "report/reportwindow.h"
#include "services/appinfo.h"
#include "services/clock.h"
#include "services/lang.h"
#include "services/resfiles.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTabWidget>
#include <QThread>
#include <QTimer>

using namespace kalmix;

namespace {

// A steady pseudo-random number from a few values, so every run shows the same picture.
int noise(int a, int b, int c = 0) {
    unsigned h = 2166136261u;
    for (int v : {a, b, c})
        h = (h ^ static_cast<unsigned>(v)) * 16777619u;
    return static_cast<int>(h % 1000u);
}

class SampleHistory final : public ReportSource {
public:
    QList<ReportPlayer> players() override {
        return {{QStringLiteral("Anna"), false},  {QStringLiteral("Ben"), false},
                {QStringLiteral("Clara"), false}, {QStringLiteral("David"), false},
                {QStringLiteral("Emil"), false},  {QStringLiteral("Lotte"), true}};
    }
    QList<ReportDay> days(const QString& player, QDate first, QDate last) override {
        QList<ReportDay> list;
        const int p = static_cast<int>(player.size());
        for (QDate d = first; d <= last; d = d.addDays(1)) {
            ReportDay day{d, 0, 0, 0};
            if (d.dayOfWeek() < 6 && noise(p, static_cast<int>(d.toJulianDay())) < 800) {
                day.tasks = 10 + noise(p, static_cast<int>(d.toJulianDay()), 1) % 25;
                day.rightFirstTry =
                    day.tasks * (55 + first.daysTo(d) + noise(p, d.day()) % 20) / 100;
                day.rightFirstTry = std::min(day.rightFirstTry, day.tasks);
                day.solved = day.tasks - noise(p, d.day(), 2) % 3;
            }
            list.append(day);
        }
        return list;
    }
    ReportTotals totals(const QString&, const QDateTime& since) override {
        const int days =
            since.isValid() ? static_cast<int>(since.daysTo(kalmix::clock().now())) : 120;
        ReportTotals t;
        t.rounds = days * 4 / 5;
        t.tasks = t.rounds * 19;
        t.rightFirstTry = t.tasks * (days <= 7 ? 81 : days <= 30 ? 76 : 68) / 100;
        t.helped = t.tasks / 23;
        t.medianSeconds = days <= 7 ? 3.8 : days <= 30 ? 4.3 : 5.1;
        return t;
    }
    QList<ReportFact> facts(const QString&, const QString& operation, int maxA, int maxB) override {
        QList<ReportFact> list;
        for (int a = 0; a <= maxA; ++a) {
            for (int b = 0; b <= maxB; ++b) {
                if (operation == u'/' && (b == 0 || a % b != 0))
                    continue;
                const int n = noise(a, b, static_cast<int>(operation[0].unicode()));
                if (n < 120)
                    continue; // not yet practised
                ReportFact f{a, b, 3 + n % 9, 0, ReportFact::State::Learning, false};
                f.rightFirstTry = f.tasks * (n % 100) / 100;
                if (n % 7 == 0)
                    f.state = ReportFact::State::OftenWrong;
                else if (n > 520)
                    f.state = ReportFact::State::Mastered;
                f.leftTricky = n % 37 == 0;
                list.append(f);
            }
        }
        return list;
    }
    QList<ReportTrickyTask> trickyTasks(const QString&, const QDateTime&, int count) override {
        const int tasks[10][3] = {{7, 8, 56}, {6, 9, 54}, {8, 7, 56}, {9, 6, 54}, {7, 6, 42},
                                  {8, 8, 64}, {4, 9, 36}, {6, 7, 42}, {9, 8, 72}, {3, 7, 21}};
        QList<ReportTrickyTask> list;
        for (int i = 0; i < count && i < 10; ++i)
            list.append({QStringLiteral("*"), tasks[i][0], tasks[i][1], tasks[i][2], 9 - i / 2,
                         5 - i / 2, 7.5 - i * 0.4, i == 9});
        return list;
    }
    QList<ReportClassRow> classOverview(const QDateTime& now) override {
        QList<ReportClassRow> rows;
        int i = 0;
        for (const ReportPlayer& p : players()) {
            ReportClassRow r;
            r.player = p.name;
            r.deleted = p.deleted;
            r.lastRound = now.addSecs(-3600 * (5 + 29 * i) - 60 * noise(i, 4) / 20);
            if (p.deleted)
                r.lastRound = now.addDays(-64);
            r.roundsThisWeek = p.deleted ? 0 : 2 + noise(i, 1) % 9;
            r.tasks = 150 + noise(i, 2) * 2;
            r.shareRightFirstTry = 0.55 + noise(i, 3) / 3000.0;
            r.trend = p.deleted ? 0 : noise(i, 5) % 3 - 1;
            rows.append(r);
            ++i;
        }
        return rows;
    }
    bool exportCsv(const QString&, const QString&, QString*) override { return true; }
    MergeResult merge(const QString&, MergeControl&) override {
        MergeResult done;
        done.ok = true;
        return done;
    }
    using ReportSource::merge;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    initResources();
    Fehlerwart::install();
    SprachBasis = static_cast<std::int16_t>(argc > 1 ? QByteArray(argv[1]).toInt() : 0);
    const int tab = argc > 2 ? QByteArray(argv[2]).toInt() : 0;
    const int row = argc > 3 ? QByteArray(argv[3]).toInt() : 0;
    const QString dir = QDir::tempPath() + QStringLiteral("/kalmix-shot-report");
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    setProgramDirForTesting(dir);
    WriteLanguageCopy();
    SaveIni(QStringLiteral("Anna"), QStringLiteral("Uebung"), QStringLiteral(" 4"));
    SaveIni(QStringLiteral("Anna"), QStringLiteral("Faktoren"),
            QStringLiteral("11111111100000000000")); // 2 to 10
    SaveIni(QStringLiteral("Ben"), QStringLiteral("Uebung"), QStringLiteral(" 2"));
    SaveIni(QStringLiteral("Ben"), QStringLiteral("MaxSum"), QStringLiteral(" 0"));
    SaveIni(QStringLiteral("Clara"), QStringLiteral("Uebung"), QStringLiteral(" 6"));
    SaveIni(QStringLiteral("Clara"), QStringLiteral("MaxSum"), QStringLiteral(" 3"));

    SampleHistory history;
    setReportSource(&history);
    ReportWindow window(history);
    window.tabs->setCurrentIndex(tab);
    window.lstPlayers->setCurrentRow(row);
    if (argc > 4) {
        setFileDialogHook([&](const FileDialogCall&) { return QString::fromLocal8Bit(argv[4]); });
        window.cmdPdf_Click();
        return 0;
    }
    window.show();
    QTimer::singleShot(30000, &app, &QApplication::quit);
    if (tab == 9) {
        // The bar of a merge under way, over the report window.
        QTimer::singleShot(300, &window, [&window] {
            MergeProgress progress(QStringLiteral("/media/usb/Kalmix.db"), &window);
            QTimer::singleShot(25000, &progress, [&progress] { progress.cancel(); });
            progress.run([&progress] {
                progress.setProgress(MergeControl::kComplete * 2 / 5);
                while (!progress.cancelled())
                    QThread::msleep(20);
            });
        });
    }
    return app.exec();
}
