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

// Text files of the program. A file with a UTF-16 byte order mark, or whose every other byte is
// zero, is UTF-16. Otherwise each line is read on its own: a line that is valid UTF-8 is UTF-8,
// any other line Windows-1252 (written by an older Windows install, or one line pasted in from
// one), so a single foreign byte never changes how the rest of the file reads. A leading byte
// order mark is dropped. faithful, when given, tells whether the text is what the file holds:
// false for UTF-16 that does not decode; such a file must not be written back from the text.
QString decodeTextFile(const QByteArray& bytes, bool* faithful = nullptr);

} // namespace kalmix
