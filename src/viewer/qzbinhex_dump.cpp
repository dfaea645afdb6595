// The dump modes: rows of bytes as characters, or as hex cells beside them.
#include "viewer/qzbinhex.h"

#include "viewer/dumplayout.h"
#include "viewer/dumprenderer.h"

void TQzBinHex::RenderDump(QPainter &painter, const TQzRenderSetup &setup, qint64 limitPos,
                           int visibleLines, TStrPositions *positions, DrawResult &result)
{
    const TQzDumpGeometry geometry = TQzDumpGeometry::For(
        Mode(), result.TextWidth, result.TextWidthHex, result.TextWidthUHex, OffsetDigits());
    const TQzDumpLayout layout = LayOutDump(m_doc, geometry, m_viewPos, visibleLines, limitPos);
    TQzDumpRenderer(setup, m_charWidth).DrawRows(painter, layout, positions);
    result.ViewPageSize = layout.ViewPageSize;
    result.ViewAtEnd = layout.ViewAtEnd;
}
