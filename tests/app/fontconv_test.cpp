#include "app/fontconv.h"

#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetrics>

#include <gtest/gtest.h>

namespace {

// Whether narrow and wide letters take the same room: what the viewer needs.
// (Not every monospaced face says so to fontconfig: Noto Sans Mono does not.)
bool monospaced(const QFont &font)
{
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(u'W');
    for (const QChar c : QStringLiteral("il.m_0"))
        if (metrics.horizontalAdvance(c) != width)
            return false;
    return true;
}

TEST(FontConv, StyleBitsRoundTrip)
{
    for (int style = 0; style < 16; ++style) {
        SCOPED_TRACE(style);
        const FontSpec stored{"DejaVu Sans Mono", 11, style, 255, 204};
        const QFont font = fontFromSpec(stored, false);
        EXPECT_EQ(font.bold(), (style & 1) != 0);
        EXPECT_EQ(font.italic(), (style & 2) != 0);
        EXPECT_EQ(font.underline(), (style & 4) != 0);
        EXPECT_EQ(font.strikeOut(), (style & 8) != 0);
        EXPECT_EQ(specFromFont(font, stored), stored);
    }
}

TEST(FontConv, ColourAndCharsetComeFromTheBase)
{
    const FontSpec base{"Courier New", 10, 0, 8388608, 161};
    const FontSpec stored = specFromFont(QFont("DejaVu Serif", 14), base);
    EXPECT_EQ(stored.name, "DejaVu Serif");
    EXPECT_EQ(stored.size, 14);
    EXPECT_EQ(stored.color, 8388608);
    EXPECT_EQ(stored.charset, 161);
}

TEST(FontConv, PixelSizedFontsAreStoredInPoints)
{
    QFont font("DejaVu Sans Mono");
    font.setPixelSize(20);
    EXPECT_GT(specFromFont(font, FontSpec{}).size, 0);
}

TEST(FontConv, SizesNoDialogOffersFallBackToTen)
{
    for (int size : {0, -3, 100000}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(fontFromSpec(FontSpec{"Courier New", size, 0, 0, 204}, true).pointSize(), 10);
    }
}

TEST(FontConv, ViewerFontsAskForFixedPitch)
{
    // A face fontconfig does not know must still give a monospaced font.
    const QFont font = fontFromSpec(FontSpec{"No Such Face Anywhere", 10, 0, 0, 204}, true);
    EXPECT_TRUE(monospaced(font)) << QFontInfo(font).family().toStdString();
    EXPECT_EQ(font.styleHint(), QFont::TypeWriter);
}

// The dialog opens on the face the viewer draws with, also when the stored
// one is missing and a stand-in draws instead; OK then keeps that face.
TEST(FontConv, TheFontDialogOpensOnTheFaceInUse)
{
    const struct
    {
        const char *name;
        FontSpec font;
    } cases[] = {
        {"installed face", {"DejaVu Sans Mono", 12, 0, 0, 204}},
        {"missing face", {"No Such Face Anywhere", 11, 1, 255, 0}},
        {"the default, an alias", AppSettings().font},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString used = QFontInfo(fontFromSpec(c.font, true)).family();
        FontSpec font = c.font;
        QFont shown;
        EXPECT_TRUE(chooseFont(nullptr, font, [&](QFontDialog &dialog) {
            shown = dialog.currentFont();
            return true;
        }));
        EXPECT_EQ(shown.family(), used);
        EXPECT_EQ(shown.pointSize(), c.font.size);
        EXPECT_EQ(shown.bold(), (c.font.style & 1) != 0);
        EXPECT_TRUE(monospaced(shown)) << shown.family().toStdString();
        EXPECT_EQ(font.name, used.toUtf8());
        EXPECT_EQ(font.size, c.font.size);
        EXPECT_EQ(font.color, c.font.color);

        // Cancel keeps the stored font.
        FontSpec kept = c.font;
        EXPECT_FALSE(chooseFont(nullptr, kept, [](QFontDialog &) { return false; }));
        EXPECT_EQ(kept, c.font);
    }
}

} // namespace
