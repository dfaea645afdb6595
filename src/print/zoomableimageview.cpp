#include "print/zoomableimageview.h"

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
constexpr int smoothDelayMs = 120;

int pageStep(int clientSize)
{
    return std::max(clientSize - 20, clientSize * 2 / 3);
}
} // namespace

ZoomableImageView::ZoomableImageView(QWidget *parent) : QAbstractScrollArea(parent)
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
    m_smoothTimer.setInterval(smoothDelayMs);
    connect(&m_smoothTimer, &QTimer::timeout, this, guarded([this] {
        m_smooth = true;
        viewport()->update();
    }));
}

void ZoomableImageView::setPicture(const QImage &picture)
{
    m_picture = picture;
    m_smooth = false;
    updateLayout();
    viewport()->update();
}

void ZoomableImageView::setFitToWindow(bool value)
{
    m_fitToWindow = value;
    updateLayout();
    viewport()->update();
}

void ZoomableImageView::setScale(double percent)
{
    require(percent >= 0 && percent <= 32766, QStringLiteral("Invalid scale value"),
            QStringLiteral("QzImageBox"));
    rescale(percent, false);
}

void ZoomableImageView::zoomStep(bool in)
{
    // The step after the current scale, which after fitting lies between two.
    const double current = m_scale;
    int next = in ? zoomSteps.back() : zoomSteps.front();
    if (in) {
        for (int step : zoomSteps)
            if (step > current + 1e-9) {
                next = step;
                break;
            }
    } else {
        for (auto it = zoomSteps.rbegin(); it != zoomSteps.rend(); ++it)
            if (*it < current - 1e-9) {
                next = *it;
                break;
            }
    }
    setScale(next);
}

QSize ZoomableImageView::shownSize() const
{
    if (m_picture.isNull())
        return {0, 0};
    return QSize(std::max(int(std::lround(m_picture.width() * m_scale / 100.0)), 1),
                 std::max(int(std::lround(m_picture.height() * m_scale / 100.0)), 1));
}

void ZoomableImageView::rescale(double percent, bool fit)
{
    const QRect before = pictureRect();
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
    updateLayout();
    if (KeepPosition && !fit) {
        const QSize shown = shownSize();
        horizontalScrollBar()->setValue(int(std::lround(fx * shown.width() - vs.width() / 2.0)));
        verticalScrollBar()->setValue(int(std::lround(fy * shown.height() - vs.height() / 2.0)));
    }
    viewport()->update();
}

void ZoomableImageView::updateLayout()
{
    if (m_fitToWindow && !m_picture.isNull()) {
        const QSize box = maximumViewportSize();
        const double sx = double(box.width()) / m_picture.width();
        const double sy = double(box.height()) / m_picture.height();
        const double fit = std::max(std::min(sx, sy), 0.0001);
        m_scale = (fit < 1.0 || !fitOnlyLarger) ? fit * 100.0 : 100.0;
    }
    const QSize shown = shownSize();
    const QSize vs = m_fitToWindow ? maximumViewportSize() : viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(shown.width() - vs.width(), 0));
    verticalScrollBar()->setRange(0, std::max(shown.height() - vs.height(), 0));
    horizontalScrollBar()->setPageStep(std::max(vs.width(), 1));
    verticalScrollBar()->setPageStep(std::max(vs.height(), 1));
    horizontalScrollBar()->setSingleStep(wheelStep);
    verticalScrollBar()->setSingleStep(wheelStep);
}

QRect ZoomableImageView::pictureRect() const
{
    const QSize shown = shownSize();
    const QSize vs = viewport()->size();
    const int x = (center && shown.width() < vs.width()) ? (vs.width() - shown.width()) / 2
                                                         : -horizontalScrollBar()->value();
    const int y = (center && shown.height() < vs.height()) ? (vs.height() - shown.height()) / 2
                                                           : -verticalScrollBar()->value();
    return QRect(QPoint(x, y), shown);
}

void ZoomableImageView::scrollBy(int dx, int dy)
{
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + dx);
    verticalScrollBar()->setValue(verticalScrollBar()->value() + dy);
}

void ZoomableImageView::scrollContentsBy(int, int)
{
    m_smooth = false;
    viewport()->update();
}

void ZoomableImageView::paintEvent(QPaintEvent *)
{
    runGuarded([this] { paint(); });
}

void ZoomableImageView::paint()
{
    QPainter p(viewport());
    if (m_picture.isNull())
        return;
    const QRect target = pictureRect();
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

void ZoomableImageView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_smooth = false;
    runGuarded([this] { updateLayout(); });
}

void ZoomableImageView::wheelEvent(QWheelEvent *event)
{
    runGuarded([&] {
        const int delta =
            event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
        if (delta == 0)
            return;
        const bool up = delta > 0;
        if ((event->modifiers() & Qt::ControlModifier) || (event->buttons() & Qt::LeftButton)) {
            m_dragging = false;
            zoomStep(up);
        } else if (event->modifiers() & Qt::ShiftModifier) {
            scrollBy(up ? -wheelStep : wheelStep, 0);
        } else {
            scrollBy(0, up ? -wheelStep : wheelStep);
        }
        event->accept();
    });
}

void ZoomableImageView::keyPressEvent(QKeyEvent *event)
{
    runGuarded([&] {
        const bool ctrl = event->modifiers() & Qt::ControlModifier;
        QScrollBar *h = horizontalScrollBar();
        QScrollBar *v = verticalScrollBar();
        const QSize vs = viewport()->size();
        switch (event->key()) {
        case Qt::Key_Left:
            ctrl ? h->setValue(h->minimum()) : scrollBy(-wheelStep, 0);
            break;
        case Qt::Key_Right:
            ctrl ? h->setValue(h->maximum()) : scrollBy(wheelStep, 0);
            break;
        case Qt::Key_Up:
            ctrl ? v->setValue(v->minimum()) : scrollBy(0, -wheelStep);
            break;
        case Qt::Key_Down:
            ctrl ? v->setValue(v->maximum()) : scrollBy(0, wheelStep);
            break;
        case Qt::Key_PageUp:
            scrollBy(0, -pageStep(vs.height()));
            break;
        case Qt::Key_PageDown:
            scrollBy(0, pageStep(vs.height()));
            break;
        case Qt::Key_Home:
            scrollBy(-pageStep(vs.width()), 0);
            break;
        case Qt::Key_End:
            scrollBy(pageStep(vs.width()), 0);
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal: // + without Shift
            zoomStep(true);
            break;
        case Qt::Key_Minus:
            zoomStep(false);
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
        }
        event->accept();
    });
}

void ZoomableImageView::mousePressEvent(QMouseEvent *event)
{
    runGuarded([&] {
        setFocus(Qt::MouseFocusReason);
        if (dragEnabled && event->button() == Qt::LeftButton &&
            pictureRect().contains(event->position().toPoint())) {
            m_dragging = true;
            m_dragFrom = event->position().toPoint();
            viewport()->setCursor(Qt::ClosedHandCursor);
        }
    });
}

void ZoomableImageView::mouseMoveEvent(QMouseEvent *event)
{
    runGuarded([&] {
        if (!m_dragging)
            return;
        const QPoint at = event->position().toPoint();
        scrollBy(m_dragFrom.x() - at.x(), m_dragFrom.y() - at.y());
        m_dragFrom = at;
    });
}

void ZoomableImageView::mouseReleaseEvent(QMouseEvent *event)
{
    runGuarded([&] {
        if (event->button() == Qt::LeftButton && m_dragging) {
            m_dragging = false;
            viewport()->unsetCursor();
        }
    });
}
