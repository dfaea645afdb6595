// The mouse: clicks, double and triple clicks, dragging with automatic
// scrolling, the middle-button scrolling mode, links and the context menu.
#include "viewer/qzbinhex.h"

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
qint64 TickCount()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}
} // namespace

void TQzBinHex::SetUpInput()
{
    // Moves without a button show the hand over links.
    viewport()->setMouseTracking(true);
    m_autoScrollTimer = new QTimer(this);
    m_autoScrollTimer->setInterval(50);
    connect(m_autoScrollTimer, &QTimer::timeout, this, Guarded([this] { AutoScrollTimerTimer(); }));
    m_dragScrollTimer = new QTimer(this);
    m_dragScrollTimer->setInterval(100);
    connect(m_dragScrollTimer, &QTimer::timeout, this, Guarded([this] { DragScrollTimerTimer(); }));
    BuildPopupMenu();
}

void TQzBinHex::ResetMouseState()
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

bool TQzBinHex::AutoScrollRunning() const
{
    return m_autoScrollTimer && m_autoScrollTimer->isActive();
}

void TQzBinHex::mousePressEvent(QMouseEvent *event)
{
    RunGuarded([&] { MousePress(event); });
}

void TQzBinHex::mouseMoveEvent(QMouseEvent *event)
{
    RunGuarded([&] { MouseMove(event); });
}

void TQzBinHex::mouseReleaseEvent(QMouseEvent *event)
{
    RunGuarded([&] { MouseRelease(event); });
}

void TQzBinHex::mouseDoubleClickEvent(QMouseEvent *event)
{
    RunGuarded([&] { MouseDoubleClick(event); });
}

void TQzBinHex::MousePress(QMouseEvent *event)
{
    event->accept();
    setFocus(Qt::MouseFocusReason);
    if (m_dragScrollMode) {
        SetDragScrollMode(false);
        return;
    }
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::MiddleButton) {
        m_dragScrollOrigin = at;
        SetDragScrollMode(true);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return; // the right button brings the context menu
    const qint64 p = m_strPositions.PosFromCoord(at.x(), at.y(), false);
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (mods == Qt::ShiftModifier) {
        // Before any plain click the anchor is the start of the file: an
        // anchor of -1 would take one byte more than the user pointed at.
        const qint64 anchor = std::max(m_shiftAnchor, qint64(0));
        if (p >= 0)
            SetSelection(std::min(anchor, p), std::abs(p - anchor), false, true, true);
        return;
    }
    const qint64 now = TickCount();
    if (m_waitTripleClick && now - m_dblClickTick <= QApplication::doubleClickInterval()) {
        m_dblClicked = false;
        m_waitTripleClick = false;
        m_dblClickTick = 0;
        SelectLine(m_lastClickPos);
        m_keepClickSelection = true;
    } else if (m_dblClicked) {
        // The second press of a double click: its word stays selected.
        m_waitTripleClick = true;
        m_dblClickTick = now;
        m_keepClickSelection = true;
    } else {
        m_waitTripleClick = false;
        m_keepClickSelection = false;
        ClearSelection(false);
    }
    m_selectingByMouse = true;
    m_mouseDownPos = p;
    m_shiftAnchor = p;
    m_lastClickPos = p - CharSize();
    m_dblClicked = false;
}

void TQzBinHex::MouseDoubleClick(QMouseEvent *event)
{
    // Qt reports a double click in place of the second press; the press
    // handling follows, as it does after a double click elsewhere.
    const bool thirdClick =
        m_waitTripleClick && TickCount() - m_dblClickTick <= QApplication::doubleClickInterval();
    if (event->button() == Qt::LeftButton && !thirdClick && !m_dragScrollMode &&
        m_lastClickPos >= 0) {
        m_dblClicked = true;
        m_waitTripleClick = false;
        m_dblClickTick = 0;
        SelectWord(m_lastClickPos);
    }
    MousePress(event);
}

void TQzBinHex::ExtendSelectionTo(const QPoint &point)
{
    const qint64 q = m_strPositions.PosFromCoord(point.x(), point.y(), false);
    if (m_keepClickSelection && q == m_mouseDownPos)
        return;
    m_keepClickSelection = false;
    if (m_mouseDownPos >= 0 && q >= 0)
        SetSelection(std::min(m_mouseDownPos, q), std::abs(q - m_mouseDownPos), false, false, true);
}

void TQzBinHex::UpdatePointer(const QPoint &point)
{
    // The hand only where a click opens something.
    const bool link = !TQzUrlList::ClickTarget(LinkAt(point)).isEmpty();
    const Qt::CursorShape shape = link ? Qt::PointingHandCursor : Qt::IBeamCursor;
    if (viewport()->cursor().shape() != shape)
        viewport()->setCursor(shape);
}

void TQzBinHex::MouseMove(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (!m_dragScrollMode)
        UpdatePointer(at);
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
    else if (at.x() <= TextLeft())
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
    ExtendSelectionTo(at);
}

void TQzBinHex::AutoScrollTimerTimer()
{
    const QPoint cursor = viewport()->mapFromGlobal(QCursor::pos());
    const QSize client = viewport()->size();
    switch (m_autoScrollDir) {
    case 1:
        ScrollLinesUp(1);
        ExtendSelectionTo(QPoint(0, -1));
        break;
    case 2:
        ScrollLinesDown(1);
        ExtendSelectionTo(QPoint(0, client.height() + 1));
        break;
    case 3:
        SetHViewPos(m_hViewPos - 20, true);
        ExtendSelectionTo(QPoint(-1, cursor.y()));
        break;
    case 4:
        SetHViewPos(m_hViewPos + 20, true);
        ExtendSelectionTo(QPoint(client.width() + 1, cursor.y()));
        break;
    default:
        break;
    }
}

void TQzBinHex::MouseRelease(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    if (m_strPositions.PosFromCoord(at.x(), at.y(), false) == m_mouseDownPos && OnClickURL) {
        const QByteArray target = TQzUrlList::ClickTarget(LinkAt(at));
        if (!target.isEmpty())
            OnClickURL(this, target);
    }
    m_selectingByMouse = false;
    m_mouseDownPos = -1;
    m_keepClickSelection = false;
    m_autoScrollDir = 0;
    m_autoScrollTimer->stop();
    if (OnSelectionChange)
        OnSelectionChange(this);
}

void TQzBinHex::SetDragScrollMode(bool on)
{
    if (on == m_dragScrollMode)
        return;
    m_dragScrollMode = on;
    if (on)
        m_dragScrollTimer->start();
    else
        m_dragScrollTimer->stop();
    viewport()->setCursor(Qt::IBeamCursor);
    Redraw();
}

void TQzBinHex::DragScrollTimerTimer()
{
    if (!m_dragScrollMode)
        return;
    const QPoint d = viewport()->mapFromGlobal(QCursor::pos()) - m_dragScrollOrigin;
    const int dx = d.x(), dy = d.y();
    if (std::hypot(double(dx), double(dy)) <= 16) {
        viewport()->setCursor(DragCursors::Cursor(DragCursors::Neutral));
        return;
    }
    // One line, or 8 pixels, per tick for every 16 pixels of distance.
    const int a = std::abs(dx), b = std::abs(dy);
    if (dy <= 0 && b >= a) {
        viewport()->setCursor(DragCursors::Cursor(DragCursors::Up));
        if (b / 16 > 0)
            ScrollLinesUp(b / 16);
    } else if (dy >= 0 && b >= a) {
        viewport()->setCursor(DragCursors::Cursor(DragCursors::Down));
        if (b / 16 > 0)
            ScrollLinesDown(b / 16);
    } else if (dx >= 0) {
        viewport()->setCursor(DragCursors::Cursor(DragCursors::Right));
        SetHViewPos(m_hViewPos + (a / 16) * 8, true);
    } else {
        viewport()->setCursor(DragCursors::Cursor(DragCursors::Left));
        SetHViewPos(m_hViewPos - (a / 16) * 8, true);
    }
}

void TQzBinHex::PaintDragMarker(QPainter &painter) const
{
    if (m_dragScrollMode)
        painter.drawPixmap(m_dragScrollOrigin - QPoint(16, 16), DragCursors::NeutralMarker());
}

void TQzBinHex::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    RunGuarded([this] { SetDragScrollMode(false); });
}

void TQzBinHex::contextMenuEvent(QContextMenuEvent *event)
{
    RunGuarded([&] {
        event->accept();
        m_popupPoint = event->reason() == QContextMenuEvent::Mouse ? event->pos() : QPoint(-1, -1);
        UpdatePopupItems();
        m_popupMenu->popup(event->globalPos());
    });
}

QByteArray TQzBinHex::LinkAt(const QPoint &point) const
{
    // The character under the point, not the nearer boundary: the hand and
    // the click then cover exactly the address's characters.
    return UrlAt(point).Text;
}
