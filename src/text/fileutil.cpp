#include "text/fileutil.h"

#include "text/utf8.h"

#include <QDir>
#include <QStringDecoder>

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
qsizetype utf8SequenceLength(const unsigned char *p, qsizetype left)
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

bool isEscapedByte(char16_t unit)
{
    return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF;
}

bool statName(const QString &name, struct stat *st)
{
    if (name.isEmpty())
        return false;
    const QByteArray path = fileNameToBytes(name);
    return ::stat(path.constData(), st) == 0;
}

bool entryExists(const QByteArray &path)
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
std::optional<QByteArray> entryShownAs(const QByteArray &folder, const QString &shown)
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

qint64 nanoseconds(const struct timespec &t)
{
    return qint64(t.tv_sec) * 1000000000 + qint64(t.tv_nsec);
}

} // namespace

QByteArray fileNameToBytes(const QString &name)
{
    QByteArray out;
    out.reserve(name.size() * 3);
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            appendUtf8(out, QChar::surrogateToUcs4(unit, name[i + 1].unicode()));
            ++i;
        } else if (isEscapedByte(unit)) {
            out += char(unit - kEscapeBase);
        } else if (QChar::isSurrogate(unit)) {
            appendUtf8(out, char32_t(QChar::ReplacementCharacter));
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

namespace {

// Valid UTF-8 as it is: QString::fromUtf8 drops a U+FEFF at the start, taking
// it for a byte-order mark.
QString utf8Run(const char *data, qsizetype size)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(data, size));
}

} // namespace

QString fileNameFromBytes(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype runStart = 0; // of valid UTF-8 not yet appended
    qsizetype i = 0;
    while (i < size) {
        const qsizetype length = utf8SequenceLength(p + i, size - i);
        if (length > 0) {
            i += length;
            continue;
        }
        out += utf8Run(bytes.constData() + runStart, i - runStart);
        out += QChar(char16_t(kEscapeBase + p[i]));
        runStart = ++i;
    }
    out += utf8Run(bytes.constData() + runStart, size - runStart);
    return out;
}

QString displayFileName(const QString &name)
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

QString absoluteFileName(const QString &name)
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
    return QDir::cleanPath(fileNameFromBytes(folder) + u'/' + name);
}

QString fileNameFromDisplayed(const QString &name)
{
    if (!name.contains(QChar::ReplacementCharacter) || entryExists(fileNameToBytes(name)))
        return name;
    const QStringList parts = name.split(u'/');
    QByteArray path;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QByteArray part = fileNameToBytes(parts[i]);
        const QByteArray joined = i == 0 ? part : path + '/' + part;
        if (parts[i].contains(QChar::ReplacementCharacter) && !entryExists(joined)) {
            const QByteArray folder = i == 0           ? QByteArray(".")
                                      : path.isEmpty() ? QByteArray("/")
                                                       : path;
            const std::optional<QByteArray> entry = entryShownAs(folder, parts[i]);
            if (!entry)
                return name;
            part = *entry;
        }
        path = i == 0 ? part : path + '/' + part;
    }
    return fileNameFromBytes(path);
}

bool isFileOrDirExist(const QString &name, bool *isFolder)
{
    struct stat st
    {
    };
    const bool found = statName(name, &st);
    if (isFolder)
        *isFolder = found && S_ISDIR(st.st_mode);
    return found;
}

bool isFileExist(const QString &name)
{
    bool isFolder = false;
    return isFileOrDirExist(name, &isFolder) && !isFolder;
}

bool isRegularFile(const QString &name)
{
    struct stat st
    {
    };
    return statName(name, &st) && S_ISREG(st.st_mode);
}

FileHandle fileOpenRead(const QString &name)
{
    if (name.isEmpty())
        return invalidFileHandle;
    const QByteArray path = fileNameToBytes(name);
    // O_NONBLOCK so that opening a FIFO without a writer returns at once
    // instead of hanging the program; it is cleared again for regular files.
    int fd;
    do {
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return invalidFileHandle;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return invalidFileHandle;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return invalidFileHandle;
    }
    return fd;
}

void fileClose(FileHandle handle)
{
    if (handle >= 0)
        ::close(handle); // no retry on EINTR: on Linux the descriptor is gone either way
}

bool fileReadAt(FileHandle handle, qint64 position, void *buffer, qint64 count, qint64 *bytesRead)
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

qint64 fileSizeByHandle(FileHandle handle)
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

bool isFileReadable(const QString &name)
{
    const FileHandle h = fileOpenRead(name);
    if (h == invalidFileHandle)
        return false;
    fileClose(h);
    return true;
}

qint64 fileSizeByName(const QString &name)
{
    struct stat st
    {
    };
    if (!statName(name, &st))
        return -1;
    return qint64(st.st_size);
}

bool fileInfoByName(const QString &name, qint64 *size, qint64 *lastWriteTime)
{
    struct stat st
    {
    };
    const bool found = statName(name, &st);
    if (size)
        *size = found ? qint64(st.st_size) : 0;
    if (lastWriteTime)
        *lastWriteTime = found ? nanoseconds(st.st_mtim) : 0;
    return found;
}

FileSnapshot fileSnapshotByName(const QString &name)
{
    FileSnapshot snap;
    struct stat st
    {
    };
    if (!statName(name, &st))
        return snap;
    snap.exists = true;
    snap.size = qint64(st.st_size);
    snap.lastWrite = nanoseconds(st.st_mtim);
    snap.attributes = quint32(st.st_mode);
    snap.creation = nanoseconds(st.st_ctim);
    snap.lastAccess = nanoseconds(st.st_atim);
    return snap;
}

bool isFileUnicode(FileHandle handle)
{
    unsigned char bom[2] = {0, 0};
    qint64 got = 0;
    if (!fileReadAt(handle, 0, bom, 2, &got) || got != 2)
        return false;
    return (bom[0] == 0xFF && bom[1] == 0xFE) || (bom[0] == 0xFE && bom[1] == 0xFF);
}

bool deleteFileByName(const QString &name)
{
    if (name.isEmpty())
        return false;
    const QByteArray path = fileNameToBytes(name);
    return ::unlink(path.constData()) == 0;
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool writeAll(int fd, const char *data, qsizetype size, int &error)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}
