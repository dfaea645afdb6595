#include "memorysource.h"
#include "regexreference.h"

#include "search/qzstreamsearch.h"
#include "search/regexsearchstream.h"
#include "search/searcherror.h"

#include "viewer/testfiles.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct Searcher
{
    explicit Searcher(const QByteArray &bytes) : source(bytes) { search.SetStream(&source); }
    MemorySource source;
    TQzStreamSearch search;
};

struct Hit
{
    qint64 Start, Length;
    bool operator==(const Hit &) const = default;
};
void PrintTo(const Hit &h, std::ostream *os)
{
    *os << "{" << h.Start << ", " << h.Length << "}";
}

// Every match from FindFirst on, at most ten.
std::vector<Hit> All(const QByteArray &bytes, const QString &pattern, TQzEncoding encoding,
                     TQzStreamSearchOptions options, qint64 start = 0)
{
    Searcher s(bytes);
    std::vector<Hit> hits;
    for (bool found = s.search.FindFirst(pattern, encoding, options | soRegex, start);
         found && hits.size() < 10; found = s.search.FindNext())
        hits.push_back({s.search.FoundStart(), s.search.FoundLength()});
    return hits;
}

QString ErrorOf(const QByteArray &bytes, const QString &pattern, TQzEncoding encoding = 0,
                TQzStreamSearchOptions options = {})
{
    Searcher s(bytes);
    try {
        s.search.FindFirst(pattern, encoding, options | soRegex, 0);
    } catch (const SearchError &e) {
        return e.message();
    }
    return QString();
}

TEST(RegexSearch, MatchesAndTheirBytes)
{
    const QString surrogate = QString::fromUcs4(U"\U0001F600x");
    struct Case
    {
        const char *name;
        QByteArray bytes;
        QString pattern;
        TQzEncoding encoding;
        TQzStreamSearchOptions options;
        qint64 start;
        std::vector<Hit> hits;
    } cases[] = {
        {"successive matches", "ab ab", "ab", 0, {}, 0, {{0, 2}, {3, 2}}},
        {"longest at the leftmost start", "aaa", "a|aa|aaa", 0, {}, 0, {{0, 3}}},
        {"case folded unless asked", "AB", "ab", 0, {}, 0, {{0, 2}}},
        {"case kept", "AB", "ab", 0, soCaseSensitive, 0, {}},
        {"start position", "ab ab", "ab", 0, {}, 1, {{3, 2}}},
        {"caret only at the start position", "ab\nab", "^ab", 0, {}, 0, {{0, 2}}},
        {"caret at a later start", "xab", "^ab", 0, {}, 1, {{1, 2}}},
        {"empty matches advance", "ab", "x*", 0, {}, 0, {{0, 0}, {1, 0}, {2, 0}}},
        {"dot stops at a line break", "a\nb", "a.b", 0, {}, 0, {}},
        {"dot stops at CR LF", "a\r\nb", "a..b", 0, {}, 0, {}},
        {"multi-line dot", "a\nb", "a.b", 0, soRegexMultiLine, 0, {{0, 3}}},
        {"whole words wrap without a group",
         "bobcat hotdog dog",
         "cat|dog",
         0,
         soWholeWords,
         0,
         {{10, 3}, {14, 3}}},
        {"UTF-8 byte offsets", "\xc3\xa9\xc3\xa9x", "\u00e9x", 0, {}, 0, {{2, 3}}},
        {"a bad UTF-8 byte reads as ?",
         "a\xff"
         "b",
         "a\\?b",
         0,
         {},
         0,
         {{0, 3}}},
        {"a cut sequence at the end reads as ?", "a\xc3", "a\\?$", 0, {}, 0, {{0, 2}}},
        {"OEM box drawing", "ab\xc4\xc4-", "\\x{2500}+", EncodingOem, {}, 0, {{2, 2}}},
        {"UTF-16 LE", Utf16(QStringLiteral("xab"), false), "ab", EncodingUtf16LE, {}, 0, {{2, 4}}},
        {"UTF-16 BE", Utf16(QStringLiteral("xab"), true), "ab", EncodingUtf16BE, {}, 0, {{2, 4}}},
        {"UTF-16 start counts bytes",
         Utf16(QStringLiteral("abab"), false),
         "ab",
         EncodingUtf16LE,
         {},
         4,
         {{4, 4}}},
        {"UTF-16 surrogate pair is one character",
         Utf16(surrogate, false),
         ".x",
         EncodingUtf16LE,
         {},
         0,
         {{0, 6}}},
        {"UTF-16 lone surrogate reads as ?",
         Utf16(QString(QChar(0xDC00)) + "x", false),
         "\\?x",
         EncodingUtf16LE,
         {},
         0,
         {{0, 4}}},
        {"UTF-16 odd size drops the last byte",
         Utf16(QStringLiteral("ab"), false) + "c",
         "b\\z",
         EncodingUtf16LE,
         {},
         0,
         {{2, 2}}},
        {"an optional letter of two bytes is not required on a line",
         "\xc3\xa9\n-x",
         "\u00e9?x",
         0,
         soCaseSensitive,
         0,
         {{4, 1}}},
        {"empty matches after the last two-byte letter",
         "\xc3\xa9-",
         "\u00e9?",
         0,
         soCaseSensitive,
         0,
         {{0, 2}, {2, 0}, {3, 0}}},
        {"empty source", "", "x*", 0, {}, 0, {}},
        {"look-behind", "ab cb", "(?<=c)b", 0, {}, 0, {{4, 1}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(All(c.bytes, c.pattern, c.encoding, c.options, c.start), c.hits);
    }
}

TEST(RegexSearch, MatchesAcrossFillBorders)
{
    // A match that starts three bytes before the end of the first fill, and
    // one found only through the 2 KiB kept in front of the second fill.
    QByteArray bytes(70000, '.');
    bytes.replace(32768 - 3, 10, "NEEDLE-7f3");
    bytes.replace(40000, 6, "x-tail");
    EXPECT_EQ(All(bytes, QStringLiteral("NEEDLE-[0-9a-f]+"), 0, {}),
              (std::vector<Hit>{{32765, 10}}));
    EXPECT_EQ(All(bytes, QStringLiteral("(?<=x-)tail"), 0, {}), (std::vector<Hit>{{40002, 4}}));
    // A look-behind longer than the overlap still sees its text.
    bytes = QByteArray(70000, 'a') + "b";
    EXPECT_EQ(All(bytes, QStringLiteral("(?<=a{3000})b"), 0, {}), (std::vector<Hit>{{70000, 1}}));
    // A match far longer than a fill keeps its start.
    bytes = "<" + QByteArray(100000, 'a') + ">";
    EXPECT_EQ(All(bytes, QStringLiteral("<a*>"), 0, {}), (std::vector<Hit>{{0, 100002}}));
}

TEST(RegexSearch, ErrorsSayWhatWentWrong)
{
    EXPECT_EQ(ErrorOf("abc", QStringLiteral("a(b")),
              QStringLiteral("Regular expression pattern error:\r\n\r\n"
                             "missing closing parenthesis at offset 3"));
    // The offset is the one in the text the user typed, also with whole words.
    EXPECT_EQ(ErrorOf("abc", QStringLiteral("\u00e9(b"), 0, soWholeWords),
              QStringLiteral("Regular expression pattern error:\r\n\r\n"
                             "missing closing parenthesis at offset 4"));
    EXPECT_EQ(ErrorOf("abc", QStringLiteral("b"), 5), QStringLiteral("Unknown encoding specified"));
    EXPECT_EQ(ErrorOf("aa", QStringLiteral("(a)\\1")),
              QStringLiteral("The search cannot run this regular expression:\r\n\r\n"
                             "back-references such as \\1 are not supported"));
    EXPECT_TRUE(ErrorOf("ab", QStringLiteral("a\\Kb"))
                    .startsWith(QStringLiteral("The search cannot run this regular expression:")));
}

TEST(RegexSearch, WorkspaceGrowsAndItsLimitIsAnError)
{
    // (?:.?){100} needs about 4096 integers, far beyond the 64 it starts with.
    // A limit that is reached ends the search with its own result, not "no match".
    MemorySource source(QByteArray(200, 'a'));
    TDIRegExSearchStream_Enc regex;
    regex.WorkSpaceLimitBytes = 4096;
    ASSERT_TRUE(regex.SetMatchPattern("(?:.?){100}"));
    regex.SetStream(&source, 0, TDIRegExSearchStream_Enc::Encoding::Ansi);
    TDIRegExSearchStream_Enc::Match m;
    EXPECT_EQ(regex.FindNext(m), TDIRegExSearchStream_Enc::ResultWorkspaceLimit);
    regex.WorkSpaceLimitBytes = 1 << 20;
    regex.SetStream(&source, 0, TDIRegExSearchStream_Enc::Encoding::Ansi);
    EXPECT_GE(regex.FindNext(m), 0);
    EXPECT_EQ(m.Length, 100);
}

TEST(RegexSearch, ProgressCountsRawBytesAndStops)
{
    Searcher s(Utf16(QString(40000, QLatin1Char('.')), false));
    std::vector<qint64> seen;
    s.search.OnProgress = [&](qint64 pos, qint64 max, bool &) {
        EXPECT_EQ(max, 80000);
        seen.push_back(pos);
    };
    EXPECT_FALSE(s.search.FindFirst(QStringLiteral("x"), EncodingUtf16LE, soRegex, 100));
    // One report before each fill but the first, in bytes of the source: the
    // first fill of 32768 UTF-8 bytes took 65536 of them.
    EXPECT_EQ(seen, std::vector<qint64>{100 + 65536});

    s.search.OnProgress = [&](qint64, qint64, bool &go) { go = false; };
    EXPECT_FALSE(s.search.FindFirst(QStringLiteral("x"), EncodingUtf16LE, soRegex, 0));
    EXPECT_EQ(s.search.FoundStart(), -1);
}

// Small fills and overlaps force every border case; the results stay those
// of one run over the whole text.
TEST(RegexSearch, AnyFillSizeGivesTheWholeTextMatches)
{
    // Alternatives the backtracking matcher takes in another order and
    // subroutine calls check that candidates found by the JIT keep the DFA's
    // longest match at the leftmost start.
    const char *patterns[] = {"ab|b",      "a+",         "x*",      "\\bab\\b", "(?<=ba)b", "b$",
                              "a.{0,3}b",  "ab\\s",      "[ab]{3}", "(?=ab)a",  "\\Bb",     "^a",
                              "a|ab",      "b(?:a|ab)*", "a(?R)?b", "(?-i)b a", "ab.b",     "b a",
                              "(?<=a)b b", "a[b ]{2}a",  "ba(?!b)"};
    std::mt19937 rng(11);
    for (int round = 0; round < 60; ++round) {
        // Every other round without letter case, where capitals appear too.
        const uint32_t options = round % 2 ? PCRE2_CASELESS : 0;
        std::string text(size_t(rng() % 60), ' ');
        for (char &c : text)
            c = " ab\nAB"[rng() % (options ? 6 : 4)];
        for (const char *pattern : patterns) {
            bool ok = false;
            const auto expected = ReferenceMatches(pattern, options, text, &ok);
            ASSERT_TRUE(ok) << pattern;
            for (const quint32 fill : {1u, 2u, 3u, 7u}) {
                SCOPED_TRACE(testing::Message() << pattern << " in \"" << text << "\" fill " << fill
                                                << (options ? " caseless" : ""));
                MemorySource source(QByteArray::fromStdString(text));
                TDIRegExSearchStream_Enc regex;
                regex.SearchBufferSize = fill;
                regex.OverlapBufferSize = fill % 3;
                regex.CompileOptionBits = options;
                regex.ReadSize = fill + 1;
                ASSERT_TRUE(regex.SetMatchPattern(pattern));
                regex.SetStream(&source, 0, TDIRegExSearchStream_Enc::Encoding::Ansi);
                std::vector<ReferenceMatch> got;
                TDIRegExSearchStream_Enc::Match m;
                while (got.size() < 1000 && regex.FindNext(m) >= 0)
                    got.push_back({m.Start, m.Start + m.Length});
                EXPECT_EQ(got, expected);
            }
        }
    }
}

// Patterns that make a backtracking matcher take exponential time end
// quickly with the DFA's answer.
TEST(RegexSearch, CatastrophicPatternsFinish)
{
    const QByteArray bytes = QByteArray(20000, 'a') + "c";
    EXPECT_EQ(All(bytes, QStringLiteral("(a|aa)*b"), 0, soCaseSensitive), std::vector<Hit>{});
    EXPECT_EQ(All(bytes, QStringLiteral("(?:a*)*b"), 0, soCaseSensitive), std::vector<Hit>{});
    EXPECT_EQ(All(bytes, QStringLiteral("(a|aa)*c"), 0, soCaseSensitive),
              (std::vector<Hit>{{0, 20001}}));
}

} // namespace
