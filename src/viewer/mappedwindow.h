#pragma once

#include <QtGlobal>

#include <cstddef>

// A read-only map of part of a file, for a scan that looks at the bytes in
// place instead of copying them out of the page cache.
//
// A file that shrinks under a map turns every later touch of the pages past
// its new end into SIGBUS, which would end the program. While a window
// exists it is listed with a process-wide handler: a fault inside a listed
// window replaces the window's pages from the faulting one on with zeros and
// marks the window, and the touch that faulted goes on reading zeros. The
// owner asks faulted() after looking at the bytes and then knows that those
// from the file's new end on were not the file's. A fault anywhere else goes
// to the handler that was there before, or kills as it always would.
//
// Zeros instead of a jump out of the handler: the bytes are looked at by
// ordinary C++ (searchers that allocate, sinks that take lines), and a
// siglongjmp across their frames would skip destructors and leave locks held.
//
// Move-free and copy-free; one owner, which may hand the bytes to any thread
// while it keeps the window.
class MappedWindow final
{
public:
    // Maps length bytes of fd at offset (a multiple of the page size); a
    // forward window asks for sequential read-ahead. isValid() tells whether it
    // worked: the map may fail, and at most a fixed number of windows are
    // listed at once across the process.
    MappedWindow(int fd, qint64 offset, qint64 length, bool forward);
    ~MappedWindow();
    MappedWindow(const MappedWindow &) = delete;
    MappedWindow &operator=(const MappedWindow &) = delete;

    bool isValid() const { return m_data != nullptr; }
    const char *data() const { return m_data; }
    qint64 offset() const { return m_offset; }
    qint64 length() const { return m_length; }
    // Whether a touch faulted since the window was made: the file shrank
    // and some of its pages now read as zeros.
    bool faulted() const;
    // Starts reading the file's bytes [from, to) of the window into the
    // page cache without waiting for them.
    void willNeed(qint64 from, qint64 to) const;

    static qint64 pageSize();

private:
    const char *m_data = nullptr;
    qint64 m_offset = 0;
    qint64 m_length = 0;
    int m_slot = -1;
};
