// Main commands: bookmarks, clear log, copy, the encoding menu, help and about.
#include "formfixture.h"

#include "app/fileclear.h"
#include "app/aboutdialog.h"
#include "app/helpwindow.h"
#include "viewer/logview.h"

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

QByteArray lines(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += "line " + QByteArray::number(i).rightJustified(6, '0') + '\n'; // 12 bytes
    return text;
}

TEST_F(CommandsTest, BookmarkCaptionsShowTheOffsetInKOrM)
{
    MainWindow &form = makeForm();
    form.openFileTab(writeFile("a.log", "a\n"));
    struct Case
    {
        qint64 offset;
        const char *caption;
    };
    const Case cases[] = {
        {5000, "Go to bookmark &2 (4 K)"},       {0, "Go to bookmark &2 (0 K)"},
        {1048575, "Go to bookmark &2 (1023 K)"}, {1048576, "Go to bookmark &2 (1 M)"},
        {3000000, "Go to bookmark &2 (2 M)"},    {qint64(5) << 32, "Go to bookmark &2 (20480 M)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.caption);
        form.tabAt(0).bookmarks[1] = c.offset;
        form.updateAll();
        EXPECT_EQ(form.acts().goToBookmark2->text(), c.caption);
        EXPECT_TRUE(form.acts().goToBookmark2->isEnabled());
    }
    form.acts().clearBookmarks->trigger();
    for (QAction *go :
         {form.acts().goToBookmark1, form.acts().goToBookmark2, form.acts().goToBookmark3}) {
        EXPECT_FALSE(go->isEnabled());
        EXPECT_FALSE(go->text().contains('(')) << go->text().toStdString();
    }
}

TEST_F(CommandsTest, BookmarksBelongToTheirTabAndGoWhereTheViewWas)
{
    MainWindow &form = makeForm();
    form.resize(600, 300);
    showForm(form);
    form.openFileTab(writeFile("a.log", lines(2000)));
    form.openFileTab(writeFile("b.log", lines(10)));
    form.tabs().pages()->setCurrentIndex(0);
    LogView *view = form.tabAt(0).view;
    view->scrollTo(12 * 1000);
    const qint64 at = view->viewPos();
    ASSERT_EQ(at, 12 * 1000);
    form.acts().setBookmark1->trigger();
    EXPECT_EQ(form.tabAt(0).bookmarks[0], at);
    EXPECT_EQ(form.tabAt(1).bookmarks[0], Tab::kNoBookmark);
    EXPECT_EQ(form.acts().goToBookmark1->text(), "Go to bookmark &1 (11 K)");

    view->scrollTo(0);
    form.acts().goToBookmark1->trigger();
    EXPECT_EQ(view->viewPos(), at);

    // The other tab has none: its captions lose the suffix.
    form.tabs().pages()->setCurrentIndex(1);
    EXPECT_EQ(form.acts().goToBookmark1->text(), "Go to bookmark &1");
    EXPECT_FALSE(form.acts().goToBookmark1->isEnabled());
}

TEST_F(CommandsTest, ClearLogAsksThenTruncatesAndTheViewEmpties)
{
    struct Case
    {
        const char *name;
        bool confirm;
        MsgResult answer;
        bool cleared;
    };
    const Case cases[] = {
        {"confirmed", true, MsgResult::Ok, true},
        {"cancelled", true, MsgResult::Cancel, false},
        {"without asking", false, MsgResult::Cancel, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(c.confirm ? "" : "[Opt]\nCfmClear=0\n");
        MainWindow &form = makeForm();
        form.resize(600, 300);
        showForm(form);
        const QString path = writeFile("app.log", lines(2000));
        form.openFileTab(path);
        form.tabAt(0).bookmarks[0] = 600;
        form.updateAll();
        m_sink.clear();
        m_sink.queueAnswers({c.answer});
        form.acts().clearLog->trigger();
        if (c.confirm) {
            ASSERT_EQ(m_sink.messages().size(), 1u);
            const auto &asked = m_sink.messages()[0];
            EXPECT_EQ(asked.caption, "Ravelin Pro");
            EXPECT_EQ(asked.icon, MsgIcon::Warning);
            EXPECT_EQ(asked.buttons, MsgButtons::OkCancel);
            EXPECT_EQ(asked.text, "Do you want to clear the log file\n\"" + path +
                                      "\" ?\n\nWarning: file could be updated since the last "
                                      "display.");
        } else {
            EXPECT_TRUE(m_sink.messages().empty());
        }
        EXPECT_EQ(QFileInfo(path).size(), c.cleared ? 0 : 24000);
        EXPECT_EQ(form.tabAt(0).view->document().fileSize(), c.cleared ? 0 : 24000);
        // A bookmark beyond the new end shows the end.
        form.acts().goToBookmark1->trigger();
        EXPECT_EQ(form.tabAt(0).view->viewPos(), c.cleared ? 0 : 600);
    }
}

TEST_F(CommandsTest, ClearLogOfAFileStillWrittenEmptiesTheViewThenFollowsTheNewLines)
{
    writeSettings("[Opt]\nCfmClear=0\nReloadTime=0\n"); // polled every 0.5 s
    MainWindow &form = makeForm();
    form.resize(600, 300);
    showForm(form);
    const QString path = writeFile("app.log", lines(2000));
    // A logger keeps its file open and appends.
    QFile writer(path);
    ASSERT_TRUE(writer.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered));
    form.openFileTab(path);
    LogView *view = form.activeView();
    form.acts().clearLog->trigger();
    QCoreApplication::processEvents(); // painted empty
    EXPECT_EQ(view->document().fileSize(), 0);
    EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join(" | ").toStdString();

    const QByteArray more = lines(300);
    ASSERT_EQ(writer.write(more), more.size());
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->document().fileSize() == more.size(); }, 5000));
    EXPECT_EQ(QFileInfo(path).size(), more.size()) << "the writer went on at the new end";
    EXPECT_TRUE(view->viewAtEnd()) << "the emptied view follows the new lines";
    EXPECT_GT(view->viewPos(), 0);
}

TEST_F(CommandsTest, ClearLogTouchesOnlyARegularFile)
{
    writeSettings("[Opt]\nCfmClear=0\n");
    struct Case
    {
        const char *name;
        std::function<void(const QString &)> replace;
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
        SCOPED_TRACE(c.name);
        MainWindow &form = makeForm();
        const QString path = pathOf(QStringLiteral("x-%1.log").arg(c.name));
        writeFile(QFileInfo(path).fileName(), "data\n");
        form.openFileTab(path);
        c.replace(path);
        const bool folder = QFileInfo(path).isDir();
        const bool fifo = QFileInfo(path).exists() && !folder;
        m_sink.clear();
        form.acts().clearLog->trigger();
        // The reload that follows may have its own say about the file.
        ASSERT_FALSE(m_sink.messages().empty());
        EXPECT_EQ(m_sink.texts()[0], "Could not clear file");
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
    MainWindow &form = makeForm();
    form.resize(600, 300);
    showForm(form);
    form.openFileTab(writeFile("a.log", "first line\nsecond line\n"));
    QGuiApplication::clipboard()->setText("before");
    form.acts().copy->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before") << "nothing selected yet";

    form.acts().selectAll->trigger();
    EXPECT_EQ(form.activeView()->selStart(), 0);
    EXPECT_EQ(form.activeView()->selLength(), 23);
    form.acts().copy->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "first line\nsecond line\n");
}

// Notes the first menu shown and closes it again, so that its exec returns.
class PopupCatcher final : public QObject
{
public:
    PopupCatcher() { QCoreApplication::instance()->installEventFilter(this); }
    ~PopupCatcher() override { QCoreApplication::instance()->removeEventFilter(this); }
    QMenu *menu() const { return m_menu; }

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
    MainWindow &form = makeForm();
    form.resize(800, 300);
    showForm(form);
    QStatusBar *bar = form.statusBar();
    const QRect panel = form.statusPanel(2)->geometry();
    const int y = panel.center().y();

    PopupCatcher noTab;
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(panel.left(), y));
    EXPECT_EQ(noTab.menu(), nullptr) << "no tab, no menu";

    form.openFileTab(writeFile("a.log", "text\n"));
    QMenu *expected = form.activeView()->prepareEncodingMenu();
    struct Case
    {
        const char *name;
        int X;
        bool opens;
    };
    const Case cases[] = {
        {"just before the panel", panel.left() - 1, false},
        {"its left edge", panel.left(), true},
        {"its right edge", panel.left() + panel.width(), true},
        {"past it", panel.left() + panel.width() + 1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PopupCatcher catcher;
        // A real click, on whatever child of the status bar is there.
        const QPoint at(c.X, y);
        QWidget *target = bar->childAt(at);
        if (!target)
            target = bar;
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(bar, at));
        QCoreApplication::processEvents();
        EXPECT_EQ(catcher.menu(), c.opens ? expected : nullptr);
    }

    PopupCatcher fromItem;
    form.acts().encodingMenu->trigger();
    EXPECT_EQ(fromItem.menu(), expected);
}

TEST_F(CommandsTest, HelpOpensThePageBesideTheProgramOrSaysItIsMissing)
{
    MainWindow &form = makeForm();
    QList<QUrl> opened;
    bool openWorks = true;
    form.openUrl = [&](const QUrl &url) {
        opened << url;
        return openWorks;
    };
    const QFileInfo program(QCoreApplication::applicationFilePath());
    const QString help = program.absolutePath() + '/' + program.completeBaseName() + ".html";
    QFile::remove(help);

    form.acts().helpContents->trigger();
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(m_sink.texts(), QStringList{"Could not find help file"});
    EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Error);

    QFile file(help);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<html></html>");
    file.close();
    m_sink.clear();
    form.acts().helpContents->trigger();
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(help)});
    EXPECT_TRUE(m_sink.messages().empty());

    openWorks = false; // no browser: the page is there all the same
    form.acts().helpContents->trigger();
    EXPECT_TRUE(m_sink.messages().empty());
    EXPECT_NE(HelpWindow::of(&form), nullptr);
    QFile::remove(help);
}

TEST_F(CommandsTest, HelpPageIsFoundBesideTheProgramBeforeTheInstalledOne)
{
    const QString program = pathOf("bin/ravelin");
    const QString beside = pathOf("bin/ravelin.html");
    const QString installed = pathOf("share/doc/ravelin/help.html");
    ASSERT_TRUE(QDir().mkpath(pathOf("bin")));
    ASSERT_TRUE(QDir().mkpath(pathOf("share/doc/ravelin")));
    EXPECT_EQ(findHelpFile(program), QString());
    writeFile("share/doc/ravelin/help.html", "<html></html>");
    EXPECT_EQ(findHelpFile(program), installed);
    writeFile("bin/ravelin.html", "<html></html>");
    EXPECT_EQ(findHelpFile(program), beside);
    // A folder of that name is no page.
    QFile::remove(beside);
    QFile::remove(installed);
    ASSERT_TRUE(QDir().mkpath(installed));
    EXPECT_EQ(findHelpFile(program), QString());
}

TEST_F(CommandsTest, AboutShowsTheProgramsNameAndVersion)
{
    MainWindow &form = makeForm();
    QString name;
    QString version;
    form.execDialog = [&](QDialog &dialog) {
        auto *about = dynamic_cast<AboutDialog *>(&dialog);
        EXPECT_NE(about, nullptr);
        if (about) {
            name = about->labName->text();
            version = about->labVer->text();
            EXPECT_EQ(about->windowTitle(), "About");
        }
        return int(QDialog::Accepted);
    };
    form.acts().about->trigger();
    EXPECT_EQ(name, "Ravelin Pro");
    EXPECT_EQ(version, "Version " RAVELIN_VERSION);
}

} // namespace
