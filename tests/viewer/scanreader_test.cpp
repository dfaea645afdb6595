#include "viewer/filesource.h"
#include "viewer/scanreader.h"
#include "viewer/spansource.h"

#include "testfiles.h"

#include <atomic>
#include <thread>

#include <sys/mman.h>
#include <unistd.h>

namespace {

const qint64 kPage = MappedWindow::pageSize();

// Bytes that differ from page to page and within one.
QByteArray pattern(qint64 size)
{
    QByteArray bytes(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char('a' + (i * 7 + i / 4093) % 26);
    return bytes;
}

// Whatever the bytes are, all of them are looked at.
int touchAll(const ScanReader::Bytes &bytes)
{
    int sum = 0;
    for (qint64 i = 0; i < bytes.size; ++i)
        sum += bytes.data[i];
    return sum;
}

TEST(ScanReader, GivesTheSourceBytesMappedOrNot)
{
    TempFiles files;
    const QByteArray text = pattern(10 * kPage + 123);
    const auto file = LocalFileSource::open(files.write(QStringLiteral("f"), text));
    ASSERT_TRUE(file);
    const SpanSource span(text.constData(), text.size());
    const struct
    {
        const char *name;
        qint64 position, count;
        bool forward;
    } cases[] = {
        {"the first block", 0, kPage + 5, true},
        {"across a window edge forward", 3 * kPage - 10, 20, true},
        {"across a window edge backward", 5 * kPage - 10, 20, false},
        {"a block as large as half a window", kPage, 2 * kPage, true},
        {"larger than half a window: read", 0, 3 * kPage, true},
        {"the short last block", text.size() - 100, 4096, true},
        {"the short last block backward", text.size() - 100, 4096, false},
        {"past the end", text.size() + 1, 10, true},
    };
    for (const bool mapped : {true, false}) {
        // Windows of four pages, so a few reads cross them.
        ScanReader reader(mapped ? static_cast<const FileSource &>(*file) : span, {}, 4 * kPage, 0);
        EXPECT_EQ(reader.mapped(), mapped);
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (mapped ? ", mapped" : ", read"));
            const ScanReader::Bytes bytes = reader.read(c.position, c.count, c.forward);
            ASSERT_EQ(bytes.status, ScanReader::Status::Ok);
            const qint64 want = std::clamp<qint64>(text.size() - c.position, 0, c.count);
            ASSERT_EQ(bytes.size, want);
            EXPECT_EQ(QByteArray(bytes.data, bytes.size), text.mid(c.position, want));
            // Blocks up to half a window are looked at in place.
            EXPECT_EQ(reader.inPlace(), mapped && want > 0 && c.count <= 2 * kPage);
            EXPECT_TRUE(reader.intact());
        }
    }
}

TEST(ScanReader, MapsOnlyLocalFilesAboveTheThreshold)
{
    TempFiles files;
    const QByteArray text = pattern(3 * kPage);
    const auto file = LocalFileSource::open(files.write(QStringLiteral("f"), text));
    ASSERT_TRUE(file);
    EXPECT_TRUE(ScanReader(*file, {}, 4 * kPage, text.size()).mapped());
    EXPECT_FALSE(ScanReader(*file, {}, 4 * kPage, text.size() + 1).mapped());
}

TEST(ScanReader, ManyReadersAtOnceStillReadEverything)
{
    // More readers than the fault guard lists windows: the rest read.
    TempFiles files;
    const QByteArray text = pattern(2 * kPage);
    const auto file = LocalFileSource::open(files.write(QStringLiteral("f"), text));
    ASSERT_TRUE(file);
    std::vector<std::unique_ptr<ScanReader>> readers;
    for (int i = 0; i < 100; ++i) {
        readers.push_back(std::make_unique<ScanReader>(*file, std::stop_token{}, 4 * kPage, 0));
        const ScanReader::Bytes bytes = readers.back()->read(i, kPage);
        ASSERT_EQ(QByteArray(bytes.data, bytes.size), text.mid(i, kPage)) << i;
    }
}

TEST(ScanReader, StopsWhenAsked)
{
    TempFiles files;
    const auto file = LocalFileSource::open(files.write(QStringLiteral("f"), pattern(kPage)));
    ASSERT_TRUE(file);
    std::stop_source stop;
    stop.request_stop();
    ScanReader reader(*file, stop.get_token(), 4 * kPage, 0);
    EXPECT_EQ(reader.read(0, 10).status, ScanReader::Status::Cancelled);
}

// The file shrinks after a block was handed out and before it is looked at.
TEST(ScanReader, AFileThatShrinksUnderABlockEndsThere)
{
    const qint64 size = 16 * kPage;
    const struct
    {
        const char *name;
        qint64 newSize;
        bool intact;
    } cases[] = {
        {"to nothing", 0, false},
        {"inside a page", 3 * kPage + 100, false},
        {"at a page edge", 5 * kPage, false},
        {"inside the block's last page", 8 * kPage - 1, false},
        {"past the block", 12 * kPage, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempFiles files;
        const QByteArray text = pattern(size);
        const QString path = files.write(QStringLiteral("f"), text);
        const auto file = LocalFileSource::open(path);
        ASSERT_TRUE(file);
        ScanReader reader(*file, {}, size, 0);
        const ScanReader::Bytes before = reader.read(0, 8 * kPage);
        ASSERT_EQ(before.size, 8 * kPage);
        ASSERT_EQ(::truncate(path.toLocal8Bit().constData(), c.newSize), 0);
        touchAll(before);
        EXPECT_EQ(reader.intact(), c.intact);
        const qint64 end = c.intact ? size : c.newSize;
        EXPECT_EQ(reader.size(), end);
        const ScanReader::Bytes again = reader.read(0, 8 * kPage);
        EXPECT_EQ(QByteArray(again.data, again.size), text.left(std::min(end, 8 * kPage)));
        touchAll(again);
        EXPECT_TRUE(reader.intact());
    }
}

// A scan on a thread of its own while the file is cut: no crash, every
// block the reader calls intact holds the file's bytes, and the scan ends at
// the end the file had when the scan got there: the old end, the new one, or
// where it was when the cut came after it had passed the new end.
TEST(ScanReader, ScansEndAtTheNewEndWhileTheFileIsCut)
{
    TempFiles files;
    const qint64 size = 64 * kPage;
    const QByteArray text = pattern(size);
    const QString path = files.path(QStringLiteral("f"));
    for (int run = 0; run < 100; ++run) {
        SCOPED_TRACE(run);
        files.write(QStringLiteral("f"), text);
        const auto file = LocalFileSource::open(path);
        ASSERT_TRUE(file);
        const qint64 newSize = (run * 7919) % size;
        std::atomic<bool> started = false;
        qint64 scanned = 0;
        bool wrong = false;
        std::thread scan([&] {
            ScanReader reader(*file, {}, 16 * kPage, 0);
            started = true;
            for (qint64 pos = 0;;) {
                const ScanReader::Bytes bytes = reader.read(pos, kPage);
                const bool same = QByteArray(bytes.data, bytes.size) == text.mid(pos, bytes.size);
                if (!reader.intact())
                    continue;
                if (bytes.size == 0)
                    break;
                wrong = wrong || !same;
                pos += bytes.size;
                scanned = pos;
            }
        });
        while (!started)
            std::this_thread::yield();
        ASSERT_EQ(::truncate(path.toLocal8Bit().constData(), newSize), 0);
        scan.join();
        EXPECT_FALSE(wrong);
        EXPECT_GE(scanned, newSize);
        EXPECT_LE(scanned, size);
    }
}

TEST(ScanReaderDeathTest, AFaultOutsideAScanStillKills)
{
    TempFiles files;
    const QString path = files.write(QStringLiteral("f"), pattern(4 * kPage));
    const auto file = LocalFileSource::open(path);
    ASSERT_TRUE(file);
    // The guard is in place once a window was made.
    ScanReader(*file, {}, 4 * kPage, 0).read(0, 1);
    EXPECT_DEATH(
        {
            void *map =
                mmap(nullptr, size_t(4 * kPage), PROT_READ, MAP_SHARED, file->descriptor(), 0);
            if (::truncate(path.toLocal8Bit().constData(), 0) == 0)
                (void)*static_cast<volatile const char *>(map);
        },
        "");
}

} // namespace
