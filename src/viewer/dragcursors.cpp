#include "viewer/dragcursors.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include <array>
#include <cmath>

namespace {
constexpr int Size = 32;
constexpr QPointF centre(16, 16);

// A triangle pointing away from the centre in direction (dx, dy).
QPolygonF arrow(double dx, double dy, double base, double tip, double halfWidth)
{
    const QPointF along(dx, dy), across(-dy, dx);
    return QPolygonF({centre + along * tip, centre + along * base + across * halfWidth,
                      centre + along * base - across * halfWidth});
}

// Black shapes with a white rim read on any background. directions: up,
// down, left, right; the neutral shape has all four, smaller.
QPixmap draw(const std::array<bool, 4> &directions, bool neutral)
{
    QImage image(Size, Size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(Qt::black);
    p.drawEllipse(centre, 3.0, 3.0);
    static constexpr double dirs[4][2] = {{0, -1}, {0, 1}, {-1, 0}, {1, 0}};
    for (int i = 0; i < 4; ++i) {
        if (!directions[size_t(i)])
            continue;
        p.drawPolygon(neutral ? arrow(dirs[i][0], dirs[i][1], 7, 13, 4)
                              : arrow(dirs[i][0], dirs[i][1], 6, 15, 6.5));
    }
    p.end();
    return QPixmap::fromImage(image);
}
} // namespace

const QCursor &DragCursors::cursor(int id)
{
    static const std::array<QCursor, 5> cursors = {
        QCursor(draw({true, true, true, true}, true), 16, 16),
        QCursor(draw({true, false, false, false}, false), 16, 16),
        QCursor(draw({false, true, false, false}, false), 16, 16),
        QCursor(draw({false, false, true, false}, false), 16, 16),
        QCursor(draw({false, false, false, true}, false), 16, 16),
    };
    const int index = neutral - id;
    return cursors[size_t(index >= 0 && index < 5 ? index : 0)];
}

const QPixmap &DragCursors::neutralMarker()
{
    static const QPixmap marker = draw({true, true, true, true}, true);
    return marker;
}
