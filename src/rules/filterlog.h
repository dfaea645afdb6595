#pragma once

#include "text/encoding.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <stop_token>

class FileSource;

// What a filtered log keeps: the non-empty lines that pass the line test
// (MatchLine) of Filter. Lines end at CR, at LF or at CR LF; the last line
// counts even without a break after it. The output is 8-bit text (UTF-8)
// with CR LF after every line, also for UTF-16 sources.
struct FilterLogOptions
{
    QByteArray filter; // UTF-8
    // UTF-16 in either order; any code page is read as 8-bit text, one byte
    // per character.
    Encoding encoding;
    bool invert = false;
    bool caseSensitive = false;
    bool isRegex = false;
    // Runs the matcher once per line instead of over whole blocks; the
    // result is the same, only slower (kept as the reference).
    bool lineByLine = false;
    // Lines longer than this are matched piece by piece (0: the default,
    // FilterLogLongLineBytes).
    qsizetype longLineBytes = 0;
};

struct FilterLogResult
{
    enum class Status {
        Written,   // the output holds LinesWritten lines
        NoLines,   // no line passed: no output file, an old one untouched
        NoSource,  // the source is missing or cannot be read
        SameFile,  // the output names the source itself
        Cancelled, // stopped: no output file, an old one untouched
        Failed,    // Error says why: no output file, an old one untouched
    };
    Status state = Status::NoLines;
    qint64 linesWritten = 0;
    QString error;
};

// The source is read in blocks of this size: small enough to stay in the
// cache between the read and the search.
inline constexpr qint64 filterLogBlockBytes = qint64(256) << 10;

// The longest line a run holds whole. A longer one is matched as it is read
// (LongLineMatcher: exact for plain text and for most expressions, else
// judged on its first FilterLogLongLineBytes bytes) and, when it passes,
// copied from the source; so a run's memory is bounded whatever its lines.
inline constexpr qsizetype filterLogLongLineBytes = qsizetype(16) << 20;

// Called with the percent read (0 to 100) whenever it changes, on the
// thread that runs the filter.
using FilterProgress = std::function<void(int percent)>;

// Writes the filtered copy of source to dest. The result goes to a
// temporary file in dest's folder and is renamed over dest only when
// complete, so a failure or a stop never leaves a partial file and never
// destroys the file it was to replace. A new dest gets the source's
// permissions at most (read and write bits, less the umask); a replaced one
// keeps its own, links are followed and special files refused as
// AtomicFileWriter does. The source is read in large blocks up to the size it had
// at the start; a source that shrinks or goes away meanwhile ends the run at
// its new end. Runs on any thread; a stop is seen between blocks.
FilterLogResult filterLog(const QString &source, const QString &dest,
                          const FilterLogOptions &options, const FilterProgress &progress = {},
                          std::stop_token stop = {});

// The same over an opened source (dest is not compared with it).
FilterLogResult filterLog(const FileSource &source, const QString &dest,
                          const FilterLogOptions &options, const FilterProgress &progress = {},
                          std::stop_token stop = {});

// Whether candidate lines of pattern can be found by running it over whole
// blocks: true unless it holds a construct that can see past a line's end
// and so hide a line's match (\A \z \Z \G, negative look-arounds,
// conditions, atomic groups, possessive quantifiers, verbs, script runs,
// start-of-pattern items such as (*CR), (?-m)).
bool isBlockSafePattern(const QByteArray &pattern);
