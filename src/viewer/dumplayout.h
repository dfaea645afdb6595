#pragma once

#include "viewer/viewtypes.h"

#include <QString>

#include <array>
#include <vector>

class ViewDocument;

// Where the parts of a dump row stand, in character cells from the text's
// left edge (TextLeft). A hex row is
//
//   00000010: 41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50  ABCDEFGHIJKLMNOP
//   |offset  |hex area: a cell per unit, one gap in the middle  |edge, characters
//
// with a separator at the left of the hex area, in the middle gap and at the
// edge. A binary row is the characters alone.
struct DumpGeometry
{
    ViewMode mode = vbmodeHex;
    int units = 16;    // units per row: bytes, or 16-bit units in vbmodeUHex
    int unitBytes = 1; // 2 in vbmodeUHex
    int offsetDigits = 8;

    static DumpGeometry forMode(ViewMode mode, int textWidth, int textWidthHex, int textWidthUHex,
                                int offsetDigits);

    bool hasHex() const { return mode != vbmodeBinary; }
    qint64 bytesPerRow() const { return qint64(units) * unitBytes; }
    int cellChars() const { return unitBytes == 2 ? 5 : 3; }
    int hexAreaStart() const { return offsetDigits + 2; }
    int hexAreaChars() const { return cellChars() * units + 2; }
    int cellColumn(int unit) const
    {
        return offsetDigits + 3 + cellChars() * unit + (unit >= units / 2 ? 1 : 0);
    }
    int textEdge() const { return offsetDigits + cellChars() * units + 4; }
    // The characters stand one cell right of the edge; binary rows at 0.
    int textColumn() const { return hasHex() ? textEdge() + 1 : 0; }
    std::array<int, 3> separators() const
    {
        return {offsetDigits + 2, offsetDigits + (units / 2) * cellChars() + 3, textEdge()};
    }
};

struct DumpRow
{
    qint64 pos = 0;
    QString offset;             // upper-case hex offset and ":"; empty in binary rows
    std::vector<QString> cells; // hex digits of each unit the file has
    QString text;               // the row's characters as shown
    std::vector<int> offsets;   // per character of Text its first unit; plus one: the units
};

struct DumpLayout
{
    DumpGeometry geometry;
    std::vector<DumpRow> rows;
    qint64 viewPageSize = 0;
    bool viewAtEnd = false;
};

// The rows from viewPos: visibleLines full ones and the partly visible one
// under them, at most MaxScreenLines; none past the data, the read window
// or limitPos (-1: no limit).
DumpLayout layOutDump(const ViewDocument &document, const DumpGeometry &geometry, qint64 viewPos,
                      int visibleLines, qint64 limitPos);
