#include "services/filewrite.h"

#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmix {

namespace {

// A file growing past the process's size limit must fail its write, not end the program.
void ignoreFileSizeSignal() {
    static const bool done = [] {
        std::signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)done;
}

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// The file a path names in the end: symbolic links are followed, also to a file that does not
// exist yet. Empty for a loop of links.
QByteArray followLinks(QByteArray path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        QByteArray to(4096, Qt::Uninitialized);
        const ssize_t n = ::readlink(path.constData(), to.data(), static_cast<size_t>(to.size()));
        if (n <= 0 || n >= to.size())
            return {};
        to.truncate(n);
        if (!to.startsWith('/'))
            to.prepend(path.left(path.lastIndexOf('/') + 1));
        path = to;
    }
    return {};
}

// Makes a new file of that name with a few random characters added, with the given mode
// (less what the umask takes away); the name made goes to *made.
int createBeside(const QByteArray& name, mode_t mode, QByteArray* made) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray temp = name + '.';
        for (int i = 0; i < 6; ++i)
            temp += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
        const int fd = ::open(temp.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            *made = temp;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

// Gives the new file the permissions of the one it replaces and, if asked, its owner, as far
// as the user may: an owner or group the user cannot give stays the user's own.
bool takeOver(int fd, const struct stat& old, FileAccess access, bool owner) {
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return false;
    if (owner && (now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0 && now.st_gid != old.st_gid) {
        // Not the user's to give: the file becomes the user's own, in the old group if the
        // user belongs to it.
        const int inGroup = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        (void)inGroup;
    }
    mode_t mode = old.st_mode & 07777;
    if (access == FileAccess::OwnerOnly)
        mode &= ~mode_t(077);
    return ::fchmod(fd, mode) == 0; // after the owner: a change of owner clears some bits
}

} // namespace

AtomicFile::AtomicFile(const QString& path, FileAccess access, Links links)
    : m_path(QFile::encodeName(path)), m_access(access), m_links(links) {}

AtomicFile::~AtomicFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_temp.isEmpty())
        ::unlink(m_temp.constData());
}

bool AtomicFile::open() {
    ignoreFileSizeSignal();
    if (m_fd >= 0)
        return true;
    m_target = m_links == Links::Follow ? followLinks(m_path) : m_path;
    if (m_target.isEmpty())
        return false;
    m_replaces = ::stat(m_target.constData(), &m_old) == 0;
    if (m_replaces && !S_ISREG(m_old.st_mode))
        return false;
    // Until it is in place, the new file is readable by its owner alone.
    const bool usual = !m_replaces && m_access == FileAccess::Usual;
    m_fd = createBeside(m_target, usual ? 0666 : 0600, &m_temp);
    return m_fd >= 0;
}

bool AtomicFile::write(const QByteArray& bytes) {
    const bool ok = m_fd >= 0 && writeAll(m_fd, bytes.constData(), bytes.size());
    if (ok)
        m_written += bytes.size();
    m_ok = m_ok && ok;
    return ok;
}

bool AtomicFile::commit() {
    if (m_fd < 0 || !m_ok)
        return false;
    struct stat written {};
    bool ok = ::fstat(m_fd, &written) == 0 && written.st_size == m_written;
    ok = ok && (!m_replaces || takeOver(m_fd, m_old, m_access, m_links == Links::Follow));
    ok = ok && ::fsync(m_fd) == 0;
    ok = (::close(m_fd) == 0) && ok;
    m_fd = -1;
    ok = ok && ::rename(m_temp.constData(), m_target.constData()) == 0;
    if (ok)
        m_temp.clear(); // renamed: nothing left to remove
    return ok;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, FileAccess access,
                         Links links) {
    AtomicFile file(path, access, links);
    return file.open() && file.write(bytes) && file.commit();
}

bool appendWhole(int fd, const QByteArray& bytes) {
    ignoreFileSizeSignal();
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return false;
    if (writeAll(fd, bytes.constData(), bytes.size()))
        return true;
    // Take the part back that did get written.
    while (::ftruncate(fd, st.st_size) != 0 && errno == EINTR) {
    }
    return false;
}

} // namespace kalmix
