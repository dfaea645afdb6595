// The options dialog: its controls, loading and taking back the settings,
// the keys of its spin fields, and the exchange with the main window.
#include "formfixture.h"

#include "app/optionsdialog.h"
#include "viewer/logview.h"

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
    OptionsDialog dialog;
    struct Case
    {
        const char *label;
        QWidget *buddy;
    };
    const Case cases[] = {
        {"Auto-reload &interval", dialog.edTime},
        {"&Background color", dialog.btnColor},
        {"&Maximal line length", dialog.edMaxLen},
        {"&Tab size", dialog.edTabSize},
        {"&Interline spacing", dialog.edSp},
        {"Matching-lines &pane keeps at most (lines)", dialog.edPaneLimit},
        {"&Only for the first:", dialog.edLineBuf},
        {"&Max count of line numbers:", dialog.edLineCount},
        {"&Step (1: show for all lines):", dialog.edLineStep},
    };
    const QList<QLabel *> labels = dialog.findChildren<QLabel *>();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const auto found = std::find_if(labels.begin(), labels.end(),
                                        [&](const QLabel *l) { return l->text() == c.label; });
        ASSERT_NE(found, labels.end());
        EXPECT_EQ((*found)->buddy(), c.buddy);
    }
    // The two "&Font:" labels lead to their own buttons, one on each page.
    QList<QWidget *> fontBuddies;
    for (const QLabel *label : labels)
        if (label->text() == "&Font:")
            fontBuddies << label->buddy();
    EXPECT_EQ(fontBuddies.size(), 2);
    EXPECT_TRUE(fontBuddies.contains(dialog.btnFont));
    EXPECT_TRUE(fontBuddies.contains(dialog.btnGutterFont));

    EXPECT_EQ(dialog.windowTitle(), "Options");
    ASSERT_EQ(dialog.pages->count(), 3);
    EXPECT_EQ(dialog.pages->tabText(0), "Interface");
    EXPECT_EQ(dialog.pages->tabText(1), "Viewer");
    EXPECT_EQ(dialog.pages->tabText(2), "Gutter && line numbers");
    EXPECT_EQ(dialog.pages->currentIndex(), 0);
    EXPECT_EQ(dialog.chkCfmClear->text(), "Show &confirmation for \"Clear log\" command");
}

TEST_F(OptionsTest, ValuesGoInAndComeBackWithTheirFallbacks)
{
    AppSettings in;
    in.maxLen = 5000; // beyond the field
    in.tabSize = 1;
    in.lineSp = -3;
    in.paneLimit = 250'000;
    in.reloadTime = 42;
    in.gutterLinesBuf = 64 * 1024;
    in.tool = false;
    in.reopen = true;
    in.font = {"DejaVu Sans Mono", 12, 0, 0, 204};
    OptionsDialog dialog;
    dialog.loadFrom(in);
    EXPECT_EQ(dialog.edMaxLen->value(), 2000);
    EXPECT_EQ(dialog.edTabSize->value(), 2);
    EXPECT_EQ(dialog.edSp->value(), -3);
    EXPECT_EQ(dialog.edPaneLimit->value(), 250'000);
    EXPECT_EQ(dialog.edTime->currentIndex(), 7);
    EXPECT_EQ(dialog.edLineBuf->text(), "64");
    EXPECT_EQ(dialog.labFont->text(), "DejaVu Sans Mono, 12");
    EXPECT_FALSE(dialog.chkTool->isChecked());
    EXPECT_TRUE(dialog.chkReopen->isChecked());

    struct Case
    {
        const char *buf, *count, *step;
        int wantBuf, wantCount, wantStep;
    };
    const Case cases[] = {
        {"0", "abc", "", 0, 2000, 5},
        {"x1", "10", "1", 500 * 1024, 10, 1},
        {" 7 ", "-3", "2.5", 7 * 1024, -3, 5},
        {"99999999", "1", "1", INT_MAX, 1, 1}, // would not fit in bytes
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.buf);
        dialog.edLineBuf->setText(c.buf);
        dialog.edLineCount->setText(c.count);
        dialog.edLineStep->setText(c.step);
        AppSettings out;
        dialog.takeInto(out);
        EXPECT_EQ(out.gutterLinesBuf, c.wantBuf);
        EXPECT_EQ(out.gutterLinesCount, c.wantCount);
        EXPECT_EQ(out.gutterLinesStep, c.wantStep);
        EXPECT_EQ(out.maxLen, 2000);
        EXPECT_EQ(out.tabSize, 2);
        EXPECT_EQ(out.paneLimit, 250'000);
        EXPECT_EQ(out.reloadTime, 7);
        EXPECT_EQ(out.font, in.font);
        EXPECT_FALSE(out.tool);
    }
}

TEST_F(OptionsTest, EnterAndEscInASpinFieldCloseTheDialog)
{
    struct Case
    {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int result; // -1: still open
    };
    const Case cases[] = {
        {Qt::Key_Return, Qt::NoModifier, QDialog::Accepted},
        {Qt::Key_Enter, Qt::KeypadModifier, QDialog::Accepted},
        {Qt::Key_Escape, Qt::NoModifier, QDialog::Rejected},
        {Qt::Key_Return, Qt::ControlModifier, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.key));
        OptionsDialog dialog;
        dialog.setResult(-1);
        dialog.show();
        dialog.pages->setCurrentIndex(1);
        QTest::keyClick(dialog.edTabSize, c.key, c.modifiers);
        EXPECT_EQ(dialog.result(), c.result);
    }
}

TEST_F(OptionsTest, OkAppliesAtOnceAndCancelChangesNothing)
{
    MainWindow &form = makeForm();
    form.resize(700, 400);
    showForm(form);
    QByteArray text;
    for (int i = 0; i < 3000; ++i)
        text += "line " + QByteArray::number(i) + '\n';
    form.openFileTab(writeFile("a.log", text));
    LogView *view = form.tabAt(0).view;
    view->scrollTo(20000);
    const qint64 at = view->viewPos();
    const bool wrapped = view->options().textWrap;

    std::function<int(OptionsDialog &)> edit;
    form.execDialog = [&](QDialog &dialog) {
        auto *options = dynamic_cast<OptionsDialog *>(&dialog);
        EXPECT_NE(options, nullptr);
        return options ? edit(*options) : int(QDialog::Rejected);
    };

    // A font chosen and then cancelled leaves everything as it was.
    const AppSettings before = form.settings();
    edit = [](OptionsDialog &dialog) {
        dialog.chooseFont = [](FontSpec &font) {
            font.name = "Other";
            return true;
        };
        dialog.fontClicked();
        EXPECT_EQ(dialog.labFont->text(), "Other, 10");
        dialog.chkTool->setChecked(false);
        return int(QDialog::Rejected);
    };
    form.acts().options->trigger();
    EXPECT_EQ(form.settings(), before);
    EXPECT_FALSE(form.findChild<QToolBar *>("ToolBar1")->isHidden());

    edit = [](OptionsDialog &dialog) {
        dialog.chkTool->setChecked(false);
        dialog.chkWrap->setChecked(true);
        dialog.chkDetect->setChecked(false);
        dialog.edLineCount->setText("abc");
        dialog.edTabSize->setValue(4);
        return int(QDialog::Accepted);
    };
    form.acts().options->trigger();
    EXPECT_TRUE(form.findChild<QToolBar *>("ToolBar1")->isHidden());
    EXPECT_EQ(form.settings().gutterLinesCount, 2000);
    EXPECT_TRUE(form.settings().wrap);
    EXPECT_FALSE(form.settings().detectEncoding);
    EXPECT_EQ(view->options().textTabSize, 4);
    EXPECT_EQ(view->options().textWrap, wrapped) << "the default is for tabs opened later";
    EXPECT_EQ(view->viewPos(), at) << "reloaded in place";
    form.openFileTab(pathOf("a.log"));
    EXPECT_TRUE(form.tabAt(1).view->options().textWrap);
}

} // namespace
