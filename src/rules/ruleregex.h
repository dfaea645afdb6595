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
class TRuleRegex
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

    // About 0.2 ms of a hopeless search: a screen of such lines still
    // repaints at once, and sound expressions stay far below it.
    static constexpr quint32 MatchLimit = 50000;

    TRuleRegex() = default; // matches nothing
    TRuleRegex(const QByteArray &pattern, Flavour flavour, bool caseSensitive);

    bool IsValid() const { return m_code != nullptr; }
    // PCRE2's message and the offset in the pattern where it gave up.
    const QString &ErrorText() const { return m_error; }
    qsizetype ErrorOffset() const { return m_errorOffset; }

    // The leftmost match in subject[start, size) (the bytes before start
    // are seen by look-behinds). matchStart and matchEnd may be null.
    Result Find(const char *subject, qsizetype size, qsizetype start = 0,
                qsizetype *matchStart = nullptr, qsizetype *matchEnd = nullptr) const;
    bool Matches(const char *subject, qsizetype size) const
    {
        return Find(subject, size) == Result::Match;
    }

private:
    struct Compiled;
    std::shared_ptr<const Compiled> m_code;
    QString m_error;
    qsizetype m_errorOffset = -1;
};
