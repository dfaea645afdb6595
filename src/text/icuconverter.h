#pragma once

#include "text/codepagebackend.h"
#include "text/textconverter.h"

#include <span>

struct UConverter;

// An ICU converter (ucnv_*) whose substitution is always U+FFFD: ICU's own
// default writes U+001A for a single bad byte of a single-byte page. The
// additions decode two-byte sequences that ICU's table leaves unassigned.
class IcuConverter final : public TextConverter
{
public:
    explicit IcuConverter(const char *name, std::span<const DoubleByteAddition> additions = {});
    ~IcuConverter() override;

    bool IsOpen() const override { return m_converter != nullptr; }
    bool IsSingleByte() const override;
    QString Decode(const char *data, qsizetype size) override;
    QString DecodeWithOffsets(const char *data, qsizetype size, std::vector<int> &offsets) override;

private:
    QString Convert(const char *data, qsizetype size, std::vector<int> *offsets);
    QString ConvertIsciiEndingInHalant(const char *data, qsizetype size, std::vector<int> *offsets);
    bool NeedsHalantRelease(const char *data, qsizetype size) const;

    UConverter *m_converter = nullptr;
    std::span<const DoubleByteAddition> m_additions;
    bool m_iscii = false;
};
