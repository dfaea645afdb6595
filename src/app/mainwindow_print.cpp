// Printing and page setup.
#include "app/mainwindow.h"

#include "app/shellmessages.h"
#include "print/printprogress.h"
#include "print/viewprinter.h"
#include "text/guard.h"
#include "viewer/logview.h"

#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Margins in whole millimetres, as the settings keep them.
int wholeMillimetres(double mm)
{
    // Hundredths first, so that 14.999999 read back from the page layout is
    // still the 15 that was put in.
    return int(std::lround(mm * 100.0)) / 100;
}

PrintRequest requestFrom(const QPrinter &printer)
{
    switch (printer.printRange()) {
    case QPrinter::Selection:
        return {PrintRange::Selection, 1, 1};
    case QPrinter::PageRange:
        return {PrintRange::PageNums, printer.fromPage(), printer.toPage()};
    case QPrinter::AllPages:
    case QPrinter::CurrentPage:
        break;
    }
    return {PrintRange::All, 1, 1};
}

// What a cancelled run left behind: the pages before the cancel went out,
// and a PDF file is complete with them.
QString cancelledRunText(const QPrinter &printer, int pages)
{
    const QString file = printer.outputFileName();
    if (file.isEmpty())
        return QStringLiteral("Printing was cancelled after %1 page(s).").arg(pages);
    if (pages == 0)
        return QStringLiteral("Printing was cancelled; nothing was written to \"%1\".").arg(file);
    return QStringLiteral("Printing was cancelled; \"%1\" holds the first %2 page(s).")
        .arg(file)
        .arg(pages);
}

// A printer that is stuck in its failed job takes no new settings and no
// new job: a new one takes its choices over.
std::shared_ptr<QPrinter> freshCopy(const QPrinter &from)
{
    auto to = std::make_shared<QPrinter>(QPrinter::HighResolution);
    to->setOutputFormat(from.outputFormat());
    if (!from.printerName().isEmpty())
        to->setPrinterName(from.printerName());
    to->setOutputFileName(from.outputFileName());
    to->setPageLayout(from.pageLayout());
    to->setColorMode(from.colorMode());
    to->setDuplex(from.duplex());
    to->setCopyCount(from.copyCount());
    to->setPrintRange(from.printRange());
    to->setFromTo(from.fromPage(), from.toPage());
    return to;
}

} // namespace

QPrinter &MainWindow::printer()
{
    if (!m_printer) {
        m_printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
        m_printer->setPageSize(QPageSize(QPageSize::A4));
    }
    return *m_printer;
}

bool MainWindow::holdForPrint(const TabWidgets &widgets)
{
    if (!m_printRun || m_printView != widgets.view)
        return false;
    // The run stops before its next page, and its viewer stays whole (no
    // file change either) until the run is over.
    m_printRun->stop();
    if (m_printProgress)
        m_printProgress->cancel();
    widgets.view->setAutoReload(false);
    m_printHeldSheet = widgets.sheet;
    return true;
}

void MainWindow::filePrintTriggered()
{
    LogView *view = activeView();
    if (!view || m_printRun)
        return;
    const QPointer<LogView> printed(view);
    QPrinter &target = printer();
    QPrintDialog dialog(&target, this);
    dialog.setMinMax(1, 2000);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, view->selLength() > 0);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    // The system dialog's PDF printer is how most print here.
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    // A selection offered last time and gone now must not stay chosen.
    if (target.printRange() == QPrinter::Selection && view->selLength() <= 0)
        target.setPrintRange(QPrinter::AllPages);
    const bool confirmed =
        runPrintDialog ? runPrintDialog(dialog) : dialog.exec() == QDialog::Accepted;
    // The tab may have been closed while the dialog was up.
    const bool open = std::any_of(m_recs.begin(), m_recs.end(),
                                  [&printed](const Tab &rec) { return rec.view == printed; });
    if (!confirmed || !printed || !open)
        return;

    m_printRun = std::make_unique<ViewPrinter>(*view);
    m_printView = view;
    ViewPrinter &run = *m_printRun;
    run.margins = {double(m_settings.marginLeft), double(m_settings.marginTop),
                   double(m_settings.marginRight), double(m_settings.marginBottom)};
    if (runPrintPreview) {
        run.preview = [this](QPrinter &p, const PreviewCallback &callback) {
            return runPrintPreview(p, [&callback](QPainter &canvas, const QSize &page) {
                callback(&canvas, page, 1);
            });
        };
    }
    bool pages = false;
    try {
        pages = run.start(target, requestFrom(target), target.copyCount());
    } catch (...) {
        endPrint(std::current_exception());
        return;
    }
    if (!pages) {
        endPrint(nullptr);
        return;
    }
    // The pages follow one per turn of the event loop; the command is done.
    m_printProgress = new PrintProgress;
    m_printProgress->ask = runPrintProgress;
    m_printProgress->start(
        [this] {
            return PrintProgress::Position{m_printRun->pagesOutput(), m_printRun->done()};
        },
        [this] { return m_printRun->printNext(); },
        [this](bool completed, const std::exception_ptr &error) {
            if (!completed && !error)
                m_printRun->stop();
            // It goes once the turn that ended the run is over.
            std::exchange(m_printProgress, nullptr)->deleteLater();
            runGuarded([this, &error] { endPrint(error); });
        });
}

void MainWindow::endPrint(const std::exception_ptr &error)
{
    // A failed run has been reported by the job itself.
    const PrintResult result = m_printRun->finish(error);
    m_printRun.reset();
    LogView *view = std::exchange(m_printView, nullptr);
    if (QWidget *sheet = std::exchange(m_printHeldSheet, nullptr)) {
        // Its tab closed during the run: it goes now, as closing would have.
        view->open(QString(), false);
        sheet->deleteLater();
    }
    QPrinter &target = printer();
    if (result.Failed) {
        if (target.printerState() == QPrinter::Active || target.printerState() == QPrinter::Error)
            m_printer = freshCopy(target);
        return;
    }
    if (result.cancelled)
        msgWarning(cancelledRunText(target, result.pagesOutput));
}

void MainWindow::filePageSetupTriggered()
{
    QPrinter &target = printer();
    target.setPageMargins(QMarginsF(m_settings.marginLeft, m_settings.marginTop,
                                    m_settings.marginRight, m_settings.marginBottom),
                          QPageLayout::Millimeter);
    QPageSetupDialog dialog(&target, this);
    const bool confirmed =
        runPageSetupDialog ? runPageSetupDialog(dialog) : dialog.exec() == QDialog::Accepted;
    if (!confirmed)
        return;
    const QMarginsF m = target.pageLayout().margins(QPageLayout::Millimeter);
    m_settings.marginLeft = wholeMillimetres(m.left());
    m_settings.marginTop = wholeMillimetres(m.top());
    m_settings.marginRight = wholeMillimetres(m.right());
    m_settings.marginBottom = wholeMillimetres(m.bottom());
}
