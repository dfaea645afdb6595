#pragma once

#include <QtGlobal>

#include <stop_token>
#include <vector>

class FileSource;

// How a line break looks in the counted bytes.
enum class LineCountUnit { Byte, Utf16Little, Utf16Big };

// Whether the unit at `at` (a byte, or two in the unit's order) has value.
inline bool isCountUnit(const char *at, LineCountUnit unit, int value)
{
    const auto *u = reinterpret_cast<const unsigned char *>(at);
    switch (unit) {
    case LineCountUnit::Byte:
        return u[0] == value;
    case LineCountUnit::Utf16Little:
        return u[1] == 0 && u[0] == value;
    case LineCountUnit::Utf16Big:
        return u[0] == 0 && u[1] == value;
    }
    return false;
}

// The starts of the first lines of a file, counted from offset 0 over a
// bounded range, for the numbers in the gutter. Line 1 starts at 0 and is not
// stored; entry i is where line i + 2 starts. CR, LF and CR LF each end a
// line (CR LF once); in UTF-16 only a unit of value 13 or 10 does.
//
// A number is never wrong, only missing: a break whose next line would start
// at the end of the counted bytes stores nothing, because the bytes read so
// far cannot tell whether the file ends there, a CR is the first half of a
// CR LF still being written, or the break is followed by more text. Lines past
// the counted range or past the table's capacity have no number (0).
//
// Counting reads through a FileSource of its own in blocks and looks at stop
// between them, so it can run on a worker thread; the result is a plain value
// to hand back to the view.
class LineStarts
{
public:
    // Limits and defaults of the settings that bound the count.
    static constexpr int countMin = 10;
    static constexpr int countMax = 100000;
    static constexpr int countDefault = 2000;
    static constexpr qint64 bufSizeMin = 1024;
    static constexpr qint64 bufSizeMax = 20971520;
    static constexpr qint64 bufSizeDefault = 307200;
    static constexpr int defaultBlockSize = 1 << 18;

    // The bytes to count after the display window [bufferPos, bufferPos +
    // bufferSize) was read, for a limit of bufSize bytes (clamped to its
    // range): the window's end, at most the limit. -1 when the window starts
    // beyond the limit: the table is then not rebuilt and keeps its content.
    static qint64 rangeFor(qint64 bufferPos, qint64 bufferSize, qint64 bufSize);

    // Rebuilds the table from the first size bytes of source (fewer when the
    // file is shorter). size is clamped to BufSizeMax and maxCount to
    // [CountMin, CountMax]; at most maxCount - 1 starts are kept, as line 1
    // needs no entry. blockSize is the read grain (rounded up to whole
    // characters). False, with an empty table, when a read fails, stop is
    // requested or the count throws (reported through the general error
    // message, never passed on).
    bool countLines(const FileSource &source, qint64 size, LineCountUnit unit,
                    int maxCount = countDefault, std::stop_token stop = {},
                    int blockSize = defaultBlockSize);

    // The number of the line starting at pos: 1 at 0, else 2 + the index of
    // the stored start equal to pos; 0 (no number) when none is.
    int lineNumber(qint64 pos) const;

    int lineStartCount() const { return int(m_starts.size()); }
    const std::vector<qint32> &starts() const { return m_starts; }
    // The bytes the last count looked at (a whole number of characters).
    qint64 countedSize() const { return m_counted; }
    void clear();

private:
    bool count(const FileSource &source, qint64 size, LineCountUnit unit, int maxCount,
               std::stop_token stop, int blockSize);

    std::vector<qint32> m_starts;
    qint64 m_counted = 0;
};
