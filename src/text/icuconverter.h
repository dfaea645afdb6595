#pragma once

#include "text/textconverter.h"

struct UConverter;

// An ICU converter (ucnv_*) whose substitution is always U+FFFD: ICU's own
// default writes U+001A for a single bad byte of a single-byte page.
class IcuConverter final : public TextConverter
{
public:
    explicit IcuConverter(const char *name);
    ~IcuConverter() override;

    bool IsOpen() const override { return m_converter != nullptr; }
    bool IsSingleByte() const override;
    QString Decode(const char *data, qsizetype size) override;
    QString DecodeWithOffsets(const char *data, qsizetype size, std::vector<int> &offsets) override;

private:
    QString Convert(const char *data, qsizetype size);
    QString ConvertWithOffsets(const char *data, qsizetype size, std::vector<int> &offsets);
    QString ConvertIsciiEndingInHalant(const char *data, qsizetype size, std::vector<int> *offsets);
    bool NeedsHalantRelease(const char *data, qsizetype size) const;

    UConverter *m_converter = nullptr;
    bool m_iscii = false;
};
