#include "viewer/linelocator.h"

#include "viewer/filesource.h"

LineLocator::LineLocator(const FileSource &source, LineCountUnit unit, std::vector<qint32> known,
                         LineIndex::Start indexed)
    : m_source(source), m_unit(unit), m_known(std::move(known)), m_indexed(indexed)
{}

LineLocator::Result LineLocator::find(qint64 target, std::stop_token stop,
                                      const Progress &progress) const
{
    using Status = Result::Status;
    if (target <= 1)
        return Result{Status::Found, 1, 0};
    // The table starts line k at entry k - 2; begin at the last start known
    // at or before the target.
    LineIndex::Start from;
    if (!m_known.empty()) {
        const qint64 index = std::min<qint64>(target - 2, qint64(m_known.size()) - 1);
        from = {m_known[size_t(index)], index + 2};
    }
    const qint64 size = m_source.size();
    if (m_indexed.line > from.line && m_indexed.line <= target && m_indexed.offset < size)
        from = m_indexed;

    const qint64 origin = from.offset;
    const auto located = LineIndex::locate(
        m_source, m_unit, from, target, size, stop,
        [&](qint64 reached) {
            if (progress && size > origin)
                progress(int((reached - origin) * 100 / (size - origin)));
        },
        int(blockSize));
    using Located = LineIndex::Located::Status;
    Result result{Status::Found, located.at.line, located.at.offset};
    switch (located.status) {
    case Located::Found:
        break;
    case Located::Ended:
        result.status = Status::PastEnd;
        break;
    case Located::Failed:
        result.status = Status::Failed;
        break;
    case Located::Cancelled:
        result.status = Status::Cancelled;
        break;
    }
    return result;
}
