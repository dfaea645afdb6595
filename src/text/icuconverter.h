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

    bool isOpen() const override { return m_converter != nullptr; }
    bool isSingleByte() const override;
    QString decode(const char *data, qsizetype size) override;
    QString decodeWithOffsets(const char *data, qsizetype size, std::vector<int> &offsets) override;

private:
    QString convert(const char *data, qsizetype size, std::vector<int> *offsets);
    QString convertIsciiEndingInHalant(const char *data, qsizetype size, std::vector<int> *offsets);
    bool needsHalantRelease(const char *data, qsizetype size) const;

    UConverter *m_converter = nullptr;
    std::span<const DoubleByteAddition> m_additions;
    bool m_iscii = false;
};
