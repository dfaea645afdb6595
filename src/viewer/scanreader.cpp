#include "viewer/scanreader.h"

#include <algorithm>

#include <sys/stat.h>

ScanReader::ScanReader(const FileSource &source, std::stop_token stop, qint64 windowBytes,
                       qint64 minMapBytes)
    : m_source(source), m_stop(std::move(stop)),
      m_windowBytes(std::max(windowBytes, 4 * MappedWindow::pageSize()) / MappedWindow::pageSize() *
                    MappedWindow::pageSize()),
      m_size(source.size())
{
    if (m_size >= minMapBytes)
        m_fd = source.mappableDescriptor();
}

ScanReader::~ScanReader() = default;

ScanReader::Bytes ScanReader::readBuffered(qint64 position, qint64 count)
{
    m_buffer.resize(size_t(count));
    qint64 got = 0;
    const FileSource::ReadResult read =
        m_source.read(m_buffer.data(), count, position, &got, m_stop);
    Bytes bytes{m_buffer.data(), std::clamp<qint64>(got, 0, count), Status::Ok};
    if (read == FileSource::ReadResult::Cancelled)
        bytes.status = Status::Cancelled;
    else if (read == FileSource::ReadResult::Failed)
        bytes.status = Status::Failed;
    return bytes;
}

// A window holding [position, position + count): forward it starts at the
// page of position, backward it ends at position + count, so the blocks that
// follow in the scan's direction fall into it too.
bool ScanReader::placeWindow(qint64 position, qint64 count, bool forward)
{
    const qint64 end = position + count;
    if (m_window && m_window->offset() <= position &&
        end <= m_window->offset() + m_window->length())
        return true;
    m_window.reset();
    const qint64 page = MappedWindow::pageSize();
    qint64 start = forward ? position : std::max<qint64>(0, end - m_windowBytes);
    start = start / page * page;
    if (end - start > m_windowBytes)
        start += page; // still at or before position: a block is half a window at most
    const qint64 length = std::min(m_windowBytes, m_size - start);
    if (length < end - start)
        return false;
    m_window = std::make_unique<MappedWindow>(m_fd, start, length, forward);
    if (m_window->isValid()) {
        m_advised = forward ? position : end; // nothing asked for in a new window yet
        return true;
    }
    m_window.reset();
    return false;
}

ScanReader::Bytes ScanReader::read(qint64 position, qint64 count, bool forward)
{
    m_lastMapped = false;
    count = std::max<qint64>(count, 0);
    if (m_fd < 0 || count > m_windowBytes / 2)
        return readBuffered(position, count);
    if (m_stop.stop_requested())
        return {nullptr, 0, Status::Cancelled};
    if (position + count > m_size && !m_shrunk) {
        // A read reaches as far as the file does, as a pread would.
        struct stat st
        {
        };
        if (::fstat(m_fd, &st) == 0)
            m_size = std::max(m_size, qint64(st.st_size));
    }
    const qint64 n = std::clamp<qint64>(m_size - position, 0, count);
    if (n == 0)
        return {m_buffer.data(), 0, Status::Ok};
    if (!placeWindow(position, n, forward))
        return readBuffered(position, count);
    adviseAhead(position, n, forward);
    m_lastMapped = true;
    m_lastEnd = position + n;
    return {m_window->data() + (position - m_window->offset()), n, Status::Ok};
}

// Asks for the pages the next blocks in the scan's direction will look at,
// so that a cold file is read while this block is looked at; again each time
// the scan has used up half of what was asked for.
void ScanReader::adviseAhead(qint64 position, qint64 n, bool forward)
{
    const qint64 begin = m_window->offset(), end = begin + m_window->length();
    if (forward && m_advised < std::min(end, position + n + aheadBytes / 2)) {
        const qint64 to = std::min(end, position + n + aheadBytes);
        m_window->willNeed(std::max(m_advised, position), to);
        m_advised = to;
    } else if (!forward && m_advised > std::max(begin, position - aheadBytes / 2)) {
        const qint64 from = std::max(begin, position - aheadBytes);
        m_window->willNeed(from, std::min(m_advised, position + n));
        m_advised = from;
    }
}

bool ScanReader::intact()
{
    if (!m_lastMapped)
        return true;
    m_lastMapped = false;
    // A fault shows a shrink into a page past the new end; the size shows
    // one into the last page, whose tail reads as zeros without a fault.
    struct stat st
    {
    };
    const qint64 now = ::fstat(m_fd, &st) == 0 ? qint64(st.st_size) : 0;
    const bool faulted = m_window && m_window->faulted();
    if (!faulted && now >= m_lastEnd)
        return true;
    // The pages from the fault on read as zeros now; a fresh window shows
    // the file as it is.
    if (faulted)
        m_window.reset();
    m_size = std::min(m_size, now);
    m_shrunk = true;
    return false;
}
