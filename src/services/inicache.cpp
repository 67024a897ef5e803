#include "services/inicache.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <algorithm>
#include <sys/stat.h>

namespace kalmix {

namespace {

constexpr qsizetype kBufferChars = 254;

// Reads a whole file; false when it exists but cannot be read.
bool readFile(const QString& file, QByteArray* bytes) {
    QFile f(file);
    if (!f.exists()) {
        bytes->clear();
        return true;
    }
    if (!f.open(QIODevice::ReadOnly))
        return false;
    *bytes = f.readAll();
    return f.error() == QFileDevice::NoError;
}

} // namespace

QString cutToBuffer(const QString& text) {
    if (text.size() <= kBufferChars)
        return text;
    qsizetype n = kBufferChars;
    if (text[n - 1].isHighSurrogate())
        --n; // never split a character in two
    return text.first(n);
}

long long profileNumber(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    constexpr long long kCap = 1LL << 40;
    long long value = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (value < kCap)
            value = value * 10 + (text[i].unicode() - u'0');
    }
    return negative ? -value : value;
}

namespace inifiles {

std::optional<FileStamp> stampOf(const QString& file) {
    struct stat st {};
    if (::stat(QFile::encodeName(file).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileStamp{static_cast<qint64>(st.st_size),
                     static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec,
                     static_cast<qint64>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec,
                     static_cast<quint64>(st.st_ino), static_cast<quint64>(st.st_dev)};
}

qint64 nowNs() {
    return QDateTime::currentMSecsSinceEpoch() * 1'000'000LL;
}

namespace {

// Whether a file with this stamp, read at that moment, cannot have changed unseen since.
bool settledAt(const FileStamp& stamp, qint64 readAtNs) {
    // Stamps with parts of a second come from a tick-grained clock; whole seconds may be all
    // the file system keeps.
    const bool fine = stamp.mtimeNs % 1'000'000'000LL != 0 || stamp.ctimeNs % 1'000'000'000LL != 0;
    const qint64 margin = fine ? 50'000'000LL : 2'000'000'000LL;
    return readAtNs - std::max(stamp.mtimeNs, stamp.ctimeNs) > margin;
}

QHash<QString, ParsedFile>& parsedFiles() {
    static QHash<QString, ParsedFile> files;
    return files;
}

} // namespace

void forget(const QString& file) {
    parsedFiles().remove(file);
}

ParsedFile& remember(const QString& file, ParsedFile parsed) {
    if (parsedFiles().size() > 8 && !parsedFiles().contains(file))
        parsedFiles().clear();
    return *parsedFiles().insert(file, std::move(parsed));
}

// The parsed copy of the file as it is now, the stamp being what the file is now; nullptr
// when it is absent or cannot be read.
const ParsedFile* current(const QString& file, const std::optional<FileStamp>& stamp) {
    if (!stamp) {
        forget(file);
        return nullptr;
    }
    auto it = parsedFiles().find(file);
    if (it != parsedFiles().end() && it->stamp == *stamp && settledAt(*stamp, it->readAtNs))
        return &*it;
    const qint64 readAt = nowNs();
    QByteArray bytes;
    if (!readFile(file, &bytes)) {
        forget(file);
        return nullptr;
    }
    if (it != parsedFiles().end() && it->bytes == bytes) {
        it->stamp = *stamp;
        it->readAtNs = readAt;
        return &*it;
    }
    bool faithful = true;
    IniDocument doc = IniDocument::parse(bytes, &faithful);
    return &remember(file, ParsedFile{*stamp, readAt, bytes, faithful, std::move(doc)});
}

} // namespace inifiles

std::optional<QString> readIniValue(const QString& file, const QString& section,
                                    const QString& key) {
    const inifiles::ParsedFile* parsed = inifiles::current(file, inifiles::stampOf(file));
    if (!parsed)
        return std::nullopt;
    return parsed->doc.value(section, key);
}

} // namespace kalmix
