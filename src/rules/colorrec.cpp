#include "rules/colorrec.h"

void applyDefaultRules(ColorRules &rec)
{
    struct Default
    {
        const char *text;
        qint32 colorF;
        qint32 colorB;
    };
    static const Default defaults[] = {
        {"Error", 0xFFFFFF, 0x0000FF},
        {"Warning", 0x000000, 0x00FFFF},
        {"Info", 0x000000, 0xF0CAA6},
    };
    for (int n = 1; n <= 3; ++n) {
        ColorRule &item = rec.rule(n);
        if (!item.text.isEmpty())
            continue;
        const Default &d = defaults[n - 1];
        item.text = d.text;
        item.colorF = d.colorF;
        item.colorB = d.colorB;
    }
}

ColorRules defaultColorRec()
{
    ColorRules rec;
    applyDefaultRules(rec);
    return rec;
}
