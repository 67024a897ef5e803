#pragma once

#include "history/reportsource.h"
#include "report/factgrid.h"

#include <QDateTime>
#include <QList>

namespace kalmix {

inline constexpr int kChartDays = 28; // the chart's last four weeks
inline constexpr int kTrickyCount = 10;

// Everything the report shows of one player, as read from the history at one moment.
struct PlayerReport {
    ReportPlayer player;
    QDateTime at;
    QList<ReportDay> days;
    ReportTotals totals[3]; // the last 7 days, the last 30 days, all time
    PlayerExercise exercise;
    FactLayout layout;
    QList<ReportFact> facts;
    QList<ReportTrickyTask> tricky;
};

// The player's days, totals and tricky tasks. The facts are read by loadFacts.
PlayerReport loadPlayerReport(ReportSource& source, const ReportPlayer& player,
                              const QDateTime& now);
// The facts of one operation in the layout of the player's exercise.
void loadFacts(ReportSource& source, PlayerReport& report, const QString& operation);

// Texts of the values, in the current language.
QString playerLabel(const ReportPlayer& player);
QString shareText(int part, int whole);       // "75 %", "-" without a whole
QString secondsText(std::optional<double> s); // "4.2", "-" without a value
QString trickyTaskText(const ReportTrickyTask& task);
// The five rows of the totals (rounds, tasks, right at the first try, help used, median
// seconds) of one span.
QStringList totalsTexts(const ReportTotals& totals);
QStringList totalsRowTitles();
QStringList totalsColumnTitles();

} // namespace kalmix
