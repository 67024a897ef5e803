// Feeds arbitrary bytes as a language file: every text number of every language is looked up
// as the program looks it up, and the quick index must answer as the document does.
#include "services/ini.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const kalmix::IniDocument doc = kalmix::IniDocument::parse(bytes);
    const kalmix::IniIndex index(doc);
    const QString section = QStringLiteral("Lang");
    // A spread of text numbers over the languages: enough to meet every kind of entry without
    // making each input slow.
    for (int n = 0; n < 40; ++n) {
        const int lang = n % 7;
        const int nr = 101 + (n * 37) % 92;
        const QString key = QStringLiteral("%1").arg(lang * 1000 + nr, 4, 10, QLatin1Char('0'));
        if (index.value(section, key) != doc.value(section, key))
            std::abort();
    }
    return 0;
}
