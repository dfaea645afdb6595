#pragma once

#include "viewer/viewtypes.h"
#include "text/codepagelist.h"

#include <QString>

#include <vector>

// Whether a unit is shown as a full stop (the font lacks it, or it is 30 or 31).
inline bool isNonPrintableUnit(char16_t c, ViewMode mode, int firstPrintable)
{
    if (c == 30 || c == 31)
        return true;
    if (c < firstPrintable)
        return !((mode == vbmodeText || mode == vbmodeUnicode) && (c == 9 || c == 10 || c == 13));
    return false;
}

// Pages whose text switches character sets by ESC, SO and SI.
bool isShiftingPage(Encoding encoding);

// The unit as the line rules and the decoder see it: non-printables become a
// full stop, except the bytes that switch the state of an escape-driven page,
// which its decoder needs.
inline char16_t displayableUnit(char16_t raw, ViewMode mode, int firstPrintable, Encoding encoding)
{
    if (raw == 9 && mode != vbmodeText && mode != vbmodeUnicode)
        return u'.';
    if (!isNonPrintableUnit(raw, mode, firstPrintable))
        return raw;
    if (mode == vbmodeText && (raw == 27 || raw == 14 || raw == 15) && isShiftingPage(encoding))
        return raw;
    return u'.';
}

// How the units of a source become display text: the mode, the byte order,
// the code page and the longest screen line. A plain value, so a worker that
// scans the file on its own thread takes a copy of the viewer's.
struct TextFormat
{
    ViewMode mode = vbmodeText;
    bool bigEndian = false;
    Encoding encoding;
    bool oemSpecial = false;
    int firstPrintable = 32;
    int maxLength = maxLengthDefault;

    int charSize() const { return isUnicodeMode() ? 2 : 1; }
    bool isTextMode() const { return mode == vbmodeText || mode == vbmodeUnicode; }
    bool isUnicodeMode() const { return mode == vbmodeUnicode || mode == vbmodeUHex; }
    bool usesOemSpecial() const
    {
        return !isUnicodeMode() && encoding == encodingOem && oemSpecial;
    }

    char16_t displayable(char16_t raw) const
    {
        return displayableUnit(raw, mode, firstPrintable, encoding);
    }

    // Turns units (bytes in the 8-bit modes) into display text. When offsets
    // is given it receives, per resulting UTF-16 unit, the index of the first
    // unit it came from.
    QString decode(const char16_t *units, int count, std::vector<int> *offsets = nullptr) const;

    // Units of a screen line cut at most MaxLength units in: the cut moves
    // back to the last whole character so no character is split between two
    // rows. units holds the line from its start, past the cut when the line
    // goes on (up to LookAhead() more units).
    int wholeCharacterCut(const char16_t *units, int count) const;
    // Units at the start of units that belong to a character begun before
    // them (a low surrogate, the tail of a multi-byte sequence).
    int partialLead(const char16_t *units, int count) const;
    // Units past MaxLength that WholeCharacterCut wants to see.
    int lookAhead() const { return isUnicodeMode() ? 1 : 4; }
};
