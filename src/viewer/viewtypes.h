#pragma once

#include <QChar>
#include <QtGlobal>

enum TQzBinHexMode { vbmodeText = 0, vbmodeBinary, vbmodeHex, vbmodeUnicode, vbmodeUHex };
inline constexpr int ModeCount = 5;

// The largest number of lines one screen can show; the read window is sized
// so that a screen of this many full lines always fits in it.
inline constexpr int MaxScreenLines = 150;

inline constexpr int MaxLengthMin = 2;
inline constexpr int MaxLengthMax = 2048;
inline constexpr int MaxLengthDefault = 300;

// UnicodeOrder values.
inline constexpr quint8 UnicodeOrderUndetected = 0;
inline constexpr quint8 UnicodeOrderLittle = 1;
inline constexpr quint8 UnicodeOrderBig = 2;

// Why the last reload of a viewer happened, as the document saw the file.
enum class TQzReloadReason { None, Appended, Truncated, Replaced, Deleted };

struct TQzBinHexOutputOptions
{
    bool ShowNonPrintable = false;
    bool ShowEol = false;
    bool OemFont = false;
    bool FontMonospaced = false;
    int TabSize = 8;
};

// Marker glyphs for spaces, tabs and line ends when non-printables are shown.
struct NonPrintableMarkers
{
    QChar Space;
    QChar Tab;
    QChar Eol;
};

inline NonPrintableMarkers MarkersFor(bool oemFont)
{
    if (oemFont)
        return {QChar(250), QChar(249), QChar(254)};
    return {QChar(0x00B7), QChar(0x00BB), QChar(0x00B6)};
}
