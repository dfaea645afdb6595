#include "search/streamsearch.h"

#include "search/patterninfo.h"
#include "search/plainmatcher.h"
#include "search/regexbackward.h"
#include "search/regexstreamsearcher.h"
#include "search/searcherror.h"

#include "text/codepages.h"
#include "text/contract.h"
#include "text/fileutil.h"
#include "text/linebreak.h"
#include "text/utf8.h"
#include "viewer/filesource.h"
#include "viewer/scanreader.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cerrno>
#include <limits>
#include <vector>

namespace {
const QString kUnit = QStringLiteral("QzStreamSearch");
// Bytes read in front of a block that is decoded, to find where decoding
// falls in step with the whole text.
constexpr qint64 kLookBack = 4096;
// Bytes at most read past a decoded block to find where a match ends.
constexpr qint64 kMaxMoreBytes = qint64(64) << 20;
// Bytes one character may take, escape sequences of the stateful pages included.
constexpr qint64 kMaxCharBytes = 8;
// Bytes per plain block looked at in place: mapped bytes cost nothing to
// hand over, so blocks are only as small as progress and a stop need.
constexpr qint64 kMappedBlockSize = qint64(8) << 20;
} // namespace

// The plain engine's working storage, kept between searches.
class StreamSearch::PlainEngine
{
public:
    PlainMatcher matcher;
    // What the matcher was prepared for, so that FindNext goes on at once.
    QString text;
    Encoding encoding;
    SearchOptions options;
    bool prepared = false;
    // Made afresh for each source; it holds a map only during a search.
    std::unique_ptr<ScanReader> reader;
    std::vector<char> window;
};

StreamSearch::StreamSearch() = default;
StreamSearch::~StreamSearch() = default;

void StreamSearch::releaseSource()
{
    if (m_plain)
        m_plain->reader.reset();
    m_ownedSource.reset();
    m_source = nullptr;
    m_fileName.clear();
    m_backwardSize = -1;
    m_regexBase = -1;
}

void StreamSearch::clearSaved()
{
    m_savedText.clear();
    m_savedEncoding = {};
    m_savedOptions = {};
}

void StreamSearch::setFileName(const QString &fileName)
{
    releaseSource();
    if (fileName.isEmpty())
        return;
    clearSaved();
    LocalFileSource::OpenError error = LocalFileSource::OpenError::None;
    errno = 0;
    auto source = LocalFileSource::open(fileName, &error);
    if (!source) {
        const int code = errno;
        throw SearchError(QStringLiteral("Cannot open file \"%1\". %2")
                              .arg(fileName, errnoText(code ? code : EIO)));
    }
    m_source = source.get();
    m_ownedSource = std::move(source);
    m_fileName = fileName;
}

void StreamSearch::setStream(FileSource *source)
{
    releaseSource();
    clearSaved();
    m_source = source;
}

void StreamSearch::setStream(std::unique_ptr<FileSource> source)
{
    releaseSource();
    clearSaved();
    m_source = source.get();
    m_ownedSource = std::move(source);
}

bool StreamSearch::regexSupportsEncoding(Encoding encoding)
{
    return encoding.isUtf16() || encoding == encodingAnsi || encoding == encodingOem;
}

bool StreamSearch::progress(qint64 position)
{
    bool go = true;
    if (onProgress)
        onProgress(position, m_streamSize, go);
    return go && !m_stop.stop_requested();
}

bool StreamSearch::prepareSearch(Encoding encoding, qint64 startPos)
{
    require(m_source != nullptr, QStringLiteral("Stream object not initialized"), kUnit);
    m_streamStart = startPos;
    m_streamSize = m_source->size();
    m_charSize = encoding.unitBytes();
    return m_streamSize >= m_charSize;
}

bool StreamSearch::readAt(char *buffer, qint64 count, qint64 position, qint64 *got)
{
    *got = 0;
    const FileSource::ReadResult read = m_source->read(buffer, count, position, got, m_stop);
    if (read == FileSource::ReadResult::Cancelled)
        return false;
    if (read == FileSource::ReadResult::Failed)
        throw SearchError(QStringLiteral("Read error at offset %1").arg(position));
    // The size taken at the start bounds the search, also when the file grows.
    *got = std::min(*got, std::max<qint64>(0, m_streamSize - position));
    return true;
}

// As readAt, but the bytes are looked at where the reader has them: in the
// map of a local file, or in its buffer. False when stopped.
bool StreamSearch::view(qint64 position, qint64 count, bool forward, const char **data, qint64 *got)
{
    ScanReader &reader = *m_plain->reader;
    const ScanReader::Bytes bytes = reader.read(position, count, forward);
    *data = bytes.data;
    *got = 0;
    if (bytes.status == ScanReader::Status::Cancelled)
        return false;
    if (bytes.status == ScanReader::Status::Failed)
        throw SearchError(QStringLiteral("Read error at offset %1").arg(position));
    *got = std::min(bytes.size, std::max<qint64>(0, m_streamSize - position));
    return true;
}

// Whether the bytes of the last view were the file's; when it shrank under
// them, the search now ends at its new end.
bool StreamSearch::viewIntact()
{
    if (m_plain->reader->intact())
        return true;
    m_streamSize = std::min(m_streamSize, m_plain->reader->size());
    return false;
}

// The start and end of the character that holds the byte at pos, on a page
// whose characters may take several bytes; {-1, -1} when stopped.
std::pair<qint64, qint64> StreamSearch::charAround(qint64 pos, Encoding encoding)
{
    const qint64 from = std::max<qint64>(0, pos - kLookBack);
    const qint64 to = std::min(m_streamSize, pos + kMaxCharBytes);
    std::vector<char> &window = m_plain->window;
    window.resize(size_t(to - from));
    qint64 got = 0;
    if (!readAt(window.data(), to - from, from, &got))
        return {-1, -1};
    if (pos - from >= got)
        return {pos, pos + 1};
    const qsizetype sync = std::max<qsizetype>(
        0, decodeSyncBefore(window.data(), qsizetype(got), qsizetype(pos - from), encoding));
    std::vector<int> offsets;
    codepageToUnicode(window.data() + sync, qsizetype(got) - sync, encoding, &offsets);
    qint64 start = from + sync, end = from + got;
    for (const int offset : offsets) {
        const qint64 at = from + sync + offset;
        if (at <= pos) {
            start = at;
        } else {
            end = at;
            break;
        }
    }
    return {start, end};
}

void StreamSearch::prepareReader()
{
    if (!m_plain)
        m_plain = std::make_unique<PlainEngine>();
    if (!m_plain->reader)
        m_plain->reader = std::make_unique<ScanReader>(*m_source);
    m_plain->reader->setStopToken(m_stop);
}

// Blocks of BlockSize bytes, forward from the start or backward so that a
// block ends at the end of the range; neighbouring blocks share the
// matcher's overlap, so a match across a border is found whole.
bool StreamSearch::plainFind(const QString &text, Encoding encoding, SearchOptions options,
                             qint64 startPos, bool endBefore)
{
    m_foundStart = -1;
    m_foundLength = 0;
    if (text.isEmpty() || !prepareSearch(encoding, startPos))
        return false;
    prepareReader();
    PlainMatcher &matcher = m_plain->matcher;
    const SearchOptions matching = options & (soCaseSensitive | soWholeWords);
    if (!m_plain->prepared || text != m_plain->text || encoding != m_plain->encoding ||
        matching != m_plain->options) {
        matcher.prepare(text, encoding, bool(options & soCaseSensitive),
                        bool(options & soWholeWords));
        m_plain->text = text;
        m_plain->encoding = encoding;
        m_plain->options = matching;
        m_plain->prepared = true;
    }

    const qint64 c = m_charSize;
    const bool forward = !(options & soBackward);
    const qint64 lastPos = std::max<qint64>(0, m_streamSize / c * c - c);
    qint64 q = startPos / c * c;
    if (q > lastPos) {
        if (forward)
            return false;
        q = lastPos;
        endBefore = false;
    }
    if (q < 0) {
        if (!forward)
            return false;
        q = 0;
    }
    if (!progress(q))
        return false;
    if (matcher.route() == PlainMatcher::Route::None)
        return false;

    // The range runs forward from the first character that starts at q or
    // later, backward to the end (or with endBefore the start) of the
    // character that holds q.
    qint64 edge = forward ? q : (endBefore ? q : q + c);
    if (c == 1 && !matcher.oneBytePerChar()) {
        const auto [start, end] = charAround(q, encoding);
        if (start < 0)
            return false;
        edge = forward ? (start == q ? q : end) : (endBefore ? start : end);
    }
    if (forward ? edge > lastPos : edge <= 0)
        return false;
    const bool found = matcher.route() == PlainMatcher::Route::Decoded
                           ? decodedBlocks(forward, edge)
                           : rawBlocks(forward, edge);
    // Its pages would count as the program's memory while the search waits.
    m_plain->reader->release();
    return found;
}

qint64 StreamSearch::plainBlockBytes() const
{
    const qint64 c = m_charSize;
    const qint64 least = 2 * (m_plain->matcher.overlapBytes() + c);
    return std::min(blockSize, std::max(m_plainBlockBytes, least) / c * c);
}

bool StreamSearch::rawBlocks(bool forward, qint64 edge)
{
    const PlainMatcher &matcher = m_plain->matcher;
    const qint64 c = m_charSize;
    const qint64 lastPos = std::max<qint64>(0, m_streamSize / c * c - c);
    const qint64 blockBytes = m_plain->reader->mapped() ? kMappedBlockSize : plainBlockBytes();
    // A text longer than half a block could leave no step between blocks;
    // it cannot fit one anyway.
    const qint64 overlap = std::min<qint64>(matcher.overlapBytes(), blockBytes / 2) / c * c;
    // Forward q is where the block starts; backward, end is where it ends.
    qint64 q = edge, end = edge;
    bool firstBlock = true;
    for (;;) {
        const qint64 s = forward ? q : std::max<qint64>(0, end - blockBytes);
        const qint64 n = forward ? blockBytes : end - s;
        const char *block = nullptr;
        qint64 got = 0;
        if (!view(s, n, forward, &block, &got))
            return false;
        const bool lastBlock = forward ? got < blockBytes : s == 0 || got < n;
        const PlainMatcher::Hit hit = matcher.find(block, got, forward, lastBlock, firstBlock);
        if (!viewIntact())
            continue; // the same block again, up to the file's new end
        firstBlock = false;
        if (hit.offset >= 0) {
            m_foundStart = s + hit.offset;
            m_foundLength = hit.length;
            return true;
        }
        if (!progress(forward ? q : end - c))
            return false;
        if (lastBlock)
            return false;
        if (forward) {
            q = (q + n - overlap) / c * c;
            if (q > lastPos)
                return false;
        } else {
            end = (s + overlap) / c * c;
        }
    }
}

// Each block is decoded from a place, at most kLookBack bytes before it,
// where decoding falls in step with the whole text, so that a block never
// starts reading inside a character. A block answers for the matches that
// start in its part of the range; the next one takes over where it stops.
bool StreamSearch::decodedBlocks(bool forward, qint64 edge)
{
    const PlainMatcher &matcher = m_plain->matcher;
    const qint64 c = m_charSize;
    const qint64 size = m_streamSize / c * c;
    // Decoded blocks stay small even when mapped: a block's text and its
    // offsets take several times its bytes, and decoding costs the time.
    const qint64 blockBytes = plainBlockBytes();
    const qint64 overlap = std::min<qint64>(matcher.overlapBytes(), blockBytes / 2) / c * c;
    // Forward: matches start at lo or later. Backward: before hi, and the
    // block's data ends at end.
    qint64 lo = edge, hi = std::numeric_limits<qint64>::max(), end = edge;
    bool firstBlock = true;
    // Bytes read past the block for a match that the data's end cut: shifts
    // after a character read as nothing and count with it.
    qint64 more = 0;
    for (;;) {
        const qint64 blockStart = forward ? lo : std::max<qint64>(0, end - blockBytes);
        const qint64 blockEnd = forward ? std::min(size, lo + blockBytes) : end;
        // Backward, a character that goes on after the block's end must not
        // decode as one cut short: the bytes after it are read too.
        const qint64 dataEnd =
            std::min(size, (forward ? blockEnd : blockEnd + kMaxCharBytes) + more);
        const qint64 readStart = std::max<qint64>(0, blockStart - kLookBack) / c * c;
        const char *block = nullptr;
        qint64 got = 0;
        if (!view(readStart, dataEnd - readStart, forward, &block, &got))
            return false;
        if (readStart + got <= blockStart)
            return false; // the source was cut short
        const bool atEnd = readStart + got >= size || readStart + got < dataEnd;
        PlainMatcher::Range range;
        if (blockStart > 0) {
            range.from = std::max<qsizetype>(
                0, decodeSyncBefore(block, qsizetype(got), qsizetype(blockStart - 1 - readStart),
                                    m_savedEncoding));
        }
        range.lo = blockStart - readStart;
        range.hi = forward ? (atEnd ? std::numeric_limits<qsizetype>::max()
                                    : qsizetype(blockEnd - overlap - readStart))
                           : (firstBlock ? std::numeric_limits<qsizetype>::max()
                                         : qsizetype(hi - readStart));
        // Shifts that read as nothing can stretch the character at the edge
        // over blocks, and a match from an earlier block past the edge.
        if (forward)
            range.startEdge = edge - readStart;
        else
            range.endEdge = edge - readStart;
        range.atStart = readStart == 0;
        // Past the limit, a match ends where the data does.
        range.atEnd = atEnd || more >= kMaxMoreBytes;
        const PlainMatcher::Hit hit = matcher.findDecoded(block, qsizetype(got), forward, range);
        if (!viewIntact())
            continue; // the same block again, up to the file's new end
        if (hit.needsMore) {
            more = std::min(kMaxMoreBytes, std::max(2 * more, blockBytes));
            continue;
        }
        more = 0;
        firstBlock = false;
        if (hit.offset >= 0) {
            m_foundStart = readStart + hit.offset;
            m_foundLength = hit.length;
            return true;
        }
        if (!progress(forward ? lo : end - c))
            return false;
        if (forward) {
            if (atEnd)
                return false;
            lo = blockEnd - overlap;
        } else {
            if (blockStart == 0)
                return false;
            hi = blockStart;
            end = std::min(size, blockStart + overlap);
        }
    }
}

bool StreamSearch::findFirst(const QString &text, Encoding encoding, SearchOptions options,
                             qint64 startPos)
{
    // The match starts kept for going backward hold while the search and
    // the source do.
    const SearchOptions kept = ~SearchOptions(soBackward | soFromPage | soFromPosition);
    if (text != m_savedText || encoding != m_savedEncoding ||
        (options & kept) != (m_savedOptions & kept))
        m_backwardSize = -1;
    m_savedText = text;
    m_savedEncoding = encoding;
    m_savedOptions = options;
    if (!(options & soRegex)) {
        if ((options & soBackward) && startPos == 0)
            startPos = std::numeric_limits<qint64>::max();
        return plainFind(text, encoding, options, startPos, false);
    }
    m_streamStart = startPos;
    if (!(options & soBackward))
        return regexFindFirst();
    m_foundStart = -1;
    m_foundLength = 0;
    if (text.isEmpty() || !prepareSearch(encoding, std::max<qint64>(0, startPos)))
        return false;
    regexPrepare();
    // Those starting at or before the character at startPos.
    const qint64 limit = startPos <= 0 || startPos >= m_streamSize
                             ? std::numeric_limits<qint64>::max()
                             : startPos / m_charSize * m_charSize + m_charSize;
    return regexBackward(limit);
}

bool StreamSearch::findNext(bool findPrevious)
{
    require(!m_savedText.isEmpty(), QStringLiteral("Search text is empty"), kUnit);
    if (!(m_savedOptions & soRegex)) {
        SearchOptions options = m_savedOptions;
        if (findPrevious)
            options ^= soBackward;
        if (!(options & soBackward)) {
            // On from the character after the match's first; after a miss,
            // from the beginning.
            return plainFind(m_savedText, m_savedEncoding, options, m_foundStart + m_charSize,
                             false);
        }
        // Up to the current match's last character, so the nearest match
        // starting a character earlier is found. After a miss there is none.
        if (m_foundStart < 0)
            return false;
        return plainFind(m_savedText, m_savedEncoding, options, m_foundStart + m_foundLength - 1,
                         true);
    }
    const bool backward = m_savedOptions.testFlag(soBackward) != findPrevious;
    if (!backward) {
        if (m_regexBase < 0)
            return regexForwardFromMatch();
        regexSkipOn();
        return regexFindNext();
    }
    if (m_foundStart < 0)
        return false;
    require(m_regex != nullptr, QStringLiteral("RegEx object not initialized"), kUnit);
    if (!prepareSearch(m_savedEncoding, m_foundStart))
        return false;
    return regexBackward(m_foundStart);
}

// Compiles the saved pattern with the saved options; SearchError when it
// cannot run.
void StreamSearch::regexPrepare()
{
    if (!m_regex) {
        m_regex = std::make_unique<RegexStreamSearcher>();
        m_regex->matchOptionBits &= ~PCRE2_NOTEMPTY; // empty matches are allowed
        m_regex->onProgress = [this](bool &abort, qint64 rawRead) {
            abort = !progress(std::max<qint64>(0, m_regexBase) + rawRead);
        };
    }
    RegexStreamSearcher &regex = *m_regex;
    quint32 bits = regex.compileOptionBits & ~(PCRE2_CASELESS | PCRE2_DOTALL | PCRE2_MULTILINE);
    if (!(m_savedOptions & soCaseSensitive))
        bits |= PCRE2_CASELESS;
    if (m_savedOptions & soRegexMultiLine)
        bits |= PCRE2_DOTALL;
    regex.compileOptionBits = bits;

    regex.wholeWords = bool(m_savedOptions & soWholeWords);
    QString error;
    qsizetype offset = 0;
    if (!regex.setMatchPattern(m_savedText.toUtf8(), &error, &offset))
        throw SearchError(QStringLiteral("Regular expression pattern error:\r\n\r\n%1 at offset %2")
                              .arg(error)
                              .arg(offset));
    if (regex.hasBackReferences())
        throw SearchError(QStringLiteral("The search cannot run this regular expression:\r\n\r\n"
                                         "back-references such as \\1 are not supported"));

    if (!regexSupportsEncoding(m_savedEncoding))
        throw SearchError(QStringLiteral("Unknown encoding specified"));
}

bool StreamSearch::regexFindFirst()
{
    if (m_savedText.isEmpty())
        return false;
    if (!prepareSearch(m_savedEncoding, m_streamStart = std::max<qint64>(0, m_streamStart)))
        return false;
    regexPrepare();
    const qint64 start = m_streamStart;
    m_regexBase = regexSkipTo(start);
    m_streamStart = start;
    m_regex->setStream(m_source, m_regexBase, m_savedEncoding, m_stop);
    return regexFindNext();
}

// Whether a run of the saved pattern may begin at any line start as the run
// from the source's start would go on there: the pattern stays inside its
// line, looks at nothing before it and has no anchor, on a page where ASCII
// bytes are ASCII characters.
bool StreamSearch::runsByLines() const
{
    if (m_savedEncoding != encodingAnsi && m_savedEncoding != encodingOem)
        return false;
    const PatternInfo &info = m_regex->patternInfo();
    if (!info.compiled || info.unsure || !info.staysInLine() || info.dollar || info.textAnchor ||
        info.maxLookbehind > 0)
        return false;
    // "^" holds only where the run begins: moved, it would hold there too.
    // Any "^" but the one opening a negated class counts as one.
    const QByteArray pattern = m_savedText.toUtf8();
    for (qsizetype i = pattern.indexOf('^'); i >= 0; i = pattern.indexOf('^', i + 1))
        if (i < 1 || pattern[i - 1] != '[' || (i >= 2 && pattern[i - 2] == '\\'))
            return false;
    return true;
}

// A literal every match of the saved pattern holds, for a pattern that runs
// by lines: only lines that hold the literal may hold a match, and the plain
// search finds it at the speed of the map. An ASCII literal of 3 or more
// characters; false when there is none. options are the plain search's for
// the literal.
bool StreamSearch::lineLiteral(QString *literal, SearchOptions *options) const
{
    if (!runsByLines())
        return false;
    const PatternInfo &info = m_regex->patternInfo();
    const std::string &bytes = info.requiredLiteral;
    if (bytes.size() < 3)
        return false;
    // A byte that does not decode reads as the replacement character: in
    // the text it may stand where the bytes hold something else.
    for (const char ch : bytes)
        if (static_cast<unsigned char>(ch) >= 0x80 ||
            char32_t(static_cast<unsigned char>(ch)) == m_regex->replacementCharacter)
            return false;
    *literal = QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    *options = info.literalFolds ? SearchOptions() : soCaseSensitive;
    return true;
}

// Where a forward run from start may begin without passing a match: the
// line of the literal's first occurrence, or else of the first match the
// JIT finds in whole blocks of the map. The size when there is none (or the
// search was stopped); start when nothing can be skipped.
qint64 StreamSearch::regexSkipTo(qint64 start)
{
    QString literal;
    SearchOptions options;
    if (!lineLiteral(&literal, &options))
        return regexJitSkipTo(start);
    if (!plainFind(literal, m_savedEncoding, options, start, false))
        return m_streamSize;
    // The start of the hit's line: a line that does not start within the
    // look-back is not skipped into.
    const qint64 hit = m_foundStart;
    const qint64 from = std::max(start, hit - kLookBack);
    std::vector<char> &before = m_plain->window;
    before.resize(size_t(hit - from));
    qint64 got = 0;
    if (!readAt(before.data(), hit - from, from, &got) || got < hit - from)
        return start;
    const qsizetype lineStart = lineStartBefore(before.data(), 0, qsizetype(hit - from));
    return lineStart > 0 ? from + lineStart : start;
}

// The JIT over blocks of whole lines looked at in place. Where the text is
// ASCII its bytes are the text the run decodes, so the JIT's first match
// starts where the run's does; at the first line that is not, the run takes
// over. Only the ANSI page: on the OEM page control bytes may stand for
// other characters.
qint64 StreamSearch::regexJitSkipTo(qint64 start)
{
    if (m_savedEncoding != encodingAnsi || !runsByLines())
        return start;
    prepareReader();
    // Its pages would count as the program's memory while the search waits.
    struct Release
    {
        ScanReader &reader;
        ~Release() { reader.release(); }
    } release{*m_plain->reader};
    m_streamSize = m_source->size();
    // The first block is small: Find Next among many matches looks at a
    // few lines only, and every byte of a block is checked first.
    const qint64 blockBytes = m_plain->reader->mapped() ? kMappedBlockSize : m_plainBlockBytes;
    qint64 want = std::min(blockBytes, blockSize);
    for (qint64 q = start;; want = blockBytes) {
        if (q >= m_streamSize)
            return m_streamSize;
        const char *block = nullptr;
        qint64 got = 0;
        if (!view(q, want, true, &block, &got))
            return m_streamSize;
        const bool last = q + got >= m_streamSize;
        // Whole lines: up to the last break, or the source's end.
        qsizetype lines = last ? qsizetype(got) : lineStartBefore(block, 0, qsizetype(got));
        if (lines == 0 && want < blockBytes)
            continue; // not a whole line yet: a full block
        const qsizetype asciiEnd =
            asciiPrefix(reinterpret_cast<const unsigned char *>(block), lines);
        const bool ascii = asciiEnd == lines;
        if (!ascii)
            lines = lineStartBefore(block, 0, asciiEnd);
        const qsizetype hit = lines > 0 ? m_regex->firstMatchInLines(block, lines)
                                        : RegexStreamSearcher::unknownMatch;
        if (!viewIntact())
            continue; // the same block again, up to the file's new end
        if (hit >= 0)
            return q + lineStartBefore(block, 0, hit);
        if (hit == RegexStreamSearcher::unknownMatch)
            return q;
        if (!ascii)
            return q + lines;
        if (!progress(q))
            return m_streamSize;
        q += lines;
    }
}

// On from the current match of a forward run: the run goes on at the line
// where regexSkipTo finds the next match may start, when that line starts
// after the match, as no match starts in between.
void StreamSearch::regexSkipOn()
{
    if (m_foundStart < 0 || m_foundLength <= 0)
        return;
    const qint64 end = m_foundStart + m_foundLength, start = m_streamStart;
    const qint64 next = regexSkipTo(end);
    m_streamStart = start;
    if (next <= end)
        return;
    m_regexBase = next;
    m_regex->setStream(m_source, next, m_savedEncoding, m_stop);
}

bool StreamSearch::regexFindNext()
{
    require(m_regex != nullptr, QStringLiteral("RegEx object not initialized"), kUnit);
    require(m_source != nullptr, QStringLiteral("Stream object not initialized"), kUnit);
    RegexStreamSearcher::Match match;
    const int rc = m_regex->findNext(match);
    // A failed read names its file offset already.
    return regexResult(rc, m_regexBase + match.rawStart, match.rawLength,
                       m_regex->errorOffset() +
                           (rc == RegexStreamSearcher::resultReadError ? 0 : m_regexBase));
}

// Backward the regex searcher reads from the source's start on; the run it
// leaves behind is not the forward one.
bool StreamSearch::regexBackward(qint64 limit)
{
    if (!m_backward)
        m_backward = std::make_unique<RegexBackward>(*m_regex);
    if (m_backwardSize < 0 || m_streamSize < m_backwardSize) {
        // Whether a line start is a place to go back to.
        m_backward->reset(m_source, m_savedEncoding, m_regex->patternInfo().staysInLine());
    }
    // Each step may run on a job of its own.
    m_backward->setStopToken(m_stop);
    m_backwardSize = m_streamSize;
    m_regexBase = -1;
    QString literal;
    SearchOptions options;
    if (lineLiteral(&literal, &options)) {
        options |= soBackward;
        m_backward->lastLiteralBefore = [this, literal, options](qint64 end) -> qint64 {
            const qint64 start = m_streamStart;
            const bool found =
                end > 0 && plainFind(literal, m_savedEncoding, options, end - 1, false);
            m_streamStart = start;
            return found ? m_foundStart : -1;
        };
    } else {
        m_backward->lastLiteralBefore = nullptr;
    }
    if (!progress(std::min(limit, m_streamSize)))
        return false;
    RegexStreamSearcher::Match match;
    const int rc = m_backward->findBefore(limit, match);
    return regexResult(rc, match.rawStart, match.rawLength, m_backward->errorOffset());
}

// Forward after a backward step: the run from the start of the match the
// step found goes on as the one from the source's start.
bool StreamSearch::regexForwardFromMatch()
{
    require(m_regex != nullptr && m_backward != nullptr,
            QStringLiteral("RegEx object not initialized"), kUnit);
    const qint64 from = std::max<qint64>(0, m_foundStart);
    if (!prepareSearch(m_savedEncoding, from))
        return false;
    m_regexBase = 0;
    m_backward->setStopToken(m_stop);
    if (!m_backward->startAt(from))
        return regexResult(m_regex->errorOffset() >= 0 ? RegexStreamSearcher::resultReadError
                                                       : RegexStreamSearcher::resultStopped,
                           0, 0, m_regex->errorOffset());
    const qint64 current = m_foundStart;
    if (!regexFindNext())
        return false;
    return m_foundStart != current || regexFindNext();
}

bool StreamSearch::regexResult(int rc, qint64 start, qint64 length, qint64 errorOffset)
{
    if (rc < 0) {
        m_foundStart = -1;
        m_foundLength = 0;
        // Only the end of the source and a stop are "not found"; a limit or
        // an item the matcher cannot run must not pass for one.
        if (rc == RegexStreamSearcher::resultReadError)
            throw SearchError(QStringLiteral("Read error at offset %1").arg(errorOffset));
        if (rc == RegexStreamSearcher::resultWorkspaceLimit)
            throw SearchError(
                QStringLiteral("The search cannot run this regular expression:\r\n\r\n"
                               "it needs more than 1 MiB of matching workspace near offset %1")
                    .arg(errorOffset));
        if (rc != PCRE2_ERROR_NOMATCH && rc != RegexStreamSearcher::resultStopped) {
            PCRE2_UCHAR message[256];
            pcre2_get_error_message(rc, message, sizeof message);
            throw SearchError(
                QStringLiteral("The search cannot run this regular expression:\r\n\r\n%1")
                    .arg(QString::fromUtf8(reinterpret_cast<const char *>(message))));
        }
        return false;
    }
    m_foundStart = start;
    m_foundLength = length;
    return true;
}
