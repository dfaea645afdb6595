// Printing and page setup.
#include "app/formview.h"

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
    if (RunPrintPreview)
        run.Preview = RunPrintPreview;
    run.Print(printer, RequestFrom(printer), printer.copyCount());
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
