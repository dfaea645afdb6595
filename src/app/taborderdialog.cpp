#include "app/taborderdialog.h"

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

TabOrderDialog::TabOrderDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormTabOrder"));
    setWindowTitle(QStringLiteral("Tabs order"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowSystemMenuHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(true);
    resize(541, 347);

    tabsBox = new QGroupBox(QStringLiteral("Tabs list"), this);
    tabsBox->setObjectName(QStringLiteral("TabsBox"));
    list = new QListWidget(tabsBox);
    list->setObjectName(QStringLiteral("List"));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The drop is handled here and moves the tab; the list itself copies
    // nothing and removes nothing.
    list->setDragEnabled(true);
    list->setAcceptDrops(true);
    list->setDragDropMode(QAbstractItemView::DragDrop);
    list->setDefaultDropAction(Qt::CopyAction);
    list->viewport()->installEventFilter(this);
    auto *frame = new QVBoxLayout(tabsBox);
    frame->addWidget(list);

    auto button = [this](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    upButton = button("UpButton", QStringLiteral("&Up"));
    downButton = button("DownButton", QStringLiteral("&Down"));
    renameButton = button("RenameButton", QStringLiteral("&Rename tab..."));
    closeButton = button("CloseButton", QStringLiteral("&Close tab"));
    okButton = button("OkButton", QStringLiteral("OK"));
    okButton->setDefault(true);
    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {upButton, downButton, renameButton, closeButton})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(okButton);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(tabsBox, 1);
    layout->addLayout(buttons);

    connect(upButton, &QPushButton::clicked, this, guarded([this] { upClicked(); }));
    connect(downButton, &QPushButton::clicked, this, guarded([this] { downClicked(); }));
    connect(renameButton, &QPushButton::clicked, this, guarded([this] { renameClicked(); }));
    connect(closeButton, &QPushButton::clicked, this, guarded([this] { closeClicked(); }));
    // OK is also the cancel button: Esc closes the dialog the same way.
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
}

void TabOrderDialog::refill(int select)
{
    if (fillTabList)
        fillTabList(list);
    if (select >= 0 && select < list->count())
        list->setCurrentRow(select);
}

void TabOrderDialog::upClicked()
{
    const int i = list->currentRow();
    if (i > 0 && moveTab) {
        moveTab(i, i - 1);
        refill(i - 1);
    }
}

void TabOrderDialog::downClicked()
{
    const int i = list->currentRow();
    if (i >= 0 && i < list->count() - 1 && moveTab) {
        moveTab(i, i + 1);
        refill(i + 1);
    }
}

void TabOrderDialog::renameClicked()
{
    const int i = list->currentRow();
    if (i >= 0 && renameTab) {
        renameTab(i);
        refill(-1);
    }
}

void TabOrderDialog::closeClicked()
{
    const int i = list->currentRow();
    if (i < 0 || !closeTab)
        return;
    if (showMessage(QStringLiteral("Ravelin"), QStringLiteral("Close selected tab?"),
                    MsgIcon::Warning, MsgButtons::OkCancel) != MsgResult::Ok)
        return;
    closeTab(i);
    refill(-1);
}

bool TabOrderDialog::listDragOver(const QObject *source, const QPoint &pos) const
{
    const int selected = list->currentRow();
    const QListWidgetItem *target = list->itemAt(pos);
    return source == list && selected >= 0 && target && list->row(target) != selected;
}

void TabOrderDialog::listDragDrop(const QPoint &pos)
{
    if (!listDragOver(list, pos) || !moveTab)
        return;
    const int from = list->currentRow();
    const int to = list->row(list->itemAt(pos));
    moveTab(from, to);
    refill(to);
}

bool TabOrderDialog::formKeyDown(const QKeyEvent &key)
{
    if ((key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) != 0)
        return false;
    if (key.key() == Qt::Key_F2) {
        renameClicked();
        return true;
    }
    if (key.key() == Qt::Key_Delete) {
        closeClicked();
        return true;
    }
    return false;
}

bool TabOrderDialog::eventFilter(QObject *watched, QEvent *event)
{
    bool handled = false;
    runGuarded([&] {
        switch (event->type()) {
        case QEvent::KeyPress:
            handled = formKeyDown(*static_cast<QKeyEvent *>(event));
            break;
        case QEvent::DragEnter:
        case QEvent::DragMove:
            if (watched == list->viewport()) {
                auto *drag = static_cast<QDragMoveEvent *>(event);
                if (listDragOver(drag->source(), drag->position().toPoint())) {
                    drag->setDropAction(Qt::CopyAction);
                    drag->accept();
                } else {
                    drag->ignore();
                }
                handled = true;
            }
            break;
        case QEvent::Drop:
            if (watched == list->viewport()) {
                auto *drop = static_cast<QDropEvent *>(event);
                // A copy for the list, so that it removes no line itself.
                drop->setDropAction(Qt::CopyAction);
                drop->accept();
                listDragDrop(drop->position().toPoint());
                handled = true;
            }
            break;
        default:
            break;
        }
    });
    return handled || QDialog::eventFilter(watched, event);
}
