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
class DrawnLines final
{
public:
    struct Line
    {
        QString str; // text as drawn, before tab expansion and markers
        int X = 0;   // already reduced by the horizontal scroll
        int Y = 0;
        qint64 pos = 0;           // file offset of the first character
        std::vector<int> offsets; // per character its first unit, plus one: units of Str
        // Character edges as drawn, measured at the first hit test.
        mutable std::vector<int> edges;
        mutable bool edgesMeasured = false;
    };

    static constexpr int maxLines = maxScreenLines;
    static constexpr int maxColumns = DumpColumns::maxColumns;

    void clear(int charSize);
    // Offsets may be empty: every character is then one unit.
    void add(const QString &str, int x, qint64 pos, int y, std::vector<int> offsets = {});
    // The dump modes' hex cells (dumpcolumns.h).
    void setColumn(int index, int x, int cellWidth, int columnCount)
    {
        m_dump.setColumn(index, x, cellWidth, columnCount);
    }
    void setTextColumn(int x) { m_dump.setTextColumn(x); }

    // Measuring context of the last drawing; held, so that a later drawing
    // with another font cannot pull it away.
    void setMeasuring(std::shared_ptr<const TextMeasurer> measurer, const OutputOptions &options)
    {
        m_measurer = std::move(measurer);
        m_options = options;
        m_options.showEol = false;
        for (const Line &line : m_lines)
            line.edgesMeasured = false;
    }

    qint64 posFromCoord(int x, int y, bool strict) const;
    bool coordFromPos(qint64 p, QPoint *point) const;
    int maxRight() const;

    int count() const { return int(m_lines.size()); }
    const Line &at(int i) const { return m_lines[size_t(i)]; }
    int charSize() const { return m_charSize; }

private:
    qint64 unitOffset(const Line &line, int charIndex) const;
    // Null when the font cannot measure the line.
    const std::vector<int> *edgesOf(const Line &line) const;
    qint64 lineEnd(const Line &line) const;

    std::vector<Line> m_lines;
    int m_charSize = 1;
    DumpColumns m_dump;
    std::shared_ptr<const TextMeasurer> m_measurer;
    OutputOptions m_options;
};
