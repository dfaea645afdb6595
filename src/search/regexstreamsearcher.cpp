#include "search/regexstreamsearcher.h"

#include "search/bytefinder.h"
#include "search/pagetable.h"
#include "search/patterninfo.h"

#include "text/asciifold.h"
#include "text/blockdecoder.h"
#include "text/contract.h"
#include "text/linebreak.h"
#include "text/utf8.h"
#include "viewer/filesource.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <emmintrin.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

inline int utf8Length(unsigned char lead)
{
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// Bytes that start a UTF-8 character; continuation bytes are -128 to -65 as
// signed bytes.
qsizetype countLeads(const unsigned char *p, qsizetype n)
{
    qsizetype count = 0, i = 0;
    const __m128i limit = _mm_set1_epi8(-65);
    while (i + 16 <= n) {
        // Each lane counts down by one per lead byte, at most 255 times.
        __m128i lanes = _mm_setzero_si128();
        const qsizetype stop = std::min(n - 15, i + 255 * 16);
        for (; i < stop; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
            lanes = _mm_sub_epi8(lanes, _mm_cmpgt_epi8(v, limit));
        }
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
    }
    for (; i < n; ++i)
        count += !isUtf8Continuation(p[i]);
    return count;
}

} // namespace

// The compiled pattern and PCRE2's working storage, each freed by its owner.
struct RegexStreamSearcher::Pcre
{
    pcre2_compile_context *compileContext = nullptr;
    pcre2_code *code = nullptr;
    pcre2_match_data *MatchData = nullptr;
    // The JIT finds where the DFA has to look; null where it may disagree.
    pcre2_match_data *jitData = nullptr;
    pcre2_match_context *jitContext = nullptr;
    pcre2_jit_stack *jitStack = nullptr;
    bool jit = false;
    // A literal every match holds, in a pattern that stays inside one line.
    ByteFinder literal;
    std::vector<int> workspace;
    // The complete matches of a long candidate that a partial result hides.
    pcre2_match_data *longData = nullptr;
    ~Pcre()
    {
        pcre2_match_data_free(longData);
        pcre2_match_data_free(MatchData);
        pcre2_match_data_free(jitData);
        pcre2_match_context_free(jitContext);
        pcre2_jit_stack_free(jitStack);
        pcre2_code_free(code);
        pcre2_compile_context_free(compileContext);
    }
};

namespace {

// Atomic groups, possessive quantifiers and verbs make backtracking find
// less than the DFA does, and the DFA runs subroutine calls as atomic groups;
// where the DFA cannot run an item at all (back-references, conditions on a
// group, non-atomic assertions, script runs), it must be the one to say so.
bool jitAgreesWithDfa(const PatternInfo &info)
{
    return !(info.atomic || info.possessive || info.verb || info.resetsMatchStart || info.call ||
             info.backReferences || info.condition || info.nonAtomicAssertion || info.scriptRun);
}

// A literal every match holds, for a pattern that can never match a line
// break nor asserts where the text or the search starts or ends; empty when
// the pattern does not let us tell.
QByteArray lineLiteral(const PatternInfo &info)
{
    if (!info.staysInLine() || info.dollar || info.textAnchor)
        return {};
    return QByteArray::fromStdString(info.requiredLiteral);
}

} // namespace

RegexStreamSearcher::RegexStreamSearcher()
    : compileOptionBits(PCRE2_CASELESS | PCRE2_DOTALL), m_pcre(std::make_unique<Pcre>())
{
    m_pcre->compileContext = pcre2_compile_context_create(nullptr);
    // Lines end in LF or CR LF: the dot stops at both, "$" sees both.
    pcre2_set_newline(m_pcre->compileContext, PCRE2_NEWLINE_ANYCRLF);
}

RegexStreamSearcher::~RegexStreamSearcher() = default;

namespace {

// Start-of-pattern items such as (*UCP) or (*LIMIT_MATCH=9), which must stay
// in front of anything put around the pattern: their length.
qsizetype leadingItems(const QByteArray &pattern)
{
    qsizetype end = 0;
    while (pattern.mid(end, 2) == "(*") {
        qsizetype i = end + 2;
        while (i < pattern.size() && (std::isupper(uchar(pattern[i])) ||
                                      std::isdigit(uchar(pattern[i])) || pattern[i] == '_'))
            ++i;
        if (i < pattern.size() && pattern[i] == '=') {
            ++i;
            while (i < pattern.size() && std::isdigit(uchar(pattern[i])))
                ++i;
        }
        if (i == end + 2 || i >= pattern.size() || pattern[i] != ')')
            break;
        end = i + 1;
    }
    return end;
}

} // namespace

bool RegexStreamSearcher::compile(const QByteArray &utf8, QString *error, qsizetype *errorOffset)
{
    pcre2_code_free(m_pcre->code);
    int code = 0;
    PCRE2_SIZE offset = 0;
    // \C could stop a match inside a character, where no byte offset of the
    // source exists.
    m_pcre->code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf8.constData()), size_t(utf8.size()),
                      compileOptionBits | PCRE2_UTF | PCRE2_NEVER_BACKSLASH_C, &code, &offset,
                      m_pcre->compileContext);
    if (!m_pcre->code) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(code, message, sizeof message);
        if (error)
            *error = QString::fromUtf8(reinterpret_cast<const char *>(message));
        if (errorOffset)
            *errorOffset = qsizetype(offset);
        return false;
    }
    return true;
}

bool RegexStreamSearcher::setMatchPattern(const QByteArray &utf8, QString *error,
                                          qsizetype *errorOffset)
{
    if (!compile(utf8, error, errorOffset))
        return false;
    QByteArray compiled = utf8;
    if (wholeWords) {
        // No word character right before or after a match: a letter, a
        // digit, the underscore or any code above 127, as in the plain
        // search. The pattern goes in a group between the two assertions;
        // what it leaves open at its end, a \Q quote or an extended-mode
        // comment, would swallow the group's closing parenthesis and is
        // closed first.
        // Spelled as what it is not: a caseless class over every code above
        // 127 took milliseconds to compile, adding each one's other case.
        const QByteArray word = "[^\\x00-/:-@[-^`{-\\x7f]";
        const qsizetype items = leadingItems(utf8);
        bool done = false;
        for (const char *close : {"", "\\E", "\n"}) {
            compiled = utf8.left(items) + "(?<!" + word + ")(?:" + utf8.mid(items) + close +
                       ")(?!" + word + ")";
            if (compile(compiled, nullptr, nullptr)) {
                done = true;
                break;
            }
        }
        if (!done)
            return compile(compiled, error, errorOffset);
    }
    uint32_t lookbehind = 0;
    pcre2_pattern_info(m_pcre->code, PCRE2_INFO_MAXLOOKBEHIND, &lookbehind);
    // The pattern as typed: of the questions below, the whole-word frame
    // changes only whether the pattern looks ahead.
    m_info = std::make_unique<const PatternInfo>(
        std::string_view(utf8.constData(), size_t(utf8.size())),
        compileOptionBits | PCRE2_UTF | PCRE2_NEVER_BACKSLASH_C, PCRE2_NEWLINE_ANYCRLF);
    const PatternInfo &info = *m_info;
    // "$", "\b" and the like look at one character after a match; a
    // look-ahead may look further, by how much PCRE2 does not tell.
    m_lookAhead = info.lookAhead || wholeWords ? 4096 : 4;
    Pcre &p = *m_pcre;
    p.jit = jitAgreesWithDfa(info) &&
            pcre2_jit_compile(p.code, PCRE2_JIT_COMPLETE | PCRE2_JIT_PARTIAL_HARD) == 0;
    if (p.jit && !p.jitContext) {
        p.jitContext = pcre2_match_context_create(nullptr);
        p.jitStack = pcre2_jit_stack_create(32 << 10, 1 << 20, nullptr);
        pcre2_jit_stack_assign(p.jitContext, nullptr, p.jitStack);
        // A pattern that backtracks without end falls back to the DFA.
        pcre2_set_match_limit(p.jitContext, 1000000);
        p.jitData = pcre2_match_data_create(1, nullptr);
    }
    const QByteArray literal =
        p.jit && !(compileOptionBits & ~(PCRE2_CASELESS | PCRE2_MULTILINE | PCRE2_UTF))
            ? lineLiteral(info)
            : QByteArray();
    const bool caseless = info.literalFolds;
    p.literal.prepare(caseless ? literal.toLower() : literal, caseless ? &asciiFoldTable : nullptr);
    m_context = std::max<qsizetype>(overlapBufferSize, 4 * qsizetype(lookbehind) + 4);
    return true;
}

qsizetype RegexStreamSearcher::firstMatchInLines(const char *text, qsizetype size) const
{
    const Pcre &p = *m_pcre;
    if (!p.jit || matchOptionBits != 0)
        return unknownMatch;
    // ASCII is valid UTF-8, and no match reaches past the last line break.
    const int rc = pcre2_jit_match(p.code, reinterpret_cast<PCRE2_SPTR>(text), size_t(size), 0,
                                   PCRE2_NO_UTF_CHECK, p.jitData, p.jitContext);
    if (rc >= 0)
        return qsizetype(pcre2_get_ovector_pointer(p.jitData)[0]);
    return rc == PCRE2_ERROR_NOMATCH ? -1 : unknownMatch;
}

bool RegexStreamSearcher::hasBackReferences() const
{
    uint32_t refs = 0;
    return m_pcre->code && pcre2_pattern_info(m_pcre->code, PCRE2_INFO_BACKREFMAX, &refs) == 0 &&
           refs > 0;
}

void RegexStreamSearcher::setStream(FileSource *source, qint64 start, Encoding encoding,
                                    std::stop_token stop)
{
    require(encoding.isUtf16() || encoding == encodingAnsi || encoding == encodingOem,
            QStringLiteral("Unsupported encoding: SetStream"),
            QStringLiteral("RegexStreamSearcher"));
    m_source = source;
    m_input = encoding == encodingOem ? Input::Oem
              : encoding.isUtf16()    ? (encoding.isBigEndian() ? Input::Utf16BE : Input::Utf16LE)
                                      : Input::Ansi;
    m_stop = std::move(stop);
    m_attachPos = m_filePos = std::max<qint64>(0, start);
    m_fileEnd = source ? source->size() : 0;
    m_rawRead = 0;
    m_rawPos = m_rawLen = 0;
    m_rawEof = false;
    m_len = m_attempt = 0;
    m_lastHigh = -1;
    m_base = m_baseChars = m_baseRaw = 0;
    m_loaded = m_eof = m_skipChar = m_restart = m_restartFresh = false;
    m_errorOffset = -1;
}

bool RegexStreamSearcher::startAt(qint64 from, qint64 contextFrom)
{
    contextFrom = std::clamp<qint64>(contextFrom, 0, from);
    m_filePos = m_attachPos + contextFrom;
    m_rawRead = m_baseRaw = contextFrom;
    m_base = m_baseChars = 0;
    m_loaded = true;
    // One character at a time up to from, so that the attempt stands on it.
    while (rawDecoded() < from && !m_eof) {
        const qsizetype before = m_len;
        if (!decode(1))
            return false;
        if (m_len == before)
            break;
    }
    m_attempt = m_len;
    return decodeFill(searchBufferSize ? searchBufferSize : 1);
}

bool RegexStreamSearcher::fillRaw()
{
    const qsizetype keep = m_rawLen - m_rawPos;
    const size_t size = std::max<size_t>(16, (readSize + 1) & ~1u);
    if (m_raw.size() != size)
        m_raw.resize(size);
    std::memmove(m_raw.data(), m_raw.data() + m_rawPos, size_t(keep));
    m_rawPos = 0;
    m_rawLen = keep;
    const qint64 want = std::min<qint64>(qint64(size) - keep, m_fileEnd - m_filePos);
    qint64 got = 0;
    if (want > 0) {
        const FileSource::ReadResult r = m_source->read(
            reinterpret_cast<char *>(m_raw.data()) + keep, want, m_filePos, &got, m_stop);
        if (r == FileSource::ReadResult::Failed) {
            m_errorOffset = m_filePos;
            return false;
        }
    }
    m_filePos += got;
    m_rawRead += got;
    m_rawLen += got;
    if (got == 0)
        m_rawEof = true;
    return true;
}

void RegexStreamSearcher::Emit(char32_t ch)
{
    const int n = encodeUtf8(ch, m_text.data() + m_len);
    m_len += n;
    if (n > 1)
        m_lastHigh = m_len - 1;
}

// Appends up to want bytes of decoded text; false on a read error. Sets
// m_eof when the source has no more.
bool RegexStreamSearcher::decode(qsizetype want)
{
    const qsizetype target = m_len + want;
    if (qsizetype(m_text.size()) < target + 4)
        m_text.resize(size_t(target + 4));
    static const char16_t *const oemTable = singleByteTable(encodingOem);
    char32_t replacement = replacementCharacter;
    if (replacement >= 0xD800 && (replacement <= 0xDFFF || replacement > 0x10FFFF))
        replacement = U'?';
    // ANSI positions are taken one to one from the UTF-8 text.
    if (m_input == Input::Ansi && replacement >= 0x80)
        replacement = U'?';
    while (m_len < target) {
        if (m_rawPos >= m_rawLen) {
            if (m_rawEof || !fillRaw())
                break;
            if (m_rawPos >= m_rawLen)
                break;
        }
        const unsigned char *raw = m_raw.data() + m_rawPos;
        const qsizetype avail = m_rawLen - m_rawPos;
        if (m_input == Input::Ansi && raw[0] < 0x80) {
            // Runs of ASCII go across as they are.
            const qsizetype n = asciiPrefix(raw, std::min(avail, target - m_len));
            std::memcpy(m_text.data() + m_len, raw, size_t(n));
            m_len += n;
            m_rawPos += n;
            continue;
        }
        DecodedChar d;
        switch (m_input) {
        case Input::Ansi:
            d = decodeUtf8Char(raw, avail);
            break;
        case Input::Oem:
            d = decodeTableChar(oemTable, raw, avail);
            break;
        case Input::Utf16LE:
        case Input::Utf16BE:
            d = decodeUtf16Char(raw, avail, m_input == Input::Utf16BE);
            break;
        }
        if (d.result == DecodedChar::NeedMore) {
            if (!m_rawEof) {
                const qsizetype before = m_rawLen - m_rawPos;
                if (!fillRaw())
                    return false;
                if (m_rawLen - m_rawPos > before)
                    continue;
            }
            // Cut off by the end of the source: a UTF-16 odd byte is
            // dropped; a high surrogate without its pair, like the bytes of
            // a cut UTF-8 sequence, does not decode.
            const bool utf16 = m_input == Input::Utf16LE || m_input == Input::Utf16BE;
            if (utf16 && avail < 2) {
                m_rawPos = m_rawLen;
                break;
            }
            d = {DecodedChar::Invalid, utf16 ? 2 : 1, 0};
        }
        if (d.result == DecodedChar::Invalid) {
            Emit(replacement);
            m_rawPos += d.used ? d.used : 1;
            continue;
        }
        Emit(d.ch);
        m_rawPos += d.used;
    }
    if (m_errorOffset >= 0)
        return false;
    m_eof = m_rawPos >= m_rawLen && m_rawEof;
    return true;
}

// "$" also matches before a line break that ends the text, and PCRE2 takes
// the end of a fill for the end of the text there: a fill never ends in a
// line break while more text follows.
bool RegexStreamSearcher::decodeFill(qsizetype want)
{
    if (!decode(want))
        return false;
    while (!m_eof && m_len > 0 && isLineBreak(m_text[size_t(m_len - 1)])) {
        if (!decode(1))
            return false;
    }
    return true;
}

qsizetype RegexStreamSearcher::countChars(qsizetype from, qsizetype to) const
{
    if (m_lastHigh < from) // ASCII only: a byte is a character
        return std::max<qsizetype>(0, to - from);
    return to > from ? countLeads(reinterpret_cast<const unsigned char *>(m_text.data()) + from,
                                  to - from)
                     : 0;
}

qint64 RegexStreamSearcher::rawBytes(qsizetype from, qsizetype to) const
{
    switch (m_input) {
    case Input::Ansi:
        return to - from;
    case Input::Oem:
        return countChars(from, to);
    case Input::Utf16LE:
    case Input::Utf16BE:
        break;
    }
    if (m_lastHigh < from)
        return 2 * std::max<qsizetype>(0, to - from);
    // Two bytes a unit, four for a character beyond the 16-bit range.
    qint64 n = 0;
    const unsigned char *t = reinterpret_cast<const unsigned char *>(m_text.data());
    for (qsizetype i = from; i < to; ++i)
        n += isUtf8Continuation(t[i]) ? 0 : (t[i] >= 0xF0 ? 4 : 2);
    return n;
}

RegexStreamSearcher::Match RegexStreamSearcher::positionOf(qsizetype offset) const
{
    Match m;
    m.start = m_base + offset;
    m.startChars = m_baseChars + countChars(0, offset);
    m.rawStart = m_baseRaw + rawBytes(0, offset);
    return m;
}

bool RegexStreamSearcher::loadFirst()
{
    m_loaded = true;
    return decodeFill(searchBufferSize ? searchBufferSize : 1);
}

// Keeps the text from keepFrom (moved to a character start) and appends the
// next fill; false when stopped or on a read error.
bool RegexStreamSearcher::load(qsizetype keepFrom)
{
    bool abort = false;
    if (onProgress)
        onProgress(abort, m_rawRead - (m_rawLen - m_rawPos));
    if (abort || m_stop.stop_requested())
        return false;
    keepFrom = std::clamp<qsizetype>(keepFrom, 0, m_len);
    const unsigned char *t = reinterpret_cast<const unsigned char *>(m_text.data());
    while (keepFrom < m_len && isUtf8Continuation(t[keepFrom]))
        ++keepFrom;
    if (keepFrom > 0) {
        m_baseChars += countChars(0, keepFrom);
        m_baseRaw += rawBytes(0, keepFrom);
        m_base += keepFrom;
        std::memmove(m_text.data(), m_text.data() + keepFrom, size_t(m_len - keepFrom));
        m_len -= keepFrom;
        m_attempt -= keepFrom;
        m_lastHigh = std::max<qsizetype>(-1, m_lastHigh - keepFrom);
    }
    // A long carried match grows the fill with it, so that running it
    // again costs no more than twice its length.
    const qsizetype want = std::max<qsizetype>(searchBufferSize ? searchBufferSize : 1, m_len);
    return decodeFill(want);
}

int RegexStreamSearcher::run(quint32 options, std::vector<int> &workspace, qsizetype length,
                             pcre2_match_data *data)
{
    Pcre &p = *m_pcre;
    if (workspace.size() < std::max<size_t>(workSpaceSize, 32))
        workspace.resize(std::max<size_t>(workSpaceSize, 32));
    for (;;) {
        const int rc =
            pcre2_dfa_match(p.code, reinterpret_cast<PCRE2_SPTR>(m_text.data()), size_t(length),
                            size_t(m_attempt), options | PCRE2_NO_UTF_CHECK,
                            data ? data : p.MatchData, nullptr, workspace.data(), workspace.size());
        if (rc != PCRE2_ERROR_DFA_WSSIZE)
            return rc;
        // A restart needs the states of the run before, which are gone.
        if ((options & PCRE2_DFA_RESTART) ||
            qint64(workspace.size() * sizeof(int)) >= workSpaceLimitBytes)
            return resultWorkspaceLimit;
        workspace.resize(std::min<size_t>(workspace.size() * 2, workSpaceLimitBytes / sizeof(int)));
    }
}

// Reads the source again from keepFrom, a character start that the search
// has passed, and goes on with the attempt at that many UTF-8 bytes after
// it; false when stopped or on a read error.
bool RegexStreamSearcher::rewind(const Match &keepFrom, qsizetype attempt)
{
    m_filePos = m_attachPos + keepFrom.rawStart;
    m_rawRead = keepFrom.rawStart;
    m_rawPos = m_rawLen = 0;
    m_rawEof = false;
    m_len = 0;
    m_lastHigh = -1;
    m_base = keepFrom.start;
    m_baseChars = keepFrom.startChars;
    m_baseRaw = keepFrom.rawStart;
    m_eof = m_skipChar = m_restart = m_restartFresh = false;
    m_loaded = true;
    m_attempt = attempt;
    return decodeFill(std::max<qsizetype>(searchBufferSize ? searchBufferSize : 1, attempt + 4));
}

// Lets the JIT find the leftmost start of a match or of a partial match from
// the attempt on, so that the DFA runs only from there. Backtracking tries
// every path at each start before the next, as the DFA does, so both agree
// on that start. With a literal that every match holds within one line, only
// the lines that hold it are run. False when nothing starts before the end of
// the text.
bool RegexStreamSearcher::prefilter(quint32 options)
{
    Pcre &p = *m_pcre;
    if (!p.jit || (options & ~(PCRE2_PARTIAL_HARD | PCRE2_NOTBOL | PCRE2_NOTEOL)))
        return true;
    const auto *t = reinterpret_cast<const uint8_t *>(m_text.data());
    const auto jit = [&](qsizetype end) {
        return pcre2_jit_match(p.code, reinterpret_cast<PCRE2_SPTR>(m_text.data()), size_t(end),
                               size_t(m_attempt), options | PCRE2_NO_UTF_CHECK, p.jitData,
                               p.jitContext);
    };
    while (p.literal.length() > 0) {
        const qsizetype hit = p.literal.findForward(t, m_len, m_attempt);
        if (hit < 0) {
            if (m_eof)
                return false;
            // Only the last line may hold a match that goes on in the next fill.
            m_attempt = lineStartBefore(m_text.data(), m_attempt, m_len);
            break;
        }
        const qsizetype lineStart = lineStartBefore(m_text.data(), m_attempt, hit);
        const qsizetype lineEnd = nextLineBreak(m_text.data(), hit + p.literal.length(), m_len);
        m_attempt = lineStart;
        if (lineEnd >= m_len)
            break;
        // Its line break ends the text the JIT sees: no match reaches past it.
        const int rc = jit(lineEnd + 1);
        if (rc >= 0) {
            m_attempt = qsizetype(pcre2_get_ovector_pointer(p.jitData)[0]);
            return true;
        }
        if (rc != PCRE2_ERROR_NOMATCH)
            return true;
        m_attempt = lineEnd + 1;
    }
    const int rc = jit(m_len);
    if (rc >= 0 || rc == PCRE2_ERROR_PARTIAL) {
        m_attempt = qsizetype(pcre2_get_ovector_pointer(p.jitData)[0]);
        return true;
    }
    // Any other failure, a limit above all, leaves the decision to the DFA.
    return rc != PCRE2_ERROR_NOMATCH;
}

qsizetype RegexStreamSearcher::charStartAt(qsizetype offset) const
{
    while (offset < m_len && isUtf8Continuation(uchar(m_text[size_t(offset)])))
        ++offset;
    return offset;
}

// One step of a long candidate, continued by DFA restart (or taken up
// afresh from its start when it has just become long): over the text up to
// the returned end, which stops m_lookAhead bytes short of the text (unless
// the source ends there) so that what a match's end asserts about the text
// after it is seen. The complete matches that a partial result hides are
// asked for on a copy of the workspace; the longest one is kept, with the
// context in front of its end.
int RegexStreamSearcher::runLong(quint32 options, qsizetype *end)
{
    *end = m_len;
    if (!m_eof) {
        *end = std::max<qsizetype>(0, m_len - m_lookAhead);
        while (*end > 0 && isUtf8Continuation(uchar(m_text[size_t(*end)])))
            --*end;
        // As a fill, a step never ends in a line break: "$" would match
        // before it.
        while (*end > m_attempt && isLineBreak(m_text[size_t(*end - 1)]))
            --*end;
    }
    if (*end <= m_attempt && !m_eof) {
        *end = m_attempt;
        return PCRE2_ERROR_PARTIAL; // too little text for a step
    }
    if (!m_restartFresh)
        options |= PCRE2_DFA_RESTART;
    if (!m_eof) {
        Pcre &p = *m_pcre;
        // Each byte after the step may end one match, and they come longest
        // first: one pair more reaches one that the step confirms.
        const uint32_t pairs = uint32_t(m_len - *end + 1);
        if (!p.longData || pcre2_get_ovector_count(p.longData) < pairs) {
            pcre2_match_data_free(p.longData);
            p.longData = pcre2_match_data_create(pairs, nullptr);
        }
        m_workspaceCopy = p.workspace;
        const int rc = run((options & ~PCRE2_PARTIAL_HARD) | PCRE2_PARTIAL_SOFT, m_workspaceCopy,
                           m_len, p.longData);
        const PCRE2_SIZE *ov = pcre2_get_ovector_pointer(p.longData);
        const int found = rc == 0 ? int(pairs) : rc;
        if (rc >= 0 && (!m_restartFresh || qsizetype(ov[0]) == m_attempt)) {
            for (int k = 0; k < found; ++k) {
                const qsizetype e = qsizetype(ov[2 * k + 1]);
                if (e <= *end) {
                    m_restartEnd = positionOf(e);
                    m_restartEndFrom =
                        positionOf(charStartAt(std::max<qsizetype>(0, e - m_context)));
                    break;
                }
            }
        }
    }
    const int rc = run(options, m_pcre->workspace, *end);
    m_restartFresh = false;
    return rc;
}

int RegexStreamSearcher::findNext(Match &match)
{
    if (!m_pcre->code || !m_source)
        return PCRE2_ERROR_NOMATCH;
    const uint32_t pairs = std::max<uint32_t>(1, outputVectorSize / 2);
    if (!m_pcre->MatchData || pcre2_get_ovector_count(m_pcre->MatchData) != pairs) {
        pcre2_match_data_free(m_pcre->MatchData);
        m_pcre->MatchData = pcre2_match_data_create(pairs, nullptr);
    }
    const auto failed = [&] { return m_errorOffset >= 0 ? resultReadError : resultStopped; };
    if (!m_loaded && !loadFirst())
        return failed();
    for (;;) {
        if (m_skipChar && m_attempt < m_len) {
            m_attempt += utf8Length(uchar(m_text[size_t(m_attempt)]));
            m_skipChar = false;
        }
        if (m_skipChar || m_attempt >= m_len) {
            // A long candidate started before the limit goes on.
            if (!m_restart && rawDecoded() >= startLimit)
                return PCRE2_ERROR_NOMATCH;
            if (m_eof) {
                // An empty match may still stand at the very end.
                if (m_skipChar || m_attempt > m_len)
                    return PCRE2_ERROR_NOMATCH;
            } else {
                if (!load(m_attempt - m_context))
                    return failed();
                continue;
            }
        }
        quint32 options = matchOptionBits & ~(PCRE2_PARTIAL_SOFT | PCRE2_DFA_RESTART);
        if (!m_eof)
            options |= PCRE2_PARTIAL_HARD;
        qsizetype stepEnd = m_len;
        // Taken up afresh, the DFA tries the later starts too.
        const bool fresh = m_restartFresh;
        const int rc = m_restart            ? runLong(options, &stepEnd)
                       : prefilter(options) ? run(options, m_pcre->workspace, m_len)
                                            : int(PCRE2_ERROR_NOMATCH);
        const PCRE2_SIZE *ov = pcre2_get_ovector_pointer(m_pcre->MatchData);
        if (rc == PCRE2_ERROR_NOMATCH && m_restart) {
            // The long candidate failed. Its longest complete match stands;
            // without one, the starts after its first character are still
            // untried, and their text is gone: it is read again.
            m_restart = false;
            if (fresh && m_eof)
                return rc;
            if (m_restartEnd.start < 0) {
                if (!rewind(m_retryFrom, m_retryAttempt))
                    return failed();
                continue;
            }
            match = m_restartStart;
            match.length = m_restartEnd.start - m_restartStart.start;
            match.lengthChars = m_restartEnd.startChars - m_restartStart.startChars;
            match.rawLength = m_restartEnd.rawStart - m_restartStart.rawStart;
            if (!rewind(m_restartEndFrom, qsizetype(m_restartEnd.start - m_restartEndFrom.start)))
                return failed();
            m_skipChar = match.length == 0;
            return 1;
        }
        if (rc == PCRE2_ERROR_NOMATCH) {
            if (m_eof || rawDecoded() >= startLimit)
                return PCRE2_ERROR_NOMATCH;
            m_attempt = m_len;
            if (!load(m_attempt - m_context))
                return failed();
            continue;
        }
        if (rc == PCRE2_ERROR_PARTIAL && !m_restart) {
            const qsizetype start = qsizetype(ov[0]);
            if (startLimit != std::numeric_limits<qint64>::max() &&
                positionOf(start).rawStart >= startLimit)
                return PCRE2_ERROR_NOMATCH;
            if (m_len - start > maxCarryBytes && m_len - m_lookAhead > start) {
                // Too long to keep: taken up again from its start, and from
                // then on continued without its text.
                m_restart = m_restartFresh = true;
                m_restartStart = positionOf(start);
                const qsizetype from = charStartAt(std::max<qsizetype>(0, start - m_context));
                m_retryFrom = positionOf(from);
                m_retryAttempt = start - from + utf8Length(uchar(m_text[size_t(start)]));
                m_restartEnd.start = -1;
                m_attempt = start;
                continue;
            }
            m_attempt = start;
            if (!load(m_attempt - m_context))
                return failed();
            continue;
        }
        if (rc == PCRE2_ERROR_PARTIAL) {
            if (fresh && qsizetype(ov[0]) > m_attempt) {
                // Taken up afresh, the candidate failed within the step and
                // the DFA went on to later starts: its partial match there
                // is a new candidate, to be judged as any other.
                m_restart = false;
                m_attempt = qsizetype(ov[0]);
                continue;
            }
            m_attempt = stepEnd;
            if (!load(m_attempt - m_context))
                return failed();
            continue;
        }
        if (rc == resultWorkspaceLimit)
            m_errorOffset = (m_restart ? m_restartStart.rawStart : positionOf(m_attempt).rawStart);
        if (rc < 0)
            return rc;
        const qsizetype start = qsizetype(ov[0]), end = qsizetype(ov[1]);
        const bool continued = m_restart && !fresh;
        const Match s = continued ? m_restartStart : positionOf(start);
        if (s.rawStart >= startLimit)
            return PCRE2_ERROR_NOMATCH;
        const Match e = positionOf(end);
        match = s;
        match.length = e.start - s.start;
        match.lengthChars = e.startChars - s.startChars;
        match.rawLength = e.rawStart - s.rawStart;
        m_skipChar = !continued && end == start;
        m_restart = false;
        m_attempt = end;
        return rc;
    }
}
