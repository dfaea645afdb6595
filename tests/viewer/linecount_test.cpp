#include "viewer/linecount.h"

#include "testfiles.h"
#include "common/recordingsink.h"
#include "text/guard.h"
#include "viewer/filesource.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <limits>
#include <new>
#include <cstring>
#include <vector>

using ::testing::ElementsAreArray;
using Starts = std::vector<qint32>;

namespace {

// Block sizes that put block edges everywhere in the small files, the edge
// between a CR and its LF and between the bytes of one UTF-16 unit included.
constexpr int kBlockSizes[] = {1, 2, 3, 4, 5, 7, LineStarts::defaultBlockSize};

// The text as UTF-16 of the given order; every char of text is one unit.
QByteArray utf16(const QByteArray &text, LineCountUnit unit)
{
    QByteArray out;
    for (char c : text) {
        const char pair[2] = {unit == LineCountUnit::Utf16Big ? '\0' : c,
                              unit == LineCountUnit::Utf16Big ? c : '\0'};
        out.append(pair, 2);
    }
    return out;
}

Starts scaled(const Starts &starts, int factor)
{
    Starts out;
    for (qint32 s : starts)
        out.push_back(s * factor);
    return out;
}

// Bytes in memory; a read at or after failAt fails, and every read first
// appends the next growth step, as a writer racing the count would.
class MemorySource final : public FileSource
{
public:
    explicit MemorySource(QByteArray data) : m_data(std::move(data)) {}

    qint64 size() const override { return m_data.size(); }
    ReadResult read(char *buffer, qint64 count, qint64 position, qint64 *bytesRead,
                    std::stop_token stop) const override
    {
        *bytesRead = 0;
        std::memset(buffer, 0, size_t(count));
        if (stop.stop_requested())
            return ReadResult::Cancelled;
        if (position + count > failAt)
            return ReadResult::Failed;
        if (reads == throwAtRead)
            throw std::bad_alloc(); // as under a memory limit

        const qint64 n = std::clamp<qint64>(m_data.size() - position, 0, count);
        std::memcpy(buffer, m_data.constData() + position, size_t(n));
        *bytesRead = n;
        ++reads;
        if (!growth.isEmpty())
            m_data += growth.takeFirst();
        return ReadResult::Ok;
    }
    std::unique_ptr<FileSource> openAnother() const override { return nullptr; }

    qint64 failAt = std::numeric_limits<qint64>::max();
    int throwAtRead = -1;
    mutable QList<QByteArray> growth;
    mutable int reads = 0;

private:
    mutable QByteArray m_data;
};

Starts count(const QByteArray &bytes, LineCountUnit unit, int blockSize,
             qint64 size = LineStarts::bufSizeMax, int maxCount = LineStarts::countMax)
{
    MemorySource source(bytes);
    LineStarts starts;
    EXPECT_TRUE(starts.countLines(source, size, unit, maxCount, {}, blockSize));
    return starts.starts();
}

struct BreakCase
{
    const char *name;
    QByteArray text;
    Starts starts;
};

const BreakCase kBreakCases[] = {
    {"empty", "", {}},
    {"one line without break", "abc", {}},
    {"LF", "a\nb", {2}},
    {"CR", "a\rb", {2}},
    {"CR LF counts once", "a\r\nb", {3}},
    {"final LF starts nothing", "a\nb\n", {2}},
    {"final CR starts nothing", "a\rb\r", {2}},
    {"final CR LF starts nothing", "a\r\nb\r\n", {3}},
    {"only CRs", "\r\r\r\r", {1, 2, 3}},
    {"only LFs", "\n\n\n", {1, 2}},
    {"CR CR is two breaks", "a\r\rb", {2, 3}},
    {"LF CR is two breaks", "a\n\rb", {2, 3}},
    {"CR CR LF", "a\r\r\nb", {2, 4}},
    {"lone CR among CR LF", "1\r\n2\r3\r\n4", {3, 5, 8}},
    {"all kinds mixed", "1\r\n2\n3\r4\r\n\n5", {3, 5, 7, 10, 11}},
    {"break first", "\nabc\r\ndef", {1, 6}},
    {"empty lines", "\r\n\r\n\r\nx", {2, 4, 6}},
};

void printTo(const BreakCase &c, std::ostream *os)
{
    *os << c.name;
}

class BreakTest : public ::testing::TestWithParam<BreakCase>
{
};

TEST_P(BreakTest, BytesAndBothUtf16Orders)
{
    const BreakCase &c = GetParam();
    for (int block : kBlockSizes) {
        SCOPED_TRACE(testing::Message() << "block " << block);
        EXPECT_THAT(count(c.text, LineCountUnit::Byte, block), ElementsAreArray(c.starts));
        for (LineCountUnit unit : {LineCountUnit::Utf16Little, LineCountUnit::Utf16Big}) {
            SCOPED_TRACE(unit == LineCountUnit::Utf16Big ? "big endian" : "little endian");
            EXPECT_THAT(count(utf16(c.text, unit), unit, block),
                        ElementsAreArray(scaled(c.starts, 2)));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(LineCount, BreakTest, ::testing::ValuesIn(kBreakCases),
                         [](const auto &info) {
                             std::string name = info.param.name;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char ch) { return !std::isalnum(uchar(ch)); }, '_');
                             return name;
                         });

// Only a whole unit of value 13 or 10 breaks a line: the same bytes read in
// the other order, or a 10 or 13 in the high byte, are text.
TEST(LineCount, Utf16BreaksNeedTheirHighByteZero)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        LineCountUnit unit;
        Starts starts;
    };
    const Case cases[] = {
        {"LE LF", QByteArray("a\0\n\0b\0", 6), LineCountUnit::Utf16Little, {4}},
        {"LE bytes read as BE", QByteArray("a\0\n\0b\0", 6), LineCountUnit::Utf16Big, {}},
        {"BE LF", QByteArray("\0a\0\n\0b", 6), LineCountUnit::Utf16Big, {4}},
        {"BE bytes read as LE", QByteArray("\0a\0\n\0b", 6), LineCountUnit::Utf16Little, {}},
        {"LE U+010A and U+0D0D", QByteArray("\n\1\r\r\0\0", 6), LineCountUnit::Utf16Little, {}},
        {"BE U+0A0D", QByteArray("\n\r\0x", 4), LineCountUnit::Utf16Big, {}},
        // A 10 in the other place of a unit, beside a zero byte of the next
        // or the last unit: a byte search alone would take it for LF.
        {"LE U+0A78 then U+7900", QByteArray("x\n\0y", 4), LineCountUnit::Utf16Little, {}},
        {"BE U+7800 then U+0A00", QByteArray("x\0\n\0y\0", 6), LineCountUnit::Utf16Big, {}},
        {"LE CR then text with LF high byte",
         QByteArray("\r\0\0\nx\0", 6),
         LineCountUnit::Utf16Little,
         {2}},
        {"LE odd last byte is not a character",
         QByteArray("a\0\n\0b", 5),
         LineCountUnit::Utf16Little,
         {}},
        {"LE odd last byte after a whole one",
         QByteArray("a\0\n\0b\0c", 7),
         LineCountUnit::Utf16Little,
         {4}},
    };
    for (const Case &c : cases) {
        for (int block : kBlockSizes) {
            SCOPED_TRACE(testing::Message() << c.name << ", block " << block);
            EXPECT_THAT(count(c.bytes, c.unit, block), ElementsAreArray(c.starts));
        }
    }
}

// The 0x0D0A unit in LE is the 0x0D high byte after a 0x0A low byte: a
// scanner that looked at bytes would see LF CR here.
TEST(LineCount, Utf16UnitBoundariesAreNotBytePairs)
{
    const QByteArray bytes("x\n\r\0y\0", 6); // U+0A78, U+000D, U+0079
    for (int block : kBlockSizes) {
        SCOPED_TRACE(block);
        EXPECT_THAT(count(bytes, LineCountUnit::Utf16Little, block), ElementsAreArray(Starts{4}));
    }
}

struct RangeCase
{
    qint64 size;
    Starts starts;
    qint64 counted;
};

// Only the first size bytes count; a file shorter than the range counts whole.
TEST(LineCount, CountsOnlyTheRange)
{
    const QByteArray text = "ab\ncd\r\nef\rgh";
    const RangeCase cases[] = {
        {0, {}, 0},
        {2, {}, 2},
        {3, {}, 3},
        {4, {3}, 4},
        {6, {3}, 6},
        {7, {3}, 7},
        {8, {3, 7}, 8},
        {10, {3, 7}, 10},
        {11, {3, 7, 10}, 11},
        {12, {3, 7, 10}, 12},
        {1000, {3, 7, 10}, 12},
    };
    for (const RangeCase &c : cases) {
        for (int block : kBlockSizes) {
            SCOPED_TRACE(testing::Message() << "size " << c.size << ", block " << block);
            MemorySource source(text);
            LineStarts starts;
            ASSERT_TRUE(starts.countLines(source, c.size, LineCountUnit::Byte, 100, {}, block));
            EXPECT_THAT(starts.starts(), ElementsAreArray(c.starts));
            EXPECT_EQ(starts.countedSize(), c.counted);
        }
    }
}

// A range ending inside a UTF-16 unit counts up to the unit before it, also
// when the file goes on after it.
TEST(LineCount, Utf16RangeEndingInsideAUnit)
{
    const QByteArray bytes = utf16("ab\ncd\nef", LineCountUnit::Utf16Little);
    for (int block : kBlockSizes) {
        SCOPED_TRACE(testing::Message() << "block " << block);
        MemorySource source(bytes);
        // A count that makes no headway would read on for ever.
        source.throwAtRead = 100;
        LineStarts starts;
        ASSERT_TRUE(starts.countLines(source, 11, LineCountUnit::Utf16Little, 100, {}, block));
        EXPECT_THAT(starts.starts(), ElementsAreArray(Starts{6}));
        EXPECT_EQ(starts.countedSize(), 10);
    }
}

// At most maxCount - 1 starts are kept (line 1 needs none); maxCount is
// clamped to its range.
TEST(LineCount, KeepsAtMostMaxCountMinusOneStarts)
{
    QByteArray text;
    for (int i = 0; i < 200; ++i)
        text += "line\r\n";
    struct Case
    {
        int maxCount;
        int kept;
    };
    for (const Case &c : {Case{10, 9}, Case{3, 9}, Case{50, 49}, Case{1000, 199}}) {
        SCOPED_TRACE(c.maxCount);
        LineStarts starts;
        MemorySource source(text);
        ASSERT_TRUE(starts.countLines(source, text.size(), LineCountUnit::Byte, c.maxCount, {}, 7));
        ASSERT_EQ(starts.lineStartCount(), c.kept);
        EXPECT_EQ(starts.lineNumber(6 * (c.kept - 1)), c.kept);
        EXPECT_EQ(starts.lineNumber(6 * c.kept), c.kept + 1);
        EXPECT_EQ(starts.lineNumber(6 * (c.kept + 1)), 0);
    }
}

TEST(LineCount, LineNumberFindsOnlyStoredStarts)
{
    MemorySource source(QByteArray("a\nbc\nd\r\ne"));
    LineStarts starts;
    ASSERT_TRUE(starts.countLines(source, 100, LineCountUnit::Byte));
    ASSERT_THAT(starts.starts(), ElementsAreArray(Starts{2, 5, 8}));
    struct Case
    {
        qint64 pos;
        int number;
    };
    const Case cases[] = {
        {0, 1},
        {2, 2},
        {5, 3},
        {8, 4},
        {1, 0},
        {3, 0},
        {7, 0},
        {9, 0},
        {-2, 0},
        // Positions beyond 32 bits must not wrap onto a stored start.
        {(qint64(1) << 32) + 2, 0},
        {(qint64(1) << 32), 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(starts.lineNumber(c.pos), c.number) << "pos " << c.pos;
}

TEST(LineCount, RangeForWindow)
{
    struct Case
    {
        qint64 bufferPos, bufferSize, bufSize, range;
    };
    const Case cases[] = {
        {0, 100, 307200, 100},
        {0, 1 << 20, 307200, 307200},
        {300000, 65536, 307200, 307200},
        {307200, 65536, 307200, 307200}, // starting right at the limit still counts
        {307201, 65536, 307200, -1},     // beyond it the table is kept
        {0, 1 << 20, 10, 1024},          // limit clamped up
        {0, qint64(1) << 30, qint64(1) << 40, LineStarts::bufSizeMax}, // and down
        {LineStarts::bufSizeMax + 1, 10, qint64(1) << 40, -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(LineStarts::rangeFor(c.bufferPos, c.bufferSize, c.bufSize), c.range)
            << c.bufferPos << " " << c.bufferSize << " " << c.bufSize;
}

// A range over the largest limit counts only up to the limit: the line
// beyond it has no number.
TEST(LineCount, RangeOverTheLimitStopsAtTheLimit)
{
    const qint64 max = LineStarts::bufSizeMax;
    QByteArray text(int(max + 8), 'x');
    text[int(max - 2)] = '\n'; // line 2 starts at max - 1, inside the limit
    text[int(max + 1)] = '\n'; // line 3 would start at max + 2
    TempFiles files;
    auto source = LocalFileSource::open(files.write(QStringLiteral("big.log"), text));
    ASSERT_TRUE(source);
    LineStarts starts;
    ASSERT_TRUE(starts.countLines(*source, text.size(), LineCountUnit::Byte));
    EXPECT_THAT(starts.starts(), ElementsAreArray(Starts{qint32(max - 1)}));
    EXPECT_EQ(starts.countedSize(), max);
    EXPECT_EQ(starts.lineNumber(max - 1), 2);
    EXPECT_EQ(starts.lineNumber(max + 2), 0);
}

TEST(LineCount, FailedOrStoppedReadLeavesNoTable)
{
    QByteArray text;
    for (int i = 0; i < 50; ++i)
        text += "x\n";
    LineStarts starts;
    MemorySource good(text);
    ASSERT_TRUE(starts.countLines(good, text.size(), LineCountUnit::Byte, 100, {}, 16));
    ASSERT_EQ(starts.lineStartCount(), 49);

    MemorySource failing(text);
    failing.failAt = 40; // the third block
    EXPECT_FALSE(starts.countLines(failing, text.size(), LineCountUnit::Byte, 100, {}, 16));
    EXPECT_EQ(starts.lineStartCount(), 0);
    EXPECT_EQ(starts.lineNumber(2), 0);
    EXPECT_EQ(starts.lineNumber(0), 1);

    std::stop_source stop;
    stop.request_stop();
    ASSERT_TRUE(starts.countLines(good, text.size(), LineCountUnit::Byte, 100, {}, 16));
    EXPECT_FALSE(
        starts.countLines(good, text.size(), LineCountUnit::Byte, 100, stop.get_token(), 16));
    EXPECT_EQ(starts.lineStartCount(), 0);
}

// Counting runs inside a paint and is meant for worker threads: whatever it
// throws is reported through the general error message, never passed on.
TEST(LineCount, AThrowingCountIsReportedAndLeavesNoTable)
{
    QByteArray text;
    for (int i = 0; i < 50; ++i)
        text += "x\n";
    RecordingSink sink;
    LineStarts starts;
    MemorySource good(text);
    ASSERT_TRUE(starts.countLines(good, text.size(), LineCountUnit::Byte, 100, {}, 16));
    ASSERT_EQ(starts.lineStartCount(), 49);

    MemorySource throwing(text);
    throwing.throwAtRead = 2;
    bool counted = true;
    EXPECT_NO_THROW(counted =
                        starts.countLines(throwing, text.size(), LineCountUnit::Byte, 100, {}, 16));
    EXPECT_FALSE(counted);
    EXPECT_EQ(starts.lineStartCount(), 0);
    EXPECT_EQ(starts.countedSize(), 0);
    ASSERT_EQ(sink.messages().size(), 1u);
    EXPECT_EQ(sink.messages()[0].caption, programTitle());
    EXPECT_EQ(sink.messages()[0].text, "std::bad_alloc");
    EXPECT_EQ(sink.messages()[0].icon, MsgIcon::Error);
}

// A full table stops the count: no more of the range is read.
TEST(LineCount, FullTableStopsReading)
{
    QByteArray text;
    for (int i = 0; i < 1000; ++i)
        text += "x\n";
    MemorySource source(text);
    LineStarts starts;
    ASSERT_TRUE(starts.countLines(source, text.size(), LineCountUnit::Byte, 10, {}, 8));
    EXPECT_EQ(starts.lineStartCount(), 9);
    EXPECT_LE(source.reads, 3);
    EXPECT_LT(starts.countedSize(), text.size());
}

// Growth: counting any prefix of a file being written must give exactly the
// starts of the finished file that lie inside the prefix with a character
// at them, so every number shown is right and later growth only adds more.
TEST(LineCount, GrowingFileNeverGetsAWrongNumber)
{
    const QByteArray text = "one\r\ntwo\nthree\rfour\r\n\r\nfive\n\rsix\r";
    const Starts finished = {5, 9, 15, 21, 23, 28, 29};
    for (LineCountUnit unit :
         {LineCountUnit::Byte, LineCountUnit::Utf16Little, LineCountUnit::Utf16Big}) {
        const bool wide = unit != LineCountUnit::Byte;
        const QByteArray bytes = wide ? utf16(text, unit) : text;
        const Starts all = scaled(finished, wide ? 2 : 1);
        TempFiles files;
        const QString path = files.write(QStringLiteral("grow.log"), QByteArray());
        auto source = LocalFileSource::open(path);
        ASSERT_TRUE(source);
        for (int k = 0; k <= bytes.size(); ++k) {
            if (k > 0)
                files.append(path, bytes.mid(k - 1, 1));
            const qint64 whole = wide ? k & ~1 : k;
            Starts expected;
            std::copy_if(all.begin(), all.end(), std::back_inserter(expected),
                         [&](qint32 s) { return s < whole; });
            for (int block : {1, 3, 4, 1 << 16}) {
                SCOPED_TRACE(testing::Message() << "unit " << int(unit) << ", " << k
                                                << " bytes written, block " << block);
                LineStarts starts;
                ASSERT_TRUE(starts.countLines(*source, 1024, unit, 100, {}, block));
                EXPECT_THAT(starts.starts(), ElementsAreArray(expected));
                EXPECT_EQ(starts.countedSize(), whole);
            }
        }
    }
}

// The writer appends while one count is under way: bytes that arrive before
// a block is read count like any others.
TEST(LineCount, GrowthDuringTheCount)
{
    MemorySource source(QByteArray("ab\r"));
    source.growth = {"\ncd", "\ref\n", "g"};
    LineStarts starts;
    ASSERT_TRUE(starts.countLines(source, 1000, LineCountUnit::Byte, 100, {}, 3));
    EXPECT_THAT(starts.starts(), ElementsAreArray(Starts{4, 7, 10}));
    EXPECT_EQ(starts.lineNumber(10), 4);
}

// A range large enough to be mapped counts as the same bytes read from
// memory do, with a CR LF split over each block edge.
TEST(LineCount, AMappedFileCountsAsItsBytesRead)
{
    const int block = LineStarts::defaultBlockSize;
    QByteArray text;
    for (int i = 0; text.size() < 24 * block; ++i)
        text += QByteArray(i % 500, 'x') + (i % 2 ? "\n" : "\r\n");
    for (qint64 edge = block; edge < text.size(); edge += block) {
        text[edge - 1] = '\r';
        text[edge] = '\n';
    }
    TempFiles files;
    const auto file = LocalFileSource::open(files.write(QStringLiteral("big.log"), text));
    ASSERT_TRUE(file);
    LineStarts mapped;
    ASSERT_TRUE(mapped.countLines(*file, text.size(), LineCountUnit::Byte, LineStarts::countMax));
    EXPECT_EQ(mapped.countedSize(), text.size());
    EXPECT_EQ(mapped.starts(), count(text, LineCountUnit::Byte, block, text.size()));
}

} // namespace
