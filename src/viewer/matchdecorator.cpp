#include "viewer/matchdecorator.h"

void MatchDecorator::setPattern(const QuickMatcher::Pattern &pattern)
{
    if (pattern != m_matcher.pattern())
        m_matcher = QuickMatcher(pattern);
}

void MatchDecorator::setColors(const QColor &fore, const QColor &back)
{
    m_fore = fore;
    m_back = back;
}

void MatchDecorator::decorate(const LogicalLine &line, const DecorationContext &context,
                              LineDecoration &decoration) const
{
    // Paper shows the text as it is.
    if (context.printing || m_matcher.empty() || line.offsets.empty())
        return;
    const int last = int(line.offsets.size()) - 1;
    for (const auto &[from, to] : m_matcher.find(line.text)) {
        // Offsets map each character to its units, so the marks land on the
        // file's bytes in any encoding.
        if (to > last)
            break;
        decoration.marks.push_back({line.pos + qint64(line.offsets[size_t(from)]) * line.charSize,
                                    line.pos + qint64(line.offsets[size_t(to)]) * line.charSize,
                                    m_fore, m_back});
    }
}
