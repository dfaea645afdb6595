#include "viewerfixture.h"

#include "watch/filefollower.h"
#include "watch/folderwatchhub.h"
#include "watch/pollingwatcher.h"
#include "common/viewoption.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QMouseEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QStackedWidget>
#include <QThread>
#include <QTimer>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A viewer that watches its file by polling, as where the folder cannot be
// watched. Polls are driven directly instead of waiting for the timer.
class Reload : public ViewerFixture
{
protected:
    // polls false follows as the application does: the folder watch, with
    // the poll standing in where it cannot serve.
    void openWatched(const QByteArray &bytes, int lines = 10, int pollMs = 500, bool polls = true,
                     const QString &name = QStringLiteral("view.log"))
    {
        m_path = write(bytes, name);
        m_view->setPollForChanges(polls);
        m_view->setPollInterval(pollMs);
        m_view->setAutoReload(true);
        QObject::disconnect(m_view.get(), &LogView::fileReloaded, nullptr, nullptr);
        QObject::connect(m_view.get(), &LogView::fileReloaded, [this] { reloaded(); });
        ASSERT_TRUE(m_view->open(m_path));
        showLines(lines);
    }
    void reloaded()
    {
        ++m_reloads;
        if (m_loop && m_reloads >= m_awaited)
            m_loop->quit();
    }
    // Runs the event loop until the watcher has reported count reloads in
    // all; the limit only turns a missing report into a failure.
    bool waitForReloads(int count)
    {
        if (m_reloads >= count)
            return true;
        QEventLoop loop;
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        m_awaited = count;
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
        return m_reloads >= count;
    }
    // 30 lines under name, followed as the application follows, at the end.
    void followAtTheEnd(const QString &name)
    {
        openWatched(numberedLines(30), 10, kFastPollMs, false, name);
        m_view->scrollToEnd();
    }
    void poll() { m_view->follower().pollingWatcher()->poll(); }
    void append(const QByteArray &bytes) { m_files.append(m_path, bytes); }
    // Changes the size so that a poll notices even within one clock tick.
    void rewrite(const QByteArray &bytes)
    {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QString lastDrawn() const { return drawnTexts().empty() ? QString() : drawnTexts().back(); }
    // Counts full repaints of a viewer: each one draws its top row once.
    static void countDraws(LogView *view, int &draws)
    {
        view->onDrawLine = [&draws](LogView *, QPainter &, const QString &, const QString &,
                                    const QRect &rect, const QPoint &, bool &) {
            if (rect.top() == 0)
                ++draws;
        };
    }
    void replaceByFifo()
    {
        ASSERT_EQ(unlink(QFile::encodeName(m_path).constData()), 0);
        ASSERT_EQ(mkfifo(QFile::encodeName(m_path).constData(), 0600), 0);
    }

    static constexpr int kFastPollMs = 20;
    QString m_path;
    int m_reloads = 0;
    int m_awaited = 0;
    QEventLoop *m_loop = nullptr;
};

TEST_F(Reload, ArmedAtOpenWithTheChosenInterval)
{
    openWatched(numberedLines(3));
    QTimer *timer = m_view->follower().pollingWatcher()->timer();
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 500);
}

TEST_F(Reload, FollowsTheTailWhileTheEndIsVisible)
{
    openWatched(numberedLines(30));
    m_view->scrollToEnd();
    ASSERT_EQ(lastDrawn(), QStringLiteral("line030"));
    append("line031\nline032\n");
    poll();
    EXPECT_EQ(m_reloads, 1);
    EXPECT_TRUE(m_view->viewAtEnd());
    EXPECT_EQ(lastDrawn(), QStringLiteral("line032")) << "the new last line is at the bottom";
}

TEST_F(Reload, ScrolledUpTheViewAndSelectionStay)
{
    openWatched(numberedLines(100));
    m_view->scrollTo(40 * 8);
    m_view->setSelection(41 * 8, 5, false, false, true);
    append("line101\n");
    poll();
    EXPECT_EQ(m_view->viewPos(), 40 * 8);
    EXPECT_EQ(m_view->selStart(), 41 * 8);
    EXPECT_EQ(m_view->selLength(), 5);
    EXPECT_EQ(m_view->document().fileSize(), 101 * 8);
}

// A change told while the mouse selects waits for the button's release: a
// last append (or a compressed log's last part) is never lost for it.
TEST_F(Reload, AChangeToldWhileSelectingIsTakenOnRelease)
{
    openWatched(numberedLines(30));
    const QPoint at(m_charWidth * 2, m_lineHeight / 2);
    const auto send = [&](QEvent::Type type) {
        QMouseEvent event(
            type, QPointF(at), m_view->viewport()->mapToGlobal(QPointF(at)), Qt::LeftButton,
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(m_view->viewport(), &event);
    };
    send(QEvent::MouseButtonPress);
    ASSERT_TRUE(m_view->selectingByMouse());
    append("line031\n");
    m_view->handleFileChange();
    EXPECT_EQ(m_view->document().fileSize(), 30 * 8) << "not while selecting";
    send(QEvent::MouseButtonRelease);
    EXPECT_EQ(m_view->document().fileSize(), 31 * 8);
}

TEST_F(Reload, WithoutTailFollowingTheEndStaysPut)
{
    openWatched(numberedLines(5));
    m_view->setFollowTail(false);
    const qint64 pos = m_view->viewPos();
    append("line006\n");
    poll();
    EXPECT_EQ(m_view->viewPos(), pos);
    EXPECT_EQ(lastDrawn(), QStringLiteral("line006")) << "there was room below";
}

TEST_F(Reload, TruncatedToZeroThenWrittenAgain)
{
    openWatched(numberedLines(30));
    rewrite({});
    poll();
    EXPECT_EQ(m_view->document().fileSize(), 0);
    EXPECT_EQ(m_view->fileName(), m_path) << "the tab keeps its file";
    EXPECT_FALSE(m_view->verticalScrollBar()->isEnabled());
    rewrite("fresh\n");
    poll();
    EXPECT_EQ(drawnTexts(), (std::vector<QString>{QStringLiteral("fresh")}));
}

// An empty file shows its end, so a log that starts empty, or was cleared,
// follows the lines written to it next.
TEST_F(Reload, AnEmptyFileFollowsWhatIsWrittenToIt)
{
    for (const bool clearedFirst : {false, true}) {
        SCOPED_TRACE(clearedFirst ? "cleared" : "empty at open");
        openWatched(clearedFirst ? numberedLines(30) : QByteArray());
        if (clearedFirst) {
            m_view->scrollToEnd();
            rewrite({});
            poll();
        }
        EXPECT_TRUE(m_view->viewAtEnd());
        rewrite(numberedLines(30));
        poll();
        EXPECT_TRUE(m_view->viewAtEnd());
        EXPECT_EQ(lastDrawn(), QStringLiteral("line030")) << "the last line is at the bottom";
    }
}

// As "tail -F": a file that goes away is waited for under its name, and the
// file that appears there is opened and followed. The watcher's own timer
// drives it here; the test waits for its reports.
TEST_F(Reload, AFileThatGoesAwayIsWaitedForAndFollowedWhenItComesBack)
{
    const QByteArray path = QFile::encodeName(m_files.path(QStringLiteral("view.log")));
    const struct
    {
        const char *name;
        std::function<void()> away;
        std::function<void()> back; // before the file is written again
    } cases[] = {
        {"deleted", [&] { ASSERT_EQ(unlink(path.constData()), 0); }, [] {}},
        {"moved away", [&] { ASSERT_EQ(rename(path.constData(), (path + ".1").constData()), 0); },
         [] {}},
        {"a folder in its place",
         [&] {
             ASSERT_EQ(unlink(path.constData()), 0);
             ASSERT_EQ(mkdir(path.constData(), 0700), 0);
         },
         [&] { ASSERT_EQ(rmdir(path.constData()), 0); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_reloads = 0;
        openWatched(numberedLines(30), 10, kFastPollMs);
        c.away();
        ASSERT_TRUE(waitForReloads(1));
        EXPECT_EQ(m_view->fileName(), m_path) << "the tab keeps its name";
        EXPECT_TRUE(m_view->waitingForFile());
        EXPECT_FALSE(m_view->document().sourceAssigned());
        EXPECT_EQ(m_view->document().lastReloadReason(), ReloadReason::Deleted);
        EXPECT_TRUE(m_view->follower().pollingWatcher()->timer()->isActive())
            << "its name is watched";
        EXPECT_TRUE(drawnTexts().empty());

        c.back();
        write(numberedLines(3));
        ASSERT_TRUE(waitForReloads(2));
        EXPECT_FALSE(m_view->waitingForFile());
        EXPECT_EQ(m_view->document().fileSize(), 24);
        EXPECT_EQ(m_view->document().lastReloadReason(), ReloadReason::Replaced);
        EXPECT_EQ(lastDrawn(), QStringLiteral("line003"));

        append("line004\n");
        ASSERT_TRUE(waitForReloads(3));
        EXPECT_EQ(lastDrawn(), QStringLiteral("line004")) << "followed";
        EXPECT_TRUE(m_sink.messages().empty());
        m_view->open(QString());
        QFile::remove(m_path + ".1");
    }
}

TEST_F(Reload, AFileThatIsNotThereYetIsWaitedFor)
{
    m_path = m_files.path(QStringLiteral("later.log"));
    m_view->setPollForChanges(true);
    m_view->setPollInterval(kFastPollMs);
    m_view->setAutoReload(true);
    QObject::connect(m_view.get(), &LogView::fileReloaded, [this] { reloaded(); });
    showLines(10);
    m_view->waitForFile(m_path);
    EXPECT_TRUE(m_view->waitingForFile());
    EXPECT_EQ(m_view->fileName(), m_path);
    EXPECT_TRUE(m_view->follower().pollingWatcher()->timer()->isActive());

    write(numberedLines(2), QStringLiteral("later.log"));
    ASSERT_TRUE(waitForReloads(1));
    EXPECT_FALSE(m_view->waitingForFile());
    EXPECT_EQ(lastDrawn(), QStringLiteral("line002"));
    append("line003\n");
    ASSERT_TRUE(waitForReloads(2));
    EXPECT_EQ(lastDrawn(), QStringLiteral("line003"));
    EXPECT_TRUE(m_sink.messages().empty());
}

// The folder watch sees the file come back; with its folder gone too, the
// watch ends and polling waits for the name until the folder is back.
TEST_F(Reload, TheNotificationWatcherWaitsForADeletedFileToo)
{
    const QString folder = m_files.path(QStringLiteral("logs"));
    for (const bool folderToo : {false, true}) {
        SCOPED_TRACE(folderToo ? "file and folder" : "file");
        ASSERT_TRUE(QDir().mkpath(folder));
        m_path = write(numberedLines(30), QStringLiteral("logs/app.log"));
        m_reloads = 0;
        m_view->setPollForChanges(false);
        m_view->setPollInterval(kFastPollMs); // for the poll that may take over
        m_view->setAutoReload(true);
        QObject::disconnect(m_view.get(), &LogView::fileReloaded, nullptr, nullptr);
        QObject::connect(m_view.get(), &LogView::fileReloaded, [this] { reloaded(); });
        ASSERT_TRUE(m_view->open(m_path));
        showLines(10);
        m_view->scrollToEnd();
        ASSERT_TRUE(m_view->follower().notified());

        if (folderToo)
            ASSERT_TRUE(QDir(folder).removeRecursively());
        else
            ASSERT_TRUE(QFile::remove(m_path));
        ASSERT_TRUE(waitForReloads(1));
        EXPECT_TRUE(m_view->waitingForFile());
        if (folderToo) {
            ASSERT_TRUE(QDir().mkpath(folder));
        }
        write(numberedLines(3), QStringLiteral("logs/app.log"));
        ASSERT_TRUE(waitForReloads(2));
        EXPECT_FALSE(m_view->waitingForFile());
        EXPECT_EQ(lastDrawn(), QStringLiteral("line003"));
        append("line004\n");
        ASSERT_TRUE(waitForReloads(3));
        EXPECT_EQ(lastDrawn(), QStringLiteral("line004"));
        EXPECT_TRUE(m_view->follower().notified())
            << "the folder is watched again once the file is back";
        m_view->open(QString());
    }
    EXPECT_TRUE(m_sink.messages().empty()) << "the poll stands in without a word";
}

TEST_F(Reload, ExplicitReloadKeepsThePositionAndFiresNoEvent)
{
    openWatched(numberedLines(100));
    m_view->scrollTo(50 * 8);
    append("line101\n");
    m_view->reload();
    EXPECT_EQ(m_view->viewPos(), 50 * 8);
    EXPECT_EQ(m_view->document().fileSize(), 101 * 8);
    EXPECT_EQ(m_reloads, 0);
}

TEST_F(Reload, RotationByRenameShowsTheNewFile)
{
    const struct
    {
        const char *name;
        bool atEnd;
        QString expectFirst;
        QString expectLast;
    } cases[] = {
        {"following the tail: the new end", true, {}, QStringLiteral("new002")},
        {"scrolled up: the new start", false, QStringLiteral("new001"), {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        openWatched(numberedLines(200));
        if (c.atEnd)
            m_view->scrollToEnd();
        else
            m_view->scrollTo(100 * 8);
        ASSERT_EQ(rename(QFile::encodeName(m_path).constData(),
                         QFile::encodeName(m_path + ".1").constData()),
                  0);
        write("new001\nnew002\n");
        poll();
        if (!c.expectFirst.isEmpty()) {
            EXPECT_EQ(drawnTexts().front(), c.expectFirst);
        }
        if (!c.expectLast.isEmpty()) {
            EXPECT_EQ(lastDrawn(), c.expectLast);
        }
        EXPECT_EQ(m_view->selLength(), 0);
        m_view->open(QString());
    }
}

TEST_F(Reload, CopyTruncateShowsTheNewEnd)
{
    openWatched(numberedLines(200));
    m_view->scrollTo(150 * 8);
    rewrite(numberedLines(3));
    poll();
    EXPECT_EQ(lastDrawn(), QStringLiteral("line003"));
    EXPECT_EQ(m_view->document().fileSize(), 24);
}

TEST_F(Reload, GrownByAGigabyteAtOnceFollowsWithoutReadingIt)
{
    openWatched(numberedLines(30));
    m_view->scrollToEnd();
    const quint64 reads = m_view->document().windowReads();
    {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.resize(f.size() + (1LL << 30)));
        ASSERT_TRUE(f.seek(f.size()));
        f.write("\nthe end\n");
    }
    poll();
    EXPECT_EQ(lastDrawn(), QStringLiteral("the end"));
    EXPECT_LE(m_view->document().windowReads() - reads, 3u);
}

TEST_F(Reload, NotificationWatcherFollowsTheTail)
{
    m_path = write(numberedLines(30));
    m_view->setPollForChanges(false);
    m_view->setAutoReload(true);
    ASSERT_TRUE(m_view->open(m_path));
    showLines(10);
    m_view->scrollToEnd();
    QEventLoop loop;
    QObject::connect(m_view.get(), &LogView::fileReloaded, [&] {
        ++m_reloads;
        loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit); // only a failing run waits this long
    append("line031\n");
    loop.exec();
    ASSERT_EQ(m_reloads, 1);
    EXPECT_EQ(lastDrawn(), QStringLiteral("line031"));
    m_view->open(QString());
    EXPECT_FALSE(m_view->follower().notified()) << "a fresh open stops the watch";
}

TEST_F(Reload, AReloadDuringASearchWaitsForIt)
{
    openWatched(numberedLines(10));
    m_view->setSearchRunning(true);
    append("line011\n");
    poll();
    EXPECT_EQ(m_view->document().fileSize(), 80) << "the source stays as the search reads it";
    EXPECT_EQ(m_reloads, 0);
    m_view->setSearchRunning(false);
    EXPECT_EQ(m_view->document().fileSize(), 88);
    EXPECT_EQ(m_reloads, 1) << "and runs once afterwards";
}

TEST_F(Reload, NestedChangeReportOnlyFiresTheEvent)
{
    openWatched(numberedLines(10));
    // A report that arrives while a redraw runs skips the reopen.
    int nested = 0;
    m_view->onDrawLine = [&](LogView *v, QPainter &, const QString &, const QString &,
                             const QRect &, const QPoint &, bool &) {
        if (nested++ == 0)
            v->handleFileChange();
    };
    append("line011\n");
    m_view->redraw();
    EXPECT_EQ(m_reloads, 1);
    EXPECT_EQ(m_view->document().fileSize(), 80);
}

TEST_F(Reload, ResizingAtTheEndKeepsItInViewAndFollowing)
{
    const struct
    {
        const char *name;
        int lines;
    } cases[] = {{"taller", 20}, {"shorter", 5}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        openWatched(numberedLines(30));
        m_view->scrollToEnd();
        showLines(c.lines);
        EXPECT_EQ(drawnTexts().size(), size_t(c.lines)) << "no blank rows below the end";
        EXPECT_EQ(lastDrawn(), QStringLiteral("line030"));
        EXPECT_TRUE(m_view->viewAtEnd());
        append("line031\n");
        poll();
        EXPECT_EQ(lastDrawn(), QStringLiteral("line031")) << "still following";
        m_view->open(QString());
    }
}

TEST_F(Reload, AShownViewDrawsOncePerReload)
{
    const struct
    {
        const char *name;
        bool atEnd;
        bool follow;
    } cases[] = {
        {"following the tail", true, true},
        {"scrolled up", false, true},
        {"tail following off", true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        openWatched(numberedLines(100));
        m_view->setFollowTail(c.follow);
        if (c.atEnd)
            m_view->scrollToEnd();
        else
            m_view->scrollTo(40 * 8);
        int draws = 0;
        countDraws(m_view.get(), draws);
        append("line101\n");
        poll();
        EXPECT_EQ(draws, 1);
        EXPECT_EQ(m_view->document().fileSize(), 101 * 8);
        m_view->onDrawLine = nullptr;
        m_view->open(QString());
    }
}

// Two tabs of one window: the shown one and one opened behind it that was
// never shown. The hidden one must end up exactly where the shown one is.
TEST_F(Reload, AHiddenPageFollowsLikeTheShownOneAndDrawsOnceWhenShown)
{
    m_path = write(numberedLines(5));
    QStackedWidget pages;
    pages.resize(420, 300);
    auto *shown = new LogView;
    auto *hidden = new LogView;
    pages.addWidget(shown);
    pages.show();
    pages.addWidget(hidden); // opened behind the shown page
    for (LogView *view : {shown, hidden}) {
        setOption(*view, &ViewOptions::font, m_view->options().font);
        view->setPollForChanges(true);
        view->setAutoReload(true);
        view->setHiddenSizeSource([&pages] { return pages.size(); });
        ASSERT_TRUE(view->open(m_path));
    }
    ASSERT_TRUE(shown->isVisible());
    ASSERT_FALSE(hidden->isVisible());
    ASSERT_TRUE(shown->viewAtEnd()) << "the short file fits";
    int hiddenDraws = 0;
    countDraws(hidden, hiddenDraws);

    for (int i = 6; i <= 80; ++i) {
        append("line" + QByteArray::number(i).rightJustified(3, '0') + '\n');
        shown->follower().pollingWatcher()->poll();
        hidden->follower().pollingWatcher()->poll();
        ASSERT_EQ(hidden->viewPos(), shown->viewPos()) << "after line " << i;
        ASSERT_EQ(hidden->viewAtEnd(), shown->viewAtEnd()) << "after line " << i;
    }
    EXPECT_TRUE(shown->viewAtEnd());
    EXPECT_EQ(hiddenDraws, 0) << "a hidden page only marks itself stale";

    pages.setCurrentWidget(hidden);
    EXPECT_EQ(hiddenDraws, 1);
    EXPECT_EQ(hidden->viewport()->size(), shown->viewport()->size());
    EXPECT_EQ(hidden->viewPos(), shown->viewPos());
    const DrawnLines &drawn = hidden->strPositions();
    ASSERT_GT(drawn.count(), 0);
    EXPECT_EQ(drawn.at(drawn.count() - 1).str, QStringLiteral("line080"));
}

TEST_F(Reload, LastReloadReasonNamesWhatChanged)
{
    const auto grow = [this] { append("line031\n"); };
    const auto shrink = [this] { rewrite(numberedLines(3)); };
    const auto rotate = [this] {
        ASSERT_EQ(rename(QFile::encodeName(m_path).constData(),
                         QFile::encodeName(m_path + ".1").constData()),
                  0);
        write(numberedLines(40));
    };
    const auto remove = [this] { ASSERT_EQ(unlink(QFile::encodeName(m_path).constData()), 0); };
    const struct
    {
        const char *name;
        std::function<void()> change;
        ReloadReason expected;
    } cases[] = {
        {"grown", grow, ReloadReason::Appended},
        {"truncated", shrink, ReloadReason::Truncated},
        {"rotated: another file, larger", rotate, ReloadReason::Replaced},
        {"deleted", remove, ReloadReason::Deleted},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        openWatched(numberedLines(30));
        EXPECT_EQ(m_view->document().lastReloadReason(), ReloadReason::None) << "a fresh open";
        c.change();
        poll();
        EXPECT_EQ(m_view->document().lastReloadReason(), c.expected);
        m_view->open(QString());
        QFile::remove(m_path + ".1");
    }
}

// The folder moves away and back: its watch ends and the poll stands in at
// once; the next reload finds the folder watchable again.
TEST_F(Reload, AnEndedNotificationWatchFallsBackToPolling)
{
    const QString folder = m_files.path(QStringLiteral("logs"));
    ASSERT_TRUE(QDir().mkpath(folder));
    followAtTheEnd(QStringLiteral("logs/app.log"));
    ASSERT_TRUE(m_view->follower().notified());

    const QByteArray from = QFile::encodeName(folder);
    const QByteArray away = from + ".moved";
    ASSERT_EQ(rename(from.constData(), away.constData()), 0);
    ASSERT_EQ(rename(away.constData(), from.constData()), 0);
    ASSERT_TRUE(waitForReloads(1)) << "the end of the watch is looked at as a change";
    EXPECT_TRUE(m_sink.messages().empty()) << "the poll took over without a word";

    append("line031\n");
    ASSERT_TRUE(waitForReloads(2));
    EXPECT_EQ(lastDrawn(), QStringLiteral("line031")) << "still following";
    EXPECT_TRUE(m_view->follower().notified()) << "the folder is watched again";
}

// Where inotify cannot serve, the timer follows the file.
TEST_F(Reload, WithoutTheFolderWatchTheTimerFollows)
{
    struct Off
    {
        Off() { FolderWatchHub::setDisabled(true); }
        ~Off() { FolderWatchHub::setDisabled(false); }
    } off;
    followAtTheEnd(QStringLiteral("app.log"));
    EXPECT_FALSE(m_view->follower().notified());
    EXPECT_TRUE(m_view->follower().polls());
    append("line031\n");
    ASSERT_TRUE(waitForReloads(1));
    EXPECT_EQ(lastDrawn(), QStringLiteral("line031"));
    append("line032\n");
    ASSERT_TRUE(waitForReloads(2)) << "and goes on polling";
    EXPECT_EQ(lastDrawn(), QStringLiteral("line032"));
}

// As root a mode of 000 does not stop reading: a FIFO in place of the file
// is what the viewer refuses to open.
TEST_F(Reload, AFileThatStaysUnopenableIsReportedOncePerChangeOfState)
{
    openWatched(numberedLines(3));
    const auto cannotOpen = [this] {
        return int(m_sink.texts().filter(QStringLiteral("Cannot open file")).size());
    };
    replaceByFifo();
    for (int i = 0; i < 3; ++i)
        m_view->handleFileChange();
    EXPECT_EQ(cannotOpen(), 1);
    EXPECT_EQ(m_reloads, 3) << "every report still ends in the event";
    EXPECT_EQ(m_view->fileName(), m_path);

    ASSERT_EQ(unlink(QFile::encodeName(m_path).constData()), 0);
    write(numberedLines(4));
    m_view->handleFileChange();
    EXPECT_EQ(m_view->document().fileSize(), 32) << "readable again";
    EXPECT_EQ(cannotOpen(), 1);

    replaceByFifo();
    m_view->handleFileChange();
    m_view->handleFileChange();
    EXPECT_EQ(cannotOpen(), 2) << "failing again is a new state";
}

} // namespace
