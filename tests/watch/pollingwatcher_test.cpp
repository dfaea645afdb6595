#include "watch/pollingwatcher.h"

#include "watch/filewatcherror.h"

#include "eventwaiter.h"
#include "common/recordingsink.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <functional>
#include <stdexcept>

namespace {

void append(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append)) << qPrintable(path);
    ASSERT_EQ(file.write(bytes), bytes.size());
}

struct timespec lastWrite(const QString &path)
{
    struct stat st
    {
    };
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    return st.st_mtim;
}

// Sets both times; UTIME_NOW stands for the current time.
void setTimes(const QString &path, struct timespec access, struct timespec write)
{
    const struct timespec times[2] = {access, write};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

class SimpleNotificationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_log = m_dir.filePath(QStringLiteral("app.log"));
        append(m_log, "first line\n");
        m_watcher.onChanged = m_changes.callback();
    }

    RecordingSink m_sink;
    QTemporaryDir m_dir;
    QString m_log;
    EventWaiter m_changes;
    PollingWatcher m_watcher;
};

TEST_F(SimpleNotificationTest, PollReportsExistenceSizeAndWriteTimeOnce)
{
    const struct
    {
        const char *name;
        std::function<void(const QString &)> change;
        int changes;
    } cases[] = {
        {"nothing", [](const QString &) {}, 0},
        {"append", [](const QString &f) { append(f, "more\n"); }, 1},
        {"truncate", [](const QString &f) { ASSERT_TRUE(QFile::resize(f, 0)); }, 1},
        {"same size, other write time",
         [](const QString &f) {
             struct timespec earlier = lastWrite(f);
             earlier.tv_sec -= 10;
             setTimes(f, {0, UTIME_OMIT}, earlier);
         },
         1},
        {"touched, write time set back",
         [](const QString &f) {
             const struct timespec before = lastWrite(f);
             setTimes(f, {0, UTIME_NOW}, {0, UTIME_NOW});
             setTimes(f, {0, UTIME_NOW}, before);
         },
         0},
        {"deleted", [](const QString &f) { ASSERT_TRUE(QFile::remove(f)); }, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = m_dir.filePath(QString::fromUtf8(c.name));
        append(file, "some text\n");
        PollingWatcher watcher;
        int changes = 0;
        watcher.onChanged = [&changes] { ++changes; };
        watcher.watchFile(file);

        c.change(file);
        watcher.poll();
        watcher.poll();
        EXPECT_EQ(changes, c.changes);
    }
}

TEST_F(SimpleNotificationTest, VanishedFileReportsOnceAndPollingGoesOn)
{
    m_watcher.watchFile(m_log);
    ASSERT_TRUE(QFile::remove(m_log));
    m_watcher.poll();
    m_watcher.poll();
    EXPECT_EQ(m_changes.count(), 1);

    append(m_log, "recreated\n");
    m_watcher.poll();
    EXPECT_EQ(m_changes.count(), 2);
}

TEST_F(SimpleNotificationTest, WatchFileTakesASnapshotWithoutReporting)
{
    m_watcher.watchFile(m_log);
    append(m_log, "more\n");
    m_watcher.watchFile(m_log);
    m_watcher.poll();
    EXPECT_EQ(m_changes.count(), 0);
}

TEST_F(SimpleNotificationTest, EmptyNameIsAcceptedAndNeverReports)
{
    m_watcher.timer()->start();
    m_watcher.watchFile(QString());
    EXPECT_TRUE(m_watcher.timer()->isActive());
    m_watcher.poll();
    m_watcher.poll();
    EXPECT_EQ(m_changes.count(), 0);
}

TEST_F(SimpleNotificationTest, MissingFileThrowsAndLeavesTheTimerOff)
{
    m_watcher.timer()->start();
    try {
        m_watcher.watchFile(m_dir.filePath(QStringLiteral("missing.log")));
        FAIL() << "no FileWatchError";
    } catch (const FileWatchError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("File to watch doesn't exist"));
    }
    EXPECT_FALSE(m_watcher.timer()->isActive());

    // A later good WatchFile does not switch it back on by itself.
    m_watcher.watchFile(m_log);
    EXPECT_FALSE(m_watcher.timer()->isActive());
}

// A viewer waiting for a deleted file watches its name: the file's
// appearance is the change.
TEST_F(SimpleNotificationTest, AMissingFileWatchedOnPurposeReportsItsAppearance)
{
    const QString later = m_dir.filePath(QStringLiteral("later.log"));
    m_watcher.timer()->setInterval(10);
    m_watcher.timer()->start();
    m_watcher.watchFile(later, true);
    EXPECT_TRUE(m_watcher.timer()->isActive());
    m_watcher.poll();
    EXPECT_EQ(m_changes.count(), 0);
    append(later, "here\n");
    EXPECT_TRUE(m_changes.waitFor(1)) << "the timer's poll sees it";
}

TEST_F(SimpleNotificationTest, PollInsideOnChangedIsSkipped)
{
    m_watcher.watchFile(m_log);
    int nestedChanges = 0;
    m_watcher.onChanged = [&] {
        m_changes.fire();
        // What a modal box in the handler would let happen.
        append(m_log, "written meanwhile\n");
        const int before = m_changes.count();
        m_watcher.poll();
        nestedChanges += m_changes.count() - before;
    };

    append(m_log, "more\n");
    m_watcher.poll();
    EXPECT_EQ(m_changes.count(), 1);
    EXPECT_EQ(nestedChanges, 0);

    // The change seen by nobody is the next poll's.
    m_watcher.onChanged = m_changes.callback();
    m_watcher.poll();
    EXPECT_EQ(m_changes.count(), 2);
}

TEST_F(SimpleNotificationTest, FailingHandlerDoesNotLeaveThePollerBusy)
{
    m_watcher.watchFile(m_log);
    m_watcher.onChanged = [] { throw std::runtime_error("handler failed"); };
    append(m_log, "more\n");
    EXPECT_THROW(m_watcher.poll(), std::runtime_error);

    m_watcher.onChanged = m_changes.callback();
    append(m_log, "again\n");
    m_watcher.poll();
    EXPECT_EQ(m_changes.count(), 1);
}

TEST_F(SimpleNotificationTest, TimerTicksPollAndKeepExceptionsInside)
{
    m_watcher.watchFile(m_log);
    m_watcher.timer()->setInterval(10);
    m_watcher.timer()->start();

    append(m_log, "more\n");
    ASSERT_TRUE(m_changes.waitFor(1));

    m_watcher.onChanged = [this] {
        m_changes.fire();
        throw std::runtime_error("reload failed");
    };
    append(m_log, "again\n");
    ASSERT_TRUE(m_changes.waitFor(2));
    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_EQ(m_sink.messages()[0].text, QStringLiteral("reload failed"));
    EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Error);
}

} // namespace
