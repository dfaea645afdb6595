#include "text/blockdecoder.h"

#include "common/encodingarg.h"
#include "text/codepagelist.h"
#include "text/codepages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// -1 and -2 are UTF-16 LE and BE, anything else a Windows code page number.
Encoding encodingOf(int codepage)
{
    if (codepage < 0)
        return Encoding::fromStoredCode(codepage);
    for (const Encoding e : listedCodePages())
        if (codepageID(e) == codepage)
            return e;
    ADD_FAILURE() << "no list entry for code page " << codepage;
    return {};
}

struct Case
{
    const char *name;
    int codepage;
    std::string bytes;
    std::u16string text; // empty where only the split matters
    std::vector<int> offsets;
};

const Case kBlocks[] = {
    {"UTF-16 LE pair and odd last byte",
     -1,
     std::string("A\0\x3D\xD8\x00\xDE\x42", 7),
     u"A\U0001F600",
     {0, 2, 4}},
    {"UTF-16 BE lone low half",
     -2,
     std::string("\xDC\x00\x00\x41", 4),
     u"\xDC00"
     u"A",
     {0, 2}},
    {"UTF-16 LE high half cut by the end", -1, std::string("A\0\x3D\xD8", 4), u"A\xD83D", {0, 2}},
    {"UTF-8 one to four bytes",
     65001,
     "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
     u"A\u00E9\u20AC\U0001F600",
     {0, 1, 3, 6, 6}},
    {"UTF-8 bad sequence is one U+FFFD",
     65001,
     "\xE2\x82"
     "A",
     u"\uFFFD"
     u"A",
     {0, 2}},
    {"single-byte page",
     437,
     "\x80\xE1z",
     u"\u00C7\u00DF"
     u"z",
     {0, 1, 2}},
    {"Shift-JIS", 932, "\x82\xA0x\x82\xA2", u"\u3042x\u3044", {0, 2, 3}},
    {"GB 18030 four-byte form",
     54936,
     "a\x81\x30\x81\x30"
     "b",
     u"a\u0080b",
     {0, 1, 5}},
    {"ISO-2022-JP state bytes own no unit", 50220, "\x1B$B0!0!\x1B(Ba\nb", {}, {}},
    {"ISO-2022-KR shift",
     50225,
     "\x1B$)Ca\x0E\x30\x21\x0F"
     "b\n\x0E\x30\x21",
     {},
     {}},
};

// The stream fed in the given pieces decodes as the whole block does.
void expectStreamEqualsBlock(const Case &c, const std::vector<size_t> &cuts)
{
    const Encoding e = encodingOf(c.codepage);
    std::vector<int> wholeOffsets;
    const QString whole = decodeBlock(c.bytes.data(), qsizetype(c.bytes.size()), e, &wholeOffsets);
    StreamDecoder stream(e);
    QString text;
    std::vector<qint64> offsets;
    size_t from = 0;
    for (size_t i = 0; i <= cuts.size(); ++i) {
        const size_t to = i < cuts.size() ? cuts[i] : c.bytes.size();
        text +=
            stream.decode(c.bytes.data() + from, qsizetype(to - from), i == cuts.size(), &offsets);
        from = to;
    }
    EXPECT_EQ(text, whole);
    EXPECT_EQ(offsets, std::vector<qint64>(wholeOffsets.begin(), wholeOffsets.end()));
}

TEST(BlockDecoder, BlocksGiveTextAndOffsets)
{
    for (const Case &c : kBlocks) {
        if (c.text.empty())
            continue;
        SCOPED_TRACE(c.name);
        std::vector<int> offsets;
        EXPECT_EQ(decodeBlock(c.bytes.data(), qsizetype(c.bytes.size()), encodingOf(c.codepage),
                              &offsets),
                  QString::fromStdU16String(c.text));
        EXPECT_EQ(offsets, c.offsets);
    }
}

TEST(BlockDecoder, StreamCutAnywhereDecodesAsTheWhole)
{
    for (const Case &c : kBlocks) {
        SCOPED_TRACE(c.name);
        for (size_t cut = 0; cut <= c.bytes.size(); ++cut) {
            SCOPED_TRACE(cut);
            expectStreamEqualsBlock(c, {cut});
        }
        std::vector<size_t> everyByte;
        for (size_t cut = 1; cut < c.bytes.size(); ++cut)
            everyByte.push_back(cut);
        SCOPED_TRACE("byte by byte");
        expectStreamEqualsBlock(c, everyByte);
    }
}

TEST(BlockDecoder, StreamKeepsWhatDoesNotDecodeYet)
{
    StreamDecoder utf16(encodingUtf16LE, true);
    EXPECT_EQ(utf16.decode("\xFF\xFE"
                           "A\0\x3D",
                           5, false),
              QStringLiteral("A"));
    EXPECT_EQ(utf16.pending(), 1); // half a unit
    EXPECT_EQ(utf16.decode("\xD8", 1, false), QString());
    EXPECT_EQ(utf16.pending(), 2); // half a pair
    EXPECT_EQ(utf16.decode("\x00\xDE"
                           "B",
                           3, true),
              QString::fromStdU16String(u"\U0001F600"));
    EXPECT_EQ(utf16.pending(), 1); // an odd last byte is never text

    // Only the stream's first unit can be a byte-order mark, and only when asked.
    StreamDecoder later(encodingUtf16LE, true);
    EXPECT_EQ(later.decode("A\0\xFF\xFE", 4, true), QString::fromStdU16String(u"A\uFEFF"));
    StreamDecoder kept(encodingUtf16LE);
    EXPECT_EQ(kept.decode("\xFF\xFE", 2, true), QString(QChar(QChar::ByteOrderMark)));

    QByteArray utf8;
    StreamDecoder marked(encodingUtf16BE, true);
    marked.decodeUtf8("\xFE\xFF\xD8\x3D", 4, false, utf8);
    marked.decodeUtf8("\xDE\x00\xD8\x3D\x00"
                      "A",
                      4, true, utf8);
    EXPECT_EQ(utf8, QByteArray("\xF0\x9F\x98\x80?"));
}

TEST(BlockDecoder, Utf8FormMapsEveryByteToItsCharacter)
{
    struct Utf8Case
    {
        const char *name;
        int codepage;
        std::string bytes;
        QByteArray utf8;
        std::vector<qint64> offsets; // and the end
    } cases[] = {
        {"UTF-16 pair, half a pair, odd byte",
         -1,
         std::string("A\0\x3D\xD8\x00\xDE\x00\xD8\x42\0\x43", 11),
         "A\xF0\x9F\x98\x80?B",
         {0, 2, 2, 2, 2, 6, 8, 10}},
        {"UTF-16 BE high half at the end", -2, std::string("\0A\xD8\x3D", 4), "A?", {0, 2, 4}},
        {"code page pair",
         65001,
         "\xF0\x9F\x98\x80"
         "a",
         "\xF0\x9F\x98\x80"
         "a",
         {0, 0, 0, 0, 4, 5}},
        {"single-byte page",
         437,
         "\x80"
         "a",
         "\xC3\x87"
         "a",
         {0, 0, 1, 2}},
        {"nothing", -1, "", "", {0}},
    };
    for (const Utf8Case &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray out("kept");
        std::vector<qint64> offsets;
        decodeBlockUtf8(c.bytes.data(), qsizetype(c.bytes.size()), encodingOf(c.codepage), U'?',
                        out, &offsets);
        EXPECT_EQ(out, "kept" + c.utf8);
        EXPECT_EQ(offsets, c.offsets);
    }
}

TEST(BlockDecoder, CharacterSteps)
{
    const auto bytes = [](const char *s) { return reinterpret_cast<const unsigned char *>(s); };
    struct Step
    {
        const char *name;
        DecodedChar got;
        DecodedChar::Kind result;
        int used;
        char32_t ch;
    } steps[] = {
        {"UTF-8 ASCII", decodeUtf8Char(bytes("A"), 1), DecodedChar::Char, 1, U'A'},
        {"UTF-8 four bytes", decodeUtf8Char(bytes("\xF0\x9F\x98\x80"), 4), DecodedChar::Char, 4,
         U'\U0001F600'},
        {"UTF-8 cut", decodeUtf8Char(bytes("\xE2\x82"), 2), DecodedChar::NeedMore, 0, 0},
        {"UTF-8 overlong", decodeUtf8Char(bytes("\xE0\x80\x80"), 3), DecodedChar::Invalid, 1, 0},
        {"UTF-8 surrogate", decodeUtf8Char(bytes("\xED\xA0\x80"), 3), DecodedChar::Invalid, 1, 0},
        {"UTF-8 past U+10FFFF", decodeUtf8Char(bytes("\xF4\x90\x80\x80"), 4), DecodedChar::Invalid,
         1, 0},
        {"UTF-8 stray continuation", decodeUtf8Char(bytes("\x80"), 1), DecodedChar::Invalid, 1, 0},
        {"UTF-16 BE pair", decodeUtf16Char(bytes("\xD8\x3D\xDE\x00"), 4, true), DecodedChar::Char,
         4, U'\U0001F600'},
        {"UTF-16 LE unit", decodeUtf16Char(bytes("\xAC\x20"), 2, false), DecodedChar::Char, 2,
         U'\u20AC'},
        {"UTF-16 high half waits", decodeUtf16Char(bytes("\x3D\xD8"), 2, false),
         DecodedChar::NeedMore, 0, 0},
        {"UTF-16 high half alone",
         decodeUtf16Char(bytes("\x3D\xD8"
                               "A\0"),
                         4, false),
         DecodedChar::Invalid, 2, 0},
        {"UTF-16 low half alone", decodeUtf16Char(bytes("\x00\xDE"), 2, false),
         DecodedChar::Invalid, 2, 0},
        {"UTF-16 odd byte", decodeUtf16Char(bytes("A"), 1, false), DecodedChar::NeedMore, 0, 0},
        {"no table", decodeTableChar(nullptr, bytes("A"), 1), DecodedChar::Invalid, 1, 0},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(s.got.result, s.result);
        EXPECT_EQ(s.got.used, s.used);
        EXPECT_EQ(s.got.ch, s.ch);
    }
    char16_t table[256];
    for (int b = 0; b < 256; ++b)
        table[b] = char16_t(b == 0x41 ? 0xD800 : 0x400 + b);
    const DecodedChar mapped = decodeTableChar(table, bytes("B"), 1);
    EXPECT_EQ(mapped.result, DecodedChar::Char);
    EXPECT_EQ(mapped.ch, char32_t(0x442));
    EXPECT_EQ(decodeTableChar(table, bytes("A"), 1).result, DecodedChar::Invalid);
}

} // namespace
