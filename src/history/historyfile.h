#pragma once

// The history file on disk: which file a path names, creating it owner-only, moving a file that
// cannot be used out of the way with its journals, and how a failed SQLite call is to be taken.

#include <QString>
#include <optional>
#include <sys/types.h>

namespace kalmix::history {

// The file a path names (device and inode), so a file deleted or replaced under an open
// connection is noticed.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const FileId&) const = default;
};
std::optional<FileId> fileIdOf(const QString& path);

// Creates an empty file readable by its owner only, unless something is there already: the
// children's names and results are nobody else's business. SQLite gives its journals the mode
// of the file. False only when no file could be made.
bool createOwnerOnly(const QString& path);

// How the store takes a failed SQLite call, from its native result code.
enum class Failure {
    Damaged, // not a database, or a corrupt one: set aside
    Passing, // busy, locked, unreachable: kept in memory and tried again later
    Lasting, // full, read-only and the rest: said, and the game goes on without
};
Failure failureOf(const QString& nativeCode);

// Moves the file and its journals (-wal, -journal) to a free name beginning with `asidePrefix`,
// all or nothing: when a journal cannot be moved, everything is put back and the result is
// empty. The shared-memory file follows when it can; it holds nothing of its own.
QString moveAside(const QString& path, const QString& asidePrefix);

} // namespace kalmix::history
