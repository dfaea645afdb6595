#pragma once

#include "search/regexstreamsearcher.h"
#include "text/encoding.h"

#include <functional>
#include <stop_token>
#include <vector>

class FileSource;

// Finds, from a limit toward the start of a source, the matches that one
// forward run of a regex stream searcher from the source's start reports,
// last first, without that run.
//
// A forward run started where the whole run has an attempt (a sync point)
// reports from there on what the whole run does. The start of every match
// of the whole run is such a point, and so is the source's start; for a
// pattern that never takes in a line break, so is every line start, as no
// match can reach over one. The search runs forward in windows that begin
// at sync points, each up to where the one after it began, and keeps the
// last match of the first window that holds one. Without line starts to go
// by, the match starts it meets are kept as later windows' starts, one per
// window's length, so that going back again reads a window or two.
//
// Memory is the stream searcher's and one block, never the source's.
class RegexBackward final
{
public:
    // Bytes a window covers at least before the search looks further back.
    qint64 windowBytes = qint64(2) << 20;

    // For a pattern that stays in its line and whose every match holds a
    // literal: the start of the literal's last occurrence lying wholly before
    // end, or -1 (also when stopped). With it, only the lines that hold the
    // literal are run, and a stretch without one is passed over at once.
    std::function<qint64(qint64 end)> lastLiteralBefore;

    explicit RegexBackward(RegexStreamSearcher &regex);

    // Forgets the match starts kept. lineSync: the pattern takes in no CR
    // nor LF.
    void reset(FileSource *source, Encoding encoding, bool lineSync);
    // A stop requested here ends the running search as stopped.
    void setStopToken(std::stop_token stop) { m_stop = std::move(stop); }

    // The last match starting before limit, in raw offsets of the source:
    // the stream searcher's FindNext codes, whose read error offset and
    // workspace offset are raw offsets of the source too.
    int findBefore(qint64 limit, RegexStreamSearcher::Match &match);
    // Puts the stream searcher on position, a match start of the whole run
    // (or 0), for going forward from there; false when stopped or on a
    // read error.
    bool startAt(qint64 position);
    // The raw offset of a failed read, or of the workspace limit.
    qint64 errorOffset() const
    {
        return m_errorOffset >= 0 ? m_errorOffset : m_regex.errorOffset();
    }

private:
    bool syncBefore(qint64 pos, qint64 *sync);
    bool lineEndFrom(qint64 pos, qint64 *end);
    unsigned unitAt(const char *p) const;
    void remember(qint64 start);

    RegexStreamSearcher &m_regex;
    FileSource *m_source = nullptr;
    Encoding m_encoding;
    bool m_lineSync = false;
    std::stop_token m_stop;
    std::vector<qint64> m_starts; // sorted
    std::vector<char> m_block;
    qint64 m_errorOffset = -1;
};
