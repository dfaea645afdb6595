#pragma once

#include "viewer/filesource.h"

#include <QtGlobal>

#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

// Random access into a gzip file without expanding it anywhere: one pass
// over the file leaves a checkpoint every `spacing` bytes of output (where
// a deflate block begins, with the 32 KiB of output before it, deflated),
// and a range anywhere is then decompressed from the checkpoint before it.
// The windows take at most a 320th of the output: where they do not
// shrink, checkpoints lie further apart. Files of
// several members (`cat a.gz b.gz`) read as their joined output.
class GzipIndex
{
public:
    static constexpr int windowSize = 32768;

    enum class Result {
        Ok,
        Cancelled,
        Damaged, // cut or corrupt: the index covers what decoded before
        ReadFailed,
    };

    // Decompression left where a read ended, so that the next read from
    // there goes on instead of starting again at a checkpoint. One per
    // reader; it serves any index built over the same compressed bytes.
    class Cursor
    {
    public:
        Cursor();
        ~Cursor();
        Cursor(const Cursor &) = delete;
        Cursor &operator=(const Cursor &) = delete;
        void reset();

    private:
        friend class GzipIndex;
        struct State;
        std::unique_ptr<State> m_state;
    };

    // Called on the building thread as the output grows, with the index as
    // far as it decoded: it may be copied there (copies share checkpoints).
    using Progress = std::function<void(const GzipIndex &partial)>;

    // Reads the compressed bytes of `compressed` from the start. Whatever the
    // result, size() is what decoded, and reads serve it.
    Result build(const FileSource &compressed, qint64 spacing, std::stop_token stop = {},
                 const Progress &progress = {});

    // Decompressed bytes indexed.
    qint64 size() const { return m_size; }
    int points() const { return int(m_points.size()); }
    // What the checkpoints hold.
    qint64 memoryBytes() const;
    // Where a damaged file stopped decoding, for a message.
    const std::string &error() const { return m_error; }

    // Reads count bytes at position of the decompressed data (short at the
    // end). False when the compressed file cannot be read or decoded again.
    // With a cursor, a read that starts where the cursor's last one ended
    // (or a little after, before the next checkpoint) decompresses only what
    // it returns; compressed must then be the same source every time.
    bool read(const FileSource &compressed, char *buffer, qint64 count, qint64 position,
              qint64 *bytesRead, std::stop_token stop = {}, Cursor *cursor = nullptr) const;

private:
    struct Point
    {
        qint64 out = 0;                    // decompressed offset
        qint64 in = 0;                     // compressed offset of the first whole byte
        int bits = 0;                      // bits of the byte before `in` that belong here
        bool member = false;               // a gzip member's header starts at `in`
        std::vector<unsigned char> window; // the output before `out`, deflated (raw deflate only)
    };

    // Shared: a copy of a growing index costs a pointer a checkpoint.
    std::vector<std::shared_ptr<const Point>> m_points;
    qint64 m_size = 0;
    std::string m_error;
};
