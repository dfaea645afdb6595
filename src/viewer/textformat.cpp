#include "viewer/textformat.h"

#include "text/codepages.h"

#include <QByteArray>

#include <algorithm>
#include <array>

bool IsShiftingPage(TQzEncoding encoding)
{
    static const std::array<bool, CodepageCount> shifting = [] {
        std::array<bool, CodepageCount> a{};
        for (int e = 0; e < CodepageCount; ++e) {
            switch (CodepageID(e)) {
            case 50220: // ISO-2022-JP and its two Windows variants
            case 50221:
            case 50222:
            case 50225: // ISO-2022-KR
            case 50227: // ISO-2022-CN
            case 50229:
                a[size_t(e)] = true;
                break;
            default:
                break;
            }
        }
        return a;
    }();
    return encoding >= 0 && encoding < CodepageCount && shifting[size_t(encoding)];
}

QString TextFormat::Decode(const char16_t *units, int count, std::vector<int> *offsets) const
{
    if (IsUnicodeMode()) {
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
    const TQzEncoding encoding = UsesOemSpecial() ? 0 : Encoding;
    QString text = CodepageToUnicode(bytes.constData(), bytes.size(), encoding, offsets);
    // A page without converter shows one "?" for the whole line.
    if (offsets && offsets->size() != size_t(text.size()))
        offsets->assign(size_t(text.size()), 0);
    return text;
}

int TextFormat::WholeCharacterCut(const char16_t *units, int count) const
{
    const int maxLength = MaxLength;
    if (count <= maxLength)
        return count;
    if (IsUnicodeMode()) {
        // Never part a surrogate pair, unless it is all the row has.
        const bool split =
            QChar::isHighSurrogate(units[maxLength - 1]) && QChar::isLowSurrogate(units[maxLength]);
        return split && maxLength > 1 ? maxLength - 1 : maxLength;
    }
    std::vector<int> offsets;
    Decode(units, count, &offsets);
    // offsets are the first units of the characters: the cut is the last
    // character start at or before MaxLength, or the end of the first
    // character when that alone is longer.
    int cut = 0;
    for (const int o : offsets) {
        if (o > maxLength)
            break;
        cut = o;
    }
    if (cut > 0)
        return cut;
    for (const int o : offsets)
        if (o > 0)
            return o;
    // One character in all, or a page without converter.
    return IsCodepageSupported(UsesOemSpecial() ? 0 : Encoding) ? count : maxLength;
}

int TextFormat::PartialLead(const char16_t *units, int count) const
{
    if (count < 2)
        return 0;
    if (IsUnicodeMode())
        return QChar::isLowSurrogate(units[0]) ? 1 : 0;
    // A tail that cannot start a character decodes to U+FFFD of its own.
    std::vector<int> offsets;
    const QString text = Decode(units, std::min(count, 8), &offsets);
    if (text.size() < 2 || text.at(0) != QChar(QChar::ReplacementCharacter))
        return 0;
    return offsets[1];
}
