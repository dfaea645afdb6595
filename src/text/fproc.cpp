#include "text/fproc.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at p (no overlong forms, no surrogates,
// nothing above U+10FFFF); 0 when there is none.
qsizetype Utf8SequenceLength(const unsigned char *p, qsizetype left)
{
    const unsigned char lead = p[0];
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (left < length || p[1] < low || p[1] > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    return length;
}

bool IsEscapedByte(char16_t unit)
{
    return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF;
}

void AppendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool StatName(const QString &name, struct stat *st)
{
    if (name.isEmpty())
        return false;
    const QByteArray path = FileNameToBytes(name);
    return ::stat(path.constData(), st) == 0;
}

bool EntryExists(const QByteArray &path)
{
    struct stat st
    {
    };
    return ::lstat(path.constData(), &st) == 0;
}

struct DirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};

// The one entry of folder whose name, decoded as a file dialog decodes it,
// is shown; nullopt when none or several are.
std::optional<QByteArray> EntryShownAs(const QByteArray &folder, const QString &shown)
{
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.constData()));
    if (!dir)
        return std::nullopt;
    std::optional<QByteArray> found;
    while (const dirent *entry = ::readdir(dir.get())) {
        const QByteArray raw(entry->d_name);
        if (QString::fromUtf8(raw) != shown)
            continue;
        if (found)
            return std::nullopt; // two names look alike: none is the one meant
        found = raw;
    }
    return found;
}

qint64 Nanoseconds(const struct timespec &t)
{
    return qint64(t.tv_sec) * 1000000000 + qint64(t.tv_nsec);
}

} // namespace

QByteArray FileNameToBytes(const QString &name)
{
    QByteArray out;
    out.reserve(name.size() * 3);
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            AppendUtf8(out, QChar::surrogateToUcs4(unit, name[i + 1].unicode()));
            ++i;
        } else if (IsEscapedByte(unit)) {
            out += char(unit - kEscapeBase);
        } else if (QChar::isSurrogate(unit)) {
            AppendUtf8(out, char32_t(QChar::ReplacementCharacter));
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

QString FileNameFromBytes(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype runStart = 0; // of valid UTF-8 not yet appended
    qsizetype i = 0;
    while (i < size) {
        const qsizetype length = Utf8SequenceLength(p + i, size - i);
        if (length > 0) {
            i += length;
            continue;
        }
        out += QString::fromUtf8(bytes.constData() + runStart, i - runStart);
        out += QChar(char16_t(kEscapeBase + p[i]));
        runStart = ++i;
    }
    out += QString::fromUtf8(bytes.constData() + runStart, size - runStart);
    return out;
}

QString DisplayFileName(const QString &name)
{
    QString out = name;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate())
            ++i;
        else if (out[i].isSurrogate())
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

QString AbsoluteFileName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(u'/'))
        return QDir::cleanPath(name);
    QByteArray folder(4096, Qt::Uninitialized);
    while (!::getcwd(folder.data(), size_t(folder.size()))) {
        if (errno != ERANGE || folder.size() > (1 << 20))
            return QDir::cleanPath(name);
        folder.resize(folder.size() * 2);
    }
    folder.truncate(qsizetype(std::strlen(folder.constData())));
    return QDir::cleanPath(FileNameFromBytes(folder) + u'/' + name);
}

QString FileNameFromDisplayed(const QString &name)
{
    if (!name.contains(QChar::ReplacementCharacter) || EntryExists(FileNameToBytes(name)))
        return name;
    const QStringList parts = name.split(u'/');
    QByteArray path;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QByteArray part = FileNameToBytes(parts[i]);
        const QByteArray joined = i == 0 ? part : path + '/' + part;
        if (parts[i].contains(QChar::ReplacementCharacter) && !EntryExists(joined)) {
            const QByteArray folder = i == 0           ? QByteArray(".")
                                      : path.isEmpty() ? QByteArray("/")
                                                       : path;
            const std::optional<QByteArray> entry = EntryShownAs(folder, parts[i]);
            if (!entry)
                return name;
            part = *entry;
        }
        path = i == 0 ? part : path + '/' + part;
    }
    return FileNameFromBytes(path);
}

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

bool IsRegularFile(const QString &name)
{
    struct stat st
    {
    };
    return StatName(name, &st) && S_ISREG(st.st_mode);
}

FileHandle FileOpenRead(const QString &name)
{
    if (name.isEmpty())
        return InvalidFileHandle;
    const QByteArray path = FileNameToBytes(name);
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
    const QByteArray path = FileNameToBytes(name);
    return ::unlink(path.constData()) == 0;
}

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
