#include "viewer/lineindex.h"

#include "viewer/filesource.h"
#include "viewer/scanreader.h"

#include "text/guard.h"
#include "text/linebreak.h"

#include <algorithm>
#include <cstring>

#include <emmintrin.h>

namespace {

// As LineBreakScanner, over the whole UTF-16 units of data[0, size): the
// value byte is found with memchr, and a hit counts only in a unit's value
// place with the other byte zero.
class UnitBreakScanner final
{
public:
    // A last odd byte is no unit and never read.
    UnitBreakScanner(const char *data, qint64 size, bool bigEndian)
        : m_data(data), m_size(size / 2 * 2), m_valueAt(bigEndian ? 1 : 0)
    {}

    qint64 next(qint64 from)
    {
        if (m_cr < from)
            m_cr = find(from, '\r');
        if (m_lf < from)
            m_lf = find(from, '\n');
        return std::min(m_cr, m_lf);
    }

private:
    qint64 find(qint64 from, char c) const
    {
        for (qint64 q = from + m_valueAt; q < m_size;) {
            const void *hit = std::memchr(m_data + q, c, size_t(m_size - q));
            if (!hit)
                return m_size;
            const qint64 h = static_cast<const char *>(hit) - m_data;
            if (h % 2 == m_valueAt && m_data[m_valueAt ? h - 1 : h + 1] == 0)
                return h - m_valueAt;
            q = h + 1;
        }
        return m_size;
    }

    const char *m_data;
    qint64 m_size;
    qint64 m_valueAt;
    qint64 m_cr = -1;
    qint64 m_lf = -1;
};

// Calls onStart(s) for each line start s in (0, n) of data[0, n), n a whole
// number of characters, in order, until it returns false. A start needs the
// unit before it and, after a CR, its own unit; so a start at n is never
// reported, and data[0] counts only as the unit before data[1].
template <typename Scanner, typename OnStart>
bool walkStarts(Scanner &breaks, const char *data, qint64 n, LineCountUnit unit, qint64 cs,
                OnStart &&onStart)
{
    for (qint64 p = 0;;) {
        const qint64 brk = breaks.next(p);
        if (brk >= n)
            return true;
        qint64 start = brk + cs;
        if (start < n && isCountUnit(data + brk, unit, '\r') &&
            isCountUnit(data + start, unit, '\n'))
            start += cs;
        if (start >= n)
            return true;
        if (!onStart(start))
            return false;
        p = start;
    }
}

template <typename OnStart>
bool forEachStart(const char *data, qint64 n, LineCountUnit unit, OnStart &&onStart)
{
    if (unit == LineCountUnit::Byte) {
        LineBreakScanner breaks(data, n);
        return walkStarts(breaks, data, n, unit, 1, onStart);
    }
    UnitBreakScanner breaks(data, n, unit == LineCountUnit::Utf16Big);
    return walkStarts(breaks, data, n, unit, 2, onStart);
}

enum class Walk {
    Done,
    Stopped, // onStart said so
    Cancelled,
    Failed,
    Short, // the file ends before to
};

// As walkBlocks, but starts(data, n, begin) is given each block to tell its
// starts itself: false when it stopped.
template <typename Starts, typename OnBlock>
Walk walkBlockStarts(const FileSource &source, LineCountUnit unit, qint64 from, qint64 to,
                     std::stop_token stop, qint64 blockSize, Starts &&starts, OnBlock &&onBlock)
{
    const qint64 cs = unit == LineCountUnit::Byte ? 1 : 2;
    const qint64 block = std::max<qint64>(cs, blockSize / cs * cs);
    ScanReader reader(source, stop);
    for (qint64 reached = from; reached < to;) {
        if (stop.stop_requested())
            return Walk::Cancelled;
        const qint64 begin = std::max(from, reached - cs);
        const qint64 end = std::min(to, reached + block);
        const ScanReader::Bytes bytes = reader.read(begin, end - begin);
        if (bytes.status == ScanReader::Status::Cancelled)
            return Walk::Cancelled;
        if (bytes.status != ScanReader::Status::Ok)
            return Walk::Failed;
        const qint64 n = std::clamp<qint64>(bytes.size, 0, end - begin) / cs * cs;
        const bool all = starts(bytes.data, n, begin);
        // Cut under the look: the starts told may lie past the new end.
        if (!reader.intact())
            return Walk::Short;
        if (!all)
            return Walk::Stopped;
        if (begin + n < end)
            return Walk::Short;
        onBlock(end, bytes.data, n);
        reached = end;
    }
    return Walk::Done;
}

// The LFs in data[0, n), sixteen bytes a step: byte counters that never
// reach 256 before they are summed. -1 when a CR is among the bytes, whose
// breaks need the full rules.
qint64 countLineFeeds(const char *data, qint64 n)
{
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
    __m128i crs = _mm_setzero_si128();
    qint64 total = 0, i = 0;
    while (i + 16 <= n) {
        __m128i counts = _mm_setzero_si128();
        const qint64 stop = std::min(n - 15, i + 255 * 16);
        for (; i < stop; i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
            counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(bytes, lf));
            crs = _mm_or_si128(crs, _mm_cmpeq_epi8(bytes, cr));
        }
        const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        total += _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
    }
    bool anyCr = _mm_movemask_epi8(crs) != 0;
    for (; i < n; ++i) {
        total += data[i] == '\n';
        anyCr = anyCr || data[i] == '\r';
    }
    return anyCr ? -1 : total;
}

// Calls onStart(s) for each line start s in (from, to) of source, in order,
// until it returns false; from and to are whole characters. It reads in
// blocks, each from the last unit of the one before, so a CR LF split over
// their border counts once; after each block, onBlock(end, data, n) with the
// block's bytes, every start before end told.
template <typename OnStart, typename OnBlock>
Walk walkBlocks(const FileSource &source, LineCountUnit unit, qint64 from, qint64 to,
                std::stop_token stop, qint64 blockSize, OnStart &&onStart, OnBlock &&onBlock)
{
    return walkBlockStarts(
        source, unit, from, to, stop, blockSize,
        [&](const char *data, qint64 n, qint64 begin) {
            return forEachStart(data, n, unit, [&](qint64 s) { return onStart(begin + s); });
        },
        onBlock);
}

// Reads [from, to) whole; false when the read fails or comes back short.
bool readExactly(const FileSource &source, std::vector<char> &buffer, qint64 from, qint64 to,
                 std::stop_token stop = {})
{
    buffer.resize(size_t(to - from));
    qint64 got = 0;
    return source.read(buffer.data(), to - from, from, &got, stop) == FileSource::ReadResult::Ok &&
           got == to - from;
}

} // namespace

LineIndex::LineIndex(LineCountUnit unit, qint64 spacing)
    : m_unit(unit), m_spacing(std::max<qint64>(spacing, 1)),
      m_charSize(unit == LineCountUnit::Byte ? 1 : 2)
{
    clear();
}

qint64 LineIndex::memoryBytes() const
{
    return qint64(sizeof(*this)) + qint64(m_checkpoints.capacity() * sizeof(Checkpoint));
}

void LineIndex::clear()
{
    m_checkpoints.assign(1, Checkpoint{0, 1});
    m_checkpoints.shrink_to_fit();
    m_end = 0;
    m_lines = 1;
    m_tailSize = 0;
    m_lastAnswer = {0, 1};
}

LineIndex::BuildResult LineIndex::extend(const FileSource &source, qint64 size,
                                         std::stop_token stop, int blockSize)
{
    try {
        return build(source, size, stop, blockSize);
    } catch (...) {
        // A build that cannot go on (no memory for its checkpoints) keeps
        // what it had; it must never take its thread down.
        reportCurrentException();
        return BuildResult::Failed;
    }
}

LineIndex::BuildResult LineIndex::build(const FileSource &source, qint64 size, std::stop_token stop,
                                        int blockSize)
{
    const qint64 cs = m_charSize;
    size -= size % cs;
    if (!tailStillThere(source)) {
        clear();
        return BuildResult::Changed;
    }
    if (size <= m_end)
        return BuildResult::Complete;
    // Reserved ahead, so a growing vector never holds twice the bound.
    const size_t need = size_t(size / m_spacing + 2);
    if (m_checkpoints.capacity() < need)
        m_checkpoints.reserve(std::max(need, m_checkpoints.capacity() / 4 * 5));

    Checkpoint *last = &m_checkpoints.back();
    qint64 lines = m_lines;
    const auto onStart = [&](qint64 at) {
        ++lines;
        if (at - last->offset >= m_spacing) {
            m_checkpoints.push_back({at, lines});
            last = &m_checkpoints.back();
        }
        return true;
    };
    // As forEachStart with onStart, for bytes that hold LFs only: they are
    // counted sixteen bytes a step in one sweep that also looks for CRs, and
    // found one by one only where a checkpoint is due. From the first stretch
    // with a CR on, the full rules take over.
    const auto blockStarts = [&](const char *data, qint64 n, qint64 begin) {
        const qint64 end = n - 1; // an LF at n - 1 starts no line yet
        for (qint64 i = 0; i < end;) {
            const qint64 due = std::min(end, std::max(last->offset + m_spacing - 1 - begin, i));
            const qint64 counted = countLineFeeds(data + i, due - i);
            const void *lf = counted < 0 || due == end
                                 ? nullptr
                                 : std::memchr(data + due, '\n', size_t(end - due));
            const qint64 at = lf ? static_cast<const char *>(lf) - data : end;
            if (counted < 0 || std::memchr(data + due, '\r', size_t(at - due))) {
                // The start at i is told; data[i] is the unit before the next.
                return forEachStart(data + i, n - i, m_unit,
                                    [&](qint64 s) { return onStart(begin + i + s); });
            }
            lines += counted;
            if (!lf)
                return true;
            onStart(begin + at + 1);
            i = at + 1;
        }
        return true;
    };
    // From one unit early: a start at m_end needs the unit before it.
    const Walk walk = walkBlockStarts(
        source, m_unit, std::max<qint64>(m_end - cs, 0), size, stop, blockSize,
        [&](const char *data, qint64 n, qint64 begin) {
            if (m_unit == LineCountUnit::Byte)
                return blockStarts(data, n, begin);
            return forEachStart(data, n, m_unit, [&](qint64 s) { return onStart(begin + s); });
        },
        [&](qint64 end, const char *data, qint64 n) {
            m_lines = lines;
            m_end = end;
            keepTail(data, n);
        });
    switch (walk) {
    case Walk::Done:
    case Walk::Stopped:
        break;
    case Walk::Cancelled:
        return BuildResult::Stopped;
    case Walk::Failed:
        return BuildResult::Failed;
    case Walk::Short:
        // Cut shorter under the build: what came before may be gone too.
        clear();
        return BuildResult::Changed;
    }
    return BuildResult::Complete;
}

bool LineIndex::tailStillThere(const FileSource &source) const
{
    if (m_tailSize == 0)
        return true;
    std::vector<char> now;
    return readExactly(source, now, m_end - m_tailSize, m_end) &&
           std::memcmp(now.data(), m_tail.data(), size_t(m_tailSize)) == 0;
}

void LineIndex::keepTail(const char *data, qint64 n)
{
    const qint64 keep = std::min<qint64>(qint64(m_tail.size()), n);
    std::memcpy(m_tail.data(), data + n - keep, size_t(keep));
    m_tailSize = keep;
}

std::vector<LineIndex::Checkpoint>::const_iterator LineIndex::checkpointBefore(qint64 pos) const
{
    const auto after = std::upper_bound(m_checkpoints.begin(), m_checkpoints.end(), pos,
                                        [](qint64 p, const Checkpoint &c) { return p < c.offset; });
    return after - 1; // the first checkpoint is at 0
}

qint64 LineIndex::lineNumberAt(const FileSource &source, qint64 pos) const
{
    pos -= pos % m_charSize;
    if (pos < 0 || pos >= m_end)
        return 0;
    const auto cp = checkpointBefore(pos);
    const auto next = cp + 1;
    // Every start after a checkpoint lies within spacing of it: a position
    // further on is in the last line before the next checkpoint.
    if (pos - cp->offset >= m_spacing)
        return next != m_checkpoints.end() ? next->line - 1 : m_lines;
    Checkpoint base = *cp;
    if (m_lastAnswer.offset >= cp->offset && m_lastAnswer.offset <= pos)
        base = m_lastAnswer;
    if (base.offset == pos)
        return base.line;
    // Starts in (base, pos]: read from base's unit up to pos's.
    std::vector<char> buffer;
    if (!readExactly(source, buffer, base.offset, pos + m_charSize))
        return 0;
    qint64 line = base.line;
    forEachStart(buffer.data(), qint64(buffer.size()), m_unit, [&line](qint64) {
        ++line;
        return true;
    });
    m_lastAnswer = {pos, line};
    return line;
}

qint64 LineIndex::lineStartOf(const FileSource &source, qint64 number) const
{
    if (number < 1 || number > m_lines)
        return -1;
    const Start cp = checkpointAtOrBefore(number);
    if (cp.line == number)
        return cp.offset;
    // The line starts within spacing of its checkpoint; its start needs its
    // own unit after a CR.
    const Located found =
        locate(source, m_unit, cp, number, std::min(m_end, cp.offset + m_spacing + m_charSize));
    return found.status == Located::Status::Found ? found.at.offset : -1;
}

LineIndex::Start LineIndex::checkpointAtOrBefore(qint64 number) const
{
    const auto after = std::upper_bound(m_checkpoints.begin(), m_checkpoints.end(), number,
                                        [](qint64 n, const Checkpoint &c) { return n < c.line; });
    return after == m_checkpoints.begin() ? m_checkpoints.front() : *(after - 1);
}

LineIndex::Located LineIndex::locate(const FileSource &source, LineCountUnit unit, Start from,
                                     qint64 number, qint64 to, std::stop_token stop,
                                     const Progress &progress, int blockSize)
{
    using Status = Located::Status;
    Located result{Status::Found, from};
    if (number <= from.line)
        return result;
    to -= to % (unit == LineCountUnit::Byte ? 1 : 2);
    const Walk walk = walkBlocks(
        source, unit, from.offset, to, stop, blockSize,
        [&](qint64 at) {
            result.at = {at, result.at.line + 1};
            return result.at.line < number;
        },
        [&](qint64 end, const char *, qint64) {
            if (progress)
                progress(end);
        });
    switch (walk) {
    case Walk::Stopped:
        break;
    case Walk::Done:
    case Walk::Short:
        result.status = Status::Ended;
        break;
    case Walk::Cancelled:
        result.status = Status::Cancelled;
        break;
    case Walk::Failed:
        result.status = Status::Failed;
        break;
    }
    return result;
}
