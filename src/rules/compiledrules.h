#pragma once

#include "rules/colorrec.h"
#include "rules/matchline.h"

#include <QByteArray>

#include <array>

// The colour rules made ready for drawing: every enabled rule's expression
// compiled once, when the rules change, never per line. Immutable, so the
// drawing of every viewer may share one.
class TCompiledRules
{
public:
    TCompiledRules() : TCompiledRules(TColorRec{}) {}
    explicit TCompiledRules(const TColorRec &rec);

    // The number (1 to 20) of the first enabled rule that matches the line,
    // or 0. Rules are regular expressions here, whatever the find dialog uses.
    int FirstMatch(const char *line, qsizetype size) const;
    int FirstMatch(const QByteArray &line) const
    {
        return FirstMatch(line.constData(), line.size());
    }

    const TColorRec &Rules() const { return m_rec; }
    // Whether any rule is enabled at all (nothing to test otherwise).
    bool AnyEnabled() const { return m_anyEnabled; }

private:
    TColorRec m_rec;
    std::array<TLineMatcher, TColorRec::Count> m_matchers;
    bool m_anyEnabled = false;
};
