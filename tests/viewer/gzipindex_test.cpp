#include "viewer/gzipindex.h"

#include "viewer/spansource.h"

#include "common/gzipbytes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// A log of varied lines: back-references reach far, blocks are many.
std::string logText(int lines, unsigned seed)
{
    std::mt19937 rng(seed);
    static const char *const levels[] = {"INFO", "WARN", "ERROR", "DEBUG"};
    std::string text;
    for (int i = 0; i < lines; ++i) {
        text += "2026-12-09 10:" + std::to_string(i % 60) + ":" + std::to_string(rng() % 60) + " " +
                levels[rng() % 4] + " [worker-" + std::to_string(rng() % 8) + "] request " +
                std::to_string(rng()) + " took " + std::to_string(rng() % 9000) + " ms\n";
    }
    return text;
}

std::string readRange(const GzipIndex &index, const std::string &gz, qint64 position, qint64 count)
{
    const SpanSource source(gz.data(), qint64(gz.size()));
    std::string out(size_t(count), '\0');
    qint64 got = 0;
    EXPECT_TRUE(index.read(source, out.data(), count, position, &got));
    out.resize(size_t(got));
    return out;
}

// Any range of the decompressed data, read from its checkpoint, equals the
// same range of a whole decompression: one member or several, and across
// the joins.
TEST(GzipIndex, AnyRangeReadsAsTheWholeDecompression)
{
    const std::string a = logText(40000, 1);
    const std::string b = logText(15000, 2);
    const struct
    {
        const char *what;
        std::string gz;
        std::string text;
    } cases[] = {
        {"one member", gzipBytes(a), a},
        {"two members (cat a.gz b.gz)", gzipBytes(a) + gzipBytes(b, 1), a + b},
        {"zero padding after the member", gzipBytes(b) + std::string(4096, '\0'), b},
        {"an empty member between", gzipBytes(b) + gzipBytes("") + gzipBytes(a), b + a},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const SpanSource source(c.gz.data(), qint64(c.gz.size()));
        GzipIndex index;
        ASSERT_EQ(index.build(source, 64 * 1024), GzipIndex::Result::Ok) << index.error();
        ASSERT_EQ(index.size(), qint64(c.text.size()));
        EXPECT_GT(index.points(), int(c.text.size() / (256 * 1024)));
        std::mt19937 rng(7);
        for (int i = 0; i < 150; ++i) {
            const qint64 position = qint64(rng() % c.text.size());
            const qint64 count = 1 + qint64(rng() % (300 * 1024));
            const std::string expected = c.text.substr(size_t(position), size_t(count));
            // Not EXPECT_EQ: a failure would print megabytes.
            ASSERT_TRUE(readRange(index, c.gz, position, count) == expected)
                << "at " << position << " for " << count;
        }
        EXPECT_TRUE(readRange(index, c.gz, 0, qint64(c.text.size())) == c.text);
        EXPECT_EQ(readRange(index, c.gz, qint64(c.text.size()), 10), "") << "past the end";
    }
}

// A cut or damaged file serves what decoded and says where it stopped.
TEST(GzipIndex, ADamagedFileServesWhatDecoded)
{
    const std::string text = logText(30000, 3);
    const std::string whole = gzipBytes(text);
    std::string corrupt = whole;
    corrupt[corrupt.size() / 2] ^= 0x55;
    corrupt[corrupt.size() / 2 + 1] ^= 0x55;
    const struct
    {
        const char *what;
        std::string gz;
    } cases[] = {
        {"cut in half", whole.substr(0, whole.size() / 2)},
        {"bytes changed in the middle", corrupt},
        {"not gzip at all", text.substr(0, 5000)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const SpanSource source(c.gz.data(), qint64(c.gz.size()));
        GzipIndex index;
        EXPECT_EQ(index.build(source, 64 * 1024), GzipIndex::Result::Damaged);
        EXPECT_FALSE(index.error().empty());
        const std::string decoded = readRange(index, c.gz, 0, index.size());
        EXPECT_EQ(decoded.size(), size_t(index.size()));
        // A changed byte may decode as other text, of any length, before
        // inflate notices: only a cut file's output is known to be a prefix.
        if (std::string(c.what) == "cut in half") {
            EXPECT_LT(index.size(), qint64(text.size()));
            EXPECT_TRUE(decoded == text.substr(0, decoded.size()));
        }
    }
}

TEST(GzipIndex, ACancelStopsTheBuildAndMemoryStaysBounded)
{
    const std::string text = logText(60000, 4);
    const std::string gz = gzipBytes(text);
    const SpanSource source(gz.data(), qint64(gz.size()));
    std::stop_source stop;
    stop.request_stop();
    GzipIndex index;
    EXPECT_EQ(index.build(source, 64 * 1024, stop.get_token()), GzipIndex::Result::Cancelled);

    ASSERT_EQ(index.build(source, 256 * 1024), GzipIndex::Result::Ok);
    // Log text: a checkpoint every spacing, its window deflated to well
    // under its 32 KiB.
    EXPECT_GE(index.points(), int(index.size() / (512 * 1024)));
    EXPECT_LE(index.memoryBytes(), index.points() * (GzipIndex::windowSize / 2 + 256));

    // Bytes that do not shrink: the windows keep to their share of memory
    // (at least 1 MiB), so checkpoints lie further apart, and reads still
    // give the right bytes.
    std::mt19937 rng(5);
    std::string noise(12 << 20, '\0');
    for (char &c : noise)
        c = char(rng());
    const std::string packedNoise = gzipBytes(noise, 1);
    const SpanSource noiseSource(packedNoise.data(), qint64(packedNoise.size()));
    ASSERT_EQ(index.build(noiseSource, 64 * 1024), GzipIndex::Result::Ok);
    EXPECT_LE(index.memoryBytes(), (1 << 20) + index.points() * (GzipIndex::windowSize + 512));
    EXPECT_LT(index.points(), int(noise.size() / (64 * 1024)) / 2);
    const qint64 at = qint64(noise.size()) - 100000;
    EXPECT_TRUE(readRange(index, packedNoise, at, 5000) == noise.substr(size_t(at), 5000));
}

// Reads in a row through one cursor go on where the last ended, a small
// step back comes from the bytes it kept, and a jump back or past a
// checkpoint starts again from one. Every read must still
// give the right bytes, across members and at the end.
TEST(GzipIndex, ACursorReadsOnAndStartsAgainWhereItMust)
{
    const std::string a = logText(30000, 5);
    const std::string b = logText(9000, 6);
    const std::string gz = gzipBytes(a) + gzipBytes(b, 1);
    const std::string text = a + b;
    const SpanSource source(gz.data(), qint64(gz.size()));
    GzipIndex index;
    ASSERT_EQ(index.build(source, 256 * 1024), GzipIndex::Result::Ok);
    GzipIndex::Cursor cursor;
    std::mt19937 rng(11);
    qint64 position = 0;
    for (int i = 0; i < 400; ++i) {
        switch (rng() % 5) {
        case 0: // anywhere, also backwards
            position = qint64(rng() % text.size());
            break;
        case 2: // a step back, as a scan's overlap: from the kept bytes or not
            position = std::max<qint64>(0, position - qint64(rng() % 90000));
            break;
        case 1: // a little ahead of the last read
            position = std::min<qint64>(qint64(text.size()) - 1, position + qint64(rng() % 5000));
            break;
        default: // straight on
            break;
        }
        const qint64 count = 1 + qint64(rng() % 70000);
        std::string out(size_t(count), '\0');
        qint64 got = 0;
        ASSERT_TRUE(index.read(source, out.data(), count, position, &got, {}, &cursor));
        out.resize(size_t(got));
        ASSERT_TRUE(out == text.substr(size_t(position), size_t(count)))
            << "read " << i << " at " << position << " for " << count;
        position = std::min<qint64>(qint64(text.size()) - 1, position + got);
    }
}

// Copies taken while the index grows serve what had decoded by then, as
// the viewer shows a compressed log while its index is built.
TEST(GzipIndex, CopiesTakenWhileBuildingServeTheirPart)
{
    const std::string text = logText(40000, 8);
    const std::string gz = gzipBytes(text);
    const SpanSource source(gz.data(), qint64(gz.size()));
    std::vector<GzipIndex> copies;
    GzipIndex index;
    qint64 last = 0;
    ASSERT_EQ(index.build(source, 128 * 1024, {},
                          [&](const GzipIndex &partial) {
                              EXPECT_GT(partial.size(), last);
                              last = partial.size();
                              if (copies.empty() || partial.size() - copies.back().size() > 300000)
                                  copies.push_back(partial);
                          }),
              GzipIndex::Result::Ok);
    EXPECT_EQ(last, index.size());
    ASSERT_GT(copies.size(), 3u);
    for (const GzipIndex &copy : copies) {
        SCOPED_TRACE(copy.size());
        const qint64 from = copy.size() / 3;
        EXPECT_TRUE(readRange(copy, gz, from, copy.size()) ==
                    text.substr(size_t(from), size_t(copy.size() - from)));
        EXPECT_EQ(readRange(copy, gz, copy.size(), 100), "") << "nothing past its size";
    }
}

// Found by the fuzzer: at the end of a cut stream inflate held the last byte
// back while the input had run out; a read that wanted just that byte failed.
TEST(GzipIndex, TheLastBytesOfACutStreamReadFromAnywhere)
{
    const std::string gz("\x1f\x8b\x08\x00\xb2\x02\x1f\x8b\x08\x00\xb2\x2e\xf9\x1b\x6b\x02\x84"
                         "\xe1\x3d\x51\x9c\xb2",
                         22);
    const SpanSource source(gz.data(), qint64(gz.size()));
    GzipIndex index;
    EXPECT_EQ(index.build(source, 1), GzipIndex::Result::Damaged);
    ASSERT_EQ(index.size(), 13);
    const std::string whole = readRange(index, gz, 0, index.size());
    ASSERT_EQ(whole.size(), 13u);
    for (qint64 at = 0; at < index.size(); ++at)
        EXPECT_EQ(readRange(index, gz, at, index.size() - at), whole.substr(size_t(at))) << at;
}

} // namespace
