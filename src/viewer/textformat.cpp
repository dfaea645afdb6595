#include "viewer/textformat.h"

#include "text/blockdecoder.h"
#include "text/codepages.h"

#include <QByteArray>

#include <algorithm>
#include <array>

bool isShiftingPage(Encoding encoding)
{
    static const std::array<bool, codepageCount> shifting = [] {
        std::array<bool, codepageCount> a{};
        for (const Encoding e : listedCodePages()) {
            switch (codepageID(e)) {
            case 50220: // ISO-2022-JP and its two Windows variants
            case 50221:
            case 50222:
            case 50225: // ISO-2022-KR
            case 50227: // ISO-2022-CN
            case 50229:
                a[size_t(e.codePageIndex())] = true;
                break;
            default:
                break;
            }
        }
        return a;
    }();
    return encoding.isListed() && shifting[size_t(encoding.codePageIndex())];
}

QString TextFormat::decode(const char16_t *units, int count, std::vector<int> *offsets) const
{
    if (isUnicodeMode()) {
        // The units are UTF-16 in this machine's order already: nothing to decode.
        if (offsets) {
            offsets->resize(size_t(count));
            for (int i = 0; i < count; ++i)
                (*offsets)[size_t(i)] = i;
        }
        return QString(reinterpret_cast<const QChar *>(units), count);
    }
    QByteArray bytes(count, Qt::Uninitialized);
    for (int i = 0; i < count; ++i)
        bytes[i] = char(units[i] & 0xFF);
    const Encoding used = usesOemSpecial() ? encodingAnsi : encoding;
    QString text = decodeBlock(bytes.constData(), bytes.size(), used, offsets);
    // A page without converter shows one "?" for the whole line.
    if (offsets && offsets->size() != size_t(text.size()))
        offsets->assign(size_t(text.size()), 0);
    return text;
}

int TextFormat::wholeCharacterCut(const char16_t *units, int count) const
{
    const int limit = maxLength;
    if (count <= limit)
        return count;
    if (isUnicodeMode()) {
        // Never part a surrogate pair, unless it is all the row has.
        const bool split =
            QChar::isHighSurrogate(units[limit - 1]) && QChar::isLowSurrogate(units[limit]);
        return split && limit > 1 ? limit - 1 : limit;
    }
    std::vector<int> offsets;
    decode(units, count, &offsets);
    // offsets are the first units of the characters: the cut is the last
    // character start at or before MaxLength, or the end of the first
    // character when that alone is longer.
    int cut = 0;
    for (const int o : offsets) {
        if (o > limit)
            break;
        cut = o;
    }
    if (cut > 0)
        return cut;
    for (const int o : offsets)
        if (o > 0)
            return o;
    // One character in all, or a page without converter.
    return isCodepageSupported(usesOemSpecial() ? encodingAnsi : encoding) ? count : limit;
}

int TextFormat::partialLead(const char16_t *units, int count) const
{
    if (count < 2)
        return 0;
    if (isUnicodeMode())
        return QChar::isLowSurrogate(units[0]) ? 1 : 0;
    // A tail that cannot start a character decodes to U+FFFD of its own.
    std::vector<int> offsets;
    const QString text = decode(units, std::min(count, 8), &offsets);
    if (text.size() < 2 || text.at(0) != QChar(QChar::ReplacementCharacter))
        return 0;
    return offsets[1];
}
