// The plain engine forward and backward, FindFirst and a chain of FindNext,
// against a naive search over the whole decoded text: UTF-8, UTF-16, single
// and double-byte pages and the pages with shifts, texts with U+FFFD (bytes
// that do not decode) or next to such bytes.
//
// Input: flags, encoding, text length, padding, the text (UTF-8), the data.
// The padding puts the data across the border of the first two blocks.
#include "search/memorysource.h"
#include "search/plainmatcher.h"
#include "search/streamsearch.h"

#include "text/codepagelist.h"
#include "text/blockdecoder.h"
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
    QString units;
    std::vector<qint64> offsets; // byte of each unit, and one past the end
};

Decoded decodeAll(const QByteArray &bytes, Encoding encoding)
{
    Decoded d;
    std::vector<int> offsets;
    d.units = decodeBlock(bytes.constData(), bytes.size(), encoding, &offsets);
    d.offsets.assign(offsets.begin(), offsets.end());
    d.offsets.push_back(encoding.isUtf16() ? 2 * d.units.size() : bytes.size());
    return d;
}

struct Found
{
    qint64 start = -1, length = 0;
};

// Where the text occurs in the decoded data, letter case folded as asked.
std::vector<qsizetype> occurrences(const Decoded &d, const QString &text, bool caseSensitive)
{
    const auto fold = [&](QChar c) {
        return caseSensitive ? c.unicode() : PlainMatcher::foldUnit(c.unicode());
    };
    std::vector<qsizetype> at;
    const qsizetype n = text.size(), count = d.units.size();
    for (qsizetype i = 0; i + n <= count; ++i) {
        // Units that share a byte (a surrogate pair) start or end no match
        // inside.
        if (i > 0 && d.offsets[size_t(i)] == d.offsets[size_t(i - 1)])
            continue;
        if (i + n < count && d.offsets[size_t(i + n)] == d.offsets[size_t(i + n - 1)])
            continue;
        bool equal = true;
        for (qsizetype k = 0; k < n && equal; ++k)
            equal = fold(d.units[i + k]) == fold(text[k]);
        if (equal)
            at.push_back(i);
    }
    return at;
}

// The character that holds byte x: its first and its end byte.
std::pair<qint64, qint64> charAround(const Decoded &d, qint64 x)
{
    qint64 start = 0, end = d.offsets.back();
    for (size_t i = 0; i + 1 < d.offsets.size(); ++i) {
        if (d.offsets[i] <= x) {
            start = d.offsets[i];
        } else {
            end = d.offsets[i];
            break;
        }
    }
    return {start, end};
}

// The match the engine must find. Forward: the first that starts at the
// first character at or after q. Backward: the last that ends by the end of
// the character that holds q (or with endBefore by its start). The edge of
// the searched range counts as a word border, as the file's ends do.
Found naive(const Decoded &d, const std::vector<qsizetype> &occurrences, qsizetype n,
            bool wholeWords, bool forward, qint64 q, bool endBefore, int charSize)
{
    const qsizetype count = d.units.size();
    qint64 edge = 0;
    if (charSize == 2) {
        edge = forward ? q : (endBefore ? q : q + 2);
    } else {
        const auto [start, end] = charAround(d, q);
        edge = forward ? (start == q ? q : end) : (endBefore ? start : end);
    }
    Found best;
    for (const qsizetype i : occurrences) {
        const qint64 start = d.offsets[size_t(i)], end = d.offsets[size_t(i + n)];
        if (forward ? start < edge : end > edge)
            continue;
        if (wholeWords) {
            const bool edgeBefore = i == 0 || (forward && start == edge);
            const bool edgeAfter = i + n == count || (!forward && end == edge);
            if (!edgeBefore && !PlainMatcher::isWordSeparator(d.units[i - 1].unicode()))
                continue;
            if (!edgeAfter && !PlainMatcher::isWordSeparator(d.units[i + n].unicode()))
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
    static const Encoding encodings[] = {
        encodingAnsi,         encodingOem,          codepageEntry(65001), encodingUtf16LE,
        encodingUtf16BE,      codepageEntry(1252),  codepageEntry(932),   codepageEntry(936),
        codepageEntry(949),   codepageEntry(950),   codepageEntry(54936), codepageEntry(51932),
        codepageEntry(51949), codepageEntry(1361),  codepageEntry(50220), codepageEntry(50221),
        codepageEntry(50222), codepageEntry(50225), codepageEntry(50227), codepageEntry(50229)};
    const Encoding encoding = encodings[data[1] % std::size(encodings)];
    const size_t textBytes = 1 + data[2] % 12;
    const int charSize = encoding.unitBytes();
    if (size < 4 + textBytes)
        return 0;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 4), qsizetype(textBytes));
    if (text.isEmpty() || (!encoding.isUtf16() && !isCodepageSupported(encoding)))
        return 0;
    const qint64 pad = (StreamSearch::blockSize - 40 + data[3] % 80) / 2 * 2;
    QByteArray bytes;
    for (qint64 i = 0; i < pad / charSize; ++i) {
        if (encoding == encodingUtf16BE)
            bytes += '\0';
        bytes += '.';
        if (encoding == encodingUtf16LE)
            bytes += '\0';
    }
    bytes.append(reinterpret_cast<const char *>(data + 4 + textBytes),
                 qsizetype(size - 4 - textBytes));
    const Decoded decoded = decodeAll(bytes, encoding);
    const std::vector<qsizetype> hits = occurrences(decoded, text, caseSensitive);

    MemorySource source(bytes);
    StreamSearch search;
    search.setStream(&source);
    SearchOptions options;
    if (caseSensitive)
        options |= soCaseSensitive;
    if (wholeWords)
        options |= soWholeWords;
    const qint64 lastPos = std::max<qint64>(0, bytes.size() / charSize * charSize - charSize);
    for (const bool forward : {true, false}) {
        bool found = search.findFirst(text, encoding, forward ? options : options | soBackward, 0);
        qint64 q = forward ? 0 : lastPos;
        bool endBefore = false;
        for (int step = 0; step < 12; ++step) {
            const Found want =
                naive(decoded, hits, text.size(), wholeWords, forward, q, endBefore, charSize);
            if (found != (want.start >= 0) || search.foundStart() != want.start ||
                search.foundLength() != want.length) {
                std::fprintf(stderr, "%s from %lld: found %lld+%lld, expected %lld+%lld\n",
                             forward ? "forward" : "backward", q, search.foundStart(),
                             search.foundLength(), want.start, want.length);
                std::abort();
            }
            if (!found)
                break;
            q = forward ? want.start + charSize : want.start + want.length - 1;
            q = q / charSize * charSize;
            endBefore = !forward;
            found = search.findNext();
        }
    }
    return 0;
}
