#pragma once

#include <QString>

#include <vector>

// A decoder from one 8-bit or multi-byte code page to UTF-16. Each call is a
// whole text: any state from the previous call is dropped first. An
// undecodable sequence becomes U+FFFD for that sequence only.
// Not thread-safe; every thread keeps its own instances.
class TextConverter
{
public:
    TextConverter() = default;
    TextConverter(const TextConverter &) = delete;
    TextConverter &operator=(const TextConverter &) = delete;
    virtual ~TextConverter() = default;

    virtual bool isOpen() const = 0;
    // Whether every byte is one character on its own, so a 256-entry table
    // built from single bytes decodes any text exactly.
    virtual bool isSingleByte() const = 0;
    // A null QString when the back end reports a failure it cannot recover from.
    virtual QString decode(const char *data, qsizetype size) = 0;
    // As Decode, and offsets receives per UTF-16 unit the index of the first
    // byte of the sequence it came from (-1 where the back end cannot tell).
    // The text equals Decode's. size is below 2^31.
    virtual QString decodeWithOffsets(const char *data, qsizetype size,
                                      std::vector<int> &offsets) = 0;
};
