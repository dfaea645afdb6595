#include "viewer/lineindex.h"

#include "viewer/filesource.h"
#include "viewer/linecount.h"

#include "testfiles.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

// Bytes in memory; the bytes can be swapped under a build (after a given
// read), reads can fail, and the bytes each read asked for are summed.
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
        const qint64 n = std::clamp<qint64>(m_data.size() - position, 0, count);
        std::memcpy(buffer, m_data.constData() + position, size_t(n));
        *bytesRead = n;
        bytesAsked += count;
        if (++reads == replaceAfterRead)
            m_data = replacement;
        return ReadResult::Ok;
    }
    std::unique_ptr<FileSource> openAnother() const override { return nullptr; }

    qint64 failAt = std::numeric_limits<qint64>::max();
    int replaceAfterRead = -1;
    QByteArray replacement;
    mutable int reads = 0;
    mutable qint64 bytesAsked = 0;

private:
    mutable QByteArray m_data;
};

// A large file of equal lines "nnnnnnn...x\n" made up as it is read.
class LinesSource final : public FileSource
{
public:
    LinesSource(qint64 size, qint64 lineLength) : m_size(size), m_lineLength(lineLength) {}

    qint64 size() const override { return m_size; }
    ReadResult read(char *buffer, qint64 count, qint64 position, qint64 *bytesRead,
                    std::stop_token) const override
    {
        for (qint64 i = 0; i < count; ++i)
            buffer[i] = (position + i) % m_lineLength == m_lineLength - 1 ? '\n' : 'x';
        *bytesRead = std::clamp<qint64>(m_size - position, 0, count);
        bytesAsked += count;
        return ReadResult::Ok;
    }
    std::unique_ptr<FileSource> openAnother() const override { return nullptr; }

    mutable qint64 bytesAsked = 0;

private:
    qint64 m_size;
    qint64 m_lineLength;
};

QByteArray utf16(const QByteArray &text, LineCountUnit unit)
{
    QByteArray out;
    for (char c : text) {
        out += unit == LineCountUnit::Utf16Big ? '\0' : c;
        out += unit == LineCountUnit::Utf16Big ? c : '\0';
    }
    return out;
}

// What LineStarts counts over the whole of bytes: the reference.
struct Reference
{
    std::vector<qint64> starts; // of lines 2, 3, ...
    qint64 counted = 0;

    qint64 lineAt(qint64 pos) const
    {
        return 1 + (std::upper_bound(starts.begin(), starts.end(), pos) - starts.begin());
    }
};

Reference reference(const QByteArray &bytes, LineCountUnit unit)
{
    MemorySource source(bytes);
    LineStarts counted;
    EXPECT_TRUE(counted.countLines(source, bytes.size(), unit, LineStarts::countMax, {}, 1));
    Reference r;
    r.starts.assign(counted.starts().begin(), counted.starts().end());
    r.counted = counted.countedSize();
    return r;
}

// Every position and every line number of the index answer as the
// reference does.
void expectAgrees(const LineIndex &index, const FileSource &source, const Reference &r)
{
    const qint64 cs = index.unit() == LineCountUnit::Byte ? 1 : 2;
    ASSERT_EQ(index.indexedSize(), r.counted);
    for (qint64 pos = 0; pos < r.counted + 2; ++pos) {
        const qint64 expected = pos < r.counted ? r.lineAt(pos - pos % cs) : 0;
        ASSERT_EQ(index.lineNumberAt(source, pos), expected) << "at " << pos;
    }
    // Backwards too: a lookup before the last answer may not start from it.
    for (qint64 pos = r.counted - 1; pos >= 0; --pos)
        ASSERT_EQ(index.lineNumberAt(source, pos), r.lineAt(pos - pos % cs)) << "at " << pos;
    const qint64 lines = qint64(r.starts.size()) + 1;
    EXPECT_EQ(index.lastLine(), lines);
    EXPECT_EQ(index.lineStartOf(source, 1), 0);
    for (qint64 n = 2; n <= lines; ++n)
        ASSERT_EQ(index.lineStartOf(source, n), r.starts[size_t(n - 2)]) << "line " << n;
    EXPECT_EQ(index.lineStartOf(source, 0), -1);
    EXPECT_EQ(index.lineStartOf(source, lines + 1), -1);
}

struct TextCase
{
    const char *name;
    QByteArray text;
};

const TextCase kTexts[] = {
    {"empty", ""},
    {"one line", "abc"},
    {"LF, CR, CR LF", "1\r\n2\n3\r4\r\n\n5"},
    {"final breaks start nothing", "a\nb\r\nc\r"},
    {"only CRs", "\r\r\r\r"},
    {"only LFs", "\n\n\n"},
    {"CR CR LF and LF CR", "a\r\r\nb\n\rc"},
    {"break first", "\nabc\r\ndef"},
    // Long lines between short ones: a checkpoint far past the one before.
    {"long and short lines", "aaaaaaaaaaaaaaaaaaaa\r\nb\nc\r\ndddddddddddddddddd\re\r\n"},
    {"empty CR LF lines", "\r\n\r\n\r\nx\r\n\r\n"},
};

// Block sizes put read edges everywhere, between a CR and its LF included;
// spacings put checkpoints everywhere, on the start after a CR LF included.
constexpr int kBlockSizes[] = {1, 2, 3, 5, 7, LineIndex::defaultBlockSize};
constexpr qint64 kSpacings[] = {1, 2, 3, 4, 7, LineIndex::defaultSpacing};

TEST(LineIndex, AgreesWithLineStartsEverywhere)
{
    for (const TextCase &c : kTexts) {
        for (LineCountUnit unit :
             {LineCountUnit::Byte, LineCountUnit::Utf16Little, LineCountUnit::Utf16Big}) {
            const QByteArray bytes = unit == LineCountUnit::Byte ? c.text : utf16(c.text, unit);
            const Reference r = reference(bytes, unit);
            for (int block : kBlockSizes) {
                for (qint64 spacing : kSpacings) {
                    SCOPED_TRACE(testing::Message()
                                 << c.name << ", unit " << int(unit) << ", block " << block
                                 << ", spacing " << spacing);
                    MemorySource source(bytes);
                    LineIndex index(unit, spacing);
                    ASSERT_EQ(index.extend(source, bytes.size(), {}, block),
                              LineIndex::BuildResult::Complete);
                    expectAgrees(index, source, r);
                }
            }
        }
    }
}

// Only whole units of value 13 or 10 break UTF-16; an odd last byte is no
// character and is never indexed.
TEST(LineIndex, Utf16UnitsAndOddByteCounts)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        LineCountUnit unit;
    };
    const Case cases[] = {
        {"LE LF, odd last byte", QByteArray("a\0\n\0b\0c", 7), LineCountUnit::Utf16Little},
        {"LE CR, odd byte after it", QByteArray("a\0\r\0\n", 5), LineCountUnit::Utf16Little},
        {"BE bytes read as LE", QByteArray("\0a\0\n\0b", 6), LineCountUnit::Utf16Little},
        {"LE U+0A0D is text", QByteArray("\r\n\0x", 4), LineCountUnit::Utf16Little},
        {"BE LF in the high place of LE", QByteArray("x\0\n\0y\0", 6), LineCountUnit::Utf16Big},
        {"BE CR LF, odd byte", QByteArray("\0a\0\r\0\n\0b\0", 9), LineCountUnit::Utf16Big},
    };
    for (const Case &c : cases) {
        const Reference r = reference(c.bytes, c.unit);
        for (int block : kBlockSizes) {
            for (qint64 spacing : {qint64(1), qint64(2), LineIndex::defaultSpacing}) {
                SCOPED_TRACE(testing::Message()
                             << c.name << ", block " << block << ", spacing " << spacing);
                MemorySource source(c.bytes);
                LineIndex index(c.unit, spacing);
                ASSERT_EQ(index.extend(source, c.bytes.size(), {}, block),
                          LineIndex::BuildResult::Complete);
                EXPECT_EQ(index.indexedSize() % 2, 0);
                expectAgrees(index, source, r);
            }
        }
    }
}

// A file that grew between two runs, cut anywhere (between a CR and its
// LF, between the bytes of a unit): the extended index is the one a single
// run over the whole file gives.
TEST(LineIndex, ExtendingAGrownFileEqualsOneRun)
{
    const QByteArray text = "ab\r\ncd\ref\n\r\ngh\r\r\nij";
    for (LineCountUnit unit : {LineCountUnit::Byte, LineCountUnit::Utf16Big}) {
        const QByteArray whole = unit == LineCountUnit::Byte ? text : utf16(text, unit);
        const Reference r = reference(whole, unit);
        for (qint64 cut = 0; cut <= whole.size(); ++cut) {
            for (qint64 spacing : {qint64(1), qint64(3), qint64(5)}) {
                SCOPED_TRACE(testing::Message()
                             << "unit " << int(unit) << ", cut " << cut << ", spacing " << spacing);
                LineIndex index(unit, spacing);
                MemorySource first(whole.left(cut));
                ASSERT_EQ(index.extend(first, cut, {}, 3), LineIndex::BuildResult::Complete);
                MemorySource grown(whole);
                ASSERT_EQ(index.extend(grown, whole.size(), {}, 3),
                          LineIndex::BuildResult::Complete);
                expectAgrees(index, grown, r);
            }
        }
    }
}

// Nothing stale: a file cut shorter under the build, or rewritten before an
// extension, empties the index instead of numbering other bytes.
TEST(LineIndex, ChangedFilesEmptyTheIndex)
{
    const QByteArray text = QByteArray("line one\nline two\nline three\n").repeated(4);
    {
        SCOPED_TRACE("truncated under the build");
        MemorySource source(text);
        source.replaceAfterRead = 2;
        source.replacement = text.left(20);
        LineIndex index(LineCountUnit::Byte, 8);
        EXPECT_EQ(index.extend(source, text.size(), {}, 16), LineIndex::BuildResult::Changed);
        EXPECT_EQ(index.indexedSize(), 0);
        EXPECT_EQ(index.lineNumberAt(source, 5), 0);
        EXPECT_EQ(index.lineStartOf(source, 2), -1);
    }
    {
        SCOPED_TRACE("rewritten and grown between runs");
        LineIndex index(LineCountUnit::Byte, 8);
        MemorySource before(text);
        ASSERT_EQ(index.extend(before, text.size()), LineIndex::BuildResult::Complete);
        QByteArray rotated = text + "more\n";
        rotated[text.size() - 3] = 'X';
        MemorySource after(rotated);
        EXPECT_EQ(index.extend(after, rotated.size()), LineIndex::BuildResult::Changed);
        EXPECT_EQ(index.indexedSize(), 0);
        // Indexed afresh, it numbers the new bytes.
        ASSERT_EQ(index.extend(after, rotated.size()), LineIndex::BuildResult::Complete);
        expectAgrees(index, after, reference(rotated, LineCountUnit::Byte));
    }
}

// A stop or a failed read keeps what was indexed, which stays exact, and a
// later run goes on from there.
TEST(LineIndex, StopAndReadFailureKeepWhatWasIndexed)
{
    const QByteArray text = QByteArray("alpha\r\nbeta\rgamma\n").repeated(5);
    const Reference r = reference(text, LineCountUnit::Byte);
    MemorySource source(text);
    LineIndex index(LineCountUnit::Byte, 4);

    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(index.extend(source, text.size(), stop.get_token(), 8),
              LineIndex::BuildResult::Stopped);
    EXPECT_EQ(index.indexedSize(), 0);

    source.failAt = 40;
    EXPECT_EQ(index.extend(source, text.size(), {}, 8), LineIndex::BuildResult::Failed);
    EXPECT_GT(index.indexedSize(), 0);
    EXPECT_LE(index.indexedSize(), 40);
    for (qint64 pos = 0; pos < index.indexedSize(); ++pos)
        ASSERT_EQ(index.lineNumberAt(source, pos), r.lineAt(pos)) << "at " << pos;
    EXPECT_EQ(index.lineNumberAt(source, index.indexedSize()), 0);

    source.failAt = std::numeric_limits<qint64>::max();
    ASSERT_EQ(index.extend(source, text.size(), {}, 8), LineIndex::BuildResult::Complete);
    expectAgrees(index, source, r);
}

// A read failing under a lookup gives no number, never a wrong one.
TEST(LineIndex, FailedLookupReadGivesNoNumber)
{
    const QByteArray text = QByteArray("0123456789\n").repeated(10);
    MemorySource source(text);
    LineIndex index(LineCountUnit::Byte, 32);
    ASSERT_EQ(index.extend(source, text.size()), LineIndex::BuildResult::Complete);
    source.failAt = 0;
    EXPECT_EQ(index.lineNumberAt(source, 50), 0);
    EXPECT_EQ(index.lineStartOf(source, 5), -1);
    source.failAt = std::numeric_limits<qint64>::max();
    EXPECT_EQ(index.lineNumberAt(source, 50), 5);
    EXPECT_EQ(index.lineStartOf(source, 5), 44);
}

// Large files: the index stays within 1 MB per GB, and a lookup anywhere
// reads at most one spacing, also inside a line longer than that.
TEST(LineIndex, BoundedMemoryAndLookupReads)
{
    struct Case
    {
        const char *name;
        qint64 size;
        qint64 lineLength;
    };
    const Case cases[] = {
        {"short lines", qint64(256) << 20, 100},
        {"lines longer than the spacing", qint64(64) << 20, 200000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LinesSource source(c.size, c.lineLength);
        LineIndex index;
        ASSERT_EQ(index.extend(source, c.size), LineIndex::BuildResult::Complete);
        EXPECT_LE(index.memoryBytes(), c.size / 1024);
        EXPECT_EQ(index.lastLine(), (c.size - 1) / c.lineLength + 1);
        for (qint64 pos : {c.size / 10 * 9, c.size / 2 + 7, c.size - 1}) {
            source.bytesAsked = 0;
            EXPECT_EQ(index.lineNumberAt(source, pos), pos / c.lineLength + 1) << "at " << pos;
            EXPECT_LE(source.bytesAsked, LineIndex::defaultSpacing + 1);
        }
        const qint64 line = index.lastLine() / 10 * 9;
        source.bytesAsked = 0;
        EXPECT_EQ(index.lineStartOf(source, line), (line - 1) * c.lineLength);
        EXPECT_LE(source.bytesAsked, LineIndex::defaultSpacing + 1);
    }
}

// Stretches that hold LFs only are counted in bulk: over 4 KiB of short and
// long lines (the bulk count's counters are summed every 4080 bytes), then
// CRs, with checkpoints due anywhere, every line starts where the reference
// says.
TEST(LineIndex, BlocksOfLineFeedsOnlyCountAsAnyOther)
{
    QByteArray text;
    for (int i = 0; text.size() < 9000; ++i)
        text += QByteArray((i * 37) % 61, 'x') + '\n';
    // The full rules take over from a CR on, within a block.
    text += "CR\rCR LF\r\nLF\n\nx";
    for (int i = 0; i < 300; ++i)
        text += QByteArray(i % 13, 'y') + '\n';
    text += "no break";
    const Reference r = reference(text, LineCountUnit::Byte);
    const qint64 lines = qint64(r.starts.size()) + 1;
    for (const int block : {2, 17, 4096, LineIndex::defaultBlockSize}) {
        for (const qint64 spacing : {qint64(1), qint64(50), qint64(4097)}) {
            SCOPED_TRACE(testing::Message() << "block " << block << ", spacing " << spacing);
            MemorySource source(text);
            LineIndex index(LineCountUnit::Byte, spacing);
            ASSERT_EQ(index.extend(source, text.size(), {}, block),
                      LineIndex::BuildResult::Complete);
            EXPECT_EQ(index.indexedSize(), r.counted);
            ASSERT_EQ(index.lastLine(), lines);
            for (qint64 n = 2; n <= lines; ++n)
                ASSERT_EQ(index.lineStartOf(source, n), r.starts[size_t(n - 2)]) << "line " << n;
        }
    }
}

// Lines of many lengths with a CR LF split over every block edge: a file
// large enough to be mapped.
QByteArray mappedText()
{
    const qint64 block = LineIndex::defaultBlockSize;
    QByteArray text;
    for (int i = 0; text.size() < 6 * block; ++i)
        text += QByteArray(i % 300, 'x') + (i % 3 ? "\n" : "\r\n");
    for (qint64 edge = block; edge < text.size(); edge += block) {
        text[edge - 1] = '\r';
        text[edge] = '\n';
    }
    return text;
}

TEST(LineIndex, AMappedFileIndexesAsItsBytesRead)
{
    TempFiles files;
    const QByteArray text = mappedText();
    const auto file = LocalFileSource::open(files.write(QStringLiteral("big.log"), text));
    ASSERT_TRUE(file);
    MemorySource memory(text);
    LineIndex mapped, read;
    ASSERT_EQ(mapped.extend(*file, text.size()), LineIndex::BuildResult::Complete);
    ASSERT_EQ(read.extend(memory, text.size()), LineIndex::BuildResult::Complete);
    EXPECT_EQ(mapped.indexedSize(), read.indexedSize());
    ASSERT_EQ(mapped.lastLine(), read.lastLine());
    for (qint64 n = 1; n <= read.lastLine(); n += 997)
        ASSERT_EQ(mapped.lineStartOf(*file, n), read.lineStartOf(memory, n)) << "line " << n;
    // Counting on from the start over the whole file, as Go To Line does.
    const LineIndex::Located far =
        LineIndex::locate(*file, LineCountUnit::Byte, {}, read.lastLine(), text.size());
    EXPECT_EQ(far.status, LineIndex::Located::Status::Found);
    EXPECT_EQ(far.at.offset, read.lineStartOf(memory, read.lastLine()));
}

// A build on a thread of its own while the file is cut, many times: it
// never crashes, and it either finished before the cut or empties the index.
TEST(LineIndex, AFileCutUnderTheBuildEmptiesTheIndex)
{
    TempFiles files;
    const QByteArray text = mappedText();
    MemorySource memory(text);
    LineIndex whole;
    ASSERT_EQ(whole.extend(memory, text.size()), LineIndex::BuildResult::Complete);
    const QString path = files.path(QStringLiteral("cut.log"));
    for (int run = 0; run < 20; ++run) {
        SCOPED_TRACE(run);
        files.write(QStringLiteral("cut.log"), text);
        const auto file = LocalFileSource::open(path);
        ASSERT_TRUE(file);
        LineIndex index;
        LineIndex::BuildResult result = LineIndex::BuildResult::Failed;
        std::thread build([&] { result = index.extend(*file, text.size()); });
        ASSERT_EQ(::truncate(path.toLocal8Bit().constData(), (run * 104729) % text.size()), 0);
        build.join();
        if (result == LineIndex::BuildResult::Complete) {
            EXPECT_EQ(index.lastLine(), whole.lastLine());
        } else {
            EXPECT_EQ(result, LineIndex::BuildResult::Changed);
            EXPECT_EQ(index.indexedSize(), 0);
        }
    }
}

} // namespace
