#include "print/zoomableimageview.h"

#include "text/contract.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

class ImageBoxTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_box.resize(420, 320);
        m_box.show();
        QImage page(800, 1100, QImage::Format_RGB888);
        page.fill(Qt::white);
        m_box.setPicture(page);
    }

    void wheel(int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
               Qt::MouseButtons buttons = Qt::NoButton)
    {
        const QPointF at(100, 100);
        QWheelEvent e(at, m_box.viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), buttons,
                      modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_box.viewport(), &e);
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent e(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(&m_box, &e);
    }
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButtons buttons)
    {
        QMouseEvent e(type, at, m_box.viewport()->mapToGlobal(at), Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(m_box.viewport(), &e);
    }
    int H() const { return m_box.horizontalScrollBar()->value(); }
    int V() const { return m_box.verticalScrollBar()->value(); }

    ZoomableImageView m_box;
};

TEST_F(ImageBoxTest, FitScalesALargerPictureDownAndShowsASmallerOneWholeInTheMiddle)
{
    m_box.setFitToWindow(true);
    const QSize box = m_box.maximumViewportSize();
    const double expected = std::min(box.width() / 800.0, box.height() / 1100.0) * 100;
    EXPECT_NEAR(m_box.scale(), expected, 1e-9);
    const QRect shown = m_box.pictureRect();
    EXPECT_LE(shown.height(), box.height());
    EXPECT_EQ(shown.x(), (m_box.viewport()->width() - shown.width()) / 2);
    EXPECT_EQ(m_box.verticalScrollBar()->maximum(), 0);

    QImage small(100, 50, QImage::Format_RGB888);
    small.fill(Qt::white);
    m_box.setPicture(small);
    EXPECT_EQ(m_box.scale(), 100.0);
    EXPECT_EQ(m_box.pictureRect(), QRect(QPoint((m_box.viewport()->width() - 100) / 2,
                                                (m_box.viewport()->height() - 50) / 2),
                                         QSize(100, 50)));
    // Around the page the box is grey, so that a white page stands out.
    const QImage grab = m_box.viewport()->grab().toImage();
    EXPECT_EQ(grab.pixelColor(2, 2), QColor(Qt::gray));
    EXPECT_EQ(grab.pixelColor(m_box.pictureRect().center()), QColor(Qt::white));
}

TEST_F(ImageBoxTest, ZoomGoesToTheNextStepOfTheTable)
{
    struct Case
    {
        double from;
        bool in;
        double to;
    } cases[] = {
        {37, true, 40},     {37, false, 30}, {100, true, 125}, {100, false, 90},
        {1600, true, 1600}, {1, false, 1},   {0.5, true, 1},   {5000, false, 1600},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << (c.in ? " in" : " out"));
        m_box.setScale(c.from);
        m_box.zoomStep(c.in);
        EXPECT_EQ(m_box.scale(), c.to);
    }
    EXPECT_EQ(ZoomableImageView::zoomSteps.size(), 33u);
    EXPECT_TRUE(
        std::is_sorted(ZoomableImageView::zoomSteps.begin(), ZoomableImageView::zoomSteps.end()));
}

TEST_F(ImageBoxTest, CtrlWheelOrWheelWithTheButtonHeldZoomsAndEndsFitting)
{
    m_box.setFitToWindow(true);
    const double fitted = m_box.scale();
    const int above = *std::upper_bound(ZoomableImageView::zoomSteps.begin(),
                                        ZoomableImageView::zoomSteps.end(), int(fitted));
    wheel(120, Qt::ControlModifier);
    EXPECT_FALSE(m_box.fitToWindow());
    EXPECT_EQ(m_box.scale(), above);
    wheel(120, Qt::NoModifier, Qt::LeftButton);
    EXPECT_GT(m_box.scale(), above);
    wheel(-120, Qt::ControlModifier);
    EXPECT_EQ(m_box.scale(), above);
}

// + and - step through the zoom table as Ctrl+wheel does; = is + without Shift.
TEST_F(ImageBoxTest, PlusAndMinusZoomAsCtrlWheelDoes)
{
    const struct
    {
        const char *name;
        int key;
        Qt::KeyboardModifiers modifiers;
        bool in;
    } cases[] = {
        {"+", Qt::Key_Plus, Qt::ShiftModifier, true},
        {"= (unshifted +)", Qt::Key_Equal, Qt::NoModifier, true},
        {"keypad +", Qt::Key_Plus, Qt::KeypadModifier, true},
        {"-", Qt::Key_Minus, Qt::NoModifier, false},
        {"keypad -", Qt::Key_Minus, Qt::KeypadModifier, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_box.setFitToWindow(true);
        const double fitted = m_box.scale();
        wheel(c.in ? 120 : -120, Qt::ControlModifier);
        const double byWheel = m_box.scale();
        m_box.setFitToWindow(true);
        ASSERT_EQ(m_box.scale(), fitted);
        key(c.key, c.modifiers);
        EXPECT_FALSE(m_box.fitToWindow());
        EXPECT_EQ(m_box.scale(), byWheel);
    }
}

TEST_F(ImageBoxTest, WheelScrollsFiftyPixelsDownOrWithShiftSideways)
{
    m_box.setScale(200);
    m_box.horizontalScrollBar()->setValue(0);
    m_box.verticalScrollBar()->setValue(0);
    wheel(-120);
    EXPECT_EQ(V(), 50);
    EXPECT_EQ(H(), 0);
    wheel(120);
    EXPECT_EQ(V(), 0);
    wheel(-120, Qt::ShiftModifier);
    EXPECT_EQ(H(), 50);
    EXPECT_EQ(V(), 0);
}

TEST_F(ImageBoxTest, KeysScrollByStepsPagesAndToTheEnds)
{
    m_box.setScale(400);
    QScrollBar *h = m_box.horizontalScrollBar();
    QScrollBar *v = m_box.verticalScrollBar();
    h->setValue(0);
    v->setValue(0);
    const int page = std::max(m_box.viewport()->height() - 20, m_box.viewport()->height() * 2 / 3);
    const int side = std::max(m_box.viewport()->width() - 20, m_box.viewport()->width() * 2 / 3);
    key(Qt::Key_Down);
    EXPECT_EQ(V(), 50);
    key(Qt::Key_Right);
    EXPECT_EQ(H(), 50);
    key(Qt::Key_PageDown);
    EXPECT_EQ(V(), 50 + page);
    key(Qt::Key_End);
    EXPECT_EQ(H(), 50 + side);
    key(Qt::Key_Home);
    EXPECT_EQ(H(), 50);
    key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(V(), v->maximum());
    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(H(), h->maximum());
    key(Qt::Key_Up, Qt::ControlModifier);
    key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(V(), 0);
    EXPECT_EQ(H(), 0);
}

TEST_F(ImageBoxTest, DraggingMovesThePictureWithThePointer)
{
    m_box.setScale(300);
    m_box.horizontalScrollBar()->setValue(100);
    m_box.verticalScrollBar()->setValue(100);
    mouse(QEvent::MouseButtonPress, QPoint(200, 150), Qt::LeftButton);
    EXPECT_EQ(m_box.viewport()->cursor().shape(), Qt::ClosedHandCursor);
    mouse(QEvent::MouseMove, QPoint(150, 120), Qt::LeftButton);
    EXPECT_EQ(H(), 150);
    EXPECT_EQ(V(), 130);
    mouse(QEvent::MouseButtonRelease, QPoint(150, 120), Qt::NoButton);
    mouse(QEvent::MouseMove, QPoint(0, 0), Qt::NoButton);
    EXPECT_EQ(H(), 150) << "no drag after the release";
    EXPECT_NE(m_box.viewport()->cursor().shape(), Qt::ClosedHandCursor);
}

TEST_F(ImageBoxTest, ZoomingKeepsThePointInTheMiddleOfTheBox)
{
    m_box.setScale(200);
    m_box.horizontalScrollBar()->setValue(300);
    m_box.verticalScrollBar()->setValue(700);
    auto middle = [&] {
        const QRect r = m_box.pictureRect();
        const QSize vs = m_box.viewport()->size();
        return QPointF((vs.width() / 2.0 - r.x()) / r.width() * 800,
                       (vs.height() / 2.0 - r.y()) / r.height() * 1100);
    };
    const QPointF before = middle();
    m_box.zoomStep(true);
    const QPointF after = middle();
    EXPECT_NEAR(after.x(), before.x(), 1.0);
    EXPECT_NEAR(after.y(), before.y(), 1.0);
}

TEST_F(ImageBoxTest, ScaleOutsideItsRangeIsAContractFault)
{
    for (double bad : {-1.0, 32767.0}) {
        try {
            m_box.setScale(bad);
            ADD_FAILURE() << bad << " accepted";
        } catch (const ContractError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("Invalid scale value"));
        }
    }
    EXPECT_NO_THROW(m_box.setScale(32766));
}

TEST_F(ImageBoxTest, AFastScaledPaintIsFollowedByASmoothOne)
{
    QImage stripes(800, 1100, QImage::Format_RGB888);
    for (int y = 0; y < stripes.height(); ++y)
        for (int x = 0; x < stripes.width(); ++x)
            stripes.setPixelColor(x, y, x % 2 ? Qt::black : Qt::white);
    m_box.setPicture(stripes);
    m_box.setSmoothResample(true);
    m_box.setScale(50);
    const QPoint probe = m_box.pictureRect().center();
    const int fast = qGray(m_box.viewport()->grab().toImage().pixel(probe));
    EXPECT_FALSE(m_box.lastPaintSmooth());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_box.lastPaintSmooth(); }, 5000));
    const int smooth = qGray(m_box.viewport()->grab().toImage().pixel(probe));
    EXPECT_TRUE(m_box.lastPaintSmooth()) << "another paint of the same view stays smooth";
    // Halving one-pixel stripes: the fast paint keeps one colour of each
    // pair, the smooth one averages them to grey.
    EXPECT_TRUE(fast < 30 || fast > 225) << fast;
    EXPECT_GT(smooth, 60);
    EXPECT_LT(smooth, 195);
    m_box.zoomStep(true);
    m_box.viewport()->grab();
    EXPECT_FALSE(m_box.lastPaintSmooth()) << "a new scale paints fast first";
}

} // namespace
