#pragma once

#include <QDialog>

#include <functional>

class QGroupBox;
class QListWidget;
class QPushButton;

// The "Tabs order" dialog: one line per tab, moved, renamed and closed in
// place through the main window's operations. Nothing is applied on close.
class TabOrderDialog final : public QDialog
{
public:
    explicit TabOrderDialog(QWidget *parent = nullptr);

    // Set by the main window before the dialog is shown.
    std::function<void(int from, int to)> moveTab;
    std::function<void(int index)> renameTab;
    std::function<void(int index)> closeTab; // closes and refreshes the window
    std::function<void(QListWidget *list)> fillTabList;

    void upClicked();     // up
    void downClicked();   // down
    void renameClicked(); // rename
    void closeClicked();  // close, after confirmation
    // Whether a drop from source at pos (in the list's viewport) is taken.
    bool listDragOver(const QObject *source, const QPoint &pos) const;
    void listDragDrop(const QPoint &pos);

    QGroupBox *tabsBox = nullptr;
    QListWidget *list = nullptr;
    QPushButton *upButton = nullptr;
    QPushButton *downButton = nullptr;
    QPushButton *renameButton = nullptr;
    QPushButton *closeButton = nullptr;
    QPushButton *okButton = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refill(int select);
    // FormKeyDown: F2 and Delete, seen before the focused control.
    bool formKeyDown(const QKeyEvent &key);
};
