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
    std::fill(std::begin(maxLengths), std::end(maxLengths), maxLengthDefault);
}

ViewDocument::~ViewDocument()
{
    close();
}

ViewDocument::OpenResult ViewDocument::openFile(const QString &fileName, bool reopen)
{
    const Identity identityBefore = m_identity;
    const qint64 sizeBefore = m_fileSize;
    close();
    if (!reopen)
        m_chosenOrder = unicodeOrderUndetected;
    LocalFileSource::OpenError error = LocalFileSource::OpenError::None;
    std::unique_ptr<FileSource> source =
        m_opener ? m_opener(fileName, &error) : LocalFileSource::open(fileName, &error);
    if (!source)
        return error == LocalFileSource::OpenError::NoSize ? OpenResult::NoSize
                                                           : OpenResult::CannotOpen;
    m_fileSize = source->size();
    if (const LocalFileSource *file = source->localFile())
        m_identity = {file->device(), file->inode()};
    m_source = std::move(source);
    m_kind = SourceKind::File;
    if (!prepareAfterOpen(reopen) && !reopen) {
        close();
        return OpenResult::CannotOpen;
    }
    if (reopen) {
        // A log rotated by rename-and-create is another file under the same
        // name: its offsets mean nothing for the old ones.
        if (identityBefore != Identity{} && identityBefore != m_identity)
            m_reloadReason = ReloadReason::Replaced;
        else if (m_fileSize > sizeBefore)
            m_reloadReason = ReloadReason::Appended;
        else if (m_fileSize < sizeBefore)
            m_reloadReason = ReloadReason::Truncated;
    }
    return OpenResult::Ok;
}

void ViewDocument::fileGone()
{
    close();
    m_reloadReason = ReloadReason::Deleted;
}

void ViewDocument::reportChange()
{
    if (m_reloadsHeld) {
        m_reloadPending = true;
        return;
    }
    Q_EMIT reloadDue();
}

void ViewDocument::setReloadsHeld(bool held)
{
    m_reloadsHeld = held;
    if (!held && m_reloadPending) {
        m_reloadPending = false;
        Q_EMIT reloadDue();
    }
}

void ViewDocument::openStream(QIODevice *stream, bool keepChosenOrder)
{
    close();
    if (!keepChosenOrder)
        m_chosenOrder = unicodeOrderUndetected;
    if (!stream)
        return;
    m_source = std::make_unique<DeviceSource>(stream);
    m_stream = stream;
    m_fileSize = m_source->size();
    m_kind = SourceKind::Stream;
    prepareAfterOpen();
}

void ViewDocument::openSource(std::unique_ptr<FileSource> source, bool keepChosenOrder)
{
    close();
    if (!keepChosenOrder)
        m_chosenOrder = unicodeOrderUndetected;
    if (!source)
        return;
    m_fileSize = source->size();
    m_source = std::move(source);
    m_kind = SourceKind::Other;
    prepareAfterOpen(false);
}

bool ViewDocument::prepareAfterOpen(bool mayRetry)
{
    m_maxLength = maxLengths[m_mode];
    // A screen of the longest lines with their CR LF, and the line after it.
    m_bufMaxOffset = qint64(charSize()) * (m_maxLength + 2) * (maxScreenLines + 1);
    m_bufferSize = 3 * m_bufMaxOffset;
    m_buffer.assign(size_t(m_bufferSize), 0);
    const bool read = readWindow(-1, mayRetry);
    computeOffsetDigits();
    return read;
}

void ViewDocument::close()
{
    m_source.reset();
    m_stream = nullptr;
    std::vector<char>().swap(m_buffer);
    m_fileSize = 0;
    m_identity = {};
    m_reloadReason = ReloadReason::None;
    m_readOK = true;
    m_unicodeOrder = unicodeOrderUndetected;
    m_kind = SourceKind::None;
    m_bufMaxOffset = 0;
    m_bufferSize = 0;
    m_bufferPos = 0;
    m_lineStarts.clear();
}

bool ViewDocument::countLines(qint64 size, int maxCount)
{
    if (!m_source) {
        m_lineStarts.clear();
        return false;
    }
    // Bounded: at most 20 MiB, read in blocks and scanned with memchr, once
    // per window move within the counted range.
    return m_lineStarts.countLines(*m_source, size, lineUnit(), maxCount);
}

LineCountUnit ViewDocument::lineUnit() const
{
    return !isUnicodeMode() ? LineCountUnit::Byte
           : isBigEndian()  ? LineCountUnit::Utf16Big
                            : LineCountUnit::Utf16Little;
}

TextFormat ViewDocument::format() const
{
    TextFormat f;
    f.mode = m_mode;
    f.bigEndian = isBigEndian();
    f.encoding = textEncoding;
    f.oemSpecial = textOemSpecial;
    f.firstPrintable = firstPrintable;
    f.maxLength = m_maxLength;
    return f;
}

qint64 ViewDocument::maxPos() const
{
    qint64 size = m_fileSize;
    if (isUnicodeMode())
        size &= ~qint64(1);
    return std::max<qint64>(size - charSize(), 0);
}

bool ViewDocument::readSource(char *buffer, qint64 count, qint64 *bytesRead, qint64 position) const
{
    if (buffer && count > 0)
        std::memset(buffer, 0, size_t(count));
    if (bytesRead)
        *bytesRead = 0;
    require(buffer != nullptr, QStringLiteral("Buffer not allocated: ReadSource"), kUnit);
    require(sourceAssigned(), QStringLiteral("Source not assigned: ReadSource"), kUnit);
    return m_source->read(buffer, count, position, bytesRead) == FileSource::ReadResult::Ok;
}

void ViewDocument::readBuffer(qint64 position)
{
    readWindow(position, true);
}

bool ViewDocument::readWindow(qint64 position, bool mayRetry)
{
    if (!sourceAssigned())
        return false;
    if (m_bufferPos <= position && position < m_bufferPos + 2 * m_bufMaxOffset)
        return true;
    m_bufferPos = alignDown(std::max<qint64>(position - m_bufMaxOffset, 0));
    for (;;) {
        ++m_windowReads;
        qint64 got = 0;
        m_readOK = readSource(m_buffer.data(), m_bufferSize, &got, m_bufferPos);
        if (m_readOK)
            break;
        if (!mayRetry || !m_askRetry || !m_askRetry())
            return false;
    }
    detectByteOrder();
    Q_EMIT windowRead();
    return true;
}

void ViewDocument::detectByteOrder()
{
    if (m_unicodeOrder != unicodeOrderUndetected)
        return;
    if (m_chosenOrder != unicodeOrderUndetected) {
        m_unicodeOrder = m_chosenOrder;
        return;
    }
    m_unicodeOrder = unicodeOrderLittle;
    if (m_fileSize < 2)
        return;
    char mark[2];
    qint64 got = 0;
    if (readSource(mark, 2, &got, 0) && got == 2 && static_cast<unsigned char>(mark[0]) == 0xFE &&
        static_cast<unsigned char>(mark[1]) == 0xFF)
        m_unicodeOrder = unicodeOrderBig;
}

void ViewDocument::computeOffsetDigits()
{
    if (m_fileSize < charSize()) {
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

char16_t ViewDocument::rawChar(qint64 position) const
{
    if (m_fileSize < charSize())
        return 0;
    if (position < 0 || position > maxPos())
        return 0;
    const qint64 offset = position - m_bufferPos;
    require(offset >= 0 && offset < m_bufferSize,
            QStringLiteral("Buffer position out of range: GetChar"), kUnit);
    const auto *b = reinterpret_cast<const unsigned char *>(m_buffer.data());
    if (!isUnicodeMode())
        return b[offset];
    if (offset + 1 >= m_bufferSize)
        return 0;
    if (isBigEndian())
        return char16_t(b[offset] << 8 | b[offset + 1]);
    return char16_t(b[offset + 1] << 8 | b[offset]);
}

QString ViewDocument::getHex(qint64 position) const
{
    if (position < 0 || position > maxPos())
        return {};
    const qint64 offset = position - m_bufferPos;
    require(offset >= 0 && offset < m_bufferSize,
            QStringLiteral("Buffer position out of range: GetHex"), kUnit);
    const auto *b = reinterpret_cast<const unsigned char *>(m_buffer.data());
    auto hex = [](unsigned char v) {
        return QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')).toUpper();
    };
    QString result = hex(b[offset]);
    if (isUnicodeMode() && offset + 1 < m_bufferSize)
        result.prepend(hex(b[offset + 1]));
    return result;
}

QString ViewDocument::decodeLine(const char16_t *units, int count, std::vector<int> *offsets) const
{
    return format().decode(units, count, offsets);
}
