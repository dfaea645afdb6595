// Placing the stored window onto the screens that exist now.
#include "app/windowplace.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(WindowPlace, StoredPlaceIsKeptOnAScreenAndMovedOntoTheNearestOtherwise)
{
    const QRect left(0, 0, 1920, 1080);
    const QRect right(1920, 0, 1280, 1024);
    struct Case
    {
        const char *name;
        QPoint position;
        QSize size;
        QList<QRect> screens;
        QRect expected;
    };
    const Case cases[] = {
        {"first-start defaults", {204, 255}, {664, 379}, {left}, {204, 255, 664, 379}},
        {"on the second screen", {2000, 100}, {800, 600}, {left, right}, {2000, 100, 800, 600}},
        {"partly past the edge, grip visible",
         {1800, 500},
         {664, 379},
         {left},
         {1800, 500, 664, 379}},
        {"across both screens", {1500, 100}, {800, 600}, {left, right}, {1500, 100, 800, 600}},
        {"garbage far left", {-29490, 255}, {664, 379}, {left}, {0, 255, 664, 379}},
        {"garbage far below", {204, 40000}, {664, 379}, {left}, {204, 701, 664, 379}},
        {"second screen unplugged", {2000, 100}, {800, 600}, {left}, {1120, 100, 800, 600}},
        {"nearest of two", {3500, 900}, {300, 200}, {left, right}, {2900, 824, 300, 200}},
        {"only a sliver left of the title", {1900, 100}, {800, 600}, {left}, {1120, 100, 800, 600}},
        {"title above the screen", {100, -300}, {664, 379}, {left}, {100, 0, 664, 379}},
        {"too big for the screen it lands on",
         {-5000, -5000},
         {2500, 1500},
         {left},
         {0, 0, 1920, 1080}},
        {"title under a top panel",
         {100, 5},
         {664, 379},
         {QRect(0, 30, 1920, 1050)},
         {100, 30, 664, 379}},
        {"below a top panel",
         {100, 30},
         {664, 379},
         {QRect(0, 30, 1920, 1050)},
         {100, 30, 664, 379}},
        {"garbage size as well", {-29490, 255}, {0, -7}, {left}, {0, 255, 1, 1}},
        {"no size, on the screen", {204, 255}, {0, 0}, {left}, {204, 255, 1, 1}},
        {"numbers at the ends of int",
         {INT_MAX, INT_MIN},
         {INT_MAX, INT_MAX},
         {left},
         {0, 0, 1920, 1080}},
        {"no screens known", {-29490, 0}, {664, 379}, {}, {-29490, 0, 664, 379}},
        {"no screens, garbage size", {10, 10}, {-1, -1}, {}, {10, 10, 1, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(placeOnScreens(c.position, c.size, c.screens), c.expected);
    }
}

TEST(WindowPlace, TheFirstStartTakesTwoThirdsOfTheScreenCentred)
{
    EXPECT_EQ(firstPlace(QRect(0, 0, 1920, 1080)), QRect(320, 180, 1280, 720));
    // A scale of 2 halves the logical screen: still inside it.
    EXPECT_EQ(firstPlace(QRect(0, 0, 960, 540)), QRect(160, 90, 640, 360));
    // A second screen, or a panel at the top, moves the area.
    EXPECT_EQ(firstPlace(QRect(1920, 32, 1280, 992)), QRect(2133, 197, 853, 661));
}

} // namespace
