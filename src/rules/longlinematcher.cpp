#include "rules/longlinematcher.h"

#include "rules/ruleregex.h"
#include "search/patterninfo.h"
#include "text/asciifold.h"

#include <QByteArrayView>

#include <algorithm>
#include <cstring>
#include <vector>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace {

// What the DFA needs to know of an expression before it runs on pieces.
struct PatternTraits
{
    bool streamable = true;
    bool wordBoundary = false; // \b or \B: they look at the next character
};

PatternTraits traits(const QByteArray &pattern, bool caseSensitive = true)
{
    const PatternInfo info(std::string_view(pattern.constData(), size_t(pattern.size())),
                           PCRE2_UTF | PCRE2_DOTALL | (caseSensitive ? 0 : PCRE2_CASELESS),
                           PCRE2_NEWLINE_CRLF);
    // Anchors the pieces would move, back-references and subroutine calls,
    // items of no fixed character and what the DFA runs otherwise or not.
    PatternTraits traits;
    traits.streamable =
        !(info.unsure || info.lookAhead || info.backReferences || info.call || info.textAnchor ||
          info.resetsMatchStart || info.grapheme || info.backslashC || info.atomic ||
          info.possessive || info.condition || info.verb || info.startItem || info.scriptRun ||
          info.callout || info.nonAtomicAssertion);
    traits.wordBoundary = info.wordBoundary;
    return traits;
}

bool isWordByte(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

void foldAscii(char *p, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i)
        p[i] = asciiLower(p[i]);
}

} // namespace

struct LongLineMatcher::Dfa
{
    pcre2_code *code = nullptr;
    pcre2_match_data *data = nullptr;
    std::vector<int> workspace = std::vector<int>(30000);
    qsizetype contextBytes = 4;
    bool wordBoundary = false;
    RuleRegex line; // judges the head when the DFA cannot go on

    ~Dfa()
    {
        pcre2_match_data_free(data);
        pcre2_code_free(code);
    }
};

LongLineMatcher::LongLineMatcher(const QByteArray &pattern, bool isRegex, bool caseSensitive,
                                 qsizetype headBytes)
    : m_pattern(pattern), m_headBytes(std::max<qsizetype>(headBytes, 1))
{
    if (pattern.isEmpty())
        return;
    if (!isRegex) {
        m_mode = Mode::Plain;
        if (!caseSensitive) {
            m_mode = Mode::Literal;
            foldAscii(m_pattern.data(), m_pattern.size());
        }
        return;
    }
    auto dfa = std::make_unique<Dfa>();
    dfa->line = RuleRegex(pattern, RuleRegex::Flavour::Line, caseSensitive);
    if (!dfa->line.isValid())
        return; // never matches, as for the line matcher
    m_mode = Mode::Head;
    const PatternTraits found = traits(pattern, caseSensitive);
    if (found.streamable) {
        pcre2_compile_context *cc = pcre2_compile_context_create(nullptr);
        pcre2_set_newline(cc, PCRE2_NEWLINE_CRLF);
        const quint32 options =
            PCRE2_UTF | PCRE2_DOTALL | PCRE2_ANCHORED | (caseSensitive ? 0 : PCRE2_CASELESS);
        // \E closes a \Q left open; a line break ends a (?x) comment that
        // would swallow the closing parenthesis.
        for (const char *close : {"\\E)", "\\E\n)"}) {
            const QByteArray wrapped = "(?s:.*?)(?:" + pattern + close;
            int error = 0;
            PCRE2_SIZE offset = 0;
            dfa->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(wrapped.constData()),
                                      PCRE2_SIZE(wrapped.size()), options, &error, &offset, cc);
            if (dfa->code || !pattern.contains('#'))
                break;
        }
        pcre2_compile_context_free(cc);
        if (dfa->code) {
            dfa->data = pcre2_match_data_create(1, nullptr);
            uint32_t lookbehind = 0;
            pcre2_pattern_info(dfa->code, PCRE2_INFO_MAXLOOKBEHIND, &lookbehind);
            // Nested look-behinds may reach further than the longest one.
            dfa->contextBytes = 4 * (2 * qsizetype(lookbehind) + 2);
            dfa->wordBoundary = found.wordBoundary;
            m_mode = Mode::Stream;
        }
    }
    m_dfa = std::move(dfa);
}

LongLineMatcher::~LongLineMatcher() = default;

void LongLineMatcher::begin()
{
    m_lineMode = m_mode;
    m_found = false;
    m_headOnly = false;
    m_overlap.clear();
    m_head.clear();
    m_buffer.clear();
    m_context = 0;
    m_started = false;
    m_atLineStart = true;
    m_checked = 0;
    m_wordScanned = 0;
    m_lastNonWord = -1;
}

void LongLineMatcher::feed(const char *data, qsizetype size)
{
    // In pieces of a bounded size: the copies a piece needs stay small, and
    // so does the work of one DFA call, which a limit watches.
    constexpr qsizetype kPiece = qsizetype(256) << 10;
    // Room for the head at the first piece, which a long line brings whole:
    // a copy made while it grew would double the memory taken.
    if ((m_lineMode == Mode::Head || m_lineMode == Mode::Stream) && m_head.capacity() == 0)
        m_head.reserve(std::min(m_headBytes, size) + 1);
    if (size > kPiece) {
        for (qsizetype at = 0; at < size && !m_found; at += kPiece)
            feed(data + at, std::min(kPiece, size - at));
        return;
    }
    if (m_found || size <= 0)
        return;
    switch (m_lineMode) {
    case Mode::Never:
        return;
    case Mode::Plain:
    case Mode::Literal:
        feedPlain(data, size);
        return;
    case Mode::Head:
        keepHead(data, size);
        return;
    case Mode::Stream:
        keepHead(data, size);
        m_buffer.append(data, size);
        drain(false);
        // Only a run of word characters under \b can be held this long.
        if (m_lineMode == Mode::Stream && m_buffer.size() - m_context > m_headBytes)
            toHead();
        return;
    }
}

void LongLineMatcher::feedPlain(const char *data, qsizetype size)
{
    const qsizetype keep = m_pattern.size() - 1;
    // Caseless plain text folds only the ASCII letters: fold both sides.
    QByteArray folded;
    if (m_lineMode == Mode::Literal) {
        folded = QByteArray(data, size);
        foldAscii(folded.data(), size);
        data = folded.constData();
    }
    const QByteArrayView needle(m_pattern);
    if (!m_overlap.isEmpty()) {
        // Only a match across the edge needs the bytes before it.
        QByteArray edge = m_overlap;
        edge.append(data, std::min(size, keep));
        if (QByteArrayView(edge).indexOf(needle) >= 0) {
            m_found = true;
            return;
        }
    }
    if (QByteArrayView(data, size).indexOf(needle) >= 0) {
        m_found = true;
        return;
    }
    if (keep == 0)
        return;
    if (size >= keep)
        m_overlap = QByteArray(data + size - keep, keep);
    else
        m_overlap = m_overlap.append(data, size).right(keep);
}

void LongLineMatcher::keepHead(const char *data, qsizetype size)
{
    const qsizetype room = m_headBytes - m_head.size();
    if (room > 0)
        m_head.append(data, std::min(size, room));
    // One byte past the head tells that the line was longer.
    else if (room == 0)
        m_head.append(data, 1);
}

void LongLineMatcher::toHead()
{
    m_lineMode = Mode::Head;
    m_buffer.clear();
    m_buffer.squeeze();
    m_context = 0;
}

bool LongLineMatcher::run(qsizetype to, bool partial, bool endOfText)
{
    // Only text found valid reaches the DFA.
    quint32 options = PCRE2_DFA_SHORTEST | PCRE2_NO_UTF_CHECK;
    if (partial)
        options |= PCRE2_PARTIAL_HARD;
    else if (!endOfText)
        options |= PCRE2_NOTEOL; // invalid bytes follow: no line end here
    if (m_started)
        options |= PCRE2_DFA_RESTART;
    if (m_started || !m_atLineStart)
        options |= PCRE2_NOTBOL;
    Dfa &dfa = *m_dfa;
    const int rc = pcre2_dfa_match(dfa.code, reinterpret_cast<PCRE2_SPTR>(m_buffer.constData()),
                                   PCRE2_SIZE(to), PCRE2_SIZE(m_context), options, dfa.data,
                                   nullptr, dfa.workspace.data(), dfa.workspace.size());
    if (rc >= 0) {
        m_found = true;
        return true;
    }
    if (rc == PCRE2_ERROR_PARTIAL) {
        m_started = true;
        return false;
    }
    m_started = false;
    if (rc != PCRE2_ERROR_NOMATCH)
        toHead(); // out of workspace or a limit: the head decides
    return false;
}

void LongLineMatcher::drain(bool last)
{
    const auto byteAt = [this](qsizetype i) { return static_cast<unsigned char>(m_buffer[i]); };
    const auto lengthAt = [this](qsizetype i) {
        return utf8CharLength(reinterpret_cast<const unsigned char *>(m_buffer.constData()), i,
                              m_buffer.size());
    };
    for (;;) {
        const qsizetype end = m_buffer.size();
        // The valid stretch from the context on (checked once).
        qsizetype valid = std::max(m_context, m_checked);
        int length = 0;
        while (valid < end && (length = lengthAt(valid)) > 0)
            valid += length;
        m_checked = valid;
        const bool invalid = valid < end && (length == 0 || last);
        if (invalid || last) {
            // The stretch ends here: at the line's end or at bytes that
            // are no text, which no match can cross.
            if (run(valid, false, !invalid) || m_lineMode != Mode::Stream || !invalid)
                return;
            qsizetype next = valid + 1;
            while (next < end && lengthAt(next) == 0)
                ++next;
            m_buffer.remove(0, next);
            m_context = 0;
            m_checked = 0;
            m_wordScanned = 0;
            m_lastNonWord = -1;
            m_started = false;
            m_atLineStart = false;
            continue;
        }
        // More is to come; [valid, end) is a character cut by the piece's end.
        qsizetype cut = valid;
        if (m_dfa->wordBoundary && valid == end) {
            // \b at the end of what it is given takes the end for a non-word
            // character: stop before a character that is one, so that the
            // answer there is the true one.
            for (qsizetype i = std::max(m_wordScanned, m_context + 1); i < valid; ++i) {
                const unsigned char b = byteAt(i);
                if (!isWordByte(b) && (b & 0xC0) != 0x80)
                    m_lastNonWord = i;
            }
            m_wordScanned = valid;
            cut = std::max(m_lastNonWord, m_context);
        }
        if (cut > m_context && !run(cut, true, false) && m_lineMode == Mode::Stream) {
            // Keep a little matched text for look-behinds and \b.
            qsizetype keep = std::max<qsizetype>(0, cut - m_dfa->contextBytes);
            while (keep < cut && (byteAt(keep) & 0xC0) == 0x80)
                ++keep;
            m_buffer.remove(0, keep);
            m_context = cut - keep;
            m_checked -= keep;
            m_wordScanned = std::max(m_wordScanned - keep, m_context);
            m_lastNonWord = -1; // the one cut at, now the context's end
        }
        return;
    }
}

bool LongLineMatcher::finish()
{
    switch (m_lineMode) {
    case Mode::Stream:
        if (!m_found)
            drain(true);
        if (m_lineMode == Mode::Stream)
            break;
        [[fallthrough]];
    case Mode::Head:
        m_headOnly = m_head.size() > m_headBytes;
        m_found = m_dfa->line.matches(m_head.constData(), std::min(m_head.size(), m_headBytes));
        break;
    default:
        break;
    }
    m_overlap.clear();
    m_buffer.clear();
    m_head.clear();
    return m_found;
}

bool LongLineMatcher::isStreamablePattern(const QByteArray &pattern)
{
    return traits(pattern).streamable;
}
