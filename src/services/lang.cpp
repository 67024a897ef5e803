#include "services/lang.h"

#include "errors/procedure.h"
#include "errors/runtimeerror.h"
#include "services/filewrite.h"
#include "services/ini.h"
#include "services/resfiles.h"
#include "services/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStandardPaths>
#include <QStringList>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace kalmix {

std::int16_t SprachBasis = 0;
QString LangDatei;

namespace {
std::function<QLocale()>& localeSource() {
    static std::function<QLocale()> f;
    return f;
}
} // namespace

namespace {

// Set when no copy of the language file could be placed anywhere: the texts then come from
// the program's own resource, so no window is left without them.
bool textsFromResource = false;

const IniIndex& resourceTexts() {
    static const IniIndex index(IniDocument::parse(loadResource(QStringLiteral("CUSTOM"), 1000)));
    return index;
}

std::optional<QString> readLanguageText(const QString& key) {
    if (textsFromResource)
        return resourceTexts().value(QStringLiteral("Lang"), key);
    return profileRead(LangDatei, QStringLiteral("Lang"), key);
}

} // namespace

QString GetLang(std::int16_t nr) {
    QString key;
    std::optional<QString> text;
    QString result;
    Procedure("Allgemein", "GetLang")
        .run({
            [&] { key = QStringLiteral("%1").arg(nr, 4, 10, QLatin1Char('0')); },
            [&] { text = readLanguageText(key); },
            [&] { result = text ? cutToBuffer(*text) : QString(); },
        });
    return result;
}

QString builtInLangText(std::int16_t nr) {
    const std::optional<QString> text = resourceTexts().value(
        QStringLiteral("Lang"), QStringLiteral("%1").arg(nr, 4, 10, QLatin1Char('0')));
    return text ? cutToBuffer(*text) : QString();
}

bool countTakesSingular(std::int16_t languageBase, qint64 count) {
    const bool french = validLanguage(languageBase) == 6000;
    return count == 1 || (french && count == 0);
}

QString countForm(const QString& forms, qint64 count, std::int16_t languageBase) {
    const QStringList parts = forms.split(u'|');
    const QString& form =
        parts.size() < 2 || countTakesSingular(languageBase, count) ? parts[0] : parts[1];
    return form.contains(QLatin1String("%1")) ? form.arg(count) : form;
}

QString langCount(int nr, qint64 count) {
    return countForm(langText(nr), count, SprachBasis);
}

namespace {

// Whether nobody but this user can change the file: a regular file (not a link) that this
// user owns and only its owner may write, in a directory where nobody else can put another
// file in its place (owned by this user or the system, and open to others' writes only when
// it is sticky, as the shared temporary directory is).
bool onlyOursToChange(const QString& path) {
    struct stat file {};
    if (::lstat(QFile::encodeName(path).constData(), &file) != 0 || !S_ISREG(file.st_mode) ||
        file.st_uid != ::geteuid() || (file.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return false;
    struct stat dir {};
    const QByteArray parent = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::stat(parent.constData(), &dir) != 0 || !S_ISDIR(dir.st_mode) ||
        (dir.st_uid != ::geteuid() && dir.st_uid != 0))
        return false;
    return (dir.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (dir.st_mode & S_ISVTX) != 0;
}

// Puts the language file at the path, or finds it there already; false when the path holds
// no copy that only this user can change. A copy another user left in the shared temporary
// directory is never used, whatever its bytes: that user could rewrite it at any time.
bool placeCopy(const QString& path, const QByteArray& bytes) {
    if (onlyOursToChange(path)) {
        QFile existing(path);
        if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
            return true;
    }
    if (!writeFileAtomically(path, bytes))
        return false;
    // A new file takes the mode of the one it replaced; the copy is the owner's alone to write.
    // The file itself is changed, never what a link put in its place would point at.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fchmod(fd, 0644) == 0;
    ::close(fd);
    return ok && onlyOursToChange(path);
}

} // namespace

void WriteLanguageCopy() {
    LangDatei = GetTempDir() + QStringLiteral("~tmp.lng");
    textsFromResource = false;
    // The temporary directory is shared by every user of the machine: a copy another user
    // left there, or anything else in the way, must not leave Kalmix without its texts or
    // with someone else's. Then the copy goes to the user's own cache directory; only when
    // that fails too is the failure reported, and the texts are read from the program itself.
    QByteArray bytes;
    try {
        bytes = loadResource(QStringLiteral("CUSTOM"), 1000);
    } catch (const RuntimeError&) {
        bytes.clear();
    }
    if (!bytes.isEmpty() && placeCopy(LangDatei, bytes))
        return;
    QString own = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (!bytes.isEmpty() && !own.isEmpty() && QDir().mkpath(own)) {
        own += QStringLiteral("/~tmp.lng");
        if (placeCopy(own, bytes)) {
            LangDatei = own;
            return;
        }
    }
    SaveResItemToDisk(1000, QStringLiteral("CUSTOM"), LangDatei);
    textsFromResource = !onlyOursToChange(LangDatei);
}

QString localeLanguageId(const QLocale& locale) {
    // Identifiers of the countries a language is most spoken in; any other country of a
    // known language takes that language's default identifier.
    struct Entry {
        QLocale::Language language;
        QLocale::Territory territory;
        int id;
    };
    static const Entry kExact[] = {
        {QLocale::German, QLocale::Germany, 0x0407},
        {QLocale::German, QLocale::Switzerland, 0x0807},
        {QLocale::German, QLocale::Austria, 0x0C07},
        {QLocale::German, QLocale::Luxembourg, 0x1007},
        {QLocale::German, QLocale::Liechtenstein, 0x1407},
        {QLocale::English, QLocale::UnitedStates, 0x0409},
        {QLocale::English, QLocale::UnitedKingdom, 0x0809},
        {QLocale::English, QLocale::Australia, 0x0C09},
        {QLocale::English, QLocale::Canada, 0x1009},
        {QLocale::English, QLocale::NewZealand, 0x1409},
        {QLocale::English, QLocale::Ireland, 0x1809},
        {QLocale::Swedish, QLocale::Sweden, 0x041D},
        {QLocale::Swedish, QLocale::Finland, 0x081D},
        {QLocale::Italian, QLocale::Italy, 0x0410},
        {QLocale::Italian, QLocale::Switzerland, 0x0810},
        {QLocale::Spanish, QLocale::Spain, 0x0C0A},
        {QLocale::Spanish, QLocale::Mexico, 0x080A},
        {QLocale::NorwegianBokmal, QLocale::Norway, 0x0414},
        {QLocale::NorwegianNynorsk, QLocale::Norway, 0x0814},
        {QLocale::French, QLocale::France, 0x040C},
        {QLocale::French, QLocale::Belgium, 0x080C},
        {QLocale::French, QLocale::Canada, 0x0C0C},
        {QLocale::French, QLocale::Switzerland, 0x100C},
        {QLocale::Dutch, QLocale::Netherlands, 0x0413},
        {QLocale::Danish, QLocale::Denmark, 0x0406},
        {QLocale::Finnish, QLocale::Finland, 0x040B},
        {QLocale::Polish, QLocale::Poland, 0x0415},
        {QLocale::Portuguese, QLocale::Brazil, 0x0416},
        {QLocale::Portuguese, QLocale::Portugal, 0x0816},
    };
    static const QMap<QLocale::Language, int> kPrimary = {
        {QLocale::German, 0x07},  {QLocale::English, 0x09},   {QLocale::Swedish, 0x1D},
        {QLocale::Italian, 0x10}, {QLocale::Spanish, 0x0A},   {QLocale::NorwegianBokmal, 0x14},
        {QLocale::French, 0x0C},  {QLocale::Dutch, 0x13},     {QLocale::Danish, 0x06},
        {QLocale::Finnish, 0x0B}, {QLocale::Polish, 0x15},    {QLocale::Portuguese, 0x16},
        {QLocale::Russian, 0x19}, {QLocale::Turkish, 0x1F},   {QLocale::Greek, 0x08},
        {QLocale::Czech, 0x05},   {QLocale::Hungarian, 0x0E}, {QLocale::Japanese, 0x11},
        {QLocale::Chinese, 0x04}, {QLocale::Korean, 0x12},    {QLocale::Arabic, 0x01},
    };
    int id = 0x0409; // the "C" locale and unknown languages count as English (United States)
    bool found = false;
    for (const Entry& e : kExact) {
        if (e.language == locale.language() && e.territory == locale.territory()) {
            id = e.id;
            found = true;
            break;
        }
    }
    if (!found && kPrimary.contains(locale.language()))
        id = 0x0400 | kPrimary.value(locale.language());
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')).toUpper();
}

QLocale systemLocale() {
    return localeSource() ? localeSource()() : QLocale::system();
}

QString GetLocaleInfo() {
    return localeLanguageId(systemLocale());
}

void setSystemLocaleForTesting(std::function<QLocale()> locale) {
    localeSource() = std::move(locale);
}

bool isFirstStart() {
    return !profileRead(iniFilePath(), QStringLiteral("Optionen"), QStringLiteral("Sprache"));
}

std::int16_t startLanguage() {
    if (isFirstStart())
        return GetLocaleInfo().left(4) == QLatin1String("0407") ? 0 : 1000;
    return validLanguage(GetIniInt(QStringLiteral("Optionen"), QStringLiteral("Sprache"), 0));
}

std::int16_t validLanguage(int stored) {
    const int nearest = (std::clamp(stored, 0, 6000) + 500) / 1000 * 1000;
    return static_cast<std::int16_t>(std::min(nearest, 6000));
}

void SaveLanguage() {
    const QString section = QStringLiteral("Optionen");
    const QString key = QStringLiteral("Sprache");
    const QString stored = profileRead(iniFilePath(), section, key).value_or(QString()).trimmed();
    if (!stored.isEmpty()) {
        const long long v = profileNumber(stored);
        const bool oneOfThem = v >= 0 && v <= 6000 && v % 1000 == 0 && stored == QString::number(v);
        // As a start reads it: a number beyond 16 bits is an overflow and gives 0.
        const int readAs = v < -32768 || v > 32767 ? 0 : validLanguage(static_cast<int>(v));
        if (!oneOfThem && readAs == SprachBasis)
            return;
    }
    SaveIni(section, key, Str(SprachBasis));
}

} // namespace kalmix
