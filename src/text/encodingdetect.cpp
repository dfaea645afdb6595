#include "text/encodingdetect.h"

#include "text/codepagelist.h"
#include "text/codepages.h"

#include <unicode/ucsdet.h>

#include <cstring>
#include <memory>
#include <optional>

namespace {

constexpr qsizetype kLook = 64 * 1024;
constexpr qsizetype kLeast = 64;
// ICU's confidence, out of 100: real single-byte logs score 30 to 60, their
// repetition keeps it down; what follows must trail well behind.
constexpr int kSure = 30;

struct Utf8Count
{
    qsizetype valid = 0;   // multi-byte sequences
    qsizetype invalid = 0; // bytes that start none
};

// The sequences of bytes; a sequence cut by the end of the head counts as neither.
Utf8Count countUtf8(const QByteArray &bytes)
{
    Utf8Count count;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        unsigned char least = 0x80, most = 0xBF;
        if (b >= 0xC2 && b <= 0xDF)
            length = 2;
        else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            least = b == 0xE0 ? 0xA0 : 0x80;
            most = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            least = b == 0xF0 ? 0x90 : 0x80;
            most = b == 0xF4 ? 0x8F : 0xBF;
        }
        if (length == 0) {
            ++count.invalid;
            ++i;
            continue;
        }
        if (i + length > n)
            break; // cut by the end of what was read
        bool ok = p[i + 1] >= least && p[i + 1] <= most;
        for (int k = 2; ok && k < length; ++k)
            ok = p[i + k] >= 0x80 && p[i + k] <= 0xBF;
        if (ok) {
            ++count.valid;
            i += length;
        } else {
            ++count.invalid;
            ++i;
        }
    }
    return count;
}

// Text in UTF-16 has a zero in one byte of most units and rarely in the other.
std::optional<Encoding> utf16ByZeros(const QByteArray &bytes)
{
    qsizetype evenZeros = 0, oddZeros = 0;
    const qsizetype units = bytes.size() / 2;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        evenZeros += bytes[i] == 0;
        oddZeros += bytes[i + 1] == 0;
    }
    if (units == 0)
        return std::nullopt;
    if (oddZeros * 10 >= units * 4 && evenZeros * 20 <= units)
        return encodingUtf16LE;
    if (evenZeros * 10 >= units * 4 && oddZeros * 20 <= units)
        return encodingUtf16BE;
    return std::nullopt;
}

struct DetectorCloser
{
    void operator()(UCharsetDetector *detector) const { ucsdet_close(detector); }
};

} // namespace

std::optional<Encoding> encodingOfCharset(const char *name)
{
    static const struct
    {
        const char *charset;
        qint32 id;
    } known[] = {
        {"Shift_JIS", 932},     {"GB18030", 54936},      {"EUC-JP", 51932},
        {"EUC-KR", 51949},      {"Big5", 950},           {"KOI8-R", 20866},
        {"ISO-2022-JP", 50220}, {"ISO-2022-KR", 50225},  {"ISO-2022-CN", 50227},
        {"windows-1250", 1250}, {"windows-1251", 1251},  {"windows-1252", 1252},
        {"windows-1253", 1253}, {"windows-1254", 1254},  {"windows-1255", 1255},
        {"windows-1256", 1256}, {"ISO-8859-1", 28591},   {"ISO-8859-2", 28592},
        {"ISO-8859-5", 28595},  {"ISO-8859-6", 28596},   {"ISO-8859-7", 28597},
        {"ISO-8859-8", 28598},  {"ISO-8859-8-I", 38598}, {"ISO-8859-9", 28599},
        {"IBM420_rtl", 20420},  {"IBM424_rtl", 20424},   {"UTF-16LE", -1},
        {"UTF-16BE", -2},
    };
    for (const auto &k : known) {
        if (std::strcmp(k.charset, name) != 0)
            continue;
        if (k.id == -1)
            return encodingUtf16LE;
        if (k.id == -2)
            return encodingUtf16BE;
        for (int index = 0; index < codepageCount; ++index)
            if (codepageList[index].codepage == k.id &&
                isCodepageSupported(Encoding::codePage(index)))
                return Encoding::codePage(index);
    }
    return std::nullopt;
}

EncodingGuess guessEncoding(const QByteArray &whole)
{
    EncodingGuess guess;
    const QByteArray head = whole.left(kLook);
    if (head.size() < kLeast)
        return guess;
    if (const std::optional<Encoding> utf16 = utf16ByZeros(head)) {
        guess.kind = EncodingGuess::Kind::Utf16;
        guess.encoding = *utf16;
        return guess;
    }
    const Utf8Count utf8 = countUtf8(head);
    if (utf8.invalid == 0) {
        // ASCII is UTF-8 too: the system's encoding shows it right.
        guess.kind = EncodingGuess::Kind::Utf8;
        guess.encoding = encodingAnsi;
        return guess;
    }
    if (utf8.valid >= utf8.invalid) {
        guess.kind = EncodingGuess::Kind::Utf8Mixed;
        guess.encoding = encodingAnsi;
        return guess;
    }
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UCharsetDetector, DetectorCloser> detector(ucsdet_open(&status));
    if (U_FAILURE(status))
        return guess;
    ucsdet_setText(detector.get(), head.constData(), int32_t(head.size()), &status);
    int32_t found = 0;
    const UCharsetMatch **matches = ucsdet_detectAll(detector.get(), &found, &status);
    if (U_FAILURE(status) || found <= 0)
        return guess;
    for (int32_t i = 0; i < found; ++i) {
        const char *name = ucsdet_getName(matches[i], &status);
        const int32_t confidence = ucsdet_getConfidence(matches[i], &status);
        if (U_FAILURE(status) || !name)
            break;
        const std::optional<Encoding> listed = encodingOfCharset(name);
        if (!listed)
            continue;
        const Encoding encoding = *listed;
        // UTF-16 is told by its zero bytes above; ICU's low guesses of it are noise.
        if (encoding.isUtf16())
            continue;
        const int32_t next = i + 1 < found ? ucsdet_getConfidence(matches[i + 1], &status) : 0;
        if (guess.kind == EncodingGuess::Kind::None && i == 0 && confidence >= kSure &&
            next * 2 <= confidence) {
            guess.kind = EncodingGuess::Kind::Detected;
            guess.encoding = encoding;
        } else if (guess.candidates.size() < 4) {
            guess.candidates.push_back(encoding);
        }
    }
    return guess;
}
