#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The case fold of byte searches that ignore case in ASCII only: 'A' to 'Z'
// read as 'a' to 'z', every other byte (UTF-8 parts included) as itself.
using ByteFoldTable = std::array<uint8_t, 256>;

// A select, not a lookup, so that loops over text vectorise.
constexpr char asciiLower(char c)
{
    return unsigned(uint8_t(c)) - 'A' < 26u ? char(c + ('a' - 'A')) : c;
}

inline constexpr ByteFoldTable asciiFoldTable = [] {
    ByteFoldTable fold{};
    for (int b = 0; b < 256; ++b)
        fold[std::size_t(b)] = uint8_t(asciiLower(char(b)));
    return fold;
}();
