#pragma once

#include "text/encoding.h"
#include "text/timestamp.h"

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <optional>
#include <stop_token>
#include <vector>

class FileSource;

// Finds a time in a log by bisecting byte offsets: no index, a few dozen
// reads of a small window in a file of any size. A probe reads the window
// at an offset, goes to the next line start and reads the times at line
// starts from there, skipping lines without one. Only the first characters
// of a line are decoded, and a line longer than the window is walked over
// in blocks, so memory stays bounded whatever the file holds.
class TimeSeek final
{
public:
    struct Result
    {
        enum class Status {
            Found,        // position: the first line at or after the time
            AfterLast,    // every time is earlier; position: the last timed line
            NoTimestamps, // no line starts with a time the program reads
            Failed,       // a read failed
            Cancelled,
        };
        Status status = Status::NoTimestamps;
        qint64 position = 0;
        LogTime lineTime;         // the time of the line at position
        bool approximate = false; // the times seen do not always go forward
        int reads = 0;
    };

    // Bytes a probe reads at least; tests make it small to reach its edges.
    qint64 windowBytes = 16 * 1024;

    TimeSeek(const FileSource &source, Encoding encoding, const TimeContext &context,
             std::stop_token stop = {});

    // The first line whose time is at or after target. A dateless target
    // (wallMs a time of day) takes the date of the first time at or after
    // from, else that of the file's last time.
    Result find(LogTime target, bool dateless, qint64 from);

    int reads() const { return m_reads; }

private:
    struct Hit
    {
        qint64 start = -1;
        LogTime time;
    };
    enum class Stop { None, Failed, Cancelled };

    // The first line with a time that starts at or after from and before limit.
    std::optional<Hit> nextTimed(qint64 from, qint64 limit);
    // The start of the first line at or after from (from itself when a line
    // starts there); -1 when none does before limit.
    qint64 lineStartAtOrAfter(qint64 from, qint64 limit);
    // The first byte at or after from that may be a line break (a CR or LF
    // byte, or unit in UTF-16, as the line counter takes them), read raw;
    // -1 when none is before limit.
    qint64 skipToBreak(qint64 from, qint64 limit);
    // The last line with a time.
    std::optional<Hit> lastTimed();
    // Reads and decodes [position, position + size); false on a failure or stop.
    bool load(qint64 position, qint64 size);
    // The byte offset of unit index of the loaded text; its end after the last.
    qint64 offsetOf(qsizetype index) const;
    // The first unit of the loaded text at or after position.
    qsizetype indexOf(qint64 position) const;
    void record(const Hit &hit);
    qint64 alignUp(qint64 position) const;

    const FileSource &m_source;
    Encoding m_encoding;
    TimeContext m_context;
    std::stop_token m_stop;
    qint64 m_size;
    int m_unit;
    int m_reads = 0;
    Stop m_failure = Stop::None;

    // The loaded window: its bytes, their text and where each unit came from.
    qint64 m_base = -1;
    qint64 m_loadedEnd = -1; // bytes that came from the source
    std::vector<char> m_bytes;
    QString m_text;
    std::vector<int> m_offsets;
    std::vector<Hit> m_seen; // every timed line a probe met, to tell disorder
};
