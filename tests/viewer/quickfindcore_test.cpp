// The quick find's own logic: matches within a drawn line, the marks they
// make on the file's bytes, and the count of the matches in a file.
#include "../search/memorysource.h"
#include "testfiles.h"

#include "viewer/quickmatcher.h"
#include "viewer/matchcount.h"
#include "viewer/matchdecorator.h"

#include <gtest/gtest.h>

#include <stop_token>

namespace {

using Ranges = QuickMatcher::Ranges;

TEST(QuickMatcher, FindsEveryMatchAsTheSearchWould)
{
    struct Case
    {
        const char *name;
        QuickMatcher::Pattern pattern;
        QString line;
        Ranges expected;
    };
    const Case cases[] = {
        {"plain, any case", {"err"}, "ERR err Err", {{0, 3}, {4, 7}, {8, 11}}},
        {"plain, case kept", {"err", true}, "ERR err Err", {{4, 7}}},
        {"no overlap", {"aa"}, "aaaa", {{0, 2}, {2, 4}}},
        {"non-ASCII letters fold", {"ärger"}, "ÄRGER", {{0, 5}}},
        {"whole words skip parts of words",
         {"id", false, true},
         "id _id id2 (id)",
         {{0, 2}, {12, 14}}},
        {"a word past ASCII is no boundary", {"id", false, true}, "éid id", {{4, 6}}},
        {"a failed whole word does not hide the next", {"aa", false, true}, "aaa aa", {{4, 6}}},
        {"regex", {"t[io]me", false, false, true}, "time tome tame", {{0, 4}, {5, 9}}},
        {"regex, case kept", {"Time", true, false, true}, "time Time", {{5, 9}}},
        {"regex, whole words", {"[0-9]+", false, true, true}, "a1 22 b", {{3, 5}}},
        {"empty matches mark nothing", {"x*", false, false, true}, "axxb", {{1, 3}}},
        {"an anchor finds its place", {"^a", false, false, true}, "aa", {{0, 1}}},
        {"no text", {""}, "anything", {}},
        {"a regex that does not compile", {"a(", false, false, true}, "a(", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QuickMatcher matcher(c.pattern);
        EXPECT_EQ(matcher.find(c.line), c.expected);
    }
}

TEST(QuickMatcher, EmptyWhenThereIsNothingToLookFor)
{
    EXPECT_TRUE(QuickMatcher().empty());
    EXPECT_TRUE(QuickMatcher({"", false, false, true}).empty());
    EXPECT_TRUE(QuickMatcher({"(", false, false, true}).empty());
    EXPECT_FALSE(QuickMatcher({"("}).empty()); // plain text: a bracket is a bracket
}

// A line as the layout hands it over: its text, and per character its first
// unit from pos.
LogicalLine lineOf(const QString &text, qint64 pos, int charSize, std::vector<int> offsets)
{
    return {text, pos, charSize, std::move(offsets)};
}

TEST(MatchDecorator, MarksTheFileBytesOfEachMatchInItsColour)
{
    struct Case
    {
        const char *name;
        LogicalLine line;
        std::vector<std::pair<qint64, qint64>> marks;
    };
    const Case cases[] = {
        {"one byte a character", lineOf("a ab", 100, 1, {0, 1, 2, 3, 4}), {{100, 101}, {102, 103}}},
        // "éab" in UTF-8: é takes two bytes.
        {"several bytes a character", lineOf("éab", 10, 1, {0, 2, 3, 4}), {{12, 13}}},
        {"UTF-16", lineOf("xab", 2, 2, {0, 1, 2, 3}), {{4, 6}}},
        {"every match of the line", lineOf("aab", 0, 1, {0, 1, 2, 3}), {{0, 1}, {1, 2}}},
    };
    MatchDecorator decorator;
    decorator.setPattern({"a"});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LineDecoration decoration;
        decorator.decorate(c.line, {}, decoration);
        ASSERT_EQ(decoration.marks.size(), c.marks.size());
        for (size_t i = 0; i < c.marks.size(); ++i) {
            EXPECT_EQ(decoration.marks[i].from, c.marks[i].first);
            EXPECT_EQ(decoration.marks[i].to, c.marks[i].second);
            EXPECT_EQ(decoration.marks[i].back, MatchDecorator::kDefaultBack);
            EXPECT_FALSE(decoration.marks[i].invert);
        }
    }
}

TEST(MatchDecorator, PaperAndAnEmptyPatternShowNoMarks)
{
    const LogicalLine line = lineOf("aaa", 0, 1, {0, 1, 2, 3});
    MatchDecorator decorator;
    LineDecoration decoration;
    decorator.decorate(line, {}, decoration);
    EXPECT_TRUE(decoration.marks.empty());
    decorator.setPattern({"a"});
    decorator.decorate(line, {true}, decoration);
    EXPECT_TRUE(decoration.marks.empty());
}

MatchCount countOf(const QByteArray &bytes, const QString &text, SearchOptions options = {},
                   Encoding encoding = encodingAnsi)
{
    MemorySource source(bytes);
    MatchCount count;
    EXPECT_TRUE(countMatches(source, text, encoding, options, {}, count));
    return count;
}

TEST(MatchCount, CountsAndPlacesEveryMatch)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        QString text;
        SearchOptions options;
        Encoding encoding;
        std::vector<qint64> starts;
    };
    const Case cases[] = {
        {"plain", "ab\nxab\nab", "ab", {}, encodingAnsi, {0, 4, 7}},
        {"case kept", "Ab\nab", "ab", soCaseSensitive, encodingAnsi, {3}},
        {"whole words", "ab abc ab", "ab", soWholeWords, encodingAnsi, {0, 7}},
        {"regex", "t1\nt22\nx", "t[0-9]+", soRegex, encodingAnsi, {0, 3}},
        {"UTF-16", utf16("ab ab", false), "ab", {}, encodingUtf16LE, {0, 6}},
        {"UTF-16 regex", utf16("ab ab", true), "a.", soRegex, encodingUtf16BE, {0, 6}},
        {"none", "xyz", "ab", {}, encodingAnsi, {}},
        // Every place matches nothing; the count ends and holds no match.
        {"a pattern matching the empty string", "abc\ndef\n", "x*", soRegex, encodingAnsi, {}},
        {"empty and real matches mixed", "axxbx", "x*", soRegex, encodingAnsi, {1, 4}},
        // A stray byte leaves the encoding alone: the count still ends.
        {"binary",
         QByteArray("a\0b\xff\xfe"
                    "ab\0",
                    8),
         "ab",
         {},
         encodingAnsi,
         {5}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const MatchCount count = countOf(c.bytes, c.text, c.options, c.encoding);
        EXPECT_EQ(count.starts, c.starts);
        EXPECT_EQ(count.count, qint64(c.starts.size()));
        EXPECT_EQ(count.scannedTo, c.bytes.size());
    }
}

TEST(MatchCount, ALongLineIsCountedWhole)
{
    QByteArray line(100 << 20, 'x');
    line.replace(50 << 20, 6, "needle");
    line.append("needle");
    const MatchCount count = countOf(line, "needle");
    EXPECT_EQ(count.starts, (std::vector<qint64>{50 << 20, 100 << 20}));
}

TEST(MatchCount, AGrowingFileIsCountedOnFromTheOldEnd)
{
    MatchCount count;
    // The old end cuts a match in two: counted once it is whole.
    MemorySource before("ab ab a");
    ASSERT_TRUE(countMatches(before, "ab", encodingAnsi, {}, {}, count));
    EXPECT_EQ(count.count, 2);
    MemorySource after("ab ab ab ab");
    ASSERT_TRUE(countMatches(after, "ab", encodingAnsi, {}, {}, count));
    EXPECT_EQ(count.starts, (std::vector<qint64>{0, 3, 6, 9}));
    EXPECT_EQ(count.count, 4);
    EXPECT_EQ(count.scannedTo, 11);
    // Bytes far before the old end are not read again.
    QByteArray big(1 << 20, 'x');
    MemorySource bigBefore(big);
    MatchCount grown;
    ASSERT_TRUE(countMatches(bigBefore, "ab", encodingAnsi, {}, {}, grown));
    MemorySource bigAfter(big + "ab");
    ASSERT_TRUE(countMatches(bigAfter, "ab", encodingAnsi, {}, {}, grown));
    EXPECT_EQ(grown.starts, (std::vector<qint64>{1 << 20}));
    for (const qint64 read : bigAfter.reads())
        EXPECT_GE(read, (1 << 20) - MatchCount::kOverlap - StreamSearch::blockSize);
}

TEST(MatchCount, AStoppedCountKeepsWhatItHad)
{
    MemorySource source("ab ab");
    MatchCount count;
    count.count = 7;
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(countMatches(source, "ab", encodingAnsi, {}, stop.get_token(), count));
    EXPECT_EQ(count.count, 7);
    EXPECT_EQ(count.scannedTo, 0);
}

TEST(MatchCount, OrdinalOfAMatchStart)
{
    MatchCount count;
    count.starts = {4, 9, 20};
    count.count = 3;
    EXPECT_EQ(count.ordinalOf(4), 1);
    EXPECT_EQ(count.ordinalOf(20), 3);
    EXPECT_EQ(count.ordinalOf(5), 0);  // not a match
    EXPECT_EQ(count.ordinalOf(99), 0); // past them
    EXPECT_EQ(count.ordinalOf(-1), 0);
}

} // namespace
