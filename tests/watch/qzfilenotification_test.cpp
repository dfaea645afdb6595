#include "watch/qzfilenotification.h"

#include "eventwaiter.h"
#include "common/recordingsink.h"

#include "text/fproc.h"
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

const TQzFileNotifyOptions ViewerOptions = foNotifyFilename | foNotifySize | foNotifyLastWrite;

void Append(const QString &path, const QByteArray &bytes)
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
        m_marker.SetDirectory(m_markerDir.path());
        m_marker.OnChanged = m_markerEvents.Callback();
        m_marker.Start();
        ASSERT_TRUE(m_marker.Active());
        m_watcher.OnChanged = m_changes.Callback();
    }

    QString Path(const QString &name) const { return m_dir.filePath(name); }

    // Returns once every report caused before it has been delivered: a second
    // watcher gets a change of its own, and its 100 ms tick is due after any
    // tick the first watcher armed earlier.
    void Sync()
    {
        const int before = m_markerEvents.Count();
        Append(m_markerDir.filePath(QStringLiteral("marker")), "m");
        ASSERT_TRUE(m_markerEvents.WaitFor(before + 1));
    }

    void WatchFile(const QString &fileName)
    {
        Append(fileName, "first line\n");
        m_watcher.SetFileName(fileName);
        m_watcher.SetOptions(ViewerOptions);
        m_watcher.Start();
        ASSERT_TRUE(m_watcher.Active());
    }

    RecordingSink m_sink;
    QTemporaryDir m_dir;
    QTemporaryDir m_markerDir;
    EventWaiter m_markerEvents;
    EventWaiter m_changes;
    TQzFileNotification m_marker;
    TQzFileNotification m_watcher;
};

TEST_F(FileNotificationTest, EachBurstOfAppendsGivesOneChange)
{
    const QString log = Path(QStringLiteral("app.log"));
    ASSERT_NO_FATAL_FAILURE(WatchFile(log));

    for (int burst = 1; burst <= 3; ++burst) {
        SCOPED_TRACE(burst);
        for (int line = 0; line < 20; ++line)
            Append(log, "partial ");
        Append(log, "line end\n");
        ASSERT_TRUE(m_changes.WaitFor(burst));
        Sync();
        EXPECT_EQ(m_changes.Count(), burst);
    }
    EXPECT_TRUE(m_sink.Messages().empty());
}

TEST_F(FileNotificationTest, OtherFileOfTheFolderRaisesNothing)
{
    const QString log = Path(QStringLiteral("app.log"));
    ASSERT_NO_FATAL_FAILURE(WatchFile(log));

    const QString other = Path(QStringLiteral("other.log"));
    Append(other, "created\n");
    Append(other, "written\n");
    ASSERT_TRUE(QFile::rename(other, Path(QStringLiteral("renamed.log"))));
    ASSERT_TRUE(QFile::remove(Path(QStringLiteral("renamed.log"))));
    Sync();
    EXPECT_EQ(m_changes.Count(), 0);

    // Still watching.
    Append(log, "more\n");
    EXPECT_TRUE(m_changes.WaitFor(1));
}

TEST_F(FileNotificationTest, RenameAwayAndBackRaisesEachTime)
{
    const QString log = Path(QStringLiteral("app.log"));
    const QString rotated = Path(QStringLiteral("app.log.1"));
    ASSERT_NO_FATAL_FAILURE(WatchFile(log));

    ASSERT_TRUE(QFile::rename(log, rotated));
    ASSERT_TRUE(m_changes.WaitFor(1));
    ASSERT_TRUE(QFile::rename(rotated, log));
    ASSERT_TRUE(m_changes.WaitFor(2));
    Sync();
    EXPECT_EQ(m_changes.Count(), 2);
}

TEST_F(FileNotificationTest, FolderModeWatchesTheFolderButNotItsSubfolders)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("sub")));
    m_watcher.SetDirectory(m_dir.path());
    m_watcher.Start();
    ASSERT_TRUE(m_watcher.Active());

    Append(Path(QStringLiteral("sub/deep.log")), "x");
    Sync();
    EXPECT_EQ(m_changes.Count(), 0);

    Append(Path(QStringLiteral("any.log")), "x");
    EXPECT_TRUE(m_changes.WaitFor(1));
}

TEST_F(FileNotificationTest, SubtreeModeFollowsSubfoldersCreatedOrMovedInLater)
{
    QDir dir(m_dir.path());
    ASSERT_TRUE(dir.mkdir(QStringLiteral("old")));
    m_watcher.SetDirectory(m_dir.path());
    m_watcher.SetSubtree(true);
    m_watcher.Start();
    ASSERT_TRUE(m_watcher.Active());

    Append(Path(QStringLiteral("old/a.log")), "x");
    ASSERT_TRUE(m_changes.WaitFor(1));

    ASSERT_TRUE(dir.mkpath(QStringLiteral("new/deeper")));
    ASSERT_TRUE(m_changes.WaitFor(2));
    Append(Path(QStringLiteral("new/deeper/b.log")), "x");
    ASSERT_TRUE(m_changes.WaitFor(3));

    // A folder tree made elsewhere and moved in is watched as a whole.
    QTemporaryDir outside;
    ASSERT_TRUE(QDir(outside.path()).mkpath(QStringLiteral("tree/leaf")));
    ASSERT_TRUE(
        QDir().rename(outside.filePath(QStringLiteral("tree")), Path(QStringLiteral("moved"))));
    ASSERT_TRUE(m_changes.WaitFor(4));
    Append(Path(QStringLiteral("moved/leaf/c.log")), "x");
    ASSERT_TRUE(m_changes.WaitFor(5));

    Sync();
    EXPECT_EQ(m_changes.Count(), 5);
}

TEST_F(FileNotificationTest, SubtreeWithoutNameEventsStillFollowsNewSubfolders)
{
    m_watcher.SetDirectory(m_dir.path());
    m_watcher.SetSubtree(true);
    m_watcher.SetOptions(foNotifyLastWrite);
    m_watcher.Start();
    ASSERT_TRUE(m_watcher.Active());

    // The new folder is not reported itself; a write inside it is, also
    // when it comes before the worker has added the folder's watch.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("new")));
    Append(Path(QStringLiteral("new/a.log")), "x");
    EXPECT_TRUE(m_changes.WaitFor(1));
}

TEST_F(FileNotificationTest, LastOfFileNameAndDirectoryWins)
{
    const QString log = Path(QStringLiteral("app.log"));
    Append(log, "x");
    const struct
    {
        const char *name;
        bool directoryLast;
    } cases[] = {{"FileName then Directory", true}, {"Directory then FileName", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TQzFileNotification watcher;
        EventWaiter changes;
        watcher.OnChanged = changes.Callback();
        if (c.directoryLast) {
            watcher.SetFileName(log);
            watcher.SetDirectory(m_dir.path());
            EXPECT_TRUE(watcher.FileName().isEmpty());
        } else {
            watcher.SetDirectory(m_dir.path());
            watcher.SetFileName(log);
            EXPECT_TRUE(watcher.Directory().isEmpty());
        }
        watcher.Start();
        ASSERT_TRUE(watcher.Active());

        Append(Path(QStringLiteral("other.log")), "x");
        if (c.directoryLast) {
            EXPECT_TRUE(changes.WaitFor(1));
        }
        Sync();
        EXPECT_EQ(changes.Count(), c.directoryLast ? 1 : 0);
    }
}

TEST_F(FileNotificationTest, UnwatchableTargetFailsStartAtOnce)
{
    const QString plainFile = Path(QStringLiteral("plain.txt"));
    Append(plainFile, "x");
    const struct
    {
        const char *name;
        QString directory;
        QString fileName;
    } cases[] = {
        {"missing folder", Path(QStringLiteral("missing")), {}},
        {"empty folder name", {}, {}},
        {"a file given as folder", plainFile, {}},
        {"file in a missing folder", {}, Path(QStringLiteral("missing/app.log"))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        TQzFileNotification watcher;
        // A Start that sat out its limit would hang the test instead of passing late.
        watcher.SetHandshakeTimeout(24 * 60 * 60 * 1000);
        watcher.SetDirectory(c.directory);
        if (!c.fileName.isEmpty())
            watcher.SetFileName(c.fileName);

        watcher.Start();

        EXPECT_FALSE(watcher.Active());
        ASSERT_EQ(sink.Messages().size(), 1u);
        EXPECT_EQ(sink.Messages()[0].Caption, QStringLiteral("Error"));
        EXPECT_EQ(sink.Messages()[0].Text, QStringLiteral("Exception while creating thread"));
        EXPECT_EQ(sink.Messages()[0].Icon, MsgIcon::Error);
    }
}

TEST_F(FileNotificationTest, FileDirectlyUnderTheRootWatchesTheRoot)
{
    m_watcher.SetFileName(QStringLiteral("/ravelin-watch-test-no-such-file.log"));
    m_watcher.Start();
    EXPECT_TRUE(m_watcher.Active());
    m_watcher.Stop();
    EXPECT_TRUE(m_sink.Messages().empty());
}

TEST_F(FileNotificationTest, StopJoinsTheWorkerAndNothingIsReportedAfterIt)
{
    const QString log = Path(QStringLiteral("app.log"));
    ASSERT_NO_FATAL_FAILURE(WatchFile(log));
    m_watcher.Stop();
    EXPECT_FALSE(m_watcher.Active());

    // Restarts reuse nothing of the joined worker.
    for (int round = 0; round < 5; ++round) {
        m_watcher.SetActive(true);
        ASSERT_TRUE(m_watcher.Active());
        m_watcher.SetActive(false);
        ASSERT_FALSE(m_watcher.Active());
    }

    Append(log, "after stop\n");
    Sync();
    EXPECT_EQ(m_changes.Count(), 0);
    EXPECT_TRUE(m_sink.Messages().empty());
}

TEST_F(FileNotificationTest, StopFromInsideOnChanged)
{
    const QString log = Path(QStringLiteral("app.log"));
    ASSERT_NO_FATAL_FAILURE(WatchFile(log));
    // As the viewer does when it finds its file gone.
    m_watcher.OnChanged = [this] {
        m_watcher.Stop();
        m_changes.Fire();
    };

    ASSERT_TRUE(QFile::remove(log));
    ASSERT_TRUE(m_changes.WaitFor(1));
    EXPECT_FALSE(m_watcher.Active());
    Append(log, "back\n");
    Sync();
    EXPECT_EQ(m_changes.Count(), 1);
    EXPECT_TRUE(m_sink.Messages().empty());
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
        const QString folder = Path(QStringLiteral("watched"));
        const QString log = folder + QStringLiteral("/app.log");
        ASSERT_TRUE(QDir().mkpath(folder));
        Append(log, "x");
        m_sink.Clear();
        TQzFileNotification watcher;
        EventWaiter changes;
        EventWaiter ended;
        watcher.OnChanged = changes.Callback();
        watcher.OnEnded = ended.Callback();
        if (c.singleFile)
            watcher.SetFileName(log);
        else
            watcher.SetDirectory(folder);
        watcher.Start();
        ASSERT_TRUE(watcher.Active());

        ASSERT_TRUE(QDir(folder).removeRecursively());
        ASSERT_TRUE(changes.WaitFor(1));
        ASSERT_TRUE(ended.WaitFor(1));
        // A worker spinning on the lost watch would keep arming the timer.
        Sync();
        const int settled = changes.Count();
        Sync();
        EXPECT_EQ(changes.Count(), settled);

        EXPECT_FALSE(watcher.Active());
        EXPECT_EQ(ended.Count(), 1);
        ASSERT_EQ(m_sink.Messages().size(), 1u);
        EXPECT_EQ(m_sink.Messages()[0].Caption, QStringLiteral("Error"));
        EXPECT_TRUE(
            m_sink.Messages()[0].Text.startsWith(QStringLiteral("File notification ended")));
        watcher.Stop(); // nothing left to stop

        // The folder back: a new Start watches it again.
        ASSERT_TRUE(QDir().mkpath(folder));
        Append(log, "x");
        watcher.Start();
        ASSERT_TRUE(watcher.Active());
        const int before = changes.Count();
        Append(log, "more\n");
        EXPECT_TRUE(changes.WaitFor(before + 1));
        watcher.Stop();
        EXPECT_EQ(ended.Count(), 1) << "a requested stop is no end of its own";
        ASSERT_TRUE(QDir(folder).removeRecursively());
        EXPECT_EQ(m_sink.Messages().size(), 1u);
    }
}

// Whatever the worker throws (no memory under a limit, a failing lookup)
// ends its watch and goes to the general error report; never std::terminate.
TEST_F(FileNotificationTest, AThrowingWorkerEndsItsWatchThroughTheGeneralReport)
{
    const QString log = Path(QStringLiteral("throws.log"));
    Append(log, "x");
    TQzFileNotification watcher;
    EventWaiter ended;
    watcher.OnEnded = ended.Callback();
    const auto failing = std::make_shared<std::atomic<bool>>(false);
    watcher.FileProbe = [failing](const QString &name) {
        if (failing->load())
            throw std::bad_alloc();
        return FileSnapshotByName(name);
    };
    watcher.SetFileName(log);
    watcher.SetOptions(ViewerOptions);
    watcher.Start();
    ASSERT_TRUE(watcher.Active());

    failing->store(true);
    Append(log, "more\n");
    ASSERT_TRUE(ended.WaitFor(1));
    EXPECT_FALSE(watcher.Active());
    ASSERT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_EQ(m_sink.Messages()[0].Caption, ProgramTitle());
    EXPECT_EQ(m_sink.Messages()[0].Text,
              QStringLiteral("Exception while waiting for notification: std::bad_alloc"));
    EXPECT_EQ(m_sink.Messages()[0].Icon, MsgIcon::Error);
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
    const QString log = Path(QStringLiteral("stuck.log"));
    Append(log, "x");
    auto watcher = std::make_unique<TQzFileNotification>();
    EventWaiter changes;
    watcher->OnChanged = changes.Callback();
    // Owns its state: it outlives the watcher.
    watcher->FileProbe = [gate](const QString &name) {
        std::unique_lock lock(gate->lock);
        if (gate->closed) {
            gate->entered = true;
            gate->changed.notify_all();
            gate->changed.wait(lock, [&] { return gate->released; });
        }
        return FileSnapshotByName(name);
    };
    watcher->SetFileName(log);
    watcher->SetOptions(ViewerOptions);
    watcher->Start();
    ASSERT_TRUE(watcher->Active());
    {
        const std::lock_guard lock(gate->lock);
        gate->closed = true;
    }
    Append(log, "more\n");
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
    EXPECT_LT(clock.elapsed(), 2 * TQzFileNotification::ReleaseWaitMs);
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
    EXPECT_EQ(changes.Count(), 0);
    EXPECT_TRUE(m_sink.Messages().empty());
}

} // namespace
