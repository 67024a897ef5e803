// The history leaves Kalmix as CSV: its fields and a file written whole or not at all.
#include "history/csvfile.h"

#include <QSaveFile>

namespace kalmix {

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

bool saveCsv(const QString& path, const std::function<bool(QIODevice&, QString*)>& write,
             QString* error) {
    QSaveFile file(path);
    // Unbuffered: each write reaches the file at once and says how much it took, so a short
    // one cannot hide in a buffer that is flushed only when the file is closed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    if (!write(file, error)) {
        file.cancelWriting(); // the file that was there stays as it was
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace kalmix
