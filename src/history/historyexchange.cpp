// The history leaves this computer as CSV.
#include "history/csvfile.h"
#include "history/historyschema.h"
#include "history/historystore.h"
#include "services/lang.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace kalmix {

using namespace history;

namespace {

const char kColumns[] = "player, round_started, answered_at, kind, operation, a, b, expected, "
                        "answer, outcome, seconds, attempt, tricky";

} // namespace

bool HistoryStore::exportCsv(const QString& path, const QString& player, QString* error) {
    return saveCsv(
        path, [&](QIODevice& out, QString* why) { return writeCsv(out, player, why); }, error);
}

bool HistoryStore::writeCsv(QIODevice& out, const QString& player, QString* error) {
    QByteArray bytes = QByteArray(kColumns).replace(" ", "") + "\r\n";
    if (ensureOpen(Open::ExistingOnly)) {
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT %1 FROM answers %2 ORDER BY answered_at, player")
                      .arg(QLatin1String(kColumns),
                           player.isEmpty() ? QString() : QStringLiteral("WHERE player = ?")));
        if (!player.isEmpty())
            q.addBindValue(player);
        if (!q.exec()) {
            *error = q.lastError().text();
            return false;
        }
        const int columns = q.record().count();
        while (q.next()) {
            for (int c = 0; c < columns; ++c) {
                if (c)
                    bytes += ',';
                bytes += csvField(q.value(c), c == 0); // the player's name is the free text
            }
            bytes += "\r\n";
            if (bytes.size() > (1 << 20)) {
                if (!writeWhole(out, bytes, error))
                    return false;
                bytes.clear();
            }
        }
    }
    return writeWhole(out, bytes, error);
}

} // namespace kalmix
