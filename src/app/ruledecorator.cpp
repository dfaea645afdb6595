#include "app/ruledecorator.h"

#include "app/colorconv.h"
#include "rules/compiledrules.h"
#include "rules/substringsfilter.h"

TRuleDecorator::TRuleDecorator() : m_rules(std::make_shared<const TCompiledRules>()) {}

void TRuleDecorator::SetRules(const TColorRec &rules)
{
    m_rules = std::make_shared<const TCompiledRules>(rules);
}

void TRuleDecorator::Decorate(const TQzLogicalLine &line, const TQzDecorationContext &context,
                              TQzLineDecoration &decoration) const
{
    if (context.Printing || !m_rules->AnyEnabled())
        return;
    const int n = m_rules->FirstMatch(line.Text.toUtf8());
    if (n == 0)
        return;
    const TColorRecItem &rule = m_rules->Rules().Rule(n);
    decoration.BandBack = ColorFromInt(rule.ColorB);
    decoration.BandFore = ColorFromInt(rule.ColorF);
    if (rule.Repl) {
        decoration.ReplaceLine = true;
        decoration.Replacement = QString::fromUtf8(rule.RStr);
    }
}

void TSubstringsFilterDecorator::Decorate(const TQzLogicalLine &, const TQzDecorationContext &,
                                          TQzLineDecoration &decoration) const
{
    const std::shared_ptr<const TSubstringsFilter> filter = CurrentSubstringsFilter();
    if (!filter->IsActive() || decoration.ReplaceLine)
        return;
    // Apply maps the offsets in place only when it rewrites, so the line's
    // own are not copied for every line it leaves alone.
    QString shown;
    if (filter->Apply(decoration.Text, shown, &decoration.Offsets))
        decoration.Rewrite(std::move(shown), std::move(decoration.Offsets));
}
