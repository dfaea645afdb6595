#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cstring>

// Lines end at LF, at CR or at CR LF. The scans below stay on memchr, one
// sweep per break byte, so text without CRs pays little for them.

constexpr bool isLineBreak(char32_t c)
{
    return c == U'\n' || c == U'\r';
}

// The first CR or LF in [from, to), or to.
inline qsizetype nextLineBreak(const char *data, qsizetype from, qsizetype to)
{
    if (from >= to)
        return to;
    const void *lf = std::memchr(data + from, '\n', size_t(to - from));
    const qsizetype end = lf ? static_cast<const char *>(lf) - data : to;
    const void *cr = std::memchr(data + from, '\r', size_t(end - from));
    return cr ? static_cast<const char *>(cr) - data : end;
}

// Just after the last CR or LF in [from, to), or from.
inline qsizetype lineStartBefore(const char *data, qsizetype from, qsizetype to)
{
    if (from >= to)
        return from;
    const void *lf = ::memrchr(data + from, '\n', size_t(to - from));
    const qsizetype start = lf ? static_cast<const char *>(lf) - data + 1 : from;
    const void *cr = ::memrchr(data + start, '\r', size_t(to - start));
    return cr ? static_cast<const char *>(cr) - data + 1 : start;
}

// Walks the breaks of data[0, size) in order for a caller that moves only
// forward: one cursor per break byte, each searched again only once passed.
class LineBreakScanner final
{
public:
    LineBreakScanner(const char *data, qsizetype size) : m_data(data), m_size(size) {}

    // The first CR or LF at or after from (never less than an earlier
    // from), or size.
    qsizetype next(qsizetype from)
    {
        if (m_cr < from)
            m_cr = find(from, '\r');
        if (m_lf < from)
            m_lf = find(from, '\n');
        return std::min(m_cr, m_lf);
    }

private:
    qsizetype find(qsizetype from, char c) const
    {
        if (from >= m_size)
            return m_size;
        const void *hit = std::memchr(m_data + from, c, size_t(m_size - from));
        return hit ? static_cast<const char *>(hit) - m_data : m_size;
    }

    const char *m_data;
    qsizetype m_size;
    qsizetype m_cr = -1;
    qsizetype m_lf = -1;
};
