// Finding text from the main window: the find dialog's round trip, "Find
// next" and "Find previous", the tab's last match, the search errors and the
// "go to next" window.
#include "formfixture.h"
#include "tooltiptext.h"
#include "common/encodingarg.h"

#include "app/searchprogresswindow.h"
#include "app/finddialog.h"
#include "app/rulebuttonpanel.h"
#include "app/gotonextwindow.h"
#include "app/shellmessages.h"
#include "search/streamsearch.h"
#include "text/guard.h"
#include "viewer/documentsearch.h"
#include "viewer/logview.h"
#include "common/viewoption.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <map>
#include <new>

namespace {

const QByteArray kLog = "start\n"
                        "one needle here\n"  // 6
                        "two\n"              // 22
                        "three needle\n"     // 26
                        "four Needle four\n" // 39
                        "end\n";
constexpr qint64 kFirst = 10, kSecond = 32, kThird = 44;

class SearchTest : public FormFixture
{
protected:
    MainWindow &openLog(const QByteArray &bytes = kLog)
    {
        MainWindow &form = makeForm();
        form.openFileTab(writeFile(QStringLiteral("app.log"), bytes));
        EXPECT_EQ(form.tabCount(), 1);
        return form;
    }

    // Answers the find dialog: edit is run on it, then it is accepted.
    void answerDialog(MainWindow &form, std::function<void(FindDialog &)> edit, bool accept = true)
    {
        form.runFindDialog = [this, edit, accept](FindDialog &dialog) {
            ++m_dialogs;
            dialog.show(); // the show enforces the permissions
            if (edit)
                edit(dialog);
            dialog.hide();
            return accept;
        };
    }

    static void find(MainWindow &form, const QString &text)
    {
        form.setFind([&] {
            FindState find = form.findState();
            find.findText = text;
            return find;
        }());
    }

    // Waits until no search runs: each ends by a signal.
    static void settle(MainWindow &form)
    {
        EXPECT_TRUE(QTest::qWaitFor([&form] { return !form.findProgress()->running(); }, 120000))
            << "the search never ended";
    }

    QStringList searchErrors() const
    {
        QStringList texts;
        for (const auto &message : m_sink.messages()) {
            EXPECT_EQ(message.caption, "Search error");
            EXPECT_EQ(message.icon, MsgIcon::Warning);
            texts << message.text;
        }
        return texts;
    }

    int m_dialogs = 0;
};

// Runs an action shortly after each show of a window, from the event loop
// that showed it, and counts the shows.
class OnShow final : public QObject
{
public:
    OnShow(QWidget *window, std::function<void()> action) : m_action(std::move(action))
    {
        window->installEventFilter(this);
    }
    int shows = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            ++shows;
            if (m_action)
                QTimer::singleShot(50, this, m_action);
        }
        return false;
    }

private:
    std::function<void()> m_action;
};

// head, then zeros up to 10 GiB, then "needle": a step that leaves the head
// runs long enough to be cancelled, and one that is not cancelled ends on
// the last needle.
QString writeHugeLog(const QString &path, const QByteArray &head = {})
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    EXPECT_EQ(file.write(head), head.size());
    EXPECT_TRUE(file.resize((qint64(10) << 30) - 6));
    EXPECT_TRUE(file.seek(file.size()));
    EXPECT_EQ(file.write("needle"), 6);
    return path;
}

TEST_F(SearchTest, FindDialogSearchesSelectsAndKeepsTheMatchInTheTab)
{
    MainWindow &form = openLog();
    answerDialog(form, [](FindDialog &dialog) {
        EXPECT_TRUE(dialog.chkRegex->isEnabled()) << "an ANSI view takes regular expressions";
        dialog.edText->setEditText(QStringLiteral("needle"));
        dialog.chkCase->setChecked(true);
    });
    form.acts().find->trigger();
    settle(form);

    EXPECT_EQ(m_dialogs, 1);
    EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join('|').toStdString();
    const Tab &rec = form.tabAt(0);
    EXPECT_EQ(rec.view->selStart(), kFirst);
    EXPECT_EQ(rec.view->selLength(), 6);
    EXPECT_EQ(rec.srText, "needle");
    EXPECT_EQ(rec.srPos, kFirst);
    EXPECT_EQ(rec.srOptions, quint8(soCaseSensitive));
    EXPECT_EQ(form.findState().findText, "needle");
    EXPECT_TRUE(form.findState().findCase);
    EXPECT_EQ(form.findState().findHistory, QStringList{"needle"});

    // F3 steps on in the same tab; case-sensitive, so "Needle" is passed over.
    form.acts().findNext->trigger();
    settle(form);
    EXPECT_EQ(rec.view->selStart(), kSecond);
    EXPECT_EQ(rec.srPos, kSecond);
    form.acts().findNext->trigger();
    settle(form);
    EXPECT_EQ(searchErrors(), QStringList{"Cannot find text: \"needle\""});
    EXPECT_EQ(rec.view->selStart(), kSecond) << "a failed search keeps the selection";
    EXPECT_EQ(rec.srPos, kSecond) << "and the tab's last match";
    EXPECT_EQ(m_dialogs, 1);
}

TEST_F(SearchTest, TheMatchIsScrolledIntoViewBelowTheIndent)
{
    // 2000 lines of 10 bytes; line 1500 holds the text far to the right,
    // within one screen line (300 characters at most by default).
    QByteArray bytes;
    for (int i = 1; i <= 2000; ++i)
        bytes += i == 1500 ? QByteArray(120, 'x') + "needle" + QByteArray(170, 'y') + "\n"
                           : "line " + QByteArray::number(i).rightJustified(4, '0') + "\n";
    const qint64 line1500 = 1499 * 10;
    MainWindow &form = makeForm();
    form.resize(800, 600);
    showForm(form);
    form.openFileTab(writeFile(QStringLiteral("wide.log"), bytes));
    LogView *view = form.tabAt(0).view;
    for (const int indent : {5, 0}) {
        SCOPED_TRACE(indent);
        setOption(*view, &ViewOptions::textSearchIndentVert, indent);
        setOption(*view, &ViewOptions::textSearchIndentHorz, indent);
        view->scrollTo(0);
        view->setHViewPos(0, true);
        answerDialog(form, [](FindDialog &d) { d.edText->setEditText("needle"); });
        form.showFindDialog();
        settle(form);
        ASSERT_EQ(view->selStart(), line1500 + 120);
        EXPECT_EQ(view->viewPos(), line1500 - indent * 10);
        EXPECT_EQ(view->hViewPos(), (120 - indent) * view->charWidth());
    }
}

TEST_F(SearchTest, DialogFlagsGoIntoTheSearchAndBackIntoTheNextDialog)
{
    MainWindow &form = openLog();
    answerDialog(form, [](FindDialog &dialog) {
        dialog.edText->setEditText(QStringLiteral("NEEDLE"));
        dialog.chkDirBackward->setChecked(true);
        dialog.chkWords->setChecked(true);
    });
    form.showFindDialog();
    settle(form);
    // Backward over the entire file starts at its end; caseless.
    EXPECT_EQ(form.tabAt(0).view->selStart(), kThird);
    EXPECT_EQ(form.tabAt(0).srOptions, quint8(soBackward | soWholeWords));

    answerDialog(
        form,
        [](FindDialog &dialog) {
            EXPECT_EQ(dialog.edText->currentText(), "NEEDLE");
            EXPECT_EQ(dialog.edText->count(), 1);
            EXPECT_TRUE(dialog.chkDirBackward->isChecked());
            EXPECT_FALSE(dialog.chkDirForward->isChecked());
            EXPECT_TRUE(dialog.chkWords->isChecked());
            EXPECT_TRUE(dialog.chkOriginEntire->isChecked());
        },
        false);
    form.showFindDialog();
    settle(form);
    EXPECT_EQ(m_dialogs, 2);
}

TEST_F(SearchTest, CancelledOrEmptyDialogSearchesNothing)
{
    for (const bool accept : {false, true}) {
        SCOPED_TRACE(accept ? "empty text" : "cancelled");
        MainWindow &form = openLog();
        find(form, "needle");
        answerDialog(
            form,
            [accept](FindDialog &dialog) {
                dialog.edText->setEditText(accept ? QString() : QStringLiteral("x"));
            },
            accept);
        form.showFindDialog();
        settle(form);
        EXPECT_EQ(form.findState().findText, "needle");
        EXPECT_TRUE(form.findState().findHistory.isEmpty());
        EXPECT_FALSE(form.tabAt(0).view->search().started());
        EXPECT_TRUE(m_sink.messages().empty());
    }
}

TEST_F(SearchTest, FindNextInATabNeverSearchedOpensTheDialog)
{
    MainWindow &form = openLog();
    answerDialog(form, nullptr, false);
    form.acts().findNext->trigger();
    settle(form);
    EXPECT_EQ(m_dialogs, 1);
}

TEST_F(SearchTest, FindPreviousStepsBack)
{
    MainWindow &form = openLog();
    answerDialog(form, [](FindDialog &d) { d.edText->setEditText("needle"); });
    form.showFindDialog();
    settle(form);
    form.runFindNext(false);
    settle(form);
    form.runFindNext(false);
    settle(form);
    ASSERT_EQ(form.tabAt(0).view->selStart(), kThird);
    form.acts().findPrevious->trigger();
    settle(form);
    EXPECT_EQ(form.tabAt(0).view->selStart(), kSecond);
    EXPECT_EQ(form.tabAt(0).srOptions, 0) << "the tab keeps the search's own direction";
}

TEST_F(SearchTest, FindNextAfterAReloadGoesOnFromTheLastMatch)
{
    const qint64 late = qint64(kLog.size()) + 5;
    struct Case
    {
        const char *name;
        bool backward;
        std::vector<qint64> before, after; // matches by F3; -1: none
    };
    const Case cases[] = {
        {"forward", false, {kFirst, kSecond}, {kThird, late}},
        // Backward the search must not be stood on the match before the last.
        {"backward", true, {kThird, kSecond}, {kFirst, -1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_sink.clear();
        MainWindow &form = openLog();
        answerDialog(form, [&c](FindDialog &d) {
            d.edText->setEditText("needle");
            d.chkDirBackward->setChecked(c.backward);
        });
        form.showFindDialog();
        settle(form);
        LogView *view = form.tabAt(0).view;
        ASSERT_EQ(view->selStart(), c.before[0]);
        form.runFindNext(false);
        settle(form);
        ASSERT_EQ(view->selStart(), c.before[1]);

        // The log grows and the viewer reopens it: its search ends.
        QFile file(pathOf("app.log"));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("late needle\n");
        file.close();
        view->reload();
        ASSERT_FALSE(view->search().started());

        form.runFindNext(false);
        settle(form);
        EXPECT_EQ(view->selStart(), c.after[0]) << "continued after the last match";
        EXPECT_TRUE(m_sink.messages().empty());
        form.runFindNext(false);
        settle(form);
        if (c.after[1] >= 0) {
            EXPECT_EQ(view->selStart(), c.after[1]) << "and into the new lines";
            EXPECT_TRUE(m_sink.messages().empty());
        } else {
            EXPECT_EQ(searchErrors(), QStringList{"Cannot find text: \"needle\""});
            EXPECT_EQ(view->selStart(), c.after[0]);
        }
    }
}

TEST_F(SearchTest, FindNextAfterAReloadSearchesTheLastTextAskedFor)
{
    const QByteArray bytes = "start\nrequest status=Error\nend\n";
    MainWindow &form = openLog(bytes);
    for (const char *text : {"status=Error", "MAGIC2"}) {
        answerDialog(form, [text](FindDialog &d) { d.edText->setEditText(text); });
        form.acts().find->trigger();
        settle(form);
    }
    EXPECT_EQ(searchErrors(), QStringList{"Cannot find text: \"MAGIC2\""});
    EXPECT_EQ(form.tabAt(0).srText, "MAGIC2") << "a miss is what was asked for last all the same";

    QFile file(pathOf("app.log"));
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("MAGIC2 here\n");
    file.close();
    LogView *view = form.tabAt(0).view;
    view->reload();
    m_sink.clear();
    form.acts().findNext->trigger();
    settle(form);
    EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join('|').toStdString();
    EXPECT_EQ(view->selStart(), bytes.size());
    EXPECT_EQ(view->selLength(), 6);
    EXPECT_EQ(m_dialogs, 2);
}

// 3000 lines; "error" in lines 100, 500, 900, 2000 and 2500, each time in
// another letter case.
struct MarkedLog
{
    QByteArray bytes;
    std::map<int, qint64> at; // line → offset of its "error"
};

MarkedLog fiveErrors()
{
    const std::map<int, QByteArray> marks = {
        {100, "error"}, {500, "ERROR"}, {900, "Error"}, {2000, "eRRoR"}, {2500, "ErrOR"}};
    MarkedLog log;
    for (int line = 1; line <= 3000; ++line) {
        log.bytes += "line " + QByteArray::number(line) + ": ";
        const auto mark = marks.find(line);
        if (mark != marks.end()) {
            log.at[line] = log.bytes.size();
            log.bytes += mark->second + " in request " + QByteArray::number(line);
        } else {
            log.bytes += "all well";
        }
        log.bytes += '\n';
    }
    return log;
}

TEST_F(SearchTest, AfterAMissTheStepsGoOnFromTheLastMatchAndNeverWrap)
{
    const MarkedLog log = fiveErrors();
    enum Key { F3, CtrlF3 };
    struct Step
    {
        Key key;
        int line; // 0: not found
    };
    struct Case
    {
        const char *name;
        bool backward;
        int first;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"forward from the top",
         false,
         100,
         {{F3, 500},
          {F3, 900},
          {F3, 2000},
          {F3, 2500},
          {F3, 0},
          {CtrlF3, 2000},
          {F3, 2500},
          {F3, 0},
          {F3, 0},
          {CtrlF3, 2000},
          {CtrlF3, 900}}},
        {"backward from the end",
         true,
         2500,
         {{F3, 2000},
          {F3, 900},
          {F3, 500},
          {F3, 100},
          {F3, 0},
          {CtrlF3, 500},
          {F3, 100},
          {F3, 0},
          {F3, 0},
          {CtrlF3, 500},
          {CtrlF3, 900}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_sink.clear();
        MainWindow &form = openLog(log.bytes);
        answerDialog(form, [&c](FindDialog &d) {
            d.edText->setEditText("error");
            d.chkDirBackward->setChecked(c.backward);
        });
        form.acts().find->trigger();
        settle(form);
        LogView *view = form.tabAt(0).view;
        ASSERT_EQ(view->selStart(), log.at.at(c.first));
        int selected = c.first;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step &step = c.steps[i];
            SCOPED_TRACE(testing::Message()
                         << "step " << i + 1 << (step.key == F3 ? " F3" : " Ctrl+F3"));
            m_sink.clear();
            (step.key == F3 ? form.acts().findNext : form.acts().findPrevious)->trigger();
            settle(form);
            if (step.line) {
                EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join('|').toStdString();
                selected = step.line;
            } else {
                EXPECT_EQ(searchErrors(), QStringList{"Cannot find text: \"error\""});
            }
            EXPECT_EQ(view->selStart(), log.at.at(selected));
            EXPECT_EQ(view->selLength(), 5);
        }
    }
}

TEST_F(SearchTest, ACancelledSearchSaysNothingAndFindNextStartsWhereTheViewIs)
{
    QByteArray head;
    std::map<int, qint64> at;
    for (int line = 1; line <= 2000; ++line) {
        if (line == 10 || line == 1500)
            at[line] = head.size();
        head +=
            (line == 10 || line == 1500 ? "needle " : "line ") + QByteArray::number(line) + '\n';
    }
    MainWindow &form = makeForm();
    form.resize(800, 600);
    showForm(form);
    form.openFileTab(writeHugeLog(pathOf(QStringLiteral("huge.log")), head));
    LogView *view = form.tabAt(0).view;
    answerDialog(form, [](FindDialog &d) { d.edText->setEditText("needle"); });
    form.acts().find->trigger();
    settle(form);
    form.acts().findNext->trigger();
    settle(form);
    ASSERT_EQ(view->selStart(), at[1500]);

    {
        // The next needle lies 10 GiB on: cancelled as soon as it shows.
        SearchProgressWindow *window = form.findProgress();
        const OnShow cancel(window, [window] { window->btnCancel->click(); });
        form.acts().findNext->trigger();
        settle(form);
        EXPECT_EQ(cancel.shows, 1);
    }
    EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join('|').toStdString();
    EXPECT_EQ(form.statusBar()->currentMessage(), "Search cancelled");
    EXPECT_EQ(view->selStart(), at[1500]) << "the selection stays";
    EXPECT_EQ(form.tabAt(0).srText, "needle");
    EXPECT_EQ(form.tabAt(0).srPos, -1);

    // Neither from the last match (10 GiB on) nor from the top (line 10).
    view->scrollTo(view->selStart() - 300);
    ASSERT_GT(view->viewPos(), at[10]);
    form.acts().findNext->trigger();
    settle(form);
    EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join('|').toStdString();
    EXPECT_EQ(view->selStart(), at[1500]);
}

TEST_F(SearchTest, TheProgressWindowTakesTheKeyboardAndEscapeCancels)
{
    MainWindow &form = makeForm();
    showForm(form);
    form.openFileTab(writeHugeLog(pathOf(QStringLiteral("huge.log"))));
    SearchProgressWindow *window = form.findProgress();
    QWidget *active = nullptr;
    QWidget *focus = nullptr;
    const OnShow escape(window, [&] {
        active = QApplication::activeWindow();
        focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window, Qt::Key_Escape);
    });
    // Should the key not cancel, the search still ends, and fails below.
    QTimer::singleShot(10000, window, [window] { window->btnCancel->click(); });
    answerDialog(form, [](FindDialog &d) { d.edText->setEditText("needle"); });
    form.showFindDialog();
    settle(form);
    EXPECT_EQ(escape.shows, 1);
    EXPECT_EQ(active, window);
    EXPECT_EQ(focus, window->btnCancel);
    EXPECT_TRUE(window->cancelled);
    EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join('|').toStdString();
    EXPECT_EQ(form.tabAt(0).view->selLength(), 0);
}

TEST_F(SearchTest, TheProgressWindowStaysAwayFromAShortSearchAndEscapeCancelsBeforeItShows)
{
    MainWindow &form = makeForm();
    showForm(form);
    form.openFileTab(writeFile(QStringLiteral("app.log"), kLog));
    form.openFileTab(writeHugeLog(pathOf(QStringLiteral("huge.log"))));
    SearchProgressWindow *window = form.findProgress();
    const OnShow shown(window, nullptr);

    // Found at once: no window is mapped to take the keyboard away.
    form.tabs().pages()->setCurrentIndex(0);
    answerDialog(form, [](FindDialog &d) { d.edText->setEditText("needle"); });
    form.showFindDialog();
    settle(form);
    EXPECT_EQ(form.tabAt(0).view->selStart(), kFirst);
    EXPECT_EQ(shown.shows, 0);

    // Escape while the 10 GiB search has not shown its window yet.
    form.tabs().pages()->setCurrentIndex(1);
    QTimer::singleShot(SearchProgressWindow::kShowDelayMs / 4, window,
                       [&form] { QTest::keyClick(form.tabAt(1).view, Qt::Key_Escape); });
    form.showFindDialog();
    settle(form);
    EXPECT_EQ(shown.shows, 0);
    EXPECT_TRUE(window->cancelled);
    EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join('|').toStdString();
    EXPECT_EQ(form.tabAt(1).view->selLength(), 0);
}

TEST_F(SearchTest, AFaultInsideTheSearchGoesToTheGeneralErrorReport)
{
    for (const bool step : {false, true}) {
        SCOPED_TRACE(step ? "a step" : "a new search");
        m_sink.clear();
        MainWindow &form = openLog();
        LogView *view = form.tabAt(0).view;
        answerDialog(form, [](FindDialog &d) { d.edText->setEditText("needle"); });
        if (step)
            form.showFindDialog();
        settle(form);
        const qint64 selected = view->selStart();
        view->search().hook = [] { throw std::bad_alloc(); };
        if (step)
            form.acts().findNext->trigger();
        else
            form.showFindDialog();
        settle(form);
        ASSERT_EQ(m_sink.messages().size(), 1u) << m_sink.texts().join('|').toStdString();
        EXPECT_EQ(m_sink.messages()[0].caption, programTitle());
        EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Error);
        EXPECT_EQ(m_sink.messages()[0].text, "std::bad_alloc");
        EXPECT_EQ(view->selStart(), selected);
        EXPECT_FALSE(form.findProgress()->isVisible());

        // Nothing is left stuck: the next step runs from where the search stood.
        view->search().hook = nullptr;
        m_sink.clear();
        form.acts().findNext->trigger();
        settle(form);
        EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join('|').toStdString();
        EXPECT_EQ(view->selStart(), step ? kSecond : kFirst);
    }
}

TEST_F(SearchTest, HistoryKeepsOneEntryPerTextMostRecentFirst)
{
    MainWindow &form = openLog();
    for (const char *text : {"needle", "two", "NEEDLE"}) {
        answerDialog(form, [text](FindDialog &d) { d.edText->setEditText(text); });
        form.showFindDialog();
        settle(form);
    }
    EXPECT_EQ(form.findState().findHistory, (QStringList{"NEEDLE", "two"}));
}

TEST_F(SearchTest, ATabWithoutAFileReportsTheMissingSource)
{
    MainWindow &form = openLog();
    LogView *view = form.tabAt(0).view;
    ASSERT_TRUE(QFile::remove(pathOf("app.log")));
    view->handleFileChange(); // the watcher finds the file gone: the view empties
    ASSERT_FALSE(view->document().sourceAssigned());
    m_sink.clear();

    answerDialog(form, [](FindDialog &d) { d.edText->setEditText("needle"); });
    form.showFindDialog();
    settle(form);
    EXPECT_EQ(searchErrors(),
              (QStringList{"Source not assigned: FindFirst", "Cannot find text: \"\""}));
    EXPECT_TRUE(form.tabAt(0).srText.isEmpty());
}

TEST_F(SearchTest, RegexIsNotOfferedWhereTheEngineCannotRunIt)
{
    MainWindow &form = openLog();
    struct Case
    {
        const char *name;
        std::function<void(LogView *)> set;
        bool allowed;
    };
    const Case cases[] = {
        {"ANSI", [](LogView *v) { v->setTextEncoding(encodingAnsi); }, true},
        {"OEM", [](LogView *v) { v->setTextEncoding(Encoding::codePage(1)); }, true},
        {"UTF-16", [](LogView *v) { v->setMode(vbmodeUnicode); }, true},
        {"UTF-16 dump", [](LogView *v) { v->setMode(vbmodeUHex); }, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LogView *view = form.tabAt(0).view;
        view->setMode(vbmodeText);
        c.set(view);
        bool offered = !c.allowed;
        answerDialog(
            form,
            [&offered](FindDialog &d) {
                d.chkRegex->setChecked(true);
                offered = d.chkRegex->isEnabled() && d.chkRegex->isChecked();
            },
            false);
        form.showFindDialog();
        settle(form);
        EXPECT_EQ(offered, c.allowed);
    }
}

TEST_F(SearchTest, SearchSettingsSurviveARestart)
{
    {
        MainWindow &form = makeForm();
        FindState find;
        find.findText = "b";
        find.findHistory = {"b", "a"};
        find.findRegex = true;
        find.findOrigin = true;
        form.setFind(find);
        ASSERT_TRUE(form.saveSettings());
    }
    MainWindow &form = makeForm();
    EXPECT_EQ(form.findState().findHistory, (QStringList{"b", "a"}));
    EXPECT_EQ(form.findState().findText, "b");
    EXPECT_TRUE(form.findState().findRegex);
    EXPECT_TRUE(form.findState().findOrigin);
    EXPECT_FALSE(form.findState().findBack);
}

TEST_F(SearchTest, GotoWindowKeepsItsVisibilityAndPlace)
{
    writeSettings("[Opt]\nCfmExit=0\nGoto=1\nGotoX=120\nGotoY=140\n");
    {
        MainWindow &form = makeForm();
        showForm(form);
        GoToNextWindow *window = form.gotoWindow();
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->pos(), QPoint(120, 140));
        // The default rules: Error, Warning, Info.
        EXPECT_TRUE(window->panel(3)->isVisible());
        EXPECT_FALSE(window->panel(4)->isVisible());
        EXPECT_EQ(shownToolTip(window->panel(2)->jumpButton->toolTip()), "Go to next \"Warning\"");

        form.acts().goToNext->trigger();
        EXPECT_FALSE(window->isVisible());
        window->move(200, 210);
        form.close();
    }
    const QByteArray ini = readFile(settingsPath());
    EXPECT_TRUE(ini.contains("Goto=0")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("GotoX=200"));
    EXPECT_TRUE(ini.contains("GotoY=210"));
}

const QByteArray kRuleLog = "start\n"        // 0
                            "error one\n"    // 6
                            "Warning two\n"  // 16
                            "ERROR three\n"  // 28
                            "warning four\n" // 40
                            "Error five\n";  // 53

TEST_F(SearchTest, GotoButtonsStepThroughTheLinesOfTheirRule)
{
    MainWindow &form = makeForm();
    showForm(form);
    form.openFileTab(writeFile(QStringLiteral("rules.log"), kRuleLog));
    LogView *view = form.tabAt(0).view;
    const auto click = [&form](int n) { form.gotoWindow()->panel(n)->jumpButton->click(); };

    // The new search stands on the first line from the page, so the first
    // click lands on the second; the rule is caseless.
    click(1);
    settle(form);
    EXPECT_EQ(view->selStart(), 28);
    EXPECT_EQ(view->selLength(), 5);
    click(1);
    settle(form);
    EXPECT_EQ(view->selStart(), 53);
    // Another rule starts again from the first byte shown.
    click(2);
    settle(form);
    EXPECT_EQ(view->selStart(), 40);
    EXPECT_EQ(form.tabAt(0).srText, "Warning");
    EXPECT_EQ(form.tabAt(0).srOptions, quint8(soRegex));
    EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join('|').toStdString();
    // F3 goes on with the rule's search, which has no line left.
    form.acts().findNext->trigger();
    settle(form);
    EXPECT_EQ(searchErrors(), QStringList{"Cannot find text: \"Warning\""});
    EXPECT_EQ(view->selStart(), 40);
    // A rule without any line in the file.
    m_sink.clear();
    click(3);
    settle(form);
    EXPECT_EQ(searchErrors(), QStringList{"Cannot find text: \"Info\""});
    EXPECT_EQ(view->selStart(), 40);
}

TEST_F(SearchTest, GotoFailuresGoToTheGeneralErrorReport)
{
    struct Case
    {
        const char *name;
        QByteArray ruleText;
        EncodingArg encoding;
        QString message;
    };
    const Case cases[] = {
        {"an encoding the regex engine does not take", "Error", 130, "Unknown encoding specified"},
        {"a rule that does not compile", "Err(or", 0,
         "Regular expression pattern error:\r\n\r\nmissing closing parenthesis at offset 6"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_sink.clear();
        MainWindow &form = makeForm();
        showForm(form);
        form.openFileTab(writeFile(QStringLiteral("rules.log"), kRuleLog));
        ColorRules rules = form.colorRules();
        rules.rule(1).text = c.ruleText;
        form.setColorRules(rules);
        form.tabAt(0).view->setTextEncoding(c.encoding);
        form.gotoWindow()->panel(1)->jumpButton->click();
        settle(form);
        ASSERT_EQ(m_sink.messages().size(), 1u);
        EXPECT_EQ(m_sink.messages()[0].caption, programTitle());
        EXPECT_EQ(m_sink.messages()[0].text, c.message);
        EXPECT_EQ(form.tabAt(0).view->selLength(), 0);
    }
}

TEST_F(SearchTest, GotoOnAHugeFileCanBeCancelled)
{
    // Its only two "Error" lines at the end of 10 GiB: the first step would
    // read it all, and a click not cancelled would select the second.
    const QString path = pathOf(QStringLiteral("huge.log"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize((qint64(10) << 30) - 12));
        ASSERT_TRUE(file.seek(file.size()));
        ASSERT_EQ(file.write("Error\nError\n"), 12);
    }
    MainWindow &form = makeForm();
    showForm(form);
    form.openFileTab(path);
    QTimer::singleShot(800, [&form] { form.findProgress()->btnCancel->click(); });
    form.gotoWindow()->panel(1)->jumpButton->click();
    settle(form);
    EXPECT_TRUE(m_sink.messages().empty()) << "a cancelled search tells nothing of the text";
    EXPECT_EQ(form.tabAt(0).view->selLength(), 0);
    EXPECT_EQ(form.tabAt(0).srPos, -1);
}

TEST_F(SearchTest, GotoPanelsFollowTheLiveRules)
{
    MainWindow &form = makeForm();
    showForm(form);
    GoToNextWindow *window = form.gotoWindow();
    const int threeWide = window->width();
    ColorRules rules = form.colorRules();
    rules.rule(2).en = false;
    rules.rule(5).text = "timeout";
    rules.rule(5).colorB = 0x00FF00; // green
    form.setColorRules(rules);
    EXPECT_FALSE(window->panel(2)->isVisibleTo(window));
    EXPECT_TRUE(window->panel(5)->isVisibleTo(window));
    EXPECT_EQ(window->panel(5)->swatchColor(), QColor(0, 255, 0));
    EXPECT_EQ(shownToolTip(window->panel(5)->jumpButton->toolTip()), "Go to next \"timeout\"");
    int panels = 0;
    for (int n = 1; n <= GoToNextWindow::kPanels; ++n)
        if (window->panel(n)->isVisibleTo(window))
            panels += window->panel(n)->width();
    EXPECT_EQ(window->width(), std::max(panels, threeWide)) << "one panel out, one in";

    // The find dialog's "Rules" menu offers the same live rules.
    form.openFileTab(writeFile(QStringLiteral("a.log"), kLog));
    answerDialog(
        form,
        [](FindDialog &dialog) {
            EXPECT_EQ(dialog.rules[4].text, "timeout");
            EXPECT_EQ(dialog.rules[1].text, "Warning") << "disabled rules are offered too";
        },
        false);
    form.showFindDialog();
    settle(form);
    EXPECT_EQ(m_dialogs, 1);
}

// The dialog's "Backward" and Ctrl+F3 step through a regular expression's
// matches as through a plain text's.
TEST_F(SearchTest, RegularExpressionsGoBackwardFromTheDialogAndFindPrevious)
{
    MainWindow &form = openLog();
    answerDialog(form, [](FindDialog &dialog) {
        dialog.edText->setEditText(QStringLiteral("ne+dle"));
        dialog.chkRegex->setChecked(true);
        dialog.chkDirBackward->setChecked(true);
        EXPECT_TRUE(dialog.chkDirBackward->isEnabled());
    });
    form.acts().find->trigger();
    settle(form);
    const Tab &rec = form.tabAt(0);
    EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join('|').toStdString();
    EXPECT_EQ(rec.view->selStart(), kThird) << "backward over the whole file starts at its end";
    EXPECT_EQ(rec.view->selLength(), 6);
    form.acts().findNext->trigger();
    settle(form);
    EXPECT_EQ(rec.view->selStart(), kSecond);
    form.acts().findPrevious->trigger();
    settle(form);
    EXPECT_EQ(rec.view->selStart(), kThird) << "Ctrl+F3 turns round";
    form.acts().findPrevious->trigger();
    settle(form);
    EXPECT_EQ(searchErrors(), QStringList{"Cannot find text: \"ne+dle\""});
    EXPECT_EQ(rec.view->selStart(), kThird);
}

TEST_F(SearchTest, AStepThatCannotRunShowsItsMessageWithoutTheWindow)
{
    struct Case
    {
        const char *name;
        const char *found;  // a regular expression searched first, when given
        const char *failed; // then this one, or else "Find previous"
        QStringList messages;
    };
    const Case cases[] = {
        {"a pattern that does not compile",
         "ne+dle",
         "ne(dle",
         {"Regular expression pattern error:\r\n\r\nmissing closing parenthesis at offset 6",
          "Cannot find text: \"ne(dle\""}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_sink.clear();
        MainWindow &form = openLog();
        const auto regex = [this, &form](const char *text) {
            answerDialog(form, [text](FindDialog &d) {
                d.edText->setEditText(text);
                d.chkRegex->setChecked(true);
            });
        };
        regex(c.found);
        form.showFindDialog();
        settle(form);
        ASSERT_EQ(form.tabAt(0).view->selStart(), kFirst);
        m_sink.clear();
        const OnShow shown(form.findProgress(), nullptr);
        if (c.failed) {
            regex(c.failed);
            form.showFindDialog();
            settle(form);
        } else {
            form.acts().findPrevious->trigger();
            settle(form);
        }
        EXPECT_EQ(searchErrors(), c.messages);
        EXPECT_EQ(shown.shows, 0) << "no progress window for a search that never started";
        EXPECT_EQ(form.tabAt(0).view->selStart(), kFirst);
    }
}

TEST_F(SearchTest, CancelStopsASearchOfAHugeFile)
{
    // 10 GiB that hold the text only at their end: a Cancel that did not
    // stop the search would find it.
    const QString path = pathOf(QStringLiteral("huge.log"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize((qint64(10) << 30) - 6));
        ASSERT_TRUE(file.seek(file.size()));
        ASSERT_EQ(file.write("needle"), 6);
    }
    MainWindow &form = makeForm();
    form.openFileTab(path);
    answerDialog(form, [](FindDialog &d) { d.edText->setEditText("needle"); });
    SearchProgressWindow *window = form.findProgress();
    QString searching, percent;
    int alpha = -1;
    QTimer::singleShot(1200, [&] {
        searching = window->labSearch->text();
        percent = window->labPercent->text();
        alpha = window->alphaBlendValue();
        window->btnCancel->click();
    });
    form.showFindDialog();
    settle(form);

    EXPECT_TRUE(m_sink.messages().empty()) << "a cancelled search tells nothing of the text";
    EXPECT_EQ(searching, "Searching: \"needle\"");
    EXPECT_TRUE(QRegularExpression("^[0-9]+%$").match(percent).hasMatch()) << percent.toStdString();
    // The fade-in went on while the search ran.
    EXPECT_TRUE(alpha == 1 || alpha == 2 || alpha == 3 || alpha == 4 || alpha == 5 ||
                (alpha > 5 && alpha % 50 == 5) || alpha == 255)
        << alpha;
    EXPECT_GT(alpha, 0);
    EXPECT_EQ(form.tabAt(0).view->selLength(), 0);
    EXPECT_EQ(form.tabAt(0).srPos, -1);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(SearchTest, ATabClosedWhileItsSearchRunsIsLeftAlone)
{
    // Closed as a watcher or a second instance closes one, not by the user:
    // the search stops, says nothing and records nothing, in no tab.
    MainWindow &form = makeForm();
    showForm(form);
    form.openFileTab(writeFile(QStringLiteral("app.log"), kLog));
    form.openFileTab(writeHugeLog(pathOf(QStringLiteral("huge.log"))));
    ASSERT_EQ(form.tabCount(), 2);
    QPointer<LogView> closed = form.tabAt(1).view;
    SearchProgressWindow *window = form.findProgress();
    const OnShow close(window, [&form] { form.closeTab(1); });
    answerDialog(form, [](FindDialog &d) { d.edText->setEditText("needle"); });
    form.showFindDialog();
    settle(form);

    EXPECT_EQ(close.shows, 1);
    EXPECT_EQ(form.tabCount(), 1);
    EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join('|').toStdString();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(form.statusBar()->currentMessage().isEmpty());
    const Tab &left = form.tabAt(0);
    EXPECT_TRUE(left.srText.isEmpty()) << "recorded into the tab left";
    EXPECT_EQ(left.view->selLength(), 0);
    // The viewer goes, and its job with it; 10 GiB would take long.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull());
    form.jobs().waitForDone();
    EXPECT_TRUE(form.jobs().idle());
}

TEST(SearchMessages, PatternErrorIsShownWithRealLineBreaks)
{
    EXPECT_EQ(messageBoxText("Regular expression pattern error:\r\n\r\nmissing closing "
                             "parenthesis at offset 3"),
              "Regular expression pattern error:\n\nmissing closing parenthesis at offset 3");
    EXPECT_EQ(messageBoxText("a\rb\nc"), "a\nb\nc");
}

TEST(findProgress, FadesInOverTenTicks)
{
    SearchProgressWindow window;
    window.setAlphaBlendValue(0);
    window.fadeTimer->start();
    std::vector<int> steps;
    for (int i = 0; i < 10; ++i) {
        window.fadeStep();
        steps.push_back(window.alphaBlendValue());
    }
    EXPECT_EQ(steps, (std::vector<int>{1, 2, 3, 4, 5, 55, 105, 155, 205, 255}));
    EXPECT_FALSE(window.fadeTimer->isActive());
}

TEST(findProgress, ShowsThePercentAndPassesCancelOn)
{
    SearchProgressWindow window;
    struct Case
    {
        qint64 current, maximal;
        const char *label;
        int bar;
    };
    const Case cases[] = {
        {37, 100, "37%", 37},
        {0, 0, "0%", 0},                               // an empty source
        {qint64(3) << 40, qint64(4) << 40, "75%", 75}, // past 32 bits
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        bool go = false;
        window.searchProgress(c.current, c.maximal, go);
        EXPECT_EQ(window.labPercent->text(), c.label);
        EXPECT_EQ(window.progressBar->value(), c.bar);
        EXPECT_TRUE(go);
    }
    window.cancelClicked();
    bool go = true;
    window.searchProgress(1, 2, go);
    EXPECT_FALSE(go);
}

TEST(findProgress, ALongSearchTextIsElidedNotWidened)
{
    QByteArray bytes = "some text\n";
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    BackgroundJobs jobs;
    LogView view;
    view.openStream(&buffer);
    const QString text = QStringLiteral("head ") + QString(2000, u'x') + QStringLiteral(" tail");
    QSignalSpy finished(&view.search(), &DocumentSearch::finished);
    ASSERT_TRUE(view.search().findFirst(jobs, &view, text, {}, -1));
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(view.search().outcome(), DocumentSearch::Outcome::NotFound);
    SearchProgressWindow window;
    window.runView = &view;
    bool go = true;
    window.searchProgress(1, 2, go);
    window.adjustSize();
    const QString shown = window.labSearch->text();
    EXPECT_TRUE(shown.startsWith("Searching: \"head ")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(" tail\"")) << shown.toStdString();
    EXPECT_LT(shown.size(), 200);
    EXPECT_LE(window.width(), 600);
}

} // namespace
