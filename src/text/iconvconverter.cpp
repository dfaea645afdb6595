#include "text/iconvconverter.h"

#include <cerrno>

namespace {

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr const char *nativeUtf16 = "UTF-16LE";
#else
constexpr const char *nativeUtf16 = "UTF-16BE";
#endif

} // namespace

IconvConverter::IconvConverter(const char *name, bool singleByte) : m_singleByte(singleByte)
{
    m_handle = iconv_open(nativeUtf16, name);
}

IconvConverter::~IconvConverter()
{
    if (isOpen())
        iconv_close(m_handle);
}

QString IconvConverter::decode(const char *data, qsizetype size)
{
    if (!isOpen())
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

// iconv reports no positions, so the text is fed one sequence at a time: the
// input grows by a byte while iconv calls it incomplete. A shift sequence is
// then consumed on its own, and the character after it keeps its own offset.
QString IconvConverter::decodeWithOffsets(const char *data, qsizetype size,
                                          std::vector<int> &offsets)
{
    offsets.clear();
    if (!isOpen())
        return QString();
    iconv(m_handle, nullptr, nullptr, nullptr, nullptr);

    QString result(size + 8, Qt::Uninitialized);
    qsizetype written = 0;
    offsets.reserve(size_t(size));

    const auto put = [&](char16_t unit, qsizetype at) {
        if (written == result.size())
            result.resize(result.size() * 2);
        result[written++] = QChar(unit);
        offsets.push_back(int(at));
    };

    qsizetype pos = 0;    // first byte of the sequence being read
    qsizetype length = 1; // bytes of it handed to iconv
    while (pos < size) {
        if (result.size() - written < 4)
            result.resize(result.size() * 2);
        char *in = const_cast<char *>(data + pos);
        size_t inLeft = size_t(length);
        char *out = reinterpret_cast<char *>(result.data() + written);
        size_t outLeft = size_t(result.size() - written) * sizeof(char16_t);
        const size_t rc = iconv(m_handle, &in, &inLeft, &out, &outLeft);
        const int error = errno;
        const qsizetype produced =
            (out - reinterpret_cast<char *>(result.data())) / qsizetype(sizeof(char16_t)) - written;
        offsets.insert(offsets.end(), size_t(produced), int(pos));
        written += produced;
        const qsizetype consumed = in - (data + pos);
        pos += consumed;
        if (consumed > 0)
            length = 1;
        if (rc != size_t(-1))
            continue;
        if (error == E2BIG) {
            result.resize(result.size() * 2);
        } else if (error == EILSEQ) {
            put(0xFFFD, pos);
            ++pos;
            length = 1;
            iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        } else if (error == EINVAL) {
            if (consumed > 0)
                continue;
            if (pos + length < size) {
                ++length;
                continue;
            }
            put(0xFFFD, pos); // the text ends inside a sequence
            break;
        } else {
            offsets.clear();
            return QString();
        }
    }
    result.truncate(written);
    return result;
}
