#include "search/pagetable.h"

#include "text/codepages.h"

#include <mutex>
#include <vector>

const char16_t *singleByteTable(Encoding encoding)
{
    struct Entry
    {
        std::once_flag once;
        bool single = false;
        char16_t map[256] = {};
    };
    static Entry entries[codepageCount];
    if (!encoding.isListed())
        return nullptr;
    Entry &e = entries[encoding.codePageIndex()];
    std::call_once(e.once, [&] {
        // A stateful page can pass the test below: a shift alone, or before
        // the next byte, may read the same as a control character.
        if (!isSingleByteCodepage(encoding))
            return;
        char all[256];
        for (int b = 0; b < 256; ++b)
            all[b] = char(b);
        // A multi-byte page joins some neighbours, or decodes a byte alone
        // differently from the same byte in a run.
        std::vector<int> offsets;
        const QString text = codepageToUnicode(all, 256, encoding, &offsets);
        if (text.size() != 256)
            return;
        for (int b = 0; b < 256; ++b) {
            const QString one = codepageToUnicode(all + b, 1, encoding);
            if (offsets[size_t(b)] != b || one.size() != 1 || one.at(0) != text.at(b))
                return;
            e.map[b] = text.at(b).unicode();
        }
        e.single = true;
    });
    return e.single ? e.map : nullptr;
}
