#pragma once

#include <QByteArray>
#include <QString>
#include <sys/stat.h>

namespace kalmix {

// Who may read a file Kalmix writes. A new file follows the user's umask, or is the owner's
// alone. A file that exists keeps its owner and its permissions; owner-only takes the rights of
// everyone else away from it.
enum class FileAccess { Usual, OwnerOnly };

// Replaces the file with the bytes in one step: they go to a new file beside it, which is
// checked, flushed to the disk and then renamed over the old one. Whatever happens (a full
// disk, a crash, a kill), the path holds either the old file or the new one, never a part.
// A path that is a symbolic link is written through to the file it points to; the link stays.
// Returns whether the new file is in place.
bool writeFileAtomically(const QString& path, const QByteArray& bytes,
                         FileAccess access = FileAccess::Usual);

// The same in steps: open() makes the new file beside the path, write() adds bytes to it and
// commit() checks, flushes and renames it over the path. Dropped without a commit, the new
// file is removed and the path stays as it was. Each step returns whether it worked.
class AtomicFile {
public:
    explicit AtomicFile(const QString& path, FileAccess access = FileAccess::Usual);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool open();
    bool write(const QByteArray& bytes);
    bool commit();
    bool isOpen() const { return m_fd >= 0; }
    // Whether every write so far went through.
    bool writtenWhole() const { return m_ok; }

private:
    QByteArray m_path;
    FileAccess m_access;
    QByteArray m_target; // the file the path names in the end, links followed
    QByteArray m_temp;
    int m_fd = -1;
    bool m_replaces = false; // a file is at the target: its owner and permissions stay
    struct stat m_old {};
    qint64 m_written = 0;
    bool m_ok = true;
};

// Appends the bytes to a file opened for appending (a descriptor), whole or not at all: a
// write that stops short is taken back, so the file never ends in half a line.
bool appendWhole(int fd, const QByteArray& bytes);

} // namespace kalmix
