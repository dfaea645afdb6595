#pragma once

#include "text/codepagelist.h"

#include <QFlags>
#include <QString>

#include <functional>
#include <memory>
#include <utility>
#include <stop_token>

class FileSource;
class TDIRegExSearchStream_Enc;

// One search option per bit; the set is stored as one byte (bit n = member n).
enum TQzStreamSearchOption : quint8 {
    soCaseSensitive = 0x01,
    soWholeWords = 0x02,
    soBackward = 0x04, // plain text only
    soRegex = 0x08,
    soRegexMultiLine = 0x10, // regex: the dot also matches line breaks
    soFromPage = 0x20,       // the viewer's start rules; ignored here
    soFromPosition = 0x40,   // the viewer's start rules; ignored here
    soHighlightAll = 0x80,   // the viewer's page marks; ignored here
};
Q_DECLARE_FLAGS(TQzStreamSearchOptions, TQzStreamSearchOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TQzStreamSearchOptions)

// Called before the first block and after every block without a match.
// AMaximalPos is always the size taken when the search started. Clearing
// AContinueSearching ends the search as "not found".
using TQzStreamSearchProgress =
    std::function<void(qint64 ACurrentPos, qint64 AMaximalPos, bool &AContinueSearching)>;

// Finds a text or a regular expression in a source of any size without
// loading it. Plain text runs forward or backward in blocks; regular
// expressions run forward through the regex stream searcher.
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
// stop token ends a search as a cleared AContinueSearching does.
class TQzStreamSearch final
{
public:
    // Bytes per plain block.
    static constexpr qint64 BlockSize = 65536;

    TQzStreamSearch();
    ~TQzStreamSearch();
    TQzStreamSearch(const TQzStreamSearch &) = delete;
    TQzStreamSearch &operator=(const TQzStreamSearch &) = delete;

    // Releases an owned source. A name that is not empty clears the saved
    // search and opens the file read-only as an owned source; a file that
    // does not open throws SearchError with the system's reason.
    void SetFileName(const QString &fileName);
    const QString &FileName() const { return m_fileName; }
    // Releases an owned source, clears the saved search and FileName, and
    // borrows source (may be null); the caller keeps it alive.
    void SetStream(FileSource *source);
    // As SetStream, but the search owns the source.
    void SetStream(std::unique_ptr<FileSource> source);
    FileSource *Stream() const { return m_source; }

    // Starts a new search from AStartPos and tells whether it found a match.
    // AEncoding: -2 UTF-16 BE, -1 UTF-16 LE, else an index into the code
    // page list (regex: only -2, -1, 0 and 1).
    bool FindFirst(const QString &AText, TQzEncoding AEncoding, TQzStreamSearchOptions AOptions,
                   qint64 AStartPos);
    // Continues the last FindFirst; AFindPrevious searches the other way
    // (plain text only).
    bool FindNext(bool AFindPrevious = false);

    qint64 FoundStart() const { return m_foundStart; }
    qint64 FoundLength() const { return m_foundLength; }
    const QString &SavedText() const { return m_savedText; }
    TQzEncoding SavedEncoding() const { return m_savedEncoding; }
    TQzStreamSearchOptions SavedOptions() const { return m_savedOptions; }
    qint64 StreamStart() const { return m_streamStart; }
    qint64 StreamSize() const { return m_streamSize; }
    int CharSize() const { return m_charSize; }

    // A stop requested here ends the running search as "not found".
    void SetStopToken(std::stop_token stop) { m_stop = std::move(stop); }

    // Whether a regular expression can search text in this encoding.
    static bool RegexSupportsEncoding(TQzEncoding encoding);

    TQzStreamSearchProgress OnProgress;

private:
    class PlainEngine;

    void ReleaseSource();
    void ClearSaved();
    bool PrepareSearch(TQzEncoding encoding, qint64 startPos);
    bool Progress(qint64 position);
    bool PlainFind(const QString &text, TQzEncoding encoding, TQzStreamSearchOptions options,
                   qint64 startPos, bool endBefore);
    bool RawBlocks(bool forward, qint64 edge);
    bool DecodedBlocks(bool forward, qint64 edge);
    bool ReadAt(char *buffer, qint64 count, qint64 position, qint64 *got);
    std::pair<qint64, qint64> CharAround(qint64 pos, TQzEncoding encoding);
    bool RegexFindFirst();
    bool RegexFindNext();

    FileSource *m_source = nullptr;
    std::unique_ptr<FileSource> m_ownedSource;
    QString m_fileName;
    qint64 m_streamStart = 0;
    qint64 m_streamSize = 0;
    qint64 m_foundStart = -1;
    qint64 m_foundLength = 0;
    int m_charSize = 1;
    QString m_savedText;
    TQzEncoding m_savedEncoding = 0;
    TQzStreamSearchOptions m_savedOptions;
    std::unique_ptr<TDIRegExSearchStream_Enc> m_regex;
    std::unique_ptr<PlainEngine> m_plain;
    std::stop_token m_stop;
};
