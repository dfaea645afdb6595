#include "print/pagegeometry.h"

#include <gtest/gtest.h>

namespace {

TEST(PageGeometry, MarginRectTruncatesEachMarginAtItsResolution)
{
    struct Case
    {
        const char *name;
        PageMargins margins;
        int width, height;
        double dpiX, dpiY;
        PageEdges expected;
    } cases[] = {
        // 10 mm at 96 dpi is 37.79 px: 37, never 38.
        {"default at screen", {}, 793, 1122, 96, 96, {37, 37, 793 - 37, 1122 - 37}},
        {"zero margins", {0, 0, 0, 0}, 793, 1122, 96, 96, {0, 0, 793, 1122}},
        {"each side its own", {25, 30, 15, 40}, 793, 1122, 96, 96, {94, 113, 793 - 56, 1122 - 151}},
        {"printer resolutions differ",
         {10, 10, 10, 10},
         4960,
         7016,
         600,
         1200,
         {236, 472, 4960 - 236, 7016 - 472}},
        {"margins past the page", {200, 0, 200, 0}, 793, 1122, 96, 96, {755, 0, 793 - 755, 1122}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PageEdges r = marginRect(c.margins, c.width, c.height, c.dpiX, c.dpiY);
        EXPECT_EQ(r, c.expected);
    }
}

TEST(PageGeometry, PageInScreenPixelsIsTruncated)
{
    EXPECT_EQ(toScreenPixels(9921, 1200, 96), 793); // A4 width at 1200 dpi
    EXPECT_EQ(toScreenPixels(793, 96, 96), 793);
    EXPECT_EQ(toScreenPixels(1000, 300, 96), 320);
    EXPECT_EQ(toScreenPixels(999, 300, 96), 319);
}

TEST(PageGeometry, FooterHeightIsTheFontHeightTimesOnePointTwoTruncated)
{
    EXPECT_EQ(footerHeight(9, 96), 14);  // 12 px
    EXPECT_EQ(footerHeight(10, 96), 15); // 13.33 -> 13 px -> 15.6
    EXPECT_EQ(footerHeight(9, 192), 28); // 24 px
    EXPECT_EQ(footerHeightPixels(5), 6); // 6.0 exactly, not 5.999
    EXPECT_EQ(footerHeightPixels(0), 0);
}

TEST(PageGeometry, FooterAndTitleNameTheFileWithoutItsFolder)
{
    EXPECT_EQ(footerText(QStringLiteral("/var/log/app.log"), 3), QStringLiteral("app.log - 3"));
    EXPECT_EQ(footerText(QString(), 12), QStringLiteral("12"));
    EXPECT_EQ(defaultJobTitle(QStringLiteral("/var/log/app.log")),
              QStringLiteral("Viewer - app.log"));
    EXPECT_EQ(defaultJobTitle(QString()), QStringLiteral("Viewer"));
}

TEST(PageGeometry, FooterIsCentredButNeverLeftOfItsRectangle)
{
    EXPECT_EQ(footerTextLeft(100, 500, 100), 250);
    EXPECT_EQ(footerTextLeft(100, 500, 401), 100);
    EXPECT_EQ(footerTextLeft(100, 500, 400), 100);
}

} // namespace
