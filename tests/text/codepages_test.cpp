#include "text/blockdecoder.h"
#include "text/codepages.h"

#include "common/encodingarg.h"
#include "text/contract.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace {

// QString::fromUtf16 would drop a leading byte-order mark.
QString U(const char16_t *s)
{
    return QStringView(s).toString();
}

struct Sample
{
    EncodingArg encoding;
    const char *bytes;
    const char16_t *expected;
};

// One known byte sequence per supported entry, mostly non-ASCII bytes; EBCDIC
// pages add a letter or digit, whose position is where EBCDIC differs from ASCII.
// clang-format off
const Sample samples[] = {
    {0, "\xC3\xA9", u"\u00E9"},                       // ANSI is UTF-8
    {1, "\x82\xB0", u"\u00E9\u2591"},                 // OEM is 437
    {2, "\xA5\x8E", u"\u2022\u00E9"},                 // Mac is Mac Roman
    {3, "\x8A\xB9", u"\u0160\u0105"},
    {4, "\xC1\xF0", u"A0"},
    {5, "\xA1", u"\u0104"},
    {6, "\x81", u"\u0100"},
    {8, "\xAE\xBF\xDE", u"\u0102\u0219\u021A"},       // Mac Romanian
    {9, "\xA5", u"\u0105"},
    {10, "\x80\xE9", u"\u20AC\u00E9"},
    {11, "\x5B\x7E", u"\u00C4\u00DF"},                // DIN 66003
    {12, "\x5B\x5C\x5D", u"\u00C6\u00D8\u00C5"},
    {13, "\x5B\x5C\x5D", u"\u00C4\u00D6\u00C5"},
    {14, "\x24\x7E", u"$~"},                          // IRV 1991 = ASCII
    {15, "\xC1\x5A", u"A\u20AC"},                     // 277 + euro
    {16, "\xC1\x5A", u"A\u20AC"},                     // 278 + euro
    {17, "\xC1\x9F", u"A\u20AC"},
    {18, "\xC1\x9F", u"A\u20AC"},
    {19, "\xC1\x9F", u"A\u20AC"},
    {20, "\xC1\x9F", u"A\u20AC"},
    {21, "\xC1\x9F", u"A\u20AC"},
    {22, "\xC1\x9F", u"A\u20AC"},
    {23, "\xC1\x9F", u"A\u20AC"},
    {24, "\xC1\x9F", u"A\u20AC"},
    {25, "\xC1\x9F\x4A", u"A\u20AC\u00A2"},           // 1047 with the Latin-9 letters
    {26, "\xC2\x65", u"\u00E9"},                      // accent prefix + base letter
    {27, "\xE9", u"\u00E9"},
    {28, "\xA1", u"\u0126"},
    {29, "\xD0", u"\u011E"},
    {30, "\xA4", u"\u20AC"},
    {31, "\xA0\xE0\xDE", u"\u00DD\u00FD\u00DE"},      // Mac Icelandic
    {32, "\xA5", u"\u2022"},
    {33, "\x84", u"\u00C2"},
    {34, "\x8B", u"\u00D0"},
    {35, "\x9B", u"\u00F8"},
    {36, "\xD5", u"\u20AC"},
    {37, "\x84", u"\u00E3"},
    {38, "\xB0", u"\u2591"},
    {39, "\xC2\x65", u"\u00E9"},
    {40, "\x41\x7E", u"A~"},
    {41, "\xC0", u"\u0104"},
    {42, "\xA1", u"\u0104"},
    {43, "\xC0", u"\u0104"},
    {44, "\x80", u"\u0106"},
    {45, "\xC0", u"\u0410"},
    {46, "\xC1\xF1", u"A1"},
    {47, "\xF1", u"1"},
    {48, "\xB0", u"\u0410"},
    {49, "\xC1", u"\u0430"},
    {50, "\xA4", u"\u0454"},
    {51, "\x80", u"\u0410"},
    {52, "\x80\xA2", u"\u0410\u0490"},
    {53, "\x80", u"\u0410"},
    {54, "\x80", u"\u0452"},
    {55, "\xF2", u"\u0490"},
    {56, "\xC1", u"\u0391"},
    {57, "\xF1", u"1"},
    {58, "\xF1", u"1"},
    {59, "\xC1", u"\u0391"},
    {60, "\xA1", u"\u0393"},
    {61, "\x80", u"\u0391"},
    {62, "\xA4", u"\u0391"},
    {63, "\xA1", u"\u0393"},
    {64, "\xD0", u"\u011E"},
    {65, "\xF1", u"1"},
    {66, "\xF1", u"1"},
    {67, "\xA1", u"\u0126"},
    {68, "\xD0", u"\u011E"},
    {69, "\xDA", u"\u011E"},
    {70, "\x98", u"\u0130"},
    {71, "\xA4", u"\u0905"},                          // ISCII letter A per script
    {72, "\xA4", u"\u0985"},
    {73, "\xA4", u"\u0B85"},
    {74, "\xA4", u"\u0C05"},
    {75, "\xA4", u"\u0985"},
    {76, "\xA4", u"\u0B05"},
    {77, "\xA4", u"\u0C85"},
    {78, "\xA4", u"\u0D05"},
    {79, "\xA4", u"\u0A85"},
    {80, "\xA4", u"\u0A05"},
    {81, "\xC7", u"\u0627"},
    {82, "\xC7", u"\u0627"},
    {83, "\x47", u"\u0627"},                          // 7-bit Arabic
    {84, "\xF1", u"1"},
    {85, "\xC7", u"\u0627"},
    {87, "\x80", u"\u00B0"},
    {88, "\x82", u"\u00E9"},
    {89, "\xE0", u"\u05D0"},
    {90, "\x41", u"\u05D0"},
    {91, "\xE0", u"\u05D0"},
    {92, "\xE0", u"\u05D0"},
    {94, "\x80", u"\u05D0"},
    {95, "\xB0\xA1", u"\u554A"},
    {96, "\x81\x30\x81\x30", u"\u0080"},              // four-byte form
    {97, "\x81\x40", u"\u4E02"},                      // GBK beyond GB2312
    {98, "\xB0\xA1", u"\u554A"},
    {99, "~{0!~}", u"\u554A"},
    {100, "\x1B$)A\x0E\x30\x21\x0F", u"\u554A"},
    {101, "\xB0\xA1", u"\u554A"},
    {102, "\xA4\x40", u"\u4E00"},
    {103, "\xC4\xA1", u"\u4E00"},
    {104, "\xC6\xA1", u"\u2460"},                     // ETEN extension
    {105, "\xC4\xA1", u"\u4E00"},
    {107, "\x1B$)G\x0E\x44\x21\x0F", u"\u4E00"},
    {108, "\xA4\x40", u"\u4E00"},
    {112, "\x82\xA0\x82\x9F", u"\u3042\u3041"},
    {113, "\xA4\xA2", u"\u3042"},
    {114, "\x81\xF1", u"\uFF71" "1"},
    {115, "\x1B$B$\"\x1B(B", u"\u3042"},
    {116, "\x1B(I1\x1B(B", u"\uFF71"},
    {117, "\x0E\x31\x0F", u"\uFF71"},                 // Katakana by SO/SI
    {118, "\xA4\xA2", u"\u3042"},
    {119, "\x82\xA0", u"\u3042"},
    {120, "\xB0\xA1\x81\x41", u"\uAC00\uAC02"},       // UHC beyond EUC-KR
    {121, "\xB0\xA1", u"\uAC00"},
    {122, "\xC1\xF1", u"A1"},
    {123, "\x1B$)C\x0E\x30\x21\x0F", u"\uAC00"},
    {124, "\x88\x61", u"\uAC00"},
    {125, "\xB0\xA1", u"\uAC00"},
    {126, "\xB0\xA1", u"\uAC00"},
    {127, "\xA1", u"\u0E01"},
    {128, "\x42\xF1", u"\u0E01" "1"},
    {129, "\xC3", u"\u0102"},
    {130, "\xE2\x82\xAC", u"\u20AC"},
    {131, "+AKM-", u"\u00A3"},
};
// clang-format on

TEST(Codepages, EverySupportedEntryDecodesItsKnownSample)
{
    std::set<Encoding> sampled;
    for (const Sample &s : samples) {
        SCOPED_TRACE(testing::Message()
                     << s.encoding << " " << codepageList[s.encoding.index()].title);
        sampled.insert(s.encoding);
        EXPECT_TRUE(isCodepageSupported(s.encoding));
        EXPECT_EQ(codepageToUnicode(QByteArray(s.bytes), s.encoding), U(s.expected));
    }
    // A page that becomes supported needs a sample of its own.
    for (const Encoding e : listedCodePages()) {
        if (isCodepageSupported(e)) {
            EXPECT_TRUE(sampled.count(e)) << "no sample for supported entry " << e;
        }
    }
}

TEST(Codepages, EntriesWithoutConverterAreUnsupportedAndGiveQuestionMark)
{
    // Mac Croatian, Mac Arabic, Mac Hebrew and four Taiwanese vendor pages:
    // neither ICU nor glibc has them.
    const std::set<int> missing = {7, 86, 93, 106, 109, 110, 111};
    for (const Encoding e : listedCodePages()) {
        SCOPED_TRACE(e);
        EXPECT_EQ(isCodepageSupported(e), missing.count(e.codePageIndex()) == 0);
    }
    EXPECT_EQ(supportedCodepageCount(), codepageCount - int(missing.size()));
    for (const int e : missing)
        EXPECT_EQ(codepageToUnicode(QByteArray("abc"), Encoding::codePage(e)), QStringLiteral("?"));

    EXPECT_FALSE(isCodepageSupported(encodingUtf16LE));
    EXPECT_FALSE(isCodepageSupported(Encoding::codePage(codepageCount)));
    EXPECT_EQ(codepageToUnicode(QByteArray("abc"), Encoding::codePage(codepageCount)),
              QStringLiteral("?"));
}

TEST(Codepages, EmptyTextIsEmptyForEveryEncoding)
{
    for (int i = 0; i <= codepageCount; ++i) {
        const Encoding e = Encoding::codePage(i);
        SCOPED_TRACE(i);
        EXPECT_TRUE(codepageToUnicode(QByteArray(), e).isEmpty());
        EXPECT_TRUE(codepageToUnicode("x", 0, e).isEmpty());
    }
}

TEST(Codepages, NegativeEncodingsAreContractErrors)
{
    const auto expectContract = [](auto call, const char *message) {
        try {
            call();
            ADD_FAILURE() << "no ContractError for: " << message;
        } catch (const ContractError &e) {
            EXPECT_EQ(e.message(), QString::fromLatin1(message));
            EXPECT_EQ(e.unit(), QStringLiteral("QzxCodepages"));
        }
    };
    for (const Encoding e : {encodingUtf16LE, encodingUtf16BE}) {
        SCOPED_TRACE(e);
        expectContract([e] { codepageID(e); }, "Invalid codepage specified: CodepageID");
        expectContract([e] { codepageToUnicode(QByteArray("a"), e); },
                       "Unicode encodings can't be passed to CodepageToUnicode");
        // Even empty text is checked first.
        expectContract([e] { codepageToUnicode(QByteArray(), e); },
                       "Unicode encodings can't be passed to CodepageToUnicode");
    }
    // Past the end of the list there is no entry to read.
    const Encoding past = Encoding::codePage(codepageCount);
    expectContract([past] { codepageID(past); }, "Invalid codepage specified: CodepageID");
    expectContract([] { codepageName(Encoding::codePage(-3)); },
                   "Invalid codepage specified: CodepageName");
    expectContract([past] { codepageName(past); }, "Invalid codepage specified: CodepageName");
}

TEST(Codepages, IdAndName)
{
    struct Case
    {
        EncodingArg encoding;
        const char *name;
    };
    const Case names[] = {
        {encodingUtf16BE, "Unicode (UTF-16 BE)"},
        {encodingUtf16LE, "Unicode (UTF-16 LE)"},
        {0, "System (UTF-8)"},
        {60, "Mac"},
        {63, "Mac"},
        {118, "JIS X 0208-1990 && 0121-1990"},
        {130, "Unicode (UTF-8)"},
    };
    for (const Case &c : names)
        EXPECT_EQ(codepageName(c.encoding), QByteArray(c.name)) << c.encoding;

    // The status bar's names: what the encoding is, not where it came from.
    const Case labels[] = {
        {encodingUtf16BE, "UTF-16 BE"},
        {encodingUtf16LE, "UTF-16 LE"},
        {0, "UTF-8"},
        {1, "DOS (437)"},
        {45, "Windows-1251"},
        {130, "UTF-8"},
        {60, "Mac"},
    };
    for (const Case &c : labels)
        EXPECT_EQ(encodingLabel(c.encoding), QByteArray(c.name)) << c.encoding;
    for (int index = 0; index < codepageCount; ++index) {
        const QByteArray label = encodingLabel(Encoding::codePage(index));
        EXPECT_FALSE(label.isEmpty()) << index;
        if (codepageID(Encoding::codePage(index)) == 932)
            EXPECT_EQ(label, "Shift-JIS");
        if (codepageID(Encoding::codePage(index)) == 28595)
            EXPECT_EQ(label, "ISO-8859-5");
    }

    EXPECT_EQ(codepageID(Encoding::codePage(0)), 0);
    EXPECT_EQ(codepageID(Encoding::codePage(45)), 1251);
    EXPECT_EQ(codepageID(Encoding::codePage(131)), 65000);
}

TEST(Codepages, AnsiDecodesEveryByteWithoutQuestionMark)
{
    for (int b = 0; b < 256; ++b) {
        if (b == '?')
            continue;
        const char c = char(b);
        const QString s = codepageToUnicode(&c, 1, encodingAnsi);
        EXPECT_EQ(s.size(), 1) << b;
        EXPECT_NE(s, QStringLiteral("?")) << b;
    }
}

// A bad sequence costs only itself, never the rest of the line.
TEST(Codepages, BadSequenceBecomesOneReplacementCharacter)
{
    const Sample cases[] = {
        {encodingUtf8,
         "abc\xFF"
         "def",
         u"abc\uFFFDdef"},                           // stray byte
        {encodingAnsi, "ok \xE2\x82", u"ok \uFFFD"}, // cut at the end
        {encodingUtf8, "\xC3\xA9\x80\xC3\xA9", u"\u00E9\uFFFD\u00E9"},
        {40,
         "A\x80"
         "B",
         u"A\uFFFDB"},                           // ASCII table page
        {11, "x\xC4y", u"x\uFFFDy"},             // 7-bit iconv page
        {112, "a\x82 b", u"a\uFFFD b"},          // bad trail keeps the space
        {112, "ab\x82", u"ab\uFFFD"},            // lead byte at the end
        {26, "\xC2\xC2\x41z", u"\uFFFD\u00C1z"}, // accent on an accent
        {26, "ab\xC2", u"ab\uFFFD"},             // accent at the end
        {124, "\x88\x61\x88", u"\uAC00\uFFFD"},
        {131, "+AKM-\x80", u"\u00A3\uFFFD"},
    };
    for (const Sample &c : cases) {
        SCOPED_TRACE(testing::Message() << c.encoding << " " << c.bytes);
        EXPECT_EQ(codepageToUnicode(QByteArray(c.bytes), c.encoding), U(c.expected));
    }
}

// A byte-order mark is a character like any other: dropping it would shift the
// byte offsets of the first line.
TEST(Codepages, Utf8KeepsALeadingByteOrderMark)
{
    for (const Encoding e : {encodingAnsi, encodingUtf8})
        EXPECT_EQ(codepageToUnicode(QByteArray("\xEF\xBB\xBF"
                                               "a"),
                                    e),
                  U(u"\uFEFFa"))
            << e;
}

// Single-byte pages whose converter writes U+001A for an unassigned byte must
// still show U+FFFD.
TEST(Codepages, UnassignedByteOfSingleBytePageIsReplacementCharacter)
{
    EXPECT_EQ(codepageToUnicode(QByteArray("\xA1"), Encoding::codePage(85)),
              U(u"\uFFFD")); // ISO-8859-6 hole
    EXPECT_EQ(codepageToUnicode(QByteArray("\xFF"), Encoding::codePage(92)),
              U(u"\uFFFD")); // ISO-8859-8 hole
}

// ICU's IBM tables rotate 0x1A, 0x1C and 0x7F, also in the single-byte part
// of some multi-byte pages; DOS and Windows text means the controls themselves.
TEST(Codepages, DosAndEastAsianPagesKeepAsciiControls)
{
    for (const int e : {1,  9,  33, 34, 35, 36, 37, 38,  44,  53,  54,
                        55, 61, 62, 70, 87, 88, 94, 104, 112, 119, 123}) {
        SCOPED_TRACE(testing::Message() << e << " " << codepageList[e].title);
        EXPECT_EQ(codepageToUnicode(QByteArray("\x1A\x1C\x7F"), Encoding::codePage(e)),
                  U(u"\u001A\u001C\u007F"));
    }
}

// Bytes whose ICU mapping differs from what Windows (and iconv, Python) give.
TEST(Codepages, BytesTheIbmTablesReadOtherwiseReadAsWindowsReadsThem)
{
    const Sample cases[] = {
        {123, "C:\\dir", u"C:\\dir"},                    // ISO-2022-KR: no won sign
        {123, "\x1B$)C\x0E\x30\x21\x0F\\", u"\uAC00\\"}, // backslash after shift in
        {9, "\xAA", u"\u00AC"},                          // 852: not sign
        {121, "\xA2\xE6\xA2\xE7", u"\u20AC\u00AE"},      // EUC-KR: euro, registered
        {125, "\xA2\xE6\xA2\xE7", u"\u20AC\u00AE"},
        {126, "\xA2\xE6\xA2\xE7", u"\u20AC\u00AE"},
        {121, "\xA2\xE8", u"\uFFFD"}, // the next one stays unassigned
        {1, "\xE6", u"\u00B5"},       // 437 family: micro sign
        {33, "\xE6", u"\u00B5"},
        {34, "\xE6", u"\u00B5"},
        {35, "\xE6", u"\u00B5"},
        {37, "\xE6", u"\u00B5"},
        {38, "\xE6", u"\u00B5"},
        {94, "\xE6", u"\u00B5"},
        {62, "\xE6", u"\u03BC"},           // 869 has a Greek mu there
        {55, "\xFA\xFB", u"\u00B7\u221A"}, // 1125: middle dot, root
    };
    for (const Sample &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.encoding << " " << QByteArray(c.bytes).toHex(' ').constData());
        EXPECT_EQ(codepageToUnicode(QByteArray(c.bytes), c.encoding), U(c.expected));
    }
}

// ICU drops a Gurmukhi consonant that waits for a doubling check when the
// text ends right after its halant.
TEST(Codepages, IsciiGurmukhiKeepsTheConsonantBeforeAFinalHalant)
{
    const Sample cases[] = {
        {80, "\xC8\xE8", u"\u0A2A\u0A4D"},
        {80, "\xB3\xE8\xC8\xE8", u"\u0A15\u0A4D\u0A2A\u0A4D"},
        {80, "\xC8\xE8\xC8", u"\u0A71\u0A2A"},     // doubled consonant: addak
        {71, "\xEF\x4B\xC8\xE8", u"\u0A2A\u0A4D"}, // switched to Gurmukhi by ATR
        {71, "\xC8\xE8", u"\u092A\u094D"},
    };
    for (const Sample &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.encoding << " " << QByteArray(c.bytes).toHex(' ').constData());
        EXPECT_EQ(codepageToUnicode(QByteArray(c.bytes), c.encoding), U(c.expected));
    }
}

TEST(Codepages, TextThatDecodesToNothingIsQuestionMark)
{
    EXPECT_EQ(codepageToUnicode(QByteArray("\x1B(B"), Encoding::codePage(115)),
              QStringLiteral("?"));
    EXPECT_EQ(codepageToUnicode(QByteArray("\x1B$)C"), Encoding::codePage(123)),
              QStringLiteral("?"));
}

// Each call starts from the initial state, whatever the previous text left.
TEST(Codepages, StatefulPagesStartEveryTextAfresh)
{
    ASSERT_EQ(codepageToUnicode(QByteArray("\x1B$B$\""), Encoding::codePage(115)), U(u"\u3042"));
    EXPECT_EQ(codepageToUnicode(QByteArray("$\""), Encoding::codePage(115)), QStringLiteral("$\""));

    ASSERT_EQ(codepageToUnicode(QByteArray("~{0!"), Encoding::codePage(99)), U(u"\u554A"));
    EXPECT_EQ(codepageToUnicode(QByteArray("0!"), Encoding::codePage(99)), QStringLiteral("0!"));

    ASSERT_EQ(codepageToUnicode(QByteArray("+AKM"), Encoding::codePage(131)), U(u"\u00A3"));
    EXPECT_EQ(codepageToUnicode(QByteArray("AKM-"), Encoding::codePage(131)),
              QStringLiteral("AKM-"));
}

TEST(Codepages, PointerOverloadDecodesOnlyTheGivenBytes)
{
    const char line[] = "\xC0\xC1\xC2 \x82\xA0\x82\xA0";
    EXPECT_EQ(codepageToUnicode(line, 2, Encoding::codePage(45)), U(u"\u0410\u0411"));
    // A double-byte character cut by the length is a bad sequence, not read past the end.
    EXPECT_EQ(codepageToUnicode(line + 4, 3, Encoding::codePage(112)), U(u"\u3042\uFFFD"));
}

TEST(Codepages, LongLineGrowsTheOutputBuffer)
{
    // ISCII can give more UTF-16 units than bytes; a 2048-byte line must not be cut.
    const QByteArray devanagari(2048, '\xA4');
    EXPECT_EQ(codepageToUnicode(devanagari, Encoding::codePage(71)), QString(2048, QChar(0x0905)));
    const QByteArray sjis = QByteArray("\x82\xA0").repeated(1024);
    EXPECT_EQ(codepageToUnicode(sjis, Encoding::codePage(112)), QString(1024, QChar(0x3042)));
}

TEST(Codepages, ThreadsDecodeStatefulPagesIndependently)
{
    const QByteArray jis("\x1B$B$\"$\"\x1B(Bab");
    const QString expected = U(u"\u3042\u3042ab");
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                if (codepageToUnicode(jis, Encoding::codePage(115)) != expected)
                    ++wrong[t];
                if (codepageToUnicode(jis.left(5), Encoding::codePage(115)) != U(u"\u3042"))
                    ++wrong[t];
            }
        });
    }
    for (std::thread &th : threads)
        th.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

TEST(Codepages, decodeBlockUtf16)
{
    struct Case
    {
        QByteArray bytes;
        bool swap;
        QString expected;
    };
    const Case cases[] = {
        {QByteArray("\x41\x00\x42", 3), false, QStringLiteral("A")}, // odd last byte dropped
        {QByteArray("\x00\x41", 2), true, QStringLiteral("A")},
        {QByteArray("\x41\x00", 2), true, QString(QChar(0x4100))},
        {QByteArray("\xAC\x20\x3D\xD8\x00\xDE", 6), false, U(u"\u20AC\U0001F600")},
        {QByteArray("\x41", 1), false, QString()},
        {QByteArray(), true, QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bytes.toHex().constData());
        EXPECT_EQ(decodeBlock(c.bytes.constData(), c.bytes.size(), Encoding::utf16(c.swap)),
                  c.expected);
    }
    EXPECT_TRUE(decodeBlock(nullptr, 4, encodingUtf16LE).isEmpty());
}

} // namespace
