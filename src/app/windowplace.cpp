#include "app/windowplace.h"

#include <algorithm>
#include <limits>

namespace {

// A square of this side on the title strip is enough to drag the window back.
constexpr int kGrip = 40;
// Farther than any screen reaches.
constexpr int kFar = 1 << 24;

bool reachable(const QRect &window, const QRect &screen)
{
    const QRect strip(window.left(), window.top(), window.width(),
                      std::min(window.height(), kGrip));
    const QRect shared = strip.intersected(screen);
    return shared.width() >= std::min(kGrip, strip.width()) && shared.height() >= strip.height();
}

// Squared distance between two rectangles; 0 when they touch or overlap.
qint64 distance(const QRect &a, const QRect &b)
{
    const qint64 dx =
        std::max<qint64>({0, qint64(b.left()) - a.right(), qint64(a.left()) - b.right()});
    const qint64 dy =
        std::max<qint64>({0, qint64(b.top()) - a.bottom(), qint64(a.top()) - b.bottom()});
    return dx * dx + dy * dy;
}

int clampInto(int position, int length, int start, int screenLength)
{
    return std::clamp(position, start, start + screenLength - length);
}

} // namespace

QRect firstPlace(const QRect &screen)
{
    const QSize size(std::max(1, screen.width() * 2 / 3), std::max(1, screen.height() * 2 / 3));
    return {screen.left() + (screen.width() - size.width()) / 2,
            screen.top() + (screen.height() - size.height()) / 2, size.width(), size.height()};
}

QRect placeOnScreens(QPoint position, QSize size, const QList<QRect> &screens)
{
    // A damaged file may hold any numbers: within these bounds the rectangle's
    // edges are computed without overflow, and a point still has a place.
    const QRect saved(std::clamp(position.x(), -kFar, kFar), std::clamp(position.y(), -kFar, kFar),
                      std::clamp(size.width(), 1, kFar), std::clamp(size.height(), 1, kFar));
    if (screens.isEmpty())
        return saved;
    for (const QRect &screen : screens)
        if (reachable(saved, screen))
            return saved;

    const QRect *nearest = nullptr;
    qint64 best = std::numeric_limits<qint64>::max();
    for (const QRect &screen : screens) {
        const qint64 gap = distance(saved, screen);
        if (gap < best) {
            best = gap;
            nearest = &screen;
        }
    }
    const int width = std::min(saved.width(), nearest->width());
    const int height = std::min(saved.height(), nearest->height());
    return {clampInto(saved.left(), width, nearest->left(), nearest->width()),
            clampInto(saved.top(), height, nearest->top(), nearest->height()), width, height};
}
