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
class TStrPositions;

struct TQzDrawColors
{
    QColor Background;
    QColor Text;
    QColor Error;
    QColor Url;
    // Dump modes: hex digits of the first and second pair of each group of
    // four, the hex area and the separators.
    QColor Hex;
    QColor Hex2;
    QColor HexBack;
    QColor Lines;
};

// What the gutter shows beside each line start.
struct TQzGutterSetup
{
    bool Numbers = false;                  // numbers where known, else circles only
    int Step = 5;                          // every Step-th line gets its number
    std::function<int(qint64)> LineNumber; // 0: no number known
    std::shared_ptr<const QtTextMeasurer> Font;
    QColor FontColor;
};

// Everything one drawing needs besides its lines. The renderer reads only
// this, so the same layout draws onto the screen bitmap, a printer page or a
// preview, and drawing never changes the viewer it came from.
struct TQzRenderSetup
{
    std::shared_ptr<const QtTextMeasurer> Measurer;
    QSize Size; // logical pixels
    int LineHeight = 8;
    int TextLeft = 2;
    int HViewPos = 0;
    bool Gutter = false;
    int GutterWidth = 10;
    QColor GutterColor;
    TQzGutterSetup GutterCells;
    TQzDrawColors Colors;
    TQzBinHexOutputOptions Options; // ShowEol is set per line
    int CharSize = 1;
    bool Printing = false;
    TQzLineDecorators Decorators;
    // Raised before a line is drawn (set done to take it over) and after.
    std::function<void(QPainter &painter, const QString &str, const QString &strAll,
                       const QRect &rect, const QPoint &textPoint, bool &done)>
        BeforeLine;
    std::function<void(QPainter &painter, const QString &str, const QPoint &point,
                       const TQzBinHexOutputOptions &options)>
        AfterLine;

    // Rewrites each string the dump modes show (an offset, a hex cell, a
    // row's characters) before it is drawn and recorded; empty: as it is.
    // A rewrite keeps the number of characters, so cells and hit testing
    // stay where they are.
    std::function<QString(const QString &text)> DumpText;

    // Whether the layout must carry logical lines for this drawing.
    bool NeedsLogicalLines() const { return !Decorators.empty() || (!Printing && BeforeLine); }
};

class TQzTextRenderer
{
public:
    explicit TQzTextRenderer(const TQzRenderSetup &setup) : m_s(setup) {}

    // The background and the gutter strip.
    void DrawBackground(QPainter &painter) const;
    // The laid-out lines; records what it drew into positions when given.
    void DrawLines(QPainter &painter, const TQzTextLayout &layout, TStrPositions *positions) const;
    // A message centred in the area, in the given colour.
    void DrawMessage(QPainter &painter, const QString &text, const QColor &color) const;
    // One run of text at (x, y) in the painter's pen on its background.
    void OutputText(QPainter &painter, int x, int y, const QString &text,
                    const TQzBinHexOutputOptions &options) const;

    // The marks of a decoration that fall on one drawn run of text.
    void DrawMarks(QPainter &painter, const TQzLineDecoration &decoration, qint64 pos, int x, int y,
                   const QString &text, const std::vector<int> &offsets) const;
    // The gutter cell of a text line at y: a number or a circle for a line
    // start, empty for a continued line.
    void DrawGutterCell(QPainter &painter, int y, qint64 pos, bool lineStart) const;

private:
    const TQzRenderSetup &m_s;
};
