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

    bool IsOpen() const override { return m_handle != InvalidHandle(); }
    bool IsSingleByte() const override { return m_singleByte && IsOpen(); }
    QString Decode(const char *data, qsizetype size) override;
    QString DecodeWithOffsets(const char *data, qsizetype size, std::vector<int> &offsets) override;

private:
    static iconv_t InvalidHandle() { return reinterpret_cast<iconv_t>(-1); }

    iconv_t m_handle = InvalidHandle();
    bool m_singleByte = false;
};
