#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QVariant>
#include <functional>

namespace kalmix {

// A field as the exports write it (RFC 4180); free text that a spreadsheet would take for a
// formula keeps its meaning as text.
QByteArray csvField(const QVariant& v, bool freeText);

// Writes all the bytes, or fails with the reason.
bool writeWhole(QIODevice& out, const QByteArray& bytes, QString* error);

// Writes a file through `write`: the file is whole when it returns true, and the file that
// was there stays as it was when anything fails.
bool saveCsv(const QString& path, const std::function<bool(QIODevice&, QString*)>& write,
             QString* error);

} // namespace kalmix
