#include "text/codepagelist.h"
#include "text/codepages.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(codepageList, SampleEntriesKeepTheirIndexGroupTitleAndNumber)
{
    struct Case
    {
        int index;
        const char *group;
        const char *title;
        qint32 codepage;
    };
    const Case cases[] = {
        {0, "", "System (UTF-8)", 0},
        {1, "", "DOS (437)", 1},
        {2, "", "Mac", 2},
        {3, "Central European", "ANSI (Windows-1250)", 1250},
        {10, "Western European", "ANSI (Windows-1252)", 1252},
        {14, "Western European", "IA5 IRV International Alphabet No.5", 20105},
        {40, "Western European", "US-ASCII (7-bit)", 20127},
        {41, "Baltic", "ANSI (Windows-1257)", 1257},
        {45, "Cyrillic", "ANSI (Windows-1251)", 1251},
        {55, "Cyrillic", "RUSCII (IBM-1125)", 1125},
        {60, "Greek", "Mac", 10006},
        {63, "Greek", "Mac", 10006},
        {64, "Turkey", "ANSI (Windows-1254)", 1254},
        {71, "Indian", "ISCII Devanagari", 57002},
        {83, "Arabic", "ASMO 449+, BCON V4", 709},
        {91, "Hebrew", "ISO-8859-8 (Logical Ordering)", 38598},
        {99, "Chinese Simplified", "HZ", 52936},
        {111, "Chinese Traditional", "Wang (Taiwan)", 20005},
        {118, "Japanese", "JIS X 0208-1990 && 0121-1990", 20932},
        {124, "Korean", "Johab", 1361},
        {128, "Thai", "IBM EBCDIC", 20838},
        {129, "Vietnamese", "ANSI (Windows-1258)", 1258},
        {130, "Unicode", "Unicode (UTF-8)", 65001},
        {131, "Unicode", "Unicode (UTF-7)", 65000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_STREQ(codepageList[c.index].group, c.group);
        EXPECT_STREQ(codepageList[c.index].title, c.title);
        EXPECT_EQ(codepageList[c.index].codepage, c.codepage);
    }
}

// Stored indices depend on the order, so the groups must stay contiguous and in
// menu order, and only 60/63 (and the Latin-3/Latin-5 pages listed under two
// groups) may repeat a number.
TEST(codepageList, GroupsAreContiguousRangesInMenuOrder)
{
    struct Range
    {
        const char *group;
        int first, last;
    };
    const Range ranges[] = {
        {"", 0, 2},
        {"Central European", 3, 9},
        {"Western European", 10, 40},
        {"Baltic", 41, 44},
        {"Cyrillic", 45, 55},
        {"Greek", 56, 63},
        {"Turkey", 64, 70},
        {"Indian", 71, 80},
        {"Arabic", 81, 88},
        {"Hebrew", 89, 94},
        {"Chinese Simplified", 95, 101},
        {"Chinese Traditional", 102, 111},
        {"Japanese", 112, 119},
        {"Korean", 120, 126},
        {"Thai", 127, 128},
        {"Vietnamese", 129, 129},
        {"Unicode", 130, 131},
    };
    int next = 0;
    for (const Range &r : ranges) {
        ASSERT_EQ(r.first, next) << r.group;
        for (int i = r.first; i <= r.last; ++i)
            EXPECT_STREQ(codepageList[i].group, r.group) << "index " << i;
        next = r.last + 1;
    }
    EXPECT_EQ(next, codepageCount);
}

TEST(codepageList, OnlyKnownEntriesShareACodepageNumber)
{
    std::multiset<qint32> numbers;
    for (const CodepageInfo &rec : codepageList)
        numbers.insert(rec.codepage);
    std::set<qint32> repeated;
    for (qint32 n : numbers) {
        if (numbers.count(n) > 1)
            repeated.insert(n);
    }
    EXPECT_EQ(repeated, (std::set<qint32>{10006, 28593, 28599}));
    EXPECT_STREQ(codepageList[67].title, codepageList[28].title);
    EXPECT_STREQ(codepageList[68].title, codepageList[29].title);
}

// The table was copied by hand. It moves bytes (Windows 9x showed Mac text
// through it), so it must be a permutation of 0x80..0xFF, and the accented
// letters that both pages share must land on the same character.
TEST(codepageList, MacToAnsiTableIsAPermutationKeepingTheAccentedLetters)
{
    std::set<int> targets;
    for (unsigned char b : macToAnsiTable) {
        EXPECT_GE(b, 0x80);
        targets.insert(b);
    }
    EXPECT_EQ(targets.size(), 128u);

    constexpr Encoding macRoman = Encoding::codePage(32), windows1252 = Encoding::codePage(10);
    for (int b = 0x80; b <= 0x9F; ++b) {
        const char mac = char(b);
        const char ansi = char(macToAnsiTable[b - 0x80]);
        EXPECT_EQ(codepageToUnicode(&mac, 1, macRoman), codepageToUnicode(&ansi, 1, windows1252))
            << "byte " << b;
    }
    EXPECT_EQ(macToAnsiTable[0x7F], 0xAF);
}

} // namespace
