#include "viewer/dumplayout.h"

#include "viewer/viewdocument.h"

#include <algorithm>

DumpGeometry DumpGeometry::forMode(ViewMode mode, int textWidth, int textWidthHex,
                                   int textWidthUHex, int offsetDigits)
{
    DumpGeometry g;
    g.mode = mode;
    g.offsetDigits = offsetDigits;
    switch (mode) {
    case vbmodeBinary:
        g.units = textWidth;
        break;
    case vbmodeUHex:
        g.units = textWidthUHex;
        g.unitBytes = 2;
        break;
    default:
        g.units = textWidthHex;
        break;
    }
    g.units = std::max(g.units, 1);
    return g;
}

DumpLayout layOutDump(const ViewDocument &document, const DumpGeometry &geometry, qint64 viewPos,
                      int visibleLines, qint64 limitPos)
{
    DumpLayout layout;
    layout.geometry = geometry;
    const qint64 bytesPerRow = geometry.bytesPerRow();
    layout.viewPageSize = qint64(visibleLines) * bytesPerRow;
    layout.viewAtEnd = viewPos >= document.fileSize() - qint64(visibleLines) * bytesPerRow;
    const qint64 last = document.maxPos();
    const int rows = std::min(visibleLines + 1, maxScreenLines);
    std::vector<char16_t> units;
    for (int i = 0; i < rows; ++i) {
        const qint64 pos = viewPos + qint64(i) * bytesPerRow;
        if (pos > last || document.fileSize() < geometry.unitBytes ||
            (limitPos >= 0 && pos > limitPos) || document.isOutOfWindow(pos))
            break;
        DumpRow row;
        row.pos = pos;
        if (geometry.hasHex()) {
            row.offset = QStringLiteral("%1:")
                             .arg(pos, geometry.offsetDigits, 16, QLatin1Char('0'))
                             .toUpper();
        }
        units.clear();
        for (int j = 0; j < geometry.units; ++j) {
            const qint64 p = pos + qint64(j) * geometry.unitBytes;
            if (p > last || document.isOutOfWindow(p))
                break;
            units.push_back(document.getChar(p));
            if (geometry.hasHex())
                row.cells.push_back(document.getHex(p));
        }
        row.text = document.decodeLine(units.data(), int(units.size()), &row.offsets);
        if (row.offsets.size() != size_t(row.text.size()) + 1) {
            row.offsets.resize(size_t(row.text.size()));
            row.offsets.push_back(int(units.size()));
        }
        layout.rows.push_back(std::move(row));
    }
    return layout;
}
