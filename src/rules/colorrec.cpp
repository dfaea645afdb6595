#include "rules/colorrec.h"

void ApplyDefaultRules(TColorRec &rec)
{
    struct Default
    {
        const char *Text;
        qint32 ColorF;
        qint32 ColorB;
    };
    static const Default defaults[] = {
        {"Error", 0xFFFFFF, 0x0000FF},
        {"Warning", 0x000000, 0x00FFFF},
        {"Info", 0x000000, 0xF0CAA6},
    };
    for (int n = 1; n <= 3; ++n) {
        TColorRecItem &item = rec.Rule(n);
        if (!item.Text.isEmpty())
            continue;
        const Default &d = defaults[n - 1];
        item.Text = d.Text;
        item.ColorF = d.ColorF;
        item.ColorB = d.ColorB;
    }
}

TColorRec DefaultColorRec()
{
    TColorRec rec;
    ApplyDefaultRules(rec);
    return rec;
}
