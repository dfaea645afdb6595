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

// Pages that switch between ASCII and their double-byte sets by shift
// bytes (SO, SI) or by escape sequences (ESC $ B and the like).
inline bool shiftsBySoSi(int codepageId)
{
    return codepageId == 50225 || codepageId == 50227 || codepageId == 50229;
}
inline bool shiftsByEscape(int codepageId)
{
    return codepageId >= 50220 && codepageId <= 50222;
}

// Two open faults of the shifting pages, left out until they are mended
// (issue 23): shift bytes in a row, which give no character and count with
// the one before, cut by a forward block after a match (the match's length
// cannot be known at the block's end); and a shift left open across a line
// break (the pane's block route reads the next line shifted, a line read
// alone does not). Text that shifts once and ends every line in ASCII, as
// the standards ask, reaches neither.
inline bool hitsOpenShiftFault(int codepageId, std::string_view bytes)
{
    const bool bySoSi = shiftsBySoSi(codepageId);
    if (!bySoSi && !shiftsByEscape(codepageId))
        return false;
    bool shifted = false;
    char last = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (bySoSi) {
            if ((c == 0x0e || c == 0x0f) && (last == 0x0e || last == 0x0f))
                return true;
            if (c == 0x0e || c == 0x0f)
                shifted = c == 0x0e;
        } else if (c == 0x1b && i + 1 < bytes.size()) {
            shifted = bytes[i + 1] == '$'; // ESC ( B, ESC ( J: back to one byte
        }
        if ((c == '\n' || c == '\r') && shifted)
            return true;
        last = c;
    }
    return false;
}
