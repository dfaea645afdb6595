#pragma once

#include "search/bytefinder.h"

#include "text/codepagelist.h"

#include <QString>

// What the plain engine compares in one block, prepared once per search from
// the text, the encoding and the options.
//
// The results are those of decoding the block and comparing characters
// (letter case folded by the simple lower-case mapping, except that no
// character above 127 becomes an ASCII one), but where the text allows it the
// raw bytes are compared instead: UTF-8 and single-byte pages byte for byte
// through a fold table, UTF-16 as byte pairs at even offsets. A caseless
// non-ASCII text in UTF-8 goes by bytes as well when its case variants take
// as many bytes as its characters, each candidate decoded and compared. The
// rest (multi-byte pages, a caseless non-ASCII text in UTF-16, a text
// holding U+FFFD) decodes the block and maps the hit back to the bytes it
// came from.
class PlainMatcher final
{
public:
    enum class Route {
        None,    // the text cannot occur in this encoding
        Bytes,   // one byte per step
        Units16, // UTF-16 units, raw
        Decoded, // decode, fold, compare, map back
    };
    struct Hit
    {
        qsizetype offset = -1; // in the block's bytes
        qsizetype length = 0;  // in bytes
        // Decoded route: a match ends at the data's end, and bytes that read
        // as nothing (shifts) may go on after it; read on and look again.
        bool needsMore = false;
    };

    void prepare(const QString &text, Encoding encoding, bool caseSensitive, bool wholeWords);

    Route route() const { return m_route; }
    int charSize() const { return m_charSize; }
    // Whether every byte is a character of its own (a single-byte page).
    bool oneBytePerChar() const { return m_oneBytePerChar; }
    // Bytes that consecutive blocks share: the longest match plus the
    // neighbour the whole-word test needs.
    qsizetype overlapBytes() const { return m_overlap; }
    // Bytes and Units16 routes: the first match forward (or the last
    // backward) in a block. Whole words: a match touching the block's edge
    // in the search direction is refused unless lastBlock, so that the next
    // block tries it again with its neighbour in sight. A match at the other
    // edge of a block after the first was judged by the block before, which
    // saw its neighbour, and is refused.
    Hit find(const char *data, qsizetype size, bool forward, bool lastBlock, bool firstBlock) const;

    // Decoded route: which matches of a block count, as indices into it.
    struct Range
    {
        qsizetype from = 0;     // where decoding begins, in step with the whole text
        qsizetype lo = 0;       // a match starts at Lo or later
        qsizetype hi = 0;       // and before Hi
        qsizetype endEdge = -1; // and ends by EndEdge (-1: anywhere)
        // The edges of the searched range are word borders, as the ends of
        // the source are: a match starting at StartEdge or ending at EndEdge.
        qsizetype startEdge = -1;
        bool atStart = false; // data[0] is the first byte of the source
        bool atEnd = false;   // the data reaches the end of the source
    };
    Hit findDecoded(const char *data, qsizetype size, bool forward, const Range &range) const;

    // Simple lower case of one UTF-16 unit, never from above 127 to ASCII.
    static char16_t foldUnit(char16_t unit);
    // Whether a character ends a word: controls, space and ASCII punctuation
    // except the underscore. Every code above 127 is a word character.
    static bool isWordSeparator(char32_t ch);

private:
    Hit findBytes(const uint8_t *data, qsizetype size, bool forward, bool lastBlock,
                  bool firstBlock) const;
    bool prepareCaselessUtf8(const QString &text);
    bool decodesToText(const uint8_t *data, qsizetype p, qsizetype n) const;
    bool separatorBefore(const uint8_t *data, qsizetype p) const;
    bool separatorAt(const uint8_t *data, qsizetype p) const;

    Route m_route = Route::None;
    Encoding m_encoding;
    int m_charSize = 1;
    bool m_wholeWords = false;
    bool m_caseSensitive = true;
    bool m_bigEndian = false;
    bool m_oneBytePerChar = false;
    // Bytes route, caseless UTF-8 past ASCII: a candidate is decoded and
    // compared with m_units.
    bool m_verifyUtf8 = false;
    qsizetype m_overlap = 0;
    ByteFinder m_finder;
    bool m_separator[256] = {}; // Bytes route: by the byte's character
    QString m_units;            // Decoded route and m_verifyUtf8: the folded text
};
