#include "text/linebreak.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <vector>

namespace {

// Where each scan must stop in text with every kind of break, at the ends
// of the range too, and in text with none.
TEST(LineBreak, ScansFindTheBreaksOfARangeOnly)
{
    const struct
    {
        QByteArray text;
        qsizetype from, to;
        qsizetype next;  // nextLineBreak
        qsizetype start; // lineStartBefore
    } cases[] = {
        {"no break", 0, 8, 8, 0}, {"", 0, 0, 0, 0},
        {"ab\ncd", 0, 5, 2, 3},   {"ab\rcd", 0, 5, 2, 3},
        {"ab\r\ncd", 0, 6, 2, 4}, {"a\rb\nc", 0, 5, 1, 4}, // a CR before the first LF
        {"a\nb\rc", 0, 5, 1, 4},                           // a CR after the last LF
        {"\nabc\n", 1, 4, 4, 1},                           // breaks just outside the range
        {"\nabc\n", 0, 5, 0, 5},                           // at its first and last byte
        {"x\ny\nz", 3, 3, 3, 3},                           // an empty range
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.text.toStdString() << " [" << c.from << ", " << c.to << ")");
        EXPECT_EQ(nextLineBreak(c.text.constData(), c.from, c.to), c.next);
        EXPECT_EQ(lineStartBefore(c.text.constData(), c.from, c.to), c.start);
    }
}

TEST(LineBreak, TheScannerGivesEveryBreakInOrder)
{
    const QByteArray text = "a\r\nb\n\rc\r\rd\ne";
    LineBreakScanner scanner(text.constData(), text.size());
    std::vector<qsizetype> found;
    // Bounded, so that a scanner stuck on one break fails instead of hanging.
    for (qsizetype p = scanner.next(0); p < text.size() && found.size() < 20;
         p = scanner.next(p + 1))
        found.push_back(p);
    EXPECT_EQ(found, (std::vector<qsizetype>{1, 2, 4, 5, 7, 8, 10}));
    // A jump forward past breaks of both kinds.
    LineBreakScanner jumping(text.constData(), text.size());
    EXPECT_EQ(jumping.next(0), 1);
    EXPECT_EQ(jumping.next(6), 7);
    EXPECT_EQ(jumping.next(11), text.size());
}

} // namespace
