#pragma once

#include "viewer/dumplayout.h"
#include "viewer/textrenderer.h"

class QPainter;
class DrawnLines;

// Draws the rows of the dump modes with the text renderer's setup: offsets,
// hex cells on their background, separators and the character column, with
// addresses and the selection over the characters and the selection over
// the cells. Records the rows, their cells and the character column.
class DumpRenderer
{
public:
    DumpRenderer(const RenderSetup &setup, int charWidth)
        : m_s(setup), m_text(setup), m_charWidth(charWidth)
    {}

    void drawRows(QPainter &painter, const DumpLayout &layout, DrawnLines *positions) const;

private:
    // Every string a dump row shows passes through here before it is drawn,
    // so that a rewrite of shown text acts on offsets, cells and characters
    // alike.
    QString shown(const QString &text) const;
    void output(QPainter &painter, int x, int y, const QString &shown) const;

    const RenderSetup &m_s;
    TextRenderer m_text;
    int m_charWidth;
};
