#include "text/codepagelist.h"

namespace {
constexpr const char *CE = "Central European";
constexpr const char *WE = "Western European";
constexpr const char *BA = "Baltic";
constexpr const char *CY = "Cyrillic";
constexpr const char *GR = "Greek";
constexpr const char *TU = "Turkey";
constexpr const char *IN = "Indian";
constexpr const char *AR = "Arabic";
constexpr const char *HE = "Hebrew";
constexpr const char *CS = "Chinese Simplified";
constexpr const char *CT = "Chinese Traditional";
constexpr const char *JA = "Japanese";
constexpr const char *KO = "Korean";
constexpr const char *TH = "Thai";
constexpr const char *VI = "Vietnamese";
constexpr const char *UN = "Unicode";
} // namespace

const CodepageInfo codepageList[codepageCount] = {
    {"", "System (UTF-8)", 0}, // 0
    {"", "DOS (437)", 1},
    {"", "Mac", 2},
    {CE, "ANSI (Windows-1250)", 1250}, // 3
    {CE, "IBM EBCDIC (Multilingual Latin-2)", 870},
    {CE, "ISO-8859-2", 28592},
    {CE, "Mac", 10029},
    {CE, "Mac (Croatian)", 10082},
    {CE, "Mac (Romanian)", 10010},
    {CE, "OEM (IBM852)", 852},
    {WE, "ANSI (Windows-1252)", 1252}, // 10
    {WE, "IA5 German (7-bit)", 20106},
    {WE, "IA5 Norwegian (7-bit)", 20108},
    {WE, "IA5 Swedish (7-bit)", 20107},
    {WE, "IA5 IRV International Alphabet No.5", 20105},
    {WE, "IBM EBCDIC (Denmark-Norway)", 1142},
    {WE, "IBM EBCDIC (Finland-Sweden)", 1143},
    {WE, "IBM EBCDIC (France)", 1147},
    {WE, "IBM EBCDIC (Germany)", 1141},
    {WE, "IBM EBCDIC (Icelandic)", 1149},
    {WE, "IBM EBCDIC (International)", 1148}, // 20
    {WE, "IBM EBCDIC (Italy)", 1144},
    {WE, "IBM EBCDIC (Spain)", 1145},
    {WE, "IBM EBCDIC (UK)", 1146},
    {WE, "IBM EBCDIC (US-Canada)", 1140},
    {WE, "IBM EBCDIC (Latin-1/Open System)", 20924},
    {WE, "ISO-6937 (Non-Spacing Accent)", 20269},
    {WE, "ISO-8859-1 (Latin-1)", 28591},
    {WE, "ISO-8859-3 (Latin-3)", 28593},
    {WE, "ISO-8859-9 (Latin-5)", 28599},
    {WE, "ISO-8859-15 (Latin-9)", 28605}, // 30
    {WE, "Mac (Icelandic)", 10079},
    {WE, "Mac (Roman)", 10000},
    {WE, "OEM (French Canadian)", 863},
    {WE, "OEM (Icelandic)", 861},
    {WE, "OEM (Nordic)", 865},
    {WE, "OEM (Multilingual Latin-1)", 858},
    {WE, "OEM (Portuguese)", 860},
    {WE, "OEM (United States)", 437},
    {WE, "T.61", 20261},
    {WE, "US-ASCII (7-bit)", 20127}, // 40
    {BA, "ANSI (Windows-1257)", 1257},
    {BA, "ISO-8859-4", 28594},
    {BA, "ISO-8859-13 (Lithuanian)", 28603},
    {BA, "OEM (IBM775)", 775},
    {CY, "ANSI (Windows-1251)", 1251}, // 45
    {CY, "IBM EBCDIC (Russian)", 20880},
    {CY, "IBM EBCDIC (Serbian-Bulgarian)", 21025},
    {CY, "ISO-8859-5", 28595},
    {CY, "KOI8-R", 20866},
    {CY, "KOI8-U", 21866}, // 50
    {CY, "Mac", 10007},
    {CY, "Mac (Ukrainian)", 10017},
    {CY, "OEM (Russian)", 866},
    {CY, "OEM (primarily Russian)", 855},
    {CY, "RUSCII (IBM-1125)", 1125},
    {GR, "ANSI (Windows-1253)", 1253}, // 56
    {GR, "IBM EBCDIC (IBM423)", 20423},
    {GR, "IBM EBCDIC (Modern)", 875},
    {GR, "ISO-8859-7", 28597},
    {GR, "Mac", 10006}, // 60
    {GR, "OEM (IBM737)", 737},
    {GR, "OEM (Modern)", 869},
    {GR, "Mac", 10006}, // 63: the same entry as 60, kept so stored indices stay valid
    {TU, "ANSI (Windows-1254)", 1254}, // 64
    {TU, "IBM EBCDIC (Latin-5)", 1026},
    {TU, "IBM EBCDIC (IBM905)", 20905},
    {TU, "ISO-8859-3 (Latin-3)", 28593},
    {TU, "ISO-8859-9 (Latin-5)", 28599},
    {TU, "Mac", 10081},
    {TU, "OEM (IBM857)", 857}, // 70
    {IN, "ISCII Devanagari", 57002},
    {IN, "ISCII Bengali", 57003},
    {IN, "ISCII Tamil", 57004},
    {IN, "ISCII Telugu", 57005},
    {IN, "ISCII Assamese", 57006},
    {IN, "ISCII Oriya", 57007},
    {IN, "ISCII Kannada", 57008},
    {IN, "ISCII Malayalam", 57009},
    {IN, "ISCII Gujarati", 57010},
    {IN, "ISCII Punjabi", 57011}, // 80
    {AR, "ANSI (Windows-1256)", 1256},
    {AR, "ASMO 708", 708},
    {AR, "ASMO 449+, BCON V4", 709},
    {AR, "IBM EBCDIC (IBM420)", 20420},
    {AR, "ISO-8859-6", 28596},
    {AR, "Mac", 10004},
    {AR, "OEM (IBM864)", 864},
    {AR, "Transparent ASMO (DOS-720)", 720},
    {HE, "ANSI (Windows-1255)", 1255},  // 89
    {HE, "IBM EBCDIC (IBM424)", 20424}, // 90
    {HE, "ISO-8859-8 (Logical Ordering)", 38598},
    {HE, "ISO-8859-8 (Visual Ordering)", 28598},
    {HE, "Mac", 10005},
    {HE, "OEM (DOS-862)", 862},
    {CS, "EUC", 51936}, // 95
    {CS, "GB18030", 54936},
    {CS, "GB2312", 936},
    {CS, "GB2312-80", 20936},
    {CS, "HZ", 52936},
    {CS, "ISO-2022", 50227}, // 100
    {CS, "Mac", 10008},
    {CT, "Big5", 950}, // 102
    {CT, "CNS (Taiwan)", 20000},
    {CT, "Eten", 20002},
    {CT, "EUC", 51950},
    {CT, "IBM5550 (Taiwan)", 20003},
    {CT, "ISO-2022", 50229},
    {CT, "Mac", 10002},
    {CT, "TCA (Taiwan)", 20001},
    {CT, "TeleText (Taiwan)", 20004}, // 110
    {CT, "Wang (Taiwan)", 20005},
    {JA, "ANSI/OEM (Shift-JIS)", 932}, // 112
    {JA, "EUC", 51932},
    {JA, "IBM EBCDIC (Katakana Extended)", 20290},
    {JA, "ISO-2022 (no halfwidth Katakana)", 50220},
    {JA, "ISO-2022 (halfwidth Katakana)", 50221},
    {JA, "ISO-2022 (JIS X 0201-1989)", 50222},
    {JA, "JIS X 0208-1990 && 0121-1990", 20932},
    {JA, "Mac", 10001},
    {KO, "ANSI/OEM (Unified Hangul Code)", 949}, // 120
    {KO, "EUC", 51949},
    {KO, "IBM EBCDIC (Korean Extended)", 20833},
    {KO, "ISO-2022", 50225},
    {KO, "Johab", 1361},
    {KO, "Mac", 10003},
    {KO, "Wansung", 20949},
    {TH, "ANSI (Windows-874)", 874}, // 127
    {TH, "IBM EBCDIC", 20838},
    {VI, "ANSI (Windows-1258)", 1258}, // 129
    {UN, "Unicode (UTF-8)", 65001},    // 130
    {UN, "Unicode (UTF-7)", 65000},
};

const unsigned char macToAnsiTable[128] = {
    0xC4, 0xC5, 0xC7, 0xC9, 0xD1, 0xD6, 0xDC, 0xE1, 0xE0, 0xE2, 0xE4, 0xE3, 0xE5, 0xE7, 0xE9, 0xE8,
    0xEA, 0xEB, 0xED, 0xEC, 0xEE, 0xEF, 0xF1, 0xF3, 0xF2, 0xF4, 0xF6, 0xF5, 0xFA, 0xF9, 0xFB, 0xFC,
    0xA0, 0xB0, 0xA2, 0xA3, 0xA7, 0xB4, 0xB6, 0xDF, 0xAE, 0xA9, 0x8E, 0x82, 0x8C, 0xAD, 0xC6, 0xD8,
    0x8D, 0xB1, 0xB2, 0xB3, 0xA5, 0xB5, 0xA6, 0xB7, 0xB8, 0xB9, 0xBC, 0xAA, 0xBA, 0xBD, 0xE6, 0xF8,
    0xBF, 0xA1, 0xAC, 0x92, 0x80, 0x81, 0xA8, 0xAB, 0xBB, 0x83, 0xBE, 0xC0, 0xC3, 0xD5, 0x91, 0x93,
    0xD0, 0x84, 0x96, 0x94, 0x95, 0x90, 0xF7, 0xD7, 0xFF, 0xDD, 0x98, 0x97, 0x86, 0x99, 0xDE, 0xA4,
    0x88, 0x87, 0x89, 0x8B, 0x8A, 0xC2, 0xCA, 0xC1, 0xCB, 0xC8, 0xCD, 0xCE, 0xCF, 0xCC, 0xD3, 0xD4,
    0xF0, 0xD2, 0xDA, 0xDB, 0xD9, 0x9B, 0x9A, 0x85, 0x8F, 0x9D, 0x9C, 0x9E, 0x9F, 0xFD, 0xFE, 0xAF,
};
