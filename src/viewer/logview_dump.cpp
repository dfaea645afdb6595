// The dump modes: rows of bytes as characters, or as hex cells beside them.
#include "viewer/logview.h"

#include "viewer/dumplayout.h"
#include "viewer/dumprenderer.h"

void LogView::renderDump(QPainter &painter, const RenderSetup &setup, qint64 limitPos,
                         int visibleLines, DrawnLines *positions, DrawResult &result)
{
    const DumpGeometry geometry =
        DumpGeometry::forMode(m_doc.mode(), result.textWidth, result.textWidthHex,
                              result.textWidthUHex, m_doc.offsetDigits());
    const DumpLayout layout = layOutDump(m_doc, geometry, m_viewPos, visibleLines, limitPos);
    DumpRenderer(setup, m_charWidth).drawRows(painter, layout, positions);
    result.viewPageSize = layout.viewPageSize;
    result.viewAtEnd = layout.viewAtEnd;
}
