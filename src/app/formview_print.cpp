// Printing and page setup.
#include "app/formview.h"

#include "app/shellmessages.h"
#include "print/viewprinter.h"
#include "viewer/qzbinhex.h"

#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

#include <cmath>

namespace {

// Margins in whole millimetres, as the settings keep them.
int WholeMillimetres(double mm)
{
    // Hundredths first, so that 14.999999 read back from the page layout is
    // still the 15 that was put in.
    return int(std::lround(mm * 100.0)) / 100;
}

TQzPrintRequest RequestFrom(const QPrinter &printer)
{
    switch (printer.printRange()) {
    case QPrinter::Selection:
        return {TQzPrintRange::Selection, 1, 1};
    case QPrinter::PageRange:
        return {TQzPrintRange::PageNums, printer.fromPage(), printer.toPage()};
    case QPrinter::AllPages:
    case QPrinter::CurrentPage:
        break;
    }
    return {TQzPrintRange::All, 1, 1};
}

// What a cancelled run left behind: the pages before the cancel went out,
// and a PDF file is complete with them.
QString CancelledRunText(const QPrinter &printer, int pages)
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
std::shared_ptr<QPrinter> FreshCopy(const QPrinter &from)
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

QPrinter &TFormView::Printer()
{
    if (!m_printer) {
        m_printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
        m_printer->setPageSize(QPageSize(QPageSize::A4));
    }
    return *m_printer;
}

void TFormView::acFilePrintExecute()
{
    TQzBinHex *view = ActiveView();
    if (!view)
        return;
    QPrinter &printer = Printer();
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, 2000);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, view->SelLength() > 0);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    // The system dialog's PDF printer is how most print here.
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    // A selection offered last time and gone now must not stay chosen.
    if (printer.printRange() == QPrinter::Selection && view->SelLength() <= 0)
        printer.setPrintRange(QPrinter::AllPages);
    const bool confirmed =
        RunPrintDialog ? RunPrintDialog(dialog) : dialog.exec() == QDialog::Accepted;
    if (!confirmed)
        return;

    TQzViewPrinter run(*view);
    run.Margins = {double(m_settings.MarginLeft), double(m_settings.MarginTop),
                   double(m_settings.MarginRight), double(m_settings.MarginBottom)};
    if (RunPrintPreview) {
        run.Preview = [this](QPrinter &p, const TQzPreviewCallback &callback) {
            return RunPrintPreview(p, [&callback](QPainter &canvas, const QSize &page) {
                callback(&canvas, page, 1);
            });
        };
    }
    if (RunPrintProgress)
        run.Progress = RunPrintProgress;
    // A failed run has been reported by the job itself.
    const TQzPrintResult result = run.Print(printer, RequestFrom(printer), printer.copyCount());
    if (result.Failed) {
        if (printer.printerState() == QPrinter::Active || printer.printerState() == QPrinter::Error)
            m_printer = FreshCopy(printer);
        return;
    }
    if (result.Cancelled)
        MsgWarning(CancelledRunText(printer, result.PagesOutput));
}

void TFormView::acFilePageSetupExecute()
{
    QPrinter &printer = Printer();
    printer.setPageMargins(QMarginsF(m_settings.MarginLeft, m_settings.MarginTop,
                                     m_settings.MarginRight, m_settings.MarginBottom),
                           QPageLayout::Millimeter);
    QPageSetupDialog dialog(&printer, this);
    const bool confirmed =
        RunPageSetupDialog ? RunPageSetupDialog(dialog) : dialog.exec() == QDialog::Accepted;
    if (!confirmed)
        return;
    const QMarginsF m = printer.pageLayout().margins(QPageLayout::Millimeter);
    m_settings.MarginLeft = WholeMillimetres(m.left());
    m_settings.MarginTop = WholeMillimetres(m.top());
    m_settings.MarginRight = WholeMillimetres(m.right());
    m_settings.MarginBottom = WholeMillimetres(m.bottom());
}
