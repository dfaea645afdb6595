#include "viewer/urldetect.h"

#include "text/blockdecoder.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace {

constexpr char pattern[] = "\\b([a-z]{3,8}://|www\\.)[\\w\\d\\.\\-\\?\\#\\+\\{\\}=~_$%;:&@,/]+"
                           "|"
                           "\\b[a-z\\d\\.\\-_]+@[a-z\\d\\.\\-]+\\.[a-z]+\\b";

struct Compiled
{
    pcre2_code *code = nullptr;

    explicit Compiled(uint32_t extra)
    {
        int error = 0;
        PCRE2_SIZE offset = 0;
        code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED,
                             PCRE2_CASELESS | extra, &error, &offset, nullptr);
        if (code)
            pcre2_jit_compile(code, PCRE2_JIT_COMPLETE); // interpreted when JIT is missing
    }
    ~Compiled() { pcre2_code_free(code); }
    Compiled(const Compiled &) = delete;
    Compiled &operator=(const Compiled &) = delete;
};

// Compiled once for the program. The raw form sees bytes; the UTF form sees
// the UTF-8 made from UTF-16, where caseless letters follow Unicode folding.
const pcre2_code *rawCode()
{
    static const Compiled compiled(0);
    return compiled.code;
}

const pcre2_code *utf8Code()
{
    static const Compiled compiled(PCRE2_UTF);
    return compiled.code;
}

} // namespace

struct UrlList::MatchData
{
    pcre2_match_data *data = pcre2_match_data_create(2, nullptr);
    ~MatchData() { pcre2_match_data_free(data); }
};

UrlList::UrlList() : m_match(std::make_unique<MatchData>()) {}

UrlList::~UrlList() = default;

void UrlList::detect(const char *data, qint64 count, qint64 bufferPos, bool utf16, bool bigEndian)
{
    m_urls.clear();
    if (!data || count <= 0 || !m_match->data)
        return;
    if (utf16)
        detectUtf16(data, count, bufferPos, bigEndian);
    else
        detectBytes(data, count, bufferPos);
}

void UrlList::detectBytes(const char *data, qint64 count, qint64 bufferPos)
{
    const pcre2_code *code = rawCode();
    if (!code)
        return;
    const auto subject = reinterpret_cast<PCRE2_SPTR>(data);
    PCRE2_SIZE start = 0;
    while (int(m_urls.size()) < maxUrls && start < PCRE2_SIZE(count)) {
        if (pcre2_match(code, subject, PCRE2_SIZE(count), start, 0, m_match->data, nullptr) < 0)
            break;
        const PCRE2_SIZE *ov = pcre2_get_ovector_pointer(m_match->data);
        m_urls.push_back({QByteArray(data + ov[0], qsizetype(ov[1] - ov[0])),
                          bufferPos + qint64(ov[0]), qint64(ov[1] - ov[0])});
        // Neither address can be empty, so the search always moves on.
        start = ov[1];
    }
}

void UrlList::detectUtf16(const char *data, qint64 count, qint64 bufferPos, bool bigEndian)
{
    const pcre2_code *code = utf8Code();
    if (!code)
        return;
    m_utf8.clear();
    m_offsets.clear();
    // A lone half of a surrogate pair reads as "?".
    decodeBlockUtf8(data, count, Encoding::utf16(bigEndian), U'?', m_utf8, &m_offsets);

    const auto subject = reinterpret_cast<PCRE2_SPTR>(m_utf8.constData());
    const auto length = PCRE2_SIZE(m_utf8.size());
    PCRE2_SIZE start = 0;
    while (int(m_urls.size()) < maxUrls && start < length) {
        if (pcre2_match(code, subject, length, start, PCRE2_NO_UTF_CHECK, m_match->data, nullptr) <
            0)
            break;
        const PCRE2_SIZE *ov = pcre2_get_ovector_pointer(m_match->data);
        const qint64 first = m_offsets[ov[0]];
        m_urls.push_back({m_utf8.mid(qsizetype(ov[0]), qsizetype(ov[1] - ov[0])), bufferPos + first,
                          m_offsets[ov[1]] - first});
        start = ov[1];
    }
}

QByteArray UrlList::urlAt(qint64 pos) const
{
    if (pos < 0)
        return {};
    for (const Url &url : m_urls) {
        if (url.pos <= pos && pos < url.pos + url.length)
            return url.text;
    }
    return {};
}

QByteArray UrlList::clickTarget(const QByteArray &url)
{
    const qsizetype schemeEnd = url.indexOf("://");
    if (schemeEnd < 0) {
        // Found as a web address without its scheme, or as an e-mail address.
        if (url.left(4).toLower() == "www.")
            return "http://" + url;
        if (url.contains('@') && !url.contains(':'))
            return "mailto:" + url;
        return {};
    }
    const QByteArray scheme = url.left(schemeEnd).toLower();
    for (const char *allowed : {"http", "https", "ftp", "mailto"})
        if (scheme == allowed)
            return url;
    return {};
}
