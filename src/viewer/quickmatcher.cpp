#include "viewer/quickmatcher.h"

#include "search/plainmatcher.h"

QuickMatcher::QuickMatcher(Pattern pattern) : m_pattern(std::move(pattern))
{
    if (m_pattern.text.isEmpty())
        return;
    if (!m_pattern.regex) {
        m_usable = true;
        return;
    }
    QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
    if (!m_pattern.caseSensitive)
        options |= QRegularExpression::CaseInsensitiveOption;
    m_regex.setPattern(m_pattern.text);
    m_regex.setPatternOptions(options);
    m_usable = m_regex.isValid();
}

bool QuickMatcher::boundedAsWord(const QString &line, int from, int to) const
{
    if (!m_pattern.wholeWords)
        return true;
    // The search's own idea of a word's edge.
    return (from == 0 || PlainMatcher::isWordSeparator(line[from - 1].unicode())) &&
           (to >= line.size() || PlainMatcher::isWordSeparator(line[to].unicode()));
}

QuickMatcher::Ranges QuickMatcher::find(const QString &line) const
{
    Ranges ranges;
    if (!m_usable)
        return ranges;
    if (!m_pattern.regex) {
        const Qt::CaseSensitivity cs =
            m_pattern.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
        const int length = int(m_pattern.text.size());
        qsizetype at = line.indexOf(m_pattern.text, 0, cs);
        while (at >= 0) {
            const int from = int(at);
            if (boundedAsWord(line, from, from + length)) {
                ranges.emplace_back(from, from + length);
                at = line.indexOf(m_pattern.text, from + length, cs);
            } else {
                at = line.indexOf(m_pattern.text, from + 1, cs);
            }
        }
        return ranges;
    }
    // A pattern that matches nothing at some places ("x*") marks nothing
    // there; the global match steps past such places itself.
    QRegularExpressionMatchIterator it = m_regex.globalMatch(line);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const int from = int(match.capturedStart());
        const int to = int(match.capturedEnd());
        if (to > from && boundedAsWord(line, from, to))
            ranges.emplace_back(from, to);
    }
    return ranges;
}

bool QuickMatcher::holds(const QString &line) const
{
    if (!m_usable)
        return false;
    if (!m_pattern.regex)
        return !find(line).empty();
    QRegularExpressionMatchIterator it = m_regex.globalMatch(line);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        if (boundedAsWord(line, int(match.capturedStart()), int(match.capturedEnd())))
            return true;
    }
    return false;
}
