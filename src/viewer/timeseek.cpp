#include "viewer/timeseek.h"

#include "viewer/filesource.h"
#include "text/blockdecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr qint64 kDayMs = 86400000;
// Units of a line's start that can hold its time, and the bytes they take at most.
constexpr qsizetype kLineUnits = 512;
constexpr qint64 kLineBytes = kLineUnits * 4;
// A line longer than the window is walked over in blocks up to this size.
constexpr qint64 kMaxBlock = qint64(1) << 20;
constexpr int kSamples = 8;

bool isBreak(QChar c)
{
    return c == u'\n' || c == u'\r';
}

} // namespace

TimeSeek::TimeSeek(const FileSource &source, Encoding encoding, const TimeContext &context,
                   std::stop_token stop)
    : m_source(source), m_encoding(encoding), m_context(context), m_stop(std::move(stop)),
      m_size(source.size()), m_unit(encoding.unitBytes())
{}

qint64 TimeSeek::alignUp(qint64 position) const
{
    return (position + m_unit - 1) / m_unit * m_unit;
}

bool TimeSeek::load(qint64 position, qint64 size)
{
    if (m_failure != Stop::None)
        return false;
    if (m_stop.stop_requested()) {
        m_failure = Stop::Cancelled;
        return false;
    }
    // Within the loaded bytes: no read.
    if (m_base >= 0 && position >= m_base && position < m_loadedEnd &&
        (position + size <= m_loadedEnd || m_loadedEnd == m_size))
        return true;
    const qint64 count = std::clamp<qint64>(std::max(size, windowBytes), 0, m_size - position);
    m_bytes.resize(size_t(count));
    qint64 got = 0;
    ++m_reads;
    const auto result = m_source.read(m_bytes.data(), count, position, &got, m_stop);
    if (result != FileSource::ReadResult::Ok) {
        m_failure = result == FileSource::ReadResult::Cancelled ? Stop::Cancelled : Stop::Failed;
        m_base = -1;
        return false;
    }
    m_base = position;
    m_loadedEnd = position + got;
    m_offsets.clear();
    m_text = decodeBlock(m_bytes.data(), qsizetype(got), m_encoding, &m_offsets);
    return true;
}

qint64 TimeSeek::offsetOf(qsizetype index) const
{
    return index < m_text.size() ? m_base + m_offsets[size_t(index)] : m_loadedEnd;
}

qsizetype TimeSeek::indexOf(qint64 position) const
{
    const auto it = std::lower_bound(m_offsets.begin(), m_offsets.end(), int(position - m_base));
    return qsizetype(it - m_offsets.begin());
}

qint64 TimeSeek::lineStartAtOrAfter(qint64 from, qint64 limit)
{
    from = alignUp(from);
    if (from <= 0)
        return 0;
    limit = std::min(limit, m_size);
    if (from >= limit)
        return -1;
    // A break just before from makes from a line start.
    qint64 position = from - m_unit;
    qint64 block = 2 * qint64(m_unit);
    while (position < limit) {
        if (!load(position, block))
            return -1;
        qint64 next = m_loadedEnd;
        for (qsizetype i = indexOf(position); i < m_text.size(); ++i) {
            if (!isBreak(m_text[i]))
                continue;
            const bool last = i + 1 == m_text.size();
            if (last && m_text[i] == u'\r' && m_loadedEnd < m_size) {
                next = offsetOf(i); // its LF may follow: read on from the CR
                break;
            }
            const qint64 start =
                last ? m_loadedEnd
                     : offsetOf(m_text[i] == u'\r' && m_text[i + 1] == u'\n' ? i + 2 : i + 1);
            return start < limit ? start : -1;
        }
        if (next == m_loadedEnd) {
            if (m_loadedEnd >= m_size)
                return -1;
            // A long line: look for its end in the raw bytes, block by block.
            next = skipToBreak(m_loadedEnd, limit);
            if (next < 0)
                return -1;
            block = 2 * qint64(m_unit);
        } else {
            block = 2 * qint64(m_unit);
        }
        position = next;
    }
    return -1;
}

qint64 TimeSeek::skipToBreak(qint64 from, qint64 limit)
{
    std::vector<char> raw;
    for (qint64 block = windowBytes; from < limit && from < m_size;
         block = std::min(block * 4, kMaxBlock)) {
        if (m_stop.stop_requested()) {
            m_failure = Stop::Cancelled;
            return -1;
        }
        raw.resize(size_t(std::min(block, m_size - from)));
        qint64 got = 0;
        ++m_reads;
        const auto result = m_source.read(raw.data(), qint64(raw.size()), from, &got, m_stop);
        if (result != FileSource::ReadResult::Ok || got <= 0) {
            m_failure =
                result == FileSource::ReadResult::Cancelled ? Stop::Cancelled : Stop::Failed;
            return -1;
        }
        if (m_unit == 2) {
            const int low = m_encoding.isBigEndian() ? 1 : 0;
            for (qint64 i = 0; i + 1 < got; i += 2)
                if (raw[size_t(i + 1 - low)] == 0 &&
                    (raw[size_t(i + low)] == '\n' || raw[size_t(i + low)] == '\r'))
                    return from + i;
        } else {
            const char *data = raw.data();
            const auto *lf = static_cast<const char *>(std::memchr(data, '\n', size_t(got)));
            const auto *cr = static_cast<const char *>(std::memchr(data, '\r', size_t(got)));
            if (lf || cr)
                return from + ((lf && cr ? std::min(lf, cr) : lf ? lf : cr) - data);
        }
        from += got - got % m_unit;
    }
    return -1;
}

std::optional<TimeSeek::Hit> TimeSeek::nextTimed(qint64 from, qint64 limit)
{
    limit = std::min(limit, m_size);
    qint64 position = lineStartAtOrAfter(from, limit);
    while (position >= 0 && position < limit) {
        if (!load(position, kLineBytes))
            return std::nullopt;
        const qsizetype first = indexOf(position);
        qsizetype end = first;
        while (end < m_text.size() && end - first < kLineUnits && !isBreak(m_text[end]))
            ++end;
        QStringView head = QStringView(m_text).mid(first, end - first);
        if (position == 0 && head.startsWith(QChar(0xFEFF)))
            head = head.mid(1);
        if (const auto time = readLineTime(head, m_context)) {
            const Hit hit{position, *time};
            m_seen.push_back(hit);
            return hit;
        }
        while (end < m_text.size() && !isBreak(m_text[end]))
            ++end;
        if (end + 1 < m_text.size())
            position =
                offsetOf(m_text[end] == u'\r' && m_text[end + 1] == u'\n' ? end + 2 : end + 1);
        else
            position = lineStartAtOrAfter(
                end < m_text.size() ? offsetOf(end) + m_unit : m_loadedEnd, limit);
    }
    return std::nullopt;
}

std::optional<TimeSeek::Hit> TimeSeek::lastTimed()
{
    for (qint64 span = windowBytes;; span *= 4) {
        const qint64 start = std::max<qint64>(0, m_size - span);
        if (auto hit = nextTimed(start, m_size)) {
            while (auto later = nextTimed(hit->start + m_unit, m_size))
                hit = later;
            return hit;
        }
        if (start == 0 || m_failure != Stop::None)
            return std::nullopt;
    }
}

TimeSeek::Result TimeSeek::find(LogTime target, bool dateless, qint64 from)
{
    using Status = Result::Status;
    m_seen.clear();
    Result result;
    const auto finish = [&](Status status) {
        result.status = m_failure == Stop::Failed      ? Status::Failed
                        : m_failure == Stop::Cancelled ? Status::Cancelled
                                                       : status;
        result.reads = m_reads;
        std::sort(m_seen.begin(), m_seen.end(),
                  [](const Hit &a, const Hit &b) { return a.start < b.start; });
        for (size_t i = 1; i < m_seen.size(); ++i)
            if (compareKey(m_seen[i].time, target) < compareKey(m_seen[i - 1].time, target))
                result.approximate = true;
        return result;
    };
    const auto land = [&](const Hit &hit, Status status) {
        result.position = hit.start;
        result.lineTime = hit.time;
        return finish(status);
    };

    if (dateless) {
        auto reference = nextTimed(from, m_size);
        if (!reference && m_failure == Stop::None)
            reference = lastTimed();
        if (!reference)
            return finish(Status::NoTimestamps);
        target = LogTime{reference->time.day() * kDayMs + target.wallMs, false, 0};
    }

    // A file of several runs, or with a clock put back, is still searched;
    // samples spread over the file let such disorder show in the result:
    // one at each eighth, and one at another place inside it, as equal runs
    // appended put the same time at every eighth.
    for (int k = 0; k < kSamples && m_failure == Stop::None; ++k) {
        const qint64 end = m_size / kSamples * (k + 1);
        if (k > 0)
            nextTimed(alignUp(m_size / kSamples * k), end);
        const double phase = std::fmod((k + 1) * 0.6180339887498949, 1.0);
        const qint64 at = qint64((k + phase) * double(m_size) / kSamples);
        if (m_failure == Stop::None)
            nextTimed(alignUp(std::min(at, m_size)), end);
    }

    // Timed lines starting before lo are earlier than target; best, the
    // first timed line at or after hi, is not; none starts in [limit, best).
    qint64 lo = 0, hi = m_size, limit = m_size;
    std::optional<Hit> best;
    while (hi - lo > windowBytes) {
        const qint64 mid = alignUp(lo + (hi - lo) / 2);
        const auto hit = nextTimed(mid, hi);
        if (m_failure != Stop::None)
            return finish(Status::Failed);
        if (!hit) {
            hi = mid;
            if (!best)
                limit = mid;
        } else if (compareKey(hit->time, target) < target.wallMs) {
            lo = hit->start + m_unit;
        } else {
            best = hit;
            hi = mid;
        }
    }
    qint64 position = lo;
    while (const auto hit = nextTimed(position, best ? best->start : limit)) {
        if (compareKey(hit->time, target) >= target.wallMs)
            return land(*hit, Status::Found);
        position = hit->start + m_unit;
    }
    if (m_failure != Stop::None)
        return finish(Status::Failed);
    if (best)
        return land(*best, Status::Found);
    if (m_seen.empty())
        return finish(Status::NoTimestamps);
    const auto last = std::max_element(
        m_seen.begin(), m_seen.end(), [](const Hit &a, const Hit &b) { return a.start < b.start; });
    return land(*last, Status::AfterLast);
}
