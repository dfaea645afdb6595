#include "rules/matchline.h"

#include <QByteArrayView>

#include <algorithm>
#include <cstring>

namespace {

// Bytes of the UTF-8 character that starts at p (1 for a stray byte).
qsizetype charBytes(const char *s, qsizetype size, qsizetype p)
{
    const auto c = static_cast<unsigned char>(s[p]);
    const qsizetype n = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    qsizetype k = 1;
    while (k < n && p + k < size && (static_cast<unsigned char>(s[p + k]) & 0xC0) == 0x80)
        ++k;
    return k;
}

} // namespace

LineMatcher::LineMatcher(const QByteArray &pattern, bool isRegex, bool caseSensitive, bool invert)
    : m_pattern(pattern), m_isRegex(isRegex), m_caseSensitive(caseSensitive), m_invert(invert)
{
    if (m_pattern.isEmpty())
        return;
    if (isRegex)
        m_regex = RuleRegex(pattern, RuleRegex::Flavour::Line, caseSensitive);
    else if (!caseSensitive)
        m_regex = RuleRegex(pattern, RuleRegex::Flavour::Literal, false);
}

RuleRegex::Result LineMatcher::test(const char *line, qsizetype size) const
{
    if (size <= 0 || m_pattern.isEmpty())
        return RuleRegex::Result::NoMatch;
    if (!m_isRegex && m_caseSensitive)
        return QByteArrayView(line, size).indexOf(QByteArrayView(m_pattern)) >= 0
                   ? RuleRegex::Result::Match
                   : RuleRegex::Result::NoMatch;
    return m_regex.find(line, size);
}

bool LineMatcher::matches(const char *line, qsizetype size) const
{
    return raw(line, size) != m_invert;
}

bool matchLine(const QByteArray &line, const QByteArray &pattern, bool isRegex, bool caseSensitive,
               bool invert)
{
    return LineMatcher(pattern, isRegex, caseSensitive, invert).matches(line);
}

SubstringReplacer::SubstringReplacer(const QByteArray &pattern, const QByteArray &replacement,
                                     bool caseSensitive)
    : m_pattern(pattern), m_replacement(replacement.isEmpty() ? QByteArray(".") : replacement)
{
    if (!m_pattern.isEmpty())
        m_regex = RuleRegex(pattern, RuleRegex::Flavour::Line, caseSensitive);
}

QByteArray SubstringReplacer::apply(const QByteArray &line) const
{
    if (line.isEmpty() || !m_regex.isValid())
        return line;
    // \G holds only where a search starts: searches must start at 0.
    if (m_pattern.contains("\\G"))
        return applyFromStart(line);

    // The loop of ApplyFromStart in one pass. A search from the start of
    // the changed text finds nothing before the last replacement (the text
    // there is as it was, and held no match), so each search starts where
    // the last replaced match starts; a match there again ends the loop.
    //
    // The changed text is out + buf[cur, end). Each replacement is written
    // into the bytes of buf already used, right before the rest of the line,
    // after a copy of the last characters of out for look-behinds, so that
    // the search runs on buf[subject, end) without moving the rest.
    QByteArray buf(line.constData(), line.size());
    QByteArray out;
    out.reserve(line.size());
    const qsizetype contextBytes = 4 * (2 * qsizetype(m_regex.maxLookbehind()) + 2);
    const RuleRegex::Text text =
        RuleRegex::isValidUtf8(line.constData(), line.size()) &&
                RuleRegex::isValidUtf8(m_replacement.constData(), m_replacement.size())
            ? RuleRegex::Text::ValidUtf8
            : RuleRegex::Text::InvalidUtf8;
    qsizetype subject = 0;
    qsizetype cur = 0;
    qsizetype last = -1;
    bool atLineStart = true;
    for (;;) {
        qsizetype start = 0;
        qsizetype end = 0;
        if (m_regex.find(buf.constData() + subject, buf.size() - subject, cur - subject, &start,
                         &end, text, !atLineStart) != RuleRegex::Result::Match)
            break;
        start += subject;
        end += subject;
        // A replacement that matches again, or a match with nothing to replace.
        if (start == last || end <= start)
            break;
        out.append(buf.constData() + cur, start - cur);
        qsizetype chars = 0;
        for (qsizetype p = start; p < end; p += charBytes(buf.constData(), end, p))
            ++chars;
        const qsizetype replaced = chars * m_replacement.size();
        qsizetype context = std::min(out.size(), contextBytes);
        while (context < out.size() && context > 0 &&
               (static_cast<unsigned char>(out[out.size() - context]) & 0xC0) == 0x80)
            ++context;
        const char *tail = out.constData() + out.size() - context;
        if (end - replaced - context >= 0) {
            cur = end - replaced;
            subject = cur - context;
            std::memcpy(buf.data() + subject, tail, size_t(context));
            for (qsizetype p = cur; p < end; p += m_replacement.size())
                std::memcpy(buf.data() + p, m_replacement.constData(),
                            size_t(m_replacement.size()));
        } else {
            // No room before the rest (a wider replacement near the start).
            QByteArray rebuilt;
            rebuilt.reserve(context + replaced + buf.size() - end);
            rebuilt.append(tail, context);
            for (qsizetype i = 0; i < chars; ++i)
                rebuilt.append(m_replacement);
            rebuilt.append(buf.constData() + end, buf.size() - end);
            buf = std::move(rebuilt);
            subject = 0;
            cur = context;
        }
        atLineStart = context == out.size();
        last = cur;
    }
    out.append(buf.constData() + cur, buf.size() - cur);
    return out;
}

QByteArray SubstringReplacer::applyFromStart(const QByteArray &line) const
{
    QByteArray result = line;
    qsizetype last = -1;
    for (;;) {
        qsizetype start = 0;
        qsizetype end = 0;
        if (m_regex.find(result.constData(), result.size(), 0, &start, &end) !=
            RuleRegex::Result::Match)
            break;
        if (start == last)
            break;
        last = start;
        if (end <= start)
            continue;
        QByteArray replaced;
        for (qsizetype p = start; p < end; p += charBytes(result.constData(), end, p))
            replaced += m_replacement;
        result.replace(start, end - start, replaced);
    }
    return result;
}

QByteArray replaceSubstrings(const QByteArray &line, const QByteArray &pattern,
                             const QByteArray &replacement, bool caseSensitive)
{
    return SubstringReplacer(pattern, replacement, caseSensitive).apply(line);
}
