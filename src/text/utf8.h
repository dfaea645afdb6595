#pragma once

#include <QByteArray>

// The one UTF-8 encoder. c must be a Unicode scalar value (no surrogate,
// at most U+10FFFF); callers replace anything else first.

// Writes c's bytes to out, which has room for four; gives how many.
inline int encodeUtf8(char32_t c, char *out)
{
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | c >> 6);
        out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = char(0xE0 | c >> 12);
        out[1] = char(0x80 | (c >> 6 & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | c >> 18);
    out[1] = char(0x80 | (c >> 12 & 0x3F));
    out[2] = char(0x80 | (c >> 6 & 0x3F));
    out[3] = char(0x80 | (c & 0x3F));
    return 4;
}

// Whether b continues a character rather than starting one.
inline bool isUtf8Continuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

inline void appendUtf8(QByteArray &out, char32_t c)
{
    char bytes[4];
    out.append(bytes, encodeUtf8(c, bytes));
}
