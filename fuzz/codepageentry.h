#pragma once

#include "text/codepagelist.h"
#include "text/codepages.h"

// The list entry of a Windows code page number; 0 (ANSI) when none has it.
inline TQzEncoding CodepageEntry(int codepage)
{
    for (TQzEncoding e = 0; e < CodepageCount; ++e)
        if (CodepageID(e) == codepage)
            return e;
    return 0;
}
