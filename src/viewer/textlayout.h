#pragma once

#include "viewer/linereader.h"

#include <QString>

#include <vector>

class ViewDocument;

// One logical line of the file as far as the viewer shows it around a
// position: up to LookAround characters either way, never outside the read
// window.
struct LogicalLine
{
    QString text;
    qint64 pos = 0; // file offset of the first character of Text
    int charSize = 1;
    // Per character of Text its first unit from Pos; one extra entry: the
    // units of Text. Maps every character back to its exact bytes.
    std::vector<int> offsets;
};

// A screen line placed by the layout.
struct LaidLine
{
    qint64 pos = 0;
    ScreenLine line;
    bool eolFollows = false;
    bool LineStart = false;
    int logical = -1; // index into TextLayout::Logical, -1 when not built
};

// The screen lines of one drawing, and the logical lines they belong to.
struct TextLayout
{
    std::vector<LaidLine> lines;
    std::vector<LogicalLine> logical;
    qint64 viewPageSize = 0;
    bool viewAtEnd = false;
};

struct LayoutRequest
{
    qint64 viewPos = 0;
    int visibleLines = 0;      // fully visible; one more, partly visible, is laid out
    qint64 limitPos = -1;      // -1: none
    bool logicalLines = false; // also build the logical line of every screen line
};

inline constexpr int lookAround = 8192;

// Lays out the screen lines from ViewPos. Each logical line is decoded once,
// however many screen lines it spans, as long as they share its text.
TextLayout layOutText(const ViewDocument &document, const WrapContext &wrap,
                      const LayoutRequest &request);
