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
struct TQzDumpGeometry
{
    TQzBinHexMode Mode = vbmodeHex;
    int Units = 16;    // units per row: bytes, or 16-bit units in vbmodeUHex
    int UnitBytes = 1; // 2 in vbmodeUHex
    int OffsetDigits = 8;

    static TQzDumpGeometry For(TQzBinHexMode mode, int textWidth, int textWidthHex,
                               int textWidthUHex, int offsetDigits);

    bool HasHex() const { return Mode != vbmodeBinary; }
    qint64 BytesPerRow() const { return qint64(Units) * UnitBytes; }
    int CellChars() const { return UnitBytes == 2 ? 5 : 3; }
    int HexAreaStart() const { return OffsetDigits + 2; }
    int HexAreaChars() const { return CellChars() * Units + 2; }
    int CellColumn(int unit) const
    {
        return OffsetDigits + 3 + CellChars() * unit + (unit >= Units / 2 ? 1 : 0);
    }
    int TextEdge() const { return OffsetDigits + CellChars() * Units + 4; }
    // The characters stand one cell right of the edge; binary rows at 0.
    int TextColumn() const { return HasHex() ? TextEdge() + 1 : 0; }
    std::array<int, 3> Separators() const
    {
        return {OffsetDigits + 2, OffsetDigits + (Units / 2) * CellChars() + 3, TextEdge()};
    }
};

struct TQzDumpRow
{
    qint64 Pos = 0;
    QString Offset;             // upper-case hex offset and ":"; empty in binary rows
    std::vector<QString> Cells; // hex digits of each unit the file has
    QString Text;               // the row's characters as shown
    std::vector<int> Offsets;   // per character of Text its first unit; plus one: the units
};

struct TQzDumpLayout
{
    TQzDumpGeometry Geometry;
    std::vector<TQzDumpRow> Rows;
    qint64 ViewPageSize = 0;
    bool ViewAtEnd = false;
};

// The rows from viewPos: visibleLines full ones and the partly visible one
// under them, at most MaxScreenLines; none past the data, the read window
// or limitPos (-1: no limit).
TQzDumpLayout LayOutDump(const ViewDocument &document, const TQzDumpGeometry &geometry,
                         qint64 viewPos, int visibleLines, qint64 limitPos);
