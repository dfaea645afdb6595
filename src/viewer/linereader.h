#pragma once

#include "viewer/viewtypes.h"

#include <QString>

#include <vector>

class TextMeasurer;
class ViewDocument;

// How screen lines are cut at the window edge when word wrap is on.
struct WrapContext
{
    bool Wrap = false;
    int AvailableWidth = 0;
    const TextMeasurer *Measurer = nullptr;
    TQzBinHexOutputOptions Options;
};

// One screen line read forward from a position.
struct ScreenLine
{
    int Count = 0; // characters consumed (a trimmed blank included)
    QString Text;  // display string, decoded
    std::vector<int>
        Offsets;         // per character of Text: its first unit; one extra entry: units of Text
    qint64 NextPos = -1; // start of the following screen line, -1 at the end of the data
};

// Finds screen lines around a position without any index of the file: it
// only reads characters inside the document's current window and gives up at
// its edge.
class LineReader final
{
public:
    LineReader(const ViewDocument &document, const WrapContext &wrap)
        : m_doc(document), m_wrap(wrap)
    {}

    // Reads the screen line starting at position (with its text).
    ScreenLine ReadForward(qint64 position) const;
    // The count of one screen line read from position in the direction.
    int ReadLineCount(qint64 position, bool forward) const;
    // Start of the next (or previous) screen line, or -1.
    qint64 NextLineStart(qint64 position, bool forward, bool stayAtStart) const;
    // The position after a line of count characters starting at position,
    // its line break skipped; -1 outside the window.
    qint64 AfterLine(qint64 position, int count) const;
    // Whether position starts a logical line.
    bool IsLineStart(qint64 position) const;

private:
    char16_t CharAt(qint64 position) const;
    // Units of one line from position in a direction, in file order.
    int Collect(qint64 position, bool forward, std::vector<char16_t> &units) const;
    // Applies the word-wrap cut; returns the new count of units and trims.
    int WrapCut(const std::vector<char16_t> &units, int count, QString *text,
                std::vector<int> *offsets) const;
    bool StepBackOverPreviousLine(qint64 &q) const;

    const ViewDocument &m_doc;
    const WrapContext &m_wrap;
};
