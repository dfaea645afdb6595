#include "text/codepages.h"

#include "text/bytetable.h"
#include "text/codepagebackend.h"
#include "text/contract.h"
#include "text/iconvconverter.h"
#include "text/icuconverter.h"
#include "text/linebreak.h"
#include "text/utf8.h"

#include <array>
#include <limits>
#include <memory>
#include <mutex>
#include <numeric>

namespace {

const QString unit = QStringLiteral("QzxCodepages");

enum class DecodeRoute { Unsupported, Utf8, Table, Converter };

// Where a decoder can pick up the text in the middle (see DecodeSyncBefore).
enum class SyncRule {
    Anywhere,  // one byte, one character
    Utf8,      // at any byte but a continuation byte
    Stateless, // after a byte below '0', which no character continues through
    LineStart, // after CR or LF, which reset the state
    Jis,       // after CR or LF, except in JIS X 0201 Roman; at a designation of G0
    JisShift,  // as Jis, but designations leave a shift and G2 as they were
    ShiftKr,   // at SO or SI
    Utf7,      // after a byte that neither opens nor continues a base64 run
};

// What is known about one list entry once it has been looked at.
struct PageInfo
{
    DecodeRoute route = DecodeRoute::Unsupported;
    SyncRule sync = SyncRule::Anywhere;
    CodepageBackend backend;
    std::unique_ptr<ByteTable> table;
};

SyncRule syncRuleOf(const char *name)
{
    const QByteArray n(name);
    if (n == "ISO-2022-JP" || n == "x-windows-50221")
        return SyncRule::Jis;
    if (n.startsWith("ISO_2022,locale=ja"))
        return SyncRule::JisShift;
    if (n == "ISO-2022-KR")
        return SyncRule::ShiftKr;
    if (n.startsWith("ISO-2022-CN") || n == "HZ" || n.startsWith("ISCII"))
        return SyncRule::LineStart;
    if (n == "UTF-7")
        return SyncRule::Utf7;
    return SyncRule::Stateless;
}

std::unique_ptr<TextConverter> openConverter(const CodepageBackend &backend)
{
    switch (backend.Kind) {
    case CodepageBackendKind::Utf8:
    case CodepageBackendKind::Icu:
        return std::make_unique<IcuConverter>(backend.name, backend.additions);
    case CodepageBackendKind::Iconv:
        return std::make_unique<IconvConverter>(backend.name, backend.forceTable);
    default:
        return nullptr;
    }
}

PageInfo examine(Encoding encoding)
{
    PageInfo info;
    info.backend = backendForCodepage(codepageList[encoding.codePageIndex()].codepage);
    const std::unique_ptr<TextConverter> converter = openConverter(info.backend);
    if (!converter || !converter->isOpen())
        return info;
    if (info.backend.Kind == CodepageBackendKind::Utf8) {
        info.route = DecodeRoute::Utf8;
        info.sync = SyncRule::Utf8;
        return info;
    }
    if (converter->isSingleByte() || info.backend.forceTable)
        info.table = ByteTable::build(*converter, info.backend);
    info.route = info.table ? DecodeRoute::Table : DecodeRoute::Converter;
    if (!info.table)
        info.sync = syncRuleOf(info.backend.name);
    return info;
}

// Each entry is examined once, on first use, by whichever thread gets there first.
class PageRegistry final
{
public:
    const PageInfo &page(Encoding encoding)
    {
        const size_t i = size_t(encoding.codePageIndex());
        std::call_once(m_once[i], [&] { m_pages[i] = examine(encoding); });
        return m_pages[i];
    }

private:
    std::array<std::once_flag, codepageCount> m_once;
    std::array<PageInfo, codepageCount> m_pages;
};

PageRegistry &registry()
{
    static PageRegistry registry;
    return registry;
}

// Stateful and multi-byte converters, opened once per thread and entry.
TextConverter *threadConverter(Encoding encoding, const CodepageBackend &backend)
{
    thread_local std::array<std::unique_ptr<TextConverter>, codepageCount> converters;
    std::unique_ptr<TextConverter> &slot = converters[size_t(encoding.codePageIndex())];
    if (!slot)
        slot = openConverter(backend);
    return slot.get();
}

bool isAscii(const char *data, qsizetype size)
{
    return asciiPrefix(reinterpret_cast<const unsigned char *>(data), size) == size;
}

// Turns what a back end reported into offsets the viewer can rely on: an
// unknown offset (-1) takes the one before it, none goes back or past the
// text, and the second half of a surrogate pair shares the first half's
// (ICU's UTF-7 gives it the byte where its own bits begin).
void settleOffsets(const QString &text, std::vector<int> &offsets, qsizetype size)
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

void identityOffsets(std::vector<int> &offsets, qsizetype size)
{
    offsets.resize(size_t(size));
    std::iota(offsets.begin(), offsets.end(), 0);
}

} // namespace

qint32 codepageID(Encoding encoding)
{
    require(encoding.isListed(), QStringLiteral("Invalid codepage specified: CodepageID"), unit);
    return codepageList[encoding.codePageIndex()].codepage;
}

QByteArray codepageName(Encoding encoding)
{
    if (encoding == encodingUtf16BE)
        return QByteArrayLiteral("Unicode (UTF-16 BE)");
    if (encoding == encodingUtf16LE)
        return QByteArrayLiteral("Unicode (UTF-16 LE)");
    require(encoding.isListed(), QStringLiteral("Invalid codepage specified: CodepageName"), unit);
    return QByteArray(codepageList[encoding.codePageIndex()].title);
}

QByteArray encodingLabel(Encoding encoding)
{
    if (encoding == encodingUtf16BE)
        return QByteArrayLiteral("UTF-16 BE");
    if (encoding == encodingUtf16LE)
        return QByteArrayLiteral("UTF-16 LE");
    if (!encoding.isListed())
        return {};
    if (encoding.codePageIndex() == 0)
        return QByteArrayLiteral("UTF-8"); // the system's own here
    const int id = codepageID(encoding);
    static const struct
    {
        int id;
        const char *name;
    } known[] = {{1, "DOS (437)"},   {437, "DOS (437)"},  {65001, "UTF-8"},
                 {932, "Shift-JIS"}, {936, "GBK"},        {949, "EUC-KR"},
                 {950, "Big5"},      {54936, "GB18030"},  {20866, "KOI8-R"},
                 {21866, "KOI8-U"},  {51932, "EUC-JP"},   {50220, "ISO-2022-JP"},
                 {65000, "UTF-7"},   {20127, "US-ASCII"}, {874, "Windows-874"}};
    for (const auto &k : known)
        if (k.id == id)
            return QByteArray(k.name);
    if (id >= 1250 && id <= 1258)
        return "Windows-" + QByteArray::number(id);
    if (id >= 28591 && id <= 28606)
        return "ISO-8859-" + QByteArray::number(id - 28590);
    return QByteArray(codepageList[encoding.codePageIndex()].title);
}

bool isUtf8Page(Encoding encoding)
{
    return !encoding.isUtf16() &&
           backendForCodepage(codepageID(encoding)).Kind == CodepageBackendKind::Utf8;
}

bool isStatefulPage(Encoding encoding)
{
    if (!encoding.isListed())
        return false;
    switch (registry().page(encoding).sync) {
    case SyncRule::Anywhere:
    case SyncRule::Utf8:
    case SyncRule::Stateless:
        return false;
    case SyncRule::LineStart:
    case SyncRule::Jis:
    case SyncRule::JisShift:
    case SyncRule::ShiftKr:
    case SyncRule::Utf7:
        break;
    }
    return true;
}

bool isCodepageSupported(Encoding encoding)
{
    return encoding.isListed() && registry().page(encoding).route != DecodeRoute::Unsupported;
}

bool isSingleByteCodepage(Encoding encoding)
{
    return encoding.isListed() && registry().page(encoding).route == DecodeRoute::Table;
}

QString codepageToUnicode(const QByteArray &text, Encoding encoding)
{
    return codepageToUnicode(text.constData(), text.size(), encoding);
}

QString codepageToUnicode(const char *data, qsizetype size, Encoding encoding)
{
    return codepageToUnicode(data, size, encoding, nullptr);
}

QString codepageToUnicode(const char *data, qsizetype size, Encoding encoding,
                          std::vector<int> *offsets)
{
    require(encoding.codePageIndex() >= 0,
            QStringLiteral("Unicode encodings can't be passed to CodepageToUnicode"), unit);
    require(!offsets || size <= std::numeric_limits<int>::max(),
            QStringLiteral("Text too long for offsets: CodepageToUnicode"), unit);
    if (offsets)
        offsets->clear();
    if (size <= 0 || !data)
        return QString();
    const auto unconverted = [&] {
        if (offsets)
            offsets->assign(1, 0);
        return QStringLiteral("?");
    };
    if (!encoding.isListed())
        return unconverted();

    const PageInfo &page = registry().page(encoding);
    switch (page.route) {
    case DecodeRoute::Unsupported:
        return unconverted();
    case DecodeRoute::Utf8:
        if (isAscii(data, size)) {
            if (offsets)
                identityOffsets(*offsets, size);
            return QString::fromLatin1(data, size);
        }
        break; // ICU keeps a BOM and replaces a cut sequence by one U+FFFD, unlike fromUtf8
    case DecodeRoute::Table:
        if (offsets)
            identityOffsets(*offsets, size);
        return page.table->decode(data, size);
    case DecodeRoute::Converter:
        break;
    }
    TextConverter *converter = threadConverter(encoding, page.backend);
    QString result;
    if (converter)
        result = offsets ? converter->decodeWithOffsets(data, size, *offsets)
                         : converter->decode(data, size);
    if (result.isEmpty())
        return unconverted();
    if (!page.backend.substitutions.empty()) {
        for (QChar &ch : result)
            ch = QChar(substitute(ch.unicode(), page.backend.substitutions));
    }
    if (offsets) {
        offsets->resize(size_t(result.size()));
        settleOffsets(result, *offsets, size);
    }
    return result;
}

namespace {

// A designation of G0 that every ISO-2022-JP variant reads, at i: 'B'
// ASCII, 'J' JIS X 0201 Roman, 'K' kanji; 0 for anything else.
char jisDesignation(const unsigned char *d, qsizetype size, qsizetype i)
{
    if (d[i] != 0x1B || i + 2 >= size)
        return 0;
    if (d[i + 1] == '(' && (d[i + 2] == 'B' || d[i + 2] == 'J'))
        return char(d[i + 2]);
    if (d[i + 1] == '$' && (d[i + 2] == '@' || d[i + 2] == 'B'))
        return 'K';
    return 0;
}

// The last designation at or before pos, or -1.
qsizetype jisDesignationBefore(const unsigned char *d, qsizetype size, qsizetype pos)
{
    for (qsizetype i = pos; i >= 0; --i) {
        if (jisDesignation(d, size, i))
            return i;
    }
    return -1;
}

bool isBase64OrPlus(unsigned char b)
{
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '+' ||
           b == '/';
}

// The pages that a line break resets. Garbage can swallow a break (a
// shifted lead byte or ISCII's ATR and EXT take the byte after them), so
// only the breaks that decoding the data from its start reads as breaks
// count. ISO-2022-JP keeps JIS X 0201 Roman over a break, and its
// designations set G0 whatever came before (unless a shift or G2, which
// one variant has, outlives them).
qsizetype lineSyncBefore(const char *data, qsizetype size, qsizetype pos, Encoding encoding,
                         SyncRule rule)
{
    const auto *d = reinterpret_cast<const unsigned char *>(data);
    std::vector<int> offsets;
    const QString text = codepageToUnicode(data, std::min(size, pos + 9), encoding, &offsets);
    if (text == QLatin1String("?") && data[0] != '?')
        return -1; // it decodes to nothing
    const qsizetype count = text.size();
    // A character must start from the sync to pos: bytes that only switch
    // state count with the character before them.
    const auto readsBy = [&](qsizetype unit) {
        return unit < count && offsets[size_t(unit)] <= pos;
    };
    const bool jis = rule == SyncRule::Jis || rule == SyncRule::JisShift;
    qsizetype best = -1;
    for (qsizetype k = count - 1; k >= 0 && best < 0; --k) {
        const qsizetype at = offsets[size_t(k)];
        const QChar c = text.at(k);
        if (at >= pos || !isLineBreak(c.unicode()) || !isLineBreak(d[at]) || !readsBy(k + 1))
            continue;
        const qsizetype designation = jis ? jisDesignationBefore(d, size, at) : -1;
        if (designation >= 0 && jisDesignation(d, size, designation) == 'J')
            continue;
        best = at + 1;
    }
    if (rule == SyncRule::Jis) {
        // The designation must be read as one, not as part of garbage: no
        // character starts at it.
        for (qsizetype at = jisDesignationBefore(d, size, pos); at > best;
             at = at > 0 ? jisDesignationBefore(d, size, at - 1) : -1) {
            const auto next = std::lower_bound(offsets.begin(), offsets.end(), int(at));
            const qsizetype k = next - offsets.begin();
            if ((next == offsets.end() || *next != at) && readsBy(k))
                return at;
        }
    }
    return best;
}

// ISO-2022-KR's shifts and UTF-7's ends of base64 runs.
qsizetype shiftSyncBefore(const unsigned char *d, qsizetype pos, SyncRule rule)
{
    if (rule == SyncRule::ShiftKr) {
        for (qsizetype i = pos; i >= 0; --i) {
            if (d[i] == 0x0E || d[i] == 0x0F)
                return i;
        }
        return -1;
    }
    for (qsizetype i = pos; i > 0; --i) {
        if (!isBase64OrPlus(d[i - 1]))
            return i;
    }
    return -1;
}

// Whether decoding from sync reads a character that starts at pos or before.
// A few bytes after pos let a sequence there end as it does in the text.
bool readsCharacterBy(const char *data, qsizetype size, qsizetype sync, qsizetype pos,
                      Encoding encoding)
{
    std::vector<int> offsets;
    const qsizetype end = std::min(size, pos + 9);
    const QString text = codepageToUnicode(data + sync, end - sync, encoding, &offsets);
    // Text that decodes to nothing comes back as one "?".
    const bool nothing = text == QLatin1String("?") && data[sync] != '?';
    return !nothing && !offsets.empty() && offsets[0] <= pos - sync;
}

} // namespace

qsizetype decodeSyncBefore(const char *data, qsizetype size, qsizetype pos, Encoding encoding)
{
    require(data && pos >= 0 && pos < size,
            QStringLiteral("Position outside the data: DecodeSyncBefore"), unit);
    if (encoding.isUtf16())
        return pos & ~qsizetype(1);
    if (!encoding.isListed())
        return pos;
    const auto *d = reinterpret_cast<const unsigned char *>(data);
    const SyncRule rule = registry().page(encoding).sync;
    switch (rule) {
    case SyncRule::Anywhere:
        return pos;
    case SyncRule::Utf8:
        // A character takes at most three continuation bytes.
        for (qsizetype i = pos; i >= 0 && i >= pos - 3; --i) {
            if ((d[i] & 0xC0) != 0x80)
                return i;
        }
        return pos >= 3 ? pos : -1;
    case SyncRule::Stateless:
        // Not at such a byte: an accent prefix of ISO 6937 takes the space
        // after it.
        for (qsizetype i = pos; i > 0; --i) {
            if (d[i - 1] < '0')
                return i;
        }
        return -1;
    case SyncRule::LineStart:
    case SyncRule::Jis:
    case SyncRule::JisShift:
        return lineSyncBefore(data, size, pos, encoding, rule);
    case SyncRule::ShiftKr:
    case SyncRule::Utf7:
        break;
    }
    // A shift reads as nothing; it counts with the character before it, so
    // decoding must begin in front of that one.
    qsizetype sync = shiftSyncBefore(d, pos, rule);
    while (sync > 0 && !readsCharacterBy(data, size, sync, pos, encoding))
        sync = shiftSyncBefore(d, sync - 1, rule);
    return sync;
}

int supportedCodepageCount()
{
    int count = 0;
    for (const Encoding e : listedCodePages())
        count += isCodepageSupported(e) ? 1 : 0;
    return count;
}
