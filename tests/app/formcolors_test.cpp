// The "Colors & filters" dialog: its controls, editing a working copy of the
// rules, Up and Down, the mark of an expression that does not compile, its
// geometry, and what Apply, OK and Cancel hand back to the main window.
#include "formfixture.h"

#include "app/colorbox.h"
#include "app/formcolors.h"
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
        m_ini = std::make_unique<IniFile>(SettingsPath());
        ASSERT_TRUE(m_ini->Load());
        m_dialog = std::make_unique<TFormColors>(*m_ini);
        m_dialog->SetRules(DefaultColorRec());
    }

    template <typename T>
    T *Child(const char *name) const
    {
        T *child = m_dialog->findChild<T *>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QListWidget *List() const { return Child<QListWidget>("ListBox1"); }
    QLineEdit *EdText() const { return Child<QLineEdit>("edText"); }
    void Select(int n) const { List()->setCurrentRow(n - 1); }

    std::unique_ptr<IniFile> m_ini;
    std::unique_ptr<TFormColors> m_dialog;
};

TEST_F(ColorsTest, ControlsCarryTheirCaptionsAndAccessKeysReachTheirControls)
{
    EXPECT_EQ(m_dialog->windowTitle(), "Colors & filters");
    EXPECT_EQ(m_dialog->minimumSize(), QSize(380, 430));
    struct Case
    {
        const char *Label;
        const char *Caption;
        const char *Buddy; // empty: a plain label
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
        SCOPED_TRACE(c.Label);
        const QLabel *label = Child<QLabel>(c.Label);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), c.Caption);
        EXPECT_EQ(label->buddy() ? label->buddy()->objectName() : QString(), c.Buddy);
    }
    const std::pair<const char *, const char *> buttons[] = {{"btnUp", "&Up"},
                                                             {"btnDown", "&Down"},
                                                             {"btnOk", "OK"},
                                                             {"btnApply", "&Apply"},
                                                             {"btnCancel", "Cancel"}};
    for (const auto &[name, caption] : buttons)
        EXPECT_EQ(Child<QPushButton>(name)->text(), caption);
    EXPECT_TRUE(Child<QPushButton>("btnOk")->isDefault());
    EXPECT_EQ(Child<QCheckBox>("chkCase")->text(), "&Case sensitive");
    EXPECT_EQ(Child<QCheckBox>("chkInv")->text(), "&Invert match");
    EXPECT_EQ(Child<QCheckBox>("chkRepl")->text(), "Don't &output this string, replace with:");
    for (const char *name : {"edRepTo1", "edRepTo2", "edRepTo3"})
        EXPECT_EQ(Child<QLineEdit>(name)->maxLength(), 1);

    ASSERT_EQ(List()->count(), TColorRec::Count);
    EXPECT_EQ(List()->item(0)->text(), "Color 1: Error");
    EXPECT_EQ(List()->item(2)->text(), "Color 3: Info");
    EXPECT_EQ(List()->item(19)->text(), "Color 20: ");
    EXPECT_EQ(List()->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(m_dialog->SelectedRule(), 1);
    EXPECT_EQ(EdText()->text(), "Error");
    EXPECT_EQ(Child<TColorBox>("cColorB")->Color(), 0x0000FF);
    EXPECT_EQ(Child<TColorBox>("cColorF")->Color(), 0xFFFFFF);
}

TEST_F(ColorsTest, EditorsStoreIntoTheSelectedRuleOnly)
{
    Select(4);
    EdText()->setText("timeout");
    // The caption follows at once.
    EXPECT_EQ(List()->item(3)->text(), "Color 4: timeout");
    Child<QCheckBox>("chkCase")->setChecked(true);
    Child<QCheckBox>("chkRepl")->setChecked(true);
    Child<QLineEdit>("edRepl")->setText(" - ");
    auto *back = Child<TColorBox>("cColorB");
    back->setCurrentIndex(back->findData(qint32(0x00FFFF)));
    Q_EMIT back->activated(back->currentIndex());
    const TColorRecItem &rule = m_dialog->Rules().Rule(4);
    EXPECT_EQ(rule.Text, "timeout");
    EXPECT_TRUE(rule.Case);
    EXPECT_TRUE(rule.Repl);
    EXPECT_EQ(rule.RStr, " - ");
    EXPECT_EQ(rule.ColorB, 0x00FFFF);
    EXPECT_FALSE(rule.Inv);

    // Loading another rule into the editors changes neither rule.
    const TColorRec before = m_dialog->Rules();
    Select(1);
    EXPECT_EQ(EdText()->text(), "Error");
    EXPECT_FALSE(Child<QCheckBox>("chkCase")->isChecked());
    EXPECT_EQ(back->Color(), 0x0000FF);
    Select(4);
    EXPECT_EQ(m_dialog->Rules(), before);

    // A rule's check box is its En, whichever rule is selected.
    List()->item(6)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(m_dialog->Rules().Rule(7).En);
    EXPECT_TRUE(m_dialog->Rules().Rule(4).En);
}

TEST_F(ColorsTest, UpAndDownSwapWholeRulesAndTheEditorsFollow)
{
    TColorRec rules = DefaultColorRec();
    rules.Rule(1).Repl = true;
    rules.Rule(1).En = false;
    m_dialog->SetRules(rules);
    auto *up = Child<QPushButton>("btnUp");
    auto *down = Child<QPushButton>("btnDown");

    up->click(); // the first rule has nowhere to go
    EXPECT_EQ(m_dialog->Rules(), rules);
    down->click();
    EXPECT_EQ(m_dialog->Rules().Rule(2), rules.Rule(1));
    EXPECT_EQ(m_dialog->Rules().Rule(1), rules.Rule(2));
    EXPECT_EQ(List()->item(1)->text(), "Color 2: Error");
    EXPECT_EQ(List()->item(1)->checkState(), Qt::Unchecked);
    EXPECT_EQ(List()->item(0)->text(), "Color 1: Warning");
    EXPECT_EQ(m_dialog->SelectedRule(), 2);
    EXPECT_EQ(EdText()->text(), "Error");
    EXPECT_TRUE(Child<QCheckBox>("chkRepl")->isChecked());
    up->click();
    EXPECT_EQ(m_dialog->Rules(), rules);

    Select(20);
    down->click(); // nor has the last
    EXPECT_EQ(m_dialog->Rules(), rules);
    EXPECT_EQ(m_dialog->SelectedRule(), 20);
}

TEST_F(ColorsTest, AnExpressionThatDoesNotCompileIsRedWithPcreReason)
{
    const QColor normal = QApplication::palette().color(QPalette::Text);
    for (const char *name : {"edText", "edRepFrom2"}) {
        SCOPED_TRACE(name);
        QLineEdit *edit = Child<QLineEdit>(name);
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
    EdText()->setText("a(");
    EXPECT_EQ(m_dialog->Rules().Rule(1).Text, "a(");
    // Selecting a rule shows its own state.
    Select(2);
    EXPECT_TRUE(EdText()->toolTip().isEmpty());
    Select(1);
    EXPECT_FALSE(EdText()->toolTip().isEmpty());
}

TEST_F(ColorsTest, GeometryComesFromAndGoesToColorWindow)
{
    m_ini->WriteInteger("ColorWindow", "Width", 500);
    m_ini->WriteInteger("ColorWindow", "Height", 100); // below the minimum
    m_ini->WriteInteger("ColorWindow", "Left", 30);
    m_ini->WriteInteger("ColorWindow", "Top", 40);
    m_dialog->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_dialog->size(), QSize(500, 430));
    EXPECT_EQ(m_dialog->pos(), QPoint(30, 40));
    m_dialog->resize(520, 610);
    m_dialog->move(60, 70);
    QCoreApplication::processEvents();
    const QPoint at = m_dialog->pos();
    m_dialog.reset();
    EXPECT_EQ(m_ini->ReadInteger("ColorWindow", "Width", 0), 520);
    EXPECT_EQ(m_ini->ReadInteger("ColorWindow", "Height", 0), 610);
    EXPECT_EQ(m_ini->ReadInteger("ColorWindow", "Left", 0), at.x());
    EXPECT_EQ(m_ini->ReadInteger("ColorWindow", "Top", 0), at.y());
}

// The dialog as the main window runs it (F10).
class ColorsCommandTest : public FormFixture
{
protected:
    // Runs the command; edit acts on the dialog and returns how it closes.
    void Run(TFormView &form, const std::function<int(TFormColors &)> &edit)
    {
        form.ExecDialog = [&](QDialog &dialog) {
            auto *colors = dynamic_cast<TFormColors *>(&dialog);
            EXPECT_NE(colors, nullptr);
            return colors ? edit(*colors) : int(QDialog::Rejected);
        };
        form.Acts().acOptColors->trigger();
        form.ExecDialog = nullptr;
    }

    static void Type(TFormColors &dialog, const char *name, const QString &text)
    {
        dialog.findChild<QLineEdit *>(QLatin1String(name))->setText(text);
    }
    static void Click(TFormColors &dialog, const char *name)
    {
        dialog.findChild<QPushButton *>(QLatin1String(name))->click();
    }
};

TEST_F(ColorsCommandTest, ApplyTakesTheRulesAtOnceAndOkTheFilterToo)
{
    TFormView &form = MakeForm();
    EXPECT_EQ(form.Acts().acOptColors->shortcut(), QKeySequence(Qt::Key_F10));
    const TRuleSettings start = form.RuleSettings();

    // Cancel alone changes nothing.
    Run(form, [](TFormColors &dialog) {
        Type(dialog, "edText", "changed");
        Type(dialog, "edRepFrom1", "[0-9]");
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(form.RuleSettings(), start);

    // Apply then Cancel: the rules stay applied, the filter does not.
    Run(form, [&](TFormColors &dialog) {
        Type(dialog, "edText", "Fatal");
        Type(dialog, "edRepFrom1", "[0-9]");
        Click(dialog, "btnApply");
        EXPECT_EQ(form.ColorRules().Rule(1).Text, "Fatal");
        EXPECT_EQ(form.RuleSettings().Filter, start.Filter);
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(form.RuleSettings().Rules.Rule(1).Text, "Fatal");
    EXPECT_EQ(form.RuleSettings().Filter, start.Filter);

    // OK takes both; an emptied "with char" keeps the character it had.
    Run(form, [](TFormColors &dialog) {
        EXPECT_EQ(dialog.findChild<QLineEdit *>("edText")->text(), "Fatal");
        Type(dialog, "edRepFrom1", "[0-9]");
        Type(dialog, "edRepTo1", "");
        Type(dialog, "edRepFrom3", "pass=\\S+");
        Type(dialog, "edRepTo3", "*");
        Click(dialog, "btnDown");
        return int(QDialog::Accepted);
    });
    const TRuleSettings &now = form.RuleSettings();
    EXPECT_EQ(now.Filter.RepFrom, (std::array<QByteArray, 3>{"[0-9]", "", "pass=\\S+"}));
    EXPECT_EQ(now.Filter.RepTo, (std::array<QByteArray, 3>{".", ".", "*"}));
    EXPECT_EQ(now.Rules.Rule(2).Text, "Fatal");
    EXPECT_EQ(now.Rules.Rule(1).Text, "Warning");
    // The find dialog and the go-to-next window see the live rules.
    EXPECT_EQ(form.ColorRules(), now.Rules);

    // Saved under the keys of its new place.
    ASSERT_TRUE(form.SaveSettings());
    const QByteArray ini = ReadFile(SettingsPath());
    EXPECT_TRUE(ini.contains("Text2=Fatal\n")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("From3=pass=\\S+\n"));
}

} // namespace
