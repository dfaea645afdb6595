#pragma once

#include "viewer/linerules.h"

#include <stop_token>
#include <vector>

class FileSource;

// The viewer's screen-line rules over a whole FileSource, read in blocks on
// demand: the rows, their texts and their exact byte offsets are the ones
// the viewer shows, found forward and backward anywhere in the data instead
// of only inside the display window. Made for workers (search, filtered
// logs, line counting, printing), each with its own source and scanner on
// its own thread; one instance is not for sharing between threads.
class LineScanner final : public LineRules
{
public:
    static constexpr int defaultBlockSize = 1 << 16;

    // blockSize is rounded up to an even count. A stop ends the scan as if
    // the data ended at the block that was not read.
    LineScanner(const FileSource &source, const TextFormat &format, const WrapContext &wrap = {},
                int blockSize = defaultBlockSize, std::stop_token stop = {});

    // True once a block read failed or was cancelled.
    bool failed() const { return m_failed; }
    qint64 size() const { return m_size; }

protected:
    bool isOut(qint64 position) const override;
    char16_t unitAt(qint64 position) const override;
    qint64 lastPos() const override;
    qint64 dataSize() const override { return m_size; }

private:
    struct Block
    {
        qint64 pos = -1;
        std::vector<char> bytes;
    };
    // The block holding position, read if needed; null when it cannot be read.
    const Block *load(qint64 position) const;

    const FileSource *m_source;
    qint64 m_size;
    int m_blockSize;
    std::stop_token m_stop;
    // Two blocks, so a walk that crosses a block edge back and forth reads
    // each side once.
    mutable Block m_blocks[2];
    mutable int m_older = 0;
    mutable bool m_failed = false;
};
