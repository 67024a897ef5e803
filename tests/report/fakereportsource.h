#pragma once

#include "history/reportsource.h"

#include <QHash>
#include <chrono>
#include <thread>

namespace kalmix::test {

// A history with fixed data that records what the window asked of it.
class FakeReportSource final : public ReportSource {
public:
    QList<ReportPlayer> playerList;
    QHash<QString, QList<ReportFact>> factsByOperation; // for every player
    QList<ReportClassRow> rows;
    int trickyCount = 10;
    bool csvOk = true;
    MergeResult mergeResult;
    QList<ReportPlayer> afterMerge; // the players once merged

    QStringList csvCalls;   // "path|player"
    QStringList mergeCalls; // paths
    QStringList factCalls;  // "player op maxA maxB"

    QString originText; // where the figures come from; empty: this computer's history
    int readings = 0;   // windows opened on it
    void beginReading() override { ++readings; }
    QString origin() override { return originText; }
    QList<ReportPlayer> players() override { return playerList; }
    QList<ReportDay> days(const QString& player, QDate first, QDate last) override {
        QList<ReportDay> list;
        for (QDate d = first; d <= last; d = d.addDays(1))
            list.append({d, d.day() % 5 * int(player.size()), d.day() % 5 * 6, d.day() % 5 * 4});
        return list;
    }
    // The span shows in the rounds: 1 for the last 7 days, 2 for 30 days, 3 for all time.
    ReportTotals totals(const QString&, const QDateTime& since) override {
        ReportTotals t;
        t.rounds = !since.isValid() ? 3 : since.daysTo(now) > 7 ? 2 : 1;
        t.tasks = 10 * t.rounds;
        t.rightFirstTry = 5 * t.rounds;
        t.helped = t.rounds;
        t.medianSeconds = 4.5;
        return t;
    }
    QList<ReportFact> facts(const QString& player, const QString& operation, int maxA,
                            int maxB) override {
        factCalls.append(QStringLiteral("%1 %2 %3 %4").arg(player, operation).arg(maxA).arg(maxB));
        return factsByOperation.value(operation);
    }
    QList<ReportTrickyTask> trickyTasks(const QString&, const QDateTime&, int count) override {
        QList<ReportTrickyTask> list;
        for (int i = 0; i < std::min(count, trickyCount); ++i)
            list.append({QStringLiteral("*"), i + 2, 7, (i + 2) * 7, 5, 3, 6.0, i == 0});
        return list;
    }
    QList<ReportClassRow> classOverview(const QDateTime&) override { return rows; }
    bool exportCsv(const QString& path, const QString& player, QString* error) override {
        csvCalls.append(path + u'|' + player);
        if (!csvOk)
            *error = QStringLiteral("disk full");
        return csvOk;
    }
    // The merge's work runs where the control runs it; it reports half done, then waits for
    // Cancel when asked to.
    MergeResult merge(const QString& path, MergeControl& control) override {
        mergeCalls.append(path);
        MergeResult result = mergeResult;
        control.run([&] {
            control.setProgress(MergeControl::kComplete / 2);
            while (mergeWaitsForCancel && !control.cancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (control.cancelled())
                result = MergeResult{false, {}, 0, 0, 0, true};
        });
        if (result.ok)
            playerList = afterMerge;
        return result;
    }
    bool mergeWaitsForCancel = false;

    QDateTime now;
};

} // namespace kalmix::test
