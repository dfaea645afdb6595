#include "app/fontconv.h"

#include <QFontInfo>

#include <gtest/gtest.h>

namespace {

TEST(FontConv, StyleBitsRoundTrip)
{
    for (int style = 0; style < 16; ++style) {
        SCOPED_TRACE(style);
        const FontSpec stored{"DejaVu Sans Mono", 11, style, 255, 204};
        const QFont font = FontFromSpec(stored, false);
        EXPECT_EQ(font.bold(), (style & 1) != 0);
        EXPECT_EQ(font.italic(), (style & 2) != 0);
        EXPECT_EQ(font.underline(), (style & 4) != 0);
        EXPECT_EQ(font.strikeOut(), (style & 8) != 0);
        EXPECT_EQ(SpecFromFont(font, stored), stored);
    }
}

TEST(FontConv, ColourAndCharsetComeFromTheBase)
{
    const FontSpec base{"Courier New", 10, 0, 8388608, 161};
    const FontSpec stored = SpecFromFont(QFont("DejaVu Serif", 14), base);
    EXPECT_EQ(stored.Name, "DejaVu Serif");
    EXPECT_EQ(stored.Size, 14);
    EXPECT_EQ(stored.Color, 8388608);
    EXPECT_EQ(stored.Charset, 161);
}

TEST(FontConv, PixelSizedFontsAreStoredInPoints)
{
    QFont font("DejaVu Sans Mono");
    font.setPixelSize(20);
    EXPECT_GT(SpecFromFont(font, FontSpec{}).Size, 0);
}

TEST(FontConv, SizesNoDialogOffersFallBackToTen)
{
    for (int size : {0, -3, 100000}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(FontFromSpec(FontSpec{"Courier New", size, 0, 0, 204}, true).pointSize(), 10);
    }
}

TEST(FontConv, ViewerFontsAskForFixedPitch)
{
    // A face fontconfig does not know must still give a monospaced font.
    const QFont font = FontFromSpec(FontSpec{"No Such Face Anywhere", 10, 0, 0, 204}, true);
    EXPECT_TRUE(QFontInfo(font).fixedPitch());
    EXPECT_EQ(font.styleHint(), QFont::TypeWriter);
}

} // namespace
