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
class LineMatcher
{
public:
    LineMatcher() = default; // an empty pattern
    LineMatcher(const QByteArray &pattern, bool isRegex, bool caseSensitive, bool invert);

    bool matches(const char *line, qsizetype size) const;
    bool matches(const QByteArray &line) const { return matches(line.constData(), line.size()); }

    bool isRegex() const { return m_isRegex; }
    bool invert() const { return m_invert; }
    const QByteArray &pattern() const { return m_pattern; }
    // The test of the pattern alone, without the inversion: whether the
    // line holds a match (false for an empty line or pattern).
    bool raw(const char *line, qsizetype size) const
    {
        return test(line, size) == RuleRegex::Result::Match;
    }
    // The same, telling a matcher that gave up (Failed: the match limit)
    // from one that found nothing.
    RuleRegex::Result test(const char *line, qsizetype size) const;
    // False for a regular expression that does not compile; its reason.
    bool isValid() const { return m_pattern.isEmpty() || !m_isRegex || m_regex.isValid(); }
    const RuleRegex &regex() const { return m_regex; }

private:
    QByteArray m_pattern;
    bool m_isRegex = true;
    bool m_caseSensitive = false;
    bool m_invert = false;
    RuleRegex m_regex; // the expression, or the caseless literal
};

// One test, compiled for this call only; for many lines use LineMatcher.
bool matchLine(const QByteArray &line, const QByteArray &pattern, bool isRegex, bool caseSensitive,
               bool invert);

// One sub-strings filter pass, compiled once: every character of a match of
// the pattern is overwritten by one replacement character. Matching goes on
// in the changed text after each replacement and ends when no match is left
// or a match starts where the one before did (so a replacement character
// that matches the pattern ends it too). Characters are UTF-8 code points,
// so the count of characters stays. Time is linear in the line: a match that
// only a replacement creates before the replaced text is not looked for.
class SubstringReplacer
{
public:
    SubstringReplacer() = default;
    // replacement: one character (its UTF-8 bytes); empty stands for ".".
    SubstringReplacer(const QByteArray &pattern, const QByteArray &replacement, bool caseSensitive);
    bool isActive() const { return !m_pattern.isEmpty(); }
    const RuleRegex &regex() const { return m_regex; }
    QByteArray apply(const QByteArray &line) const;

private:
    // Searches from the start of the changed text after every replacement.
    QByteArray applyFromStart(const QByteArray &line) const;

    QByteArray m_pattern;
    QByteArray m_replacement = ".";
    RuleRegex m_regex;
};

QByteArray replaceSubstrings(const QByteArray &line, const QByteArray &pattern,
                             const QByteArray &replacement, bool caseSensitive);
