#include "text/iconvconverter.h"

#include <cerrno>

namespace {

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr const char *NativeUtf16 = "UTF-16LE";
#else
constexpr const char *NativeUtf16 = "UTF-16BE";
#endif

} // namespace

IconvConverter::IconvConverter(const char *name, bool singleByte) : m_singleByte(singleByte)
{
    m_handle = iconv_open(NativeUtf16, name);
}

IconvConverter::~IconvConverter()
{
    if (IsOpen())
        iconv_close(m_handle);
}

QString IconvConverter::Decode(const char *data, qsizetype size)
{
    if (!IsOpen())
        return QString();
    iconv(m_handle, nullptr, nullptr, nullptr, nullptr); // back to the initial state

    QString result(size + 8, Qt::Uninitialized);
    qsizetype written = 0; // UTF-16 units
    char *in = const_cast<char *>(data);
    size_t inLeft = size_t(size);

    const auto ensureRoom = [&](qsizetype units) {
        if (result.size() - written < units)
            result.resize(qMax(result.size() * 2, written + units));
    };
    const auto putReplacement = [&] {
        ensureRoom(1);
        result[written++] = QChar(0xFFFD);
    };

    while (inLeft > 0) {
        ensureRoom(4);
        char *out = reinterpret_cast<char *>(result.data() + written);
        size_t outLeft = size_t(result.size() - written) * sizeof(char16_t);
        const size_t rc = iconv(m_handle, &in, &inLeft, &out, &outLeft);
        written = (out - reinterpret_cast<char *>(result.data())) / qsizetype(sizeof(char16_t));
        if (rc != size_t(-1))
            break;
        if (errno == E2BIG) {
            result.resize(result.size() * 2);
        } else if (errno == EILSEQ) {
            putReplacement();
            ++in;
            --inLeft;
            iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        } else if (errno == EINVAL) {
            putReplacement(); // the text ends inside a sequence
            break;
        } else {
            return QString();
        }
    }
    result.truncate(written);
    return result;
}
