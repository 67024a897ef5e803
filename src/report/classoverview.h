#pragma once

#include "history/reportsource.h"

#include <QStringList>

class QTableWidget;

namespace kalmix {

// The class overview's columns: player, last round, rounds this week, tasks, share right at
// the first try, trend.
QStringList classColumnTitles();
// The cells of a row as they are shown.
QStringList classRowTexts(const ReportClassRow& row);
// Fills the table; clicking a column sorts by its values (dates by time, numbers by size).
void fillClassTable(QTableWidget& table, const QList<ReportClassRow>& rows);

} // namespace kalmix
