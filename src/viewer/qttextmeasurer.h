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

    int Width(const QString &text) const override;
    bool Extents(const QString &text, std::vector<int> &extents) const override;
    int CellHeight() const override { return m_metrics.height(); }
    int Ascent() const { return m_metrics.ascent(); }
    const QFont &Font() const { return m_font; }
    const QFontMetrics &Metrics() const { return m_metrics; }
    bool FixedPitch() const { return m_fixedPitch; }

    // Draws text whose glyphs need no shaping straight as a glyph run, at the
    // very advances Extents reports; false (nothing drawn) for other text.
    // An opaque background is filled over the text's own cells only.
    bool DrawSimple(QPainter &painter, int x, int top, const QString &text, bool opaque) const;

private:
    // Each character drawn once on its cell's background, as the glyph run
    // would draw it, for one pair of colours at one pixel density.
    struct CellTiles
    {
        QRgb Fore = 0;
        QRgb Back = 0;
        int Ratio = 1;
        QImage::Format Format = QImage::Format_Invalid;
        QPainter::RenderHints Hints;
        std::vector<QImage> Tiles; // null: not made yet
    };

    bool SimpleText(const QString &text) const;
    // The text copied cell by cell from ready-drawn tiles, which gives the very
    // pixels of a glyph run on a filled background as long as no glyph inks
    // outside its cell; false (nothing drawn) where that cannot be shown.
    bool DrawFromTiles(QPainter &painter, int x, int top, const QString &text) const;
    // The character drawn in the middle of a canvas with a margin of a full
    // cell around it; the cell is at (margin, margin) in logical pixels.
    QImage DrawAlone(QChar c, QRgb fore, QRgb back, int ratio, QImage::Format format,
                     QPainter::RenderHints hints, int margin) const;
    // Whether a character's ink stays within its cell at this density.
    bool InkInCell(QChar c, int ratio, QImage::Format format, QPainter::RenderHints hints) const;

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
