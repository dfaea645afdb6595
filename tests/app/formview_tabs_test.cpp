// Tabs: opening (checks, messages, captions, encodings), closing and the
// ways files arrive (command line, open dialog, drop).
#include "formfixture.h"

#include "app/shellmessages.h"
#include "viewer/qzbinhex.h"
#include "text/fproc.h"
#include "watch/qzfilenotificationsimple.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QDropEvent>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QPointer>
#include <QTabWidget>
#include <QTest>
#include <QUrl>
#include <QWindow>

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

TEST_F(TabsTest, ClosingMovesTheLaterRecordsDown)
{
    struct Case
    {
        const char *Name;
        int Close;
        QStringList Remaining;
        int Active; // index of the page active afterwards
    };
    const Case cases[] = {
        {"first", 0, {"b.log", "c.log"}, 0},
        {"middle", 1, {"a.log", "c.log"}, 1},
        {"last", 2, {"a.log", "b.log"}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        TFormView &form = MakeForm();
        const QStringList names{"a.log", "b.log", "c.log"};
        for (int i = 0; i < names.size(); ++i) {
            form.OpenFileTab(WriteFile(names[i], names[i].toUtf8() + "\n"));
            TRec &rec = form.Rec(i);
            rec.Bookmarks = {i * 100, i * 100 + 1, TRec::kNoBookmark};
            rec.SRText = names[i];
            rec.SRPos = i * 10;
            rec.SROptions = quint8(i + 1);
        }

        std::vector<TTabState> states;
        for (int i = 0; i < form.RecCount(); ++i)
            states.push_back(form.Rec(i).State());

        form.CloseTab(c.Close);
        form.UpdateAll();

        ASSERT_EQ(form.RecCount(), 2);
        ASSERT_EQ(form.Pages()->count(), 2);
        for (int i = 0; i < 2; ++i) {
            const TRec &rec = form.Rec(i);
            const int was = int(names.indexOf(c.Remaining[i]));
            EXPECT_EQ(rec.FileName, PathOf(c.Remaining[i]));
            EXPECT_EQ(rec.View->FileName(), PathOf(c.Remaining[i]));
            EXPECT_EQ(form.Pages()->widget(i), rec.Sheet);
            EXPECT_EQ(form.Pages()->tabText(i), "  " + c.Remaining[i] + "  ");
            EXPECT_EQ(rec.Bookmarks[0], was * 100);
            EXPECT_EQ(rec.Bookmarks[1], was * 100 + 1);
            EXPECT_EQ(rec.SRText, c.Remaining[i]);
            EXPECT_EQ(rec.SRPos, was * 10);
            EXPECT_EQ(rec.SROptions, was + 1);
            EXPECT_EQ(rec.State(), states[size_t(was)]);
        }
        EXPECT_EQ(form.Pages()->currentIndex(), c.Active);
        EXPECT_EQ(form.ActiveView(), form.Rec(c.Active).View);
        EXPECT_EQ(form.GetSRText(), c.Remaining[c.Active]);
        EXPECT_EQ(form.windowTitle(), c.Remaining[c.Active] + " - Ravelin Pro");
    }
}

TEST_F(TabsTest, CloseIgnoresIndexesOutsideTheTabs)
{
    TFormView &form = MakeForm();
    form.OpenFileTab(WriteFile("a.log", "a\n"));
    form.CloseTab(-1);
    form.CloseTab(1);
    EXPECT_EQ(form.RecCount(), 1);
    form.Acts().acFileClose->trigger();
    EXPECT_EQ(form.RecCount(), 0);
    EXPECT_EQ(form.ActiveView(), nullptr);
    EXPECT_EQ(form.GetSRText(), QString());
}

TEST_F(TabsTest, ThreeHundredTabsAtMost)
{
    TFormView &form = MakeForm();
    const QString tiny = WriteFile("tiny.log", "t\n");
    for (int i = 0; i < TFormView::kMaxTabs; ++i)
        form.OpenFileTab(tiny);
    ASSERT_EQ(form.RecCount(), 300);
    ASSERT_TRUE(m_sink.Messages().empty());

    form.OpenFileTab(WriteFile("other.log", "o\n"));
    ASSERT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_EQ(m_sink.Messages()[0].Text, "Too many files opened (300)");
    EXPECT_EQ(m_sink.Messages()[0].Caption, "Ravelin");
    EXPECT_EQ(m_sink.Messages()[0].Icon, MsgIcon::Warning);
    EXPECT_EQ(form.RecCount(), 300);
    EXPECT_EQ(form.Pages()->count(), 300);
    ASSERT_EQ(form.OpenHistory().Count(), 1) << "the recent list is unchanged";
    EXPECT_EQ(form.OpenHistory().Items()[0].Path, tiny);
}

TEST_F(TabsTest, SameFileTwiceGivesIndependentTabs)
{
    TFormView &form = MakeForm();
    const QString path = WriteFile("twice.log", QByteArray(5000, 'x'));
    form.OpenFileTab(path);
    form.OpenFileTab(path);
    ASSERT_EQ(form.RecCount(), 2);
    EXPECT_NE(form.Rec(0).View, form.Rec(1).View);
    form.Rec(0).Bookmarks[0] = 10;
    EXPECT_EQ(form.Rec(1).Bookmarks[0], TRec::kNoBookmark);
    EXPECT_EQ(form.OpenHistory().Count(), 1);
}

TEST_F(TabsTest, CaptionsAreShortenedOrPadded)
{
    struct Case
    {
        QString File;
        QString Caption;
        QString TabText;
    };
    const Case cases[] = {
        {"application.log", "application.log", "  application.log  "},
        {"abcdefghijklmnopqrs", "abcdefghijklmnopqrs", "  abcdefghijklmnopqrs  "}, // 19
        {"abcdefghijklmnopqrst", "abcdefghijklmnopqrst", "abcdefghijklmnopqrst"},  // 20
        {"abcdefghijklmnopqrstuvwxy", "abcdefghijklmnopqrs…", "abcdefghijklmnopqrs…"},
        {"журнал-ошибок.log", "журнал-ошибок.log", "  журнал-ошибок.log  "},
    };
    TFormView &form = MakeForm();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.File.toStdString());
        form.OpenFileTab(WriteFile(c.File, "x\n"));
        const int last = form.RecCount() - 1;
        EXPECT_EQ(QString::fromUtf8(form.Rec(last).Caption), c.Caption);
        EXPECT_EQ(form.Pages()->tabText(last), c.TabText);
    }
}

TEST_F(TabsTest, MissingFileGetsAnEmptyTab)
{
    TFormView &form = MakeForm();
    const QString path = PathOf("missing.log");
    form.OpenFileTab(path);
    EXPECT_EQ(m_sink.Texts(), QStringList({"Cannot open file: \"" + path + "\""}));
    ASSERT_EQ(form.RecCount(), 1);
    EXPECT_EQ(form.Rec(0).FileName, path);
    EXPECT_TRUE(form.ActiveView()->WaitingForFile()) << "the tab waits for the file";
    EXPECT_EQ(form.OpenHistory().Items()[0].Path, path);

    // Reloading a tab whose file never opened beeps instead of failing.
    form.Acts().acFileReload->trigger();
    EXPECT_EQ(m_sink.Messages().size(), 1u);
}

// A folder, a pipe, a device, a socket or a file that fails its first read:
// an empty tab and one message, never a wait, a Retry loop or a silent drop.
TEST_F(TabsTest, WhatCannotBeShownOpensAnEmptyTabWithOneMessage)
{
    const QString fifo = PathOf("pipe.log");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = PathOf("folder.log");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString socketPath = PathOf("socket.log");
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
        const char *Name;
        QString Path;
    } cases[] = {
        {"pipe", fifo},
        {"folder", folder},
        {"device", "/dev/zero"},
        {"socket", socketPath},
        {"every read fails", "/proc/self/mem"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TFormView &form = MakeForm();
        m_sink.Clear();
        form.OpenFileTab(c.Path);
        ASSERT_EQ(m_sink.Messages().size(), 1u);
        EXPECT_EQ(m_sink.Messages()[0].Text, "Cannot open file: \"" + c.Path + "\"");
        EXPECT_EQ(m_sink.Messages()[0].Buttons, MsgButtons::Ok);
        ASSERT_EQ(form.RecCount(), 1);
        EXPECT_FALSE(form.ActiveView()->SourceAssigned());
        EXPECT_EQ(form.OpenHistory().Items()[0].Path, c.Path);
        EXPECT_EQ(form.StatusPanel(0)->text(), QString()) << "no size of what could not be opened";
        EXPECT_EQ(form.StatusPanel(3)->text(), c.Path);
    }
    ::close(sock);
}

TEST_F(TabsTest, AReadableButUnopenableFileOpensNoTab)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const QString locked = WriteFile("locked.log", "secret\n");
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0), 0);
    TFormView &form = MakeForm();
    form.OpenFileTab(locked);
    EXPECT_EQ(m_sink.Texts(), QStringList({"Cannot read file: \"" + locked + "\""}));
    EXPECT_EQ(form.RecCount(), 0);
    EXPECT_TRUE(form.OpenHistory().IsEmpty());
}

// Records the status bar as it is while each message is up.
class StatusAtMessageSink final : public MessageSink
{
public:
    StatusAtMessageSink() : m_previous(SetMessageSink(this)) {}
    ~StatusAtMessageSink() override { SetMessageSink(m_previous); }
    StatusAtMessageSink(const StatusAtMessageSink &) = delete;
    StatusAtMessageSink &operator=(const StatusAtMessageSink &) = delete;

    MsgResult Show(const QString &, const QString &, MsgIcon, MsgButtons buttons) override
    {
        QStringList panels;
        for (int i = 0; form && i < TFormView::kStatusPanels; ++i)
            panels << form->StatusPanel(i)->text();
        Panels << panels;
        return SafeAnswer(buttons);
    }

    const TFormView *form = nullptr;
    QList<QStringList> Panels;

private:
    MessageSink *m_previous;
};

TEST_F(TabsTest, AFailedTabShowsItsOwnPathAndNoSize)
{
    const QString a = WriteFile("a.log", "a\n");
    const QString missing = PathOf("missing.log");
    TFormView &form = MakeForm();
    form.OpenFileTab(a);
    ASSERT_EQ(form.StatusPanel(0)->text(), "2 bytes");
    StatusAtMessageSink sink;
    sink.form = &form;
    for (const QString &path : {missing, QStringLiteral("/dev/zero")}) {
        SCOPED_TRACE(path.toStdString());
        sink.Panels.clear();
        form.OpenFileTab(path);
        ASSERT_EQ(sink.Panels.size(), 1);
        // The message comes over the new tab, not over the one before it.
        EXPECT_EQ(sink.Panels[0][0], QString());
        EXPECT_EQ(sink.Panels[0][1], QString());
        // A missing file is waited for, and the panel says so.
        EXPECT_EQ(sink.Panels[0][3],
                  path == missing ? "Deleted; waiting for it to appear again: " + path : path);
    }
    form.Pages()->setCurrentIndex(0);
    EXPECT_EQ(form.StatusPanel(0)->text(), "2 bytes");
    EXPECT_EQ(form.StatusPanel(3)->text(), a);
    form.Pages()->setCurrentIndex(1);
    EXPECT_EQ(form.StatusPanel(0)->text(), QString());
    EXPECT_EQ(form.StatusPanel(3)->text(), "Deleted; waiting for it to appear again: " + missing);
}

TEST_F(TabsTest, StartUpShowsOneMessageForAllFilesThatFail)
{
    const QString a = WriteFile("a.log", "a\n");
    const QString gone1 = PathOf("gone1.log");
    const QString gone2 = PathOf("gone2.log");
    TFormView &form = MakeForm(ParseCommandLine({gone1, a, "/dev/zero", gone2}));
    ShowForm(form);
    EXPECT_EQ(form.RecCount(), 4);
    ASSERT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_EQ(m_sink.Messages()[0].Text, "Some files could not be opened:\n"
                                         "Cannot open file: \"" +
                                             gone1 +
                                             "\"\n"
                                             "Cannot open file: \"/dev/zero\"\n"
                                             "Cannot open file: \"" +
                                             gone2 + "\"");
    EXPECT_EQ(m_sink.Messages()[0].Caption, "Ravelin");
    EXPECT_EQ(m_sink.Messages()[0].Icon, MsgIcon::Warning);
}

TEST_F(TabsTest, RelativeNamesAreStoredAbsolute)
{
    const QString path = WriteFile("rel.log", "x\n");
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    TFormView &form = MakeForm();
    form.OpenFileTab("./sub/../rel.log");
    QDir::setCurrent(saved);
    ASSERT_EQ(form.RecCount(), 1);
    EXPECT_EQ(form.Rec(0).FileName, path);
    EXPECT_EQ(form.OpenHistory().Items()[0].Path, path);
}

TEST_F(TabsTest, ByteOrderMarkChoosesUtf16)
{
    struct Case
    {
        const char *Name;
        QByteArray Data;
        quint8 Order;
    };
    const Case cases[] = {
        {"le.log", QByteArray("\xFF\xFEh\0i\0", 6), UnicodeOrderLittle},
        {"be.log", QByteArray("\xFE\xFF\0h\0i", 6), UnicodeOrderBig},
    };
    TFormView &form = MakeForm();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        form.OpenFileTab(WriteFile(c.Name, c.Data));
        TQzBinHex *view = form.ActiveView();
        EXPECT_EQ(view->Mode(), vbmodeUnicode);
        EXPECT_EQ(view->UnicodeOrder(), c.Order);
        const bool big = c.Order == UnicodeOrderBig;
        EXPECT_EQ(form.Acts().mnuEncUTF16->isChecked(), !big);
        EXPECT_EQ(form.Acts().mnuEncUTF16BE->isChecked(), big);
        EXPECT_FALSE(form.Acts().mnuEncMenu->isEnabled());
    }
}

TEST_F(TabsTest, EncodingIsRememberedPerRecentFile)
{
    struct Case
    {
        const char *Item;
        int Code;
        TQzBinHexMode Mode;
        int TextEncoding;
        quint8 Order;
    };
    const Case cases[] = {
        {"mnuEncOEM", 1, vbmodeText, 1, 0},
        {"mnuEncUTF8", 130, vbmodeText, 130, 0},
        {"mnuEncUTF16", -1, vbmodeUnicode, 0, UnicodeOrderLittle},
        {"mnuEncUTF16BE", -2, vbmodeUnicode, 0, UnicodeOrderBig},
        {"mnuEncANSI", 0, vbmodeText, 0, 0},
    };
    TFormView &form = MakeForm();
    const QString path = WriteFile("enc.log", "caf\xc3\xa9\n");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Item);
        form.OpenFileTab(path);
        form.findChild<QAction *>(c.Item)->trigger();
        EXPECT_EQ(form.OpenHistory().Items()[0].Encoding, c.Code);
        for (QAction *item : {form.Acts().mnuEncANSI, form.Acts().mnuEncOEM, form.Acts().mnuEncUTF8,
                              form.Acts().mnuEncUTF16, form.Acts().mnuEncUTF16BE})
            EXPECT_EQ(item->isChecked(), item->objectName() == c.Item);

        form.CloseAllTabs();
        form.Acts().mnuRec[0]->trigger();
        TQzBinHex *view = form.ActiveView();
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->Mode(), c.Mode);
        if (c.Mode == vbmodeText)
            EXPECT_EQ(view->TextEncoding(), c.TextEncoding);
        else
            EXPECT_EQ(view->UnicodeOrder(), c.Order);
        form.CloseAllTabs();
    }
}

TEST_F(TabsTest, StoredEncodingCodesAreChecked)
{
    struct Case
    {
        const char *Code;
        TQzBinHexMode Mode;
        int TextEncoding;
    };
    const Case cases[] = {
        {"130", vbmodeText, 130}, {"-2", vbmodeUnicode, 0},
        {"131", vbmodeText, 131}, {"132", vbmodeText, 0}, // past the list
        {"-3", vbmodeText, 0},                            // no such UTF-16 code
        {"junk", vbmodeText, 0},                          // unreadable number
    };
    const QString path = WriteFile("stored.log", "x\n");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Code);
        WriteSettings("[OpenHistory]\n0=" + path.toUtf8() + "\n0enc=" + c.Code + "\n");
        TFormView &form = MakeForm();
        form.OpenFileTab(path);
        EXPECT_EQ(form.ActiveView()->Mode(), c.Mode);
        EXPECT_EQ(form.ActiveView()->TextEncoding(), c.TextEncoding);
        EXPECT_TRUE(m_sink.Messages().empty());
    }
}

TEST_F(TabsTest, MarkWinsOverTheStoredEncoding)
{
    const QString path = WriteFile("marked.log", QByteArray("\xFF\xFEh\0", 4));
    WriteSettings("[OpenHistory]\n0=" + path.toUtf8() + "\n0enc=130\n");
    TFormView &form = MakeForm();
    form.OpenFileTab(path);
    EXPECT_EQ(form.ActiveView()->Mode(), vbmodeUnicode);
}

TEST_F(TabsTest, CommandLineOpensFilesButNotOptions)
{
    const QString a = WriteFile("a.log", "a\n");
    const QString b = WriteFile("b.log", "b\n");
    // The last run left a tab; with a command line it is not reopened.
    WriteSettings("[Opt]\nReopen=1\n[Save]\nNum=1\n1=" + b.toUtf8() + "\n");

    TFormView &form = MakeForm(ParseCommandLine({"-x", a}));
    EXPECT_EQ(form.RecCount(), 0) << "files open when the window is shown";
    ShowForm(form);
    ASSERT_EQ(form.RecCount(), 1);
    EXPECT_EQ(form.Rec(0).FileName, a);
    EXPECT_EQ(m_sink.Texts(),
              QStringList({"Command line param specified - skipping reopening last logs"}));
    EXPECT_EQ(m_sink.Messages()[0].Caption, "Ravelin Pro");
}

// `ravelin a.log b.log` leaves a.log behind b.log, never shown.
TEST_F(TabsTest, ABackgroundTabFollowsTheTailLikeAShownOne)
{
    QByteArray text;
    const auto line = [](int i) { return "line" + QByteArray::number(i).rightJustified(3, '0'); };
    for (int i = 1; i <= 3; ++i)
        text += line(i) + '\n';
    const QString a = WriteFile("a.log", text);
    const QString b = WriteFile("b.log", "b\n");
    TFormView &form = MakeForm(ParseCommandLine({a, b}));
    form.resize(700, 500);
    ShowForm(form);
    ASSERT_EQ(form.RecCount(), 2);
    ASSERT_EQ(form.Pages()->currentIndex(), 1);
    QApplication::processEvents();
    TQzBinHex *view = form.Rec(0).View;
    ASSERT_FALSE(view->isVisible());

    for (int i = 4; i <= 120; ++i) {
        QFile file(a);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(line(i) + '\n');
        file.close();
        view->SimpleNotifier()->Poll();
    }
    form.Pages()->setCurrentIndex(0);
    QApplication::processEvents();
    ASSERT_TRUE(view->isVisible());
    EXPECT_TRUE(view->ViewAtEnd());
    const TStrPositions &drawn = view->StrPositions();
    ASSERT_GT(drawn.Count(), 1);
    EXPECT_EQ(drawn.At(drawn.Count() - 1).Str, QString::fromLatin1(line(120)));
    EXPECT_EQ(drawn.Count(), view->VisibleLines()) << "the end sits on the bottom row";
}

TEST_F(TabsTest, AnOptionAloneStillSkipsTheReopen)
{
    const QString b = WriteFile("b.log", "b\n");
    WriteSettings("[Opt]\nReopen=1\n[Save]\nNum=1\n1=" + b.toUtf8() + "\n");
    TFormView &form = MakeForm(ParseCommandLine({"-x"}));
    ShowForm(form);
    EXPECT_EQ(form.RecCount(), 0);
}

TEST_F(TabsTest, LastLogsReopenWithTheirCaptions)
{
    const QString a = WriteFile("a.log", "a\n");
    const QString b = WriteFile("b.log", "b\n");
    WriteSettings("[Opt]\nReopen=1\n[Save]\nNum=3\n1=" + a.toUtf8() +
                  "\n1tab=Front end\n2=\n3=" + b.toUtf8() + "\n");
    TFormView &form = MakeForm();
    ShowForm(form);
    ASSERT_EQ(form.RecCount(), 2);
    EXPECT_EQ(form.Rec(0).Caption, "Front end");
    EXPECT_EQ(form.Pages()->tabText(0), "Front end");
    EXPECT_EQ(form.Pages()->tabText(1), "  b.log  ");
    EXPECT_EQ(form.Pages()->currentIndex(), 1);
    EXPECT_TRUE(m_sink.Messages().empty());
}

TEST_F(TabsTest, OpenDialogStartsInTheActiveFilesFolder)
{
    TFormView &form = MakeForm();
    const QString path = WriteFile("a.log", "a\n");
    QStringList startDirs;
    QString answer = path;
    form.ChooseFileToOpen = [&](const QString &startDir) {
        startDirs << startDir;
        return answer;
    };
    form.Acts().acFileOpen->trigger();
    form.Acts().acFileOpen->trigger();
    answer.clear(); // cancelled
    form.Acts().acFileOpen->trigger();
    EXPECT_EQ(startDirs, QStringList({"", m_dir.path(), m_dir.path()}));
    EXPECT_EQ(form.RecCount(), 2);
}

TEST_F(TabsTest, DroppedFilesOpenInOrder)
{
    TFormView &form = MakeForm();
    QList<QUrl> urls;
    for (const char *name : {"one.log", "two.log", "three.log"})
        urls << QUrl::fromLocalFile(WriteFile(name, "x\n"));
    urls << QUrl("https://example.org/not-a-file.log");
    QMimeData data;
    data.setUrls(urls);
    // A drop reaches only the widget that accepted the drag when it entered.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    EXPECT_EQ(form.RecCount(), 0) << "the files open once the drop is over";
    QCoreApplication::processEvents();
    ASSERT_EQ(form.RecCount(), 3);
    EXPECT_EQ(form.Rec(0).FileName, PathOf("one.log"));
    EXPECT_EQ(form.Rec(1).FileName, PathOf("two.log"));
    EXPECT_EQ(form.Rec(2).FileName, PathOf("three.log"));
}

// A file manager that is told "move" may delete the log once it is dropped.
TEST_F(TabsTest, DropsAreTakenAsCopiesNeverAsMoves)
{
    struct Case
    {
        const char *Name;
        Qt::DropActions Offered;
        bool Accepted;
        Qt::DropAction Taken;
    };
    const Case cases[] = {
        {"copy, move and link offered", Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, true,
         Qt::CopyAction},
        {"move and link offered", Qt::MoveAction | Qt::LinkAction, true, Qt::LinkAction},
        {"only move offered", Qt::MoveAction, false, Qt::IgnoreAction},
    };
    const QString a = WriteFile("a.log", "a\n");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        TFormView &form = MakeForm();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(a)});
        // Shift asks for a move wherever one is offered.
        QDragEnterEvent enter(QPoint(10, 10), c.Offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        ASSERT_EQ(enter.proposedAction(), Qt::MoveAction);
        QApplication::sendEvent(&form, &enter);
        QDragMoveEvent move(QPoint(20, 20), c.Offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(&form, &move);
        QDropEvent drop(QPointF(20, 20), c.Offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(&form, &drop);
        for (const QDropEvent *event :
             {static_cast<QDropEvent *>(&enter), static_cast<QDropEvent *>(&move), &drop}) {
            EXPECT_EQ(event->isAccepted(), c.Accepted);
            if (c.Accepted) {
                EXPECT_EQ(event->dropAction(), c.Taken);
            }
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(form.RecCount(), c.Accepted ? 1 : 0);
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
    const QString name = FileNameFromBytes(raw);
    const QString shown = m_dir.path() + "/bad" + QChar(QChar::ReplacementCharacter) + "name.log";
    WriteFile("s.ravelin-session", "[Tabs]\nNum=1\n0=" + raw + "\n");
    // As a drag source sends it; QUrl would read %FF as U+FFFD.
    const QByteArray uriList = "file://" + raw.toPercentEncoding("/") + "\r\n";

    struct Case
    {
        const char *Name;
        QByteArray Settings;
        std::function<void(TFormView &)> Open;
    };
    const Case cases[] = {
        {"command line", "", [](TFormView &) {}},
        {"drop", "",
         [&](TFormView &form) {
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
         [&](TFormView &form) {
             form.ChooseFileToOpen = [&](const QString &) { return shown; };
             form.Acts().acFileOpen->trigger();
         }},
        {"session", "", [&](TFormView &form) { form.OpenSession(PathOf("s.ravelin-session")); }},
        {"last logs", "[Opt]\nReopen=1\n[Save]\nNum=1\n1=" + raw + "\n", [](TFormView &) {}},
        {"recent files", "[OpenHistory]\n0=" + raw + "\n",
         [&](TFormView &form) { form.mnuRec1Click(0); }},
    };
    // Each way on its own: a failed check ends only that case.
    const auto check = [&](const Case &c) {
        WriteSettings(c.Settings);
        m_sink.Clear();
        const bool commandLine = std::string_view(c.Name) == "command line";
        TFormView &form = MakeForm(commandLine ? ParseCommandLine({name}) : CommandLine{});
        ShowForm(form);
        c.Open(form);
        EXPECT_EQ(m_sink.Texts(), QStringList());
        ASSERT_EQ(form.RecCount(), 1);
        EXPECT_EQ(FileNameToBytes(form.Rec(0).FileName), raw);
        ASSERT_TRUE(form.ActiveView()->SourceAssigned());
        EXPECT_EQ(form.ActiveView()->FileSize(), content.size());
        EXPECT_EQ(form.Pages()->tabText(0),
                  "  bad" + QString(QChar::ReplacementCharacter) + "name.log  ");
        EXPECT_EQ(form.StatusPanel(3)->text(), shown);
        EXPECT_TRUE(form.windowTitle().endsWith("bad" + QString(QChar::ReplacementCharacter) +
                                                "name.log - Ravelin Pro"));
        QListWidget list;
        form.FillTabList(&list);
        ASSERT_EQ(list.count(), 1);
        EXPECT_EQ(list.item(0)->text(),
                  "bad" + QString(QChar::ReplacementCharacter) + "name.log   [" + shown + "]")
            << "the tabs order list";
        ASSERT_TRUE(form.SaveSession(PathOf("saved.ravelin-session")));
        ASSERT_TRUE(form.close());
        const QByteArray settings = ReadFile(SettingsPath());
        EXPECT_TRUE(settings.contains("\n1=" + raw + "\n")) << "[Save]";
        EXPECT_TRUE(settings.contains("\n0=" + raw + "\n")) << "[OpenHistory]";
        EXPECT_TRUE(ReadFile(PathOf("saved.ravelin-session")).contains("\n0=" + raw + "\n"));
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        check(c);
        m_form.reset();
    }
}

TEST_F(TabsTest, ManyTabsNeverWidenTheWindow)
{
    for (const char *mline : {"MLine=1", "MLine=0"}) {
        SCOPED_TRACE(mline);
        WriteSettings(QByteArray("[Opt]\n") + mline + "\n");
        TFormView &form = MakeForm();
        const QString path = WriteFile("a-rather-long-name.log", "x\n");
        for (int i = 0; i < 60; ++i)
            form.OpenFileTab(path);
        EXPECT_LE(form.minimumSizeHint().width(), 664);
    }
}

// Records, for every message, whether the main window was on the screen.
class WindowShownSink final : public MessageSink
{
public:
    explicit WindowShownSink(const QWidget *&window)
        : m_window(window), m_previous(SetMessageSink(this))
    {}
    ~WindowShownSink() override { SetMessageSink(m_previous); }
    WindowShownSink(const WindowShownSink &) = delete;
    WindowShownSink &operator=(const WindowShownSink &) = delete;

    MsgResult Show(const QString &, const QString &text, MsgIcon, MsgButtons buttons) override
    {
        const QWindow *native = m_window ? m_window->windowHandle() : nullptr;
        Texts << text;
        Shown.push_back(native && native->isVisible());
        return SafeAnswer(buttons);
    }

    QStringList Texts;
    std::vector<bool> Shown;

private:
    const QWidget *&m_window;
    MessageSink *m_previous;
};

TEST_F(TabsTest, StartMessagesComeOnceTheWindowIsShown)
{
    struct Case
    {
        const char *Name;
        QByteArray Settings;
        QStringList Arguments;
        QString Message;
    };
    const QString a = WriteFile("a.log", "a\n");
    const QString missing = PathOf("missing.log");
    QStringList tooMany;
    for (int i = 0; i <= TFormView::kMaxTabs; ++i)
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
        SCOPED_TRACE(c.Name);
        WriteSettings(c.Settings);
        const QWidget *window = nullptr;
        WindowShownSink sink(window);
        TFormView &form = MakeForm(ParseCommandLine(c.Arguments));
        window = &form;
        ShowForm(form);
        ASSERT_EQ(sink.Texts, QStringList({c.Message}));
        EXPECT_TRUE(sink.Shown[0]);
        m_form.reset();
    }
}

TEST_F(TabsTest, MessagesGoOverTheMainWindowBeforeItIsActive)
{
    TFormView &form = MakeForm();
    EXPECT_EQ(MessageOwner(), nullptr) << "no window shown yet";
    ShowForm(form);
    QApplication::setActiveWindow(nullptr);
    EXPECT_EQ(MessageOwner(), &form);
}

TEST_F(TabsTest, AViewerCallbackMayCloseItsOwnTab)
{
    WriteSettings("[Opt]\nReloadTime=0\n");
    const QString path = WriteFile("grows.log", "first\n");
    TFormView &form = MakeForm();
    form.OpenFileTab(path);
    form.OpenFileTab(WriteFile("other.log", "other\n"));
    QPointer<TQzBinHex> view = form.Rec(0).View;
    view->OnFileReload = [&form](TQzBinHex *) { form.CloseTab(0); };

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("second line, a reload\n");
    file.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.RecCount() == 1; }, 5000));
    EXPECT_EQ(form.Rec(0).FileName, PathOf("other.log"));
    EXPECT_EQ(form.ActiveView(), form.Rec(0).View);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(view.isNull()) << "the closed tab's viewer is gone once control is back";
}

} // namespace
