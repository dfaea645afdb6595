#include "rules/compiledrules.h"

TCompiledRules::TCompiledRules(const TColorRec &rec) : m_rec(rec)
{
    for (int n = 1; n <= TColorRec::Count; ++n) {
        const TColorRecItem &item = rec.Rule(n);
        if (!item.En)
            continue;
        m_anyEnabled = true;
        m_matchers[size_t(n - 1)] = TLineMatcher(item.Text, true, item.Case, item.Inv);
    }
}

int TCompiledRules::FirstMatch(const char *line, qsizetype size) const
{
    if (!m_anyEnabled)
        return 0;
    for (int n = 1; n <= TColorRec::Count; ++n) {
        if (m_rec.Rule(n).En && m_matchers[size_t(n - 1)].Matches(line, size))
            return n;
    }
    return 0;
}
