#pragma once

#include <QByteArray>
#include <QString>

namespace kalmix {

// Windows-1252, the code page of the language file and of settings files written on Windows.
// Bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D have no character there; they decode to the C1
// control of the same value and encode back to that byte.
QString fromCp1252(const QByteArray& bytes);
// Characters outside the code page become '?'.
QByteArray toCp1252(const QString& text);

// Text files of the program: UTF-8, or Windows-1252 when the bytes are not valid UTF-8
// (a file written by an older Windows install). A leading byte order mark is dropped.
QString decodeTextFile(const QByteArray& bytes);

} // namespace kalmix
