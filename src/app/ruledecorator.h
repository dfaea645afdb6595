#pragma once

#include "rules/colorrec.h"
#include "viewer/linedecoration.h"

#include <memory>

class CompiledRules;

// The colour rules at drawing time: the first enabled rule that matches a
// logical line paints its whole band in the rule's colours and, with Repl,
// shows the rule's text in its place. Paper shows no rule colours.
class RuleDecorator final : public LineDecorator
{
public:
    RuleDecorator();
    // Compiles the rules once; every later drawing uses them.
    void setRules(const ColorRules &rules);
    void decorate(const LogicalLine &line, const DecorationContext &context,
                  LineDecoration &decoration) const override;

private:
    std::shared_ptr<const CompiledRules> m_rules;
};

// The program-wide sub-strings filter over the text of every line drawn,
// on the screen and on paper. Characters keep their places, so hit testing
// and the selection still land on the file's bytes.
class SubstringsFilterDecorator final : public LineDecorator
{
public:
    void decorate(const LogicalLine &line, const DecorationContext &context,
                  LineDecoration &decoration) const override;
};
