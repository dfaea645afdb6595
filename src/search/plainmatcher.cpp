#include "search/plainmatcher.h"

#include "search/pagetable.h"

#include "text/codepagebackend.h"
#include "text/codepages.h"

#include <QChar>

#include <array>
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
    case Route::None:
        return {};
    case Route::Bytes:
    case Route::Units16:
        return FindBytes(reinterpret_cast<const uint8_t *>(data), size, forward, lastBlock,
                         firstBlock);
    case Route::Decoded:
        return FindDecoded(data, size, forward, lastBlock, firstBlock);
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
                                            bool lastBlock, bool firstBlock) const
{
    QString units;
    std::vector<int> offsets;
    if (m_charSize == 2) {
        units = BytesToWideString(data, size, m_bigEndian);
        offsets.resize(size_t(units.size()));
        for (size_t i = 0; i < offsets.size(); ++i)
            offsets[i] = int(2 * i);
        size &= ~qsizetype(1);
    } else {
        units = CodepageToUnicode(data, size, m_encoding, &offsets);
    }
    if (!m_caseSensitive) {
        for (QChar &c : units)
            c = QChar(FoldUnit(c.unicode()));
    }
    const qsizetype n = m_units.size(), count = units.size();
    const auto accept = [&](qsizetype i) {
        if (!m_wholeWords)
            return true;
        if (!lastBlock && (forward ? i + n >= count : i == 0))
            return false;
        if (!firstBlock && (forward ? i == 0 : i + n == count))
            return false;
        return (i == 0 || IsWordSeparator(units.at(i - 1).unicode())) &&
               (i + n == count || IsWordSeparator(units.at(i + n).unicode()));
    };
    qsizetype i = forward ? units.indexOf(m_units) : units.lastIndexOf(m_units);
    while (i >= 0 && !accept(i)) {
        if (forward)
            i = units.indexOf(m_units, i + 1);
        else
            i = i == 0 ? -1 : units.lastIndexOf(m_units, i - 1);
    }
    if (i < 0)
        return {};
    const qsizetype start = offsets[size_t(i)];
    const qsizetype end = i + n < count ? offsets[size_t(i + n)] : size;
    return {start, end - start};
}
