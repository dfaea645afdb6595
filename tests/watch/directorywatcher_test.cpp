#include "watch/directorywatcher.h"

#include "eventwaiter.h"
#include "common/recordingsink.h"

#include "text/fileutil.h"
#include "text/guard.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

namespace {

const NotifyFilters viewerOptions = foNotifyFilename | foNotifySize | foNotifyLastWrite;

void append(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append)) << qPrintable(path);
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class FileNotificationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_markerDir.isValid());
        m_marker.setDirectory(m_markerDir.path());
        m_marker.onChanged = m_markerEvents.callback();
        m_marker.start();
        ASSERT_TRUE(m_marker.active());
        m_watcher.onChanged = m_changes.callback();
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Returns once every report caused before it has been delivered: a second
    // watcher gets a change of its own, and its 100 ms tick is due after any
    // tick the first watcher armed earlier.
    void sync()
    {
        const int before = m_markerEvents.count();
        append(m_markerDir.filePath(QStringLiteral("marker")), "m");
        ASSERT_TRUE(m_markerEvents.waitFor(before + 1));
    }

    void watchFile(const QString &fileName)
    {
        append(fileName, "first line\n");
        m_watcher.setFileName(fileName);
        m_watcher.setOptions(viewerOptions);
        m_watcher.start();
        ASSERT_TRUE(m_watcher.active());
    }

    RecordingSink m_sink;
    QTemporaryDir m_dir;
    QTemporaryDir m_markerDir;
    EventWaiter m_markerEvents;
    EventWaiter m_changes;
    DirectoryWatcher m_marker;
    DirectoryWatcher m_watcher;
};

TEST_F(FileNotificationTest, EachBurstOfAppendsGivesOneChange)
{
    const QString log = path(QStringLiteral("app.log"));
    ASSERT_NO_FATAL_FAILURE(watchFile(log));

    for (int burst = 1; burst <= 3; ++burst) {
        SCOPED_TRACE(burst);
        for (int line = 0; line < 20; ++line)
            append(log, "partial ");
        append(log, "line end\n");
        ASSERT_TRUE(m_changes.waitFor(burst));
        sync();
        EXPECT_EQ(m_changes.count(), burst);
    }
    EXPECT_TRUE(m_sink.messages().empty());
}

TEST_F(FileNotificationTest, OtherFileOfTheFolderRaisesNothing)
{
    const QString log = path(QStringLiteral("app.log"));
    ASSERT_NO_FATAL_FAILURE(watchFile(log));

    const QString other = path(QStringLiteral("other.log"));
    append(other, "created\n");
    append(other, "written\n");
    ASSERT_TRUE(QFile::rename(other, path(QStringLiteral("renamed.log"))));
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("renamed.log"))));
    sync();
    EXPECT_EQ(m_changes.count(), 0);

    // Still watching.
    append(log, "more\n");
    EXPECT_TRUE(m_changes.waitFor(1));
}

TEST_F(FileNotificationTest, RenameAwayAndBackRaisesEachTime)
{
    const QString log = path(QStringLiteral("app.log"));
    const QString rotated = path(QStringLiteral("app.log.1"));
    ASSERT_NO_FATAL_FAILURE(watchFile(log));

    ASSERT_TRUE(QFile::rename(log, rotated));
    ASSERT_TRUE(m_changes.waitFor(1));
    ASSERT_TRUE(QFile::rename(rotated, log));
    ASSERT_TRUE(m_changes.waitFor(2));
    sync();
    EXPECT_EQ(m_changes.count(), 2);
}

TEST_F(FileNotificationTest, FolderModeWatchesTheFolderButNotItsSubfolders)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("sub")));
    m_watcher.setDirectory(m_dir.path());
    m_watcher.start();
    ASSERT_TRUE(m_watcher.active());

    append(path(QStringLiteral("sub/deep.log")), "x");
    sync();
    EXPECT_EQ(m_changes.count(), 0);

    append(path(QStringLiteral("any.log")), "x");
    EXPECT_TRUE(m_changes.waitFor(1));
}

TEST_F(FileNotificationTest, SubtreeModeFollowsSubfoldersCreatedOrMovedInLater)
{
    QDir dir(m_dir.path());
    ASSERT_TRUE(dir.mkdir(QStringLiteral("old")));
    m_watcher.setDirectory(m_dir.path());
    m_watcher.setSubtree(true);
    m_watcher.start();
    ASSERT_TRUE(m_watcher.active());

    append(path(QStringLiteral("old/a.log")), "x");
    ASSERT_TRUE(m_changes.waitFor(1));

    ASSERT_TRUE(dir.mkpath(QStringLiteral("new/deeper")));
    ASSERT_TRUE(m_changes.waitFor(2));
    append(path(QStringLiteral("new/deeper/b.log")), "x");
    ASSERT_TRUE(m_changes.waitFor(3));

    // A folder tree made elsewhere and moved in is watched as a whole.
    QTemporaryDir outside;
    ASSERT_TRUE(QDir(outside.path()).mkpath(QStringLiteral("tree/leaf")));
    ASSERT_TRUE(
        QDir().rename(outside.filePath(QStringLiteral("tree")), path(QStringLiteral("moved"))));
    ASSERT_TRUE(m_changes.waitFor(4));
    append(path(QStringLiteral("moved/leaf/c.log")), "x");
    ASSERT_TRUE(m_changes.waitFor(5));

    sync();
    EXPECT_EQ(m_changes.count(), 5);
}

TEST_F(FileNotificationTest, SubtreeWithoutNameEventsStillFollowsNewSubfolders)
{
    m_watcher.setDirectory(m_dir.path());
    m_watcher.setSubtree(true);
    m_watcher.setOptions(foNotifyLastWrite);
    m_watcher.start();
    ASSERT_TRUE(m_watcher.active());

    // The new folder is not reported itself; a write inside it is, also
    // when it comes before the worker has added the folder's watch.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("new")));
    append(path(QStringLiteral("new/a.log")), "x");
    EXPECT_TRUE(m_changes.waitFor(1));
}

TEST_F(FileNotificationTest, LastOfFileNameAndDirectoryWins)
{
    const QString log = path(QStringLiteral("app.log"));
    append(log, "x");
    const struct
    {
        const char *name;
        bool directoryLast;
    } cases[] = {{"FileName then Directory", true}, {"Directory then FileName", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DirectoryWatcher watcher;
        EventWaiter changes;
        watcher.onChanged = changes.callback();
        if (c.directoryLast) {
            watcher.setFileName(log);
            watcher.setDirectory(m_dir.path());
            EXPECT_TRUE(watcher.fileName().isEmpty());
        } else {
            watcher.setDirectory(m_dir.path());
            watcher.setFileName(log);
            EXPECT_TRUE(watcher.directory().isEmpty());
        }
        watcher.start();
        ASSERT_TRUE(watcher.active());

        append(path(QStringLiteral("other.log")), "x");
        if (c.directoryLast) {
            EXPECT_TRUE(changes.waitFor(1));
        }
        sync();
        EXPECT_EQ(changes.count(), c.directoryLast ? 1 : 0);
    }
}

TEST_F(FileNotificationTest, UnwatchableTargetFailsStartAtOnce)
{
    const QString plainFile = path(QStringLiteral("plain.txt"));
    append(plainFile, "x");
    const struct
    {
        const char *name;
        QString directory;
        QString fileName;
    } cases[] = {
        {"missing folder", path(QStringLiteral("missing")), {}},
        {"empty folder name", {}, {}},
        {"a file given as folder", plainFile, {}},
        {"file in a missing folder", {}, path(QStringLiteral("missing/app.log"))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        DirectoryWatcher watcher;
        // A Start that sat out its limit would hang the test instead of passing late.
        watcher.setHandshakeTimeout(24 * 60 * 60 * 1000);
        watcher.setDirectory(c.directory);
        if (!c.fileName.isEmpty())
            watcher.setFileName(c.fileName);

        watcher.start();

        EXPECT_FALSE(watcher.active());
        ASSERT_EQ(sink.messages().size(), 1u);
        EXPECT_EQ(sink.messages()[0].caption, QStringLiteral("Error"));
        EXPECT_EQ(sink.messages()[0].text, QStringLiteral("Exception while creating thread"));
        EXPECT_EQ(sink.messages()[0].icon, MsgIcon::Error);
    }
}

TEST_F(FileNotificationTest, FileDirectlyUnderTheRootWatchesTheRoot)
{
    m_watcher.setFileName(QStringLiteral("/ravelin-watch-test-no-such-file.log"));
    m_watcher.start();
    EXPECT_TRUE(m_watcher.active());
    m_watcher.stop();
    EXPECT_TRUE(m_sink.messages().empty());
}

TEST_F(FileNotificationTest, StopJoinsTheWorkerAndNothingIsReportedAfterIt)
{
    const QString log = path(QStringLiteral("app.log"));
    ASSERT_NO_FATAL_FAILURE(watchFile(log));
    m_watcher.stop();
    EXPECT_FALSE(m_watcher.active());

    // Restarts reuse nothing of the joined worker.
    for (int round = 0; round < 5; ++round) {
        m_watcher.setActive(true);
        ASSERT_TRUE(m_watcher.active());
        m_watcher.setActive(false);
        ASSERT_FALSE(m_watcher.active());
    }

    append(log, "after stop\n");
    sync();
    EXPECT_EQ(m_changes.count(), 0);
    EXPECT_TRUE(m_sink.messages().empty());
}

TEST_F(FileNotificationTest, StopFromInsideOnChanged)
{
    const QString log = path(QStringLiteral("app.log"));
    ASSERT_NO_FATAL_FAILURE(watchFile(log));
    // As the viewer does when it finds its file gone.
    m_watcher.onChanged = [this] {
        m_watcher.stop();
        m_changes.fire();
    };

    ASSERT_TRUE(QFile::remove(log));
    ASSERT_TRUE(m_changes.waitFor(1));
    EXPECT_FALSE(m_watcher.active());
    append(log, "back\n");
    sync();
    EXPECT_EQ(m_changes.count(), 1);
    EXPECT_TRUE(m_sink.messages().empty());
}

// A watch that ends by itself must not look alive: it says so once, is no
// longer active and tells its user, who can fall back to something else.
TEST_F(FileNotificationTest, DeletedWatchedFolderEndsTheWatchAndSaysSo)
{
    const struct
    {
        const char *name;
        bool singleFile;
    } cases[] = {{"folder mode", false}, {"single-file mode", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = path(QStringLiteral("watched"));
        const QString log = folder + QStringLiteral("/app.log");
        ASSERT_TRUE(QDir().mkpath(folder));
        append(log, "x");
        m_sink.clear();
        DirectoryWatcher watcher;
        EventWaiter changes;
        EventWaiter ended;
        watcher.onChanged = changes.callback();
        watcher.onEnded = ended.callback();
        if (c.singleFile)
            watcher.setFileName(log);
        else
            watcher.setDirectory(folder);
        watcher.start();
        ASSERT_TRUE(watcher.active());

        ASSERT_TRUE(QDir(folder).removeRecursively());
        ASSERT_TRUE(changes.waitFor(1));
        ASSERT_TRUE(ended.waitFor(1));
        // A worker spinning on the lost watch would keep arming the timer.
        sync();
        const int settled = changes.count();
        sync();
        EXPECT_EQ(changes.count(), settled);

        EXPECT_FALSE(watcher.active());
        EXPECT_EQ(ended.count(), 1);
        ASSERT_EQ(m_sink.messages().size(), 1u);
        EXPECT_EQ(m_sink.messages()[0].caption, QStringLiteral("Error"));
        EXPECT_TRUE(
            m_sink.messages()[0].text.startsWith(QStringLiteral("File notification ended")));
        watcher.stop(); // nothing left to stop

        // The folder back: a new Start watches it again.
        ASSERT_TRUE(QDir().mkpath(folder));
        append(log, "x");
        watcher.start();
        ASSERT_TRUE(watcher.active());
        const int before = changes.count();
        append(log, "more\n");
        EXPECT_TRUE(changes.waitFor(before + 1));
        watcher.stop();
        EXPECT_EQ(ended.count(), 1) << "a requested stop is no end of its own";
        ASSERT_TRUE(QDir(folder).removeRecursively());
        EXPECT_EQ(m_sink.messages().size(), 1u);
    }
}

// Whatever the worker throws (no memory under a limit, a failing lookup)
// ends its watch and goes to the general error report; never std::terminate.
TEST_F(FileNotificationTest, AThrowingWorkerEndsItsWatchThroughTheGeneralReport)
{
    const QString log = path(QStringLiteral("throws.log"));
    append(log, "x");
    DirectoryWatcher watcher;
    EventWaiter ended;
    watcher.onEnded = ended.callback();
    const auto failing = std::make_shared<std::atomic<bool>>(false);
    watcher.FileProbe = [failing](const QString &name) {
        if (failing->load())
            throw std::bad_alloc();
        return fileSnapshotByName(name);
    };
    watcher.setFileName(log);
    watcher.setOptions(viewerOptions);
    watcher.start();
    ASSERT_TRUE(watcher.active());

    failing->store(true);
    append(log, "more\n");
    ASSERT_TRUE(ended.waitFor(1));
    EXPECT_FALSE(watcher.active());
    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_EQ(m_sink.messages()[0].caption, programTitle());
    EXPECT_EQ(m_sink.messages()[0].text,
              QStringLiteral("Exception while waiting for notification: std::bad_alloc"));
    EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Error);
}

// Closing a tab or the program must not wait for a worker stuck in a file
// lookup (a dead network mount); the worker finishes later without touching
// the watcher it belonged to.
TEST_F(FileNotificationTest, DestructionDoesNotWaitForAStuckWorker)
{
    struct Gate
    {
        std::mutex lock;
        std::condition_variable changed;
        bool closed = false;
        bool entered = false;
        bool released = false;
    };
    const auto gate = std::make_shared<Gate>();
    const QString log = path(QStringLiteral("stuck.log"));
    append(log, "x");
    auto watcher = std::make_unique<DirectoryWatcher>();
    EventWaiter changes;
    watcher->onChanged = changes.callback();
    // Owns its state: it outlives the watcher.
    watcher->FileProbe = [gate](const QString &name) {
        std::unique_lock lock(gate->lock);
        if (gate->closed) {
            gate->entered = true;
            gate->changed.notify_all();
            gate->changed.wait(lock, [&] { return gate->released; });
        }
        return fileSnapshotByName(name);
    };
    watcher->setFileName(log);
    watcher->setOptions(viewerOptions);
    watcher->start();
    ASSERT_TRUE(watcher->active());
    {
        const std::lock_guard lock(gate->lock);
        gate->closed = true;
    }
    append(log, "more\n");
    {
        std::unique_lock lock(gate->lock);
        ASSERT_TRUE(
            gate->changed.wait_for(lock, std::chrono::seconds(5), [&] { return gate->entered; }));
    }

    // Not a shared copy: the count of owners below must reach one.
    const auto release = [raw = gate.get()] {
        {
            const std::lock_guard lock(raw->lock);
            raw->released = true;
        }
        raw->changed.notify_all();
    };
    // Only a failing run needs this: it frees a destructor that waits for good.
    std::thread rescue([gate, release] {
        std::unique_lock lock(gate->lock);
        if (gate->changed.wait_for(lock, std::chrono::seconds(5), [&] { return gate->released; }))
            return;
        lock.unlock();
        release();
    });
    QElapsedTimer clock;
    clock.start();
    watcher.reset();
    EXPECT_LT(clock.elapsed(), 2 * DirectoryWatcher::releaseWaitMs);
    release();
    rescue.join();
    // The worker ends and deletes itself once the GUI thread hears of it.
    QElapsedTimer settle;
    settle.start();
    while (gate.use_count() > 1 && settle.elapsed() < 5000) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(10);
    }
    EXPECT_EQ(gate.use_count(), 1) << "the worker and its probe are gone";
    EXPECT_EQ(changes.count(), 0);
    EXPECT_TRUE(m_sink.messages().empty());
}

} // namespace
