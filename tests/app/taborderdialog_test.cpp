// Tab captions and order: the caption prompt, the "Tabs order" dialog and
// MoveTab, which moves every field of a tab with it.
#include "formfixture.h"
#include "tooltiptext.h"

#include "app/taborderdialog.h"
#include "viewer/logview.h"

#include <QAction>
#include <QInputDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

class TabOrderTest : public FormFixture
{
protected:
    // Tabs a, b, c with their own bookmarks and last searches; b is shown.
    MainWindow &formWithThreeTabs()
    {
        MainWindow &form = makeForm();
        for (const char *name : {"a", "b", "c"}) {
            form.openFileTab(writeFile(QStringLiteral("%1.log").arg(name), name));
            Tab &rec = form.tabAt(form.tabCount() - 1);
            rec.bookmarks[0] = name[0];
            rec.srText = QString::fromLatin1(name);
        }
        form.tabs().pages()->setCurrentIndex(1);
        return form;
    }

    // The dialog as the window sets it up, not shown.
    std::unique_ptr<TabOrderDialog> dialog(MainWindow &form)
    {
        auto dialog = std::make_unique<TabOrderDialog>(&form);
        dialog->moveTab = [&form](int from, int to) { form.tabs().move(from, to); };
        dialog->renameTab = [&form](int index) { form.renameTab(index); };
        dialog->closeTab = [&form](int index) {
            form.closeTab(index);
            form.updateAll();
        };
        dialog->fillTabList = [&form](QListWidget *list) { form.tabs().fillList(list); };
        form.tabs().fillList(dialog->list);
        return dialog;
    }

    static QString order(const MainWindow &form)
    {
        QString order;
        for (int i = 0; i < form.tabCount(); ++i) {
            const Tab &rec = form.tabAt(i);
            const QString name = rec.srText;
            // Every field and the page must have moved together.
            EXPECT_EQ(rec.fileName.section('/', -1), name + ".log");
            EXPECT_EQ(rec.view->fileName(), rec.fileName);
            EXPECT_EQ(rec.bookmarks[0], name.at(0).unicode());
            EXPECT_EQ(form.tabs().pages()->widget(i), rec.sheet);
            EXPECT_EQ(form.tabs().pages()->tabText(i).trimmed(), name + ".log");
            EXPECT_EQ(shownToolTip(form.tabs().pages()->tabToolTip(i)), rec.fileName);
            order += name;
        }
        return order;
    }
};

TEST_F(TabOrderTest, UpDownAndDropMoveWholeTabsAndKeepTheShownOne)
{
    struct Case
    {
        const char *name;
        int select;
        std::function<void(TabOrderDialog &)> act;
        const char *tabOrder;
        int selected;
    };
    const Case cases[] = {
        {"up", 1, [](TabOrderDialog &d) { d.upButton->click(); }, "bac", 0},
        {"up on the first", 0, [](TabOrderDialog &d) { d.upButton->click(); }, "abc", 0},
        {"down", 0, [](TabOrderDialog &d) { d.downButton->click(); }, "bac", 1},
        {"down on the last", 2, [](TabOrderDialog &d) { d.downButton->click(); }, "abc", 2},
        {"drop c on a", 2,
         [](TabOrderDialog &d) {
             d.listDragDrop(d.list->visualItemRect(d.list->item(0)).center());
         },
         "cab", 0},
        {"drop a on c", 0,
         [](TabOrderDialog &d) {
             d.listDragDrop(d.list->visualItemRect(d.list->item(2)).center());
         },
         "bca", 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MainWindow &form = formWithThreeTabs();
        QWidget *shown = form.tabs().pages()->currentWidget();
        auto tabOrder = dialog(form);
        tabOrder->resize(541, 347);
        tabOrder->show();
        tabOrder->list->setCurrentRow(c.select);
        c.act(*tabOrder);
        EXPECT_EQ(order(form), c.tabOrder);
        EXPECT_EQ(tabOrder->list->currentRow(), c.selected);
        EXPECT_EQ(form.tabs().pages()->currentWidget(), shown);
        EXPECT_EQ(form.activeView(), form.tabAt(form.tabs().pages()->currentIndex()).view);
        EXPECT_EQ(form.windowTitle(), "b.log - Ravelin Pro");
    }
}

TEST_F(TabOrderTest, DropsAreTakenOnlyFromTheListOntoAnotherLine)
{
    MainWindow &form = formWithThreeTabs();
    auto tabOrder = dialog(form);
    tabOrder->resize(541, 347);
    tabOrder->show();
    const QPoint onA = tabOrder->list->visualItemRect(tabOrder->list->item(0)).center();
    const QPoint below =
        tabOrder->list->visualItemRect(tabOrder->list->item(2)).bottomLeft() + QPoint(5, 40);
    tabOrder->list->setCurrentRow(1);
    EXPECT_TRUE(tabOrder->listDragOver(tabOrder->list, onA));
    EXPECT_FALSE(tabOrder->listDragOver(&form, onA)) << "from elsewhere";
    EXPECT_FALSE(tabOrder->listDragOver(tabOrder->list, below)) << "no line under the mouse";
    tabOrder->list->setCurrentRow(0);
    EXPECT_FALSE(tabOrder->listDragOver(tabOrder->list, onA)) << "onto itself";
}

TEST_F(TabOrderTest, LinesShowCaptionsAndRenamingUsesTheStandardPrompt)
{
    MainWindow &form = formWithThreeTabs();
    QString title, prompt, value;
    QString answer = "app";
    form.execDialog = [&](QDialog &tabOrder) {
        auto *input = qobject_cast<QInputDialog *>(&tabOrder);
        EXPECT_NE(input, nullptr);
        if (!input)
            return int(QDialog::Rejected);
        title = input->windowTitle();
        prompt = input->labelText();
        value = input->textValue();
        input->setTextValue(answer);
        return int(QDialog::Accepted);
    };
    auto tabOrder = dialog(form);
    tabOrder->list->setCurrentRow(1);
    QTest::keyClick(tabOrder->list, Qt::Key_F2);
    EXPECT_EQ(title, "Ravelin");
    EXPECT_EQ(prompt, "Tab caption for \"b.log\":");
    EXPECT_EQ(value, "b.log");
    EXPECT_EQ(form.tabs().pages()->tabText(1), "app") << "exactly the text, no blanks";
    EXPECT_EQ(tabOrder->list->item(1)->text(), "app   [" + pathOf("b.log") + "]");
    EXPECT_EQ(tabOrder->list->currentRow(), 1);

    // An empty caption: an empty tab, the bare path in the list.
    answer.clear();
    form.acts().setTabCaption->trigger(); // F2 of the main window, on the shown tab
    EXPECT_EQ(value, "app");
    EXPECT_EQ(form.tabs().pages()->tabText(1), "");
    form.tabs().fillList(tabOrder->list);
    EXPECT_EQ(tabOrder->list->item(1)->text(), pathOf("b.log"));

    // Cancel keeps the caption.
    form.execDialog = [](QDialog &) { return int(QDialog::Rejected); };
    form.renameTab(0);
    EXPECT_EQ(form.tabAt(0).caption, "a.log");
}

TEST_F(TabOrderTest, TheDialogOpensOnTheShownTabAndClosingAnotherKeepsItShown)
{
    struct Case
    {
        const char *name;
        int shown;
        int close;
        const char *tabOrder;
        const char *shownAfter;
    };
    const Case cases[] = {
        {"one before the shown", 1, 0, "bc", "b"},
        {"one after the shown", 1, 2, "ab", "b"},
        {"the first, the last shown", 2, 0, "bc", "c"},
        {"the last, the first shown", 0, 2, "ab", "a"},
        {"the shown one: the next is shown", 1, 1, "ac", "c"},
        {"the shown last one: the one before", 2, 2, "ab", "b"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MainWindow &form = formWithThreeTabs();
        form.tabs().pages()->setCurrentIndex(c.shown);
        int openedOn = -1;
        form.execDialog = [&](QDialog &dialog) {
            auto *tabOrder = dynamic_cast<TabOrderDialog *>(&dialog);
            EXPECT_NE(tabOrder, nullptr);
            if (!tabOrder)
                return int(QDialog::Rejected);
            openedOn = tabOrder->list->currentRow();
            tabOrder->list->setCurrentRow(c.close);
            m_sink.queueAnswers({MsgResult::Ok});
            tabOrder->closeButton->click();
            return int(QDialog::Accepted);
        };
        form.acts().setTabsOrder->trigger(); // F4
        EXPECT_EQ(openedOn, c.shown);
        EXPECT_EQ(order(form), c.tabOrder);
        const int shown = form.tabs().pages()->currentIndex();
        ASSERT_GE(shown, 0);
        EXPECT_EQ(form.tabAt(shown).srText, c.shownAfter);
        EXPECT_EQ(form.activeView(), form.tabAt(shown).view);
        EXPECT_EQ(form.windowTitle(), QString(c.shownAfter) + ".log - Ravelin Pro");
    }
}

TEST_F(TabOrderTest, ClosingAsksFirstAndKeepsASelection)
{
    MainWindow &form = formWithThreeTabs();
    auto tabOrder = dialog(form);
    tabOrder->list->setCurrentRow(2);
    m_sink.queueAnswers({MsgResult::Cancel});
    QTest::keyClick(tabOrder->list, Qt::Key_Delete);
    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_EQ(m_sink.messages()[0].caption, "Ravelin");
    EXPECT_EQ(m_sink.messages()[0].text, "Close selected tab?");
    EXPECT_EQ(m_sink.messages()[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(form.tabCount(), 3);

    m_sink.queueAnswers({MsgResult::Ok});
    tabOrder->closeButton->click();
    EXPECT_EQ(order(form), "ab");
    EXPECT_EQ(tabOrder->list->count(), 2);
    EXPECT_EQ(tabOrder->list->currentRow(), 0) << "the last line went: the first is selected";
}

} // namespace
