#include "viewerfixture.h"

#include "viewer/linedecoration.h"
#include "viewer/qttextmeasurer.h"
#include "text/contract.h"
#include "common/viewoption.h"

#include <QBuffer>
#include <QPainter>

#include <functional>

namespace {

using Drawing = ViewerFixture;

// A decorator made of a function, for the cases below.
class FunctionDecorator final : public LineDecorator
{
public:
    using Fn =
        std::function<void(const LogicalLine &, const DecorationContext &, LineDecoration &)>;
    explicit FunctionDecorator(Fn fn) : m_fn(std::move(fn)) {}
    void decorate(const LogicalLine &line, const DecorationContext &context,
                  LineDecoration &decoration) const override
    {
        m_fn(line, context, decoration);
    }

private:
    Fn m_fn;
};

LineDecorators decorators(FunctionDecorator::Fn fn)
{
    return {std::make_shared<FunctionDecorator>(std::move(fn))};
}

// Shows every run of digits as one '#', mapped to the run's first byte: a
// rewrite that changes the length of the text.
void collapseDigits(const LogicalLine &, const DecorationContext &, LineDecoration &d)
{
    QString text;
    std::vector<int> offsets;
    for (qsizetype i = 0; i < d.text.size(); ++i) {
        const bool digit = d.text.at(i).isDigit();
        if (digit && i > 0 && d.text.at(i - 1).isDigit())
            continue;
        text.append(digit ? QChar(u'#') : d.text.at(i));
        offsets.push_back(d.offsets[size_t(i)]);
    }
    offsets.push_back(d.offsets.back());
    d.rewrite(text, offsets);
}

TEST_F(Drawing, AViewLowerThanOneLineStillShowsOne)
{
    m_view->open(write(numberedLines(5)));
    showLines(0);
    EXPECT_EQ(m_view->visibleLines(), 0);
    EXPECT_EQ(drawnTexts(), (std::vector<QString>{QStringLiteral("line001")}));
    EXPECT_EQ(m_view->viewPageSize(), 0);
    EXPECT_FALSE(m_view->viewAtEnd());
}

TEST_F(Drawing, OverlongLineBecomesScreenLinesOfMaxLength)
{
    m_view->open(write(QByteArray(1000, 'x') + "\nend\n"));
    showLines(10);
    const auto texts = drawnTexts();
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0].size(), 300);
    EXPECT_EQ(texts[2].size(), 300);
    EXPECT_EQ(texts[3].size(), 100);
    EXPECT_EQ(texts[4], QStringLiteral("end"));
    EXPECT_TRUE(m_view->viewAtEnd());
    EXPECT_EQ(m_view->viewPageSize(), m_view->document().fileSize());
}

TEST_F(Drawing, WordWrapCutsAtTheWindowEdge)
{
    m_view->open(write("alpha beta gamma delta\n"));
    setOption(*m_view, &ViewOptions::textWrap, true);
    showLines(10, 11); // room for 11 characters
    EXPECT_EQ(drawnTexts(),
              (std::vector<QString>{QStringLiteral("alpha beta"), QStringLiteral("gamma delta")}));
    EXPECT_FALSE(m_view->horizontalScrollBar()->isEnabled());
}

TEST_F(Drawing, TabsExpandToStopsInAFixedPitchFont)
{
    m_view->open(write("a\tb\n"));
    showLines(3);
    QPoint p;
    ASSERT_TRUE(m_view->strPositions().coordFromPos(2, &p));
    EXPECT_EQ(p.x(), m_view->textLeft() + 8 * m_charWidth) << "b stands in column 9";
}

TEST_F(Drawing, ControlCharactersShowAsFullStops)
{
    m_view->open(write(QByteArray("a\0b\x01\tc\r\n", 8)));
    showLines(3);
    EXPECT_EQ(drawnTexts().front(), QStringLiteral("a.b.\tc"));
}

TEST_F(Drawing, DrawLineEventsFollowTheContract)
{
    m_view->open(write("a b\tc\r\nlast"));
    setOption(*m_view, &ViewOptions::textNonPrintable, true);
    struct Seen
    {
        QString str;
        QString all;
        bool showEol;
    };
    std::vector<Seen> drawn;
    m_view->onDrawLine2 = [&](LogView *, QPainter &, const QString &str, const QPoint &,
                              const OutputOptions &o) {
        drawn.push_back({str, {}, o.showEol});
    };
    std::vector<QString> all;
    m_view->onDrawLine = [&](LogView *, QPainter &, const QString &, const QString &strAll,
                             const QRect &, const QPoint &, bool &) { all.push_back(strAll); };
    showLines(5);
    drawn.clear();
    all.clear();
    m_view->redraw();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].str, QStringLiteral("a\u00B7b  \u00BB  c"))
        << "markers, no end-of-line marker in text";
    EXPECT_TRUE(drawn[0].showEol);
    EXPECT_FALSE(drawn[1].showEol) << "the last line has no line break";
    EXPECT_EQ(all, (std::vector<QString>{QStringLiteral("a b\tc"), QStringLiteral("last")}));
}

TEST_F(Drawing, AHandlerThatTakesOverALineGetsNoRecordForIt)
{
    m_view->open(write("keep\ntake\nkeep\n"));
    int events2 = 0;
    m_view->onDrawLine = [](LogView *, QPainter &canvas, const QString &str, const QString &,
                            const QRect &rect, const QPoint &, bool &done) {
        canvas.fillRect(rect, Qt::green);
        canvas.setPen(Qt::red);
        canvas.setBackground(Qt::green);
        done = str == QStringLiteral("take");
    };
    m_view->onDrawLine2 = [&](LogView *, QPainter &, const QString &, const QPoint &,
                              const OutputOptions &) { ++events2; };
    showLines(5);
    events2 = 0;
    m_view->redraw();
    EXPECT_EQ(drawnTexts(), (std::vector<QString>{QStringLiteral("keep"), QStringLiteral("keep")}));
    EXPECT_EQ(events2, 2);
    // The handler's colours carry into the viewer's drawing of a kept line...
    const QImage &img = m_view->bitmap();
    EXPECT_EQ(img.pixelColor(img.width() - 2, m_lineHeight / 2), QColor(Qt::green));
    // ...and never leak into the band below the drawn lines.
    EXPECT_EQ(img.pixelColor(img.width() - 2, 4 * m_lineHeight), QColor(Qt::white));
}

TEST_F(Drawing, SelectionInvertsOnlyTheCoveredParts)
{
    const QString path = write("aaaaaaaaaa\nbbbbbbbbbb\n");
    m_view->open(path);
    showLines(4);
    const QImage before = m_view->bitmap().copy();
    m_view->setSelection(5, 10, false, false, true); // the tail of line 1, the head of line 2
    const QImage after = m_view->bitmap();
    auto changedColumns = [&](int row) {
        int first = -1, last = -1;
        const int y = row * m_lineHeight + m_lineHeight / 2;
        for (int x = 0; x < before.width(); ++x) {
            if (before.pixel(x, y) != after.pixel(x, y)) {
                if (first < 0)
                    first = x;
                last = x;
            }
        }
        return std::pair(first, last);
    };
    const int left = m_view->textLeft();
    const auto [f1, l1] = changedColumns(0);
    EXPECT_EQ(f1, left + 5 * m_charWidth);
    EXPECT_EQ(l1, left + 10 * m_charWidth - 1);
    const auto [f2, l2] = changedColumns(1);
    EXPECT_EQ(f2, left);
    EXPECT_EQ(l2, left + 4 * m_charWidth - 1);
    EXPECT_EQ(changedColumns(2).first, -1);
}

TEST_F(Drawing, ARewrittenLineStillMapsPixelsToExactBytes)
{
    struct Case
    {
        const char *name;
        QByteArray file;
        int maxLength;
        int row;
        QString shown;    // the row as drawn
        int charIndex;    // a character of it, clicked on its left half
        qint64 bytePos;   // the file position that click gives
        qint64 selection; // a byte selected alone: the column inverted
        int selectedChar;
    };
    const Case cases[] = {
        {"digits collapse", "id=12345 ok\n", 300, 0, QStringLiteral("id=# ok"), 5, 9, 10, 6},
        {"into a collapsed run", "id=12345 ok\n", 300, 0, QStringLiteral("id=# ok"), 3, 3, 6, 3},
        {"second screen line", "ab12cd34ef\n", 4, 1, QStringLiteral("cd#"), 2, 6, 5, 1},
        {"multi-byte text", "\xc3\xa9=42 \xc3\xbc\n", 300, 0, QStringLiteral("\u00e9=# \u00fc"), 4,
         6, 7, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_view->setMaxLengths(vbmodeText, c.maxLength);
        m_view->setTextEncoding(Encoding::codePage(130)); // UTF-8
        m_view->open(write(c.file, QString::fromLatin1(c.name) + QStringLiteral(".log")));
        m_view->setLineDecorators(decorators(collapseDigits));
        showLines(5);
        ASSERT_GT(int(drawnTexts().size()), c.row);
        EXPECT_EQ(drawnTexts()[size_t(c.row)], c.shown);
        const int left = m_view->textLeft();
        const int y = c.row * m_lineHeight + 1;
        EXPECT_EQ(
            m_view->strPositions().posFromCoord(left + c.charIndex * m_charWidth + 1, y, true),
            c.bytePos);
        QPoint at;
        ASSERT_TRUE(m_view->strPositions().coordFromPos(c.bytePos, &at));
        EXPECT_EQ(at, QPoint(left + c.charIndex * m_charWidth, c.row * m_lineHeight));

        // The selection of one byte inverts the character it shows as.
        const QImage before = m_view->bitmap().copy();
        m_view->setSelection(c.selection, 1, false, false, true);
        const QImage &after = m_view->bitmap();
        const int midY = c.row * m_lineHeight + m_lineHeight / 2;
        int first = -1, last = -1;
        for (int x = 0; x < before.width(); ++x) {
            if (before.pixel(x, midY) != after.pixel(x, midY)) {
                if (first < 0)
                    first = x;
                last = x;
            }
        }
        EXPECT_EQ(first, left + c.selectedChar * m_charWidth);
        EXPECT_EQ(last, left + (c.selectedChar + 1) * m_charWidth - 1);
        m_view->setSelection(0, 0, false, false, false);
        m_view->setLineDecorators({});
    }
}

TEST_F(Drawing, AMarkRepaintsTheBackgroundOfItsCharactersOnly)
{
    // A mark over bytes 12..16 of a line cut into screen lines of 10.
    m_view->setMaxLengths(vbmodeText, 10);
    m_view->open(write("0123456789abcdefghij\n", QStringLiteral("marks.log")));
    m_view->setLineDecorators(
        decorators([](const LogicalLine &, const DecorationContext &, LineDecoration &d) {
            d.marks.push_back({12, 17, {}, Qt::yellow, false});
        }));
    showLines(3);
    const QImage &img = m_view->bitmap();
    const int left = m_view->textLeft();
    auto yellowColumns = [&](int row) {
        std::vector<int> columns;
        for (int c = 0; c < 10; ++c) {
            // The top pixel row of a cell is background, never ink.
            if (img.pixelColor(left + c * m_charWidth + m_charWidth / 2, row * m_lineHeight) ==
                QColor(Qt::yellow))
                columns.push_back(c);
        }
        return columns;
    };
    EXPECT_TRUE(yellowColumns(0).empty());
    EXPECT_EQ(yellowColumns(1), (std::vector<int>{2, 3, 4, 5, 6}));
}

TEST_F(Drawing, DecorationsAreMadeOncePerLogicalLine)
{
    // Three lines of 1000 characters: four screen lines each at 300.
    QByteArray bytes;
    for (char c : {'a', 'b', 'c'})
        bytes += QByteArray(1000, c) + '\n';
    m_view->open(write(bytes + "end\n"));
    std::vector<QString> seen;
    m_view->setLineDecorators(
        decorators([&](const LogicalLine &line, const DecorationContext &, LineDecoration &) {
            seen.push_back(line.text.left(1));
        }));
    showLines(12); // 12 full rows and a partial one: all of a, b, c and "end"
    seen.clear();
    m_view->redraw();
    EXPECT_EQ(seen, (std::vector<QString>{QStringLiteral("a"), QStringLiteral("b"),
                                          QStringLiteral("c"), QStringLiteral("e")}));
}

TEST_F(Drawing, BandColoursTheWholeRowAndAReplacedLineIsNotRecorded)
{
    m_view->open(write("plain\nhide me\nplain\n"));
    m_view->setLineDecorators(decorators(
        [](const LogicalLine &line, const DecorationContext &context, LineDecoration &d) {
            if (context.printing || !line.text.startsWith(u'h'))
                return;
            d.bandBack = Qt::green;
            d.bandFore = Qt::red;
            d.replaceLine = true;
            d.replacement = QStringLiteral("...");
        }));
    showLines(5);
    EXPECT_EQ(drawnTexts(),
              (std::vector<QString>{QStringLiteral("plain"), QStringLiteral("plain")}));
    const QImage &img = m_view->bitmap();
    EXPECT_EQ(img.pixelColor(img.width() - 2, m_lineHeight + m_lineHeight / 2), QColor(Qt::green));
    EXPECT_EQ(img.pixelColor(img.width() - 2, m_lineHeight / 2), QColor(Qt::white));
    // No band and no replacement on paper.
    QImage page;
    LogView::DrawResult result;
    m_view->drawTo(page, 200, 4 * m_lineHeight, -1, true, nullptr, result);
    EXPECT_EQ(page.pixelColor(page.width() - 2, m_lineHeight + m_lineHeight / 2),
              QColor(Qt::white));
}

// The whole line an OnDrawLine handler gets for the screen line at pos:
// the character there and up to 8192 more on each side, up to a line break.
QString wholeLineReference(const QByteArray &file, qint64 pos)
{
    auto isBreak = [&](qint64 p) { return file[p] == '\n' || file[p] == '\r'; };
    qint64 start = pos;
    for (int i = 0; i < 8192 && start > 0 && !isBreak(start - 1); ++i)
        --start;
    qint64 end = pos + 1;
    for (int i = 0; i < 8192 && end < file.size() && !isBreak(end); ++i)
        ++end;
    return QString::fromLatin1(file.mid(start, end - start));
}

TEST_F(Drawing, EveryScreenLineGetsItsWholeLineOnce)
{
    struct Case
    {
        int length; // of the long line
        qint64 viewPos;
    };
    const Case cases[] = {{1000, 0}, {8191, 0}, {8192, 300}, {8193, 600}, {20000, 9000}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.length);
        QByteArray file = "head\n";
        for (int i = 0; i < c.length; ++i)
            file += char('a' + i % 26);
        file += "\ntail\n";
        m_view->open(write(file, QStringLiteral("long%1.log").arg(c.length)));
        std::vector<std::pair<int, QString>> events; // row top, whole line
        int events2 = 0;
        m_view->onDrawLine = [&](LogView *, QPainter &, const QString &, const QString &strAll,
                                 const QRect &rect, const QPoint &,
                                 bool &) { events.emplace_back(rect.top(), strAll); };
        m_view->onDrawLine2 = [&](LogView *, QPainter &, const QString &, const QPoint &,
                                  const OutputOptions &) { ++events2; };
        showLines(30);
        m_view->setViewPos(c.viewPos);
        events.clear();
        events2 = 0;
        m_view->redraw();
        const DrawnLines &rec = m_view->strPositions();
        ASSERT_EQ(int(events.size()), rec.count());
        EXPECT_EQ(events2, rec.count());
        for (int i = 0; i < rec.count(); ++i) {
            EXPECT_EQ(events[size_t(i)].first, rec.at(i).Y);
            const QString want = wholeLineReference(file, rec.at(i).pos);
            const QString &got = events[size_t(i)].second;
            EXPECT_TRUE(got == want)
                << "screen line " << i << " at " << rec.at(i).pos << ": got " << got.size()
                << " characters from \"" << got.left(8).toStdString() << "\", want " << want.size()
                << " from \"" << want.left(8).toStdString() << "\"";
        }
        m_view->onDrawLine = nullptr;
        m_view->onDrawLine2 = nullptr;
    }
}

TEST_F(Drawing, HitTestingKeepsTheFontOfTheLastScreenDrawing)
{
    m_view->open(write("abcdefgh\n"));
    showLines(3);
    const int left = m_view->textLeft();
    // A print run with another font replaces the measurer; the screen's
    // record must still measure with the font it was drawn in.
    m_view->enableDrawing(false);
    ViewFont big = m_view->options().font;
    big.font.setPixelSize(40);
    setOption(*m_view, &ViewOptions::font, big);
    QImage page;
    LogView::DrawResult result;
    m_view->drawTo(page, 400, 200, -1, true, nullptr, result);
    EXPECT_EQ(m_view->strPositions().posFromCoord(left + 3 * m_charWidth + 1, 1, true), 3);
    QPoint at;
    ASSERT_TRUE(m_view->strPositions().coordFromPos(5, &at));
    EXPECT_EQ(at.x(), left + 5 * m_charWidth);
}

TEST_F(Drawing, RenderingOntoAnotherPainterLeavesTheViewAsItWas)
{
    m_view->open(write(numberedLines(50)));
    showLines(5);
    const QImage screen = m_view->bitmap().copy();
    const qint64 pageSize = m_view->viewPageSize();
    const int recorded = m_view->strPositions().count();

    QImage page(200, 20 * m_lineHeight + 2, QImage::Format_RGB32);
    QPainter painter(&page);
    LogView::DrawResult result;
    m_view->renderTo(painter, page.size(), -1, false, nullptr, result);
    painter.end();
    EXPECT_EQ(result.viewPageSize, 20 * 8) << "twenty lines of eight bytes fit the page";
    EXPECT_EQ(m_view->viewPageSize(), pageSize);
    EXPECT_EQ(m_view->strPositions().count(), recorded);
    EXPECT_EQ(m_view->bitmap(), screen);
    // The page has the text of its last row.
    bool ink = false;
    for (int x = m_view->textLeft(); x < page.width() && !ink; ++x)
        ink = page.pixelColor(x, 19 * m_lineHeight + m_lineHeight / 2) != QColor(Qt::white);
    EXPECT_TRUE(ink);
}

// Text drawn on a plain painter must give the very pixels of the glyph run
// Qt draws with a clip in place, whatever the font, density, colours and
// however far the text reaches past the image's edges.
TEST(TextPixels, PlainAndClippedDrawingsAgree)
{
    QString text;
    for (char16_t c = 0x20; c < 0x7f; ++c)
        text.append(QChar(c));
    text += QStringLiteral("\u00e9\u00df\u00a9\u00b1\u00c5\u0141\u017e");
    struct Case
    {
        const char *name;
        int pixelSize;
        bool bold;
        bool italic;
        int ratio;
        QColor fore;
        QColor back;
    };
    const Case cases[] = {
        {"regular, density 1", 13, false, false, 1, Qt::black, Qt::white},
        {"regular, density 2", 13, false, false, 2, Qt::black, Qt::white},
        {"regular, density 3, light on dark", 11, false, false, 3, QColor(230, 220, 90),
         QColor(20, 30, 60)},
        {"bold, density 2", 15, true, false, 2, QColor(200, 0, 0), QColor(255, 255, 224)},
        {"oblique, density 2, ink past its cell", 15, false, true, 2, Qt::black, Qt::white},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(c.pixelSize);
        font.setBold(c.bold);
        font.setItalic(c.italic);
        font.setStyleHint(QFont::TypeWriter);
        const QtTextMeasurer measurer(font);
        ASSERT_TRUE(measurer.fixedPitch());
        const int h = measurer.cellHeight();
        const int w = measurer.width(text) / 2;
        auto draw = [&](bool clipped) {
            QImage image(QSize(w, 4 * h) * c.ratio, QImage::Format_RGB32);
            image.setDevicePixelRatio(c.ratio);
            image.fill(QColor(Qt::gray));
            QPainter painter(&image);
            if (clipped)
                painter.setClipRect(QRect(0, 0, w, 4 * h));
            painter.setPen(c.fore);
            painter.setBackground(c.back);
            // Off the left edge, inside, off the right edge and off the bottom.
            const QPoint at[] = {{-w / 3, 0}, {3, h}, {w / 2, 2 * h + 1}, {-1, 3 * h + h / 2}};
            for (const QPoint &p : at)
                EXPECT_TRUE(measurer.drawSimple(painter, p.x(), p.y(), text, true));
            // The same colours again, now known.
            EXPECT_TRUE(measurer.drawSimple(painter, 7, 2 * h + 2, text.mid(10, 20), true));
            return image;
        };
        const QImage plain = draw(false);
        const QImage clipped = draw(true);
        EXPECT_EQ(plain.pixel(QPoint(3 * c.ratio, h * c.ratio)), c.back.rgb());
        EXPECT_TRUE(plain == clipped);
        int differ = 0;
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x)
                differ += plain.pixel(x, y) != clipped.pixel(x, y);
        EXPECT_EQ(differ, 0);
    }
}

TEST_F(Drawing, PrintingDrawsBlackOnWhiteUpToTheLimitAndRecordsNothing)
{
    setOption(*m_view, &ViewOptions::color, Qt::darkBlue);
    m_view->open(write(numberedLines(50)));
    showLines(10);
    int events = 0;
    m_view->onDrawLine = [&](LogView *, QPainter &, const QString &, const QString &, const QRect &,
                             const QPoint &, bool &) { ++events; };
    const int recorded = m_view->strPositions().count();
    QImage page;
    LogView::DrawResult result;
    m_view->drawTo(page, 400, 40 * m_lineHeight, 3 * 8, true, nullptr, result);
    EXPECT_EQ(events, 0) << "no draw-line events while printing";
    EXPECT_EQ(m_view->strPositions().count(), recorded) << "the screen's record is untouched";
    EXPECT_EQ(page.pixelColor(page.width() - 1, 0), QColor(Qt::white));
    // Lines stop after the one that passes the limit position (24): rows 0..3.
    auto rowHasInk = [&](int row) {
        for (int x = 0; x < page.width(); ++x) {
            for (int y = row * m_lineHeight; y < (row + 1) * m_lineHeight; ++y) {
                if (page.pixelColor(x, y) != QColor(Qt::white))
                    return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(rowHasInk(3));
    EXPECT_FALSE(rowHasInk(4));
}

TEST_F(Drawing, EmptyDocumentShowsBackgroundAndGutter)
{
    setOption(*m_view, &ViewOptions::textGutter, true);
    m_view->open(write({}));
    showLines(3);
    const QImage &img = m_view->bitmap();
    EXPECT_EQ(img.pixelColor(2, 2), m_view->options().colors.gutter);
    EXPECT_EQ(img.pixelColor(img.width() - 2, 2), QColor(Qt::white));
    EXPECT_FALSE(m_view->verticalScrollBar()->isEnabled());
    EXPECT_FALSE(m_view->horizontalScrollBar()->isEnabled());
    EXPECT_EQ(m_view->strPositions().count(), 0);
}

// A stream whose reads fail until told otherwise.
class FlakyStream final : public QBuffer
{
public:
    using QBuffer::QBuffer;
    bool failing = true;

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        return failing ? -1 : QBuffer::readData(data, maxSize);
    }
};

TEST_F(Drawing, FailedReadAsksRetryOrCancelThenShowsTheError)
{
    QByteArray data("hello\n");
    FlakyStream stream(&data);
    stream.open(QIODevice::ReadOnly);
    m_sink.queueAnswers({MsgResult::Retry, MsgResult::Cancel});
    m_view->openStream(&stream);
    showLines(3);
    ASSERT_EQ(m_sink.messages().size(), 2u);
    EXPECT_EQ(m_sink.messages()[0].text, QStringLiteral("Cannot read stream"));
    EXPECT_EQ(m_sink.messages()[0].buttons, MsgButtons::RetryCancel);
    EXPECT_FALSE(m_view->document().readOK());
    EXPECT_EQ(m_view->strPositions().count(), 0) << "only the error text is drawn";
    EXPECT_FALSE(m_view->verticalScrollBar()->isEnabled());

    // Retry succeeds once the source reads again.
    stream.failing = false;
    m_sink.queueAnswers({MsgResult::Retry});
    m_view->setMode(vbmodeText);
    EXPECT_TRUE(m_view->document().readOK());
    EXPECT_EQ(drawnTexts(), (std::vector<QString>{QStringLiteral("hello")}));
}

TEST_F(Drawing, ViewOutsideTheWindowIsAContractFailure)
{
    m_view->setMaxLengths(vbmodeText, 2); // a window of 3 x 604 bytes
    m_view->open(write(QByteArray(5000, 'x')));
    showLines(3);
    m_view->document().readBuffer(4000); // moves the window away from the view at 0
    try {
        m_view->redraw();
        FAIL() << "no contract failure";
    } catch (const ContractError &e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("Positions out of range: DrawTo\rBufferPos: 3396, ViewPos: 0, "
                                 "BufMaxOffset: 604"));
    }
    EXPECT_EQ(m_view->busyCount(), 0) << "the busy count is restored";
}

} // namespace
