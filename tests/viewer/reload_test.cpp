#include "viewerfixture.h"

#include "watch/qzfilenotification.h"
#include "watch/qzfilenotificationsimple.h"

#include <QCoreApplication>
#include <QDir>
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

// A viewer that watches its file by polling, as the application sets it up.
// Polls are driven directly instead of waiting for the timer.
class Reload : public ViewerFixture
{
protected:
    void OpenWatched(const QByteArray &bytes, int lines = 10, int pollMs = 500)
    {
        m_path = Write(bytes);
        m_view->AutoReloadSimple = true;
        m_view->AutoReloadSimpleTime = pollMs;
        m_view->SetAutoReload(true);
        m_view->OnFileReload = [this](TQzBinHex *) { Reloaded(); };
        ASSERT_TRUE(m_view->Open(m_path));
        ShowLines(lines);
    }
    void Reloaded()
    {
        ++m_reloads;
        if (m_loop && m_reloads >= m_awaited)
            m_loop->quit();
    }
    // Runs the event loop until the watcher has reported count reloads in
    // all; the limit only turns a missing report into a failure.
    bool WaitForReloads(int count)
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
    void Poll() { m_view->SimpleNotifier()->Poll(); }
    void Append(const QByteArray &bytes) { m_files.Append(m_path, bytes); }
    // Changes the size so that a poll notices even within one clock tick.
    void Rewrite(const QByteArray &bytes)
    {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QString LastDrawn() const { return DrawnTexts().empty() ? QString() : DrawnTexts().back(); }
    // Counts full repaints of a viewer: each one draws its top row once.
    static void CountDraws(TQzBinHex *view, int &draws)
    {
        view->OnDrawLine = [&draws](TQzBinHex *, QPainter &, const QString &, const QString &,
                                    const QRect &rect, const QPoint &, bool &) {
            if (rect.top() == 0)
                ++draws;
        };
    }
    void ReplaceByFifo()
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
    OpenWatched(NumberedLines(3));
    QTimer *timer = m_view->SimpleNotifier()->Timer();
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 500);
}

TEST_F(Reload, FollowsTheTailWhileTheEndIsVisible)
{
    OpenWatched(NumberedLines(30));
    m_view->ScrollToEnd();
    ASSERT_EQ(LastDrawn(), QStringLiteral("line030"));
    Append("line031\nline032\n");
    Poll();
    EXPECT_EQ(m_reloads, 1);
    EXPECT_TRUE(m_view->ViewAtEnd());
    EXPECT_EQ(LastDrawn(), QStringLiteral("line032")) << "the new last line is at the bottom";
}

TEST_F(Reload, ScrolledUpTheViewAndSelectionStay)
{
    OpenWatched(NumberedLines(100));
    m_view->ScrollTo(40 * 8);
    m_view->SetSelection(41 * 8, 5, false, false, true);
    Append("line101\n");
    Poll();
    EXPECT_EQ(m_view->ViewPos(), 40 * 8);
    EXPECT_EQ(m_view->SelStart(), 41 * 8);
    EXPECT_EQ(m_view->SelLength(), 5);
    EXPECT_EQ(m_view->FileSize(), 101 * 8);
}

TEST_F(Reload, WithoutTailFollowingTheEndStaysPut)
{
    OpenWatched(NumberedLines(5));
    m_view->AutoReloadFollowTail = false;
    const qint64 pos = m_view->ViewPos();
    Append("line006\n");
    Poll();
    EXPECT_EQ(m_view->ViewPos(), pos);
    EXPECT_EQ(LastDrawn(), QStringLiteral("line006")) << "there was room below";
}

TEST_F(Reload, TruncatedToZeroThenWrittenAgain)
{
    OpenWatched(NumberedLines(30));
    Rewrite({});
    Poll();
    EXPECT_EQ(m_view->FileSize(), 0);
    EXPECT_EQ(m_view->FileName(), m_path) << "the tab keeps its file";
    EXPECT_FALSE(m_view->verticalScrollBar()->isEnabled());
    Rewrite("fresh\n");
    Poll();
    EXPECT_EQ(DrawnTexts(), (std::vector<QString>{QStringLiteral("fresh")}));
}

// An empty file shows its end, so a log that starts empty, or was cleared,
// follows the lines written to it next.
TEST_F(Reload, AnEmptyFileFollowsWhatIsWrittenToIt)
{
    for (const bool clearedFirst : {false, true}) {
        SCOPED_TRACE(clearedFirst ? "cleared" : "empty at open");
        OpenWatched(clearedFirst ? NumberedLines(30) : QByteArray());
        if (clearedFirst) {
            m_view->ScrollToEnd();
            Rewrite({});
            Poll();
        }
        EXPECT_TRUE(m_view->ViewAtEnd());
        Rewrite(NumberedLines(30));
        Poll();
        EXPECT_TRUE(m_view->ViewAtEnd());
        EXPECT_EQ(LastDrawn(), QStringLiteral("line030")) << "the last line is at the bottom";
    }
}

// As "tail -F": a file that goes away is waited for under its name, and the
// file that appears there is opened and followed. The watcher's own timer
// drives it here; the test waits for its reports.
TEST_F(Reload, AFileThatGoesAwayIsWaitedForAndFollowedWhenItComesBack)
{
    const QByteArray path = QFile::encodeName(m_files.Path(QStringLiteral("view.log")));
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
        OpenWatched(NumberedLines(30), 10, kFastPollMs);
        c.away();
        ASSERT_TRUE(WaitForReloads(1));
        EXPECT_EQ(m_view->FileName(), m_path) << "the tab keeps its name";
        EXPECT_TRUE(m_view->WaitingForFile());
        EXPECT_FALSE(m_view->SourceAssigned());
        EXPECT_EQ(m_view->LastReloadReason(), TQzReloadReason::Deleted);
        EXPECT_TRUE(m_view->SimpleNotifier()->Timer()->isActive()) << "its name is watched";
        EXPECT_TRUE(DrawnTexts().empty());

        c.back();
        Write(NumberedLines(3));
        ASSERT_TRUE(WaitForReloads(2));
        EXPECT_FALSE(m_view->WaitingForFile());
        EXPECT_EQ(m_view->FileSize(), 24);
        EXPECT_EQ(m_view->LastReloadReason(), TQzReloadReason::Replaced);
        EXPECT_EQ(LastDrawn(), QStringLiteral("line003"));

        Append("line004\n");
        ASSERT_TRUE(WaitForReloads(3));
        EXPECT_EQ(LastDrawn(), QStringLiteral("line004")) << "followed";
        EXPECT_TRUE(m_sink.Messages().empty());
        m_view->Open(QString());
        QFile::remove(m_path + ".1");
    }
}

TEST_F(Reload, AFileThatIsNotThereYetIsWaitedFor)
{
    m_path = m_files.Path(QStringLiteral("later.log"));
    m_view->AutoReloadSimple = true;
    m_view->AutoReloadSimpleTime = kFastPollMs;
    m_view->SetAutoReload(true);
    m_view->OnFileReload = [this](TQzBinHex *) { Reloaded(); };
    ShowLines(10);
    m_view->WaitForFile(m_path);
    EXPECT_TRUE(m_view->WaitingForFile());
    EXPECT_EQ(m_view->FileName(), m_path);
    EXPECT_TRUE(m_view->SimpleNotifier()->Timer()->isActive());

    Write(NumberedLines(2), QStringLiteral("later.log"));
    ASSERT_TRUE(WaitForReloads(1));
    EXPECT_FALSE(m_view->WaitingForFile());
    EXPECT_EQ(LastDrawn(), QStringLiteral("line002"));
    Append("line003\n");
    ASSERT_TRUE(WaitForReloads(2));
    EXPECT_EQ(LastDrawn(), QStringLiteral("line003"));
    EXPECT_TRUE(m_sink.Messages().empty());
}

// The folder watch sees the file come back; with its folder gone too, the
// watch ends and polling waits for the name.
TEST_F(Reload, TheNotificationWatcherWaitsForADeletedFileToo)
{
    const QString folder = m_files.Path(QStringLiteral("logs"));
    for (const bool folderToo : {false, true}) {
        SCOPED_TRACE(folderToo ? "file and folder" : "file");
        ASSERT_TRUE(QDir().mkpath(folder));
        m_path = Write(NumberedLines(30), QStringLiteral("logs/app.log"));
        m_reloads = 0;
        m_view->AutoReloadSimple = false;
        m_view->AutoReloadSimpleTime = kFastPollMs; // for the poll that may take over
        m_view->SetAutoReload(true);
        m_view->OnFileReload = [this](TQzBinHex *) { Reloaded(); };
        ASSERT_TRUE(m_view->Open(m_path));
        ShowLines(10);
        m_view->ScrollToEnd();
        ASSERT_TRUE(m_view->Notifier()->Active());

        if (folderToo)
            ASSERT_TRUE(QDir(folder).removeRecursively());
        else
            ASSERT_TRUE(QFile::remove(m_path));
        ASSERT_TRUE(WaitForReloads(1));
        EXPECT_TRUE(m_view->WaitingForFile());
        if (folderToo) {
            ASSERT_TRUE(QDir().mkpath(folder));
        }
        Write(NumberedLines(3), QStringLiteral("logs/app.log"));
        ASSERT_TRUE(WaitForReloads(2));
        EXPECT_FALSE(m_view->WaitingForFile());
        EXPECT_EQ(LastDrawn(), QStringLiteral("line003"));
        Append("line004\n");
        ASSERT_TRUE(WaitForReloads(3));
        EXPECT_EQ(LastDrawn(), QStringLiteral("line004"));
        EXPECT_EQ(m_view->AutoReloadSimple, folderToo) << "polling took over only then";
        m_view->Open(QString());
    }
    EXPECT_EQ(m_sink.Texts().filter(QStringLiteral("File notification ended")).size(), 1);
}

TEST_F(Reload, ExplicitReloadKeepsThePositionAndFiresNoEvent)
{
    OpenWatched(NumberedLines(100));
    m_view->ScrollTo(50 * 8);
    Append("line101\n");
    m_view->Reload();
    EXPECT_EQ(m_view->ViewPos(), 50 * 8);
    EXPECT_EQ(m_view->FileSize(), 101 * 8);
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
        OpenWatched(NumberedLines(200));
        if (c.atEnd)
            m_view->ScrollToEnd();
        else
            m_view->ScrollTo(100 * 8);
        ASSERT_EQ(rename(QFile::encodeName(m_path).constData(),
                         QFile::encodeName(m_path + ".1").constData()),
                  0);
        Write("new001\nnew002\n");
        Poll();
        if (!c.expectFirst.isEmpty()) {
            EXPECT_EQ(DrawnTexts().front(), c.expectFirst);
        }
        if (!c.expectLast.isEmpty()) {
            EXPECT_EQ(LastDrawn(), c.expectLast);
        }
        EXPECT_EQ(m_view->SelLength(), 0);
        m_view->Open(QString());
    }
}

TEST_F(Reload, CopyTruncateShowsTheNewEnd)
{
    OpenWatched(NumberedLines(200));
    m_view->ScrollTo(150 * 8);
    Rewrite(NumberedLines(3));
    Poll();
    EXPECT_EQ(LastDrawn(), QStringLiteral("line003"));
    EXPECT_EQ(m_view->FileSize(), 24);
}

TEST_F(Reload, GrownByAGigabyteAtOnceFollowsWithoutReadingIt)
{
    OpenWatched(NumberedLines(30));
    m_view->ScrollToEnd();
    const quint64 reads = m_view->Document().WindowReads();
    {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.resize(f.size() + (1LL << 30)));
        ASSERT_TRUE(f.seek(f.size()));
        f.write("\nthe end\n");
    }
    Poll();
    EXPECT_EQ(LastDrawn(), QStringLiteral("the end"));
    EXPECT_LE(m_view->Document().WindowReads() - reads, 3u);
}

TEST_F(Reload, NotificationWatcherFollowsTheTail)
{
    m_path = Write(NumberedLines(30));
    m_view->AutoReloadSimple = false;
    m_view->SetAutoReload(true);
    ASSERT_TRUE(m_view->Open(m_path));
    ShowLines(10);
    m_view->ScrollToEnd();
    QEventLoop loop;
    m_view->OnFileReload = [&](TQzBinHex *) {
        ++m_reloads;
        loop.quit();
    };
    QTimer::singleShot(5000, &loop, &QEventLoop::quit); // only a failing run waits this long
    Append("line031\n");
    loop.exec();
    ASSERT_EQ(m_reloads, 1);
    EXPECT_EQ(LastDrawn(), QStringLiteral("line031"));
    m_view->Open(QString());
    EXPECT_FALSE(m_view->Notifier()->Active()) << "a fresh open stops the watcher";
}

TEST_F(Reload, AReloadDuringASearchWaitsForIt)
{
    OpenWatched(NumberedLines(10));
    m_view->SetSearchRunning(true);
    Append("line011\n");
    Poll();
    EXPECT_EQ(m_view->FileSize(), 80) << "the source stays as the search reads it";
    EXPECT_EQ(m_reloads, 0);
    m_view->SetSearchRunning(false);
    EXPECT_EQ(m_view->FileSize(), 88);
    EXPECT_EQ(m_reloads, 1) << "and runs once afterwards";
}

TEST_F(Reload, NestedChangeReportOnlyFiresTheEvent)
{
    OpenWatched(NumberedLines(10));
    // A report that arrives while a redraw runs skips the reopen.
    int nested = 0;
    m_view->OnDrawLine = [&](TQzBinHex *v, QPainter &, const QString &, const QString &,
                             const QRect &, const QPoint &, bool &) {
        if (nested++ == 0)
            v->HandleFileChange();
    };
    Append("line011\n");
    m_view->Redraw();
    EXPECT_EQ(m_reloads, 1);
    EXPECT_EQ(m_view->FileSize(), 80);
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
        OpenWatched(NumberedLines(30));
        m_view->ScrollToEnd();
        ShowLines(c.lines);
        EXPECT_EQ(DrawnTexts().size(), size_t(c.lines)) << "no blank rows below the end";
        EXPECT_EQ(LastDrawn(), QStringLiteral("line030"));
        EXPECT_TRUE(m_view->ViewAtEnd());
        Append("line031\n");
        Poll();
        EXPECT_EQ(LastDrawn(), QStringLiteral("line031")) << "still following";
        m_view->Open(QString());
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
        OpenWatched(NumberedLines(100));
        m_view->AutoReloadFollowTail = c.follow;
        if (c.atEnd)
            m_view->ScrollToEnd();
        else
            m_view->ScrollTo(40 * 8);
        int draws = 0;
        CountDraws(m_view.get(), draws);
        Append("line101\n");
        Poll();
        EXPECT_EQ(draws, 1);
        EXPECT_EQ(m_view->FileSize(), 101 * 8);
        m_view->OnDrawLine = nullptr;
        m_view->Open(QString());
    }
}

// Two tabs of one window: the shown one and one opened behind it that was
// never shown. The hidden one must end up exactly where the shown one is.
TEST_F(Reload, AHiddenPageFollowsLikeTheShownOneAndDrawsOnceWhenShown)
{
    m_path = Write(NumberedLines(5));
    QStackedWidget pages;
    pages.resize(420, 300);
    auto *shown = new TQzBinHex;
    auto *hidden = new TQzBinHex;
    pages.addWidget(shown);
    pages.show();
    pages.addWidget(hidden); // opened behind the shown page
    for (TQzBinHex *view : {shown, hidden}) {
        view->SetFont(m_view->Font());
        view->AutoReloadSimple = true;
        view->SetAutoReload(true);
        view->HiddenSize = [&pages] { return pages.size(); };
        ASSERT_TRUE(view->Open(m_path));
    }
    ASSERT_TRUE(shown->isVisible());
    ASSERT_FALSE(hidden->isVisible());
    ASSERT_TRUE(shown->ViewAtEnd()) << "the short file fits";
    int hiddenDraws = 0;
    CountDraws(hidden, hiddenDraws);

    for (int i = 6; i <= 80; ++i) {
        Append("line" + QByteArray::number(i).rightJustified(3, '0') + '\n');
        shown->SimpleNotifier()->Poll();
        hidden->SimpleNotifier()->Poll();
        ASSERT_EQ(hidden->ViewPos(), shown->ViewPos()) << "after line " << i;
        ASSERT_EQ(hidden->ViewAtEnd(), shown->ViewAtEnd()) << "after line " << i;
    }
    EXPECT_TRUE(shown->ViewAtEnd());
    EXPECT_EQ(hiddenDraws, 0) << "a hidden page only marks itself stale";

    pages.setCurrentWidget(hidden);
    EXPECT_EQ(hiddenDraws, 1);
    EXPECT_EQ(hidden->viewport()->size(), shown->viewport()->size());
    EXPECT_EQ(hidden->ViewPos(), shown->ViewPos());
    const TStrPositions &drawn = hidden->StrPositions();
    ASSERT_GT(drawn.Count(), 0);
    EXPECT_EQ(drawn.At(drawn.Count() - 1).Str, QStringLiteral("line080"));
}

TEST_F(Reload, LastReloadReasonNamesWhatChanged)
{
    const auto grow = [this] { Append("line031\n"); };
    const auto shrink = [this] { Rewrite(NumberedLines(3)); };
    const auto rotate = [this] {
        ASSERT_EQ(rename(QFile::encodeName(m_path).constData(),
                         QFile::encodeName(m_path + ".1").constData()),
                  0);
        Write(NumberedLines(40));
    };
    const auto remove = [this] { ASSERT_EQ(unlink(QFile::encodeName(m_path).constData()), 0); };
    const struct
    {
        const char *name;
        std::function<void()> change;
        TQzReloadReason expected;
    } cases[] = {
        {"grown", grow, TQzReloadReason::Appended},
        {"truncated", shrink, TQzReloadReason::Truncated},
        {"rotated: another file, larger", rotate, TQzReloadReason::Replaced},
        {"deleted", remove, TQzReloadReason::Deleted},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        OpenWatched(NumberedLines(30));
        EXPECT_EQ(m_view->LastReloadReason(), TQzReloadReason::None) << "a fresh open";
        c.change();
        Poll();
        EXPECT_EQ(m_view->LastReloadReason(), c.expected);
        m_view->Open(QString());
        QFile::remove(m_path + ".1");
    }
}

TEST_F(Reload, AnEndedNotificationWatchFallsBackToPolling)
{
    const QString folder = m_files.Path(QStringLiteral("logs"));
    ASSERT_TRUE(QDir().mkpath(folder));
    m_path = Write(NumberedLines(30), QStringLiteral("logs/app.log"));
    m_view->AutoReloadSimple = false;
    m_view->SetAutoReload(true);
    ASSERT_TRUE(m_view->Open(m_path));
    ShowLines(10);
    m_view->ScrollToEnd();
    ASSERT_TRUE(m_view->Notifier()->Active());

    // The folder moves away and back: its watch ends, the file is still there.
    const QByteArray from = QFile::encodeName(folder);
    const QByteArray away = from + ".moved";
    ASSERT_EQ(rename(from.constData(), away.constData()), 0);
    ASSERT_EQ(rename(away.constData(), from.constData()), 0);
    QElapsedTimer clock;
    clock.start();
    while (m_view->Notifier()->Active() && clock.elapsed() < 5000) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    EXPECT_FALSE(m_view->Notifier()->Active());
    EXPECT_EQ(m_sink.Texts().filter(QStringLiteral("File notification ended")).size(), 1);
    EXPECT_TRUE(m_view->AutoReloadSimple);
    EXPECT_TRUE(m_view->SimpleNotifier()->Timer()->isActive()) << "polling took over";

    Append("line031\n");
    Poll();
    EXPECT_EQ(LastDrawn(), QStringLiteral("line031")) << "still following";
}

// As root a mode of 000 does not stop reading: a FIFO in place of the file
// is what the viewer refuses to open.
TEST_F(Reload, AFileThatStaysUnopenableIsReportedOncePerChangeOfState)
{
    OpenWatched(NumberedLines(3));
    const auto cannotOpen = [this] {
        return int(m_sink.Texts().filter(QStringLiteral("Cannot open file")).size());
    };
    ReplaceByFifo();
    for (int i = 0; i < 3; ++i)
        m_view->HandleFileChange();
    EXPECT_EQ(cannotOpen(), 1);
    EXPECT_EQ(m_reloads, 3) << "every report still ends in the event";
    EXPECT_EQ(m_view->FileName(), m_path);

    ASSERT_EQ(unlink(QFile::encodeName(m_path).constData()), 0);
    Write(NumberedLines(4));
    m_view->HandleFileChange();
    EXPECT_EQ(m_view->FileSize(), 32) << "readable again";
    EXPECT_EQ(cannotOpen(), 1);

    ReplaceByFifo();
    m_view->HandleFileChange();
    m_view->HandleFileChange();
    EXPECT_EQ(cannotOpen(), 2) << "failing again is a new state";
}

} // namespace
