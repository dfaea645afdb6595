#include "viewer/linereader.h"
#include "viewer/outputprep.h"
#include "viewer/drawnlines.h"
#include "viewer/textmeasurer.h"
#include "viewer/viewdocument.h"
#include "common/encodingarg.h"

#include "testfiles.h"

#include "text/codepages.h"

namespace {

class LineReaderTest : public ::testing::Test
{
protected:
    void open(const QByteArray &bytes, int maxLength = 300, ViewMode mode = vbmodeText,
              Encoding encoding = encodingAnsi)
    {
        m_doc.textEncoding = encoding;
        m_doc.setModeValue(mode);
        m_doc.maxLengths[mode] = maxLength;
        ASSERT_EQ(m_doc.openFile(m_files.write(QStringLiteral("f"), bytes)),
                  ViewDocument::OpenResult::Ok);
    }
    LineReader reader() const { return LineReader(m_doc, m_wrap); }
    // Line starts walking forward from 0.
    std::vector<qint64> starts() const
    {
        std::vector<qint64> starts;
        for (qint64 p = 0; p >= 0 && starts.size() < 100;
             p = reader().nextLineStart(p, true, false))
            starts.push_back(p);
        return starts;
    }
    std::vector<QString> texts() const
    {
        std::vector<QString> texts;
        for (qint64 p = 0; p >= 0 && texts.size() < 100;) {
            ScreenLine line = reader().readForward(p);
            texts.push_back(line.text);
            p = line.nextPos;
        }
        return texts;
    }
    void wrap(int chars)
    {
        m_wrap.wrap = true;
        m_wrap.availableWidth = chars * 8;
        m_wrap.measurer = &m_measurer;
    }

    TempFiles m_files;
    ViewDocument m_doc;
    FixedWidthMeasurer m_measurer{8, 16};
    WrapContext m_wrap;
};

TEST_F(LineReaderTest, LineBreaks)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
        std::vector<qint64> starts;
    } cases[] = {
        {"CR LF ends one line", "a\r\nb", {0, 3}},
        {"LF CR ends two", "a\n\rb", {0, 2, 3}},
        {"a lone CR ends a line", "a\rb", {0, 2}},
        {"a final break starts no further line", "a\nb\n", {0, 2}},
        {"empty lines", "\n\n\n", {0, 1, 2}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.bytes);
        EXPECT_EQ(starts(), c.starts);
    }
}

TEST_F(LineReaderTest, OverlongLinesAreCutAtMaxLength)
{
    open(QByteArray(1000, 'x'), 300);
    EXPECT_EQ(starts(), (std::vector<qint64>{0, 300, 600, 900}));
    // One line up inside an overlong line lands MaxLength - 1 back.
    EXPECT_EQ(reader().nextLineStart(300, false, false), 1);
}

TEST_F(LineReaderTest, OverlongLinesAreCutAtWholeCharacters)
{
    const QString a299(299, QLatin1Char('a'));
    const struct
    {
        const char *name;
        ViewMode mode;
        EncodingArg encoding;
        int maxLength;
        QByteArray bytes;
        std::vector<QString> texts;
    } cases[] = {
        {"UTF-8 two-byte character at the cut",
         vbmodeText,
         entryOf(65001),
         300,
         (a299 + QStringLiteral("é")).toUtf8(),
         {a299, QStringLiteral("é")}},
        {"UTF-8 four-byte character at the cut",
         vbmodeText,
         entryOf(65001),
         300,
         (a299.left(298) + QStringLiteral("\U0001F600b")).toUtf8(),
         {a299.left(298), QStringLiteral("\U0001F600b")}},
        {"a cut between characters stays at MaxLength",
         vbmodeText,
         entryOf(65001),
         300,
         (a299 + QStringLiteral("aé")).toUtf8(),
         {a299 + QLatin1Char('a'), QStringLiteral("é")}},
        {"Shift-JIS double-byte character",
         vbmodeText,
         entryOf(932),
         300,
         a299.toLatin1() + "\x82\xA0",
         {a299, QStringLiteral("あ")}},
        {"GBK double-byte character",
         vbmodeText,
         entryOf(936),
         300,
         a299.toLatin1() + "\xB0\xA1",
         {a299, QStringLiteral("啊")}},
        {"UTF-16 surrogate pair",
         vbmodeUnicode,
         0,
         300,
         utf16(a299 + QStringLiteral("\U0001F600"), false),
         {a299, QStringLiteral("\U0001F600")}},
        {"a character longer than MaxLength is kept whole",
         vbmodeText,
         entryOf(65001),
         2,
         QStringLiteral("€€").toUtf8(),
         {QStringLiteral("€"), QStringLiteral("€")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.bytes, c.maxLength, c.mode, c.encoding);
        EXPECT_EQ(texts(), c.texts);
    }
}

TEST_F(LineReaderTest, UpInsideAnOverlongLineLandsOnAWholeCharacter)
{
    const struct
    {
        const char *name;
        ViewMode mode;
        EncodingArg encoding;
        QByteArray bytes;
    } cases[] = {
        {"UTF-8", vbmodeText, entryOf(65001), QString(400, QChar(0xE9)).toUtf8()},
        {"UTF-16 surrogate pairs", vbmodeUnicode, 0,
         utf16(QString(200, QLatin1Char('x')) + QStringLiteral("\U0001F600").repeated(400), false)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.bytes, 300, c.mode, c.encoding);
        for (const qint64 start : starts()) {
            const qint64 up = reader().nextLineStart(start, false, false);
            if (up < 0)
                continue;
            const QString text = reader().readForward(up).text;
            EXPECT_FALSE(text.contains(QChar(QChar::ReplacementCharacter)) ||
                         text.front().isLowSurrogate())
                << "up from " << start << " to " << up;
        }
    }
}

TEST_F(LineReaderTest, WindowHoldsAFullScreenOfLongLinesWithTheirBreaks)
{
    // The view may start anywhere in the first two thirds of the window; from
    // its last line start there, a screen of the longest lines with CR LF and
    // the start of the line after them must still be inside the window.
    const struct
    {
        ViewMode mode;
        int maxLength;
    } cases[] = {{vbmodeText, 2},    {vbmodeText, 100},    {vbmodeText, 300},
                 {vbmodeText, 2048}, {vbmodeUnicode, 100}, {vbmodeUnicode, 2048}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", MaxLength " << c.maxLength);
        const QString line = QString(c.maxLength, QLatin1Char('x')) + QStringLiteral("\r\n");
        const QByteArray lineBytes = c.mode == vbmodeUnicode ? utf16(line, false) : line.toLatin1();
        QByteArray bytes;
        while (bytes.size() < 4 * 3 * 151 * lineBytes.size())
            bytes += lineBytes;
        open(bytes, c.maxLength, c.mode);
        ASSERT_EQ(m_doc.bufferPos(), 0);
        const qint64 step = lineBytes.size();
        qint64 p = (2 * m_doc.bufMaxOffset() - 1) / step * step;
        m_doc.readBuffer(p);
        ASSERT_EQ(m_doc.bufferPos(), 0) << "the window does not move for this position";
        for (int i = 0; i < maxScreenLines; ++i) {
            const ScreenLine row = reader().readForward(p);
            ASSERT_EQ(row.text.size(), c.maxLength) << "row " << i;
            ASSERT_EQ(row.nextPos, p + step) << "row " << i;
            p = row.nextPos;
        }
    }
}

TEST_F(LineReaderTest, Iso2022EscapesReachTheDecoder)
{
    const struct
    {
        int codepage;
        QByteArray bytes;
        QString text;
    } cases[] = {
        {50220, "a\x1B$B$\"$$\x1B(Bb", QStringLiteral("aあいb")},
        {50221, "a\x1B$B$\"$$\x1B(Bb", QStringLiteral("aあいb")},
        {50222, "a\x1B$B$\"$$\x1B(Bb", QStringLiteral("aあいb")},
        {50225,
         "\x1B$)Ca\x0E\x30\x21\x0F"
         "b",
         QStringLiteral("a가b")},
        {50227,
         "\x1B$)Aa\x0E\x30\x21\x0F"
         "b",
         QStringLiteral("a啊b")},
        {50229,
         "\x1B$)Aa\x0E\x30\x21\x0F"
         "b",
         QStringLiteral("a啊b")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.codepage);
        open(c.bytes + "\n", 300, vbmodeText, entryOf(c.codepage));
        const ScreenLine line = reader().readForward(0);
        EXPECT_EQ(line.text, c.text);
        EXPECT_EQ(line.nextPos, -1);
    }
}

TEST_F(LineReaderTest, MovingUp)
{
    open("ab\r\ncd\n\nef");
    const auto r = reader();
    EXPECT_EQ(r.nextLineStart(4, false, false), 0) << "second line up to the first";
    EXPECT_EQ(r.nextLineStart(0, false, false), -1)
        << "no line before the first (the view then stays at 0)";
    EXPECT_EQ(r.nextLineStart(8, false, false), 7) << "onto the empty line";
    EXPECT_EQ(r.nextLineStart(7, false, false), 4) << "then the line before it";
    // From inside a line, staying at start finds that line's start.
    EXPECT_EQ(r.nextLineStart(5, false, true), 4);
    EXPECT_EQ(r.nextLineStart(3, false, true), 0) << "the LF of CR LF belongs to the line before";
}

TEST_F(LineReaderTest, LfCrHoldsAnEmptyLine)
{
    open("a\n\rb");
    const auto r = reader();
    EXPECT_EQ(r.nextLineStart(3, false, false), 2);
    EXPECT_EQ(r.nextLineStart(2, false, false), 0);
}

TEST_F(LineReaderTest, UnicodeModeWalksInUnits)
{
    open(QByteArray("a\0\r\0\n\0b\0", 8), 300, vbmodeUnicode);
    EXPECT_EQ(starts(), (std::vector<qint64>{0, 6}));
    EXPECT_EQ(reader().nextLineStart(7, false, true), 6) << "odd positions are lowered to even";
}

TEST_F(LineReaderTest, WordWrap)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
        int chars;
        std::vector<QString> texts;
    } cases[] = {
        {"cut after the last space that fits, space dropped",
         "aaa bbb ccc",
         6,
         {QStringLiteral("aaa"), QStringLiteral("bbb"), QStringLiteral("ccc")}},
        {"a backslash stays",
         "ab\\cdefgh",
         4,
         {QStringLiteral("ab\\"), QStringLiteral("cdef"), QStringLiteral("gh")}},
        {"no break: after the last character that fits",
         "abcdefgh",
         3,
         {QStringLiteral("abc"), QStringLiteral("def"), QStringLiteral("gh")}},
        {"narrower than one character keeps one",
         "abc",
         0,
         {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
        {"a line that fits is not cut", "abc def", 7, {QStringLiteral("abc def")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.bytes);
        wrap(c.chars);
        EXPECT_EQ(texts(), c.texts);
    }
}

TEST_F(LineReaderTest, WrappedRowsMoveUpWhereDownWent)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
        int chars;
    } cases[] = {
        {"four words, ten wide", "aaaa bbbb cccc dddd", 10},
        {"several lines and an empty one", "aaaa bbbb cccc dddd\r\nee ff gg\n\nhhhhhhhhhhhhh i", 6},
        {"no break characters", "abcdefghijklmnopqrstuvwxyz", 4},
        {"tabs and backslashes", "ab\tcd\\ef gh\tij\\kl", 5},
        {"narrower than one character", "abc\nde", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.bytes);
        wrap(c.chars);
        const std::vector<qint64> expected = starts();
        const auto r = reader();
        for (size_t i = 1; i < expected.size(); ++i)
            EXPECT_EQ(r.nextLineStart(expected[i], false, false), expected[i - 1])
                << "up from the row at " << expected[i];
        // From inside a row, staying at the start finds that row.
        for (qint64 p = 0; p < c.bytes.size(); ++p) {
            if (c.bytes[p] == '\r' || c.bytes[p] == '\n')
                continue;
            const qint64 row = *(std::upper_bound(expected.begin(), expected.end(), p) - 1);
            EXPECT_EQ(r.nextLineStart(p, false, true), row) << "from " << p;
        }
    }
}

TEST_F(LineReaderTest, WrapMeasuresDecodedUtf8)
{
    // Six two-byte letters fit six columns: measuring bytes would cut at three.
    m_doc.textEncoding = encodingUtf8;
    open(QStringLiteral("ЖЖЖЖЖЖ ЖЖ").toUtf8());
    wrap(6);
    EXPECT_EQ(texts(), (std::vector<QString>{QStringLiteral("ЖЖЖЖЖЖ"), QStringLiteral("ЖЖ")}));
}

TEST(OutputPrep, TabsAndMarkers)
{
    OutputOptions mono;
    mono.fontMonospaced = true;
    mono.tabSize = 8;
    OutputOptions prop = mono;
    prop.fontMonospaced = false;
    OutputOptions shown = mono;
    shown.showNonPrintable = true;
    shown.showEol = true;
    const struct
    {
        const char *name;
        QString text;
        OutputOptions options;
        QString prepared;
    } cases[] = {
        {"tab stops every 8 columns", QStringLiteral("a\tb"), mono, QStringLiteral("a       b")},
        {"a tab at the start is 8", QStringLiteral("\tb"), mono, QStringLiteral("        b")},
        {"proportional: always 8", QStringLiteral("abc\tb"), prop, QStringLiteral("abc        b")},
        {"markers", QStringLiteral("a b\tc"), shown,
         QStringLiteral("a\u00B7b") + QStringLiteral("  \u00BB  ") + QStringLiteral("c\u00B6")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(prepareOutput(c.text, c.options), c.prepared);
    }
}

TEST(OutputPrep, TabCountsAsOneCharacterForEdges)
{
    OutputOptions o;
    o.fontMonospaced = true;
    FixedWidthMeasurer m(10, 16);
    std::vector<int> edges;
    ASSERT_TRUE(charEdges(QStringLiteral("a\tb"), o, m, edges));
    EXPECT_EQ(edges, (std::vector<int>{0, 10, 80, 90}));
}

class StrPositionsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OutputOptions o;
        o.fontMonospaced = true;
        m_rec.clear(1);
        m_rec.setMeasuring(std::make_shared<FixedWidthMeasurer>(m_measurer), o);
        m_rec.add(QStringLiteral("abc"), 2, 100, 0);
        m_rec.add(QStringLiteral("a\tb"), 2, 104, 16);
    }
    FixedWidthMeasurer m_measurer{10, 16};
    DrawnLines m_rec;
};

TEST_F(StrPositionsTest, posFromCoord)
{
    const struct
    {
        const char *name;
        int x, y;
        bool strict;
        qint64 pos;
    } cases[] = {
        {"left half of a character", 5, 5, false, 100},
        {"right half gives the position after it", 9, 5, false, 101},
        {"right of the line: its end", 200, 5, false, 103},
        {"right of the line, strict", 200, 5, true, -1},
        {"above the first line", 10, -5, false, 100},
        {"above, strict", 10, -5, true, -1},
        {"below the last line: its end", 10, 100, false, 107},
        {"first half of a tab's expansion", 30, 20, false, 105},
        {"second half of a tab's expansion", 60, 20, false, 106},
        {"left of the text", 0, 20, false, 104},
        {"left of the text, strict", 0, 20, true, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(m_rec.posFromCoord(c.x, c.y, c.strict), c.pos);
    }
}

TEST_F(StrPositionsTest, CoordFromPosAndMaxRight)
{
    QPoint p;
    EXPECT_TRUE(m_rec.coordFromPos(106, &p));
    EXPECT_EQ(p, QPoint(2 + 80, 16));
    EXPECT_FALSE(m_rec.coordFromPos(103, &p)) << "the end of a line is not drawn";
    EXPECT_EQ(m_rec.maxRight(), 2 + 90);
    m_rec.clear(1);
    EXPECT_EQ(m_rec.posFromCoord(5, 5, false), -1);
    EXPECT_FALSE(m_rec.coordFromPos(0, &p));
}

TEST_F(StrPositionsTest, MultiByteCharactersMapToTheirBytes)
{
    m_rec.clear(1);
    // "aЖb" in UTF-8: Ж takes bytes 1 and 2.
    m_rec.add(QStringLiteral("aЖb"), 0, 0, 0, {0, 1, 3, 4});
    EXPECT_EQ(m_rec.posFromCoord(16, 5, false), 3) << "right half of Ж: the byte after it";
    EXPECT_EQ(m_rec.posFromCoord(26, 5, false), 4);
    QPoint p;
    EXPECT_TRUE(m_rec.coordFromPos(2, &p)) << "the second byte of Ж lies in Ж";
    EXPECT_EQ(p.x(), 10);
}

TEST(strPositions, KeepsAtMost150Lines)
{
    DrawnLines rec;
    rec.clear(1);
    for (int i = 0; i < 151; ++i)
        rec.add(QStringLiteral("x"), 0, i * 2, i * 16);
    EXPECT_EQ(rec.count(), 150);
}

} // namespace
