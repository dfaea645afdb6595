#pragma once

#include "text/encoding.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Bytes of any encoding as text, for every reader of a file: a block decoded
// from a character start (decodeSyncBefore finds one) with the byte each
// piece of the result came from, a stream decoded block by block, and the
// steps that read one character at a time.

// A block as UTF-16. offsets receives, per unit of the result, the index of
// the first byte it came from: for UTF-16 each unit is its own two bytes (an
// odd last byte is dropped); for a code page as codepageToUnicode gives them,
// whose rules hold for the text as well (U+FFFD, state bytes, "?").
QString decodeBlock(const char *data, qsizetype size, Encoding encoding,
                    std::vector<int> *offsets = nullptr);

// Whether a code page block's text is the lone "?" that codepageToUnicode
// gives for bytes that decode to nothing (they only switch state).
inline bool decodedToNothing(const QString &text, const std::vector<int> &offsets, const char *data)
{
    return text.size() == 1 && text.at(0) == QLatin1Char('?') && offsets[0] == 0 && data[0] != '?';
}

// A block as UTF-8, appended to out. A character that UTF-8 cannot hold (half
// a surrogate pair) becomes replacement, a scalar value. offsets, when given,
// receives per byte appended the index of the first byte of its character,
// and then one entry for the end of the decoded bytes.
void decodeBlockUtf8(const char *data, qsizetype size, Encoding encoding, char32_t replacement,
                     QByteArray &out, std::vector<qint64> *offsets = nullptr);

// A stream decoded in blocks of any size: a character cut by a block's end
// waits for the next block, so the text equals decoding the stream at once.
// Multi-byte code pages wait from the last place decoding may begin; where
// a block shows none, the bytes wait until pendingLimit of them do.
class StreamDecoder final
{
public:
    static constexpr qsizetype pendingLimit = qsizetype(1) << 20;

    // With dropByteOrderMark a UTF-16 stream's leading U+FEFF is no text.
    explicit StreamDecoder(Encoding encoding, bool dropByteOrderMark = false);

    // The next bytes; last says no more follow. offsets as decodeBlock's,
    // counted from the stream's first byte.
    QString decode(const char *data, qsizetype size, bool last,
                   std::vector<qint64> *offsets = nullptr);
    // As decode, the text appended to out as UTF-8 (halves of surrogate
    // pairs as "?").
    void decodeUtf8(const char *data, qsizetype size, bool last, QByteArray &out);

    // Bytes given but not decoded yet.
    qsizetype pending() const { return m_pending.size(); }

private:
    qsizetype decodable(bool last) const;

    Encoding m_encoding;
    bool m_dropMark;
    qint64 m_consumed = 0; // stream offset of m_pending's first byte
    QByteArray m_pending;
};

// One character read from the front of count bytes, for readers that take
// text a character at a time: the code point and the bytes it took; NeedMore
// when the bytes end inside it; Invalid with the bytes that do not decode.
struct DecodedChar
{
    enum Kind : quint8 { Char, NeedMore, Invalid };
    Kind result = Invalid;
    int used = 0;
    char32_t ch = 0;
};

// Strict UTF-8: overlong forms, surrogates, codes past U+10FFFF and stray
// bytes are Invalid one byte at a time.
DecodedChar decodeUtf8Char(const unsigned char *bytes, qsizetype count);
// A pair is its character; half a pair is Invalid for its two bytes.
DecodedChar decodeUtf16Char(const unsigned char *bytes, qsizetype count, bool bigEndian);
// A page of one byte per character by its table of 256; a surrogate in the
// table is Invalid. A null table makes every byte Invalid.
DecodedChar decodeTableChar(const char16_t *table, const unsigned char *bytes, qsizetype count);
