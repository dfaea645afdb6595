#include "viewer/matchedlines.h"

#include <algorithm>
#include <cstring>

namespace {
// Lines this close in the log come in one read rather than one each.
constexpr qint64 kSpanBytes = qint64(256) << 10;
} // namespace

qint64 MatchedLines::Snapshot::lastRowAtOrBefore(qint64 Row::*field, qint64 value) const
{
    qint64 lo = -1;
    qint64 hi = m_count; // the answer is below hi
    while (hi - lo > 1) {
        const qint64 mid = lo + (hi - lo) / 2;
        if (row(mid).*field <= value)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

qint64 MatchedLines::Snapshot::rowAt(qint64 panePos) const
{
    // Before the first row is still the first row.
    return m_count == 0 ? -1 : std::max<qint64>(0, lastRowAtOrBefore(&Row::pane, panePos));
}

qint64 MatchedLines::Snapshot::rowAtSource(qint64 position) const
{
    return lastRowAtOrBefore(&Row::source, position);
}

void MatchedLines::append(qint64 source, qint64 length)
{
    Snapshot &s = m_snapshot;
    if (s.m_count % kChunkRows == 0)
        s.m_chunks.push_back(std::shared_ptr<Row[]>(new Row[size_t(kChunkRows)]));
    s.m_chunks.back()[s.m_count % kChunkRows] = {source, s.m_paneSize};
    ++s.m_count;
    s.m_paneSize += length;
}

MatchedLinesSource::MatchedLinesSource(MatchedLines::Snapshot rows, Tail tail,
                                       std::unique_ptr<FileSource> log)
    : m_rows(std::move(rows)), m_tail(tail), m_log(std::move(log))
{
    if (!m_log)
        m_tail = {};
}

qint64 MatchedLinesSource::sourceOf(qint64 panePos) const
{
    if (panePos < 0 || panePos >= size())
        return -1;
    if (panePos >= m_rows.paneSize())
        return m_tail.source + (panePos - m_rows.paneSize());
    const qint64 i = m_rows.rowAt(panePos);
    const MatchedLines::Row r = m_rows.row(i);
    return r.source + (panePos - r.pane);
}

qint64 MatchedLinesSource::paneLineAt(qint64 logPos) const
{
    if (m_tail.length > 0 && logPos >= m_tail.source)
        return m_rows.paneSize();
    const qint64 i = m_rows.rowAtSource(logPos);
    return i < 0 ? -1 : m_rows.row(i).pane;
}

FileSource::ReadResult MatchedLinesSource::read(char *buffer, qint64 count, qint64 position,
                                                qint64 *bytesRead, std::stop_token stop) const
{
    if (bytesRead)
        *bytesRead = 0;
    if (count <= 0)
        return ReadResult::Ok;
    std::memset(buffer, 0, size_t(count));
    const qint64 end = std::min(position + count, size());
    if (!m_log || position < 0 || position >= end)
        return ReadResult::Ok;
    // Pieces of the pane's text: [pane, paneEnd) comes from the log at source.
    struct Piece
    {
        qint64 pane, paneEnd, source;
    };
    std::vector<Piece> pieces;
    const qint64 rowsEnd = std::min(end, m_rows.paneSize());
    for (qint64 i = position < m_rows.paneSize() ? m_rows.rowAt(position) : m_rows.count();
         i < m_rows.count() && m_rows.row(i).pane < rowsEnd; ++i) {
        const MatchedLines::Row r = m_rows.row(i);
        const qint64 from = std::max(position, r.pane);
        pieces.push_back({from, std::min(rowsEnd, m_rows.rowEnd(i)), r.source + (from - r.pane)});
    }
    if (end > m_rows.paneSize()) {
        const qint64 from = std::max(position, m_rows.paneSize());
        pieces.push_back({from, end, m_tail.source + (from - m_rows.paneSize())});
    }
    qint64 done = 0;
    for (size_t a = 0; a < pieces.size();) {
        if (stop.stop_requested())
            return ReadResult::Cancelled;
        // Lines near each other in the log come in one read.
        size_t b = a + 1;
        while (b < pieces.size() &&
               pieces[b].source + (pieces[b].paneEnd - pieces[b].pane) - pieces[a].source <=
                   kSpanBytes &&
               pieces[b].source >= pieces[b - 1].source)
            ++b;
        const Piece &last = pieces[b - 1];
        const qint64 spanFrom = pieces[a].source;
        const qint64 spanTo = last.source + (last.paneEnd - last.pane);
        m_span.resize(size_t(spanTo - spanFrom));
        qint64 got = 0;
        const ReadResult result =
            m_log->read(m_span.data(), spanTo - spanFrom, spanFrom, &got, stop);
        if (result != ReadResult::Ok)
            return result;
        for (size_t k = a; k < b; ++k) {
            const Piece &p = pieces[k];
            std::memcpy(buffer + (p.pane - position), m_span.data() + (p.source - spanFrom),
                        size_t(p.paneEnd - p.pane));
            done = p.paneEnd - position;
        }
        a = b;
    }
    if (bytesRead)
        *bytesRead = done;
    return ReadResult::Ok;
}

std::unique_ptr<FileSource> MatchedLinesSource::openAnother() const
{
    std::unique_ptr<FileSource> log = m_log ? m_log->openAnother() : nullptr;
    if (!log)
        return nullptr;
    return std::make_unique<MatchedLinesSource>(m_rows, m_tail, std::move(log));
}
