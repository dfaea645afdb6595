#include "viewer/linelocator.h"

#include "viewer/filesource.h"

#include <cstring>

LineLocator::LineLocator(const FileSource &source, LineCountUnit unit, std::vector<qint32> known)
    : m_source(source), m_unit(unit), m_known(std::move(known))
{}

LineLocator::Result LineLocator::find(qint64 target, std::stop_token stop,
                                      const Progress &progress) const
{
    using Status = Result::Status;
    const qint64 size = m_source.size();
    Result result{Status::Found, 1, 0};
    if (target <= 1)
        return result;
    // The table starts line k at entry k - 2; begin at the last start known
    // at or before the target.
    if (!m_known.empty()) {
        const qint64 index = std::min<qint64>(target - 2, qint64(m_known.size()) - 1);
        result.line = index + 2;
        result.position = m_known[size_t(index)];
        if (result.line == target)
            return result;
    }

    const int unitBytes = m_unit == LineCountUnit::Byte ? 1 : 2;
    const qint64 origin = result.position;
    bool crPending = false; // a CR seen; the next unit tells whether an LF joins it
    qint64 crEnd = 0;
    // A break ending at end: the next line starts there, unless the file does.
    const auto lineAt = [&](qint64 end) {
        if (end >= size)
            return false;
        ++result.line;
        result.position = end;
        return result.line == target;
    };

    std::vector<char> buffer(static_cast<size_t>(blockSize));
    for (qint64 pos = origin; pos < size;) {
        if (stop.stop_requested())
            return Result{Status::Cancelled, result.line, result.position};
        const qint64 want = std::min(blockSize, size - pos);
        qint64 got = 0;
        const auto read = m_source.read(buffer.data(), want, pos, &got, stop);
        if (read != FileSource::ReadResult::Ok || got <= 0)
            return Result{read == FileSource::ReadResult::Cancelled ? Status::Cancelled
                                                                    : Status::Failed,
                          result.line, result.position};
        const qint64 units = got / unitBytes;
        const char *data = buffer.data();
        const bool bytes = unitBytes == 1;
        // Most logs hold no CR: then every LF is a break, found by memchr.
        if (bytes && !crPending && !std::memchr(data, '\r', size_t(units))) {
            for (const char *at = data, *end = data + units;
                 (at = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at))));) {
                ++at;
                if (lineAt(pos + (at - data)))
                    return result;
            }
        } else {
            for (qint64 i = 0; i < units; ++i) {
                const unsigned char *u =
                    reinterpret_cast<const unsigned char *>(data) + i * unitBytes;
                const unsigned value = bytes ? u[0]
                                       : m_unit == LineCountUnit::Utf16Little
                                           ? unsigned(u[0] | (u[1] << 8))
                                           : unsigned((u[0] << 8) | u[1]);
                const qint64 after = pos + (i + 1) * unitBytes;
                if (crPending) {
                    crPending = false;
                    if (value == '\n') {
                        if (lineAt(after))
                            return result;
                        continue;
                    }
                    if (lineAt(crEnd))
                        return result;
                }
                if (value == '\r') {
                    crPending = true;
                    crEnd = after;
                } else if (value == '\n' && lineAt(after)) {
                    return result;
                }
            }
        }
        pos += units * unitBytes;
        if (units == 0)
            break;
        if (progress && size > origin)
            progress(int((pos - origin) * 100 / (size - origin)));
    }
    if (crPending && lineAt(crEnd))
        return result;
    result.status = Status::PastEnd;
    return result;
}
