#include "text/codepages.h"
#include "text/contract.h"
#include "common/encodingarg.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// QString::fromUtf16 would drop a leading byte-order mark.
QString U(const char16_t *s)
{
    return QStringView(s).toString();
}

struct OffsetCase
{
    const char *name;
    EncodingArg encoding;
    std::string bytes;
    const char16_t *text;
    std::vector<int> offsets;
};

// clang-format off
const OffsetCase cases[] = {
    {"table page is one byte per unit", 45, "\xC0\xC1 x", u"\u0410\u0411 x", {0, 1, 2, 3}},
    {"iconv table page", 11, "a\x5B\x7E", u"a\u00C4\u00DF", {0, 1, 2}},
    {"UTF-8 ASCII fast path", 130, "ab", u"ab", {0, 1}},
    {"UTF-8 one to four bytes and a stray byte", 130,
     "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xFFz",
     u"a\u00E9\u20AC\U0001F600\uFFFDz", {0, 1, 3, 6, 6, 10, 11}},
    {"UTF-8 cut sequences", 130, "\xE2\x82x\xC3", u"\uFFFDx\uFFFD", {0, 2, 3}},
    {"ANSI keeps the byte-order mark at its bytes", 0, "\xEF\xBB\xBF" "a", u"\uFEFFa", {0, 3}},
    {"Shift-JIS with ASCII and halfwidth Katakana", 112, "a\x82\xA0\xB1" "b\x82\xA0",
     u"a\u3042\uFF71b\u3042", {0, 1, 3, 4, 5}},
    {"Shift-JIS lead byte at the end", 112, "a\x82", u"a\uFFFD", {0, 1}},
    {"Shift-JIS bad trail keeps the byte after it", 112, "\x82 b", u"\uFFFD b", {0, 1, 2}},
    {"GB18030 two and four bytes, supplementary plane", 96,
     "x\x81\x30\x81\x30\x90\x30\x81\x30\xB0\xA1y",
     u"x\u0080\U00010000\u554Ay", {0, 1, 5, 5, 9, 11}},
    {"EUC-KR euro and registered sign", 121, "a\xA2\xE6\xA2\xE7" "b", u"a\u20AC\u00AEb",
     {0, 1, 3, 5}},
    {"ISO-2022-KR controls and backslash", 123, "\x1B$)C\x1A\\", u"\u001A\\", {4, 5}},
    {"EUC-KR", 121, "\xB0\xA1" "a\xB0\xA1\xB0", u"\uAC00a\uAC00\uFFFD", {0, 2, 3, 5}},
    {"ISO-2022-JP characters after an escape", 115, "a\x1B$B$\"$\"\x1B(Bb",
     u"a\u3042\u3042b", {0, 4, 6, 11}},
    {"ISO-2022-KR after designation and shift out", 123, "\x1B$)C\x0E\x30\x21\x0F" "a",
     u"\uAC00a", {5, 8}},
    {"HZ", 99, "a~{0!~}b", u"a\u554Ab", {0, 3, 7}},
    {"UTF-7 base64 run", 131, "a+AKM-b", u"a\u00A3b", {0, 2, 6}},
    {"UTF-7 surrogate pair shares its first byte", 131, "+2D3eAA-", u"\U0001F600", {1, 1}},
    {"Johab through iconv", 124, "\x88\x61" "a\x88", u"\uAC00a\uFFFD", {0, 2, 3}},
    {"ISO 6937 accent prefix", 26, "a\xC2\x65\xC2", u"a\u00E9\uFFFD", {0, 1, 3}},
    {"ISO 6937 accent on an accent", 26, "\xC2\xC2\x41z", u"\uFFFD\u00C1z", {0, 1, 3}},
    {"ISCII letter with nukta starts at the letter", 71, "a\xB3\xE9", u"a\u0958", {0, 1}},
    {"ISCII bad ATR pair", 71, "\xEF\xE8", u"\uFFFD", {0}},
    {"ISCII Gurmukhi consonant held for the halant", 80, "\xC8\xE8\xCF",
     u"\u0A2A\u0A4D\u0A30", {0, 1, 2}},
    {"ISCII Gurmukhi doubled consonant", 80, "a\xC8\xE8\xC8", u"a\u0A71\u0A2A", {0, 1, 3}},
    {"ISCII Gurmukhi halant at the end", 80, "\xC8\xE8", u"\u0A2A\u0A4D", {0, 1}},
    {"page without converter", 7, "abc", u"?", {0}},
    {"outside the list", codepageCount, "abc", u"?", {0}},
    {"text that decodes to nothing", 115, "\x1B(B", u"?", {0}},
};
// clang-format on

TEST(CodepageOffsets, EachUnitMapsToTheFirstByteOfItsSequence)
{
    for (const OffsetCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int> offsets = {42}; // stale content must go
        const QString text =
            codepageToUnicode(c.bytes.data(), qsizetype(c.bytes.size()), c.encoding, &offsets);
        EXPECT_EQ(text, U(c.text));
        EXPECT_EQ(offsets, c.offsets);
        EXPECT_EQ(text, codepageToUnicode(c.bytes.data(), qsizetype(c.bytes.size()), c.encoding));
    }
}

TEST(CodepageOffsets, EmptyTextHasNoOffsets)
{
    for (const EncodingArg e : {0, 7, 45, 112, 124}) {
        SCOPED_TRACE(e);
        std::vector<int> offsets = {1, 2};
        EXPECT_TRUE(codepageToUnicode("x", 0, e, &offsets).isEmpty());
        EXPECT_TRUE(offsets.empty());
        offsets = {1};
        EXPECT_TRUE(codepageToUnicode(nullptr, 4, e, &offsets).isEmpty());
        EXPECT_TRUE(offsets.empty());
    }
}

TEST(CodepageOffsets, NullOffsetsIsThePlainCall)
{
    const char sjis[] = "a\x82\xA0";
    EXPECT_EQ(codepageToUnicode(sjis, 3, Encoding::codePage(112), nullptr), U(u"a\u3042"));
}

TEST(CodepageOffsets, NegativeEncodingIsAContractError)
{
    std::vector<int> offsets;
    for (const Encoding e : {encodingUtf16LE, encodingUtf16BE}) {
        SCOPED_TRACE(e);
        EXPECT_THROW(codepageToUnicode("ab", 2, e, &offsets), ContractError);
        EXPECT_THROW(codepageToUnicode("ab", 0, e, &offsets), ContractError);
    }
}

// Gurmukhi ISCII gives three units for a nukta letter pair, so the output
// outgrows the first buffer; the units past it must keep their offsets.
TEST(CodepageOffsets, OutputLongerThanTheInputKeepsExactOffsets)
{
    const QByteArray bytes = QByteArray("\xC0\xE9").repeated(1024);
    std::vector<int> offsets;
    const QString text =
        codepageToUnicode(bytes.constData(), bytes.size(), Encoding::codePage(80), &offsets);
    ASSERT_EQ(text.size(), 3 * 1024);
    EXPECT_EQ(text, codepageToUnicode(bytes, Encoding::codePage(80)));
    ASSERT_EQ(offsets.size(), size_t(text.size()));
    for (size_t i = 0; i < offsets.size(); ++i)
        ASSERT_EQ(offsets[i], int(i / 3 * 2)) << i;
}

// Both paths give the same text however far the output outgrows the input.
TEST(CodepageOffsets, PlainAndOffsetPathsAgreeWhenTheOutputOutgrowsItsBuffer)
{
    const QByteArray cases[] = {
        QByteArray("\xC0\xE9").repeated(14) + QByteArray("\xC0\xE8\xEC\x69\xC0\xE9\xC0"),
        QByteArray("\xC0\xE9").repeated(4) + QByteArray("\xC0\xE8"),
        QByteArray("\xC0\xE9").repeated(300) + QByteArray("\xB3\xE8\xB3\xE8\xC8"),
    };
    for (const QByteArray &bytes : cases) {
        SCOPED_TRACE(bytes.toHex(' ').constData());
        std::vector<int> offsets;
        const QString withOffsets =
            codepageToUnicode(bytes.constData(), bytes.size(), Encoding::codePage(80), &offsets);
        EXPECT_EQ(codepageToUnicode(bytes, Encoding::codePage(80)), withOffsets);
        EXPECT_EQ(offsets.size(), size_t(withOffsets.size()));
    }
}

// Bytes that make every kind of page work: ASCII, high bytes, and the shift,
// escape and base64 bytes of the stateful pages.
std::string randomText(std::mt19937 &rng)
{
    static const char switches[] = "\x1B\x0E\x0F~{}+-$()BJ@A";
    std::string text(1 + rng() % 48, ' ');
    for (char &c : text) {
        const unsigned kind = rng() % 8;
        if (kind < 3)
            c = char(0x20 + rng() % 0x5F);
        else if (kind < 4)
            c = switches[rng() % (sizeof(switches) - 1)];
        else
            c = char(0x80 + rng() % 0x80);
    }
    return text;
}

TEST(CodepageOffsets, EveryPageGivesTheSameTextAndOrderedOffsetsInRange)
{
    std::mt19937 rng(20240611);
    for (const Encoding e : listedCodePages()) {
        if (!isCodepageSupported(e))
            continue;
        SCOPED_TRACE(testing::Message() << e << " " << codepageList[e.codePageIndex()].title);
        for (int round = 0; round < 200; ++round) {
            const std::string bytes = randomText(rng);
            const auto size = qsizetype(bytes.size());
            std::vector<int> offsets;
            const QString text = codepageToUnicode(bytes.data(), size, e, &offsets);
            const QByteArray hex = QByteArray(bytes.data(), size).toHex(' ');
            ASSERT_EQ(text, codepageToUnicode(bytes.data(), size, e)) << hex.constData();
            ASSERT_EQ(offsets.size(), size_t(text.size())) << hex.constData();
            for (size_t i = 0; i < offsets.size(); ++i) {
                ASSERT_GE(offsets[i], i == 0 ? 0 : offsets[i - 1]) << hex.constData() << " @" << i;
                ASSERT_LT(offsets[i], size) << hex.constData() << " @" << i;
                if (i > 0 && text.at(qsizetype(i)).isLowSurrogate() &&
                    text.at(qsizetype(i - 1)).isHighSurrogate()) {
                    ASSERT_EQ(offsets[i], offsets[i - 1]) << hex.constData() << " @" << i;
                }
            }
        }
    }
}

// Texts built mostly from pieces that make a page give more units than bytes
// (ISCII Gurmukhi nukta letters, consonants held back for a halant) or that
// switch the state of a stateful page, with single bytes of every kind between.
std::string pieceText(std::mt19937 &rng)
{
    static const char *const indicSamples[] = {"\xC0\xE9", "\xC0\xE9", "\xB3\xE9", "\xC0\xE8",
                                               "\xE8",     "\xEC",     "\xC0"};
    static const char *const switches[] = {"\x1B$B", "\x1B(B", "\x1B$)C\x0E", "\x0F",
                                           "~{",     "~}",     "+AKM-",       "+2D3eAA"};
    const bool indic = rng() % 2 == 0;
    std::string text;
    const size_t length = 16 + rng() % 150;
    while (text.size() < length) {
        const unsigned kind = rng() % 8;
        if (kind == 0)
            text += char(0x20 + rng() % 0x5F);
        else if (kind == 1)
            text += char(0x80 + rng() % 0x80);
        else if (indic)
            text += indicSamples[rng() % std::size(indicSamples)];
        else
            text += switches[rng() % std::size(switches)];
    }
    return text;
}

// Every prefix of a text, so that the end of the first output buffer falls on
// every place of the text in turn.
TEST(CodepageOffsets, EveryPageGivesTheSameTextWithAndWithoutOffsetsWhereverTheBufferEnds)
{
    std::mt19937 rng(7151);
    for (const Encoding e : listedCodePages()) {
        if (!isCodepageSupported(e))
            continue;
        SCOPED_TRACE(testing::Message() << e << " " << codepageList[e.codePageIndex()].title);
        for (int round = 0; round < 24; ++round) {
            const std::string text = pieceText(rng);
            for (size_t length = 1; length <= text.size(); ++length) {
                const auto size = qsizetype(length);
                std::vector<int> offsets;
                const QString withOffsets = codepageToUnicode(text.data(), size, e, &offsets);
                ASSERT_EQ(codepageToUnicode(text.data(), size, e), withOffsets)
                    << QByteArray(text.data(), size).toHex(' ').constData();
                ASSERT_EQ(offsets.size(), size_t(withOffsets.size()));
            }
        }
    }
}

// Decoding from where DecodeSyncBefore points reads the rest of the text as
// decoding the whole text does, and reads the character that holds the
// position, on every page where characters take several bytes or depend on
// a state. HZ is left out: only well-formed text, which closes its shifts
// at the end of a line, can be picked up after a line break.
TEST(CodepageSync, DecodingFromTheSyncReadsAsTheWholeText)
{
    std::mt19937 rng(424242);
    static const char *const pieces[] = {"\n",     "\r\n",    " ",      "\x1B$B",  "\x1B(B",
                                         "\x1B(J", "\x1B$)C", "\x0E",   "\x0F",    "\x1B$)A",
                                         "+AKM-",  "+2D3eAA", "\x1B(I", "\xEF\x42"};
    for (const Encoding e : listedCodePages()) {
        if (!isCodepageSupported(e) || isSingleByteCodepage(e) || codepageID(e) == 52936)
            continue;
        SCOPED_TRACE(testing::Message() << e << " " << codepageList[e.codePageIndex()].title);
        int synced = 0;
        for (int round = 0; round < 60; ++round) {
            std::string text;
            const size_t length = 8 + rng() % 80;
            while (text.size() < length) {
                const unsigned kind = rng() % 6;
                if (kind == 0)
                    text += pieces[rng() % std::size(pieces)];
                else if (kind < 3)
                    text += char(0x21 + rng() % 0x5E);
                else
                    text += char(0x80 + rng() % 0x80);
            }
            const auto size = qsizetype(text.size());
            std::vector<int> offsets;
            const QString whole = codepageToUnicode(text.data(), size, e, &offsets);
            const QByteArray hex = QByteArray(text.data(), size).toHex(' ');
            for (qsizetype pos = 0; pos < size; ++pos) {
                const qsizetype sync = decodeSyncBefore(text.data(), size, pos, e);
                if (sync < 0)
                    continue;
                ++synced;
                ASSERT_LE(sync, pos) << hex.constData();
                std::vector<int> tailOffsets;
                const QString tail =
                    codepageToUnicode(text.data() + sync, size - sync, e, &tailOffsets);
                // The whole text's units from the sync on.
                qsizetype first = 0;
                while (first < whole.size() && offsets[size_t(first)] < sync)
                    ++first;
                ASSERT_EQ(tail, whole.mid(first)) << hex.constData() << " from " << sync;
                for (size_t i = 0; i < tailOffsets.size(); ++i)
                    ASSERT_EQ(sync + tailOffsets[i], offsets[size_t(first) + i]) << hex.constData();
                // The character that holds pos is read: one starts from the
                // sync to pos.
                if (!offsets.empty() && offsets[0] <= pos) {
                    ASSERT_TRUE(first < whole.size() && offsets[size_t(first)] <= pos)
                        << hex.constData() << " pos " << pos << " from " << sync;
                }
            }
        }
        EXPECT_GT(synced, 0);
    }
}

// Where no sign of a character start or state shows, there is no answer.
TEST(CodepageSync, PlacesWithoutASignAreNotGuessed)
{
    struct Case
    {
        const char *name;
        int codepage;
        std::string bytes;
        qsizetype pos;
        qsizetype sync;
    } cases[] = {
        {"Shift-JIS run of lead bytes", 932, "\x83\x83\x83\x83\x83", 3, -1},
        {"Shift-JIS after a space", 932, "\x83 \x83\x83\x83", 3, 2},
        {"UTF-8 continuation bytes at the start", 65001, "\x80\x80x", 1, -1},
        {"UTF-8 lead byte", 65001, "\xC3\xA9\xC3\xA9", 3, 2},
        {"ISO-2022-JP kanji without a line break or escape", 50220, "0!0!0!", 3, -1},
        {"ISO-2022-JP after a line break", 50220, "\x1B$B0!\n0!", 6, 6},
        {"ISO-2022-JP Roman outlives a line break", 50220, "\x1B(J\\\n\\", 5, 0},
        {"ISO-2022-KR shift out", 50225, "\x1B$)C\x0E\x30\x21\x30\x21", 7, 4},
        {"single-byte page", 1251, "\xC0\xC1", 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Encoding encoding;
        for (const Encoding e : listedCodePages()) {
            if (codepageID(e) == c.codepage) {
                encoding = e;
                break;
            }
        }
        EXPECT_EQ(decodeSyncBefore(c.bytes.data(), qsizetype(c.bytes.size()), c.pos, encoding),
                  c.sync);
    }
    EXPECT_EQ(decodeSyncBefore("abcd", 4, 3, encodingUtf16LE), 2);
    EXPECT_THROW(decodeSyncBefore("ab", 2, 2, Encoding::codePage(130)), ContractError);
}

} // namespace
