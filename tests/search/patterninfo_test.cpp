#include "search/patterninfo.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

constexpr uint32_t kUtf = PCRE2_UTF;

PatternInfo infoOf(const std::string &pattern, uint32_t options = 0,
                   uint32_t newline = PCRE2_NEWLINE_ANYCRLF)
{
    return PatternInfo(pattern, kUtf | options, newline);
}

std::set<std::string> flagsOf(const PatternInfo &info)
{
    std::set<std::string> flags;
    const std::pair<const char *, bool> all[] = {
        {"unsure", info.unsure},
        {"lookAhead", info.lookAhead},
        {"negativeLookAround", info.negativeLookAround},
        {"nonAtomicAssertion", info.nonAtomicAssertion},
        {"atomic", info.atomic},
        {"possessive", info.possessive},
        {"condition", info.condition},
        {"call", info.call},
        {"verb", info.verb},
        {"startItem", info.startItem},
        {"scriptRun", info.scriptRun},
        {"callout", info.callout},
        {"resetsMatchStart", info.resetsMatchStart},
        {"textAnchor", info.textAnchor},
        {"dollar", info.dollar},
        {"grapheme", info.grapheme},
        {"wordBoundary", info.wordBoundary},
        {"multilineOff", info.multilineOff},
        {"mayMatchLineBreak", info.mayMatchLineBreak},
    };
    for (const auto &[name, set] : all) {
        if (set)
            flags.insert(name);
    }
    return flags;
}

// Constructs are found where PCRE2 reads them, not where their text shows:
// escaped, quoted, in a class, in a comment, or spread out by extended mode.
TEST(PatternInfo, ReadsTheSyntaxNotItsText)
{
    struct Case
    {
        const char *pattern;
        uint32_t options;
        std::set<std::string> flags;
    } cases[] = {
        // Text that looks like a construct and is none.
        {"\\(?=a\\)", 0, {}},
        {"[(?=]", 0, {}},
        {"[]\\\\(?!]", 0, {}},
        {"\\Q(?>a*+(*COMMIT)\\E", 0, {}},
        {"(?#(?!a)b", 0, {}},
        {"(?x)b # (?=a) \\K\n", 0, {}},
        {"\\}+", 0, {}},
        {"\\c(?=", 0, {}},
        {"[[:alpha:]](?:ab)+", 0, {}},
        {"(?<=x)y(?<n>a)b", 0, {}},
        {"(?^m)a", PCRE2_MULTILINE, {}},
        {"(*UCP)\\w+", 0, {"startItem"}},
        // Constructs whose text hides them.
        {"(?x)#\\Q\n(?!a)", 0, {"lookAhead", "negativeLookAround"}},
        {"(?x)a* +b", 0, {"possessive"}},
        {"a*(?#c)+b", 0, {"possessive"}},
        {"a*\\Q\\E+b", 0, {"possessive"}},
        {"a{2}\\E+", 0, {"possessive"}},
        {"a(?*b)", 0, {"lookAhead", "nonAtomicAssertion"}},
        {"x[[:<:]]a", 0, {"lookAhead", "wordBoundary"}},
        {"ab[[:>:]]", 0, {"wordBoundary"}},
        {"(*nla:a)b", 0, {"lookAhead", "negativeLookAround"}},
        {"(*atomic:a)b", 0, {"atomic"}},
        {"(*sr:\\d+)", 0, {"scriptRun"}},
        {"(a)(?(1)a|b)", 0, {"condition"}},
        {"(a)(?(?=b)b|c)", 0, {"condition", "lookAhead"}},
        {"(a)\\g<1>(?-1)", 0, {"call"}},
        {"a(?C'x)''y')b", 0, {"callout"}},
        {"ab(*MARK:(?=)c", 0, {"verb"}},
        {"\\Gab\\Kc\\Z", 0, {"textAnchor", "resetsMatchStart"}},
        {"\\X$", 0, {"grapheme", "mayMatchLineBreak", "dollar"}},
        {"(?-m:a)", PCRE2_MULTILINE, {"multilineOff"}},
        {"(?i)a(?^)b", PCRE2_MULTILINE, {"multilineOff"}},
        {"(?-m:a)", 0, {}},
        // What does not compile is everything at once.
        {"a(",
         0,
         {"unsure", "lookAhead", "negativeLookAround", "nonAtomicAssertion", "atomic", "possessive",
          "condition", "call", "verb", "startItem", "scriptRun", "callout", "resetsMatchStart",
          "textAnchor", "dollar", "grapheme", "wordBoundary", "multilineOff", "mayMatchLineBreak"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(flagsOf(infoOf(c.pattern, c.options)), c.flags);
    }
}

// Where the text would mislead, PCRE2's own answers hold.
TEST(PatternInfo, TakesWhatPcre2Knows)
{
    EXPECT_FALSE(infoOf("(a)\\12").backReferences) << "an octal LF: one group only";
    EXPECT_TRUE(infoOf("(a)\\12").explicitCrOrLf);
    EXPECT_TRUE(infoOf("(a)\\1").backReferences);
    EXPECT_TRUE(infoOf("(?<n>a)\\k<n>").backReferences);
    EXPECT_FALSE(infoOf("\\Q\\1\\E").backReferences);
    EXPECT_EQ(infoOf("ab[[:>:]]").maxLookbehind, 1u);
    EXPECT_EQ(infoOf("\\Q(?<=ab)\\E").maxLookbehind, 0u);
    EXPECT_EQ(infoOf("(?<=ab|abc)x").maxLookbehind, 3u);
    EXPECT_EQ(infoOf("(*LF)a").newline, uint32_t(PCRE2_NEWLINE_LF));
    EXPECT_EQ(infoOf("a", 0, PCRE2_NEWLINE_CRLF).newline, uint32_t(PCRE2_NEWLINE_CRLF));
    EXPECT_TRUE(infoOf("a\\Cb").backslashC);
}

TEST(PatternInfo, RequiredLiteral)
{
    struct Case
    {
        const char *pattern;
        uint32_t options;
        std::string literal;
        bool folds;
    } cases[] = {
        {"ERROR.*timeout=[0-9]+", PCRE2_CASELESS, "timeout=", true},
        {"ERROR.*timeout=[0-9]+", 0, "timeout=", false},
        {"\\Qa.b\\E+", 0, "a.", false},
        {"(?x) a b c # d e f g\n", 0, "abc", false},
        {"x\\x{e9}\\x41 ", 0,
         "x\xc3\xa9"
         "A ",
         false},
        // Caseless UTF takes non-ASCII letters, K and S otherwise than ASCII.
        {"x\\x{e9}yz", PCRE2_CASELESS, "yz", true},
        {"task", PCRE2_CASELESS, "ta", true},
        {"a(?i)bc", 0, "bc", true},
        {"(?-i)AB-C", PCRE2_CASELESS, "AB-C", false},
        {"a{2,}bcd{,3}", 0, "bc", false},
        {"ab(?=c)def", 0, "def", false},
        {"(abc)d", 0, "d", false},
        // Not every match holds it.
        {"ab|cd", 0, "", false},
        {"abc(*ACCEPT)def", 0, "", false},
        {"ab\\Kcdef", 0, "", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pattern);
        const PatternInfo info = infoOf(c.pattern, c.options);
        EXPECT_EQ(info.requiredLiteral, c.literal);
        EXPECT_EQ(info.literalFolds, c.folds);
    }
}

TEST(PatternInfo, StaysInLine)
{
    struct Case
    {
        const char *pattern;
        uint32_t options;
        uint32_t newline;
        bool stays;
    } cases[] = {
        {"a.b\\N\\w\\d\\h\\V[a-z[:alpha:]\\d]", 0, PCRE2_NEWLINE_ANYCRLF, true},
        {"(?s:a).b", 0, PCRE2_NEWLINE_ANYCRLF, true},
        {"[^\\r\\n]", 0, PCRE2_NEWLINE_ANYCRLF, false}, // no: any negated class
        {"a.b", 0, PCRE2_NEWLINE_ANY, true},
        {"a.b", PCRE2_DOTALL, PCRE2_NEWLINE_ANYCRLF, false},
        {"(?s)a.b", 0, PCRE2_NEWLINE_ANYCRLF, false},
        {"a.b", 0, PCRE2_NEWLINE_CRLF, false},
        {"(*LF)a.b", 0, PCRE2_NEWLINE_ANYCRLF, false},
        {"a\\sb", 0, PCRE2_NEWLINE_ANYCRLF, false},
        {"a\\Rb", 0, PCRE2_NEWLINE_ANYCRLF, false},
        {"a\\p{Cc}b", 0, PCRE2_NEWLINE_ANYCRLF, false},
        {"a[\\s]b", 0, PCRE2_NEWLINE_ANYCRLF, false},
        {"a[[:space:]]b", 0, PCRE2_NEWLINE_ANYCRLF, false},
        {"a[\\x00-\\x7f]b", 0, PCRE2_NEWLINE_ANYCRLF, false},
        {"a[\\x{d}]b", 0, PCRE2_NEWLINE_ANYCRLF, false},
        {"a\\12b", 0, PCRE2_NEWLINE_ANYCRLF, false},
        {"a\\nb", 0, PCRE2_NEWLINE_ANYCRLF, false},
        {"a\\Q\r\\Eb", 0, PCRE2_NEWLINE_ANYCRLF, false},
        {"a(?=\\n)", 0, PCRE2_NEWLINE_ANYCRLF, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(infoOf(c.pattern, c.options, c.newline).staysInLine(), c.stays);
    }
}

} // namespace
