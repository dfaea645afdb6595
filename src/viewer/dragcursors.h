#pragma once

#include <QCursor>
#include <QPixmap>

// The pointer shapes of the middle-button scrolling mode, drawn once per
// process: neutral (-30), up (-31), down (-32), left (-33), right (-34).
namespace DragCursors {
inline constexpr int neutral = -30;
inline constexpr int up = -31;
inline constexpr int down = -32;
inline constexpr int left = -33;
inline constexpr int right = -34;

// The cursor of an identifier above; any other identifier gives the neutral one.
const QCursor &cursor(int id);
// The neutral shape as painted on the view around the origin, 32 x 32.
const QPixmap &neutralMarker();
} // namespace DragCursors
