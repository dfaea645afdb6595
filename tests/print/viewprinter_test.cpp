#include "print/viewprinter.h"

#include "print/pagegeometry.h"
#include "print/qzprintpreview.h"

#include "pdftext.h"
#include "viewer/viewerfixture.h"

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
        m_pdf = m_files.Path(QStringLiteral("out.pdf"));
        m_printer->setOutputFileName(m_pdf);
    }

    // A viewer over numbered lines, shown ten lines high.
    void OpenLines(int count)
    {
        m_path = Write(NumberedLines(count));
        ASSERT_TRUE(m_view->Open(m_path));
        ShowLines(10);
    }

    TQzViewPrinter MakePrinter()
    {
        TQzViewPrinter p(*m_view);
        p.Preview = [this](QPrinter &, const TQzPreviewCallback &callback) {
            ++m_previews;
            if (m_renderPreview) {
                m_preview = QImage(ScreenPageSize(*m_printer), QImage::Format_RGB888);
                m_preview.fill(Qt::white);
                QPainter painter(&m_preview);
                callback(&painter, m_preview.size(), 1);
            }
            return m_previewAnswer;
        };
        return p;
    }

    TQzPrintResult PrintRange(TQzPrintRange range, int from = 1, int to = 1, int copies = 1)
    {
        TQzViewPrinter p = MakePrinter();
        return p.Print(*m_printer, {range, from, to}, copies);
    }

    // All lines of the PDF, page after page, without the footers.
    QStringList TextLines()
    {
        QStringList lines;
        const int pages = pdftext::Pages(m_pdf);
        for (int page = 1; page <= pages; ++page) {
            QStringList l = pdftext::PageLines(m_pdf, page);
            EXPECT_FALSE(l.isEmpty());
            if (!l.isEmpty())
                l.removeLast();
            lines << l;
        }
        return lines;
    }

    static QStringList Numbered(int from, int to)
    {
        QStringList lines;
        for (int i = from; i <= to; ++i)
            lines << QStringLiteral("line%1").arg(i, 3, 10, QLatin1Char('0'));
        return lines;
    }

    // Offset of the first character of line n (1-based) of NumberedLines.
    static qint64 LineOffset(int n) { return qint64(n - 1) * 8; }

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
    OpenLines(300);
    const TQzPrintResult result = PrintRange(TQzPrintRange::All);
    EXPECT_EQ(m_previews, 1);
    const int pages = pdftext::Pages(m_pdf);
    ASSERT_GE(pages, 3) << "the fixture must span pages";
    EXPECT_EQ(result.PagesOutput, pages);
    for (int page = 1; page <= pages; ++page) {
        SCOPED_TRACE(page);
        EXPECT_EQ(pdftext::PageLines(m_pdf, page).last(),
                  QStringLiteral("view.log - %1").arg(page));
    }
    // A line cut off at the foot of a page would show on two pages.
    EXPECT_EQ(TextLines(), Numbered(1, 300));
}

TEST_F(PrintTest, PageRangePrintsThosePagesWithTheirNumbers)
{
    OpenLines(300);
    PrintRange(TQzPrintRange::All);
    const QStringList page2 = pdftext::PageLines(m_pdf, 2);
    const QStringList page3 = pdftext::PageLines(m_pdf, 3);
    ASSERT_GE(pdftext::Pages(m_pdf), 4);

    const TQzPrintResult result = PrintRange(TQzPrintRange::PageNums, 2, 3);
    EXPECT_EQ(pdftext::Pages(m_pdf), 2);
    EXPECT_EQ(result.PagesOutput, 2);
    EXPECT_EQ(result.PagesLaidOut, 3) << "the run stops after the last page asked for";
    EXPECT_EQ(pdftext::PageLines(m_pdf, 1), page2);
    EXPECT_EQ(pdftext::PageLines(m_pdf, 2), page3);
    EXPECT_EQ(page3.last(), QStringLiteral("view.log - 3"));
}

TEST_F(PrintTest, RangeBeyondTheLastPagePrintsNothingAndPreviewsAWhitePage)
{
    OpenLines(40);
    const TQzPrintResult result = PrintRange(TQzPrintRange::PageNums, 5, 9);
    EXPECT_EQ(result.PagesOutput, 0);
    EXPECT_EQ(result.PagesLaidOut, 1);
    EXPECT_FALSE(QFileInfo::exists(m_pdf)) << "no job is started for no page";
    ASSERT_FALSE(m_preview.isNull());
    QImage white(m_preview.size(), m_preview.format());
    white.fill(Qt::white);
    EXPECT_EQ(m_preview, white);
}

TEST_F(PrintTest, SelectionPrintsTheWholeLinesItTouches)
{
    OpenLines(300);
    struct Case
    {
        const char *name;
        qint64 start;
        qint64 length;
        QStringList lines;
    } cases[] = {
        {"middle of line 3 to middle of line 5", LineOffset(3) + 3,
         LineOffset(5) + 4 - LineOffset(3) - 3, Numbered(3, 5)},
        {"one character", LineOffset(120) + 2, 1, Numbered(120, 120)},
        {"the line break of a line", LineOffset(7) + 7, 1, Numbered(7, 7)},
        {"the last character of the file", LineOffset(300) + 7, 1, Numbered(300, 300)},
        {"the first character of the file", 0, 1, Numbered(1, 1)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_view->SetSelection(c.start, c.length, false, false, true);
        ASSERT_EQ(m_view->SelLength(), c.length);
        PrintRange(TQzPrintRange::Selection);
        ASSERT_EQ(pdftext::Pages(m_pdf), 1);
        EXPECT_EQ(TextLines(), c.lines);
        EXPECT_EQ(m_view->SelStart(), c.start);
        EXPECT_EQ(m_view->SelLength(), c.length);
    }
}

TEST_F(PrintTest, SelectionOverPagesPrintsFromItsFirstToItsLastLine)
{
    OpenLines(300);
    m_view->SetSelection(LineOffset(10) + 5, LineOffset(250) - LineOffset(10), false, false, true);
    PrintRange(TQzPrintRange::Selection);
    EXPECT_GE(pdftext::Pages(m_pdf), 3);
    EXPECT_EQ(TextLines(), Numbered(10, 250));
}

TEST_F(PrintTest, MarginsAndFooterSitWhereThePageGeometrySays)
{
    OpenLines(300);
    TQzViewPrinter p = MakePrinter();
    p.Margins = {25.0, 30.0, 15.0, 40.0};
    p.Print(*m_printer, {TQzPrintRange::All, 1, 1}, 1);
    const std::vector<pdftext::Word> words = pdftext::PageWords(m_pdf, 1);
    ASSERT_GE(words.size(), 3u);
    const double dpi = ScreenDpi();
    const double pt = 72.0 / dpi; // points per screen pixel
    const double a4Width = 595.28, a4Height = 841.89;
    const int left = int(std::trunc(dpi * 25.0 / 25.4));
    const int top = int(std::trunc(dpi * 30.0 / 25.4));
    const int right = int(std::trunc(dpi * 15.0 / 25.4));
    const int bottom = int(std::trunc(dpi * 40.0 / 25.4));
    const pdftext::Word &first = words.front();
    EXPECT_EQ(first.Text, QStringLiteral("line001"));
    // The text starts two pixels inside the left margin, its line at the top one.
    EXPECT_NEAR(first.XMin, (left + 2) * pt, 1.0);
    EXPECT_GE(first.YMin, top * pt - 0.5);
    EXPECT_LE(first.YMin, (top + m_lineHeight) * pt);
    // The footer: the last two words, centred between the margins, in the
    // band above the bottom margin.
    const pdftext::Word &name = words[words.size() - 3];
    const pdftext::Word &number = words.back();
    EXPECT_EQ(name.Text, QStringLiteral("view.log"));
    EXPECT_EQ(number.Text, QStringLiteral("1"));
    const double centre = (left * pt + a4Width - right * pt) / 2;
    EXPECT_NEAR((name.XMin + number.XMax) / 2, centre, 2.0);
    const double footerTop = a4Height - bottom * pt - FooterHeight(9, dpi) * pt;
    EXPECT_GE(name.YMin, footerTop - 0.5);
    EXPECT_LE(name.YMax, a4Height - bottom * pt + 0.5);
    // No text of the page reaches into the footer band.
    for (size_t i = 0; i + 3 < words.size(); ++i)
        EXPECT_LE(words[i].YMax, footerTop + 0.5) << words[i].Text.toStdString();
}

TEST_F(PrintTest, TheViewerIsAsItWasAfterARun)
{
    // Lines longer than the view, so that wrapping on paper differs from the screen.
    QByteArray bytes;
    for (int i = 0; i < 400; ++i)
        bytes += "row " + QByteArray::number(i) + " " + QByteArray(150, 'x') + " end\n";
    m_path = Write(bytes);
    ASSERT_TRUE(m_view->Open(m_path));
    ShowLines(10);
    m_view->SetTextWrap(false);
    m_view->SetTextNonPrintable(true);
    m_view->SetTextGutter(true);
    m_view->MoveByLines(37, true, true, false, 0);
    m_view->SetHViewPos(40, true);
    m_view->SetSelection(5000, 700, false, false, true);
    m_view->Redraw();
    const qint64 viewPos = m_view->ViewPos();
    const int hViewPos = m_view->HViewPos();
    const std::vector<QString> drawn = DrawnTexts();
    const QImage picture = m_view->Bitmap().copy();
    ASSERT_GT(hViewPos, 0);

    for (TQzPrintRange range :
         {TQzPrintRange::All, TQzPrintRange::Selection, TQzPrintRange::PageNums}) {
        SCOPED_TRACE(int(range));
        const TQzPrintResult result = PrintRange(range, 2, 3);
        EXPECT_GT(result.PagesOutput, 0);
        EXPECT_EQ(m_view->ViewPos(), viewPos);
        EXPECT_EQ(m_view->HViewPos(), hViewPos);
        EXPECT_EQ(m_view->SelStart(), 5000);
        EXPECT_EQ(m_view->SelLength(), 700);
        EXPECT_FALSE(m_view->TextWrap());
        EXPECT_TRUE(m_view->TextNonPrintable());
        EXPECT_TRUE(m_view->TextGutter());
        EXPECT_TRUE(m_view->DrawEnabled());
        EXPECT_TRUE(m_view->isEnabled());
        EXPECT_TRUE(m_view->LayoutSize().isEmpty());
        EXPECT_EQ(DrawnTexts(), drawn);
        EXPECT_EQ(m_view->Bitmap(), picture);
    }
    // Paper wraps what the screen does not.
    EXPECT_TRUE(pdftext::PageLines(m_pdf, 1).size() > 2);
}

TEST_F(PrintTest, PaperIsBlackOnWhiteWithGreyAddressesWhateverTheScreenColours)
{
    m_path = Write("plain words first\nsee http://example.com/guide for more\n");
    ASSERT_TRUE(m_view->Open(m_path));
    QFont font = m_view->Font().Font;
    m_view->SetFont({font, QColor(255, 255, 0)});
    m_view->SetColor(QColor(0, 0, 128));
    m_view->TextColorURL = QColor(0, 255, 0);
    ASSERT_TRUE(m_view->TextUrlHilight());
    ShowLines(10);
    PrintRange(TQzPrintRange::All);
    const double dpi = ScreenDpi();
    const QImage page = pdftext::RenderPage(m_pdf, 1, dpi, m_files.Path(QStringLiteral("page")));
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(pdftext::ColouredPixels(page), 0) << "none of the screen's colours";
    EXPECT_EQ(page.pixel(page.width() / 2, page.height() / 2), qRgb(255, 255, 255));
    bool sawAddress = false;
    for (const pdftext::Word &word : pdftext::PageWords(m_pdf, 1)) {
        SCOPED_TRACE(word.Text.toStdString());
        const int darkest = pdftext::Darkest(page, word, dpi);
        if (word.Text.startsWith(QStringLiteral("http://"))) {
            sawAddress = true;
            EXPECT_GT(darkest, 80) << "addresses print grey";
            EXPECT_LT(darkest, 200);
        } else if (word.Text.size() > 1) { // a thin dash is grey at this size
            EXPECT_LT(darkest, 60) << "text prints black";
        }
    }
    EXPECT_TRUE(sawAddress);
}

TEST_F(PrintTest, CancelledPreviewPrintsNothing)
{
    OpenLines(40);
    m_previewAnswer = false;
    const TQzPrintResult result = PrintRange(TQzPrintRange::All);
    EXPECT_EQ(m_previews, 1);
    EXPECT_EQ(result.PagesOutput, 0);
    EXPECT_FALSE(QFileInfo::exists(m_pdf));
}

TEST_F(PrintTest, CopiesBelowOnePrintOneAndTheTitleNamesTheFile)
{
    OpenLines(40);
    struct Case
    {
        int copies;
        int expected;
    } cases[] = {{0, 1}, {-3, 1}, {1, 1}, {3, 3}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.copies);
        PrintRange(TQzPrintRange::All, 1, 1, c.copies);
        EXPECT_EQ(m_printer->copyCount(), c.expected);
    }
    EXPECT_EQ(pdftext::Info(m_pdf, QStringLiteral("Title")), QStringLiteral("Viewer - view.log"));
    TQzViewPrinter p = MakePrinter();
    p.Print(*m_printer, {}, 1, QStringLiteral("Nightly build"));
    EXPECT_EQ(pdftext::Info(m_pdf, QStringLiteral("Title")), QStringLiteral("Nightly build"));
}

TEST_F(PrintTest, CopiesOfAPdfAreAllInTheFileCollatedOrNot)
{
    OpenLines(300);
    ASSERT_FALSE(m_printer->supportsMultipleCopies()) << "a PDF file makes no copies itself";
    struct Case
    {
        bool collate;
        std::vector<int> footers;
    } cases[] = {{true, {1, 2, 1, 2, 1, 2}}, {false, {1, 1, 1, 2, 2, 2}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.collate);
        m_printer->setCollateCopies(c.collate);
        const TQzPrintResult result = PrintRange(TQzPrintRange::PageNums, 1, 2, 3);
        EXPECT_EQ(result.PagesOutput, 6);
        ASSERT_EQ(pdftext::Pages(m_pdf), 6);
        std::vector<int> footers;
        for (int page = 1; page <= 6; ++page)
            footers.push_back(
                pdftext::PageLines(m_pdf, page).last().section(QLatin1Char(' '), -1).toInt());
        EXPECT_EQ(footers, c.footers);
        EXPECT_EQ(pdftext::PageLines(m_pdf, 4).first(),
                  pdftext::PageLines(m_pdf, c.collate ? 2 : 5).first());
    }
}

TEST_F(PrintTest, WithoutAFileTheFooterIsThePageNumberAndTheTitleViewer)
{
    QBuffer stream;
    stream.setData(NumberedLines(30));
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    m_view->OpenStream(&stream);
    ShowLines(10);
    PrintRange(TQzPrintRange::All);
    ASSERT_EQ(pdftext::Pages(m_pdf), 1);
    EXPECT_EQ(pdftext::PageLines(m_pdf, 1).last(), QStringLiteral("1"));
    EXPECT_EQ(pdftext::Info(m_pdf, QStringLiteral("Title")), QStringLiteral("Viewer"));
}

TEST_F(PrintTest, CancelledRunLeavesAValidPdfWithThePagesSoFar)
{
    OpenLines(600);
    TQzViewPrinter p = MakePrinter();
    int asked = 0;
    p.Progress = [&](int pages, double done) {
        ++asked;
        EXPECT_GE(done, 0.0);
        EXPECT_LT(done, 1.0);
        return pages < 2;
    };
    const TQzPrintResult result = p.Print(*m_printer, {}, 1);
    EXPECT_TRUE(result.Cancelled);
    EXPECT_EQ(result.PagesOutput, 2);
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(pdftext::Pages(m_pdf), 2);
    EXPECT_EQ(pdftext::PageLines(m_pdf, 2).last(), QStringLiteral("view.log - 2"));
    EXPECT_TRUE(m_view->DrawEnabled());
}

TEST_F(PrintTest, FileCutShortDuringARunEndsItAfterThatPage)
{
    OpenLines(600);
    const qint64 viewPos = m_view->ViewPos();
    TQzViewPrinter p = MakePrinter();
    p.Progress = [&](int pages, double) {
        if (pages == 1)
            QFile::resize(m_path, LineOffset(80)); // inside the second page
        return true;
    };
    const TQzPrintResult result = p.Print(*m_printer, {}, 1);
    EXPECT_TRUE(result.ReadFailed);
    EXPECT_EQ(result.PagesOutput, 2);
    EXPECT_EQ(pdftext::Pages(m_pdf), 2);
    EXPECT_EQ(m_view->ViewPos(), viewPos);
    EXPECT_TRUE(m_view->DrawEnabled());
}

// Whatever fails in a job, nothing is thrown out of it: the error goes to
// the general error message, the viewer and the printer are as they were,
// and the result says the run failed.
TEST_F(PrintTest, AFailingJobReportsItsErrorAndEndsAsFailed)
{
    OpenLines(200);
    struct Case
    {
        const char *Name;
        std::function<void(TQzViewPrinter &)> Break;
        QString Text; // the start of the message
    };
    const QString noFolder = m_files.Path(QStringLiteral("no/such/folder/out.pdf"));
    const Case cases[] = {
        {"the printer cannot start",
         [&](TQzViewPrinter &) { m_printer->setOutputFileName(noFolder); },
         QStringLiteral("Cannot write the file")},
        {"an error half way through",
         [](TQzViewPrinter &p) {
             p.Progress = [](int pages, double) {
                 if (pages == 2)
                     throw std::runtime_error("disk on fire");
                 return true;
             };
         },
         QStringLiteral("disk on fire")},
        {"memory runs out",
         [](TQzViewPrinter &p) {
             p.Progress = [](int pages, double) -> bool {
                 if (pages == 1)
                     throw std::bad_alloc();
                 return true;
             };
         },
         QStringLiteral("std::bad_alloc")},
        {"the preview fails",
         [](TQzViewPrinter &p) {
             p.Preview = [](QPrinter &, const TQzPreviewCallback &) -> bool { throw 42; };
         },
         QStringLiteral("Unknown exception")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        m_sink.Clear();
        m_printer->setOutputFileName(m_pdf);
        m_view->SetSelection(9, 3, false, false, true);
        const qint64 viewPos = m_view->ViewPos();
        const int resolution = m_printer->resolution();
        TQzViewPrinter p = MakePrinter();
        p.Margins = {10.0, 120.0, 10.0, 120.0}; // a few lines a page
        c.Break(p);
        TQzPrintResult result;
        EXPECT_NO_THROW(result = p.Print(*m_printer, {}, 1));
        EXPECT_TRUE(result.Failed);
        ASSERT_EQ(m_sink.Messages().size(), 1u);
        EXPECT_TRUE(m_sink.Messages()[0].Text.startsWith(c.Text))
            << m_sink.Messages()[0].Text.toStdString();
        EXPECT_EQ(m_sink.Messages()[0].Caption, QStringLiteral("Ravelin Pro"));
        EXPECT_EQ(m_sink.Messages()[0].Icon, MsgIcon::Error);
        EXPECT_NE(m_printer->printerState(), QPrinter::Active) << "no job is left open";
        EXPECT_EQ(m_printer->resolution(), resolution);
        EXPECT_FALSE(m_printer->fullPage()) << "the printer's own setup comes back too";
        EXPECT_EQ(m_view->ViewPos(), viewPos);
        EXPECT_EQ(m_view->SelStart(), 9);
        EXPECT_EQ(m_view->SelLength(), 3);
        EXPECT_TRUE(m_view->DrawEnabled());
        EXPECT_FALSE(m_view->IsSearchRunning());
        EXPECT_TRUE(m_view->LayoutSize().isEmpty());
    }
}

// The preview pages through what is printed: as many pages, and each the
// same whether reached step by step or again from what was laid out.
TEST_F(PrintTest, PreviewPagesAreThePrintedPages)
{
    OpenLines(300);
    const QSize size = ScreenPageSize(*m_printer);
    const auto picture = [&](TQzViewPrinter &p, const TQzPrintRequest &request, int page,
                             TQzPreviewPages *pages = nullptr) {
        QImage image(size, QImage::Format_RGB888);
        image.fill(Qt::white);
        QPainter painter(&image);
        const TQzPreviewPages shown = p.PreviewPages(&painter, size, request, page);
        if (pages)
            *pages = shown;
        return image;
    };
    m_view->SetSelection(LineOffset(100), LineOffset(170) - LineOffset(100), false, false, true);
    const struct
    {
        const char *Name;
        TQzPrintRequest Request;
    } cases[] = {
        {"all", {TQzPrintRange::All, 1, 1}},
        {"pages 2 to 3", {TQzPrintRange::PageNums, 2, 3}},
        {"the selection", {TQzPrintRange::Selection, 1, 1}},
        {"beyond the last page", {TQzPrintRange::PageNums, 90, 99}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        QFile::remove(m_pdf);
        m_renderPreview = false;
        TQzViewPrinter printing = MakePrinter();
        printing.Margins = {10.0, 80.0, 10.0, 80.0};
        const TQzPrintResult printed = printing.Print(*m_printer, c.Request, 1);

        TQzViewPrinter browsing = MakePrinter();
        browsing.Margins = printing.Margins;
        TQzPreviewPages pages;
        const QImage first = picture(browsing, c.Request, 1, &pages);
        EXPECT_EQ(pages.Page, printed.PagesOutput > 0 ? 1 : 0);
        EXPECT_FALSE(pages.Complete && pages.Count < printed.PagesOutput);
        pages = browsing.PreviewPages(nullptr, size, c.Request, INT_MAX);
        EXPECT_EQ(pages, (TQzPreviewPages{0, printed.PagesOutput, true}));
        for (int page = printed.PagesOutput; page >= 1; --page) {
            SCOPED_TRACE(page);
            TQzViewPrinter fresh = MakePrinter();
            fresh.Margins = printing.Margins;
            const QImage walked = picture(fresh, c.Request, page);
            const QImage again = picture(browsing, c.Request, page, &pages);
            EXPECT_EQ(pages.Page, page);
            EXPECT_TRUE(again == walked) << "the same page, laid out or looked up";
            if (page > 1) {
                EXPECT_FALSE(again == first) << "another page";
            }
        }
        // Past the last page: the last one.
        if (printed.PagesOutput > 0) {
            const QImage past = picture(browsing, c.Request, printed.PagesOutput + 5, &pages);
            EXPECT_EQ(pages.Page, printed.PagesOutput);
            EXPECT_TRUE(past == picture(browsing, c.Request, printed.PagesOutput));
        }
        EXPECT_EQ(m_view->SelStart(), LineOffset(100));
        EXPECT_TRUE(m_view->DrawEnabled());
    }
}

TEST_F(PrintTest, MarginsWithoutRoomForALineSayWhyAndPrintNothing)
{
    OpenLines(40);
    TQzViewPrinter p = MakePrinter();
    p.Margins = {10.0, 150.0, 10.0, 150.0};
    const TQzPrintResult result = p.Print(*m_printer, {}, 1);
    EXPECT_EQ(result.PagesOutput, 0);
    EXPECT_FALSE(QFileInfo::exists(m_pdf));
    EXPECT_FALSE(m_sink.Texts().isEmpty());
}

TEST_F(PrintTest, PreviewShowsTheFirstPageWithItsMarginsOutlined)
{
    OpenLines(300);
    PrintRange(TQzPrintRange::PageNums, 2, 2);
    ASSERT_FALSE(m_preview.isNull());
    const double dpi = ScreenDpi();
    const TQzEdges r = MarginRect({}, m_preview.width(), m_preview.height(), dpi, dpi);
    // The dashed outline: black dashes on the margin rectangle's edges.
    int black = 0, white = 0;
    for (int x = r.Left; x < r.Right; ++x)
        (QColor(m_preview.pixel(x, r.Top)) == Qt::black ? black : white)++;
    EXPECT_GT(black, 0);
    EXPECT_GT(white, 0);
    // Outside the margins the page stays white.
    EXPECT_EQ(QColor(m_preview.pixel(r.Left - 3, r.Top + 40)), QColor(Qt::white));
    // Text is drawn inside: some dark pixels in the first text line.
    bool ink = false;
    for (int x = r.Left + 2; x < r.Left + 60 && !ink; ++x)
        for (int y = r.Top + 1; y < r.Top + m_lineHeight && !ink; ++y)
            ink = qGray(m_preview.pixel(x, y)) < 128;
    EXPECT_TRUE(ink);
}

} // namespace
