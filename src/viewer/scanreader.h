#pragma once

#include "viewer/filesource.h"
#include "viewer/mappedwindow.h"

#include <memory>
#include <stop_token>
#include <vector>

// How every scan (search, the matching lines, filtered logs, the line index,
// line counting) reads its source: a local file large enough to be worth it
// through a read-only map, in windows of bounded size, so the scanner looks
// at the page cache in place; any other source (standard input's spool, a
// device, a compressed log, a small file) by blocks into a buffer of its own.
//
// The file may shrink under a scan. A block from the map is then cut at the
// new end: after looking at the bytes of a block the scanner asks intact(),
// and when it says no, the block's results are dropped and the block is read
// again, now ending at size().
//
//   source:  |------------------- size() ------------------|
//   window:          |======== a few hundred MiB =========|
//   block:                 [position, position + count)
//
// One reader belongs to one scan on one thread; the source must outlive it.
class ScanReader final
{
public:
    // The window of the map, and the smallest file that is mapped.
    static constexpr qint64 defaultWindowBytes = qint64(256) << 20;
    static constexpr qint64 defaultMinMapBytes = qint64(4) << 20;
    // How far ahead of the scan the map asks for the file's pages.
    static constexpr qint64 aheadBytes = qint64(32) << 20;

    enum class Status { Ok, Failed, Cancelled };
    struct Bytes
    {
        const char *data = nullptr;
        qint64 size = 0; // fewer than asked at the end of the data
        Status status = Status::Ok;
    };

    explicit ScanReader(const FileSource &source, std::stop_token stop = {},
                        qint64 windowBytes = defaultWindowBytes,
                        qint64 minMapBytes = defaultMinMapBytes);
    ~ScanReader();
    ScanReader(const ScanReader &) = delete;
    ScanReader &operator=(const ScanReader &) = delete;

    // Up to count bytes at position, valid until the next read. forward
    // tells which way the scan goes, for read-ahead and for where the next
    // window is placed. Blocks larger than half a window are read into the
    // buffer, as are all blocks of a source that is not mapped.
    Bytes read(qint64 position, qint64 count, bool forward = true);
    // Whether the bytes of the last read were all the file's; false once the
    // file shrank under them, with size() the new end.
    bool intact();

    // The end of the data: the source's size when the reader was made, more
    // when a read went past it and the file had grown, less once the file
    // was seen to shrink.
    qint64 size() const { return m_size; }
    bool mapped() const { return m_fd >= 0; }
    // Whether the last read's bytes lie in the map rather than the buffer.
    bool inPlace() const { return m_lastMapped; }
    // Unmaps the window until the next read: a reader kept between scans
    // holds no map while it waits.
    void release() { m_window.reset(); }
    // A stop requested here makes the following reads Cancelled.
    void setStopToken(std::stop_token stop) { m_stop = std::move(stop); }

private:
    Bytes readBuffered(qint64 position, qint64 count);
    bool placeWindow(qint64 position, qint64 count, bool forward);
    void adviseAhead(qint64 position, qint64 n, bool forward);

    const FileSource &m_source;
    std::stop_token m_stop;
    qint64 m_windowBytes;
    int m_fd = -1;
    qint64 m_size = 0;
    std::unique_ptr<MappedWindow> m_window;
    std::vector<char> m_buffer;
    bool m_lastMapped = false;
    qint64 m_lastEnd = 0;
    // Once the file was seen to shrink the scan ends there, also when it
    // grows again.
    bool m_shrunk = false;
    // How far the window was asked for in the scan's direction.
    qint64 m_advised = 0;
};
