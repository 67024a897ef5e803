#include "services/settings.h"

#include "errors/procedure.h"
#include "errors/runtimeerror.h"
#include "services/appinfo.h"
#include "services/filewrite.h"
#include "services/ini.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
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

QString iniFilePath() {
    return withSeparator(programDir()) + QLatin1String(kProgramTitle) + QStringLiteral(".ini");
}

QString Str(long long number) {
    return number < 0 ? QString::number(number) : u' ' + QString::number(number);
}

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

namespace {

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

// Whether a file with this stamp, read at that moment, cannot have changed unseen since.
bool settledAt(const FileStamp& stamp, qint64 readAtNs) {
    // Stamps with parts of a second come from a tick-grained clock; whole seconds may be all
    // the file system keeps.
    const bool fine = stamp.mtimeNs % 1'000'000'000LL != 0 || stamp.ctimeNs % 1'000'000'000LL != 0;
    const qint64 margin = fine ? 50'000'000LL : 2'000'000'000LL;
    return readAtNs - std::max(stamp.mtimeNs, stamp.ctimeNs) > margin;
}

struct ParsedFile {
    FileStamp stamp;
    qint64 readAtNs = 0; // when the bytes were last known to be the file's
    QByteArray bytes;
    IniIndex index;
};

QHash<QString, ParsedFile>& parsedFiles() {
    static QHash<QString, ParsedFile> files;
    return files;
}

void forget(const QString& file) {
    parsedFiles().remove(file);
}

} // namespace

std::optional<QString> profileRead(const QString& file, const QString& section,
                                   const QString& key) {
    const std::optional<FileStamp> stamp = stampOf(file);
    if (!stamp) {
        forget(file);
        return std::nullopt;
    }
    auto it = parsedFiles().find(file);
    const bool trusted =
        it != parsedFiles().end() && it->stamp == *stamp && settledAt(*stamp, it->readAtNs);
    if (!trusted) {
        const qint64 readAt = nowNs();
        QByteArray bytes;
        if (!readFile(file, &bytes)) {
            forget(file);
            return std::nullopt;
        }
        if (it == parsedFiles().end() || it->bytes != bytes) {
            if (parsedFiles().size() > 8)
                parsedFiles().clear();
            it = parsedFiles().insert(
                file, ParsedFile{*stamp, readAt, bytes, IniIndex(IniDocument::parse(bytes))});
        } else {
            it->stamp = *stamp;
            it->readAtNs = readAt;
        }
    }
    return it->index.value(section, key);
}

bool profileWrite(const QString& file, const QString& section, const std::optional<QString>& key,
                  const std::optional<QString>& value) {
    // Storing what is already stored leaves the file alone (start-up stores the language and
    // the signs again, whatever the size of the file).
    if (key && value && !key->contains(u'\n') && !value->contains(u'\n') &&
        !value->contains(u'\r') && !value->contains(QChar(0))) {
        // Only a file parsed already is asked, and only when it is still that file.
        const auto it = parsedFiles().constFind(file);
        if (it != parsedFiles().constEnd() && it->index.holdsExactly(section, *key, *value)) {
            const std::optional<FileStamp> stamp = stampOf(file);
            QByteArray bytes;
            if (stamp && *stamp == it->stamp &&
                (settledAt(*stamp, it->readAtNs) || (readFile(file, &bytes) && bytes == it->bytes)))
                return true;
        }
    }
    QByteArray bytes;
    if (!readFile(file, &bytes))
        return false; // never replace a file whose contents could not be read
    const QFileInfo info(file);
    if (info.exists() && !info.isWritable())
        return false; // a read-only settings file stays as it is
    IniDocument doc = IniDocument::parse(bytes);
    if (!key)
        doc.removeSection(section);
    else if (!value)
        doc.removeKey(section, *key);
    else
        doc.setValue(section, *key, *value);
    const QByteArray out = doc.toBytes();
    if (info.exists() && out == bytes)
        return true;

    forget(file);
    return writeFileAtomically(file, out);
}

std::int16_t GetIniInt(const QString& section, const QString& key, std::int32_t def) {
    std::int16_t result = 0;
    Procedure("Allgemein", "GetIniInt").run({[&] {
        const std::optional<QString> text = profileRead(iniFilePath(), section, key);
        result = toInteger(text && !text->isEmpty() ? profileNumber(*text) : def);
    }});
    return result;
}

QString GetIniString(const QString& section, const QString& key, const QString& def) {
    QString result;
    Procedure("Allgemein", "GetIniString").run({[&] {
        const std::optional<QString> text = profileRead(iniFilePath(), section, key);
        if (text) {
            result = cutToBuffer(*text);
        } else {
            qsizetype n = def.size();
            while (n > 0 && def[n - 1] == u' ')
                --n;
            result = cutToBuffer(def.first(n));
        }
    }});
    return result;
}

void SaveIni(const QString& section, const std::optional<QString>& key,
             const std::optional<QString>& value) {
    Procedure("Allgemein", "SaveIni").run({[&] {
        profileWrite(iniFilePath(), section, key, value);
    }});
}

} // namespace kalmix
