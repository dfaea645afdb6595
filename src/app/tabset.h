#pragma once

#include "app/tab.h"

#include <QObject>

#include <vector>

class QLabel;
class QListWidget;
class QStackedWidget;
class QTabWidget;
class QWidget;
class LogView;
class WrapTabBar;

// The open tabs: the record of each beside its page, the tab control, and the
// caption shown while no file is open. Record i always describes page i, so
// closing or moving a tab moves its record with it.
class TabSet final : public QObject
{
    Q_OBJECT

public:
    TabSet() = default;

    // Builds the panel that holds the tab control; the caller places it.
    QWidget *createPanel(QWidget *parent);

    int count() const { return int(m_recs.size()); }
    // ContractError for an index outside 0..count() - 1.
    Tab &at(int index);
    const Tab &at(int index) const;
    std::vector<Tab> &records() { return m_recs; }
    const std::vector<Tab> &records() const { return m_recs; }
    // -1 while no tab is open.
    int activeIndex() const;
    LogView *activeView() const;
    QTabWidget *pages() const { return m_pages; }
    WrapTabBar *tabBar() const { return m_tabBar; }

    // Adds rec's sheet as the last page, captioned; it becomes the page shown
    // unless behind is set. Returns its index.
    int add(const Tab &rec, const QString &toolTip, bool behind);
    // Drops the record and page of index; the sheet goes once control is
    // back in the event loop, since its viewer may be the caller, unless
    // keepWidgets (a print run still draws it and deletes it afterwards).
    void remove(int index, bool keepWidgets = false);
    void move(int from, int to);
    // Shows page index without announcing it.
    void setActiveQuietly(int index);
    void showPages(bool show);
    void focusActiveView();

    void setCaption(int index, const QByteArray &caption, bool padShort);
    // A dot on the tab while its view follows the file's end. Every tab has
    // an icon of the same size, so that the mark never moves the captions.
    void markFollowing(int index, bool following);
    bool markedFollowing(int index) const;
    // Every tab as its caption and path, keeping the selected row.
    void fillList(QListWidget *list) const;
    // The caption a tab gets from its path. Only a caption that differs was
    // chosen by the user; userCaption is empty for any other, so that what is
    // stored is made again from the path when the tab is reopened.
    static QByteArray pathCaption(const QString &fileName);
    static QByteArray userCaption(const Tab &rec);

Q_SIGNALS:
    void currentChanged();
    // A middle click on a tab.
    void closeRequested(int index);

private:
    std::vector<Tab> m_recs;
    QStackedWidget *m_panel = nullptr; // "(File not opened)" or the tabs
    QLabel *m_panelCaption = nullptr;
    QTabWidget *m_pages = nullptr;
    WrapTabBar *m_tabBar = nullptr; // the bar of m_pages
};
