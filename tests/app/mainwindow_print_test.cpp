// The Print and Page setup commands of the main window: what the dialogs
// are offered and what the print run gets from the settings.
#include "formfixture.h"

#include "print/pagegeometry.h"
#include "print/printpreviewdialog.h"
#include "rules/colorrec.h"
#include "rules/substringsfilter.h"
#include "viewer/logview.h"

#include "../print/pdftext.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPointer>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <cmath>

namespace {

class PrintCommandTest : public FormFixture
{
protected:
    MainWindow &openLog()
    {
        QByteArray lines;
        for (int i = 1; i <= 200; ++i)
            lines += "entry " + QByteArray::number(i) + "\n";
        MainWindow &form = makeForm();
        showForm(form);
        form.openFileTab(writeFile(QStringLiteral("app.log"), lines));
        EXPECT_NE(form.activeView(), nullptr);
        return form;
    }

    // Print dialog answers that send the whole file into a PDF.
    void printAllTo(MainWindow &form, const QString &pdf)
    {
        form.runPrintDialog = [pdf](QPrintDialog &dialog) {
            dialog.printer()->setOutputFormat(QPrinter::PdfFormat);
            dialog.printer()->setOutputFileName(pdf);
            dialog.printer()->setPrintRange(QPrinter::AllPages);
            return true;
        };
        form.runPrintPreview = [](QPrinter &, const auto &) { return true; };
    }

    // The command returns at once; its run goes on from the event loop.
    static void print(MainWindow &form)
    {
        form.acts().filePrint->trigger();
        EXPECT_TRUE(QTest::qWaitFor([&form] { return !form.printing(); }, 60000))
            << "the print run never ended";
    }

    // x of the first word of page 1, in points.
    static double firstWordX(const QString &pdf)
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
    MainWindow &form = openLog();
    std::vector<bool> offered;
    form.runPrintDialog = [&](QPrintDialog &dialog) {
        offered.push_back(dialog.testOption(QAbstractPrintDialog::PrintSelection));
        EXPECT_EQ(dialog.minPage(), 1);
        EXPECT_EQ(dialog.maxPage(), 2000);
        EXPECT_TRUE(dialog.testOption(QAbstractPrintDialog::PrintPageRange));
        return false;
    };
    form.acts().filePrint->trigger();
    form.activeView()->setSelection(3, 1, false, false, true);
    form.acts().filePrint->trigger();
    EXPECT_EQ(offered, (std::vector<bool>{false, true}));
}

TEST_F(PrintCommandTest, PrintsTheChosenRangeWithTheMarginsOfTheSettings)
{
    MainWindow &form = openLog();
    AppSettings s = form.settings();
    s.marginLeft = 30;
    form.setSettings(s);
    const QString pdf = pathOf(QStringLiteral("app.pdf"));
    int previews = 0;
    form.runPrintDialog = [&](QPrintDialog &dialog) {
        dialog.printer()->setOutputFormat(QPrinter::PdfFormat);
        dialog.printer()->setOutputFileName(pdf);
        dialog.printer()->setPrintRange(QPrinter::PageRange);
        dialog.printer()->setFromTo(2, 2);
        return true;
    };
    form.runPrintPreview = [&](QPrinter &, const auto &) { return ++previews, true; };
    form.acts().filePrint->trigger();
    EXPECT_TRUE(form.printing()) << "the pages are printed from the event loop";
    EXPECT_TRUE(QTest::qWaitFor([&form] { return !form.printing(); }, 60000));
    EXPECT_EQ(previews, 1);
    ASSERT_TRUE(QFileInfo::exists(pdf));
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    info.waitForFinished();
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput())
                    .contains(QStringLiteral("Pages:           1")));
    const double dpi = screenDpi();
    EXPECT_NEAR(firstWordX(pdf), (std::trunc(dpi * 30 / 25.4) + 2) * 72 / dpi, 1.0);
}

TEST_F(PrintCommandTest, PaperIsBlackOnWhiteWithTheFilterButNoRuleColours)
{
    MainWindow &form = makeForm();
    showForm(form);
    ColorRules rules;
    rules.rule(1).text = "ERROR";
    rules.rule(1).colorB = 0x0000FF; // red band
    rules.rule(1).colorF = 0xFF0000; // blue text
    form.setColorRules(rules);
    SubstringsFilterValues filter;
    filter.repFrom[0] = "hunter[0-9]";
    filter.repTo[0] = "*";
    form.setSubstringsFilter(filter);
    form.openFileTab(writeFile(QStringLiteral("app.log"), "start of the run\n"
                                                          "ERROR disk full on /var\n"
                                                          "login password hunter2 accepted\n"
                                                          "end of the run\n"));
    LogView *view = form.activeView();
    ASSERT_NE(view, nullptr);
    view->redraw();
    const QImage screen = view->bitmap().convertToFormat(QImage::Format_RGB32);
    bool red = false;
    for (int y = 0; y < screen.height() && !red; ++y)
        for (int x = 0; x < screen.width() && !red; ++x)
            red = qRed(screen.pixel(x, y)) > 200 && qGreen(screen.pixel(x, y)) < 60;
    ASSERT_TRUE(red) << "the rule colours the line on screen";

    const QString pdf = pathOf(QStringLiteral("look.pdf"));
    printAllTo(form, pdf);
    print(form);
    const QStringList lines = pdftext::pageLines(pdf, 1);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[1], QStringLiteral("ERROR disk full on /var")) << "rules do not hide text";
    EXPECT_EQ(lines[2], QStringLiteral("login password ******* accepted"));

    const QImage page = pdftext::renderPage(pdf, 1, screenDpi(), pathOf(QStringLiteral("page")));
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(pdftext::colouredPixels(page), 0) << "no rule colours on paper";
    EXPECT_EQ(page.pixel(page.width() / 2, 2), qRgb(255, 255, 255));
    for (const pdftext::Word &word : pdftext::pageWords(pdf, 1))
        if (word.text.size() > 1) { // a thin dash is grey at this size
            EXPECT_LT(pdftext::darkest(page, word, screenDpi()), 60) << word.text.toStdString();
        }
}

TEST_F(PrintCommandTest, ACancelledRunSaysWhatTheFileHolds)
{
    MainWindow &form = openLog();
    AppSettings s = form.settings();
    s.marginTop = 120;
    s.marginBottom = 120; // a few lines a page, so 200 lines make many pages
    form.setSettings(s);
    const QString pdf = pathOf(QStringLiteral("part.pdf"));
    printAllTo(form, pdf);
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
        m_sink.clear();
        form.runPrintProgress = [&](int pages, double) { return pages < c.cancelBefore; };
        print(form);
        ASSERT_EQ(m_sink.texts(), QStringList{c.text});
        EXPECT_EQ(QFileInfo::exists(pdf), c.cancelBefore > 0);
        if (c.cancelBefore > 0) {
            EXPECT_EQ(pdftext::pages(pdf), c.cancelBefore);
        }
    }
}

TEST_F(PrintCommandTest, ATabClosedWhilePrintingGoesOnceTheRunIsOver)
{
    // Closed as a watcher or a second instance closes one, from an event
    // handled inside the run: the run stops, and its viewer lives until the
    // run is over and goes then.
    struct Case
    {
        const char *name;
        bool inPreview;
        QString text;
    };
    const QString pdf = pathOf(QStringLiteral("closed.pdf"));
    const Case cases[] = {
        {"in the preview", true,
         QStringLiteral("Printing was cancelled; nothing was written to \"%1\".").arg(pdf)},
        {"after the first page", false,
         QStringLiteral("Printing was cancelled; \"%1\" holds the first 1 page(s).").arg(pdf)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(pdf);
        MainWindow &form = openLog();
        AppSettings s = form.settings();
        s.marginTop = 120;
        s.marginBottom = 120; // many pages
        form.setSettings(s);
        printAllTo(form, pdf);
        const QPointer<LogView> view = form.activeView();
        bool kept = false;
        const auto close = [&] {
            form.closeTab(0);
            // What the run's own event loop would get to next.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            kept = !view.isNull();
        };
        if (c.inPreview) {
            form.runPrintPreview = [&](QPrinter &, const auto &) {
                close();
                return true;
            };
        } else {
            form.runPrintProgress = [&](int pages, double) {
                if (pages == 1)
                    close();
                return true;
            };
        }
        m_sink.clear();
        print(form);
        EXPECT_TRUE(kept) << "deleted under the run";
        EXPECT_EQ(form.tabCount(), 0);
        EXPECT_EQ(m_sink.texts(), QStringList{c.text});
        if (!c.inPreview) {
            EXPECT_EQ(pdftext::pages(pdf), 1);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(view.isNull()) << "kept after the run";
    }
}

TEST_F(PrintCommandTest, WithoutAPrinterTheMessageSaysToPrintIntoAPdf)
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "a printer is installed here";
    MainWindow &form = openLog();
    form.runPrintDialog = [](QPrintDialog &dialog) {
        dialog.printer()->setOutputFileName(QString());
        dialog.printer()->setPrinterName(QString());
        return true;
    };
    form.runPrintPreview = [](QPrinter &, const auto &) { return true; };
    print(form);
    ASSERT_EQ(m_sink.texts().size(), 1);
    EXPECT_TRUE(m_sink.texts()[0].startsWith(QStringLiteral("No printer is installed.")))
        << m_sink.texts()[0].toStdString();
    EXPECT_TRUE(form.activeView()->drawEnabled());

    // The PDF printer still works after that.
    m_sink.clear();
    const QString pdf = pathOf(QStringLiteral("after.pdf"));
    printAllTo(form, pdf);
    print(form);
    EXPECT_EQ(m_sink.texts(), QStringList());
    EXPECT_GE(pdftext::pages(pdf), 1);
}

TEST_F(PrintCommandTest, CancelledPrintDialogPrintsNothing)
{
    MainWindow &form = openLog();
    bool previewed = false;
    form.runPrintDialog = [](QPrintDialog &) { return false; };
    form.runPrintPreview = [&](QPrinter &, const auto &) { return previewed = true; };
    form.acts().filePrint->trigger();
    EXPECT_FALSE(previewed);
}

TEST_F(PrintCommandTest, PageSetupShowsTheMarginsAndKeepsWholeMillimetres)
{
    MainWindow &form = openLog();
    AppSettings s = form.settings();
    s.marginLeft = 12;
    s.marginTop = 0;
    form.setSettings(s);
    QMarginsF shown;
    form.runPageSetupDialog = [&](QPageSetupDialog &dialog) {
        shown = dialog.printer()->pageLayout().margins(QPageLayout::Millimeter);
        dialog.printer()->setPageMargins(QMarginsF(15.99, 7.5, 0, 20), QPageLayout::Millimeter);
        return true;
    };
    form.acts().filePageSetup->trigger();
    EXPECT_NEAR(shown.left(), 12, 0.01);
    EXPECT_NEAR(shown.top(), 0, 0.01);
    EXPECT_NEAR(shown.right(), 10, 0.01);
    EXPECT_EQ(form.settings().marginLeft, 15) << "truncated, not rounded";
    EXPECT_EQ(form.settings().marginTop, 7);
    EXPECT_EQ(form.settings().marginRight, 0);
    EXPECT_EQ(form.settings().marginBottom, 20);

    // Cancel keeps them.
    form.runPageSetupDialog = [&](QPageSetupDialog &dialog) {
        dialog.printer()->setPageMargins(QMarginsF(1, 1, 1, 1), QPageLayout::Millimeter);
        return false;
    };
    form.acts().filePageSetup->trigger();
    EXPECT_EQ(form.settings().marginLeft, 15);
}

} // namespace
