#pragma once

#include <QString>

#include <memory>

class TextConverter;
struct CodepageBackend;

// A single-byte page as a 256-entry lookup table: decoding is one load per
// byte, with no converter call on the drawing path. Immutable once built.
class ByteTable final
{
public:
    // Decodes each byte alone through the converter, then applies the
    // backend's substitutions and overrides. Null when some byte decodes to
    // more than one UTF-16 unit (the page then needs its converter).
    static std::unique_ptr<ByteTable> build(TextConverter &converter,
                                            const CodepageBackend &backend);

    QString decode(const char *data, qsizetype size) const;
    char16_t at(unsigned char byte) const { return m_map[byte]; }

private:
    ByteTable() = default;

    char16_t m_map[256] = {};
};
