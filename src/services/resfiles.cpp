#include "services/resfiles.h"

#include "errors/procedure.h"
#include "errors/runtimeerror.h"
#include "services/appinfo.h"
#include "services/filewrite.h"

#include <QDir>
#include <QFile>

// Q_INIT_RESOURCE must stand outside any namespace.
static void registerKalmixResources() {
    Q_INIT_RESOURCE(kalmix);
    Q_INIT_RESOURCE(help);
}

namespace kalmix {

void initResources() {
    static const bool done = (registerKalmixResources(), true);
    (void)done;
}

QByteArray loadResource(const QString& resType, int resId) {
    QFile f(QStringLiteral(":/%1/%2").arg(resType).arg(resId));
    if (!f.open(QIODevice::ReadOnly))
        raiseError(ErrNr::ResourceNotFound,
                   QStringLiteral("Resource with identifier '%1' not found").arg(resId));
    return f.readAll();
}

std::int32_t SaveResItemToDisk(std::int16_t resId, const QString& resType, const QString& path) {
    QByteArray bytes;
    Procedure("ModResFiles", "SaveResItemToDisk")
        .run({
            [&] { bytes = loadResource(resType, resId); },
            [&] {
                // Written beside and then renamed over the old copy, so a reader never sees
                // half a file.
                if (!writeFileAtomically(path, bytes))
                    raiseError(ErrNr::PathFileAccess);
            },
        });
    return 0;
}

QString GetTempDir() {
    QString result;
    Procedure("Allgemein", "GetTempDir").run({[&] {
        result = withSeparator(TrimNull(QDir::tempPath()));
    }});
    return result;
}

QString TrimNull(const QString& text) {
    QString result;
    Procedure("Allgemein", "TrimNull").run({[&] {
        const qsizetype nul = text.indexOf(QChar(0));
        result = nul < 0 ? text : text.first(nul);
    }});
    return result;
}

} // namespace kalmix
