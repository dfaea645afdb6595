#pragma once

#include "text/codepagelist.h"
#include "text/codepages.h"

// The list entry of a Windows code page number; 0 (ANSI) when none has it.
inline Encoding codepageEntry(int codepage)
{
    for (const Encoding e : listedCodePages())
        if (codepageID(e) == codepage)
            return e;
    return encodingAnsi;
}
