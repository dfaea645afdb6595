#include "viewer/matchcount.h"

#include "viewer/filesource.h"

#include <algorithm>

qint64 MatchCount::ordinalOf(qint64 position) const
{
    const auto it = std::lower_bound(starts.begin(), starts.end(), position);
    if (it == starts.end() || *it != position)
        return 0;
    return qint64(it - starts.begin()) + 1;
}

bool countMatches(FileSource &source, const QString &text, Encoding encoding, SearchOptions options,
                  std::stop_token stop, MatchCount &count)
{
    options &= ~SearchOptions(soBackward | soFromPage | soFromPosition | soHighlightAll);
    MatchCount next = count;
    const qint64 from = std::max(next.lastEnd, next.scannedTo - MatchCount::kOverlap);
    StreamSearch engine;
    engine.setStream(&source);
    engine.setStopToken(stop);
    const qint64 size = source.size();
    const qint64 unit = encoding.isUtf16() ? 2 : 1;
    // Where the next match may start: before it, a match is one counted
    // already or an empty one the engine stands on again.
    qint64 minStart = std::max<qint64>(from, next.lastEnd);
    bool found = engine.findFirst(text, encoding, options, from);
    while (found) {
        const qint64 start = engine.foundStart();
        const qint64 length = engine.foundLength();
        if (start < minStart) {
            if (minStart >= size)
                break;
            found = engine.findFirst(text, encoding, options, minStart);
            if (found && engine.foundStart() < minStart)
                break;
            continue;
        }
        if (length > 0) {
            // Once a start is left out, the list stays the prefix it is.
            if (next.complete() && next.starts.size() < MatchCount::kMaxStarts)
                next.starts.push_back(start);
            ++next.count;
            next.lastEnd = start + length;
        }
        minStart = start + std::max(length, unit);
        found = engine.findNext(false);
    }
    if (stop.stop_requested())
        return false;
    next.scannedTo = size;
    count = std::move(next);
    return true;
}
