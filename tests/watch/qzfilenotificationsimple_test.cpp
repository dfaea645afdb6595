#include "watch/qzfilenotificationsimple.h"

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

void Append(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append)) << qPrintable(path);
    ASSERT_EQ(file.write(bytes), bytes.size());
}

struct timespec LastWrite(const QString &path)
{
    struct stat st
    {
    };
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    return st.st_mtim;
}

// Sets both times; UTIME_NOW stands for the current time.
void SetTimes(const QString &path, struct timespec access, struct timespec write)
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
        Append(m_log, "first line\n");
        m_watcher.OnChanged = m_changes.Callback();
    }

    RecordingSink m_sink;
    QTemporaryDir m_dir;
    QString m_log;
    EventWaiter m_changes;
    TQzFileNotificationSimple m_watcher;
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
        {"append", [](const QString &f) { Append(f, "more\n"); }, 1},
        {"truncate", [](const QString &f) { ASSERT_TRUE(QFile::resize(f, 0)); }, 1},
        {"same size, other write time",
         [](const QString &f) {
             struct timespec earlier = LastWrite(f);
             earlier.tv_sec -= 10;
             SetTimes(f, {0, UTIME_OMIT}, earlier);
         },
         1},
        {"touched, write time set back",
         [](const QString &f) {
             const struct timespec before = LastWrite(f);
             SetTimes(f, {0, UTIME_NOW}, {0, UTIME_NOW});
             SetTimes(f, {0, UTIME_NOW}, before);
         },
         0},
        {"deleted", [](const QString &f) { ASSERT_TRUE(QFile::remove(f)); }, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = m_dir.filePath(QString::fromUtf8(c.name));
        Append(file, "some text\n");
        TQzFileNotificationSimple watcher;
        int changes = 0;
        watcher.OnChanged = [&changes] { ++changes; };
        watcher.WatchFile(file);

        c.change(file);
        watcher.Poll();
        watcher.Poll();
        EXPECT_EQ(changes, c.changes);
    }
}

TEST_F(SimpleNotificationTest, VanishedFileReportsOnceAndPollingGoesOn)
{
    m_watcher.WatchFile(m_log);
    ASSERT_TRUE(QFile::remove(m_log));
    m_watcher.Poll();
    m_watcher.Poll();
    EXPECT_EQ(m_changes.Count(), 1);

    Append(m_log, "recreated\n");
    m_watcher.Poll();
    EXPECT_EQ(m_changes.Count(), 2);
}

TEST_F(SimpleNotificationTest, WatchFileTakesASnapshotWithoutReporting)
{
    m_watcher.WatchFile(m_log);
    Append(m_log, "more\n");
    m_watcher.WatchFile(m_log);
    m_watcher.Poll();
    EXPECT_EQ(m_changes.Count(), 0);
}

TEST_F(SimpleNotificationTest, EmptyNameIsAcceptedAndNeverReports)
{
    m_watcher.Timer()->start();
    m_watcher.WatchFile(QString());
    EXPECT_TRUE(m_watcher.Timer()->isActive());
    m_watcher.Poll();
    m_watcher.Poll();
    EXPECT_EQ(m_changes.Count(), 0);
}

TEST_F(SimpleNotificationTest, MissingFileThrowsAndLeavesTheTimerOff)
{
    m_watcher.Timer()->start();
    try {
        m_watcher.WatchFile(m_dir.filePath(QStringLiteral("missing.log")));
        FAIL() << "no FileWatchError";
    } catch (const FileWatchError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("File to watch doesn't exist"));
    }
    EXPECT_FALSE(m_watcher.Timer()->isActive());

    // A later good WatchFile does not switch it back on by itself.
    m_watcher.WatchFile(m_log);
    EXPECT_FALSE(m_watcher.Timer()->isActive());
}

// A viewer waiting for a deleted file watches its name: the file's
// appearance is the change.
TEST_F(SimpleNotificationTest, AMissingFileWatchedOnPurposeReportsItsAppearance)
{
    const QString later = m_dir.filePath(QStringLiteral("later.log"));
    m_watcher.Timer()->setInterval(10);
    m_watcher.Timer()->start();
    m_watcher.WatchFile(later, true);
    EXPECT_TRUE(m_watcher.Timer()->isActive());
    m_watcher.Poll();
    EXPECT_EQ(m_changes.Count(), 0);
    Append(later, "here\n");
    EXPECT_TRUE(m_changes.WaitFor(1)) << "the timer's poll sees it";
}

TEST_F(SimpleNotificationTest, PollInsideOnChangedIsSkipped)
{
    m_watcher.WatchFile(m_log);
    int nestedChanges = 0;
    m_watcher.OnChanged = [&] {
        m_changes.Fire();
        // What a modal box in the handler would let happen.
        Append(m_log, "written meanwhile\n");
        const int before = m_changes.Count();
        m_watcher.Poll();
        nestedChanges += m_changes.Count() - before;
    };

    Append(m_log, "more\n");
    m_watcher.Poll();
    EXPECT_EQ(m_changes.Count(), 1);
    EXPECT_EQ(nestedChanges, 0);

    // The change seen by nobody is the next poll's.
    m_watcher.OnChanged = m_changes.Callback();
    m_watcher.Poll();
    EXPECT_EQ(m_changes.Count(), 2);
}

TEST_F(SimpleNotificationTest, FailingHandlerDoesNotLeaveThePollerBusy)
{
    m_watcher.WatchFile(m_log);
    m_watcher.OnChanged = [] { throw std::runtime_error("handler failed"); };
    Append(m_log, "more\n");
    EXPECT_THROW(m_watcher.Poll(), std::runtime_error);

    m_watcher.OnChanged = m_changes.Callback();
    Append(m_log, "again\n");
    m_watcher.Poll();
    EXPECT_EQ(m_changes.Count(), 1);
}

TEST_F(SimpleNotificationTest, TimerTicksPollAndKeepExceptionsInside)
{
    m_watcher.WatchFile(m_log);
    m_watcher.Timer()->setInterval(10);
    m_watcher.Timer()->start();

    Append(m_log, "more\n");
    ASSERT_TRUE(m_changes.WaitFor(1));

    m_watcher.OnChanged = [this] {
        m_changes.Fire();
        throw std::runtime_error("reload failed");
    };
    Append(m_log, "again\n");
    ASSERT_TRUE(m_changes.WaitFor(2));
    ASSERT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_EQ(m_sink.Messages()[0].Text, QStringLiteral("reload failed"));
    EXPECT_EQ(m_sink.Messages()[0].Icon, MsgIcon::Error);
}

} // namespace
