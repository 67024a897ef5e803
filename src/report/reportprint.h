#pragma once

#include "history/reportsource.h"
#include "report/reportdata.h"

class QPagedPaintDevice;

namespace kalmix {

// The report on paper: a player on one page, or the class overview on as many pages as its
// rows need. False when the device could not be painted on.
bool printPlayer(QPagedPaintDevice& device, const PlayerReport& report);
bool printClassOverview(QPagedPaintDevice& device, const QList<ReportClassRow>& rows,
                        const QDateTime& at);
// Writes the player's page (or, without a player, the class overview) as a PDF file. The file
// is replaced only when the whole document was written; false with the reason otherwise.
bool savePdf(const QString& path, const PlayerReport* report, const QList<ReportClassRow>& rows,
             const QDateTime& at, QString* why);

} // namespace kalmix
