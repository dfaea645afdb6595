// The colour rules and the sub-strings filter as the viewer's drawing gets
// them: one decoration per logical line, on the screen and on paper.
#include "app/colorconv.h"
#include "app/ruledecorator.h"
#include "rules/substringsfilter.h"

#include <gtest/gtest.h>

namespace {

LineDecoration decorate(const std::vector<const LineDecorator *> &decorators, const QString &text,
                        bool printing = false)
{
    LogicalLine line;
    line.text = text;
    for (int i = 0; i <= text.size(); ++i)
        line.offsets.push_back(i);
    LineDecoration decoration;
    decoration.text = line.text;
    decoration.offsets = line.offsets;
    for (const LineDecorator *d : decorators)
        d->decorate(line, DecorationContext{printing}, decoration);
    return decoration;
}

TEST(RuleDecorator, TheFirstEnabledMatchingRulePaintsTheBand)
{
    RuleDecorator rules;
    rules.setRules(defaultColorRec());
    struct Case
    {
        const char *line;
        qint32 back; // -1: no band
        qint32 fore;
    };
    const Case cases[] = {
        {"2026 Error: disk", 0x0000FF, 0xFFFFFF},
        {"an error, lower case", 0x0000FF, 0xFFFFFF},
        {"Warning then Error", 0x0000FF, 0xFFFFFF},
        {"a Warning", 0x00FFFF, 0x000000},
        {"Info", 0xF0CAA6, 0x000000},
        {"debug", -1, 0},
        {"", -1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        const LineDecoration d = decorate({&rules}, QString::fromUtf8(c.line));
        if (c.back < 0) {
            EXPECT_FALSE(d.bandBack.isValid());
            continue;
        }
        EXPECT_EQ(d.bandBack, colorFromInt(c.back));
        EXPECT_EQ(d.bandFore, colorFromInt(c.fore));
        EXPECT_FALSE(d.replaceLine);
    }
    // Paper shows no rule colours.
    EXPECT_FALSE(decorate({&rules}, "Error", true).bandBack.isValid());
}

TEST(RuleDecorator, AReplacingRuleHidesTheLineAndTheFilterLeavesItAlone)
{
    ColorRules rec = defaultColorRec();
    rec.rule(1).en = false;
    rec.rule(2).repl = true;
    rec.rule(2).rStr = "[hidden \xe2\x80\xa6]";
    RuleDecorator rules;
    rules.setRules(rec);
    SubstringsFilterValues values;
    values.repFrom = {"[0-9]", "", ""};
    setCurrentSubstringsFilter(values);
    const SubstringsFilterDecorator filter;

    const LineDecoration hidden = decorate({&rules, &filter}, "Warning 42");
    EXPECT_TRUE(hidden.replaceLine);
    EXPECT_EQ(hidden.replacement, QString::fromUtf8("[hidden \xe2\x80\xa6]"));
    EXPECT_EQ(hidden.bandBack, colorFromInt(0x00FFFF));

    // A disabled rule is skipped; the filter rewrites what is shown, on
    // paper too, and keeps each character on its bytes.
    for (const bool printing : {false, true}) {
        SCOPED_TRACE(printing);
        const LineDecoration shown = decorate({&rules, &filter}, "Error id=123", printing);
        EXPECT_FALSE(shown.bandBack.isValid());
        EXPECT_TRUE(shown.rewritten);
        EXPECT_EQ(shown.text, "Error id=...");
        EXPECT_EQ(shown.offsets.size(), size_t(13));
        EXPECT_EQ(shown.offsets.back(), 12);
    }
    setCurrentSubstringsFilter(SubstringsFilterValues{});
    EXPECT_FALSE(decorate({&rules, &filter}, "id=123").rewritten);
}

TEST(RuleDecorator, TwentyInvertedEmptyRulesPaintEveryLineByRuleOne)
{
    ColorRules rec;
    for (ColorRule &item : rec.items) {
        item.inv = true;
        item.colorB = 0x123456;
    }
    rec.rule(1).colorB = 0x00FF00;
    RuleDecorator rules;
    rules.setRules(rec);
    for (const char *line : {"anything", "", "Error"})
        EXPECT_EQ(decorate({&rules}, line).bandBack, colorFromInt(0x00FF00)) << line;
}

} // namespace
