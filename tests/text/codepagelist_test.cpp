#include "text/codepagelist.h"
#include "text/codepages.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(CodepageList, SampleEntriesKeepTheirIndexGroupTitleAndNumber)
{
    struct Case
    {
        int Index;
        const char *Group;
        const char *Title;
        qint32 Codepage;
    };
    const Case cases[] = {
        {0, "", "ANSI (Windows)", 0},
        {1, "", "OEM (DOS)", 1},
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
        SCOPED_TRACE(c.Index);
        EXPECT_STREQ(CodepageList[c.Index].Group, c.Group);
        EXPECT_STREQ(CodepageList[c.Index].Title, c.Title);
        EXPECT_EQ(CodepageList[c.Index].Codepage, c.Codepage);
    }
}

// Stored indices depend on the order, so the groups must stay contiguous and in
// menu order, and only 60/63 (and the Latin-3/Latin-5 pages listed under two
// groups) may repeat a number.
TEST(CodepageList, GroupsAreContiguousRangesInMenuOrder)
{
    struct Range
    {
        const char *Group;
        int First, Last;
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
        ASSERT_EQ(r.First, next) << r.Group;
        for (int i = r.First; i <= r.Last; ++i)
            EXPECT_STREQ(CodepageList[i].Group, r.Group) << "index " << i;
        next = r.Last + 1;
    }
    EXPECT_EQ(next, CodepageCount);
}

TEST(CodepageList, OnlyKnownEntriesShareACodepageNumber)
{
    std::multiset<qint32> numbers;
    for (const TQzCodepageRec &rec : CodepageList)
        numbers.insert(rec.Codepage);
    std::set<qint32> repeated;
    for (qint32 n : numbers) {
        if (numbers.count(n) > 1)
            repeated.insert(n);
    }
    EXPECT_EQ(repeated, (std::set<qint32>{10006, 28593, 28599}));
    EXPECT_STREQ(CodepageList[67].Title, CodepageList[28].Title);
    EXPECT_STREQ(CodepageList[68].Title, CodepageList[29].Title);
}

// The table was copied by hand. It moves bytes (Windows 9x showed Mac text
// through it), so it must be a permutation of 0x80..0xFF, and the accented
// letters that both pages share must land on the same character.
TEST(CodepageList, MacToAnsiTableIsAPermutationKeepingTheAccentedLetters)
{
    std::set<int> targets;
    for (unsigned char b : MacToAnsiTable) {
        EXPECT_GE(b, 0x80);
        targets.insert(b);
    }
    EXPECT_EQ(targets.size(), 128u);

    constexpr TQzEncoding macRoman = 32, windows1252 = 10;
    for (int b = 0x80; b <= 0x9F; ++b) {
        const char mac = char(b);
        const char ansi = char(MacToAnsiTable[b - 0x80]);
        EXPECT_EQ(CodepageToUnicode(&mac, 1, macRoman), CodepageToUnicode(&ansi, 1, windows1252))
            << "byte " << b;
    }
    EXPECT_EQ(MacToAnsiTable[0x7F], 0xAF);
}

} // namespace
