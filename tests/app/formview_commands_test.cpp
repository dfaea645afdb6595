// Main commands: bookmarks, clear log, copy, the encoding menu, help and about.
#include "formfixture.h"

#include "app/fileclear.h"
#include "app/formabout.h"
#include "app/helpwindow.h"
#include "viewer/qzbinhex.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QUrl>

#include <sys/stat.h>

namespace {

using CommandsTest = FormFixture;

QByteArray Lines(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += "line " + QByteArray::number(i).rightJustified(6, '0') + '\n'; // 12 bytes
    return text;
}

TEST_F(CommandsTest, BookmarkCaptionsShowTheOffsetInKOrM)
{
    TFormView &form = MakeForm();
    form.OpenFileTab(WriteFile("a.log", "a\n"));
    struct Case
    {
        qint64 Offset;
        const char *Caption;
    };
    const Case cases[] = {
        {5000, "Go to bookmark &2 (4 K)"},       {0, "Go to bookmark &2 (0 K)"},
        {1048575, "Go to bookmark &2 (1023 K)"}, {1048576, "Go to bookmark &2 (1 M)"},
        {3000000, "Go to bookmark &2 (2 M)"},    {qint64(5) << 32, "Go to bookmark &2 (20480 M)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Caption);
        form.Rec(0).Bookmarks[1] = c.Offset;
        form.UpdateAll();
        EXPECT_EQ(form.Acts().acGotoGo2->text(), c.Caption);
        EXPECT_TRUE(form.Acts().acGotoGo2->isEnabled());
    }
    form.Acts().acGotoClear->trigger();
    for (QAction *go : {form.Acts().acGotoGo1, form.Acts().acGotoGo2, form.Acts().acGotoGo3}) {
        EXPECT_FALSE(go->isEnabled());
        EXPECT_FALSE(go->text().contains('(')) << go->text().toStdString();
    }
}

TEST_F(CommandsTest, BookmarksBelongToTheirTabAndGoWhereTheViewWas)
{
    TFormView &form = MakeForm();
    form.resize(600, 300);
    ShowForm(form);
    form.OpenFileTab(WriteFile("a.log", Lines(2000)));
    form.OpenFileTab(WriteFile("b.log", Lines(10)));
    form.Pages()->setCurrentIndex(0);
    TQzBinHex *view = form.Rec(0).View;
    view->ScrollTo(12 * 1000);
    const qint64 at = view->ViewPos();
    ASSERT_EQ(at, 12 * 1000);
    form.Acts().acGotoSet1->trigger();
    EXPECT_EQ(form.Rec(0).Bookmarks[0], at);
    EXPECT_EQ(form.Rec(1).Bookmarks[0], TRec::kNoBookmark);
    EXPECT_EQ(form.Acts().acGotoGo1->text(), "Go to bookmark &1 (11 K)");

    view->ScrollTo(0);
    form.Acts().acGotoGo1->trigger();
    EXPECT_EQ(view->ViewPos(), at);

    // The other tab has none: its captions lose the suffix.
    form.Pages()->setCurrentIndex(1);
    EXPECT_EQ(form.Acts().acGotoGo1->text(), "Go to bookmark &1");
    EXPECT_FALSE(form.Acts().acGotoGo1->isEnabled());
}

TEST_F(CommandsTest, ClearLogAsksThenTruncatesAndTheViewEmpties)
{
    struct Case
    {
        const char *Name;
        bool Confirm;
        MsgResult Answer;
        bool Cleared;
    };
    const Case cases[] = {
        {"confirmed", true, MsgResult::Ok, true},
        {"cancelled", true, MsgResult::Cancel, false},
        {"without asking", false, MsgResult::Cancel, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        WriteSettings(c.Confirm ? "" : "[Opt]\nCfmClear=0\n");
        TFormView &form = MakeForm();
        form.resize(600, 300);
        ShowForm(form);
        const QString path = WriteFile("app.log", Lines(2000));
        form.OpenFileTab(path);
        form.Rec(0).Bookmarks[0] = 600;
        form.UpdateAll();
        m_sink.Clear();
        m_sink.QueueAnswers({c.Answer});
        form.Acts().acFileClear->trigger();
        if (c.Confirm) {
            ASSERT_EQ(m_sink.Messages().size(), 1u);
            const auto &asked = m_sink.Messages()[0];
            EXPECT_EQ(asked.Caption, "Ravelin Pro");
            EXPECT_EQ(asked.Icon, MsgIcon::Warning);
            EXPECT_EQ(asked.Buttons, MsgButtons::OkCancel);
            EXPECT_EQ(asked.Text, "Do you want to clear the log file\n\"" + path +
                                      "\" ?\n\nWarning: file could be updated since the last "
                                      "display.");
        } else {
            EXPECT_TRUE(m_sink.Messages().empty());
        }
        EXPECT_EQ(QFileInfo(path).size(), c.Cleared ? 0 : 24000);
        EXPECT_EQ(form.Rec(0).View->FileSize(), c.Cleared ? 0 : 24000);
        // A bookmark beyond the new end shows the end.
        form.Acts().acGotoGo1->trigger();
        EXPECT_EQ(form.Rec(0).View->ViewPos(), c.Cleared ? 0 : 600);
    }
}

TEST_F(CommandsTest, ClearLogOfAFileStillWrittenEmptiesTheViewThenFollowsTheNewLines)
{
    WriteSettings("[Opt]\nCfmClear=0\nReloadTime=0\n"); // polled every 0.5 s
    TFormView &form = MakeForm();
    form.resize(600, 300);
    ShowForm(form);
    const QString path = WriteFile("app.log", Lines(2000));
    // A logger keeps its file open and appends.
    QFile writer(path);
    ASSERT_TRUE(writer.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered));
    form.OpenFileTab(path);
    TQzBinHex *view = form.ActiveView();
    form.Acts().acFileClear->trigger();
    QCoreApplication::processEvents(); // painted empty
    EXPECT_EQ(view->FileSize(), 0);
    EXPECT_TRUE(m_sink.Messages().empty()) << m_sink.Texts().join(" | ").toStdString();

    const QByteArray more = Lines(300);
    ASSERT_EQ(writer.write(more), more.size());
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->FileSize() == more.size(); }, 5000));
    EXPECT_EQ(QFileInfo(path).size(), more.size()) << "the writer went on at the new end";
    EXPECT_TRUE(view->ViewAtEnd()) << "the emptied view follows the new lines";
    EXPECT_GT(view->ViewPos(), 0);
}

TEST_F(CommandsTest, ClearLogTouchesOnlyARegularFile)
{
    WriteSettings("[Opt]\nCfmClear=0\n");
    struct Case
    {
        const char *Name;
        std::function<void(const QString &)> Replace;
    };
    const Case cases[] = {
        {"deleted", [](const QString &path) { QFile::remove(path); }},
        {"now a FIFO",
         [](const QString &path) {
             QFile::remove(path);
             ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
         }},
        {"now a folder",
         [](const QString &path) {
             QFile::remove(path);
             ASSERT_TRUE(QDir().mkdir(path));
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        TFormView &form = MakeForm();
        const QString path = PathOf(QStringLiteral("x-%1.log").arg(c.Name));
        WriteFile(QFileInfo(path).fileName(), "data\n");
        form.OpenFileTab(path);
        c.Replace(path);
        const bool folder = QFileInfo(path).isDir();
        const bool fifo = QFileInfo(path).exists() && !folder;
        m_sink.Clear();
        form.Acts().acFileClear->trigger();
        // The reload that follows may have its own say about the file.
        ASSERT_FALSE(m_sink.Messages().empty());
        EXPECT_EQ(m_sink.Texts()[0], "Could not clear file");
        EXPECT_EQ(QFileInfo(path).isDir(), folder);
        if (fifo) {
            struct stat st;
            ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
            EXPECT_TRUE(S_ISFIFO(st.st_mode));
        }
    }
}

TEST_F(CommandsTest, SelectAllThenCopyPutsTheWholeFileOnTheClipboard)
{
    TFormView &form = MakeForm();
    form.resize(600, 300);
    ShowForm(form);
    form.OpenFileTab(WriteFile("a.log", "first line\nsecond line\n"));
    QGuiApplication::clipboard()->setText("before");
    form.Acts().acEditCopy->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before") << "nothing selected yet";

    form.Acts().acEditSelectAll->trigger();
    EXPECT_EQ(form.ActiveView()->SelStart(), 0);
    EXPECT_EQ(form.ActiveView()->SelLength(), 23);
    form.Acts().acEditCopy->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "first line\nsecond line\n");
}

// Notes the first menu shown and closes it again, so that its exec returns.
class PopupCatcher final : public QObject
{
public:
    PopupCatcher() { QCoreApplication::instance()->installEventFilter(this); }
    ~PopupCatcher() override { QCoreApplication::instance()->removeEventFilter(this); }
    QMenu *Menu() const { return m_menu; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !m_menu) {
            if (auto *menu = qobject_cast<QMenu *>(watched)) {
                m_menu = menu;
                QTimer::singleShot(0, menu, &QMenu::close);
            }
        }
        return false;
    }

private:
    QMenu *m_menu = nullptr;
};

TEST_F(CommandsTest, EncodingPanelClickAndMenuItemOpenTheViewersEncodingMenu)
{
    TFormView &form = MakeForm();
    form.resize(800, 300);
    ShowForm(form);
    QStatusBar *bar = form.statusBar();
    const QRect panel = form.StatusPanel(2)->geometry();
    const int y = panel.center().y();

    PopupCatcher noTab;
    form.StatusBar1Click(QPoint(panel.left(), y));
    EXPECT_EQ(noTab.Menu(), nullptr) << "no tab, no menu";

    form.OpenFileTab(WriteFile("a.log", "text\n"));
    QMenu *expected = form.ActiveView()->PrepareEncodingMenu();
    struct Case
    {
        const char *Name;
        int X;
        bool Opens;
    };
    const Case cases[] = {
        {"just before the panel", panel.left() - 1, false},
        {"its left edge", panel.left(), true},
        {"its right edge", panel.left() + panel.width(), true},
        {"past it", panel.left() + panel.width() + 1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        PopupCatcher catcher;
        // A real click, on whatever child of the status bar is there.
        const QPoint at(c.X, y);
        QWidget *target = bar->childAt(at);
        if (!target)
            target = bar;
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(bar, at));
        QCoreApplication::processEvents();
        EXPECT_EQ(catcher.Menu(), c.Opens ? expected : nullptr);
    }

    PopupCatcher fromItem;
    form.Acts().mnuEncMenu->trigger();
    EXPECT_EQ(fromItem.Menu(), expected);
}

TEST_F(CommandsTest, HelpOpensThePageBesideTheProgramOrSaysItIsMissing)
{
    TFormView &form = MakeForm();
    QList<QUrl> opened;
    bool openWorks = true;
    form.OpenUrl = [&](const QUrl &url) {
        opened << url;
        return openWorks;
    };
    const QFileInfo program(QCoreApplication::applicationFilePath());
    const QString help = program.absolutePath() + '/' + program.completeBaseName() + ".html";
    QFile::remove(help);

    form.Acts().acHelpContents->trigger();
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(m_sink.Texts(), QStringList{"Could not find help file"});
    EXPECT_EQ(m_sink.Messages()[0].Icon, MsgIcon::Error);

    QFile file(help);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<html></html>");
    file.close();
    m_sink.Clear();
    form.Acts().acHelpContents->trigger();
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(help)});
    EXPECT_TRUE(m_sink.Messages().empty());

    openWorks = false; // no browser: the page is there all the same
    form.Acts().acHelpContents->trigger();
    EXPECT_TRUE(m_sink.Messages().empty());
    EXPECT_NE(HelpWindow::Of(&form), nullptr);
    QFile::remove(help);
}

TEST_F(CommandsTest, HelpPageIsFoundBesideTheProgramBeforeTheInstalledOne)
{
    const QString program = PathOf("bin/ravelin");
    const QString beside = PathOf("bin/ravelin.html");
    const QString installed = PathOf("share/doc/ravelin/help.html");
    ASSERT_TRUE(QDir().mkpath(PathOf("bin")));
    ASSERT_TRUE(QDir().mkpath(PathOf("share/doc/ravelin")));
    EXPECT_EQ(FindHelpFile(program), QString());
    WriteFile("share/doc/ravelin/help.html", "<html></html>");
    EXPECT_EQ(FindHelpFile(program), installed);
    WriteFile("bin/ravelin.html", "<html></html>");
    EXPECT_EQ(FindHelpFile(program), beside);
    // A folder of that name is no page.
    QFile::remove(beside);
    QFile::remove(installed);
    ASSERT_TRUE(QDir().mkpath(installed));
    EXPECT_EQ(FindHelpFile(program), QString());
}

TEST_F(CommandsTest, AboutShowsTheProgramsNameAndVersion)
{
    TFormView &form = MakeForm();
    QString name;
    QString version;
    form.ExecDialog = [&](QDialog &dialog) {
        auto *about = dynamic_cast<TFormAbout *>(&dialog);
        EXPECT_NE(about, nullptr);
        if (about) {
            name = about->labName->text();
            version = about->labVer->text();
            EXPECT_EQ(about->windowTitle(), "About");
        }
        return int(QDialog::Accepted);
    };
    form.Acts().acHelpAbout->trigger();
    EXPECT_EQ(name, "Ravelin Pro");
    EXPECT_EQ(version, "Version " RAVELIN_VERSION);
}

} // namespace
