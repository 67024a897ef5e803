#pragma once

#include <QByteArray>
#include <QString>
#include <sys/stat.h>

namespace kalmix {

// Who may read a file Kalmix writes. A new file follows the user's umask, or is the owner's
// alone. A file that is replaced passes its permissions on; owner-only takes the rights of
// everyone else away.
enum class FileAccess { Usual, OwnerOnly };

// What a path that is a symbolic link gets. Replace: the link itself is replaced by the new
// file, which is the user's (the only safe choice in a folder others can write to). Follow:
// the file the link points to is replaced, and the link stays; that file keeps its owner, as
// far as the user may give it.
enum class Links { Replace, Follow };

// Replaces the file with the bytes in one step: they go to a new file beside it, which is
// checked, flushed to the disk and then renamed over the old one. Whatever happens (a full
// disk, a crash, a kill), the path holds either the old file or the new one, never a part.
// Returns whether the new file is in place.
bool writeFileAtomically(const QString& path, const QByteArray& bytes,
                         FileAccess access = FileAccess::Usual, Links links = Links::Replace);

// The same in steps: open() makes the new file beside the path, write() adds bytes to it and
// commit() checks, flushes and renames it over the path. Dropped without a commit, the new
// file is removed and the path stays as it was. Each step returns whether it worked.
class AtomicFile {
public:
    explicit AtomicFile(const QString& path, FileAccess access = FileAccess::Usual,
                        Links links = Links::Replace);
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
    Links m_links;
    QByteArray m_target; // the path, or with Links::Follow the file it names in the end
    QByteArray m_temp;
    int m_fd = -1;
    bool m_replaces = false; // a file is at the target: its permissions stay
    struct stat m_old {};
    qint64 m_written = 0;
    bool m_ok = true;
};

// Appends the bytes to a file opened for appending (a descriptor), whole or not at all: a
// write that stops short is taken back, so the file never ends in half a line.
bool appendWhole(int fd, const QByteArray& bytes);

} // namespace kalmix
