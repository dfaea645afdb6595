// The refresh cycle: window caption, action states, status bar, bookmark
// captions and the refresh timer.
#include "formfixture.h"

#include "app/appformat.h"
#include "viewer/logview.h"
#include "watch/filefollower.h"
#include "watch/pollingwatcher.h"
#include "text/codepages.h"
#include "text/fileutil.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QElapsedTimer>
#include <QLabel>
#include <QLocale>
#include <QStackedWidget>
#include <QTimer>

namespace {

using RefreshTest = FormFixture;

QStringList panelTexts(const MainWindow &form)
{
    QStringList texts;
    for (int i = 0; i < MainWindow::kStatusPanels; ++i)
        texts << form.statusPanel(i)->text();
    return texts;
}

// Fires the refresh timer as if its interval had passed.
void tick(MainWindow &form)
{
    QMetaObject::invokeMethod(form.refreshTimer(), "timeout");
}

std::vector<QAction *> tabActions(const WindowActions &a)
{
    return {a.fileReload,     a.fileClose,    a.filePrint,      a.clearLog,      a.copy,
            a.selectAll,      a.find,         a.findNext,       a.findPrevious,  a.setBookmark1,
            a.setBookmark2,   a.setBookmark3, a.clearBookmarks, a.followTail,    a.wordWrap,
            a.encodingSystem, a.encodingDos,  a.encodingUtf8,   a.encodingUtf16, a.encodingUtf16Be,
            a.encodingMenu,   a.filterLog,    a.setTabCaption,  a.setTabsOrder,  a.saveSessionAs};
}

TEST_F(RefreshTest, CaptionFollowsTheActiveTab)
{
    MainWindow &form = makeForm();
    EXPECT_EQ(form.windowTitle(), "Ravelin Pro");

    form.openFileTab(writeFile("app.log", "one\n"));
    form.openFileTab(writeFile("web.log", "two\n"));
    EXPECT_EQ(form.windowTitle(), "web.log - Ravelin Pro");

    form.tabs().pages()->setCurrentIndex(0); // as a click on the tab does
    EXPECT_EQ(form.windowTitle(), "app.log - Ravelin Pro");

    form.closeAllTabs();
    EXPECT_EQ(form.windowTitle(), "Ravelin Pro");
    auto *panel = form.findChild<QStackedWidget *>("CentralPanel");
    ASSERT_NE(panel, nullptr);
    auto *caption = qobject_cast<QLabel *>(panel->currentWidget());
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->text(), "(File not opened)");
}

TEST_F(RefreshTest, ActionsNeedAnActiveTab)
{
    MainWindow &form = makeForm();
    const WindowActions &a = form.acts();
    for (QAction *action : tabActions(a)) {
        SCOPED_TRACE(action->objectName().toStdString());
        EXPECT_FALSE(action->isEnabled());
    }
    EXPECT_FALSE(a.clearRecentFiles->isEnabled()) << "nothing recent yet";
    EXPECT_TRUE(a.fileOpen->isEnabled());

    form.openFileTab(writeFile("app.log", "line\n"));
    for (QAction *action : tabActions(a)) {
        SCOPED_TRACE(action->objectName().toStdString());
        EXPECT_TRUE(action->isEnabled());
    }
    EXPECT_TRUE(a.clearRecentFiles->isEnabled());
    // Bookmarks are not set, and no session is current.
    for (QAction *action :
         {a.goToBookmark1, a.goToBookmark2, a.goToBookmark3, a.saveSession, a.closeSession})
        EXPECT_FALSE(action->isEnabled()) << action->objectName().toStdString();
    EXPECT_TRUE(a.followTail->isChecked()) << "new tabs follow the tail by default";
    EXPECT_FALSE(a.wordWrap->isChecked());
    EXPECT_TRUE(a.encodingSystem->isChecked());
}

TEST_F(RefreshTest, TailAndWrapToggleTheActiveViewerOnly)
{
    MainWindow &form = makeForm();
    form.openFileTab(writeFile("a.log", "a\n"));
    form.openFileTab(writeFile("b.log", "b\n"));
    const WindowActions &a = form.acts();

    a.followTail->trigger();
    a.wordWrap->trigger();
    EXPECT_FALSE(form.tabAt(1).view->followTail());
    EXPECT_TRUE(form.tabAt(1).view->options().textWrap);
    EXPECT_FALSE(a.followTail->isChecked());
    EXPECT_TRUE(a.wordWrap->isChecked());

    form.tabs().pages()->setCurrentIndex(0);
    EXPECT_TRUE(form.tabAt(0).view->followTail());
    EXPECT_FALSE(form.tabAt(0).view->options().textWrap);
    EXPECT_TRUE(a.followTail->isChecked());
    EXPECT_FALSE(a.wordWrap->isChecked());
}

TEST_F(RefreshTest, BookmarkCaptionsShowTheOffset)
{
    struct Case
    {
        qint64 offset;
        const char *caption;
        bool enabled;
    };
    const Case cases[] = {
        {Tab::kNoBookmark, "Go to bookmark &2", false},
        {0, "Go to bookmark &2 (0 K)", true},
        {5000, "Go to bookmark &2 (4 K)", true},
        {1048575, "Go to bookmark &2 (1023 K)", true},
        {1048576, "Go to bookmark &2 (1 M)", true},
        {3000000, "Go to bookmark &2 (2 M)", true},
        {qint64(5) << 32, "Go to bookmark &2 (20480 M)", true},
    };
    MainWindow &form = makeForm();
    form.openFileTab(writeFile("a.log", "a\n"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.offset);
        form.tabAt(0).bookmarks[1] = c.offset;
        form.updateAll();
        EXPECT_EQ(form.acts().goToBookmark2->text(), c.caption);
        EXPECT_EQ(form.acts().goToBookmark2->isEnabled(), c.enabled);
        EXPECT_FALSE(form.acts().goToBookmark1->isEnabled());
    }
}

TEST_F(RefreshTest, StatusBarDescribesTheFileOnDisk)
{
    MainWindow &form = makeForm();
    EXPECT_EQ(panelTexts(form), QStringList(4, QString()));

    const QString path = writeFile("sized.log", QByteArray(1536, 'x'));
    const QDateTime written = QDateTime::fromSecsSinceEpoch(1700000000);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(written, QFileDevice::FileModificationTime));
    }
    form.openFileTab(path);
    const qint64 ns = written.toMSecsSinceEpoch() * 1000000;
    EXPECT_EQ(panelTexts(form), QStringList({"1" + QLocale::system().decimalPoint() + "5 Kb",
                                             formatFileTime(ns), "UTF-8", path}));

    form.acts().encodingUtf16Be->trigger();
    EXPECT_EQ(form.statusPanel(2)->text(), "UTF-16 BE");

    form.closeAllTabs();
    EXPECT_EQ(panelTexts(form), QStringList(4, QString()));
}

// A missing file is waited for, and the status bar says so: never a
// silent blank tab.
TEST_F(RefreshTest, StatusBarOfAMissingFileSaysItIsWaitedFor)
{
    MainWindow &form = makeForm();
    const QString path = pathOf("missing.log");
    form.openFileTab(path);
    EXPECT_EQ(panelTexts(form),
              QStringList({"", "", "UTF-8", "Deleted; waiting for it to appear again: " + path}));
}

TEST_F(RefreshTest, ReloadsRefreshOnceWhenTheTimerTicks)
{
    MainWindow &form = makeForm();
    const QString path = writeFile("grow.log", QByteArray(10, 'x'));
    form.openFileTab(path);
    LogView *view = form.activeView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(form.statusPanel(0)->text(), "10 bytes");
    EXPECT_FALSE(form.refreshTimer()->isActive());

    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(QByteArray(20, 'y'));
    }
    for (int i = 0; i < 10; ++i)
        Q_EMIT view->fileReloaded();
    EXPECT_TRUE(form.refreshTimer()->isActive());
    EXPECT_EQ(form.refreshTimer()->interval(), 500);
    EXPECT_EQ(form.statusPanel(0)->text(), "10 bytes") << "reloads alone do not refresh";

    tick(form);
    EXPECT_EQ(form.statusPanel(0)->text(), "30 bytes");
    EXPECT_FALSE(form.refreshTimer()->isActive()) << "one tick, then the timer rests";
}

// The line panel numbers the active view's top line exactly, far past the
// first bytes the gutter counts, once the line index is built.
TEST_F(RefreshTest, LinePanelShowsTheExactLineOfTheView)
{
    MainWindow &form = makeForm();
    showForm(form);
    QByteArray bytes;
    for (int i = 0; i < 50000; ++i)
        bytes += "entry " + QByteArray::number(i) + (i % 3 ? "\n" : "\r\n");
    form.openFileTab(writeFile("big.log", bytes));
    LogView *view = form.activeView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(form.linePanel()->text(), "Line 1");
    for (int i = 0; i < 100 && view->lineIndexer().running(); ++i) {
        form.jobs().waitForDone();
        QCoreApplication::processEvents();
    }
    view->scrollTo(bytes.indexOf("entry 40000\n"));
    EXPECT_EQ(form.linePanel()->text(), "Line 40001");

    form.openFileTab(writeFile("small.log", "a\nb\n"));
    EXPECT_EQ(form.linePanel()->text(), "Line 1");
    form.closeAllTabs();
    EXPECT_EQ(form.linePanel()->text(), "");
}

// Rotation by delete and create: the tab keeps its name and Reload finds the
// new file under it.
TEST_F(RefreshTest, ReloadOpensADeletedFileOnceItExistsAgain)
{
    MainWindow &form = makeForm();
    const QString path = writeFile("rotate.log", "old\n");
    form.openFileTab(path);
    LogView *view = form.activeView();
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(waitUntil([view] { return view->waitingForFile(); }))
        << "the viewer waits for the deleted file";
    tick(form);
    EXPECT_EQ(panelTexts(form),
              QStringList({"", "", "UTF-8", "Deleted; waiting for it to appear again: " + path}));

    form.acts().fileReload->trigger();
    EXPECT_FALSE(view->document().sourceAssigned()) << "still gone: nothing to open";

    writeFile("rotate.log", "new file\n");
    form.acts().fileReload->trigger();
    EXPECT_EQ(form.activeView(), view) << "in the same tab";
    EXPECT_EQ(view->fileName(), path);
    EXPECT_TRUE(view->document().sourceAssigned());
    EXPECT_EQ(view->document().fileSize(), 9);
    EXPECT_TRUE(view->follower().notified()) << "and watched again";
    EXPECT_EQ(form.tabCount(), 1);
}

// The follow panel says whether new lines will come into view, and the tab
// follows an append at once, told by the folder watch.
TEST_F(RefreshTest, FollowPanelAndInstantFollowing)
{
    MainWindow &form = makeForm();
    showForm(form);
    EXPECT_EQ(form.followPanel()->text(), "");
    QByteArray bytes;
    for (int i = 0; i < 2000; ++i)
        bytes += "entry " + QByteArray::number(i) + "\n";
    const QString path = writeFile("follow.log", bytes);
    form.openFileTab(path);
    LogView *view = form.activeView();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->followTail());
    EXPECT_EQ(form.followPanel()->text(), "paused") << "opened at the top";
    EXPECT_FALSE(form.tabs().markedFollowing(0));
    view->scrollToEnd();
    EXPECT_EQ(form.followPanel()->text(), "following");
    EXPECT_TRUE(form.tabs().markedFollowing(0)) << "a dot on the tab";
    EXPECT_TRUE(view->follower().notified()) << "the folder watch, not the timer";

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("the newest line\n");
    file.close();
    QElapsedTimer clock;
    clock.start();
    const auto last = [view] {
        const DrawnLines &drawn = view->strPositions();
        return drawn.count() > 0 ? drawn.at(drawn.count() - 1).str : QString();
    };
    ASSERT_TRUE(waitUntil([&] { return last() == "the newest line"; }));
    EXPECT_LT(clock.elapsed(), view->follower().pollIntervalMs()) << "sooner than a poll";
    EXPECT_EQ(form.followPanel()->text(), "following");

    form.acts().followTail->trigger();
    EXPECT_EQ(form.followPanel()->text(), "paused");
    EXPECT_FALSE(form.tabs().markedFollowing(0));
}

// A file opened the first time gets the encoding its bytes suggest, and the
// status bar says it was detected; the choice is remembered with the file,
// the user's own choice wins, and the option turns detection off.
TEST_F(RefreshTest, TheEncodingOfANewFileIsDetected)
{
    QByteArray cp1251;
    for (int i = 0; i < 30; ++i)
        cp1251 += "2026-12-09 10:30:15 \xce\xd8\xc8\xc1\xca\xc0 \xf1\xee\xe5\xe4\xe8\xed\xe5\xed"
                  "\xe8\xe5 \xf1 \xe1\xe0\xe7\xee\xe9 \xe4\xe0\xed\xed\xfb\xf5 \xef\xee\xf2"
                  "\xe5\xf0\xff\xed\xee, \xef\xee\xe2\xf2\xee\xf0\xed\xe0\xff \xef\xee\xef"
                  "\xfb\xf2\xea\xe0\n";
    QByteArray mixed;
    for (int i = 0; i < 30; ++i)
        mixed += "2026-12-09 \xd0\x9e\xd1\x88\xd0\xb8\xd0\xb1\xd0\xba\xd0\xb0 caf\xc3\xa9\n";
    mixed += "caf\xe9 na\xefve\n";
    const QString cyrillic = writeFile("cyrillic.log", cp1251);
    const QString half = writeFile("half.log", mixed);
    const QString tiny = writeFile("tiny.log", "\xcf\xf0\xe8\xe2\xe5\xf2\n");
    {
        MainWindow &form = makeForm();
        form.openFileTab(cyrillic);
        tick(form);
        EXPECT_EQ(form.statusPanel(2)->text(), "Windows-1251 (detected)");
        // The detector's next choices head the Encoding menu and switch to theirs.
        ASSERT_FALSE(form.tabAt(0).candidates.empty());
        const Encoding likely = form.tabAt(0).candidates.front();
        QAction *first = form.acts().encodingCandidates[0];
        EXPECT_TRUE(first->isVisible());
        EXPECT_EQ(first->text(), "&1 " + QString::fromUtf8(encodingLabel(likely)) + " (likely)");
        first->trigger();
        tick(form);
        EXPECT_EQ(form.statusPanel(2)->text(), QString::fromUtf8(encodingLabel(likely)));
        form.openFileTab(half);
        tick(form);
        EXPECT_EQ(form.statusPanel(2)->text(), "UTF-8 (not all UTF-8)");
        form.openFileTab(tiny);
        tick(form);
        EXPECT_EQ(form.statusPanel(2)->text(), "UTF-8") << "too little to tell";
        EXPECT_FALSE(form.acts().encodingCandidates[0]->isVisible()) << "none for this tab";

        form.tabs().pages()->setCurrentIndex(0);
        form.acts().encodingSystem->trigger();
        tick(form);
        EXPECT_EQ(form.statusPanel(2)->text(), "UTF-8") << "the user's choice, no note";
        ASSERT_TRUE(form.close());
    }
    {
        // Known now: what it had comes back, without detection.
        MainWindow &form = makeForm();
        form.openFileTab(half);
        tick(form);
        EXPECT_EQ(form.statusPanel(2)->text(), "UTF-8");
        form.openFileTab(cyrillic);
        tick(form);
        EXPECT_EQ(form.statusPanel(2)->text(), "UTF-8") << "the user chose the system's";
        ASSERT_TRUE(form.close());
    }
    {
        // A session keeps the encoding a file was shown in: it wins over detection.
        const QString fresh = writeFile("fresh.log", cp1251);
        const QString session = pathOf("s.ravelin-session");
        QFile file(session);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Tabs]\nNum=2\n0=" + fresh.toUtf8() +
                   "\n1=" + writeFile("other.log", cp1251).toUtf8() + "\n[Encodings]\n0=0\n");
        file.close();
        MainWindow &form = makeForm();
        form.openSession(session);
        ASSERT_EQ(form.tabCount(), 2);
        form.tabs().pages()->setCurrentIndex(0);
        tick(form);
        EXPECT_EQ(form.statusPanel(2)->text(), "UTF-8") << "as the session showed it";
        form.tabs().pages()->setCurrentIndex(1);
        tick(form);
        EXPECT_EQ(form.statusPanel(2)->text(), "Windows-1251 (detected)") << "none kept for it";
        ASSERT_TRUE(form.close());
    }
    writeSettings("[Opt]\nDetectEncoding=0\n");
    MainWindow &form = makeForm();
    form.openFileTab(writeFile("another.log", cp1251));
    tick(form);
    EXPECT_EQ(form.statusPanel(2)->text(), "UTF-8") << "detection off";
}

TEST_F(RefreshTest, RecentMenuListsTheLastTenNewestFirst)
{
    MainWindow &form = makeForm();
    QStringList paths;
    for (int i = 0; i < 12; ++i) {
        paths << writeFile(QStringLiteral("f%1.log").arg(i), "x\n");
        form.openFileTab(paths.back());
    }
    const WindowActions &a = form.acts();
    for (int i = 0; i < MainWindow::kRecentItems; ++i) {
        SCOPED_TRACE(i);
        // Numbered 1 to 10, the number its access key.
        const QString number = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QStringLiteral("1&0");
        EXPECT_EQ(a.recentFiles[size_t(i)]->text(), number + u' ' + paths[11 - i]);
        EXPECT_TRUE(a.recentFiles[size_t(i)]->isVisible());
    }

    form.closeAllTabs();
    a.recentFiles[9]->trigger();
    ASSERT_EQ(form.tabCount(), 1);
    EXPECT_EQ(form.tabAt(0).fileName, paths[2]);
    EXPECT_EQ(a.recentFiles[0]->text(), "&1 " + paths[2]);

    a.clearRecentFiles->trigger();
    EXPECT_FALSE(a.recentFiles[0]->isVisible());
    EXPECT_FALSE(a.clearRecentFiles->isEnabled());
}

TEST_F(RefreshTest, AmpersandInARecentPathIsNoMnemonic)
{
    MainWindow &form = makeForm();
    const QString path = writeFile("r&d.log", "x\n");
    form.openFileTab(path);
    EXPECT_EQ(form.acts().recentFiles[0]->text(), "&1 " + QString(path).replace("&", "&&"));
    EXPECT_EQ(form.tabs().pages()->tabText(0), "  r&&d.log  ");
    EXPECT_EQ(form.tabAt(0).caption, "r&d.log");
}

} // namespace
