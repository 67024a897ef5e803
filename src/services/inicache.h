#pragma once

// INI files read through a cache: each file is parsed once and parsed again only when it has
// changed, so a file read many times in a row (a long player list, the language file) costs
// one parse, while every read still sees the file as it is now.

#include "services/ini.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace kalmix {

// The value of a key in a section of an INI file as it is now; nothing when the file, the
// section or the key is absent, or the file cannot be read.
std::optional<QString> readIniValue(const QString& file, const QString& section,
                                    const QString& key);

// Text as a fixed buffer of 255 characters would return it: at most 254 characters.
QString cutToBuffer(const QString& text);

// The number at the start of a text, as the profile functions read it: blanks, an optional
// sign, digits up to the first other character. No digits read as 0. The result saturates
// far outside the 32-bit range, so overflow checks stay meaningful.
long long profileNumber(const QString& text);

namespace inifiles {

// What a file is right now. File times have a coarse grain (a clock tick, or whole seconds
// on some file systems), so two writes in quick succession can leave the same stamp. A parsed
// copy is therefore trusted on its stamp only when the file's last change lay well before the
// moment its bytes were read: any later change then bears a later stamp. Otherwise the file is
// read again and compared byte for byte. Either way every call sees the file as it is, while a
// file read many times in a row (a long player list) is parsed only once.
struct FileStamp {
    qint64 size = -1;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    bool operator==(const FileStamp&) const = default;
};

std::optional<FileStamp> stampOf(const QString& file);
qint64 nowNs();

struct ParsedFile {
    FileStamp stamp;
    qint64 readAtNs = 0; // when the bytes were last known to be the file's
    QByteArray bytes;
    bool faithful = true; // the text is what the file holds (see decodeTextFile)
    IniDocument doc;      // with its index, kept in step with every change written
};

// The parsed copy of the file as it is now, the stamp being what the file is now; nullptr
// when it is absent or cannot be read.
const ParsedFile* current(const QString& file, const std::optional<FileStamp>& stamp);
// Keeps a parsed copy (the one just written) or drops it.
ParsedFile& remember(const QString& file, ParsedFile parsed);
void forget(const QString& file);

} // namespace inifiles

} // namespace kalmix
