#include "viewer/linelocator.h"

#include "search/memorysource.h"
#include "viewer/lineindex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Status = LineLocator::Result::Status;

QByteArray asUtf16(const QByteArray &text, LineCountUnit unit)
{
    QByteArray out;
    for (char c : text) {
        out += unit == LineCountUnit::Utf16Big ? '\0' : c;
        out += unit == LineCountUnit::Utf16Big ? c : '\0';
    }
    return out;
}

// Where each line starts, one unit at a time: after an LF, after a CR not
// followed by an LF; a start at the end of the file starts no line. In
// UTF-16 only a unit whose whole value is 10 or 13 breaks.
std::vector<qint64> naiveStarts(const QByteArray &bytes, LineCountUnit unit)
{
    const int width = unit == LineCountUnit::Byte ? 1 : 2;
    const qint64 units = bytes.size() / width;
    const auto value = [&](qint64 i) {
        const auto *u = reinterpret_cast<const unsigned char *>(bytes.constData()) + i * width;
        if (unit == LineCountUnit::Byte)
            return unsigned(u[0]);
        return unit == LineCountUnit::Utf16Little ? unsigned(u[0] | u[1] << 8)
                                                  : unsigned(u[0] << 8 | u[1]);
    };
    std::vector<qint64> starts{0};
    for (qint64 i = 0; i < units; ++i) {
        const bool lf = value(i) == '\n';
        const bool lone = value(i) == '\r' && !(i + 1 < units && value(i + 1) == '\n');
        if ((lf || lone) && i + 1 < units)
            starts.push_back((i + 1) * width);
    }
    return starts;
}

TEST(LineLocator, AgreesWithTheLineIndexAndANaiveCount)
{
    const qint64 block = LineLocator::blockSize;
    const QByteArray utf16Text = "one\ntwo\r\nthree\rfour\n\nsix";
    // A unit whose low byte is an LF but whose value is not: no break.
    const QByteArray notABreak("a\0\n\x01"
                               "b\0\n\0c\0",
                               10);
    const struct
    {
        const char *name;
        QByteArray bytes;
        LineCountUnit unit;
    } cases[] = {
        {"LF", "a\nbb\nccc\n", LineCountUnit::Byte},
        {"CR", "a\rbb\rccc\r", LineCountUnit::Byte},
        {"CR LF", "a\r\nbb\r\nccc\r\n", LineCountUnit::Byte},
        {"mixed", "\n\r\r\n\n\ra\r\rb\n\r\nc", LineCountUnit::Byte},
        {"no final break", "a\nb\r\nlast", LineCountUnit::Byte},
        {"ends in a CR", "a\nb\r", LineCountUnit::Byte},
        {"empty", "", LineCountUnit::Byte},
        {"CR LF over the block border",
         QByteArray(block - 1, 'x') + "\r\nsecond\n" + QByteArray(block - 1, 'y') + "\rthird",
         LineCountUnit::Byte},
        {"CR alone at the block end", QByteArray(block - 1, 'x') + "\rnext", LineCountUnit::Byte},
        {"UTF-16 LE", asUtf16(utf16Text, LineCountUnit::Utf16Little), LineCountUnit::Utf16Little},
        {"UTF-16 BE", asUtf16(utf16Text, LineCountUnit::Utf16Big), LineCountUnit::Utf16Big},
        {"UTF-16 LE, low byte LF", notABreak, LineCountUnit::Utf16Little},
        {"UTF-16 LE, odd byte count", asUtf16("a\nb\r", LineCountUnit::Utf16Little) + '\n',
         LineCountUnit::Utf16Little},
        {"UTF-16 BE, CR LF over the block border",
         asUtf16(QByteArray(block / 2 - 1, 'x') + "\r\nsecond\r", LineCountUnit::Utf16Big) +
             asUtf16("\nthird", LineCountUnit::Utf16Big),
         LineCountUnit::Utf16Big},
    };
    // Indexes with checkpoints close together and blocks of a few bytes, and
    // as a view builds them.
    const struct
    {
        qint64 spacing;
        int blockSize;
    } indexes[] = {{5, 3}, {LineIndex::defaultSpacing, LineIndex::defaultBlockSize}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        MemorySource source(c.bytes);
        const std::vector<qint64> starts = naiveStarts(c.bytes, c.unit);
        const qint64 last = qint64(starts.size());
        const LineLocator locator(source, c.unit);
        for (const auto &i : indexes) {
            SCOPED_TRACE(i.spacing);
            LineIndex index(c.unit, i.spacing);
            ASSERT_EQ(index.extend(source, source.size(), {}, i.blockSize),
                      LineIndex::BuildResult::Complete);
            EXPECT_EQ(index.lastLine(), last);
            for (qint64 line = 1; line <= last; ++line) {
                SCOPED_TRACE(line);
                const qint64 start = starts[size_t(line - 1)];
                EXPECT_EQ(index.lineStartOf(source, line), start);
                // From the top and from the index's nearest checkpoint alike.
                for (const LineIndex::Start from :
                     {LineIndex::Start{}, index.checkpointAtOrBefore(line)}) {
                    const auto found = LineLocator(source, c.unit, {}, from).find(line);
                    EXPECT_EQ(found.status, Status::Found);
                    EXPECT_EQ(found.line, line);
                    EXPECT_EQ(found.position, start);
                }
            }
        }
        const auto past = locator.find(last + 1);
        EXPECT_EQ(past.status, Status::PastEnd);
        EXPECT_EQ(past.line, last);
        EXPECT_EQ(past.position, starts.back());
    }
}

TEST(LineLocator, CountsEveryKindOfBreak)
{
    // Line n starts at the offsets listed (characters).
    const QByteArray text = "one\ntwo\r\nthree\rfour\n\nsix";
    const qint64 starts[] = {0, 4, 9, 15, 20, 21};
    for (const LineCountUnit unit :
         {LineCountUnit::Byte, LineCountUnit::Utf16Little, LineCountUnit::Utf16Big}) {
        const int width = unit == LineCountUnit::Byte ? 1 : 2;
        MemorySource source(unit == LineCountUnit::Byte ? text : asUtf16(text, unit));
        const LineLocator locator(source, unit);
        for (qint64 line = 1; line <= 6; ++line) {
            SCOPED_TRACE(line);
            const auto result = locator.find(line);
            EXPECT_EQ(result.status, Status::Found);
            EXPECT_EQ(result.line, line);
            EXPECT_EQ(result.position, starts[line - 1] * width);
        }
        // Past the end: the last line, said so.
        const auto past = locator.find(99);
        EXPECT_EQ(past.status, Status::PastEnd);
        EXPECT_EQ(past.line, 6);
        EXPECT_EQ(past.position, 21 * width);
    }
}

TEST(LineLocator, BreakAtTheEndStartsNoLine)
{
    for (const QByteArray &text :
         {QByteArray("a\nb\n"), QByteArray("a\nb\r\n"), QByteArray("a\nb\r")}) {
        MemorySource source(text);
        const auto result = LineLocator(source, LineCountUnit::Byte).find(3);
        EXPECT_EQ(result.status, Status::PastEnd);
        EXPECT_EQ(result.line, 2);
        EXPECT_EQ(result.position, 2);
    }
    MemorySource empty{QByteArray()};
    EXPECT_EQ(LineLocator(empty, LineCountUnit::Byte).find(2).status, Status::PastEnd);
    EXPECT_EQ(LineLocator(empty, LineCountUnit::Byte).find(1).status, Status::Found);
}

TEST(LineLocator, BlockEdges)
{
    // A CR LF split by the block edge counts once; lines cross blocks.
    QByteArray text(LineLocator::blockSize - 1, 'x');
    text += "\r\nsecond\n";
    text += QByteArray(LineLocator::blockSize, 'y');
    text += "\rfourth";
    MemorySource source(text);
    const LineLocator locator(source, LineCountUnit::Byte);
    EXPECT_EQ(locator.find(2).position, LineLocator::blockSize + 1);
    EXPECT_EQ(locator.find(3).position, LineLocator::blockSize + 8);
    EXPECT_EQ(locator.find(4).position, text.indexOf("fourth"));
    EXPECT_EQ(locator.find(5).status, Status::PastEnd);
}

TEST(LineLocator, StartsFromTheNearestKnownLine)
{
    QByteArray text;
    std::vector<qint32> known;
    for (int i = 0; i < 5000; ++i) {
        if (i > 0 && i <= 1000)
            known.push_back(qint32(text.size()));
        text += "line " + QByteArray::number(i + 1) + "\n";
    }
    MemorySource source(text);
    const LineLocator locator(source, LineCountUnit::Byte, known);
    // Inside the table: no read at all.
    EXPECT_EQ(locator.find(500).position, text.indexOf("line 500\n"));
    EXPECT_TRUE(source.reads().empty());
    // Past it: counted from the table's last start.
    EXPECT_EQ(locator.find(4321).position, text.indexOf("line 4321\n"));
    ASSERT_FALSE(source.reads().empty());
    EXPECT_EQ(source.reads().front(), known.back());

    // A start the index holds further on comes first; one past the target
    // is no start for it.
    const LineIndex::Start indexed{text.indexOf("line 3000\n"), 3000};
    MemorySource again(text);
    EXPECT_EQ(LineLocator(again, LineCountUnit::Byte, known, indexed).find(4321).position,
              text.indexOf("line 4321\n"));
    ASSERT_FALSE(again.reads().empty());
    EXPECT_EQ(again.reads().front(), indexed.offset);
    EXPECT_EQ(LineLocator(again, LineCountUnit::Byte, known, indexed).find(2500).position,
              text.indexOf("line 2500\n"));
}

TEST(LineLocator, FailureStopAndProgress)
{
    QByteArray text;
    for (int i = 0; i < 400000; ++i)
        text += "0123456789\n";
    MemorySource source(text);
    std::vector<int> seen;
    const auto past = LineLocator(source, LineCountUnit::Byte).find(1 << 30, {}, [&](int p) {
        seen.push_back(p);
    });
    EXPECT_EQ(past.status, Status::PastEnd);
    EXPECT_EQ(past.line, 400000);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 100);

    source.failAt = text.size() - 10;
    EXPECT_EQ(LineLocator(source, LineCountUnit::Byte).find(400000).status, Status::Failed);

    source.failAt = -1;
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(LineLocator(source, LineCountUnit::Byte).find(400000, stop.get_token()).status,
              Status::Cancelled);
}

} // namespace
