#include "services/appinfo.h"

#include "kalmix_config.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace kalmix {

namespace {
QString& exeNameOverride() {
    static QString s;
    return s;
}
QString& programDirOverride() {
    static QString s;
    return s;
}

bool canWriteIn(const QString& dir) {
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return false;
    // Permission bits do not tell about read-only mounts: try for real.
    QTemporaryFile probe(withSeparator(dir) + QStringLiteral(".kalmix-probe-XXXXXX"));
    return probe.open();
}
} // namespace

int versionMajor() {
    return KALMIX_VERSION_MAJOR;
}
int versionMinor() {
    return KALMIX_VERSION_MINOR;
}
int versionRevision() {
    return KALMIX_VERSION_PATCH;
}

QString exeName() {
    if (!exeNameOverride().isEmpty())
        return exeNameOverride();
    const QString path = QCoreApplication::applicationFilePath();
    return path.isEmpty() ? QStringLiteral("kalmix") : QFileInfo(path).completeBaseName();
}

void setExeNameForTesting(const QString& name) {
    exeNameOverride() = name;
}

QString programDir() {
    if (!programDirOverride().isEmpty())
        return programDirOverride();
    static const QString dir = [] {
        const QString own = QCoreApplication::applicationDirPath();
        if (canWriteIn(own))
            return own;
        QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        if (data.isEmpty())
            data = QDir::homePath() + QStringLiteral("/.local/share/Kalmix");
        QDir().mkpath(data);
        return data;
    }();
    return dir;
}

void setProgramDirForTesting(const QString& dir) {
    programDirOverride() = dir;
}

QString withSeparator(const QString& dir) {
    return dir.endsWith(u'/') ? dir : dir + u'/';
}

QString supportEmail() {
    return QStringLiteral(KALMIX_SUPPORT_EMAIL);
}
QString homePage() {
    return QStringLiteral(KALMIX_HOMEPAGE);
}

} // namespace kalmix
