#include "services/resfiles.h"

#include "services/appinfo.h"
#include "services/filewrite.h"
#include "services/procedure.h"
#include "services/runtimeerror.h"

#include <QDir>
#include <QFile>
#include <algorithm>

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
    // Written beside and then renamed over the old copy, so a reader never sees half a file.
    AtomicFile file(path);
    Procedure("ModResFiles", "SaveResItemToDisk")
        .run({
            [&] { bytes = loadResource(resType, resId); },
            [&] {
                if (!file.open())
                    raiseError(ErrNr::PathFileAccess);
            },
            [&] {
                if (!file.isOpen())
                    raiseError(ErrNr::BadFileNameOrNumber);
                if (!file.write(bytes))
                    raiseError(ErrNr::PathFileAccess);
            },
            [&] {
                // Closing a file that was never opened does nothing; a write that failed was
                // reported already and leaves the old file in place.
                if (file.isOpen() && !file.commit() && file.writtenWhole())
                    raiseError(ErrNr::PathFileAccess);
            },
        });
    return 0;
}

QString GetTempDir() {
    QString buffer;
    QString result;
    Procedure("Allgemein", "GetTempDir")
        .run({
            [&] { buffer = QString(256, QChar(0)); },
            [&] {
                // A TMPDIR that names no directory gives no path at all; the usual one
                // stands in, so that nothing is put in the root directory instead.
                const QString system = QDir::tempPath();
                const QString path =
                    withSeparator(system.isEmpty() ? QStringLiteral("/tmp") : system);
                buffer.replace(0, std::min(path.size(), buffer.size()), path);
            },
            [&] { result = TrimNull(buffer); },
        });
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
