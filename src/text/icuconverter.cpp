#include "text/icuconverter.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

namespace {

void SubstituteReplacementChar(const void *, UConverterToUnicodeArgs *args, const char *, int32_t,
                               UConverterCallbackReason reason, UErrorCode *err)
{
    if (reason > UCNV_IRREGULAR)
        return; // reset, close or clone: nothing to substitute
    static const UChar replacement = 0xFFFD;
    *err = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &replacement, 1, 0, err);
}

} // namespace

IcuConverter::IcuConverter(const char *name)
{
    UErrorCode err = U_ZERO_ERROR;
    UConverter *converter = ucnv_open(name, &err);
    if (U_FAILURE(err)) {
        if (converter)
            ucnv_close(converter);
        return;
    }
    ucnv_setToUCallBack(converter, SubstituteReplacementChar, nullptr, nullptr, nullptr, &err);
    if (U_FAILURE(err)) {
        ucnv_close(converter);
        return;
    }
    // Decode the bytes that a page maps only one way as well, as Windows does.
    ucnv_setFallback(converter, true);
    m_converter = converter;
}

IcuConverter::~IcuConverter()
{
    if (m_converter)
        ucnv_close(m_converter);
}

bool IcuConverter::IsSingleByte() const
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

QString IcuConverter::Decode(const char *data, qsizetype size)
{
    if (!m_converter)
        return QString();
    ucnv_reset(m_converter);
    // Most pages give at most one UTF-16 unit per byte; ISCII can give more,
    // and then the buffer grows.
    QString result(size + 8, Qt::Uninitialized);
    const char *source = data;
    const char *const sourceEnd = data + size;
    qsizetype written = 0;
    for (;;) {
        UChar *const begin = reinterpret_cast<UChar *>(result.data());
        UChar *target = begin + written;
        UErrorCode err = U_ZERO_ERROR;
        ucnv_toUnicode(m_converter, &target, begin + result.size(), &source, sourceEnd, nullptr,
                       true, &err);
        written = target - begin;
        if (err == U_BUFFER_OVERFLOW_ERROR) {
            result.resize(result.size() * 2);
            continue;
        }
        if (U_FAILURE(err))
            return QString();
        break;
    }
    result.truncate(written);
    return result;
}
