#include "app/wraptabbar.h"

#include "text/guard.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QToolTip>

#include <algorithm>

TWrapTabBar::TWrapTabBar(QWidget *parent) : QTabBar(parent)
{
    setObjectName(QStringLiteral("TabBar"));
    setUsesScrollButtons(true);
    setElideMode(Qt::ElideNone);
}

void TWrapTabBar::SetMultiRow(bool multiRow)
{
    if (multiRow == m_multiRow)
        return;
    m_multiRow = multiRow;
    // Wrapped, the toolkit's scroll buttons would sit over the rows; it
    // never shortens a caption in either form.
    setUsesScrollButtons(!multiRow);
    setElideMode(Qt::ElideNone);
    Invalidate();
}

void TWrapTabBar::Invalidate()
{
    m_dirty = true;
    updateGeometry();
    update();
}

int TWrapTabBar::LayoutWidth() const
{
    // The tab widget sizes the bar from its hint, so the hint must wrap at
    // the width the tab widget has now.
    if (const QWidget *owner = parentWidget())
        return std::max(1, owner->width());
    return std::max(1, width());
}

const TWrapTabBar::Rows &TWrapTabBar::RowsFor(int width) const
{
    if (!m_dirty && m_rows.Width == width && int(m_rows.Rects.size()) == count())
        return m_rows;
    Rows rows;
    rows.Width = width;
    const int n = count();
    rows.Rects.reserve(size_t(n));
    rows.RowOf.reserve(size_t(n));
    int x = 0;
    int row = 0;
    for (int i = 0; i < n; ++i) {
        const QSize size = tabSizeHint(i);
        rows.RowHeight = std::max(rows.RowHeight, size.height());
        // A tab wider than the bar gets a row of its own.
        if (x > 0 && x + size.width() > width) {
            ++row;
            x = 0;
        }
        rows.Rects.emplace_back(x, 0, size.width(), 0);
        rows.RowOf.push_back(row);
        x += size.width();
    }
    rows.Count = n > 0 ? row + 1 : 0;
    for (size_t i = 0; i < rows.Rects.size(); ++i) {
        rows.Rects[i].setTop(rows.RowOf[i] * rows.RowHeight);
        rows.Rects[i].setHeight(rows.RowHeight);
    }
    m_rows = std::move(rows);
    m_dirty = false;
    return m_rows;
}

QRect TWrapTabBar::TabRect(int index) const
{
    if (!m_multiRow)
        return tabRect(index);
    const Rows &rows = RowsFor(width());
    return index >= 0 && index < int(rows.Rects.size()) ? rows.Rects[size_t(index)] : QRect();
}

int TWrapTabBar::TabAt(const QPoint &pos) const
{
    if (!m_multiRow)
        return tabAt(pos);
    const Rows &rows = RowsFor(width());
    for (size_t i = 0; i < rows.Rects.size(); ++i)
        if (rows.Rects[i].contains(pos))
            return int(i);
    return -1;
}

int TWrapTabBar::RowCount() const
{
    if (!m_multiRow)
        return count() > 0 ? 1 : 0;
    return RowsFor(width()).Count;
}

QSize TWrapTabBar::sizeHint() const
{
    if (!m_multiRow)
        return QTabBar::sizeHint();
    const int width = LayoutWidth();
    const Rows &rows = RowsFor(width);
    return {width, rows.Count * rows.RowHeight};
}

QSize TWrapTabBar::minimumSizeHint() const
{
    if (!m_multiRow)
        return QTabBar::minimumSizeHint();
    // Any width will do: the rows follow it.
    const Rows &rows = RowsFor(LayoutWidth());
    return {1, rows.Count * rows.RowHeight};
}

QSize TWrapTabBar::tabSizeHint(int index) const
{
    // Nothing but the caption tells the tabs apart: no icons, no buttons.
    const QString text = tabText(index);
    if (m_hintsShape != shape() || m_hintsDocumentMode != documentMode()) {
        m_sizeHints.clear();
        m_hintsShape = shape();
        m_hintsDocumentMode = documentMode();
    }
    const auto known = m_sizeHints.constFind(text);
    if (known != m_sizeHints.cend())
        return *known;
    const QSize size = QTabBar::tabSizeHint(index);
    m_sizeHints.insert(text, size);
    return size;
}

void TWrapTabBar::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_sizeHints.clear();
        Invalidate();
    }
    QTabBar::changeEvent(event);
}

void TWrapTabBar::tabLayoutChange()
{
    QTabBar::tabLayoutChange();
    Invalidate();
}

void TWrapTabBar::tabInserted(int index)
{
    QTabBar::tabInserted(index);
    Invalidate();
}

void TWrapTabBar::tabRemoved(int index)
{
    QTabBar::tabRemoved(index);
    Invalidate();
}

void TWrapTabBar::resizeEvent(QResizeEvent *event)
{
    QTabBar::resizeEvent(event);
    if (m_multiRow)
        Invalidate();
}

bool TWrapTabBar::event(QEvent *event)
{
    if (m_multiRow && event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const int index = TabAt(help->pos());
        if (index >= 0 && !tabToolTip(index).isEmpty())
            QToolTip::showText(help->globalPos(), tabToolTip(index), this, TabRect(index));
        else
            QToolTip::hideText();
        return true;
    }
    // Hover tracking of the toolkit's bar uses its own single-row places.
    if (m_multiRow && (event->type() == QEvent::HoverMove || event->type() == QEvent::HoverEnter ||
                       event->type() == QEvent::HoverLeave))
        return true;
    return QTabBar::event(event);
}

void TWrapTabBar::paintEvent(QPaintEvent *event)
{
    if (!m_multiRow) {
        QTabBar::paintEvent(event);
        return;
    }
    RunGuarded([&] {
        const Rows &rows = RowsFor(width());
        QStylePainter painter(this);
        const int current = currentIndex();
        auto draw = [&](int i) {
            QStyleOptionTab option;
            initStyleOption(&option, i);
            option.rect = rows.Rects[size_t(i)];
            // The whole caption, never shortened.
            option.text = tabText(i);
            option.state &= ~QStyle::State_MouseOver;
            const int row = rows.RowOf[size_t(i)];
            const bool first = i == 0 || rows.RowOf[size_t(i - 1)] != row;
            const bool last = i == count() - 1 || rows.RowOf[size_t(i + 1)] != row;
            option.position = first && last ? QStyleOptionTab::OnlyOneTab
                              : first       ? QStyleOptionTab::Beginning
                              : last        ? QStyleOptionTab::End
                                            : QStyleOptionTab::Middle;
            option.selectedPosition = QStyleOptionTab::NotAdjacent;
            painter.drawControl(QStyle::CE_TabBarTab, option);
        };
        // Only what the update asks for: hundreds of tabs take a while.
        const QRect dirty = event->rect();
        for (int i = 0; i < count(); ++i)
            if (i != current && rows.Rects[size_t(i)].intersects(dirty))
                draw(i);
        // The current tab last, over the edges of its neighbours.
        if (current >= 0 && current < count())
            draw(current);
    });
}

void TWrapTabBar::mousePressEvent(QMouseEvent *event)
{
    if (!m_multiRow) {
        QTabBar::mousePressEvent(event);
        return;
    }
    if (event->button() == Qt::LeftButton) {
        const int index = TabAt(event->position().toPoint());
        if (index >= 0)
            setCurrentIndex(index);
    }
    event->accept();
}

void TWrapTabBar::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_multiRow)
        QTabBar::mouseMoveEvent(event);
    else
        event->accept();
}

void TWrapTabBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton) {
        const int index = TabAt(event->position().toPoint());
        event->accept();
        if (index >= 0)
            Q_EMIT tabCloseRequested(index);
        return;
    }
    if (!m_multiRow)
        QTabBar::mouseReleaseEvent(event);
    else
        event->accept();
}

void TWrapTabBar::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!m_multiRow)
        QTabBar::mouseDoubleClickEvent(event);
    else
        event->accept();
}

TPageControl::TPageControl(QWidget *parent) : QTabWidget(parent), m_bar(new TWrapTabBar(this))
{
    setTabBar(m_bar);
}
