// Names, paths, search and rule texts and lines of the log appear as they
// are wherever the program shows them: never as markup, never as access keys,
// and never as a way to make the program read a file.
#include "formfixture.h"

#include "app/rulesdialog.h"
#include "app/searchprogresswindow.h"
#include "app/finddialog.h"
#include "app/rulebuttonpanel.h"
#include "app/gotonextwindow.h"
#include "app/optionsdialog.h"
#include "app/inifile.h"
#include "app/shellmessages.h"
#include "rules/colorrec.h"
#include "viewer/documentsearch.h"
#include "viewer/logview.h"

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

const char *formatName(Format format)
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
    QString text;
    Format as = Format::Plain;
};

// What a label shows and how, laid out and drawn as on the screen: markup
// would load its images now.
Shown ofLabel(QLabel *label)
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
Shown ofToolTip(const QString &tip)
{
    QToolTip::showText(QPoint(20, 20), tip);
    QLabel *label = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("qtooltip_label") && window->isVisible())
            label = qobject_cast<QLabel *>(window);
    if (!label)
        return {QStringLiteral("(no tip shown)"), Format::Plain};
    const Shown shown = ofLabel(label);
    QToolTip::hideText();
    return shown;
}

// A menu item's or a tab's text as drawn: "&&" is "&", a lone "&" marks the
// access key and is not drawn.
Shown ofMenuText(const QString &text)
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

    bool valid() const { return m_fd >= 0 && m_watch >= 0; }
    bool opened()
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
        writeFile(QStringLiteral("probe.png"), "not read");
        m_probe = std::make_unique<OpenWatch>(pathOf(QStringLiteral("probe.png")));
        ASSERT_TRUE(m_probe->valid());
    }

    void TearDown() override
    {
        FormFixture::TearDown();
        QDir::setCurrent(m_previousDir);
    }

    // A file name cannot hold a "/": the text without it.
    static QString asName(const QString &text) { return QString(text).remove(u'/'); }

    // The main window with one tab, for a file named after the text in a
    // folder named after it.
    MainWindow &formOn(const QString &text)
    {
        const QString folder = pathOf(text);
        EXPECT_TRUE(QDir().mkpath(folder));
        const QString file = folder + u'/' + asName(text);
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("a line\n");
        out.close();
        MainWindow &form = makeForm();
        form.openFileTab(file);
        EXPECT_EQ(form.tabCount(), 1);
        return form;
    }

    struct Row
    {
        const char *name;
        Format as;
        bool nameOnly; // shows a file name, not a path
        std::function<Shown(const QString &text)> show;
    };

    std::vector<Row> rows()
    {
        return {
            {"status bar: path", Format::Plain, false,
             [this](const QString &text) { return ofLabel(formOn(text).statusPanel(3)); }},
            {"window title", Format::Plain, true,
             [this](const QString &text) {
                 MainWindow &form = formOn(text);
                 form.winId();
                 form.updateAll();
                 return Shown{form.windowHandle()->title(), Format::Plain};
             }},
            {"tab caption", Format::Menu, true,
             [this](const QString &text) {
                 return ofMenuText(formOn(text).tabs().pages()->tabText(0));
             }},
            {"tab tool tip", Format::Markup, false,
             [this](const QString &text) {
                 return ofToolTip(formOn(text).tabs().pages()->tabToolTip(0));
             }},
            {"recent files menu", Format::Menu, false,
             [this](const QString &text) {
                 return ofMenuText(formOn(text).acts().recentFiles[0]->text());
             }},
            {"recent sessions menu", Format::Menu, false,
             [this](const QString &text) {
                 MainWindow &form = formOn(text);
                 EXPECT_TRUE(form.saveSession(pathOf(text) + QStringLiteral("/s.ravelin-session")));
                 return ofMenuText(form.acts().recentSessions[0]->text());
             }},
            {"tab caption prompt", Format::Plain, true,
             [this](const QString &text) {
                 MainWindow &form = formOn(text);
                 Shown shown{QStringLiteral("(no dialog)")};
                 form.execDialog = [&](QDialog &dialog) {
                     if (auto *input = qobject_cast<QInputDialog *>(&dialog))
                         shown = ofLabel(input->findChild<QLabel *>());
                     return int(QDialog::Rejected);
                 };
                 form.renameTab(0);
                 return shown;
             }},
            {"tabs order list", Format::Plain, false,
             [this](const QString &text) {
                 QListWidget list;
                 formOn(text).tabs().fillList(&list);
                 return Shown{list.item(0)->text(), Format::Plain};
             }},
            {"message box", Format::Plain, false,
             [this](const QString &text) {
                 // The program's own message about a file it cannot open.
                 MainWindow &form = makeForm();
                 m_sink.clear();
                 form.openFileTab(pathOf(text) + QStringLiteral("/missing"));
                 EXPECT_FALSE(m_sink.messages().empty());
                 if (m_sink.messages().empty())
                     return Shown{QStringLiteral("(no message)")};
                 const RecordingSink::Message &message = m_sink.messages().back();
                 const std::unique_ptr<QMessageBox> box =
                     createMessageBox(message.caption, message.text, message.icon, message.buttons);
                 return ofLabel(box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")));
             }},
            {"go to next hint", Format::Markup, false,
             [](const QString &text) {
                 GoToNextWindow window;
                 std::array<GoToNextWindow::RuleButton, GoToNextWindow::kPanels> buttons{};
                 buttons[0] = {true, text, QColor(Qt::red)};
                 window.refreshButtons(buttons);
                 return ofToolTip(window.panel(1)->jumpButton->toolTip());
             }},
            {"options: font name", Format::Plain, false,
             [](const QString &text) {
                 AppSettings settings;
                 settings.font.name = text.toUtf8();
                 OptionsDialog dialog;
                 dialog.loadFrom(settings);
                 dialog.show();
                 const Shown shown = ofLabel(dialog.labFont);
                 dialog.hide();
                 return shown;
             }},
            {"find dialog: rules menu", Format::Menu, false,
             [](const QString &text) {
                 FindDialog dialog;
                 dialog.rules[0] = {text, false};
                 dialog.fillRulesMenu();
                 return ofMenuText(dialog.mnuRules->actions().value(0)->text());
             }},
            {"colours dialog: rule list", Format::Plain, false,
             [this](const QString &text) {
                 IniFile ini(settingsPath());
                 RulesDialog dialog(ini);
                 ColorRules rules = defaultColorRec();
                 rules.rule(1).text = text.toUtf8();
                 dialog.setRules(rules);
                 const auto *list = dialog.findChild<QListWidget *>(QStringLiteral("ListBox1"));
                 return Shown{list->item(0)->text(), Format::Plain};
             }},
            {"search progress", Format::Plain, false,
             [](const QString &text) {
                 QByteArray bytes = "nothing to find here\n";
                 QBuffer buffer(&bytes);
                 buffer.open(QIODevice::ReadOnly);
                 LogView view;
                 view.openStream(&buffer);
                 view.search().resume(text, {}, -1);
                 SearchProgressWindow window;
                 window.runView = &view;
                 bool go = true;
                 window.searchProgress(1, 2, go);
                 return ofLabel(window.labSearch);
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
    for (const Row &row : rows()) {
        for (const QString &text : texts) {
            SCOPED_TRACE(std::string(row.name) + ", " + text.toStdString());
            m_probe->opened();
            const Shown shown = row.show(text);
            const QString want = row.nameOnly ? asName(text) : text;
            EXPECT_TRUE(shown.text.contains(want)) << "shows: " << shown.text.toStdString();
            EXPECT_STREQ(formatName(shown.as), formatName(row.as));
            EXPECT_FALSE(m_probe->opened()) << "the text made the program read a file";
        }
    }
}

} // namespace
