#include "text/encodingdetect.h"

#include "text/codepages.h"

#include <unicode/ucnv.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// UTF-8 text in another charset, through ICU.
QByteArray convert(const char *charset, const QByteArray &utf8)
{
    UErrorCode status = U_ZERO_ERROR;
    QByteArray out(utf8.size() * 4 + 16, '\0');
    const int32_t n = ucnv_convert(charset, "UTF-8", out.data(), int32_t(out.size()),
                                   utf8.constData(), int32_t(utf8.size()), &status);
    EXPECT_TRUE(U_SUCCESS(status)) << charset;
    out.resize(n);
    return out;
}

QByteArray repeat(const QByteArray &line, int times)
{
    QByteArray out;
    for (int i = 0; i < times; ++i)
        out += line;
    return out;
}

TEST(EncodingGuess, TheFirstBytesTellTheEncoding)
{
    using Kind = EncodingGuess::Kind;
    const QByteArray russian =
        repeat("2026-12-09 10:30:15 ОШИБКА соединение с базой данных потеряно, повторная попытка "
               "через пять секунд; пользователь вышел из системы\n",
               30);
    const QByteArray japanese =
        repeat("2026-12-09 10:30:15 エラー データベースへの接続が失われました。"
               "五秒後に再試行します。ユーザーがログアウトしました\n",
               30);
    const QByteArray ascii = repeat("2026-12-09 10:30:15 INFO request served in 3 ms\n", 30);
    const struct
    {
        const char *what;
        QByteArray bytes;
        Kind kind;
        QByteArray label; // of the encoding guessed, when one is
    } cases[] = {
        {"too short to tell", "\xcf\xf0\xe8\xe2\xe5\xf2", Kind::None, ""},
        {"ASCII", ascii, Kind::Utf8, "UTF-8"},
        {"UTF-8 Cyrillic", russian, Kind::Utf8, "UTF-8"},
        {"UTF-8 cut inside a character at the end", russian.left(russian.size() - 1), Kind::Utf8,
         "UTF-8"},
        {"half UTF-8, half Windows-1252", russian + repeat("caf\xe9 na\xefve\n", 20),
         Kind::Utf8Mixed, "UTF-8"},
        {"UTF-16 LE without a mark", convert("UTF-16LE", ascii), Kind::Utf16, "UTF-16 LE"},
        {"UTF-16 BE without a mark", convert("UTF-16BE", ascii), Kind::Utf16, "UTF-16 BE"},
        {"Windows-1251", convert("windows-1251", russian), Kind::Detected, "Windows-1251"},
        {"Shift-JIS", convert("Shift_JIS", japanese), Kind::Detected, "Shift-JIS"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const EncodingGuess guess = guessEncoding(c.bytes);
        EXPECT_EQ(guess.kind, c.kind);
        if (c.kind != Kind::None)
            EXPECT_EQ(encodingLabel(guess.encoding), c.label);
    }
}

TEST(EncodingGuess, CharsetNamesMapToListedPages)
{
    EXPECT_EQ(encodingLabel(*encodingOfCharset("windows-1251")), "Windows-1251");
    EXPECT_EQ(encodingLabel(*encodingOfCharset("Shift_JIS")), "Shift-JIS");
    EXPECT_EQ(*encodingOfCharset("UTF-16LE"), encodingUtf16LE);
    EXPECT_FALSE(encodingOfCharset("x-unheard-of").has_value());
}

} // namespace
