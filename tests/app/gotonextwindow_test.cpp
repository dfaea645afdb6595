#include "app/gotonextwindow.h"

#include "app/rulebuttonpanel.h"
#include "tooltiptext.h"

#include <QCoreApplication>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

std::array<GoToNextWindow::RuleButton, GoToNextWindow::kPanels> defaultButtons()
{
    std::array<GoToNextWindow::RuleButton, GoToNextWindow::kPanels> buttons{};
    buttons[0] = {true, "Error", QColor(255, 0, 0)};
    buttons[1] = {true, "Warning", QColor(255, 255, 0)};
    buttons[2] = {true, "Info", QColor(135, 206, 250)};
    return buttons;
}

TEST(gotoWindow, IsATopMostToolWindowOfTwentyPanels)
{
    GoToNextWindow window;
    EXPECT_EQ(window.windowTitle(), "Go to next");
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(window.windowType(), Qt::Tool);
    for (int n = 1; n <= GoToNextWindow::kPanels; ++n)
        EXPECT_EQ(window.panel(n)->jumpButton->property("tag").toInt(), n);
}

TEST(gotoWindow, PanelsFollowTheRulesAndTheWindowFitsThem)
{
    GoToNextWindow window;
    auto buttons = defaultButtons();
    window.refreshButtons(buttons);
    window.show();
    QCoreApplication::processEvents();

    EXPECT_EQ(window.width(), 3 * RuleButtonPanel::kWidth);
    const char *hints[] = {"Go to next \"Error\"", "Go to next \"Warning\"", "Go to next \"Info\""};
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        EXPECT_TRUE(window.panel(n)->isVisible());
        EXPECT_EQ(shownToolTip(window.panel(n)->jumpButton->toolTip()), hints[n - 1]);
        EXPECT_EQ(window.panel(n)->swatchColor(), buttons[size_t(n - 1)].color);
    }
    EXPECT_FALSE(window.panel(4)->isVisible());
    // The visible panels stand side by side in rule order.
    EXPECT_LT(window.panel(1)->x(), window.panel(2)->x());
    EXPECT_LT(window.panel(2)->x(), window.panel(3)->x());

    // A rule switched off removes its panel and shrinks the window; the
    // panels after it close up.
    buttons[1].visible = false;
    window.refreshButtons(buttons);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.panel(2)->isVisible());
    EXPECT_EQ(window.width(), 2 * RuleButtonPanel::kWidth);
    EXPECT_EQ(window.panel(3)->x(), RuleButtonPanel::kWidth);

    // No rule at all: the window keeps the room of one panel.
    window.refreshButtons({});
    EXPECT_EQ(window.width(), RuleButtonPanel::kWidth);
}

TEST(gotoWindow, ClickingAButtonCallsBackWithItsRuleNumber)
{
    GoToNextWindow window;
    window.refreshButtons(defaultButtons());
    window.show();
    QCoreApplication::processEvents();
    std::vector<int> clicked;
    window.onGoto = [&clicked](int n) { clicked.push_back(n); };
    QTest::mouseClick(window.panel(3)->jumpButton, Qt::LeftButton);
    QTest::mouseClick(window.panel(1)->jumpButton, Qt::LeftButton);
    EXPECT_EQ(clicked, (std::vector<int>{3, 1}));

    // Without a callback a click does nothing.
    window.onGoto = nullptr;
    QTest::mouseClick(window.panel(1)->jumpButton, Qt::LeftButton);
    EXPECT_EQ(clicked.size(), 2u);
}

} // namespace
