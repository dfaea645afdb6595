// The line test of lines too long to hold, fed in pieces: the answer must be
// the line matcher's, wherever the pieces are cut.
#include "rules/longlinematcher.h"
#include "rules/matchline.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Feeds line in pieces of the given size (0: whole) and returns the answer.
bool streamed(LongLineMatcher &matcher, const QByteArray &line, qsizetype piece)
{
    matcher.begin();
    const qsizetype step = piece > 0 ? piece : std::max<qsizetype>(line.size(), 1);
    for (qsizetype i = 0; i < line.size(); i += step)
        matcher.feed(line.constData() + i, std::min(step, line.size() - i));
    return matcher.finish();
}

// Cut everywhere that matters: inside a character, between a word and what
// follows, between a look-behind and its match.
const qsizetype kPieces[] = {1, 2, 3, 5, 0};

TEST(LongLineMatcher, GivesTheLineMatchersAnswerWhereverThePiecesAreCut)
{
    const QByteArray lines[] = {
        "ERROR db call failed, timeout=250 ms",
        "timeout=7 then ERROR",
        "foo bar_foo foox xfoo",
        "a foo.",
        "caf\xc3\xa9 \xc3\x89T\xc3\xa9 na\xc3\xafve",
        "\xf0\x9f\x98\x80 smile \xf0\x9f\x98\x80",
        "abc\xff"
        "def ab\xc3"
        "cd",                          // bytes that are no UTF-8
        "\xe2\x82 ERROR\xed\xa0\x80x", // a cut character, an encoded surrogate
        "ababababc",
        "x--y",
    };
    const QByteArray patterns[] = {
        "ERROR.*timeout=[0-9]+",
        "^ERROR",
        "ERROR$",
        "ms$",
        "\\bfoo\\b",
        "\\Bfoo",
        "foo\\b",
        "(?<=ab)c",
        "(?<!b)c",
        "(?<=-)y",
        "\\w+\\s\\w+",
        "\\W\\w",
        "\\S+$",
        "\xc3\xa9t\xc3\xa9",
        "[^a-z ]",
        "^.t.$",
        "(?:ab)+c",
        "c.d",
        "f\\b",
        "e$",
        "x*",
        "(?i)na\xc3\x8f",
        "\\Qa.b",
        "(?x) a b # spaced out",
    };
    for (const QByteArray &line : lines) {
        for (const QByteArray &pattern : patterns) {
            for (const bool caseSensitive : {false, true}) {
                const bool expected = LineMatcher(pattern, true, caseSensitive, false)
                                          .raw(line.constData(), line.size());
                LongLineMatcher matcher(pattern, true, caseSensitive, 1 << 20);
                for (const qsizetype piece : kPieces) {
                    SCOPED_TRACE(testing::Message() << "line " << line.toStdString() << ", pattern "
                                                    << pattern.toStdString() << ", piece " << piece
                                                    << (caseSensitive ? ", case sensitive" : ""));
                    EXPECT_EQ(streamed(matcher, line, piece), expected);
                    EXPECT_TRUE(matcher.exact());
                }
            }
        }
    }
}

TEST(LongLineMatcher, PlainTextIsFoundAcrossPieces)
{
    const struct
    {
        QByteArray line;
        QByteArray text;
        bool caseSensitive;
        bool expected;
    } cases[] = {
        {"xxxxSIGNED inxxxx", "signed in", false, true},
        {"xxxxSIGNED inxxxx", "signed in", true, false},
        {"xxxxsigned inxxxx", "signed in", true, true},
        {"\xc3\x89t\xc3\xa9", "\xc3\xa9t", false, false}, // caseless folds ASCII only
        {"ab", "abc", false, false},
        {"aab", "ab", true, true},
    };
    for (const auto &c : cases) {
        LongLineMatcher matcher(c.text, false, c.caseSensitive, 4);
        for (const qsizetype piece : kPieces) {
            SCOPED_TRACE(testing::Message() << c.line.toStdString() << " / " << c.text.toStdString()
                                            << ", piece " << piece);
            EXPECT_EQ(streamed(matcher, c.line, piece), c.expected);
            EXPECT_TRUE(matcher.exact());
        }
    }
}

// What the DFA cannot run on pieces is judged on the line's head: the bound
// the long-line rule promises, and nothing looser.
TEST(LongLineMatcher, WhatCannotBeStreamedIsJudgedOnTheHead)
{
    const struct
    {
        const char *name;
        QByteArray pattern;
        QByteArray line;
        qsizetype head;
        bool expected;
        bool exact;
    } cases[] = {
        {"back-reference inside the head", "(a)\\1", "xaaxxxxxxx", 4, true, false},
        {"back-reference past the head", "(a)\\1", "xxxxxaaxxx", 4, false, false},
        {"look-ahead, the head is the line", "a(?=b)", "xxab", 4, true, true},
        {"\\z holds at the head's end", "x\\z", "aaaxbbbbb", 4, true, false},
        {"\\b after a run of word characters longer than the head", "\\bfoo\\b",
         "aaaaaaaaaaaaaaaaaaaa foo", 8, false, false},
        {"\\b after a short run needs no head", "\\bfoo\\b", "aaa foo aaaaaaaaaaaaaaaa", 8, true,
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LongLineMatcher matcher(c.pattern, true, false, c.head);
        EXPECT_EQ(streamed(matcher, c.line, 3), c.expected);
        EXPECT_EQ(matcher.exact(), c.exact);
    }
}

TEST(LongLineMatcher, NoPatternOrABrokenOneNeverMatches)
{
    for (const QByteArray &pattern : {QByteArray(), QByteArray("a(")}) {
        LongLineMatcher matcher(pattern, true, false, 16);
        EXPECT_FALSE(streamed(matcher, "a(a(a(", 2));
    }
}

TEST(LongLineMatcher, StreamablePatterns)
{
    for (const char *yes :
         {"ERROR.*timeout=[0-9]+", "\\bword\\b", "(?<=x)y", "(?<!x)y", "[(?=]", "[]\\\\1]",
          "[[:alpha:]](?:ab)+", "\\Q(?=\\E", "a\\++", "(?<n>a)b", "(?i)x", "a{2,3}"}) {
        EXPECT_TRUE(LongLineMatcher::isStreamablePattern(yes)) << yes;
    }
    for (const char *no :
         {"a(?=b)",        "a(?!b)", "(?>a)",  "a*+",        "a{2}+",     "(a)\\1",
          "(?<n>a)\\k<n>", "\\g1",   "\\Aa",   "a\\z",       "a\\Z",      "\\Ga",
          "a\\Kb",         "\\X",    "\\C",    "(*COMMIT)a", "(?(1)a|b)", "(a(?R)?)",
          "(a)(?1)",       "(?&n)",  "(?P>n)", "(?P=n)",     "(?C1)a"}) {
        EXPECT_FALSE(LongLineMatcher::isStreamablePattern(no)) << no;
    }
}

// What the syntax holds, not what its text looks like: constructs spread out
// by extended mode, comments or an empty quote, PCRE2's own word boundaries,
// and digits that PCRE2 reads as an octal character.
TEST(LongLineMatcher, StreamablePatternsByTheirSyntax)
{
    for (const char *yes : {"(?#(?=a)b", "(?x)b # (?=a) \\K\r\n", "(a)\\12", "ab[[:>:]]"})
        EXPECT_TRUE(LongLineMatcher::isStreamablePattern(yes)) << yes;
    for (const char *no : {"x[[:<:]]a", "a(?*b)", "(?x)a* +b", "a*(?#c)+b", "a*\\Q\\E+b",
                           "(?x)#\\Q\r\n(?=a)", "(?#\\Q)b(?=c)"})
        EXPECT_FALSE(LongLineMatcher::isStreamablePattern(no)) << no;
}

// Pieces cut where only the syntax tells what the pattern asserts.
TEST(LongLineMatcher, HiddenConstructsGiveTheLineMatchersAnswer)
{
    const struct
    {
        QByteArray pattern, line;
    } cases[] = {
        {"foo[[:>:]]", "foox"},    {"foo[[:>:]]", "xfoox foo"}, {"[[:<:]]bar", "foobar"},
        {"[[:<:]]bar", "foo bar"}, {"(?#\\Q)b(?=c)", "abc"},    {"(?#\\Q)b(?=c)", "abd"},
        {"(?x)b* +b", "bbb"},      {"a*\\Q\\E+a", "aaa"},       {"a(?*b)", "ab"},
    };
    for (const auto &c : cases) {
        const bool expected =
            LineMatcher(c.pattern, true, true, false).raw(c.line.constData(), c.line.size());
        LongLineMatcher matcher(c.pattern, true, true, 1 << 20);
        for (const qsizetype piece : kPieces) {
            SCOPED_TRACE(testing::Message() << c.pattern.toStdString() << " in "
                                            << c.line.toStdString() << ", piece " << piece);
            EXPECT_EQ(streamed(matcher, c.line, piece), expected);
        }
    }
}

} // namespace
