#include "memorysource.h"
#include "regexreference.h"
#include "common/encodingarg.h"

#include "search/streamsearch.h"
#include "search/regexstreamsearcher.h"
#include "search/searcherror.h"

#include "viewer/testfiles.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct Searcher
{
    explicit Searcher(const QByteArray &bytes) : source(bytes) { search.setStream(&source); }
    MemorySource source;
    StreamSearch search;
};

struct Hit
{
    qint64 start, length;
    bool operator==(const Hit &) const = default;
};
void printTo(const Hit &h, std::ostream *os)
{
    *os << "{" << h.start << ", " << h.length << "}";
}

// Every match from FindFirst on, at most ten.
std::vector<Hit> all(const QByteArray &bytes, const QString &pattern, Encoding encoding,
                     SearchOptions options, qint64 start = 0)
{
    Searcher s(bytes);
    std::vector<Hit> hits;
    for (bool found = s.search.findFirst(pattern, encoding, options | soRegex, start);
         found && hits.size() < 10; found = s.search.findNext())
        hits.push_back({s.search.foundStart(), s.search.foundLength()});
    return hits;
}

QString errorOf(const QByteArray &bytes, const QString &pattern, Encoding encoding = encodingAnsi,
                SearchOptions options = {})
{
    Searcher s(bytes);
    try {
        s.search.findFirst(pattern, encoding, options | soRegex, 0);
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
        EncodingArg encoding;
        SearchOptions options;
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
        {"OEM box drawing", "ab\xc4\xc4-", "\\x{2500}+", encodingOem, {}, 0, {{2, 2}}},
        {"UTF-16 LE", utf16(QStringLiteral("xab"), false), "ab", encodingUtf16LE, {}, 0, {{2, 4}}},
        {"UTF-16 BE", utf16(QStringLiteral("xab"), true), "ab", encodingUtf16BE, {}, 0, {{2, 4}}},
        {"UTF-16 start counts bytes",
         utf16(QStringLiteral("abab"), false),
         "ab",
         encodingUtf16LE,
         {},
         4,
         {{4, 4}}},
        {"UTF-16 surrogate pair is one character",
         utf16(surrogate, false),
         ".x",
         encodingUtf16LE,
         {},
         0,
         {{0, 6}}},
        {"UTF-16 lone surrogate reads as ?",
         utf16(QString(QChar(0xDC00)) + "x", false),
         "\\?x",
         encodingUtf16LE,
         {},
         0,
         {{0, 4}}},
        {"UTF-16 odd size drops the last byte",
         utf16(QStringLiteral("ab"), false) + "c",
         "b\\z",
         encodingUtf16LE,
         {},
         0,
         {{2, 2}}},
        {"UTF-16 LE high surrogate at the end reads as ?",
         QByteArray("a\0b\0\0\xd8", 6),
         "$",
         encodingUtf16LE,
         {},
         0,
         {{6, 0}}},
        {"UTF-16 LE high surrogate at the end is a character",
         QByteArray("a\0b\0\0\xd8", 6),
         "b.",
         encodingUtf16LE,
         {},
         0,
         {{2, 4}}},
        {"UTF-16 BE high surrogate and an odd byte at the end",
         QByteArray("\0a\0b\xd8\0x", 7),
         "b.$",
         encodingUtf16BE,
         {},
         0,
         {{2, 4}}},
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
        EXPECT_EQ(all(c.bytes, c.pattern, c.encoding, c.options, c.start), c.hits);
    }
}

// A whole word has no letter, digit, underscore or code above 127 right
// before or after it, in both searches; the regex keeps its own syntax
// whole, to its very end.
TEST(RegexSearch, WholeWordsAreThoseOfThePlainSearch)
{
    struct Row
    {
        const char *name;
        QByteArray bytes;
        QString pattern;
        QString plain; // the same text for the plain search; null: regex only
        std::vector<Hit> hits;
    } rows[] = {
        {"alternatives stay together", "bobcat hotdog dog", "cat|dog", QString(), {{14, 3}}},
        {"letters above 127 are word characters",
         "caf\xc3\xa9 caf\xc3\xa9s x\xc3\xa9lan \xc3\xa9lan",
         "caf\u00e9|\u00e9lan",
         QString(),
         {{0, 5}, {20, 5}}},
        {"a text that starts with punctuation", "a-x -x", "-x", "-x", {{4, 2}}},
        {"the underscore is a word character", "foo_bar foo", "foo", "foo", {{8, 3}}},
        {"e acute before",
         "\xc3\xa9"
         "foo foo",
         "foo",
         "foo",
         {{6, 3}}},
        {"a quote left open", "a.b\\b xa.b a.b", "\\Qa.b", "a.b", {{0, 3}, {11, 3}}},
        {"an extended-mode comment at the end", "ab a", "(?x)a # comment", "a", {{3, 1}}},
        {"items at the start of the pattern",
         "\xc3\xa9t\xc3\xa9 x_y",
         "(*UCP)\\w+",
         QString(),
         {{0, 5}, {6, 3}}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(all(r.bytes, r.pattern, encodingAnsi, soWholeWords | soCaseSensitive), r.hits);
        if (r.plain.isNull())
            continue;
        Searcher s(r.bytes);
        std::vector<Hit> plain;
        for (bool found =
                 s.search.findFirst(r.plain, encodingAnsi, soWholeWords | soCaseSensitive, 0);
             found; found = s.search.findNext())
            plain.push_back({s.search.foundStart(), s.search.foundLength()});
        EXPECT_EQ(plain, r.hits) << "plain";
    }
}

TEST(RegexSearch, MatchesAcrossFillBorders)
{
    // A match that starts three bytes before the end of the first fill, and
    // one found only through the 2 KiB kept in front of the second fill.
    QByteArray bytes(70000, '.');
    bytes.replace(32768 - 3, 10, "NEEDLE-7f3");
    bytes.replace(40000, 6, "x-tail");
    EXPECT_EQ(all(bytes, QStringLiteral("NEEDLE-[0-9a-f]+"), encodingAnsi, {}),
              (std::vector<Hit>{{32765, 10}}));
    EXPECT_EQ(all(bytes, QStringLiteral("(?<=x-)tail"), encodingAnsi, {}),
              (std::vector<Hit>{{40002, 4}}));
    // A look-behind longer than the overlap still sees its text.
    bytes = QByteArray(70000, 'a') + "b";
    EXPECT_EQ(all(bytes, QStringLiteral("(?<=a{3000})b"), encodingAnsi, {}),
              (std::vector<Hit>{{70000, 1}}));
    // A match far longer than a fill keeps its start.
    bytes = "<" + QByteArray(100000, 'a') + ">";
    EXPECT_EQ(all(bytes, QStringLiteral("<a*>"), encodingAnsi, {}),
              (std::vector<Hit>{{0, 100002}}));
}

// A candidate longer than what the searcher keeps in memory continues
// without its text; when it fails, the starts after its first character
// are still to be tried.
TEST(RegexSearch, ALongFailedCandidateLosesNoLaterMatch)
{
    QByteArray log = "ERROR payload=" + QByteArray(2'200'000, 'Q') + "\n";
    const qint64 firstShort = log.size();
    for (int i = 0; i < 100'000; ++i)
        log += "ERROR request " + QByteArray::number(i) + " timeout\n";
    Searcher s(log);
    qint64 count = 0, first = -1, last = -1;
    for (bool found =
             s.search.findFirst(QStringLiteral("ERROR.*timeout"), encodingAnsi, soRegex, 0);
         found; found = s.search.findNext()) {
        if (count++ == 0)
            first = s.search.foundStart();
        last = s.search.foundStart();
    }
    EXPECT_EQ(count, 100'000);
    EXPECT_EQ(first, firstShort);
    EXPECT_EQ(last, log.lastIndexOf("ERROR"));

    // Lines of several MB, one ending in a match and one not, before short
    // lines that match, in UTF-8 and UTF-16.
    for (const bool wide : {false, true}) {
        for (const int pairs : {1'000'000, 1'700'000}) {
            for (const bool closed : {false, true}) {
                SCOPED_TRACE(testing::Message() << (wide ? "UTF-16" : "UTF-8") << ", " << pairs
                                                << (closed ? " pairs, closed" : " pairs, open"));
                QString text =
                    QStringLiteral("x") + QString(QStringLiteral("a\u00e9")).repeated(pairs);
                if (closed)
                    text += QLatin1Char('y');
                text += QLatin1Char('\n');
                const qsizetype longChars = text.size();
                text += QString(QStringLiteral("xa\u00e9y\n")).repeated(1000);
                const QByteArray bytes = wide ? utf16(text, false) : text.toUtf8();
                const qint64 unit = wide ? 2 : 1;
                const qint64 shortStart =
                    wide ? 2 * longChars : text.left(longChars).toUtf8().size();
                std::vector<Hit> hits;
                Searcher w(bytes);
                for (bool found =
                         w.search.findFirst(QStringLiteral("x[a\u00e9]*y"),
                                            wide ? encodingUtf16LE : encodingAnsi, soRegex, 0);
                     found; found = w.search.findNext())
                    hits.push_back({w.search.foundStart(), w.search.foundLength()});
                ASSERT_EQ(hits.size(), closed ? 1001u : 1000u);
                if (closed)
                    EXPECT_EQ(hits.front(), (Hit{0, shortStart - unit}));
                const Hit firstShortHit = hits[closed ? 1 : 0];
                EXPECT_EQ(firstShortHit, (Hit{shortStart, wide ? 8 : 5}));
            }
        }
    }
}

// Matches of patterns that run long, with a candidate kept in memory for a
// few bytes only, against one run over the whole text.
TEST(RegexSearch, AnyCarriedLengthGivesTheWholeTextMatches)
{
    const char *patterns[] = {"x[ab]*y", "a.*b", "a[ab]*b|a", "(?:ab)*c|b", "a+$", "x[^y]*y|x"};
    std::mt19937 rng(5);
    for (int round = 0; round < 40; ++round) {
        std::string text(size_t(rng() % 40), ' ');
        for (char &c : text)
            c = "abxy\n"[rng() % 5];
        for (const char *pattern : patterns) {
            bool ok = false;
            const auto expected = referenceMatches(pattern, 0, text, &ok);
            ASSERT_TRUE(ok) << pattern;
            for (const qint64 carry : {0, 1, 3}) {
                SCOPED_TRACE(testing::Message()
                             << pattern << " in \"" << text << "\" carry " << carry);
                MemorySource source(QByteArray::fromStdString(text));
                RegexStreamSearcher regex;
                regex.searchBufferSize = 2;
                regex.overlapBufferSize = 1;
                regex.readSize = 3;
                regex.maxCarryBytes = carry;
                regex.compileOptionBits = 0;
                ASSERT_TRUE(regex.setMatchPattern(pattern));
                regex.setStream(&source, 0, encodingAnsi);
                std::vector<ReferenceMatch> got;
                RegexStreamSearcher::Match m;
                while (got.size() < 1000 && regex.findNext(m) >= 0)
                    got.push_back({m.start, m.start + m.length});
                EXPECT_EQ(got, expected);
            }
        }
    }
}

TEST(RegexSearch, ErrorsSayWhatWentWrong)
{
    EXPECT_EQ(errorOf("abc", QStringLiteral("a(b")),
              QStringLiteral("Regular expression pattern error:\r\n\r\n"
                             "missing closing parenthesis at offset 3"));
    // The offset is the one in the text the user typed, also with whole words.
    EXPECT_EQ(errorOf("abc", QStringLiteral("\u00e9(b"), encodingAnsi, soWholeWords),
              QStringLiteral("Regular expression pattern error:\r\n\r\n"
                             "missing closing parenthesis at offset 4"));
    EXPECT_EQ(errorOf("abc", QStringLiteral("b"), Encoding::codePage(5)),
              QStringLiteral("Unknown encoding specified"));
    EXPECT_EQ(errorOf("aa", QStringLiteral("(a)\\1")),
              QStringLiteral("The search cannot run this regular expression:\r\n\r\n"
                             "back-references such as \\1 are not supported"));
    EXPECT_TRUE(errorOf("ab", QStringLiteral("a\\Kb"))
                    .startsWith(QStringLiteral("The search cannot run this regular expression:")));
}

// An item the matcher cannot run is an error wherever the matcher reaches
// it, with or without a match: the JIT that finds candidates for it must not
// answer "not found" first.
TEST(RegexSearch, ItemsTheMatcherCannotRunAreErrorsWithOrWithoutAMatch)
{
    for (const char *pattern : {"x(?*b)", "(x)(?(1)a|b)", "x(*sr:b)", "x\\Q\\E\\Kb"}) {
        for (const QByteArray &text : {QByteArray("xb"), QByteArray("xc b")}) {
            SCOPED_TRACE(testing::Message() << pattern << " in " << text.toStdString());
            EXPECT_TRUE(
                errorOf(text, QString::fromUtf8(pattern))
                    .startsWith(QStringLiteral("The search cannot run this regular expression:")));
        }
    }
}

TEST(RegexSearch, WorkspaceGrowsAndItsLimitIsAnError)
{
    // (?:.?){100} needs about 4096 integers, far beyond the 64 it starts with.
    // A limit that is reached ends the search with its own result, not "no match".
    MemorySource source(QByteArray(200, 'a'));
    RegexStreamSearcher regex;
    regex.workSpaceLimitBytes = 4096;
    ASSERT_TRUE(regex.setMatchPattern("(?:.?){100}"));
    regex.setStream(&source, 0, encodingAnsi);
    RegexStreamSearcher::Match m;
    EXPECT_EQ(regex.findNext(m), RegexStreamSearcher::resultWorkspaceLimit);
    regex.workSpaceLimitBytes = 1 << 20;
    regex.setStream(&source, 0, encodingAnsi);
    EXPECT_GE(regex.findNext(m), 0);
    EXPECT_EQ(m.length, 100);
}

TEST(RegexSearch, ProgressCountsRawBytesAndStops)
{
    Searcher s(utf16(QString(40000, QLatin1Char('.')), false));
    std::vector<qint64> seen;
    s.search.onProgress = [&](qint64 pos, qint64 max, bool &) {
        EXPECT_EQ(max, 80000);
        seen.push_back(pos);
    };
    EXPECT_FALSE(s.search.findFirst(QStringLiteral("x"), encodingUtf16LE, soRegex, 100));
    // One report before each fill but the first, in bytes of the source: the
    // first fill of 32768 UTF-8 bytes took 65536 of them.
    EXPECT_EQ(seen, std::vector<qint64>{100 + 65536});

    s.search.onProgress = [&](qint64, qint64, bool &go) { go = false; };
    EXPECT_FALSE(s.search.findFirst(QStringLiteral("x"), encodingUtf16LE, soRegex, 0));
    EXPECT_EQ(s.search.foundStart(), -1);
}

// Small fills and overlaps force every border case; the results stay those
// of one run over the whole text.
// A candidate too long to carry goes on by DFA restart, in steps, after
// being taken up afresh from its start; each row is a fault once found.
TEST(RegexSearch, ALongCandidateGivesTheWholeTextMatches)
{
    struct Row
    {
        const char *name;
        QString text;
        const char *pattern;
        qsizetype fill, overlap, read;
        qint64 carry;
        bool caseless, wholeWords;
        std::vector<ReferenceMatch> matches; // UTF-8 offsets
    } rows[] = {
        // "一二三四é" starts none that completes; the DFA went on from later
        // starts within the step, and the partial match there is a
        // candidate of its own.
        {"a candidate taken up afresh gives way to a later start",
         QStringLiteral("一二三四é五六七!一"),
         "...!",
         6,
         2,
         47,
         0,
         false,
         false,
         {{14, 24}}},
        // "$" matches before a line break that ends the text the DFA sees.
        {"a step never ends after a line break",
         QStringLiteral("一éa\n一一"),
         "...$",
         6,
         2,
         47,
         0,
         false,
         false,
         {}},
        // The whole-word frame looks ahead: the steps left too little text
        // after them, and the match at 0 became one at 1.
        {"a whole-word candidate keeps its start",
         QString::fromLatin1("\x01"
                             "Eb|\0?ibq",
                             9),
         ".*b",
         2,
         0,
         62,
         2,
         true,
         true,
         {{0, 3}}},
    };
    for (const Row &r : rows) {
        for (const Encoding encoding : {encodingAnsi, encodingUtf16LE}) {
            SCOPED_TRACE(std::string(r.name) + (encoding.isUtf16() ? ", UTF-16" : ", UTF-8"));
            MemorySource source(encoding.isUtf16() ? utf16(r.text, false) : r.text.toUtf8());
            RegexStreamSearcher regex;
            regex.searchBufferSize = r.fill;
            regex.overlapBufferSize = r.overlap;
            regex.readSize = r.read;
            regex.maxCarryBytes = r.carry;
            regex.compileOptionBits = r.caseless ? PCRE2_CASELESS : 0;
            regex.wholeWords = r.wholeWords;
            ASSERT_TRUE(regex.setMatchPattern(r.pattern));
            regex.setStream(&source, 0, encoding);
            std::vector<ReferenceMatch> got;
            RegexStreamSearcher::Match m;
            while (got.size() < 10 && regex.findNext(m) >= 0)
                got.push_back({m.start, m.start + m.length});
            EXPECT_EQ(got, r.matches);
        }
    }
}

TEST(RegexSearch, AnyFillSizeGivesTheWholeTextMatches)
{
    // Alternatives the backtracking matcher takes in another order and
    // subroutine calls check that candidates found by the JIT keep the DFA's
    // longest match at the leftmost start.
    // Literals that the prefilter looks for are read through the syntax:
    // quoted, spaced out, behind start-of-pattern items and comments.
    const char *patterns[] = {
        "ab|b",      "a+",        "x*",         "\\bab\\b",  "(?<=ba)b",  "b$",        "a.{0,3}b",
        "ab\\s",     "[ab]{3}",   "(?=ab)a",    "\\Bb",      "^a",        "a|ab",      "b(?:a|ab)*",
        "a(?R)?b",   "(?-i)b a",  "ab.b",       "b a",       "(?<=a)b b", "a[b ]{2}a", "ba(?!b)",
        "\\Qb a\\E", "(?x)b\\ a", "(*UCP)b\\s", "a(?#x)b a", "(?i:b) a"};
    std::mt19937 rng(11);
    for (int round = 0; round < 60; ++round) {
        // Every other round without letter case, where capitals appear too.
        const uint32_t options = round % 2 ? PCRE2_CASELESS : 0;
        std::string text(size_t(rng() % 60), ' ');
        for (char &c : text)
            c = " ab\nAB"[rng() % (options ? 6 : 4)];
        for (const char *pattern : patterns) {
            bool ok = false;
            const auto expected = referenceMatches(pattern, options, text, &ok);
            ASSERT_TRUE(ok) << pattern;
            for (const quint32 fill : {1u, 2u, 3u, 7u}) {
                SCOPED_TRACE(testing::Message() << pattern << " in \"" << text << "\" fill " << fill
                                                << (options ? " caseless" : ""));
                MemorySource source(QByteArray::fromStdString(text));
                RegexStreamSearcher regex;
                regex.searchBufferSize = fill;
                regex.overlapBufferSize = fill % 3;
                regex.compileOptionBits = options;
                regex.readSize = fill + 1;
                ASSERT_TRUE(regex.setMatchPattern(pattern));
                regex.setStream(&source, 0, encodingAnsi);
                std::vector<ReferenceMatch> got;
                RegexStreamSearcher::Match m;
                while (got.size() < 1000 && regex.findNext(m) >= 0)
                    got.push_back({m.start, m.start + m.length});
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
    EXPECT_EQ(all(bytes, QStringLiteral("(a|aa)*b"), encodingAnsi, soCaseSensitive),
              std::vector<Hit>{});
    EXPECT_EQ(all(bytes, QStringLiteral("(?:a*)*b"), encodingAnsi, soCaseSensitive),
              std::vector<Hit>{});
    EXPECT_EQ(all(bytes, QStringLiteral("(a|aa)*c"), encodingAnsi, soCaseSensitive),
              (std::vector<Hit>{{0, 20001}}));
}

} // namespace
