#pragma once

#include <QDialog>

#include <functional>

class QGroupBox;
class QListWidget;
class QPushButton;

// The "Tabs order" dialog: one line per tab, moved, renamed and closed in
// place through the main window's operations. Nothing is applied on close.
class TFormTabOrder final : public QDialog
{
public:
    explicit TFormTabOrder(QWidget *parent = nullptr);

    // Set by the main window before the dialog is shown.
    std::function<void(int from, int to)> MoveTab;
    std::function<void(int index)> RenameTab;
    std::function<void(int index)> CloseTab; // closes and refreshes the window
    std::function<void(QListWidget *list)> FillTabList;

    void Button1Click();   // up
    void Button2Click();   // down
    void ButtonRnClick();  // rename
    void ButtonClsClick(); // close, after confirmation
    // Whether a drop from source at pos (in the list's viewport) is taken.
    bool ListDragOver(const QObject *source, const QPoint &pos) const;
    void ListDragDrop(const QPoint &pos);

    QGroupBox *GroupBox1 = nullptr;
    QListWidget *List = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *ButtonRn = nullptr;
    QPushButton *ButtonCls = nullptr;
    QPushButton *ButtonOk = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Refill(int select);
    // FormKeyDown: F2 and Delete, seen before the focused control.
    bool FormKeyDown(const QKeyEvent &key);
};
