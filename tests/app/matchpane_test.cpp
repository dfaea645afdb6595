// The matching-lines pane as the user drives it: "&" and Alt+M list the
// lines holding the bar's text, rows lead the log to their line, the pane
// follows a growing log, is listed afresh after a truncation, keeps to its
// limit, and comes back with a session.
#include "shownlogfixture.h"

#include "app/findbar.h"
#include "app/matchpane.h"
#include "app/quickfind.h"
#include "viewer/logview.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QSplitter>
#include <QTest>
#include <QToolButton>

namespace {

const QByteArray kLog = "10:00 INFO start\n"             // line 1, offset 0
                        "10:01 ERROR disk full\n"        // line 2, offset 17
                        "10:02 INFO ok\n"                // line 3, offset 39
                        "10:03 WARN error-ish ERROR x\n" // line 4, offset 53
                        "10:04 INFO done\n";             // line 5, offset 82

class MatchPaneTest : public ShownLogFixture
{
protected:
    MainWindow &openLog(const QByteArray &bytes = kLog) { return ShownLogFixture::openLog(bytes); }

    // Types text into the bar and asks for the pane with Alt+M.
    static MatchPane *listWithBar(MainWindow &form, const QString &text, bool caseSensitive = true)
    {
        LogView *view = form.activeView();
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Slash);
        QuickFind *find = form.quickFindOf(view);
        if (!find)
            return nullptr;
        find->bar()->setToggles(caseSensitive, false, false);
        find->bar()->edText->setText(text);
        QTest::keyClick(find->bar()->edText, Qt::Key_M, Qt::AltModifier);
        return form.matchPaneOf(view);
    }

    static bool waitListed(MatchPane *pane, qint64 rows)
    {
        const bool done =
            QTest::qWaitFor([&] { return !pane->running() && pane->rowCount() == rows; }, 20000);
        EXPECT_TRUE(done) << pane->rowCount() << " rows: " << pane->statusText().toStdString();
        return done;
    }

    // The pane's text as it shows it.
    static QByteArray paneText(MatchPane *pane)
    {
        const FileSource *source = pane->view()->document().source();
        if (!source)
            return {};
        QByteArray bytes(source->size(), 0);
        qint64 got = 0;
        source->read(bytes.data(), bytes.size(), 0, &got);
        return bytes.left(got);
    }
};

TEST_F(MatchPaneTest, AltMListsTheLinesAndARowLeadsTheLogToItsMatch)
{
    MainWindow &form = openLog();
    MatchPane *pane = listWithBar(form, QStringLiteral("ERROR"));
    ASSERT_TRUE(pane);
    ASSERT_TRUE(waitListed(pane, 2));
    EXPECT_TRUE(pane->isOpen());
    EXPECT_EQ(paneText(pane), "10:01 ERROR disk full\n10:03 WARN error-ish ERROR x\n");
    EXPECT_EQ(pane->statusText(), QStringLiteral("2 lines with \u201CERROR\u201D"));
    // The log sits above the pane in its page.
    EXPECT_EQ(pane->splitter()->widget(0), form.activeView());

    // Enter on the second row: the log selects that line's match.
    LogView *log = form.activeView();
    LogView *rows = pane->view();
    rows->setSelection(22, 1, false, false, false);
    QTest::keyClick(rows, Qt::Key_Return);
    EXPECT_EQ(log->selStart(), 53 + 21);
    EXPECT_EQ(log->selLength(), 5);
    // A click on the first row: its line, and the marker follows the log.
    rows->clearSelection(false);
    const QPoint first(rows->textLeft() + 5, rows->lineHeight() / 2);
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, first);
    EXPECT_EQ(log->selStart(), 17 + 6);
    EXPECT_EQ(log->selLength(), 5);
}

TEST_F(MatchPaneTest, AmpersandWithoutTextOpensTheBarFirst)
{
    MainWindow &form = openLog();
    LogView *view = form.activeView();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Ampersand);
    QuickFind *find = form.quickFindOf(view);
    ASSERT_TRUE(find);
    EXPECT_TRUE(find->isOpen());
    EXPECT_EQ(form.matchPaneOf(view), nullptr);
    // With text in the bar, "&" in the log lists it.
    find->bar()->setToggles(true, false, false);
    find->bar()->edText->setText(QStringLiteral("INFO"));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Ampersand);
    MatchPane *pane = form.matchPaneOf(view);
    ASSERT_TRUE(pane);
    EXPECT_TRUE(waitListed(pane, 3));
}

TEST_F(MatchPaneTest, InvertListsTheOtherLines)
{
    MainWindow &form = openLog();
    MatchPane *pane = listWithBar(form, QStringLiteral("INFO"));
    ASSERT_TRUE(pane && waitListed(pane, 3));
    QTest::keyClick(pane->view(), Qt::Key_I, Qt::AltModifier);
    ASSERT_TRUE(waitListed(pane, 2));
    EXPECT_TRUE(pane->filter().invert);
    EXPECT_EQ(paneText(pane), "10:01 ERROR disk full\n10:03 WARN error-ish ERROR x\n");
    EXPECT_EQ(pane->statusText(), QStringLiteral("2 lines without \u201CINFO\u201D"));
}

TEST_F(MatchPaneTest, FollowsAppendsAndListsAfreshAfterATruncation)
{
    MainWindow &form = openLog();
    MatchPane *pane = listWithBar(form, QStringLiteral("ERROR"));
    ASSERT_TRUE(pane && waitListed(pane, 2));
    LogView *log = form.activeView();
    {
        QFile file(m_log);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("10:05 ERROR again\n10:06 INFO fine\n10:07 ERROR half");
    }
    log->handleFileChange();
    ASSERT_TRUE(waitListed(pane, 3));
    // The last line has no break yet: shown, and listed once it is whole.
    EXPECT_TRUE(paneText(pane).endsWith("10:05 ERROR again\n10:07 ERROR half"))
        << paneText(pane).constData();
    {
        QFile file(m_log);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(" done\n");
    }
    log->handleFileChange();
    ASSERT_TRUE(waitListed(pane, 4));
    EXPECT_TRUE(paneText(pane).endsWith("10:05 ERROR again\n10:07 ERROR half done\n"));

    // A truncated log holds other lines at the same offsets.
    writeFile(QStringLiteral("app.log"), "ERROR new\nok\n");
    log->handleFileChange();
    ASSERT_TRUE(waitListed(pane, 1));
    EXPECT_EQ(paneText(pane), "ERROR new\n");
}

TEST_F(MatchPaneTest, KeepsToItsLimitAndSaysHowManyItLeftOut)
{
    MainWindow &form = openLog();
    LogView *view = form.activeView();
    MatchPane *pane = form.matchPaneOf(view, true);
    pane->setLimit(1);
    pane->list({{QStringLiteral("INFO"), true}, encodingAnsi, false});
    ASSERT_TRUE(waitListed(pane, 1));
    EXPECT_EQ(pane->leftOut(), 2);
    EXPECT_EQ(pane->statusText(), QStringLiteral("1 lines with \u201CINFO\u201D; 2 more left out "
                                                 "(the pane holds at most 1)"));
}

TEST_F(MatchPaneTest, ASessionBringsThePaneBack)
{
    const QString session = pathOf(QStringLiteral("s.ravelin-session"));
    {
        MainWindow &form = openLog();
        MatchPane *pane = listWithBar(form, QStringLiteral("ERROR"));
        ASSERT_TRUE(pane && waitListed(pane, 2));
        pane->setRatio(0.4);
        QApplication::processEvents();
        ASSERT_TRUE(form.saveSession(session));
        form.closeAllTabs();
    }
    MainWindow &form = makeForm();
    showForm(form);
    form.openSession(session);
    ASSERT_EQ(form.tabCount(), 1);
    MatchPane *pane = form.matchPaneOf(form.activeView());
    ASSERT_TRUE(pane);
    ASSERT_TRUE(waitListed(pane, 2));
    EXPECT_EQ(pane->filter().pattern.text, QStringLiteral("ERROR"));
    EXPECT_TRUE(pane->filter().pattern.caseSensitive);
    EXPECT_NEAR(pane->ratio(), 0.4, 0.02);
}

} // namespace
