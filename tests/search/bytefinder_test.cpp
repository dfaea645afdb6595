#include "search/bytefinder.h"

#include <gtest/gtest.h>

#include <random>

namespace {

ByteFinder::FoldTable asciiFold()
{
    ByteFinder::FoldTable fold;
    for (int b = 0; b < 256; ++b)
        fold[size_t(b)] = uint8_t(b >= 'A' && b <= 'Z' ? b + 32 : b);
    return fold;
}

// Text over a small alphabet, so that probes agree often and candidates
// fall at every lane of the vector loops and in their tails.
TEST(ByteFinder, AgreesWithANaiveSearch)
{
    std::mt19937 rng(7);
    const char alphabet[] = "abAB-\xc3";
    const ByteFinder::FoldTable fold = asciiFold();
    for (int round = 0; round < 200; ++round) {
        const int size = int(rng() % 150);
        std::string text(size_t(size), ' ');
        for (char &c : text)
            c = alphabet[rng() % 6];
        std::string pattern(1 + rng() % 4, ' ');
        for (char &c : pattern)
            c = alphabet[rng() % 6];
        const bool caseless = rng() % 2;
        if (caseless) {
            for (char &c : pattern)
                c = char(fold[uint8_t(c)]);
        }
        SCOPED_TRACE(text + " / " + pattern + (caseless ? " caseless" : ""));
        ByteFinder finder;
        finder.prepare(QByteArray::fromStdString(pattern), caseless ? &fold : nullptr);
        const auto data = reinterpret_cast<const uint8_t *>(text.data());
        const auto at = [&](int p) {
            for (size_t k = 0; k < pattern.size(); ++k) {
                const uint8_t ch = uint8_t(text[size_t(p) + k]);
                if ((caseless ? fold[ch] : ch) != uint8_t(pattern[k]))
                    return false;
            }
            return true;
        };
        const int last = size - int(pattern.size());
        for (int from = 0; from <= size; from += 7) {
            int expect = -1;
            for (int p = from; p <= last && expect < 0; ++p)
                if (at(p))
                    expect = p;
            EXPECT_EQ(finder.findForward(data, size, from), expect) << "from " << from;
            expect = -1;
            for (int p = std::min(from, last); p >= 0 && expect < 0; --p)
                if (at(p))
                    expect = p;
            EXPECT_EQ(finder.findBackward(data, size, from), expect) << "back from " << from;
        }
    }
}

TEST(ByteFinder, FoldClassesWithoutAProbeStillMatch)
{
    // Three bytes fold to one value: no vector probe fits, every position is tried.
    ByteFinder::FoldTable fold;
    for (int b = 0; b < 256; ++b)
        fold[size_t(b)] = uint8_t(b);
    fold['y'] = fold['z'] = 'x';
    ByteFinder finder;
    finder.prepare("x", &fold);
    const std::string text(100, '.');
    std::string hit = text;
    hit[70] = 'z';
    EXPECT_EQ(finder.findForward(reinterpret_cast<const uint8_t *>(hit.data()), 100, 0), 70);
    EXPECT_EQ(finder.findBackward(reinterpret_cast<const uint8_t *>(hit.data()), 100, 99), 70);
    EXPECT_EQ(finder.findForward(reinterpret_cast<const uint8_t *>(text.data()), 100, 0), -1);
}

} // namespace
