// The quick find bar: opening and closing it from the keyboard, search as
// you type, the steps, the toggles and their settings, a pattern that does
// not compile, the marks on screen and the count of the matches.
#include "shownlogfixture.h"

#include "app/findbar.h"
#include "app/finddialog.h"
#include "app/quickfind.h"
#include "app/searchprogresswindow.h"
#include "search/streamsearch.h"
#include "viewer/logview.h"
#include "viewer/matchdecorator.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

namespace {

const QByteArray kLog = "start\n"
                        "one needle here\n"  // 6
                        "two\n"              // 22
                        "three needle\n"     // 26
                        "four Needle four\n" // 39
                        "end\n";
constexpr qint64 kFirst = 10, kSecond = 32, kThird = 44;

class QuickFindTest : public ShownLogFixture
{
protected:
    MainWindow &openLog(const QByteArray &bytes = kLog) { return ShownLogFixture::openLog(bytes); }

    // Opens the bar with "/" from the text.
    QuickFind *openBar(MainWindow &form)
    {
        LogView *view = form.activeView();
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Slash);
        QuickFind *find = form.quickFindOf(view);
        EXPECT_TRUE(find && find->isOpen());
        return find;
    }

    static void type(QuickFind *find, const QString &text)
    {
        find->bar()->edText->clear();
        QTest::keyClicks(find->bar()->edText, text);
    }

    static bool waitCount(QuickFind *find, const QString &text)
    {
        const bool seen =
            QTest::qWaitFor([&] { return find->bar()->labCount->text() == text; }, 20000);
        EXPECT_TRUE(seen) << "the bar says \"" << find->bar()->labCount->text().toStdString()
                          << "\", not \"" << text.toStdString() << '"';
        return seen;
    }

    static bool waitSelection(LogView *view, qint64 start, qint64 length)
    {
        const bool seen = QTest::qWaitFor(
            [&] { return view->selStart() == start && view->selLength() == length; }, 20000);
        EXPECT_TRUE(seen) << "selection " << view->selStart() << '+' << view->selLength();
        return seen;
    }

    static void settle(MainWindow &form)
    {
        EXPECT_TRUE(QTest::qWaitFor([&form] { return !form.findProgress()->running(); }, 20000));
    }

    // Pixels of the viewer painted in the colour of the marks.
    static int markedPixels(LogView *view)
    {
        const QImage image = view->viewport()->grab().toImage();
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixelColor(x, y) == MatchDecorator::kDefaultBack;
        return n;
    }
};

TEST_F(QuickFindTest, TypingFindsFromTheTopAndTheKeysStepAndClose)
{
    MainWindow &form = openLog();
    LogView *view = form.activeView();
    QuickFind *find = openBar(form);
    ASSERT_TRUE(find);
    EXPECT_EQ(QApplication::focusWidget(), find->bar()->edText);

    type(find, "needle");
    // The marks follow each key; the search waits for the pause.
    EXPECT_EQ(find->decorator()->matcher().pattern().text, "needle");
    EXPECT_EQ(view->selLength(), 0);
    EXPECT_TRUE(find->bar()->typingTimer->isActive());
    waitSelection(view, kFirst, 6);
    waitCount(find, "match 1 of 3");

    QTest::keyClick(find->bar()->edText, Qt::Key_Return);
    settle(form);
    waitSelection(view, kSecond, 6);
    waitCount(find, "match 2 of 3");
    EXPECT_EQ(QApplication::focusWidget(), find->bar()->edText) << "the keyboard stays in the bar";
    QTest::keyClick(find->bar()->edText, Qt::Key_Return);
    settle(form);
    waitSelection(view, kThird, 6);
    QTest::keyClick(find->bar()->edText, Qt::Key_Return, Qt::ShiftModifier);
    settle(form);
    waitSelection(view, kSecond, 6);

    // Ctrl+C in the bar copies the match when the field has no selection.
    QTest::keyClick(find->bar()->edText, Qt::Key_End);
    QTest::keyClick(find->bar()->edText, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "needle");
    find->bar()->edText->setSelection(0, 2);
    QTest::keyClick(find->bar()->edText, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "ne");

    // The text is the find dialog's last and first in its history.
    EXPECT_EQ(form.findState().findHistory, QStringList{"needle"});
    EXPECT_EQ(form.findState().findText, "needle");

    // Esc closes the bar, not the window, and the text has the keyboard.
    QTest::keyClick(find->bar()->edText, Qt::Key_Escape);
    EXPECT_FALSE(find->isOpen());
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join('|').toStdString();
    EXPECT_EQ(QApplication::focusWidget(), view);

    // F3 goes on with the bar's text.
    form.acts().findNext->trigger();
    settle(form);
    EXPECT_EQ(view->selStart(), kThird);

    // Ctrl+Shift+F opens it again with its text.
    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(find->isOpen());
    EXPECT_EQ(find->bar()->edText->selectedText(), "needle");
}

TEST_F(QuickFindTest, TypingOnSearchesFromWhereTheTypingBegan)
{
    MainWindow &form = openLog("needle\nnee\nneedle2\n");
    LogView *view = form.activeView();
    QuickFind *find = openBar(form);
    QTest::keyClicks(find->bar()->edText, "nee");
    waitSelection(view, 0, 3);
    QTest::keyClicks(find->bar()->edText, "dle2");
    waitSelection(view, 11, 7);
}

TEST_F(QuickFindTest, TogglesFollowTheirKeysAndSurviveARestart)
{
    {
        MainWindow &form = openLog();
        QuickFind *find = openBar(form);
        FindBar *bar = find->bar();
        struct Case
        {
            Qt::Key key;
            QToolButton *button;
            bool FindState::*field;
        };
        const Case cases[] = {
            {Qt::Key_C, bar->btnCase, &FindState::barCase},
            {Qt::Key_W, bar->btnWords, &FindState::barWords},
            {Qt::Key_R, bar->btnRegex, &FindState::barRegex},
        };
        for (const Case &c : cases) {
            QTest::keyClick(bar->edText, c.key, Qt::AltModifier);
            EXPECT_TRUE(c.button->isChecked());
            EXPECT_TRUE(form.findState().*c.field);
            EXPECT_TRUE(bar->edText->text().isEmpty()) << "the key typed nothing";
        }
        QTest::keyClick(bar->edText, Qt::Key_R, Qt::AltModifier);
        EXPECT_FALSE(form.findState().barRegex);
        // Case kept: only "Needle" is found.
        type(find, "Needle");
        waitSelection(form.activeView(), kThird, 6);
        waitCount(find, "match 1 of 1");
        ASSERT_TRUE(form.saveSettings());
    }
    MainWindow &form = openLog();
    EXPECT_TRUE(form.findState().barCase);
    EXPECT_TRUE(form.findState().barWords);
    EXPECT_FALSE(form.findState().barRegex);
    QuickFind *find = openBar(form);
    EXPECT_TRUE(find->bar()->btnCase->isChecked());
    EXPECT_TRUE(find->bar()->btnWords->isChecked());
    EXPECT_FALSE(find->bar()->btnRegex->isChecked());
}

TEST_F(QuickFindTest, APatternThatDoesNotCompileTurnsTheFieldRed)
{
    MainWindow &form = openLog();
    LogView *view = form.activeView();
    QuickFind *find = openBar(form);
    QTest::keyClick(find->bar()->edText, Qt::Key_R, Qt::AltModifier);
    type(find, "ne(dle");
    ASSERT_TRUE(QTest::qWaitFor([&] { return find->bar()->hasPatternError(); }, 5000));
    EXPECT_TRUE(find->bar()->edText->toolTip().contains("missing closing parenthesis"))
        << find->bar()->edText->toolTip().toStdString();
    EXPECT_FALSE(find->bar()->edText->styleSheet().isEmpty());
    QTest::keyClick(find->bar()->edText, Qt::Key_Return);
    QTest::qWait(2 * FindBar::kTypingPauseMs);
    EXPECT_EQ(view->selLength(), 0) << "nothing was searched";
    EXPECT_TRUE(find->bar()->labCount->text().isEmpty());
    EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join('|').toStdString();

    type(find, "ne(e)dle");
    waitSelection(view, kFirst, 6);
    EXPECT_FALSE(find->bar()->hasPatternError());
    EXPECT_TRUE(find->bar()->edText->toolTip().isEmpty());
}

TEST_F(QuickFindTest, EveryMatchOnScreenIsMarkedWhileTheBarHoldsIt)
{
    MainWindow &form = openLog();
    LogView *view = form.activeView();
    EXPECT_EQ(markedPixels(view), 0);
    QuickFind *find = openBar(form);
    type(find, "needle");
    waitCount(find, "match 1 of 3");
    view->repaint();
    const int marked = markedPixels(view);
    EXPECT_GT(marked, 0);
    // The selected match shows the selection, not the mark.
    view->setSelection(0, 0, false, true, true);
    view->repaint();
    EXPECT_GT(markedPixels(view), marked);
    QTest::keyClick(find->bar()->edText, Qt::Key_Escape);
    view->repaint();
    EXPECT_EQ(markedPixels(view), 0);
}

TEST_F(QuickFindTest, TheCountFollowsTheFileAsItGrowsAndIsRewritten)
{
    MainWindow &form = openLog();
    QuickFind *find = openBar(form);
    type(find, "needle");
    waitCount(find, "match 1 of 3");

    QFile file(m_log);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("needle at the end\n");
    file.close();
    form.acts().fileReload->trigger();
    waitCount(find, "4 matches");

    writeFile(QStringLiteral("app.log"), "no such thing\nneedle\n");
    form.acts().fileReload->trigger();
    waitCount(find, "1 match");
}

TEST_F(QuickFindTest, ATabWaitingForItsFileTakesTypingQuietly)
{
    MainWindow &form = makeForm();
    form.openFileTab(pathOf(QStringLiteral("missing.log")));
    showForm(form);
    const qsizetype told = m_sink.messages().size(); // "Cannot open file"
    form.openQuickFind();
    QuickFind *find = form.quickFindOf(form.activeView());
    ASSERT_TRUE(find);
    type(find, "needle");
    QTest::qWait(3 * FindBar::kTypingPauseMs);
    EXPECT_EQ(m_sink.messages().size(), told) << m_sink.texts().join('|').toStdString();
    EXPECT_TRUE(find->bar()->labCount->text().isEmpty());
}

TEST(QuickFindText, CountsAreToldWithGroupedDigits)
{
    struct Case
    {
        bool hasText;
        bool counting;
        qint64 count;
        qint64 current;
        QString text;
    };
    MatchCount many;
    many.count = 1204;
    for (qint64 i = 0; i < many.count; ++i)
        many.starts.push_back(i * 10);
    MatchCount none;
    MatchCount one;
    one.count = 1;
    one.starts = {7};
    const std::pair<Case, const MatchCount *> cases[] = {
        {{false, false, 0, -1, ""}, &many},
        {{true, true, 0, -1, "counting\u2026"}, &many},
        {{true, false, 0, -1, "no matches"}, &none},
        {{true, false, 0, -1, "1 match"}, &one},
        {{true, false, 0, 7, "match 1 of 1"}, &one},
        {{true, false, 0, -1, "1 204 matches"}, &many},
        {{true, false, 0, 20, "match 3 of 1 204"}, &many},
        {{true, false, 0, 25, "1 204 matches"}, &many}, // not a match start
    };
    for (const auto &[c, count] : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(QuickFind::countText(c.hasText, c.counting, *count, c.current), c.text);
    }
    EXPECT_EQ(QuickFind::groupDigits(0), "0");
    EXPECT_EQ(QuickFind::groupDigits(999), "999");
    EXPECT_EQ(QuickFind::groupDigits(1000), "1 000");
    EXPECT_EQ(QuickFind::groupDigits(1234567), "1 234 567");
}

} // namespace
