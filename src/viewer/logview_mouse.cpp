// The mouse: clicks, double and triple clicks, dragging with automatic
// scrolling, the middle-button scrolling mode, links and the context menu.
#include "viewer/logview.h"

#include <utility>

#include "viewer/dragcursors.h"
#include "viewer/urldetect.h"
#include "text/guard.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <cmath>
#include <cstdlib>

namespace {
// Milliseconds on a clock that never goes back.
qint64 tickCount()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}
} // namespace

void LogView::setUpInput()
{
    // Moves without a button show the hand over links.
    viewport()->setMouseTracking(true);
    m_autoScrollTimer = new QTimer(this);
    m_autoScrollTimer->setInterval(50);
    connect(m_autoScrollTimer, &QTimer::timeout, this, guarded([this] { autoScrollTick(); }));
    m_dragScrollTimer = new QTimer(this);
    m_dragScrollTimer->setInterval(100);
    connect(m_dragScrollTimer, &QTimer::timeout, this, guarded([this] { dragScrollTick(); }));
    buildPopupMenu();
}

void LogView::resetMouseState()
{
    m_selectingByMouse = false;
    m_mouseDownPos = -1;
    m_shiftAnchor = -1;
    m_lastClickPos = -1;
    m_dblClicked = false;
    m_waitTripleClick = false;
    m_dblClickTick = 0;
    m_keepClickSelection = false;
    m_popupPoint = QPoint(-1, -1);
    m_autoScrollDir = 0;
    if (m_autoScrollTimer)
        m_autoScrollTimer->stop();
    if (m_dragScrollMode) {
        m_dragScrollMode = false;
        m_dragScrollTimer->stop();
        viewport()->setCursor(Qt::IBeamCursor);
    }
}

bool LogView::autoScrollRunning() const
{
    return m_autoScrollTimer && m_autoScrollTimer->isActive();
}

void LogView::mousePressEvent(QMouseEvent *event)
{
    runGuarded([&] { mousePress(event); });
}

void LogView::mouseMoveEvent(QMouseEvent *event)
{
    runGuarded([&] { mouseMove(event); });
}

void LogView::mouseReleaseEvent(QMouseEvent *event)
{
    runGuarded([&] { mouseRelease(event); });
}

void LogView::mouseDoubleClickEvent(QMouseEvent *event)
{
    runGuarded([&] { mouseDoubleClick(event); });
}

void LogView::mousePress(QMouseEvent *event)
{
    event->accept();
    setFocus(Qt::MouseFocusReason);
    if (m_dragScrollMode) {
        setDragScrollMode(false);
        return;
    }
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::MiddleButton) {
        m_dragScrollOrigin = at;
        setDragScrollMode(true);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return; // the right button brings the context menu
    const qint64 p = m_strPositions.posFromCoord(at.x(), at.y(), false);
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (mods == Qt::ShiftModifier) {
        // Before any plain click the anchor is the start of the file: an
        // anchor of -1 would take one byte more than the user pointed at.
        const qint64 anchor = std::max(m_shiftAnchor, qint64(0));
        if (p >= 0)
            setSelection(std::min(anchor, p), std::abs(p - anchor), false, true, true);
        return;
    }
    const qint64 now = tickCount();
    if (m_waitTripleClick && now - m_dblClickTick <= QApplication::doubleClickInterval()) {
        m_dblClicked = false;
        m_waitTripleClick = false;
        m_dblClickTick = 0;
        selectLine(m_lastClickPos);
        m_keepClickSelection = true;
    } else if (m_dblClicked) {
        // The second press of a double click: its word stays selected.
        m_waitTripleClick = true;
        m_dblClickTick = now;
        m_keepClickSelection = true;
    } else {
        m_waitTripleClick = false;
        m_keepClickSelection = false;
        clearSelection(false);
    }
    m_selectingByMouse = true;
    m_mouseDownPos = p;
    m_shiftAnchor = p;
    m_lastClickPos = p - m_doc.charSize();
    m_dblClicked = false;
}

void LogView::mouseDoubleClick(QMouseEvent *event)
{
    // Qt reports a double click in place of the second press; the press
    // handling follows, as it does after a double click elsewhere.
    const bool thirdClick =
        m_waitTripleClick && tickCount() - m_dblClickTick <= QApplication::doubleClickInterval();
    if (event->button() == Qt::LeftButton && !thirdClick && !m_dragScrollMode &&
        m_lastClickPos >= 0) {
        m_dblClicked = true;
        m_waitTripleClick = false;
        m_dblClickTick = 0;
        selectWord(m_lastClickPos);
    }
    mousePress(event);
}

void LogView::extendSelectionTo(const QPoint &point)
{
    const qint64 q = m_strPositions.posFromCoord(point.x(), point.y(), false);
    if (m_keepClickSelection && q == m_mouseDownPos)
        return;
    m_keepClickSelection = false;
    if (m_mouseDownPos >= 0 && q >= 0)
        setSelection(std::min(m_mouseDownPos, q), std::abs(q - m_mouseDownPos), false, false, true);
}

void LogView::updatePointer(const QPoint &point)
{
    // The hand only where a click opens something.
    const bool link = !UrlList::clickTarget(linkAt(point)).isEmpty();
    const Qt::CursorShape shape = link ? Qt::PointingHandCursor : Qt::IBeamCursor;
    if (viewport()->cursor().shape() != shape)
        viewport()->setCursor(shape);
}

void LogView::mouseMove(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (!m_dragScrollMode)
        updatePointer(at);
    if (!m_selectingByMouse) {
        m_autoScrollTimer->stop();
        return;
    }
    const QSize client = viewport()->size();
    int dir = 0;
    if (at.y() <= 0)
        dir = 1;
    else if (at.y() >= client.height() - 1)
        dir = 2;
    else if (at.x() <= textLeft())
        dir = 3;
    else if (at.x() >= client.width() - 1)
        dir = 4;
    m_autoScrollDir = dir;
    if (dir != 0) {
        if (!m_autoScrollTimer->isActive())
            m_autoScrollTimer->start();
        return;
    }
    m_autoScrollTimer->stop();
    extendSelectionTo(at);
}

void LogView::autoScrollTick()
{
    const QPoint cursor = viewport()->mapFromGlobal(QCursor::pos());
    const QSize client = viewport()->size();
    switch (m_autoScrollDir) {
    case 1:
        scrollLinesUp(1);
        extendSelectionTo(QPoint(0, -1));
        break;
    case 2:
        scrollLinesDown(1);
        extendSelectionTo(QPoint(0, client.height() + 1));
        break;
    case 3:
        setHViewPos(m_hViewPos - 20, true);
        extendSelectionTo(QPoint(-1, cursor.y()));
        break;
    case 4:
        setHViewPos(m_hViewPos + 20, true);
        extendSelectionTo(QPoint(client.width() + 1, cursor.y()));
        break;
    default:
        break;
    }
}

void LogView::mouseRelease(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    if (m_strPositions.posFromCoord(at.x(), at.y(), false) == m_mouseDownPos) {
        const QByteArray target = UrlList::clickTarget(linkAt(at));
        if (!target.isEmpty())
            Q_EMIT urlClicked(target);
    }
    m_selectingByMouse = false;
    m_mouseDownPos = -1;
    m_keepClickSelection = false;
    m_autoScrollDir = 0;
    m_autoScrollTimer->stop();
    offerPrimarySelection();
    Q_EMIT selectionChanged();
    if (std::exchange(m_changeWhileSelecting, false))
        handleFileChange();
}

void LogView::setDragScrollMode(bool on)
{
    if (on == m_dragScrollMode)
        return;
    m_dragScrollMode = on;
    if (on)
        m_dragScrollTimer->start();
    else
        m_dragScrollTimer->stop();
    viewport()->setCursor(Qt::IBeamCursor);
    redraw();
}

void LogView::dragScrollTick()
{
    if (!m_dragScrollMode)
        return;
    const QPoint d = viewport()->mapFromGlobal(QCursor::pos()) - m_dragScrollOrigin;
    const int dx = d.x(), dy = d.y();
    if (std::hypot(double(dx), double(dy)) <= 16) {
        viewport()->setCursor(DragCursors::cursor(DragCursors::neutral));
        return;
    }
    // One line, or 8 pixels, per tick for every 16 pixels of distance.
    const int a = std::abs(dx), b = std::abs(dy);
    if (dy <= 0 && b >= a) {
        viewport()->setCursor(DragCursors::cursor(DragCursors::up));
        if (b / 16 > 0)
            scrollLinesUp(b / 16);
    } else if (dy >= 0 && b >= a) {
        viewport()->setCursor(DragCursors::cursor(DragCursors::down));
        if (b / 16 > 0)
            scrollLinesDown(b / 16);
    } else if (dx >= 0) {
        viewport()->setCursor(DragCursors::cursor(DragCursors::right));
        setHViewPos(m_hViewPos + (a / 16) * 8, true);
    } else {
        viewport()->setCursor(DragCursors::cursor(DragCursors::left));
        setHViewPos(m_hViewPos - (a / 16) * 8, true);
    }
}

void LogView::paintDragMarker(QPainter &painter) const
{
    if (m_dragScrollMode)
        painter.drawPixmap(m_dragScrollOrigin - QPoint(16, 16), DragCursors::neutralMarker());
}

void LogView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    runGuarded([this] { setDragScrollMode(false); });
}

void LogView::contextMenuEvent(QContextMenuEvent *event)
{
    runGuarded([&] {
        event->accept();
        m_popupPoint = event->reason() == QContextMenuEvent::Mouse ? event->pos() : QPoint(-1, -1);
        updatePopupItems();
        m_popupMenu->popup(event->globalPos());
    });
}

QByteArray LogView::linkAt(const QPoint &point) const
{
    // The character under the point, not the nearer boundary: the hand and
    // the click then cover exactly the address's characters.
    return urlAt(point).text;
}
