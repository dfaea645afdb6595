#include "rules/matchline.h"

#include <QByteArrayView>

namespace {

// Bytes of the UTF-8 character that starts at p (1 for a stray byte).
qsizetype CharBytes(const char *s, qsizetype size, qsizetype p)
{
    const auto c = static_cast<unsigned char>(s[p]);
    const qsizetype n = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    qsizetype k = 1;
    while (k < n && p + k < size && (static_cast<unsigned char>(s[p + k]) & 0xC0) == 0x80)
        ++k;
    return k;
}

} // namespace

TLineMatcher::TLineMatcher(const QByteArray &pattern, bool isRegex, bool caseSensitive, bool invert)
    : m_pattern(pattern), m_isRegex(isRegex), m_caseSensitive(caseSensitive), m_invert(invert)
{
    if (m_pattern.isEmpty())
        return;
    if (isRegex)
        m_regex = TRuleRegex(pattern, TRuleRegex::Flavour::Line, caseSensitive);
    else if (!caseSensitive)
        m_regex = TRuleRegex(pattern, TRuleRegex::Flavour::Literal, false);
}

bool TLineMatcher::Raw(const char *line, qsizetype size) const
{
    if (size <= 0 || m_pattern.isEmpty())
        return false;
    if (!m_isRegex && m_caseSensitive)
        return QByteArrayView(line, size).indexOf(QByteArrayView(m_pattern)) >= 0;
    return m_regex.Matches(line, size);
}

bool TLineMatcher::Matches(const char *line, qsizetype size) const
{
    return Raw(line, size) != m_invert;
}

bool MatchLine(const QByteArray &line, const QByteArray &pattern, bool isRegex, bool caseSensitive,
               bool invert)
{
    return TLineMatcher(pattern, isRegex, caseSensitive, invert).Matches(line);
}

TSubstringReplacer::TSubstringReplacer(const QByteArray &pattern, const QByteArray &replacement,
                                       bool caseSensitive)
    : m_pattern(pattern), m_replacement(replacement.isEmpty() ? QByteArray(".") : replacement)
{
    if (!m_pattern.isEmpty())
        m_regex = TRuleRegex(pattern, TRuleRegex::Flavour::Line, caseSensitive);
}

QByteArray TSubstringReplacer::Apply(const QByteArray &line) const
{
    if (line.isEmpty() || !m_regex.IsValid())
        return line;
    QByteArray result = line;
    qsizetype last = -1;
    for (;;) {
        qsizetype start = 0;
        qsizetype end = 0;
        if (m_regex.Find(result.constData(), result.size(), 0, &start, &end) !=
            TRuleRegex::Result::Match)
            break;
        if (start == last)
            break;
        last = start;
        if (end <= start)
            continue;
        QByteArray replaced;
        for (qsizetype p = start; p < end; p += CharBytes(result.constData(), end, p))
            replaced += m_replacement;
        result.replace(start, end - start, replaced);
    }
    return result;
}

QByteArray ReplaceSubstrings(const QByteArray &line, const QByteArray &pattern,
                             const QByteArray &replacement, bool caseSensitive)
{
    return TSubstringReplacer(pattern, replacement, caseSensitive).Apply(line);
}
