#pragma once

#include "rules/colorrec.h"
#include "rules/matchline.h"

#include <QByteArray>

#include <array>

// The colour rules made ready for drawing: every enabled rule's expression
// compiled once, when the rules change, never per line. Immutable, so the
// drawing of every viewer may share one.
class CompiledRules
{
public:
    CompiledRules() : CompiledRules(ColorRules{}) {}
    explicit CompiledRules(const ColorRules &rec);

    // The number (1 to 20) of the first enabled rule that matches the line,
    // or 0. Rules are regular expressions here, whatever the find dialog uses.
    int firstMatch(const char *line, qsizetype size) const;
    int firstMatch(const QByteArray &line) const
    {
        return firstMatch(line.constData(), line.size());
    }

    const ColorRules &rules() const { return m_rec; }
    // Whether any rule is enabled at all (nothing to test otherwise).
    bool anyEnabled() const { return m_anyEnabled; }

private:
    ColorRules m_rec;
    std::array<LineMatcher, ColorRules::count> m_matchers;
    bool m_anyEnabled = false;
};
