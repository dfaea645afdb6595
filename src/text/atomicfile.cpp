#include "text/atomicfile.h"

#include "text/fileutil.h"

#include <QDir>

#include <atomic>
#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As the kernel allows before it gives ELOOP.
constexpr int kMaxLinkHops = 40;

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

// The file a write lands in: path with every link of the chain followed,
// a dangling one too. 0, or the errno that stops it.
int resolveTarget(const QString &path, QByteArray &target)
{
    QByteArray current = fileNameToBytes(path);
    if (!current.startsWith('/'))
        current = fileNameToBytes(QDir::currentPath()) + '/' + current;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st;
        if (::lstat(current.constData(), &st) != 0) {
            if (errno != ENOENT)
                return errno;
            target = current; // to be created; a missing folder fails there
            return 0;
        }
        if (!S_ISLNK(st.st_mode)) {
            target = current;
            return 0;
        }
        QByteArray link(qsizetype(st.st_size > 0 ? st.st_size : 255) + 1, Qt::Uninitialized);
        const ssize_t n = ::readlink(current.constData(), link.data(), size_t(link.size()));
        if (n < 0)
            return errno;
        if (n == link.size()) // the link grew meanwhile
            return EAGAIN;
        link.truncate(n);
        current = link.startsWith('/') ? link : folderOf(current) + '/' + link;
    }
    return ELOOP;
}

} // namespace

AtomicFileWriter::AtomicFileWriter(const QString &path, mode_t newFileMode, AtomicWriteHook hook)
    : m_path(path), m_newFileMode(newFileMode & 07777), m_hook(std::move(hook))
{}

AtomicFileWriter::~AtomicFileWriter()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_temp.isEmpty())
        ::unlink(m_temp.constData());
}

void AtomicFileWriter::step(AtomicWriteStep s) const
{
    if (m_hook)
        m_hook(s);
}

bool AtomicFileWriter::fail(int error)
{
    return fail(errnoText(error));
}

bool AtomicFileWriter::fail(const QString &reason)
{
    m_failed = true;
    m_error = reason;
    return false;
}

bool AtomicFileWriter::open()
{
    if (m_fd >= 0 || m_failed)
        return !m_failed;
    if (const int error = resolveTarget(m_path, m_target))
        return fail(error);
    struct stat old;
    m_replaces = ::stat(m_target.constData(), &old) == 0;
    if (m_replaces && !S_ISREG(old.st_mode))
        return fail(QStringLiteral("Not a regular file"));
    m_mode = m_replaces ? old.st_mode & 07777 : m_newFileMode;

    // A replaced file's mode comes just before its name, so the data is
    // never shown to more readers than the old file or a new one would have.
    const mode_t tempMode = m_replaces ? m_mode & m_newFileMode & 0600 : m_newFileMode;
    const qsizetype slash = m_target.lastIndexOf('/');
    const QByteArray folder = folderOf(m_target);
    const QByteArray name = m_target.mid(slash + 1);
    static std::atomic<int> counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray temp = folder + "/." + name + ".tmp" + QByteArray::number(::getpid()) +
                                '-' + QByteArray::number(++counter);
        m_fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, tempMode);
        if (m_fd >= 0) {
            m_temp = temp;
            break;
        }
        if (errno != EEXIST)
            return fail(errno);
    }
    if (m_fd < 0)
        return fail(EEXIST);
    if (m_replaces && ::fchown(m_fd, old.st_uid, old.st_gid) != 0) {
        // Only root may give a file away; others keep their own ownership.
    }
    step(AtomicWriteStep::TempCreated);
    return true;
}

bool AtomicFileWriter::write(const char *data, qsizetype size)
{
    if (m_failed || m_fd < 0)
        return m_failed ? false : fail(EBADF);
    int error = 0;
    return writeAll(m_fd, data, size, error) || fail(error);
}

bool AtomicFileWriter::commit()
{
    if (m_failed || m_fd < 0)
        return m_failed ? false : fail(EBADF);
    step(AtomicWriteStep::Written);
    // fchown may have cleared set-id bits, so the mode goes on after it.
    if ((m_replaces && ::fchmod(m_fd, m_mode) != 0) || ::fsync(m_fd) != 0)
        return fail(errno);
    step(AtomicWriteStep::Synced);
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0)
        return fail(errno);
    if (::rename(m_temp.constData(), m_target.constData()) != 0)
        return fail(errno);
    m_temp.clear();

    // Makes the rename itself durable; the data is already safe, so a
    // failure here is no error.
    const int dir = ::open(folderOf(m_target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    step(AtomicWriteStep::Renamed);
    return true;
}

bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error,
                         const AtomicWriteHook &hook, mode_t newFileMode)
{
    AtomicFileWriter writer(path, newFileMode, hook);
    const qsizetype half = data.size() / 2;
    bool ok = writer.open() && writer.write(data.constData(), half);
    if (ok) {
        if (hook)
            hook(AtomicWriteStep::PartWritten);
        ok = writer.write(data.constData() + half, data.size() - half) && writer.commit();
    }
    if (error)
        *error = ok ? QString() : writer.error();
    return ok;
}
