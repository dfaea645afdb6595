// The colour rules and the sub-strings filter as the viewer's drawing gets
// them: one decoration per logical line, on the screen and on paper.
#include "app/colorconv.h"
#include "app/ruledecorator.h"
#include "rules/substringsfilter.h"

#include <gtest/gtest.h>

namespace {

TQzLineDecoration Decorate(const std::vector<const TQzLineDecorator *> &decorators,
                           const QString &text, bool printing = false)
{
    TQzLogicalLine line;
    line.Text = text;
    for (int i = 0; i <= text.size(); ++i)
        line.Offsets.push_back(i);
    TQzLineDecoration decoration;
    decoration.Text = line.Text;
    decoration.Offsets = line.Offsets;
    for (const TQzLineDecorator *d : decorators)
        d->Decorate(line, TQzDecorationContext{printing}, decoration);
    return decoration;
}

TEST(RuleDecorator, TheFirstEnabledMatchingRulePaintsTheBand)
{
    TRuleDecorator rules;
    rules.SetRules(DefaultColorRec());
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
        const TQzLineDecoration d = Decorate({&rules}, QString::fromUtf8(c.line));
        if (c.back < 0) {
            EXPECT_FALSE(d.BandBack.isValid());
            continue;
        }
        EXPECT_EQ(d.BandBack, ColorFromInt(c.back));
        EXPECT_EQ(d.BandFore, ColorFromInt(c.fore));
        EXPECT_FALSE(d.ReplaceLine);
    }
    // Paper shows no rule colours.
    EXPECT_FALSE(Decorate({&rules}, "Error", true).BandBack.isValid());
}

TEST(RuleDecorator, AReplacingRuleHidesTheLineAndTheFilterLeavesItAlone)
{
    TColorRec rec = DefaultColorRec();
    rec.Rule(1).En = false;
    rec.Rule(2).Repl = true;
    rec.Rule(2).RStr = "[hidden \xe2\x80\xa6]";
    TRuleDecorator rules;
    rules.SetRules(rec);
    TSubstringsFilterValues values;
    values.RepFrom = {"[0-9]", "", ""};
    SetCurrentSubstringsFilter(values);
    const TSubstringsFilterDecorator filter;

    const TQzLineDecoration hidden = Decorate({&rules, &filter}, "Warning 42");
    EXPECT_TRUE(hidden.ReplaceLine);
    EXPECT_EQ(hidden.Replacement, QString::fromUtf8("[hidden \xe2\x80\xa6]"));
    EXPECT_EQ(hidden.BandBack, ColorFromInt(0x00FFFF));

    // A disabled rule is skipped; the filter rewrites what is shown, on
    // paper too, and keeps each character on its bytes.
    for (const bool printing : {false, true}) {
        SCOPED_TRACE(printing);
        const TQzLineDecoration shown = Decorate({&rules, &filter}, "Error id=123", printing);
        EXPECT_FALSE(shown.BandBack.isValid());
        EXPECT_TRUE(shown.Rewritten);
        EXPECT_EQ(shown.Text, "Error id=...");
        EXPECT_EQ(shown.Offsets.size(), size_t(13));
        EXPECT_EQ(shown.Offsets.back(), 12);
    }
    SetCurrentSubstringsFilter(TSubstringsFilterValues{});
    EXPECT_FALSE(Decorate({&rules, &filter}, "id=123").Rewritten);
}

TEST(RuleDecorator, TwentyInvertedEmptyRulesPaintEveryLineByRuleOne)
{
    TColorRec rec;
    for (TColorRecItem &item : rec.Items) {
        item.Inv = true;
        item.ColorB = 0x123456;
    }
    rec.Rule(1).ColorB = 0x00FF00;
    TRuleDecorator rules;
    rules.SetRules(rec);
    for (const char *line : {"anything", "", "Error"})
        EXPECT_EQ(Decorate({&rules}, line).BandBack, ColorFromInt(0x00FF00)) << line;
}

} // namespace
