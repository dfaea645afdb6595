#include "viewer/qttextmeasurer.h"

#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <cstring>

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

bool QtTextMeasurer::drawSimple(QPainter &painter, int x, int top, const QString &text,
                                bool opaque) const
{
    if (!m_glyphsUsable || !simpleText(text))
        return false;
    for (QChar c : text) {
        if (m_glyph[c.unicode()] == 0 && c.unicode() > 32)
            return false;
    }
    // Most runs come from the tiles: the glyph run is built only when not.
    if (opaque && drawFromTiles(painter, x, top, text))
        return true;
    QVector<quint32> glyphs;
    QVector<QPointF> positions;
    glyphs.reserve(text.size());
    positions.reserve(text.size());
    int advance = 0;
    for (QChar c : text) {
        glyphs.push_back(m_glyph[c.unicode()]);
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

QImage QtTextMeasurer::drawAlone(QChar c, QRgb fore, QRgb back, int ratio, QImage::Format format,
                                 QPainter::RenderHints hints, int margin) const
{
    const int w = m_advance[c.unicode()];
    const int h = m_metrics.height();
    QImage canvas(QSize(w + 2 * margin, h + 2 * margin) * ratio, format);
    canvas.setDevicePixelRatio(ratio);
    QPainter p(&canvas);
    p.setRenderHints(hints);
    p.fillRect(QRect(0, 0, w + 2 * margin, h + 2 * margin), QColor(back));
    p.setPen(QColor(fore));
    QGlyphRun run;
    run.setRawFont(m_rawFont);
    run.setGlyphIndexes({m_glyph[c.unicode()]});
    run.setPositions({QPointF(0, 0)});
    p.drawGlyphRun(QPointF(margin, margin + m_metrics.ascent()), run);
    p.end();
    return canvas;
}

bool QtTextMeasurer::inkInCell(QChar c, int ratio, QImage::Format format,
                               QPainter::RenderHints hints) const
{
    const int key = ratio * 0x10000 + int(hints);
    auto it = std::find_if(m_inCell.begin(), m_inCell.end(),
                           [&](const auto &e) { return e.first == key; });
    if (it == m_inCell.end()) {
        m_inCell.emplace_back(key, std::array<qint8, 0x300>{});
        it = m_inCell.end() - 1;
    }
    qint8 &known = it->second[c.unicode()];
    if (known == 0) {
        // Black on white shows the faintest ink a glyph leaves.
        const int margin = std::max(m_metrics.height(), m_metrics.maxWidth());
        const QRgb white = qRgb(255, 255, 255);
        const QImage canvas = drawAlone(c, qRgb(0, 0, 0), white, ratio, format, hints, margin);
        const QRect cell(QPoint(margin, margin) * ratio,
                         QSize(m_advance[c.unicode()], m_metrics.height()) * ratio);
        known = 1;
        for (int y = 0; y < canvas.height() && known > 0; ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(canvas.constScanLine(y));
            for (int x = 0; x < canvas.width(); ++x) {
                if ((line[x] | 0xff000000u) != white && !cell.contains(x, y)) {
                    known = -1;
                    break;
                }
            }
        }
    }
    return known > 0;
}

bool QtTextMeasurer::drawFromTiles(QPainter &painter, int x, int top, const QString &text) const
{
    if (painter.device()->devType() != QInternal::Image)
        return false;
    auto *image = static_cast<QImage *>(painter.device());
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32_Premultiplied)
        return false;
    const qreal dpr = image->devicePixelRatio();
    const int ratio = int(dpr);
    if (ratio < 1 || ratio > 4 || dpr != ratio || !image->isDetached())
        return false;
    // Only a plain painter: anything that bends the drawing is left to Qt.
    const QTransform t = painter.deviceTransform();
    if (t.type() > QTransform::TxScale || t.m11() != ratio || t.m22() != ratio ||
        painter.hasClipping() ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver ||
        painter.opacity() != 1.0 || painter.pen().brush().style() != Qt::SolidPattern ||
        !painter.pen().color().isValid() || painter.pen().color().alpha() != 255 ||
        painter.background().style() != Qt::SolidPattern ||
        painter.background().color().alpha() != 255 || t.dx() != std::floor(t.dx()) ||
        t.dy() != std::floor(t.dy()))
        return false;
    const QRgb fore = painter.pen().color().rgb();
    const QRgb back = painter.background().color().rgb();
    const QPainter::RenderHints hints = painter.renderHints();

    auto set = std::find_if(m_tiles.begin(), m_tiles.end(), [&](const CellTiles &e) {
        return e.fore == fore && e.back == back && e.ratio == ratio && e.format == format &&
               e.hints == hints;
    });
    if (set == m_tiles.end()) {
        // A few pairs of colours are in use at a time; marks bring short-lived ones.
        if (m_tiles.size() >= 8)
            m_tiles.erase(m_tiles.begin());
        m_tiles.push_back({fore, back, ratio, format, hints, {}});
        set = m_tiles.end() - 1;
        set->tiles.resize(m_advance.size());
    }
    for (QChar c : text) {
        QImage &tile = set->tiles[c.unicode()];
        if (!tile.isNull())
            continue;
        if (m_advance[c.unicode()] <= 0 || !inkInCell(c, ratio, format, hints))
            return false;
        const int margin = m_metrics.height();
        tile = drawAlone(c, fore, back, ratio, format, hints, margin)
                   .copy(QRect(QPoint(margin, margin) * ratio,
                               QSize(m_advance[c.unicode()], m_metrics.height()) * ratio));
    }

    const int height = m_metrics.height() * ratio;
    const int deviceX = int(t.dx()) + x * ratio;
    const int deviceTop = int(t.dy()) + top * ratio;
    const int y0 = std::max(deviceTop, 0);
    const int y1 = std::min(deviceTop + height, image->height());
    int cellX = deviceX;
    uchar *bits = image->bits();
    const qsizetype stride = image->bytesPerLine();
    for (QChar c : text) {
        const QImage &tile = set->tiles[c.unicode()];
        const int w = tile.width();
        const int from = std::max(cellX, 0);
        const int to = std::min(cellX + w, image->width());
        if (to > from) {
            for (int y = y0; y < y1; ++y) {
                std::memcpy(bits + y * stride + from * 4,
                            tile.constScanLine(y - deviceTop) + (from - cellX) * 4,
                            size_t(to - from) * 4);
            }
        }
        cellX += w;
        if (cellX >= image->width())
            break;
    }
    return true;
}

bool QtTextMeasurer::simpleText(const QString &text) const
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

int QtTextMeasurer::width(const QString &text) const
{
    if (simpleText(text)) {
        int w = 0;
        for (QChar c : text)
            w += m_advance[c.unicode()];
        return w;
    }
    return m_metrics.horizontalAdvance(text);
}

bool QtTextMeasurer::extents(const QString &text, std::vector<int> &extents) const
{
    extents.resize(size_t(text.size()));
    if (simpleText(text)) {
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
