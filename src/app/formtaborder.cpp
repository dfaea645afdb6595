#include "app/formtaborder.h"

#include "text/guard.h"
#include "text/messages.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TFormTabOrder::TFormTabOrder(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormTabOrder"));
    setWindowTitle(QStringLiteral("Tabs order"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowSystemMenuHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(true);
    resize(541, 347);

    GroupBox1 = new QGroupBox(QStringLiteral("Tabs list"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    List = new QListWidget(GroupBox1);
    List->setObjectName(QStringLiteral("List"));
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The drop is handled here and moves the tab; the list itself copies
    // nothing and removes nothing.
    List->setDragEnabled(true);
    List->setAcceptDrops(true);
    List->setDragDropMode(QAbstractItemView::DragDrop);
    List->setDefaultDropAction(Qt::CopyAction);
    List->viewport()->installEventFilter(this);
    auto *frame = new QVBoxLayout(GroupBox1);
    frame->addWidget(List);

    auto button = [this](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    Button1 = button("Button1", QStringLiteral("&Up"));
    Button2 = button("Button2", QStringLiteral("&Down"));
    ButtonRn = button("ButtonRn", QStringLiteral("&Rename tab..."));
    ButtonCls = button("ButtonCls", QStringLiteral("&Close tab"));
    ButtonOk = button("ButtonOk", QStringLiteral("OK"));
    ButtonOk->setDefault(true);
    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {Button1, Button2, ButtonRn, ButtonCls})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(ButtonOk);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(GroupBox1, 1);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, Guarded([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, Guarded([this] { Button2Click(); }));
    connect(ButtonRn, &QPushButton::clicked, this, Guarded([this] { ButtonRnClick(); }));
    connect(ButtonCls, &QPushButton::clicked, this, Guarded([this] { ButtonClsClick(); }));
    // OK is also the cancel button: Esc closes the dialog the same way.
    connect(ButtonOk, &QPushButton::clicked, this, &QDialog::accept);

    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
}

void TFormTabOrder::Refill(int select)
{
    if (FillTabList)
        FillTabList(List);
    if (select >= 0 && select < List->count())
        List->setCurrentRow(select);
}

void TFormTabOrder::Button1Click()
{
    const int i = List->currentRow();
    if (i > 0 && MoveTab) {
        MoveTab(i, i - 1);
        Refill(i - 1);
    }
}

void TFormTabOrder::Button2Click()
{
    const int i = List->currentRow();
    if (i >= 0 && i < List->count() - 1 && MoveTab) {
        MoveTab(i, i + 1);
        Refill(i + 1);
    }
}

void TFormTabOrder::ButtonRnClick()
{
    const int i = List->currentRow();
    if (i >= 0 && RenameTab) {
        RenameTab(i);
        Refill(-1);
    }
}

void TFormTabOrder::ButtonClsClick()
{
    const int i = List->currentRow();
    if (i < 0 || !CloseTab)
        return;
    if (ShowMessage(QStringLiteral("Ravelin"), QStringLiteral("Close selected tab?"),
                    MsgIcon::Warning, MsgButtons::OkCancel) != MsgResult::Ok)
        return;
    CloseTab(i);
    Refill(-1);
}

bool TFormTabOrder::ListDragOver(const QObject *source, const QPoint &pos) const
{
    const int selected = List->currentRow();
    const QListWidgetItem *target = List->itemAt(pos);
    return source == List && selected >= 0 && target && List->row(target) != selected;
}

void TFormTabOrder::ListDragDrop(const QPoint &pos)
{
    if (!ListDragOver(List, pos) || !MoveTab)
        return;
    const int from = List->currentRow();
    const int to = List->row(List->itemAt(pos));
    MoveTab(from, to);
    Refill(to);
}

bool TFormTabOrder::FormKeyDown(const QKeyEvent &key)
{
    if ((key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) != 0)
        return false;
    if (key.key() == Qt::Key_F2) {
        ButtonRnClick();
        return true;
    }
    if (key.key() == Qt::Key_Delete) {
        ButtonClsClick();
        return true;
    }
    return false;
}

bool TFormTabOrder::eventFilter(QObject *watched, QEvent *event)
{
    bool handled = false;
    RunGuarded([&] {
        switch (event->type()) {
        case QEvent::KeyPress:
            handled = FormKeyDown(*static_cast<QKeyEvent *>(event));
            break;
        case QEvent::DragEnter:
        case QEvent::DragMove:
            if (watched == List->viewport()) {
                auto *drag = static_cast<QDragMoveEvent *>(event);
                if (ListDragOver(drag->source(), drag->position().toPoint())) {
                    drag->setDropAction(Qt::CopyAction);
                    drag->accept();
                } else {
                    drag->ignore();
                }
                handled = true;
            }
            break;
        case QEvent::Drop:
            if (watched == List->viewport()) {
                auto *drop = static_cast<QDropEvent *>(event);
                // A copy for the list, so that it removes no line itself.
                drop->setDropAction(Qt::CopyAction);
                drop->accept();
                ListDragDrop(drop->position().toPoint());
                handled = true;
            }
            break;
        default:
            break;
        }
    });
    return handled || QDialog::eventFilter(watched, event);
}
