#include "viewer/filesource.h"

#include "text/fileutil.h"

#include <algorithm>
#include <cstring>

#include <sys/stat.h>

LocalFileSource::LocalFileSource(int fd, const QString &fileName) : m_fd(fd), m_fileName(fileName)
{}

LocalFileSource::~LocalFileSource()
{
    fileClose(m_fd);
}

std::unique_ptr<LocalFileSource> LocalFileSource::open(const QString &fileName, OpenError *error)
{
    if (error)
        *error = OpenError::CannotOpen;
    const FileHandle fd = fileOpenRead(fileName);
    if (fd == invalidFileHandle)
        return nullptr;
    std::unique_ptr<LocalFileSource> source(new LocalFileSource(fd, fileName));
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0) {
        if (error)
            *error = OpenError::NoSize;
        return nullptr;
    }
    source->m_size = qint64(st.st_size);
    source->m_device = quint64(st.st_dev);
    source->m_inode = quint64(st.st_ino);
    if (error)
        *error = OpenError::None;
    return source;
}

FileSource::ReadResult LocalFileSource::read(char *buffer, qint64 count, qint64 position,
                                             qint64 *bytesRead, std::stop_token stop) const
{
    if (bytesRead)
        *bytesRead = 0;
    if (count <= 0)
        return ReadResult::Ok;
    std::memset(buffer, 0, size_t(count));
    qint64 done = 0;
    while (done < count) {
        if (stop.stop_requested())
            return ReadResult::Cancelled;
        const qint64 want = std::min(count - done, blockSize);
        qint64 got = 0;
        const bool ok = fileReadAt(m_fd, position + done, buffer + done, want, &got);
        done += got;
        if (bytesRead)
            *bytesRead = done;
        if (!ok)
            return ReadResult::Failed;
        if (got < want)
            break; // the end of the file
    }
    return ReadResult::Ok;
}

std::unique_ptr<FileSource> LocalFileSource::openAnother() const
{
    // Through the descriptor, not the name: the name may already stand for
    // a rotated successor, or for nothing.
    auto other = open(QStringLiteral("/proc/self/fd/%1").arg(m_fd));
    if (!other)
        other = open(m_fileName);
    if (!other || other->m_device != m_device || other->m_inode != m_inode)
        return nullptr;
    other->m_fileName = m_fileName;
    return other;
}
