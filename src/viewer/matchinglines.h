#pragma once

#include "viewer/matchedlines.h"
#include "viewer/quickmatcher.h"
#include "text/encoding.h"

#include <functional>
#include <stop_token>

// Which lines the matching-lines pane lists: those holding a match of the
// quick find text (as the bar's search finds them: plain or regular
// expression, letter case, whole words), or with invert those holding none.
struct LineFilter
{
    QuickMatcher::Pattern pattern;
    Encoding encoding; // as the bytes are shown: UTF-16 in the Unicode modes
    bool invert = false;
    bool operator==(const LineFilter &) const = default;
};

// Finds the lines of a source that pass a LineFilter, from a line start
// to the end, in blocks read in order; a line longer than a block is read
// as often as it takes, never held whole. Lines end at LF, CR or CR LF.
class MatchingLinesScanner final
{
public:
    static constexpr qint64 kBlockBytes = qint64(4) << 20;
    // The first block is small, so the first lines come at once.
    static constexpr qint64 kFirstBlockBytes = qint64(64) << 10;

    struct Result
    {
        enum class Status { Done, Cancelled, Failed };
        Status status = Status::Done;
        // Where a scan of appended bytes goes on: the start of a last line
        // that has no break yet, else the size scanned.
        qint64 resumeAt = 0;
        // That last line, when it passes.
        MatchedLinesSource::Tail tail;
    };
    // start, and length with the line break.
    using LineSink = std::function<void(qint64 start, qint64 length)>;
    // After each block: the bytes done so far.
    using BlockDone = std::function<void(qint64 position)>;

    MatchingLinesScanner(FileSource &source, LineFilter filter);
    ~MatchingLinesScanner();
    MatchingLinesScanner(const MatchingLinesScanner &) = delete;
    MatchingLinesScanner &operator=(const MatchingLinesScanner &) = delete;

    // Whether the text can be looked for at all (a regular expression that
    // does not compile cannot).
    bool usable() const;
    // Blocks of other sizes than the program's, at least 4 bytes, so that
    // tests reach their borders with small logs.
    void setBlockBytes(qint64 first, qint64 rest);
    // Scans [from, size) of the source; from must start a line.
    Result scan(qint64 from, const LineSink &sink, std::stop_token stop = {},
                const BlockDone &blockDone = {});

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};
