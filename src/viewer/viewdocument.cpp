#include "viewer/viewdocument.h"

#include "viewer/devicesource.h"
#include "text/contract.h"

#include <algorithm>
#include <cstring>

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

ViewDocument::OpenResult ViewDocument::OpenFile(const QString &fileName, bool reopen)
{
    Close();
    if (!reopen)
        m_chosenOrder = UnicodeOrderUndetected;
    LocalFileSource::OpenError error = LocalFileSource::OpenError::None;
    std::unique_ptr<LocalFileSource> source = LocalFileSource::Open(fileName, &error);
    if (!source)
        return error == LocalFileSource::OpenError::NoSize ? OpenResult::NoSize
                                                           : OpenResult::CannotOpen;
    m_fileSize = source->Size();
    m_identity = {source->Device(), source->Inode()};
    m_source = std::move(source);
    m_kind = SourceKind::File;
    if (!PrepareAfterOpen(reopen) && !reopen) {
        Close();
        return OpenResult::CannotOpen;
    }
    return OpenResult::Ok;
}

void ViewDocument::OpenStream(QIODevice *stream, bool keepChosenOrder)
{
    Close();
    if (!keepChosenOrder)
        m_chosenOrder = UnicodeOrderUndetected;
    if (!stream)
        return;
    m_source = std::make_unique<DeviceSource>(stream);
    m_stream = stream;
    m_fileSize = m_source->Size();
    m_kind = SourceKind::Stream;
    PrepareAfterOpen();
}

bool ViewDocument::PrepareAfterOpen(bool mayRetry)
{
    m_maxLength = MaxLengths[m_mode];
    // A screen of the longest lines with their CR LF, and the line after it.
    m_bufMaxOffset = qint64(CharSize()) * (m_maxLength + 2) * (MaxScreenLines + 1);
    m_bufferSize = 3 * m_bufMaxOffset;
    m_buffer.assign(size_t(m_bufferSize), 0);
    const bool read = ReadWindow(-1, mayRetry);
    ComputeOffsetDigits();
    return read;
}

void ViewDocument::Close()
{
    m_source.reset();
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

TextFormat ViewDocument::Format() const
{
    TextFormat f;
    f.Mode = m_mode;
    f.BigEndian = IsBigEndian();
    f.Encoding = TextEncoding;
    f.OemSpecial = TextOemSpecial;
    f.FirstPrintable = FirstPrintable;
    f.MaxLength = m_maxLength;
    return f;
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
    return m_source->Read(buffer, count, position, bytesRead) == FileSource::ReadResult::Ok;
}

void ViewDocument::ReadBuffer(qint64 position)
{
    ReadWindow(position, true);
}

bool ViewDocument::ReadWindow(qint64 position, bool mayRetry)
{
    if (!SourceAssigned())
        return false;
    if (m_bufferPos <= position && position < m_bufferPos + 2 * m_bufMaxOffset)
        return true;
    m_bufferPos = AlignDown(std::max<qint64>(position - m_bufMaxOffset, 0));
    for (;;) {
        ++m_windowReads;
        qint64 got = 0;
        m_readOK = ReadSource(m_buffer.data(), m_bufferSize, &got, m_bufferPos);
        if (m_readOK)
            break;
        if (!mayRetry || !OnReadError || !OnReadError())
            return false;
    }
    DetectByteOrder();
    if (OnWindowRead)
        OnWindowRead();
    return true;
}

void ViewDocument::DetectByteOrder()
{
    if (m_unicodeOrder != UnicodeOrderUndetected)
        return;
    if (m_chosenOrder != UnicodeOrderUndetected) {
        m_unicodeOrder = m_chosenOrder;
        return;
    }
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
    return Format().Decode(units, count, offsets);
}
