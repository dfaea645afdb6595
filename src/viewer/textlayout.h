#pragma once

#include "viewer/linereader.h"

#include <QString>

#include <vector>

class ViewDocument;

// One logical line of the file as far as the viewer shows it around a
// position: up to LookAround characters either way, never outside the read
// window.
struct TQzLogicalLine
{
    QString Text;
    qint64 Pos = 0; // file offset of the first character of Text
    int CharSize = 1;
    // Per character of Text its first unit from Pos; one extra entry: the
    // units of Text. Maps every character back to its exact bytes.
    std::vector<int> Offsets;
};

// A screen line placed by the layout.
struct TQzLaidLine
{
    qint64 Pos = 0;
    ScreenLine Line;
    bool EolFollows = false;
    bool LineStart = false;
    int Logical = -1; // index into TQzTextLayout::Logical, -1 when not built
};

// The screen lines of one drawing, and the logical lines they belong to.
struct TQzTextLayout
{
    std::vector<TQzLaidLine> Lines;
    std::vector<TQzLogicalLine> Logical;
    qint64 ViewPageSize = 0;
    bool ViewAtEnd = false;
};

struct TQzLayoutRequest
{
    qint64 ViewPos = 0;
    int VisibleLines = 0;      // fully visible; one more, partly visible, is laid out
    qint64 LimitPos = -1;      // -1: none
    bool LogicalLines = false; // also build the logical line of every screen line
};

inline constexpr int LookAround = 8192;

// Lays out the screen lines from ViewPos. Each logical line is decoded once,
// however many screen lines it spans, as long as they share its text.
TQzTextLayout LayOutText(const ViewDocument &document, const WrapContext &wrap,
                         const TQzLayoutRequest &request);
