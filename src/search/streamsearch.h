#pragma once

#include "text/codepagelist.h"

#include <QFlags>
#include <QString>

#include <functional>
#include <memory>
#include <utility>
#include <stop_token>

class FileSource;
class RegexBackward;
class RegexStreamSearcher;

// One search option per bit; the set is stored as one byte (bit n = member n).
enum SearchOption : quint8 {
    soCaseSensitive = 0x01,
    soWholeWords = 0x02,
    soBackward = 0x04,
    soRegex = 0x08,
    soRegexMultiLine = 0x10, // regex: the dot also matches line breaks
    soFromPage = 0x20,       // the viewer's start rules; ignored here
    soFromPosition = 0x40,   // the viewer's start rules; ignored here
    soHighlightAll = 0x80,   // the viewer's page marks; ignored here
};
Q_DECLARE_FLAGS(SearchOptions, SearchOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(SearchOptions)

// Called before the first block and after every block without a match.
// maximalPos is always the size taken when the search started. Clearing
// continueSearching ends the search as "not found".
using SearchProgress =
    std::function<void(qint64 currentPos, qint64 maximalPos, bool &continueSearching)>;

// Finds a text or a regular expression in a source of any size without
// loading it. Plain text runs forward or backward in blocks; regular
// expressions run through the regex stream searcher, backward as the
// matches one forward run from the source's start reports, last first.
//
// Every position is an exact byte offset of the source, also where a
// character takes several bytes (UTF-8, the Far East pages); FoundLength is
// the match's length in bytes.
//
// Errors the user must see throw SearchError; the caller's contract
// violations throw ContractError naming the unit "QzStreamSearch".
//
// Not thread-safe; one instance belongs to one thread at a time, which may be
// a worker: it reads only through its own source, and a stop requested on the
// stop token ends a search as a cleared continueSearching does.
class StreamSearch final
{
public:
    // Bytes per plain block.
    static constexpr qint64 blockSize = 65536;
    // Puts the plain blocks' borders closer together, for tests; a block
    // still holds twice the overlap the text needs, and at most blockSize.
    void setPlainBlockBytes(qint64 bytes) { m_plainBlockBytes = bytes; }

    StreamSearch();
    ~StreamSearch();
    StreamSearch(const StreamSearch &) = delete;
    StreamSearch &operator=(const StreamSearch &) = delete;

    // Releases an owned source. A name that is not empty clears the saved
    // search and opens the file read-only as an owned source; a file that
    // does not open throws SearchError with the system's reason.
    void setFileName(const QString &fileName);
    const QString &fileName() const { return m_fileName; }
    // Releases an owned source, clears the saved search and FileName, and
    // borrows source (may be null); the caller keeps it alive.
    void setStream(FileSource *source);
    // As SetStream, but the search owns the source.
    void setStream(std::unique_ptr<FileSource> source);
    FileSource *stream() const { return m_source; }

    // Starts a new search from startPos and tells whether it found a match.
    // A regular expression reads only UTF-16 and the first two list
    // entries (regexSupportsEncoding); backward, it finds the last match
    // starting at or before startPos (0: anywhere).
    bool findFirst(const QString &text, Encoding encoding, SearchOptions options, qint64 startPos);
    // Continues the last FindFirst; findPrevious searches the other way.
    // A regular expression backward finds the match before the current
    // one, and after a miss none.
    bool findNext(bool findPrevious = false);

    qint64 foundStart() const { return m_foundStart; }
    qint64 foundLength() const { return m_foundLength; }
    const QString &savedText() const { return m_savedText; }
    Encoding savedEncoding() const { return m_savedEncoding; }
    SearchOptions savedOptions() const { return m_savedOptions; }
    qint64 streamStart() const { return m_streamStart; }
    qint64 streamSize() const { return m_streamSize; }
    int charSize() const { return m_charSize; }

    // A stop requested here ends the running search as "not found".
    void setStopToken(std::stop_token stop) { m_stop = std::move(stop); }

    // Whether a regular expression can search text in this encoding.
    static bool regexSupportsEncoding(Encoding encoding);

    SearchProgress onProgress;

private:
    class PlainEngine;

    void releaseSource();
    void clearSaved();
    bool prepareSearch(Encoding encoding, qint64 startPos);
    bool progress(qint64 position);
    bool plainFind(const QString &text, Encoding encoding, SearchOptions options, qint64 startPos,
                   bool endBefore);
    qint64 plainBlockBytes() const;
    bool rawBlocks(bool forward, qint64 edge);
    bool decodedBlocks(bool forward, qint64 edge);
    bool readAt(char *buffer, qint64 count, qint64 position, qint64 *got);
    bool view(qint64 position, qint64 count, bool forward, const char **data, qint64 *got);
    bool viewIntact();
    std::pair<qint64, qint64> charAround(qint64 pos, Encoding encoding);
    bool regexFindFirst();
    bool regexFindNext();
    void prepareReader();
    bool runsByLines() const;
    bool lineLiteral(QString *literal, SearchOptions *options) const;
    qint64 regexSkipTo(qint64 start);
    qint64 regexJitSkipTo(qint64 start);
    void regexSkipOn();
    void regexPrepare();
    bool regexBackward(qint64 limit);
    bool regexForwardFromMatch();
    bool regexResult(int rc, qint64 start, qint64 length, qint64 errorOffset);

    FileSource *m_source = nullptr;
    std::unique_ptr<FileSource> m_ownedSource;
    QString m_fileName;
    qint64 m_streamStart = 0;
    qint64 m_streamSize = 0;
    qint64 m_foundStart = -1;
    qint64 m_foundLength = 0;
    int m_charSize = 1;
    QString m_savedText;
    Encoding m_savedEncoding;
    SearchOptions m_savedOptions;
    std::unique_ptr<RegexStreamSearcher> m_regex;
    std::unique_ptr<RegexBackward> m_backward;
    qint64 m_backwardSize = -1; // the size the kept match starts were taken at
    // Where the regex searcher's raw offsets count from; -1 when it does not
    // stand in a forward run.
    qint64 m_regexBase = -1;
    std::unique_ptr<PlainEngine> m_plain;
    qint64 m_plainBlockBytes = blockSize;
    std::stop_token m_stop;
};
