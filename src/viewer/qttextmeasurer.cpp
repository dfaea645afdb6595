#include "viewer/qttextmeasurer.h"

#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>

QtTextMeasurer::QtTextMeasurer(const QFont &font) : m_font(font), m_metrics(font)
{
    m_fixedPitch = m_metrics.horizontalAdvance(QLatin1Char('W')) ==
                   m_metrics.horizontalAdvance(QLatin1Char('.'));
    for (size_t c = 0; c < m_advance.size(); ++c)
        m_advance[c] = m_metrics.horizontalAdvance(QChar(char16_t(c)));
    if (m_fixedPitch) {
        m_rawFont = QRawFont::fromFont(font);
        m_glyphsUsable = m_rawFont.isValid();
        for (size_t c = 0; m_glyphsUsable && c < m_glyph.size(); ++c) {
            const QChar ch{char16_t(c)};
            quint32 glyph = 0;
            int count = 1;
            // A character the font lacks would need a fallback font: that
            // text takes the shaping path instead.
            if (!m_rawFont.glyphIndexesForChars(&ch, 1, &glyph, &count) || count != 1)
                glyph = 0;
            m_glyph[c] = glyph;
        }
    }
}

bool QtTextMeasurer::DrawSimple(QPainter &painter, int x, int top, const QString &text,
                                bool opaque) const
{
    if (!m_glyphsUsable || !SimpleText(text))
        return false;
    QVector<quint32> glyphs;
    QVector<QPointF> positions;
    glyphs.reserve(text.size());
    positions.reserve(text.size());
    int advance = 0;
    for (QChar c : text) {
        const quint32 g = m_glyph[c.unicode()];
        if (g == 0 && c.unicode() > 32)
            return false;
        glyphs.push_back(g);
        positions.push_back(QPointF(advance, 0));
        advance += m_advance[c.unicode()];
    }
    if (opaque)
        painter.fillRect(x, top, advance, m_metrics.height(), painter.background());
    QGlyphRun run;
    run.setRawFont(m_rawFont);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    painter.drawGlyphRun(QPointF(x, top + m_metrics.ascent()), run);
    return true;
}

bool QtTextMeasurer::SimpleText(const QString &text) const
{
    // Latin text in a fixed-pitch font has no kerning or shaping: advances add up.
    if (!m_fixedPitch)
        return false;
    for (QChar c : text) {
        if (c.unicode() >= m_advance.size())
            return false;
    }
    return true;
}

int QtTextMeasurer::Width(const QString &text) const
{
    if (SimpleText(text)) {
        int w = 0;
        for (QChar c : text)
            w += m_advance[c.unicode()];
        return w;
    }
    return m_metrics.horizontalAdvance(text);
}

bool QtTextMeasurer::Extents(const QString &text, std::vector<int> &extents) const
{
    extents.resize(size_t(text.size()));
    if (SimpleText(text)) {
        int w = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            w += m_advance[text.at(i).unicode()];
            extents[size_t(i)] = w;
        }
        return true;
    }
    QTextLayout layout(text, m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid()) {
        layout.endLayout();
        return text.isEmpty();
    }
    line.setLineWidth(1e9);
    layout.endLayout();
    for (qsizetype i = 0; i < text.size(); ++i)
        extents[size_t(i)] = int(line.cursorToX(int(i + 1)) + 0.5);
    return true;
}
