// The regex stream searcher against one DFA run over the whole decoded text:
// the same matches whatever the fill, overlap and read sizes, and however
// long a match candidate may grow in memory before it goes on by DFA
// restart. Bytes that do not decode read as "?" or U+FFFD, and patterns may
// look for either. Each match is checked in UTF-8, character and source
// byte offsets. With whole words, both sides wrap the pattern in the same
// word assertions; going backward from each match must give the match
// before it.
//
// Input: four bytes of sizes and flags, the pattern, a NUL, the text.
#include "search/regexreference.h"

#include "search/pagetable.h"
#include "search/patterninfo.h"
#include "search/regexbackward.h"
#include "search/regexstreamsearcher.h"
#include "text/blockdecoder.h"
#include "viewer/spansource.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The encodings the searcher reads, in the order the input's flags pick them.
enum class Input { Ansi, Oem, Utf16LE, Utf16BE };

Encoding encodingOf(Input input)
{
    switch (input) {
    case Input::Ansi:
        break;
    case Input::Oem:
        return encodingOem;
    case Input::Utf16LE:
        return encodingUtf16LE;
    case Input::Utf16BE:
        return encodingUtf16BE;
    }
    return encodingAnsi;
}

void utf8(std::string &out, char32_t ch)
{
    if (ch < 0x80) {
        out += char(ch);
    } else if (ch < 0x800) {
        out += char(0xC0 | ch >> 6);
        out += char(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += char(0xE0 | ch >> 12);
        out += char(0x80 | (ch >> 6 & 0x3F));
        out += char(0x80 | (ch & 0x3F));
    } else {
        out += char(0xF0 | ch >> 18);
        out += char(0x80 | (ch >> 12 & 0x3F));
        out += char(0x80 | (ch >> 6 & 0x3F));
        out += char(0x80 | (ch & 0x3F));
    }
}

// The whole text decoded at once, by the searcher's own rules: bytes that do
// not decode are the replacement (always "?" in UTF-8, whose positions are
// those of the text); an odd last byte of UTF-16 is dropped, the rest of a
// character cut off by the end does not decode.
struct Whole
{
    std::string text;
    // The source offset and the character count at each character start of
    // the text, and at its end.
    std::vector<long long> raw, chars;
};

Whole decodeWhole(const unsigned char *p, size_t n, Input encoding, char32_t replacement)
{
    if (encoding == Input::Ansi)
        replacement = U'?';
    Whole whole;
    std::string &out = whole.text;
    size_t i = 0;
    long long count = 0;
    const auto mark = [&] {
        whole.raw.resize(out.size() + 1, -1);
        whole.chars.resize(out.size() + 1, -1);
        whole.raw[out.size()] = (long long)i;
        whole.chars[out.size()] = count;
    };
    while (i < n) {
        mark();
        DecodedChar d;
        switch (encoding) {
        case Input::Ansi:
            d = decodeUtf8Char(p + i, qsizetype(n - i));
            break;
        case Input::Oem:
            d = decodeTableChar(singleByteTable(encodingOem), p + i, qsizetype(n - i));
            break;
        case Input::Utf16LE:
            d = decodeUtf16Char(p + i, qsizetype(n - i), false);
            break;
        case Input::Utf16BE:
            d = decodeUtf16Char(p + i, qsizetype(n - i), true);
            break;
        }
        if (d.result == DecodedChar::NeedMore) {
            const bool utf16 = encoding == Input::Utf16LE || encoding == Input::Utf16BE;
            if (utf16 && n - i < 2)
                break;
            d = {DecodedChar::Invalid, utf16 ? 2 : 1, 0};
        }
        if (d.result == DecodedChar::Invalid) {
            utf8(out, replacement);
            ++count;
            i += size_t(d.used ? d.used : 1);
            continue;
        }
        utf8(out, d.ch);
        ++count;
        i += size_t(d.used);
    }
    mark();
    return whole;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 5)
        return 0;
    const quint32 fill = 1 + data[0] % 48, overlap = data[1] % 16, read = 1 + data[2] % 64;
    // Whole words cost the DFA runs most (assertions at every start): one
    // input in four.
    const bool wholeWords = (data[1] & 48) == 48, backward = data[1] & 64;
    const qint64 windowBytes = qint64(8) << (data[2] >> 6);
    const uint8_t flags = data[3];
    const Input encoding = Input(flags & 3);
    static const qint64 carries[] = {qint64(1) << 20, 0, 2, 7};
    const qint64 carry = carries[(flags >> 5) & 3];
    const char32_t replacement = flags & 128 ? U'\uFFFD' : U'?';
    uint32_t options = 0;
    if (flags & 4)
        options |= PCRE2_CASELESS;
    if (flags & 8)
        options |= PCRE2_DOTALL;
    if (flags & 16)
        options |= PCRE2_MULTILINE;
    const uint8_t *rest = data + 4, *end = data + size;
    const uint8_t *nul = static_cast<const uint8_t *>(std::memchr(rest, 0, size_t(end - rest)));
    if (!nul || nul - rest > 64)
        return 0;
    const std::string pattern(reinterpret_cast<const char *>(rest), size_t(nul - rest));
    // Patterns that open something at their start or leave it open at their
    // end take the wrap otherwise; those are the engine's tests' concern.
    if (wholeWords &&
        (pattern.find("(*") != std::string::npos || pattern.find("\\Q") != std::string::npos ||
         pattern.find('#') != std::string::npos))
        return 0;
    const std::string word = "[^\\x00-/:-@[-^`{-\\x7f]";
    const std::string referencePattern =
        wholeWords ? "(?<!" + word + ")(?:" + pattern + ")(?!" + word + ")" : pattern;

    const Whole whole = decodeWhole(nul + 1, size_t(end - nul - 1), encoding, replacement);
    bool ok = false;
    const std::vector<ReferenceMatch> expected =
        referenceMatches(referencePattern, options, whole.text, &ok);
    if (!ok)
        return 0; // no pattern, or one the DFA cannot run

    // One searcher for every input: its buffers are made once.
    static RegexStreamSearcher regex;
    regex.searchBufferSize = fill;
    regex.overlapBufferSize = overlap;
    regex.readSize = read;
    regex.maxCarryBytes = carry;
    regex.replacementCharacter = replacement;
    regex.compileOptionBits = options;
    regex.wholeWords = wholeWords;
    // Mutations mostly change the text: the pattern compiled for the input
    // before (JIT code and all) serves again when it is the same.
    static std::string compiled;
    const std::string key = pattern + '\0' + std::to_string(options) + ':' +
                            std::to_string(overlap) + ':' + std::to_string(wholeWords);
    if (key != compiled) {
        compiled.clear();
        if (!regex.setMatchPattern(QByteArray::fromStdString(pattern))) {
            // A pattern that does not compile alone may once wrapped: "["
            // takes in the wrap's own class.
            if (wholeWords)
                return 0;
            std::fprintf(stderr, "the reference compiled the pattern, the searcher did not\n");
            std::abort();
        }
        compiled = key;
    }
    SpanSource source(reinterpret_cast<const char *>(nul + 1), qint64(end - nul - 1));
    regex.setStream(&source, 0, encodingOf(encoding));
    // The searcher outlives the input's source.
    struct Detach
    {
        RegexStreamSearcher &searcher;
        ~Detach() { searcher.setStream(nullptr, 0, encodingAnsi); }
    } detach{regex};
    std::vector<ReferenceMatch> got;
    std::vector<std::pair<qint64, qint64>> raw; // source start, length
    RegexStreamSearcher::Match m;
    int rc = 0;
    while (got.size() < 1000 && (rc = regex.findNext(m)) >= 0) {
        got.push_back({m.start, m.start + m.length});
        raw.emplace_back(m.rawStart, m.rawLength);
        const size_t from = size_t(m.start), to = size_t(m.start + m.length);
        if (to < whole.raw.size() &&
            (m.rawStart != whole.raw[from] || m.rawStart + m.rawLength != whole.raw[to] ||
             m.startChars != whole.chars[from] ||
             m.startChars + m.lengthChars != whole.chars[to])) {
            std::fprintf(stderr,
                         "match %lld-%lld: source bytes %lld+%lld, expected %lld-%lld; "
                         "characters %lld+%lld, expected %lld-%lld\n",
                         m.start, m.start + m.length, m.rawStart, m.rawLength, whole.raw[from],
                         whole.raw[to], m.startChars, m.lengthChars, whole.chars[from],
                         whole.chars[to]);
            std::abort();
        }
    }
    if (rc == RegexStreamSearcher::resultWorkspaceLimit)
        return 0; // grown in steps, a limit the single run did not meet
    // An item the DFA cannot run is an error wherever it is met; a run over
    // the whole text may skip it, as when a literal it needs is missing.
    if (rc == PCRE2_ERROR_DFA_UITEM || rc == PCRE2_ERROR_DFA_UCOND || rc == PCRE2_ERROR_DFA_UFUNC)
        return 0;
    if (got.size() < 1000 && rc != PCRE2_ERROR_NOMATCH) {
        std::fprintf(stderr, "FindNext failed with %d\n", rc);
        std::abort();
    }
    if (got != expected) {
        std::fprintf(stderr, "pattern \"%s\": %zu matches, expected %zu\n", pattern.c_str(),
                     got.size(), expected.size());
        for (size_t i = 0; i < std::max(got.size(), expected.size()) && i < 20; ++i)
            std::fprintf(stderr, "  got %lld-%lld expected %lld-%lld\n",
                         i < got.size() ? got[i].start : -1, i < got.size() ? got[i].end : -1,
                         i < expected.size() ? expected[i].start : -1,
                         i < expected.size() ? expected[i].end : -1);
        std::abort();
    }
    if (backward && got.size() < 1000) {
        RegexBackward back(regex);
        back.windowBytes = windowBytes;
        back.reset(&source, encodingOf(encoding), regex.patternInfo().staysInLine());
        // From past the end, from the last few matches, and from the first.
        std::vector<size_t> steps; // matches before each limit
        for (size_t k = raw.size(); k + 3 > raw.size() && k > 0; --k)
            steps.push_back(k);
        steps.push_back(raw.size() > 3 ? 1 : 0);
        if (raw.size() > 3)
            steps.push_back(0);
        for (const size_t k : steps) {
            const qint64 limit = k == raw.size() ? source.size() + 1 : raw[k].first;
            const int brc = back.findBefore(limit, m);
            const bool want = k > 0;
            if (want ? brc < 0 || m.rawStart != raw[k - 1].first || m.rawLength != raw[k - 1].second
                     : brc != PCRE2_ERROR_NOMATCH) {
                std::fprintf(stderr, "backward before %lld: %d, %lld+%lld; expected %lld+%lld\n",
                             limit, brc, brc >= 0 ? m.rawStart : -1, brc >= 0 ? m.rawLength : 0,
                             want ? raw[k - 1].first : -1, want ? raw[k - 1].second : 0);
                std::abort();
            }
        }
    }
    return 0;
}
