#include "about/readme.h"

#include "kalmix_config.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace kalmix {

namespace {
QStringList& dirsOverride() {
    static QStringList dirs;
    return dirs;
}
} // namespace

QString readmeName(std::int16_t sprachBasis) {
    return sprachBasis == 0 ? QStringLiteral("liesmich.txt") : QStringLiteral("readme.txt");
}

QStringList readmeDirs() {
    if (!dirsOverride().isEmpty())
        return dirsOverride();
    const QString own = QCoreApplication::applicationDirPath();
    QStringList dirs{own};
    if (!own.isEmpty())
        dirs.append(QDir::cleanPath(own + u'/' + QStringLiteral(KALMIX_DOCDIR_FROM_BINDIR)));
    dirs.append(QStringLiteral(KALMIX_DOCDIR));
    dirs.removeDuplicates();
    return dirs;
}

void setReadmeDirsForTesting(const QStringList& dirs) {
    dirsOverride() = dirs;
}

QString findReadme(const QString& name) {
    for (const QString& dir : readmeDirs()) {
        if (dir.isEmpty())
            continue;
        const QFileInfo file(QDir(dir).filePath(name));
        if (file.isFile() && file.isReadable())
            return file.absoluteFilePath();
    }
    return {};
}

} // namespace kalmix
