#include "text/codepagebackend.h"

namespace {

// Apple's Icelandic and Romanian pages are Mac Roman with six letters swapped in.
constexpr ByteOverride MacIcelandic[] = {
    {0xA0, 0x00DD}, {0xDC, 0x00D0}, {0xDD, 0x00F0}, {0xDE, 0x00DE}, {0xDF, 0x00FE}, {0xE0, 0x00FD},
};
constexpr ByteOverride MacRomanian[] = {
    {0xAE, 0x0102}, {0xAF, 0x0218}, {0xBE, 0x0103}, {0xBF, 0x0219}, {0xDE, 0x021A}, {0xDF, 0x021B},
};

// ICU's tables of the IBM PC pages rotate three control codes (IBM's data
// convention: 0x1A -> U+001C, 0x1C -> U+007F, 0x7F -> U+001A). DOS and
// Windows read them as themselves.
constexpr ByteOverride PcControls[] = {{0x1A, 0x001A}, {0x1C, 0x001C}, {0x7F, 0x007F}};

// Where IBM's table of a DOS page differs from Windows' in a printable byte as well.
constexpr ByteOverride Dos437Family[] = {
    {0x1A, 0x001A}, {0x1C, 0x001C}, {0x7F, 0x007F}, {0xE6, 0x00B5}, // micro sign, not Greek mu
};
constexpr ByteOverride Dos852[] = {
    {0x1A, 0x001A}, {0x1C, 0x001C}, {0x7F, 0x007F}, {0xAA, 0x00AC}, // not sign
};
constexpr ByteOverride Dos1125[] = {
    {0x1A, 0x001A}, {0x1C, 0x001C}, {0x7F, 0x007F}, {0xFA, 0x00B7}, {0xFB, 0x221A}, // dot, root
};

// The same rotation in the single-byte part of IBM's multi-byte tables, undone
// on the decoded text: no double-byte character decodes to these.
constexpr CharSubstitution PcControlChars[] = {
    {0x001C, 0x001A}, {0x007F, 0x001C}, {0x001A, 0x007F}};
// ICU's ISO-2022-KR reads ASCII through IBM's Korean table, where 0x5C is the won sign.
constexpr CharSubstitution Iso2022KrAscii[] = {
    {0x001C, 0x001A}, {0x007F, 0x001C}, {0x001A, 0x007F}, {0x20A9, 0x005C}};

// KS X 1001:1998 added the euro and registered signs, which ICU's EUC-KR lacks.
constexpr DoubleByteAddition KsX1001Additions[] = {{0xA2, 0xE6, 0x20AC}, {0xA2, 0xE7, 0x00AE}};

// IBM 924 is IBM 1047 carrying the Latin-9 repertoire: the eight characters
// that ISO-8859-15 replaces in ISO-8859-1 are replaced in place.
constexpr CharSubstitution Latin9[] = {
    {0x00A4, 0x20AC}, {0x00A6, 0x0160}, {0x00A8, 0x0161}, {0x00B4, 0x017D},
    {0x00B8, 0x017E}, {0x00BC, 0x0152}, {0x00BD, 0x0153}, {0x00BE, 0x0178},
};

// IBM 833 is the single-byte half of the mixed page IBM 933; there SO and SI
// switch to double bytes, here they are plain control characters.
constexpr ByteOverride Ebcdic833[] = {{0x0E, 0x000E}, {0x0F, 0x000F}};

struct Row
{
    qint32 Codepage;
    CodepageBackend Backend;
};

constexpr CodepageBackend Utf8()
{
    return {CodepageBackendKind::Utf8, "UTF-8", false, {}, {}, {}};
}

constexpr CodepageBackend Icu(const char *name)
{
    return {CodepageBackendKind::Icu, name, false, {}, {}, {}};
}

// An ICU multi-byte page whose decoded text needs a few corrections.
constexpr CodepageBackend IcuFixed(const char *name,
                                   std::span<const CharSubstitution> substitutions,
                                   std::span<const DoubleByteAddition> additions = {})
{
    return {CodepageBackendKind::Icu, name, false, {}, substitutions, additions};
}

// A table derived from an ICU page with a few differences.
constexpr CodepageBackend IcuTable(const char *name, std::span<const ByteOverride> overrides,
                                   std::span<const CharSubstitution> substitutions = {})
{
    return {CodepageBackendKind::Icu, name, true, overrides, substitutions, {}};
}

// A DOS (OEM) page.
constexpr CodepageBackend Dos(const char *name,
                              std::span<const ByteOverride> overrides = PcControls)
{
    return IcuTable(name, overrides);
}

constexpr CodepageBackend Iconv(const char *name)
{
    return {CodepageBackendKind::Iconv, name, false, {}, {}, {}};
}

constexpr CodepageBackend IconvTable(const char *name)
{
    return {CodepageBackendKind::Iconv, name, true, {}, {}, {}};
}

// clang-format off
constexpr Row Rows[] = {
    {0,     Utf8()},
    {65001, Utf8()},
    {1,     Dos("ibm-437", Dos437Family)},
    {2,     Icu("macintosh")},
    {65000, Icu("UTF-7")},

    // Windows ANSI pages
    {874,  Icu("windows-874")},
    {1250, Icu("windows-1250")},
    {1251, Icu("windows-1251")},
    {1252, Icu("windows-1252")},
    {1253, Icu("windows-1253")},
    {1254, Icu("windows-1254")},
    {1255, Icu("windows-1255")},
    {1256, Icu("windows-1256")},
    {1257, Icu("windows-1257")},
    {1258, Icu("windows-1258")},

    // DOS (OEM) pages
    {437,  Dos("ibm-437", Dos437Family)},
    {720,  Dos("ibm-720")},
    {737,  Dos("ibm-737")},
    {775,  Dos("ibm-775")},
    {852,  Dos("ibm-852", Dos852)},
    {855,  Dos("ibm-855")},
    {857,  Dos("ibm-857")},
    {858,  Dos("ibm-858")},
    {860,  Dos("ibm-860", Dos437Family)},
    {861,  Dos("ibm-861", Dos437Family)},
    {862,  Dos("ibm-862", Dos437Family)},
    {863,  Dos("ibm-863", Dos437Family)},
    {864,  Dos("ibm-864")},
    {865,  Dos("ibm-865", Dos437Family)},
    {866,  Dos("ibm-866")},
    {869,  Dos("ibm-869")},
    {1125, Dos("ibm-1125", Dos1125)},

    // ISO 8859 and other national pages
    {28591, Icu("ISO-8859-1")},
    {28592, Icu("ISO-8859-2")},
    {28593, Icu("ISO-8859-3")},
    {28594, Icu("ISO-8859-4")},
    {28595, Icu("ISO-8859-5")},
    {28596, Icu("ISO-8859-6")},
    {708,   Icu("ISO-8859-6")}, // ASMO 708 is ISO-8859-6
    {28597, Icu("ISO-8859-7")},
    {28598, Icu("ISO-8859-8")},
    {38598, Icu("ISO-8859-8")}, // logical and visual order share the byte mapping
    {28599, Icu("ISO-8859-9")},
    {28603, Icu("ISO-8859-13")},
    {28605, Icu("ISO-8859-15")},
    {20127, Icu("US-ASCII")},
    {20105, Icu("US-ASCII")}, // IA5 IRV (1991 edition) is ASCII
    {20866, Icu("KOI8-R")},
    {21866, Icu("KOI8-U")},
    {20106, IconvTable("DIN_66003")},
    {20107, IconvTable("SEN_850200_B")},
    {20108, IconvTable("NS_4551-1")},
    {709,   IconvTable("ASMO_449")},
    {20269, Iconv("ISO_6937")},    // accents are prefix bytes
    {20261, Iconv("T.61-8BIT")},

    // Mac pages
    {10000, Icu("macintosh")},
    {10006, Icu("x-mac-greek")},
    {10007, Icu("x-mac-cyrillic")},
    {10017, Icu("x-MacUkraine")},
    {10029, Icu("x-mac-centraleurroman")},
    {10081, Icu("x-mac-turkish")},
    {10079, IcuTable("macintosh", MacIcelandic)},
    {10010, IcuTable("macintosh", MacRomanian)},

    // EBCDIC pages
    {870,   Icu("ibm-870")},
    {875,   Icu("ibm-875")},
    {1026,  Icu("ibm-1026")},
    {1140,  Icu("ibm-1140")},
    {1141,  Icu("ibm-1141")},
    {1142,  Icu("ibm-1142")},
    {1143,  Icu("ibm-1143")},
    {1144,  Icu("ibm-1144")},
    {1145,  Icu("ibm-1145")},
    {1146,  Icu("ibm-1146")},
    {1147,  Icu("ibm-1147")},
    {1148,  Icu("ibm-1148")},
    {1149,  Icu("ibm-1149")},
    {20290, Icu("ibm-290")},
    {20420, Icu("ibm-420")},
    {20424, Icu("ibm-424")},
    {20838, Icu("ibm-838")},
    {21025, Icu("ibm-1025")},
    {20880, IconvTable("IBM880")},
    {20423, IconvTable("IBM423")},
    {20905, IconvTable("IBM905")},
    {20924, IcuTable("ibm-1047", {}, Latin9)},
    {20833, IcuTable("ibm-933", Ebcdic833)},

    // ISCII: Assamese is written in the Bengali script
    {57002, Icu("ISCII,version=0")},
    {57003, Icu("ISCII,version=1")},
    {57004, Icu("ISCII,version=5")},
    {57005, Icu("ISCII,version=6")},
    {57006, Icu("ISCII,version=1")},
    {57007, Icu("ISCII,version=4")},
    {57008, Icu("ISCII,version=7")},
    {57009, Icu("ISCII,version=8")},
    {57010, Icu("ISCII,version=3")},
    {57011, Icu("ISCII,version=2")},

    // Chinese. The Mac and Taiwan pages without a converter of their own are
    // read with the encoding they extend (GB2312 in EUC form, Big5, CNS 11643
    // in EUC form); Apple's few single-byte extras then show as U+FFFD.
    {936,   Icu("windows-936")},
    {54936, Icu("gb18030")},
    {51936, Icu("EUC-CN")},
    {20936, Icu("EUC-CN")},
    {10008, Icu("EUC-CN")},
    {52936, Icu("HZ")},
    {50227, Icu("ISO-2022-CN")},
    {50229, Icu("ISO-2022-CN-EXT")},
    {950,   Icu("windows-950")},
    {10002, Icu("windows-950")},
    {20002, IcuFixed("ibm-950", PcControlChars)},     // IBM's Big5 carries the ETEN extensions
    {20000, Icu("EUC-TW")},
    {51950, Icu("EUC-TW")},

    // Japanese
    {932,   IcuFixed("windows-932", PcControlChars)},
    {10001, IcuFixed("windows-932", PcControlChars)},
    {51932, Icu("EUC-JP")},
    {20932, Icu("EUC-JP")},
    {50220, Icu("ISO-2022-JP")},
    {50221, Icu("x-windows-50221")},
    {50222, Icu("ISO_2022,locale=ja,version=3")}, // halfwidth Katakana by SO/SI

    // Korean
    {949,   Icu("windows-949")},
    {51949, IcuFixed("EUC-KR", {}, KsX1001Additions)},
    {20949, IcuFixed("EUC-KR", {}, KsX1001Additions)},
    {10003, IcuFixed("EUC-KR", {}, KsX1001Additions)},
    {50225, IcuFixed("ISO-2022-KR", Iso2022KrAscii)},
    {1361,  Iconv("JOHAB")},
};
// clang-format on

} // namespace

CodepageBackend BackendForCodepage(qint32 codepage)
{
    for (const Row &row : Rows) {
        if (row.Codepage == codepage)
            return row.Backend;
    }
    return {};
}
