#include "profiles/settingsfile.h"

#include "services/appinfo.h"
#include "services/filewrite.h"
#include "services/ini.h"
#include "services/inicache.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/procedure.h"
#include "services/runtimeerror.h"

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

using inifiles::current;
using inifiles::FileStamp;
using inifiles::forget;
using inifiles::nowNs;
using inifiles::ParsedFile;
using inifiles::remember;
using inifiles::stampOf;

namespace {

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

namespace {

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
