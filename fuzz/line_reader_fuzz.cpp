// The viewer's screen lines read forward from the start equal those read
// backward from the end, in every mode, page and block size.
//
// Input: mode and page, longest row, block size, the data.
#include "search/memorysource.h"

#include "text/codepagelist.h"
#include "text/codepages.h"
#include "viewer/linescanner.h"

#include "codepageentry.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    TextFormat format;
    const int kind = data[0] % 6;
    if (kind >= 4) {
        format.mode = vbmodeUnicode;
        format.bigEndian = kind == 5;
    } else {
        const Encoding encodings[] = {encodingAnsi, encodingOem, codepageEntry(65001),
                                      codepageEntry(932)};
        format.encoding = encodings[kind];
    }
    format.maxLength = 4 + data[1] % 60;
    const int blockSize = 2 + data[2] % 64;
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
    const MemorySource source(QByteArray(reinterpret_cast<const char *>(data + 3), int(size - 3)));
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
