#pragma once

#include <QRegularExpression>
#include <QString>

#include <utility>
#include <vector>

// Finds every match of the quick find text in one decoded line, the way a
// search of the file would find them: plain or regular expression, with or
// without letter case, whole words only. Works on characters, so every code
// page and UTF-16 look the same to it.
class QuickMatcher
{
public:
    struct Pattern
    {
        QString text;
        bool caseSensitive = false;
        bool wholeWords = false;
        bool regex = false;
        bool operator==(const Pattern &) const = default;
    };
    // [from, to) in characters of the line.
    using Ranges = std::vector<std::pair<int, int>>;

    QuickMatcher() = default;
    explicit QuickMatcher(Pattern pattern);

    const Pattern &pattern() const { return m_pattern; }
    // Nothing to look for: no text, or a regular expression that does not
    // compile.
    bool empty() const { return !m_usable; }
    // The matches of the line in order, none empty and none overlapping.
    Ranges find(const QString &line) const;
    // Whether the line holds a match, also one of no length ("x*", "^$").
    bool holds(const QString &line) const;

private:
    bool boundedAsWord(const QString &line, int from, int to) const;

    Pattern m_pattern;
    QRegularExpression m_regex;
    bool m_usable = false;
};
