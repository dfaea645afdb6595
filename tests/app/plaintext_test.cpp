// Names, paths, search and rule texts and lines of the log appear as they
// are wherever the program shows them: never as markup, never as access keys,
// and never as a way to make the program read a file.
#include "formfixture.h"

#include "app/formcolors.h"
#include "app/formfindprogress.h"
#include "app/formfindtext.h"
#include "app/formgo.h"
#include "app/formgoregex.h"
#include "app/formoptions.h"
#include "app/inifile.h"
#include "app/shellmessages.h"
#include "rules/colorrec.h"
#include "viewer/qzbinhex.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>
#include <QWindow>

#include <sys/inotify.h>
#include <unistd.h>

#include <functional>

namespace {

enum class Format { Plain, Markup, Menu };

const char *FormatName(Format format)
{
    switch (format) {
    case Format::Plain:
        return "plain text";
    case Format::Markup:
        return "markup";
    case Format::Menu:
        return "menu text";
    }
    return "?";
}

struct Shown
{
    QString Text;
    Format As = Format::Plain;
};

// What a label shows and how, laid out and drawn as on the screen: markup
// would load its images now.
Shown OfLabel(QLabel *label)
{
    const bool markup = label->textFormat() == Qt::RichText ||
                        (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
    label->grab();
    if (!markup)
        return {label->text(), Format::Plain};
    QTextDocument document;
    document.setHtml(label->text());
    return {document.toPlainText(), Format::Markup};
}

// A tool tip as Qt shows it, through its own tip label.
Shown OfToolTip(const QString &tip)
{
    QToolTip::showText(QPoint(20, 20), tip);
    QLabel *label = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("qtooltip_label") && window->isVisible())
            label = qobject_cast<QLabel *>(window);
    if (!label)
        return {QStringLiteral("(no tip shown)"), Format::Plain};
    const Shown shown = OfLabel(label);
    QToolTip::hideText();
    return shown;
}

// A menu item's or a tab's text as drawn: "&&" is "&", a lone "&" marks the
// access key and is not drawn.
Shown OfMenuText(const QString &text)
{
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return {shown, Format::Menu};
}

// Tells whether anything opened one file since the last question.
class OpenWatch
{
public:
    explicit OpenWatch(const QString &path) : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (m_fd >= 0)
            m_watch = inotify_add_watch(m_fd, QFile::encodeName(path).constData(), IN_OPEN);
    }
    ~OpenWatch()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    OpenWatch(const OpenWatch &) = delete;
    OpenWatch &operator=(const OpenWatch &) = delete;

    bool Valid() const { return m_fd >= 0 && m_watch >= 0; }
    bool Opened()
    {
        char events[4096];
        bool any = false;
        while (read(m_fd, events, sizeof events) > 0)
            any = true;
        return any;
    }

private:
    int m_fd = -1;
    int m_watch = -1;
};

class PlainTextTest : public FormFixture
{
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        // Markup's images are looked up from the current folder.
        m_previousDir = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
        WriteFile(QStringLiteral("probe.png"), "not read");
        m_probe = std::make_unique<OpenWatch>(PathOf(QStringLiteral("probe.png")));
        ASSERT_TRUE(m_probe->Valid());
    }

    void TearDown() override
    {
        FormFixture::TearDown();
        QDir::setCurrent(m_previousDir);
    }

    // A file name cannot hold a "/": the text without it.
    static QString AsName(const QString &text) { return QString(text).remove(u'/'); }

    // The main window with one tab, for a file named after the text in a
    // folder named after it.
    TFormView &FormOn(const QString &text)
    {
        const QString folder = PathOf(text);
        EXPECT_TRUE(QDir().mkpath(folder));
        const QString file = folder + u'/' + AsName(text);
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("a line\n");
        out.close();
        TFormView &form = MakeForm();
        form.OpenFileTab(file);
        EXPECT_EQ(form.RecCount(), 1);
        return form;
    }

    struct Row
    {
        const char *Name;
        Format As;
        bool NameOnly; // shows a file name, not a path
        std::function<Shown(const QString &text)> Show;
    };

    std::vector<Row> Rows()
    {
        return {
            {"status bar: path", Format::Plain, false,
             [this](const QString &text) { return OfLabel(FormOn(text).StatusPanel(3)); }},
            {"window title", Format::Plain, true,
             [this](const QString &text) {
                 TFormView &form = FormOn(text);
                 form.winId();
                 form.UpdateAll();
                 return Shown{form.windowHandle()->title(), Format::Plain};
             }},
            {"tab caption", Format::Menu, true,
             [this](const QString &text) { return OfMenuText(FormOn(text).Pages()->tabText(0)); }},
            {"tab tool tip", Format::Markup, false,
             [this](const QString &text) {
                 return OfToolTip(FormOn(text).Pages()->tabToolTip(0));
             }},
            {"recent files menu", Format::Menu, false,
             [this](const QString &text) {
                 return OfMenuText(FormOn(text).Acts().mnuRec[0]->text());
             }},
            {"recent sessions menu", Format::Menu, false,
             [this](const QString &text) {
                 TFormView &form = FormOn(text);
                 EXPECT_TRUE(form.SaveSession(PathOf(text) + QStringLiteral("/s.ravelin-session")));
                 return OfMenuText(form.Acts().mnuSess[0]->text());
             }},
            {"tab caption prompt", Format::Plain, true,
             [this](const QString &text) {
                 TFormView &form = FormOn(text);
                 Shown shown{QStringLiteral("(no dialog)")};
                 form.ExecDialog = [&](QDialog &dialog) {
                     if (auto *input = qobject_cast<QInputDialog *>(&dialog))
                         shown = OfLabel(input->findChild<QLabel *>());
                     return int(QDialog::Rejected);
                 };
                 form.RenameTab(0);
                 return shown;
             }},
            {"tabs order list", Format::Plain, false,
             [this](const QString &text) {
                 QListWidget list;
                 FormOn(text).FillTabList(&list);
                 return Shown{list.item(0)->text(), Format::Plain};
             }},
            {"message box", Format::Plain, false,
             [this](const QString &text) {
                 // The program's own message about a file it cannot open.
                 TFormView &form = MakeForm();
                 m_sink.Clear();
                 form.OpenFileTab(PathOf(text) + QStringLiteral("/missing"));
                 EXPECT_FALSE(m_sink.Messages().empty());
                 if (m_sink.Messages().empty())
                     return Shown{QStringLiteral("(no message)")};
                 const RecordingSink::Message &message = m_sink.Messages().back();
                 const std::unique_ptr<QMessageBox> box =
                     CreateMessageBox(message.Caption, message.Text, message.Icon, message.Buttons);
                 return OfLabel(box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")));
             }},
            {"go to next hint", Format::Markup, false,
             [](const QString &text) {
                 TFormGotoRegex window;
                 std::array<TFormGotoRegex::RuleButton, TFormGotoRegex::kPanels> buttons{};
                 buttons[0] = {true, text, QColor(Qt::red)};
                 window.RefreshButtons(buttons);
                 return OfToolTip(window.Panel(1)->SpeedButton1->toolTip());
             }},
            {"options: font name", Format::Plain, false,
             [](const QString &text) {
                 AppSettings settings;
                 settings.Font.Name = text.toUtf8();
                 TFormOptions dialog;
                 dialog.LoadFrom(settings);
                 dialog.show();
                 const Shown shown = OfLabel(dialog.labFont);
                 dialog.hide();
                 return shown;
             }},
            {"find dialog: rules menu", Format::Menu, false,
             [](const QString &text) {
                 TFormViewFindText dialog;
                 dialog.Rules[0] = {text, false};
                 dialog.FillRulesMenu();
                 return OfMenuText(dialog.mnuRules->actions().value(0)->text());
             }},
            {"colours dialog: rule list", Format::Plain, false,
             [this](const QString &text) {
                 IniFile ini(SettingsPath());
                 TFormColors dialog(ini);
                 TColorRec rules = DefaultColorRec();
                 rules.Rule(1).Text = text.toUtf8();
                 dialog.SetRules(rules);
                 const auto *list = dialog.findChild<QListWidget *>(QStringLiteral("ListBox1"));
                 return Shown{list->item(0)->text(), Format::Plain};
             }},
            {"search progress", Format::Plain, false,
             [](const QString &text) {
                 QByteArray bytes = "nothing to find here\n";
                 QBuffer buffer(&bytes);
                 buffer.open(QIODevice::ReadOnly);
                 TQzBinHex view;
                 view.OpenStream(&buffer);
                 view.FindFirst(text, {}, -1);
                 TFormViewFindProgress window;
                 window.RunView = &view;
                 bool go = true;
                 window.SearchProgress(1, 2, go);
                 return OfLabel(window.labSearch);
             }},
        };
    }

    QString m_previousDir;
    std::unique_ptr<OpenWatch> m_probe;
};

TEST_F(PlainTextTest, EveryPlaceShowsTheTextAsItIsAndLoadsNothing)
{
    // Markup that would be drawn bold, markup that would read a file, an
    // ampersand that would become an access key, and the mark a window
    // title replaces with its "modified" star.
    const QString texts[] = {QStringLiteral("<b>x</b>"), QStringLiteral("<img src=probe.png>"),
                             QStringLiteral("a&b"), QStringLiteral("x[*]y")};
    for (const Row &row : Rows()) {
        for (const QString &text : texts) {
            SCOPED_TRACE(std::string(row.Name) + ", " + text.toStdString());
            m_probe->Opened();
            const Shown shown = row.Show(text);
            const QString want = row.NameOnly ? AsName(text) : text;
            EXPECT_TRUE(shown.Text.contains(want)) << "shows: " << shown.Text.toStdString();
            EXPECT_STREQ(FormatName(shown.As), FormatName(row.As));
            EXPECT_FALSE(m_probe->Opened()) << "the text made the program read a file";
        }
    }
}

} // namespace
