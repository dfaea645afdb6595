#include "viewer/strpositions.h"

#include "viewer/outputprep.h"
#include "viewer/textmeasurer.h"

#include <algorithm>

void TStrPositions::Clear(int charSize)
{
    m_lines.clear();
    m_charSize = charSize;
    m_dump.Clear();
}

void TStrPositions::Add(const QString &str, int x, qint64 pos, int y, std::vector<int> offsets)
{
    if (int(m_lines.size()) >= MaxLines)
        return;
    if (offsets.size() != size_t(str.size()) + 1) {
        offsets.resize(size_t(str.size()) + 1);
        for (size_t i = 0; i < offsets.size(); ++i)
            offsets[i] = int(i);
    }
    m_lines.push_back({str, x, y, pos, std::move(offsets)});
}

qint64 TStrPositions::UnitOffset(const Line &line, int charIndex) const
{
    return line.Pos + qint64(line.Offsets[size_t(charIndex)]) * m_charSize;
}

qint64 TStrPositions::LineEnd(const Line &line) const
{
    return UnitOffset(line, int(line.Str.size()));
}

qint64 TStrPositions::PosFromCoord(int x, int y, bool strict) const
{
    if (m_lines.empty() || !m_measurer)
        return -1;
    const int rowHeight = m_measurer->CellHeight();
    if (y < m_lines.front().Y)
        return strict ? -1 : m_lines.front().Pos;
    const Line *found = nullptr;
    for (const Line &line : m_lines) {
        if (line.Y <= y && y < line.Y + rowHeight) {
            found = &line;
            break;
        }
    }
    if (!found)
        return strict ? -1 : LineEnd(m_lines.back());
    const Line &line = *found;
    if (x > line.X) {
        std::vector<int> edges;
        if (!CharEdges(line.Str, m_options, *m_measurer, edges))
            return strict ? -1 : line.Pos;
        const int n = int(edges.size()) - 1;
        for (int i = 1; i <= n; ++i) {
            if (x < line.X + (edges[size_t(i - 1)] + edges[size_t(i)]) / 2)
                return UnitOffset(line, i - 1);
        }
        if (strict) {
            // A hit on the right half of the last character still counts.
            if (n > 0 && x < line.X + edges[size_t(n)])
                return LineEnd(line);
            return -1;
        }
        return LineEnd(line);
    }
    if (const qint64 cell = m_dump.PosAt(x, line.Pos, LineEnd(line), m_charSize); cell >= 0)
        return cell;
    return strict ? -1 : line.Pos;
}

bool TStrPositions::CoordFromPos(qint64 p, QPoint *point) const
{
    if (point)
        *point = QPoint(0, 0);
    if (!m_measurer)
        return false;
    for (const Line &line : m_lines) {
        if (p < line.Pos || p >= LineEnd(line))
            continue;
        std::vector<int> edges;
        if (!CharEdges(line.Str, m_options, *m_measurer, edges))
            continue;
        // The character holding p.
        const qint64 unit = (p - line.Pos) / m_charSize;
        const auto it = std::upper_bound(line.Offsets.begin(), line.Offsets.end() - 1, int(unit));
        const size_t index =
            std::min<size_t>(size_t(it - line.Offsets.begin()) - 1, edges.size() - 1);
        if (point)
            *point = QPoint(line.X + edges[index], line.Y);
        return true;
    }
    return false;
}

int TStrPositions::MaxRight() const
{
    if (!m_measurer)
        return 0;
    int right = 0;
    for (const Line &line : m_lines)
        right = std::max(right, line.X + m_measurer->Width(PrepareOutput(line.Str, m_options)));
    return right;
}
