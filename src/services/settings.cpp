#include "services/settings.h"

#include "errors/procedure.h"
#include "errors/runtimeerror.h"
#include "services/appinfo.h"
#include "services/filewrite.h"
#include "services/ini.h"
#include "services/lang.h"
#include "services/msgbox.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <exception>
#include <sys/stat.h>
#include <unistd.h>

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

// Failed writes of the settings file, and whom they were told to.
struct WriteFailures {
    int open = 0;  // reports alive
    int count = 0; // failed writes since the outermost report began
    bool userAsked = false;
    QString saidFor; // the file whose failure was told last and has not been written since
};

WriteFailures& writeFailures() {
    static WriteFailures w;
    return w;
}

void sayWriteFailure(bool userAsked) {
    WriteFailures& w = writeFailures();
    const QString file = iniFilePath();
    if (!userAsked && w.saidFor == file)
        return;
    w.saidFor = file;
    MsgBox(langText(240).arg(QDir::toNativeSeparators(file)), MsgButtons::Ok, MsgIcon::Exclamation);
}

void writeFailed() {
    WriteFailures& w = writeFailures();
    ++w.count;
    if (w.open == 0)
        sayWriteFailure(false);
}

void written() {
    writeFailures().saidFor.clear();
}

} // namespace

SettingsWriteReport::SettingsWriteReport(bool userAsked) {
    WriteFailures& w = writeFailures();
    if (w.open++ == 0) {
        w.count = 0;
        w.userAsked = false;
    }
    w.userAsked = w.userAsked || userAsked;
}

SettingsWriteReport::~SettingsWriteReport() {
    WriteFailures& w = writeFailures();
    if (--w.open > 0 || w.count == 0 || std::uncaught_exceptions() > 0)
        return;
    try {
        sayWriteFailure(w.userAsked);
    } catch (...) {
        // A message that cannot be shown is left out; the file stays as it was either way.
    }
}

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
    bool faithful = true; // the text is what the file holds (see decodeTextFile)
    IniDocument doc;      // with its index, kept in step with every change written
};

QHash<QString, ParsedFile>& parsedFiles() {
    static QHash<QString, ParsedFile> files;
    return files;
}

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

void applyChanges(IniDocument& doc, const QString& section, const QList<ProfileChange>& changes) {
    for (const ProfileChange& c : changes) {
        if (!c.key)
            doc.removeSection(section);
        else if (!c.value)
            doc.removeKey(section, *c.key);
        else
            doc.setValue(section, *c.key, *c.value);
    }
}

// Changes kept for one write while a batch is open.
struct Batch {
    int open = 0;
    QString file;                   // the settings file the batch is for
    std::optional<IniDocument> doc; // its text with the changes not yet written
};

Batch& batch() {
    static Batch b;
    return b;
}

// The document the batch holds for the file, if any.
const IniDocument* pending(const QString& file) {
    const Batch& b = batch();
    return b.open > 0 && b.doc && file == b.file ? &*b.doc : nullptr;
}

bool writeDocument(const QString& file, IniDocument doc, const ParsedFile* parsed);

} // namespace

namespace {

// A password's hash makes a settings file the owner's alone.
bool holdsPassword(const IniDocument& doc) {
    const std::optional<QString> hash =
        doc.value(QStringLiteral("Optionen"), QStringLiteral("Passwort"));
    return hash && !hash->trimmed().isEmpty();
}

} // namespace

SettingsBatch::SettingsBatch() {
    Batch& b = batch();
    if (b.open++ == 0)
        b.file = iniFilePath();
}

SettingsBatch::~SettingsBatch() {
    Batch& b = batch();
    if (--b.open > 0 || !b.doc)
        return;
    IniDocument doc = std::move(*b.doc);
    b.doc.reset();
    const ParsedFile* parsed = current(b.file, stampOf(b.file));
    if (writeDocument(b.file, std::move(doc), parsed) || std::uncaught_exceptions() > 0)
        return;
    try {
        writeFailed();
    } catch (...) {
        // A message that cannot be shown is left out; the file stays as it was either way.
    }
}

std::optional<QString> profileRead(const QString& file, const QString& section,
                                   const QString& key) {
    if (const IniDocument* doc = pending(file))
        return doc->value(section, key);
    const ParsedFile* parsed = current(file, stampOf(file));
    if (!parsed)
        return std::nullopt;
    return parsed->doc.value(section, key);
}

bool profileWrite(const QString& file, const QString& section, const std::optional<QString>& key,
                  const std::optional<QString>& value) {
    return profileWriteAll(file, section, {{key, value}});
}

bool profileWriteAll(const QString& file, const QString& section,
                     const QList<ProfileChange>& changes) {
    Batch& b = batch();
    const bool batched = b.open > 0 && file == b.file;
    if (batched && b.doc) {
        applyChanges(*b.doc, section, changes); // written with the batch's other changes
        return true;
    }
    // One look at the file: what it is now decides everything below.
    const std::optional<FileStamp> stamp = stampOf(file);
    const bool exists = stamp || QFileInfo::exists(file);
    const ParsedFile* parsed = current(file, stamp);
    if (exists && !parsed)
        return false; // never replace a file whose contents could not be read
    // Storing what is already stored leaves the file alone, at the cost of one lookup per
    // entry: saving a long player list that has not changed reads nothing again.
    const auto stored = [&](const ProfileChange& c) {
        return parsed && c.key && c.value && !c.key->contains(u'\n') && !c.value->contains(u'\n') &&
               !c.value->contains(u'\r') && !c.value->contains(QChar(0)) &&
               parsed->doc.holdsExactly(section, *c.key, *c.value);
    };
    if (std::all_of(changes.begin(), changes.end(), stored))
        return true;
    if (parsed && !parsed->faithful)
        return false; // a file that is no text of ours would be destroyed by writing it back
    if (exists && !QFileInfo(file).isWritable())
        return false; // a read-only settings file stays as it is
    IniDocument doc = parsed ? parsed->doc : IniDocument();
    applyChanges(doc, section, changes);
    if (batched) {
        b.doc = std::move(doc);
        return true;
    }
    return writeDocument(file, std::move(doc), parsed);
}

namespace {

// Puts the document in place of the file, unless it holds it already; false when that fails.
bool writeDocument(const QString& file, IniDocument doc, const ParsedFile* parsed) {
    const QByteArray out = doc.toBytes();
    if (parsed && out == parsed->bytes)
        return true;

    const qint64 writtenAt = nowNs();
    // A settings file that is a link (to a folder that is backed up, say) stays one.
    if (!writeFileAtomically(file, out,
                             holdsPassword(doc) ? FileAccess::OwnerOnly : FileAccess::Usual,
                             Links::Follow)) {
        forget(file);
        return false;
    }
    if (file == iniFilePath())
        written();
    // The next read or write starts from what was written; the stamp tells whether that is
    // still the file (a change by anyone else after this moment bears a later stamp, or is
    // compared byte for byte while the stamp is too fresh to tell).
    const std::optional<FileStamp> written = stampOf(file);
    if (!written) {
        forget(file);
        return true;
    }
    remember(file, ParsedFile{*written, writtenAt, out, true, std::move(doc)});
    return true;
}

} // namespace

void keepPasswordPrivate() {
    const QString file = iniFilePath();
    const ParsedFile* parsed = current(file, stampOf(file));
    struct stat st {};
    const QByteArray name = QFile::encodeName(file);
    if (parsed && holdsPassword(parsed->doc) && ::stat(name.constData(), &st) == 0 &&
        (st.st_mode & 077) != 0 && st.st_uid == ::geteuid())
        ::chmod(name.constData(), st.st_mode & 07700);
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
        if (!profileWrite(iniFilePath(), section, key, value))
            writeFailed();
    }});
}

void SaveIniList(const QString& section, const QString& prefix, const QStringList& values) {
    Procedure("Allgemein", "SaveIni").run({[&] {
        QList<ProfileChange> changes;
        changes.reserve(values.size());
        for (qsizetype n = 0; n < values.size(); ++n)
            changes.append({prefix + QString::number(n + 1), values[n]});
        if (!profileWriteAll(iniFilePath(), section, changes))
            writeFailed();
    }});
}

QStringList GetIniList(const QString& section, const QString& prefix, bool whole) {
    QStringList result;
    Procedure("Allgemein", "GetIniString").run({[&] {
        result.clear();
        const QString file = iniFilePath();
        const IniDocument* doc = pending(file);
        if (!doc) {
            const ParsedFile* parsed = current(file, stampOf(file));
            doc = parsed ? &parsed->doc : nullptr;
        }
        for (int n = 1; doc; ++n) {
            const std::optional<QString> text = doc->value(section, prefix + QString::number(n));
            if (!text || text->isEmpty())
                break;
            result.append(whole ? *text : cutToBuffer(*text));
        }
    }});
    return result;
}

} // namespace kalmix
