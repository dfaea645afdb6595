// The dump modes in the viewer: pixels of a row, hit testing of its cells,
// the selection over cells and characters, fitting the row to the window.
#include "viewerfixture.h"

#include "viewer/dumplayout.h"
#include "viewer/dumprenderer.h"
#include "viewer/qttextmeasurer.h"
#include "common/viewoption.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {

class Dump : public ViewerFixture
{
protected:
    // "ABCDEFGHIJKLMNOP" then "QRS" and a TAB: a full row and a short one.
    void openHex(ViewMode mode = vbmodeHex, int columns = 80)
    {
        m_view->setMode(mode);
        m_view->open(write("ABCDEFGHIJKLMNOPQRS\t", QStringLiteral("dump.bin")));
        showLines(4, columns);
    }
    int col(int c) const { return m_view->textLeft() + c * m_charWidth; }
    int mid(int row) const { return row * m_lineHeight + m_lineHeight / 2; }
    bool hasColour(int x0, int x1, int row, const QColor &colour) const
    {
        const QImage &img = m_view->bitmap();
        for (int y = row * m_lineHeight; y < (row + 1) * m_lineHeight; ++y)
            for (int x = x0; x < x1; ++x)
                if (img.pixelColor(x, y) == colour)
                    return true;
        return false;
    }
    bool onlyColour(int x0, int x1, int row, const QColor &colour) const
    {
        const QImage &img = m_view->bitmap();
        for (int y = row * m_lineHeight; y < (row + 1) * m_lineHeight; ++y)
            for (int x = x0; x < x1; ++x)
                if (img.pixelColor(x, y) != colour)
                    return false;
        return true;
    }
};

TEST_F(Dump, AHexRowHasItsOffsetCellsSeparatorsAndCharacters)
{
    openHex();
    const DrawnLines &rec = m_view->strPositions();
    ASSERT_EQ(rec.count(), 2);
    EXPECT_EQ(rec.at(0).str, QStringLiteral("ABCDEFGHIJKLMNOP"));
    EXPECT_EQ(rec.at(0).X, col(8 + 48 + 5));
    EXPECT_EQ(rec.at(1).str, QStringLiteral("QRS."));
    EXPECT_EQ(rec.at(1).pos, 16);

    for (const int c : {10, 35, 60}) {
        SCOPED_TRACE(c);
        EXPECT_EQ(m_view->bitmap().pixelColor(col(c) - 1, mid(0)), m_view->options().colors.lines);
    }
    // Digits: the first pair of each four in one colour, the second in the other.
    EXPECT_TRUE(hasColour(col(11), col(13), 0, m_view->options().colors.hex));
    EXPECT_FALSE(hasColour(col(11), col(13), 0, m_view->options().colors.hex2));
    EXPECT_TRUE(hasColour(col(17), col(19), 0, m_view->options().colors.hex2));
    // The blank after a cell's digits, and the empty cells of the short row.
    EXPECT_TRUE(onlyColour(col(13), col(14) - 1, 0, m_view->options().colors.hexBack));
    EXPECT_TRUE(onlyColour(col(11 + 4 * 3), col(34), 1, m_view->options().colors.hexBack));
    // The offset in the text colour on the background.
    EXPECT_TRUE(hasColour(col(0), col(9), 0, Qt::black));
    EXPECT_TRUE(onlyColour(col(9) + 1, col(10) - 2, 0, Qt::white));
}

TEST_F(Dump, APointOnACellOrACharacterGivesItsBoundary)
{
    openHex();
    const DrawnLines &rec = m_view->strPositions();
    const int half = 3 * m_charWidth / 2;
    struct Case
    {
        const char *name;
        int x;
        int row;
        bool strict;
        qint64 expected;
    };
    const Case cases[] = {
        {"first cell, right half", col(11) + half + 1, 0, true, 1},
        {"first cell, left half", col(11) + 1, 0, false, 0},
        {"first cell, left half, strict", col(11) + 1, 0, true, -1},
        {"first cell of the second half", col(36) + half + 1, 0, true, 9},
        {"the gap before it", col(35) + 1, 0, true, 8},
        {"the offset", col(2), 1, false, 16},
        {"the offset, strict", col(2), 1, true, -1},
        {"character C, left half", col(61 + 2) + 1, 0, true, 2},
        {"an empty cell of the short row", col(11 + 10 * 3) + half + 1, 1, true, 20},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rec.posFromCoord(c.x, mid(c.row), c.strict), c.expected);
    }
}

TEST_F(Dump, UnitCellsAreFiveCharactersWide)
{
    m_view->setMode(vbmodeUHex);
    m_view->open(write(utf16(QStringLiteral("ABCDEFGHIJ"), false), QStringLiteral("u.bin")));
    showLines(3, 80);
    const DrawnLines &rec = m_view->strPositions();
    ASSERT_EQ(rec.count(), 2);
    EXPECT_EQ(rec.at(0).str, QStringLiteral("ABCDEFGH"));
    EXPECT_EQ(rec.at(0).X, col(8 + 40 + 5));
    EXPECT_EQ(rec.at(1).pos, 16);
    const int half = 5 * m_charWidth / 2;
    EXPECT_EQ(rec.posFromCoord(col(11 + 5) + half + 1, mid(0), true), 4);
    EXPECT_EQ(rec.posFromCoord(col(11 + 4 * 5 + 1) + half + 1, mid(0), true), 10);
    EXPECT_EQ(m_view->bitmap().pixelColor(col(31) - 1, mid(0)), m_view->options().colors.lines);
}

TEST_F(Dump, TheSelectionInvertsItsCellsAndItsCharacters)
{
    openHex();
    const QImage before = m_view->bitmap().copy();
    m_view->setSelection(2, 3, false, false, true);
    const QImage &after = m_view->bitmap();
    auto changed = [&](int c) {
        return before.pixel(col(c) + 1, mid(0)) != after.pixel(col(c) + 1, mid(0));
    };
    for (const int cell : {2, 3, 4}) {
        SCOPED_TRACE(cell);
        EXPECT_TRUE(changed(11 + 3 * cell + 2)); // the blank of the cell too
    }
    EXPECT_FALSE(changed(11 + 3 * 1 + 2));
    EXPECT_FALSE(changed(11 + 3 * 5));
    EXPECT_TRUE(changed(61 + 2));
    EXPECT_TRUE(changed(61 + 4));
    EXPECT_FALSE(changed(61 + 5));
    EXPECT_FALSE(changed(61 + 1));
}

TEST_F(Dump, RowsFitTheWindowWhenAsked)
{
    struct Case
    {
        const char *name;
        ViewMode mode;
        int columns;
        int expected;
    };
    // 8 offset digits: a hex row takes 13 + 4W characters, a unit row 13 + 6W.
    const Case cases[] = {
        {"hex, exactly 16", vbmodeHex, 77, 16},
        {"hex, one short of 16: down to a multiple of 4", vbmodeHex, 76, 12},
        {"hex, very narrow: at least 2", vbmodeHex, 12, 2},
        {"units, exactly 8", vbmodeUHex, 61, 8},
        {"units, one short", vbmodeUHex, 60, 4},
        {"binary, the window's characters", vbmodeBinary, 50, 50},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_view = std::make_unique<LogView>();
        SetUp();
        setOption(*m_view, &ViewOptions::textWidthFit, true);
        setOption(*m_view, &ViewOptions::textWidthFitHex, true);
        setOption(*m_view, &ViewOptions::textWidthFitUHex, true);
        m_view->setMode(c.mode);
        const QByteArray text(4000, 'z');
        m_view->open(write(c.mode == vbmodeUHex ? utf16(QString::fromLatin1(text), false) : text,
                           QStringLiteral("fit.bin")));
        showLines(3, c.columns);
        const int width = c.mode == vbmodeHex    ? m_view->options().textWidthHex
                          : c.mode == vbmodeUHex ? m_view->options().textWidthUHex
                                                 : m_view->options().textWidth;
        EXPECT_EQ(width, c.expected);
        EXPECT_EQ(m_view->strPositions().at(1).pos, m_view->bytesPerLine());
        if (c.expected > 2) {
            EXPECT_LE(m_view->strPositions().maxRight(), m_view->viewport()->width());
        }
    }
}

TEST_F(Dump, AddressesAreUnderlinedInTheCharactersAndTheGutterHasNoMarks)
{
    setOption(*m_view, &ViewOptions::textGutter, true);
    m_view->setMode(vbmodeHex);
    m_view->open(write("xx www.example.com yy\n", QStringLiteral("url.bin")));
    showLines(3, 80);
    EXPECT_EQ(m_view->textLeft(), 12);
    const QFontMetrics fm(m_view->options().font.font);
    const int y = fm.ascent() + fm.underlinePos();
    int count = 0;
    for (int x = 0; x < m_view->bitmap().width(); ++x)
        count += m_view->bitmap().pixelColor(x, y) == m_view->options().colors.url;
    EXPECT_EQ(count, 13 * m_charWidth); // "www.example.c" on the first row
    EXPECT_TRUE(onlyColour(0, 10, 0, m_view->options().colors.gutter));
    EXPECT_TRUE(onlyColour(0, 10, 1, m_view->options().colors.gutter));
}

// As the sub-strings filter does: every digit shown as "#", one character
// for one, so the map back to the bytes stays as it was.
class DigitsHidden final : public LineDecorator
{
public:
    void decorate(const LogicalLine &line, const DecorationContext &,
                  LineDecoration &decoration) const override
    {
        QString text = line.text;
        for (QChar &c : text)
            if (c.isDigit())
                c = u'#';
        decoration.rewrite(text, line.offsets);
    }
};

TEST_F(Dump, ARewriteOfTheCharactersShowsInTheCharacterColumnOnly)
{
    m_view->setLineDecorators({std::make_shared<DigitsHidden>()});
    m_view->setMode(vbmodeHex);
    m_view->open(write("A4b\n", QStringLiteral("rewrite.bin")));
    showLines(2, 80);
    const DrawnLines &rec = m_view->strPositions();
    ASSERT_EQ(rec.count(), 1);
    EXPECT_EQ(rec.at(0).str, QStringLiteral("A#b."));
    // The cell still shows the byte: "34" is drawn, so its digits have ink.
    EXPECT_TRUE(hasColour(col(14), col(16), 0, m_view->options().colors.hex));
    EXPECT_EQ(rec.posFromCoord(col(61 + 1) + 1, mid(0), true), 1);
}

TEST_F(Dump, EveryShownStringPassesTheRewriteOnceAndALengthChangeIsRefused)
{
    m_view->setMode(vbmodeHex);
    m_view->open(write("A4b\n", QStringLiteral("rewrite.bin")));
    const DumpLayout layout =
        layOutDump(m_view->document(), DumpGeometry::forMode(vbmodeHex, 8, 16, 8, 8), 0, 2, -1);
    for (const bool keepLength : {true, false}) {
        SCOPED_TRACE(keepLength);
        RenderSetup setup;
        setup.measurer = std::make_shared<QtTextMeasurer>(m_view->options().font.font);
        setup.size = QSize(100 * m_charWidth, 3 * m_lineHeight);
        setup.lineHeight = m_lineHeight;
        std::vector<QString> seen;
        setup.dumpText = [&](const QString &text) {
            seen.push_back(text);
            return keepLength ? text.toLower() : text + u'!';
        };
        QImage image(setup.size, QImage::Format_RGB32);
        QPainter painter(&image);
        DrawnLines record;
        record.clear(1);
        DumpRenderer(setup, m_charWidth).drawRows(painter, layout, &record);
        EXPECT_EQ(seen, (std::vector<QString>{"00000000:", "41", "34", "62", "0A", "A4b."}));
        ASSERT_EQ(record.count(), 1);
        EXPECT_EQ(record.at(0).str, keepLength ? QStringLiteral("a4b.") : QStringLiteral("A4b."));
    }
}

// The viewer's dump filter reaches the offsets and cells; a row's characters
// that a decorator already rewrote (the sub-strings filter) are not passed
// through it a second time.
TEST_F(Dump, TheViewersDumpFilterTakesOffsetsAndCellsAndLeavesARewrittenRow)
{
    struct Upper final : LineDecorator
    {
        void decorate(const LogicalLine &, const DecorationContext &,
                      LineDecoration &decoration) const override
        {
            decoration.rewrite(decoration.text.toUpper(), decoration.offsets);
        }
    };
    for (const bool decorated : {false, true}) {
        SCOPED_TRACE(decorated);
        std::vector<QString> seen;
        m_view->setDumpTextFilter([&](const QString &text) {
            seen.push_back(text);
            return text == QStringLiteral("0A") ? QStringLiteral("##") : text;
        });
        m_view->setLineDecorators(decorated ? LineDecorators{std::make_shared<Upper>()}
                                            : LineDecorators{});
        m_view->setMode(vbmodeHex);
        m_view->open(write("a4b\n", QStringLiteral("filtered.bin")));
        showLines(2, 80);
        EXPECT_EQ(seen.front(), QStringLiteral("00000000:"));
        EXPECT_NE(std::find(seen.begin(), seen.end(), QStringLiteral("0A")), seen.end());
        EXPECT_EQ(std::find(seen.begin(), seen.end(), QStringLiteral("A4B.")), seen.end());
        EXPECT_EQ(std::find(seen.begin(), seen.end(), QStringLiteral("a4b.")) != seen.end(),
                  !decorated);
        ASSERT_EQ(m_view->strPositions().count(), 1);
        EXPECT_EQ(m_view->strPositions().at(0).str,
                  decorated ? QStringLiteral("A4B.") : QStringLiteral("a4b."));
    }
}

} // namespace
