// The Print and Page setup commands of the main window: what the dialogs
// are offered and what the print run gets from the settings.
#include "formfixture.h"

#include "print/pagegeometry.h"
#include "print/qzprintpreview.h"
#include "viewer/qzbinhex.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>

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
