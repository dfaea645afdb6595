#pragma once

#include "viewer/filesource.h"

#include <QtGlobal>

#include <stop_token>
#include <string>
#include <vector>

// Random access into a gzip file without expanding it anywhere: one pass
// over the file leaves a checkpoint every `spacing` bytes of output (where
// a deflate block begins, with the 32 KiB of output before it), and a range
// anywhere is then decompressed from the checkpoint before it. Files of
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

    // Reads the compressed bytes of `compressed` from the start. Whatever the
    // result, size() is what decoded, and reads serve it.
    Result build(const FileSource &compressed, qint64 spacing, std::stop_token stop = {});

    // Decompressed bytes indexed.
    qint64 size() const { return m_size; }
    int points() const { return int(m_points.size()); }
    // What the checkpoints hold.
    qint64 memoryBytes() const;
    // Where a damaged file stopped decoding, for a message.
    const std::string &error() const { return m_error; }

    // Reads count bytes at position of the decompressed data (short at the
    // end). False when the compressed file cannot be read or decoded again.
    bool read(const FileSource &compressed, char *buffer, qint64 count, qint64 position,
              qint64 *bytesRead, std::stop_token stop = {}) const;

private:
    struct Point
    {
        qint64 out = 0;                    // decompressed offset
        qint64 in = 0;                     // compressed offset of the first whole byte
        int bits = 0;                      // bits of the byte before `in` that belong here
        bool member = false;               // a gzip member's header starts at `in`
        std::vector<unsigned char> window; // the output before `out` (raw deflate only)
    };

    std::vector<Point> m_points;
    qint64 m_size = 0;
    std::string m_error;
};
