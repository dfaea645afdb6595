#pragma once

#include <QtGlobal>

// The fixed list of 8-bit code pages the viewer can show, with their menu titles.
// The index into the list is what the application stores per recent file, so
// the order is part of the stored data and never changes.

// -2: UTF-16 big-endian, -1: UTF-16 little-endian, 0..131: index into CodepageList.
using TQzEncoding = qint32;

inline constexpr TQzEncoding EncodingUtf16BE = -2;
inline constexpr TQzEncoding EncodingUtf16LE = -1;
inline constexpr TQzEncoding EncodingAnsi = 0;
inline constexpr TQzEncoding EncodingOem = 1;
inline constexpr TQzEncoding EncodingMac = 2;
inline constexpr TQzEncoding EncodingUtf8 = 130;
inline constexpr TQzEncoding EncodingUtf7 = 131;

struct TQzCodepageRec
{
    const char *Group; // submenu of the encoding menu; "" for the first three entries
    const char *Title; // UTF-8; "&&" is the menu escape for one ampersand
    qint32 Codepage;   // Windows code page number; 0, 1, 2: the system's ANSI, OEM, Mac page
};

inline constexpr int CodepageCount = 132;
extern const TQzCodepageRec CodepageList[CodepageCount];

// Mac Roman bytes 0x80..0xFF to Windows-1252 bytes; bytes below 0x80 are unchanged.
extern const unsigned char MacToAnsiTable[128];
