#include "profiles/languagechoice.h"

#include "profiles/settingsfile.h"
#include "services/lang.h"

#include <QString>

namespace kalmix {

bool isFirstStart() {
    return !profileRead(iniFilePath(), QStringLiteral("Optionen"), QStringLiteral("Sprache"));
}

std::int16_t startLanguage() {
    if (isFirstStart())
        return GetLocaleInfo().left(4) == QLatin1String("0407") ? 0 : 1000;
    return validLanguage(GetIniInt(QStringLiteral("Optionen"), QStringLiteral("Sprache"), 0));
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
