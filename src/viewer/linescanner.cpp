#include "viewer/linescanner.h"

#include "viewer/filesource.h"

#include <algorithm>

LineScanner::LineScanner(const FileSource &source, const TextFormat &format,
                         const WrapContext &wrap, int blockSize, std::stop_token stop)
    : LineRules(format, wrap), m_source(&source), m_size(source.size()),
      m_blockSize(std::max(2, blockSize + (blockSize & 1))), m_stop(std::move(stop))
{}

qint64 LineScanner::lastPos() const
{
    qint64 size = m_size;
    if (format().isUnicodeMode())
        size &= ~qint64(1);
    return std::max<qint64>(size - format().charSize(), 0);
}

const LineScanner::Block *LineScanner::load(qint64 position) const
{
    const qint64 start = position - position % m_blockSize;
    for (int i = 0; i < 2; ++i) {
        if (m_blocks[i].pos == start) {
            m_older = 1 - i;
            return &m_blocks[i];
        }
    }
    if (m_failed)
        return nullptr;
    Block &b = m_blocks[m_older];
    b.bytes.resize(size_t(m_blockSize));
    qint64 got = 0;
    if (m_source->read(b.bytes.data(), m_blockSize, start, &got, m_stop) !=
        FileSource::ReadResult::Ok) {
        b.pos = -1;
        m_failed = true;
        return nullptr;
    }
    b.pos = start;
    m_older = 1 - m_older;
    return &b;
}

bool LineScanner::isOut(qint64 position) const
{
    return position < 0 || position > lastPos() || m_size < format().charSize() || !load(position);
}

char16_t LineScanner::unitAt(qint64 position) const
{
    const Block *b = load(position);
    if (!b)
        return 0;
    const auto *bytes = reinterpret_cast<const unsigned char *>(b->bytes.data());
    const size_t offset = size_t(position - b->pos);
    char16_t raw = bytes[offset];
    if (format().isUnicodeMode()) {
        // Blocks have an even size and start at even offsets: a unit never
        // straddles two.
        raw = format().bigEndian ? char16_t(bytes[offset] << 8 | bytes[offset + 1])
                                 : char16_t(bytes[offset + 1] << 8 | bytes[offset]);
    }
    return format().displayable(raw);
}
