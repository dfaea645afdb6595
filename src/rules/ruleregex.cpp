#include "rules/ruleregex.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

struct TRuleRegex::Compiled
{
    pcre2_code *Code = nullptr;
    pcre2_match_context *Context = nullptr;
    ~Compiled()
    {
        pcre2_match_context_free(Context);
        pcre2_code_free(Code);
    }
};

namespace {

// One match data per thread serves every pattern: only the whole match's
// bounds are read, and a single pair holds them.
pcre2_match_data *ThreadMatchData()
{
    struct Holder
    {
        pcre2_match_data *Data = pcre2_match_data_create(1, nullptr);
        ~Holder() { pcre2_match_data_free(Data); }
    };
    thread_local Holder holder;
    return holder.Data;
}

QString ErrorMessage(int code)
{
    PCRE2_UCHAR buffer[256];
    const int n = pcre2_get_error_message(code, buffer, sizeof buffer);
    return n < 0 ? QStringLiteral("error %1").arg(code)
                 : QString::fromUtf8(reinterpret_cast<const char *>(buffer), n);
}

} // namespace

TRuleRegex::TRuleRegex(const QByteArray &pattern, Flavour flavour, bool caseSensitive)
{
    quint32 options = caseSensitive ? 0 : PCRE2_CASELESS;
    quint32 newline = PCRE2_NEWLINE_CRLF;
    switch (flavour) {
    case Flavour::Line:
        options |= PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_DOTALL;
        break;
    case Flavour::Block:
        options |= PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_MULTILINE;
        newline = PCRE2_NEWLINE_ANYCRLF;
        break;
    case Flavour::Literal:
        options |= PCRE2_LITERAL;
        break;
    }
    pcre2_compile_context *cc = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(cc, newline);
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code *code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.constData()),
                                     PCRE2_SIZE(pattern.size()), options, &error, &offset, cc);
    pcre2_compile_context_free(cc);
    if (!code) {
        m_error = ErrorMessage(error);
        m_errorOffset = qsizetype(offset);
        return;
    }
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE); // without JIT it still matches, slower
    auto compiled = std::make_shared<Compiled>();
    compiled->Code = code;
    compiled->Context = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(compiled->Context, MatchLimit);
    pcre2_set_depth_limit(compiled->Context, MatchLimit);
    m_code = std::move(compiled);
}

TRuleRegex::Result TRuleRegex::Find(const char *subject, qsizetype size, qsizetype start,
                                    qsizetype *matchStart, qsizetype *matchEnd) const
{
    if (!m_code || start > size)
        return Result::NoMatch;
    pcre2_match_data *data = ThreadMatchData();
    const int rc = pcre2_match(m_code->Code, reinterpret_cast<PCRE2_SPTR>(subject),
                               PCRE2_SIZE(size), PCRE2_SIZE(start), 0, data, m_code->Context);
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
