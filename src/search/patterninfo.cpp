#include "search/patterninfo.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace {

constexpr unsigned char byte(char c)
{
    return static_cast<unsigned char>(c);
}

constexpr uint32_t kExtended = PCRE2_EXTENDED | PCRE2_EXTENDED_MORE;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isAsciiLetter(uint32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isNameChar(char c)
{
    return isDigit(c) || isAsciiLetter(byte(c)) || c == '_';
}

std::string toUtf8(uint32_t c)
{
    std::string s;
    if (c < 0x80) {
        s += char(c);
    } else if (c < 0x800) {
        s += char(0xC0 | c >> 6);
        s += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += char(0xE0 | c >> 12);
        s += char(0x80 | (c >> 6 & 0x3F));
        s += char(0x80 | (c & 0x3F));
    } else {
        s += char(0xF0 | c >> 18);
        s += char(0x80 | (c >> 12 & 0x3F));
        s += char(0x80 | (c >> 6 & 0x3F));
        s += char(0x80 | (c & 0x3F));
    }
    return s;
}

bool inList(std::string_view name, std::initializer_list<std::string_view> list)
{
    for (const std::string_view item : list) {
        if (name == item)
            return true;
    }
    return false;
}

// Reads a pattern once, item by item, as PCRE2 does, and records in info
// what it meets. Anything it does not know makes it give up (info.unsure).
class SyntaxReader
{
public:
    SyntaxReader(std::string_view pattern, uint32_t options, PatternInfo &info)
        : m_p(pattern), m_options(options), m_info(info)
    {}

    void read()
    {
        if (m_options & (PCRE2_ALT_BSUX | PCRE2_ALT_VERBNAMES))
            return giveUp();
        if (m_options & PCRE2_LITERAL) {
            while (m_i < m_p.size())
                literal(nextChar());
        } else {
            startItems();
            while (m_i < m_p.size() && !m_info.unsure) {
                if (!skipIgnored())
                    item();
            }
            if (!m_saved.empty())
                giveUp();
        }
        endRun();
        if (!m_topAlternation && !m_info.verb && !m_info.resetsMatchStart) {
            m_info.requiredLiteral = m_best;
            m_info.literalFolds = m_bestFolds;
        }
    }

private:
    char at(size_t i) const { return i < m_p.size() ? m_p[i] : '\0'; }
    bool startsWith(std::string_view s) const { return m_p.substr(m_i).starts_with(s); }
    void giveUp()
    {
        m_info.unsure = true;
        m_i = m_p.size();
    }

    // The code point at m_i, which it passes (the pattern compiled as UTF-8).
    uint32_t nextChar()
    {
        const auto lead = byte(m_p[m_i++]);
        if (lead < 0x80)
            return lead;
        const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
        uint32_t c = lead & (0x3F >> extra);
        for (int k = 0; k < extra && m_i < m_p.size(); ++k)
            c = c << 6 | (byte(m_p[m_i++]) & 0x3F);
        return c;
    }

    // Extended-mode white space at i: its length, or 0.
    size_t spaceAt(size_t i) const
    {
        const char c = at(i);
        if (c == ' ' || (c >= '\t' && c <= '\r'))
            return 1;
        const std::string_view rest = m_p.substr(std::min(i, m_p.size()));
        if (rest.starts_with("\xc2\x85"))
            return 2;
        for (const char *s : {"\xe2\x80\x8e", "\xe2\x80\x8f", "\xe2\x80\xa8", "\xe2\x80\xa9"}) {
            if (rest.starts_with(s))
                return 3;
        }
        return 0;
    }

    // The length of the line break at i under the pattern's convention, or 0.
    size_t newlineAt(size_t i) const
    {
        const std::string_view rest = m_p.substr(std::min(i, m_p.size()));
        const char c = at(i);
        switch (m_info.newline) {
        case PCRE2_NEWLINE_CR:
            return c == '\r' ? 1 : 0;
        case PCRE2_NEWLINE_LF:
            return c == '\n' ? 1 : 0;
        case PCRE2_NEWLINE_CRLF:
            return rest.starts_with("\r\n") ? 2 : 0;
        case PCRE2_NEWLINE_ANYCRLF:
            return rest.starts_with("\r\n") ? 2 : c == '\r' || c == '\n' ? 1 : 0;
        case PCRE2_NEWLINE_NUL:
            return i < m_p.size() && c == '\0' ? 1 : 0;
        default: // ANY
            if (rest.starts_with("\r\n"))
                return 2;
            if (c >= '\n' && c <= '\r')
                return 1;
            if (rest.starts_with("\xc2\x85"))
                return 2;
            return rest.starts_with("\xe2\x80\xa8") || rest.starts_with("\xe2\x80\xa9") ? 3 : 0;
        }
    }

    // Passes what PCRE2 ignores between items: comments, \E, an empty
    // \Q\E and, in extended mode, white space and # comments.
    bool skipIgnored()
    {
        const size_t from = m_i;
        for (;;) {
            if (m_options & kExtended) {
                if (const size_t n = spaceAt(m_i)) {
                    m_i += n;
                    continue;
                }
                if (at(m_i) == '#') {
                    while (m_i < m_p.size() && !newlineAt(m_i))
                        ++m_i;
                    m_i += newlineAt(m_i);
                    continue;
                }
            }
            if (startsWith("(?#")) {
                const size_t end = m_p.find(')', m_i);
                if (end == std::string_view::npos)
                    return giveUp(), true;
                m_i = end + 1;
                continue;
            }
            if (startsWith("\\E")) {
                m_i += 2;
                continue;
            }
            if (startsWith("\\Q\\E")) {
                m_i += 4;
                continue;
            }
            return m_i != from;
        }
    }

    // (*UTF), (*CR), (*LIMIT_MATCH=9) and their kin, only at the start.
    void startItems()
    {
        while (startsWith("(*")) {
            size_t j = m_i + 2;
            while (isNameChar(at(j)))
                ++j;
            const std::string_view name = m_p.substr(m_i + 2, j - m_i - 2);
            if (at(j) == '=' && name.starts_with("LIMIT_")) {
                ++j;
                while (isDigit(at(j)))
                    ++j;
            } else if (!inList(name,
                               {"UTF", "UCP", "NOTEMPTY", "NOTEMPTY_ATSTART", "NO_AUTO_POSSESS",
                                "NO_DOTSTAR_ANCHOR", "NO_JIT", "NO_START_OPT", "CR", "LF", "CRLF",
                                "ANYCRLF", "ANY", "NUL", "BSR_ANYCRLF", "BSR_UNICODE"})) {
                return;
            }
            if (at(j) != ')')
                return;
            m_info.startItem = true;
            m_i = j + 1;
        }
    }

    void endRun()
    {
        if (m_run.size() > m_best.size()) {
            m_best = m_run;
            m_bestFolds = m_runFolds;
        }
        m_run.clear();
        m_runFolds = false;
        m_lastAtom = 0;
    }

    // An item that is no literal character.
    void atom(bool mayMatchLineBreak)
    {
        endRun();
        if (mayMatchLineBreak)
            m_info.mayMatchLineBreak = true;
    }

    void literal(uint32_t c)
    {
        if (c == '\n' || c == '\r')
            m_info.mayMatchLineBreak = true;
        const bool caseless = m_options & PCRE2_CASELESS;
        // Caseless UTF matching also takes U+212A for k and U+017F for s.
        if (!m_saved.empty() ||
            (caseless && (c >= 0x80 || c == 'k' || c == 'K' || c == 's' || c == 'S'))) {
            endRun();
            return;
        }
        const std::string bytes = toUtf8(c);
        m_run += bytes;
        m_lastAtom = bytes.size();
        if (caseless && isAsciiLetter(c))
            m_runFolds = true;
    }

    void item()
    {
        const char c = m_p[m_i];
        switch (c) {
        case '\\':
            ++m_i;
            return escape();
        case '[':
            return charClass();
        case '(':
            return group();
        case ')':
            if (m_saved.empty())
                return giveUp();
            m_options = m_saved.back();
            m_saved.pop_back();
            ++m_i;
            return atom(false);
        case '|':
            m_topAlternation = m_topAlternation || m_saved.empty();
            ++m_i;
            return atom(false);
        case '*':
        case '+':
        case '?':
            ++m_i;
            return quantifier();
        case '{':
            if (const size_t end = braceQuantifierEnd()) {
                m_i = end;
                return quantifier();
            }
            ++m_i;
            return literal('{');
        case '.':
            ++m_i;
            return atom(m_options & PCRE2_DOTALL);
        case '$':
            m_info.dollar = true;
            [[fallthrough]];
        case '^':
            ++m_i;
            return atom(false);
        default:
            return literal(nextChar());
        }
    }

    // The end of a quantifier in braces at m_i, or 0 when the brace is a
    // literal. {,n} and spaces inside are taken for one too, as later PCRE2
    // releases read them: the worst that does is to miss a literal.
    size_t braceQuantifierEnd() const
    {
        bool digits = false;
        size_t j = m_i + 1;
        for (; isDigit(at(j)) || at(j) == ',' || at(j) == ' ' || at(j) == '\t'; ++j)
            digits = digits || isDigit(at(j));
        return digits && at(j) == '}' ? j + 1 : 0;
    }

    void quantifier()
    {
        // The quantified character is not required; the run ends with it.
        m_run.resize(m_run.size() - m_lastAtom);
        endRun();
        while (skipIgnored()) {
        }
        if (at(m_i) == '+') {
            m_info.possessive = true;
            ++m_i;
        } else if (at(m_i) == '?') {
            ++m_i;
        }
    }

    // Skips to the byte after the next `close`; false when there is none.
    bool skipPast(char close)
    {
        const size_t end = m_p.find(close, m_i);
        if (end == std::string_view::npos)
            return false;
        m_i = end + 1;
        return true;
    }

    // The escapes that stand for one character, inside or outside a class
    // (e already passed): false when e is none of them.
    bool characterEscape(char e, uint32_t &value)
    {
        const auto hexDigits = [this](size_t max) {
            uint32_t v = 0;
            for (size_t k = 0; k < max && std::isxdigit(byte(at(m_i))); ++k) {
                const char d = char(std::tolower(byte(m_p[m_i++])));
                v = v * 16 + uint32_t(isDigit(d) ? d - '0' : d - 'a' + 10);
            }
            return v;
        };
        const auto octalDigits = [this](size_t max) {
            uint32_t v = 0;
            for (size_t k = 0; k < max && at(m_i) >= '0' && at(m_i) <= '7'; ++k)
                v = v * 8 + uint32_t(m_p[m_i++] - '0');
            return v;
        };
        const auto braced = [&](auto digits) {
            ++m_i;
            value = digits(size_t(16));
            return at(m_i) == '}' ? (++m_i, true) : (giveUp(), true);
        };
        switch (e) {
        case 'a':
            value = 7;
            return true;
        case 'e':
            value = 0x1B;
            return true;
        case 'f':
            value = 0x0C;
            return true;
        case 'n':
            value = '\n';
            return true;
        case 'r':
            value = '\r';
            return true;
        case 't':
            value = '\t';
            return true;
        case '0':
            value = octalDigits(2);
            return true;
        case 'o':
            if (at(m_i) != '{')
                return giveUp(), true;
            return braced(octalDigits);
        case 'x':
            if (at(m_i) == '{')
                return braced(hexDigits);
            value = hexDigits(2);
            return true;
        case 'c':
            if (m_i >= m_p.size())
                return giveUp(), true;
            value = uint32_t(std::toupper(byte(m_p[m_i++]))) ^ 0x40;
            return true;
        case 'N':
            if (!startsWith("{U+"))
                return false;
            m_i += 2;
            return braced(hexDigits);
        default:
            return false;
        }
    }

    void escape()
    {
        if (m_i >= m_p.size())
            return giveUp();
        const char e = m_p[m_i];
        if (byte(e) >= 0x80 || !std::isalnum(byte(e)))
            return literal(nextChar());
        ++m_i;
        uint32_t value = 0;
        if (characterEscape(e, value))
            return literal(value);
        switch (e) {
        case 'Q':
            // Literal up to \E or the end.
            while (m_i < m_p.size() && !startsWith("\\E"))
                literal(nextChar());
            if (startsWith("\\E"))
                m_i += 2;
            return;
        case 'd':
        case 'w':
        case 'h':
        case 'V':
        case 'N':
            return atom(false);
        case 'X':
            m_info.grapheme = true;
            return atom(true);
        case 'p':
        case 'P':
            if (at(m_i) == '{' ? !skipPast('}') : m_i++ >= m_p.size())
                return giveUp();
            return atom(true);
        case 's':
        case 'S':
        case 'D':
        case 'W':
        case 'H':
        case 'v':
        case 'R':
        case 'C':
            return atom(true);
        case 'b':
        case 'B':
            m_info.wordBoundary = true;
            return atom(false);
        case 'A':
        case 'z':
        case 'Z':
        case 'G':
            m_info.textAnchor = true;
            return atom(false);
        case 'K':
            m_info.resetsMatchStart = true;
            return atom(false);
        case 'g':
            // \g<n> and \g'n' call a group; \g{n}, \gn and \g-n refer back.
            if (at(m_i) == '<' || at(m_i) == '\'') {
                m_info.call = true;
                if (!skipPast(at(m_i) == '<' ? '>' : '\''))
                    return giveUp();
            } else if (at(m_i) == '{') {
                if (!skipPast('}'))
                    return giveUp();
            } else {
                if (at(m_i) == '-' || at(m_i) == '+')
                    ++m_i;
                while (isDigit(at(m_i)))
                    ++m_i;
            }
            // What a group matches again was read with the group.
            return atom(false);
        case 'k': {
            const char open = at(m_i);
            if (open != '<' && open != '\'' && open != '{')
                return giveUp();
            if (!skipPast(open == '<' ? '>' : open == '{' ? '}' : '\''))
                return giveUp();
            return atom(false);
        }
        default:
            if (isDigit(e)) {
                // A back-reference or an octal character (PCRE2 knows which):
                // either may be a line break.
                while (isDigit(at(m_i)))
                    ++m_i;
                return atom(true);
            }
            return giveUp();
        }
    }

    // One member of a class after a backslash: a character (true, value)
    // or a type (false, and whether it may match a line break).
    bool classEscape(uint32_t &value, bool &mayBreak)
    {
        if (m_i >= m_p.size())
            return giveUp(), false;
        const char e = m_p[m_i];
        if (byte(e) >= 0x80 || !std::isalnum(byte(e))) {
            value = nextChar();
            return true;
        }
        ++m_i;
        if (characterEscape(e, value))
            return true;
        if (e == 'b') {
            value = 8;
            return true;
        }
        if (e >= '1' && e <= '7') {
            --m_i;
            value = 0;
            for (int k = 0; k < 3 && at(m_i) >= '0' && at(m_i) <= '7'; ++k)
                value = value * 8 + uint32_t(m_p[m_i++] - '0');
            return true;
        }
        if (e == 'p' || e == 'P') {
            if (at(m_i) == '{' ? !skipPast('}') : m_i++ >= m_p.size())
                giveUp();
            mayBreak = true;
            return false;
        }
        if (std::strchr("dwhV", e))
            return false;
        if (std::strchr("sSDWHv", e)) {
            mayBreak = true;
            return false;
        }
        giveUp();
        return false;
    }

    void charClass()
    {
        // PCRE2's forms of \b(?=\w) and \b(?<=\w).
        if (startsWith("[[:<:]]") || startsWith("[[:>:]]")) {
            m_info.wordBoundary = true;
            m_info.lookAhead = m_info.lookAhead || m_p[m_i + 3] == '<';
            m_i += 7;
            return atom(false);
        }
        ++m_i;
        const bool spaces = m_options & PCRE2_EXTENDED_MORE;
        const auto skipSpaces = [&] {
            while (spaces && (at(m_i) == ' ' || at(m_i) == '\t'))
                ++m_i;
        };
        skipSpaces();
        bool mayBreak = false;
        if (at(m_i) == '^') {
            mayBreak = true;
            ++m_i;
            skipSpaces();
        }
        const auto isBreak = [](uint32_t c) { return c == '\n' || c == '\r'; };
        // One member: a character (true) or something else.
        const auto member = [&](uint32_t &value) {
            if (at(m_i) == '\\') {
                ++m_i;
                if (at(m_i) == 'Q') {
                    ++m_i;
                    while (m_i < m_p.size() && !startsWith("\\E"))
                        mayBreak = isBreak(nextChar()) || mayBreak;
                    // A quoted character may start a range: whatever it is.
                    mayBreak = mayBreak || (startsWith("\\E-") && at(m_i + 3) != ']');
                    m_i += startsWith("\\E") ? 2 : 0;
                    return false;
                }
                if (at(m_i) == 'E') {
                    ++m_i;
                    return false;
                }
                return classEscape(value, mayBreak);
            }
            if (at(m_i) == '[' && std::strchr(":.=", at(m_i + 1)) && at(m_i + 1) != '\0') {
                const char terminator = at(m_i + 1);
                for (size_t j = m_i + 2; j < m_p.size(); ++j) {
                    if (m_p[j] == '\\' && (at(j + 1) == ']' || at(j + 1) == '\\')) {
                        ++j;
                    } else if ((m_p[j] == '[' && at(j + 1) == terminator) || m_p[j] == ']') {
                        break;
                    } else if (m_p[j] == terminator && at(j + 1) == ']') {
                        std::string_view name = m_p.substr(m_i + 2, j - m_i - 2);
                        if (terminator != ':')
                            return giveUp(), false;
                        mayBreak =
                            mayBreak || name.starts_with('^') ||
                            !inList(name, {"alpha", "alnum", "blank", "digit", "graph", "lower",
                                           "print", "punct", "upper", "word", "xdigit"});
                        m_i = j + 2;
                        return false;
                    }
                }
            }
            value = nextChar();
            return true;
        };
        bool first = !(m_options & PCRE2_ALLOW_EMPTY_CLASS);
        for (;;) {
            skipSpaces();
            if (m_i >= m_p.size())
                return giveUp();
            if (at(m_i) == ']' && !first)
                break;
            first = false;
            uint32_t low = 0;
            if (!member(low))
                continue;
            mayBreak = mayBreak || isBreak(low);
            skipSpaces();
            if (at(m_i) == '-' && at(m_i + 1) != ']' && m_i + 1 < m_p.size()) {
                ++m_i;
                skipSpaces();
                uint32_t high = 0;
                if (!member(high))
                    return giveUp();
                mayBreak = mayBreak || (low <= '\r' && high >= '\n');
            }
            if (m_info.unsure)
                return;
        }
        ++m_i;
        atom(mayBreak);
    }

    void open(uint32_t options)
    {
        m_saved.push_back(m_options);
        m_options = options;
        atom(false);
    }

    // A group, an assertion, a call, a verb or an option setting.
    void group()
    {
        if (startsWith("(*"))
            return verbOrAssertion();
        if (!startsWith("(?")) {
            ++m_i;
            return open(m_options);
        }
        const char d = at(m_i + 2);
        const char e = at(m_i + 3);
        if (std::strchr(":|>=!*", d) && d != '\0') {
            m_i += 3;
            m_info.atomic = m_info.atomic || d == '>';
            m_info.lookAhead = m_info.lookAhead || d == '=' || d == '!' || d == '*';
            m_info.negativeLookAround = m_info.negativeLookAround || d == '!';
            m_info.nonAtomicAssertion = m_info.nonAtomicAssertion || d == '*';
            return open(m_options);
        }
        if (d == '<' && (e == '=' || e == '!' || e == '*')) {
            m_i += 4;
            m_info.negativeLookAround = m_info.negativeLookAround || e == '!';
            m_info.nonAtomicAssertion = m_info.nonAtomicAssertion || e == '*';
            return open(m_options);
        }
        if ((d == '<' && isNameChar(e)) || d == '\'' || (d == 'P' && e == '<')) {
            m_i += d == 'P' ? 4 : 3;
            if (!skipPast(d == '\'' ? '\'' : '>'))
                return giveUp();
            return open(m_options);
        }
        if (d == 'P' && (e == '=' || e == '>')) {
            // (?P=name) refers back, (?P>name) calls.
            m_info.call = m_info.call || e == '>';
            m_i += 4;
            return skipPast(')') ? atom(false) : giveUp();
        }
        if (d == 'R' || d == '&' || isDigit(d) || ((d == '+' || d == '-') && isDigit(e))) {
            m_info.call = true;
            m_i += 3;
            return skipPast(')') ? atom(false) : giveUp();
        }
        if (d == '(') {
            m_info.condition = true;
            m_i += 2;
            // An assertion as the condition is read as a group of its own.
            if (e == '?' || e == '*') {
                m_saved.push_back(m_options);
                return atom(false);
            }
            ++m_i;
            if (!skipPast(')'))
                return giveUp();
            return open(m_options);
        }
        if (d == 'C') {
            m_info.callout = true;
            m_i += 3;
            const char delimiter = at(m_i);
            if (delimiter != '\0' && std::strchr("`'\"^%#${", delimiter)) {
                const char close = delimiter == '{' ? '}' : delimiter;
                ++m_i;
                // A doubled delimiter stands for itself.
                while (skipPast(close) && at(m_i) == close)
                    ++m_i;
            }
            return skipPast(')') ? atom(false) : giveUp();
        }
        optionSetting();
    }

    // (?i), (?-m:...), (?^s) and the like.
    void optionSetting()
    {
        m_i += 2;
        uint32_t on = 0, off = 0;
        bool unset = false;
        if (at(m_i) == '^') {
            off =
                PCRE2_CASELESS | PCRE2_MULTILINE | PCRE2_NO_AUTO_CAPTURE | PCRE2_DOTALL | kExtended;
            ++m_i;
        }
        for (;; ++m_i) {
            uint32_t bit = 0;
            switch (at(m_i)) {
            case 'i':
                bit = PCRE2_CASELESS;
                break;
            case 'm':
                bit = PCRE2_MULTILINE;
                break;
            case 'n':
                bit = PCRE2_NO_AUTO_CAPTURE;
                break;
            case 's':
                bit = PCRE2_DOTALL;
                break;
            case 'x':
                bit = unset ? kExtended : PCRE2_EXTENDED;
                if (!unset && at(m_i + 1) == 'x') {
                    bit |= PCRE2_EXTENDED_MORE;
                    ++m_i;
                }
                break;
            case 'J':
                bit = PCRE2_DUPNAMES;
                break;
            case 'U':
                bit = PCRE2_UNGREEDY;
                break;
            case '-':
                if (unset)
                    return giveUp();
                unset = true;
                continue;
            case ')':
            case ':': {
                const uint32_t options = (m_options & ~off) | on;
                if ((m_options & PCRE2_MULTILINE) && !(options & PCRE2_MULTILINE))
                    m_info.multilineOff = true;
                if (m_p[m_i++] == ':')
                    return open(options);
                // For the rest of the enclosing group.
                m_options = options;
                return atom(false);
            }
            default:
                return giveUp();
            }
            (unset ? off : on) |= bit;
            (unset ? on : off) &= ~bit;
        }
    }

    // (*VERB), (*MARK:name), (*:name) and the (*name: ...) assertions.
    void verbOrAssertion()
    {
        size_t j = m_i + 2;
        while (isNameChar(at(j)))
            ++j;
        const std::string_view name = m_p.substr(m_i + 2, j - m_i - 2);
        if (at(j) == ':' && !name.empty() && std::islower(byte(name[0]))) {
            if (inList(name, {"pla", "positive_lookahead"})) {
                m_info.lookAhead = true;
            } else if (inList(name, {"nla", "negative_lookahead"})) {
                m_info.lookAhead = m_info.negativeLookAround = true;
            } else if (inList(name, {"nlb", "negative_lookbehind"})) {
                m_info.negativeLookAround = true;
            } else if (inList(name, {"napla", "non_atomic_positive_lookahead"})) {
                m_info.lookAhead = m_info.nonAtomicAssertion = true;
            } else if (inList(name, {"naplb", "non_atomic_positive_lookbehind"})) {
                m_info.nonAtomicAssertion = true;
            } else if (inList(name, {"atomic"})) {
                m_info.atomic = true;
            } else if (inList(name, {"sr", "script_run"})) {
                m_info.scriptRun = true;
            } else if (inList(name, {"asr", "atomic_script_run"})) {
                m_info.scriptRun = m_info.atomic = true;
            } else if (!inList(name, {"plb", "positive_lookbehind"})) {
                return giveUp();
            }
            m_i = j + 1;
            return open(m_options);
        }
        if (!inList(name, {"ACCEPT", "FAIL", "F", "COMMIT", "PRUNE", "SKIP", "THEN", "MARK", ""}))
            return giveUp();
        m_info.verb = true;
        m_i = j;
        return skipPast(')') ? atom(false) : giveUp();
    }

    std::string_view m_p;
    size_t m_i = 0;
    uint32_t m_options;
    std::vector<uint32_t> m_saved; // the options outside each open group
    PatternInfo &m_info;
    // The literal run at the top and the longest one so far.
    std::string m_run, m_best;
    bool m_runFolds = false, m_bestFolds = false;
    size_t m_lastAtom = 0; // bytes the last item added to m_run
    bool m_topAlternation = false;
};

} // namespace

PatternInfo::PatternInfo(std::string_view pattern, uint32_t options, uint32_t newlineType)
{
    pcre2_compile_context *context = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(context, newlineType);
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code *code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                     options, &error, &offset, context);
    pcre2_compile_context_free(context);
    compiled = code != nullptr;
    if (compiled) {
        uint32_t value = 0;
        pcre2_pattern_info(code, PCRE2_INFO_MAXLOOKBEHIND, &maxLookbehind);
        pcre2_pattern_info(code, PCRE2_INFO_BACKREFMAX, &value);
        backReferences = value > 0;
        pcre2_pattern_info(code, PCRE2_INFO_HASBACKSLASHC, &value);
        backslashC = value != 0;
        pcre2_pattern_info(code, PCRE2_INFO_HASCRORLF, &value);
        explicitCrOrLf = value != 0;
        pcre2_pattern_info(code, PCRE2_INFO_NEWLINE, &newline);
        pcre2_code_free(code);
        SyntaxReader(pattern, options, *this).read();
    }
    if (!compiled || unsure) {
        unsure = true;
        for (bool *flag :
             {&lookAhead, &negativeLookAround, &nonAtomicAssertion, &atomic, &possessive,
              &condition, &call, &verb, &startItem, &scriptRun, &callout, &resetsMatchStart,
              &textAnchor, &dollar, &grapheme, &wordBoundary, &multilineOff, &mayMatchLineBreak})
            *flag = true;
        requiredLiteral.clear();
        literalFolds = false;
    }
}

bool PatternInfo::staysInLine() const
{
    return compiled && !mayMatchLineBreak && !explicitCrOrLf &&
           (newline == PCRE2_NEWLINE_ANYCRLF || newline == PCRE2_NEWLINE_ANY);
}
