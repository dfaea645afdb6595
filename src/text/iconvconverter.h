#pragma once

#include "text/textconverter.h"

#include <iconv.h>

// A glibc iconv decoder to UTF-16, used for the pages ICU lacks. iconv stops
// at a bad sequence; this class writes U+FFFD for it and carries on.
class IconvConverter final : public TextConverter
{
public:
    IconvConverter(const char *name, bool singleByte);
    ~IconvConverter() override;

    bool isOpen() const override { return m_handle != invalidHandle(); }
    bool isSingleByte() const override { return m_singleByte && isOpen(); }
    QString decode(const char *data, qsizetype size) override;
    QString decodeWithOffsets(const char *data, qsizetype size, std::vector<int> &offsets) override;

private:
    static iconv_t invalidHandle() { return reinterpret_cast<iconv_t>(-1); }

    iconv_t m_handle = invalidHandle();
    bool m_singleByte = false;
};
