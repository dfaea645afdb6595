#pragma once

#include <QtGlobal>

// The fixed list of 8-bit code pages the viewer can show, with their menu titles.
// The index into the list is what the application stores per recent file, so
// the order is part of the stored data and never changes.

// -2: UTF-16 big-endian, -1: UTF-16 little-endian, 0..131: index into CodepageList.
using EncodingCode = qint32;

inline constexpr EncodingCode encodingUtf16BE = -2;
inline constexpr EncodingCode encodingUtf16LE = -1;
inline constexpr EncodingCode encodingAnsi = 0;
inline constexpr EncodingCode encodingOem = 1;
inline constexpr EncodingCode encodingMac = 2;
inline constexpr EncodingCode encodingUtf8 = 130;
inline constexpr EncodingCode encodingUtf7 = 131;

struct CodepageInfo
{
    const char *group; // submenu of the encoding menu; "" for the first three entries
    const char *title; // UTF-8; "&&" is the menu escape for one ampersand
    qint32 codepage;   // Windows code page number; 0, 1, 2: the system's ANSI, OEM, Mac page
};

inline constexpr int codepageCount = 132;
extern const CodepageInfo codepageList[codepageCount];

// Mac Roman bytes 0x80..0xFF to Windows-1252 bytes; bytes below 0x80 are unchanged.
extern const unsigned char macToAnsiTable[128];
