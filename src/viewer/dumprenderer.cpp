#include "viewer/dumprenderer.h"

#include "viewer/strpositions.h"

#include <QPainter>

#include <algorithm>

QString TQzDumpRenderer::Shown(const QString &text) const
{
    if (!m_s.DumpText)
        return text;
    QString shown = m_s.DumpText(text);
    // The cells and the character map count on the length.
    return shown.size() == text.size() ? shown : text;
}

void TQzDumpRenderer::Output(QPainter &painter, int x, int y, const QString &shown) const
{
    TQzBinHexOutputOptions plain = m_s.Options;
    plain.ShowEol = false;
    m_text.OutputText(painter, x, y, shown, plain);
}

void TQzDumpRenderer::DrawRows(QPainter &painter, const TQzDumpLayout &layout,
                               TStrPositions *positions) const
{
    const TQzDumpGeometry &g = layout.Geometry;
    const int cw = m_charWidth;
    const int left = m_s.TextLeft;
    const int h = m_s.HViewPos;
    const int lineHeight = m_s.LineHeight;
    const TQzDecorationContext context{m_s.Printing};
    const int cellWidth = g.CellChars() * cw;

    int y = 0;
    for (const TQzDumpRow &row : layout.Rows) {
        // Marks come from the decorators over the row's characters, as for
        // a text line; the cells take only the inverting ones.
        TQzLogicalLine line{row.Text, row.Pos, g.UnitBytes, row.Offsets};
        TQzLineDecoration decoration;
        decoration.Text = row.Text;
        decoration.Offsets = row.Offsets;
        for (const auto &decorator : m_s.Decorators)
            decorator->Decorate(line, context, decoration);

        painter.setPen(m_s.Colors.Text);
        painter.setBackground(m_s.Colors.Background);
        int textX = left - h;
        if (g.HasHex()) {
            Output(painter, left - h, y, Shown(row.Offset));
            const int areaX = left + g.HexAreaStart() * cw - h;
            painter.fillRect(areaX, y, g.HexAreaChars() * cw, lineHeight + 1, m_s.Colors.HexBack);
            painter.setBackground(m_s.Colors.HexBack);
            for (int j = 0; j < int(row.Cells.size()); ++j) {
                const int x = left + g.CellColumn(j) * cw - h;
                painter.setPen(j % 4 < 2 ? m_s.Colors.Hex : m_s.Colors.Hex2);
                Output(painter, x, y, Shown(row.Cells[size_t(j)]));
                const qint64 from = row.Pos + qint64(j) * g.UnitBytes;
                for (const TQzLineDecoration::Mark &mark : decoration.Marks) {
                    if (mark.Invert && mark.From < from + g.UnitBytes && from < mark.To) {
                        painter.save();
                        painter.setCompositionMode(QPainter::CompositionMode_Difference);
                        painter.fillRect(x, y, cellWidth, lineHeight, Qt::white);
                        painter.restore();
                        break;
                    }
                }
                if (positions)
                    positions->SetColumn(j, x, cellWidth, g.Units);
            }
            painter.setPen(QPen(m_s.Colors.Lines, 2));
            for (const int c : g.Separators()) {
                const int x = left + c * cw - h;
                painter.drawLine(x, y, x, y + lineHeight);
            }
            if (positions)
                positions->SetTextColumn(left + g.TextEdge() * cw);
            textX = left + g.TextColumn() * cw - h;
            painter.setPen(m_s.Colors.Text);
            painter.setBackground(m_s.Colors.Background);
        }
        // A decorator's rewrite of the characters (the sub-strings filter)
        // shows as on a text line; its map keeps hits on the right bytes.
        const bool rewritten = decoration.Rewritten;
        const std::vector<int> &offsets = rewritten ? decoration.Offsets : row.Offsets;
        // The rewrite already passed the filter: a second pass would filter
        // its replacement text again.
        const QString text = rewritten ? decoration.Text : Shown(row.Text);
        Output(painter, textX, y, text);
        m_text.DrawMarks(painter, decoration, row.Pos, textX, y, text, offsets);
        if (positions)
            positions->Add(text, textX, row.Pos, y, offsets);
        y += lineHeight;
    }
    // No cells of their own: the strip covers whatever scrolled under it.
    if (m_s.Gutter)
        painter.fillRect(0, 0, m_s.GutterWidth, m_s.Size.height(), m_s.GutterColor);
}
