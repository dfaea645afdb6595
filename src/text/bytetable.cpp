#include "text/bytetable.h"

#include "text/codepagebackend.h"
#include "text/textconverter.h"

std::unique_ptr<ByteTable> ByteTable::build(TextConverter &converter,
                                            const CodepageBackend &backend)
{
    std::unique_ptr<ByteTable> table(new ByteTable);
    for (int byte = 0; byte < 256; ++byte) {
        const char c = char(byte);
        const QString decoded = converter.decode(&c, 1);
        if (decoded.size() > 1)
            return nullptr;
        // An empty result is a byte that only switches state in the converter.
        table->m_map[byte] = decoded.size() == 1 ? decoded.at(0).unicode() : char16_t(0xFFFD);
    }
    for (char16_t &ch : table->m_map)
        ch = substitute(ch, backend.substitutions);
    for (const ByteOverride &o : backend.overrides)
        table->m_map[o.Byte] = o.character;
    return table;
}

QString ByteTable::decode(const char *data, qsizetype size) const
{
    QString result(size, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(result.data());
    const auto *in = reinterpret_cast<const unsigned char *>(data);
    for (qsizetype i = 0; i < size; ++i)
        out[i] = m_map[in[i]];
    return result;
}
