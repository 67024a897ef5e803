// The history leaves this computer as CSV.
#include "history/historyschema.h"
#include "history/historystore.h"
#include "services/lang.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
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

// A field as RFC 4180 writes it: quoted when it holds a comma, a quote or a line break, with
// its quotes doubled.
QByteArray csvField(const QVariant& v) {
    if (v.isNull())
        return {};
    QByteArray text = v.typeId() == QMetaType::Double ? QByteArray::number(v.toDouble(), 'g', 12)
                                                      : v.toString().toUtf8();
    if (text.contains(',') || text.contains('"') || text.contains('\r') || text.contains('\n'))
        text = '"' + text.replace("\"", "\"\"") + '"';
    return text;
}

} // namespace

bool HistoryStore::exportCsv(const QString& path, const QString& player, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QByteArray out = QByteArray(kColumns).replace(" ", "") + "\r\n";
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
            file.cancelWriting();
            return false;
        }
        const int columns = q.record().count();
        while (q.next()) {
            for (int c = 0; c < columns; ++c) {
                if (c)
                    out += ',';
                out += csvField(q.value(c));
            }
            out += "\r\n";
            if (out.size() > (1 << 20)) {
                file.write(out);
                out.clear();
            }
        }
    }
    file.write(out);
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace kalmix
