#include "viewer/dumprenderer.h"

#include "viewer/drawnlines.h"

#include <QPainter>

#include <algorithm>

QString DumpRenderer::shown(const QString &text) const
{
    if (!m_s.dumpText)
        return text;
    QString shown = m_s.dumpText(text);
    // The cells and the character map count on the length.
    return shown.size() == text.size() ? shown : text;
}

void DumpRenderer::output(QPainter &painter, int x, int y, const QString &shown) const
{
    OutputOptions plain = m_s.options;
    plain.showEol = false;
    m_text.outputText(painter, x, y, shown, plain);
}

void DumpRenderer::drawRows(QPainter &painter, const DumpLayout &layout,
                            DrawnLines *positions) const
{
    const DumpGeometry &g = layout.geometry;
    const int cw = m_charWidth;
    const int left = m_s.textLeft;
    const int h = m_s.hViewPos;
    const int lineHeight = m_s.lineHeight;
    const DecorationContext context{m_s.printing};
    const int cellWidth = g.cellChars() * cw;

    int y = 0;
    for (const DumpRow &row : layout.rows) {
        // Marks come from the decorators over the row's characters, as for
        // a text line; the cells take only the inverting ones.
        LogicalLine line{row.text, row.pos, g.unitBytes, row.offsets};
        LineDecoration decoration;
        decoration.text = row.text;
        decoration.offsets = row.offsets;
        for (const auto &decorator : m_s.decorators)
            decorator->decorate(line, context, decoration);

        painter.setPen(m_s.colors.text);
        painter.setBackground(m_s.colors.background);
        int textX = left - h;
        if (g.hasHex()) {
            output(painter, left - h, y, shown(row.offset));
            const int areaX = left + g.hexAreaStart() * cw - h;
            painter.fillRect(areaX, y, g.hexAreaChars() * cw, lineHeight + 1, m_s.colors.hexBack);
            painter.setBackground(m_s.colors.hexBack);
            for (int j = 0; j < int(row.cells.size()); ++j) {
                const int x = left + g.cellColumn(j) * cw - h;
                painter.setPen(j % 4 < 2 ? m_s.colors.hex : m_s.colors.hex2);
                output(painter, x, y, shown(row.cells[size_t(j)]));
                const qint64 from = row.pos + qint64(j) * g.unitBytes;
                for (const LineDecoration::Mark &mark : decoration.marks) {
                    if (mark.invert && mark.from < from + g.unitBytes && from < mark.to) {
                        painter.save();
                        painter.setCompositionMode(QPainter::CompositionMode_Difference);
                        painter.fillRect(x, y, cellWidth, lineHeight, Qt::white);
                        painter.restore();
                        break;
                    }
                }
                if (positions)
                    positions->setColumn(j, x, cellWidth, g.units);
            }
            painter.setPen(QPen(m_s.colors.lines, 2));
            for (const int c : g.separators()) {
                const int x = left + c * cw - h;
                painter.drawLine(x, y, x, y + lineHeight);
            }
            if (positions)
                positions->setTextColumn(left + g.textEdge() * cw);
            textX = left + g.textColumn() * cw - h;
            painter.setPen(m_s.colors.text);
            painter.setBackground(m_s.colors.background);
        }
        // A decorator's rewrite of the characters (the sub-strings filter)
        // shows as on a text line; its map keeps hits on the right bytes.
        const bool rewritten = decoration.rewritten;
        const std::vector<int> &offsets = rewritten ? decoration.offsets : row.offsets;
        // The rewrite already passed the filter: a second pass would filter
        // its replacement text again.
        const QString text = rewritten ? decoration.text : shown(row.text);
        output(painter, textX, y, text);
        m_text.drawMarks(painter, decoration, row.pos, textX, y, text, offsets);
        if (positions)
            positions->add(text, textX, row.pos, y, offsets);
        y += lineHeight;
    }
    // No cells of their own: the strip covers whatever scrolled under it.
    if (m_s.gutter)
        painter.fillRect(0, 0, m_s.gutterWidth, m_s.size.height(), m_s.gutterColor);
}
