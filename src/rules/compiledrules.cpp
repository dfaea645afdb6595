#include "rules/compiledrules.h"

CompiledRules::CompiledRules(const ColorRules &rec) : m_rec(rec)
{
    for (int n = 1; n <= ColorRules::count; ++n) {
        const ColorRule &item = rec.rule(n);
        if (!item.en)
            continue;
        m_anyEnabled = true;
        m_matchers[size_t(n - 1)] = LineMatcher(item.text, true, item.caseSensitive, item.inv);
    }
}

int CompiledRules::firstMatch(const char *line, qsizetype size) const
{
    if (!m_anyEnabled)
        return 0;
    for (int n = 1; n <= ColorRules::count; ++n) {
        if (m_rec.rule(n).en && m_matchers[size_t(n - 1)].matches(line, size))
            return n;
    }
    return 0;
}
