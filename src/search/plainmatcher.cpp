#include "search/plainmatcher.h"

#include "search/pagetable.h"

#include "text/codepagebackend.h"
#include "text/codepages.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <climits>
#include <mutex>
#include <vector>

namespace {

// Bytes one character may take in any page the Decoded route serves; enough
// for GB 18030 and for the shift sequences of the stateful pages.
constexpr qsizetype kMaxCharBytes = 8;

const std::array<char16_t, 65536> &FoldTable16()
{
    static std::array<char16_t, 65536> table;
    static std::once_flag once;
    std::call_once(once, [] {
        for (int u = 0; u < 65536; ++u) {
            char16_t f = char16_t(u);
            if (!QChar::isSurrogate(char32_t(u))) {
                const char32_t lower = QChar::toLower(char32_t(u));
                if (lower <= 0xFFFF && !(u >= 128 && lower < 128))
                    f = char16_t(lower);
            }
            table[size_t(u)] = f;
        }
    });
    return table;
}

bool IsUtf8Page(TQzEncoding encoding)
{
    return BackendForCodepage(CodepageID(encoding)).Kind == CodepageBackendKind::Utf8;
}

bool IsAscii(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() >= 128)
            return false;
    }
    return true;
}

ByteFinder::FoldTable AsciiFold()
{
    ByteFinder::FoldTable fold;
    for (int b = 0; b < 256; ++b)
        fold[size_t(b)] = uint8_t(b >= 'A' && b <= 'Z' ? b + 32 : b);
    return fold;
}

} // namespace

char16_t PlainMatcher::FoldUnit(char16_t unit)
{
    return FoldTable16()[unit];
}

bool PlainMatcher::IsWordSeparator(char32_t ch)
{
    return ch <= 47 || (ch >= 58 && ch <= 64) || (ch >= 91 && ch <= 94) || ch == 96 ||
           (ch >= 123 && ch <= 127);
}

void PlainMatcher::Prepare(const QString &text, TQzEncoding encoding, bool caseSensitive,
                           bool wholeWords)
{
    m_route = Route::None;
    m_oneBytePerChar = false;
    m_encoding = encoding;
    m_wholeWords = wholeWords;
    m_caseSensitive = caseSensitive;
    m_charSize = encoding == EncodingUtf16LE || encoding == EncodingUtf16BE ? 2 : 1;
    m_bigEndian = encoding == EncodingUtf16BE;
    m_units.clear();
    if (text.isEmpty())
        return;
    for (int b = 0; b < 256; ++b)
        m_separator[b] = IsWordSeparator(char32_t(b));
    const auto decoded = [&] {
        m_route = Route::Decoded;
        m_units = text;
        if (!caseSensitive) {
            for (QChar &c : m_units)
                c = QChar(FoldUnit(c.unicode()));
        }
        m_overlap = (text.size() + 1) * (m_charSize == 2 ? 2 : kMaxCharBytes);
    };

    if (m_charSize == 2) {
        if (!caseSensitive && !IsAscii(text))
            return decoded();
        QByteArray bytes;
        for (QChar c : caseSensitive ? text : text.toLower()) {
            const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
            bytes += m_bigEndian ? hi : lo;
            bytes += m_bigEndian ? lo : hi;
        }
        const ByteFinder::FoldTable fold = AsciiFold();
        m_finder.Prepare(bytes, caseSensitive ? nullptr : &fold);
        m_route = Route::Units16;
        m_overlap = bytes.size() + 2;
        return;
    }
    if (encoding < 0 || encoding >= CodepageCount || !IsCodepageSupported(encoding))
        return;

    if (IsUtf8Page(encoding)) {
        // Bytes that do not decode read as U+FFFD, and only the decoder can
        // tell them; a text holding one (or half a surrogate pair) decodes.
        bool plain = !text.contains(QChar(0xFFFD));
        for (QChar c : text)
            plain = plain && !c.isSurrogate();
        if (!plain || (!caseSensitive && !IsAscii(text)))
            return decoded();
        const QByteArray bytes = (caseSensitive ? text : text.toLower()).toUtf8();
        const ByteFinder::FoldTable fold = AsciiFold();
        m_finder.Prepare(bytes, caseSensitive ? nullptr : &fold);
        m_route = Route::Bytes;
        m_overlap = bytes.size() + 1;
        return;
    }
    const char16_t *table = SingleByteTable(encoding);
    if (!table)
        return decoded();
    m_oneBytePerChar = true;

    // Bytes whose characters compare equal share one fold class; its
    // smallest byte stands for it in the pattern.
    const auto key = [&](char16_t c) { return caseSensitive ? c : FoldUnit(c); };
    ByteFinder::FoldTable fold;
    for (int b = 0; b < 256; ++b) {
        fold[size_t(b)] = uint8_t(b);
        for (int a = 0; a < b; ++a) {
            if (key(table[a]) == key(table[b])) {
                fold[size_t(b)] = uint8_t(a);
                break;
            }
        }
        m_separator[b] = IsWordSeparator(table[b]);
    }
    QByteArray bytes;
    for (QChar c : text) {
        int found = -1;
        for (int b = 0; b < 256 && found < 0; ++b) {
            if (key(table[b]) == key(c.unicode()))
                found = fold[size_t(b)];
        }
        if (found < 0)
            return; // a character the page does not have
        bytes += char(found);
    }
    bool identity = true;
    for (int b = 0; b < 256; ++b)
        identity = identity && fold[size_t(b)] == b;
    m_finder.Prepare(bytes, identity ? nullptr : &fold);
    m_route = Route::Bytes;
    m_overlap = bytes.size() + 1;
}

bool PlainMatcher::SeparatorBefore(const uint8_t *data, qsizetype p) const
{
    if (m_route == Route::Units16) {
        const char16_t u = m_bigEndian ? char16_t(data[p - 2] << 8 | data[p - 1])
                                       : char16_t(data[p - 1] << 8 | data[p - 2]);
        return IsWordSeparator(u);
    }
    return m_separator[data[p - 1]];
}

bool PlainMatcher::SeparatorAt(const uint8_t *data, qsizetype p) const
{
    if (m_route == Route::Units16) {
        const char16_t u = m_bigEndian ? char16_t(data[p] << 8 | data[p + 1])
                                       : char16_t(data[p + 1] << 8 | data[p]);
        return IsWordSeparator(u);
    }
    return m_separator[data[p]];
}

PlainMatcher::Hit PlainMatcher::Find(const char *data, qsizetype size, bool forward, bool lastBlock,
                                     bool firstBlock) const
{
    switch (m_route) {
    case Route::Bytes:
    case Route::Units16:
        return FindBytes(reinterpret_cast<const uint8_t *>(data), size, forward, lastBlock,
                         firstBlock);
    case Route::None:
    case Route::Decoded:
        break;
    }
    return {};
}

PlainMatcher::Hit PlainMatcher::FindBytes(const uint8_t *data, qsizetype size, bool forward,
                                          bool lastBlock, bool firstBlock) const
{
    if (m_route == Route::Units16)
        size &= ~qsizetype(1); // a trailing odd byte is no unit
    const qsizetype n = m_finder.Length();
    const auto accept = [&](qsizetype p) {
        if (m_route == Route::Units16 && (p & 1))
            return false;
        if (!m_wholeWords)
            return true;
        if (!lastBlock && (forward ? p + n >= size : p == 0))
            return false;
        if (!firstBlock && (forward ? p == 0 : p + n == size))
            return false;
        return (p == 0 || SeparatorBefore(data, p)) && (p + n == size || SeparatorAt(data, p + n));
    };
    if (forward) {
        for (qsizetype p = m_finder.FindForward(data, size, 0); p >= 0;
             p = m_finder.FindForward(data, size, p + 1)) {
            if (accept(p))
                return {p, n};
        }
    } else {
        for (qsizetype p = m_finder.FindBackward(data, size, size - n); p >= 0;
             p = m_finder.FindBackward(data, size, p - 1)) {
            if (accept(p))
                return {p, n};
        }
    }
    return {};
}

PlainMatcher::Hit PlainMatcher::FindDecoded(const char *data, qsizetype size, bool forward,
                                            const Range &range) const
{
    if (m_route != Route::Decoded || range.From >= size)
        return {};
    const char *text = data + range.From;
    const qsizetype textSize = size - range.From;
    QString units;
    std::vector<int> offsets;
    if (m_charSize == 2) {
        units = BytesToWideString(text, textSize, m_bigEndian);
        offsets.resize(size_t(units.size()));
        for (size_t i = 0; i < offsets.size(); ++i)
            offsets[i] = int(2 * i);
    } else {
        units = CodepageToUnicode(text, textSize, m_encoding, &offsets);
        // Bytes that only switch state decode to nothing, which the
        // conversion reports as one "?" at offset 0.
        if (units.size() == 1 && units.at(0) == QLatin1Char('?') && offsets[0] == 0 &&
            text[0] != '?')
            return {};
    }
    if (!m_caseSensitive) {
        for (QChar &c : units)
            c = QChar(FoldUnit(c.unicode()));
    }
    const qsizetype n = m_units.size(), count = units.size();
    const qsizetype dataEnd = m_charSize == 2 ? range.From + 2 * count : size;
    const auto at = [&](qsizetype i) {
        return i < count ? range.From + offsets[size_t(i)] : dataEnd;
    };
    // Units that share their first byte belong to one character.
    const auto inside = [&](qsizetype i) {
        return i > 0 && i < count && offsets[size_t(i)] == offsets[size_t(i - 1)];
    };
    const auto accept = [&](qsizetype i) {
        const qsizetype start = at(i), end = at(i + n);
        if (start < range.Lo || start >= range.Hi || inside(i) || inside(i + n))
            return false;
        if (range.EndEdge >= 0 && end > range.EndEdge)
            return false;
        if (!m_wholeWords)
            return true;
        const bool edgeBefore =
            start == range.StartEdge || (i == 0 && range.From == 0 && range.AtStart);
        if (!edgeBefore && (i == 0 || !IsWordSeparator(units.at(i - 1).unicode())))
            return false;
        const bool edgeAfter = end == range.EndEdge || (i + n == count && range.AtEnd);
        return edgeAfter || (i + n < count && IsWordSeparator(units.at(i + n).unicode()));
    };
    // The units whose character starts in [Lo, Hi).
    const auto firstFrom = [&](qsizetype pos) {
        const int rel = int(std::clamp<qsizetype>(pos - range.From, 0, INT_MAX));
        return qsizetype(std::lower_bound(offsets.begin(), offsets.end(), rel) - offsets.begin());
    };
    if (forward) {
        for (qsizetype i = units.indexOf(m_units, firstFrom(std::max(range.Lo, range.From)));
             i >= 0 && at(i) < range.Hi; i = units.indexOf(m_units, i + 1)) {
            if (accept(i))
                return {at(i), at(i + n) - at(i)};
        }
    } else {
        const qsizetype last = std::min(firstFrom(range.Hi) - 1, count - n);
        for (qsizetype i = last < 0 ? -1 : units.lastIndexOf(m_units, last);
             i >= 0 && at(i) >= range.Lo; i = i == 0 ? -1 : units.lastIndexOf(m_units, i - 1)) {
            if (accept(i))
                return {at(i), at(i + n) - at(i)};
        }
    }
    return {};
}
