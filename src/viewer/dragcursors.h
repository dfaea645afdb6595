#pragma once

#include <QCursor>
#include <QPixmap>

// The pointer shapes of the middle-button scrolling mode, drawn once per
// process: neutral (-30), up (-31), down (-32), left (-33), right (-34).
namespace DragCursors {
inline constexpr int Neutral = -30;
inline constexpr int Up = -31;
inline constexpr int Down = -32;
inline constexpr int Left = -33;
inline constexpr int Right = -34;

// The cursor of an identifier above; any other identifier gives the neutral one.
const QCursor &Cursor(int id);
// The neutral shape as painted on the view around the origin, 32 x 32.
const QPixmap &NeutralMarker();
} // namespace DragCursors
