// The Print and Page setup commands of the main window: what the dialogs
// are offered and what the print run gets from the settings.
#include "formfixture.h"

#include "print/pagegeometry.h"
#include "print/qzprintpreview.h"
#include "rules/colorrec.h"
#include "rules/substringsfilter.h"
#include "viewer/qzbinhex.h"

#include "../print/pdftext.h"

#include <QAction>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>

#include <algorithm>
#include <cmath>

namespace {

class PrintCommandTest : public FormFixture
{
protected:
    TFormView &OpenLog()
    {
        QByteArray lines;
        for (int i = 1; i <= 200; ++i)
            lines += "entry " + QByteArray::number(i) + "\n";
        TFormView &form = MakeForm();
        ShowForm(form);
        form.OpenFileTab(WriteFile(QStringLiteral("app.log"), lines));
        EXPECT_NE(form.ActiveView(), nullptr);
        return form;
    }

    // Print dialog answers that send the whole file into a PDF.
    void PrintAllTo(TFormView &form, const QString &pdf)
    {
        form.RunPrintDialog = [pdf](QPrintDialog &dialog) {
            dialog.printer()->setOutputFormat(QPrinter::PdfFormat);
            dialog.printer()->setOutputFileName(pdf);
            dialog.printer()->setPrintRange(QPrinter::AllPages);
            return true;
        };
        form.RunPrintPreview = [](QPrinter &, const auto &) { return true; };
    }

    // x of the first word of page 1, in points.
    static double FirstWordX(const QString &pdf)
    {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-l"),
                                              QStringLiteral("1"), pdf, QStringLiteral("-")});
        p.waitForFinished();
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const int at = out.indexOf(QStringLiteral("<word xMin=\""));
        return at < 0 ? -1 : out.mid(at + 12, out.indexOf(u'"', at + 12) - at - 12).toDouble();
    }
};

TEST_F(PrintCommandTest, SelectionIsOfferedOnlyWhenThereIsOne)
{
    TFormView &form = OpenLog();
    std::vector<bool> offered;
    form.RunPrintDialog = [&](QPrintDialog &dialog) {
        offered.push_back(dialog.testOption(QAbstractPrintDialog::PrintSelection));
        EXPECT_EQ(dialog.minPage(), 1);
        EXPECT_EQ(dialog.maxPage(), 2000);
        EXPECT_TRUE(dialog.testOption(QAbstractPrintDialog::PrintPageRange));
        return false;
    };
    form.acFilePrintExecute();
    form.ActiveView()->SetSelection(3, 1, false, false, true);
    form.acFilePrintExecute();
    EXPECT_EQ(offered, (std::vector<bool>{false, true}));
}

TEST_F(PrintCommandTest, PrintsTheChosenRangeWithTheMarginsOfTheSettings)
{
    TFormView &form = OpenLog();
    AppSettings s = form.Settings();
    s.MarginLeft = 30;
    form.SetSettings(s);
    const QString pdf = PathOf(QStringLiteral("app.pdf"));
    int previews = 0;
    form.RunPrintDialog = [&](QPrintDialog &dialog) {
        dialog.printer()->setOutputFormat(QPrinter::PdfFormat);
        dialog.printer()->setOutputFileName(pdf);
        dialog.printer()->setPrintRange(QPrinter::PageRange);
        dialog.printer()->setFromTo(2, 2);
        return true;
    };
    form.RunPrintPreview = [&](QPrinter &, const auto &) { return ++previews, true; };
    form.acFilePrintExecute();
    EXPECT_EQ(previews, 1);
    ASSERT_TRUE(QFileInfo::exists(pdf));
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    info.waitForFinished();
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput())
                    .contains(QStringLiteral("Pages:           1")));
    const double dpi = ScreenDpi();
    EXPECT_NEAR(FirstWordX(pdf), (std::trunc(dpi * 30 / 25.4) + 2) * 72 / dpi, 1.0);
}

TEST_F(PrintCommandTest, PaperIsBlackOnWhiteWithTheFilterButNoRuleColours)
{
    TFormView &form = MakeForm();
    ShowForm(form);
    TColorRec rules;
    rules.Rule(1).Text = "ERROR";
    rules.Rule(1).ColorB = 0x0000FF; // red band
    rules.Rule(1).ColorF = 0xFF0000; // blue text
    form.SetColorRules(rules);
    TSubstringsFilterValues filter;
    filter.RepFrom[0] = "hunter[0-9]";
    filter.RepTo[0] = "*";
    form.SetSubstringsFilter(filter);
    form.OpenFileTab(WriteFile(QStringLiteral("app.log"), "start of the run\n"
                                                          "ERROR disk full on /var\n"
                                                          "login password hunter2 accepted\n"
                                                          "end of the run\n"));
    TQzBinHex *view = form.ActiveView();
    ASSERT_NE(view, nullptr);
    view->Redraw();
    const QImage screen = view->Bitmap().convertToFormat(QImage::Format_RGB32);
    bool red = false;
    for (int y = 0; y < screen.height() && !red; ++y)
        for (int x = 0; x < screen.width() && !red; ++x)
            red = qRed(screen.pixel(x, y)) > 200 && qGreen(screen.pixel(x, y)) < 60;
    ASSERT_TRUE(red) << "the rule colours the line on screen";

    const QString pdf = PathOf(QStringLiteral("look.pdf"));
    PrintAllTo(form, pdf);
    form.acFilePrintExecute();
    const QStringList lines = pdftext::PageLines(pdf, 1);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[1], QStringLiteral("ERROR disk full on /var")) << "rules do not hide text";
    EXPECT_EQ(lines[2], QStringLiteral("login password ******* accepted"));

    const QImage page = pdftext::RenderPage(pdf, 1, ScreenDpi(), PathOf(QStringLiteral("page")));
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(pdftext::ColouredPixels(page), 0) << "no rule colours on paper";
    EXPECT_EQ(page.pixel(page.width() / 2, 2), qRgb(255, 255, 255));
    for (const pdftext::Word &word : pdftext::PageWords(pdf, 1))
        if (word.Text.size() > 1) { // a thin dash is grey at this size
            EXPECT_LT(pdftext::Darkest(page, word, ScreenDpi()), 60) << word.Text.toStdString();
        }
}

TEST_F(PrintCommandTest, ACancelledRunSaysWhatTheFileHolds)
{
    TFormView &form = OpenLog();
    AppSettings s = form.Settings();
    s.MarginTop = 120;
    s.MarginBottom = 120; // a few lines a page, so 200 lines make many pages
    form.SetSettings(s);
    const QString pdf = PathOf(QStringLiteral("part.pdf"));
    PrintAllTo(form, pdf);
    struct Case
    {
        int cancelBefore;
        QString text;
    } cases[] = {
        {2, QStringLiteral("Printing was cancelled; \"%1\" holds the first 2 page(s).").arg(pdf)},
        {0, QStringLiteral("Printing was cancelled; nothing was written to \"%1\".").arg(pdf)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.cancelBefore);
        QFile::remove(pdf);
        m_sink.Clear();
        form.RunPrintProgress = [&](int pages, double) { return pages < c.cancelBefore; };
        form.acFilePrintExecute();
        ASSERT_EQ(m_sink.Texts(), QStringList{c.text});
        EXPECT_EQ(QFileInfo::exists(pdf), c.cancelBefore > 0);
        if (c.cancelBefore > 0) {
            EXPECT_EQ(pdftext::Pages(pdf), c.cancelBefore);
        }
    }
}

TEST_F(PrintCommandTest, WithoutAPrinterTheMessageSaysToPrintIntoAPdf)
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "a printer is installed here";
    TFormView &form = OpenLog();
    form.RunPrintDialog = [](QPrintDialog &dialog) {
        dialog.printer()->setOutputFileName(QString());
        dialog.printer()->setPrinterName(QString());
        return true;
    };
    form.RunPrintPreview = [](QPrinter &, const auto &) { return true; };
    form.Acts().acFilePrint->trigger();
    ASSERT_EQ(m_sink.Texts().size(), 1);
    EXPECT_TRUE(m_sink.Texts()[0].startsWith(QStringLiteral("No printer is installed.")))
        << m_sink.Texts()[0].toStdString();
    EXPECT_TRUE(form.ActiveView()->DrawEnabled());

    // The PDF printer still works after that.
    m_sink.Clear();
    const QString pdf = PathOf(QStringLiteral("after.pdf"));
    PrintAllTo(form, pdf);
    form.Acts().acFilePrint->trigger();
    EXPECT_EQ(m_sink.Texts(), QStringList());
    EXPECT_GE(pdftext::Pages(pdf), 1);
}

TEST_F(PrintCommandTest, CancelledPrintDialogPrintsNothing)
{
    TFormView &form = OpenLog();
    bool previewed = false;
    form.RunPrintDialog = [](QPrintDialog &) { return false; };
    form.RunPrintPreview = [&](QPrinter &, const auto &) { return previewed = true; };
    form.acFilePrintExecute();
    EXPECT_FALSE(previewed);
}

TEST_F(PrintCommandTest, PageSetupShowsTheMarginsAndKeepsWholeMillimetres)
{
    TFormView &form = OpenLog();
    AppSettings s = form.Settings();
    s.MarginLeft = 12;
    s.MarginTop = 0;
    form.SetSettings(s);
    QMarginsF shown;
    form.RunPageSetupDialog = [&](QPageSetupDialog &dialog) {
        shown = dialog.printer()->pageLayout().margins(QPageLayout::Millimeter);
        dialog.printer()->setPageMargins(QMarginsF(15.99, 7.5, 0, 20), QPageLayout::Millimeter);
        return true;
    };
    form.acFilePageSetupExecute();
    EXPECT_NEAR(shown.left(), 12, 0.01);
    EXPECT_NEAR(shown.top(), 0, 0.01);
    EXPECT_NEAR(shown.right(), 10, 0.01);
    EXPECT_EQ(form.Settings().MarginLeft, 15) << "truncated, not rounded";
    EXPECT_EQ(form.Settings().MarginTop, 7);
    EXPECT_EQ(form.Settings().MarginRight, 0);
    EXPECT_EQ(form.Settings().MarginBottom, 20);

    // Cancel keeps them.
    form.RunPageSetupDialog = [&](QPageSetupDialog &dialog) {
        dialog.printer()->setPageMargins(QMarginsF(1, 1, 1, 1), QPageLayout::Millimeter);
        return false;
    };
    form.acFilePageSetupExecute();
    EXPECT_EQ(form.Settings().MarginLeft, 15);
}

} // namespace
