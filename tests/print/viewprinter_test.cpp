#include "print/viewprinter.h"

#include "print/pagegeometry.h"
#include "print/printpreviewdialog.h"

#include "pdftext.h"
#include "viewer/viewerfixture.h"
#include "common/viewoption.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

#include <climits>
#include <cmath>
#include <functional>
#include <new>
#include <memory>
#include <stdexcept>

namespace {

class PrintTest : public ViewerFixture
{
protected:
    void SetUp() override
    {
        ViewerFixture::SetUp();
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setOutputFormat(QPrinter::PdfFormat);
        m_printer->setPageSize(QPageSize(QPageSize::A4));
        m_printer->setPageOrientation(QPageLayout::Portrait);
        m_pdf = m_files.path(QStringLiteral("out.pdf"));
        m_printer->setOutputFileName(m_pdf);
    }

    // A viewer over numbered lines, shown ten lines high.
    void openLines(int count)
    {
        m_path = write(numberedLines(count));
        ASSERT_TRUE(m_view->open(m_path));
        showLines(10);
    }

    ViewPrinter makePrinter()
    {
        ViewPrinter p(*m_view);
        p.preview = [this](QPrinter &, const PreviewCallback &callback) {
            ++m_previews;
            if (m_renderPreview) {
                m_preview = QImage(screenPageSize(*m_printer), QImage::Format_RGB888);
                m_preview.fill(Qt::white);
                QPainter painter(&m_preview);
                callback(&painter, m_preview.size(), 1);
            }
            return m_previewAnswer;
        };
        return p;
    }

    PrintResult printRange(PrintRange range, int from = 1, int to = 1, int copies = 1)
    {
        ViewPrinter p = makePrinter();
        return p.print(*m_printer, {range, from, to}, copies);
    }

    // All lines of the PDF, page after page, without the footers.
    QStringList textLines()
    {
        QStringList lines;
        const int pages = pdftext::pages(m_pdf);
        for (int page = 1; page <= pages; ++page) {
            QStringList l = pdftext::pageLines(m_pdf, page);
            EXPECT_FALSE(l.isEmpty());
            if (!l.isEmpty())
                l.removeLast();
            lines << l;
        }
        return lines;
    }

    static QStringList numbered(int from, int to)
    {
        QStringList lines;
        for (int i = from; i <= to; ++i)
            lines << QStringLiteral("line%1").arg(i, 3, 10, QLatin1Char('0'));
        return lines;
    }

    // Offset of the first character of line n (1-based) of NumberedLines.
    static qint64 lineOffset(int n) { return qint64(n - 1) * 8; }

    std::unique_ptr<QPrinter> m_printer;
    QString m_pdf;
    QString m_path;
    int m_previews = 0;
    bool m_previewAnswer = true;
    bool m_renderPreview = true;
    QImage m_preview;
};

TEST_F(PrintTest, AllPagesCarryEveryLineOnceInOrderWithTheFooter)
{
    openLines(300);
    const PrintResult result = printRange(PrintRange::All);
    EXPECT_EQ(m_previews, 1);
    const int pages = pdftext::pages(m_pdf);
    ASSERT_GE(pages, 3) << "the fixture must span pages";
    EXPECT_EQ(result.pagesOutput, pages);
    for (int page = 1; page <= pages; ++page) {
        SCOPED_TRACE(page);
        EXPECT_EQ(pdftext::pageLines(m_pdf, page).last(),
                  QStringLiteral("view.log - %1").arg(page));
    }
    // A line cut off at the foot of a page would show on two pages.
    EXPECT_EQ(textLines(), numbered(1, 300));
}

TEST_F(PrintTest, PageRangePrintsThosePagesWithTheirNumbers)
{
    openLines(300);
    printRange(PrintRange::All);
    const QStringList page2 = pdftext::pageLines(m_pdf, 2);
    const QStringList page3 = pdftext::pageLines(m_pdf, 3);
    ASSERT_GE(pdftext::pages(m_pdf), 4);

    const PrintResult result = printRange(PrintRange::PageNums, 2, 3);
    EXPECT_EQ(pdftext::pages(m_pdf), 2);
    EXPECT_EQ(result.pagesOutput, 2);
    EXPECT_EQ(result.pagesLaidOut, 3) << "the run stops after the last page asked for";
    EXPECT_EQ(pdftext::pageLines(m_pdf, 1), page2);
    EXPECT_EQ(pdftext::pageLines(m_pdf, 2), page3);
    EXPECT_EQ(page3.last(), QStringLiteral("view.log - 3"));
}

TEST_F(PrintTest, RangeBeyondTheLastPagePrintsNothingAndPreviewsAWhitePage)
{
    openLines(40);
    const PrintResult result = printRange(PrintRange::PageNums, 5, 9);
    EXPECT_EQ(result.pagesOutput, 0);
    EXPECT_EQ(result.pagesLaidOut, 1);
    EXPECT_FALSE(QFileInfo::exists(m_pdf)) << "no job is started for no page";
    ASSERT_FALSE(m_preview.isNull());
    QImage white(m_preview.size(), m_preview.format());
    white.fill(Qt::white);
    EXPECT_EQ(m_preview, white);
}

TEST_F(PrintTest, SelectionPrintsTheWholeLinesItTouches)
{
    openLines(300);
    struct Case
    {
        const char *name;
        qint64 start;
        qint64 length;
        QStringList lines;
    } cases[] = {
        {"middle of line 3 to middle of line 5", lineOffset(3) + 3,
         lineOffset(5) + 4 - lineOffset(3) - 3, numbered(3, 5)},
        {"one character", lineOffset(120) + 2, 1, numbered(120, 120)},
        {"the line break of a line", lineOffset(7) + 7, 1, numbered(7, 7)},
        {"the last character of the file", lineOffset(300) + 7, 1, numbered(300, 300)},
        {"the first character of the file", 0, 1, numbered(1, 1)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_view->setSelection(c.start, c.length, false, false, true);
        ASSERT_EQ(m_view->selLength(), c.length);
        printRange(PrintRange::Selection);
        ASSERT_EQ(pdftext::pages(m_pdf), 1);
        EXPECT_EQ(textLines(), c.lines);
        EXPECT_EQ(m_view->selStart(), c.start);
        EXPECT_EQ(m_view->selLength(), c.length);
    }
}

TEST_F(PrintTest, SelectionOverPagesPrintsFromItsFirstToItsLastLine)
{
    openLines(300);
    m_view->setSelection(lineOffset(10) + 5, lineOffset(250) - lineOffset(10), false, false, true);
    printRange(PrintRange::Selection);
    EXPECT_GE(pdftext::pages(m_pdf), 3);
    EXPECT_EQ(textLines(), numbered(10, 250));
}

TEST_F(PrintTest, MarginsAndFooterSitWhereThePageGeometrySays)
{
    openLines(300);
    ViewPrinter p = makePrinter();
    p.margins = {25.0, 30.0, 15.0, 40.0};
    p.print(*m_printer, {PrintRange::All, 1, 1}, 1);
    const std::vector<pdftext::Word> words = pdftext::pageWords(m_pdf, 1);
    ASSERT_GE(words.size(), 3u);
    const double dpi = screenDpi();
    const double pt = 72.0 / dpi; // points per screen pixel
    const double a4Width = 595.28, a4Height = 841.89;
    const int left = int(std::trunc(dpi * 25.0 / 25.4));
    const int top = int(std::trunc(dpi * 30.0 / 25.4));
    const int right = int(std::trunc(dpi * 15.0 / 25.4));
    const int bottom = int(std::trunc(dpi * 40.0 / 25.4));
    const pdftext::Word &first = words.front();
    EXPECT_EQ(first.text, QStringLiteral("line001"));
    // The text starts two pixels inside the left margin, its line at the top one.
    EXPECT_NEAR(first.xMin, (left + 2) * pt, 1.0);
    EXPECT_GE(first.yMin, top * pt - 0.5);
    EXPECT_LE(first.yMin, (top + m_lineHeight) * pt);
    // The footer: the last two words, centred between the margins, in the
    // band above the bottom margin.
    const pdftext::Word &name = words[words.size() - 3];
    const pdftext::Word &number = words.back();
    EXPECT_EQ(name.text, QStringLiteral("view.log"));
    EXPECT_EQ(number.text, QStringLiteral("1"));
    const double centre = (left * pt + a4Width - right * pt) / 2;
    EXPECT_NEAR((name.xMin + number.xMax) / 2, centre, 2.0);
    const double footerTop = a4Height - bottom * pt - footerHeight(9, dpi) * pt;
    EXPECT_GE(name.yMin, footerTop - 0.5);
    EXPECT_LE(name.yMax, a4Height - bottom * pt + 0.5);
    // No text of the page reaches into the footer band.
    for (size_t i = 0; i + 3 < words.size(); ++i)
        EXPECT_LE(words[i].yMax, footerTop + 0.5) << words[i].text.toStdString();
}

TEST_F(PrintTest, TheViewerIsAsItWasAfterARun)
{
    // Lines longer than the view, so that wrapping on paper differs from the screen.
    QByteArray bytes;
    for (int i = 0; i < 400; ++i)
        bytes += "row " + QByteArray::number(i) + " " + QByteArray(150, 'x') + " end\n";
    m_path = write(bytes);
    ASSERT_TRUE(m_view->open(m_path));
    showLines(10);
    setOption(*m_view, &ViewOptions::textWrap, false);
    setOption(*m_view, &ViewOptions::textNonPrintable, true);
    setOption(*m_view, &ViewOptions::textGutter, true);
    m_view->moveByLines(37, true, true, false, 0);
    m_view->setHViewPos(40, true);
    m_view->setSelection(5000, 700, false, false, true);
    m_view->redraw();
    const qint64 viewPos = m_view->viewPos();
    const int hViewPos = m_view->hViewPos();
    const std::vector<QString> drawn = drawnTexts();
    const QImage picture = m_view->bitmap().copy();
    ASSERT_GT(hViewPos, 0);

    for (PrintRange range : {PrintRange::All, PrintRange::Selection, PrintRange::PageNums}) {
        SCOPED_TRACE(int(range));
        const PrintResult result = printRange(range, 2, 3);
        EXPECT_GT(result.pagesOutput, 0);
        EXPECT_EQ(m_view->viewPos(), viewPos);
        EXPECT_EQ(m_view->hViewPos(), hViewPos);
        EXPECT_EQ(m_view->selStart(), 5000);
        EXPECT_EQ(m_view->selLength(), 700);
        EXPECT_FALSE(m_view->options().textWrap);
        EXPECT_TRUE(m_view->options().textNonPrintable);
        EXPECT_TRUE(m_view->options().textGutter);
        EXPECT_TRUE(m_view->drawEnabled());
        EXPECT_TRUE(m_view->isEnabled());
        EXPECT_TRUE(m_view->layoutSize().isEmpty());
        EXPECT_EQ(drawnTexts(), drawn);
        EXPECT_EQ(m_view->bitmap(), picture);
    }
    // Paper wraps what the screen does not.
    EXPECT_TRUE(pdftext::pageLines(m_pdf, 1).size() > 2);
}

TEST_F(PrintTest, PaperIsBlackOnWhiteWithGreyAddressesWhateverTheScreenColours)
{
    m_path = write("plain words first\nsee http://example.com/guide for more\n");
    ASSERT_TRUE(m_view->open(m_path));
    QFont font = m_view->options().font.font;
    setOption(*m_view, &ViewOptions::font, {font, QColor(255, 255, 0)});
    setOption(*m_view, &ViewOptions::color, QColor(0, 0, 128));
    ViewColors colors = m_view->options().colors;
    colors.url = QColor(0, 255, 0);
    setOption(*m_view, &ViewOptions::colors, colors);
    ASSERT_TRUE(m_view->options().textUrlHilight);
    showLines(10);
    printRange(PrintRange::All);
    const double dpi = screenDpi();
    const QImage page = pdftext::renderPage(m_pdf, 1, dpi, m_files.path(QStringLiteral("page")));
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(pdftext::colouredPixels(page), 0) << "none of the screen's colours";
    EXPECT_EQ(page.pixel(page.width() / 2, page.height() / 2), qRgb(255, 255, 255));
    bool sawAddress = false;
    for (const pdftext::Word &word : pdftext::pageWords(m_pdf, 1)) {
        SCOPED_TRACE(word.text.toStdString());
        const int darkest = pdftext::darkest(page, word, dpi);
        if (word.text.startsWith(QStringLiteral("http://"))) {
            sawAddress = true;
            EXPECT_GT(darkest, 80) << "addresses print grey";
            EXPECT_LT(darkest, 200);
        } else if (word.text.size() > 1) { // a thin dash is grey at this size
            EXPECT_LT(darkest, 60) << "text prints black";
        }
    }
    EXPECT_TRUE(sawAddress);
}

TEST_F(PrintTest, CancelledPreviewPrintsNothing)
{
    openLines(40);
    m_previewAnswer = false;
    const PrintResult result = printRange(PrintRange::All);
    EXPECT_EQ(m_previews, 1);
    EXPECT_EQ(result.pagesOutput, 0);
    EXPECT_FALSE(QFileInfo::exists(m_pdf));
}

TEST_F(PrintTest, CopiesBelowOnePrintOneAndTheTitleNamesTheFile)
{
    openLines(40);
    struct Case
    {
        int copies;
        int expected;
    } cases[] = {{0, 1}, {-3, 1}, {1, 1}, {3, 3}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.copies);
        printRange(PrintRange::All, 1, 1, c.copies);
        EXPECT_EQ(m_printer->copyCount(), c.expected);
    }
    EXPECT_EQ(pdftext::info(m_pdf, QStringLiteral("Title")), QStringLiteral("Viewer - view.log"));
    ViewPrinter p = makePrinter();
    p.print(*m_printer, {}, 1, QStringLiteral("Nightly build"));
    EXPECT_EQ(pdftext::info(m_pdf, QStringLiteral("Title")), QStringLiteral("Nightly build"));
}

TEST_F(PrintTest, CopiesOfAPdfAreAllInTheFileCollatedOrNot)
{
    openLines(300);
    ASSERT_FALSE(m_printer->supportsMultipleCopies()) << "a PDF file makes no copies itself";
    struct Case
    {
        bool collate;
        std::vector<int> footers;
    } cases[] = {{true, {1, 2, 1, 2, 1, 2}}, {false, {1, 1, 1, 2, 2, 2}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.collate);
        m_printer->setCollateCopies(c.collate);
        const PrintResult result = printRange(PrintRange::PageNums, 1, 2, 3);
        EXPECT_EQ(result.pagesOutput, 6);
        ASSERT_EQ(pdftext::pages(m_pdf), 6);
        std::vector<int> footers;
        for (int page = 1; page <= 6; ++page)
            footers.push_back(
                pdftext::pageLines(m_pdf, page).last().section(QLatin1Char(' '), -1).toInt());
        EXPECT_EQ(footers, c.footers);
        EXPECT_EQ(pdftext::pageLines(m_pdf, 4).first(),
                  pdftext::pageLines(m_pdf, c.collate ? 2 : 5).first());
    }
}

TEST_F(PrintTest, WithoutAFileTheFooterIsThePageNumberAndTheTitleViewer)
{
    QBuffer stream;
    stream.setData(numberedLines(30));
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    m_view->openStream(&stream);
    showLines(10);
    printRange(PrintRange::All);
    ASSERT_EQ(pdftext::pages(m_pdf), 1);
    EXPECT_EQ(pdftext::pageLines(m_pdf, 1).last(), QStringLiteral("1"));
    EXPECT_EQ(pdftext::info(m_pdf, QStringLiteral("Title")), QStringLiteral("Viewer"));
}

TEST_F(PrintTest, CancelledRunLeavesAValidPdfWithThePagesSoFar)
{
    openLines(600);
    ViewPrinter p = makePrinter();
    int asked = 0;
    p.progress = [&](int pages, double done) {
        ++asked;
        EXPECT_GE(done, 0.0);
        EXPECT_LT(done, 1.0);
        return pages < 2;
    };
    const PrintResult result = p.print(*m_printer, {}, 1);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.pagesOutput, 2);
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(pdftext::pages(m_pdf), 2);
    EXPECT_EQ(pdftext::pageLines(m_pdf, 2).last(), QStringLiteral("view.log - 2"));
    EXPECT_TRUE(m_view->drawEnabled());
}

TEST_F(PrintTest, FileCutShortDuringARunEndsItAfterThatPage)
{
    openLines(600);
    const qint64 viewPos = m_view->viewPos();
    ViewPrinter p = makePrinter();
    p.progress = [&](int pages, double) {
        if (pages == 1)
            QFile::resize(m_path, lineOffset(80)); // inside the second page
        return true;
    };
    const PrintResult result = p.print(*m_printer, {}, 1);
    EXPECT_TRUE(result.readFailed);
    EXPECT_EQ(result.pagesOutput, 2);
    EXPECT_EQ(pdftext::pages(m_pdf), 2);
    EXPECT_EQ(m_view->viewPos(), viewPos);
    EXPECT_TRUE(m_view->drawEnabled());
}

// Whatever fails in a job, nothing is thrown out of it: the error goes to
// the general error message, the viewer and the printer are as they were,
// and the result says the run failed.
TEST_F(PrintTest, AFailingJobReportsItsErrorAndEndsAsFailed)
{
    openLines(200);
    struct Case
    {
        const char *name;
        std::function<void(ViewPrinter &)> Break;
        QString text; // the start of the message
    };
    const QString noFolder = m_files.path(QStringLiteral("no/such/folder/out.pdf"));
    const Case cases[] = {
        {"the printer cannot start", [&](ViewPrinter &) { m_printer->setOutputFileName(noFolder); },
         QStringLiteral("Cannot write the file")},
        {"an error half way through",
         [](ViewPrinter &p) {
             p.progress = [](int pages, double) {
                 if (pages == 2)
                     throw std::runtime_error("disk on fire");
                 return true;
             };
         },
         QStringLiteral("disk on fire")},
        {"memory runs out",
         [](ViewPrinter &p) {
             p.progress = [](int pages, double) -> bool {
                 if (pages == 1)
                     throw std::bad_alloc();
                 return true;
             };
         },
         QStringLiteral("std::bad_alloc")},
        {"the preview fails",
         [](ViewPrinter &p) {
             p.preview = [](QPrinter &, const PreviewCallback &) -> bool { throw 42; };
         },
         QStringLiteral("Unknown exception")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_sink.clear();
        m_printer->setOutputFileName(m_pdf);
        m_view->setSelection(9, 3, false, false, true);
        const qint64 viewPos = m_view->viewPos();
        const int resolution = m_printer->resolution();
        ViewPrinter p = makePrinter();
        p.margins = {10.0, 120.0, 10.0, 120.0}; // a few lines a page
        c.Break(p);
        PrintResult result;
        EXPECT_NO_THROW(result = p.print(*m_printer, {}, 1));
        EXPECT_TRUE(result.Failed);
        ASSERT_EQ(m_sink.messages().size(), 1u);
        EXPECT_TRUE(m_sink.messages()[0].text.startsWith(c.text))
            << m_sink.messages()[0].text.toStdString();
        EXPECT_EQ(m_sink.messages()[0].caption, QStringLiteral("Ravelin Pro"));
        EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Error);
        EXPECT_NE(m_printer->printerState(), QPrinter::Active) << "no job is left open";
        EXPECT_EQ(m_printer->resolution(), resolution);
        EXPECT_FALSE(m_printer->fullPage()) << "the printer's own setup comes back too";
        EXPECT_EQ(m_view->viewPos(), viewPos);
        EXPECT_EQ(m_view->selStart(), 9);
        EXPECT_EQ(m_view->selLength(), 3);
        EXPECT_TRUE(m_view->drawEnabled());
        EXPECT_FALSE(m_view->isSearchRunning());
        EXPECT_TRUE(m_view->layoutSize().isEmpty());
    }
}

// The preview pages through what is printed: as many pages, and each the
// same whether reached step by step or again from what was laid out.
TEST_F(PrintTest, PreviewPagesAreThePrintedPages)
{
    openLines(300);
    const QSize size = screenPageSize(*m_printer);
    const auto picture = [&](ViewPrinter &p, const PrintRequest &request, int page,
                             PreviewPages *pages = nullptr) {
        QImage image(size, QImage::Format_RGB888);
        image.fill(Qt::white);
        QPainter painter(&image);
        const PreviewPages shown = p.previewPages(&painter, size, request, page);
        if (pages)
            *pages = shown;
        return image;
    };
    m_view->setSelection(lineOffset(100), lineOffset(170) - lineOffset(100), false, false, true);
    const struct
    {
        const char *name;
        PrintRequest request;
    } cases[] = {
        {"all", {PrintRange::All, 1, 1}},
        {"pages 2 to 3", {PrintRange::PageNums, 2, 3}},
        {"the selection", {PrintRange::Selection, 1, 1}},
        {"beyond the last page", {PrintRange::PageNums, 90, 99}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(m_pdf);
        m_renderPreview = false;
        ViewPrinter printing = makePrinter();
        printing.margins = {10.0, 80.0, 10.0, 80.0};
        const PrintResult printed = printing.print(*m_printer, c.request, 1);

        ViewPrinter browsing = makePrinter();
        browsing.margins = printing.margins;
        PreviewPages pages;
        const QImage first = picture(browsing, c.request, 1, &pages);
        EXPECT_EQ(pages.page, printed.pagesOutput > 0 ? 1 : 0);
        EXPECT_FALSE(pages.complete && pages.count < printed.pagesOutput);
        pages = browsing.previewPages(nullptr, size, c.request, INT_MAX);
        EXPECT_EQ(pages, (PreviewPages{0, printed.pagesOutput, true}));
        for (int page = printed.pagesOutput; page >= 1; --page) {
            SCOPED_TRACE(page);
            ViewPrinter fresh = makePrinter();
            fresh.margins = printing.margins;
            const QImage walked = picture(fresh, c.request, page);
            const QImage again = picture(browsing, c.request, page, &pages);
            EXPECT_EQ(pages.page, page);
            EXPECT_TRUE(again == walked) << "the same page, laid out or looked up";
            if (page > 1) {
                EXPECT_FALSE(again == first) << "another page";
            }
        }
        // Past the last page: the last one.
        if (printed.pagesOutput > 0) {
            const QImage past = picture(browsing, c.request, printed.pagesOutput + 5, &pages);
            EXPECT_EQ(pages.page, printed.pagesOutput);
            EXPECT_TRUE(past == picture(browsing, c.request, printed.pagesOutput));
        }
        EXPECT_EQ(m_view->selStart(), lineOffset(100));
        EXPECT_TRUE(m_view->drawEnabled());
    }
}

TEST_F(PrintTest, MarginsWithoutRoomForALineSayWhyAndPrintNothing)
{
    openLines(40);
    ViewPrinter p = makePrinter();
    p.margins = {10.0, 150.0, 10.0, 150.0};
    const PrintResult result = p.print(*m_printer, {}, 1);
    EXPECT_EQ(result.pagesOutput, 0);
    EXPECT_FALSE(QFileInfo::exists(m_pdf));
    EXPECT_FALSE(m_sink.texts().isEmpty());
}

TEST_F(PrintTest, PreviewShowsTheFirstPageWithItsMarginsOutlined)
{
    openLines(300);
    printRange(PrintRange::PageNums, 2, 2);
    ASSERT_FALSE(m_preview.isNull());
    const double dpi = screenDpi();
    const PageEdges r = marginRect({}, m_preview.width(), m_preview.height(), dpi, dpi);
    // The dashed outline: black dashes on the margin rectangle's edges.
    int black = 0, white = 0;
    for (int x = r.left; x < r.right; ++x)
        (QColor(m_preview.pixel(x, r.top)) == Qt::black ? black : white)++;
    EXPECT_GT(black, 0);
    EXPECT_GT(white, 0);
    // Outside the margins the page stays white.
    EXPECT_EQ(QColor(m_preview.pixel(r.left - 3, r.top + 40)), QColor(Qt::white));
    // Text is drawn inside: some dark pixels in the first text line.
    bool ink = false;
    for (int x = r.left + 2; x < r.left + 60 && !ink; ++x)
        for (int y = r.top + 1; y < r.top + m_lineHeight && !ink; ++y)
            ink = qGray(m_preview.pixel(x, y)) < 128;
    EXPECT_TRUE(ink);
}

} // namespace
