#include "text/codepages.h"

#include "text/bytetable.h"
#include "text/codepagebackend.h"
#include "text/contract.h"
#include "text/iconvconverter.h"
#include "text/icuconverter.h"

#include <array>
#include <limits>
#include <memory>
#include <mutex>
#include <numeric>

namespace {

const QString Unit = QStringLiteral("QzxCodepages");

enum class DecodeRoute { Unsupported, Utf8, Table, Converter };

// What is known about one list entry once it has been looked at.
struct PageInfo
{
    DecodeRoute Route = DecodeRoute::Unsupported;
    CodepageBackend Backend;
    std::unique_ptr<ByteTable> Table;
};

std::unique_ptr<TextConverter> OpenConverter(const CodepageBackend &backend)
{
    switch (backend.Kind) {
    case CodepageBackendKind::Utf8:
    case CodepageBackendKind::Icu:
        return std::make_unique<IcuConverter>(backend.Name, backend.Additions);
    case CodepageBackendKind::Iconv:
        return std::make_unique<IconvConverter>(backend.Name, backend.ForceTable);
    default:
        return nullptr;
    }
}

PageInfo Examine(TQzEncoding encoding)
{
    PageInfo info;
    info.Backend = BackendForCodepage(CodepageList[encoding].Codepage);
    const std::unique_ptr<TextConverter> converter = OpenConverter(info.Backend);
    if (!converter || !converter->IsOpen())
        return info;
    if (info.Backend.Kind == CodepageBackendKind::Utf8) {
        info.Route = DecodeRoute::Utf8;
        return info;
    }
    if (converter->IsSingleByte() || info.Backend.ForceTable)
        info.Table = ByteTable::Build(*converter, info.Backend);
    info.Route = info.Table ? DecodeRoute::Table : DecodeRoute::Converter;
    return info;
}

// Each entry is examined once, on first use, by whichever thread gets there first.
class PageRegistry final
{
public:
    const PageInfo &Page(TQzEncoding encoding)
    {
        std::call_once(m_once[encoding], [&] { m_pages[encoding] = Examine(encoding); });
        return m_pages[encoding];
    }

private:
    std::array<std::once_flag, CodepageCount> m_once;
    std::array<PageInfo, CodepageCount> m_pages;
};

PageRegistry &Registry()
{
    static PageRegistry registry;
    return registry;
}

// Stateful and multi-byte converters, opened once per thread and entry.
TextConverter *ThreadConverter(TQzEncoding encoding, const CodepageBackend &backend)
{
    thread_local std::array<std::unique_ptr<TextConverter>, CodepageCount> converters;
    std::unique_ptr<TextConverter> &slot = converters[encoding];
    if (!slot)
        slot = OpenConverter(backend);
    return slot.get();
}

bool IsAscii(const char *data, qsizetype size)
{
    unsigned char any = 0;
    for (qsizetype i = 0; i < size; ++i)
        any |= static_cast<unsigned char>(data[i]);
    return any < 0x80;
}

bool InList(TQzEncoding encoding)
{
    return encoding >= 0 && encoding < CodepageCount;
}

// Turns what a back end reported into offsets the viewer can rely on: an
// unknown offset (-1) takes the one before it, none goes back or past the
// text, and the second half of a surrogate pair shares the first half's
// (ICU's UTF-7 gives it the byte where its own bits begin).
void SettleOffsets(const QString &text, std::vector<int> &offsets, qsizetype size)
{
    const int last = int(size - 1);
    int previous = 0;
    for (size_t i = 0; i < offsets.size(); ++i) {
        int &offset = offsets[i];
        if (offset < previous || (i > 0 && text.at(qsizetype(i)).isLowSurrogate() &&
                                  text.at(qsizetype(i - 1)).isHighSurrogate()))
            offset = previous;
        else if (offset > last)
            offset = last;
        previous = offset;
    }
}

void IdentityOffsets(std::vector<int> &offsets, qsizetype size)
{
    offsets.resize(size_t(size));
    std::iota(offsets.begin(), offsets.end(), 0);
}

} // namespace

qint32 CodepageID(TQzEncoding encoding)
{
    Require(InList(encoding), QStringLiteral("Invalid codepage specified: CodepageID"), Unit);
    return CodepageList[encoding].Codepage;
}

QByteArray CodepageName(TQzEncoding encoding)
{
    if (encoding == EncodingUtf16BE)
        return QByteArrayLiteral("Unicode (UTF-16 BE)");
    if (encoding == EncodingUtf16LE)
        return QByteArrayLiteral("Unicode (UTF-16 LE)");
    Require(InList(encoding), QStringLiteral("Invalid codepage specified: CodepageName"), Unit);
    return QByteArray(CodepageList[encoding].Title);
}

bool IsCodepageSupported(TQzEncoding encoding)
{
    return InList(encoding) && Registry().Page(encoding).Route != DecodeRoute::Unsupported;
}

QString CodepageToUnicode(const QByteArray &text, TQzEncoding encoding)
{
    return CodepageToUnicode(text.constData(), text.size(), encoding);
}

QString CodepageToUnicode(const char *data, qsizetype size, TQzEncoding encoding)
{
    return CodepageToUnicode(data, size, encoding, nullptr);
}

QString CodepageToUnicode(const char *data, qsizetype size, TQzEncoding encoding,
                          std::vector<int> *offsets)
{
    Require(encoding >= 0, QStringLiteral("Unicode encodings can't be passed to CodepageToUnicode"),
            Unit);
    Require(!offsets || size <= std::numeric_limits<int>::max(),
            QStringLiteral("Text too long for offsets: CodepageToUnicode"), Unit);
    if (offsets)
        offsets->clear();
    if (size <= 0 || !data)
        return QString();
    const auto unconverted = [&] {
        if (offsets)
            offsets->assign(1, 0);
        return QStringLiteral("?");
    };
    if (!InList(encoding))
        return unconverted();

    const PageInfo &page = Registry().Page(encoding);
    switch (page.Route) {
    case DecodeRoute::Unsupported:
        return unconverted();
    case DecodeRoute::Utf8:
        if (IsAscii(data, size)) {
            if (offsets)
                IdentityOffsets(*offsets, size);
            return QString::fromLatin1(data, size);
        }
        break; // ICU keeps a BOM and replaces a cut sequence by one U+FFFD, unlike fromUtf8
    case DecodeRoute::Table:
        if (offsets)
            IdentityOffsets(*offsets, size);
        return page.Table->Decode(data, size);
    case DecodeRoute::Converter:
        break;
    }
    TextConverter *converter = ThreadConverter(encoding, page.Backend);
    QString result;
    if (converter)
        result = offsets ? converter->DecodeWithOffsets(data, size, *offsets)
                         : converter->Decode(data, size);
    if (result.isEmpty())
        return unconverted();
    if (!page.Backend.Substitutions.empty()) {
        for (QChar &ch : result)
            ch = QChar(Substitute(ch.unicode(), page.Backend.Substitutions));
    }
    if (offsets) {
        offsets->resize(size_t(result.size()));
        SettleOffsets(result, *offsets, size);
    }
    return result;
}

QString BytesToWideString(const char *bytes, qsizetype count, bool swap)
{
    if (!bytes || count < 2)
        return QString();
    const qsizetype units = count / 2;
    QString result(units, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(result.data());
    const auto *in = reinterpret_cast<const unsigned char *>(bytes);
    for (qsizetype i = 0; i < units; ++i) {
        const unsigned lo = in[2 * i], hi = in[2 * i + 1];
        out[i] = swap ? char16_t((lo << 8) | hi) : char16_t((hi << 8) | lo);
    }
    return result;
}

int SupportedCodepageCount()
{
    int count = 0;
    for (TQzEncoding e = 0; e < CodepageCount; ++e)
        count += IsCodepageSupported(e) ? 1 : 0;
    return count;
}
