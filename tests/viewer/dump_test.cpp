// The dump modes in the viewer: pixels of a row, hit testing of its cells,
// the selection over cells and characters, fitting the row to the window.
#include "viewerfixture.h"

#include "viewer/dumplayout.h"
#include "viewer/dumprenderer.h"
#include "viewer/qttextmeasurer.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {

class Dump : public ViewerFixture
{
protected:
    // "ABCDEFGHIJKLMNOP" then "QRS" and a TAB: a full row and a short one.
    void OpenHex(TQzBinHexMode mode = vbmodeHex, int columns = 80)
    {
        m_view->SetMode(mode);
        m_view->Open(Write("ABCDEFGHIJKLMNOPQRS\t", QStringLiteral("dump.bin")));
        ShowLines(4, columns);
    }
    int Col(int c) const { return m_view->TextLeft() + c * m_charWidth; }
    int Mid(int row) const { return row * m_lineHeight + m_lineHeight / 2; }
    bool HasColour(int x0, int x1, int row, const QColor &colour) const
    {
        const QImage &img = m_view->Bitmap();
        for (int y = row * m_lineHeight; y < (row + 1) * m_lineHeight; ++y)
            for (int x = x0; x < x1; ++x)
                if (img.pixelColor(x, y) == colour)
                    return true;
        return false;
    }
    bool OnlyColour(int x0, int x1, int row, const QColor &colour) const
    {
        const QImage &img = m_view->Bitmap();
        for (int y = row * m_lineHeight; y < (row + 1) * m_lineHeight; ++y)
            for (int x = x0; x < x1; ++x)
                if (img.pixelColor(x, y) != colour)
                    return false;
        return true;
    }
};

TEST_F(Dump, AHexRowHasItsOffsetCellsSeparatorsAndCharacters)
{
    OpenHex();
    const TStrPositions &rec = m_view->StrPositions();
    ASSERT_EQ(rec.Count(), 2);
    EXPECT_EQ(rec.At(0).Str, QStringLiteral("ABCDEFGHIJKLMNOP"));
    EXPECT_EQ(rec.At(0).X, Col(8 + 48 + 5));
    EXPECT_EQ(rec.At(1).Str, QStringLiteral("QRS."));
    EXPECT_EQ(rec.At(1).Pos, 16);

    for (const int c : {10, 35, 60}) {
        SCOPED_TRACE(c);
        EXPECT_EQ(m_view->Bitmap().pixelColor(Col(c) - 1, Mid(0)), m_view->TextColorLines);
    }
    // Digits: the first pair of each four in one colour, the second in the other.
    EXPECT_TRUE(HasColour(Col(11), Col(13), 0, m_view->TextColorHex));
    EXPECT_FALSE(HasColour(Col(11), Col(13), 0, m_view->TextColorHex2));
    EXPECT_TRUE(HasColour(Col(17), Col(19), 0, m_view->TextColorHex2));
    // The blank after a cell's digits, and the empty cells of the short row.
    EXPECT_TRUE(OnlyColour(Col(13), Col(14) - 1, 0, m_view->TextColorHexBack));
    EXPECT_TRUE(OnlyColour(Col(11 + 4 * 3), Col(34), 1, m_view->TextColorHexBack));
    // The offset in the text colour on the background.
    EXPECT_TRUE(HasColour(Col(0), Col(9), 0, Qt::black));
    EXPECT_TRUE(OnlyColour(Col(9) + 1, Col(10) - 2, 0, Qt::white));
}

TEST_F(Dump, APointOnACellOrACharacterGivesItsBoundary)
{
    OpenHex();
    const TStrPositions &rec = m_view->StrPositions();
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
        {"first cell, right half", Col(11) + half + 1, 0, true, 1},
        {"first cell, left half", Col(11) + 1, 0, false, 0},
        {"first cell, left half, strict", Col(11) + 1, 0, true, -1},
        {"first cell of the second half", Col(36) + half + 1, 0, true, 9},
        {"the gap before it", Col(35) + 1, 0, true, 8},
        {"the offset", Col(2), 1, false, 16},
        {"the offset, strict", Col(2), 1, true, -1},
        {"character C, left half", Col(61 + 2) + 1, 0, true, 2},
        {"an empty cell of the short row", Col(11 + 10 * 3) + half + 1, 1, true, 20},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rec.PosFromCoord(c.x, Mid(c.row), c.strict), c.expected);
    }
}

TEST_F(Dump, UnitCellsAreFiveCharactersWide)
{
    m_view->SetMode(vbmodeUHex);
    m_view->Open(Write(Utf16(QStringLiteral("ABCDEFGHIJ"), false), QStringLiteral("u.bin")));
    ShowLines(3, 80);
    const TStrPositions &rec = m_view->StrPositions();
    ASSERT_EQ(rec.Count(), 2);
    EXPECT_EQ(rec.At(0).Str, QStringLiteral("ABCDEFGH"));
    EXPECT_EQ(rec.At(0).X, Col(8 + 40 + 5));
    EXPECT_EQ(rec.At(1).Pos, 16);
    const int half = 5 * m_charWidth / 2;
    EXPECT_EQ(rec.PosFromCoord(Col(11 + 5) + half + 1, Mid(0), true), 4);
    EXPECT_EQ(rec.PosFromCoord(Col(11 + 4 * 5 + 1) + half + 1, Mid(0), true), 10);
    EXPECT_EQ(m_view->Bitmap().pixelColor(Col(31) - 1, Mid(0)), m_view->TextColorLines);
}

TEST_F(Dump, TheSelectionInvertsItsCellsAndItsCharacters)
{
    OpenHex();
    const QImage before = m_view->Bitmap().copy();
    m_view->SetSelection(2, 3, false, false, true);
    const QImage &after = m_view->Bitmap();
    auto changed = [&](int c) {
        return before.pixel(Col(c) + 1, Mid(0)) != after.pixel(Col(c) + 1, Mid(0));
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
        TQzBinHexMode mode;
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
        m_view = std::make_unique<TQzBinHex>();
        SetUp();
        m_view->SetTextWidthFit(true);
        m_view->SetTextWidthFitHex(true);
        m_view->SetTextWidthFitUHex(true);
        m_view->SetMode(c.mode);
        const QByteArray text(4000, 'z');
        m_view->Open(Write(c.mode == vbmodeUHex ? Utf16(QString::fromLatin1(text), false) : text,
                           QStringLiteral("fit.bin")));
        ShowLines(3, c.columns);
        const int width = c.mode == vbmodeHex    ? m_view->TextWidthHex()
                          : c.mode == vbmodeUHex ? m_view->TextWidthUHex()
                                                 : m_view->TextWidth();
        EXPECT_EQ(width, c.expected);
        EXPECT_EQ(m_view->StrPositions().At(1).Pos, m_view->BytesPerLine());
        if (c.expected > 2) {
            EXPECT_LE(m_view->StrPositions().MaxRight(), m_view->viewport()->width());
        }
    }
}

TEST_F(Dump, AddressesAreUnderlinedInTheCharactersAndTheGutterHasNoMarks)
{
    m_view->SetTextGutter(true);
    m_view->SetMode(vbmodeHex);
    m_view->Open(Write("xx www.example.com yy\n", QStringLiteral("url.bin")));
    ShowLines(3, 80);
    EXPECT_EQ(m_view->TextLeft(), 12);
    const QFontMetrics fm(m_view->Font().Font);
    const int y = fm.ascent() + fm.underlinePos();
    int count = 0;
    for (int x = 0; x < m_view->Bitmap().width(); ++x)
        count += m_view->Bitmap().pixelColor(x, y) == m_view->TextColorURL;
    EXPECT_EQ(count, 13 * m_charWidth); // "www.example.c" on the first row
    EXPECT_TRUE(OnlyColour(0, 10, 0, m_view->TextColorGutter));
    EXPECT_TRUE(OnlyColour(0, 10, 1, m_view->TextColorGutter));
}

// As the sub-strings filter does: every digit shown as "#", one character
// for one, so the map back to the bytes stays as it was.
class DigitsHidden final : public TQzLineDecorator
{
public:
    void Decorate(const TQzLogicalLine &line, const TQzDecorationContext &,
                  TQzLineDecoration &decoration) const override
    {
        QString text = line.Text;
        for (QChar &c : text)
            if (c.isDigit())
                c = u'#';
        decoration.Rewrite(text, line.Offsets);
    }
};

TEST_F(Dump, ARewriteOfTheCharactersShowsInTheCharacterColumnOnly)
{
    m_view->SetLineDecorators({std::make_shared<DigitsHidden>()});
    m_view->SetMode(vbmodeHex);
    m_view->Open(Write("A4b\n", QStringLiteral("rewrite.bin")));
    ShowLines(2, 80);
    const TStrPositions &rec = m_view->StrPositions();
    ASSERT_EQ(rec.Count(), 1);
    EXPECT_EQ(rec.At(0).Str, QStringLiteral("A#b."));
    // The cell still shows the byte: "34" is drawn, so its digits have ink.
    EXPECT_TRUE(HasColour(Col(14), Col(16), 0, m_view->TextColorHex));
    EXPECT_EQ(rec.PosFromCoord(Col(61 + 1) + 1, Mid(0), true), 1);
}

TEST_F(Dump, EveryShownStringPassesTheRewriteOnceAndALengthChangeIsRefused)
{
    m_view->SetMode(vbmodeHex);
    m_view->Open(Write("A4b\n", QStringLiteral("rewrite.bin")));
    const TQzDumpLayout layout =
        LayOutDump(m_view->Document(), TQzDumpGeometry::For(vbmodeHex, 8, 16, 8, 8), 0, 2, -1);
    for (const bool keepLength : {true, false}) {
        SCOPED_TRACE(keepLength);
        TQzRenderSetup setup;
        setup.Measurer = std::make_shared<QtTextMeasurer>(m_view->Font().Font);
        setup.Size = QSize(100 * m_charWidth, 3 * m_lineHeight);
        setup.LineHeight = m_lineHeight;
        std::vector<QString> seen;
        setup.DumpText = [&](const QString &text) {
            seen.push_back(text);
            return keepLength ? text.toLower() : text + u'!';
        };
        QImage image(setup.Size, QImage::Format_RGB32);
        QPainter painter(&image);
        TStrPositions record;
        record.Clear(1);
        TQzDumpRenderer(setup, m_charWidth).DrawRows(painter, layout, &record);
        EXPECT_EQ(seen, (std::vector<QString>{"00000000:", "41", "34", "62", "0A", "A4b."}));
        ASSERT_EQ(record.Count(), 1);
        EXPECT_EQ(record.At(0).Str, keepLength ? QStringLiteral("a4b.") : QStringLiteral("A4b."));
    }
}

// The viewer's dump filter reaches the offsets and cells; a row's characters
// that a decorator already rewrote (the sub-strings filter) are not passed
// through it a second time.
TEST_F(Dump, TheViewersDumpFilterTakesOffsetsAndCellsAndLeavesARewrittenRow)
{
    struct Upper final : TQzLineDecorator
    {
        void Decorate(const TQzLogicalLine &, const TQzDecorationContext &,
                      TQzLineDecoration &decoration) const override
        {
            decoration.Rewrite(decoration.Text.toUpper(), decoration.Offsets);
        }
    };
    for (const bool decorated : {false, true}) {
        SCOPED_TRACE(decorated);
        std::vector<QString> seen;
        m_view->DumpTextFilter = [&](const QString &text) {
            seen.push_back(text);
            return text == QStringLiteral("0A") ? QStringLiteral("##") : text;
        };
        m_view->SetLineDecorators(decorated ? TQzLineDecorators{std::make_shared<Upper>()}
                                            : TQzLineDecorators{});
        m_view->SetMode(vbmodeHex);
        m_view->Open(Write("a4b\n", QStringLiteral("filtered.bin")));
        ShowLines(2, 80);
        EXPECT_EQ(seen.front(), QStringLiteral("00000000:"));
        EXPECT_NE(std::find(seen.begin(), seen.end(), QStringLiteral("0A")), seen.end());
        EXPECT_EQ(std::find(seen.begin(), seen.end(), QStringLiteral("A4B.")), seen.end());
        EXPECT_EQ(std::find(seen.begin(), seen.end(), QStringLiteral("a4b.")) != seen.end(),
                  !decorated);
        ASSERT_EQ(m_view->StrPositions().Count(), 1);
        EXPECT_EQ(m_view->StrPositions().At(0).Str,
                  decorated ? QStringLiteral("A4B.") : QStringLiteral("a4b."));
    }
}

} // namespace
