#pragma once

#include "viewer/linedecoration.h"
#include "viewer/quickmatcher.h"

#include <QColor>

// Marks every match of the quick find text on the lines drawn, in a colour
// of its own. It sits after the colour rules and before the selection, so a
// match shows over a rule's band and the selection over the match.
class MatchDecorator final : public LineDecorator
{
public:
    static inline const QColor kDefaultBack{0xff, 0xd8, 0x4d};

    // An empty pattern marks nothing.
    void setPattern(const QuickMatcher::Pattern &pattern);
    const QuickMatcher &matcher() const { return m_matcher; }
    void setColors(const QColor &fore, const QColor &back);

    void decorate(const LogicalLine &line, const DecorationContext &context,
                  LineDecoration &decoration) const override;

private:
    QuickMatcher m_matcher;
    QColor m_fore{Qt::black};
    QColor m_back = kDefaultBack;
};
