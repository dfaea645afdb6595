#pragma once

#include "viewer/lineindex.h"
#include "viewer/linecount.h"

#include <QtGlobal>

#include <functional>
#include <stop_token>
#include <vector>

class FileSource;

// Where a numbered line starts, for "go to line": counted on the caller's
// thread from the nearest start it knows, by the line index's own counting,
// so the two never disagree about a break.
class LineLocator final
{
public:
    struct Result
    {
        enum class Status {
            Found,   // position: where line starts
            PastEnd, // the file has fewer lines; line and position: its last
            Failed,  // a read failed
            Cancelled,
        };
        Status status = Status::Failed;
        qint64 line = 1;
        qint64 position = 0;
    };
    // Share of the counting done, 0 to 100.
    using Progress = std::function<void(int percent)>;

    static constexpr qint64 blockSize = LineIndex::defaultBlockSize;

    // known: the gutter's table (entry i is where line i + 2 starts);
    // indexed: a start the line index holds, at or before the line asked for.
    LineLocator(const FileSource &source, LineCountUnit unit, std::vector<qint32> known = {},
                LineIndex::Start indexed = {});

    Result find(qint64 line, std::stop_token stop = {}, const Progress &progress = {}) const;

private:
    const FileSource &m_source;
    LineCountUnit m_unit;
    std::vector<qint32> m_known;
    LineIndex::Start m_indexed;
};
