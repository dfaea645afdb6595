#include "text/codepagebackend.h"

namespace {

// Apple's Icelandic and Romanian pages are Mac Roman with six letters swapped in.
constexpr ByteOverride macIcelandic[] = {
    {0xA0, 0x00DD}, {0xDC, 0x00D0}, {0xDD, 0x00F0}, {0xDE, 0x00DE}, {0xDF, 0x00FE}, {0xE0, 0x00FD},
};
constexpr ByteOverride macRomanian[] = {
    {0xAE, 0x0102}, {0xAF, 0x0218}, {0xBE, 0x0103}, {0xBF, 0x0219}, {0xDE, 0x021A}, {0xDF, 0x021B},
};

// ICU's tables of the IBM PC pages rotate three control codes (IBM's data
// convention: 0x1A -> U+001C, 0x1C -> U+007F, 0x7F -> U+001A). DOS and
// Windows read them as themselves.
constexpr ByteOverride pcControls[] = {{0x1A, 0x001A}, {0x1C, 0x001C}, {0x7F, 0x007F}};

// Where IBM's table of a DOS page differs from Windows' in a printable byte as well.
constexpr ByteOverride dos437Family[] = {
    {0x1A, 0x001A}, {0x1C, 0x001C}, {0x7F, 0x007F}, {0xE6, 0x00B5}, // micro sign, not Greek mu
};
constexpr ByteOverride dos852[] = {
    {0x1A, 0x001A}, {0x1C, 0x001C}, {0x7F, 0x007F}, {0xAA, 0x00AC}, // not sign
};
constexpr ByteOverride dos1125[] = {
    {0x1A, 0x001A}, {0x1C, 0x001C}, {0x7F, 0x007F}, {0xFA, 0x00B7}, {0xFB, 0x221A}, // dot, root
};

// The same rotation in the single-byte part of IBM's multi-byte tables, undone
// on the decoded text: no double-byte character decodes to these.
constexpr CharSubstitution pcControlChars[] = {
    {0x001C, 0x001A}, {0x007F, 0x001C}, {0x001A, 0x007F}};
// ICU's ISO-2022-KR reads ASCII through IBM's Korean table, where 0x5C is the won sign.
constexpr CharSubstitution iso2022KrAscii[] = {
    {0x001C, 0x001A}, {0x007F, 0x001C}, {0x001A, 0x007F}, {0x20A9, 0x005C}};

// KS X 1001:1998 added the euro and registered signs, which ICU's EUC-KR lacks.
constexpr DoubleByteAddition ksX1001Additions[] = {{0xA2, 0xE6, 0x20AC}, {0xA2, 0xE7, 0x00AE}};

// IBM 924 is IBM 1047 carrying the Latin-9 repertoire: the eight characters
// that ISO-8859-15 replaces in ISO-8859-1 are replaced in place.
constexpr CharSubstitution latin9[] = {
    {0x00A4, 0x20AC}, {0x00A6, 0x0160}, {0x00A8, 0x0161}, {0x00B4, 0x017D},
    {0x00B8, 0x017E}, {0x00BC, 0x0152}, {0x00BD, 0x0153}, {0x00BE, 0x0178},
};

// IBM 833 is the single-byte half of the mixed page IBM 933; there SO and SI
// switch to double bytes, here they are plain control characters.
constexpr ByteOverride ebcdic833[] = {{0x0E, 0x000E}, {0x0F, 0x000F}};

struct Row
{
    qint32 codepage;
    CodepageBackend backend;
};

constexpr CodepageBackend utf8()
{
    return {CodepageBackendKind::Utf8, "UTF-8", false, {}, {}, {}};
}

constexpr CodepageBackend icu(const char *name)
{
    return {CodepageBackendKind::Icu, name, false, {}, {}, {}};
}

// An ICU multi-byte page whose decoded text needs a few corrections.
constexpr CodepageBackend icuFixed(const char *name,
                                   std::span<const CharSubstitution> substitutions,
                                   std::span<const DoubleByteAddition> additions = {})
{
    return {CodepageBackendKind::Icu, name, false, {}, substitutions, additions};
}

// A table derived from an ICU page with a few differences.
constexpr CodepageBackend icuTable(const char *name, std::span<const ByteOverride> overrides,
                                   std::span<const CharSubstitution> substitutions = {})
{
    return {CodepageBackendKind::Icu, name, true, overrides, substitutions, {}};
}

// A DOS (OEM) page.
constexpr CodepageBackend dos(const char *name,
                              std::span<const ByteOverride> overrides = pcControls)
{
    return icuTable(name, overrides);
}

constexpr CodepageBackend iconv(const char *name)
{
    return {CodepageBackendKind::Iconv, name, false, {}, {}, {}};
}

constexpr CodepageBackend iconvTable(const char *name)
{
    return {CodepageBackendKind::Iconv, name, true, {}, {}, {}};
}

// clang-format off
constexpr Row Rows[] = {
    {0,     utf8()},
    {65001, utf8()},
    {1,     dos("ibm-437", dos437Family)},
    {2,     icu("macintosh")},
    {65000, icu("UTF-7")},

    // Windows ANSI pages
    {874,  icu("windows-874")},
    {1250, icu("windows-1250")},
    {1251, icu("windows-1251")},
    {1252, icu("windows-1252")},
    {1253, icu("windows-1253")},
    {1254, icu("windows-1254")},
    {1255, icu("windows-1255")},
    {1256, icu("windows-1256")},
    {1257, icu("windows-1257")},
    {1258, icu("windows-1258")},

    // DOS (OEM) pages
    {437,  dos("ibm-437", dos437Family)},
    {720,  dos("ibm-720")},
    {737,  dos("ibm-737")},
    {775,  dos("ibm-775")},
    {852,  dos("ibm-852", dos852)},
    {855,  dos("ibm-855")},
    {857,  dos("ibm-857")},
    {858,  dos("ibm-858")},
    {860,  dos("ibm-860", dos437Family)},
    {861,  dos("ibm-861", dos437Family)},
    {862,  dos("ibm-862", dos437Family)},
    {863,  dos("ibm-863", dos437Family)},
    {864,  dos("ibm-864")},
    {865,  dos("ibm-865", dos437Family)},
    {866,  dos("ibm-866")},
    {869,  dos("ibm-869")},
    {1125, dos("ibm-1125", dos1125)},

    // ISO 8859 and other national pages
    {28591, icu("ISO-8859-1")},
    {28592, icu("ISO-8859-2")},
    {28593, icu("ISO-8859-3")},
    {28594, icu("ISO-8859-4")},
    {28595, icu("ISO-8859-5")},
    {28596, icu("ISO-8859-6")},
    {708,   icu("ISO-8859-6")}, // ASMO 708 is ISO-8859-6
    {28597, icu("ISO-8859-7")},
    {28598, icu("ISO-8859-8")},
    {38598, icu("ISO-8859-8")}, // logical and visual order share the byte mapping
    {28599, icu("ISO-8859-9")},
    {28603, icu("ISO-8859-13")},
    {28605, icu("ISO-8859-15")},
    {20127, icu("US-ASCII")},
    {20105, icu("US-ASCII")}, // IA5 IRV (1991 edition) is ASCII
    {20866, icu("KOI8-R")},
    {21866, icu("KOI8-U")},
    {20106, iconvTable("DIN_66003")},
    {20107, iconvTable("SEN_850200_B")},
    {20108, iconvTable("NS_4551-1")},
    {709,   iconvTable("ASMO_449")},
    {20269, iconv("ISO_6937")},    // accents are prefix bytes
    {20261, iconv("T.61-8BIT")},

    // Mac pages
    {10000, icu("macintosh")},
    {10006, icu("x-mac-greek")},
    {10007, icu("x-mac-cyrillic")},
    {10017, icu("x-MacUkraine")},
    {10029, icu("x-mac-centraleurroman")},
    {10081, icu("x-mac-turkish")},
    {10079, icuTable("macintosh", macIcelandic)},
    {10010, icuTable("macintosh", macRomanian)},

    // EBCDIC pages
    {870,   icu("ibm-870")},
    {875,   icu("ibm-875")},
    {1026,  icu("ibm-1026")},
    {1140,  icu("ibm-1140")},
    {1141,  icu("ibm-1141")},
    {1142,  icu("ibm-1142")},
    {1143,  icu("ibm-1143")},
    {1144,  icu("ibm-1144")},
    {1145,  icu("ibm-1145")},
    {1146,  icu("ibm-1146")},
    {1147,  icu("ibm-1147")},
    {1148,  icu("ibm-1148")},
    {1149,  icu("ibm-1149")},
    {20290, icu("ibm-290")},
    {20420, icu("ibm-420")},
    {20424, icu("ibm-424")},
    {20838, icu("ibm-838")},
    {21025, icu("ibm-1025")},
    {20880, iconvTable("IBM880")},
    {20423, iconvTable("IBM423")},
    {20905, iconvTable("IBM905")},
    {20924, icuTable("ibm-1047", {}, latin9)},
    {20833, icuTable("ibm-933", ebcdic833)},

    // ISCII: Assamese is written in the Bengali script
    {57002, icu("ISCII,version=0")},
    {57003, icu("ISCII,version=1")},
    {57004, icu("ISCII,version=5")},
    {57005, icu("ISCII,version=6")},
    {57006, icu("ISCII,version=1")},
    {57007, icu("ISCII,version=4")},
    {57008, icu("ISCII,version=7")},
    {57009, icu("ISCII,version=8")},
    {57010, icu("ISCII,version=3")},
    {57011, icu("ISCII,version=2")},

    // Chinese. The Mac and Taiwan pages without a converter of their own are
    // read with the encoding they extend (GB2312 in EUC form, Big5, CNS 11643
    // in EUC form); Apple's few single-byte extras then show as U+FFFD.
    {936,   icu("windows-936")},
    {54936, icu("gb18030")},
    {51936, icu("EUC-CN")},
    {20936, icu("EUC-CN")},
    {10008, icu("EUC-CN")},
    {52936, icu("HZ")},
    {50227, icu("ISO-2022-CN")},
    {50229, icu("ISO-2022-CN-EXT")},
    {950,   icu("windows-950")},
    {10002, icu("windows-950")},
    {20002, icuFixed("ibm-950", pcControlChars)},     // IBM's Big5 carries the ETEN extensions
    {20000, icu("EUC-TW")},
    {51950, icu("EUC-TW")},

    // Japanese
    {932,   icuFixed("windows-932", pcControlChars)},
    {10001, icuFixed("windows-932", pcControlChars)},
    {51932, icu("EUC-JP")},
    {20932, icu("EUC-JP")},
    {50220, icu("ISO-2022-JP")},
    {50221, icu("x-windows-50221")},
    {50222, icu("ISO_2022,locale=ja,version=3")}, // halfwidth Katakana by SO/SI

    // Korean
    {949,   icu("windows-949")},
    {51949, icuFixed("EUC-KR", {}, ksX1001Additions)},
    {20949, icuFixed("EUC-KR", {}, ksX1001Additions)},
    {10003, icuFixed("EUC-KR", {}, ksX1001Additions)},
    {50225, icuFixed("ISO-2022-KR", iso2022KrAscii)},
    {1361,  iconv("JOHAB")},
};
// clang-format on

} // namespace

CodepageBackend backendForCodepage(qint32 codepage)
{
    for (const Row &row : Rows) {
        if (row.codepage == codepage)
            return row.backend;
    }
    return {};
}
