#pragma once

#include <QHash>
#include <QTabBar>
#include <QTabWidget>

#include <vector>

class QScrollBar;

// A tab bar that can wrap its tabs onto several rows, so that every tab
// shows its whole caption however many are open. With one row it is the
// toolkit's own bar, scrolling. In both forms a middle click on a tab asks to
// close it (tabCloseRequested).
//
// Wrapped, the bar takes at most a third of the tab widget's height: more
// rows scroll behind a scroll bar of their own (and the wheel), so that
// hundreds of tabs never make the window taller. The current tab's row is
// scrolled into view whenever the current tab changes.
//
// The toolkit's bar keeps the tabs (texts, tool tips, order, current tab);
// only laying them out, painting and hit testing are done here while wrapped.
class WrapTabBar final : public QTabBar
{
public:
    explicit WrapTabBar(QWidget *parent = nullptr);

    void setMultiRow(bool multiRow);
    bool multiRow() const { return m_multiRow; }

    // Where tab index is drawn and which tab is under a point, in either form.
    // Wrapped, a tab of a row scrolled out of view lies outside rect() and no
    // point finds it.
    QRect wrappedTabRect(int index) const;
    int wrappedTabAt(const QPoint &pos) const;
    int rowCount() const;
    // Wrapped: the rows shown at once, and the first of them.
    int visibleRowCount() const;
    int firstVisibleRow() const { return m_firstRow; }
    QScrollBar *rowScrollBar() const { return m_scroll; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    // Measured once per caption: the toolkit asks for every tab's size at
    // every change, which made opening hundreds of tabs quadratic in cost.
    QSize tabSizeHint(int index) const override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void tabLayoutChange() override;
    void tabInserted(int index) override;
    void tabRemoved(int index) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Rows
    {
        int width = -1;
        int maxVisible = -1;
        std::vector<QRect> rects; // one per tab, row 0 at the top
        std::vector<int> rowOf;   // row of each tab
        int count = 0;
        int visible = 0; // rows shown at once
        int rowHeight = 0;
        bool scrolls = false; // the scroll bar takes its width off the rows
    };

    // The width the bar lays out for: its own, or that of the tab widget
    // it is about to be given.
    int layoutWidth() const;
    int maxVisibleRows() const;
    const Rows &rowsFor(int width) const;
    Rows arrange(int width, int maxVisible) const;
    void invalidate();
    // Places the scroll bar and keeps the first row in range, with the
    // current tab's row in view when asked to or when the rows reflowed.
    void syncScroll();
    void scrollToRow(int row);
    int scrollBarWidth() const;

    bool m_multiRow = false;
    QScrollBar *m_scroll;
    int m_firstRow = 0;
    int m_syncedWidth = -1;
    bool m_showCurrent = true;
    int m_wheelRest = 0; // wheel angle not yet worth a row
    mutable Rows m_rows;
    mutable QHash<QString, QSize> m_sizeHints; // by caption, for one shape and mode
    mutable Shape m_hintsShape = RoundedNorth;
    mutable bool m_hintsDocumentMode = false;
    mutable bool m_dirty = true;
};

// The page control of the main window: a tab widget with the wrapping bar.
class WrapTabWidget final : public QTabWidget
{
public:
    explicit WrapTabWidget(QWidget *parent = nullptr);
    WrapTabBar *wrapBar() const { return m_bar; }

private:
    WrapTabBar *m_bar;
};
