#include "viewer/lineindex.h"

#include "viewer/filesource.h"

#include "text/guard.h"
#include "text/linebreak.h"

#include <algorithm>
#include <cstring>

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

    const qint64 block = std::max<qint64>(cs, qint64(blockSize) / cs * cs);
    std::vector<char> buffer;
    while (m_end < size) {
        if (stop.stop_requested())
            return BuildResult::Stopped;
        // Each read starts one unit early: a start at m_end needs the unit
        // before it.
        const qint64 from = std::max<qint64>(m_end - cs, 0);
        const qint64 to = std::min(size, m_end + block);
        buffer.resize(size_t(to - from));
        qint64 got = 0;
        const FileSource::ReadResult read = source.read(buffer.data(), to - from, from, &got, stop);
        if (read == FileSource::ReadResult::Cancelled)
            return BuildResult::Stopped;
        if (read != FileSource::ReadResult::Ok)
            return BuildResult::Failed;
        if (got < to - from) {
            // Cut shorter under the build: what came before may be gone too.
            clear();
            return BuildResult::Changed;
        }
        const char *data = buffer.data();
        const qint64 n = to - from;
        const qint64 firstNew = m_end - from; // starts before it are counted already
        Checkpoint *last = &m_checkpoints.back();
        qint64 lines = m_lines;
        forEachStart(data, n, m_unit, [&](qint64 s) {
            if (s < firstNew)
                return true;
            ++lines;
            const qint64 at = from + s;
            if (at - last->offset >= m_spacing) {
                m_checkpoints.push_back({at, lines});
                last = &m_checkpoints.back();
            }
            return true;
        });
        m_lines = lines;
        m_end = to;
        keepTail(data, n);
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
    const auto after = std::upper_bound(m_checkpoints.begin(), m_checkpoints.end(), number,
                                        [](qint64 n, const Checkpoint &c) { return n < c.line; });
    const Checkpoint cp = *(after - 1);
    if (cp.line == number)
        return cp.offset;
    // The line starts within spacing of its checkpoint; its start needs its
    // own unit after a CR.
    qint64 to = std::min(m_end, cp.offset + m_spacing + m_charSize);
    to -= to % m_charSize;
    std::vector<char> buffer;
    if (!readExactly(source, buffer, cp.offset, to))
        return -1;
    qint64 line = cp.line;
    qint64 found = -1;
    forEachStart(buffer.data(), qint64(buffer.size()), m_unit, [&](qint64 s) {
        if (++line < number)
            return true;
        found = cp.offset + s;
        return false;
    });
    return found;
}
