#pragma once

#include "rules/colorrec.h"
#include "viewer/linedecoration.h"

#include <memory>

class TCompiledRules;

// The colour rules at drawing time: the first enabled rule that matches a
// logical line paints its whole band in the rule's colours and, with Repl,
// shows the rule's text in its place. Paper shows no rule colours.
class TRuleDecorator final : public TQzLineDecorator
{
public:
    TRuleDecorator();
    // Compiles the rules once; every later drawing uses them.
    void SetRules(const TColorRec &rules);
    void Decorate(const TQzLogicalLine &line, const TQzDecorationContext &context,
                  TQzLineDecoration &decoration) const override;

private:
    std::shared_ptr<const TCompiledRules> m_rules;
};

// The program-wide sub-strings filter over the text of every line drawn,
// on the screen and on paper. Characters keep their places, so hit testing
// and the selection still land on the file's bytes.
class TSubstringsFilterDecorator final : public TQzLineDecorator
{
public:
    void Decorate(const TQzLogicalLine &line, const TQzDecorationContext &context,
                  TQzLineDecoration &decoration) const override;
};
