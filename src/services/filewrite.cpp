#include "services/filewrite.h"

#include <QFile>
#include <QFileInfo>
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

} // namespace

AtomicFile::AtomicFile(const QString& path) : m_target(QFile::encodeName(path)) {}

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
    struct stat st {};
    if (::stat(m_target.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return false;
        m_mode = st.st_mode & 07777;
    }
    QByteArray temp = m_target + ".XXXXXX";
    m_fd = ::mkstemp(temp.data());
    if (m_fd < 0)
        return false;
    m_temp = temp;
    return true;
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
    ok = ok && ::fchmod(m_fd, static_cast<mode_t>(m_mode)) == 0;
    ok = ok && ::fsync(m_fd) == 0;
    ok = (::close(m_fd) == 0) && ok;
    m_fd = -1;
    ok = ok && ::rename(m_temp.constData(), m_target.constData()) == 0;
    if (ok)
        m_temp.clear(); // renamed: nothing left to remove
    return ok;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes) {
    AtomicFile file(path);
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
