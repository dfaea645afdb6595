#include "rules/colorrec.h"
#include "rules/compiledrules.h"
#include "rules/matchline.h"
#include "rules/substringsfilter.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

struct MatchCase
{
    const char *name;
    QByteArray line;
    QByteArray pattern;
    bool isRegex;
    bool caseSensitive;
    bool invert;
    bool expected;
};

TEST(matchLine, DecidesLinesAsTheRulesAndFilteredLogsNeed)
{
    const MatchCase cases[] = {
        {"regex anywhere", "2026 Error: disk", "Err.r", true, false, false, true},
        {"regex caseless by default", "an error here", "ERROR", true, false, false, true},
        {"regex case sensitive", "an error here", "ERROR", true, true, false, false},
        {"regex dot spans everything", "a\tb", "a.b", true, false, false, true},
        {"anchors hold at the line's ends", "Warning: x", "^Warn.*x$", true, false, false, true},
        {"anchor misses inside", "x Warning", "^Warn", true, false, false, false},
        {"empty line never matches", "", ".*", true, false, false, false},
        {"inverted rule matches the empty line", "", "x", true, false, true, true},
        {"empty pattern matches nothing", "abc", "", true, false, false, false},
        {"inverted empty pattern matches all", "abc", "", true, false, true, true},
        {"invert turns a hit round", "Error", "Error", true, false, true, false},
        {"expression that does not compile never matches", "a(b", "a(b", true, false, false, false},
        {"... not even inverted would it fail", "a(b", "(", true, false, true, true},
        {"plain text is not an expression", "a.b", "a.b", false, true, false, true},
        {"plain dot is a dot", "axb", "a.b", false, true, false, false},
        {"plain caseless folds ASCII", "ERROR x", "error", false, false, false, true},
        {"plain caseless leaves other letters", "\xc3\x89t\xc3\xa9", "\xc3\xa9t\xc3\xa9", false,
         false, false, false},
        {"plain case sensitive", "ERROR", "error", false, true, false, false},
        {"regex on UTF-8 counts characters", "\xc3\xa9t\xc3\xa9", "^.t.$", true, false, false,
         true},
        {"invalid UTF-8 in a line still matches around it", "ab\xff\xfe cd", "cd", true, false,
         false, true},
        {"\\S takes in letters beyond ASCII", "x=\xc3\xa9t\xc3\xa9", "=\\S+$", true, false, false,
         true},
        {"\\W is any non-word character", "caf\xc3\xa9", "f\\W", true, false, false, true},
        {"\\D too", "\xc3\xa9", "^\\D$", true, false, false, true},
        {"... also beside bytes that are no UTF-8", "\xff\xc3\xa9", "\\W$", true, false, false,
         true},
    };
    for (const MatchCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(matchLine(c.line, c.pattern, c.isRegex, c.caseSensitive, c.invert), c.expected);
        const LineMatcher matcher(c.pattern, c.isRegex, c.caseSensitive, c.invert);
        EXPECT_EQ(matcher.matches(c.line), c.expected);
    }
}

TEST(matchLine, CatastrophicBacktrackingEndsAsNoMatchQuickly)
{
    const QByteArray line = QByteArray(2048, 'a') + 'b';
    const LineMatcher matcher("(a+)+$", true, false, false);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(matcher.matches(line));
    EXPECT_TRUE(LineMatcher("(a+)+$", true, false, true).matches(line));
    // Not a timing test: without a limit this would run for years.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(matchLine, AnExpressionThatDoesNotCompileSaysWhereAndWhy)
{
    const RuleRegex regex("ab(c", RuleRegex::Flavour::Line, false);
    EXPECT_FALSE(regex.isValid());
    EXPECT_EQ(regex.errorOffset(), 4);
    EXPECT_TRUE(regex.errorText().contains(QLatin1String("missing closing parenthesis")))
        << regex.errorText().toStdString();
    EXPECT_FALSE(LineMatcher("ab(c", true, false, false).isValid());
    EXPECT_TRUE(LineMatcher("ab(c", false, false, false).isValid());
    EXPECT_TRUE(LineMatcher("ab(c", false, true, false).isValid()) << "plain text is always valid";
}

struct ReplaceCase
{
    const char *name;
    QByteArray line;
    QByteArray pattern;
    QByteArray replacement;
    QByteArray expected;
};

TEST(replaceSubstrings, OverwritesEveryCharacterOfEachMatch)
{
    const ReplaceCase cases[] = {
        {"digits", "id=123 x=4", "[0-9]", ".", "id=... x=."},
        {"caseless", "Secret secret", "SECRET", "#", "###### ######"},
        {"a replacement that matches stops at its first repeat", "xaxbx", "x", "x", "xaxbx"},
        {"a replacement never makes a match before it", "bxy", "b\\.|xy", ".", "b.."},
        {"\\S covers letters beyond ASCII", "password=p\xc3\xa4ss x", "password=\\S+", "*",
         "************* x"},
        {"look-behinds see the replaced text", "a1b2", "(?<=\\.)[a-z]|[0-9]", ".", "a..."},
        {"\"^\" holds only at the line's start", "aaa", "^a", ".", ".aa"},
        {"wider replacement characters at the start", "aaab", "a", "\xf0\x9f\x98\x80",
         "\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80"
         "b"},
        {"narrower ones for wide characters", "\xc3\xa9\xc3\xa9x\xc3\xa9", "\xc3\xa9", "-", "--x-"},
        {"bytes that are no UTF-8 stay",
         "a\xff"
         "1\xff"
         "2",
         "[0-9]", "#", "a\xff#\xff#"},
        {"an empty match changes nothing", "abc", "z*", ".", "abc"},
        {"empty pattern leaves the line", "abc", "", ".", "abc"},
        {"characters, not bytes", "caf\xc3\xa9!", "f.", "*", "ca**!"},
        {"a multi-byte replacement character", "ab", "b", "\xc2\xb7", "a\xc2\xb7"},
        {"an expression that does not compile changes nothing", "a(b", "(", ".", "a(b"},
    };
    for (const ReplaceCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(replaceSubstrings(c.line, c.pattern, c.replacement, false), c.expected);
    }
}

// A long line full of matches is rewritten in one pass (the search goes on
// in the changed text instead of starting again from the line's start).
TEST(replaceSubstrings, ALineFullOfMatchesIsRewrittenWhole)
{
    QByteArray line;
    QByteArray expected;
    for (int i = 0; i < 20000; ++i) {
        line += "10.0.0.7 \xc3\xa9 ";
        expected += "........ \xc3\xa9 ";
    }
    EXPECT_EQ(replaceSubstrings(line, "[0-9]", ".", false), expected);
    EXPECT_EQ(replaceSubstrings(line, "[0-9]+\\.", "\xc2\xb7", false).count("\xc2\xb7"), 20000 * 7);
}

TEST(SubstringsFilter, PassesRunInOrderAndKeepEveryCharactersPlace)
{
    SubstringsFilterValues values;
    values.repFrom = {"[0-9]", "", "\\.\\.\\.x"};
    values.repTo = {".", ".", "#"};
    const SubstringsFilter filter(values);
    ASSERT_TRUE(filter.isActive());
    // The third pass sees the dots of the first.
    EXPECT_EQ(filter.apply(QByteArray("id=123x")), QByteArray("id=####"));

    // A character outside the BMP replaced by one unit: the map follows.
    const QString text =
        QStringLiteral("a1") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("2");
    std::vector<int> offsets = {0, 1, 2, 2, 6, 7}; // units of a UTF-8 file
    values.repFrom = {"[0-9]|\\x{1F600}", "", ""};
    QString shown;
    ASSERT_TRUE(SubstringsFilter(values).apply(text, shown, &offsets));
    EXPECT_EQ(shown, QStringLiteral("a..."));
    EXPECT_EQ(offsets, (std::vector<int>{0, 1, 2, 6, 7}));

    EXPECT_FALSE(SubstringsFilter(SubstringsFilterValues{}).apply(text, shown));
}

TEST(ColorRules, DefaultsAndTheFirstEnabledMatchingRule)
{
    const ColorRules defaults = defaultColorRec();
    EXPECT_EQ(defaults.rule(1).text, "Error");
    EXPECT_EQ(defaults.rule(1).colorF, 0xFFFFFF);
    EXPECT_EQ(defaults.rule(1).colorB, 0x0000FF);
    EXPECT_EQ(defaults.rule(2).text, "Warning");
    EXPECT_EQ(defaults.rule(2).colorB, 0x00FFFF);
    EXPECT_EQ(defaults.rule(3).text, "Info");
    EXPECT_EQ(defaults.rule(3).colorB, 0xF0CAA6);
    for (int n = 4; n <= ColorRules::count; ++n) {
        EXPECT_TRUE(defaults.rule(n).text.isEmpty());
        EXPECT_TRUE(defaults.rule(n).en);
        EXPECT_EQ(defaults.rule(n).colorF, 0);
        EXPECT_EQ(defaults.rule(n).colorB, 0xC0C0C0);
        EXPECT_EQ(defaults.rule(n).rStr, "...");
    }

    ColorRules rec = defaults;
    const CompiledRules plain(rec);
    EXPECT_EQ(plain.firstMatch("Warning and Error"), 1);
    EXPECT_EQ(plain.firstMatch("an error"), 1);
    EXPECT_EQ(plain.firstMatch("WARNING"), 2);
    EXPECT_EQ(plain.firstMatch("Info"), 3);
    EXPECT_EQ(plain.firstMatch("debug"), 0);

    rec.rule(1).en = false;
    rec.rule(2).caseSensitive = true;
    rec.rule(5).inv = true; // empty and inverted: every line
    const CompiledRules changed(rec);
    EXPECT_EQ(changed.firstMatch("Warning and Error"), 2);
    EXPECT_EQ(changed.firstMatch("WARNING and Error"), 5);
    EXPECT_EQ(changed.firstMatch(""), 5);

    ColorRules broken = defaults;
    broken.rule(1).text = "Err(or";
    EXPECT_EQ(CompiledRules(broken).firstMatch("Err(or Warning"), 2);

    ColorRules allInverted;
    for (ColorRule &item : allInverted.items)
        item.inv = true;
    EXPECT_EQ(CompiledRules(allInverted).firstMatch("anything"), 1);
}

} // namespace
