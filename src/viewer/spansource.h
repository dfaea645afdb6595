#pragma once

#include "viewer/filesource.h"

#include <algorithm>
#include <cstring>

// Bytes in the caller's memory as a source, so that the search engines can
// run over a block already read. The caller keeps the bytes alive.
class SpanSource final : public FileSource
{
public:
    SpanSource(const char *data, qint64 size) : m_data(data), m_size(size) {}

    qint64 size() const override { return m_size; }
    ReadResult read(char *buffer, qint64 count, qint64 position, qint64 *bytesRead,
                    std::stop_token stop = {}) const override
    {
        *bytesRead = 0;
        if (stop.stop_requested())
            return ReadResult::Cancelled;
        const qint64 n = std::clamp<qint64>(m_size - position, 0, std::max<qint64>(count, 0));
        if (n > 0)
            std::memcpy(buffer, m_data + position, size_t(n));
        if (count > n)
            std::memset(buffer + n, 0, size_t(count - n));
        *bytesRead = n;
        return ReadResult::Ok;
    }
    std::unique_ptr<FileSource> openAnother() const override
    {
        return std::make_unique<SpanSource>(m_data, m_size);
    }

private:
    const char *m_data;
    qint64 m_size;
};

// A range of another source as a source of its own, starting at 0.
class SliceSource final : public FileSource
{
public:
    SliceSource(const FileSource &source, qint64 from, qint64 size)
        : m_source(source), m_from(from), m_size(size)
    {}

    qint64 size() const override { return m_size; }
    ReadResult read(char *buffer, qint64 count, qint64 position, qint64 *bytesRead,
                    std::stop_token stop = {}) const override
    {
        *bytesRead = 0;
        const qint64 n = std::clamp<qint64>(m_size - position, 0, std::max<qint64>(count, 0));
        if (count > n)
            std::memset(buffer + n, 0, size_t(count - n));
        if (n == 0)
            return ReadResult::Ok;
        return m_source.read(buffer, n, m_from + position, bytesRead, stop);
    }
    std::unique_ptr<FileSource> openAnother() const override { return nullptr; }

private:
    const FileSource &m_source;
    qint64 m_from;
    qint64 m_size;
};
