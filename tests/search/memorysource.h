#pragma once

#include "viewer/filesource.h"

#include <QByteArray>

#include <cstring>
#include <vector>

// Bytes in memory as a source. It records every read, and can fail the reads
// that touch one offset.
class MemorySource final : public FileSource
{
public:
    explicit MemorySource(QByteArray bytes) : m_bytes(std::move(bytes)) {}

    qint64 size() const override { return m_bytes.size(); }
    ReadResult read(char *buffer, qint64 count, qint64 position, qint64 *bytesRead,
                    std::stop_token stop = {}) const override
    {
        m_reads.push_back(position);
        *bytesRead = 0;
        if (stop.stop_requested())
            return ReadResult::Cancelled;
        if (failAt >= 0 && failAt >= position && failAt < position + count)
            return ReadResult::Failed;
        const qint64 n = std::max<qint64>(0, std::min<qint64>(count, size() - position));
        if (n > 0)
            std::memcpy(buffer, m_bytes.constData() + position, size_t(n));
        std::memset(buffer + n, 0, size_t(count - n));
        *bytesRead = n;
        return ReadResult::Ok;
    }
    std::unique_ptr<FileSource> openAnother() const override
    {
        return std::make_unique<MemorySource>(m_bytes);
    }

    const std::vector<qint64> &reads() const { return m_reads; }
    qint64 failAt = -1;

private:
    QByteArray m_bytes;
    mutable std::vector<qint64> m_reads;
};
