#include "viewer/dumplayout.h"

#include "viewer/viewdocument.h"

#include <algorithm>

TQzDumpGeometry TQzDumpGeometry::For(TQzBinHexMode mode, int textWidth, int textWidthHex,
                                     int textWidthUHex, int offsetDigits)
{
    TQzDumpGeometry g;
    g.Mode = mode;
    g.OffsetDigits = offsetDigits;
    switch (mode) {
    case vbmodeBinary:
        g.Units = textWidth;
        break;
    case vbmodeUHex:
        g.Units = textWidthUHex;
        g.UnitBytes = 2;
        break;
    default:
        g.Units = textWidthHex;
        break;
    }
    g.Units = std::max(g.Units, 1);
    return g;
}

TQzDumpLayout LayOutDump(const ViewDocument &document, const TQzDumpGeometry &geometry,
                         qint64 viewPos, int visibleLines, qint64 limitPos)
{
    TQzDumpLayout layout;
    layout.Geometry = geometry;
    const qint64 bytesPerRow = geometry.BytesPerRow();
    layout.ViewPageSize = qint64(visibleLines) * bytesPerRow;
    layout.ViewAtEnd = viewPos >= document.FileSize() - qint64(visibleLines) * bytesPerRow;
    const qint64 last = document.MaxPos();
    const int rows = std::min(visibleLines + 1, MaxScreenLines);
    std::vector<char16_t> units;
    for (int i = 0; i < rows; ++i) {
        const qint64 pos = viewPos + qint64(i) * bytesPerRow;
        if (pos > last || document.FileSize() < geometry.UnitBytes ||
            (limitPos >= 0 && pos > limitPos) || document.IsOutOfWindow(pos))
            break;
        TQzDumpRow row;
        row.Pos = pos;
        if (geometry.HasHex()) {
            row.Offset = QStringLiteral("%1:")
                             .arg(pos, geometry.OffsetDigits, 16, QLatin1Char('0'))
                             .toUpper();
        }
        units.clear();
        for (int j = 0; j < geometry.Units; ++j) {
            const qint64 p = pos + qint64(j) * geometry.UnitBytes;
            if (p > last || document.IsOutOfWindow(p))
                break;
            units.push_back(document.GetChar(p));
            if (geometry.HasHex())
                row.Cells.push_back(document.GetHex(p));
        }
        row.Text = document.DecodeLine(units.data(), int(units.size()), &row.Offsets);
        if (row.Offsets.size() != size_t(row.Text.size()) + 1) {
            row.Offsets.resize(size_t(row.Text.size()));
            row.Offsets.push_back(int(units.size()));
        }
        layout.Rows.push_back(std::move(row));
    }
    return layout;
}
