#pragma once

#include <QChar>
#include <QtGlobal>

#include <limits>

enum ViewMode { vbmodeText = 0, vbmodeBinary, vbmodeHex, vbmodeUnicode, vbmodeUHex };
inline constexpr int modeCount = 5;

// The largest number of lines one screen can show, however tall the view;
// the read window is sized so that a screen of this many full lines always
// fits in it.
inline constexpr int maxScreenLines = 150;

inline constexpr int maxLengthMin = 2;
inline constexpr int maxLengthMax = 2048;
inline constexpr int maxLengthDefault = 300;

// UnicodeOrder values.
inline constexpr quint8 unicodeOrderUndetected = 0;
inline constexpr quint8 unicodeOrderLittle = 1;
inline constexpr quint8 unicodeOrderBig = 2;

// Why the last reload of a viewer happened, as the document saw the file.
enum class ReloadReason { None, Appended, Truncated, Replaced, Deleted };

struct OutputOptions
{
    bool showNonPrintable = false;
    bool showEol = false;
    bool oemFont = false;
    bool fontMonospaced = false;
    int tabSize = 8;
};

// Marker glyphs for spaces, tabs and line ends when non-printables are shown.
struct NonPrintableMarkers
{
    QChar space;
    QChar Tab;
    QChar eol;
};

inline NonPrintableMarkers markersFor(bool oemFont)
{
    if (oemFont)
        return {QChar(250), QChar(249), QChar(254)};
    return {QChar(0x00B7), QChar(0x00BB), QChar(0x00B6)};
}

// a * b / c, rounded down, for a, b >= 0 and c > 0, without overflow: a file
// position times a scroll value exceeds 64 bits long before the position
// does. Results above the qint64 range give its maximum.
inline qint64 mulDiv64(qint64 a, qint64 b, qint64 c)
{
    const quint64 ua = quint64(a), ub = quint64(b), uc = quint64(c);
    const quint64 aLo = ua & 0xFFFFFFFFu, aHi = ua >> 32;
    const quint64 bLo = ub & 0xFFFFFFFFu, bHi = ub >> 32;
    const quint64 ll = aLo * bLo, lh = aLo * bHi, hl = aHi * bLo, hh = aHi * bHi;
    const quint64 mid = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
    quint64 lo = (mid << 32) | (ll & 0xFFFFFFFFu);
    quint64 hi = hh + (lh >> 32) + (hl >> 32) + (mid >> 32);
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    if (hi >= uc)
        return kMax;
    // Long division of the 128-bit product; the remainder stays below c.
    quint64 q = 0;
    for (int i = 0; i < 64; ++i) {
        hi = (hi << 1) | (lo >> 63);
        lo <<= 1;
        q <<= 1;
        if (hi >= uc) {
            hi -= uc;
            q |= 1;
        }
    }
    return q > quint64(kMax) ? kMax : qint64(q);
}
