#include "app/wraptabbar.h"

#include "text/guard.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <limits>

namespace {

// The rows take at most this share of the tab widget's height; the page
// below them keeps the rest.
constexpr int kRowsShareOfHeight = 3;
// One notch of a mouse wheel.
constexpr int kWheelNotch = 120;

} // namespace

WrapTabBar::WrapTabBar(QWidget *parent)
    : QTabBar(parent), m_scroll(new QScrollBar(Qt::Vertical, this))
{
    setObjectName(QStringLiteral("TabBar"));
    setUsesScrollButtons(true);
    setElideMode(Qt::ElideNone);
    m_scroll->setObjectName(QStringLiteral("TabRowsScrollBar"));
    // Keys belong to the viewer, as for the tabs themselves.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->hide();
    connect(m_scroll, &QScrollBar::valueChanged, this, guarded([this](int row) {
                m_firstRow = row;
                update();
            }));
    connect(this, &QTabBar::currentChanged, this, guarded([this] {
                m_showCurrent = true;
                syncScroll();
            }));
}

void WrapTabBar::setMultiRow(bool multiRow)
{
    if (multiRow == m_multiRow)
        return;
    m_multiRow = multiRow;
    // Wrapped, the toolkit's scroll buttons would sit over the rows; it
    // never shortens a caption in either form.
    setUsesScrollButtons(!multiRow);
    setElideMode(Qt::ElideNone);
    m_showCurrent = true;
    invalidate();
}

void WrapTabBar::invalidate()
{
    m_dirty = true;
    updateGeometry();
    update();
    syncScroll();
}

int WrapTabBar::layoutWidth() const
{
    // The tab widget sizes the bar from its hint, so the hint must wrap at
    // the width the tab widget has now.
    if (const QWidget *owner = parentWidget())
        return std::max(1, owner->width());
    return std::max(1, width());
}

int WrapTabBar::maxVisibleRows() const
{
    const QWidget *owner = parentWidget();
    if (!owner || count() == 0)
        return std::numeric_limits<int>::max();
    const int rowHeight = std::max(1, tabSizeHint(0).height());
    return std::max(1, owner->height() / kRowsShareOfHeight / rowHeight);
}

int WrapTabBar::scrollBarWidth() const
{
    return std::max(1, m_scroll->sizeHint().width());
}

WrapTabBar::Rows WrapTabBar::arrange(int width, int maxVisible) const
{
    Rows rows;
    rows.width = width;
    rows.maxVisible = maxVisible;
    const int n = count();
    auto place = [&](int rowWidth) {
        rows.rects.clear();
        rows.rowOf.clear();
        rows.rects.reserve(size_t(n));
        rows.rowOf.reserve(size_t(n));
        int x = 0;
        int row = 0;
        for (int i = 0; i < n; ++i) {
            const QSize size = tabSizeHint(i);
            rows.rowHeight = std::max(rows.rowHeight, size.height());
            // A tab wider than the bar gets a row of its own, cut to fit.
            const int tabWidth = std::min(size.width(), rowWidth);
            if (x > 0 && x + tabWidth > rowWidth) {
                ++row;
                x = 0;
            }
            rows.rects.emplace_back(x, 0, tabWidth, 0);
            rows.rowOf.push_back(row);
            x += tabWidth;
        }
        rows.count = n > 0 ? row + 1 : 0;
    };
    place(width);
    if (rows.count > maxVisible) {
        // Narrower rows are never fewer: they still need the scroll bar.
        rows.scrolls = true;
        place(std::max(1, width - scrollBarWidth()));
    }
    rows.visible = std::min(rows.count, maxVisible);
    for (size_t i = 0; i < rows.rects.size(); ++i) {
        rows.rects[i].setTop(rows.rowOf[i] * rows.rowHeight);
        rows.rects[i].setHeight(rows.rowHeight);
    }
    return rows;
}

const WrapTabBar::Rows &WrapTabBar::rowsFor(int width) const
{
    const int maxVisible = maxVisibleRows();
    if (!m_dirty && m_rows.width == width && m_rows.maxVisible == maxVisible &&
        int(m_rows.rects.size()) == count())
        return m_rows;
    m_rows = arrange(width, maxVisible);
    m_dirty = false;
    return m_rows;
}

void WrapTabBar::syncScroll()
{
    if (!m_multiRow) {
        m_scroll->hide();
        m_firstRow = 0;
        return;
    }
    const Rows &rows = rowsFor(width());
    // Rows that reflowed hold other tabs: the old first row means nothing.
    if (rows.width != m_syncedWidth) {
        m_syncedWidth = rows.width;
        m_showCurrent = true;
    }
    const int last = std::max(0, rows.count - rows.visible);
    int first = std::clamp(m_firstRow, 0, last);
    const int current = currentIndex();
    if (m_showCurrent && current >= 0 && current < int(rows.rowOf.size())) {
        const int row = rows.rowOf[size_t(current)];
        if (row < first)
            first = row;
        else if (row >= first + rows.visible)
            first = row - rows.visible + 1;
        m_showCurrent = false;
    }
    if (first != m_firstRow) {
        m_firstRow = first;
        update();
    }
    {
        const QSignalBlocker blocker(m_scroll);
        m_scroll->setRange(0, last);
        m_scroll->setPageStep(std::max(1, rows.visible));
        m_scroll->setSingleStep(1);
        m_scroll->setValue(first);
    }
    const int barWidth = scrollBarWidth();
    m_scroll->setGeometry(width() - barWidth, 0, barWidth, rows.visible * rows.rowHeight);
    m_scroll->setVisible(rows.scrolls);
}

void WrapTabBar::scrollToRow(int row)
{
    syncScroll();
    m_scroll->setValue(row); // clamped to the rows there are
}

QRect WrapTabBar::wrappedTabRect(int index) const
{
    if (!m_multiRow)
        return tabRect(index);
    const Rows &rows = rowsFor(width());
    if (index < 0 || index >= int(rows.rects.size()))
        return QRect();
    return rows.rects[size_t(index)].translated(0, -m_firstRow * rows.rowHeight);
}

int WrapTabBar::wrappedTabAt(const QPoint &pos) const
{
    if (!m_multiRow)
        return tabAt(pos);
    const Rows &rows = rowsFor(width());
    const int shownWidth = rows.scrolls ? width() - scrollBarWidth() : width();
    if (pos.x() < 0 || pos.x() >= shownWidth || pos.y() < 0 ||
        pos.y() >= rows.visible * rows.rowHeight)
        return -1;
    const QPoint inRows = pos + QPoint(0, m_firstRow * rows.rowHeight);
    const int row = inRows.y() / std::max(1, rows.rowHeight);
    // Rows hold consecutive tabs: only the tabs of that row can be hit.
    auto it = std::lower_bound(rows.rowOf.begin(), rows.rowOf.end(), row);
    for (; it != rows.rowOf.end() && *it == row; ++it) {
        const auto i = size_t(it - rows.rowOf.begin());
        if (rows.rects[i].contains(inRows))
            return int(i);
    }
    return -1;
}

int WrapTabBar::rowCount() const
{
    if (!m_multiRow)
        return count() > 0 ? 1 : 0;
    return rowsFor(width()).count;
}

int WrapTabBar::visibleRowCount() const
{
    if (!m_multiRow)
        return count() > 0 ? 1 : 0;
    return rowsFor(width()).visible;
}

QSize WrapTabBar::sizeHint() const
{
    if (!m_multiRow)
        return QTabBar::sizeHint();
    const int width = layoutWidth();
    const Rows &rows = rowsFor(width);
    return {width, rows.visible * rows.rowHeight};
}

QSize WrapTabBar::minimumSizeHint() const
{
    if (!m_multiRow)
        return QTabBar::minimumSizeHint();
    // Any width will do, the rows follow it; one row is enough, the others
    // scroll. Asking for more would make the window grow with the tabs.
    return {1, count() > 0 ? tabSizeHint(0).height() : 0};
}

QSize WrapTabBar::tabSizeHint(int index) const
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

void WrapTabBar::changeEvent(QEvent *event)
{
    // The toolkit's bar first: it measures its tabs again.
    QTabBar::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_sizeHints.clear();
        runGuarded([this] { invalidate(); });
    }
}

void WrapTabBar::tabLayoutChange()
{
    QTabBar::tabLayoutChange();
    invalidate();
}

void WrapTabBar::tabInserted(int index)
{
    QTabBar::tabInserted(index);
    invalidate();
}

void WrapTabBar::tabRemoved(int index)
{
    QTabBar::tabRemoved(index);
    invalidate();
}

void WrapTabBar::resizeEvent(QResizeEvent *event)
{
    QTabBar::resizeEvent(event);
    if (m_multiRow)
        runGuarded([this] { invalidate(); });
}

bool WrapTabBar::event(QEvent *event)
{
    if (m_multiRow && event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const int index = wrappedTabAt(help->pos());
        if (index >= 0 && !tabToolTip(index).isEmpty())
            QToolTip::showText(help->globalPos(), tabToolTip(index), this, wrappedTabRect(index));
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

void WrapTabBar::paintEvent(QPaintEvent *event)
{
    if (!m_multiRow) {
        QTabBar::paintEvent(event);
        return;
    }
    runGuarded([&] {
        const Rows &rows = rowsFor(width());
        const int shift = -m_firstRow * rows.rowHeight;
        const QRect shown(0, 0, rows.scrolls ? width() - scrollBarWidth() : width(),
                          rows.visible * rows.rowHeight);
        // Only what the update asks for: hundreds of tabs take a while.
        const QRect dirty = event->rect() & shown;
        QStylePainter painter(this);
        const int current = currentIndex();
        auto draw = [&](int i) {
            const QRect rect = rows.rects[size_t(i)].translated(0, shift);
            if (!rect.intersects(dirty))
                return;
            QStyleOptionTab option;
            initStyleOption(&option, i);
            option.rect = rect;
            option.text = tabText(i);
            const QSize natural = tabSizeHint(i);
            if (rect.width() < natural.width()) {
                // Only a tab wider than the whole bar loses the end of its caption.
                const int padding = natural.width() - option.fontMetrics.horizontalAdvance(
                                                          option.text, Qt::TextShowMnemonic);
                option.text = option.fontMetrics.elidedText(option.text, Qt::ElideRight,
                                                            std::max(0, rect.width() - padding),
                                                            Qt::TextShowMnemonic);
            }
            option.state &= ~QStyle::State_MouseOver;
            const int row = rows.rowOf[size_t(i)];
            const bool first = i == 0 || rows.rowOf[size_t(i - 1)] != row;
            const bool last = i == count() - 1 || rows.rowOf[size_t(i + 1)] != row;
            option.position = first && last ? QStyleOptionTab::OnlyOneTab
                              : first       ? QStyleOptionTab::Beginning
                              : last        ? QStyleOptionTab::End
                                            : QStyleOptionTab::Middle;
            option.selectedPosition = QStyleOptionTab::NotAdjacent;
            // The style draws the current tab down to the page below it,
            // which here would cover the rows beneath. Each tab stays in its
            // own row; across, neighbours still share their edge.
            painter.save();
            painter.setClipRect(QRect(shown.left(), rect.top(), shown.width(), rect.height()) &
                                dirty);
            painter.drawControl(QStyle::CE_TabBarTab, option);
            painter.restore();
        };
        for (int i = 0; i < count(); ++i)
            if (i != current)
                draw(i);
        // The current tab last, over the edges of its neighbours.
        if (current >= 0 && current < count())
            draw(current);
    });
}

void WrapTabBar::mousePressEvent(QMouseEvent *event)
{
    if (!m_multiRow) {
        QTabBar::mousePressEvent(event);
        return;
    }
    if (event->button() == Qt::LeftButton) {
        const int index = wrappedTabAt(event->position().toPoint());
        if (index >= 0)
            setCurrentIndex(index);
    }
    event->accept();
}

void WrapTabBar::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_multiRow)
        QTabBar::mouseMoveEvent(event);
    else
        event->accept();
}

void WrapTabBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton) {
        const int index = wrappedTabAt(event->position().toPoint());
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

void WrapTabBar::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!m_multiRow)
        QTabBar::mouseDoubleClickEvent(event);
    else
        event->accept();
}

void WrapTabBar::wheelEvent(QWheelEvent *event)
{
    // Rows that all show leave the wheel to the toolkit: it changes the tab.
    if (!m_multiRow || !rowsFor(width()).scrolls) {
        m_wheelRest = 0;
        QTabBar::wheelEvent(event);
        return;
    }
    runGuarded([&] {
        m_wheelRest += event->angleDelta().y();
        const int rows = m_wheelRest / kWheelNotch;
        m_wheelRest -= rows * kWheelNotch;
        if (rows != 0)
            scrollToRow(m_firstRow - rows);
    });
    event->accept();
}

WrapTabWidget::WrapTabWidget(QWidget *parent) : QTabWidget(parent), m_bar(new WrapTabBar(this))
{
    setTabBar(m_bar);
}
