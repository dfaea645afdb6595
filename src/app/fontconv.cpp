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

QFont FontFromSpec(const FontSpec &stored, bool fixedPitch)
{
    QFont font(QString::fromUtf8(stored.Name));
    const bool sizeOk = stored.Size >= kMinFontPoints && stored.Size <= kMaxFontPoints;
    font.setPointSize(sizeOk ? stored.Size : kDefaultPoints);
    font.setBold((stored.Style & kBold) != 0);
    font.setItalic((stored.Style & kItalic) != 0);
    font.setUnderline((stored.Style & kUnderline) != 0);
    font.setStrikeOut((stored.Style & kStrikeOut) != 0);
    if (fixedPitch) {
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
    }
    return font;
}

FontSpec SpecFromFont(const QFont &font, const FontSpec &base)
{
    FontSpec stored = base;
    stored.Name = font.family().toUtf8();
    int points = font.pointSize();
    if (points <= 0) // a font sized in pixels
        points = QFontInfo(font).pointSize();
    stored.Size = points;
    stored.Style = (font.bold() ? kBold : 0) | (font.italic() ? kItalic : 0) |
                   (font.underline() ? kUnderline : 0) | (font.strikeOut() ? kStrikeOut : 0);
    return stored;
}

QFont FontForDialog(const FontSpec &stored)
{
    // A face that is not installed would leave the dialog on its first
    // family, a proportional one: it opens on the stand-in drawn instead.
    QFont font = FontFromSpec(stored, true);
    font.setFamily(QFontInfo(font).family());
    return font;
}

bool ChooseFont(QWidget *parent, FontSpec &font, const std::function<bool(QFontDialog &)> &exec)
{
    QFontDialog dialog(parent);
    dialog.setCurrentFont(FontForDialog(font));
    const bool chosen = exec ? exec(dialog) : dialog.exec() == QDialog::Accepted;
    if (chosen)
        font = SpecFromFont(dialog.currentFont(), font);
    return chosen;
}
