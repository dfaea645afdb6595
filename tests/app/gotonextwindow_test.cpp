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

    const int three =
        window.panel(1)->width() + window.panel(2)->width() + window.panel(3)->width();
    // Three short panels are narrower than the title, which shows whole.
    EXPECT_GT(window.width(), three);
    EXPECT_GT(window.width(), window.fontMetrics().horizontalAdvance("Go to next"));
    const char *hints[] = {"Go to next \"Error\"", "Go to next \"Warning\"", "Go to next \"Info\""};
    const char *labels[] = {"Error", "Warning", "Info"};
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        EXPECT_TRUE(window.panel(n)->isVisible());
        EXPECT_EQ(shownToolTip(window.panel(n)->jumpButton->toolTip()), hints[n - 1]);
        EXPECT_EQ(window.panel(n)->swatchColor(), buttons[size_t(n - 1)].color);
        EXPECT_EQ(window.panel(n)->jumpButton->text(), labels[n - 1]) << "labelled with the rule";
        EXPECT_GE(window.panel(n)->width(),
                  window.panel(n)->fontMetrics().horizontalAdvance(labels[n - 1]));
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
    EXPECT_EQ(window.panel(3)->x(), window.panel(1)->width());

    // Many rules: the window is as wide as their panels side by side.
    auto many = buttons;
    int sum = 0;
    for (int n = 0; n < GoToNextWindow::kPanels; ++n)
        many[size_t(n)] = {true, QStringLiteral("rule %1").arg(n), QColor(n * 12, 100, 200)};
    window.refreshButtons(many);
    for (int n = 1; n <= GoToNextWindow::kPanels; ++n)
        sum += window.panel(n)->width();
    EXPECT_EQ(window.width(), sum);

    // A long rule is cut short on its button; the tool tip has all of it.
    buttons[0].text = "connection refused by upstream";
    window.refreshButtons(buttons);
    EXPECT_EQ(window.panel(1)->jumpButton->text(), QStringLiteral("connection \u2026"));

    // No rule at all: the window keeps room for its title.
    window.refreshButtons({});
    EXPECT_GE(window.width(), window.fontMetrics().horizontalAdvance("Go to next"));
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
    // Anywhere on the panel: its top, where the colour swatch used to be.
    QTest::mouseClick(window.panel(1)->jumpButton, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(clicked, (std::vector<int>{3, 1}));

    // Without a callback a click does nothing.
    window.onGoto = nullptr;
    QTest::mouseClick(window.panel(1)->jumpButton, Qt::LeftButton);
    EXPECT_EQ(clicked.size(), 2u);
}

} // namespace
