#pragma once

#include "viewer/textmeasurer.h"

#include <QFont>
#include <QFontMetrics>

#include <QImage>
#include <QPainter>
#include <QRawFont>

#include <array>
#include <memory>
#include <vector>

// Measures with a real Qt font. Fixed-pitch fonts take a per-character
// advance table; proportional text goes through QTextLayout so that kerning
// matches what QPainter draws.
class QtTextMeasurer final : public TextMeasurer
{
public:
    explicit QtTextMeasurer(const QFont &font);

    int width(const QString &text) const override;
    bool extents(const QString &text, std::vector<int> &extents) const override;
    int cellHeight() const override { return m_metrics.height(); }
    int ascent() const { return m_metrics.ascent(); }
    const QFont &font() const { return m_font; }
    const QFontMetrics &metrics() const { return m_metrics; }
    bool fixedPitch() const { return m_fixedPitch; }

    // Draws text whose glyphs need no shaping straight as a glyph run, at the
    // very advances Extents reports; false (nothing drawn) for other text.
    // An opaque background is filled over the text's own cells only.
    bool drawSimple(QPainter &painter, int x, int top, const QString &text, bool opaque) const;

private:
    // Each character drawn once on its cell's background, as the glyph run
    // would draw it, for one pair of colours at one pixel density.
    struct CellTiles
    {
        QRgb fore = 0;
        QRgb back = 0;
        int ratio = 1;
        QImage::Format format = QImage::Format_Invalid;
        QPainter::RenderHints hints;
        std::vector<QImage> tiles; // null: not made yet
    };

    bool simpleText(const QString &text) const;
    // The text copied cell by cell from ready-drawn tiles, which gives the very
    // pixels of a glyph run on a filled background as long as no glyph inks
    // outside its cell; false (nothing drawn) where that cannot be shown.
    bool drawFromTiles(QPainter &painter, int x, int top, const QString &text) const;
    // The character drawn in the middle of a canvas with a margin of a full
    // cell around it; the cell is at (margin, margin) in logical pixels.
    QImage drawAlone(QChar c, QRgb fore, QRgb back, int ratio, QImage::Format format,
                     QPainter::RenderHints hints, int margin) const;
    // Whether a character's ink stays within its cell at this density.
    bool inkInCell(QChar c, int ratio, QImage::Format format, QPainter::RenderHints hints) const;

    QFont m_font;
    QFontMetrics m_metrics;
    bool m_fixedPitch = false;
    std::array<int, 0x300> m_advance{};
    QRawFont m_rawFont;
    std::array<quint32, 0x300> m_glyph{};
    bool m_glyphsUsable = false;
    // Per density: 0 not known, 1 ink stays in the cell, -1 it does not.
    mutable std::vector<std::pair<int, std::array<qint8, 0x300>>> m_inCell;
    mutable std::vector<CellTiles> m_tiles;
};
