// Finding text from the main window: the find dialog's round trip, "Find
// next" and "Find previous", the tab's last match, the search errors and the
// "go to next" window.
#include "formfixture.h"
#include "tooltiptext.h"

#include "app/formfindprogress.h"
#include "app/formfindtext.h"
#include "app/formgo.h"
#include "app/formgoregex.h"
#include "app/shellmessages.h"
#include "search/qzstreamsearch.h"
#include "text/guard.h"
#include "viewer/qzbinhex.h"

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
    TFormView &OpenLog(const QByteArray &bytes = kLog)
    {
        TFormView &form = MakeForm();
        form.OpenFileTab(WriteFile(QStringLiteral("app.log"), bytes));
        EXPECT_EQ(form.RecCount(), 1);
        return form;
    }

    // Answers the find dialog: edit is run on it, then it is accepted.
    void AnswerDialog(TFormView &form, std::function<void(TFormViewFindText &)> edit,
                      bool accept = true)
    {
        form.RunFindDialog = [this, edit, accept](TFormViewFindText &dialog) {
            ++m_dialogs;
            dialog.show(); // the show enforces the permissions
            if (edit)
                edit(dialog);
            dialog.hide();
            return accept;
        };
    }

    static void Find(TFormView &form, const QString &text)
    {
        form.SetFind([&] {
            FindState find = form.Find();
            find.FindText = text;
            return find;
        }());
    }

    QStringList SearchErrors() const
    {
        QStringList texts;
        for (const auto &message : m_sink.Messages()) {
            EXPECT_EQ(message.Caption, "Search error");
            EXPECT_EQ(message.Icon, MsgIcon::Warning);
            texts << message.Text;
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
    int Shows = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            ++Shows;
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
QString WriteHugeLog(const QString &path, const QByteArray &head = {})
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
    TFormView &form = OpenLog();
    AnswerDialog(form, [](TFormViewFindText &dialog) {
        EXPECT_TRUE(dialog.chkRegex->isEnabled()) << "an ANSI view takes regular expressions";
        dialog.edText->setEditText(QStringLiteral("needle"));
        dialog.chkCase->setChecked(true);
    });
    form.Acts().acEditFind->trigger();

    EXPECT_EQ(m_dialogs, 1);
    EXPECT_TRUE(m_sink.Messages().empty()) << m_sink.Texts().join('|').toStdString();
    const TRec &rec = form.Rec(0);
    EXPECT_EQ(rec.View->SelStart(), kFirst);
    EXPECT_EQ(rec.View->SelLength(), 6);
    EXPECT_EQ(rec.SRText, "needle");
    EXPECT_EQ(rec.SRPos, kFirst);
    EXPECT_EQ(rec.SROptions, quint8(soCaseSensitive));
    EXPECT_EQ(form.Find().FindText, "needle");
    EXPECT_TRUE(form.Find().FindCase);
    EXPECT_EQ(form.Find().FindHistory, QStringList{"needle"});

    // F3 steps on in the same tab; case-sensitive, so "Needle" is passed over.
    form.Acts().acEditFindNext->trigger();
    EXPECT_EQ(rec.View->SelStart(), kSecond);
    EXPECT_EQ(rec.SRPos, kSecond);
    form.Acts().acEditFindNext->trigger();
    EXPECT_EQ(SearchErrors(), QStringList{"Cannot find text: \"needle\""});
    EXPECT_EQ(rec.View->SelStart(), kSecond) << "a failed search keeps the selection";
    EXPECT_EQ(rec.SRPos, kSecond) << "and the tab's last match";
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
    TFormView &form = MakeForm();
    form.resize(800, 600);
    ShowForm(form);
    form.OpenFileTab(WriteFile(QStringLiteral("wide.log"), bytes));
    TQzBinHex *view = form.Rec(0).View;
    for (const int indent : {5, 0}) {
        SCOPED_TRACE(indent);
        view->SetTextSearchIndentVert(indent);
        view->SetTextSearchIndentHorz(indent);
        view->ScrollTo(0);
        view->SetHViewPos(0, true);
        AnswerDialog(form, [](TFormViewFindText &d) { d.edText->setEditText("needle"); });
        form.ShowFindDialog();
        ASSERT_EQ(view->SelStart(), line1500 + 120);
        EXPECT_EQ(view->ViewPos(), line1500 - indent * 10);
        EXPECT_EQ(view->HViewPos(), (120 - indent) * view->CharWidth());
    }
}

TEST_F(SearchTest, DialogFlagsGoIntoTheSearchAndBackIntoTheNextDialog)
{
    TFormView &form = OpenLog();
    AnswerDialog(form, [](TFormViewFindText &dialog) {
        dialog.edText->setEditText(QStringLiteral("NEEDLE"));
        dialog.chkDirBackward->setChecked(true);
        dialog.chkWords->setChecked(true);
    });
    form.ShowFindDialog();
    // Backward over the entire file starts at its end; caseless.
    EXPECT_EQ(form.Rec(0).View->SelStart(), kThird);
    EXPECT_EQ(form.Rec(0).SROptions, quint8(soBackward | soWholeWords));

    AnswerDialog(
        form,
        [](TFormViewFindText &dialog) {
            EXPECT_EQ(dialog.edText->currentText(), "NEEDLE");
            EXPECT_EQ(dialog.edText->count(), 1);
            EXPECT_TRUE(dialog.chkDirBackward->isChecked());
            EXPECT_FALSE(dialog.chkDirForward->isChecked());
            EXPECT_TRUE(dialog.chkWords->isChecked());
            EXPECT_TRUE(dialog.chkOriginEntire->isChecked());
        },
        false);
    form.ShowFindDialog();
    EXPECT_EQ(m_dialogs, 2);
}

TEST_F(SearchTest, CancelledOrEmptyDialogSearchesNothing)
{
    for (const bool accept : {false, true}) {
        SCOPED_TRACE(accept ? "empty text" : "cancelled");
        TFormView &form = OpenLog();
        Find(form, "needle");
        AnswerDialog(
            form,
            [accept](TFormViewFindText &dialog) {
                dialog.edText->setEditText(accept ? QString() : QStringLiteral("x"));
            },
            accept);
        form.ShowFindDialog();
        EXPECT_EQ(form.Find().FindText, "needle");
        EXPECT_TRUE(form.Find().FindHistory.isEmpty());
        EXPECT_FALSE(form.Rec(0).View->SearchStarted());
        EXPECT_TRUE(m_sink.Messages().empty());
    }
}

TEST_F(SearchTest, FindNextInATabNeverSearchedOpensTheDialog)
{
    TFormView &form = OpenLog();
    AnswerDialog(form, nullptr, false);
    form.Acts().acEditFindNext->trigger();
    EXPECT_EQ(m_dialogs, 1);
}

TEST_F(SearchTest, FindPreviousStepsBack)
{
    TFormView &form = OpenLog();
    AnswerDialog(form, [](TFormViewFindText &d) { d.edText->setEditText("needle"); });
    form.ShowFindDialog();
    form.RunFindNext(false);
    form.RunFindNext(false);
    ASSERT_EQ(form.Rec(0).View->SelStart(), kThird);
    form.Acts().acEditFindPrev->trigger();
    EXPECT_EQ(form.Rec(0).View->SelStart(), kSecond);
    EXPECT_EQ(form.Rec(0).SROptions, 0) << "the tab keeps the search's own direction";
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
        m_sink.Clear();
        TFormView &form = OpenLog();
        AnswerDialog(form, [&c](TFormViewFindText &d) {
            d.edText->setEditText("needle");
            d.chkDirBackward->setChecked(c.backward);
        });
        form.ShowFindDialog();
        TQzBinHex *view = form.Rec(0).View;
        ASSERT_EQ(view->SelStart(), c.before[0]);
        form.RunFindNext(false);
        ASSERT_EQ(view->SelStart(), c.before[1]);

        // The log grows and the viewer reopens it: its search ends.
        QFile file(PathOf("app.log"));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("late needle\n");
        file.close();
        view->Reload();
        ASSERT_FALSE(view->SearchStarted());

        form.RunFindNext(false);
        EXPECT_EQ(view->SelStart(), c.after[0]) << "continued after the last match";
        EXPECT_TRUE(m_sink.Messages().empty());
        form.RunFindNext(false);
        if (c.after[1] >= 0) {
            EXPECT_EQ(view->SelStart(), c.after[1]) << "and into the new lines";
            EXPECT_TRUE(m_sink.Messages().empty());
        } else {
            EXPECT_EQ(SearchErrors(), QStringList{"Cannot find text: \"needle\""});
            EXPECT_EQ(view->SelStart(), c.after[0]);
        }
    }
}

TEST_F(SearchTest, FindNextAfterAReloadSearchesTheLastTextAskedFor)
{
    const QByteArray bytes = "start\nrequest status=Error\nend\n";
    TFormView &form = OpenLog(bytes);
    for (const char *text : {"status=Error", "MAGIC2"}) {
        AnswerDialog(form, [text](TFormViewFindText &d) { d.edText->setEditText(text); });
        form.Acts().acEditFind->trigger();
    }
    EXPECT_EQ(SearchErrors(), QStringList{"Cannot find text: \"MAGIC2\""});
    EXPECT_EQ(form.Rec(0).SRText, "MAGIC2") << "a miss is what was asked for last all the same";

    QFile file(PathOf("app.log"));
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("MAGIC2 here\n");
    file.close();
    TQzBinHex *view = form.Rec(0).View;
    view->Reload();
    m_sink.Clear();
    form.Acts().acEditFindNext->trigger();
    EXPECT_TRUE(m_sink.Messages().empty()) << m_sink.Texts().join('|').toStdString();
    EXPECT_EQ(view->SelStart(), bytes.size());
    EXPECT_EQ(view->SelLength(), 6);
    EXPECT_EQ(m_dialogs, 2);
}

// 3000 lines; "error" in lines 100, 500, 900, 2000 and 2500, each time in
// another letter case.
struct MarkedLog
{
    QByteArray bytes;
    std::map<int, qint64> at; // line → offset of its "error"
};

MarkedLog FiveErrors()
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
    const MarkedLog log = FiveErrors();
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
        m_sink.Clear();
        TFormView &form = OpenLog(log.bytes);
        AnswerDialog(form, [&c](TFormViewFindText &d) {
            d.edText->setEditText("error");
            d.chkDirBackward->setChecked(c.backward);
        });
        form.Acts().acEditFind->trigger();
        TQzBinHex *view = form.Rec(0).View;
        ASSERT_EQ(view->SelStart(), log.at.at(c.first));
        int selected = c.first;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step &step = c.steps[i];
            SCOPED_TRACE(testing::Message()
                         << "step " << i + 1 << (step.key == F3 ? " F3" : " Ctrl+F3"));
            m_sink.Clear();
            (step.key == F3 ? form.Acts().acEditFindNext : form.Acts().acEditFindPrev)->trigger();
            if (step.line) {
                EXPECT_TRUE(m_sink.Messages().empty()) << m_sink.Texts().join('|').toStdString();
                selected = step.line;
            } else {
                EXPECT_EQ(SearchErrors(), QStringList{"Cannot find text: \"error\""});
            }
            EXPECT_EQ(view->SelStart(), log.at.at(selected));
            EXPECT_EQ(view->SelLength(), 5);
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
    TFormView &form = MakeForm();
    form.resize(800, 600);
    ShowForm(form);
    form.OpenFileTab(WriteHugeLog(PathOf(QStringLiteral("huge.log")), head));
    TQzBinHex *view = form.Rec(0).View;
    AnswerDialog(form, [](TFormViewFindText &d) { d.edText->setEditText("needle"); });
    form.Acts().acEditFind->trigger();
    form.Acts().acEditFindNext->trigger();
    ASSERT_EQ(view->SelStart(), at[1500]);

    {
        // The next needle lies 10 GiB on: cancelled as soon as it shows.
        TFormViewFindProgress *window = form.FindProgress();
        const OnShow cancel(window, [window] { window->btnCancel->click(); });
        form.Acts().acEditFindNext->trigger();
        EXPECT_EQ(cancel.Shows, 1);
    }
    EXPECT_TRUE(m_sink.Messages().empty()) << m_sink.Texts().join('|').toStdString();
    EXPECT_EQ(form.statusBar()->currentMessage(), "Search cancelled");
    EXPECT_EQ(view->SelStart(), at[1500]) << "the selection stays";
    EXPECT_EQ(form.Rec(0).SRText, "needle");
    EXPECT_EQ(form.Rec(0).SRPos, -1);

    // Neither from the last match (10 GiB on) nor from the top (line 10).
    view->ScrollTo(view->SelStart() - 300);
    ASSERT_GT(view->ViewPos(), at[10]);
    form.Acts().acEditFindNext->trigger();
    EXPECT_TRUE(m_sink.Messages().empty()) << m_sink.Texts().join('|').toStdString();
    EXPECT_EQ(view->SelStart(), at[1500]);
}

TEST_F(SearchTest, TheProgressWindowTakesTheKeyboardAndEscapeCancels)
{
    TFormView &form = MakeForm();
    ShowForm(form);
    form.OpenFileTab(WriteHugeLog(PathOf(QStringLiteral("huge.log"))));
    TFormViewFindProgress *window = form.FindProgress();
    QWidget *active = nullptr;
    QWidget *focus = nullptr;
    const OnShow escape(window, [&] {
        active = QApplication::activeWindow();
        focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window, Qt::Key_Escape);
    });
    // Should the key not cancel, the search still ends, and fails below.
    QTimer::singleShot(10000, window, [window] { window->btnCancel->click(); });
    AnswerDialog(form, [](TFormViewFindText &d) { d.edText->setEditText("needle"); });
    form.ShowFindDialog();
    EXPECT_EQ(escape.Shows, 1);
    EXPECT_EQ(active, window);
    EXPECT_EQ(focus, window->btnCancel);
    EXPECT_TRUE(window->Cancelled);
    EXPECT_TRUE(m_sink.Messages().empty()) << m_sink.Texts().join('|').toStdString();
    EXPECT_EQ(form.Rec(0).View->SelLength(), 0);
}

TEST_F(SearchTest, AFaultInsideTheSearchGoesToTheGeneralErrorReport)
{
    for (const bool step : {false, true}) {
        SCOPED_TRACE(step ? "a step" : "a new search");
        m_sink.Clear();
        TFormView &form = OpenLog();
        TQzBinHex *view = form.Rec(0).View;
        AnswerDialog(form, [](TFormViewFindText &d) { d.edText->setEditText("needle"); });
        if (step)
            form.ShowFindDialog();
        const qint64 selected = view->SelStart();
        view->SearchHook = [] { throw std::bad_alloc(); };
        if (step)
            form.Acts().acEditFindNext->trigger();
        else
            form.ShowFindDialog();
        ASSERT_EQ(m_sink.Messages().size(), 1u) << m_sink.Texts().join('|').toStdString();
        EXPECT_EQ(m_sink.Messages()[0].Caption, ProgramTitle());
        EXPECT_EQ(m_sink.Messages()[0].Icon, MsgIcon::Error);
        EXPECT_EQ(m_sink.Messages()[0].Text, "std::bad_alloc");
        EXPECT_EQ(view->SelStart(), selected);
        EXPECT_FALSE(form.FindProgress()->isVisible());

        // Nothing is left stuck: the next step runs from where the search stood.
        view->SearchHook = nullptr;
        m_sink.Clear();
        form.Acts().acEditFindNext->trigger();
        EXPECT_TRUE(m_sink.Messages().empty()) << m_sink.Texts().join('|').toStdString();
        EXPECT_EQ(view->SelStart(), step ? kSecond : kFirst);
    }
}

TEST_F(SearchTest, HistoryKeepsOneEntryPerTextMostRecentFirst)
{
    TFormView &form = OpenLog();
    for (const char *text : {"needle", "two", "NEEDLE"}) {
        AnswerDialog(form, [text](TFormViewFindText &d) { d.edText->setEditText(text); });
        form.ShowFindDialog();
    }
    EXPECT_EQ(form.Find().FindHistory, (QStringList{"NEEDLE", "two"}));
}

TEST_F(SearchTest, ATabWithoutAFileReportsTheMissingSource)
{
    TFormView &form = OpenLog();
    TQzBinHex *view = form.Rec(0).View;
    ASSERT_TRUE(QFile::remove(PathOf("app.log")));
    view->HandleFileChange(); // the watcher finds the file gone: the view empties
    ASSERT_FALSE(view->SourceAssigned());
    m_sink.Clear();

    AnswerDialog(form, [](TFormViewFindText &d) { d.edText->setEditText("needle"); });
    form.ShowFindDialog();
    EXPECT_EQ(SearchErrors(),
              (QStringList{"Source not assigned: FindFirst", "Cannot find text: \"\""}));
    EXPECT_TRUE(form.Rec(0).SRText.isEmpty());
}

TEST_F(SearchTest, RegexIsNotOfferedWhereTheEngineCannotRunIt)
{
    TFormView &form = OpenLog();
    struct Case
    {
        const char *name;
        std::function<void(TQzBinHex *)> set;
        bool allowed;
    };
    const Case cases[] = {
        {"ANSI", [](TQzBinHex *v) { v->SetTextEncoding(0); }, true},
        {"OEM", [](TQzBinHex *v) { v->SetTextEncoding(1); }, true},
        {"UTF-16", [](TQzBinHex *v) { v->SetMode(vbmodeUnicode); }, true},
        {"UTF-16 dump", [](TQzBinHex *v) { v->SetMode(vbmodeUHex); }, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TQzBinHex *view = form.Rec(0).View;
        view->SetMode(vbmodeText);
        c.set(view);
        bool offered = !c.allowed;
        AnswerDialog(
            form,
            [&offered](TFormViewFindText &d) {
                d.chkRegex->setChecked(true);
                offered = d.chkRegex->isEnabled() && d.chkRegex->isChecked();
            },
            false);
        form.ShowFindDialog();
        EXPECT_EQ(offered, c.allowed);
    }
}

TEST_F(SearchTest, SearchSettingsSurviveARestart)
{
    {
        TFormView &form = MakeForm();
        FindState find;
        find.FindText = "b";
        find.FindHistory = {"b", "a"};
        find.FindRegex = true;
        find.FindOrigin = true;
        form.SetFind(find);
        ASSERT_TRUE(form.SaveSettings());
    }
    TFormView &form = MakeForm();
    EXPECT_EQ(form.Find().FindHistory, (QStringList{"b", "a"}));
    EXPECT_EQ(form.Find().FindText, "b");
    EXPECT_TRUE(form.Find().FindRegex);
    EXPECT_TRUE(form.Find().FindOrigin);
    EXPECT_FALSE(form.Find().FindBack);
}

TEST_F(SearchTest, GotoWindowKeepsItsVisibilityAndPlace)
{
    WriteSettings("[Opt]\nCfmExit=0\nGoto=1\nGotoX=120\nGotoY=140\n");
    {
        TFormView &form = MakeForm();
        ShowForm(form);
        TFormGotoRegex *window = form.GotoWindow();
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->pos(), QPoint(120, 140));
        // The default rules: Error, Warning, Info.
        EXPECT_TRUE(window->Panel(3)->isVisible());
        EXPECT_FALSE(window->Panel(4)->isVisible());
        EXPECT_EQ(ShownToolTip(window->Panel(2)->SpeedButton1->toolTip()),
                  "Go to next \"Warning\"");

        form.Acts().mnuSrGoto->trigger();
        EXPECT_FALSE(window->isVisible());
        window->move(200, 210);
        form.close();
    }
    const QByteArray ini = ReadFile(SettingsPath());
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
    TFormView &form = MakeForm();
    ShowForm(form);
    form.OpenFileTab(WriteFile(QStringLiteral("rules.log"), kRuleLog));
    TQzBinHex *view = form.Rec(0).View;
    const auto click = [&form](int n) { form.GotoWindow()->Panel(n)->SpeedButton1->click(); };

    // The new search stands on the first line from the page, so the first
    // click lands on the second; the rule is caseless.
    click(1);
    EXPECT_EQ(view->SelStart(), 28);
    EXPECT_EQ(view->SelLength(), 5);
    click(1);
    EXPECT_EQ(view->SelStart(), 53);
    // Another rule starts again from the first byte shown.
    click(2);
    EXPECT_EQ(view->SelStart(), 40);
    EXPECT_EQ(form.Rec(0).SRText, "Warning");
    EXPECT_EQ(form.Rec(0).SROptions, quint8(soRegex));
    EXPECT_TRUE(m_sink.Messages().empty()) << m_sink.Texts().join('|').toStdString();
    // F3 goes on with the rule's search, which has no line left.
    form.Acts().acEditFindNext->trigger();
    EXPECT_EQ(SearchErrors(), QStringList{"Cannot find text: \"Warning\""});
    EXPECT_EQ(view->SelStart(), 40);
    // A rule without any line in the file.
    m_sink.Clear();
    click(3);
    EXPECT_EQ(SearchErrors(), QStringList{"Cannot find text: \"Info\""});
    EXPECT_EQ(view->SelStart(), 40);
}

TEST_F(SearchTest, GotoFailuresGoToTheGeneralErrorReport)
{
    struct Case
    {
        const char *name;
        QByteArray ruleText;
        TQzEncoding encoding;
        QString message;
    };
    const Case cases[] = {
        {"an encoding the regex engine does not take", "Error", 130, "Unknown encoding specified"},
        {"a rule that does not compile", "Err(or", 0,
         "Regular expression pattern error:\r\n\r\nmissing closing parenthesis at offset 6"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_sink.Clear();
        TFormView &form = MakeForm();
        ShowForm(form);
        form.OpenFileTab(WriteFile(QStringLiteral("rules.log"), kRuleLog));
        TColorRec rules = form.ColorRules();
        rules.Rule(1).Text = c.ruleText;
        form.SetColorRules(rules);
        form.Rec(0).View->SetTextEncoding(c.encoding);
        form.GotoWindow()->Panel(1)->SpeedButton1->click();
        ASSERT_EQ(m_sink.Messages().size(), 1u);
        EXPECT_EQ(m_sink.Messages()[0].Caption, ProgramTitle());
        EXPECT_EQ(m_sink.Messages()[0].Text, c.message);
        EXPECT_EQ(form.Rec(0).View->SelLength(), 0);
    }
}

TEST_F(SearchTest, GotoOnAHugeFileCanBeCancelled)
{
    // Its only two "Error" lines at the end of 10 GiB: the first step would
    // read it all, and a click not cancelled would select the second.
    const QString path = PathOf(QStringLiteral("huge.log"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize((qint64(10) << 30) - 12));
        ASSERT_TRUE(file.seek(file.size()));
        ASSERT_EQ(file.write("Error\nError\n"), 12);
    }
    TFormView &form = MakeForm();
    ShowForm(form);
    form.OpenFileTab(path);
    QTimer::singleShot(800, [&form] { form.FindProgress()->btnCancel->click(); });
    form.GotoWindow()->Panel(1)->SpeedButton1->click();
    EXPECT_TRUE(m_sink.Messages().empty()) << "a cancelled search tells nothing of the text";
    EXPECT_EQ(form.Rec(0).View->SelLength(), 0);
    EXPECT_EQ(form.Rec(0).SRPos, -1);
}

TEST_F(SearchTest, GotoPanelsFollowTheLiveRules)
{
    TFormView &form = MakeForm();
    ShowForm(form);
    TFormGotoRegex *window = form.GotoWindow();
    const int threeWide = window->width();
    TColorRec rules = form.ColorRules();
    rules.Rule(2).En = false;
    rules.Rule(5).Text = "timeout";
    rules.Rule(5).ColorB = 0x00FF00; // green
    form.SetColorRules(rules);
    EXPECT_FALSE(window->Panel(2)->isVisibleTo(window));
    EXPECT_TRUE(window->Panel(5)->isVisibleTo(window));
    EXPECT_EQ(window->Panel(5)->SwatchColor(), QColor(0, 255, 0));
    EXPECT_EQ(ShownToolTip(window->Panel(5)->SpeedButton1->toolTip()), "Go to next \"timeout\"");
    EXPECT_EQ(window->width(), threeWide) << "one panel out, one in";
    EXPECT_EQ(threeWide, 3 * TFormGo::kWidth);

    // The find dialog's "Rules" menu offers the same live rules.
    form.OpenFileTab(WriteFile(QStringLiteral("a.log"), kLog));
    AnswerDialog(
        form,
        [](TFormViewFindText &dialog) {
            EXPECT_EQ(dialog.Rules[4].Text, "timeout");
            EXPECT_EQ(dialog.Rules[1].Text, "Warning") << "disabled rules are offered too";
        },
        false);
    form.ShowFindDialog();
    EXPECT_EQ(m_dialogs, 1);
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
        {"find previous after a regular expression",
         "ne+dle",
         nullptr,
         {"FindPrevious not supported for Regex", "Cannot find text: \"ne+dle\""}},
        {"a pattern that does not compile",
         "ne+dle",
         "ne(dle",
         {"Regular expression pattern error:\r\n\r\nmissing closing parenthesis at offset 6",
          "Cannot find text: \"ne(dle\""}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_sink.Clear();
        TFormView &form = OpenLog();
        const auto regex = [this, &form](const char *text) {
            AnswerDialog(form, [text](TFormViewFindText &d) {
                d.edText->setEditText(text);
                d.chkRegex->setChecked(true);
            });
        };
        regex(c.found);
        form.ShowFindDialog();
        ASSERT_EQ(form.Rec(0).View->SelStart(), kFirst);
        m_sink.Clear();
        const OnShow shown(form.FindProgress(), nullptr);
        if (c.failed) {
            regex(c.failed);
            form.ShowFindDialog();
        } else {
            form.Acts().acEditFindPrev->trigger();
        }
        EXPECT_EQ(SearchErrors(), c.messages);
        EXPECT_EQ(shown.Shows, 0) << "no progress window for a search that never started";
        EXPECT_EQ(form.Rec(0).View->SelStart(), kFirst);
    }
}

TEST_F(SearchTest, CancelStopsASearchOfAHugeFile)
{
    // 10 GiB that hold the text only at their end: a Cancel that did not
    // stop the search would find it.
    const QString path = PathOf(QStringLiteral("huge.log"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize((qint64(10) << 30) - 6));
        ASSERT_TRUE(file.seek(file.size()));
        ASSERT_EQ(file.write("needle"), 6);
    }
    TFormView &form = MakeForm();
    form.OpenFileTab(path);
    AnswerDialog(form, [](TFormViewFindText &d) { d.edText->setEditText("needle"); });
    TFormViewFindProgress *window = form.FindProgress();
    QString searching, percent;
    int alpha = -1;
    QTimer::singleShot(1200, [&] {
        searching = window->labSearch->text();
        percent = window->labPercent->text();
        alpha = window->AlphaBlendValue();
        window->btnCancel->click();
    });
    form.ShowFindDialog();

    EXPECT_TRUE(m_sink.Messages().empty()) << "a cancelled search tells nothing of the text";
    EXPECT_EQ(searching, "Searching: \"needle\"");
    EXPECT_TRUE(QRegularExpression("^[0-9]+%$").match(percent).hasMatch()) << percent.toStdString();
    // The fade-in went on while the search ran.
    EXPECT_TRUE(alpha == 1 || alpha == 2 || alpha == 3 || alpha == 4 || alpha == 5 ||
                (alpha > 5 && alpha % 50 == 5) || alpha == 255)
        << alpha;
    EXPECT_GT(alpha, 0);
    EXPECT_EQ(form.Rec(0).View->SelLength(), 0);
    EXPECT_EQ(form.Rec(0).SRPos, -1);
    EXPECT_FALSE(window->isVisible());
}

TEST(SearchMessages, PatternErrorIsShownWithRealLineBreaks)
{
    EXPECT_EQ(MessageBoxText("Regular expression pattern error:\r\n\r\nmissing closing "
                             "parenthesis at offset 3"),
              "Regular expression pattern error:\n\nmissing closing parenthesis at offset 3");
    EXPECT_EQ(MessageBoxText("a\rb\nc"), "a\nb\nc");
}

TEST(FindProgress, FadesInOverTenTicks)
{
    TFormViewFindProgress window;
    window.SetAlphaBlendValue(0);
    window.Timer2->start();
    std::vector<int> steps;
    for (int i = 0; i < 10; ++i) {
        window.Timer2Timer();
        steps.push_back(window.AlphaBlendValue());
    }
    EXPECT_EQ(steps, (std::vector<int>{1, 2, 3, 4, 5, 55, 105, 155, 205, 255}));
    EXPECT_FALSE(window.Timer2->isActive());
}

TEST(FindProgress, ShowsThePercentAndPassesCancelOn)
{
    TFormViewFindProgress window;
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
        window.SearchProgress(c.current, c.maximal, go);
        EXPECT_EQ(window.labPercent->text(), c.label);
        EXPECT_EQ(window.ProgressBar1->value(), c.bar);
        EXPECT_TRUE(go);
    }
    window.btnCancelClick();
    bool go = true;
    window.SearchProgress(1, 2, go);
    EXPECT_FALSE(go);
}

TEST(FindProgress, ALongSearchTextIsElidedNotWidened)
{
    QByteArray bytes = "some text\n";
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    TQzBinHex view;
    view.OpenStream(&buffer);
    const QString text = QStringLiteral("head ") + QString(2000, u'x') + QStringLiteral(" tail");
    EXPECT_FALSE(view.FindFirst(text, {}, -1));
    TFormViewFindProgress window;
    window.RunView = &view;
    bool go = true;
    window.SearchProgress(1, 2, go);
    window.adjustSize();
    const QString shown = window.labSearch->text();
    EXPECT_TRUE(shown.startsWith("Searching: \"head ")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(" tail\"")) << shown.toStdString();
    EXPECT_LT(shown.size(), 200);
    EXPECT_LE(window.width(), 600);
}

} // namespace
