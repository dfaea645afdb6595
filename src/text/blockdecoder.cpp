#include "text/blockdecoder.h"

#include "text/codepages.h"
#include "text/utf8.h"

#include <QChar>

namespace {

inline char16_t unitAt(const unsigned char *p, bool bigEndian)
{
    return bigEndian ? char16_t(p[0] << 8 | p[1]) : char16_t(p[1] << 8 | p[0]);
}

void appendChar(QByteArray &out, std::vector<qint64> *offsets, char32_t c, qint64 at)
{
    const qsizetype before = out.size();
    appendUtf8(out, c);
    if (offsets)
        offsets->insert(offsets->end(), size_t(out.size() - before), at);
}

} // namespace

QString decodeBlock(const char *data, qsizetype size, Encoding encoding, std::vector<int> *offsets)
{
    if (!encoding.isUtf16())
        return codepageToUnicode(data, size, encoding, offsets);
    const qsizetype units = data ? size / 2 : 0;
    if (offsets) {
        offsets->resize(size_t(units));
        for (qsizetype i = 0; i < units; ++i)
            (*offsets)[size_t(i)] = int(2 * i);
    }
    if (units == 0)
        return QString();
    const bool swap = encoding.isBigEndian() == (Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
    if (!swap)
        return QString(reinterpret_cast<const QChar *>(data), units);
    QString result(units, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(result.data());
    const auto *in = reinterpret_cast<const unsigned char *>(data);
    for (qsizetype i = 0; i < units; ++i)
        out[i] = char16_t(in[2 * i] << 8 | in[2 * i + 1]);
    return result;
}

void decodeBlockUtf8(const char *data, qsizetype size, Encoding encoding, char32_t replacement,
                     QByteArray &out, std::vector<qint64> *offsets)
{
    if (!data || size <= 0) {
        if (offsets)
            offsets->push_back(0);
        return;
    }
    if (encoding.isUtf16()) {
        const auto *in = reinterpret_cast<const unsigned char *>(data);
        const bool big = encoding.isBigEndian();
        const qsizetype end = size & ~qsizetype(1);
        out.reserve(out.size() + end / 2);
        if (offsets)
            offsets->reserve(offsets->size() + size_t(end / 2) + 1);
        for (qsizetype i = 0; i < end;) {
            const DecodedChar d = decodeUtf16Char(in + i, end - i, big);
            // Only a high surrogate ends the text inside a character.
            const bool whole = d.result == DecodedChar::Char;
            appendChar(out, offsets, whole ? d.ch : replacement, i);
            i += whole ? d.used : 2;
        }
        if (offsets)
            offsets->push_back(end);
        return;
    }
    std::vector<int> unitOffsets;
    const QString text = codepageToUnicode(data, size, encoding, &unitOffsets);
    out.reserve(out.size() + text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        const qint64 at = unitOffsets[size_t(i)];
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            appendChar(out, offsets, QChar::surrogateToUcs4(u, text.at(i + 1).unicode()), at);
            ++i;
        } else {
            appendChar(out, offsets, QChar::isSurrogate(u) ? replacement : char32_t(u), at);
        }
    }
    if (offsets)
        offsets->push_back(size);
}

StreamDecoder::StreamDecoder(Encoding encoding, bool dropByteOrderMark)
    : m_encoding(encoding), m_dropMark(dropByteOrderMark && encoding.isUtf16())
{}

qsizetype StreamDecoder::decodable(bool last) const
{
    const qsizetype size = m_pending.size();
    if (m_encoding.isUtf16()) {
        qsizetype n = size & ~qsizetype(1);
        const auto *p = reinterpret_cast<const unsigned char *>(m_pending.constData());
        if (!last && n >= 2 && QChar::isHighSurrogate(unitAt(p + n - 2, m_encoding.isBigEndian())))
            n -= 2;
        return n;
    }
    if (last || size == 0 || isSingleByteCodepage(m_encoding) || !isCodepageSupported(m_encoding))
        return size;
    // The last character may go on in the next block: it waits.
    const qsizetype sync = decodeSyncBefore(m_pending.constData(), size, size - 1, m_encoding);
    if (sync > 0)
        return sync;
    return size >= pendingLimit ? size : 0;
}

QString StreamDecoder::decode(const char *data, qsizetype size, bool last,
                              std::vector<qint64> *offsets)
{
    if (data && size > 0)
        m_pending.append(data, size);
    const qsizetype n = decodable(last);
    if (n == 0)
        return QString();
    std::vector<int> local;
    QString text = decodeBlock(m_pending.constData(), n, m_encoding, &local);
    if (m_encoding.isCodePage() && isCodepageSupported(m_encoding) &&
        decodedToNothing(text, local, m_pending.constData())) {
        text.clear();
        local.clear();
    }
    qsizetype first = 0;
    if (m_dropMark && !text.isEmpty()) {
        m_dropMark = false;
        if (text.at(0) == QChar(QChar::ByteOrderMark))
            first = 1;
    }
    if (offsets) {
        for (size_t i = size_t(first); i < local.size(); ++i)
            offsets->push_back(m_consumed + local[i]);
    }
    m_pending.remove(0, n);
    m_consumed += n;
    return first ? text.mid(first) : text;
}

void StreamDecoder::decodeUtf8(const char *data, qsizetype size, bool last, QByteArray &out)
{
    out += decode(data, size, last).toUtf8();
}

DecodedChar decodeUtf8Char(const unsigned char *bytes, qsizetype count)
{
    if (count < 1)
        return {DecodedChar::NeedMore, 0, 0};
    const unsigned char b = bytes[0];
    if (b < 0x80)
        return {DecodedChar::Char, 1, b};
    int need = 0;
    char32_t ch = 0, min = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        need = 2, ch = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 3, ch = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 4, ch = b & 0x07, min = 0x10000;
    } else {
        return {DecodedChar::Invalid, 1, 0};
    }
    for (int i = 1; i < need; ++i) {
        if (i >= count)
            return {DecodedChar::NeedMore, 0, 0};
        if (!isUtf8Continuation(bytes[i]))
            return {DecodedChar::Invalid, 1, 0};
        ch = ch << 6 | (bytes[i] & 0x3F);
        // Overlong forms, surrogates and codes past U+10FFFF show at the
        // second byte already.
        if (i == 1 && ((need == 3 && ch < 0x20) || (need == 4 && (ch < 0x10 || ch > 0x10F)) ||
                       (need == 3 && ch >= 0x360 && ch <= 0x37F)))
            return {DecodedChar::Invalid, 1, 0};
    }
    if (ch < min || (ch >= 0xD800 && ch <= 0xDFFF) || ch > 0x10FFFF)
        return {DecodedChar::Invalid, 1, 0};
    return {DecodedChar::Char, need, ch};
}

DecodedChar decodeUtf16Char(const unsigned char *bytes, qsizetype count, bool bigEndian)
{
    if (count < 2)
        return {DecodedChar::NeedMore, 0, 0};
    const char32_t u = unitAt(bytes, bigEndian);
    if (u < 0xD800 || u > 0xDFFF)
        return {DecodedChar::Char, 2, u};
    // UTF-8 cannot hold half a pair: a lone half does not decode.
    if (u >= 0xDC00)
        return {DecodedChar::Invalid, 2, 0};
    if (count < 4)
        return {DecodedChar::NeedMore, 0, 0};
    const char32_t low = unitAt(bytes + 2, bigEndian);
    if (low < 0xDC00 || low > 0xDFFF)
        return {DecodedChar::Invalid, 2, 0};
    return {DecodedChar::Char, 4, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00)};
}

DecodedChar decodeTableChar(const char16_t *table, const unsigned char *bytes, qsizetype count)
{
    if (count < 1)
        return {DecodedChar::NeedMore, 0, 0};
    if (!table)
        return {DecodedChar::Invalid, 1, 0};
    const char16_t ch = table[bytes[0]];
    if (ch >= 0xD800 && ch <= 0xDFFF)
        return {DecodedChar::Invalid, 1, 0};
    return {DecodedChar::Char, 1, ch};
}
