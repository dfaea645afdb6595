// The mouse wheel: whole notches, parts of a notch from fine wheels and
// touchpads, and pixel scrolling.
#include "viewerfixture.h"

#include <QApplication>
#include <QWheelEvent>

#include <vector>

namespace {

using Wheel = ViewerFixture;

struct Step
{
    int angle;     // in eighths of a degree, 120 a notch; positive is up
    int halfLines; // pixel distance in half line heights; 0: none given
};

TEST_F(Wheel, PartsOfANotchAddUp)
{
    QApplication::setWheelScrollLines(3);
    const struct
    {
        const char *name;
        std::vector<Step> steps;
        int linesUp; // expected movement; negative is down
    } cases[] = {
        {"one notch down", {{-120, 0}}, -3},
        {"one notch up", {{120, 0}}, 3},
        {"three thirds of a notch", {{-40, 0}, {-40, 0}, {-40, 0}}, -3},
        {"a third of a notch is one of its lines", {{-40, 0}}, -1},
        {"a sixth waits for the next", {{-20, 0}}, 0},
        {"two sixths make a line", {{-20, 0}, {-20, 0}}, -1},
        {"turning back does not scroll the old way", {{-20, 0}, {20, 0}}, 0},
        {"a remainder carries over", {{-60, 0}, {-60, 0}}, -3},
        {"pixels win over the angle", {{-120, -4}}, -2},
        {"pixels: two half lines", {{-60, -1}, {-60, -1}}, -1},
        {"pixels: one half line waits", {{-60, -1}}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp(); // a fresh viewer without any remainder
        ASSERT_TRUE(m_view->open(write(numberedLines(100))));
        showLines(10);
        m_view->scrollTo(50 * 8);
        ASSERT_EQ(m_view->viewPos(), 50 * 8);
        for (const Step &step : c.steps) {
            // Rounded away from zero, so that two halves make a line.
            const int pixels = (step.halfLines * m_lineHeight - (step.halfLines < 0)) / 2;
            const QPointF at(10, 10);
            QWheelEvent event(at, m_view->viewport()->mapToGlobal(at), QPoint(0, pixels),
                              QPoint(0, step.angle), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(m_view->viewport(), &event);
        }
        EXPECT_EQ(m_view->viewPos(), (50 - c.linesUp) * 8);
    }
}

} // namespace
