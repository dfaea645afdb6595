#include "viewer/viewdocument.h"

#include "text/codepages.h"
#include "text/contract.h"
#include "text/sproc.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

#include <sys/stat.h>

namespace {
const QString kUnit = QStringLiteral("QzBinHex");
} // namespace

ViewDocument::ViewDocument()
{
    std::fill(std::begin(MaxLengths), std::end(MaxLengths), MaxLengthDefault);
}

ViewDocument::~ViewDocument()
{
    Close();
}

ViewDocument::OpenResult ViewDocument::OpenFile(const QString &fileName)
{
    Close();
    const FileHandle handle = FileOpenRead(fileName);
    if (handle == InvalidFileHandle)
        return OpenResult::CannotOpen;
    const qint64 size = FileSizeByHandle(handle);
    if (size < 0) {
        FileClose(handle);
        m_fileSize = 0;
        return OpenResult::NoSize;
    }
    m_handle = handle;
    m_fileSize = size;
    struct stat st
    {
    };
    if (fstat(handle, &st) == 0)
        m_identity = {quint64(st.st_dev), quint64(st.st_ino)};
    m_kind = SourceKind::File;
    PrepareAfterOpen();
    return OpenResult::Ok;
}

void ViewDocument::OpenStream(QIODevice *stream)
{
    Close();
    m_stream = stream;
    m_fileSize = stream ? stream->size() : 0;
    m_kind = stream ? SourceKind::Stream : SourceKind::None;
    if (stream)
        PrepareAfterOpen();
}

void ViewDocument::PrepareAfterOpen()
{
    m_maxLength = MaxLengths[m_mode];
    m_bufMaxOffset = qint64(CharSize()) * m_maxLength * MaxScreenLines;
    m_bufferSize = 3 * m_bufMaxOffset;
    m_buffer.assign(size_t(m_bufferSize), 0);
    ReadBuffer(-1);
    ComputeOffsetDigits();
}

void ViewDocument::Close()
{
    if (m_handle != InvalidFileHandle)
        FileClose(m_handle);
    m_handle = InvalidFileHandle;
    m_stream = nullptr;
    std::vector<char>().swap(m_buffer);
    m_fileSize = 0;
    m_identity = {};
    m_readOK = true;
    m_unicodeOrder = UnicodeOrderUndetected;
    m_kind = SourceKind::None;
    m_bufMaxOffset = 0;
    m_bufferSize = 0;
    m_bufferPos = 0;
}

bool ViewDocument::SourceAssigned() const
{
    return (m_kind == SourceKind::File && m_handle != InvalidFileHandle) ||
           (m_kind == SourceKind::Stream && m_stream);
}

qint64 ViewDocument::MaxPos() const
{
    qint64 size = m_fileSize;
    if (IsUnicodeMode())
        size &= ~qint64(1);
    return std::max<qint64>(size - CharSize(), 0);
}

bool ViewDocument::ReadSource(char *buffer, qint64 count, qint64 *bytesRead, qint64 position) const
{
    if (buffer && count > 0)
        std::memset(buffer, 0, size_t(count));
    if (bytesRead)
        *bytesRead = 0;
    Require(buffer != nullptr, QStringLiteral("Buffer not allocated: ReadSource"), kUnit);
    Require(SourceAssigned(), QStringLiteral("Source not assigned: ReadSource"), kUnit);
    if (m_kind == SourceKind::File)
        return FileReadAt(m_handle, position, buffer, count, bytesRead);
    if (!m_stream->seek(position))
        return false;
    const qint64 n = m_stream->read(buffer, count);
    if (n < 0)
        return false;
    if (bytesRead)
        *bytesRead = n;
    return true;
}

void ViewDocument::ReadBuffer(qint64 position)
{
    if (!SourceAssigned())
        return;
    if (m_bufferPos <= position && position < m_bufferPos + 2 * m_bufMaxOffset)
        return;
    m_bufferPos = AlignDown(std::max<qint64>(position - m_bufMaxOffset, 0));
    for (;;) {
        ++m_windowReads;
        qint64 got = 0;
        m_readOK = ReadSource(m_buffer.data(), m_bufferSize, &got, m_bufferPos);
        if (m_readOK)
            break;
        if (!OnReadError || !OnReadError())
            return;
    }
    DetectByteOrder();
    if (OnWindowRead)
        OnWindowRead();
}

void ViewDocument::DetectByteOrder()
{
    if (m_unicodeOrder != UnicodeOrderUndetected)
        return;
    m_unicodeOrder = UnicodeOrderLittle;
    if (m_fileSize < 2)
        return;
    char mark[2];
    qint64 got = 0;
    if (ReadSource(mark, 2, &got, 0) && got == 2 && static_cast<unsigned char>(mark[0]) == 0xFE &&
        static_cast<unsigned char>(mark[1]) == 0xFF)
        m_unicodeOrder = UnicodeOrderBig;
}

void ViewDocument::ComputeOffsetDigits()
{
    if (m_fileSize < CharSize()) {
        m_offsetDigits = 0;
        return;
    }
    int digits = 0;
    for (quint64 v = quint64(m_fileSize); v; v >>= 4)
        ++digits; // floor(log16(size)) + 1
    digits = std::max(digits, 8);
    if (digits % 2)
        ++digits;
    m_offsetDigits = digits;
}

char16_t ViewDocument::RawChar(qint64 position) const
{
    if (m_fileSize < CharSize())
        return 0;
    if (position < 0 || position > MaxPos())
        return 0;
    const qint64 offset = position - m_bufferPos;
    Require(offset >= 0 && offset < m_bufferSize,
            QStringLiteral("Buffer position out of range: GetChar"), kUnit);
    const auto *b = reinterpret_cast<const unsigned char *>(m_buffer.data());
    if (!IsUnicodeMode())
        return b[offset];
    if (offset + 1 >= m_bufferSize)
        return 0;
    if (IsBigEndian())
        return char16_t(b[offset] << 8 | b[offset + 1]);
    return char16_t(b[offset + 1] << 8 | b[offset]);
}

QString ViewDocument::GetHex(qint64 position) const
{
    if (position < 0 || position > MaxPos())
        return {};
    const qint64 offset = position - m_bufferPos;
    Require(offset >= 0 && offset < m_bufferSize,
            QStringLiteral("Buffer position out of range: GetHex"), kUnit);
    const auto *b = reinterpret_cast<const unsigned char *>(m_buffer.data());
    auto hex = [](unsigned char v) {
        return QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')).toUpper();
    };
    QString result = hex(b[offset]);
    if (IsUnicodeMode() && offset + 1 < m_bufferSize)
        result.prepend(hex(b[offset + 1]));
    return result;
}

QString ViewDocument::DecodeLine(const char16_t *units, int count, std::vector<int> *offsets) const
{
    if (IsUnicodeMode()) {
        if (offsets) {
            offsets->resize(size_t(count));
            for (int i = 0; i < count; ++i)
                (*offsets)[size_t(i)] = i;
        }
        return QString(reinterpret_cast<const QChar *>(units), count);
    }
    QByteArray bytes(count, Qt::Uninitialized);
    for (int i = 0; i < count; ++i)
        bytes[i] = char(units[i] & 0xFF);
    const TQzEncoding encoding = UsesOemSpecial() ? 0 : TextEncoding;
    QString text = CodepageToUnicode(bytes.constData(), bytes.size(), encoding, offsets);
    // A page without converter shows one "?" for the whole line.
    if (offsets && offsets->size() != size_t(text.size()))
        offsets->assign(size_t(text.size()), 0);
    return text;
}
