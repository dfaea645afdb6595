#include "viewerfixture.h"

#include "watch/qzfilenotification.h"
#include "watch/qzfilenotificationsimple.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <unistd.h>

namespace {

// A viewer that watches its file by polling, as the application sets it up.
// Polls are driven directly instead of waiting for the timer.
class Reload : public ViewerFixture
{
protected:
    void OpenWatched(const QByteArray &bytes, int lines = 10)
    {
        m_path = Write(bytes);
        m_view->AutoReloadSimple = true;
        m_view->AutoReloadSimpleTime = 500;
        m_view->SetAutoReload(true);
        m_view->OnFileReload = [this](TQzBinHex *) { ++m_reloads; };
        ASSERT_TRUE(m_view->Open(m_path));
        ShowLines(lines);
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

    QString m_path;
    int m_reloads = 0;
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

TEST_F(Reload, DeletedFileEmptiesTheViewAndStopsWatching)
{
    OpenWatched(NumberedLines(30));
    ASSERT_EQ(unlink(QFile::encodeName(m_path).constData()), 0);
    Poll();
    EXPECT_EQ(m_reloads, 1);
    EXPECT_TRUE(m_view->FileName().isEmpty());
    EXPECT_FALSE(m_view->SourceAssigned());
    EXPECT_FALSE(m_view->SimpleNotifier()->Timer()->isActive());
}

TEST_F(Reload, ReplacedByAFolderIsLikeDeleted)
{
    OpenWatched(NumberedLines(3));
    ASSERT_EQ(unlink(QFile::encodeName(m_path).constData()), 0);
    ASSERT_TRUE(QDir().mkdir(m_path));
    Poll();
    EXPECT_TRUE(m_view->FileName().isEmpty());
    EXPECT_EQ(m_reloads, 1);
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

} // namespace
