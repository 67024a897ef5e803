#include "classserver/classsettings.h"

#include "profiles/settingsfile.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <libpq-fe.h>

namespace kalmix {

namespace {

const QString kOptionen = QStringLiteral("Optionen");
const QString kMachineKey = QStringLiteral("Rechnerkennung");

bool isMachineId(const QString& id) {
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{32}$"));
    return hex.match(id).hasMatch();
}

} // namespace

QString classServerConnection() {
    return GetIniString(kOptionen, QStringLiteral("Klassenserver"), {}).trimmed();
}

QString classServerClass() {
    return GetIniString(kOptionen, QStringLiteral("Klasse"), {}).trimmed();
}

QString machineId() {
    const QString stored = GetIniString(kOptionen, kMachineKey, {}).trimmed().toLower();
    if (isMachineId(stored))
        return stored;
    QString made;
    for (int i = 0; i < 4; ++i)
        made += QStringLiteral("%1").arg(QRandomGenerator::system()->generate(), 8, 16,
                                         QLatin1Char('0'));
    SaveIni(kOptionen, kMachineKey, made);
    return GetIniString(kOptionen, kMachineKey, {}) == made ? made : QString();
}

ConnectionText checkConnectionText(const QString& conninfo) {
    if (conninfo.size() > 254)
        return ConnectionText::Unreadable;
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    if (!options) {
        PQfreemem(error);
        return ConnectionText::Unreadable;
    }
    ConnectionText result = ConnectionText::Fine;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (qstrcmp(o->keyword, "password") == 0 && o->val && *o->val)
            result = ConnectionText::HasPassword;
    }
    PQconninfoFree(options);
    return result;
}

} // namespace kalmix
