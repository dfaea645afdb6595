#pragma once

#include "text/encoding.h"

#include <QtGlobal>

#include <array>

// The fixed list of 8-bit code pages the viewer can show, with their menu titles.
// The index into the list is what the application stores per recent file, so
// the order is part of the stored data and never changes.

struct CodepageInfo
{
    const char *group; // submenu of the encoding menu; "" for the first three entries
    const char *title; // UTF-8; "&&" is the menu escape for one ampersand
    qint32 codepage;   // Windows code page number; 0, 1, 2: the system's ANSI, OEM, Mac page
};

extern const CodepageInfo codepageList[codepageCount];

// Every entry of the list, in its order.
constexpr std::array<Encoding, codepageCount> listedCodePages()
{
    std::array<Encoding, codepageCount> all;
    for (int i = 0; i < codepageCount; ++i)
        all[size_t(i)] = Encoding::codePage(i);
    return all;
}

// Mac Roman bytes 0x80..0xFF to Windows-1252 bytes; bytes below 0x80 are unchanged.
extern const unsigned char macToAnsiTable[128];
