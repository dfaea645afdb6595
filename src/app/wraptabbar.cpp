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

TWrapTabBar::TWrapTabBar(QWidget *parent)
    : QTabBar(parent), m_scroll(new QScrollBar(Qt::Vertical, this))
{
    setObjectName(QStringLiteral("TabBar"));
    setUsesScrollButtons(true);
    setElideMode(Qt::ElideNone);
    m_scroll->setObjectName(QStringLiteral("TabRowsScrollBar"));
    // Keys belong to the viewer, as for the tabs themselves.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->hide();
    connect(m_scroll, &QScrollBar::valueChanged, this, Guarded([this](int row) {
                m_firstRow = row;
                update();
            }));
    connect(this, &QTabBar::currentChanged, this, Guarded([this] {
                m_showCurrent = true;
                SyncScroll();
            }));
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
    m_showCurrent = true;
    Invalidate();
}

void TWrapTabBar::Invalidate()
{
    m_dirty = true;
    updateGeometry();
    update();
    SyncScroll();
}

int TWrapTabBar::LayoutWidth() const
{
    // The tab widget sizes the bar from its hint, so the hint must wrap at
    // the width the tab widget has now.
    if (const QWidget *owner = parentWidget())
        return std::max(1, owner->width());
    return std::max(1, width());
}

int TWrapTabBar::MaxVisibleRows() const
{
    const QWidget *owner = parentWidget();
    if (!owner || count() == 0)
        return std::numeric_limits<int>::max();
    const int rowHeight = std::max(1, tabSizeHint(0).height());
    return std::max(1, owner->height() / kRowsShareOfHeight / rowHeight);
}

int TWrapTabBar::ScrollBarWidth() const
{
    return std::max(1, m_scroll->sizeHint().width());
}

TWrapTabBar::Rows TWrapTabBar::Arrange(int width, int maxVisible) const
{
    Rows rows;
    rows.Width = width;
    rows.MaxVisible = maxVisible;
    const int n = count();
    auto place = [&](int rowWidth) {
        rows.Rects.clear();
        rows.RowOf.clear();
        rows.Rects.reserve(size_t(n));
        rows.RowOf.reserve(size_t(n));
        int x = 0;
        int row = 0;
        for (int i = 0; i < n; ++i) {
            const QSize size = tabSizeHint(i);
            rows.RowHeight = std::max(rows.RowHeight, size.height());
            // A tab wider than the bar gets a row of its own, cut to fit.
            const int tabWidth = std::min(size.width(), rowWidth);
            if (x > 0 && x + tabWidth > rowWidth) {
                ++row;
                x = 0;
            }
            rows.Rects.emplace_back(x, 0, tabWidth, 0);
            rows.RowOf.push_back(row);
            x += tabWidth;
        }
        rows.Count = n > 0 ? row + 1 : 0;
    };
    place(width);
    if (rows.Count > maxVisible) {
        // Narrower rows are never fewer: they still need the scroll bar.
        rows.Scrolls = true;
        place(std::max(1, width - ScrollBarWidth()));
    }
    rows.Visible = std::min(rows.Count, maxVisible);
    for (size_t i = 0; i < rows.Rects.size(); ++i) {
        rows.Rects[i].setTop(rows.RowOf[i] * rows.RowHeight);
        rows.Rects[i].setHeight(rows.RowHeight);
    }
    return rows;
}

const TWrapTabBar::Rows &TWrapTabBar::RowsFor(int width) const
{
    const int maxVisible = MaxVisibleRows();
    if (!m_dirty && m_rows.Width == width && m_rows.MaxVisible == maxVisible &&
        int(m_rows.Rects.size()) == count())
        return m_rows;
    m_rows = Arrange(width, maxVisible);
    m_dirty = false;
    return m_rows;
}

void TWrapTabBar::SyncScroll()
{
    if (!m_multiRow) {
        m_scroll->hide();
        m_firstRow = 0;
        return;
    }
    const Rows &rows = RowsFor(width());
    // Rows that reflowed hold other tabs: the old first row means nothing.
    if (rows.Width != m_syncedWidth) {
        m_syncedWidth = rows.Width;
        m_showCurrent = true;
    }
    const int last = std::max(0, rows.Count - rows.Visible);
    int first = std::clamp(m_firstRow, 0, last);
    const int current = currentIndex();
    if (m_showCurrent && current >= 0 && current < int(rows.RowOf.size())) {
        const int row = rows.RowOf[size_t(current)];
        if (row < first)
            first = row;
        else if (row >= first + rows.Visible)
            first = row - rows.Visible + 1;
        m_showCurrent = false;
    }
    if (first != m_firstRow) {
        m_firstRow = first;
        update();
    }
    {
        const QSignalBlocker blocker(m_scroll);
        m_scroll->setRange(0, last);
        m_scroll->setPageStep(std::max(1, rows.Visible));
        m_scroll->setSingleStep(1);
        m_scroll->setValue(first);
    }
    const int barWidth = ScrollBarWidth();
    m_scroll->setGeometry(width() - barWidth, 0, barWidth, rows.Visible * rows.RowHeight);
    m_scroll->setVisible(rows.Scrolls);
}

void TWrapTabBar::ScrollToRow(int row)
{
    SyncScroll();
    m_scroll->setValue(row); // clamped to the rows there are
}

QRect TWrapTabBar::TabRect(int index) const
{
    if (!m_multiRow)
        return tabRect(index);
    const Rows &rows = RowsFor(width());
    if (index < 0 || index >= int(rows.Rects.size()))
        return QRect();
    return rows.Rects[size_t(index)].translated(0, -m_firstRow * rows.RowHeight);
}

int TWrapTabBar::TabAt(const QPoint &pos) const
{
    if (!m_multiRow)
        return tabAt(pos);
    const Rows &rows = RowsFor(width());
    const int shownWidth = rows.Scrolls ? width() - ScrollBarWidth() : width();
    if (pos.x() < 0 || pos.x() >= shownWidth || pos.y() < 0 ||
        pos.y() >= rows.Visible * rows.RowHeight)
        return -1;
    const QPoint inRows = pos + QPoint(0, m_firstRow * rows.RowHeight);
    const int row = inRows.y() / std::max(1, rows.RowHeight);
    // Rows hold consecutive tabs: only the tabs of that row can be hit.
    auto it = std::lower_bound(rows.RowOf.begin(), rows.RowOf.end(), row);
    for (; it != rows.RowOf.end() && *it == row; ++it) {
        const auto i = size_t(it - rows.RowOf.begin());
        if (rows.Rects[i].contains(inRows))
            return int(i);
    }
    return -1;
}

int TWrapTabBar::RowCount() const
{
    if (!m_multiRow)
        return count() > 0 ? 1 : 0;
    return RowsFor(width()).Count;
}

int TWrapTabBar::VisibleRowCount() const
{
    if (!m_multiRow)
        return count() > 0 ? 1 : 0;
    return RowsFor(width()).Visible;
}

QSize TWrapTabBar::sizeHint() const
{
    if (!m_multiRow)
        return QTabBar::sizeHint();
    const int width = LayoutWidth();
    const Rows &rows = RowsFor(width);
    return {width, rows.Visible * rows.RowHeight};
}

QSize TWrapTabBar::minimumSizeHint() const
{
    if (!m_multiRow)
        return QTabBar::minimumSizeHint();
    // Any width will do, the rows follow it; one row is enough, the others
    // scroll. Asking for more would make the window grow with the tabs.
    return {1, count() > 0 ? tabSizeHint(0).height() : 0};
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
    // The toolkit's bar first: it measures its tabs again.
    QTabBar::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_sizeHints.clear();
        RunGuarded([this] { Invalidate(); });
    }
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
        RunGuarded([this] { Invalidate(); });
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
        const int shift = -m_firstRow * rows.RowHeight;
        const QRect shown(0, 0, rows.Scrolls ? width() - ScrollBarWidth() : width(),
                          rows.Visible * rows.RowHeight);
        // Only what the update asks for: hundreds of tabs take a while.
        const QRect dirty = event->rect() & shown;
        QStylePainter painter(this);
        const int current = currentIndex();
        auto draw = [&](int i) {
            const QRect rect = rows.Rects[size_t(i)].translated(0, shift);
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
            const int row = rows.RowOf[size_t(i)];
            const bool first = i == 0 || rows.RowOf[size_t(i - 1)] != row;
            const bool last = i == count() - 1 || rows.RowOf[size_t(i + 1)] != row;
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

void TWrapTabBar::wheelEvent(QWheelEvent *event)
{
    // Rows that all show leave the wheel to the toolkit: it changes the tab.
    if (!m_multiRow || !RowsFor(width()).Scrolls) {
        m_wheelRest = 0;
        QTabBar::wheelEvent(event);
        return;
    }
    RunGuarded([&] {
        m_wheelRest += event->angleDelta().y();
        const int rows = m_wheelRest / kWheelNotch;
        m_wheelRest -= rows * kWheelNotch;
        if (rows != 0)
            ScrollToRow(m_firstRow - rows);
    });
    event->accept();
}

TPageControl::TPageControl(QWidget *parent) : QTabWidget(parent), m_bar(new TWrapTabBar(this))
{
    setTabBar(m_bar);
}
