// Tab captions and order: the caption prompt, the "Tabs order" dialog and
// MoveTab, which moves every field of a tab with it.
#include "formfixture.h"
#include "tooltiptext.h"

#include "app/formtaborder.h"
#include "viewer/qzbinhex.h"

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
    TFormView &FormWithThreeTabs()
    {
        TFormView &form = MakeForm();
        for (const char *name : {"a", "b", "c"}) {
            form.OpenFileTab(WriteFile(QStringLiteral("%1.log").arg(name), name));
            TRec &rec = form.Rec(form.RecCount() - 1);
            rec.Bookmarks[0] = name[0];
            rec.SRText = QString::fromLatin1(name);
        }
        form.Pages()->setCurrentIndex(1);
        return form;
    }

    // The dialog as the window sets it up, not shown.
    std::unique_ptr<TFormTabOrder> Dialog(TFormView &form)
    {
        auto dialog = std::make_unique<TFormTabOrder>(&form);
        dialog->MoveTab = [&form](int from, int to) { form.MoveTab(from, to); };
        dialog->RenameTab = [&form](int index) { form.RenameTab(index); };
        dialog->CloseTab = [&form](int index) {
            form.CloseTab(index);
            form.UpdateAll();
        };
        dialog->FillTabList = [&form](QListWidget *list) { form.FillTabList(list); };
        form.FillTabList(dialog->List);
        return dialog;
    }

    static QString Order(const TFormView &form)
    {
        QString order;
        for (int i = 0; i < form.RecCount(); ++i) {
            const TRec &rec = form.Rec(i);
            const QString name = rec.SRText;
            // Every field and the page must have moved together.
            EXPECT_EQ(rec.FileName.section('/', -1), name + ".log");
            EXPECT_EQ(rec.View->FileName(), rec.FileName);
            EXPECT_EQ(rec.Bookmarks[0], name.at(0).unicode());
            EXPECT_EQ(form.Pages()->widget(i), rec.Sheet);
            EXPECT_EQ(form.Pages()->tabText(i).trimmed(), name + ".log");
            EXPECT_EQ(ShownToolTip(form.Pages()->tabToolTip(i)), rec.FileName);
            order += name;
        }
        return order;
    }
};

TEST_F(TabOrderTest, UpDownAndDropMoveWholeTabsAndKeepTheShownOne)
{
    struct Case
    {
        const char *Name;
        int Select;
        std::function<void(TFormTabOrder &)> Act;
        const char *Order;
        int Selected;
    };
    const Case cases[] = {
        {"up", 1, [](TFormTabOrder &d) { d.Button1->click(); }, "bac", 0},
        {"up on the first", 0, [](TFormTabOrder &d) { d.Button1->click(); }, "abc", 0},
        {"down", 0, [](TFormTabOrder &d) { d.Button2->click(); }, "bac", 1},
        {"down on the last", 2, [](TFormTabOrder &d) { d.Button2->click(); }, "abc", 2},
        {"drop c on a", 2,
         [](TFormTabOrder &d) { d.ListDragDrop(d.List->visualItemRect(d.List->item(0)).center()); },
         "cab", 0},
        {"drop a on c", 0,
         [](TFormTabOrder &d) { d.ListDragDrop(d.List->visualItemRect(d.List->item(2)).center()); },
         "bca", 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        TFormView &form = FormWithThreeTabs();
        QWidget *shown = form.Pages()->currentWidget();
        auto dialog = Dialog(form);
        dialog->resize(541, 347);
        dialog->show();
        dialog->List->setCurrentRow(c.Select);
        c.Act(*dialog);
        EXPECT_EQ(Order(form), c.Order);
        EXPECT_EQ(dialog->List->currentRow(), c.Selected);
        EXPECT_EQ(form.Pages()->currentWidget(), shown);
        EXPECT_EQ(form.ActiveView(), form.Rec(form.Pages()->currentIndex()).View);
        EXPECT_EQ(form.windowTitle(), "b.log - Ravelin Pro");
    }
}

TEST_F(TabOrderTest, DropsAreTakenOnlyFromTheListOntoAnotherLine)
{
    TFormView &form = FormWithThreeTabs();
    auto dialog = Dialog(form);
    dialog->resize(541, 347);
    dialog->show();
    const QPoint onA = dialog->List->visualItemRect(dialog->List->item(0)).center();
    const QPoint below =
        dialog->List->visualItemRect(dialog->List->item(2)).bottomLeft() + QPoint(5, 40);
    dialog->List->setCurrentRow(1);
    EXPECT_TRUE(dialog->ListDragOver(dialog->List, onA));
    EXPECT_FALSE(dialog->ListDragOver(&form, onA)) << "from elsewhere";
    EXPECT_FALSE(dialog->ListDragOver(dialog->List, below)) << "no line under the mouse";
    dialog->List->setCurrentRow(0);
    EXPECT_FALSE(dialog->ListDragOver(dialog->List, onA)) << "onto itself";
}

TEST_F(TabOrderTest, LinesShowCaptionsAndRenamingUsesTheStandardPrompt)
{
    TFormView &form = FormWithThreeTabs();
    QString title, prompt, value;
    QString answer = "app";
    form.ExecDialog = [&](QDialog &dialog) {
        auto *input = qobject_cast<QInputDialog *>(&dialog);
        EXPECT_NE(input, nullptr);
        if (!input)
            return int(QDialog::Rejected);
        title = input->windowTitle();
        prompt = input->labelText();
        value = input->textValue();
        input->setTextValue(answer);
        return int(QDialog::Accepted);
    };
    auto dialog = Dialog(form);
    dialog->List->setCurrentRow(1);
    QTest::keyClick(dialog->List, Qt::Key_F2);
    EXPECT_EQ(title, "Ravelin");
    EXPECT_EQ(prompt, "Tab caption for \"b.log\":");
    EXPECT_EQ(value, "b.log");
    EXPECT_EQ(form.Pages()->tabText(1), "app") << "exactly the text, no blanks";
    EXPECT_EQ(dialog->List->item(1)->text(), "app   [" + PathOf("b.log") + "]");
    EXPECT_EQ(dialog->List->currentRow(), 1);

    // An empty caption: an empty tab, the bare path in the list.
    answer.clear();
    form.Acts().mnuTabCap->trigger(); // F2 of the main window, on the shown tab
    EXPECT_EQ(value, "app");
    EXPECT_EQ(form.Pages()->tabText(1), "");
    form.FillTabList(dialog->List);
    EXPECT_EQ(dialog->List->item(1)->text(), PathOf("b.log"));

    // Cancel keeps the caption.
    form.ExecDialog = [](QDialog &) { return int(QDialog::Rejected); };
    form.RenameTab(0);
    EXPECT_EQ(form.Rec(0).Caption, "a.log");
}

TEST_F(TabOrderTest, TheDialogOpensOnTheShownTabAndClosingAnotherKeepsItShown)
{
    struct Case
    {
        const char *Name;
        int Shown;
        int Close;
        const char *Order;
        const char *ShownAfter;
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
        SCOPED_TRACE(c.Name);
        TFormView &form = FormWithThreeTabs();
        form.Pages()->setCurrentIndex(c.Shown);
        int openedOn = -1;
        form.ExecDialog = [&](QDialog &dialog) {
            auto *order = dynamic_cast<TFormTabOrder *>(&dialog);
            EXPECT_NE(order, nullptr);
            if (!order)
                return int(QDialog::Rejected);
            openedOn = order->List->currentRow();
            order->List->setCurrentRow(c.Close);
            m_sink.QueueAnswers({MsgResult::Ok});
            order->ButtonCls->click();
            return int(QDialog::Accepted);
        };
        form.Acts().mnuTabOrd->trigger(); // F4
        EXPECT_EQ(openedOn, c.Shown);
        EXPECT_EQ(Order(form), c.Order);
        const int shown = form.Pages()->currentIndex();
        ASSERT_GE(shown, 0);
        EXPECT_EQ(form.Rec(shown).SRText, c.ShownAfter);
        EXPECT_EQ(form.ActiveView(), form.Rec(shown).View);
        EXPECT_EQ(form.windowTitle(), QString(c.ShownAfter) + ".log - Ravelin Pro");
    }
}

TEST_F(TabOrderTest, ClosingAsksFirstAndKeepsASelection)
{
    TFormView &form = FormWithThreeTabs();
    auto dialog = Dialog(form);
    dialog->List->setCurrentRow(2);
    m_sink.QueueAnswers({MsgResult::Cancel});
    QTest::keyClick(dialog->List, Qt::Key_Delete);
    ASSERT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_EQ(m_sink.Messages()[0].Caption, "Ravelin");
    EXPECT_EQ(m_sink.Messages()[0].Text, "Close selected tab?");
    EXPECT_EQ(m_sink.Messages()[0].Buttons, MsgButtons::OkCancel);
    EXPECT_EQ(form.RecCount(), 3);

    m_sink.QueueAnswers({MsgResult::Ok});
    dialog->ButtonCls->click();
    EXPECT_EQ(Order(form), "ab");
    EXPECT_EQ(dialog->List->count(), 2);
    EXPECT_EQ(dialog->List->currentRow(), 0) << "the last line went: the first is selected";
}

} // namespace
