#include "text/atomicfile.h"

#include "text/fileutil.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Owns the temporary file of a write until it has been renamed into place.
class TempFile final
{
public:
    TempFile() = default;
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;
    ~TempFile()
    {
        close();
        if (!m_path.isEmpty() && !m_renamed)
            ::unlink(m_path.constData());
    }

    // mode: as open() takes it (the umask applies).
    bool create(const QByteArray &folder, const QByteArray &name, mode_t mode)
    {
        static std::atomic<int> counter = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray path = folder + "/." + name + ".tmp" + QByteArray::number(::getpid()) +
                                    '-' + QByteArray::number(++counter);
            m_fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (m_fd >= 0) {
                m_path = path;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false;
    }

    bool writeAll(const char *data, qsizetype size)
    {
        while (size > 0) {
            const ssize_t n = ::write(m_fd, data, size_t(size));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            data += n;
            size -= n;
        }
        return true;
    }

    bool close()
    {
        if (m_fd < 0)
            return true;
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc == 0;
    }

    int fd() const { return m_fd; }
    const QByteArray &path() const { return m_path; }
    void setRenamed() { m_renamed = true; }

private:
    int m_fd = -1;
    QByteArray m_path;
    bool m_renamed = false;
};

// The file a write replaces: the final target of a chain of links.
QString resolveTarget(const QString &path)
{
    const QFileInfo info(QFileInfo(path).absoluteFilePath());
    if (!info.isSymLink())
        return info.absoluteFilePath();
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? info.symLinkTarget() : resolved;
}

bool write(const QString &path, const QByteArray &data, QString &error, const AtomicWriteHook &hook)
{
    const auto fail = [&error](const QString &reason) {
        error = reason;
        return false;
    };
    const auto step = [&hook](AtomicWriteStep s) {
        if (hook)
            hook(s);
    };

    const QString target = resolveTarget(path);
    const QFileInfo info(target);
    const QByteArray localTarget = fileNameToBytes(target);
    struct stat old;
    const bool exists = ::stat(localTarget.constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return fail(QStringLiteral("Not a regular file"));

    // Replacing a file, the new one is its owner's alone until it is
    // complete and takes the old one's mode just before its name: never
    // wider than the file it replaces, not even for a moment.
    TempFile temp;
    if (!temp.create(fileNameToBytes(info.absolutePath()), fileNameToBytes(info.fileName()),
                     exists ? old.st_mode & 0600 : 0666))
        return fail(errnoText(errno));
    if (exists && ::fchown(temp.fd(), old.st_uid, old.st_gid) != 0) {
        // Only root may give a file away; others keep their own ownership.
    }
    step(AtomicWriteStep::TempCreated);

    const qsizetype half = data.size() / 2;
    if (!temp.writeAll(data.constData(), half))
        return fail(errnoText(errno));
    step(AtomicWriteStep::PartWritten);
    if (!temp.writeAll(data.constData() + half, data.size() - half))
        return fail(errnoText(errno));
    step(AtomicWriteStep::Written);

    if ((exists && ::fchmod(temp.fd(), old.st_mode & 07777) != 0) || ::fsync(temp.fd()) != 0)
        return fail(errnoText(errno));
    step(AtomicWriteStep::Synced);
    if (!temp.close())
        return fail(errnoText(errno));

    if (::rename(temp.path().constData(), localTarget.constData()) != 0)
        return fail(errnoText(errno));
    temp.setRenamed();
    step(AtomicWriteStep::Renamed);

    // Make the rename itself durable; the data is already safe, so failure here is no error.
    const int dir = ::open(fileNameToBytes(info.absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace

bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error,
                         const AtomicWriteHook &hook)
{
    QString reason;
    const bool ok = write(path, data, reason, hook);
    if (error)
        *error = reason;
    return ok;
}
