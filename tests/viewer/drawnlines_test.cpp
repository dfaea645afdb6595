// Hit testing on the record of drawn lines, with a fake measurer: fixed cells
// or per-character widths like a proportional font.
#include "viewer/drawnlines.h"

#include "viewer/textmeasurer.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

constexpr int Cell = 8;
constexpr int Row = 16;

// 'i' is narrow, 'W' wide, everything else one cell: enough to show that
// edges come from the font, not from a character count.
class ProportionalMeasurer final : public TextMeasurer
{
public:
    int width(const QString &text) const override
    {
        int w = 0;
        for (QChar c : text)
            w += advance(c);
        return w;
    }
    bool extents(const QString &text, std::vector<int> &extents) const override
    {
        extents.resize(size_t(text.size()));
        int w = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            // Each half of a surrogate pair gets a cell, as a layout that
            // places a cursor inside a pair may report.
            w += advance(text.at(i));
            extents[size_t(i)] = w;
        }
        return true;
    }
    int cellHeight() const override { return Row; }

private:
    static int advance(QChar c) { return c == u'i' ? 3 : c == u'W' ? 14 : Cell; }
};

class CannotMeasure final : public TextMeasurer
{
public:
    int width(const QString &) const override { return 0; }
    bool extents(const QString &, std::vector<int> &) const override { return false; }
    int cellHeight() const override { return Row; }
};

DrawnLines record(std::shared_ptr<const TextMeasurer> measurer, int charSize = 1)
{
    DrawnLines rec;
    rec.clear(charSize);
    OutputOptions options;
    options.fontMonospaced = true;
    options.tabSize = 4;
    rec.setMeasuring(std::move(measurer), options);
    return rec;
}

TEST(strPositions, PointsMapToTheNearerCharacterEdge)
{
    // Two lines at x = 10: "abcd" at offset 100 and "ef" at 200, rows 0 and 16.
    DrawnLines rec = record(std::make_shared<FixedWidthMeasurer>(Cell, Row));
    rec.add(QStringLiteral("abcd"), 10, 100, 0);
    rec.add(QStringLiteral("ef"), 10, 200, Row);
    const struct
    {
        const char *name;
        int x, y;
        qint64 loose, strict;
    } cases[] = {
        {"left half of the first character", 11, 3, 100, 100},
        {"right half of the first character", 15, 3, 101, 101},
        {"just before the middle of the third", 10 + 2 * Cell + 3, 3, 102, 102},
        {"at the middle of the third", 10 + 2 * Cell + 4, 3, 103, 103},
        {"right half of the last character", 10 + 4 * Cell - 1, 3, 104, 104},
        {"right of the line", 200, 3, 104, -1},
        {"at the line's left edge", 10, 3, 100, -1},
        {"left of the line", 0, 3, 100, -1},
        {"above the first line", 30, -5, 100, -1},
        {"second line", 19, Row, 201, 201},
        {"below every line", 30, 3 * Row, 202, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rec.posFromCoord(c.x, c.y, false), c.loose);
        EXPECT_EQ(rec.posFromCoord(c.x, c.y, true), c.strict);
    }
}

TEST(strPositions, RowsBetweenRecordsGiveTheEndOfTheLastRecord)
{
    // The middle row was drawn by the application and not recorded.
    DrawnLines rec = record(std::make_shared<FixedWidthMeasurer>(Cell, Row));
    rec.add(QStringLiteral("keep"), 2, 0, 0);
    rec.add(QStringLiteral("last"), 2, 10, 2 * Row);
    EXPECT_EQ(rec.posFromCoord(20, Row + 4, false), 14);
    EXPECT_EQ(rec.posFromCoord(20, Row + 4, true), -1);
}

TEST(strPositions, EdgesFollowTheFontTabsAndBytes)
{
    const auto proportional = std::make_shared<ProportionalMeasurer>();
    const struct
    {
        const char *name;
        QString text;
        std::vector<int> offsets; // empty: one unit per character
        int charSize;
        int x;
        qint64 pos;
    } cases[] = {
        // "iWi": edges 0, 3, 17, 20.
        {"narrow then wide: left half of the wide one", QStringLiteral("iWi"), {}, 1, 9, 1},
        {"right half of the wide one", QStringLiteral("iWi"), {}, 1, 11, 2},
        // "a\tb" with tab size 4: the tab spans cells 1..3, b is cell 4.
        {"first half of a tab's expansion", QStringLiteral("a\tb"), {}, 1, Cell + 11, 1},
        {"second half of a tab's expansion", QStringLiteral("a\tb"), {}, 1, Cell + 13, 2},
        // UTF-8 "é=" : é is two bytes.
        {"after a two-byte character", QStringLiteral("\u00e9="), {0, 2, 3}, 1, Cell + 5, 3},
        {"right half of a two-byte character", QStringLiteral("\u00e9="), {0, 2, 3}, 1, 5, 2},
        // A surrogate pair in UTF-16: both halves belong to the unit pair at 0.
        {"left half of a pair", QStringLiteral("\U0001F600x"), {0, 0, 2, 3}, 2, 7, 0},
        {"right half of a pair", QStringLiteral("\U0001F600x"), {0, 0, 2, 3}, 2, 9, 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DrawnLines rec = record(proportional, c.charSize);
        rec.add(c.text, 0, 0, 0, c.offsets);
        EXPECT_EQ(rec.posFromCoord(c.x, 2, false), c.pos);
    }
}

TEST(strPositions, CoordFromPosFindsTheLeftEdgeOfTheCharacterHoldingAByte)
{
    DrawnLines rec = record(std::make_shared<ProportionalMeasurer>(), 1);
    // "iW\u00e9" with é as two bytes at 2..3, then "ab" on the next row.
    rec.add(QStringLiteral("iW\u00e9"), 5, 50, 0, {0, 1, 2, 4});
    rec.add(QStringLiteral("ab"), 5, 54, Row);
    const struct
    {
        qint64 pos;
        bool found;
        QPoint at;
    } cases[] = {
        {50, true, {5, 0}},    {51, true, {8, 0}},  {52, true, {22, 0}},
        {53, true, {22, 0}}, // the second byte of é
        {55, true, {13, Row}}, {56, false, {0, 0}}, {49, false, {0, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pos);
        QPoint at(-7, -7);
        EXPECT_EQ(rec.coordFromPos(c.pos, &at), c.found);
        EXPECT_EQ(at, c.at);
    }

    DrawnLines pair = record(std::make_shared<ProportionalMeasurer>(), 2);
    pair.add(QStringLiteral("x\U0001F600"), 0, 0, 0, {0, 1, 1, 3});
    QPoint at;
    ASSERT_TRUE(pair.coordFromPos(2, &at));
    EXPECT_EQ(at.x(), Cell) << "a pair starts at its high half";
}

TEST(strPositions, NothingRecordedOrNothingMeasurable)
{
    DrawnLines empty = record(std::make_shared<FixedWidthMeasurer>(Cell, Row));
    QPoint at;
    EXPECT_EQ(empty.posFromCoord(5, 5, false), -1);
    EXPECT_EQ(empty.posFromCoord(5, 5, true), -1);
    EXPECT_FALSE(empty.coordFromPos(0, &at));
    EXPECT_EQ(empty.maxRight(), 0);

    DrawnLines rec = record(std::make_shared<CannotMeasure>());
    rec.add(QStringLiteral("abc"), 2, 40, 0);
    EXPECT_EQ(rec.posFromCoord(10, 2, false), 40) << "the line's start";
    EXPECT_EQ(rec.posFromCoord(10, 2, true), -1);
    EXPECT_FALSE(rec.coordFromPos(41, &at));
}

TEST(strPositions, RecordHoldsAtMostAScreenOfLines)
{
    DrawnLines rec = record(std::make_shared<FixedWidthMeasurer>(Cell, Row));
    for (int i = 0; i < DrawnLines::maxLines + 1; ++i)
        rec.add(QStringLiteral("xx"), 0, i * 3, i * Row);
    EXPECT_EQ(rec.count(), DrawnLines::maxLines);
    EXPECT_EQ(rec.posFromCoord(1, DrawnLines::maxLines * Row + 2, false),
              (DrawnLines::maxLines - 1) * 3 + 2)
        << "a point on the 151st row lies below the record";
}

TEST(strPositions, MaxRightIsTheWidestLineAsDrawn)
{
    DrawnLines rec = record(std::make_shared<ProportionalMeasurer>());
    rec.add(QStringLiteral("WW"), -20, 0, 0);   // scrolled: 28 - 20
    rec.add(QStringLiteral("a\tb"), 4, 3, Row); // tab to cell 4: 5 cells
    rec.add(QStringLiteral("iii"), 30, 6, 2 * Row);
    EXPECT_EQ(rec.maxRight(), 44);
}

TEST(strPositions, ANewMeasurerIsUsedForLinesAlreadyRecorded)
{
    DrawnLines rec = record(std::make_shared<FixedWidthMeasurer>(Cell, Row));
    rec.add(QStringLiteral("abcd"), 0, 0, 0);
    EXPECT_EQ(rec.posFromCoord(17, 2, true), 2); // measured with 8 px cells
    rec.setMeasuring(std::make_shared<FixedWidthMeasurer>(4, Row), {});
    EXPECT_EQ(rec.posFromCoord(17, 2, false), 4) << "edges measured again";
}

} // namespace
