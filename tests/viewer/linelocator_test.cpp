#include "viewer/linelocator.h"

#include "search/memorysource.h"

#include <gtest/gtest.h>

#include <algorithm>

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
