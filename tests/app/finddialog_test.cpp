#include "app/finddialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The state of the controls the permissions and the regex box govern.
struct Controls
{
    bool regexChecked, regexEnabled, mlineEnabled, forward, directionEnabled, entire, originEnabled;
    bool operator==(const Controls &) const = default;
};

Controls read(const FindDialog &form)
{
    return {form.chkRegex->isChecked(),
            form.chkRegex->isEnabled(),
            form.chkMLine->isEnabled(),
            form.chkDirForward->isChecked(),
            form.chkDirForward->isEnabled() && form.chkDirBackward->isEnabled(),
            form.chkOriginEntire->isChecked(),
            form.chkOriginCursor->isEnabled() && form.chkOriginEntire->isEnabled()};
}

std::ostream &operator<<(std::ostream &out, const Controls &c)
{
    return out << "regex " << c.regexChecked << "/" << c.regexEnabled << " mline " << c.mlineEnabled
               << " forward " << c.forward << "/" << c.directionEnabled << " entire " << c.entire
               << "/" << c.originEnabled;
}

TEST(FindDialog, PermissionsAndRegexRulesHoldOnShow)
{
    struct Case
    {
        const char *name;
        bool allowDirection, allowRegex, allowOrigin;
        bool regex, backward, fromPage;
        Controls expected;
    };
    const Case cases[] = {
        {"plain backward search keeps its direction",
         true,
         true,
         true,
         false,
         true,
         true,
         {false, true, false, false, true, false, true}},
        {"regex keeps a backward direction and frees multiline",
         true,
         true,
         true,
         true,
         true,
         false,
         {true, true, true, false, true, true, true}},
        {"regex not allowed: box cleared and disabled, direction free",
         true,
         false,
         true,
         true,
         true,
         false,
         {false, false, false, false, true, true, true}},
        {"direction not allowed: forward, disabled",
         false,
         true,
         true,
         false,
         true,
         false,
         {false, true, false, true, false, true, true}},
        {"origin not allowed: entire file, disabled",
         true,
         true,
         false,
         false,
         false,
         true,
         {false, true, false, true, true, true, false}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FindDialog form;
        form.allowDirection = c.allowDirection;
        form.allowRegex = c.allowRegex;
        form.allowOrigin = c.allowOrigin;
        form.chkRegex->setChecked(c.regex);
        form.chkDirBackward->setChecked(c.backward);
        form.chkOriginCursor->setChecked(c.fromPage);
        form.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(read(form), c.expected);
    }
}

TEST(FindDialog, TickingRegexByClickKeepsTheDirectionAndFreesMultiline)
{
    FindDialog form;
    form.chkDirBackward->setChecked(true);
    form.show();
    QCoreApplication::processEvents();
    ASSERT_TRUE(form.chkDirBackward->isEnabled());

    QTest::mouseClick(form.chkRegex, Qt::LeftButton);
    EXPECT_TRUE(form.chkRegex->isChecked());
    EXPECT_TRUE(form.chkDirBackward->isChecked());
    EXPECT_TRUE(form.chkDirBackward->isEnabled());
    EXPECT_TRUE(form.chkMLine->isEnabled());

    QTest::mouseClick(form.chkRegex, Qt::LeftButton);
    EXPECT_FALSE(form.chkRegex->isChecked());
    EXPECT_TRUE(form.chkDirBackward->isEnabled());
    EXPECT_FALSE(form.chkMLine->isEnabled());
}

TEST(FindDialog, RulesMenuListsRulesWithTextInOrder)
{
    FindDialog form;
    form.rules[0] = {"Error", false};
    form.rules[2] = {"Tom & Jerry", true}; // an ampersand is no mnemonic
    form.rules[19] = {"last", false};
    form.fillRulesMenu();
    const QList<QAction *> items = form.mnuRules->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), "Error");
    EXPECT_EQ(items[0]->data().toInt(), 1);
    EXPECT_EQ(items[1]->text(), "Tom && Jerry");
    EXPECT_EQ(items[1]->data().toInt(), 3);
    EXPECT_EQ(items[2]->data().toInt(), 20);

    // Filling again replaces the items instead of adding to them.
    form.rules[19] = {};
    form.fillRulesMenu();
    EXPECT_EQ(form.mnuRules->actions().size(), 2);
}

TEST(FindDialog, ChoosingARuleTakesItsTextCaseAndRegex)
{
    for (const bool allowRegex : {true, false}) {
        SCOPED_TRACE(allowRegex ? "regex allowed" : "regex not allowed");
        FindDialog form;
        form.allowRegex = allowRegex;
        form.rules[1] = {"timeout=[0-9]+", true};
        form.chkDirBackward->setChecked(true);
        form.show();
        QCoreApplication::processEvents();
        form.fillRulesMenu();
        form.mnuRules->actions().at(0)->trigger();
        EXPECT_EQ(form.edText->currentText(), "timeout=[0-9]+");
        EXPECT_TRUE(form.chkCase->isChecked());
        EXPECT_EQ(form.chkRegex->isChecked(), allowRegex);
        EXPECT_TRUE(form.chkDirBackward->isChecked()) << "a rule keeps the direction";
    }
}

TEST(FindDialog, FindAcceptsAndCancelRejects)
{
    for (const bool find : {true, false}) {
        FindDialog form;
        form.show();
        QCoreApplication::processEvents();
        QTest::mouseClick(find ? form.btnOk : form.btnCancel, Qt::LeftButton);
        EXPECT_EQ(form.result(), find ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_FALSE(form.isVisible());
    }
}

TEST(FindDialog, OpensCentredOnTheScreenWithTheTextSelected)
{
    QWidget owner;
    owner.setGeometry(10, 10, 200, 100); // in a corner, far from the centre
    owner.show();
    FindDialog form(&owner);
    form.edText->setEditText(QStringLiteral("needle"));
    form.show();
    QCoreApplication::processEvents();
    const QPoint centre = form.screen()->availableGeometry().center();
    EXPECT_LE((form.frameGeometry().center() - centre).manhattanLength(), 1);
    EXPECT_EQ(form.edText->lineEdit()->selectedText(), "needle");
}

TEST(FindDialog, OneEnterFindsEveryTime)
{
    // The dialog opens with the last text, all selected, and the history
    // below it: the line edit took that for an inline completion and spent
    // the first Enter on accepting it.
    struct Case
    {
        const char *name;
        QStringList history;
        QString shown;
        QString typed;
        QString found;
    };
    const Case cases[] = {
        {"opened again on the last text", {"needle", "other"}, "needle", "", "needle"},
        {"a typed start the history completes", {"needle"}, "needle", "ne", "needle"},
        {"a new text", {"needle"}, "needle", "hay", "hay"},
        {"no history yet", {}, "", "hay", "hay"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FindDialog form;
        form.edText->addItems(c.history);
        form.edText->setEditText(c.shown);
        form.show();
        QCoreApplication::processEvents();
        // Keys go where the dialog's focus is.
        QWidget *keys = form.focusWidget();
        ASSERT_NE(keys, nullptr);
        if (!c.typed.isEmpty())
            QTest::keyClicks(keys, c.typed);
        QTest::keyClick(keys, Qt::Key_Return);
        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(form.edText->currentText(), c.found);
    }
}

} // namespace
