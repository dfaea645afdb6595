// The plain engine forward and backward, FindFirst and a chain of FindNext,
// against a naive search over the whole decoded text with exact byte
// offsets: every listed page (single and double-byte, GB18030, the pages
// with shifts) and UTF-16 in both byte orders, letter case and whole words,
// texts with U+FFFD (bytes that do not decode) or next to such bytes.
//
// Input: flags, the page (two bytes), the block size, the text length, the
// text (UTF-8), the data. Blocks of a few dozen bytes put their borders
// everywhere in the data.
#include "inputbytes.h"

#include "search/plainmatcher.h"
#include "search/streamsearch.h"
#include "text/blockdecoder.h"
#include "text/codepagelist.h"
#include "text/codepages.h"
#include "viewer/spansource.h"

#include <cstdio>
#include <cstdlib>
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
// the searched range counts as a word border, as the file's ends do, and so
// does a line break byte on any 8-bit page, whatever it decodes to.
Found naive(const Decoded &d, std::string_view bytes, const std::vector<qsizetype> &occurrences,
            qsizetype n, bool wholeWords, bool forward, qint64 q, bool endBefore, int charSize)
{
    const auto lineBreakByte = [&](qint64 k) {
        return charSize == 1 && k >= 0 && k < qint64(bytes.size()) &&
               (bytes[size_t(k)] == '\n' || bytes[size_t(k)] == '\r');
    };
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
            const bool edgeBefore =
                i == 0 || (forward && start == edge) || lineBreakByte(start - 1);
            const bool edgeAfter =
                i + n == count || (!forward && end == edge) || lineBreakByte(end);
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
    InputBytes in(data, size);
    const uint8_t flags = in.byte();
    const bool caseSensitive = flags & 1, wholeWords = flags & 2;
    const int page = in.word() % (codepageCount + 2);
    const Encoding encoding = page == codepageCount       ? encodingUtf16LE
                              : page == codepageCount + 1 ? encodingUtf16BE
                                                          : Encoding::codePage(page);
    const qint64 blockBytes = in.byte();
    const std::string_view textBytes = in.take(1 + in.byte() % 12);
    const QString text = QString::fromUtf8(textBytes.data(), qsizetype(textBytes.size()));
    if (text.isEmpty() || (!encoding.isUtf16() && !isCodepageSupported(encoding)))
        return 0;
    const std::string_view rest = in.rest();
    const QByteArray bytes = QByteArray::fromRawData(rest.data(), qsizetype(rest.size()));
    const int charSize = encoding.unitBytes();
    const Decoded decoded = decodeAll(bytes, encoding);
    const std::vector<qsizetype> hits = occurrences(decoded, text, caseSensitive);

    SpanSource source(rest.data(), qint64(rest.size()));
    // One engine for every input: its buffers are made once.
    static StreamSearch search;
    search.setStream(&source);
    search.setPlainBlockBytes(blockBytes);
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
            const Found want = naive(decoded, rest, hits, text.size(), wholeWords, forward, q,
                                     endBefore, charSize);
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
    search.setStream(static_cast<FileSource *>(nullptr));
    return 0;
}
