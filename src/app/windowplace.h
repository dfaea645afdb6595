#pragma once

#include <QList>
#include <QRect>

// Where a window stored with this position and size goes, given the
// available areas of the screens. It stays as stored while a piece of its
// top edge that a mouse can grab lies on a screen. Otherwise (a screen that
// is gone, a damaged settings file) it moves onto the nearest screen, as
// little as it must, keeping its size where the screen holds it.
QRect placeOnScreens(QPoint position, QSize size, const QList<QRect> &screens);
// Where the window goes at the first start, with no place stored: two
// thirds of the screen's available area each way, centred on it.
QRect firstPlace(const QRect &screen);
