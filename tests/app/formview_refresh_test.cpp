// The refresh cycle: window caption, action states, status bar, bookmark
// captions and the refresh timer.
#include "formfixture.h"

#include "app/appformat.h"
#include "viewer/qzbinhex.h"
#include "watch/qzfilenotificationsimple.h"
#include "text/fproc.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QStackedWidget>
#include <QTimer>

namespace {

using RefreshTest = FormFixture;

QStringList PanelTexts(const TFormView &form)
{
    QStringList texts;
    for (int i = 0; i < TFormView::kStatusPanels; ++i)
        texts << form.StatusPanel(i)->text();
    return texts;
}

std::vector<QAction *> TabActions(const TFormView::Actions &a)
{
    return {a.acFileReload,    a.acFileClose, a.acFilePrint,    a.acFileClear,    a.acEditCopy,
            a.acEditSelectAll, a.acEditFind,  a.acEditFindNext, a.acEditFindPrev, a.acGotoSet1,
            a.acGotoSet2,      a.acGotoSet3,  a.acGotoClear,    a.acOptTail,      a.acOptWrap,
            a.mnuEncANSI,      a.mnuEncOEM,   a.mnuEncUTF8,     a.mnuEncUTF16,    a.mnuEncUTF16BE,
            a.mnuEncMenu,      a.mnuEdFilter, a.mnuTabCap,      a.mnuTabOrd,      a.mnuSessSaveAs};
}

TEST_F(RefreshTest, CaptionFollowsTheActiveTab)
{
    TFormView &form = MakeForm();
    EXPECT_EQ(form.windowTitle(), "Ravelin Pro");

    form.OpenFileTab(WriteFile("app.log", "one\n"));
    form.OpenFileTab(WriteFile("web.log", "two\n"));
    EXPECT_EQ(form.windowTitle(), "web.log - Ravelin Pro");

    form.Pages()->setCurrentIndex(0); // as a click on the tab does
    EXPECT_EQ(form.windowTitle(), "app.log - Ravelin Pro");

    form.CloseAllTabs();
    EXPECT_EQ(form.windowTitle(), "Ravelin Pro");
    auto *panel = form.findChild<QStackedWidget *>("Panel1");
    ASSERT_NE(panel, nullptr);
    auto *caption = qobject_cast<QLabel *>(panel->currentWidget());
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->text(), "(File not opened)");
}

TEST_F(RefreshTest, ActionsNeedAnActiveTab)
{
    TFormView &form = MakeForm();
    const TFormView::Actions &a = form.Acts();
    for (QAction *action : TabActions(a)) {
        SCOPED_TRACE(action->objectName().toStdString());
        EXPECT_FALSE(action->isEnabled());
    }
    EXPECT_FALSE(a.acFileRecClear->isEnabled()) << "nothing recent yet";
    EXPECT_TRUE(a.acFileOpen->isEnabled());

    form.OpenFileTab(WriteFile("app.log", "line\n"));
    for (QAction *action : TabActions(a)) {
        SCOPED_TRACE(action->objectName().toStdString());
        EXPECT_TRUE(action->isEnabled());
    }
    EXPECT_TRUE(a.acFileRecClear->isEnabled());
    // Bookmarks are not set, and no session is current.
    for (QAction *action : {a.acGotoGo1, a.acGotoGo2, a.acGotoGo3, a.mnuSessSave, a.mnuSessClose})
        EXPECT_FALSE(action->isEnabled()) << action->objectName().toStdString();
    EXPECT_TRUE(a.acOptTail->isChecked()) << "new tabs follow the tail by default";
    EXPECT_FALSE(a.acOptWrap->isChecked());
    EXPECT_TRUE(a.mnuEncANSI->isChecked());
}

TEST_F(RefreshTest, TailAndWrapToggleTheActiveViewerOnly)
{
    TFormView &form = MakeForm();
    form.OpenFileTab(WriteFile("a.log", "a\n"));
    form.OpenFileTab(WriteFile("b.log", "b\n"));
    const TFormView::Actions &a = form.Acts();

    a.acOptTail->trigger();
    a.acOptWrap->trigger();
    EXPECT_FALSE(form.Rec(1).View->AutoReloadFollowTail);
    EXPECT_TRUE(form.Rec(1).View->TextWrap());
    EXPECT_FALSE(a.acOptTail->isChecked());
    EXPECT_TRUE(a.acOptWrap->isChecked());

    form.Pages()->setCurrentIndex(0);
    EXPECT_TRUE(form.Rec(0).View->AutoReloadFollowTail);
    EXPECT_FALSE(form.Rec(0).View->TextWrap());
    EXPECT_TRUE(a.acOptTail->isChecked());
    EXPECT_FALSE(a.acOptWrap->isChecked());
}

TEST_F(RefreshTest, BookmarkCaptionsShowTheOffset)
{
    struct Case
    {
        qint64 Offset;
        const char *Caption;
        bool Enabled;
    };
    const Case cases[] = {
        {TRec::kNoBookmark, "Go to bookmark &2", false},
        {0, "Go to bookmark &2 (0 K)", true},
        {5000, "Go to bookmark &2 (4 K)", true},
        {1048575, "Go to bookmark &2 (1023 K)", true},
        {1048576, "Go to bookmark &2 (1 M)", true},
        {3000000, "Go to bookmark &2 (2 M)", true},
        {qint64(5) << 32, "Go to bookmark &2 (20480 M)", true},
    };
    TFormView &form = MakeForm();
    form.OpenFileTab(WriteFile("a.log", "a\n"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Offset);
        form.Rec(0).Bookmarks[1] = c.Offset;
        form.UpdateAll();
        EXPECT_EQ(form.Acts().acGotoGo2->text(), c.Caption);
        EXPECT_EQ(form.Acts().acGotoGo2->isEnabled(), c.Enabled);
        EXPECT_FALSE(form.Acts().acGotoGo1->isEnabled());
    }
}

TEST_F(RefreshTest, StatusBarDescribesTheFileOnDisk)
{
    TFormView &form = MakeForm();
    EXPECT_EQ(PanelTexts(form), QStringList(4, QString()));

    const QString path = WriteFile("sized.log", QByteArray(1536, 'x'));
    const QDateTime written = QDateTime::fromSecsSinceEpoch(1700000000);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(written, QFileDevice::FileModificationTime));
    }
    form.OpenFileTab(path);
    const qint64 ns = written.toMSecsSinceEpoch() * 1000000;
    EXPECT_EQ(PanelTexts(form), QStringList({"1" + QLocale::system().decimalPoint() + "5 Kb",
                                             FormatFileTime(ns), "ANSI (Windows)", path}));

    form.Acts().mnuEncUTF16BE->trigger();
    EXPECT_EQ(form.StatusPanel(2)->text(), "Unicode (UTF-16 BE)");

    form.CloseAllTabs();
    EXPECT_EQ(PanelTexts(form), QStringList(4, QString()));
}

// A missing file is waited for, and the status bar says so: never a
// silent blank tab.
TEST_F(RefreshTest, StatusBarOfAMissingFileSaysItIsWaitedFor)
{
    TFormView &form = MakeForm();
    const QString path = PathOf("missing.log");
    form.OpenFileTab(path);
    EXPECT_EQ(PanelTexts(form), QStringList({"", "", "ANSI (Windows)",
                                             "Deleted; waiting for it to appear again: " + path}));
}

TEST_F(RefreshTest, ReloadsRefreshOnceWhenTheTimerTicks)
{
    TFormView &form = MakeForm();
    const QString path = WriteFile("grow.log", QByteArray(10, 'x'));
    form.OpenFileTab(path);
    TQzBinHex *view = form.ActiveView();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->OnFileReload);
    EXPECT_EQ(form.StatusPanel(0)->text(), "10 bytes");
    EXPECT_FALSE(form.RefreshTimer()->isActive());

    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(QByteArray(20, 'y'));
    }
    for (int i = 0; i < 10; ++i)
        view->OnFileReload(view);
    EXPECT_TRUE(form.RefreshTimer()->isActive());
    EXPECT_EQ(form.RefreshTimer()->interval(), 500);
    EXPECT_EQ(form.StatusPanel(0)->text(), "10 bytes") << "reloads alone do not refresh";

    form.RefreshTimerTimer();
    EXPECT_EQ(form.StatusPanel(0)->text(), "30 bytes");
    EXPECT_FALSE(form.RefreshTimer()->isActive()) << "one tick, then the timer rests";
}

// Rotation by delete and create: the tab keeps its name and Reload finds the
// new file under it.
TEST_F(RefreshTest, ReloadOpensADeletedFileOnceItExistsAgain)
{
    TFormView &form = MakeForm();
    const QString path = WriteFile("rotate.log", "old\n");
    form.OpenFileTab(path);
    TQzBinHex *view = form.ActiveView();
    ASSERT_TRUE(QFile::remove(path));
    view->SimpleNotifier()->Poll();
    ASSERT_TRUE(view->WaitingForFile()) << "the viewer waits for the deleted file";
    form.RefreshTimerTimer();
    EXPECT_EQ(PanelTexts(form), QStringList({"", "", "ANSI (Windows)",
                                             "Deleted; waiting for it to appear again: " + path}));

    form.acFileReloadExecute();
    EXPECT_FALSE(view->SourceAssigned()) << "still gone: nothing to open";

    WriteFile("rotate.log", "new file\n");
    form.acFileReloadExecute();
    EXPECT_EQ(form.ActiveView(), view) << "in the same tab";
    EXPECT_EQ(view->FileName(), path);
    EXPECT_TRUE(view->SourceAssigned());
    EXPECT_EQ(view->FileSize(), 9);
    EXPECT_TRUE(view->SimpleNotifier()->Timer()->isActive()) << "and watched again";
    EXPECT_EQ(form.RecCount(), 1);
}

TEST_F(RefreshTest, RecentMenuListsTheLastTenNewestFirst)
{
    TFormView &form = MakeForm();
    QStringList paths;
    for (int i = 0; i < 12; ++i) {
        paths << WriteFile(QStringLiteral("f%1.log").arg(i), "x\n");
        form.OpenFileTab(paths.back());
    }
    const TFormView::Actions &a = form.Acts();
    for (int i = 0; i < TFormView::kRecentItems; ++i) {
        SCOPED_TRACE(i);
        // Numbered 1 to 10, the number its access key.
        const QString number = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QStringLiteral("1&0");
        EXPECT_EQ(a.mnuRec[size_t(i)]->text(), number + u' ' + paths[11 - i]);
        EXPECT_TRUE(a.mnuRec[size_t(i)]->isVisible());
    }

    form.CloseAllTabs();
    a.mnuRec[9]->trigger();
    ASSERT_EQ(form.RecCount(), 1);
    EXPECT_EQ(form.Rec(0).FileName, paths[2]);
    EXPECT_EQ(a.mnuRec[0]->text(), "&1 " + paths[2]);

    a.acFileRecClear->trigger();
    EXPECT_FALSE(a.mnuRec[0]->isVisible());
    EXPECT_FALSE(a.acFileRecClear->isEnabled());
}

TEST_F(RefreshTest, AmpersandInARecentPathIsNoMnemonic)
{
    TFormView &form = MakeForm();
    const QString path = WriteFile("r&d.log", "x\n");
    form.OpenFileTab(path);
    EXPECT_EQ(form.Acts().mnuRec[0]->text(), "&1 " + QString(path).replace("&", "&&"));
    EXPECT_EQ(form.Pages()->tabText(0), "  r&&d.log  ");
    EXPECT_EQ(form.Rec(0).Caption, "r&d.log");
}

} // namespace
