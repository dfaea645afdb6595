#pragma once

#include <QByteArray>

#include <emmintrin.h>

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

// Bytes before the first one above 127, at most n; 16 at a time.
inline qsizetype asciiPrefix(const unsigned char *p, qsizetype n)
{
    qsizetype i = 0;
    const auto at = [p](qsizetype k) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + k));
    };
    for (; i + 64 <= n; i += 64) {
        const __m128i any =
            _mm_or_si128(_mm_or_si128(at(i), at(i + 16)), _mm_or_si128(at(i + 32), at(i + 48)));
        if (_mm_movemask_epi8(any))
            break;
    }
    for (; i + 16 <= n; i += 16) {
        const int high = _mm_movemask_epi8(at(i));
        if (high)
            return i + __builtin_ctz(unsigned(high));
    }
    while (i < n && p[i] < 0x80)
        ++i;
    return i;
}
