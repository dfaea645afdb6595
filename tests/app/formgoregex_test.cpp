#include "app/formgoregex.h"

#include "app/formgo.h"
#include "tooltiptext.h"

#include <QCoreApplication>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

std::array<TFormGotoRegex::RuleButton, TFormGotoRegex::kPanels> DefaultButtons()
{
    std::array<TFormGotoRegex::RuleButton, TFormGotoRegex::kPanels> buttons{};
    buttons[0] = {true, "Error", QColor(255, 0, 0)};
    buttons[1] = {true, "Warning", QColor(255, 255, 0)};
    buttons[2] = {true, "Info", QColor(135, 206, 250)};
    return buttons;
}

TEST(GotoWindow, IsATopMostToolWindowOfTwentyPanels)
{
    TFormGotoRegex window;
    EXPECT_EQ(window.windowTitle(), "Go to next");
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(window.windowType(), Qt::Tool);
    for (int n = 1; n <= TFormGotoRegex::kPanels; ++n)
        EXPECT_EQ(window.Panel(n)->SpeedButton1->property("tag").toInt(), n);
}

TEST(GotoWindow, PanelsFollowTheRulesAndTheWindowFitsThem)
{
    TFormGotoRegex window;
    auto buttons = DefaultButtons();
    window.RefreshButtons(buttons);
    window.show();
    QCoreApplication::processEvents();

    EXPECT_EQ(window.width(), 3 * TFormGo::kWidth);
    const char *hints[] = {"Go to next \"Error\"", "Go to next \"Warning\"", "Go to next \"Info\""};
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        EXPECT_TRUE(window.Panel(n)->isVisible());
        EXPECT_EQ(ShownToolTip(window.Panel(n)->SpeedButton1->toolTip()), hints[n - 1]);
        EXPECT_EQ(window.Panel(n)->SwatchColor(), buttons[size_t(n - 1)].Color);
    }
    EXPECT_FALSE(window.Panel(4)->isVisible());
    // The visible panels stand side by side in rule order.
    EXPECT_LT(window.Panel(1)->x(), window.Panel(2)->x());
    EXPECT_LT(window.Panel(2)->x(), window.Panel(3)->x());

    // A rule switched off removes its panel and shrinks the window; the
    // panels after it close up.
    buttons[1].Visible = false;
    window.RefreshButtons(buttons);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.Panel(2)->isVisible());
    EXPECT_EQ(window.width(), 2 * TFormGo::kWidth);
    EXPECT_EQ(window.Panel(3)->x(), TFormGo::kWidth);

    // No rule at all: the window keeps the room of one panel.
    window.RefreshButtons({});
    EXPECT_EQ(window.width(), TFormGo::kWidth);
}

TEST(GotoWindow, ClickingAButtonCallsBackWithItsRuleNumber)
{
    TFormGotoRegex window;
    window.RefreshButtons(DefaultButtons());
    window.show();
    QCoreApplication::processEvents();
    std::vector<int> clicked;
    window.OnGoto = [&clicked](int n) { clicked.push_back(n); };
    QTest::mouseClick(window.Panel(3)->SpeedButton1, Qt::LeftButton);
    QTest::mouseClick(window.Panel(1)->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(clicked, (std::vector<int>{3, 1}));

    // Without a callback a click does nothing.
    window.OnGoto = nullptr;
    QTest::mouseClick(window.Panel(1)->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(clicked.size(), 2u);
}

} // namespace
