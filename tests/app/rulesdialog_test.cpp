// The "Colors & filters" dialog: its controls, editing a working copy of the
// rules, Up and Down, the mark of an expression that does not compile, its
// geometry, and what Apply, OK and Cancel hand back to the main window.
#include "formfixture.h"

#include "app/colorcombobox.h"
#include "app/rulesdialog.h"
#include "app/inifile.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

class ColorsTest : public FormFixture
{
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        m_ini = std::make_unique<IniFile>(settingsPath());
        ASSERT_TRUE(m_ini->load());
        m_dialog = std::make_unique<RulesDialog>(*m_ini);
        m_dialog->setRules(defaultColorRec());
    }

    template <typename T>
    T *child(const char *name) const
    {
        T *child = m_dialog->findChild<T *>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QListWidget *list() const { return child<QListWidget>("ListBox1"); }
    QLineEdit *edText() const { return child<QLineEdit>("edText"); }
    void select(int n) const { list()->setCurrentRow(n - 1); }

    std::unique_ptr<IniFile> m_ini;
    std::unique_ptr<RulesDialog> m_dialog;
};

TEST_F(ColorsTest, ControlsCarryTheirCaptionsAndAccessKeysReachTheirControls)
{
    EXPECT_EQ(m_dialog->windowTitle(), "Colors & filters");
    EXPECT_EQ(m_dialog->minimumSize(), QSize(380, 430));
    struct Case
    {
        const char *label;
        const char *caption;
        const char *buddy; // empty: a plain label
    };
    const Case cases[] = {
        {"Label1", "String &list:", "ListBox1"},
        {"Label3", "&Regular exp.:", "edText"},
        {"Label2", "&Background:", "cColorB"},
        {"Label8", "&Foreground:", "cColorF"},
        {"Label4", "Filter entire string:", ""},
        {"Label5", "Filter sub-strings:", ""},
        {"Label6", "R&eplace regular exp.:", "edRepFrom1"},
        {"Label7", "&with char:", "edRepTo1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const QLabel *label = child<QLabel>(c.label);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), c.caption);
        EXPECT_EQ(label->buddy() ? label->buddy()->objectName() : QString(), c.buddy);
    }
    const std::pair<const char *, const char *> buttons[] = {{"btnUp", "&Up"},
                                                             {"btnDown", "&Down"},
                                                             {"btnOk", "OK"},
                                                             {"btnApply", "&Apply"},
                                                             {"btnCancel", "Cancel"}};
    for (const auto &[name, caption] : buttons)
        EXPECT_EQ(child<QPushButton>(name)->text(), caption);
    EXPECT_TRUE(child<QPushButton>("btnOk")->isDefault());
    EXPECT_EQ(child<QCheckBox>("chkCase")->text(), "&Case sensitive");
    EXPECT_EQ(child<QCheckBox>("chkInv")->text(), "&Invert match");
    EXPECT_EQ(child<QCheckBox>("chkRepl")->text(), "Don't &output this string, replace with:");
    for (const char *name : {"edRepTo1", "edRepTo2", "edRepTo3"})
        EXPECT_EQ(child<QLineEdit>(name)->maxLength(), 1);

    ASSERT_EQ(list()->count(), ColorRules::count);
    EXPECT_EQ(list()->item(0)->text(), "Color 1: Error");
    EXPECT_EQ(list()->item(2)->text(), "Color 3: Info");
    EXPECT_EQ(list()->item(19)->text(), "Color 20: ");
    EXPECT_EQ(list()->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(m_dialog->selectedRule(), 1);
    EXPECT_EQ(edText()->text(), "Error");
    EXPECT_EQ(child<ColorComboBox>("cColorB")->color(), 0x0000FF);
    EXPECT_EQ(child<ColorComboBox>("cColorF")->color(), 0xFFFFFF);
}

TEST_F(ColorsTest, EditorsStoreIntoTheSelectedRuleOnly)
{
    select(4);
    edText()->setText("timeout");
    // The caption follows at once.
    EXPECT_EQ(list()->item(3)->text(), "Color 4: timeout");
    child<QCheckBox>("chkCase")->setChecked(true);
    child<QCheckBox>("chkRepl")->setChecked(true);
    child<QLineEdit>("edRepl")->setText(" - ");
    auto *back = child<ColorComboBox>("cColorB");
    back->setCurrentIndex(back->findData(qint32(0x00FFFF)));
    Q_EMIT back->activated(back->currentIndex());
    const ColorRule &rule = m_dialog->rules().rule(4);
    EXPECT_EQ(rule.text, "timeout");
    EXPECT_TRUE(rule.caseSensitive);
    EXPECT_TRUE(rule.repl);
    EXPECT_EQ(rule.rStr, " - ");
    EXPECT_EQ(rule.colorB, 0x00FFFF);
    EXPECT_FALSE(rule.inv);

    // Loading another rule into the editors changes neither rule.
    const ColorRules before = m_dialog->rules();
    select(1);
    EXPECT_EQ(edText()->text(), "Error");
    EXPECT_FALSE(child<QCheckBox>("chkCase")->isChecked());
    EXPECT_EQ(back->color(), 0x0000FF);
    select(4);
    EXPECT_EQ(m_dialog->rules(), before);

    // A rule's check box is its En, whichever rule is selected.
    list()->item(6)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(m_dialog->rules().rule(7).en);
    EXPECT_TRUE(m_dialog->rules().rule(4).en);
}

TEST_F(ColorsTest, UpAndDownSwapWholeRulesAndTheEditorsFollow)
{
    ColorRules rules = defaultColorRec();
    rules.rule(1).repl = true;
    rules.rule(1).en = false;
    m_dialog->setRules(rules);
    auto *up = child<QPushButton>("btnUp");
    auto *down = child<QPushButton>("btnDown");

    up->click(); // the first rule has nowhere to go
    EXPECT_EQ(m_dialog->rules(), rules);
    down->click();
    EXPECT_EQ(m_dialog->rules().rule(2), rules.rule(1));
    EXPECT_EQ(m_dialog->rules().rule(1), rules.rule(2));
    EXPECT_EQ(list()->item(1)->text(), "Color 2: Error");
    EXPECT_EQ(list()->item(1)->checkState(), Qt::Unchecked);
    EXPECT_EQ(list()->item(0)->text(), "Color 1: Warning");
    EXPECT_EQ(m_dialog->selectedRule(), 2);
    EXPECT_EQ(edText()->text(), "Error");
    EXPECT_TRUE(child<QCheckBox>("chkRepl")->isChecked());
    up->click();
    EXPECT_EQ(m_dialog->rules(), rules);

    select(20);
    down->click(); // nor has the last
    EXPECT_EQ(m_dialog->rules(), rules);
    EXPECT_EQ(m_dialog->selectedRule(), 20);
}

TEST_F(ColorsTest, AnExpressionThatDoesNotCompileIsRedWithPcreReason)
{
    const QColor normal = QApplication::palette().color(QPalette::Text);
    for (const char *name : {"edText", "edRepFrom2"}) {
        SCOPED_TRACE(name);
        QLineEdit *edit = child<QLineEdit>(name);
        edit->setText("id=(\\d+");
        EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(Qt::red));
        EXPECT_TRUE(edit->toolTip().contains("missing closing parenthesis"))
            << qPrintable(edit->toolTip());
        EXPECT_TRUE(edit->toolTip().contains("7")) << qPrintable(edit->toolTip());
        edit->setText("id=(\\d+)");
        EXPECT_EQ(edit->palette().color(QPalette::Text), normal);
        EXPECT_TRUE(edit->toolTip().isEmpty());
    }
    // The rule still takes the text; it simply never applies.
    edText()->setText("a(");
    EXPECT_EQ(m_dialog->rules().rule(1).text, "a(");
    // Selecting a rule shows its own state.
    select(2);
    EXPECT_TRUE(edText()->toolTip().isEmpty());
    select(1);
    EXPECT_FALSE(edText()->toolTip().isEmpty());
}

TEST_F(ColorsTest, GeometryComesFromAndGoesToColorWindow)
{
    m_ini->writeInteger("ColorWindow", "Width", 500);
    m_ini->writeInteger("ColorWindow", "Height", 100); // below the minimum
    m_ini->writeInteger("ColorWindow", "Left", 30);
    m_ini->writeInteger("ColorWindow", "Top", 40);
    m_dialog->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_dialog->size(), QSize(500, 430));
    EXPECT_EQ(m_dialog->pos(), QPoint(30, 40));
    m_dialog->resize(520, 610);
    m_dialog->move(60, 70);
    QCoreApplication::processEvents();
    const QPoint at = m_dialog->pos();
    m_dialog.reset();
    EXPECT_EQ(m_ini->readInteger("ColorWindow", "Width", 0), 520);
    EXPECT_EQ(m_ini->readInteger("ColorWindow", "Height", 0), 610);
    EXPECT_EQ(m_ini->readInteger("ColorWindow", "Left", 0), at.x());
    EXPECT_EQ(m_ini->readInteger("ColorWindow", "Top", 0), at.y());
}

// The dialog as the main window runs it (F10).
class ColorsCommandTest : public FormFixture
{
protected:
    // Runs the command; edit acts on the dialog and returns how it closes.
    void run(MainWindow &form, const std::function<int(RulesDialog &)> &edit)
    {
        form.execDialog = [&](QDialog &dialog) {
            auto *colors = dynamic_cast<RulesDialog *>(&dialog);
            EXPECT_NE(colors, nullptr);
            return colors ? edit(*colors) : int(QDialog::Rejected);
        };
        form.acts().colorsAndFilters->trigger();
        form.execDialog = nullptr;
    }

    static void type(RulesDialog &dialog, const char *name, const QString &text)
    {
        dialog.findChild<QLineEdit *>(QLatin1String(name))->setText(text);
    }
    static void click(RulesDialog &dialog, const char *name)
    {
        dialog.findChild<QPushButton *>(QLatin1String(name))->click();
    }
};

TEST_F(ColorsCommandTest, ApplyTakesTheRulesAtOnceAndOkTheFilterToo)
{
    MainWindow &form = makeForm();
    EXPECT_EQ(form.acts().colorsAndFilters->shortcut(), QKeySequence(Qt::Key_F10));
    const RuleSettings start = form.ruleSettings();

    // Cancel alone changes nothing.
    run(form, [](RulesDialog &dialog) {
        type(dialog, "edText", "changed");
        type(dialog, "edRepFrom1", "[0-9]");
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(form.ruleSettings(), start);

    // Apply then Cancel: the rules stay applied, the filter does not.
    run(form, [&](RulesDialog &dialog) {
        type(dialog, "edText", "Fatal");
        type(dialog, "edRepFrom1", "[0-9]");
        click(dialog, "btnApply");
        EXPECT_EQ(form.colorRules().rule(1).text, "Fatal");
        EXPECT_EQ(form.ruleSettings().filter, start.filter);
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(form.ruleSettings().rules.rule(1).text, "Fatal");
    EXPECT_EQ(form.ruleSettings().filter, start.filter);

    // OK takes both; an emptied "with char" keeps the character it had.
    run(form, [](RulesDialog &dialog) {
        EXPECT_EQ(dialog.findChild<QLineEdit *>("edText")->text(), "Fatal");
        type(dialog, "edRepFrom1", "[0-9]");
        type(dialog, "edRepTo1", "");
        type(dialog, "edRepFrom3", "pass=\\S+");
        type(dialog, "edRepTo3", "*");
        click(dialog, "btnDown");
        return int(QDialog::Accepted);
    });
    const RuleSettings &now = form.ruleSettings();
    EXPECT_EQ(now.filter.repFrom, (std::array<QByteArray, 3>{"[0-9]", "", "pass=\\S+"}));
    EXPECT_EQ(now.filter.repTo, (std::array<QByteArray, 3>{".", ".", "*"}));
    EXPECT_EQ(now.rules.rule(2).text, "Fatal");
    EXPECT_EQ(now.rules.rule(1).text, "Warning");
    // The find dialog and the go-to-next window see the live rules.
    EXPECT_EQ(form.colorRules(), now.rules);

    // Saved under the keys of its new place.
    ASSERT_TRUE(form.saveSettings());
    const QByteArray ini = readFile(settingsPath());
    EXPECT_TRUE(ini.contains("Text2=Fatal\n")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("From3=pass=\\S+\n"));
}

} // namespace
