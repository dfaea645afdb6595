// The plain engine forward and backward, FindFirst and a chain of FindNext,
// against a naive search over the whole decoded text: UTF-8, UTF-16, single
// and double-byte pages and the pages with shifts, texts with U+FFFD (bytes
// that do not decode) or next to such bytes.
//
// Input: flags, encoding, text length, padding, the text (UTF-8), the data.
// The padding puts the data across the border of the first two blocks.
#include "search/memorysource.h"
#include "search/plainmatcher.h"
#include "search/qzstreamsearch.h"

#include "text/codepagelist.h"
#include "text/codepages.h"

#include "codepageentry.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <utility>
#include <vector>

namespace {

struct Decoded
{
    QString Units;
    std::vector<qint64> Offsets; // byte of each unit, and one past the end
};

Decoded DecodeAll(const QByteArray &bytes, TQzEncoding encoding)
{
    Decoded d;
    if (encoding == EncodingUtf16LE || encoding == EncodingUtf16BE) {
        d.Units = BytesToWideString(bytes.constData(), bytes.size(), encoding == EncodingUtf16BE);
        for (qsizetype i = 0; i <= d.Units.size(); ++i)
            d.Offsets.push_back(2 * i);
        return d;
    }
    std::vector<int> offsets;
    d.Units = CodepageToUnicode(bytes.constData(), bytes.size(), encoding, &offsets);
    d.Offsets.assign(offsets.begin(), offsets.end());
    d.Offsets.push_back(bytes.size());
    return d;
}

struct Found
{
    qint64 Start = -1, Length = 0;
};

// Where the text occurs in the decoded data, letter case folded as asked.
std::vector<qsizetype> Occurrences(const Decoded &d, const QString &text, bool caseSensitive)
{
    const auto fold = [&](QChar c) {
        return caseSensitive ? c.unicode() : PlainMatcher::FoldUnit(c.unicode());
    };
    std::vector<qsizetype> at;
    const qsizetype n = text.size(), count = d.Units.size();
    for (qsizetype i = 0; i + n <= count; ++i) {
        // Units that share a byte (a surrogate pair) start or end no match
        // inside.
        if (i > 0 && d.Offsets[size_t(i)] == d.Offsets[size_t(i - 1)])
            continue;
        if (i + n < count && d.Offsets[size_t(i + n)] == d.Offsets[size_t(i + n - 1)])
            continue;
        bool equal = true;
        for (qsizetype k = 0; k < n && equal; ++k)
            equal = fold(d.Units[i + k]) == fold(text[k]);
        if (equal)
            at.push_back(i);
    }
    return at;
}

// The character that holds byte x: its first and its end byte.
std::pair<qint64, qint64> CharAround(const Decoded &d, qint64 x)
{
    qint64 start = 0, end = d.Offsets.back();
    for (size_t i = 0; i + 1 < d.Offsets.size(); ++i) {
        if (d.Offsets[i] <= x) {
            start = d.Offsets[i];
        } else {
            end = d.Offsets[i];
            break;
        }
    }
    return {start, end};
}

// The match the engine must find. Forward: the first that starts at the
// first character at or after q. Backward: the last that ends by the end of
// the character that holds q (or with endBefore by its start). The edge of
// the searched range counts as a word border, as the file's ends do.
Found Naive(const Decoded &d, const std::vector<qsizetype> &occurrences, qsizetype n,
            bool wholeWords, bool forward, qint64 q, bool endBefore, int charSize)
{
    const qsizetype count = d.Units.size();
    qint64 edge = 0;
    if (charSize == 2) {
        edge = forward ? q : (endBefore ? q : q + 2);
    } else {
        const auto [start, end] = CharAround(d, q);
        edge = forward ? (start == q ? q : end) : (endBefore ? start : end);
    }
    Found best;
    for (const qsizetype i : occurrences) {
        const qint64 start = d.Offsets[size_t(i)], end = d.Offsets[size_t(i + n)];
        if (forward ? start < edge : end > edge)
            continue;
        if (wholeWords) {
            const bool edgeBefore = i == 0 || (forward && start == edge);
            const bool edgeAfter = i + n == count || (!forward && end == edge);
            if (!edgeBefore && !PlainMatcher::IsWordSeparator(d.Units[i - 1].unicode()))
                continue;
            if (!edgeAfter && !PlainMatcher::IsWordSeparator(d.Units[i + n].unicode()))
                continue;
        }
        best = {start, end - start};
        if (forward)
            return best;
    }
    return best;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 5)
        return 0;
    const bool caseSensitive = data[0] & 1, wholeWords = data[0] & 2;
    static const TQzEncoding encodings[] = {
        EncodingAnsi,         EncodingOem,          CodepageEntry(65001), EncodingUtf16LE,
        EncodingUtf16BE,      CodepageEntry(1252),  CodepageEntry(932),   CodepageEntry(936),
        CodepageEntry(949),   CodepageEntry(950),   CodepageEntry(54936), CodepageEntry(51932),
        CodepageEntry(51949), CodepageEntry(1361),  CodepageEntry(50220), CodepageEntry(50221),
        CodepageEntry(50222), CodepageEntry(50225), CodepageEntry(50227), CodepageEntry(50229)};
    const TQzEncoding encoding = encodings[data[1] % std::size(encodings)];
    const size_t textBytes = 1 + data[2] % 12;
    const int charSize = encoding < 0 ? 2 : 1;
    if (size < 4 + textBytes)
        return 0;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 4), qsizetype(textBytes));
    if (text.isEmpty() || (encoding >= 0 && !IsCodepageSupported(encoding)))
        return 0;
    const qint64 pad = (TQzStreamSearch::BlockSize - 40 + data[3] % 80) / 2 * 2;
    QByteArray bytes;
    for (qint64 i = 0; i < pad / charSize; ++i) {
        if (encoding == EncodingUtf16BE)
            bytes += '\0';
        bytes += '.';
        if (encoding == EncodingUtf16LE)
            bytes += '\0';
    }
    bytes.append(reinterpret_cast<const char *>(data + 4 + textBytes),
                 qsizetype(size - 4 - textBytes));
    const Decoded decoded = DecodeAll(bytes, encoding);
    const std::vector<qsizetype> occurrences = Occurrences(decoded, text, caseSensitive);

    MemorySource source(bytes);
    TQzStreamSearch search;
    search.SetStream(&source);
    TQzStreamSearchOptions options;
    if (caseSensitive)
        options |= soCaseSensitive;
    if (wholeWords)
        options |= soWholeWords;
    const qint64 lastPos = std::max<qint64>(0, bytes.size() / charSize * charSize - charSize);
    for (const bool forward : {true, false}) {
        bool found = search.FindFirst(text, encoding, forward ? options : options | soBackward, 0);
        qint64 q = forward ? 0 : lastPos;
        bool endBefore = false;
        for (int step = 0; step < 12; ++step) {
            const Found want = Naive(decoded, occurrences, text.size(), wholeWords, forward, q,
                                     endBefore, charSize);
            if (found != (want.Start >= 0) || search.FoundStart() != want.Start ||
                search.FoundLength() != want.Length) {
                std::fprintf(stderr, "%s from %lld: found %lld+%lld, expected %lld+%lld\n",
                             forward ? "forward" : "backward", q, search.FoundStart(),
                             search.FoundLength(), want.Start, want.Length);
                std::abort();
            }
            if (!found)
                break;
            q = forward ? want.Start + charSize : want.Start + want.Length - 1;
            q = q / charSize * charSize;
            endBefore = !forward;
            found = search.FindNext();
        }
    }
    return 0;
}
