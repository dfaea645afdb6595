#include "viewer/linescanner.h"

#include "viewer/filesource.h"

#include <algorithm>

LineScanner::LineScanner(const FileSource &source, const TextFormat &format,
                         const WrapContext &wrap, int blockSize, std::stop_token stop)
    : LineRules(format, wrap), m_source(&source), m_size(source.Size()),
      m_blockSize(std::max(2, blockSize + (blockSize & 1))), m_stop(std::move(stop))
{}

qint64 LineScanner::LastPos() const
{
    qint64 size = m_size;
    if (Format().IsUnicodeMode())
        size &= ~qint64(1);
    return std::max<qint64>(size - Format().CharSize(), 0);
}

const LineScanner::Block *LineScanner::Load(qint64 position) const
{
    const qint64 start = position - position % m_blockSize;
    for (int i = 0; i < 2; ++i) {
        if (m_blocks[i].Pos == start) {
            m_older = 1 - i;
            return &m_blocks[i];
        }
    }
    if (m_failed)
        return nullptr;
    Block &b = m_blocks[m_older];
    b.Bytes.resize(size_t(m_blockSize));
    qint64 got = 0;
    if (m_source->Read(b.Bytes.data(), m_blockSize, start, &got, m_stop) !=
        FileSource::ReadResult::Ok) {
        b.Pos = -1;
        m_failed = true;
        return nullptr;
    }
    b.Pos = start;
    m_older = 1 - m_older;
    return &b;
}

bool LineScanner::IsOut(qint64 position) const
{
    return position < 0 || position > LastPos() || m_size < Format().CharSize() || !Load(position);
}

char16_t LineScanner::UnitAt(qint64 position) const
{
    const Block *b = Load(position);
    if (!b)
        return 0;
    const auto *bytes = reinterpret_cast<const unsigned char *>(b->Bytes.data());
    const size_t offset = size_t(position - b->Pos);
    char16_t raw = bytes[offset];
    if (Format().IsUnicodeMode()) {
        // Blocks have an even size and start at even offsets: a unit never
        // straddles two.
        raw = Format().BigEndian ? char16_t(bytes[offset] << 8 | bytes[offset + 1])
                                 : char16_t(bytes[offset + 1] << 8 | bytes[offset]);
    }
    return Format().Displayable(raw);
}
