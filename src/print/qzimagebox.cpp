#include "print/qzimagebox.h"

#include "text/contract.h"
#include "text/guard.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {
// The smooth repaint waits this long after a fast one, so that scrolling and
// zooming stay quick and the sharp picture comes once they pause.
constexpr int SmoothDelayMs = 120;

int PageStep(int clientSize)
{
    return std::max(clientSize - 20, clientSize * 2 / 3);
}
} // namespace

TQzImageBox::TQzImageBox(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    horizontalScrollBar()->setTracking(true);
    verticalScrollBar()->setTracking(true);
    viewport()->setAutoFillBackground(true);
    QPalette pal = viewport()->palette();
    // The scroll area paints its viewport in the Base role, white by default.
    pal.setColor(viewport()->backgroundRole(), Qt::gray);
    viewport()->setPalette(pal);
    m_smoothTimer.setSingleShot(true);
    m_smoothTimer.setInterval(SmoothDelayMs);
    connect(&m_smoothTimer, &QTimer::timeout, this, Guarded([this] {
        m_smooth = true;
        viewport()->update();
    }));
}

void TQzImageBox::SetPicture(const QImage &picture)
{
    m_picture = picture;
    m_smooth = false;
    UpdateLayout();
    viewport()->update();
}

void TQzImageBox::SetFitToWindow(bool value)
{
    m_fitToWindow = value;
    UpdateLayout();
    viewport()->update();
}

void TQzImageBox::SetScale(double percent)
{
    Require(percent >= 0 && percent <= 32766, QStringLiteral("Invalid scale value"),
            QStringLiteral("QzImageBox"));
    Rescale(percent, false);
}

void TQzImageBox::ZoomStep(bool in)
{
    // The step after the current scale, which after fitting lies between two.
    const double current = m_scale;
    int next = in ? ZoomSteps.back() : ZoomSteps.front();
    if (in) {
        for (int step : ZoomSteps)
            if (step > current + 1e-9) {
                next = step;
                break;
            }
    } else {
        for (auto it = ZoomSteps.rbegin(); it != ZoomSteps.rend(); ++it)
            if (*it < current - 1e-9) {
                next = *it;
                break;
            }
    }
    SetScale(next);
}

QSize TQzImageBox::ShownSize() const
{
    if (m_picture.isNull())
        return {0, 0};
    return QSize(std::max(int(std::lround(m_picture.width() * m_scale / 100.0)), 1),
                 std::max(int(std::lround(m_picture.height() * m_scale / 100.0)), 1));
}

void TQzImageBox::Rescale(double percent, bool fit)
{
    const QRect before = PictureRect();
    const QSize vs = viewport()->size();
    // The picture point under the middle of the box, as a fraction.
    double fx = 0.5, fy = 0.5;
    if (before.width() > 0 && before.height() > 0) {
        fx = (vs.width() / 2.0 - before.x()) / before.width();
        fy = (vs.height() / 2.0 - before.y()) / before.height();
    }
    m_fitToWindow = fit;
    m_scale = percent;
    m_smooth = false;
    UpdateLayout();
    if (KeepPosition && !fit) {
        const QSize shown = ShownSize();
        horizontalScrollBar()->setValue(int(std::lround(fx * shown.width() - vs.width() / 2.0)));
        verticalScrollBar()->setValue(int(std::lround(fy * shown.height() - vs.height() / 2.0)));
    }
    viewport()->update();
}

void TQzImageBox::UpdateLayout()
{
    if (m_fitToWindow && !m_picture.isNull()) {
        const QSize box = maximumViewportSize();
        const double sx = double(box.width()) / m_picture.width();
        const double sy = double(box.height()) / m_picture.height();
        const double fit = std::max(std::min(sx, sy), 0.0001);
        m_scale = (fit < 1.0 || !FitOnlyLarger) ? fit * 100.0 : 100.0;
    }
    const QSize shown = ShownSize();
    const QSize vs = m_fitToWindow ? maximumViewportSize() : viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(shown.width() - vs.width(), 0));
    verticalScrollBar()->setRange(0, std::max(shown.height() - vs.height(), 0));
    horizontalScrollBar()->setPageStep(std::max(vs.width(), 1));
    verticalScrollBar()->setPageStep(std::max(vs.height(), 1));
    horizontalScrollBar()->setSingleStep(WheelStep);
    verticalScrollBar()->setSingleStep(WheelStep);
}

QRect TQzImageBox::PictureRect() const
{
    const QSize shown = ShownSize();
    const QSize vs = viewport()->size();
    const int x = (Center && shown.width() < vs.width()) ? (vs.width() - shown.width()) / 2
                                                         : -horizontalScrollBar()->value();
    const int y = (Center && shown.height() < vs.height()) ? (vs.height() - shown.height()) / 2
                                                           : -verticalScrollBar()->value();
    return QRect(QPoint(x, y), shown);
}

void TQzImageBox::ScrollBy(int dx, int dy)
{
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + dx);
    verticalScrollBar()->setValue(verticalScrollBar()->value() + dy);
}

void TQzImageBox::scrollContentsBy(int, int)
{
    m_smooth = false;
    viewport()->update();
}

void TQzImageBox::paintEvent(QPaintEvent *)
{
    RunGuarded([this] { Paint(); });
}

void TQzImageBox::Paint()
{
    QPainter p(viewport());
    if (m_picture.isNull())
        return;
    const QRect target = PictureRect();
    const bool smooth = m_smooth;
    m_lastPaintSmooth = smooth;
    ++m_paints;
    if (target.size() == m_picture.size()) {
        p.drawImage(target.topLeft(), m_picture);
        return;
    }
    // Only the visible part is scaled, so a page zoomed to 1600 % costs the
    // pixels on screen and no more.
    const QRect visible = target.intersected(viewport()->rect());
    if (visible.isEmpty())
        return;
    const double k = m_picture.width() / double(target.width());
    const QRectF source((visible.x() - target.x()) * k, (visible.y() - target.y()) * k,
                        visible.width() * k, visible.height() * k);
    if (smooth) {
        // Averaging over the source pixels reads thin text lines that the
        // fast nearest-pixel paint drops when scaling down.
        const QImage part =
            m_picture.copy(source.toAlignedRect())
                .scaled(visible.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        p.drawImage(visible.topLeft(), part);
        return;
    }
    p.drawImage(QRectF(visible), m_picture, source);
    if (m_smoothResample)
        m_smoothTimer.start();
}

void TQzImageBox::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_smooth = false;
    RunGuarded([this] { UpdateLayout(); });
}

void TQzImageBox::wheelEvent(QWheelEvent *event)
{
    RunGuarded([&] {
        const int delta =
            event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
        if (delta == 0)
            return;
        const bool up = delta > 0;
        if ((event->modifiers() & Qt::ControlModifier) || (event->buttons() & Qt::LeftButton)) {
            m_dragging = false;
            ZoomStep(up);
        } else if (event->modifiers() & Qt::ShiftModifier) {
            ScrollBy(up ? -WheelStep : WheelStep, 0);
        } else {
            ScrollBy(0, up ? -WheelStep : WheelStep);
        }
        event->accept();
    });
}

void TQzImageBox::keyPressEvent(QKeyEvent *event)
{
    RunGuarded([&] {
        const bool ctrl = event->modifiers() & Qt::ControlModifier;
        QScrollBar *h = horizontalScrollBar();
        QScrollBar *v = verticalScrollBar();
        const QSize vs = viewport()->size();
        switch (event->key()) {
        case Qt::Key_Left:
            ctrl ? h->setValue(h->minimum()) : ScrollBy(-WheelStep, 0);
            break;
        case Qt::Key_Right:
            ctrl ? h->setValue(h->maximum()) : ScrollBy(WheelStep, 0);
            break;
        case Qt::Key_Up:
            ctrl ? v->setValue(v->minimum()) : ScrollBy(0, -WheelStep);
            break;
        case Qt::Key_Down:
            ctrl ? v->setValue(v->maximum()) : ScrollBy(0, WheelStep);
            break;
        case Qt::Key_PageUp:
            ScrollBy(0, -PageStep(vs.height()));
            break;
        case Qt::Key_PageDown:
            ScrollBy(0, PageStep(vs.height()));
            break;
        case Qt::Key_Home:
            ScrollBy(-PageStep(vs.width()), 0);
            break;
        case Qt::Key_End:
            ScrollBy(PageStep(vs.width()), 0);
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal: // + without Shift
            ZoomStep(true);
            break;
        case Qt::Key_Minus:
            ZoomStep(false);
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
        }
        event->accept();
    });
}

void TQzImageBox::mousePressEvent(QMouseEvent *event)
{
    RunGuarded([&] {
        setFocus(Qt::MouseFocusReason);
        if (DragEnabled && event->button() == Qt::LeftButton &&
            PictureRect().contains(event->position().toPoint())) {
            m_dragging = true;
            m_dragFrom = event->position().toPoint();
            viewport()->setCursor(Qt::ClosedHandCursor);
        }
    });
}

void TQzImageBox::mouseMoveEvent(QMouseEvent *event)
{
    RunGuarded([&] {
        if (!m_dragging)
            return;
        const QPoint at = event->position().toPoint();
        ScrollBy(m_dragFrom.x() - at.x(), m_dragFrom.y() - at.y());
        m_dragFrom = at;
    });
}

void TQzImageBox::mouseReleaseEvent(QMouseEvent *event)
{
    RunGuarded([&] {
        if (event->button() == Qt::LeftButton && m_dragging) {
            m_dragging = false;
            viewport()->unsetCursor();
        }
    });
}
