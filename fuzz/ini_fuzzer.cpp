// Feeds arbitrary bytes to the INI reader and writer. Whatever the bytes, reading must not
// crash or hang, a value written must read back, and writing must keep what could be read.
#include "services/ini.h"

#include <cstdint>
#include <cstdlib>

using kalmix::IniDocument;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    IniDocument doc = IniDocument::parse(bytes);

    const QString section = QStringLiteral("Optionen");
    const QString key = QStringLiteral("Sprache");

    // The index answers as the document does, for every name the document holds.
    {
        const kalmix::IniIndex index(doc);
        QString name, entry, value;
        QString current = QStringLiteral("\x01none");
        for (const QString& line : doc.lines()) {
            if (kalmix::iniSectionName(line, &name))
                current = name;
            else if (kalmix::iniEntry(line, &entry, nullptr) &&
                     index.value(current, entry) != doc.value(current, entry))
                std::abort();
        }
    }
    const auto other = doc.value(QStringLiteral("Benutzer"), QStringLiteral("Name1"));
    (void)doc.value(section, key);

    doc.setValue(section, key, QStringLiteral(" 1000"));
    const IniDocument again = IniDocument::parse(doc.toBytes());
    if (again.value(section, key) != QStringLiteral("1000"))
        std::abort();
    if (other && again.value(QStringLiteral("Benutzer"), QStringLiteral("Name1")) != other)
        std::abort();

    doc.removeKey(section, key);
    doc.removeSection(QStringLiteral("Benutzer"));
    const IniDocument removed = IniDocument::parse(doc.toBytes());
    if (removed.value(QStringLiteral("Benutzer"), QStringLiteral("Name1")))
        std::abort();
    return 0;
}
