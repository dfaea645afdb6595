#include "search/regexbackward.h"

#include "viewer/filesource.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>

namespace {
constexpr qint64 kScanBlock = 65536;
} // namespace

RegexBackward::RegexBackward(RegexStreamSearcher &regex) : m_regex(regex) {}

void RegexBackward::reset(FileSource *source, Encoding encoding, bool lineSync)
{
    m_source = source;
    m_encoding = encoding;
    m_lineSync = lineSync;
    m_starts.clear();
}

void RegexBackward::remember(qint64 start)
{
    const auto at = std::lower_bound(m_starts.begin(), m_starts.end(), start);
    const qint64 bucket = start / windowBytes;
    if ((at != m_starts.end() && *at / windowBytes == bucket) ||
        (at != m_starts.begin() && *(at - 1) / windowBytes == bucket))
        return;
    m_starts.insert(at, start);
}

// The last sync point at or before pos, 0 at worst; false when stopped or
// on a read error.
bool RegexBackward::syncBefore(qint64 pos, qint64 *sync)
{
    *sync = 0;
    if (!m_lineSync) {
        const auto at = std::upper_bound(m_starts.begin(), m_starts.end(), pos);
        if (at != m_starts.begin())
            *sync = *(at - 1);
        return true;
    }
    const qint64 c = m_encoding.unitBytes();
    m_block.resize(size_t(kScanBlock));
    // The unit after the one looked at; a CR followed by an LF is no line
    // end, as the matcher does not try the place between them the same way
    // from every start.
    unsigned next = '\n';
    qint64 end = pos / c * c;
    while (end > 0) {
        const qint64 from = std::max<qint64>(0, end - kScanBlock);
        qint64 got = 0;
        const FileSource::ReadResult read =
            m_source->read(m_block.data(), end - from, from, &got, m_stop);
        if (read == FileSource::ReadResult::Failed)
            m_errorOffset = from;
        if (read != FileSource::ReadResult::Ok)
            return false;
        // Past the end of a file that shrank there is nothing to go by.
        for (qint64 i = got / c * c - c; i >= 0; i -= c) {
            const unsigned unit = unitAt(m_block.data() + i);
            if (unit == '\n' || (unit == '\r' && next != '\n')) {
                *sync = from + i + c;
                return true;
            }
            next = unit;
        }
        if (m_stop.stop_requested())
            return false;
        end = from;
    }
    return true;
}

// The code unit at p, in the source's encoding.
unsigned RegexBackward::unitAt(const char *p) const
{
    const auto *b = reinterpret_cast<const unsigned char *>(p);
    if (!m_encoding.isUtf16())
        return b[0];
    return m_encoding.isBigEndian() ? unsigned(b[0] << 8 | b[1]) : unsigned(b[1] << 8 | b[0]);
}

// The first line break at or after pos, or the end of the source; false
// when stopped or on a read error.
bool RegexBackward::lineEndFrom(qint64 pos, qint64 *end)
{
    const qint64 c = m_encoding.unitBytes();
    m_block.resize(size_t(kScanBlock));
    for (qint64 from = std::max<qint64>(0, pos) / c * c;;) {
        qint64 got = 0;
        const FileSource::ReadResult read =
            m_source->read(m_block.data(), kScanBlock, from, &got, m_stop);
        if (read == FileSource::ReadResult::Failed)
            m_errorOffset = from;
        if (read != FileSource::ReadResult::Ok)
            return false;
        for (qint64 i = 0; i + c <= got; i += c) {
            const unsigned unit = unitAt(m_block.data() + i);
            if (unit == '\n' || unit == '\r') {
                *end = from + i;
                return true;
            }
        }
        if (got < kScanBlock) {
            *end = from + got;
            return true;
        }
        from += got / c * c;
    }
}

bool RegexBackward::startAt(qint64 position)
{
    const qint64 c = m_encoding.unitBytes();
    m_regex.setStream(m_source, 0, m_encoding, m_stop);
    m_regex.startLimit = std::numeric_limits<qint64>::max();
    // Room for whatever the pattern looks behind at, in the widest coding.
    const qint64 context = (position - (qint64(m_regex.contextBytes()) * c + 8)) / c * c;
    return m_regex.startAt(position, std::max<qint64>(0, context));
}

int RegexBackward::findBefore(qint64 limit, RegexStreamSearcher::Match &found)
{
    if (!m_source)
        return PCRE2_ERROR_NOMATCH;
    const auto failed = [this] {
        return m_regex.errorOffset() >= 0 ? RegexStreamSearcher::resultReadError
                                          : RegexStreamSearcher::resultStopped;
    };
    m_errorOffset = -1;
    qint64 hi = std::min(limit, m_source->size() + 1);
    const auto unread = [this] {
        return m_errorOffset >= 0 ? RegexStreamSearcher::resultReadError
                                  : RegexStreamSearcher::resultStopped;
    };
    while (hi > 0) {
        // Matches start in [from, top); none starts in [top, hi).
        qint64 top = hi, near = std::max<qint64>(0, hi - windowBytes);
        if (m_lineSync && lastLiteralBefore) {
            // A match starting before hi ends by the line break after it and
            // holds an occurrence of the literal, which starts no later than
            // the last one up to there.
            qint64 end = 0;
            if (!lineEndFrom(hi - 1, &end))
                return unread();
            const qint64 at = lastLiteralBefore(end);
            if (at < 0)
                return m_stop.stop_requested() ? RegexStreamSearcher::resultStopped
                                               : PCRE2_ERROR_NOMATCH;
            top = std::min(hi, at + 1);
            // A window's length at least, as without the literal: a literal
            // in every line would otherwise run one line at a time.
            near = std::max<qint64>(0, std::min(at, top - windowBytes));
        }
        qint64 from = 0;
        if (!syncBefore(near, &from))
            return unread();
        if (!startAt(from))
            return failed();
        m_regex.startLimit = top;
        bool any = false;
        for (;;) {
            RegexStreamSearcher::Match match;
            const int rc = m_regex.findNext(match);
            if (rc == PCRE2_ERROR_NOMATCH)
                break;
            if (rc < 0)
                return rc;
            found = match;
            any = true;
            if (!m_lineSync)
                remember(match.rawStart);
        }
        m_regex.startLimit = std::numeric_limits<qint64>::max();
        if (any)
            return 0;
        hi = from;
    }
    return PCRE2_ERROR_NOMATCH;
}
