// Keyboard, wheel and scroll-bar handling.
#include "viewer/logview.h"

#include "text/guard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QWheelEvent>

#include <climits>

namespace {
// Adds delta to what is kept of earlier events (dropped when the direction
// turns) and takes out the whole steps of that many units it now holds.
int takeWholeSteps(int &rest, int delta, int unit)
{
    if ((delta > 0) != (rest > 0))
        rest = 0;
    rest += delta;
    const int steps = rest / unit;
    rest -= steps * unit;
    return steps;
}
} // namespace

void LogView::keyPressEvent(QKeyEvent *event)
{
    runGuarded([&] { keyPress(event); });
}

void LogView::keyPress(QKeyEvent *event)
{
    setDragScrollMode(false);
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const bool alone = mods == Qt::NoModifier;
    const bool ctrlOnly = mods == Qt::ControlModifier;
    bool handled = true;
    switch (event->key()) {
    case Qt::Key_PageDown:
        handled = alone;
        if (alone)
            scrollPageDown();
        break;
    case Qt::Key_PageUp:
        handled = alone;
        if (alone)
            scrollPageUp();
        break;
    case Qt::Key_Down:
        handled = alone;
        if (alone)
            scrollLinesDown(1);
        break;
    case Qt::Key_Up:
        handled = alone;
        if (alone)
            scrollLinesUp(1);
        break;
    case Qt::Key_Left:
        handled = alone;
        if (alone)
            setHViewPos(m_hViewPos - 200, true);
        break;
    case Qt::Key_Right:
        handled = alone;
        if (alone)
            setHViewPos(m_hViewPos + 200, true);
        break;
    case Qt::Key_Home:
        if (ctrlOnly)
            scrollToBegin();
        else if (alone)
            setHViewPos(0, true);
        else
            handled = false;
        break;
    case Qt::Key_End:
        if (ctrlOnly)
            scrollToEnd();
        else if (alone)
            setHViewPos(INT_MAX, true);
        else
            handled = false;
        break;
    case Qt::Key_A:
        handled = ctrlOnly;
        if (ctrlOnly)
            selectAll();
        break;
    case Qt::Key_C:
    case Qt::Key_Insert:
        handled = ctrlOnly;
        if (ctrlOnly)
            copyToClipboard(false);
        break;
    default:
        handled = false;
    }
    if (handled)
        event->accept();
    else
        QWidget::keyPressEvent(event); // not the scroll area's own arrow-key scrolling
}

void LogView::wheelEvent(QWheelEvent *event)
{
    runGuarded([&] { wheel(event); });
}

void LogView::wheel(QWheelEvent *event)
{
    event->accept();
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const QPoint angle = event->angleDelta();
    if (mods == Qt::ShiftModifier || mods == Qt::ControlModifier) {
        // Some systems turn Shift+wheel into a sideways turn themselves.
        const int delta = angle.y() != 0 ? angle.y() : angle.x();
        const int notches = takeWholeSteps(m_wheelSideRest, delta, 120);
        for (int i = 0; i < std::abs(notches); ++i) {
            if (mods == Qt::ShiftModifier)
                setHViewPos(m_hViewPos + (notches > 0 ? -200 : 200), true);
            else if (!stepFontSize(notches > 0))
                break;
        }
        return;
    }
    if (mods != Qt::NoModifier)
        return;
    if (angle.y() == 0 && angle.x() != 0) {
        // A tilt wheel: sideways, positive to the left.
        const int notches = takeWholeSteps(m_wheelSideRest, angle.x(), 120);
        if (notches != 0)
            setHViewPos(m_hViewPos - notches * 200, true);
        return;
    }
    // Fine wheels and touchpads send parts of a notch: keep what is not yet
    // worth a line for the next event. Positive means up.
    int lines = 0;
    const int pixels = event->pixelDelta().y();
    if (pixels != 0) {
        lines = takeWholeSteps(m_wheelPixelRest, pixels, std::max(m_lineHeight, 1));
    } else {
        if (angle.y() == 0)
            return;
        // In 120ths of a line, so that a notch gives wheelScrollLines lines.
        lines = takeWholeSteps(m_wheelRest,
                               angle.y() * std::max(QApplication::wheelScrollLines(), 1), 120);
    }
    if (lines > 0)
        scrollLinesUp(lines);
    else if (lines < 0)
        scrollLinesDown(-lines);
}

void LogView::onVScrollAction(int action)
{
    if (m_settingBars)
        return;
    QScrollBar *bar = verticalScrollBar();
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        scrollLinesUp(1);
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        scrollLinesDown(1);
        break;
    case QAbstractSlider::SliderPageStepSub:
        scrollPageUp();
        break;
    case QAbstractSlider::SliderPageStepAdd:
        scrollPageDown();
        break;
    case QAbstractSlider::SliderToMinimum:
        scrollToBegin();
        break;
    case QAbstractSlider::SliderToMaximum:
        scrollToEnd();
        break;
    case QAbstractSlider::SliderMove: {
        // The range the repaint gave the bar, so that a thumb at its end
        // means the end of the file even when the file has few rows.
        const qint64 m =
            m_vMax > 0 ? m_vMax : std::clamp<qint64>(m_doc.fileSize() / bytesPerLine(), 1, 32767);
        const qint64 p = mulDiv64(m_doc.fileSize(), std::max(bar->sliderPosition(), 0), m);
        if (!(m_viewAtEnd && p >= m_viewPos))
            scrollTo(p);
        break;
    }
    default:
        break;
    }
    // The bar shows what the repaint computed, not what Qt stepped to.
    const QScopedValueRollback<bool> guard(m_settingBars, true);
    bar->setSliderPosition(m_vPos);
    Q_EMIT scrolled();
}

void LogView::onHScrollAction(int action)
{
    if (m_settingBars)
        return;
    QScrollBar *bar = horizontalScrollBar();
    const int width = viewport()->width();
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        setHViewPos(m_hViewPos - 200, true);
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        setHViewPos(m_hViewPos + 200, true);
        break;
    case QAbstractSlider::SliderPageStepSub:
        setHViewPos(m_hViewPos - width, true);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        setHViewPos(m_hViewPos + width, true);
        break;
    case QAbstractSlider::SliderToMinimum:
        setHViewPos(0, true);
        break;
    case QAbstractSlider::SliderToMaximum:
        setHViewPos(INT_MAX, true);
        break;
    case QAbstractSlider::SliderMove:
        setHViewPos(std::clamp(bar->sliderPosition(), 0, 32767), true);
        break;
    default:
        break;
    }
    const QScopedValueRollback<bool> guard(m_settingBars, true);
    bar->setSliderPosition(m_hPos);
    Q_EMIT scrolled();
}
