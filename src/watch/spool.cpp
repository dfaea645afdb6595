#include "watch/spool.h"

#include "text/fileutil.h"

#include <QDir>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr size_t kChunk = size_t(1) << 20;
// Larger moves than the 64 KiB a pipe holds by itself; a larger pipe keeps
// its lock longer and makes a fast writer spin on it.
constexpr int kPipeSize = 256 * 1024;
// A spool younger than this may not be locked yet by the program making it.
constexpr time_t kStaleAfterSeconds = 10;
const char kPrefix[] = "spool-";

// Makes folder (and any missing parent) for the user alone; a folder there
// already must be the user's own, and is closed to others.
void makePrivateFolder(const QByteArray &folder)
{
    QByteArray partial;
    const QList<QByteArray> parts = folder.split('/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            partial += '/';
        partial += parts[i];
        if (partial.isEmpty() || partial == "/")
            continue;
        if (::mkdir(partial.constData(), 0700) != 0 && errno != EEXIST)
            throw SpoolError(QStringLiteral("Cannot make the folder \"%1\": %2")
                                 .arg(QString::fromLocal8Bit(partial), errnoText(errno))
                                 .toStdString());
    }
    struct stat st
    {
    };
    if (::lstat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        throw SpoolError(QStringLiteral("The folder \"%1\" is not a folder of this user's")
                             .arg(QString::fromLocal8Bit(folder))
                             .toStdString());
    if ((st.st_mode & 077) != 0 && ::chmod(folder.constData(), 0700) != 0)
        throw SpoolError(QStringLiteral("Cannot close the folder \"%1\" to other users: %2")
                             .arg(QString::fromLocal8Bit(folder), errnoText(errno))
                             .toStdString());
}

bool isDiskFull(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

} // namespace

QString Spool::cacheFolder()
{
    QByteArray base = qgetenv("XDG_CACHE_HOME");
    if (!base.startsWith('/'))
        base = qgetenv("HOME") + "/.cache";
    return fileNameFromBytes(base + "/ravelin");
}

Spool::Spool(UniqueFd input, const QString &folder)
    : m_input(std::move(input)), m_stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    const QByteArray folderBytes = fileNameToBytes(folder);
    makePrivateFolder(folderBytes);
    QByteArray name = folderBytes + '/' + kPrefix + "XXXXXX";
    // mkostemp makes the file 0600 whatever the umask says.
    m_file.reset(::mkostemp(name.data(), O_CLOEXEC));
    if (!m_file.valid())
        throw SpoolError(QStringLiteral("Cannot make a file in \"%1\": %2")
                             .arg(folder, errnoText(errno))
                             .toStdString());
    m_path = fileNameFromBytes(name);
    // Tells removeStale that a living program holds it.
    ::flock(m_file.get(), LOCK_EX | LOCK_NB);
    if (!m_stop.valid() || !m_input.valid()) {
        ::unlink(name.constData());
        throw SpoolError("Cannot read the input");
    }
    m_thread = std::thread([this] { run(); });
}

Spool::~Spool()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_stop.get(), &one, sizeof one);
    if (m_thread.joinable())
        m_thread.join();
    ::unlink(fileNameToBytes(m_path).constData());
}

void Spool::run()
{
    std::optional<QString> error;
    try {
        error = copy();
    } catch (...) {
        error = QStringLiteral("The input stopped: not enough memory");
    }
    m_input.reset(); // a writer still there learns that nobody reads any more
    m_ended = true;
    // Told from the spool's own thread, through its event loop: whoever
    // connects right after making the spool hears the end even when the
    // input had ended before that.
    if (error)
        QMetaObject::invokeMethod(
            this, [this, text = *error] { Q_EMIT ended(text); }, Qt::QueuedConnection);
}

// Nothing when stopped; a null string at the end of input; else why the copy stopped.
std::optional<QString> Spool::copy()
{
    bool splicing = true;
    ::fcntl(m_input.get(), F_SETPIPE_SZ, kPipeSize);
    std::unique_ptr<char[]> buffer;
    bool wait = true;
    for (;;) {
        // A busy writer keeps the pipe full: the copy goes on without a wait,
        // looking for the stop only now and then.
        pollfd fds[2] = {{m_stop.get(), POLLIN, 0}, {m_input.get(), POLLIN, 0}};
        if (::poll(fds, 2, wait ? -1 : 0) < 0) {
            if (errno == EINTR)
                continue;
            return QStringLiteral("Cannot wait for the input: %1").arg(errnoText(errno));
        }
        if (fds[0].revents != 0)
            return std::nullopt;
        wait = false;
        ssize_t got = 0;
        int error = 0;
        if (splicing) {
            // From a pipe straight into the page cache, without a copy through here.
            got = ::splice(m_input.get(), nullptr, m_file.get(), nullptr, kChunk,
                           SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
            if (got < 0 && errno == EINVAL) {
                splicing = false; // not a pipe: a file or a terminal
                continue;
            }
            error = got < 0 ? errno : 0;
        } else {
            if (!buffer)
                buffer = std::make_unique<char[]>(kChunk);
            got = ::read(m_input.get(), buffer.get(), kChunk);
            if (got < 0) {
                error = errno;
            } else if (got > 0 && !writeAll(m_file.get(), buffer.get(), qsizetype(got), error)) {
                got = -1;
            }
        }
        if (got == 0)
            return QString();
        if (got < 0) {
            wait = error == EAGAIN;
            if (error == EINTR || error == EAGAIN)
                continue;
            if (isDiskFull(error))
                return QStringLiteral("No room left on the disk for \"%1\": the input stopped "
                                      "after %2 bytes; what came before is kept.")
                    .arg(m_path)
                    .arg(m_written.load());
            return QStringLiteral("The input stopped after %1 bytes: %2")
                .arg(m_written.load())
                .arg(errnoText(error));
        }
        m_written += got;
    }
}

int Spool::removeStale(const QString &folder)
{
    const QByteArray folderBytes = fileNameToBytes(folder);
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(folderBytes.constData()), ::closedir);
    if (!dir)
        return 0;
    const time_t now = std::time(nullptr);
    int removed = 0;
    while (const dirent *entry = ::readdir(dir.get())) {
        if (std::strncmp(entry->d_name, kPrefix, sizeof kPrefix - 1) != 0)
            continue;
        const UniqueFd fd(::openat(::dirfd(dir.get()), entry->d_name,
                                   O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st
        {
        };
        if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid() || now - st.st_mtime < kStaleAfterSeconds)
            continue;
        // Held by a living program: its lock stands.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (::unlinkat(::dirfd(dir.get()), entry->d_name, 0) == 0)
            ++removed;
    }
    return removed;
}
