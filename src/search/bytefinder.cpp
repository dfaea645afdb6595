#include "search/bytefinder.h"

#include <immintrin.h>

#include <algorithm>
#include <iterator>
#include <cstring>
#include <vector>

namespace {

// How common a byte is in logs and other text, 0 rare to 255 everywhere.
// Only the order matters: the filter looks for the two least common bytes.
constexpr std::array<uint8_t, 256> makeFrequency()
{
    std::array<uint8_t, 256> f{};
    for (int b = 0; b < 256; ++b)
        f[size_t(b)] = b < 32 ? 20 : (b < 128 ? 50 : 40);
    f[0] = 220; // every other byte of UTF-16 text
    f['\n'] = 120;
    f['\r'] = 90;
    f['\t'] = 80;
    f[' '] = 255;
    const char *common = "etaoinsrhldcumfpgwybvk";
    for (int i = 0; common[i]; ++i)
        f[uint8_t(common[i])] = uint8_t(230 - i * 4);
    for (int b = 'a'; b <= 'z'; ++b)
        if (f[size_t(b)] == 50)
            f[size_t(b)] = 130;
    for (int b = '0'; b <= '9'; ++b)
        f[size_t(b)] = 200;
    const char *upper = "EIORNATSDLCGUW";
    for (int i = 0; upper[i]; ++i)
        f[uint8_t(upper[i])] = uint8_t(110 - i * 3);
    const char *punct = ".:-/=_,[]()";
    for (int i = 0; punct[i]; ++i)
        f[uint8_t(punct[i])] = uint8_t(190 - i * 8);
    return f;
}
constexpr std::array<uint8_t, 256> kFrequency = makeFrequency();

bool hasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

} // namespace

void ByteFinder::prepare(const QByteArray &pattern, const FoldTable *fold)
{
    m_pattern = pattern;
    m_folded = fold != nullptr;
    for (int b = 0; b < 256; ++b)
        m_fold[size_t(b)] = fold ? (*fold)[size_t(b)] : uint8_t(b);
    m_probeCount = 0;
    // A probe needs the text bytes that fold to a pattern byte to be that
    // byte alone, or an ASCII letter pair that differs in bit 5.
    struct Choice
    {
        Probe P;
        int score;
    };
    // Per folded value: how many text bytes fold to it, and the bits they share.
    int members[256] = {}, score[256] = {};
    uint8_t orAll[256] = {}, andAll[256];
    std::fill(std::begin(andAll), std::end(andAll), uint8_t(0xFF));
    for (int b = 0; b < 256; ++b) {
        const uint8_t v = m_fold[size_t(b)];
        ++members[v];
        orAll[v] |= uint8_t(b);
        andAll[v] &= uint8_t(b);
        score[v] = std::max(score[v], int(kFrequency[size_t(b)]));
    }
    std::vector<Choice> usable;
    for (int i = 0; i < pattern.size(); ++i) {
        const uint8_t v = uint8_t(pattern[i]);
        if (members[v] == 1)
            usable.push_back({{i, 0, orAll[v]}, score[v]});
        else if (members[v] == 2 && uint8_t(orAll[v] ^ andAll[v]) == 0x20)
            usable.push_back({{i, 0x20, orAll[v]}, score[v]});
    }
    if (usable.empty())
        return;
    const auto rarer = [](const Choice &a, const Choice &b) { return a.score < b.score; };
    std::stable_sort(usable.begin(), usable.end(), rarer);
    m_probe[0] = m_probe[1] = usable[0].P;
    m_probeCount = 1;
    // The second probe: the rarest other byte; failing that, the same byte
    // elsewhere, which still filters better than one probe.
    for (const Choice &c : usable) {
        if (c.P.value != m_probe[0].value || c.P.mask != m_probe[0].mask) {
            m_probe[1] = c.P;
            m_probeCount = 2;
            return;
        }
    }
    if (usable.size() > 1) {
        m_probe[1] = usable.back().P;
        m_probeCount = 2;
    }
}

bool ByteFinder::matchesAt(const uint8_t *data, qsizetype p) const
{
    const uint8_t *pat = reinterpret_cast<const uint8_t *>(m_pattern.constData());
    const qsizetype n = m_pattern.size();
    if (!m_folded)
        return std::memcmp(data + p, pat, size_t(n)) == 0;
    for (qsizetype k = 0; k < n; ++k) {
        if (m_fold[data[p + k]] != pat[k])
            return false;
    }
    return true;
}

namespace {

struct Probes
{
    int o1, o2;
    uint8_t m1, v1, m2, v2;
};

// How far ahead of the filter the memory is asked for. The hardware's own
// prefetch stops at each 4 KiB page, and a scan that waits for memory there
// runs well below the speed of memory.
constexpr qsizetype kPrefetchAhead = 2048;

// The probes as vectors, set up once per call so that the loop keeps them in
// registers.
struct Mask32
{
    __m256i m1, v1, m2, v2;
    int o1, o2;

    __attribute__((target("avx2"))) explicit Mask32(const Probes &p)
        : m1(_mm256_set1_epi8(char(p.m1))), v1(_mm256_set1_epi8(char(p.v1))),
          m2(_mm256_set1_epi8(char(p.m2))), v2(_mm256_set1_epi8(char(p.v2))), o1(p.o1), o2(p.o2)
    {}
    __attribute__((target("avx2"))) uint32_t operator()(const uint8_t *at) const
    {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at + o1));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at + o2));
        const __m256i ea = _mm256_cmpeq_epi8(_mm256_or_si256(a, m1), v1);
        const __m256i eb = _mm256_cmpeq_epi8(_mm256_or_si256(b, m2), v2);
        return uint32_t(_mm256_movemask_epi8(_mm256_and_si256(ea, eb)));
    }
};

struct Mask16
{
    __m128i m1, v1, m2, v2;
    int o1, o2;

    explicit Mask16(const Probes &p)
        : m1(_mm_set1_epi8(char(p.m1))), v1(_mm_set1_epi8(char(p.v1))),
          m2(_mm_set1_epi8(char(p.m2))), v2(_mm_set1_epi8(char(p.v2))), o1(p.o1), o2(p.o2)
    {}
    inline __attribute__((always_inline)) uint32_t operator()(const uint8_t *at) const
    {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + o1));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + o2));
        const __m128i ea = _mm_cmpeq_epi8(_mm_or_si128(a, m1), v1);
        const __m128i eb = _mm_cmpeq_epi8(_mm_or_si128(b, m2), v2);
        return uint32_t(_mm_movemask_epi8(_mm_and_si128(ea, eb)));
    }
};

inline bool scalarCandidate(const uint8_t *at, const Probes &p)
{
    return uint8_t(at[p.o1] | p.m1) == p.v1 && uint8_t(at[p.o2] | p.m2) == p.v2;
}

// The same loops for 32 and 16 lanes. A prefetch never faults, so one past
// the end of the data (or of a map) is harmless.
template <int Lanes, typename MaskFn, typename Verify>
inline __attribute__((always_inline)) qsizetype forward(const uint8_t *data, qsizetype from,
                                                        qsizetype lastStart, const Probes &p,
                                                        const MaskFn mask, Verify verify)
{
    qsizetype q = from;
    // Two vectors a step: candidates are rare, and one test covers both.
    for (; q + 2 * Lanes - 1 <= lastStart; q += 2 * Lanes) {
        __builtin_prefetch(data + q + kPrefetchAhead);
        const uint32_t low = mask(data + q), high = mask(data + q + Lanes);
        if (!(low | high))
            continue;
        const uint64_t both = uint64_t(low) | uint64_t(high) << Lanes;
        for (uint64_t m = both; m; m &= m - 1) {
            const qsizetype c = q + __builtin_ctzll(m);
            if (verify(c))
                return c;
        }
    }
    for (; q + Lanes - 1 <= lastStart; q += Lanes) {
        for (uint32_t m = mask(data + q); m; m &= m - 1) {
            const qsizetype c = q + __builtin_ctz(m);
            if (verify(c))
                return c;
        }
    }
    for (; q <= lastStart; ++q) {
        if (scalarCandidate(data + q, p) && verify(q))
            return q;
    }
    return -1;
}

template <int Lanes, typename MaskFn, typename Verify>
inline __attribute__((always_inline)) qsizetype
backward(const uint8_t *data, qsizetype last, const Probes &p, const MaskFn mask, Verify verify)
{
    qsizetype q = last;
    for (; q - (2 * Lanes - 1) >= 0; q -= 2 * Lanes) {
        const qsizetype base = q - (2 * Lanes - 1);
        __builtin_prefetch(data + base - kPrefetchAhead);
        const uint32_t low = mask(data + base), high = mask(data + base + Lanes);
        if (!(low | high))
            continue;
        for (uint64_t m = uint64_t(low) | uint64_t(high) << Lanes; m;) {
            const int bit = 63 - __builtin_clzll(m);
            if (verify(base + bit))
                return base + bit;
            m &= ~(uint64_t(1) << bit);
        }
    }
    for (; q - (Lanes - 1) >= 0; q -= Lanes) {
        const qsizetype base = q - (Lanes - 1);
        for (uint32_t m = mask(data + base); m;) {
            const int bit = 31 - __builtin_clz(m);
            if (verify(base + bit))
                return base + bit;
            m &= ~(uint32_t(1) << bit);
        }
    }
    for (; q >= 0; --q) {
        if (scalarCandidate(data + q, p) && verify(q))
            return q;
    }
    return -1;
}

// The loops compiled for AVX2, so that the 32-lane mask inlines.
template <typename Verify>
__attribute__((target("avx2"))) qsizetype
forward32(const uint8_t *data, qsizetype from, qsizetype lastStart, const Probes &p, Verify verify)
{
    return forward<32>(data, from, lastStart, p, Mask32(p), verify);
}

template <typename Verify>
__attribute__((target("avx2"))) qsizetype backward32(const uint8_t *data, qsizetype last,
                                                     const Probes &p, Verify verify)
{
    return backward<32>(data, last, p, Mask32(p), verify);
}

} // namespace

qsizetype ByteFinder::findForward(const uint8_t *data, qsizetype size, qsizetype from) const
{
    const qsizetype n = m_pattern.size();
    const qsizetype lastStart = size - n;
    if (n == 0 || from > lastStart)
        return -1;
    if (from < 0)
        from = 0;
    const auto verify = [&](qsizetype c) { return matchesAt(data, c); };
    if (m_probeCount == 0) {
        for (qsizetype q = from; q <= lastStart; ++q) {
            if (verify(q))
                return q;
        }
        return -1;
    }
    const Probes p{m_probe[0].offset, m_probe[1].offset, m_probe[0].mask,
                   m_probe[0].value,  m_probe[1].mask,   m_probe[1].value};
    if (hasAvx2())
        return forward32(data, from, lastStart, p, verify);
    return forward<16>(data, from, lastStart, p, Mask16(p), verify);
}

qsizetype ByteFinder::findBackward(const uint8_t *data, qsizetype size, qsizetype last) const
{
    const qsizetype n = m_pattern.size();
    if (n == 0 || size < n || last < 0)
        return -1;
    if (last > size - n)
        last = size - n;
    const auto verify = [&](qsizetype c) { return matchesAt(data, c); };
    if (m_probeCount == 0) {
        for (qsizetype q = last; q >= 0; --q) {
            if (verify(q))
                return q;
        }
        return -1;
    }
    const Probes p{m_probe[0].offset, m_probe[1].offset, m_probe[0].mask,
                   m_probe[0].value,  m_probe[1].mask,   m_probe[1].value};
    if (hasAvx2())
        return backward32(data, last, p, verify);
    return backward<16>(data, last, p, Mask16(p), verify);
}
