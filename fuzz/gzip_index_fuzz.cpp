// The gzip checkpoint index over any bytes: whatever it decodes, a range
// read from its checkpoint is the same range read from the start, and
// nothing crashes on damaged or hostile data. The first byte picks the
// spacing, so that checkpoints fall everywhere.
#include "viewer/gzipindex.h"
#include "viewer/spansource.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const qint64 spacing = 1 + qint64(data[0]) * 64;
    const SpanSource source(reinterpret_cast<const char *>(data + 1), qint64(size - 1));
    GzipIndex index;
    index.build(source, spacing);
    // A bomb stays small enough to compare, and quick to.
    const qint64 total = std::min<qint64>(index.size(), 1 << 16);
    static std::string whole, part;
    whole.resize(size_t(total));
    qint64 got = 0;
    if (!index.read(source, whole.data(), total, 0, &got))
        return 0;
    whole.resize(size_t(got));
    for (qint64 at = 0; at < got; at += 1 + got / 7) {
        const qint64 count = std::min<qint64>(got - at, 1 + qint64(data[at % size]) * 17);
        part.resize(size_t(count));
        qint64 partGot = 0;
        if (!index.read(source, part.data(), count, at, &partGot) || partGot != count ||
            part != whole.substr(size_t(at), size_t(count)))
            std::abort();
    }
    return 0;
}
