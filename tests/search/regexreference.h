#pragma once

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <string>
#include <vector>

// The matches of one DFA run after another over a whole UTF-8 text, each
// attempt starting at the end of the match before (one character on after
// an empty one): what the stream searcher must report whatever its sizes.
struct ReferenceMatch
{
    long long start, end;
    bool operator==(const ReferenceMatch &) const = default;
};

// Empty with ok false when the pattern does not compile or the matcher fails.
inline std::vector<ReferenceMatch> referenceMatches(const std::string &pattern, uint32_t options,
                                                    const std::string &text, bool *ok,
                                                    size_t limit = 1000)
{
    *ok = false;
    std::vector<ReferenceMatch> out;
    pcre2_compile_context *cc = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(cc, PCRE2_NEWLINE_ANYCRLF);
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code *code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                      options | PCRE2_UTF | PCRE2_NEVER_BACKSLASH_C, &error, &offset, cc);
    pcre2_compile_context_free(cc);
    if (!code)
        return out;
    pcre2_match_data *md = pcre2_match_data_create(32, nullptr);
    // Made once: filling a megabyte on every call was most of a fuzz run's time.
    thread_local std::vector<int> ws(1 << 18);
    size_t attempt = 0;
    *ok = true;
    while (attempt <= text.size() && out.size() < limit) {
        const int rc =
            pcre2_dfa_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), attempt,
                            PCRE2_NO_UTF_CHECK, md, nullptr, ws.data(), ws.size());
        if (rc == PCRE2_ERROR_NOMATCH)
            break;
        if (rc < 0) {
            *ok = false;
            break;
        }
        const PCRE2_SIZE *ov = pcre2_get_ovector_pointer(md);
        out.push_back({(long long)ov[0], (long long)ov[1]});
        attempt = ov[1];
        if (ov[1] == ov[0]) {
            if (attempt >= text.size())
                break;
            const unsigned char lead = static_cast<unsigned char>(text[attempt]);
            attempt += lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        }
    }
    pcre2_match_data_free(md);
    pcre2_code_free(code);
    return out;
}
