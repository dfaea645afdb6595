#include "viewer/filesource.h"
#include "viewer/linereader.h"
#include "viewer/linescanner.h"
#include "viewer/textmeasurer.h"
#include "viewer/viewdocument.h"

#include "testfiles.h"

#include "text/codepages.h"

#include <optional>

namespace {

// The scanner must find exactly the rows the viewer's window reader finds.
// The files are small enough for the window to hold them whole, and the
// scanner's blocks are tiny, so rows and line breaks cross block edges.
class LineScannerTest : public ::testing::Test
{
protected:
    struct Case
    {
        const char *name;
        QByteArray bytes;
        TQzBinHexMode mode = vbmodeText;
        TQzEncoding encoding = 0;
        int maxLength = 300;
        int wrapChars = -1; // word wrap off
    };

    void Compare(const Case &c, int blockSize)
    {
        ViewDocument doc;
        doc.SetModeValue(c.mode);
        doc.TextEncoding = c.encoding;
        doc.MaxLengths[c.mode] = c.maxLength;
        const QString path = m_files.Write(QStringLiteral("f"), c.bytes);
        ASSERT_EQ(doc.OpenFile(path), ViewDocument::OpenResult::Ok);
        ASSERT_LE(doc.FileSize(), doc.BufferSize()) << "the window holds the whole file";
        const auto source = LocalFileSource::Open(path);
        ASSERT_TRUE(source);

        WrapContext wrap;
        if (c.wrapChars >= 0) {
            wrap.Wrap = true;
            wrap.AvailableWidth = c.wrapChars * 8;
            wrap.Measurer = &m_measurer;
        }
        const LineReader reader(doc, wrap);
        const LineScanner scanner(*source, doc.Format(), wrap, blockSize);

        const int cs = doc.CharSize();
        int rows = 0;
        for (qint64 p = 0; p >= 0; ++rows) {
            const ScreenLine want = reader.ReadForward(p);
            const ScreenLine got = scanner.ReadForward(p);
            ASSERT_EQ(got.Text, want.Text) << "row at " << p;
            ASSERT_EQ(got.Count, want.Count) << "row at " << p;
            ASSERT_EQ(got.Offsets, want.Offsets) << "row at " << p;
            ASSERT_EQ(got.NextPos, want.NextPos) << "row at " << p;
            p = want.NextPos;
        }
        EXPECT_GT(rows, 1);
        for (qint64 p = 0; p <= doc.FileSize(); p += cs) {
            for (const bool stay : {false, true})
                EXPECT_EQ(scanner.NextLineStart(p, false, stay),
                          reader.NextLineStart(p, false, stay))
                    << "up from " << p << (stay ? ", staying" : "");
            EXPECT_EQ(scanner.NextLineStart(p, true, false), reader.NextLineStart(p, true, false))
                << "down from " << p;
            EXPECT_EQ(scanner.IsLineStart(p), reader.IsLineStart(p)) << "at " << p;
        }
        EXPECT_FALSE(scanner.Failed());
    }

    TempFiles m_files;
    FixedWidthMeasurer m_measurer{8, 16};
};

TEST_F(LineScannerTest, FindsTheRowsTheWindowReaderFinds)
{
    const QString words = QStringLiteral("alpha beta\tgamma\\delta epsilon zeta eta theta");
    const Case cases[] = {
        {"CR LF", "one\r\ntwo\r\nthree\r\n"},
        {"LF CR holds an empty line", "a\n\rb\n\r\n\rc"},
        {"lone CRs", "a\rbb\rccc\r"},
        {"no final break", "first\nsecond\nlast"},
        {"empty lines only", "\n\n\r\n\r\r\n"},
        {"overlong lines", QByteArray(40, 'x') + "\n" + QByteArray(17, 'y') + "\r\nz", vbmodeText,
         0, 7},
        {"UTF-8 cut at whole characters", QStringLiteral("aéé€€\U0001F600bé\nxyz").toUtf8(),
         vbmodeText, EntryOf(65001), 5},
        {"Shift-JIS cut at whole characters", "a\x82\xa0\x82\xa2\x82\xa4\x82\xa6z\r\n", vbmodeText,
         EntryOf(932), 4},
        {"ISO-2022-JP", "a\x1B$B$\"$$\x1B(Bb\nc", vbmodeText, EntryOf(50220)},
        {"word wrap", (words + QStringLiteral("\r\n\r\n") + words).toLatin1(), vbmodeText, 0, 300,
         9},
        {"word wrap inside overlong lines", QByteArray("aa bb cc dd ee ff gg hh ii jj kk\n"),
         vbmodeText, 0, 10, 4},
        {"UTF-16 LE", Utf16(QStringLiteral("one\r\ntwo\n\rthree\U0001F600"), false), vbmodeUnicode,
         0, 4},
        {"UTF-16 BE with its mark",
         Utf16(QStringLiteral("\uFEFFone\r\ntwo\n\nthree four five"), true), vbmodeUnicode, 0, 300,
         6},
    };
    for (const Case &c : cases) {
        for (const int blockSize : {2, 6, LineScanner::DefaultBlockSize}) {
            SCOPED_TRACE(testing::Message() << c.name << ", blocks of " << blockSize);
            Compare(c, blockSize);
        }
    }
}

TEST_F(LineScannerTest, WalksTheWholeFileBeyondAnyWindow)
{
    QByteArray bytes;
    const int lines = 5000;
    for (int i = 0; i < lines; ++i)
        bytes += QByteArray(10 + i % 50, 'a' + i % 26) + (i % 3 ? "\n" : "\r\n");
    const QString path = m_files.Write(QStringLiteral("long"), bytes);
    const auto source = LocalFileSource::Open(path);
    ASSERT_TRUE(source);
    TextFormat format;
    format.MaxLength = 100;
    const LineScanner scanner(*source, format);

    std::vector<qint64> starts;
    for (qint64 p = 0; p >= 0; p = scanner.NextLineStart(p, true, false))
        starts.push_back(p);
    ASSERT_EQ(int(starts.size()), lines);
    EXPECT_EQ(scanner.ReadForward(starts.back()).Text,
              QString(10 + 4999 % 50, QLatin1Char(char('a' + 4999 % 26))));

    // And back up from the end, line by line, to the start.
    qint64 p = starts.back();
    for (int i = lines - 1; i > 0; --i) {
        p = scanner.NextLineStart(p, false, false);
        ASSERT_EQ(p, starts[size_t(i - 1)]) << "line " << i;
    }
    EXPECT_EQ(scanner.NextLineStart(0, false, false), -1);
}

TEST_F(LineScannerTest, AStopEndsTheScanLikeTheEndOfTheData)
{
    const QString path = m_files.Write(QStringLiteral("stop"), "one\ntwo\nthree\n");
    const auto source = LocalFileSource::Open(path);
    ASSERT_TRUE(source);
    std::stop_source stop;
    stop.request_stop();
    const LineScanner scanner(*source, TextFormat{}, {}, 4, stop.get_token());
    EXPECT_EQ(scanner.NextLineStart(0, true, false), -1);
    EXPECT_TRUE(scanner.Failed());
}

} // namespace
