// Keys reach the active viewer, and shortcuts the window's commands, while
// no dialog is open.
#include "formfixture.h"
#include "common/encodingarg.h"

#include "viewer/logview.h"

#include <QApplication>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <functional>

namespace {

class KeysTest : public FormFixture
{
protected:
    MainWindow &shownFormWithTab()
    {
        MainWindow &form = makeForm();
        form.openFileTab(writeFile("keys.log", "line one\nline two\n"));
        form.show();
        form.activateWindow();
        QApplication::setActiveWindow(&form);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
        return form;
    }
};

TEST_F(KeysTest, SingleLettersSwitchTheEncoding)
{
    struct Case
    {
        Qt::Key key;
        EncodingArg encoding;
    };
    const Case cases[] = {{Qt::Key_U, 130}, {Qt::Key_S, 1}, {Qt::Key_A, 0}};
    MainWindow &form = shownFormWithTab();
    LogView *view = form.activeView();
    ASSERT_TRUE(view->hasFocus());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.encoding);
        QTest::keyClick(view, c.key);
        EXPECT_EQ(view->document().textEncoding, c.encoding);
        EXPECT_EQ(form.sessions().recentFiles().items()[0].encoding, c.encoding);
    }
}

TEST_F(KeysTest, FAndWToggleTailAndWrap)
{
    MainWindow &form = shownFormWithTab();
    LogView *view = form.activeView();
    QTest::keyClick(view, Qt::Key_F);
    QTest::keyClick(view, Qt::Key_W);
    EXPECT_FALSE(view->followTail());
    EXPECT_TRUE(view->options().textWrap);
}

TEST_F(KeysTest, EscAsksBeforeClosing)
{
    MainWindow &form = shownFormWithTab();
    m_sink.setAnswer(MsgResult::Cancel);
    QTest::keyClick(form.activeView(), Qt::Key_Escape);
    EXPECT_EQ(m_sink.texts().size(), 1);
    EXPECT_TRUE(form.isVisible());

    m_sink.setAnswer(MsgResult::Ok);
    QTest::keyClick(form.activeView(), Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
}

// A key as the window system delivers it: to whichever widget has the focus.
void pressKey(MainWindow &form, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(form.windowHandle(), key, modifiers);
}

QByteArray manyLines()
{
    QByteArray data;
    for (int i = 0; i < 2000; ++i)
        data += "line " + QByteArray::number(i) + "\n";
    return data;
}

void expectKeysReachTheActiveViewer(MainWindow &form)
{
    LogView *view = form.activeView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(QApplication::focusWidget(), view);
    const int index = form.tabs().pages()->currentIndex();
    const qint64 before = view->viewPos();
    pressKey(form, Qt::Key_PageDown);
    EXPECT_GT(view->viewPos(), before) << "Page Down scrolls the active viewer";
    pressKey(form, Qt::Key_Right);
    EXPECT_EQ(form.tabs().pages()->currentIndex(), index) << "Right does not switch tabs";
    pressKey(form, Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(view->viewAtEnd()) << "Ctrl+End reaches the viewer";
    pressKey(form, Qt::Key_Home, Qt::ControlModifier);
}

TEST_F(KeysTest, ViewerHasTheFocusAfterEveryTabChange)
{
    struct Step
    {
        const char *name;
        std::function<void(MainWindow &)> run;
        int active;
    };
    const QString a = writeFile("a.log", manyLines());
    const QString b = writeFile("b.log", manyLines());
    const QString c = writeFile("c.log", manyLines());
    const Step steps[] = {
        {"open", [&](MainWindow &f) { f.openFileTab(b); }, 1},
        {"open a third", [&](MainWindow &f) { f.openFileTab(c); }, 2},
        {"click the first tab",
         [](MainWindow &f) {
             QTabBar *bar = f.tabs().pages()->tabBar();
             QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
         },
         0},
        {"close the active tab", [](MainWindow &f) { f.acts().fileClose->trigger(); }, 0},
        {"click the last tab",
         [](MainWindow &f) {
             QTabBar *bar = f.tabs().pages()->tabBar();
             QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
         },
         1},
        {"click the viewer's scroll bar",
         [](MainWindow &f) {
             QScrollBar *bar = f.activeView()->verticalScrollBar();
             QTest::mouseClick(bar, Qt::LeftButton, {},
                               QPoint(bar->width() / 2, bar->height() - 30));
         },
         1},
        {"click the status bar",
         [](MainWindow &f) { QTest::mouseClick(f.statusBar(), Qt::LeftButton, {}, QPoint(5, 5)); },
         1},
        {"close with the shortcut",
         [](MainWindow &f) { pressKey(f, Qt::Key_W, Qt::ControlModifier); }, 0},
    };
    MainWindow &form = makeForm();
    form.openFileTab(a);
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    expectKeysReachTheActiveViewer(form);
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        step.run(form);
        EXPECT_EQ(form.tabs().pages()->currentIndex(), step.active);
        expectKeysReachTheActiveViewer(form);
    }
}

TEST_F(KeysTest, ViewerHasTheFocusAtStart)
{
    struct Case
    {
        const char *name;
        QByteArray settings;
        QStringList arguments;
    };
    const QString a = writeFile("a.log", manyLines());
    const QString b = writeFile("b.log", manyLines());
    const Case cases[] = {
        {"command line", "", {a, b}},
        {"last logs",
         "[Opt]\nReopen=1\n[Save]\nNum=2\n1=" + a.toUtf8() + "\n2=" + b.toUtf8() + "\n",
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(c.settings);
        MainWindow &form = makeForm(parseCommandLine(c.arguments));
        form.show();
        QApplication::setActiveWindow(&form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        QCoreApplication::processEvents();
        ASSERT_EQ(form.tabCount(), 2);
        expectKeysReachTheActiveViewer(form);
        m_form.reset();
    }
}

} // namespace
