#include "viewer/dragcursors.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include <array>
#include <cmath>

namespace {
constexpr int Size = 32;
constexpr QPointF Centre(16, 16);

// A triangle pointing away from the centre in direction (dx, dy).
QPolygonF Arrow(double dx, double dy, double base, double tip, double halfWidth)
{
    const QPointF along(dx, dy), across(-dy, dx);
    return QPolygonF({Centre + along * tip, Centre + along * base + across * halfWidth,
                      Centre + along * base - across * halfWidth});
}

// Black shapes with a white rim read on any background. directions: up,
// down, left, right; the neutral shape has all four, smaller.
QPixmap Draw(const std::array<bool, 4> &directions, bool neutral)
{
    QImage image(Size, Size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(Qt::black);
    p.drawEllipse(Centre, 3.0, 3.0);
    static constexpr double dirs[4][2] = {{0, -1}, {0, 1}, {-1, 0}, {1, 0}};
    for (int i = 0; i < 4; ++i) {
        if (!directions[size_t(i)])
            continue;
        p.drawPolygon(neutral ? Arrow(dirs[i][0], dirs[i][1], 7, 13, 4)
                              : Arrow(dirs[i][0], dirs[i][1], 6, 15, 6.5));
    }
    p.end();
    return QPixmap::fromImage(image);
}
} // namespace

const QCursor &DragCursors::Cursor(int id)
{
    static const std::array<QCursor, 5> cursors = {
        QCursor(Draw({true, true, true, true}, true), 16, 16),
        QCursor(Draw({true, false, false, false}, false), 16, 16),
        QCursor(Draw({false, true, false, false}, false), 16, 16),
        QCursor(Draw({false, false, true, false}, false), 16, 16),
        QCursor(Draw({false, false, false, true}, false), 16, 16),
    };
    const int index = Neutral - id;
    return cursors[size_t(index >= 0 && index < 5 ? index : 0)];
}

const QPixmap &DragCursors::NeutralMarker()
{
    static const QPixmap marker = Draw({true, true, true, true}, true);
    return marker;
}
