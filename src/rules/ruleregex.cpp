#include "rules/ruleregex.h"

#include <cstring>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

struct RuleRegex::Compiled
{
    pcre2_code *code = nullptr;    // for valid text (or any text, without UTF)
    pcre2_code *Invalid = nullptr; // for text with invalid UTF-8; null without UTF
    pcre2_match_context *context = nullptr;
    bool jit = false; // Code has JIT code: matched without pcre2_match's checks
    ~Compiled()
    {
        pcre2_match_context_free(context);
        pcre2_code_free(Invalid);
        pcre2_code_free(code);
    }
};

namespace {

// One match data per thread serves every pattern: only the whole match's
// bounds are read, and a single pair holds them.
pcre2_match_data *threadMatchData()
{
    struct Holder
    {
        pcre2_match_data *data = pcre2_match_data_create(1, nullptr);
        ~Holder() { pcre2_match_data_free(data); }
    };
    thread_local Holder holder;
    return holder.data;
}

QString errorMessage(int code)
{
    PCRE2_UCHAR buffer[256];
    const int n = pcre2_get_error_message(code, buffer, sizeof buffer);
    return n < 0 ? QStringLiteral("error %1").arg(code)
                 : QString::fromUtf8(reinterpret_cast<const char *>(buffer), n);
}

} // namespace

RuleRegex::RuleRegex(const QByteArray &pattern, Flavour flavour, bool caseSensitive)
{
    quint32 options = caseSensitive ? 0 : PCRE2_CASELESS;
    quint32 newline = PCRE2_NEWLINE_CRLF;
    switch (flavour) {
    case Flavour::Line:
        options |= PCRE2_UTF | PCRE2_DOTALL;
        break;
    case Flavour::Block:
        options |= PCRE2_UTF | PCRE2_MULTILINE;
        newline = PCRE2_NEWLINE_ANYCRLF;
        break;
    case Flavour::Literal:
        options |= PCRE2_LITERAL;
        break;
    }
    pcre2_compile_context *cc = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(cc, newline);
    const auto compile = [&](quint32 extra, int &error, PCRE2_SIZE &offset) {
        return pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.constData()),
                             PCRE2_SIZE(pattern.size()), options | extra, &error, &offset, cc);
    };
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code *code = compile(0, error, offset);
    pcre2_code *invalid = nullptr;
    if (code && (options & PCRE2_UTF)) {
        int unused = 0;
        PCRE2_SIZE at = 0;
        invalid = compile(PCRE2_MATCH_INVALID_UTF, unused, at);
    }
    pcre2_compile_context_free(cc);
    if (!code) {
        m_error = errorMessage(error);
        m_errorOffset = qsizetype(offset);
        return;
    }
    // Without JIT it still matches, slower.
    const bool jit = pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) == 0;
    auto compiled = std::make_shared<Compiled>();
    compiled->code = code;
    compiled->jit = jit;
    compiled->Invalid = invalid;
    compiled->context = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(compiled->context, matchLimit);
    pcre2_set_depth_limit(compiled->context, matchLimit);
    m_code = std::move(compiled);
}

RuleRegex::Result RuleRegex::find(const char *subject, qsizetype size, qsizetype start,
                                  qsizetype *matchStart, qsizetype *matchEnd, Text text,
                                  bool notAtLineStart) const
{
    if (!m_code || start > size)
        return Result::NoMatch;
    pcre2_match_data *data = threadMatchData();
    const pcre2_code *code = m_code->code;
    quint32 options = notAtLineStart ? PCRE2_NOTBOL : 0;
    if (m_code->Invalid) {
        if (text == Text::Unknown)
            text = isValidUtf8(subject, size) ? Text::ValidUtf8 : Text::InvalidUtf8;
        if (text == Text::InvalidUtf8)
            code = m_code->Invalid;
        else
            options |= PCRE2_NO_UTF_CHECK;
    }
    // The text is known valid here: the JIT's own entry skips pcre2_match's
    // checks, which cost as much as a short search (a repaint makes many).
    const auto *text8 = reinterpret_cast<PCRE2_SPTR>(subject);
    const int rc =
        code == m_code->code && m_code->jit
            ? pcre2_jit_match(m_code->code, text8, PCRE2_SIZE(size), PCRE2_SIZE(start),
                              options & ~quint32(PCRE2_NO_UTF_CHECK), data, m_code->context)
            : pcre2_match(code, text8, PCRE2_SIZE(size), PCRE2_SIZE(start), options, data,
                          m_code->context);
    if (rc == PCRE2_ERROR_NOMATCH)
        return Result::NoMatch;
    if (rc < 0)
        return Result::Failed;
    const PCRE2_SIZE *ov = pcre2_get_ovector_pointer(data);
    if (matchStart)
        *matchStart = qsizetype(ov[0]);
    if (matchEnd)
        *matchEnd = qsizetype(std::max(ov[1], ov[0])); // \K may put the end first
    return Result::Match;
}

int RuleRegex::maxLookbehind() const
{
    uint32_t chars = 0;
    if (m_code)
        pcre2_pattern_info(m_code->code, PCRE2_INFO_MAXLOOKBEHIND, &chars);
    return int(chars);
}

bool RuleRegex::isValidUtf8(const char *text, qsizetype size)
{
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    qsizetype i = 0;
    while (i < size) {
        // ASCII eight bytes at a time.
        if (i + 8 <= size) {
            quint64 word;
            std::memcpy(&word, s + i, sizeof word);
            if ((word & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        const int length = utf8CharLength(s, i, size);
        if (length <= 0)
            return false;
        i += length;
    }
    return true;
}

int utf8CharLength(const unsigned char *s, qsizetype i, qsizetype n)
{
    const unsigned c = s[i];
    if (c < 0x80)
        return 1;
    int length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0)
            low = 0xA0;
        else if (c == 0xED)
            high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0)
            low = 0x90;
        else if (c == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    for (int k = 1; k < length; ++k) {
        if (i + k >= n)
            return -1;
        const unsigned b = s[i + k];
        if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}
