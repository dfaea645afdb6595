#pragma once

#include "viewer/textmeasurer.h"

#include <QFont>
#include <QFontMetrics>

#include <array>
#include <vector>

#include <QRawFont>

class QPainter;

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
    bool SimpleText(const QString &text) const;

    QFont m_font;
    QFontMetrics m_metrics;
    bool m_fixedPitch = false;
    std::array<int, 0x300> m_advance{};
    QRawFont m_rawFont;
    std::array<quint32, 0x300> m_glyph{};
    bool m_glyphsUsable = false;
};
