#include "history/ownfiles.h"

#include "engine/practicelog.h"
#include "errors/fehlerwart.h"
#include "history/historystore.h"
#include "profiles/settingsfile.h"
#include "services/lang.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace kalmix {

namespace {

// The path a write would reach: links followed one by one (a dangling link names the file it
// would create), then the folder made canonical. Relative link targets count from the link's
// folder.
QString resolved(const QString& path) {
    QFileInfo info(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
    for (int hops = 0; hops < 40 && info.isSymLink(); ++hops)
        info = QFileInfo(QDir::cleanPath(info.dir().absoluteFilePath(info.symLinkTarget())));
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = info.dir().canonicalPath();
    return folder.isEmpty() ? info.absoluteFilePath() : QDir(folder).filePath(info.fileName());
}

// The file itself (links followed), if it exists.
bool statOf(const QString& path, struct stat* st) {
    return ::stat(QFile::encodeName(path).constData(), st) == 0;
}

// Files the settings file and the history make beside themselves (temporary copies while they
// are written, the lock, the journals, a history set aside as damaged) are named after them:
// "Kalmix.ini.", "Kalmix.db-" and so on.
bool besideOwnFiles(const QString& target) {
    const QFileInfo t(target);
    if (t.path() != QFileInfo(iniFilePath()).dir().canonicalPath())
        return false;
    const QString name = t.fileName();
    for (const QString& own : {iniFilePath(), HistoryStore::defaultPath()}) {
        const QString ownName = QFileInfo(own).fileName();
        if (name.startsWith(ownName + u'.') || name.startsWith(ownName + u'-'))
            return true;
    }
    return false;
}

} // namespace

QStringList ownFiles() {
    const QString ini = iniFilePath();
    const QString history = HistoryStore::defaultPath();
    QStringList files{ini, ini + QStringLiteral(".lock")};
    for (const char* end : {"", "-wal", "-shm", "-journal"})
        files.append(history + QLatin1String(end));
    files << PracticeLog::path() << Fehlerwart::errorLogPath() << Fehlerwart::savedProtocolPath();
    if (!LangDatei.isEmpty())
        files.append(LangDatei);
    return files;
}

ExportTarget checkExportTarget(const QString& path) {
    const QString target = resolved(path);
    struct stat st {};
    const bool exists = statOf(target, &st);
    if (exists && !S_ISREG(st.st_mode))
        return ExportTarget::NotAFile;
    if (besideOwnFiles(target))
        return ExportTarget::OwnFile;
    for (const QString& own : ownFiles()) {
        struct stat ownSt {};
        // The same file under another name (a hard link) is the same file too.
        if (exists && statOf(own, &ownSt) && ownSt.st_dev == st.st_dev && ownSt.st_ino == st.st_ino)
            return ExportTarget::OwnFile;
        if (resolved(own) == target)
            return ExportTarget::OwnFile;
    }
    return ExportTarget::Free;
}

} // namespace kalmix
