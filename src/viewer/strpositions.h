#pragma once

#include "viewer/dumpcolumns.h"
#include "viewer/viewtypes.h"

#include <QPoint>
#include <QString>

#include <memory>
#include <vector>

class TextMeasurer;

// The record of the lines drawn by the last screen repaint: the map from the
// visible pixels to file positions and back.
class TStrPositions final
{
public:
    struct Line
    {
        QString Str; // text as drawn, before tab expansion and markers
        int X = 0;   // already reduced by the horizontal scroll
        int Y = 0;
        qint64 Pos = 0;           // file offset of the first character
        std::vector<int> Offsets; // per character its first unit, plus one: units of Str
        // Character edges as drawn, measured at the first hit test.
        mutable std::vector<int> Edges;
        mutable bool EdgesMeasured = false;
    };

    static constexpr int MaxLines = MaxScreenLines;
    static constexpr int MaxColumns = TQzDumpColumns::MaxColumns;

    void Clear(int charSize);
    // Offsets may be empty: every character is then one unit.
    void Add(const QString &str, int x, qint64 pos, int y, std::vector<int> offsets = {});
    // The dump modes' hex cells (dumpcolumns.h).
    void SetColumn(int index, int x, int cellWidth, int columnCount)
    {
        m_dump.SetColumn(index, x, cellWidth, columnCount);
    }
    void SetTextColumn(int x) { m_dump.SetTextColumn(x); }

    // Measuring context of the last drawing; held, so that a later drawing
    // with another font cannot pull it away.
    void SetMeasuring(std::shared_ptr<const TextMeasurer> measurer,
                      const TQzBinHexOutputOptions &options)
    {
        m_measurer = std::move(measurer);
        m_options = options;
        m_options.ShowEol = false;
        for (const Line &line : m_lines)
            line.EdgesMeasured = false;
    }

    qint64 PosFromCoord(int x, int y, bool strict) const;
    bool CoordFromPos(qint64 p, QPoint *point) const;
    int MaxRight() const;

    int Count() const { return int(m_lines.size()); }
    const Line &At(int i) const { return m_lines[size_t(i)]; }
    int CharSize() const { return m_charSize; }

private:
    qint64 UnitOffset(const Line &line, int charIndex) const;
    // Null when the font cannot measure the line.
    const std::vector<int> *EdgesOf(const Line &line) const;
    qint64 LineEnd(const Line &line) const;

    std::vector<Line> m_lines;
    int m_charSize = 1;
    TQzDumpColumns m_dump;
    std::shared_ptr<const TextMeasurer> m_measurer;
    TQzBinHexOutputOptions m_options;
};
