// Keys reach the active viewer, and shortcuts the window's commands, while
// no dialog is open.
#include "formfixture.h"

#include "viewer/qzbinhex.h"

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
    TFormView &ShownFormWithTab()
    {
        TFormView &form = MakeForm();
        form.OpenFileTab(WriteFile("keys.log", "line one\nline two\n"));
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
        Qt::Key Key;
        int Encoding;
    };
    const Case cases[] = {{Qt::Key_U, 130}, {Qt::Key_S, 1}, {Qt::Key_A, 0}};
    TFormView &form = ShownFormWithTab();
    TQzBinHex *view = form.ActiveView();
    ASSERT_TRUE(view->hasFocus());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Encoding);
        QTest::keyClick(view, c.Key);
        EXPECT_EQ(view->TextEncoding(), c.Encoding);
        EXPECT_EQ(form.OpenHistory().Items()[0].Encoding, c.Encoding);
    }
}

TEST_F(KeysTest, FAndWToggleTailAndWrap)
{
    TFormView &form = ShownFormWithTab();
    TQzBinHex *view = form.ActiveView();
    QTest::keyClick(view, Qt::Key_F);
    QTest::keyClick(view, Qt::Key_W);
    EXPECT_FALSE(view->AutoReloadFollowTail);
    EXPECT_TRUE(view->TextWrap());
}

TEST_F(KeysTest, EscAsksBeforeClosing)
{
    TFormView &form = ShownFormWithTab();
    m_sink.SetAnswer(MsgResult::Cancel);
    QTest::keyClick(form.ActiveView(), Qt::Key_Escape);
    EXPECT_EQ(m_sink.Texts().size(), 1);
    EXPECT_TRUE(form.isVisible());

    m_sink.SetAnswer(MsgResult::Ok);
    QTest::keyClick(form.ActiveView(), Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
}

// A key as the window system delivers it: to whichever widget has the focus.
void PressKey(TFormView &form, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(form.windowHandle(), key, modifiers);
}

QByteArray ManyLines()
{
    QByteArray data;
    for (int i = 0; i < 2000; ++i)
        data += "line " + QByteArray::number(i) + "\n";
    return data;
}

void ExpectKeysReachTheActiveViewer(TFormView &form)
{
    TQzBinHex *view = form.ActiveView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(QApplication::focusWidget(), view);
    const int index = form.Pages()->currentIndex();
    const qint64 before = view->ViewPos();
    PressKey(form, Qt::Key_PageDown);
    EXPECT_GT(view->ViewPos(), before) << "Page Down scrolls the active viewer";
    PressKey(form, Qt::Key_Right);
    EXPECT_EQ(form.Pages()->currentIndex(), index) << "Right does not switch tabs";
    PressKey(form, Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(view->ViewAtEnd()) << "Ctrl+End reaches the viewer";
    PressKey(form, Qt::Key_Home, Qt::ControlModifier);
}

TEST_F(KeysTest, ViewerHasTheFocusAfterEveryTabChange)
{
    struct Step
    {
        const char *Name;
        std::function<void(TFormView &)> Run;
        int Active;
    };
    const QString a = WriteFile("a.log", ManyLines());
    const QString b = WriteFile("b.log", ManyLines());
    const QString c = WriteFile("c.log", ManyLines());
    const Step steps[] = {
        {"open", [&](TFormView &f) { f.OpenFileTab(b); }, 1},
        {"open a third", [&](TFormView &f) { f.OpenFileTab(c); }, 2},
        {"click the first tab",
         [](TFormView &f) {
             QTabBar *bar = f.Pages()->tabBar();
             QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
         },
         0},
        {"close the active tab", [](TFormView &f) { f.Acts().acFileClose->trigger(); }, 0},
        {"click the last tab",
         [](TFormView &f) {
             QTabBar *bar = f.Pages()->tabBar();
             QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
         },
         1},
        {"click the viewer's scroll bar",
         [](TFormView &f) {
             QScrollBar *bar = f.ActiveView()->verticalScrollBar();
             QTest::mouseClick(bar, Qt::LeftButton, {},
                               QPoint(bar->width() / 2, bar->height() - 30));
         },
         1},
        {"click the status bar",
         [](TFormView &f) { QTest::mouseClick(f.statusBar(), Qt::LeftButton, {}, QPoint(5, 5)); },
         1},
        {"close with the shortcut",
         [](TFormView &f) { PressKey(f, Qt::Key_W, Qt::ControlModifier); }, 0},
    };
    TFormView &form = MakeForm();
    form.OpenFileTab(a);
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    ExpectKeysReachTheActiveViewer(form);
    for (const Step &step : steps) {
        SCOPED_TRACE(step.Name);
        step.Run(form);
        EXPECT_EQ(form.Pages()->currentIndex(), step.Active);
        ExpectKeysReachTheActiveViewer(form);
    }
}

TEST_F(KeysTest, ViewerHasTheFocusAtStart)
{
    struct Case
    {
        const char *Name;
        QByteArray Settings;
        QStringList Arguments;
    };
    const QString a = WriteFile("a.log", ManyLines());
    const QString b = WriteFile("b.log", ManyLines());
    const Case cases[] = {
        {"command line", "", {a, b}},
        {"last logs",
         "[Opt]\nReopen=1\n[Save]\nNum=2\n1=" + a.toUtf8() + "\n2=" + b.toUtf8() + "\n",
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        WriteSettings(c.Settings);
        TFormView &form = MakeForm(ParseCommandLine(c.Arguments));
        form.show();
        QApplication::setActiveWindow(&form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        QCoreApplication::processEvents();
        ASSERT_EQ(form.RecCount(), 2);
        ExpectKeysReachTheActiveViewer(form);
        m_form.reset();
    }
}

} // namespace
