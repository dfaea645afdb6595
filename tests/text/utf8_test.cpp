#include "text/utf8.h"

#include <gtest/gtest.h>

namespace {

// Each length's first and last code point, where an encoder goes wrong.
TEST(Utf8, EncodesEachLengthUpToItsLastCodePoint)
{
    const struct
    {
        char32_t c;
        QByteArray bytes;
    } cases[] = {
        {0x00, QByteArray("\x00", 1)},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xFFFD, "\xEF\xBF\xBD"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << quint32(c.c));
        QByteArray out("x");
        appendUtf8(out, c.c);
        EXPECT_EQ(out, "x" + c.bytes);
        char raw[4] = {};
        EXPECT_EQ(encodeUtf8(c.c, raw), c.bytes.size());
        EXPECT_EQ(QByteArray(raw, c.bytes.size()), c.bytes);
    }
}

} // namespace
