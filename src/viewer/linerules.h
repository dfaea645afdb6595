#pragma once

#include "viewer/textformat.h"
#include "viewer/viewtypes.h"

#include <QString>

#include <vector>

class TextMeasurer;

// How screen lines are cut at the window edge when word wrap is on.
struct WrapContext
{
    bool wrap = false;
    int availableWidth = 0;
    const TextMeasurer *measurer = nullptr;
    OutputOptions options;
};

// One screen line read forward from a position.
struct ScreenLine
{
    int count = 0; // characters consumed (a trimmed blank included)
    QString text;  // display string, decoded
    std::vector<int>
        offsets;         // per character of Text: its first unit; one extra entry: units of Text
    qint64 nextPos = -1; // start of the following screen line, -1 at the end of the data
};

// The screen-line rules of the text modes, written once: a logical line ends
// at LF, CR or CR LF; it is cut into rows of at most MaxLength characters
// (never inside a character) and, with word wrap, at the window edge. Where
// the units come from is left to the subclass: the display window of a
// viewer, or blocks of the file read on demand by a worker.
class LineRules
{
public:
    virtual ~LineRules() = default;

    // Reads the screen line starting at position (with its text).
    ScreenLine readForward(qint64 position) const;
    // The count of one screen line read from position in the direction.
    // Backward it counts from the row start to position, inclusive.
    int readLineCount(qint64 position, bool forward) const;
    // Start of the next (or previous) screen line, or -1.
    qint64 nextLineStart(qint64 position, bool forward, bool stayAtStart) const;
    // The position after a line of count characters starting at position,
    // its line break skipped; -1 outside the readable range.
    qint64 afterLine(qint64 position, int count) const;
    // Whether position starts a logical line.
    bool isLineStart(qint64 position) const;

    const WrapContext &wrap() const { return m_wrap; }

protected:
    LineRules(const TextFormat &format, const WrapContext &wrap) : m_format(format), m_wrap(wrap) {}
    LineRules(const LineRules &) = default;
    LineRules &operator=(const LineRules &) = default;

    // Outside what can be read: before 0, past MaxPos, or outside the window.
    virtual bool isOut(qint64 position) const = 0;
    // The displayable unit at a position that is not out.
    virtual char16_t unitAt(qint64 position) const = 0;
    virtual qint64 lastPos() const = 0;  // MaxPos of the data
    virtual qint64 dataSize() const = 0; // size of the data in bytes

    const TextFormat &format() const { return m_format; }

private:
    char16_t charAt(qint64 position) const;
    qint64 alignDown(qint64 position) const
    {
        return m_format.isUnicodeMode() ? position & ~qint64(1) : position;
    }
    // Units of one row from position, forward (cut at a whole character) or
    // backward (in file order), without the wrap cut.
    int collect(qint64 position, bool forward, std::vector<char16_t> &units) const;
    // Applies the word-wrap cut; returns the new count of units and trims.
    int wrapCut(const std::vector<char16_t> &units, int count, QString *text,
                std::vector<int> *offsets) const;
    int forwardCount(qint64 position) const;
    bool stepBackOverPreviousLine(qint64 &q) const;

    TextFormat m_format;
    WrapContext m_wrap;
};
