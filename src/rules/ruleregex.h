#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// A pattern compiled once, with PCRE2's JIT where it has one, and matched
// from any thread: the compiled code is shared read-only and every thread
// matches with match data of its own. Copies share the compiled code.
//
// A match limit ends a catastrophic backtrack (such as "(a+)+$" on a long
// run of a's) as Failed, which callers count as no match.
//
// Text that is not valid UTF-8 goes to PCRE2's interpreter in its
// invalid-UTF mode, where no match crosses or takes in an invalid byte.
// Valid text goes to the JIT compiled for valid text: the JIT's own
// invalid-UTF mode (PCRE2 10.42) gets \W, \S, \D, \B and look-behinds wrong
// next to any non-ASCII character, valid or not.
class RuleRegex
{
public:
    enum class Flavour {
        // One line per subject: caseless unless asked, "." matches anything.
        Line,
        // Many lines per subject, for finding candidate lines in a block:
        // "^" and "$" hold at every line break (CR, LF, CR LF) and "." stops
        // at them, so a line's match is found where the line alone has it.
        Block,
        // The pattern is plain text; caseless folds only the ASCII letters.
        Literal,
    };
    enum class Result { Match, NoMatch, Failed };
    // What the caller knows of a subject: Unknown has it checked at each call.
    enum class Text { Unknown, ValidUtf8, InvalidUtf8 };

    // About 0.2 ms of a hopeless search: a screen of such lines still
    // repaints at once, and sound expressions stay far below it.
    static constexpr quint32 matchLimit = 50000;

    RuleRegex() = default; // matches nothing
    RuleRegex(const QByteArray &pattern, Flavour flavour, bool caseSensitive);

    bool isValid() const { return m_code != nullptr; }
    // PCRE2's message and the offset in the pattern where it gave up.
    const QString &errorText() const { return m_error; }
    qsizetype errorOffset() const { return m_errorOffset; }

    // The leftmost match in subject[start, size) (the bytes before start
    // are seen by look-behinds). matchStart and matchEnd may be null.
    // notAtLineStart: "^" does not hold at subject[0].
    Result find(const char *subject, qsizetype size, qsizetype start = 0,
                qsizetype *matchStart = nullptr, qsizetype *matchEnd = nullptr,
                Text text = Text::Unknown, bool notAtLineStart = false) const;
    bool matches(const char *subject, qsizetype size) const
    {
        return find(subject, size) == Result::Match;
    }
    // The longest look-behind of the pattern, in characters.
    int maxLookbehind() const;

    static bool isValidUtf8(const char *text, qsizetype size);

private:
    struct Compiled;
    std::shared_ptr<const Compiled> m_code;
    QString m_error;
    qsizetype m_errorOffset = -1;
};

// Bytes of the valid UTF-8 character at s[i] of s[0, n): 0 when s[i] starts
// no valid character, -1 when n ends inside one that may still be valid.
// As strict as PCRE2: no overlong forms, surrogates or values past U+10FFFF.
int utf8CharLength(const unsigned char *s, qsizetype i, qsizetype n);
