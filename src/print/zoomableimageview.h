#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>
#include <QTimer>

#include <array>

// Shows one picture scaled, scrolled and zoomed: fitted to the box, or at a
// scale from the zoom table with scroll bars. The wheel scrolls, Ctrl+wheel
// (or the wheel with the left button held) and the keys + and - zoom, the
// left button drags.
class ZoomableImageView : public QAbstractScrollArea
{
public:
    static constexpr std::array<int, 33> zoomSteps = {
        1,   2,   4,   7,   10,  15,  20,  25,  30,  40,  50,  60,  70,   80,   90,   100, 125,
        150, 175, 200, 250, 300, 350, 400, 450, 500, 600, 700, 800, 1000, 1200, 1400, 1600};
    static constexpr int wheelStep = 50;

    explicit ZoomableImageView(QWidget *parent = nullptr);

    void setPicture(const QImage &picture);
    const QImage &picture() const { return m_picture; }

    bool fitToWindow() const { return m_fitToWindow; }
    void setFitToWindow(bool value);
    bool fitOnlyLarger = true; // a picture that fits is shown at 100 %
    bool center = true;
    bool KeepPosition = true; // rescaling keeps the point at the middle of the box
    bool dragEnabled = true;
    // Scale in percent; with fit to window the fitted scale.
    double scale() const { return m_scale; }
    void setScale(double percent);
    // One zoom step up or down from the current scale; fit to window ends.
    void zoomStep(bool in);
    // Switches on the high-quality repaint that follows each fast one.
    void setSmoothResample(bool value) { m_smoothResample = value; }
    bool smoothResample() const { return m_smoothResample; }
    // Whether the last paint was the high-quality one.
    bool lastPaintSmooth() const { return m_lastPaintSmooth; }
    // Paints of the picture so far.
    int paintCount() const { return m_paints; }

    // The picture's rectangle in viewport coordinates.
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QSize shownSize() const;
    void updateLayout();
    // Rescales to percent, keeping the middle of the box on the same point
    // of the picture when so configured.
    void rescale(double percent, bool fit);
    void scrollBy(int dx, int dy);
    void paint();

    QImage m_picture;
    bool m_fitToWindow = false;
    double m_scale = 100.0;
    bool m_smoothResample = false;
    bool m_smooth = false; // the picture as it is now placed gets high-quality paints
    bool m_lastPaintSmooth = false;
    int m_paints = 0;
    bool m_dragging = false;
    QPoint m_dragFrom;
    QTimer m_smoothTimer;
};
