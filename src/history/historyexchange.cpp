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
// its quotes doubled. Free text (a player's name) that a spreadsheet would take for a formula
// (it begins with = + - @, a tab or a carriage return) gets an apostrophe in front, so that it
// is shown as the text it is.
QByteArray csvField(const QVariant& v, bool freeText) {
    if (v.isNull())
        return {};
    QByteArray text = v.typeId() == QMetaType::Double ? QByteArray::number(v.toDouble(), 'g', 12)
                                                      : v.toString().toUtf8();
    if (freeText && !text.isEmpty() && QByteArrayLiteral("=+-@\t\r").contains(text.front()))
        text.prepend('\'');
    if (text.contains(',') || text.contains('"') || text.contains('\r') || text.contains('\n'))
        text = '"' + text.replace("\"", "\"\"") + '"';
    return text;
}

// Writes all the bytes; a write that takes only part of them is tried on with the rest, so a
// full disk or a file-size limit ends in a failure with its reason, never in a cut-off file.
bool writeWhole(QIODevice& out, const QByteArray& bytes, QString* error) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = out.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            *error = out.errorString();
            return false;
        }
        done += n;
    }
    return true;
}
} // namespace

bool HistoryStore::exportCsv(const QString& path, const QString& player, QString* error) {
    QSaveFile file(path);
    // Unbuffered: each write reaches the file at once and says how much it took, so a short
    // one cannot hide in a buffer that is flushed only when the file is closed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    if (!writeCsv(file, player, error)) {
        file.cancelWriting(); // the file that was there stays as it was
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
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
