// The viewer on a screen of twice the pixel density. Qt takes the factor
// when the application starts, so this file sets it before main runs.
#include "viewerfixture.h"
#include "common/viewoption.h"

namespace {

const bool kScaled = [] {
    qputenv("QT_SCALE_FACTOR", "2");
    return true;
}();

using HiDpi = ViewerFixture;

TEST_F(HiDpi, DrawsAtTheScreensDensityAndHitTestsInLogicalPixels)
{
    ASSERT_TRUE(kScaled);
    m_view->open(write("aaaaaaaaaa\nbbbbbbbbbb\n"));
    showLines(4);
    ASSERT_EQ(m_view->devicePixelRatioF(), 2.0);
    const QImage &img = m_view->bitmap();
    EXPECT_EQ(img.devicePixelRatio(), 2.0);
    EXPECT_EQ(img.size(), m_view->viewport()->size() * 2);
    EXPECT_EQ(m_view->visibleLines(), 4);

    const int left = m_view->textLeft();
    const DrawnLines &rec = m_view->strPositions();
    EXPECT_EQ(rec.posFromCoord(left + 3 * m_charWidth + 1, m_lineHeight + 1, true), 14);
    QPoint at;
    ASSERT_TRUE(rec.coordFromPos(16, &at));
    EXPECT_EQ(at, QPoint(left + 5 * m_charWidth, m_lineHeight));

    // The selection covers the same text, in device pixels.
    const QImage before = img.copy();
    m_view->setSelection(5, 3, false, false, true);
    const QImage &after = m_view->bitmap();
    int first = -1, last = -1;
    const int y = m_lineHeight; // middle of the first row, in device pixels
    for (int x = 0; x < before.width(); ++x) {
        if (before.pixel(x, y) != after.pixel(x, y)) {
            if (first < 0)
                first = x;
            last = x;
        }
    }
    EXPECT_EQ(first, 2 * (left + 5 * m_charWidth));
    EXPECT_EQ(last, 2 * (left + 8 * m_charWidth) - 1);
}

TEST_F(HiDpi, DumpCellsAndGutterNumbersAreDrawnInDevicePixelsAndHitInLogicalOnes)
{
    ASSERT_TRUE(kScaled);
    setOption(*m_view, &ViewOptions::textGutter, true);
    m_view->setMode(vbmodeHex);
    m_view->open(write("ABCDEFGHIJKLMNOPQRS", QStringLiteral("dump.bin")));
    showLines(3, 80);
    const int left = m_view->textLeft();
    const DrawnLines &rec = m_view->strPositions();
    // The right half of the second cell, at column 11 + 3 of the row.
    EXPECT_EQ(rec.posFromCoord(left + 14 * m_charWidth + 2 * m_charWidth, m_lineHeight / 2, true),
              2);
    const QImage &img = m_view->bitmap();
    // The separator left of the hex area is two device pixels at each side
    // of its logical x: drawn at the screen's density, not scaled up.
    const int sep = 2 * (left + 10 * m_charWidth);
    const int y = m_lineHeight;
    EXPECT_EQ(img.pixelColor(sep - 1, y), m_view->options().colors.lines);
    EXPECT_EQ(img.pixelColor(sep, y), m_view->options().colors.lines);
    EXPECT_NE(img.pixelColor(sep - 3, y), m_view->options().colors.lines);

    // A number in the gutter: ink in single device pixels, which a 1x
    // picture scaled up could not have (its pixels come in 2x2 blocks).
    m_view->setMode(vbmodeText);
    setOption(*m_view, &ViewOptions::textGutterLinesStep, 1);
    m_view->open(write("a\nb\nc\n", QStringLiteral("lines.log")));
    m_view->redraw();
    const QImage &text = m_view->bitmap();
    bool fine = false;
    for (int dy = 0; dy + 1 < 2 * m_lineHeight && !fine; dy += 2)
        for (int dx = 0; dx + 1 < 2 * m_view->gutterWidth() && !fine; dx += 2)
            fine = text.pixel(dx, dy) != text.pixel(dx + 1, dy) ||
                   text.pixel(dx, dy) != text.pixel(dx, dy + 1);
    EXPECT_TRUE(fine);
}

} // namespace
