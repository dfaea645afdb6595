#include "viewer/dumpcolumns.h"

#include <algorithm>

void DumpColumns::clear()
{
    *this = DumpColumns();
}

void DumpColumns::setColumn(int index, int x, int cellWidth, int columnCount)
{
    m_columnCount = std::clamp(columnCount, 0, maxColumns);
    m_cellWidth = cellWidth;
    if (index >= 0 && index < maxColumns)
        m_columnX[index] = x;
}

qint64 DumpColumns::posAt(int x, qint64 rowPos, qint64 rowEnd, int charSize) const
{
    if (m_columnCount <= 0 || m_textColumn <= 0 || x > m_textColumn)
        return -1;
    for (int i = m_columnCount - 1; i >= 0; --i) {
        if (m_columnX[i] + m_cellWidth / 2 <= x)
            return std::min(rowPos + qint64(i + 1) * charSize, rowEnd);
    }
    return -1;
}
