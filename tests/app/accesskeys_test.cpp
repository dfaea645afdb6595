// Every menu item and every control of the options dialog has an access key
// of its own within its menu or page.
#include "formfixture.h"

#include "app/rulesdialog.h"
#include "app/filterlogdialog.h"
#include "app/finddialog.h"
#include "app/taborderdialog.h"
#include "app/inifile.h"
#include "app/optionsdialog.h"
#include "viewer/logview.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

#include <map>

namespace {

// The access key a text marks, in lower case; empty when it marks none.
QString accessKey(const QString &text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (text[i + 1] != u'&')
            return text[i + 1].toLower();
        ++i; // "&&" is the character itself
    }
    return {};
}

// Records the key of one item of a menu or a page; false for a missing or
// a taken one.
class Keys
{
public:
    explicit Keys(QString where) : m_where(std::move(where)) {}

    void add(const QString &item, const QString &key)
    {
        EXPECT_FALSE(key.isEmpty())
            << m_where.toStdString() << ": \"" << item.toStdString() << "\" has no access key";
        if (key.isEmpty())
            return;
        const auto [taken, added] = m_items.emplace(key, item);
        EXPECT_TRUE(added) << m_where.toStdString() << ": \"" << item.toStdString() << "\" and \""
                           << taken->second.toStdString() << "\" share the key "
                           << key.toStdString();
    }

private:
    QString m_where;
    std::map<QString, QString> m_items;
};

void checkMenu(const QMenu *menu, const QString &where)
{
    Keys keys(where);
    for (const QAction *action : menu->actions()) {
        if (action->isSeparator())
            continue;
        keys.add(action->text(), accessKey(action->text()));
        if (action->menu())
            checkMenu(action->menu(), where + QStringLiteral(" > ") + action->text());
    }
}

using AccessKeysTest = FormFixture;

TEST_F(AccessKeysTest, EveryMenuItemHasAKeyOfItsOwn)
{
    // Full recent lists, with ampersands in the names that must stay text.
    QByteArray ini = "[OpenHistory]\n";
    for (int i = 0; i < MainWindow::kRecentItems; ++i)
        ini += QByteArray::number(i) + "=/logs/a&" + QByteArray::number(i) + ".log\n";
    ini += "[SessHistory]\n";
    for (int i = 0; i < MainWindow::kRecentItems; ++i)
        ini += QByteArray::number(i) + "=/s/&" + QByteArray::number(i) + ".ravelin-session\n";
    writeSettings(ini);
    MainWindow &form = makeForm();
    ASSERT_EQ(form.sessions().recentFiles().count(), MainWindow::kRecentItems);
    ASSERT_EQ(form.sessions().recentSessions().items().size(), MainWindow::kRecentItems);

    Keys bar(QStringLiteral("menu bar"));
    for (const QAction *title : form.menuBar()->actions()) {
        bar.add(title->text(), accessKey(title->text()));
        ASSERT_NE(title->menu(), nullptr);
        checkMenu(title->menu(), title->text());
    }
}

TEST_F(AccessKeysTest, EveryControlOfEveryOptionsPageHasAKeyOfItsOwn)
{
    OptionsDialog dialog;
    for (int page = 0; page < dialog.pages->count(); ++page) {
        QWidget *sheet = dialog.pages->widget(page);
        Keys keys(dialog.pages->tabText(page));
        const QList<QLabel *> labels = sheet->findChildren<QLabel *>();
        for (QWidget *control : sheet->findChildren<QWidget *>()) {
            // The controls of the page itself, not the parts of a spin box.
            if (control->parentWidget() != sheet || !(control->focusPolicy() & Qt::TabFocus))
                continue;
            QString name = control->objectName();
            QString key;
            if (const auto *button = qobject_cast<QAbstractButton *>(control)) {
                name = button->text();
                key = accessKey(button->text());
            }
            for (const QLabel *label : labels) {
                if (key.isEmpty() && label->buddy() == control) {
                    name = label->text();
                    key = accessKey(label->text());
                }
            }
            keys.add(name, key);
        }
    }
}

TEST_F(AccessKeysTest, EveryItemOfTheViewersMenuHasAKeyOfItsOwn)
{
    LogView view;
    view.updatePopupItems();
    checkMenu(view.popupMenu(), QStringLiteral("viewer menu"));
}

// The controls reached with Tab: a button by its own text, anything else by
// the label that names it. Default and cancel buttons (Enter and Esc) and
// lists without a label are left out.
void checkControls(QWidget *container, const QString &where)
{
    Keys keys(where);
    const QList<QLabel *> labels = container->findChildren<QLabel *>();
    for (QWidget *control : container->findChildren<QWidget *>()) {
        if (!control->isVisibleTo(container) || !(control->focusPolicy() & Qt::TabFocus) ||
            qobject_cast<QLabel *>(control) || control->focusProxy())
            continue;
        QString name = control->objectName();
        QString key;
        if (const auto *button = qobject_cast<QPushButton *>(control)) {
            if (button->isDefault() || button->text() == QStringLiteral("Cancel"))
                continue;
        }
        if (const auto *button = qobject_cast<QAbstractButton *>(control)) {
            name = button->text();
            key = accessKey(button->text());
        }
        bool labelled = qobject_cast<QAbstractButton *>(control) != nullptr;
        for (const QLabel *label : labels) {
            if (key.isEmpty() && label->buddy() == control) {
                name = label->text();
                key = accessKey(label->text());
                labelled = true;
            }
        }
        if (labelled)
            keys.add(name, key);
    }
}

TEST_F(AccessKeysTest, EveryControlOfEveryDialogHasAKeyOfItsOwn)
{
    FindDialog find;
    checkControls(&find, QStringLiteral("find dialog"));
    IniFile ini(settingsPath());
    RulesDialog colors(ini);
    checkControls(&colors, QStringLiteral("colours dialog"));
    BackgroundJobs jobs;
    FilterLogDialog filter(jobs);
    checkControls(&filter, QStringLiteral("filter dialog"));
    TabOrderDialog order;
    checkControls(&order, QStringLiteral("tabs order dialog"));
}

} // namespace
