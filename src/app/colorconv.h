#pragma once

#include <QColor>
#include <QtGlobal>

// Colours as the settings file stores them: 0x00BBGGRR, or a system colour
// (0xFF000000 + index, a negative integer) that follows the application
// palette, so that a default colour matches the desktop theme.
QColor colorFromInt(qint32 value);

// The 0x00BBGGRR form of a colour; alpha is dropped.
qint32 colorToInt(const QColor &color);

// The system colour code of an index (0xFF000000 + index).
constexpr qint32 systemColor(int index)
{
    return qint32(0xFF000000u | quint32(index & 0xFF));
}
