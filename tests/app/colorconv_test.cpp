#include "app/colorconv.h"

#include <QGuiApplication>
#include <QPalette>

#include <gtest/gtest.h>

namespace {

TEST(ColorConv, PlainColoursKeepRedInTheLowestByte)
{
    struct Case
    {
        qint32 value;
        QColor color;
    };
    const Case cases[] = {
        {0x000000FF, QColor(255, 0, 0)},
        {0x0000FF00, QColor(0, 255, 0)},
        {0x00FF0000, QColor(0, 0, 255)},
        {8388608, QColor(0, 0, 128)}, // navy, the gutter default
        {0x00123456, QColor(0x56, 0x34, 0x12)},
        {0, QColor(0, 0, 0)},
        {0x00FFFFFF, QColor(255, 255, 255)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(colorFromInt(c.value), c.color);
        EXPECT_EQ(colorToInt(c.color), c.value);
    }
}

TEST(ColorConv, TopByteOfAPlainColourIsIgnored)
{
    EXPECT_EQ(colorFromInt(0x02123456), QColor(0x56, 0x34, 0x12));
}

TEST(ColorConv, SystemColoursFollowThePalette)
{
    const QPalette palette = QGuiApplication::palette();
    struct Case
    {
        qint32 value;
        QColor color;
    };
    const Case cases[] = {
        {-16777211, palette.color(QPalette::Active, QPalette::Base)}, // window
        {-16777208, palette.color(QPalette::Active, QPalette::Text)}, // window text
        {systemColor(17), palette.color(QPalette::Disabled, QPalette::Text)},
        {systemColor(15), palette.color(QPalette::Active, QPalette::Button)},
        {systemColor(13), palette.color(QPalette::Active, QPalette::Highlight)},
        {systemColor(14), palette.color(QPalette::Active, QPalette::HighlightedText)},
        {systemColor(30), palette.color(QPalette::Active, QPalette::Window)},
        {systemColor(31), QColor(Qt::black)}, // no such system colour
        {systemColor(200), QColor(Qt::black)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(colorFromInt(c.value), c.color);
    }
    EXPECT_EQ(systemColor(5), -16777211);
}

TEST(ColorConv, AlphaIsDropped)
{
    EXPECT_EQ(colorToInt(QColor(1, 2, 3, 4)), 0x00030201);
}

} // namespace
