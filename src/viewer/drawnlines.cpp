#include "viewer/drawnlines.h"

#include "viewer/outputprep.h"
#include "viewer/textmeasurer.h"

#include <algorithm>

void DrawnLines::clear(int charSize)
{
    m_lines.clear();
    m_charSize = charSize;
    m_dump.clear();
}

void DrawnLines::add(const QString &str, int x, qint64 pos, int y, std::vector<int> offsets)
{
    if (int(m_lines.size()) >= maxLines)
        return;
    if (offsets.size() != size_t(str.size()) + 1) {
        offsets.resize(size_t(str.size()) + 1);
        for (size_t i = 0; i < offsets.size(); ++i)
            offsets[i] = int(i);
    }
    m_lines.push_back({str, x, y, pos, std::move(offsets), {}, false});
}

qint64 DrawnLines::unitOffset(const Line &line, int charIndex) const
{
    return line.pos + qint64(line.offsets[size_t(charIndex)]) * m_charSize;
}

qint64 DrawnLines::lineEnd(const Line &line) const
{
    return unitOffset(line, int(line.str.size()));
}

const std::vector<int> *DrawnLines::edgesOf(const Line &line) const
{
    // Measured once per drawing: a drag hit-tests the same lines many times.
    if (!line.edgesMeasured) {
        line.edgesMeasured = true;
        if (!charEdges(line.str, m_options, *m_measurer, line.edges))
            line.edges.clear();
    }
    return line.edges.empty() ? nullptr : &line.edges;
}

qint64 DrawnLines::posFromCoord(int x, int y, bool strict) const
{
    if (m_lines.empty() || !m_measurer)
        return -1;
    const int rowHeight = m_measurer->cellHeight();
    if (y < m_lines.front().Y)
        return strict ? -1 : m_lines.front().pos;
    const Line *found = nullptr;
    for (const Line &line : m_lines) {
        if (line.Y <= y && y < line.Y + rowHeight) {
            found = &line;
            break;
        }
    }
    if (!found)
        return strict ? -1 : lineEnd(m_lines.back());
    const Line &line = *found;
    if (x > line.X) {
        const std::vector<int> *edges = edgesOf(line);
        if (!edges)
            return strict ? -1 : line.pos;
        const std::vector<int> &e = *edges;
        const int n = int(e.size()) - 1;
        // Characters that share their first unit (the halves of a surrogate
        // pair, a rewrite's expansion of one byte) are one character of the
        // file: the pointer picks the nearer edge of the whole group.
        for (int i = 0; i < n;) {
            int j = i + 1;
            while (j < n && line.offsets[size_t(j)] == line.offsets[size_t(i)])
                ++j;
            if (x < line.X + (e[size_t(i)] + e[size_t(j)]) / 2)
                return unitOffset(line, i);
            i = j;
        }
        if (strict) {
            // A hit on the right half of the last character still counts.
            if (n > 0 && x < line.X + e[size_t(n)])
                return unitOffset(line, n);
            return -1;
        }
        return lineEnd(line);
    }
    if (const qint64 cell = m_dump.posAt(x, line.pos, lineEnd(line), m_charSize); cell >= 0)
        return cell;
    return strict ? -1 : line.pos;
}

bool DrawnLines::coordFromPos(qint64 p, QPoint *point) const
{
    if (point)
        *point = QPoint(0, 0);
    if (!m_measurer)
        return false;
    for (const Line &line : m_lines) {
        if (p < line.pos || p >= lineEnd(line))
            continue;
        const std::vector<int> *edges = edgesOf(line);
        if (!edges)
            continue;
        // The first character of the group that holds p.
        const qint64 unit = (p - line.pos) / m_charSize;
        const auto it = std::upper_bound(line.offsets.begin(), line.offsets.end() - 1, int(unit));
        size_t index = size_t(it - line.offsets.begin()) - 1;
        while (index > 0 && line.offsets[index - 1] == line.offsets[index])
            --index;
        index = std::min(index, edges->size() - 1);
        if (point)
            *point = QPoint(line.X + (*edges)[index], line.Y);
        return true;
    }
    return false;
}

int DrawnLines::maxRight() const
{
    if (!m_measurer)
        return 0;
    int right = 0;
    for (const Line &line : m_lines)
        right = std::max(right, line.X + m_measurer->width(prepareOutput(line.str, m_options)));
    return right;
}
