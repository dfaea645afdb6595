#include "app/ruledecorator.h"

#include "app/colorconv.h"
#include "rules/compiledrules.h"
#include "rules/substringsfilter.h"

RuleDecorator::RuleDecorator() : m_rules(std::make_shared<const CompiledRules>()) {}

void RuleDecorator::setRules(const ColorRules &rules)
{
    m_rules = std::make_shared<const CompiledRules>(rules);
}

void RuleDecorator::decorate(const LogicalLine &line, const DecorationContext &context,
                             LineDecoration &decoration) const
{
    if (context.printing || !m_rules->anyEnabled())
        return;
    const int n = m_rules->firstMatch(line.text.toUtf8());
    if (n == 0)
        return;
    const ColorRule &rule = m_rules->rules().rule(n);
    decoration.bandBack = colorFromInt(rule.colorB);
    decoration.bandFore = colorFromInt(rule.colorF);
    if (rule.repl) {
        decoration.replaceLine = true;
        decoration.replacement = QString::fromUtf8(rule.rStr);
    }
}

void SubstringsFilterDecorator::decorate(const LogicalLine &, const DecorationContext &,
                                         LineDecoration &decoration) const
{
    const std::shared_ptr<const SubstringsFilter> filter = currentSubstringsFilter();
    if (!filter->isActive() || decoration.replaceLine)
        return;
    // Apply maps the offsets in place only when it rewrites, so the line's
    // own are not copied for every line it leaves alone.
    QString shown;
    if (filter->apply(decoration.text, shown, &decoration.offsets))
        decoration.rewrite(std::move(shown), std::move(decoration.offsets));
}
