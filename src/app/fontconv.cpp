#include "app/fontconv.h"

#include <QFontDialog>
#include <QFontInfo>

namespace {
constexpr int kBold = 1;
constexpr int kItalic = 2;
constexpr int kUnderline = 4;
constexpr int kStrikeOut = 8;
constexpr int kDefaultPoints = 10;
} // namespace

QFont fontFromSpec(const FontSpec &stored, bool fixedPitch)
{
    QFont font(QString::fromUtf8(stored.name));
    const bool sizeOk = stored.size >= kMinFontPoints && stored.size <= kMaxFontPoints;
    font.setPointSize(sizeOk ? stored.size : kDefaultPoints);
    font.setBold((stored.style & kBold) != 0);
    font.setItalic((stored.style & kItalic) != 0);
    font.setUnderline((stored.style & kUnderline) != 0);
    font.setStrikeOut((stored.style & kStrikeOut) != 0);
    if (fixedPitch) {
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
    }
    return font;
}

FontSpec specFromFont(const QFont &font, const FontSpec &base)
{
    FontSpec stored = base;
    stored.name = font.family().toUtf8();
    int points = font.pointSize();
    if (points <= 0) // a font sized in pixels
        points = QFontInfo(font).pointSize();
    stored.size = points;
    stored.style = (font.bold() ? kBold : 0) | (font.italic() ? kItalic : 0) |
                   (font.underline() ? kUnderline : 0) | (font.strikeOut() ? kStrikeOut : 0);
    return stored;
}

QFont fontForDialog(const FontSpec &stored)
{
    // A face that is not installed would leave the dialog on its first
    // family, a proportional one: it opens on the stand-in drawn instead.
    QFont font = fontFromSpec(stored, true);
    font.setFamily(QFontInfo(font).family());
    return font;
}

bool chooseFont(QWidget *parent, FontSpec &font, const std::function<bool(QFontDialog &)> &exec)
{
    QFontDialog dialog(parent);
    dialog.setCurrentFont(fontForDialog(font));
    const bool chosen = exec ? exec(dialog) : dialog.exec() == QDialog::Accepted;
    if (chosen)
        font = specFromFont(dialog.currentFont(), font);
    return chosen;
}
