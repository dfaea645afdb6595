#include "text/icuconverter.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

namespace {

// The context is the converter's span of additions.
void substituteReplacementChar(const void *context, UConverterToUnicodeArgs *args,
                               const char *codeUnits, int32_t length,
                               UConverterCallbackReason reason, UErrorCode *err)
{
    if (reason > UCNV_IRREGULAR)
        return; // reset, close or clone: nothing to substitute
    UChar replacement = 0xFFFD;
    if (reason == UCNV_UNASSIGNED && length == 2) {
        const auto *additions = static_cast<const std::span<const DoubleByteAddition> *>(context);
        for (const DoubleByteAddition &a : *additions) {
            if (quint8(codeUnits[0]) == a.lead && quint8(codeUnits[1]) == a.trail)
                replacement = a.character;
        }
    }
    *err = U_ZERO_ERROR;
    // Offset 0 is relative to the bad sequence: ICU turns it into the
    // sequence's first byte when offsets are asked for.
    ucnv_cbToUWriteUChars(args, &replacement, 1, 0, err);
}

// ISCII bytes from 0xA0 up are Indic letters and signs; below is ASCII.
constexpr unsigned char isciiFirstIndic = 0xA0;
constexpr unsigned char isciiHalant = 0xE8;
constexpr unsigned char isciiNukta = 0xE9;
constexpr unsigned char isciiAttribute = 0xEF;
constexpr unsigned char isciiExtension = 0xF0;
constexpr char16_t gurmukhiAddak = 0x0A71;

// ICU's ISCII offsets miss the first byte of a unit in three places:
// - A Gurmukhi consonant before a halant is held back to look for a doubled
//   consonant; it comes out after the halant with the offset of the byte
//   after the halant. It is the byte before the halant.
// - A doubled Gurmukhi consonant (C halant C) becomes addak + C, both with
//   the offset of the first C. The second C is two bytes on.
// - A letter combined with the nukta after it, and U+FFFD for a bad ATR or
//   EXT pair, get the offset of their second byte.
void repairIsciiOffsets(const unsigned char *data, qsizetype size, const QString &text,
                        std::vector<int> &offsets)
{
    const std::vector<int> raw = offsets;
    const size_t count = raw.size();
    for (size_t i = 0; i < count; ++i) {
        const int r = raw[i];
        if (r < 0 || r > size)
            continue;
        if (i + 1 < count && raw[i + 1] >= 0 && r > raw[i + 1]) {
            offsets[i] = qMax(raw[i + 1] - 1, 0);
        } else if (i > 0 && raw[i - 1] == r && text.at(qsizetype(i - 1)) == gurmukhiAddak) {
            offsets[i] = qMin(r + 2, int(size - 1));
        } else if (r > 0 && (i == 0 || raw[i - 1] != r - 1)) {
            // The byte before has no unit of its own, so this unit began there.
            const bool replacement = text.at(qsizetype(i)) == QChar::ReplacementCharacter;
            const bool combined =
                !replacement && r < size && data[r] == isciiNukta && data[r - 1] >= isciiFirstIndic;
            const bool badPair =
                replacement && (data[r - 1] == isciiAttribute || data[r - 1] == isciiExtension);
            if (combined || badPair)
                offsets[i] = r - 1;
        }
    }
}

} // namespace

IcuConverter::IcuConverter(const char *name, std::span<const DoubleByteAddition> additions)
    : m_additions(additions)
{
    UErrorCode err = U_ZERO_ERROR;
    UConverter *converter = ucnv_open(name, &err);
    if (U_FAILURE(err)) {
        if (converter)
            ucnv_close(converter);
        return;
    }
    ucnv_setToUCallBack(converter, substituteReplacementChar, &m_additions, nullptr, nullptr, &err);
    if (U_FAILURE(err)) {
        ucnv_close(converter);
        return;
    }
    // Decode the bytes that a page maps only one way as well, as Windows does.
    ucnv_setFallback(converter, true);
    m_converter = converter;
    m_iscii = ucnv_getType(converter) == UCNV_ISCII;
}

IcuConverter::~IcuConverter()
{
    if (m_converter)
        ucnv_close(m_converter);
}

bool IcuConverter::isSingleByte() const
{
    if (!m_converter)
        return false;
    switch (ucnv_getType(m_converter)) {
    case UCNV_SBCS:
    case UCNV_LATIN_1:
    case UCNV_US_ASCII:
        return true;
    default:
        return false;
    }
}

// ICU drops a Gurmukhi consonant that is still held back for a halant when
// the text ends (consonant, halant at the end). A blank after the halant lets
// it out; the blank is then taken off again.
bool IcuConverter::needsHalantRelease(const char *data, qsizetype size) const
{
    return m_iscii && size > 0 && static_cast<unsigned char>(data[size - 1]) == isciiHalant;
}

QString IcuConverter::convertIsciiEndingInHalant(const char *data, qsizetype size,
                                                 std::vector<int> *offsets)
{
    QByteArray padded(data, size);
    padded.append(' ');
    QString result = convert(padded.constData(), padded.size(), offsets);
    if (result.endsWith(QLatin1Char(' '))) {
        result.chop(1);
        if (offsets)
            offsets->pop_back();
        return result;
    }
    return convert(data, size, offsets);
}

QString IcuConverter::decode(const char *data, qsizetype size)
{
    if (needsHalantRelease(data, size))
        return convertIsciiEndingInHalant(data, size, nullptr);
    return convert(data, size, nullptr);
}

QString IcuConverter::decodeWithOffsets(const char *data, qsizetype size, std::vector<int> &offsets)
{
    const QString result = needsHalantRelease(data, size)
                               ? convertIsciiEndingInHalant(data, size, &offsets)
                               : convert(data, size, &offsets);
    if (m_iscii)
        repairIsciiOffsets(reinterpret_cast<const unsigned char *>(data), size, result, offsets);
    return result;
}

// Each call decodes the whole text in one go: ICU gives units that overflowed
// one call the offset -1 in the next, and its ISCII converter loses a
// consonant held back for a halant when the output overflows right after it.
// So a text that outgrows the buffer is decoded again from the start.
QString IcuConverter::convert(const char *data, qsizetype size, std::vector<int> *offsets)
{
    if (offsets)
        offsets->clear();
    if (!m_converter)
        return QString();
    // Most pages give at most one UTF-16 unit per byte; ISCII can give more.
    qsizetype capacity = size + 8;
    for (;;) {
        ucnv_reset(m_converter);
        QString result(capacity, Qt::Uninitialized);
        if (offsets)
            offsets->resize(size_t(capacity));
        UChar *const begin = reinterpret_cast<UChar *>(result.data());
        UChar *target = begin;
        const char *source = data;
        UErrorCode err = U_ZERO_ERROR;
        ucnv_toUnicode(m_converter, &target, begin + capacity, &source, data + size,
                       offsets ? offsets->data() : nullptr, true, &err);
        if (err == U_BUFFER_OVERFLOW_ERROR) {
            capacity *= 2;
            continue;
        }
        if (U_FAILURE(err)) {
            if (offsets)
                offsets->clear();
            return QString();
        }
        const qsizetype written = target - begin;
        result.truncate(written);
        if (offsets)
            offsets->resize(size_t(written));
        return result;
    }
}
