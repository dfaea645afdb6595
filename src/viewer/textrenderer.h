#pragma once

#include "viewer/linedecoration.h"
#include "viewer/textlayout.h"
#include "viewer/viewtypes.h"

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>
#include <memory>

class QPainter;
class QtTextMeasurer;
class DrawnLines;

struct DrawColors
{
    QColor background;
    QColor text;
    QColor error;
    QColor url;
    // Dump modes: hex digits of the first and second pair of each group of
    // four, the hex area and the separators.
    QColor hex;
    QColor hex2;
    QColor hexBack;
    QColor lines;
};

// What the gutter shows beside each line start.
struct GutterSetup
{
    bool numbers = false;                     // numbers where known, else circles only
    int step = 5;                             // every Step-th line gets its number
    std::function<qint64(qint64)> lineNumber; // 0: no number known
    std::function<QString(qint64)> label;     // set: every line start shows it instead
    std::shared_ptr<const QtTextMeasurer> font;
    QColor fontColor;
};

// Everything one drawing needs besides its lines. The renderer reads only
// this, so the same layout draws onto the screen bitmap, a printer page or a
// preview, and drawing never changes the viewer it came from.
struct RenderSetup
{
    std::shared_ptr<const QtTextMeasurer> measurer;
    QSize size; // logical pixels
    int lineHeight = 8;
    int textLeft = 2;
    int hViewPos = 0;
    bool gutter = false;
    int gutterWidth = 10;
    QColor gutterColor;
    GutterSetup gutterCells;
    DrawColors colors;
    OutputOptions options; // ShowEol is set per line
    int charSize = 1;
    bool printing = false;
    LineDecorators decorators;
    // Raised before a line is drawn (set done to take it over) and after.
    std::function<void(QPainter &painter, const QString &str, const QString &strAll,
                       const QRect &rect, const QPoint &textPoint, bool &done)>
        beforeLine;
    std::function<void(QPainter &painter, const QString &str, const QPoint &point,
                       const OutputOptions &options)>
        afterLine;

    // Rewrites each string the dump modes show (an offset, a hex cell, a
    // row's characters) before it is drawn and recorded; empty: as it is.
    // A rewrite keeps the number of characters, so cells and hit testing
    // stay where they are.
    std::function<QString(const QString &text)> dumpText;

    // Whether the layout must carry logical lines for this drawing.
    bool needsLogicalLines() const { return !decorators.empty() || (!printing && beforeLine); }
};

class TextRenderer
{
public:
    explicit TextRenderer(const RenderSetup &setup) : m_s(setup) {}

    // The background and the gutter strip.
    void drawBackground(QPainter &painter) const;
    // The laid-out lines; records what it drew into positions when given.
    void drawLines(QPainter &painter, const TextLayout &layout, DrawnLines *positions) const;
    // A message centred in the area, in the given colour.
    void drawMessage(QPainter &painter, const QString &text, const QColor &color) const;
    // One run of text at (x, y) in the painter's pen on its background.
    void outputText(QPainter &painter, int x, int y, const QString &text,
                    const OutputOptions &options) const;

    // The marks of a decoration that fall on one drawn run of text.
    void drawMarks(QPainter &painter, const LineDecoration &decoration, qint64 pos, int x, int y,
                   const QString &text, const std::vector<int> &offsets) const;
    // The gutter cell of a text line at y: a number or a circle for a line
    // start, empty for a continued line.
    void drawGutterCell(QPainter &painter, int y, qint64 pos, bool lineStart) const;

private:
    const RenderSetup &m_s;
};
