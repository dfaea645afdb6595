#pragma once

#include "text/codepagelist.h"
#include "text/codepages.h"

// The list entry of a Windows code page number; 0 (ANSI) when none has it.
inline EncodingCode codepageEntry(int codepage)
{
    for (EncodingCode e = 0; e < codepageCount; ++e)
        if (codepageID(e) == codepage)
            return e;
    return 0;
}
