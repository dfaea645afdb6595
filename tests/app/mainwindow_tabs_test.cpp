// Tabs: opening (checks, messages, captions, encodings), closing and the
// ways files arrive (command line, open dialog, drop).
#include "formfixture.h"
#include "common/encodingarg.h"

#include "app/shellmessages.h"
#include "viewer/logview.h"
#include "text/fileutil.h"
#include "watch/filefollower.h"
#include "watch/pollingwatcher.h"
#include "watch/uniquefd.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QDropEvent>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QUrl>
#include <QWindow>

#include <csignal>
#include <cstring>
#include <functional>
#include <string_view>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using TabsTest = FormFixture;

// The last search of the tab shown; empty while none is.
QString shownSearchText(MainWindow &form)
{
    const int index = form.tabs().activeIndex();
    return index >= 0 ? form.tabAt(index).srText : QString();
}

TEST_F(TabsTest, ClosingMovesTheLaterRecordsDown)
{
    struct Case
    {
        const char *name;
        int close;
        QStringList remaining;
        int active; // index of the page active afterwards
    };
    const Case cases[] = {
        {"first", 0, {"b.log", "c.log"}, 0},
        {"middle", 1, {"a.log", "c.log"}, 1},
        {"last", 2, {"a.log", "b.log"}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MainWindow &form = makeForm();
        const QStringList names{"a.log", "b.log", "c.log"};
        for (int i = 0; i < names.size(); ++i) {
            form.openFileTab(writeFile(names[i], names[i].toUtf8() + "\n"));
            Tab &rec = form.tabAt(i);
            rec.bookmarks = {i * 100, i * 100 + 1, Tab::kNoBookmark};
            rec.srText = names[i];
            rec.srPos = i * 10;
            rec.srOptions = quint8(i + 1);
        }

        std::vector<TabState> states;
        for (int i = 0; i < form.tabCount(); ++i)
            states.push_back(form.tabAt(i).state());

        form.closeTab(c.close);
        form.updateAll();

        ASSERT_EQ(form.tabCount(), 2);
        ASSERT_EQ(form.tabs().pages()->count(), 2);
        for (int i = 0; i < 2; ++i) {
            const Tab &rec = form.tabAt(i);
            const int was = int(names.indexOf(c.remaining[i]));
            EXPECT_EQ(rec.fileName, pathOf(c.remaining[i]));
            EXPECT_EQ(rec.view->fileName(), pathOf(c.remaining[i]));
            EXPECT_EQ(form.tabs().pages()->widget(i), rec.sheet);
            EXPECT_EQ(form.tabs().pages()->tabText(i), "  " + c.remaining[i] + "  ");
            EXPECT_EQ(rec.bookmarks[0], was * 100);
            EXPECT_EQ(rec.bookmarks[1], was * 100 + 1);
            EXPECT_EQ(rec.srText, c.remaining[i]);
            EXPECT_EQ(rec.srPos, was * 10);
            EXPECT_EQ(rec.srOptions, was + 1);
            EXPECT_EQ(rec.state(), states[size_t(was)]);
        }
        EXPECT_EQ(form.tabs().pages()->currentIndex(), c.active);
        EXPECT_EQ(form.activeView(), form.tabAt(c.active).view);
        EXPECT_EQ(shownSearchText(form), c.remaining[c.active]);
        EXPECT_EQ(form.windowTitle(), c.remaining[c.active] + " - Ravelin Pro");
    }
}

TEST_F(TabsTest, CloseIgnoresIndexesOutsideTheTabs)
{
    MainWindow &form = makeForm();
    form.openFileTab(writeFile("a.log", "a\n"));
    form.closeTab(-1);
    form.closeTab(1);
    EXPECT_EQ(form.tabCount(), 1);
    form.acts().fileClose->trigger();
    EXPECT_EQ(form.tabCount(), 0);
    EXPECT_EQ(form.activeView(), nullptr);
    EXPECT_EQ(shownSearchText(form), QString());
}

TEST_F(TabsTest, ThreeHundredTabsAtMost)
{
    MainWindow &form = makeForm();
    const QString tiny = writeFile("tiny.log", "t\n");
    for (int i = 0; i < MainWindow::kMaxTabs; ++i)
        form.openFileTab(tiny);
    ASSERT_EQ(form.tabCount(), 300);
    ASSERT_TRUE(m_sink.messages().empty());

    form.openFileTab(writeFile("other.log", "o\n"));
    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_EQ(m_sink.messages()[0].text, "Too many files opened (300)");
    EXPECT_EQ(m_sink.messages()[0].caption, "Ravelin");
    EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Warning);
    EXPECT_EQ(form.tabCount(), 300);
    EXPECT_EQ(form.tabs().pages()->count(), 300);
    ASSERT_EQ(form.sessions().recentFiles().count(), 1) << "the recent list is unchanged";
    EXPECT_EQ(form.sessions().recentFiles().items()[0].path, tiny);
}

TEST_F(TabsTest, SameFileTwiceGivesIndependentTabs)
{
    MainWindow &form = makeForm();
    const QString path = writeFile("twice.log", QByteArray(5000, 'x'));
    form.openFileTab(path);
    form.openFileTab(path);
    ASSERT_EQ(form.tabCount(), 2);
    EXPECT_NE(form.tabAt(0).view, form.tabAt(1).view);
    form.tabAt(0).bookmarks[0] = 10;
    EXPECT_EQ(form.tabAt(1).bookmarks[0], Tab::kNoBookmark);
    EXPECT_EQ(form.sessions().recentFiles().count(), 1);
}

TEST_F(TabsTest, CaptionsAreShortenedOrPadded)
{
    struct Case
    {
        QString file;
        QString caption;
        QString tabText;
    };
    const Case cases[] = {
        {"application.log", "application.log", "  application.log  "},
        {"abcdefghijklmnopqrs", "abcdefghijklmnopqrs", "  abcdefghijklmnopqrs  "}, // 19
        {"abcdefghijklmnopqrst", "abcdefghijklmnopqrst", "abcdefghijklmnopqrst"},  // 20
        {"abcdefghijklmnopqrstuvwxy", "abcdefghijklmnopqrs…", "abcdefghijklmnopqrs…"},
        {"журнал-ошибок.log", "журнал-ошибок.log", "  журнал-ошибок.log  "},
    };
    MainWindow &form = makeForm();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        form.openFileTab(writeFile(c.file, "x\n"));
        const int last = form.tabCount() - 1;
        EXPECT_EQ(QString::fromUtf8(form.tabAt(last).caption), c.caption);
        EXPECT_EQ(form.tabs().pages()->tabText(last), c.tabText);
    }
}

TEST_F(TabsTest, MissingFileGetsAnEmptyTab)
{
    MainWindow &form = makeForm();
    const QString path = pathOf("missing.log");
    form.openFileTab(path);
    EXPECT_EQ(m_sink.texts(), QStringList({"Cannot open file: \"" + path + "\""}));
    ASSERT_EQ(form.tabCount(), 1);
    EXPECT_EQ(form.tabAt(0).fileName, path);
    EXPECT_TRUE(form.activeView()->waitingForFile()) << "the tab waits for the file";
    EXPECT_EQ(form.sessions().recentFiles().items()[0].path, path);

    // Reloading a tab whose file never opened beeps instead of failing.
    form.acts().fileReload->trigger();
    EXPECT_EQ(m_sink.messages().size(), 1u);
}

// A folder, a pipe, a device, a socket or a file that fails its first read:
// an empty tab and one message, never a wait, a Retry loop or a silent drop.
TEST_F(TabsTest, WhatCannotBeShownOpensAnEmptyTabWithOneMessage)
{
    const QString fifo = pathOf("pipe.log");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = pathOf("folder.log");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString socketPath = pathOf("socket.log");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketBytes = QFile::encodeName(socketPath);
    ASSERT_LT(size_t(socketBytes.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketBytes.constData(), size_t(socketBytes.size()));
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    const struct
    {
        const char *name;
        QString path;
    } cases[] = {
        {"pipe", fifo},
        {"folder", folder},
        {"device", "/dev/zero"},
        {"socket", socketPath},
        {"every read fails", "/proc/self/mem"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        MainWindow &form = makeForm();
        m_sink.clear();
        form.openFileTab(c.path);
        ASSERT_EQ(m_sink.messages().size(), 1u);
        EXPECT_EQ(m_sink.messages()[0].text, "Cannot open file: \"" + c.path + "\"");
        EXPECT_EQ(m_sink.messages()[0].buttons, MsgButtons::Ok);
        ASSERT_EQ(form.tabCount(), 1);
        EXPECT_FALSE(form.activeView()->document().sourceAssigned());
        EXPECT_EQ(form.sessions().recentFiles().items()[0].path, c.path);
        EXPECT_EQ(form.statusPanel(0)->text(), QString()) << "no size of what could not be opened";
        EXPECT_EQ(form.statusPanel(3)->text(), c.path);
    }
    ::close(sock);
}

TEST_F(TabsTest, AReadableButUnopenableFileOpensNoTab)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const QString locked = writeFile("locked.log", "secret\n");
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0), 0);
    MainWindow &form = makeForm();
    form.openFileTab(locked);
    EXPECT_EQ(m_sink.texts(), QStringList({"Cannot read file: \"" + locked + "\""}));
    EXPECT_EQ(form.tabCount(), 0);
    EXPECT_TRUE(form.sessions().recentFiles().isEmpty());
}

// Records the status bar as it is while each message is up.
class StatusAtMessageSink final : public MessageSink
{
public:
    StatusAtMessageSink() : m_previous(setMessageSink(this)) {}
    ~StatusAtMessageSink() override { setMessageSink(m_previous); }
    StatusAtMessageSink(const StatusAtMessageSink &) = delete;
    StatusAtMessageSink &operator=(const StatusAtMessageSink &) = delete;

    MsgResult show(const QString &, const QString &, MsgIcon, MsgButtons buttons) override
    {
        QStringList shown;
        for (int i = 0; form && i < MainWindow::kStatusPanels; ++i)
            shown << form->statusPanel(i)->text();
        panels << shown;
        return safeAnswer(buttons);
    }

    const MainWindow *form = nullptr;
    QList<QStringList> panels;

private:
    MessageSink *m_previous;
};

TEST_F(TabsTest, AFailedTabShowsItsOwnPathAndNoSize)
{
    const QString a = writeFile("a.log", "a\n");
    const QString missing = pathOf("missing.log");
    MainWindow &form = makeForm();
    form.openFileTab(a);
    ASSERT_EQ(form.statusPanel(0)->text(), "2 bytes");
    StatusAtMessageSink sink;
    sink.form = &form;
    for (const QString &path : {missing, QStringLiteral("/dev/zero")}) {
        SCOPED_TRACE(path.toStdString());
        sink.panels.clear();
        form.openFileTab(path);
        ASSERT_EQ(sink.panels.size(), 1);
        // The message comes over the new tab, not over the one before it.
        EXPECT_EQ(sink.panels[0][0], QString());
        EXPECT_EQ(sink.panels[0][1], QString());
        // A missing file is waited for, and the panel says so.
        EXPECT_EQ(sink.panels[0][3],
                  path == missing ? "Deleted; waiting for it to appear again: " + path : path);
    }
    form.tabs().pages()->setCurrentIndex(0);
    EXPECT_EQ(form.statusPanel(0)->text(), "2 bytes");
    EXPECT_EQ(form.statusPanel(3)->text(), a);
    form.tabs().pages()->setCurrentIndex(1);
    EXPECT_EQ(form.statusPanel(0)->text(), QString());
    EXPECT_EQ(form.statusPanel(3)->text(), "Deleted; waiting for it to appear again: " + missing);
}

TEST_F(TabsTest, StartUpShowsOneMessageForAllFilesThatFail)
{
    const QString a = writeFile("a.log", "a\n");
    const QString gone1 = pathOf("gone1.log");
    const QString gone2 = pathOf("gone2.log");
    MainWindow &form = makeForm(parseCommandLine({gone1, a, "/dev/zero", gone2}));
    showForm(form);
    EXPECT_EQ(form.tabCount(), 4);
    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_EQ(m_sink.messages()[0].text, "Some files could not be opened:\n"
                                         "Cannot open file: \"" +
                                             gone1 +
                                             "\"\n"
                                             "Cannot open file: \"/dev/zero\"\n"
                                             "Cannot open file: \"" +
                                             gone2 + "\"");
    EXPECT_EQ(m_sink.messages()[0].caption, "Ravelin");
    EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Warning);
}

TEST_F(TabsTest, RelativeNamesAreStoredAbsolute)
{
    const QString path = writeFile("rel.log", "x\n");
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    MainWindow &form = makeForm();
    form.openFileTab("./sub/../rel.log");
    QDir::setCurrent(saved);
    ASSERT_EQ(form.tabCount(), 1);
    EXPECT_EQ(form.tabAt(0).fileName, path);
    EXPECT_EQ(form.sessions().recentFiles().items()[0].path, path);
}

TEST_F(TabsTest, ByteOrderMarkChoosesUtf16)
{
    struct Case
    {
        const char *name;
        QByteArray data;
        quint8 order;
    };
    const Case cases[] = {
        {"le.log", QByteArray("\xFF\xFEh\0i\0", 6), unicodeOrderLittle},
        {"be.log", QByteArray("\xFE\xFF\0h\0i", 6), unicodeOrderBig},
    };
    MainWindow &form = makeForm();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        form.openFileTab(writeFile(c.name, c.data));
        LogView *view = form.activeView();
        EXPECT_EQ(view->document().mode(), vbmodeUnicode);
        EXPECT_EQ(view->document().unicodeOrder(), c.order);
        const bool big = c.order == unicodeOrderBig;
        EXPECT_EQ(form.acts().encodingUtf16->isChecked(), !big);
        EXPECT_EQ(form.acts().encodingUtf16Be->isChecked(), big);
        EXPECT_FALSE(form.acts().encodingMenu->isEnabled());
    }
}

TEST_F(TabsTest, EncodingIsRememberedPerRecentFile)
{
    struct Case
    {
        const char *item;
        EncodingArg code;
        ViewMode mode;
        EncodingArg textEncoding;
        quint8 order;
    };
    const Case cases[] = {
        {"encodingDos", 1, vbmodeText, 1, 0},
        {"encodingUtf8", 130, vbmodeText, 130, 0},
        {"encodingUtf16", encodingUtf16LE, vbmodeUnicode, 0, unicodeOrderLittle},
        {"encodingUtf16Be", encodingUtf16BE, vbmodeUnicode, 0, unicodeOrderBig},
        {"encodingSystem", 0, vbmodeText, 0, 0},
    };
    MainWindow &form = makeForm();
    const QString path = writeFile("enc.log", "caf\xc3\xa9\n");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.item);
        form.openFileTab(path);
        form.findChild<QAction *>(c.item)->trigger();
        EXPECT_EQ(form.sessions().recentFiles().items()[0].encoding, c.code);
        for (QAction *item :
             {form.acts().encodingSystem, form.acts().encodingDos, form.acts().encodingUtf8,
              form.acts().encodingUtf16, form.acts().encodingUtf16Be})
            EXPECT_EQ(item->isChecked(), item->objectName() == c.item);

        form.closeAllTabs();
        form.acts().recentFiles[0]->trigger();
        LogView *view = form.activeView();
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->document().mode(), c.mode);
        if (c.mode == vbmodeText)
            EXPECT_EQ(view->document().textEncoding, c.textEncoding);
        else
            EXPECT_EQ(view->document().unicodeOrder(), c.order);
        form.closeAllTabs();
    }
}

TEST_F(TabsTest, StoredEncodingCodesAreChecked)
{
    struct Case
    {
        const char *code;
        ViewMode mode;
        EncodingArg textEncoding;
    };
    const Case cases[] = {
        {"130", vbmodeText, 130}, {"-2", vbmodeUnicode, 0},
        {"131", vbmodeText, 131}, {"132", vbmodeText, 0}, // past the list
        {"-3", vbmodeText, 0},                            // no such UTF-16 code
        {"junk", vbmodeText, 0},                          // unreadable number
    };
    const QString path = writeFile("stored.log", "x\n");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        writeSettings("[OpenHistory]\n0=" + path.toUtf8() + "\n0enc=" + c.code + "\n");
        MainWindow &form = makeForm();
        form.openFileTab(path);
        EXPECT_EQ(form.activeView()->document().mode(), c.mode);
        EXPECT_EQ(form.activeView()->document().textEncoding, c.textEncoding);
        EXPECT_TRUE(m_sink.messages().empty());
    }
}

TEST_F(TabsTest, MarkWinsOverTheStoredEncoding)
{
    const QString path = writeFile("marked.log", QByteArray("\xFF\xFEh\0", 4));
    writeSettings("[OpenHistory]\n0=" + path.toUtf8() + "\n0enc=130\n");
    MainWindow &form = makeForm();
    form.openFileTab(path);
    EXPECT_EQ(form.activeView()->document().mode(), vbmodeUnicode);
}

TEST_F(TabsTest, CommandLineOpensFilesButNotOptions)
{
    const QString a = writeFile("a.log", "a\n");
    const QString b = writeFile("b.log", "b\n");
    // The last run left a tab; with a command line it is not reopened.
    writeSettings("[Opt]\nReopen=1\n[Save]\nNum=1\n1=" + b.toUtf8() + "\n");

    MainWindow &form = makeForm(parseCommandLine({"-x", a}));
    EXPECT_EQ(form.tabCount(), 0) << "files open when the window is shown";
    showForm(form);
    ASSERT_EQ(form.tabCount(), 1);
    EXPECT_EQ(form.tabAt(0).fileName, a);
    EXPECT_EQ(m_sink.texts(),
              QStringList({"Command line param specified - skipping reopening last logs"}));
    EXPECT_EQ(m_sink.messages()[0].caption, "Ravelin Pro");
}

// `ravelin a.log b.log` leaves a.log behind b.log, never shown.
TEST_F(TabsTest, ABackgroundTabFollowsTheTailLikeAShownOne)
{
    QByteArray text;
    const auto line = [](int i) { return "line" + QByteArray::number(i).rightJustified(3, '0'); };
    for (int i = 1; i <= 3; ++i)
        text += line(i) + '\n';
    const QString a = writeFile("a.log", text);
    const QString b = writeFile("b.log", "b\n");
    MainWindow &form = makeForm(parseCommandLine({a, b}));
    form.resize(700, 500);
    showForm(form);
    ASSERT_EQ(form.tabCount(), 2);
    ASSERT_EQ(form.tabs().pages()->currentIndex(), 1);
    QApplication::processEvents();
    LogView *view = form.tabAt(0).view;
    ASSERT_FALSE(view->isVisible());

    for (int i = 4; i <= 120; ++i) {
        QFile file(a);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(line(i) + '\n');
        file.close();
        ASSERT_TRUE(waitUntil([&] { return view->document().fileSize() == file.size(); }));
    }
    form.tabs().pages()->setCurrentIndex(0);
    QApplication::processEvents();
    ASSERT_TRUE(view->isVisible());
    EXPECT_TRUE(view->viewAtEnd());
    const DrawnLines &drawn = view->strPositions();
    ASSERT_GT(drawn.count(), 1);
    EXPECT_EQ(drawn.at(drawn.count() - 1).str, QString::fromLatin1(line(120)));
    EXPECT_EQ(drawn.count(), view->visibleLines()) << "the end sits on the bottom row";
}

TEST_F(TabsTest, AnOptionAloneStillSkipsTheReopen)
{
    const QString b = writeFile("b.log", "b\n");
    writeSettings("[Opt]\nReopen=1\n[Save]\nNum=1\n1=" + b.toUtf8() + "\n");
    MainWindow &form = makeForm(parseCommandLine({"-x"}));
    showForm(form);
    EXPECT_EQ(form.tabCount(), 0);
}

TEST_F(TabsTest, LastLogsReopenWithTheirCaptions)
{
    const QString a = writeFile("a.log", "a\n");
    const QString b = writeFile("b.log", "b\n");
    writeSettings("[Opt]\nReopen=1\n[Save]\nNum=3\n1=" + a.toUtf8() +
                  "\n1tab=Front end\n2=\n3=" + b.toUtf8() + "\n");
    MainWindow &form = makeForm();
    showForm(form);
    ASSERT_EQ(form.tabCount(), 2);
    EXPECT_EQ(form.tabAt(0).caption, "Front end");
    EXPECT_EQ(form.tabs().pages()->tabText(0), "Front end");
    EXPECT_EQ(form.tabs().pages()->tabText(1), "  b.log  ");
    EXPECT_EQ(form.tabs().pages()->currentIndex(), 1);
    EXPECT_TRUE(m_sink.messages().empty());
}

TEST_F(TabsTest, OpenDialogStartsInTheActiveFilesFolder)
{
    MainWindow &form = makeForm();
    const QString path = writeFile("a.log", "a\n");
    QStringList startDirs;
    QStringList answer{path};
    form.chooseFileToOpen = [&](const QString &startDir, const QString &) {
        startDirs << startDir;
        return answer;
    };
    form.acts().fileOpen->trigger();
    form.acts().fileOpen->trigger();
    answer.clear(); // cancelled
    form.acts().fileOpen->trigger();
    EXPECT_EQ(startDirs, QStringList({"", m_dir.path(), m_dir.path()}));
    EXPECT_EQ(form.tabCount(), 2);
}

// Several files at once; "All files" first where the folder holds no .log
// file (syslog, messages, *.1), the log filter where it does.
TEST_F(TabsTest, OpenDialogTakesSeveralFilesAndFitsItsFilterToTheFolder)
{
    MainWindow &form = makeForm();
    QDir(m_dir.path()).mkdir("var");
    const QString syslog = writeFile("var/syslog", "s\n");
    const QString rotated = writeFile("var/syslog.1", "r\n");
    const QString log = writeFile("app.log", "a\n");
    QStringList filters;
    QStringList answer{log};
    form.chooseFileToOpen = [&](const QString &, const QString &filter) {
        filters << filter.section(QLatin1Char(' '), 0, 1);
        return answer;
    };
    form.acts().fileOpen->trigger(); // from app.log's folder next time
    answer = {syslog, rotated};
    form.acts().fileOpen->trigger();
    ASSERT_EQ(form.tabCount(), 3);
    EXPECT_EQ(form.tabAt(1).fileName, syslog);
    EXPECT_EQ(form.tabAt(2).fileName, rotated);
    answer = {};
    form.acts().fileOpen->trigger(); // from var, which holds no .log
    EXPECT_EQ(filters.mid(1), QStringList({"Log files", "All files"}));
}

TEST_F(TabsTest, DroppedFilesOpenInOrder)
{
    MainWindow &form = makeForm();
    QList<QUrl> urls;
    for (const char *name : {"one.log", "two.log", "three.log"})
        urls << QUrl::fromLocalFile(writeFile(name, "x\n"));
    urls << QUrl("https://example.org/not-a-file.log");
    QMimeData data;
    data.setUrls(urls);
    // A drop reaches only the widget that accepted the drag when it entered.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    EXPECT_EQ(form.tabCount(), 0) << "the files open once the drop is over";
    QCoreApplication::processEvents();
    ASSERT_EQ(form.tabCount(), 3);
    EXPECT_EQ(form.tabAt(0).fileName, pathOf("one.log"));
    EXPECT_EQ(form.tabAt(1).fileName, pathOf("two.log"));
    EXPECT_EQ(form.tabAt(2).fileName, pathOf("three.log"));
}

// A file manager that is told "move" may delete the log once it is dropped.
TEST_F(TabsTest, DropsAreTakenAsCopiesNeverAsMoves)
{
    struct Case
    {
        const char *name;
        Qt::DropActions offered;
        bool accepted;
        Qt::DropAction taken;
    };
    const Case cases[] = {
        {"copy, move and link offered", Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, true,
         Qt::CopyAction},
        {"move and link offered", Qt::MoveAction | Qt::LinkAction, true, Qt::LinkAction},
        {"only move offered", Qt::MoveAction, false, Qt::IgnoreAction},
    };
    const QString a = writeFile("a.log", "a\n");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MainWindow &form = makeForm();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(a)});
        // Shift asks for a move wherever one is offered.
        QDragEnterEvent enter(QPoint(10, 10), c.offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        ASSERT_EQ(enter.proposedAction(), Qt::MoveAction);
        QApplication::sendEvent(&form, &enter);
        QDragMoveEvent move(QPoint(20, 20), c.offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(&form, &move);
        QDropEvent drop(QPointF(20, 20), c.offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(&form, &drop);
        for (const QDropEvent *event :
             {static_cast<QDropEvent *>(&enter), static_cast<QDropEvent *>(&move), &drop}) {
            EXPECT_EQ(event->isAccepted(), c.accepted);
            if (c.accepted) {
                EXPECT_EQ(event->dropAction(), c.taken);
            }
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(form.tabCount(), c.accepted ? 1 : 0);
    }
}

// A Linux file name is bytes; "bad\xFFname.log" is no UTF-8. Whatever way it
// comes, the tab shows that very file, and the settings keep its bytes.
TEST_F(TabsTest, NamesThatAreNotUtf8OpenAndAreSavedAsTheirBytes)
{
    const QByteArray raw = QFile::encodeName(m_dir.path()) + "/bad\xFFname.log";
    const QByteArray content = "bytes\n";
    {
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
        ::close(fd);
    }
    const QString name = fileNameFromBytes(raw);
    const QString shown = m_dir.path() + "/bad" + QChar(QChar::ReplacementCharacter) + "name.log";
    writeFile("s.ravelin-session", "[Tabs]\nNum=1\n0=" + raw + "\n");
    // As a drag source sends it; QUrl would read %FF as U+FFFD.
    const QByteArray uriList = "file://" + raw.toPercentEncoding("/") + "\r\n";

    struct Case
    {
        const char *name;
        QByteArray settings;
        std::function<void(MainWindow &)> open;
    };
    const Case cases[] = {
        {"command line", "", [](MainWindow &) {}},
        {"drop", "",
         [&](MainWindow &form) {
             QMimeData data;
             data.setData("text/uri-list", uriList);
             QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                                   Qt::NoModifier);
             QApplication::sendEvent(&form, &enter);
             QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                             Qt::NoModifier);
             QApplication::sendEvent(&form, &drop);
             QCoreApplication::processEvents();
         }},
        {"open dialog, which shows the name with U+FFFD", "",
         [&](MainWindow &form) {
             form.chooseFileToOpen = [&](const QString &, const QString &) {
                 return QStringList{shown};
             };
             form.acts().fileOpen->trigger();
         }},
        {"session", "", [&](MainWindow &form) { form.openSession(pathOf("s.ravelin-session")); }},
        {"last logs", "[Opt]\nReopen=1\n[Save]\nNum=1\n1=" + raw + "\n", [](MainWindow &) {}},
        {"recent files", "[OpenHistory]\n0=" + raw + "\n",
         [&](MainWindow &form) { form.acts().recentFiles[0]->trigger(); }},
    };
    // Each way on its own: a failed check ends only that case.
    const auto check = [&](const Case &c) {
        writeSettings(c.settings);
        m_sink.clear();
        const bool commandLine = std::string_view(c.name) == "command line";
        MainWindow &form = makeForm(commandLine ? parseCommandLine({name}) : CommandLine{});
        showForm(form);
        c.open(form);
        EXPECT_EQ(m_sink.texts(), QStringList());
        ASSERT_EQ(form.tabCount(), 1);
        EXPECT_EQ(fileNameToBytes(form.tabAt(0).fileName), raw);
        ASSERT_TRUE(form.activeView()->document().sourceAssigned());
        EXPECT_EQ(form.activeView()->document().fileSize(), content.size());
        EXPECT_EQ(form.tabs().pages()->tabText(0),
                  "  bad" + QString(QChar::ReplacementCharacter) + "name.log  ");
        EXPECT_EQ(form.statusPanel(3)->text(), shown);
        EXPECT_TRUE(form.windowTitle().endsWith("bad" + QString(QChar::ReplacementCharacter) +
                                                "name.log - Ravelin Pro"));
        QListWidget list;
        form.tabs().fillList(&list);
        ASSERT_EQ(list.count(), 1);
        EXPECT_EQ(list.item(0)->text(),
                  "bad" + QString(QChar::ReplacementCharacter) + "name.log   [" + shown + "]")
            << "the tabs order list";
        ASSERT_TRUE(form.saveSession(pathOf("saved.ravelin-session")));
        ASSERT_TRUE(form.close());
        const QByteArray settings = readFile(settingsPath());
        EXPECT_TRUE(settings.contains("\n1=" + raw + "\n")) << "[Save]";
        EXPECT_TRUE(settings.contains("\n0=" + raw + "\n")) << "[OpenHistory]";
        EXPECT_TRUE(readFile(pathOf("saved.ravelin-session")).contains("\n0=" + raw + "\n"));
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        check(c);
        m_form.reset();
    }
}

TEST_F(TabsTest, ManyTabsNeverWidenTheWindow)
{
    for (const char *mline : {"MLine=1", "MLine=0"}) {
        SCOPED_TRACE(mline);
        writeSettings(QByteArray("[Opt]\n") + mline + "\n");
        MainWindow &form = makeForm();
        const QString path = writeFile("a-rather-long-name.log", "x\n");
        for (int i = 0; i < 60; ++i)
            form.openFileTab(path);
        EXPECT_LE(form.minimumSizeHint().width(), 664);
    }
}

// Records, for every message, whether the main window was on the screen.
class WindowShownSink final : public MessageSink
{
public:
    explicit WindowShownSink(const QWidget *&window)
        : m_window(window), m_previous(setMessageSink(this))
    {}
    ~WindowShownSink() override { setMessageSink(m_previous); }
    WindowShownSink(const WindowShownSink &) = delete;
    WindowShownSink &operator=(const WindowShownSink &) = delete;

    MsgResult show(const QString &, const QString &text, MsgIcon, MsgButtons buttons) override
    {
        const QWindow *native = m_window ? m_window->windowHandle() : nullptr;
        texts << text;
        shown.push_back(native && native->isVisible());
        return safeAnswer(buttons);
    }

    QStringList texts;
    std::vector<bool> shown;

private:
    const QWidget *&m_window;
    MessageSink *m_previous;
};

TEST_F(TabsTest, StartMessagesComeOnceTheWindowIsShown)
{
    struct Case
    {
        const char *name;
        QByteArray settings;
        QStringList arguments;
        QString message;
    };
    const QString a = writeFile("a.log", "a\n");
    const QString missing = pathOf("missing.log");
    QStringList tooMany;
    for (int i = 0; i <= MainWindow::kMaxTabs; ++i)
        tooMany << a;
    const Case cases[] = {
        {"missing file", "", {missing}, "Cannot open file: \"" + missing + "\""},
        {"reopen notice",
         "[Opt]\nReopen=1\n[Save]\nNum=1\n1=" + a.toUtf8() + "\n",
         {a},
         "Command line param specified - skipping reopening last logs"},
        {"too many files", "", tooMany, "Too many files opened (300)"},
        {"missing last log",
         "[Opt]\nReopen=1\n[Save]\nNum=1\n1=" + missing.toUtf8() + "\n",
         {},
         "Cannot open file: \"" + missing + "\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(c.settings);
        const QWidget *window = nullptr;
        WindowShownSink sink(window);
        MainWindow &form = makeForm(parseCommandLine(c.arguments));
        window = &form;
        showForm(form);
        ASSERT_EQ(sink.texts, QStringList({c.message}));
        EXPECT_TRUE(sink.shown[0]);
        m_form.reset();
    }
}

TEST_F(TabsTest, MessagesGoOverTheMainWindowBeforeItIsActive)
{
    MainWindow &form = makeForm();
    EXPECT_EQ(messageOwner(), nullptr) << "no window shown yet";
    showForm(form);
    QApplication::setActiveWindow(nullptr);
    EXPECT_EQ(messageOwner(), &form);
}

TEST_F(TabsTest, AViewerCallbackMayCloseItsOwnTab)
{
    writeSettings("[Opt]\nReloadTime=0\n");
    const QString path = writeFile("grows.log", "first\n");
    MainWindow &form = makeForm();
    form.openFileTab(path);
    form.openFileTab(writeFile("other.log", "other\n"));
    QPointer<LogView> view = form.tabAt(0).view;
    QObject::connect(view, &LogView::fileReloaded, [&form] { form.closeTab(0); });

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("second line, a reload\n");
    file.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.tabCount() == 1; }, 5000));
    EXPECT_EQ(form.tabAt(0).fileName, pathOf("other.log"));
    EXPECT_EQ(form.activeView(), form.tabAt(0).view);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(view.isNull()) << "the closed tab's viewer is gone once control is back";
}

// `journalctl | ravelin`: the stream is spooled into a tab of its own that
// follows it, is never remembered as a file, and takes its spool with it.
TEST_F(TabsTest, AStreamIsSpooledIntoATabOfItsOwn)
{
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(pathOf("cache")));
    MainWindow &form = makeForm();
    showForm(form);
    form.openFileTab(writeFile("plain.log", "plain\n"));
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    form.openStreamTab(UniqueFd(fds[0]), "stdin");
    ASSERT_EQ(form.tabCount(), 2);
    const Tab &rec = form.tabAt(1);
    EXPECT_EQ(rec.caption, "stdin");
    EXPECT_TRUE(rec.spooled);
    const QString spool = rec.fileName;
    EXPECT_TRUE(spool.startsWith(pathOf("cache/ravelin/"))) << qPrintable(spool);
    LogView *view = rec.view;
    const auto last = [view] {
        const DrawnLines &drawn = view->strPositions();
        return drawn.count() > 0 ? drawn.at(drawn.count() - 1).str : QString();
    };

    ASSERT_EQ(::write(fds[1], "first\nsecond\n", 13), 13);
    EXPECT_TRUE(waitUntil([&] { return last() == "second"; })) << qPrintable(last());
    ASSERT_EQ(::write(fds[1], "third\n", 6), 6);
    EXPECT_TRUE(waitUntil([&] { return last() == "third"; })) << "followed as it grows";
    EXPECT_FALSE(form.acts().clearLog->isEnabled()) << "a spool is not cleared under its writer";
    form.updateAll();
    EXPECT_EQ(form.statusPanel(3)->text(), "stdin (spooled to " + spool + ")");

    for (const RecentFile &item : form.sessions().recentFiles().items())
        EXPECT_NE(item.path, spool) << "never in the recent list";
    Sessions sessions;
    const QString session = pathOf("s.ravelin-session");
    ASSERT_TRUE(sessions.save(session, form.tabs().records(), 1));
    SessionData stored;
    ASSERT_TRUE(Sessions::read(session, stored));
    ASSERT_EQ(stored.tabs.size(), 1u) << "only the file";
    EXPECT_EQ(stored.tabs[0].path, pathOf("plain.log"));
    EXPECT_EQ(stored.active, 0);

    form.closeTab(1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(QFile::exists(spool)) << "the spool goes with its tab";
    std::signal(SIGPIPE, SIG_IGN);
    EXPECT_EQ(::write(fds[1], "x", 1), -1) << "and the writer learns that nobody reads";
    ::close(fds[1]);
    qputenv("XDG_CACHE_HOME", oldCache);
}

// A command's output is followed as it comes; its errors and its end are told
// in the status bar; one that fails without output leaves no empty tab.
TEST_F(TabsTest, ACommandsOutputIsFollowedAndItsEndTold)
{
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(pathOf("cache")));
    MainWindow &form = makeForm();
    showForm(form);
    // Every message, as one may follow another before a check looks.
    QStringList messages;
    QObject::connect(form.statusBar(), &QStatusBar::messageChanged,
                     [&messages](const QString &text) { messages << text; });
    const QString command =
        QStringLiteral("printf 'one\\ntwo\\n'; echo 'a warning' >&2; sleep 0.3; echo three");
    form.openCommandTab(command);
    ASSERT_EQ(form.tabCount(), 1);
    EXPECT_EQ(form.tabAt(0).command, command);
    EXPECT_EQ(form.tabAt(0).caption, "printf 'one\\ntwo\\n'; ec\u2026") << "the start of it";
    EXPECT_TRUE(form.tabAt(0).spooled);
    LogView *view = form.tabAt(0).view;
    const auto last = [view] {
        const DrawnLines &drawn = view->strPositions();
        return drawn.count() > 0 ? drawn.at(drawn.count() - 1).str : QString();
    };
    // On a slow machine "three" may already be there: "two" is then above it.
    EXPECT_TRUE(waitUntil([&] { return last() == "two" || last() == "three"; }))
        << qPrintable(last());
    EXPECT_TRUE(waitUntil([&] { return last() == "three"; })) << qPrintable(last());
    const DrawnLines &drawn = view->strPositions();
    ASSERT_GE(drawn.count(), 3);
    EXPECT_EQ(drawn.at(drawn.count() - 2).str, "two");
    EXPECT_TRUE(waitUntil([&] {
        return form.statusBar()->currentMessage().endsWith("exited with status 0");
    })) << qPrintable(form.statusBar()->currentMessage());
    EXPECT_FALSE(messages.filter("a warning").isEmpty()) << qPrintable(messages.join(u'\n'));

    m_sink.clear();
    form.openCommandTab(QStringLiteral("no-such-command-here"));
    EXPECT_TRUE(waitUntil([&] { return form.tabCount() == 1; })) << "no tab full of nothing";
    ASSERT_EQ(m_sink.texts().size(), 1);
    EXPECT_TRUE(m_sink.texts()[0].startsWith(
        "The command \"no-such-command-here\" exited with status 127."));
    EXPECT_TRUE(m_sink.texts()[0].contains("not found"));
    qputenv("XDG_CACHE_HOME", oldCache);
}

// A compressed log opens by its first bytes: gzip read where it lies, the
// other formats decompressed into the cache folder as they come; it is
// remembered as the compressed file; a cut archive shows what decoded and
// says that it stopped.
TEST_F(TabsTest, ACompressedLogOpensDecompressed)
{
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(pathOf("cache")));
    QByteArray text;
    for (int i = 1; i <= 5000; ++i)
        text += "2026-12-09 10:30:15 INFO request " + QByteArray::number(i) + " served\n";
    const QString plain = writeFile("syslog.2", text);
    ASSERT_EQ(QProcess::execute(QStringLiteral("gzip"), {QStringLiteral("-k"), plain}), 0);
    const QString gz = plain + QStringLiteral(".gz");
    QFile archive(gz);
    ASSERT_TRUE(archive.open(QIODevice::ReadOnly));
    const QByteArray whole = archive.readAll();
    const QString cut = writeFile("cut.log.gz", whole.left(whole.size() / 2));
    const QString fake = writeFile("plain.gz", "not compressed at all\n");

    ASSERT_EQ(QProcess::execute(QStringLiteral("zstd"),
                                {QStringLiteral("-q"), QStringLiteral("-k"), plain}),
              0);
    const QString zst = plain + QStringLiteral(".zst");

    MainWindow &form = makeForm();
    showForm(form);
    // A gzip file is read where it lies: a file tab of its own name.
    form.openFileTab(gz);
    ASSERT_EQ(form.tabCount(), 1);
    const Tab &rec = form.tabAt(0);
    EXPECT_EQ(rec.fileName, gz);
    EXPECT_FALSE(rec.spooled);
    EXPECT_EQ(rec.caption, TabSet::pathCaption(gz));
    LogView *view = rec.view;
    EXPECT_TRUE(waitUntil([&] { return view->document().fileSize() == text.size(); }));
    EXPECT_EQ(form.sessions().recentFiles().items().front().path, gz);
    EXPECT_FALSE(form.acts().clearLog->isEnabled()) << "the archive is not a log to empty";

    form.openFileTab(fake);
    ASSERT_EQ(form.tabCount(), 2);
    EXPECT_EQ(form.tabAt(1).view->compressedIndex(), nullptr) << "plain text named .gz";
    EXPECT_EQ(form.tabAt(1).view->document().fileSize(), 22);
    EXPECT_TRUE(form.acts().clearLog->isEnabled());

    m_sink.clear();
    form.openFileTab(cut);
    ASSERT_EQ(form.tabCount(), 3);
    LogView *partial = form.tabAt(2).view;
    EXPECT_TRUE(waitUntil([&] { return !m_sink.messages().empty(); }));
    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_TRUE(m_sink.messages()[0].text.contains("damaged or cut short"))
        << qPrintable(m_sink.messages()[0].text);
    EXPECT_GT(partial->document().fileSize(), 0) << "what decoded is shown";
    EXPECT_LT(partial->document().fileSize(), text.size());
    EXPECT_TRUE(QDir(pathOf("cache/ravelin")).isEmpty()) << "nothing expanded onto the disk";

    // A format without our index goes through its tool into a spool.
    form.openFileTab(zst);
    ASSERT_EQ(form.tabCount(), 4);
    EXPECT_EQ(form.tabAt(3).source, zst);
    EXPECT_TRUE(form.tabAt(3).spooled);
    LogView *spooled = form.tabAt(3).view;
    EXPECT_TRUE(waitUntil([&] { return spooled->document().fileSize() == text.size(); }));

    Sessions sessions;
    const QString session = pathOf("s.ravelin-session");
    ASSERT_TRUE(sessions.save(session, form.tabs().records(), 0));
    SessionData stored;
    ASSERT_TRUE(Sessions::read(session, stored));
    ASSERT_EQ(stored.tabs.size(), 4u);
    EXPECT_EQ(stored.tabs[0].path, gz);
    EXPECT_EQ(stored.tabs[3].path, zst) << "the compressed file, not its spool";
    EXPECT_TRUE(stored.tabs[3].caption.isEmpty());
    qputenv("XDG_CACHE_HOME", oldCache);
}

// Ctrl+PgDn/PgUp and Ctrl+Tab/Ctrl+Shift+Tab go round the tabs; Ctrl+Shift+T
// opens the last closed tab again, with its caption.
TEST_F(TabsTest, KeysGoRoundTheTabsAndReopenTheLastClosed)
{
    MainWindow &form = makeForm();
    showForm(form);
    QApplication::setActiveWindow(&form);
    const QString a = writeFile("a.log", "a\n");
    const QString b = writeFile("b.log", "b\n");
    const QString c = writeFile("c.log", "c\n");
    for (const QString &path : {a, b, c})
        form.openFileTab(path);
    ASSERT_EQ(form.tabs().activeIndex(), 2);
    const struct
    {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int expected;
    } steps[] = {
        {Qt::Key_PageDown, Qt::ControlModifier, 0}, // round from the last
        {Qt::Key_Tab, Qt::ControlModifier, 1},
        {Qt::Key_PageUp, Qt::ControlModifier, 0},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 2},
    };
    for (const auto &s : steps) {
        QTest::keyClick(form.activeView(), s.key, s.modifiers);
        EXPECT_EQ(form.tabs().activeIndex(), s.expected)
            << QKeySequence(s.key | s.modifiers).toString().toStdString();
    }

    form.tabAt(1).caption = "mine";
    form.closeTab(1);
    form.closeTab(0);
    ASSERT_EQ(form.tabCount(), 1);
    QTest::keyClick(form.activeView(), Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(form.tabCount(), 2);
    EXPECT_EQ(form.tabAt(1).fileName, a) << "the last closed first";
    QTest::keyClick(form.activeView(), Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(form.tabCount(), 3);
    EXPECT_EQ(form.tabAt(2).fileName, b);
    EXPECT_EQ(form.tabAt(2).caption, "mine");
    QTest::keyClick(form.activeView(), Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form.tabCount(), 3) << "nothing more was closed";
}

} // namespace
