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
        ViewMode mode = vbmodeText;
        Encoding encoding;
        int maxLength = 300;
        int wrapChars = -1; // word wrap off
    };

    void compare(const Case &c, int blockSize)
    {
        ViewDocument doc;
        doc.setModeValue(c.mode);
        doc.textEncoding = c.encoding;
        doc.maxLengths[c.mode] = c.maxLength;
        const QString path = m_files.write(QStringLiteral("f"), c.bytes);
        ASSERT_EQ(doc.openFile(path), ViewDocument::OpenResult::Ok);
        ASSERT_LE(doc.fileSize(), doc.bufferSize()) << "the window holds the whole file";
        const auto source = LocalFileSource::open(path);
        ASSERT_TRUE(source);

        WrapContext wrap;
        if (c.wrapChars >= 0) {
            wrap.wrap = true;
            wrap.availableWidth = c.wrapChars * 8;
            wrap.measurer = &m_measurer;
        }
        const LineReader reader(doc, wrap);
        const LineScanner scanner(*source, doc.format(), wrap, blockSize);

        const int cs = doc.charSize();
        int rows = 0;
        for (qint64 p = 0; p >= 0; ++rows) {
            const ScreenLine want = reader.readForward(p);
            const ScreenLine got = scanner.readForward(p);
            ASSERT_EQ(got.text, want.text) << "row at " << p;
            ASSERT_EQ(got.count, want.count) << "row at " << p;
            ASSERT_EQ(got.offsets, want.offsets) << "row at " << p;
            ASSERT_EQ(got.nextPos, want.nextPos) << "row at " << p;
            p = want.nextPos;
        }
        EXPECT_GT(rows, 1);
        for (qint64 p = 0; p <= doc.fileSize(); p += cs) {
            for (const bool stay : {false, true})
                EXPECT_EQ(scanner.nextLineStart(p, false, stay),
                          reader.nextLineStart(p, false, stay))
                    << "up from " << p << (stay ? ", staying" : "");
            EXPECT_EQ(scanner.nextLineStart(p, true, false), reader.nextLineStart(p, true, false))
                << "down from " << p;
            EXPECT_EQ(scanner.isLineStart(p), reader.isLineStart(p)) << "at " << p;
        }
        EXPECT_FALSE(scanner.failed());
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
         encodingAnsi, 7},
        {"UTF-8 cut at whole characters", QStringLiteral("aéé€€\U0001F600bé\nxyz").toUtf8(),
         vbmodeText, entryOf(65001), 5},
        {"Shift-JIS cut at whole characters", "a\x82\xa0\x82\xa2\x82\xa4\x82\xa6z\r\n", vbmodeText,
         entryOf(932), 4},
        {"ISO-2022-JP", "a\x1B$B$\"$$\x1B(Bb\nc", vbmodeText, entryOf(50220)},
        {"word wrap", (words + QStringLiteral("\r\n\r\n") + words).toLatin1(), vbmodeText,
         encodingAnsi, 300, 9},
        {"word wrap inside overlong lines", QByteArray("aa bb cc dd ee ff gg hh ii jj kk\n"),
         vbmodeText, encodingAnsi, 10, 4},
        {"UTF-16 LE", utf16(QStringLiteral("one\r\ntwo\n\rthree\U0001F600"), false), vbmodeUnicode,
         encodingAnsi, 4},
        {"UTF-16 BE with its mark",
         utf16(QStringLiteral("\uFEFFone\r\ntwo\n\nthree four five"), true), vbmodeUnicode,
         encodingAnsi, 300, 6},
    };
    for (const Case &c : cases) {
        for (const int blockSize : {2, 6, LineScanner::defaultBlockSize}) {
            SCOPED_TRACE(testing::Message() << c.name << ", blocks of " << blockSize);
            compare(c, blockSize);
        }
    }
}

TEST_F(LineScannerTest, WalksTheWholeFileBeyondAnyWindow)
{
    QByteArray bytes;
    const int lines = 5000;
    for (int i = 0; i < lines; ++i)
        bytes += QByteArray(10 + i % 50, 'a' + i % 26) + (i % 3 ? "\n" : "\r\n");
    const QString path = m_files.write(QStringLiteral("long"), bytes);
    const auto source = LocalFileSource::open(path);
    ASSERT_TRUE(source);
    TextFormat format;
    format.maxLength = 100;
    const LineScanner scanner(*source, format);

    std::vector<qint64> starts;
    for (qint64 p = 0; p >= 0; p = scanner.nextLineStart(p, true, false))
        starts.push_back(p);
    ASSERT_EQ(int(starts.size()), lines);
    EXPECT_EQ(scanner.readForward(starts.back()).text,
              QString(10 + 4999 % 50, QLatin1Char(char('a' + 4999 % 26))));

    // And back up from the end, line by line, to the start.
    qint64 p = starts.back();
    for (int i = lines - 1; i > 0; --i) {
        p = scanner.nextLineStart(p, false, false);
        ASSERT_EQ(p, starts[size_t(i - 1)]) << "line " << i;
    }
    EXPECT_EQ(scanner.nextLineStart(0, false, false), -1);
}

TEST_F(LineScannerTest, AStopEndsTheScanLikeTheEndOfTheData)
{
    const QString path = m_files.write(QStringLiteral("stop"), "one\ntwo\nthree\n");
    const auto source = LocalFileSource::open(path);
    ASSERT_TRUE(source);
    std::stop_source stop;
    stop.request_stop();
    const LineScanner scanner(*source, TextFormat{}, {}, 4, stop.get_token());
    EXPECT_EQ(scanner.nextLineStart(0, true, false), -1);
    EXPECT_TRUE(scanner.failed());
}

} // namespace
