#include "search/plainmatcher.h"

#include "search/pagetable.h"

#include "text/asciifold.h"
#include "text/blockdecoder.h"
#include "text/codepages.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <climits>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// Bytes one character may take in any page the Decoded route serves; enough
// for GB 18030 and for the shift sequences of the stateful pages.
constexpr qsizetype kMaxCharBytes = 8;

const std::array<char16_t, 65536> &foldTable16()
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

// Every character of the Basic Multilingual Plane beside its folded unit,
// ordered by it: the case variants of a character are a range.
const std::vector<std::pair<char16_t, char16_t>> &caseVariants()
{
    static std::vector<std::pair<char16_t, char16_t>> table;
    static std::once_flag once;
    std::call_once(once, [] {
        for (int u = 0; u < 65536; ++u)
            if (!QChar::isSurrogate(char32_t(u)))
                table.emplace_back(foldTable16()[size_t(u)], char16_t(u));
        std::sort(table.begin(), table.end());
    });
    return table;
}

bool isAscii(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() >= 128)
            return false;
    }
    return true;
}

} // namespace

char16_t PlainMatcher::foldUnit(char16_t unit)
{
    return foldTable16()[unit];
}

bool PlainMatcher::isWordSeparator(char32_t ch)
{
    return ch <= 47 || (ch >= 58 && ch <= 64) || (ch >= 91 && ch <= 94) || ch == 96 ||
           (ch >= 123 && ch <= 127);
}

void PlainMatcher::prepare(const QString &text, Encoding encoding, bool caseSensitive,
                           bool wholeWords)
{
    m_route = Route::None;
    m_oneBytePerChar = false;
    m_verifyUtf8 = false;
    m_encoding = encoding;
    m_wholeWords = wholeWords;
    m_caseSensitive = caseSensitive;
    m_charSize = encoding.unitBytes();
    m_bigEndian = encoding.isBigEndian();
    m_units.clear();
    if (text.isEmpty())
        return;
    for (int b = 0; b < 256; ++b)
        m_separator[b] = isWordSeparator(char32_t(b));
    const auto decoded = [&] {
        m_route = Route::Decoded;
        m_units = text;
        if (!caseSensitive) {
            for (QChar &c : m_units)
                c = QChar(foldUnit(c.unicode()));
        }
        m_overlap = (text.size() + 1) * (m_charSize == 2 ? 2 : kMaxCharBytes);
    };

    if (m_charSize == 2) {
        if (!caseSensitive && !isAscii(text))
            return decoded();
        QByteArray bytes;
        for (QChar c : caseSensitive ? text : text.toLower()) {
            const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
            bytes += m_bigEndian ? hi : lo;
            bytes += m_bigEndian ? lo : hi;
        }
        m_finder.prepare(bytes, caseSensitive ? nullptr : &asciiFoldTable);
        m_route = Route::Units16;
        m_overlap = bytes.size() + 2;
        return;
    }
    if (!isCodepageSupported(encoding))
        return;

    if (isUtf8Page(encoding)) {
        // Bytes that do not decode read as U+FFFD, and only the decoder can
        // tell them; a text holding one (or half a surrogate pair) decodes.
        bool plain = !text.contains(QChar(0xFFFD));
        for (QChar c : text)
            plain = plain && !c.isSurrogate();
        if (!plain)
            return decoded();
        if (!caseSensitive && !isAscii(text)) {
            if (!prepareCaselessUtf8(text))
                return decoded();
            return;
        }
        const QByteArray bytes = (caseSensitive ? text : text.toLower()).toUtf8();
        m_finder.prepare(bytes, caseSensitive ? nullptr : &asciiFoldTable);
        m_route = Route::Bytes;
        m_overlap = bytes.size() + 1;
        return;
    }
    const char16_t *table = singleByteTable(encoding);
    if (!table)
        return decoded();
    m_oneBytePerChar = true;

    // Bytes whose characters compare equal share one fold class; its
    // smallest byte stands for it in the pattern.
    const auto key = [&](char16_t c) { return caseSensitive ? c : foldUnit(c); };
    // Sorted by character, smallest byte first: each class is one run.
    std::array<std::pair<char16_t, uint8_t>, 256> byKey;
    for (int b = 0; b < 256; ++b) {
        byKey[size_t(b)] = {key(table[b]), uint8_t(b)};
        m_separator[b] = isWordSeparator(table[b]);
    }
    // Lines end at these bytes on every page, and so do words, whatever
    // character the page reads in them (EBCDIC).
    m_separator['\n'] = m_separator['\r'] = true;
    std::sort(byKey.begin(), byKey.end());
    ByteFinder::FoldTable fold;
    for (size_t i = 0; i < byKey.size(); ++i) {
        const bool first = i == 0 || byKey[i].first != byKey[i - 1].first;
        fold[byKey[i].second] = first ? byKey[i].second : fold[byKey[i - 1].second];
    }
    QByteArray bytes;
    for (QChar c : text) {
        const auto at = std::lower_bound(byKey.begin(), byKey.end(),
                                         std::pair<char16_t, uint8_t>(key(c.unicode()), 0));
        if (at == byKey.end() || at->first != key(c.unicode()))
            return; // a character the page does not have
        bytes += char(fold[at->second]);
    }
    bool identity = true;
    for (int b = 0; b < 256; ++b)
        identity = identity && fold[size_t(b)] == b;
    m_finder.prepare(bytes, identity ? nullptr : &fold);
    m_route = Route::Bytes;
    m_overlap = bytes.size() + 1;
}

// A caseless text with letters past ASCII, in UTF-8, as bytes: where every
// case variant of each of its characters takes as many bytes as the
// character, the bytes that stand in the same place of two variants form one
// fold class, and the finder's candidates (a superset of the matches, as
// fast as a caseless ASCII search where the classes are ASCII case pairs or
// differ in bit 5) are decoded and compared whole. False when some variant
// takes another number of bytes.
bool PlainMatcher::prepareCaselessUtf8(const QString &text)
{
    std::array<uint8_t, 256> parent;
    for (int b = 0; b < 256; ++b)
        parent[size_t(b)] = uint8_t(b);
    const auto root = [&](uint8_t b) {
        while (parent[b] != b)
            b = parent[b] = parent[parent[b]];
        return b;
    };
    QByteArray pattern;
    m_units.clear();
    for (const QChar c : text) {
        const char16_t key = foldUnit(c.unicode());
        const QByteArray own = QString(c).toUtf8();
        const auto &variants = caseVariants();
        const auto range = std::equal_range(
            variants.begin(), variants.end(), std::pair<char16_t, char16_t>(key, 0),
            [](const auto &a, const auto &b) { return a.first < b.first; });
        for (auto it = range.first; it != range.second; ++it) {
            const QByteArray other = QString(QChar(it->second)).toUtf8();
            if (other.size() != own.size())
                return false;
            for (qsizetype i = 0; i < own.size(); ++i) {
                const uint8_t a = root(uint8_t(own[i])), b = root(uint8_t(other[i]));
                parent[std::max(a, b)] = std::min(a, b);
            }
        }
        pattern += own;
        m_units += QChar(key);
    }
    ByteFinder::FoldTable fold;
    for (int b = 0; b < 256; ++b)
        fold[size_t(b)] = root(uint8_t(b));
    for (char &b : pattern)
        b = char(fold[uint8_t(b)]);
    m_finder.prepare(pattern, &fold);
    m_verifyUtf8 = true;
    m_route = Route::Bytes;
    m_overlap = pattern.size() + 1;
    return true;
}

// Whether the n bytes at p decode to the folded text.
bool PlainMatcher::decodesToText(const uint8_t *data, qsizetype p, qsizetype n) const
{
    const QString found = QString::fromUtf8(reinterpret_cast<const char *>(data + p), n);
    if (found.size() != m_units.size())
        return false;
    for (qsizetype i = 0; i < found.size(); ++i)
        if (foldUnit(found[i].unicode()) != m_units[i])
            return false;
    return true;
}

bool PlainMatcher::separatorBefore(const uint8_t *data, qsizetype p) const
{
    if (m_route == Route::Units16) {
        const char16_t u = m_bigEndian ? char16_t(data[p - 2] << 8 | data[p - 1])
                                       : char16_t(data[p - 1] << 8 | data[p - 2]);
        return isWordSeparator(u);
    }
    return m_separator[data[p - 1]];
}

bool PlainMatcher::separatorAt(const uint8_t *data, qsizetype p) const
{
    if (m_route == Route::Units16) {
        const char16_t u = m_bigEndian ? char16_t(data[p] << 8 | data[p + 1])
                                       : char16_t(data[p + 1] << 8 | data[p]);
        return isWordSeparator(u);
    }
    return m_separator[data[p]];
}

PlainMatcher::Hit PlainMatcher::find(const char *data, qsizetype size, bool forward, bool lastBlock,
                                     bool firstBlock) const
{
    switch (m_route) {
    case Route::Bytes:
    case Route::Units16:
        return findBytes(reinterpret_cast<const uint8_t *>(data), size, forward, lastBlock,
                         firstBlock);
    case Route::None:
    case Route::Decoded:
        break;
    }
    return {};
}

PlainMatcher::Hit PlainMatcher::findBytes(const uint8_t *data, qsizetype size, bool forward,
                                          bool lastBlock, bool firstBlock) const
{
    if (m_route == Route::Units16)
        size &= ~qsizetype(1); // a trailing odd byte is no unit
    const qsizetype n = m_finder.length();
    const auto accept = [&](qsizetype p) {
        if (m_route == Route::Units16 && (p & 1))
            return false;
        if (m_verifyUtf8 && !decodesToText(data, p, n))
            return false;
        if (!m_wholeWords)
            return true;
        if (!lastBlock && (forward ? p + n >= size : p == 0))
            return false;
        if (!firstBlock && (forward ? p == 0 : p + n == size))
            return false;
        return (p == 0 || separatorBefore(data, p)) && (p + n == size || separatorAt(data, p + n));
    };
    if (forward) {
        for (qsizetype p = m_finder.findForward(data, size, 0); p >= 0;
             p = m_finder.findForward(data, size, p + 1)) {
            if (accept(p))
                return {p, n};
        }
    } else {
        for (qsizetype p = m_finder.findBackward(data, size, size - n); p >= 0;
             p = m_finder.findBackward(data, size, p - 1)) {
            if (accept(p))
                return {p, n};
        }
    }
    return {};
}

PlainMatcher::Hit PlainMatcher::findDecoded(const char *data, qsizetype size, bool forward,
                                            const Range &range) const
{
    if (m_route != Route::Decoded || range.from >= size)
        return {};
    const char *text = data + range.from;
    const qsizetype textSize = size - range.from;
    std::vector<int> offsets;
    QString units = decodeBlock(text, textSize, m_encoding, &offsets);
    if (m_charSize == 1 && decodedToNothing(units, offsets, text))
        return {};
    if (!m_caseSensitive) {
        for (QChar &c : units)
            c = QChar(foldUnit(c.unicode()));
    }
    const qsizetype n = m_units.size(), count = units.size();
    const qsizetype dataEnd = m_charSize == 2 ? range.from + 2 * count : size;
    const auto at = [&](qsizetype i) {
        return i < count ? range.from + offsets[size_t(i)] : dataEnd;
    };
    // Lines end at these bytes, and so do words, even where a page's state
    // reads them as part of a character.
    const auto lineBreakByte = [&](qsizetype k) {
        return m_charSize == 1 && k >= 0 && k < size && (data[k] == '\n' || data[k] == '\r');
    };
    // Units that share their first byte belong to one character.
    const auto inside = [&](qsizetype i) {
        return i > 0 && i < count && offsets[size_t(i)] == offsets[size_t(i - 1)];
    };
    const auto accept = [&](qsizetype start, qsizetype end, qsizetype i) {
        if (!m_wholeWords)
            return true;
        // An edge inside a character (a search going on after a match of
        // one) stands at the next character's start.
        const bool edgeBefore = start == range.startEdge ||
                                (range.startEdge >= 0 && start > range.startEdge &&
                                 (i == 0 || at(i - 1) < range.startEdge)) ||
                                (i == 0 && range.from == 0 && range.atStart) ||
                                lineBreakByte(start - 1);
        if (!edgeBefore && (i == 0 || !isWordSeparator(units.at(i - 1).unicode())))
            return false;
        const bool edgeAfter =
            end == range.endEdge || (i + n == count && range.atEnd) || lineBreakByte(end);
        return edgeAfter || (i + n < count && isWordSeparator(units.at(i + n).unicode()));
    };
    enum class Verdict { No, Yes, NeedsMore };
    const auto judge = [&](qsizetype i) {
        const qsizetype start = at(i), end = at(i + n);
        if (start < range.lo || start >= range.hi || inside(i) || inside(i + n))
            return Verdict::No;
        if (range.endEdge >= 0 && end > range.endEdge)
            return Verdict::No;
        // The data's end may also cut the character after the match short,
        // which then decodes otherwise than in the text.
        if (m_charSize == 1 && !range.atEnd && (i + n == count || end > size - kMaxCharBytes))
            return Verdict::NeedsMore;
        return accept(start, end, i) ? Verdict::Yes : Verdict::No;
    };
    const auto hitAt = [&](qsizetype i, Verdict v) -> Hit {
        if (v == Verdict::NeedsMore)
            return {at(i), 0, true};
        return {at(i), at(i + n) - at(i)};
    };
    // The units whose character starts in [Lo, Hi).
    const auto firstFrom = [&](qsizetype pos) {
        const int rel = int(std::clamp<qsizetype>(pos - range.from, 0, INT_MAX));
        return qsizetype(std::lower_bound(offsets.begin(), offsets.end(), rel) - offsets.begin());
    };
    // A match that the data's end cuts, possible only where bytes read as
    // nothing (shifts) stretch it past the overlap.
    const auto cutAtEnd = [&] {
        if (m_charSize != 1 || range.atEnd || (range.endEdge >= 0 && size >= range.endEdge))
            return false;
        for (qsizetype k = std::max<qsizetype>(0, count - n + 1); k < count; ++k) {
            const qsizetype start = at(k);
            if (start >= range.lo && start < range.hi && !inside(k) &&
                QStringView(units).mid(k) == QStringView(m_units).left(count - k))
                return true;
        }
        return false;
    };
    if (!forward && cutAtEnd())
        return {size, 0, true};
    if (forward) {
        for (qsizetype i = units.indexOf(m_units, firstFrom(std::max(range.lo, range.from)));
             i >= 0 && at(i) < range.hi; i = units.indexOf(m_units, i + 1)) {
            if (const Verdict v = judge(i); v != Verdict::No)
                return hitAt(i, v);
        }
        if (cutAtEnd())
            return {size, 0, true};
    } else {
        const qsizetype last = std::min(firstFrom(range.hi) - 1, count - n);
        for (qsizetype i = last < 0 ? -1 : units.lastIndexOf(m_units, last);
             i >= 0 && at(i) >= range.lo; i = i == 0 ? -1 : units.lastIndexOf(m_units, i - 1)) {
            if (const Verdict v = judge(i); v != Verdict::No)
                return hitAt(i, v);
        }
    }
    return {};
}
