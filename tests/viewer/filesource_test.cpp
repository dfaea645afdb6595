#include "viewer/devicesource.h"
#include "viewer/filesource.h"
#include "viewer/linescanner.h"
#include "viewer/viewdocument.h"

#include "testfiles.h"

#include <QBuffer>
#include <QFile>

#include <atomic>
#include <thread>

#include <unistd.h>

namespace {

// More than three read blocks, so a whole-file read takes several calls.
QByteArray bigText()
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < 3 * LocalFileSource::blockSize + 5; ++i)
        bytes += ("line " + QByteArray::number(i)).leftJustified(99, '.') + "\n";
    return bytes;
}

TEST(LocalFileSource, ReadsAcrossBlocksAndZeroFillsPastTheEnd)
{
    TempFiles files;
    const QByteArray text = bigText();
    const auto source = LocalFileSource::open(files.write(QStringLiteral("big"), text));
    ASSERT_TRUE(source);
    EXPECT_EQ(source->size(), text.size());

    const struct
    {
        const char *name;
        qint64 position, count, got;
    } cases[] = {
        {"the whole file and past its end", 0, text.size() + 10, text.size()},
        {"across a block edge", LocalFileSource::blockSize - 3, 7, 7},
        {"the last bytes", text.size() - 4, 4, 4},
        {"wholly past the end", text.size() + 100, 8, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray buffer(c.count, '\x7F');
        qint64 got = -1;
        EXPECT_EQ(source->read(buffer.data(), c.count, c.position, &got),
                  FileSource::ReadResult::Ok);
        EXPECT_EQ(got, c.got);
        EXPECT_EQ(buffer.left(got), text.mid(c.position, got));
        EXPECT_EQ(buffer.mid(got), QByteArray(c.count - got, '\0')) << "zeros past the end";
    }
}

TEST(LocalFileSource, RefusesWhatCannotBeRead)
{
    TempFiles files;
    LocalFileSource::OpenError error = LocalFileSource::OpenError::None;
    EXPECT_FALSE(LocalFileSource::open(files.path(QStringLiteral("missing")), &error));
    EXPECT_EQ(error, LocalFileSource::OpenError::CannotOpen);
    EXPECT_FALSE(LocalFileSource::open(files.dir(), &error));
    EXPECT_EQ(error, LocalFileSource::OpenError::CannotOpen);
}

TEST(LocalFileSource, AWorkerReadsOnItsOwnDescriptorWhileTheDisplayReopens)
{
    TempFiles files;
    const QByteArray text = bigText();
    const QString path = files.write(QStringLiteral("shown.log"), text);
    ViewDocument doc;
    ASSERT_EQ(doc.openFile(path), ViewDocument::OpenResult::Ok);
    std::unique_ptr<FileSource> worker = doc.source()->openAnother();
    ASSERT_TRUE(worker);
    const auto *display = static_cast<const LocalFileSource *>(doc.source());
    EXPECT_NE(static_cast<const LocalFileSource *>(worker.get())->descriptor(),
              display->descriptor());

    // The display closes and the log is rotated away: the worker goes on
    // reading the file it started on.
    doc.close();
    ASSERT_EQ(::unlink(QFile::encodeName(path).constData()), 0);
    files.write(QStringLiteral("shown.log"), "the rotated successor\n");

    QByteArray read(text.size(), '\0');
    FileSource::ReadResult result = FileSource::ReadResult::Failed;
    int lines = 0;
    std::thread thread([&] {
        qint64 got = 0;
        result = worker->read(read.data(), read.size(), 0, &got);
        const LineScanner scanner(*worker, TextFormat{});
        for (qint64 p = 0; p >= 0; p = scanner.nextLineStart(p, true, false))
            ++lines;
    });
    thread.join();
    EXPECT_EQ(result, FileSource::ReadResult::Ok);
    EXPECT_EQ(read, text);
    EXPECT_EQ(lines, text.count('\n'));
}

TEST(LocalFileSource, AStopCancelsBetweenBlocks)
{
    TempFiles files;
    const QByteArray text = bigText();
    const auto source = LocalFileSource::open(files.write(QStringLiteral("big"), text));
    ASSERT_TRUE(source);

    std::stop_source stopped;
    stopped.request_stop();
    QByteArray buffer(text.size(), '\0');
    qint64 got = -1;
    EXPECT_EQ(source->read(buffer.data(), buffer.size(), 0, &got, stopped.get_token()),
              FileSource::ReadResult::Cancelled);
    EXPECT_EQ(got, 0) << "nothing is read once stopped";

    // A worker reading over and over ends with Cancelled once stopped, and
    // only then: every read before the stop is complete.
    std::atomic<bool> started{false};
    FileSource::ReadResult last = FileSource::ReadResult::Ok;
    bool completeBeforeStop = true;
    std::jthread worker([&](std::stop_token stop) {
        QByteArray local(text.size(), '\0');
        for (;;) {
            qint64 n = 0;
            last = source->read(local.data(), local.size(), 0, &n, stop);
            started = true;
            if (last != FileSource::ReadResult::Ok)
                break;
            completeBeforeStop = completeBeforeStop && n == text.size();
        }
    });
    while (!started)
        std::this_thread::yield();
    worker.request_stop();
    worker.join();
    EXPECT_EQ(last, FileSource::ReadResult::Cancelled);
    EXPECT_TRUE(completeBeforeStop);
}

TEST(DeviceSource, TheCallerKeepsTheDevice)
{
    QByteArray data("one\ntwo\n");
    QBuffer device(&data);
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    {
        ViewDocument doc;
        doc.openStream(&device);
        ASSERT_TRUE(doc.sourceAssigned());
        EXPECT_EQ(doc.stream(), &device);
        EXPECT_EQ(doc.fileSize(), data.size());
        EXPECT_FALSE(doc.source()->openAnother()) << "a device cannot be opened twice";
        doc.openStream(&device); // reopening the same device must not free it
        EXPECT_EQ(doc.getChar(4), u't');
        doc.openStream(nullptr);
        EXPECT_FALSE(doc.sourceAssigned());
        doc.openStream(&device);
    }
    // The document is gone; the device is still the caller's and usable.
    EXPECT_TRUE(device.isOpen());
    ASSERT_TRUE(device.seek(4));
    EXPECT_EQ(device.readLine(), QByteArray("two\n"));
}

} // namespace
