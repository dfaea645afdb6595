#pragma once

#include "rules/ruleregex.h"

#include <QByteArray>

// The line test of the colour rules, the find dialog's rules and filtered
// logs, compiled once for all the lines it is given. A regular expression is
// searched anywhere in the line (caseless unless caseSensitive); plain text
// is found anywhere, caseless folding only the ASCII letters. An empty line
// or an empty pattern is no match, and invert turns the answer round, so an
// inverted rule matches empty lines and, with no pattern, every line. A
// regular expression that does not compile never matches.
class TLineMatcher
{
public:
    TLineMatcher() = default; // an empty pattern
    TLineMatcher(const QByteArray &pattern, bool isRegex, bool caseSensitive, bool invert);

    bool Matches(const char *line, qsizetype size) const;
    bool Matches(const QByteArray &line) const { return Matches(line.constData(), line.size()); }

    bool IsRegex() const { return m_isRegex; }
    bool Invert() const { return m_invert; }
    const QByteArray &Pattern() const { return m_pattern; }
    // The test of the pattern alone, without the inversion: whether the
    // line holds a match (false for an empty line or pattern).
    bool Raw(const char *line, qsizetype size) const
    {
        return Test(line, size) == TRuleRegex::Result::Match;
    }
    // The same, telling a matcher that gave up (Failed: the match limit)
    // from one that found nothing.
    TRuleRegex::Result Test(const char *line, qsizetype size) const;
    // False for a regular expression that does not compile; its reason.
    bool IsValid() const { return m_pattern.isEmpty() || !m_isRegex || m_regex.IsValid(); }
    const TRuleRegex &Regex() const { return m_regex; }

private:
    QByteArray m_pattern;
    bool m_isRegex = true;
    bool m_caseSensitive = false;
    bool m_invert = false;
    TRuleRegex m_regex; // the expression, or the caseless literal
};

// One test, compiled for this call only; for many lines use TLineMatcher.
bool MatchLine(const QByteArray &line, const QByteArray &pattern, bool isRegex, bool caseSensitive,
               bool invert);

// One sub-strings filter pass, compiled once: every character of a match of
// the pattern is overwritten by one replacement character. Matching goes on
// in the changed text after each replacement and ends when no match is left
// or a match starts where the one before did (so a replacement character
// that matches the pattern ends it too). Characters are UTF-8 code points,
// so the count of characters stays. Time is linear in the line: a match that
// only a replacement creates before the replaced text is not looked for.
class TSubstringReplacer
{
public:
    TSubstringReplacer() = default;
    // replacement: one character (its UTF-8 bytes); empty stands for ".".
    TSubstringReplacer(const QByteArray &pattern, const QByteArray &replacement,
                       bool caseSensitive);
    bool IsActive() const { return !m_pattern.isEmpty(); }
    const TRuleRegex &Regex() const { return m_regex; }
    QByteArray Apply(const QByteArray &line) const;

private:
    // Searches from the start of the changed text after every replacement.
    QByteArray ApplyFromStart(const QByteArray &line) const;

    QByteArray m_pattern;
    QByteArray m_replacement = ".";
    TRuleRegex m_regex;
};

QByteArray ReplaceSubstrings(const QByteArray &line, const QByteArray &pattern,
                             const QByteArray &replacement, bool caseSensitive);
