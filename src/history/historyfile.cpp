#include "history/historyfile.h"

#include <QFile>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmix::history {

namespace {

// SQLite's primary result codes (the low byte of a native error code).
enum SqliteCode {
    kBusy = 5,
    kLocked = 6,
    kIoErr = 10,
    kCorrupt = 11,
    kCantOpen = 14,
    kProtocol = 15,
    kNotADb = 26,
};

bool present(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool renameTo(const QString& from, const QString& to) {
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

std::optional<FileId> fileIdOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
}

bool createOwnerOnly(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno == EEXIST;
    ::close(fd);
    return true;
}

Failure failureOf(const QString& nativeCode) {
    switch (nativeCode.toInt() & 0xff) {
    case kCorrupt:
    case kNotADb:
        return Failure::Damaged;
    case kBusy:
    case kLocked:
    case kIoErr:
    case kCantOpen:
    case kProtocol:
        return Failure::Passing;
    default:
        return Failure::Lasting;
    }
}

QString moveAside(const QString& path, const QString& asidePrefix) {
    static const char* const kJournals[] = {"-wal", "-journal", "-shm"};
    const auto taken = [](const QString& name) {
        if (present(name))
            return true;
        for (const char* journal : kJournals) {
            if (present(name + QLatin1String(journal)))
                return true;
        }
        return false;
    };
    QString aside = asidePrefix;
    for (int n = 2; taken(aside); ++n)
        aside = asidePrefix + QStringLiteral("-%1").arg(n);
    if (!renameTo(path, aside))
        return {};
    QStringList moved;
    for (const char* journal : {"-wal", "-journal"}) {
        const QString from = path + QLatin1String(journal);
        if (!present(from))
            continue;
        if (renameTo(from, aside + QLatin1String(journal))) {
            moved << QLatin1String(journal);
            continue;
        }
        // A journal left at the path would be read into the next file made there, and one
        // deleted would lose what it holds: the file goes back where it was, with its journals.
        for (const QString& back : std::as_const(moved))
            renameTo(aside + back, path + back);
        renameTo(aside, path);
        return {};
    }
    renameTo(path + QStringLiteral("-shm"), aside + QStringLiteral("-shm"));
    return aside;
}

} // namespace kalmix::history
