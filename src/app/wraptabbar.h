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
class TWrapTabBar final : public QTabBar
{
public:
    explicit TWrapTabBar(QWidget *parent = nullptr);

    void SetMultiRow(bool multiRow);
    bool MultiRow() const { return m_multiRow; }

    // Where tab index is drawn and which tab is under a point, in either form.
    // Wrapped, a tab of a row scrolled out of view lies outside rect() and no
    // point finds it.
    QRect TabRect(int index) const;
    int TabAt(const QPoint &pos) const;
    int RowCount() const;
    // Wrapped: the rows shown at once, and the first of them.
    int VisibleRowCount() const;
    int FirstVisibleRow() const { return m_firstRow; }
    QScrollBar *RowScrollBar() const { return m_scroll; }

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
        int Width = -1;
        int MaxVisible = -1;
        std::vector<QRect> Rects; // one per tab, row 0 at the top
        std::vector<int> RowOf;   // row of each tab
        int Count = 0;
        int Visible = 0; // rows shown at once
        int RowHeight = 0;
        bool Scrolls = false; // the scroll bar takes its width off the rows
    };

    // The width the bar lays out for: its own, or that of the tab widget
    // it is about to be given.
    int LayoutWidth() const;
    int MaxVisibleRows() const;
    const Rows &RowsFor(int width) const;
    Rows Arrange(int width, int maxVisible) const;
    void Invalidate();
    // Places the scroll bar and keeps the first row in range, with the
    // current tab's row in view when asked to or when the rows reflowed.
    void SyncScroll();
    void ScrollToRow(int row);
    int ScrollBarWidth() const;

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
class TPageControl final : public QTabWidget
{
public:
    explicit TPageControl(QWidget *parent = nullptr);
    TWrapTabBar *WrapBar() const { return m_bar; }

private:
    TWrapTabBar *m_bar;
};
