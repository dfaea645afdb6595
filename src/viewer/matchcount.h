#pragma once

#include "search/streamsearch.h"

#include <QString>

#include <stop_token>
#include <vector>

class FileSource;

// How many matches of a text a file holds, and where they start, so that
// "match 3 of 1 204" can be told for any match. A growing file is counted on
// from where the last count ended.
struct MatchCount
{
    // Match starts kept at most (8 bytes each); past it only the number grows.
    static constexpr size_t kMaxStarts = size_t(1) << 22;
    // How far before the old end a count of appended bytes starts reading
    // again, for a match that the old end cut in two.
    static constexpr qint64 kOverlap = 65536;

    qint64 count = 0;
    std::vector<qint64> starts; // in file order; all of them while complete()
    qint64 scannedTo = 0;       // the size the count covers
    qint64 lastEnd = 0;         // the end of the last match counted

    bool complete() const { return qint64(starts.size()) == count; }
    // The 1-based number of the match starting at position; 0: not known.
    qint64 ordinalOf(qint64 position) const;
};

// Counts the matches in source from count.scannedTo (less the overlap) on,
// adding to count. Matches of no length are not counted. Returns false when
// stop cut it short; count then holds what it had before.
bool countMatches(FileSource &source, const QString &text, Encoding encoding, SearchOptions options,
                  std::stop_token stop, MatchCount &count);
