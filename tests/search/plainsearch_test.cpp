#include "memorysource.h"
#include "common/encodingarg.h"

#include "search/streamsearch.h"
#include "search/searcherror.h"

#include "viewer/testfiles.h"

#include <gtest/gtest.h>

namespace {

constexpr qint64 kBlock = StreamSearch::blockSize;

struct Searcher
{
    explicit Searcher(const QByteArray &bytes) : source(bytes) { search.setStream(&source); }
    MemorySource source;
    StreamSearch search;
};

struct Case
{
    const char *name;
    QByteArray bytes;
    QString text;
    EncodingArg encoding;
    SearchOptions options;
    qint64 start;
    qint64 foundStart; // -1: none
    qint64 foundLength;
};

QByteArray filler(qint64 size, char c = '.')
{
    return QByteArray(int(size), c);
}

TEST(PlainSearch, FindFirstFindsTheExpectedBytes)
{
    const Encoding sjis = entryOf(932), cp1251 = entryOf(1251), gb18030 = entryOf(54936);
    const Encoding ebcdic = entryOf(1143), iscii = entryOf(57004);
    const QString replacement(QChar(0xFFFD));
    const QString foo = QStringLiteral("foo");
    const SearchOptions cs = soCaseSensitive, ww = soCaseSensitive | soWholeWords;
    const Case cases[] = {
        {"forward from the start", "xxfooxx", foo, 0, cs, 0, 2, 3},
        {"forward from inside skips earlier", "foo foo", foo, 0, cs, 1, 4, 3},
        {"start past the end", "foo", foo, 0, cs, 3, -1, 0},
        {"negative start is the beginning", "foo", foo, 0, cs, -5, 0, 3},
        {"backward from 0 runs from the end", "foo foo", foo, 0, cs | soBackward, 0, 4, 3},
        {"backward ends just after the start character", "foo foo", foo, 0, cs | soBackward, 5, 0,
         3},
        {"backward from the last character of a match", "foo foo", foo, 0, cs | soBackward, 6, 4,
         3},
        {"case folded", "xFoO", foo, 0, {}, 0, 1, 3},
        {"case kept", "xFoO", foo, 0, cs, 0, -1, 0},
        {"whole word after a hyphen", "a foo-bar", foo, 0, ww, 0, 2, 3},
        {"underscore is a word character", "a foo_bar", foo, 0, ww, 0, -1, 0},
        {"a letter before refuses", "afoo", foo, 0, ww, 0, -1, 0},
        {"a character above 127 refuses",
         "\xc3\xa9"
         "foo",
         foo, 0, ww, 0, -1, 0},
        {"whole word at the very end", "x foo", foo, 0, ww, 0, 2, 3},
        {"whole word at 0 backward", "foo x", foo, 0, ww | soBackward, 0, 0, 3},
        {"the start itself counts as a border", "afoo", foo, 0, ww, 1, 1, 3},

        {"UTF-8: byte offset after a two-byte character", "\xc3\xa9 foo", foo, 0, cs, 0, 3, 3},
        {"UTF-8: length of a non-ASCII text in bytes", "ab\xc3\xa9z", QStringLiteral("\u00e9z"), 0,
         cs, 0, 2, 3},
        {"UTF-8: caseless non-ASCII", "ab\xc3\x89Z", QStringLiteral("\u00e9z"), 0, {}, 0, 2, 3},
        {"UTF-8: caseless Cyrillic whose cases differ in their first byte",
         "x \xd0\xa8\xd0\x98\xd1\x80",
         QStringLiteral("\u0448\u0438\u0420"),
         0,
         {},
         0,
         2,
         6},
        {"UTF-8: caseless, a swapped first byte makes another letter",
         "\xd0\x88\xd0\xb8",
         QStringLiteral("\u0448\u0438"),
         0,
         {},
         0,
         -1,
         0},
        {"UTF-8: caseless Greek with an accent, mixed with ASCII",
         "a \xce\xa3\xce\xa6\xce\x86-X",
         QStringLiteral("\u03c3\u03c6\u03ac-x"),
         0,
         {},
         0,
         2,
         8},
        {"UTF-8: caseless, a final sigma is not a sigma",
         "\xcf\x82",
         QStringLiteral("\u03c3"),
         0,
         {},
         0,
         -1,
         0},
        {"UTF-8: caseless, a variant of another length",
         "\xe1\xba\x9e",
         QStringLiteral("\u00df"),
         0,
         {},
         0,
         0,
         3},
        {"UTF-8: caseless, a bad sequence is no match",
         "\xd0\xd0\xb8",
         QStringLiteral("\u0438"),
         0,
         {},
         0,
         1,
         2},
        {"UTF-8: caseless whole words past ASCII", "\xd0\x98\xd0\x98 \xd0\x98",
         QStringLiteral("\u0438"), 0, soWholeWords, 0, 5, 2},
        {"UTF-8: ASCII never matches a Kelvin sign",
         "\xe2\x84\xaa",
         QStringLiteral("k"),
         0,
         {},
         0,
         -1,
         0},
        {"UTF-8: a bad byte is no match for the text",
         "a\xff"
         "b",
         QStringLiteral("ab"), 0, cs, 0, -1, 0},
        {"OEM 437: byte of a box character", "ab\xc4\xc4", QStringLiteral("\u2500"), 1, cs, 0, 2,
         1},
        {"1251: caseless Cyrillic",
         "x\xc0\xc1",
         QStringLiteral("\u0430\u0431"),
         cp1251,
         {},
         0,
         1,
         2},
        {"1251: a character the page lacks", "abc", QStringLiteral("\u00e9"), cp1251, {}, 0, -1, 0},
        {"Shift-JIS: offset after double-byte characters",
         "\x93\xfa\x96\x7b"
         "ab",
         QStringLiteral("ab"), sjis, cs, 0, 4, 2},
        {"Shift-JIS: a trail byte is not the ASCII it looks like", "\x95\x5c", QStringLiteral("\\"),
         sjis, cs, 0, -1, 0},
        {"Shift-JIS: length of a double-byte text", "a\x93\xfa\x96\x7b",
         QStringLiteral("\u65e5\u672c"), sjis, cs, 0, 1, 4},
        // 81 30 81 20 is no four-byte character: the first 81 alone does
        // not decode. Cut off after the 30, the two would read as one.
        {"GB18030: a bad byte at the backward edge decodes as in the whole text",
         "\x81"
         "0\x81 0",
         replacement, gb18030, cs | soBackward, 1, 0, 1},
        // The viewer breaks lines at these bytes on every page; EBCDIC reads
        // 0A as U+008E, and ISCII reads a CR after a bad EXT sequence as
        // part of it.
        {"EBCDIC: a word starts after a line break byte", "\x81\x0a\x86\x96\x96", foo, ebcdic, ww,
         0, 2, 3},
        {"EBCDIC: a word ends before a line break byte", "\x86\x96\x96\x0a\x81", foo, ebcdic, ww, 0,
         0, 3},
        {"ISCII: a word starts after a CR that a bad sequence swallows", "x\xf0\xd7\rfoo", foo,
         iscii, ww, 0, 4, 3},
        {"UTF-16 LE: even offsets only",
         utf16(QStringLiteral("\u6100b"), false) + utf16(foo, false), foo, encodingUtf16LE, cs, 0,
         4, 6},
        {"UTF-16 BE", utf16(QStringLiteral("xfoo"), true), foo, encodingUtf16BE, cs, 0, 2, 6},
        {"UTF-16 caseless non-ASCII",
         utf16(QStringLiteral("x\u00c4Rger"), false),
         QStringLiteral("\u00e4rger"),
         encodingUtf16LE,
         {},
         0,
         2,
         10},
        {"UTF-16 odd size ignores the last byte", utf16(foo, false) + "f", foo, encodingUtf16LE, cs,
         0, 0, 6},
        {"UTF-16 of one byte finds nothing",
         "f",
         QStringLiteral("f"),
         encodingUtf16LE,
         {},
         0,
         -1,
         0},
        {"UTF-16 whole word next to a non-ASCII unit",
         utf16(QStringLiteral("\u00e9foo foo"), false), foo, encodingUtf16LE, ww, 0, 10, 6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Searcher s(c.bytes);
        EXPECT_EQ(s.search.findFirst(c.text, c.encoding, c.options, c.start), c.foundStart >= 0);
        EXPECT_EQ(s.search.foundStart(), c.foundStart);
        EXPECT_EQ(s.search.foundLength(), c.foundLength);
    }
}

// ISO-2022-KR's SI and SO read as nothing and count with the character
// before them, so a run of them stretches a match past any overlap: it is
// read on until its end is known, in both directions, through small blocks.
TEST(PlainSearch, AMatchStretchedByShiftsIsFoundWhole)
{
    const Encoding kr = entryOf(50225);
    const QByteArray run(100, '\x0f');
    const auto so = [](int n) { return QByteArray(n, '\x0e'); };
    const SearchOptions cs = soCaseSensitive;
    const Case cases[] = {
        {"a run after a match", "x" + run + " y", QStringLiteral("x"), kr, cs, 0, 0, 101},
        {"a run after a whole word", "x" + run + " y", QStringLiteral("x"), kr, cs | soWholeWords,
         0, 0, 101},
        {"a run inside a match", "a" + run + "b", QStringLiteral("ab"), kr, cs, 0, 0, 102},
        // From 10, inside the character at 9 (SO bytes count with it), the
        // search starts at the next character, 20: a word border there.
        {"a start inside a character stands at the next one",
         "\xde\xe4~" + so(3) + "j" + so(2) + ":" + so(10) + QByteArray(16, '\r') + so(20) + "x",
         QString(2, QChar(0xFFFD)), kr, cs | soWholeWords, 10, 20, 4},
        {"a start inside a character that goes on past the first block",
         "\xde\xe4~" + so(3) + "j" + so(2) + ":" + so(60) + QByteArray(16, '\r') + so(20) + "x",
         QString(2, QChar(0xFFFD)), kr, cs | soWholeWords, 10, 70, 4},
        // Matches "xx" at 2+102 and 3+102: from 103 backward, a match must
        // end by 104, the end of the character that holds 103.
        {"backward, a run carries a match past the edge", "xxxx" + run + "xzz",
         QStringLiteral("xx"), kr, cs | soBackward, 103, 2, 102},
        // The block's end cut "5 00 00" after a match, and its last NUL then
        // read as a character of its own: the match came out a byte short.
        {"the character after a match cut by the block's end",
         "\xde\xe4"
         "C" +
             so(3) + "j" + so(2) + ":" + so(52) + "\x85" + so(28) + "5" + QByteArray(3, '\0') +
             so(6) + "ef" + so(5) + "x",
         QString(2, QChar(0xFFFD)), kr, cs, 10, 62, 32},
        {"backward, up to the edge", "xxxx" + run + "xzz", QStringLiteral("xx"), kr,
         cs | soBackward, 104, 3, 102},
    };
    for (const qint64 block : {8, 24, 4096}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", block " + std::to_string(block));
            Searcher s(c.bytes);
            s.search.setPlainBlockBytes(block);
            EXPECT_EQ(s.search.findFirst(c.text, c.encoding, c.options, c.start),
                      c.foundStart >= 0);
            EXPECT_EQ(s.search.foundStart(), c.foundStart);
            EXPECT_EQ(s.search.foundLength(), c.foundLength);
        }
    }
}

TEST(PlainSearch, MatchesAcrossBlockBordersAreFoundBothWays)
{
    // "foo" across every split of the first border, and one whole-word case
    // whose neighbour lies in the next block.
    for (qint64 at = kBlock - 3; at <= kBlock; ++at) {
        SCOPED_TRACE(at);
        QByteArray bytes = filler(2 * kBlock, ' ');
        bytes.replace(int(at), 3, "foo");
        for (const auto options :
             {SearchOptions(soCaseSensitive), SearchOptions(soCaseSensitive | soWholeWords)}) {
            Searcher s(bytes);
            EXPECT_TRUE(s.search.findFirst(QStringLiteral("foo"), encodingAnsi, options, 0));
            EXPECT_EQ(s.search.foundStart(), at);
            EXPECT_TRUE(
                s.search.findFirst(QStringLiteral("foo"), encodingAnsi, options | soBackward, 0));
            EXPECT_EQ(s.search.foundStart(), at);
        }
    }
    QByteArray bytes = filler(2 * kBlock, ' ');
    bytes.replace(int(kBlock - 3), 4, "fooz"); // "z" decides, in the next block
    Searcher s(bytes);
    EXPECT_FALSE(s.search.findFirst(QStringLiteral("foo"), encodingAnsi, soWholeWords, 0));
    EXPECT_FALSE(
        s.search.findFirst(QStringLiteral("foo"), encodingAnsi, soWholeWords | soBackward, 0));
}

// A word with a letter beside it is no whole word, wherever the blocks'
// borders fall: the block that starts (or, backward, ends) at the match has
// no sight of that letter, and the block before has judged it already.
TEST(PlainSearch, AWordTouchingALetterIsRefusedAtEveryBlockBorder)
{
    for (const bool wide : {false, true}) {
        for (const char *word : {"afoo", "fooz"}) {
            // The first border, in characters.
            const qint64 border = wide ? kBlock / 2 : kBlock;
            for (qint64 at = border - 8; at <= border + 8; ++at) {
                SCOPED_TRACE(testing::Message()
                             << (wide ? "UTF-16 " : "UTF-8 ") << word << " at " << at);
                QString text(int(2 * kBlock / (wide ? 2 : 1)), QLatin1Char(' '));
                text.replace(int(at), 4, QLatin1String(word));
                const QByteArray bytes = wide ? utf16(text, false) : text.toLatin1();
                const Encoding encoding = wide ? encodingUtf16LE : encodingAnsi;
                for (const auto direction : {SearchOptions(), SearchOptions(soBackward)}) {
                    Searcher s(bytes);
                    EXPECT_FALSE(s.search.findFirst(QStringLiteral("foo"), encoding,
                                                    soWholeWords | direction, 0))
                        << "found at " << s.search.foundStart();
                }
            }
        }
    }
}

struct Hit
{
    qint64 start, length;
    bool operator==(const Hit &) const = default;
};
void printTo(const Hit &h, std::ostream *os)
{
    *os << "{" << h.start << ", " << h.length << "}";
}

// Every match from FindFirst on through FindNext, at most ten.
std::vector<Hit> chain(const QByteArray &bytes, const QString &text, Encoding encoding,
                       SearchOptions options)
{
    Searcher s(bytes);
    std::vector<Hit> hits;
    for (bool found = s.search.findFirst(text, encoding, options, 0); found && hits.size() < 10;
         found = s.search.findNext())
        hits.push_back({s.search.foundStart(), s.search.foundLength()});
    return hits;
}

// Decoding a block or going on after a match never starts inside a
// character, nor in the wrong state of a page with shifts: what is left of
// a character would read as other characters.
TEST(PlainSearch, BlocksAndRestartsBeginAtACharacter)
{
    const QByteArray dots = filler(65519);
    const QByteArray yaRun = QByteArray(800, '\x83'); // 400 small ya in Shift-JIS
    QByteArray kanji;                                 // a thousand times U+4E9C in ISO-2022
    for (int i = 0; i < 1000; ++i)
        kanji += "0!";
    const QString nichi = QStringLiteral("\u65e5");
    struct Row
    {
        const char *name;
        QByteArray bytes;
        QString text;
        int codepage;
        std::vector<Hit> hits; // forward; backward the same in reverse
    } rows[] = {
        {"UTF-8: one U+FFFD for three bad bytes",
         "ab\xef\xbf\xbd"
         "cd",
         QStringLiteral("\ufffd"),
         65001,
         {{2, 3}}},
        {"UTF-8: U+FFFD next to a bad byte",
         "a\xff"
         "b\xc3",
         QStringLiteral("\ufffd"
                        "b"),
         65001,
         {{1, 2}}},
        {"UTF-8: a cut sequence at the end",
         "a\xff"
         "b\xc3",
         QStringLiteral("b\ufffd"),
         65001,
         {{2, 2}}},
        {"UTF-8: a block edge inside e acute",
         filler(65511) + "\xc3\xa9x" + filler(70000),
         QStringLiteral("\ufffdx"),
         65001,
         {}},
        {"GBK: adjacent characters",
         "\xc8\xd5\xc8\xd5\xc8\xd5",
         nichi,
         936,
         {{0, 2}, {2, 2}, {4, 2}}},
        {"GB18030: adjacent characters",
         "\xc8\xd5\xc8\xd5\xc8\xd5",
         nichi,
         54936,
         {{0, 2}, {2, 2}, {4, 2}}},
        {"EUC-JP: adjacent characters",
         "\xc6\xfc\xc6\xfc\xc6\xfc",
         nichi,
         51932,
         {{0, 2}, {2, 2}, {4, 2}}},
        {"EUC-KR: adjacent characters",
         "\xec\xed\xec\xed\xec\xed",
         nichi,
         51949,
         {{0, 2}, {2, 2}, {4, 2}}},
        {"Shift-JIS: adjacent characters",
         "\x93\xfa\x93\xfa\x93\xfa",
         nichi,
         932,
         {{0, 2}, {2, 2}, {4, 2}}},
        {"Shift-JIS: overlapping matches one character apart",
         "\x93\xfa\x93\xfa\x93\xfa",
         nichi + nichi,
         932,
         {{0, 4}, {2, 4}}},
        {"Big5: adjacent characters",
         "\xa4\xa4\xa4\xa4\xa4\xa4",
         QStringLiteral("\u4e2d"),
         950,
         {{0, 2}, {2, 2}, {4, 2}}},
        {"Shift-JIS: a trail byte at a block edge",
         dots + "\x83\x41" + filler(70000),
         QStringLiteral("A"),
         932,
         {}},
        {"Shift-JIS: a backslash trail byte at a block edge",
         dots + "\x95\x5c" + filler(70000),
         QStringLiteral("\\"),
         932,
         {}},
        {"Big5: an at sign trail byte at a block edge",
         dots + "\xa4\x40" + filler(70000),
         QStringLiteral("@"),
         950,
         {}},
        {"GB18030: a digit of a four-byte character at a block edge",
         dots + "\x81\x30\x81\x30" + filler(70000),
         QStringLiteral("0"),
         54936,
         {}},
        // The first forward block ends, and the second begins, inside the
        // run of lead bytes; the first backward block begins inside it.
        {"Shift-JIS: a after a run of small ya across the forward edge",
         filler(65119) + yaRun + "\x83\x41" + filler(70000),
         QStringLiteral("\u30a2"),
         932,
         {{65919, 2}}},
        {"Shift-JIS: a after a run of small ya across the backward edge",
         filler(1000) + yaRun + "\x83\x41" + filler(65135),
         QStringLiteral("\u30a2"),
         932,
         {{1800, 2}}},
        {"ISO-2022-JP: a block edge inside a run of kanji",
         filler(65000) + "\x1b$B" + kanji + "\x1b(B" + filler(1000),
         QStringLiteral("!0"),
         50220,
         {}},
        // The escape back to ASCII reads as nothing and counts with the kanji.
        {"ISO-2022-JP: a kanji after a block edge inside the run",
         filler(65000) + "\x1b$B" + kanji + "0\"\x1b(B" + filler(1000),
         QStringLiteral("\u5516"),
         50220,
         {{67003, 5}}},
        {"ISO-2022-KR: a block edge after shift out",
         "\x1b$)C" + filler(65000) + "\x0e" + kanji + "\x0f" + filler(1000),
         QStringLiteral("!0"),
         50225,
         {}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        const Encoding encoding = entryOf(r.codepage);
        EXPECT_EQ(chain(r.bytes, r.text, encoding, soCaseSensitive), r.hits);
        const std::vector<Hit> backward(r.hits.rbegin(), r.hits.rend());
        EXPECT_EQ(chain(r.bytes, r.text, encoding, soCaseSensitive | soBackward), backward);
    }
}

TEST(PlainSearch, FindNextStepsThroughOverlappingMatches)
{
    Searcher s("aaa");
    const QString aa = QStringLiteral("aa");
    ASSERT_TRUE(s.search.findFirst(aa, encodingAnsi, soCaseSensitive, 0));
    EXPECT_EQ(s.search.foundStart(), 0);
    ASSERT_TRUE(s.search.findNext());
    EXPECT_EQ(s.search.foundStart(), 1);
    ASSERT_TRUE(s.search.findNext(true));
    EXPECT_EQ(s.search.foundStart(), 0);
    ASSERT_TRUE(s.search.findNext());
    EXPECT_FALSE(s.search.findNext());
    EXPECT_EQ(s.search.foundStart(), -1);
    EXPECT_EQ(s.search.foundLength(), 0);
    // After a miss the next forward step starts again at the beginning.
    ASSERT_TRUE(s.search.findNext());
    EXPECT_EQ(s.search.foundStart(), 0);
    EXPECT_EQ(s.search.savedOptions(), soCaseSensitive);
}

TEST(PlainSearch, BackwardStepsReachEveryEarlierMatch)
{
    // Multi-byte texts step back by their length in bytes, in UTF-8 and UTF-16.
    const QString text = QStringLiteral("\u00e9t\u00e9");
    const QByteArray utf8 = text.toUtf8();
    struct Row
    {
        const char *name;
        QByteArray bytes;
        EncodingArg encoding;
        qint64 unit;
    } rows[] = {
        {"UTF-8", utf8 + "-" + utf8 + utf8, 0, qint64(utf8.size())},
        {"UTF-16", utf16(text + "-" + text + text, false), encodingUtf16LE, 6},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        Searcher s(r.bytes);
        const qint64 step = r.encoding.value.unitBytes();
        ASSERT_TRUE(s.search.findFirst(text, r.encoding, soCaseSensitive | soBackward, 0));
        EXPECT_EQ(s.search.foundStart(), 2 * r.unit + step);
        ASSERT_TRUE(s.search.findNext());
        EXPECT_EQ(s.search.foundStart(), r.unit + step);
        ASSERT_TRUE(s.search.findNext());
        EXPECT_EQ(s.search.foundStart(), 0);
        EXPECT_FALSE(s.search.findNext());
    }
}

TEST(PlainSearch, ProgressReportsEachBlockAndStops)
{
    Searcher s(filler(3 * kBlock));
    std::vector<qint64> seen;
    s.search.onProgress = [&](qint64 pos, qint64 max, bool &go) {
        EXPECT_EQ(max, 3 * kBlock);
        EXPECT_TRUE(go);
        seen.push_back(pos);
    };
    EXPECT_FALSE(s.search.findFirst(QStringLiteral("ab"), encodingAnsi, soCaseSensitive, 10));
    // Blocks step by their size less the text and one character.
    // The third block runs short of a full one and is the last.
    const std::vector<qint64> forward = {10, 10, 10 + kBlock - 3, 10 + 2 * (kBlock - 3)};
    EXPECT_EQ(seen, forward);

    seen.clear();
    EXPECT_FALSE(
        s.search.findFirst(QStringLiteral("ab"), encodingAnsi, soCaseSensitive | soBackward, 0));
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[0], 3 * kBlock - 1);
    EXPECT_EQ(seen[2], 3 * kBlock - 1 - kBlock + 3);

    // Stopping at the first report reads nothing.
    const size_t reads = s.source.reads().size();
    s.search.onProgress = [](qint64, qint64, bool &go) { go = false; };
    EXPECT_FALSE(s.search.findFirst(QStringLiteral("."), encodingAnsi, {}, 0));
    EXPECT_EQ(s.source.reads().size(), reads);

    // A stop requested on the token ends the search as well.
    s.search.onProgress = nullptr;
    std::stop_source stop;
    stop.request_stop();
    s.search.setStopToken(stop.get_token());
    EXPECT_FALSE(s.search.findFirst(QStringLiteral("."), encodingAnsi, {}, 0));
    EXPECT_EQ(s.source.reads().size(), reads);
}

TEST(PlainSearch, ReadErrorNamesTheBlock)
{
    Searcher s(filler(3 * kBlock));
    s.source.failAt = 2 * kBlock;
    try {
        s.search.findFirst(QStringLiteral("x"), encodingAnsi, {}, 0);
        FAIL() << "no error";
    } catch (const SearchError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Read error at offset %1").arg(2 * (kBlock - 2)));
    }
}

TEST(PlainSearch, ATextLongerThanABlockEndsWithoutAMatch)
{
    Searcher s(filler(3 * kBlock));
    const QString text(int(kBlock + 1), QLatin1Char('.'));
    EXPECT_FALSE(s.search.findFirst(text, encodingAnsi, {}, 0));
    EXPECT_FALSE(s.search.findFirst(text, encodingUtf16LE, soBackward, 0));
}

TEST(PlainSearch, EmptyTextAndShortSourcesFindNothing)
{
    Searcher s("abc");
    EXPECT_FALSE(s.search.findFirst(QString(), encodingAnsi, {}, 0));
    Searcher empty("");
    EXPECT_FALSE(empty.search.findFirst(QStringLiteral("a"), encodingAnsi, {}, 0));
    EXPECT_EQ(empty.search.foundStart(), -1);
}

// Every start of a small text against a naive comparison, both directions.
TEST(PlainSearch, AgreesWithANaiveSearchAtEveryStart)
{
    const QByteArray bytes = "ab aB_ab-abab Ab\nab";
    const QString text = QStringLiteral("ab");
    for (const auto options :
         {SearchOptions(soCaseSensitive), SearchOptions(), SearchOptions(soWholeWords)}) {
        const bool cs = bool(options & soCaseSensitive);
        const auto wordChar = [&](int i) {
            if (i < 0 || i >= bytes.size())
                return false;
            const char ch = bytes[i];
            return std::isalnum(uchar(ch)) || ch == '_';
        };
        const auto matchAt = [&](int i, qint64 start, bool forward) {
            if (bytes.mid(i, 2).compare(cs ? "ab" : "ab",
                                        cs ? Qt::CaseSensitive : Qt::CaseInsensitive))
                return false;
            if (!(options & soWholeWords))
                return true;
            const bool before = forward && i == start ? false : wordChar(i - 1);
            const bool after = !forward && i + 1 == start ? false : wordChar(i + 2);
            return !before && !after;
        };
        for (qint64 start = 1; start < bytes.size(); ++start) {
            SCOPED_TRACE(start);
            qint64 expectForward = -1, expectBackward = -1;
            for (int i = int(start); i + 2 <= bytes.size() && expectForward < 0; ++i)
                if (matchAt(i, start, true))
                    expectForward = i;
            for (int i = int(start) - 1; i >= 0 && expectBackward < 0; --i)
                if (matchAt(i, start, false))
                    expectBackward = i;
            Searcher s(bytes);
            s.search.findFirst(text, encodingAnsi, options, start);
            EXPECT_EQ(s.search.foundStart(), expectForward) << "forward";
            s.search.findFirst(text, encodingAnsi, options | soBackward, start);
            EXPECT_EQ(s.search.foundStart(), expectBackward) << "backward";
        }
    }
}

} // namespace
