#pragma once

#include <array>
#include <cstdint>

// The case fold of byte searches that ignore case in ASCII only: 'A' to 'Z'
// read as 'a' to 'z', every other byte (UTF-8 parts included) as itself.
using ByteFoldTable = std::array<uint8_t, 256>;

inline constexpr ByteFoldTable asciiFoldTable = [] {
    ByteFoldTable fold{};
    for (int b = 0; b < 256; ++b)
        fold[size_t(b)] = uint8_t(b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b);
    return fold;
}();

inline char asciiLower(char c)
{
    return char(asciiFoldTable[uint8_t(c)]);
}
