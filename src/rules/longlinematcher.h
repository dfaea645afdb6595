#pragma once

#include <QByteArray>

#include <memory>

// The line test of LineMatcher (without its inversion) for a line too long
// to hold: the line comes in pieces of any size and is never kept whole, so
// memory stays bounded and time linear whatever its length.
//
// Plain text is searched exactly, with an overlap of the text's length. A
// regular expression runs through PCRE2's DFA matcher over every start at
// once ("(?s:.*?)" before it, anchored), restarted piece by piece; invalid
// UTF-8 ends a stretch as it does for the line matcher (only an expression
// that matches nothing but an empty string, "^", "$" or "\B", may judge a
// line with such bytes otherwise). An expression the DFA cannot run exactly
// on pieces (look-aheads, back-references, \A \G \z \Z \K \X \C, atomic
// groups, possessive quantifiers, conditions, recursion, verbs, callouts,
// script runs, start-of-pattern items), a DFA that gives up, or a run of
// more than headBytes word characters under \b or \B is judged on the
// line's first headBytes bytes instead, as if the line ended there.
class LongLineMatcher
{
public:
    LongLineMatcher(const QByteArray &pattern, bool isRegex, bool caseSensitive,
                    qsizetype headBytes);
    ~LongLineMatcher();
    LongLineMatcher(const LongLineMatcher &) = delete;
    LongLineMatcher &operator=(const LongLineMatcher &) = delete;

    // A new line.
    void begin();
    // The next piece of the line (any size; a UTF-8 character may be cut).
    void feed(const char *data, qsizetype size);
    // A match was seen: the rest of the line cannot change the answer.
    bool found() const { return m_found; }
    // The line ended: whether it holds a match.
    bool finish();
    // Whether the last line's answer was exact, not judged on its head.
    bool exact() const { return !m_headOnly; }

    // Whether an expression runs exactly on pieces (see above).
    static bool isStreamablePattern(const QByteArray &pattern);

private:
    struct Dfa;
    enum class Mode { Never, Plain, Literal, Stream, Head };

    void feedPlain(const char *data, qsizetype size);
    void keepHead(const char *data, qsizetype size);
    void toHead();
    // Matches what can be matched of m_buffer; last: the line ends there.
    void drain(bool last);
    // Runs the DFA over m_buffer[m_context, to); partial: more follows.
    bool run(qsizetype to, bool partial, bool endOfText);

    Mode m_mode = Mode::Never;
    Mode m_lineMode = Mode::Never;
    QByteArray m_pattern;
    qsizetype m_headBytes;
    std::unique_ptr<Dfa> m_dfa;
    bool m_found = false;
    bool m_headOnly = false;

    // Plain text: the last pattern-length - 1 bytes seen.
    QByteArray m_overlap;
    // The line's first bytes, for expressions judged on them.
    QByteArray m_head;
    // Stream: m_buffer[0, m_context) is already matched text kept for
    // look-behinds and \b; m_buffer[m_context, end) waits to be matched.
    QByteArray m_buffer;
    qsizetype m_context = 0;
    qsizetype m_checked = 0;   // m_buffer[m_context, m_checked) is valid UTF-8
    bool m_started = false;    // the DFA runs in the current stretch
    bool m_atLineStart = true; // the current stretch starts the line
    // \b: m_buffer[m_context + 1, m_wordScanned) holds no non-word
    // character after m_lastNonWord (-1: none at all).
    qsizetype m_wordScanned = 0;
    qsizetype m_lastNonWord = -1;
};
