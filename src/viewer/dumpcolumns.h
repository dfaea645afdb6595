#pragma once

#include <QtGlobal>

// The hex cells of the last dump drawing, shared by all its rows, and the
// edge of the character column: hit testing left of a row's characters.
class DumpColumns final
{
public:
    static constexpr int maxColumns = 64;

    void clear();
    // columnCount is kept at most MaxColumns; an index outside it stores no cell.
    void setColumn(int index, int x, int cellWidth, int columnCount);
    void setTextColumn(int x) { m_textColumn = x; }

    // The boundary a point at x gives in a row whose bytes are [rowPos,
    // rowEnd): the one after the last cell whose middle lies at or left of x,
    // never past the row's end (the last row may be short). -1 when x is
    // right of the hex area or left of the middle of the first cell.
    qint64 posAt(int x, qint64 rowPos, qint64 rowEnd, int charSize) const;

private:
    int m_columnX[maxColumns] = {};
    int m_columnCount = 0;
    int m_cellWidth = 0;
    int m_textColumn = 0;
};
