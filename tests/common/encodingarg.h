#pragma once

#include "text/encoding.h"

#include <ostream>

// Test tables name encodings by the numbers the settings file stores (-2
// UTF-16 BE, -1 UTF-16 LE, else a list index); a field of this type takes
// such a number or an Encoding and passes on as an Encoding.
struct EncodingArg
{
    constexpr EncodingArg(int storedCode) : value(Encoding::fromStoredCode(storedCode)) {}
    constexpr EncodingArg(Encoding encoding) : value(encoding) {}
    constexpr operator Encoding() const { return value; }
    constexpr int index() const { return value.codePageIndex(); }

    Encoding value;
};

inline std::ostream &operator<<(std::ostream &out, Encoding encoding)
{
    if (encoding.isUtf16())
        return out << (encoding.isBigEndian() ? "UTF-16 BE" : "UTF-16 LE");
    return out << "code page entry " << encoding.codePageIndex();
}

inline std::ostream &operator<<(std::ostream &out, EncodingArg encoding)
{
    return out << encoding.value;
}
