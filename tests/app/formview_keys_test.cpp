// Shortcuts reach the window's commands while a viewer has the focus.
#include "formfixture.h"

#include "viewer/qzbinhex.h"

#include <QApplication>
#include <QTest>

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

} // namespace
