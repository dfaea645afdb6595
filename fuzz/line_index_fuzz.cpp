// The sparse line index, built in steps as a file grows, against a count
// from the start: the number of the line at every offset and the start of
// every line, looked up forward and backward.
//
// Input: the unit, the checkpoint spacing, the block size, the number of
// steps, the data.
#include "inputbytes.h"

#include "viewer/lineindex.h"
#include "viewer/spansource.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    InputBytes in(data, size);
    const auto unit = LineCountUnit(in.byte() % 3);
    const qint64 spacing = 1 + in.byte();
    const int blockSize = 1 + in.byte() % 64;
    const int steps = 1 + in.byte() % 4;
    const std::string_view text = in.rest();
    const SpanSource source(text.data(), qint64(text.size()));
    const qint64 c = unit == LineCountUnit::Byte ? 1 : 2;
    const qint64 end = qint64(text.size()) / c * c;

    // CR, LF and CR LF end a line; a start at the very end is not known yet.
    std::vector<qint64> starts{0};
    for (qint64 at = 0; at < end; at += c) {
        const char *p = text.data() + at;
        const bool crlf =
            isCountUnit(p, unit, '\r') && at + c < end && isCountUnit(p + c, unit, '\n');
        if (!crlf && (isCountUnit(p, unit, '\n') || isCountUnit(p, unit, '\r')) && at + c < end)
            starts.push_back(at + c);
    }

    LineIndex index(unit, spacing);
    for (int step = 1; step <= steps; ++step) {
        const qint64 grown = qint64(text.size()) * step / steps;
        if (index.extend(source, grown, {}, blockSize) != LineIndex::BuildResult::Complete) {
            std::fprintf(stderr, "growing to %lld did not complete\n", grown);
            std::abort();
        }
    }
    if (index.indexedSize() != end) {
        std::fprintf(stderr, "indexed %lld of %lld bytes\n", index.indexedSize(), end);
        std::abort();
    }
    const auto lineAt = [&](qint64 pos) {
        return qint64(std::upper_bound(starts.begin(), starts.end(), pos) - starts.begin());
    };
    if (index.lastLine() != (end > 0 ? lineAt(end - 1) : 1)) {
        std::fprintf(stderr, "last line %lld, counted %lld\n", index.lastLine(),
                     end > 0 ? lineAt(end - 1) : 1);
        std::abort();
    }
    // Forward, then backward: the index keeps its last answer.
    for (const bool forward : {true, false}) {
        for (qint64 k = 0; k < end; ++k) {
            const qint64 pos = forward ? k : end - 1 - k;
            if (index.lineNumberAt(source, pos) != lineAt(pos)) {
                std::fprintf(stderr, "offset %lld: line %lld, counted %lld\n", pos,
                             index.lineNumberAt(source, pos), lineAt(pos));
                std::abort();
            }
        }
        const qint64 lines = index.lastLine();
        for (qint64 k = 0; k < lines; ++k) {
            const qint64 number = forward ? k + 1 : lines - k;
            if (index.lineStartOf(source, number) != starts[size_t(number - 1)]) {
                std::fprintf(stderr, "line %lld starts at %lld, counted %lld\n", number,
                             index.lineStartOf(source, number), starts[size_t(number - 1)]);
                std::abort();
            }
        }
    }
    return 0;
}
