#include "viewer/matchinglines.h"

#include "rules/filterlog.h"
#include "rules/ruleregex.h"
#include "search/bytefinder.h"
#include "search/patterninfo.h"
#include "search/plainmatcher.h"
#include "search/searcherror.h"
#include "search/streamsearch.h"
#include "text/blockdecoder.h"
#include "text/codepages.h"
#include "viewer/scanreader.h"
#include "viewer/spansource.h"

#include <QRegularExpression>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
// A line longer than a block is judged by its first bytes this many when
// every line must be decoded (a pattern that can match nothing at all).
constexpr qint64 kPerLineHead = qint64(1) << 20;
} // namespace

class MatchingLinesScanner::Impl
{
public:
    Impl(FileSource &source, LineFilter filter)
        : m_source(source), m_filter(std::move(filter)), m_matcher(m_filter.pattern),
          m_unit(m_filter.encoding.isUtf16() ? 2 : 1), m_bigEndian(m_filter.encoding.isBigEndian())
    {
        const QuickMatcher::Pattern &p = m_filter.pattern;
        m_options.setFlag(soCaseSensitive, p.caseSensitive);
        m_options.setFlag(soWholeWords, p.wholeWords);
        m_options.setFlag(soRegex, p.regex);
        if (!m_matcher.empty() && p.regex) {
            // UTF-8 text is searched in whole blocks for lines that may hold a
            // match, each then tested alone, so "^" and "$" hold at every line
            // as they do in the bar; other text is tested line by line. Bytes
            // of another page may pass for UTF-8 and read otherwise (EBCDIC,
            // the ISO-2022 shifts, "Ã©" in 1252).
            const QByteArray utf8 = p.text.toUtf8();
            if (isUtf8Page(m_filter.encoding) && isBlockSafePattern(utf8))
                m_candidates = RuleRegex(utf8, RuleRegex::Flavour::Block, p.caseSensitive);
            if (m_candidates.isValid() && !p.wholeWords)
                m_lineCheck = RuleRegex(utf8, RuleRegex::Flavour::Line, p.caseSensitive);
            // A line that holds a match alone holds the literal every match
            // holds: the literal finds the lines to test, as fast grep tools do.
            if (m_lineCheck.isValid()) {
                const PatternInfo info(std::string_view(utf8.constData(), size_t(utf8.size())),
                                       PCRE2_UTF | PCRE2_DOTALL |
                                           (p.caseSensitive ? 0 : PCRE2_CASELESS),
                                       PCRE2_NEWLINE_CRLF);
                if (info.requiredLiteral.size() >= 3) {
                    QByteArray literal = QByteArray::fromStdString(info.requiredLiteral);
                    const bool fold = !p.caseSensitive && info.literalFolds;
                    if (fold)
                        for (char &c : literal)
                            c = char(asciiFoldTable[static_cast<unsigned char>(c)]);
                    m_literal.prepare(literal, fold ? &asciiFoldTable : nullptr);
                }
            }
            m_perLine = !m_candidates.isValid();
        } else if (!m_matcher.empty()) {
            m_plain.prepare(p.text, m_filter.encoding, p.caseSensitive, p.wholeWords);
            m_raw = m_plain.route() == PlainMatcher::Route::Bytes ||
                    m_plain.route() == PlainMatcher::Route::Units16;
            m_never = m_plain.route() == PlainMatcher::Route::None;
            // The view decodes each line alone, so on a page with shifts a
            // state left open never reaches the next line; a block decoded
            // whole would carry it on.
            m_linesAlone = isStatefulPage(m_filter.encoding);
        }
    }

    bool usable() const { return !m_matcher.empty(); }
    void setBlockBytes(qint64 first, qint64 rest)
    {
        m_firstBlockBytes = std::max<qint64>(4, first);
        m_blockBytes = std::max<qint64>(4, rest);
    }

    Result scan(qint64 from, const LineSink &sink, std::stop_token stop, const BlockDone &blockDone)
    {
        Result result;
        m_stop = stop;
        m_sink = &sink;
        ScanReader reader(m_source, stop);
        qint64 size = m_source.size();
        qint64 pos = std::max<qint64>(0, from) / m_unit * m_unit;
        qint64 blockBytes = m_firstBlockBytes;
        result.resumeAt = pos;
        while (pos < size) {
            if (stop.stop_requested())
                return cancelled(result);
            const qint64 want = std::min(blockBytes, size - pos);
            blockBytes = m_blockBytes;
            const ScanReader::Bytes bytes = reader.read(pos, want);
            switch (bytes.status) {
            case ScanReader::Status::Ok:
                break;
            case ScanReader::Status::Cancelled:
                return cancelled(result);
            case ScanReader::Status::Failed:
                result.status = Result::Status::Failed;
                return result;
            }
            const qint64 got = std::min(bytes.size, want);
            const bool atEnd = got < want || pos + got >= size;
            const qsizetype n = qsizetype(got / m_unit * m_unit);
            const char *d = bytes.data;
            // The lines a mapped block passes are held until the block is
            // known to be the file's: cut under the look, it is looked at again.
            m_holding = reader.inPlace();
            if (!atEnd) {
                const qsizetype cut = lastLineStart(d, n);
                if (cut > 0) {
                    runLines(d, cut, pos);
                    if (!settle(reader, size))
                        continue;
                    pos += cut;
                } else {
                    m_holding = false;
                    if (!longLine(pos, size, result))
                        return result;
                    pos = result.resumeAt;
                }
            } else {
                // The last line has no break yet, or a CR that a LF may join.
                const qsizetype last =
                    n > 0 && unitAt(d, n - m_unit) == '\n' ? n : lastLineStart(d, n);
                runLines(d, last, pos);
                const bool tail = last < n && judge(d + last, n - last);
                if (!settle(reader, size))
                    continue;
                if (tail)
                    result.tail = {pos + last, n - last};
                pos += last;
                result.resumeAt = pos;
                if (blockDone)
                    blockDone(size);
                return result;
            }
            result.resumeAt = pos;
            if (blockDone)
                blockDone(pos);
        }
        return result;
    }

private:
    Result cancelled(Result result)
    {
        result.status = Result::Status::Cancelled;
        return result;
    }

    char16_t unitAt(const char *d, qsizetype i) const
    {
        if (m_unit == 1)
            return char16_t(static_cast<unsigned char>(d[i]));
        const auto a = static_cast<unsigned char>(d[i]);
        const auto b = static_cast<unsigned char>(d[i + 1]);
        return m_bigEndian ? char16_t(a << 8 | b) : char16_t(b << 8 | a);
    }
    bool isBreak(const char *d, qsizetype i) const
    {
        const char16_t u = unitAt(d, i);
        return u == '\n' || u == '\r';
    }

    // The first break at or after from, or to.
    qsizetype nextBreak(const char *d, qsizetype from, qsizetype to) const
    {
        if (m_unit == 1) {
            const void *lf = std::memchr(d + from, '\n', size_t(to - from));
            const qsizetype end = lf ? static_cast<const char *>(lf) - d : to;
            const void *cr = std::memchr(d + from, '\r', size_t(end - from));
            return cr ? static_cast<const char *>(cr) - d : end;
        }
        for (qsizetype i = from; i < to; i += 2)
            if (isBreak(d, i))
                return i;
        return to;
    }
    // Where the line holding the break at i goes on: after a CR LF pair, two
    // units on.
    qsizetype afterBreak(const char *d, qsizetype i, qsizetype to) const
    {
        if (unitAt(d, i) == '\r' && i + m_unit < to && unitAt(d, i + m_unit) == '\n')
            return i + 2 * m_unit;
        return i + m_unit;
    }
    // The start of the last line in d[0, n) whose break is whole: a CR at
    // the very end may still get its LF. 0: none.
    qsizetype lastLineStart(const char *d, qsizetype n) const
    {
        for (qsizetype i = n - m_unit; i >= 0; i -= m_unit) {
            if (!isBreak(d, i))
                continue;
            if (i == n - m_unit && unitAt(d, i) == '\r')
                continue;
            return i + m_unit;
        }
        return 0;
    }
    // The start of the line that holds i, no earlier than lo.
    qsizetype lineStartBefore(const char *d, qsizetype lo, qsizetype i) const
    {
        if (m_unit == 1) {
            const auto *lf = static_cast<const char *>(memrchr(d + lo, '\n', size_t(i - lo)));
            const qsizetype from = lf ? lf - d + 1 : lo;
            const auto *cr = static_cast<const char *>(memrchr(d + from, '\r', size_t(i - from)));
            return cr ? cr - d + 1 : from;
        }
        for (qsizetype k = i - 2; k >= lo; k -= 2)
            if (isBreak(d, k))
                return k + 2;
        return lo;
    }

    // Whether a line's text (no break) passes.
    bool judge(const char *line, qsizetype size) const
    {
        qsizetype n = size;
        while (n > 0 && isBreak(line, n - m_unit))
            n -= m_unit;
        bool hit = false;
        if (m_perLine || !m_raw) {
            hit = m_matcher.holds(decodeBlock(line, n, m_filter.encoding));
        } else if (!m_never) {
            hit = m_plain.find(line, n, true, true, true).offset >= 0;
        }
        return hit != m_filter.invert;
    }

    void emit(qint64 start, qint64 length)
    {
        if (m_holding)
            m_held.push_back({start, length});
        else
            (*m_sink)(start, length);
    }

    // After a block was looked at: hands its lines on when its bytes were
    // the file's; else drops them and ends the scan at the file's new end.
    bool settle(ScanReader &reader, qint64 &size)
    {
        m_holding = false;
        if (!reader.intact()) {
            m_held.clear();
            size = std::min(size, reader.size());
            return false;
        }
        for (const auto &[start, length] : m_held)
            (*m_sink)(start, length);
        m_held.clear();
        return true;
    }

    // Every line of d[from, to), which ends with a whole break.
    void emitAll(const char *d, qsizetype from, qsizetype to, qint64 base)
    {
        for (qsizetype p = from; p < to;) {
            const qsizetype after = afterBreak(d, nextBreak(d, p, to), to);
            emit(base + p, after - p);
            p = after;
        }
    }

    // Whether a candidate line holds a match on its own: through the JIT
    // over its bytes, or decoded where whole words or a limit need it.
    bool candidateHolds(const char *line, qsizetype size) const
    {
        if (m_lineCheck.isValid()) {
            switch (m_lineCheck.find(line, size, 0, nullptr, nullptr, RuleRegex::Text::ValidUtf8)) {
            case RuleRegex::Result::Match:
                return true;
            case RuleRegex::Result::NoMatch:
                return false;
            case RuleRegex::Result::Failed:
                break;
            }
        }
        return m_matcher.holds(decodeBlock(line, size, m_filter.encoding));
    }

    // Every line of d[from, to) decoded and tested alone.
    void linesOneByOne(const char *d, qsizetype from, qsizetype to, qint64 base)
    {
        for (qsizetype p = from; p < to;) {
            const qsizetype brk = nextBreak(d, p, to);
            const qsizetype after = afterBreak(d, brk, to);
            if (m_stop.stop_requested())
                return;
            if (judge(d + p, brk - p))
                emit(base + p, after - p);
            p = after;
        }
    }

    // The lines of d[0, n), each with a whole break, n > 0.
    void runLines(const char *d, qsizetype n, qint64 base)
    {
        if (n <= 0)
            return;
        if (m_perLine || m_linesAlone ||
            (m_candidates.isValid() && !RuleRegex::isValidUtf8(d, n))) {
            linesOneByOne(d, 0, n, base);
            return;
        }
        if (m_never) {
            if (m_filter.invert)
                emitAll(d, 0, n, base);
            return;
        }
        std::unique_ptr<SpanSource> span;
        std::unique_ptr<StreamSearch> engine;
        if (!m_raw && !m_candidates.isValid()) {
            span = std::make_unique<SpanSource>(d, n);
            engine = std::make_unique<StreamSearch>();
            engine->setStream(span.get());
            engine->setStopToken(m_stop);
        }
        bool started = false;
        bool found = false;
        // Every line before p is dealt with; look for a match from searchFrom.
        qsizetype p = 0;
        qsizetype searchFrom = 0;
        while (p < n) {
            qsizetype start = -1;
            if (m_literal.length() > 0) {
                start = m_literal.findForward(reinterpret_cast<const uint8_t *>(d), n, searchFrom);
            } else if (m_candidates.isValid()) {
                qsizetype at = 0;
                switch (
                    m_candidates.find(d, n, searchFrom, &at, nullptr, RuleRegex::Text::ValidUtf8)) {
                case RuleRegex::Result::Match:
                    start = at;
                    break;
                case RuleRegex::Result::NoMatch:
                    break;
                case RuleRegex::Result::Failed:
                    // Too much backtracking: the slow way is exact.
                    linesOneByOne(d, p, n, base);
                    return;
                }
            } else if (m_raw) {
                const PlainMatcher::Hit hit =
                    m_plain.find(d + searchFrom, n - searchFrom, true, true, true);
                if (hit.offset >= 0)
                    start = searchFrom + hit.offset;
            } else {
                if (!started) {
                    found = engine->findFirst(m_filter.pattern.text, m_filter.encoding, m_options,
                                              searchFrom);
                    started = true;
                }
                qint64 before = -1;
                while (found && engine->foundStart() < searchFrom) {
                    // An empty match the engine stands on again starts it anew.
                    if (engine->foundLength() == 0 && engine->foundStart() <= before)
                        found = engine->findFirst(m_filter.pattern.text, m_filter.encoding,
                                                  m_options, searchFrom);
                    else
                        before = engine->foundStart(), found = engine->findNext();
                }
                if (m_stop.stop_requested())
                    return;
                if (found)
                    start = qsizetype(engine->foundStart());
            }
            if (start < 0 || start >= n) {
                if (m_filter.invert)
                    emitAll(d, p, n, base);
                return;
            }
            // A match starting on the LF of a CR LF belongs to the line the CR ends.
            qsizetype brk = start;
            if (start > p && unitAt(d, start) == '\n' && unitAt(d, start - m_unit) == '\r')
                brk = start - m_unit;
            else
                brk = nextBreak(d, start, n);
            const qsizetype lineStart = lineStartBefore(d, p, std::min(start, brk));
            const qsizetype after = brk < n ? afterBreak(d, brk, n) : n;
            // A candidate's line decides alone.
            if (m_candidates.isValid() && !candidateHolds(d + lineStart, brk - lineStart)) {
                if (m_filter.invert)
                    emitAll(d, p, after, base);
                p = searchFrom = after;
                continue;
            }
            if (m_filter.invert)
                emitAll(d, p, lineStart, base);
            else
                emit(base + lineStart, after - lineStart);
            p = searchFrom = after;
        }
    }

    // The line starting at pos runs past a block: it is found to its end in
    // blocks and judged through a source of its own. False when a read
    // failed or was cancelled (result says which); else result.resumeAt is
    // where the next line starts, or result.tail holds the line.
    bool longLine(qint64 pos, qint64 size, Result &result)
    {
        qint64 q = pos;
        qint64 brk = -1;
        qint64 after = -1;
        std::vector<char> block;
        // A lone byte at the end of UTF-16 is no unit.
        while (size - q >= m_unit) {
            if (m_stop.stop_requested()) {
                result.status = Result::Status::Cancelled;
                return false;
            }
            const qint64 want = std::min(m_blockBytes, size - q);
            block.resize(size_t(want));
            qint64 got = 0;
            const auto read = m_source.read(block.data(), want, q, &got, m_stop);
            if (read != FileSource::ReadResult::Ok) {
                result.status = read == FileSource::ReadResult::Cancelled
                                    ? Result::Status::Cancelled
                                    : Result::Status::Failed;
                return false;
            }
            const qsizetype n = qsizetype(got / m_unit * m_unit);
            const qsizetype i = nextBreak(block.data(), 0, n);
            if (i < n) {
                brk = q + i;
                // A CR at the block's end: its LF, if any, comes next.
                char next[2] = {};
                qint64 more = 0;
                const bool crAtBlockEnd = unitAt(block.data(), i) == '\r' && i + m_unit >= n;
                // A CR at the very end (a lone byte of UTF-16 after it is no
                // unit) may still get its LF: the line stays open, its text
                // ending before the CR.
                const bool crAtEnd = crAtBlockEnd && brk + m_unit >= size / m_unit * m_unit;
                if (crAtBlockEnd && !crAtEnd &&
                    m_source.read(next, m_unit, brk + m_unit, &more, m_stop) ==
                        FileSource::ReadResult::Ok &&
                    more == m_unit && unitAt(next, 0) == '\n')
                    after = brk + 2 * m_unit;
                else if (!crAtEnd)
                    after = i + m_unit < n ? q + afterBreak(block.data(), i, n) : brk + m_unit;
                break;
            }
            if (got < want)
                break;
            q += n;
        }
        const qint64 textEnd = brk >= 0 ? brk : size / m_unit * m_unit;
        SliceSource line(m_source, pos, textEnd - pos);
        const auto headHolds = [&] {
            std::vector<char> head(size_t(std::min(kPerLineHead, textEnd - pos)));
            qint64 got = 0;
            line.read(head.data(), qint64(head.size()), 0, &got, m_stop);
            return !m_never &&
                   m_matcher.holds(decodeBlock(head.data(), qsizetype(got), m_filter.encoding));
        };
        bool hit = false;
        // The regex engine reads only some encodings (not the UTF-8 entry of
        // the list, which the block route takes) and refuses some patterns
        // the bar takes ("\C"): the head, decoded, for those.
        if (m_perLine || m_never ||
            (m_filter.pattern.regex && !StreamSearch::regexSupportsEncoding(m_filter.encoding))) {
            hit = headHolds();
        } else {
            try {
                StreamSearch engine;
                engine.setStream(&line);
                engine.setStopToken(m_stop);
                hit = engine.findFirst(m_filter.pattern.text, m_filter.encoding, m_options, 0);
            } catch (const SearchError &) {
                hit = headHolds();
            }
        }
        if (m_stop.stop_requested()) {
            result.status = Result::Status::Cancelled;
            return false;
        }
        const bool passes = hit != m_filter.invert;
        if (after < 0) {
            // No whole break before the end: the last line, still open.
            if (passes)
                result.tail = {pos, size / m_unit * m_unit - pos};
            result.resumeAt = pos;
            return false;
        }
        if (passes)
            emit(pos, after - pos);
        result.resumeAt = after;
        return true;
    }

    FileSource &m_source;
    LineFilter m_filter;
    QuickMatcher m_matcher;
    int m_unit;
    bool m_bigEndian;
    SearchOptions m_options;
    PlainMatcher m_plain;
    RuleRegex m_candidates;
    RuleRegex m_lineCheck;
    ByteFinder m_literal;
    bool m_raw = false;
    bool m_never = false;
    bool m_perLine = false;
    qint64 m_firstBlockBytes = kFirstBlockBytes;
    qint64 m_blockBytes = kBlockBytes;
    bool m_linesAlone = false;
    std::stop_token m_stop;
    const LineSink *m_sink = nullptr;
    bool m_holding = false;
    std::vector<std::pair<qint64, qint64>> m_held;
};

MatchingLinesScanner::MatchingLinesScanner(FileSource &source, LineFilter filter)
    : m_impl(std::make_unique<Impl>(source, std::move(filter)))
{}

MatchingLinesScanner::~MatchingLinesScanner() = default;

void MatchingLinesScanner::setBlockBytes(qint64 first, qint64 rest)
{
    m_impl->setBlockBytes(first, rest);
}

bool MatchingLinesScanner::usable() const
{
    return m_impl->usable();
}

MatchingLinesScanner::Result MatchingLinesScanner::scan(qint64 from, const LineSink &sink,
                                                        std::stop_token stop,
                                                        const BlockDone &blockDone)
{
    return m_impl->scan(from, sink, stop, blockDone);
}
