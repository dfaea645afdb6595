#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Takes the fields of a fuzz input from its front. Past the end a field
// reads as zero and a run of bytes as empty, so that every input means
// something and a short one still reaches the code.
class InputBytes
{
public:
    InputBytes(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint16_t word()
    {
        const uint16_t high = byte();
        return uint16_t(high << 8 | byte());
    }
    // At most n bytes.
    std::string_view take(size_t n)
    {
        n = std::min(n, m_size - m_pos);
        const std::string_view s(reinterpret_cast<const char *>(m_data + m_pos), n);
        m_pos += n;
        return s;
    }
    // The bytes up to the next NUL (skipped), or all that is left.
    std::string_view takeUntilNul()
    {
        const auto *end = std::find(m_data + m_pos, m_data + m_size, uint8_t(0));
        const std::string_view s = take(size_t(end - (m_data + m_pos)));
        byte();
        return s;
    }
    std::string_view rest() { return take(m_size - m_pos); }
    size_t left() const { return m_size - m_pos; }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};
