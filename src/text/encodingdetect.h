#pragma once

#include "text/encoding.h"

#include <QByteArray>

#include <optional>
#include <vector>

// What the first bytes of a file without a byte order mark say of its
// encoding.
struct EncodingGuess
{
    enum class Kind {
        None,      // too little to tell, or nothing sure: the default stays
        Utf8,      // valid UTF-8 (the system's own encoding here)
        Utf8Mixed, // mostly UTF-8 with bytes that are not: stays UTF-8, and says so
        Utf16,     // UTF-16 told by its zero bytes
        Detected,  // ICU's charset detector, with high confidence
    };
    Kind kind = Kind::None;
    Encoding encoding;
    // The detector's next choices, best first, for the encoding menu.
    std::vector<Encoding> candidates;
};

// Looks at the first 64 KiB at most; below 64 bytes it tells nothing.
EncodingGuess guessEncoding(const QByteArray &head);

// The listed code page of an ICU charset name ("windows-1251",
// "Shift_JIS"); none when the list has no such page.
std::optional<Encoding> encodingOfCharset(const char *name);
