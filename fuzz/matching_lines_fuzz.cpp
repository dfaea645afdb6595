// The matching-lines pane's rows against a line-by-line filter: each line
// of the log decoded alone and tested by the quick find's matcher, plain or
// regular expression, letter case, whole words, inverted; on every listed
// page and UTF-16 in both byte orders. A last line without its break (or
// with a CR that a LF may still join) is the tail, not a row.
//
// Input: flags (the low four bits, high four the block sizes), the page
// (two bytes), the text length, the text (UTF-8), the log.
#include "inputbytes.h"

#include "text/blockdecoder.h"
#include "text/codepagelist.h"
#include "text/codepages.h"
#include "viewer/matchinglines.h"
#include "viewer/spansource.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

using Row = std::pair<qint64, qint64>; // start, length with the break

char16_t unitAt(const char *d, qint64 i, Encoding encoding)
{
    const auto *u = reinterpret_cast<const unsigned char *>(d + i);
    if (!encoding.isUtf16())
        return u[0];
    return encoding.isBigEndian() ? char16_t(u[0] << 8 | u[1]) : char16_t(u[1] << 8 | u[0]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    InputBytes in(data, size);
    const uint8_t flags = in.byte();
    const int page = in.word() % (codepageCount + 2);
    const Encoding encoding = page == codepageCount       ? encodingUtf16LE
                              : page == codepageCount + 1 ? encodingUtf16BE
                                                          : Encoding::codePage(page);
    if (!encoding.isUtf16() && !isCodepageSupported(encoding))
        return 0;
    const std::string_view textBytes = in.take(in.byte() % 16);
    LineFilter filter;
    filter.pattern.text = QString::fromUtf8(textBytes.data(), qsizetype(textBytes.size()));
    // Typed into a one-line bar: a text with a line break is no line's.
    if (filter.pattern.text.contains(u'\n') || filter.pattern.text.contains(u'\r'))
        return 0;
    filter.pattern.caseSensitive = flags & 1;
    filter.pattern.wholeWords = flags & 2;
    filter.pattern.regex = flags & 4;
    filter.invert = flags & 8;
    filter.encoding = encoding;
    const std::string_view log = in.rest();
    SpanSource source(log.data(), qint64(log.size()));

    MatchingLinesScanner scanner(source, filter);
    // Blocks of a few bytes reach every border; one input in sixteen keeps
    // the program's. A line longer than a block goes to the regex engine,
    // which reads a byte that does not decode as "?" where the bar reads
    // U+FFFD: with small blocks, only UTF-8 that decodes.
    const bool badUtf8 =
        filter.pattern.regex && isUtf8Page(encoding) &&
        QString::fromUtf8(log.data(), qsizetype(log.size())).contains(QChar(0xFFFD));
    if (flags >> 4 != 15 && !badUtf8)
        scanner.setBlockBytes(2 + (flags >> 4) * 5, 4 + (flags >> 4) * 9);
    const QuickMatcher matcher(filter.pattern);
    if (scanner.usable() != !matcher.empty()) {
        std::fprintf(stderr, "the pane and the matcher disagree on whether the text is usable\n");
        std::abort();
    }
    if (!scanner.usable())
        return 0;
    std::vector<Row> rows;
    const MatchingLinesScanner::Result result =
        scanner.scan(0, [&](qint64 start, qint64 length) { rows.emplace_back(start, length); });

    const qint64 c = encoding.unitBytes();
    const qint64 end = qint64(log.size()) / c * c;
    const auto passes = [&](qint64 start, qint64 stop) {
        while (stop > start && (unitAt(log.data(), stop - c, encoding) == '\n' ||
                                unitAt(log.data(), stop - c, encoding) == '\r'))
            stop -= c;
        return matcher.holds(decodeBlock(log.data() + start, stop - start, encoding)) !=
               filter.invert;
    };
    std::vector<Row> expected;
    qint64 start = 0;
    for (qint64 at = 0; at < end; at += c) {
        const char16_t u = unitAt(log.data(), at, encoding);
        if (u != '\n' && u != '\r')
            continue;
        if (u == '\r' && at + c >= end)
            break; // a LF may still join it
        if (u == '\r' && unitAt(log.data(), at + c, encoding) == '\n')
            at += c;
        if (passes(start, at + c))
            expected.emplace_back(start, at + c - start);
        start = at + c;
    }
    const MatchedLinesSource::Tail tail = start < end && passes(start, end)
                                              ? MatchedLinesSource::Tail{start, end - start}
                                              : MatchedLinesSource::Tail{};
    if (result.status != MatchingLinesScanner::Result::Status::Done || rows != expected ||
        result.resumeAt != start || result.tail.length != tail.length ||
        (tail.length > 0 && result.tail.source != tail.source)) {
        std::fprintf(stderr,
                     "%zu rows, resuming at %lld, tail %lld+%lld; the filter says %zu, %lld, "
                     "%lld+%lld\n",
                     rows.size(), result.resumeAt, result.tail.source, result.tail.length,
                     expected.size(), start, tail.source, tail.length);
        for (size_t i = 0; i < std::max(rows.size(), expected.size()) && i < 20; ++i)
            std::fprintf(stderr, "  %lld+%lld  %lld+%lld\n", i < rows.size() ? rows[i].first : -1,
                         i < rows.size() ? rows[i].second : -1,
                         i < expected.size() ? expected[i].first : -1,
                         i < expected.size() ? expected[i].second : -1);
        std::abort();
    }
    return 0;
}
