#pragma once

#include "viewer/linecount.h"

#include <QtGlobal>

#include <array>
#include <functional>
#include <stop_token>
#include <vector>

class FileSource;

// Exact line numbers anywhere in a file of any size, from a sparse index: a
// checkpoint (the offset of a line start, its number) about every spacing
// bytes. A number is the checkpoint at or before a position plus the breaks
// read between them, at most spacing bytes: consecutive checkpoints are the
// first line start at least spacing bytes past the one before, so every line
// start lies within spacing bytes of its checkpoint.
//
// Breaks are counted as LineStarts counts them (CR, LF, CR LF; in UTF-16 only
// units of value 13 or 10), and, as there, a number is never wrong, only
// missing: the index knows the line starts before indexedSize() and nothing
// at or after it, so a CR at the end waits for its next unit.
//
// Building extends the index from where it ended, in blocks, looking at stop
// between them; it can run on a worker thread on a copy and be handed back.
// Lookups read through the caller's source and keep the last answer, so the
// successive line starts of a screen each read one line: an instance is used
// by one thread at a time.
class LineIndex
{
public:
    static constexpr qint64 defaultSpacing = qint64(64) * 1024;
    static constexpr int defaultBlockSize = 1 << 20;

    enum class BuildResult {
        Complete, // indexed up to the size asked for
        Stopped,  // stop was requested; what was indexed so far holds
        Changed,  // the bytes indexed before are no longer there: emptied
        Failed,   // a read failed or the build threw; what was indexed holds
    };

    // A line start: its offset and its number.
    struct Start
    {
        qint64 offset = 0;
        qint64 line = 1;
    };

    // Where a line starts, counted forward from a start known (a checkpoint,
    // a start the caller holds) through [from.offset, to) in blocks, by the
    // very counting that builds the index.
    struct Located
    {
        enum class Status {
            Found,     // at: the start of the line asked for
            Ended,     // the line starts at to or later; at: the last start before
            Failed,    // a read failed; at: the last start seen
            Cancelled, // at: the last start seen
        };
        Status status = Status::Failed;
        Start at;
    };
    // Told the offset reached after each block.
    using Progress = std::function<void(qint64 reached)>;
    static Located locate(const FileSource &source, LineCountUnit unit, Start from, qint64 number,
                          qint64 to, std::stop_token stop = {}, const Progress &progress = {},
                          int blockSize = defaultBlockSize);

    explicit LineIndex(LineCountUnit unit = LineCountUnit::Byte, qint64 spacing = defaultSpacing);

    LineCountUnit unit() const { return m_unit; }
    // The bytes indexed from offset 0 (a whole number of characters).
    qint64 indexedSize() const { return m_end; }
    // The number of the line holding the last indexed byte (1 when empty).
    qint64 lastLine() const { return m_lines; }
    // The memory the index holds, for its bound.
    qint64 memoryBytes() const;
    void clear();

    // Indexes [indexedSize(), size) of source. First checks that the last
    // bytes indexed still read the same, so a file rewritten since (a
    // rotation, a truncation that grew back) is never extended: Changed.
    // A file shorter than size under the build is Changed as well.
    BuildResult extend(const FileSource &source, qint64 size, std::stop_token stop = {},
                       int blockSize = defaultBlockSize);

    // The number of the line holding pos (counted from 1); 0 when pos is not
    // indexed or the read fails.
    qint64 lineNumberAt(const FileSource &source, qint64 pos) const;
    // The offset where line number starts; -1 when it is not indexed or the
    // read fails.
    qint64 lineStartOf(const FileSource &source, qint64 number) const;
    // The last checkpoint at or before line number: where counting towards
    // it can begin.
    Start checkpointAtOrBefore(qint64 number) const;

private:
    using Checkpoint = Start;
    BuildResult build(const FileSource &source, qint64 size, std::stop_token stop, int blockSize);
    bool tailStillThere(const FileSource &source) const;
    void keepTail(const char *data, qint64 n);
    // The checkpoint at or before pos.
    std::vector<Checkpoint>::const_iterator checkpointBefore(qint64 pos) const;

    LineCountUnit m_unit;
    qint64 m_spacing;
    qint64 m_charSize;
    std::vector<Checkpoint> m_checkpoints; // the first is {0, 1}
    qint64 m_end = 0;
    qint64 m_lines = 1;
    // The last bytes indexed, to see that an extension continues them.
    std::array<char, 16> m_tail{};
    qint64 m_tailSize = 0;
    mutable Checkpoint m_lastAnswer{0, 1};
};
