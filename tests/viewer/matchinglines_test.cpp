// The matching-lines pane's core: which lines pass, where they start, and
// the pane's text read back from the log.
#include "../search/memorysource.h"
#include "testfiles.h"

#include "text/blockdecoder.h"
#include "viewer/matchedlines.h"
#include "viewer/filesource.h"
#include "viewer/matchinglines.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include <unistd.h>

namespace {

using Lines = std::vector<std::pair<qint64, qint64>>;

struct Scanned
{
    Lines lines;
    qint64 resumeAt = 0;
    qint64 tailStart = 0;
    qint64 tailLength = 0;
    bool operator==(const Scanned &) const = default;
};

void PrintTo(const Scanned &s, std::ostream *os)
{
    *os << "resume " << s.resumeAt << ", tail " << s.tailStart << "+" << s.tailLength << ", lines";
    for (const auto &[start, length] : s.lines)
        *os << ' ' << start << '+' << length;
}

// Blocks of the program's sizes, or of a few bytes.
struct Blocks
{
    qint64 first = MatchingLinesScanner::kFirstBlockBytes;
    qint64 rest = MatchingLinesScanner::kBlockBytes;
};

Scanned scan(const FileSource &bytes, const LineFilter &filter, qint64 from = 0, Scanned out = {},
             Blocks blocks = {})
{
    std::unique_ptr<FileSource> source = bytes.openAnother();
    MatchingLinesScanner scanner(*source, filter);
    scanner.setBlockBytes(blocks.first, blocks.rest);
    const MatchingLinesScanner::Result result = scanner.scan(
        from, [&](qint64 start, qint64 length) { out.lines.emplace_back(start, length); });
    EXPECT_EQ(result.status, MatchingLinesScanner::Result::Status::Done);
    out.resumeAt = result.resumeAt;
    out.tailStart = result.tail.length > 0 ? result.tail.source : 0;
    out.tailLength = result.tail.length;
    return out;
}

Scanned scanBytes(const QByteArray &bytes, const LineFilter &filter, Blocks blocks = {})
{
    return scan(MemorySource(bytes), filter, 0, {}, blocks);
}

// Splits the bytes into lines as the viewer does (LF, CR, CR LF), decodes
// each and tests it alone: the pane lists exactly these. A last line with
// no break, or ending in a CR that a LF may still join, is the tail.
Scanned reference(const QByteArray &bytes, const LineFilter &filter)
{
    const int unit = filter.encoding.isUtf16() ? 2 : 1;
    const auto at = [&](qint64 i) -> char16_t {
        if (unit == 1)
            return char16_t(static_cast<unsigned char>(bytes[i]));
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return filter.encoding.isBigEndian() ? char16_t(a << 8 | b) : char16_t(b << 8 | a);
    };
    const QuickMatcher matcher(filter.pattern);
    const auto passes = [&](qint64 from, qint64 to) {
        const QString text = decodeBlock(bytes.constData() + from, to - from, filter.encoding);
        return matcher.holds(text) != filter.invert;
    };
    Scanned out;
    const qint64 n = bytes.size() / unit * unit;
    qint64 start = 0;
    for (qint64 i = 0; i < n; i += unit) {
        const char16_t c = at(i);
        if (c != '\n' && c != '\r')
            continue;
        qint64 after = i + unit;
        if (c == '\r' && after < n && at(after) == '\n')
            after += unit;
        if (c == '\r' && after == n)
            break;
        if (passes(start, i))
            out.lines.emplace_back(start, after - start);
        start = after;
        i = after - unit;
    }
    out.resumeAt = start;
    qint64 end = n;
    while (end > start && at(end - unit) == '\r')
        end -= unit;
    if (start < n && passes(start, end)) {
        out.tailStart = start;
        out.tailLength = n - start;
    }
    return out;
}

QByteArray encode(const QString &text, Encoding encoding)
{
    return encoding.isUtf16() ? utf16(text, encoding.isBigEndian()) : text.toUtf8();
}

const QString kLog = QStringLiteral("2026-12-09 10:00:01 INFO start\n"
                                    "2026-12-09 10:00:02 ERROR db timeout=30 retry\r\n"
                                    "\n"
                                    "2026-12-09 10:00:03 DEBUG error-free\r"
                                    "2026-12-09 10:00:04 WARN errors=2\n"
                                    "ERROR\n"
                                    "tail with ERROR timeout=5");

TEST(MatchingLines, ListsTheLinesALineByLineFilterWould)
{
    struct Case
    {
        const char *name;
        QuickMatcher::Pattern pattern;
        bool invert = false;
    };
    const Case cases[] = {
        {"plain, any case", {"error"}},
        {"plain, case kept", {"ERROR", true}},
        {"plain, whole words", {"error", false, true}},
        {"plain, inverted", {"error"}, true},
        {"plain, no line holds it", {"absent"}},
        {"plain, none inverted", {"absent"}, true},
        {"regex with a literal", {"ERROR.*timeout=[0-9]+", true, false, true}},
        {"regex, inverted", {"ERROR.*timeout=[0-9]+", true, false, true}, true},
        {"regex with a literal, any case", {"error.*TIMEOUT=", false, false, true}},
        {"regex whose literal is on lines it does not match", {"INFO.*start", true, false, true}},
        {"regex, whole words", {"err[a-z]*", false, true, true}},
        {"regex that matches nothing anywhere: every line", {"x*", false, false, true}},
        {"regex for empty lines", {"^$", false, false, true}},
        {"regex, lines without DEBUG", {"^(?!.*DEBUG)", true, false, true}},
        {"regex at a line's end", {"[0-9]$", false, false, true}},
        {"regex running over a line's end", {"start\\s+2026", false, false, true}},
        {"regex with \\C, which the bar takes and the search does not",
         {"E\\CROR", true, false, true}},
    };
    // Blocks of a few bytes put every line across their borders, and make
    // the last line of UTF-16 with an odd byte count longer than a block.
    for (const Blocks blocks : {Blocks{}, Blocks{4, 4}, Blocks{6, 10}}) {
        // The list's UTF-8 entry as well as the system's: the regex engine
        // takes only the latter.
        for (const Encoding encoding :
             {encodingAnsi, entryOf(65001), encodingUtf16LE, encodingUtf16BE}) {
            for (const Case &c : cases) {
                SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(int(encoding.isUtf16())) +
                             std::to_string(int(encoding.isBigEndian())) + ", blocks " +
                             std::to_string(blocks.first) + "/" + std::to_string(blocks.rest));
                const LineFilter filter{c.pattern, encoding, c.invert};
                for (const QString &text :
                     {kLog, kLog + u'\n', kLog + u'\r', QString(), QStringLiteral("\n")}) {
                    const QByteArray bytes = encode(text, encoding);
                    EXPECT_EQ(scanBytes(bytes, filter, blocks), reference(bytes, filter));
                    // UTF-16 with an odd byte count: the lone byte is no text.
                    if (encoding.isUtf16()) {
                        EXPECT_EQ(scanBytes(bytes + 'E', filter, blocks),
                                  reference(bytes + 'E', filter));
                    }
                }
            }
        }
    }
}

TEST(MatchingLines, ReadsACodePageAsItsCharacters)
{
    // "Ошибка диска" / "ок" / "ОШИБКА" in Windows-1251.
    const QByteArray bytes("\xCE\xF8\xE8\xE1\xEA\xE0 \xE4\xE8\xF1\xEA\xE0\n\xEE\xEA\n"
                           "\xCE\xD8\xC8\xC1\xCA\xC0\n");
    const LineFilter filter{{QStringLiteral("ошибка")}, entryOf(1251), false};
    const Scanned scanned = scanBytes(bytes, filter);
    EXPECT_EQ(scanned.lines, (Lines{{0, 13}, {16, 7}}));
}

// Each line of a page reads as the view shows it, decoded alone:
// - a regular expression reads the page's characters where its bytes would
//   pass for UTF-8 ("0!" is a kanji between ISO-2022 shifts, C3 A9 is "Ã©"
//   in Windows-1252);
// - lines end at LF and CR bytes on every page, and so do words, even where
//   the page reads another character in the byte (EBCDIC) or takes it into
//   a bad sequence (ISCII);
// - a state left open at a line's end (SO in ISO-2022-KR, a kanji
//   designation that a bad escape keeps in ISO-2022-JP, a UTF-7 base64 run)
//   does not read the next line otherwise.
TEST(MatchingLines, ReadsEachLineOfAPageAsTheViewDoes)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        int codepage;
        QuickMatcher::Pattern pattern;
        bool invert;
        Lines lines;
    };
    const QuickMatcher::Pattern fooWord{QStringLiteral("foo"), false, true};
    const auto regex = [](const QString &text) {
        return QuickMatcher::Pattern{text, true, false, true};
    };
    const auto kept = [](const QString &text) { return QuickMatcher::Pattern{text, true}; };
    const Case cases[] = {
        {"ISO-2022-JP, regex: the bytes of a kanji",
         "\x1b$B0!\x1b(B x\n0! y\n",
         50220,
         regex(QStringLiteral("0!")),
         false,
         {{11, 5}}},
        {"1252, regex: C3 A9 is no \u00e9",
         "caf\xc3\xa9\n",
         1252,
         regex(QStringLiteral("\u00e9")),
         false,
         {}},
        {"1252, regex: C3 A9 is \u00c3\u00a9",
         "caf\xc3\xa9\n",
         1252,
         regex(QStringLiteral("\u00c3\u00a9")),
         false,
         {{0, 6}}},
        {"EBCDIC: a word ends at 0A",
         "\x86\x96\x96\x0a\x81\x0a\x86\x96\x96\x0a",
         1143,
         fooWord,
         true,
         {{4, 2}}},
        {"ISCII: a word starts after a CR a bad sequence takes",
         "x\xf0\xd7\rfoo\nxfoo\n",
         57004,
         fooWord,
         true,
         {{0, 4}, {8, 5}}},
        {"ISO-2022-KR: SO left open",
         "\x1b$)C\x0e!!\n!!\n",
         50225,
         kept(QStringLiteral("!!")),
         false,
         {{8, 3}}},
        {"ISO-2022-JP: a bad escape after ESC $ B",
         "\x1b$B0!\x1b x\n0! y\n",
         50220,
         kept(QStringLiteral("0!")),
         false,
         {{9, 5}}},
        {"UTF-7: a base64 run opened at a line's end",
         "R+\rx\n",
         65000,
         kept(QString(QChar(0xFFFD))),
         false,
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const LineFilter filter{c.pattern, entryOf(c.codepage), c.invert};
        EXPECT_EQ(scanBytes(c.bytes, filter).lines, c.lines);
        EXPECT_EQ(scanBytes(c.bytes, filter), reference(c.bytes, filter));
    }
}

TEST(MatchingLines, AScanOfAppendedBytesGoesOnWhereTheLastEnded)
{
    // Cut anywhere, even inside a CR LF: two scans list what one does.
    const LineFilter filter{{QStringLiteral("error")}, encodingAnsi, false};
    const QByteArray bytes = encode(kLog + u'\n', encodingAnsi);
    const Scanned whole = scanBytes(bytes, filter);
    for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
        SCOPED_TRACE(cut);
        Scanned first = scanBytes(bytes.left(cut), filter);
        first.tailStart = first.tailLength = 0;
        EXPECT_EQ(scan(MemorySource(bytes), filter, first.resumeAt, first), whole);
    }
}

TEST(MatchingLines, LinesLongerThanABlockAndAcrossBlocks)
{
    // Lines across the small first block and the large ones, a line longer
    // than a block with its match at its very end, and one without any.
    QByteArray bytes;
    for (int i = 0; bytes.size() < MatchingLinesScanner::kFirstBlockBytes * 3; ++i)
        bytes += QByteArray("line ") + QByteArray::number(i) + (i % 7 == 0 ? " hit\n" : "\r\n");
    bytes += QByteArray(MatchingLinesScanner::kBlockBytes + 100, 'a') + "hit\r\n";
    bytes += QByteArray(MatchingLinesScanner::kBlockBytes + 100, 'b') + "\r";
    bytes += "\nlast hit\n";
    bytes += QByteArray(MatchingLinesScanner::kBlockBytes + 5, 'c') + "hit";
    for (const bool invert : {false, true}) {
        const LineFilter filter{{QStringLiteral("hit")}, encodingAnsi, invert};
        EXPECT_EQ(scanBytes(bytes, filter), reference(bytes, filter));
    }
}

TEST(MatchingLines, AStopEndsTheScanAsCancelled)
{
    MemorySource source(QByteArray(MatchingLinesScanner::kBlockBytes * 2, 'x'));
    MatchingLinesScanner scanner(source, {{QStringLiteral("x")}, encodingAnsi, false});
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(scanner
                  .scan(
                      0, [](qint64, qint64) {}, stop.get_token())
                  .status,
              MatchingLinesScanner::Result::Status::Cancelled);
    const QuickMatcher::Pattern broken{QStringLiteral("("), false, false, true};
    EXPECT_FALSE(MatchingLinesScanner(source, {broken, encodingAnsi, false}).usable());
}

// A log large enough to be mapped: the pane lists what the same bytes read
// from memory give, and a cut under the scan ends it at the new end.
TEST(MatchingLines, AMappedLogScansAsItsBytesReadAndEndsWhereItIsCut)
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < 3 * MatchingLinesScanner::kBlockBytes; ++i)
        bytes += QByteArray("line ") + QByteArray::number(i) + (i % 7 == 0 ? " hit\n" : "\r\n");
    TempFiles files;
    const QString path = files.write(QStringLiteral("big.log"), bytes);
    const auto file = LocalFileSource::open(path);
    ASSERT_TRUE(file);
    const LineFilter filter{{QStringLiteral("hit")}, encodingAnsi, false};
    EXPECT_EQ(scan(*file, filter), scanBytes(bytes, filter));

    const qint64 newSize = MatchingLinesScanner::kBlockBytes + 12345;
    MatchingLinesScanner scanner(*file, filter);
    Lines lines;
    bool cut = false;
    const MatchingLinesScanner::Result result = scanner.scan(
        0, [&](qint64 start, qint64 length) { lines.emplace_back(start, length); }, {},
        [&](qint64) {
            if (!cut)
                cut = ::truncate(path.toLocal8Bit().constData(), newSize) == 0;
        });
    ASSERT_TRUE(cut);
    EXPECT_EQ(result.status, MatchingLinesScanner::Result::Status::Done);
    EXPECT_EQ(lines, scanBytes(bytes.left(newSize), filter).lines);
}

TEST(MatchedLinesSource, ReadsTheListedLinesOneAfterAnother)
{
    const QByteArray log("a1\nb\na2\r\nc\na3 tail");
    MatchedLines lines;
    lines.append(0, 3);
    lines.append(5, 4);
    MatchedLinesSource pane(lines.snapshot(), {11, 7}, std::make_unique<MemorySource>(log));
    lines.append(99, 1); // after the snapshot: not in it
    ASSERT_EQ(pane.size(), 14);
    char buffer[20];
    qint64 got = 0;
    for (qint64 from = 0; from < 14; ++from) {
        ASSERT_EQ(pane.read(buffer, 20, from, &got), FileSource::ReadResult::Ok);
        EXPECT_EQ(QByteArray(buffer, got), QByteArray("a1\na2\r\na3 tail").mid(from)) << from;
    }
    EXPECT_EQ(pane.sourceOf(4), 6);
    EXPECT_EQ(pane.sourceOf(8), 12);
    EXPECT_EQ(pane.sourceOf(14), -1);
    EXPECT_EQ(pane.paneLineAt(0), 0);
    EXPECT_EQ(pane.paneLineAt(4), 0);
    EXPECT_EQ(pane.paneLineAt(6), 3);
    EXPECT_EQ(pane.paneLineAt(13), 7);
    std::unique_ptr<FileSource> another = pane.openAnother();
    ASSERT_TRUE(another);
    EXPECT_EQ(another->size(), 14);
}

} // namespace
