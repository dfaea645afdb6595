#include "text/fproc.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool StatName(const QString &name, struct stat *st)
{
    if (name.isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(name);
    return ::stat(path.constData(), st) == 0;
}

qint64 Nanoseconds(const struct timespec &t)
{
    return qint64(t.tv_sec) * 1000000000 + qint64(t.tv_nsec);
}

} // namespace

bool IsFileOrDirExist(const QString &name, bool *isFolder)
{
    struct stat st
    {
    };
    const bool found = StatName(name, &st);
    if (isFolder)
        *isFolder = found && S_ISDIR(st.st_mode);
    return found;
}

bool IsFileExist(const QString &name)
{
    bool isFolder = false;
    return IsFileOrDirExist(name, &isFolder) && !isFolder;
}

FileHandle FileOpenRead(const QString &name)
{
    if (name.isEmpty())
        return InvalidFileHandle;
    const QByteArray path = QFile::encodeName(name);
    // O_NONBLOCK so that opening a FIFO without a writer returns at once
    // instead of hanging the program; it is cleared again for regular files.
    int fd;
    do {
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return InvalidFileHandle;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return InvalidFileHandle;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return InvalidFileHandle;
    }
    return fd;
}

void FileClose(FileHandle handle)
{
    if (handle >= 0)
        ::close(handle); // no retry on EINTR: on Linux the descriptor is gone either way
}

bool FileReadAt(FileHandle handle, qint64 position, void *buffer, qint64 count, qint64 *bytesRead)
{
    if (bytesRead)
        *bytesRead = 0;
    if (handle < 0 || position < 0 || count < 0 || (count > 0 && !buffer))
        return false;
    char *out = static_cast<char *>(buffer);
    qint64 done = 0;
    while (done < count) {
        const ssize_t n = ::pread(handle, out + done, size_t(count - done), off_t(position + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (bytesRead)
                *bytesRead = done;
            return false;
        }
        if (n == 0)
            break; // end of file
        done += n;
    }
    if (bytesRead)
        *bytesRead = done;
    return true;
}

qint64 FileSizeByHandle(FileHandle handle)
{
    if (handle < 0)
        return -1;
    struct stat st
    {
    };
    if (::fstat(handle, &st) != 0)
        return -1;
    return qint64(st.st_size);
}

bool IsFileReadable(const QString &name)
{
    const FileHandle h = FileOpenRead(name);
    if (h == InvalidFileHandle)
        return false;
    FileClose(h);
    return true;
}

qint64 FileSizeByName(const QString &name)
{
    struct stat st
    {
    };
    if (!StatName(name, &st))
        return -1;
    return qint64(st.st_size);
}

bool FileInfoByName(const QString &name, qint64 *size, qint64 *lastWriteTime)
{
    struct stat st
    {
    };
    const bool found = StatName(name, &st);
    if (size)
        *size = found ? qint64(st.st_size) : 0;
    if (lastWriteTime)
        *lastWriteTime = found ? Nanoseconds(st.st_mtim) : 0;
    return found;
}

FileSnapshot FileSnapshotByName(const QString &name)
{
    FileSnapshot snap;
    struct stat st
    {
    };
    if (!StatName(name, &st))
        return snap;
    snap.Exists = true;
    snap.Size = qint64(st.st_size);
    snap.LastWrite = Nanoseconds(st.st_mtim);
    snap.Attributes = quint32(st.st_mode);
    snap.Creation = Nanoseconds(st.st_ctim);
    snap.LastAccess = Nanoseconds(st.st_atim);
    return snap;
}

bool IsFileUnicode(FileHandle handle)
{
    unsigned char bom[2] = {0, 0};
    qint64 got = 0;
    if (!FileReadAt(handle, 0, bom, 2, &got) || got != 2)
        return false;
    return (bom[0] == 0xFF && bom[1] == 0xFE) || (bom[0] == 0xFE && bom[1] == 0xFF);
}

bool DeleteFileByName(const QString &name)
{
    if (name.isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(name);
    return ::unlink(path.constData()) == 0;
}

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
