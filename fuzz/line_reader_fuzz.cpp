// The viewer's screen lines read forward from the start equal those read
// backward from the end, in every mode, page and block size.
//
// Input: mode and page (two bytes), longest row, block size, the data.
#include "text/codepagelist.h"
#include "text/codepages.h"
#include "viewer/linescanner.h"
#include "viewer/spansource.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    TextFormat format;
    // Every listed page, then UTF-16 in both byte orders.
    const int kind = (data[0] << 8 | data[1]) % (codepageCount + 2);
    if (kind >= codepageCount) {
        format.mode = vbmodeUnicode;
        format.bigEndian = kind == codepageCount + 1;
    } else {
        format.encoding = Encoding::codePage(kind);
        if (!isCodepageSupported(format.encoding))
            return 0;
    }
    format.maxLength = 4 + data[2] % 60;
    const int blockSize = 2 + data[3] % 64;
    ++data;
    --size;
    // A line longer than MaxLength is cut in rows from its start going
    // forward but walked back MaxLength - 1 characters at a time, as the
    // viewer's scrolling rules say: only shorter lines read the same both ways.
    const int unit = format.charSize();
    qsizetype length = 0;
    for (size_t i = 3; i + unit <= size; i += size_t(unit)) {
        const uint8_t ch = unit == 1 ? data[i] : data[i + (format.bigEndian ? 1 : 0)];
        const bool zero = unit == 1 || data[i + (format.bigEndian ? 0 : 1)] == 0;
        const bool isBreak = zero && (ch == '\n' || ch == '\r');
        length = isBreak ? 0 : length + 1;
        if (length >= format.maxLength - 4)
            return 0;
    }
    const SpanSource source(reinterpret_cast<const char *>(data + 3), qint64(size - 3));
    const LineScanner scanner(source, format, {}, blockSize);

    std::vector<qint64> forward;
    for (qint64 p = 0; p >= 0 && forward.size() <= size; p = scanner.nextLineStart(p, true, false))
        forward.push_back(p);
    if (forward.size() > size) {
        std::fprintf(stderr, "reading forward does not end\n");
        std::abort();
    }
    std::vector<qint64> backward{forward.back()};
    for (qint64 p = forward.back(); p > 0 && backward.size() <= size;) {
        p = scanner.nextLineStart(p, false, false);
        if (p < 0)
            break;
        backward.push_back(p);
        // Above the first line there is none; an empty first line stays put.
        if (p == 0)
            break;
    }
    std::vector<qint64> reversed(backward.rbegin(), backward.rend());
    if (reversed != forward) {
        std::fprintf(stderr, "%zu rows forward, %zu backward\n", forward.size(), backward.size());
        for (size_t i = 0; i < std::max(forward.size(), reversed.size()) && i < 30; ++i)
            std::fprintf(stderr, "  %lld %lld\n", i < forward.size() ? forward[i] : -1,
                         i < reversed.size() ? reversed[i] : -1);
        std::abort();
    }
    return 0;
}
