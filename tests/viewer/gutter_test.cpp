// The gutter: numbers for counted line starts every few lines, circles for
// the other line starts, nothing beside continued lines.
#include "viewerfixture.h"

namespace {

enum class Cell { Empty, Circle, Number };

const char *Name(Cell c)
{
    return c == Cell::Empty ? "empty" : c == Cell::Circle ? "circle" : "number";
}

class Gutter : public ViewerFixture
{
protected:
    void SetUp() override
    {
        ViewerFixture::SetUp();
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(10);
        m_view->SetFontGutter({font, Qt::black});
        m_view->SetTextGutter(true);
    }
    // A circle is filled with the background (white); a number is ink on
    // the gutter colour only.
    Cell CellOf(int row) const
    {
        const QImage &img = m_view->Bitmap();
        bool white = false, ink = false;
        for (int y = row * m_lineHeight; y < (row + 1) * m_lineHeight; ++y) {
            for (int x = 0; x < m_view->GutterWidth(); ++x) {
                const QColor c = img.pixelColor(x, y);
                white = white || c == QColor(Qt::white);
                ink = ink || c != m_view->TextColorGutter;
            }
        }
        return white ? Cell::Circle : ink ? Cell::Number : Cell::Empty;
    }
    std::vector<Cell> Cells(int rows) const
    {
        std::vector<Cell> cells;
        for (int i = 0; i < rows; ++i)
            cells.push_back(CellOf(i));
        return cells;
    }
    static std::vector<Cell> Expected(int rows, const std::function<Cell(int line)> &f)
    {
        std::vector<Cell> cells;
        for (int line = 1; line <= rows; ++line)
            cells.push_back(f(line));
        return cells;
    }
};

void PrintTo(Cell c, std::ostream *os)
{
    *os << Name(c);
}

TEST_F(Gutter, NumbersEveryStepAndCirclesElsewhere)
{
    struct Case
    {
        const char *name;
        int step;
        bool numbers;
        int count;
        std::function<Cell(int)> expected;
    };
    const Case cases[] = {
        {"every fifth line", 5, true, 2000,
         [](int line) { return line % 5 == 0 ? Cell::Number : Cell::Circle; }},
        {"every line", 1, true, 2000, [](int) { return Cell::Number; }},
        {"numbers off", 1, false, 2000, [](int) { return Cell::Circle; }},
        {"room for ten lines", 1, true, 10,
         [](int line) { return line <= 10 ? Cell::Number : Cell::Circle; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_view->SetTextGutterLinesStep(c.step);
        m_view->SetTextGutterLines(c.numbers);
        m_view->SetTextGutterLinesCount(c.count);
        m_view->Open(Write(NumberedLines(30), QString::fromLatin1(c.name) + ".log"));
        ShowLines(25);
        EXPECT_EQ(Cells(25), Expected(25, c.expected));
        if (!c.numbers) {
            EXPECT_EQ(m_view->GutterWidth(), 10);
        }
        EXPECT_EQ(m_view->TextLeft(), m_view->GutterWidth() + 2);
    }
}

TEST_F(Gutter, IsAsWideAsTheLargestNumberItCanShow)
{
    m_view->Open(Write(NumberedLines(100)));
    ShowLines(5);
    EXPECT_EQ(m_view->LineStartCount(), 99); // the final break starts nothing
    EXPECT_EQ(m_view->GutterWidth(),
              std::max(10, QFontMetrics(m_view->FontGutter().Font).horizontalAdvance("100") + 2));
    m_view->Open(Write("one line\n", QStringLiteral("short.log")));
    EXPECT_EQ(m_view->GutterWidth(), 10);
}

TEST_F(Gutter, LineBreaksOfEveryKindNumberTheSameLines)
{
    m_view->SetTextGutterLinesStep(1);
    struct Case
    {
        const char *name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"lf", "a\nb\nc\nd\n"},
        {"crlf", "a\r\nb\r\nc\r\nd\r\n"},
        {"lone cr in crlf", "a\r\nb\rc\r\nd\r\n"},
        {"cr only", "a\rb\rc\rd\r"},
        {"nothing but crs", "\r\r\r\r"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_view->Open(Write(c.bytes, QString::fromLatin1(c.name)));
        ShowLines(6);
        const TStrPositions &rec = m_view->StrPositions();
        ASSERT_EQ(rec.Count(), 4);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(m_view->LineNumber(rec.At(i).Pos), i + 1);
        EXPECT_EQ(Cells(4), std::vector<Cell>(4, Cell::Number));
    }
}

TEST_F(Gutter, UnicodeLinesAreNumberedByTheirUnits)
{
    m_view->SetTextGutterLinesStep(1);
    m_view->SetMode(vbmodeUnicode);
    // U+0A0D has the byte values of CR and LF but is no break.
    m_view->Open(Write(Utf16(QStringLiteral("a\u0A0Db\nc\r\nd\n"), false)));
    ShowLines(5);
    EXPECT_EQ(m_view->LineStartCount(), 2);
    EXPECT_EQ(Cells(3), std::vector<Cell>(3, Cell::Number));
    EXPECT_EQ(m_view->LineNumber(8), 2);
}

TEST_F(Gutter, OnlyListedExtensionsGetNumbers)
{
    m_view->SetTextGutterLinesExtUse(true);
    m_view->SetTextGutterLinesExtList("txt,LOG");
    const struct
    {
        const char *name;
        bool usable;
    } cases[] = {
        {"a.log", true},     {"A.LOG", true},         {"a.txt", true},
        {"a.csv", false},    {"noext", false},        {"a.lo", false},
        {"a.log.gz", false}, {"dir.log/file", false}, {"a.", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString dir =
            QString::fromLatin1(c.name).contains('/') ? QStringLiteral("dir.log") : QString();
        if (!dir.isEmpty())
            QDir(m_files.Dir()).mkdir(dir);
        m_view->Open(Write(NumberedLines(10), QString::fromLatin1(c.name)));
        ShowLines(6);
        EXPECT_EQ(m_view->LinesUsable(), c.usable);
        EXPECT_EQ(CellOf(4), c.usable ? Cell::Number : Cell::Circle);
    }
    m_view->SetTextGutterLinesExtUse(false);
    EXPECT_TRUE(m_view->LinesUsable());
    m_view->SetMode(vbmodeHex);
    EXPECT_FALSE(m_view->LinesUsable());
}

TEST_F(Gutter, AContinuedLineHasAnEmptyCell)
{
    m_view->SetTextGutterLinesStep(1);
    m_view->SetMaxLengths(vbmodeText, 10);
    m_view->Open(Write(QByteArray(25, 'x') + "\nend\n"));
    ShowLines(5);
    EXPECT_EQ(Cells(4), (std::vector<Cell>{Cell::Number, Cell::Empty, Cell::Empty, Cell::Number}));
}

TEST_F(Gutter, NumbersFollowAGrowingFileAndNeverLieBeyondTheCount)
{
    m_view->SetTextGutterLinesStep(1);
    const QString path = Write("a\nb\nc");
    m_view->Open(path);
    ShowLines(6);
    // The last line has no break yet: line 3 is counted, nothing after it.
    EXPECT_EQ(Cells(4), (std::vector<Cell>{Cell::Number, Cell::Number, Cell::Number, Cell::Empty}));
    m_files.Append(path, "c\nd\r");
    m_view->Reload();
    // A CR at the end may be the first half of a CR LF: no line 5 yet.
    EXPECT_EQ(Cells(5), (std::vector<Cell>{Cell::Number, Cell::Number, Cell::Number, Cell::Number,
                                           Cell::Empty}));
    m_files.Append(path, "\ne\n");
    m_view->Reload();
    EXPECT_EQ(m_view->LineNumber(m_view->StrPositions().At(4).Pos), 5);
    EXPECT_EQ(CellOf(4), Cell::Number);
}

TEST_F(Gutter, TheTableCoversTheFirstBytesOnlyAndSurvivesAWindowBeyondThem)
{
    m_view->SetTextGutterLinesStep(1);
    m_view->SetTextGutterLinesBufSize(1024); // some 128 lines of 8 bytes
    m_view->Open(Write(NumberedLines(60000)));
    ShowLines(4);
    const int counted = m_view->LineStartCount();
    EXPECT_GT(counted, 100);
    EXPECT_LT(counted, 140);
    m_view->ScrollTo(300000);
    EXPECT_EQ(Cells(4), std::vector<Cell>(4, Cell::Circle));
    EXPECT_EQ(m_view->LineStartCount(), counted);
    m_view->ScrollToBegin();
    EXPECT_EQ(Cells(4), std::vector<Cell>(4, Cell::Number));
}

// Bytes rewritten in place while the viewer is elsewhere in the counted
// range: coming back reads them anew, and the numbers must be theirs.
TEST_F(Gutter, NumbersFollowBytesRewrittenSinceAnEarlierCount)
{
    m_view->SetTextGutterLinesStep(1);
    m_view->SetTextGutterLinesBufSize(1 << 20);
    m_view->SetTextGutterLinesCount(100000);
    const QString path = Write(NumberedLines(60000));
    m_view->Open(path);
    ShowLines(4);
    m_view->ScrollTo(300000);
    ASSERT_GT(m_view->LineNumber(m_view->StrPositions().At(1).Pos), 30000);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.write("l\nine001line002\n"); // as long as "line001\nline002\n"
    }
    m_view->ScrollToBegin();
    const TStrPositions &rec = m_view->StrPositions();
    ASSERT_EQ(rec.At(1).Pos, 2);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(m_view->LineNumber(rec.At(i).Pos), i + 1) << "row " << i;
    EXPECT_EQ(Cells(4), std::vector<Cell>(4, Cell::Number));
}

TEST_F(Gutter, NumbersSwitchedOnAfterOpeningShowAtTheNextDrawing)
{
    m_view->SetTextGutterLines(false);
    m_view->SetTextGutterLinesStep(1);
    m_view->Open(Write(NumberedLines(10)));
    ShowLines(4);
    EXPECT_EQ(m_view->LineStartCount(), 0);
    m_view->SetTextGutterLines(true);
    m_view->Redraw();
    EXPECT_EQ(Cells(4), std::vector<Cell>(4, Cell::Number));
}

} // namespace
