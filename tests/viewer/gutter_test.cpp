// The gutter: numbers for counted line starts every few lines, circles for
// the other line starts, nothing beside continued lines.
#include "viewerfixture.h"
#include "common/viewoption.h"

#include "viewer/backgroundjobs.h"

#include <QCoreApplication>

namespace {

enum class Cell { Empty, Circle, Number };

const char *name(Cell c)
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
        setOption(*m_view, &ViewOptions::fontGutter, {font, Qt::black});
        setOption(*m_view, &ViewOptions::textGutter, true);
    }
    // A circle is filled with the background (white); a number is ink on
    // the gutter colour only.
    Cell cellOf(int row) const
    {
        const QImage &img = m_view->bitmap();
        bool white = false, ink = false;
        for (int y = row * m_lineHeight; y < (row + 1) * m_lineHeight; ++y) {
            for (int x = 0; x < m_view->gutterWidth(); ++x) {
                const QColor c = img.pixelColor(x, y);
                white = white || c == QColor(Qt::white);
                ink = ink || c != m_view->options().colors.gutter;
            }
        }
        return white ? Cell::Circle : ink ? Cell::Number : Cell::Empty;
    }
    std::vector<Cell> cells(int rows) const
    {
        std::vector<Cell> cells;
        for (int i = 0; i < rows; ++i)
            cells.push_back(cellOf(i));
        return cells;
    }
    // Until the line index has handed its last result over.
    void waitForIndex()
    {
        for (int i = 0; i < 100 && m_view->lineIndexer().running(); ++i) {
            m_jobs.waitForDone();
            QCoreApplication::processEvents();
        }
        ASSERT_FALSE(m_view->lineIndexer().running());
    }
    // The number of the line holding pos in bytes, counted the slow way.
    static qint64 lineOf(const QByteArray &bytes, qint64 pos)
    {
        qint64 line = 1;
        for (qint64 i = 0; i < pos; ++i)
            line += bytes[i] == '\n' || (bytes[i] == '\r' && bytes[i + 1] != '\n');
        return line;
    }
    static std::vector<Cell> expected(int rows, const std::function<Cell(int line)> &f)
    {
        std::vector<Cell> cells;
        for (int line = 1; line <= rows; ++line)
            cells.push_back(f(line));
        return cells;
    }

    BackgroundJobs m_jobs; // outlives the view, which TearDown drops first
};

// With the jobs of a window the view numbers every line once indexed.
class IndexedGutter : public Gutter
{
protected:
    void SetUp() override
    {
        Gutter::SetUp();
        setOption(*m_view, &ViewOptions::textGutterLinesStep, 1);
        setOption(*m_view, &ViewOptions::textGutterLinesBufSize, 1024);
        m_view->setBackgroundJobs(&m_jobs);
    }
    // Every drawn row holds the number of its line, as the bytes have it.
    void expectExactRows(const QByteArray &bytes, int rows)
    {
        const DrawnLines &rec = m_view->strPositions();
        ASSERT_GE(rec.count(), rows);
        for (int i = 0; i < rows; ++i)
            EXPECT_EQ(m_view->lineNumberAt(rec.at(i).pos), lineOf(bytes, rec.at(i).pos))
                << "row " << i;
        EXPECT_EQ(cells(rows), std::vector<Cell>(size_t(rows), Cell::Number));
    }
};

void printTo(Cell c, std::ostream *os)
{
    *os << name(c);
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
        setOption(*m_view, &ViewOptions::textGutterLinesStep, c.step);
        setOption(*m_view, &ViewOptions::textGutterLines, c.numbers);
        setOption(*m_view, &ViewOptions::textGutterLinesCount, c.count);
        m_view->open(write(numberedLines(30), QString::fromLatin1(c.name) + ".log"));
        showLines(25);
        EXPECT_EQ(cells(25), expected(25, c.expected));
        if (!c.numbers) {
            EXPECT_EQ(m_view->gutterWidth(), 10);
        }
        EXPECT_EQ(m_view->textLeft(), m_view->gutterWidth() + 2);
    }
}

TEST_F(Gutter, IsAsWideAsTheLargestNumberItCanShow)
{
    m_view->open(write(numberedLines(100)));
    showLines(5);
    EXPECT_EQ(m_view->document().lineStarts().lineStartCount(),
              99); // the final break starts nothing
    EXPECT_EQ(
        m_view->gutterWidth(),
        std::max(10, QFontMetrics(m_view->options().fontGutter.font).horizontalAdvance("100") + 2));
    m_view->open(write("one line\n", QStringLiteral("short.log")));
    EXPECT_EQ(m_view->gutterWidth(), 10);
}

TEST_F(Gutter, LineBreaksOfEveryKindNumberTheSameLines)
{
    setOption(*m_view, &ViewOptions::textGutterLinesStep, 1);
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
        m_view->open(write(c.bytes, QString::fromLatin1(c.name)));
        showLines(6);
        const DrawnLines &rec = m_view->strPositions();
        ASSERT_EQ(rec.count(), 4);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(m_view->document().lineStarts().lineNumber(rec.at(i).pos), i + 1);
        EXPECT_EQ(cells(4), std::vector<Cell>(4, Cell::Number));
    }
}

TEST_F(Gutter, UnicodeLinesAreNumberedByTheirUnits)
{
    setOption(*m_view, &ViewOptions::textGutterLinesStep, 1);
    m_view->setMode(vbmodeUnicode);
    // U+0A0D has the byte values of CR and LF but is no break.
    m_view->open(write(utf16(QStringLiteral("a\u0A0Db\nc\r\nd\n"), false)));
    showLines(5);
    EXPECT_EQ(m_view->document().lineStarts().lineStartCount(), 2);
    EXPECT_EQ(cells(3), std::vector<Cell>(3, Cell::Number));
    EXPECT_EQ(m_view->document().lineStarts().lineNumber(8), 2);
}

TEST_F(Gutter, OnlyListedExtensionsGetNumbers)
{
    setOption(*m_view, &ViewOptions::textGutterLinesExtUse, true);
    setOption(*m_view, &ViewOptions::textGutterLinesExtList, "txt,LOG");
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
            QDir(m_files.dir()).mkdir(dir);
        m_view->open(write(numberedLines(10), QString::fromLatin1(c.name)));
        showLines(6);
        EXPECT_EQ(m_view->linesUsable(), c.usable);
        EXPECT_EQ(cellOf(4), c.usable ? Cell::Number : Cell::Circle);
    }
    setOption(*m_view, &ViewOptions::textGutterLinesExtUse, false);
    EXPECT_TRUE(m_view->linesUsable());
    m_view->setMode(vbmodeHex);
    EXPECT_FALSE(m_view->linesUsable());
}

TEST_F(Gutter, AContinuedLineHasAnEmptyCell)
{
    setOption(*m_view, &ViewOptions::textGutterLinesStep, 1);
    m_view->setMaxLengths(vbmodeText, 10);
    m_view->open(write(QByteArray(25, 'x') + "\nend\n"));
    showLines(5);
    EXPECT_EQ(cells(4), (std::vector<Cell>{Cell::Number, Cell::Empty, Cell::Empty, Cell::Number}));
}

TEST_F(Gutter, NumbersFollowAGrowingFileAndNeverLieBeyondTheCount)
{
    setOption(*m_view, &ViewOptions::textGutterLinesStep, 1);
    const QString path = write("a\nb\nc");
    m_view->open(path);
    showLines(6);
    // The last line has no break yet: line 3 is counted, nothing after it.
    EXPECT_EQ(cells(4), (std::vector<Cell>{Cell::Number, Cell::Number, Cell::Number, Cell::Empty}));
    m_files.append(path, "c\nd\r");
    m_view->reload();
    // A CR at the end may be the first half of a CR LF: no line 5 yet.
    EXPECT_EQ(cells(5), (std::vector<Cell>{Cell::Number, Cell::Number, Cell::Number, Cell::Number,
                                           Cell::Empty}));
    m_files.append(path, "\ne\n");
    m_view->reload();
    EXPECT_EQ(m_view->document().lineStarts().lineNumber(m_view->strPositions().at(4).pos), 5);
    EXPECT_EQ(cellOf(4), Cell::Number);
}

TEST_F(Gutter, TheTableCoversTheFirstBytesOnlyAndSurvivesAWindowBeyondThem)
{
    setOption(*m_view, &ViewOptions::textGutterLinesStep, 1);
    setOption(*m_view, &ViewOptions::textGutterLinesBufSize, 1024); // some 128 lines of 8 bytes
    m_view->open(write(numberedLines(60000)));
    showLines(4);
    const int counted = m_view->document().lineStarts().lineStartCount();
    EXPECT_GT(counted, 100);
    EXPECT_LT(counted, 140);
    m_view->scrollTo(300000);
    EXPECT_EQ(cells(4), std::vector<Cell>(4, Cell::Circle));
    EXPECT_EQ(m_view->document().lineStarts().lineStartCount(), counted);
    m_view->scrollToBegin();
    EXPECT_EQ(cells(4), std::vector<Cell>(4, Cell::Number));
}

// Bytes rewritten in place while the viewer is elsewhere in the counted
// range: coming back reads them anew, and the numbers must be theirs.
TEST_F(Gutter, NumbersFollowBytesRewrittenSinceAnEarlierCount)
{
    setOption(*m_view, &ViewOptions::textGutterLinesStep, 1);
    setOption(*m_view, &ViewOptions::textGutterLinesBufSize, 1 << 20);
    setOption(*m_view, &ViewOptions::textGutterLinesCount, 100000);
    const QString path = write(numberedLines(60000));
    m_view->open(path);
    showLines(4);
    m_view->scrollTo(300000);
    ASSERT_GT(m_view->document().lineStarts().lineNumber(m_view->strPositions().at(1).pos), 30000);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.write("l\nine001line002\n"); // as long as "line001\nline002\n"
    }
    m_view->scrollToBegin();
    const DrawnLines &rec = m_view->strPositions();
    ASSERT_EQ(rec.at(1).pos, 2);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(m_view->document().lineStarts().lineNumber(rec.at(i).pos), i + 1) << "row " << i;
    EXPECT_EQ(cells(4), std::vector<Cell>(4, Cell::Number));
}

TEST_F(Gutter, NumbersSwitchedOnAfterOpeningShowAtTheNextDrawing)
{
    setOption(*m_view, &ViewOptions::textGutterLines, false);
    setOption(*m_view, &ViewOptions::textGutterLinesStep, 1);
    m_view->open(write(numberedLines(10)));
    showLines(4);
    EXPECT_EQ(m_view->document().lineStarts().lineStartCount(), 0);
    setOption(*m_view, &ViewOptions::textGutterLines, true);
    m_view->redraw();
    EXPECT_EQ(cells(4), std::vector<Cell>(4, Cell::Number));
}

// Far past the counted first bytes, lines get their exact numbers once the
// index covers them, and only then.
TEST_F(IndexedGutter, NumbersAnywhereOnceIndexed)
{
    const QByteArray bytes = numberedLines(60000);
    m_view->open(write(bytes));
    showLines(4);
    waitForIndex();
    m_view->scrollTo(300000);
    expectExactRows(bytes, 4);
    EXPECT_EQ(m_view->shownLineNumber(), lineOf(bytes, m_view->viewPos()));
    m_view->scrollToEnd();
    expectExactRows(bytes, 3);
}

// Appended lines extend the index; a file cut and written anew drops it at
// once (no number from the old bytes) and is indexed afresh.
TEST_F(IndexedGutter, FollowsGrowthAndDropsAStaleIndex)
{
    QByteArray bytes = numberedLines(20000);
    const QString path = write(bytes);
    m_view->open(path);
    showLines(4);
    waitForIndex();
    const QByteArray more = "x\r\ny\rz\n";
    m_files.append(path, more.repeated(1000));
    bytes += more.repeated(1000);
    m_view->reload();
    waitForIndex();
    m_view->scrollToEnd();
    expectExactRows(bytes, 3);

    // Shorter lines: the old index would put the end in a higher line.
    bytes = QByteArray("a\n").repeated(30000);
    write(bytes);
    m_view->reload();
    m_view->scrollToEnd();
    const qint64 end = m_view->strPositions().at(1).pos;
    const qint64 before = m_view->lineNumberAt(end);
    EXPECT_TRUE(before == 0 || before == lineOf(bytes, end)) << before;
    waitForIndex();
    m_view->redraw();
    expectExactRows(bytes, 3);
}

// The index counts in the units the file is shown in; choosing the other
// byte order counts it anew.
TEST_F(IndexedGutter, Utf16InTheByteOrderShown)
{
    QByteArray text;
    for (int i = 0; i < 3000; ++i)
        text += "line " + QByteArray::number(i) + "\r\n";
    const QByteArray le = utf16(QString::fromLatin1(text), false);
    m_view->open(write(le));
    m_view->setMode(vbmodeUnicode);
    m_view->setUnicodeOrder(unicodeOrderLittle);
    showLines(4);
    waitForIndex();
    m_view->scrollTo(le.size() / 10 * 9);
    const DrawnLines &rec = m_view->strPositions();
    ASSERT_GE(rec.count(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(m_view->lineNumberAt(rec.at(i).pos), 1 + text.left(rec.at(i).pos / 2).count('\n'))
            << "row " << i;
    // Big-endian, these bytes hold no breaks at all.
    m_view->setUnicodeOrder(unicodeOrderBig);
    waitForIndex();
    m_view->redraw();
    EXPECT_EQ(m_view->lineNumberAt(le.size() / 2), 1);
}

} // namespace
