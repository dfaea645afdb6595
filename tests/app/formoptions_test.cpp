// The options dialog: its controls, loading and taking back the settings,
// the keys of its spin fields, and the exchange with the main window.
#include "formfixture.h"

#include "app/formoptions.h"
#include "viewer/qzbinhex.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

namespace {

using OptionsTest = FormFixture;

TEST_F(OptionsTest, EveryLabelsAccessKeyReachesItsControl)
{
    TFormOptions dialog;
    struct Case
    {
        const char *Label;
        QWidget *Buddy;
    };
    const Case cases[] = {
        {"Auto-reload &interval", dialog.edTime},
        {"&Background color", dialog.btnColor},
        {"&Maximal line length", dialog.edMaxLen},
        {"&Tab size", dialog.edTabSize},
        {"&Interline spacing", dialog.edSp},
        {"&Only for the first:", dialog.edLineBuf},
        {"&Max count of line numbers:", dialog.edLineCount},
        {"&Step (1: show for all lines):", dialog.edLineStep},
    };
    const QList<QLabel *> labels = dialog.findChildren<QLabel *>();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Label);
        const auto found = std::find_if(labels.begin(), labels.end(),
                                        [&](const QLabel *l) { return l->text() == c.Label; });
        ASSERT_NE(found, labels.end());
        EXPECT_EQ((*found)->buddy(), c.Buddy);
    }
    // The two "&Font:" labels lead to their own buttons, one on each page.
    QList<QWidget *> fontBuddies;
    for (const QLabel *label : labels)
        if (label->text() == "&Font:")
            fontBuddies << label->buddy();
    EXPECT_EQ(fontBuddies.size(), 2);
    EXPECT_TRUE(fontBuddies.contains(dialog.btnFont));
    EXPECT_TRUE(fontBuddies.contains(dialog.btnFont2));

    EXPECT_EQ(dialog.windowTitle(), "Options");
    ASSERT_EQ(dialog.PageControl1->count(), 3);
    EXPECT_EQ(dialog.PageControl1->tabText(0), "Interface");
    EXPECT_EQ(dialog.PageControl1->tabText(1), "Viewer");
    EXPECT_EQ(dialog.PageControl1->tabText(2), "Gutter && line numbers");
    EXPECT_EQ(dialog.PageControl1->currentIndex(), 0);
    EXPECT_EQ(dialog.chkCfmClear->text(), "Show &confirmation for \"Clear log\" command");
}

TEST_F(OptionsTest, ValuesGoInAndComeBackWithTheirFallbacks)
{
    AppSettings in;
    in.MaxLen = 5000; // beyond the field
    in.TabSize = 1;
    in.LineSp = -3;
    in.ReloadTime = 42;
    in.GutterLinesBuf = 64 * 1024;
    in.Tool = false;
    in.Reopen = true;
    in.Font = {"DejaVu Sans Mono", 12, 0, 0, 204};
    TFormOptions dialog;
    dialog.LoadFrom(in);
    EXPECT_EQ(dialog.edMaxLen->value(), 2000);
    EXPECT_EQ(dialog.edTabSize->value(), 2);
    EXPECT_EQ(dialog.edSp->value(), -3);
    EXPECT_EQ(dialog.edTime->currentIndex(), 7);
    EXPECT_EQ(dialog.edLineBuf->text(), "64");
    EXPECT_EQ(dialog.labFont->text(), "DejaVu Sans Mono, 12");
    EXPECT_FALSE(dialog.chkTool->isChecked());
    EXPECT_TRUE(dialog.chkReopen->isChecked());

    struct Case
    {
        const char *Buf, *Count, *Step;
        int WantBuf, WantCount, WantStep;
    };
    const Case cases[] = {
        {"0", "abc", "", 0, 2000, 5},
        {"x1", "10", "1", 500 * 1024, 10, 1},
        {" 7 ", "-3", "2.5", 7 * 1024, -3, 5},
        {"99999999", "1", "1", INT_MAX, 1, 1}, // would not fit in bytes
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Buf);
        dialog.edLineBuf->setText(c.Buf);
        dialog.edLineCount->setText(c.Count);
        dialog.edLineStep->setText(c.Step);
        AppSettings out;
        dialog.TakeInto(out);
        EXPECT_EQ(out.GutterLinesBuf, c.WantBuf);
        EXPECT_EQ(out.GutterLinesCount, c.WantCount);
        EXPECT_EQ(out.GutterLinesStep, c.WantStep);
        EXPECT_EQ(out.MaxLen, 2000);
        EXPECT_EQ(out.TabSize, 2);
        EXPECT_EQ(out.ReloadTime, 7);
        EXPECT_EQ(out.Font, in.Font);
        EXPECT_FALSE(out.Tool);
    }
}

TEST_F(OptionsTest, EnterAndEscInASpinFieldCloseTheDialog)
{
    struct Case
    {
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        int Result; // -1: still open
    };
    const Case cases[] = {
        {Qt::Key_Return, Qt::NoModifier, QDialog::Accepted},
        {Qt::Key_Enter, Qt::KeypadModifier, QDialog::Accepted},
        {Qt::Key_Escape, Qt::NoModifier, QDialog::Rejected},
        {Qt::Key_Return, Qt::ControlModifier, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.Key));
        TFormOptions dialog;
        dialog.setResult(-1);
        dialog.show();
        dialog.PageControl1->setCurrentIndex(1);
        QTest::keyClick(dialog.edTabSize, c.Key, c.Modifiers);
        EXPECT_EQ(dialog.result(), c.Result);
    }
}

TEST_F(OptionsTest, OkAppliesAtOnceAndCancelChangesNothing)
{
    TFormView &form = MakeForm();
    form.resize(700, 400);
    ShowForm(form);
    QByteArray text;
    for (int i = 0; i < 3000; ++i)
        text += "line " + QByteArray::number(i) + '\n';
    form.OpenFileTab(WriteFile("a.log", text));
    TQzBinHex *view = form.Rec(0).View;
    view->ScrollTo(20000);
    const qint64 at = view->ViewPos();
    const bool wrapped = view->TextWrap();

    std::function<int(TFormOptions &)> edit;
    form.ExecDialog = [&](QDialog &dialog) {
        auto *options = dynamic_cast<TFormOptions *>(&dialog);
        EXPECT_NE(options, nullptr);
        return options ? edit(*options) : int(QDialog::Rejected);
    };

    // A font chosen and then cancelled leaves everything as it was.
    const AppSettings before = form.Settings();
    edit = [](TFormOptions &dialog) {
        dialog.ChooseFont = [](FontSpec &font) {
            font.Name = "Other";
            return true;
        };
        dialog.btnFontClick();
        EXPECT_EQ(dialog.labFont->text(), "Other, 10");
        dialog.chkTool->setChecked(false);
        return int(QDialog::Rejected);
    };
    form.Acts().acOptDialog->trigger();
    EXPECT_EQ(form.Settings(), before);
    EXPECT_FALSE(form.findChild<QToolBar *>("ToolBar1")->isHidden());

    edit = [](TFormOptions &dialog) {
        dialog.chkTool->setChecked(false);
        dialog.chkWrap->setChecked(true);
        dialog.edLineCount->setText("abc");
        dialog.edTabSize->setValue(4);
        return int(QDialog::Accepted);
    };
    form.Acts().acOptDialog->trigger();
    EXPECT_TRUE(form.findChild<QToolBar *>("ToolBar1")->isHidden());
    EXPECT_EQ(form.Settings().GutterLinesCount, 2000);
    EXPECT_TRUE(form.Settings().Wrap);
    EXPECT_EQ(view->TextTabSize(), 4);
    EXPECT_EQ(view->TextWrap(), wrapped) << "the default is for tabs opened later";
    EXPECT_EQ(view->ViewPos(), at) << "reloaded in place";
    form.OpenFileTab(PathOf("a.log"));
    EXPECT_TRUE(form.Rec(1).View->TextWrap());
}

} // namespace
