// The viewer on a screen of twice the pixel density. Qt takes the factor
// when the application starts, so this file sets it before main runs.
#include "viewerfixture.h"

namespace {

const bool kScaled = [] {
    qputenv("QT_SCALE_FACTOR", "2");
    return true;
}();

using HiDpi = ViewerFixture;

TEST_F(HiDpi, DrawsAtTheScreensDensityAndHitTestsInLogicalPixels)
{
    ASSERT_TRUE(kScaled);
    m_view->Open(Write("aaaaaaaaaa\nbbbbbbbbbb\n"));
    ShowLines(4);
    ASSERT_EQ(m_view->devicePixelRatioF(), 2.0);
    const QImage &img = m_view->Bitmap();
    EXPECT_EQ(img.devicePixelRatio(), 2.0);
    EXPECT_EQ(img.size(), m_view->viewport()->size() * 2);
    EXPECT_EQ(m_view->VisibleLines(), 4);

    const int left = m_view->TextLeft();
    const TStrPositions &rec = m_view->StrPositions();
    EXPECT_EQ(rec.PosFromCoord(left + 3 * m_charWidth + 1, m_lineHeight + 1, true), 14);
    QPoint at;
    ASSERT_TRUE(rec.CoordFromPos(16, &at));
    EXPECT_EQ(at, QPoint(left + 5 * m_charWidth, m_lineHeight));

    // The selection covers the same text, in device pixels.
    const QImage before = img.copy();
    m_view->SetSelection(5, 3, false, false, true);
    const QImage &after = m_view->Bitmap();
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

} // namespace
