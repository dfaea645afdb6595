#include "viewer/linecount.h"

#include "viewer/filesource.h"
#include "viewer/scanreader.h"

#include "text/guard.h"
#include "text/linebreak.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace {

// Finds breaks in blocks fed in file order. A break that touches the end of
// a block is held until the next block tells what follows it; whatever is
// still held when the data ends is dropped.
class BreakFinder
{
public:
    BreakFinder(std::vector<qint32> &starts, size_t capacity, LineCountUnit unit)
        : m_starts(starts), m_capacity(capacity), m_unit(unit)
    {}

    // The n bytes at file offset base; n is a positive whole number of
    // characters. False once the table is full.
    bool feed(const char *data, qint64 n, qint64 base)
    {
        const qint64 cs = m_unit == LineCountUnit::Byte ? 1 : 2;
        qint64 from = 0;
        if (m_pendingCr >= 0) {
            m_pendingCr = -1;
            const bool lf = isUnit(data, 10);
            from = lf ? cs : 0;
            if (!add(base + from, base + n))
                return false;
        } else if (m_pendingStart >= 0) {
            // The start lies at base, and base now has a character.
            const qint64 start = m_pendingStart;
            m_pendingStart = -1;
            if (!add(start, base + n))
                return false;
        }
        if (from >= n)
            return true;
        return m_unit == LineCountUnit::Byte ? feedBytes(data, from, n, base)
                                             : feedUnits(data, from, n, base);
    }

private:
    bool isUnit(const char *at, int value) const { return isCountUnit(at, m_unit, value); }

    // A line starts at start; end is the end of the bytes read so far.
    bool add(qint64 start, qint64 end)
    {
        if (start >= end) {
            m_pendingStart = start;
            return true;
        }
        m_starts.push_back(qint32(start));
        return m_starts.size() < m_capacity;
    }

    bool feedBytes(const char *data, qint64 from, qint64 n, qint64 base)
    {
        LineBreakScanner breaks(data, n);
        for (qint64 p = from;;) {
            const qint64 brk = breaks.next(p);
            if (brk == n)
                return true;
            qint64 next = brk + 1;
            if (data[brk] == '\r') {
                if (next == n) {
                    m_pendingCr = base + brk;
                    return true;
                }
                if (data[next] == '\n')
                    ++next;
            }
            if (!add(base + next, base + n))
                return false;
            if (next == n)
                return true;
            p = next;
        }
    }

    // The unit at or after p (unit-aligned) whose value is c, or end: its
    // value byte is found with memchr, and a hit counts only in a unit's
    // value place with the other byte zero.
    const char *findUnit(const char *data, const char *p, const char *end, char c) const
    {
        const qint64 valueAt = m_unit == LineCountUnit::Utf16Big ? 1 : 0;
        if (p >= end)
            return end;
        for (const char *q = p + valueAt; q < end;) {
            const void *hit = std::memchr(q, c, size_t(end - q));
            if (!hit)
                return end;
            const char *h = static_cast<const char *>(hit);
            if ((h - data) % 2 == valueAt && h[valueAt ? -1 : 1] == 0)
                return h - valueAt;
            q = h + 1;
        }
        return end;
    }

    // As FeedBytes, over whole units.
    bool feedUnits(const char *data, qint64 from, qint64 n, qint64 base)
    {
        const char *end = data + n;
        const char *p = data + from;
        const char *cr = findUnit(data, p, end, '\r');
        const char *lf = findUnit(data, p, end, '\n');
        for (;;) {
            const char *brk = std::min(cr, lf);
            if (brk == end)
                return true;
            const char *next = brk + 2;
            if (brk == cr) {
                if (next == end) {
                    m_pendingCr = base + (brk - data);
                    return true;
                }
                if (isUnit(next, 10))
                    next += 2;
            }
            if (!add(base + (next - data), base + n))
                return false;
            if (next == end)
                return true;
            if (cr < next)
                cr = findUnit(data, next, end, '\r');
            if (lf < next)
                lf = findUnit(data, next, end, '\n');
        }
    }

    std::vector<qint32> &m_starts;
    size_t m_capacity;
    LineCountUnit m_unit;
    qint64 m_pendingCr = -1;
    qint64 m_pendingStart = -1;
};

} // namespace

qint64 LineStarts::rangeFor(qint64 bufferPos, qint64 bufferSize, qint64 bufSize)
{
    const qint64 limit = std::clamp(bufSize, bufSizeMin, bufSizeMax);
    if (bufferPos < 0 || bufferPos > limit)
        return -1;
    return std::min(bufferPos + std::max<qint64>(bufferSize, 0), limit);
}

bool LineStarts::countLines(const FileSource &source, qint64 size, LineCountUnit unit, int maxCount,
                            std::stop_token stop, int blockSize)
{
    try {
        return count(source, size, unit, maxCount, stop, blockSize);
    } catch (...) {
        // A count that cannot finish (no memory for its table) leaves no
        // numbers; it must never take its caller, or its thread, down.
        clear();
        reportCurrentException();
        return false;
    }
}

bool LineStarts::count(const FileSource &source, qint64 size, LineCountUnit unit, int maxCount,
                       std::stop_token stop, int blockSize)
{
    clear();
    const qint64 cs = unit == LineCountUnit::Byte ? 1 : 2;
    // Whole characters only: a last read of half a unit would add nothing,
    // and with more file after it, the loop would never end.
    size = std::clamp<qint64>(size, 0, bufSizeMax) / cs * cs;
    const size_t capacity = size_t(std::clamp(maxCount, countMin, countMax) - 1);
    const qint64 block = std::max<qint64>(cs, (qint64(blockSize) + cs - 1) / cs * cs);
    m_starts.reserve(capacity);
    std::optional<BreakFinder> finder(std::in_place, m_starts, capacity, unit);
    ScanReader reader(source, stop);
    qint64 pos = 0;
    while (pos < size) {
        const qint64 want = std::min<qint64>(block, size - pos);
        if (stop.stop_requested()) {
            clear();
            return false;
        }
        const ScanReader::Bytes bytes = reader.read(pos, want);
        if (bytes.status != ScanReader::Status::Ok) {
            clear();
            return false;
        }
        // Only the last read may end inside a character.
        const qint64 got = std::min(bytes.size, want);
        const qint64 n = got - got % cs;
        const bool room = n <= 0 || finder->feed(bytes.data, n, pos);
        if (!reader.intact()) {
            // Cut under the count: the starts told may lie past the new
            // end, and the count begins again over what is left.
            m_starts.clear();
            finder.emplace(m_starts, capacity, unit);
            size = std::min(size, reader.size() / cs * cs);
            pos = 0;
            continue;
        }
        pos += n;
        if (!room || got < want)
            break;
    }
    m_counted = pos;
    return true;
}

int LineStarts::lineNumber(qint64 pos) const
{
    if (pos == 0)
        return 1;
    if (pos < 0 || pos > std::numeric_limits<qint32>::max())
        return 0;
    // Starts grow strictly, so the first equal entry is the only one.
    const auto it = std::lower_bound(m_starts.begin(), m_starts.end(), qint32(pos));
    if (it == m_starts.end() || *it != pos)
        return 0;
    return int(it - m_starts.begin()) + 2;
}

void LineStarts::clear()
{
    m_starts.clear();
    m_starts.shrink_to_fit();
    m_counted = 0;
}
