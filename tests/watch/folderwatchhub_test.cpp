#include "watch/folderwatchhub.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

using Report = FolderWatchHub::Report;

void append(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append)) << qPrintable(path);
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Reports by subscriber, in the order they came.
class Recorder final
{
public:
    FolderWatchHub::Callback callback(int who)
    {
        return [this, who](Report report) {
            m_reports[who].push_back(report);
            ++m_total;
            if (m_loop)
                m_loop->quit();
        };
    }
    const std::vector<Report> &of(int who) { return m_reports[who]; }
    int total() const { return m_total; }
    void clear()
    {
        m_reports.clear();
        m_total = 0;
    }

    // Runs the loop until who has a report; the limit only turns a missing
    // report into a failure.
    bool waitFor(int who, int limitMs = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (m_reports[who].empty() && clock.elapsed() < limitMs) {
            QEventLoop loop;
            QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
            m_loop = &loop;
            loop.exec();
            m_loop = nullptr;
        }
        return !m_reports[who].empty();
    }
    // Runs the loop for ms, to see that nothing comes.
    static void settle(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

private:
    std::map<int, std::vector<Report>> m_reports;
    int m_total = 0;
    QEventLoop *m_loop = nullptr;
};

class FolderWatchHubTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    std::shared_ptr<FolderWatchHub> m_hub = FolderWatchHub::instance();
    Recorder m_recorder;
};

TEST_F(FolderWatchHubTest, OneWatchAFolderHoweverManyFollowItsFiles)
{
    QTemporaryDir other;
    append(path("a.log"), "a\n");
    append(path("b.log"), "b\n");
    append(other.filePath("c.log"), "c\n");
    const int before = m_hub->watchedFolders();
    const quint64 a1 = m_hub->subscribe(path("a.log"), m_recorder.callback(1));
    const quint64 a2 = m_hub->subscribe(path("a.log"), m_recorder.callback(2));
    const quint64 b = m_hub->subscribe(path("b.log"), m_recorder.callback(3));
    ASSERT_TRUE(a1 && a2 && b);
    EXPECT_EQ(m_hub->watchedFolders(), before + 1);
    const quint64 c = m_hub->subscribe(other.filePath("c.log"), m_recorder.callback(4));
    ASSERT_TRUE(c);
    EXPECT_EQ(m_hub->watchedFolders(), before + 2);
    EXPECT_EQ(FolderWatchHub::instance(), m_hub) << "one hub for the program";

    Recorder::settle(50);
    EXPECT_EQ(m_recorder.total(), 0) << "nothing changes, nothing is told";

    append(path("a.log"), "more\n");
    ASSERT_TRUE(m_recorder.waitFor(1));
    ASSERT_TRUE(m_recorder.waitFor(2));
    Recorder::settle(50);
    EXPECT_EQ(m_recorder.of(1), std::vector<Report>{Report::Changed});
    EXPECT_TRUE(m_recorder.of(3).empty()) << "b.log shares the folder, not the change";
    EXPECT_TRUE(m_recorder.of(4).empty());

    m_hub->unsubscribe(a1);
    m_hub->unsubscribe(a1); // twice is harmless
    EXPECT_EQ(m_hub->watchedFolders(), before + 2) << "a2 and b still need the folder";
    m_hub->unsubscribe(a2);
    m_hub->unsubscribe(b);
    EXPECT_EQ(m_hub->watchedFolders(), before + 1);
    m_hub->unsubscribe(c);
    EXPECT_EQ(m_hub->watchedFolders(), before);
}

// Every way a followed name can change on disk is told.
TEST_F(FolderWatchHubTest, WritesTruncationsAndNameChangesAreTold)
{
    const QString log = path("app.log");
    const QString spare = path("app.log.new");
    const struct
    {
        const char *what;
        std::function<void()> change;
    } cases[] = {
        {"append", [&] { append(log, "line\n"); }},
        {"truncate", [&] { ASSERT_EQ(::truncate(QFile::encodeName(log).constData(), 0), 0); }},
        {"delete", [&] { ASSERT_TRUE(QFile::remove(log)); }},
        {"create", [&] { append(log, "new\n"); }},
        {"rename over it",
         [&] {
             append(spare, "rotated\n");
             ASSERT_EQ(std::rename(QFile::encodeName(spare).constData(),
                                   QFile::encodeName(log).constData()),
                       0);
         }},
    };
    append(log, "first\n");
    const quint64 id = m_hub->subscribe(log, m_recorder.callback(1));
    ASSERT_TRUE(id);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        m_recorder.clear();
        c.change();
        ASSERT_TRUE(m_recorder.waitFor(1));
        EXPECT_EQ(m_recorder.of(1).front(), Report::Changed);
    }
    m_hub->unsubscribe(id);
}

// A burst of appends is told at most once a frame, so the view reloads at
// most once a frame however fast the writer goes.
TEST_F(FolderWatchHubTest, ABurstIsToldAtMostOnceAFrame)
{
    const QString log = path("busy.log");
    append(log, "start\n");
    const quint64 id = m_hub->subscribe(log, m_recorder.callback(1));
    ASSERT_TRUE(id);
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append));
    QElapsedTimer clock;
    clock.start();
    int writes = 0;
    while (clock.elapsed() < 300) {
        file.write("0123456789\n");
        file.flush();
        ++writes;
        QCoreApplication::processEvents();
    }
    Recorder::settle(3 * FolderWatchHub::frameMs);
    const qint64 elapsed = clock.elapsed();
    const int told = int(m_recorder.of(1).size());
    EXPECT_GE(told, 2) << "told while the writes go on, not only after";
    EXPECT_LE(told, elapsed / FolderWatchHub::frameMs + 2) << writes << " writes";
    EXPECT_LT(told, writes);
    m_hub->unsubscribe(id);
}

TEST_F(FolderWatchHubTest, AFolderThatLeavesItsPathEndsTheWatch)
{
    const QString folder = path("logs");
    ASSERT_TRUE(QDir().mkpath(folder));
    append(folder + "/app.log", "a\n");
    const int before = m_hub->watchedFolders();
    const quint64 id = m_hub->subscribe(folder + "/app.log", m_recorder.callback(1));
    ASSERT_TRUE(id);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(m_recorder.waitFor(1));
    Recorder::settle(50);
    EXPECT_EQ(m_recorder.of(1).back(), Report::Ended);
    EXPECT_EQ(m_hub->watchedFolders(), before) << "the gone folder's watch is dropped";
    m_hub->unsubscribe(id);
    EXPECT_EQ(m_hub->watchedFolders(), before);
}

// A link's target is written in its own folder: that folder is watched too.
TEST_F(FolderWatchHubTest, ALinkIsFollowedToItsTarget)
{
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath("real.log");
    append(target, "a\n");
    ASSERT_TRUE(QFile::link(target, path("link.log")));
    const quint64 id = m_hub->subscribe(path("link.log"), m_recorder.callback(1));
    ASSERT_TRUE(id);
    append(target, "b\n");
    ASSERT_TRUE(m_recorder.waitFor(1));
    EXPECT_EQ(m_recorder.of(1).front(), Report::Changed);
    m_hub->unsubscribe(id);
}

// The caller falls back to the timer on 0.
TEST_F(FolderWatchHubTest, WhatCannotBeWatchedIsRefused)
{
    EXPECT_EQ(m_hub->subscribe(path("no-such-folder/app.log"), m_recorder.callback(1)), 0u);
    EXPECT_EQ(m_hub->subscribe(QString(), m_recorder.callback(1)), 0u);
    append(path("app.log"), "a\n");
    FolderWatchHub::setDisabled(true);
    EXPECT_EQ(m_hub->subscribe(path("app.log"), m_recorder.callback(1)), 0u);
    FolderWatchHub::setDisabled(false);
    const quint64 id = m_hub->subscribe(path("app.log"), m_recorder.callback(1));
    EXPECT_NE(id, 0u);
    m_hub->unsubscribe(id);
}

} // namespace
