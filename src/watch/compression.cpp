#include "watch/compression.h"

#include "text/fileutil.h"

#include <QFile>

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

QByteArray head(const QString &fileName, qint64 bytes)
{
    // Only a regular file: opening a FIFO to look at it would wait for a writer.
    if (!isRegularFile(fileName))
        return {};
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(bytes);
}

quint64 littleEndian(const QByteArray &bytes, qsizetype at, int count)
{
    quint64 value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

} // namespace

Compression compressionOf(const QString &fileName)
{
    const QByteArray magic = head(fileName, 6);
    if (magic.startsWith("\x1f\x8b"))
        return Compression::Gzip;
    if (magic.startsWith("\x28\xb5\x2f\xfd"))
        return Compression::Zstd;
    if (magic.size() == 6 && std::memcmp(magic.constData(),
                                         "\xfd"
                                         "7zXZ\0",
                                         6) == 0)
        return Compression::Xz;
    if (magic.size() >= 4 && magic.startsWith("BZh") && magic[3] >= '1' && magic[3] <= '9')
        return Compression::Bzip2;
    return Compression::None;
}

QList<QByteArray> decompressor(Compression compression, const QString &fileName)
{
    static const char *const programs[] = {"", "gzip", "zstd", "xz", "bzip2"};
    const QByteArray program = programs[int(compression)];
    if (program.isEmpty())
        return {};
    // -q: zstd and others say nothing of a name that does not end as they expect.
    return {program, "-d", "-c", "-q", "--", fileNameToBytes(fileName)};
}

qint64 decompressedSize(Compression compression, const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const qint64 size = file.size();
    if (compression == Compression::Gzip && size >= 18 && size < (qint64(1) << 32)) {
        // ISIZE, the last four bytes, is the last member's length modulo
        // 4 GiB: right for the usual log of one member, and only used to
        // check the free space before decompressing.
        file.seek(size - 4);
        const QByteArray tail = file.read(4);
        return tail.size() == 4 ? qint64(littleEndian(tail, 0, 4)) : -1;
    }
    if (compression == Compression::Zstd) {
        const QByteArray header = file.read(18);
        if (header.size() < 6)
            return -1;
        const quint8 descriptor = quint8(header[4]);
        const int sizeFlag = descriptor >> 6;
        const bool singleSegment = descriptor & 0x20;
        const bool hasDictionary = descriptor & 0x03;
        if (sizeFlag == 0 && !singleSegment)
            return -1; // not recorded
        qsizetype at = 5 + (singleSegment ? 0 : 1);
        static const int dictionaryBytes[] = {0, 1, 2, 4};
        at += dictionaryBytes[hasDictionary ? (descriptor & 0x03) : 0];
        const int sizeBytes = sizeFlag == 0 ? 1 : sizeFlag == 1 ? 2 : sizeFlag == 2 ? 4 : 8;
        if (header.size() < at + sizeBytes)
            return -1;
        const quint64 value = littleEndian(header, at, sizeBytes) + (sizeFlag == 1 ? 256 : 0);
        return value > quint64(INT64_MAX) ? -1 : qint64(value);
    }
    return -1;
}

QByteArray textHead(const QString &fileName, qint64 bytes)
{
    if (compressionOf(fileName) != Compression::Gzip)
        return head(fileName, bytes);
    gzFile file = gzopen(fileNameToBytes(fileName).constData(), "rb");
    if (!file)
        return {};
    QByteArray text(bytes, Qt::Uninitialized);
    const int got = gzread(file, text.data(), unsigned(bytes));
    gzclose(file);
    text.resize(std::max(got, 0));
    return text;
}
