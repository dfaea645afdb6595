#include "print/viewprinter.h"

#include "print/printprogress.h"
#include "viewer/filesource.h"
#include "viewer/qzbinhex.h"
#include "text/fproc.h"
#include "text/guard.h"
#include "text/messages.h"

#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <stdexcept>

#include <sys/stat.h>

namespace {

// The bytes the open file holds now; -1 when that cannot be told. A file
// cut short under a run reads as zeros past its new end.
qint64 CurrentFileSize(const TQzBinHex &view)
{
    const auto *local = dynamic_cast<const LocalFileSource *>(view.Document().Source());
    if (!local)
        return -1;
    struct stat st
    {
    };
    if (::fstat(local->Descriptor(), &st) != 0)
        return -1;
    return qint64(st.st_size);
}

// Everything a run changes on the viewer, put back however it ends.
class ViewState
{
public:
    explicit ViewState(TQzBinHex &view)
        : m_view(view), m_viewPos(view.ViewPos()), m_selStart(view.SelStart()),
          m_selLength(view.SelLength()), m_hViewPos(view.HViewPos()), m_wrap(view.TextWrap()),
          m_nonPrintable(view.TextNonPrintable()), m_gutter(view.TextGutter()),
          m_drawEnabled(view.DrawEnabled()), m_layoutSize(view.LayoutSize())
    {}
    ViewState(const ViewState &) = delete;
    ViewState &operator=(const ViewState &) = delete;

    void Restore()
    {
        m_view.SetLayoutSize(m_layoutSize);
        m_view.SetTextWrap(m_wrap);
        m_view.SetTextNonPrintable(m_nonPrintable);
        m_view.SetTextGutter(m_gutter);
        m_view.SetSelection(m_selStart, m_selLength, false, false, true);
        if (m_view.ViewPos() != m_viewPos)
            m_view.SetViewPos(m_viewPos);
        else
            m_view.ReadBuffer(m_viewPos);
        m_view.SetHViewPos(m_hViewPos, false);
        if (m_drawEnabled)
            m_view.EnableDrawing(true);
        m_view.SetSearchRunning(false);
    }

private:
    TQzBinHex &m_view;
    qint64 m_viewPos;
    qint64 m_selStart;
    qint64 m_selLength;
    int m_hViewPos;
    bool m_wrap;
    bool m_nonPrintable;
    bool m_gutter;
    bool m_drawEnabled;
    QSize m_layoutSize;
};

// The printer as a run needs it: the whole sheet as its page, at the screen's
// resolution, so that the page is laid out in the pixels the viewer measures
// in and its text goes out as text. Put back at the end of the run.
class PrinterSetup
{
public:
    explicit PrinterSetup(QPrinter &printer)
        : m_printer(printer), m_fullPage(printer.fullPage()), m_resolution(printer.resolution())
    {
        printer.setFullPage(true);
        printer.setResolution(int(ScreenDpi()));
    }
    ~PrinterSetup()
    {
        m_printer.setFullPage(m_fullPage);
        m_printer.setResolution(m_resolution);
    }
    PrinterSetup(const PrinterSetup &) = delete;
    PrinterSetup &operator=(const PrinterSetup &) = delete;

private:
    QPrinter &m_printer;
    bool m_fullPage;
    int m_resolution;
};

// Why a page could not be started, in the user's terms.
std::runtime_error PrinterError(const QPrinter &printer, bool firstPage)
{
    QString text;
    if (!printer.outputFileName().isEmpty())
        text = QStringLiteral("Cannot write the file \"%1\".").arg(printer.outputFileName());
    else if (printer.printerName().isEmpty())
        text = QStringLiteral("No printer is installed. Choose \"Print to File (PDF)\" to print "
                              "into a PDF file.");
    else if (firstPage)
        text = QStringLiteral("Cannot start printing on \"%1\".").arg(printer.printerName());
    else
        text = QStringLiteral("Cannot start a new page on \"%1\".").arg(printer.printerName());
    return std::runtime_error(text.toStdString());
}

// Where the view starts laying out a run: at the line that holds start.
void StartAt(TQzBinHex &view, qint64 start)
{
    if (start <= 0)
        view.ScrollToBegin();
    else
        view.MoveByLines(1, false, false, true, start);
}

// Lays the view out as paper wants it: wrapped, plain, no gutter, no
// selection, at the size of the text area. Drawing on screen is off.
void PrepareView(TQzBinHex &view, const QSize &text)
{
    view.SetSelection(0, 0, false, false, true);
    view.SetTextWrap(true);
    view.SetTextNonPrintable(false);
    view.SetTextGutter(false);
    view.SetHViewPos(0, false);
    view.SetLayoutSize(text);
}

void GoTo(TQzBinHex &view, qint64 position)
{
    if (view.ViewPos() == position)
        view.ReadBuffer(position);
    else
        view.SetViewPos(position);
}

} // namespace

int TQzViewPrinter::FooterPixels() const
{
    const QFont &font = m_view.FontFooter().Font;
    if (font.pointSizeF() > 0)
        return FooterHeight(font.pointSizeF(), ScreenDpi());
    return FooterHeightPixels(font.pixelSize());
}

void TQzViewPrinter::DrawFooter(QPainter &painter, const QRect &rect, int page) const
{
    painter.save();
    painter.fillRect(rect, Qt::white);
    painter.setFont(m_view.FontFooter().Font);
    painter.setPen(m_view.FontFooter().Color);
    const QString text = FooterText(DisplayFileName(m_view.FileName()), page);
    const int width = painter.fontMetrics().horizontalAdvance(text);
    const int x = FooterTextLeft(rect.left(), rect.left() + rect.width(), width);
    painter.drawText(x, rect.top() + painter.fontMetrics().ascent(), text);
    painter.restore();
}

TQzPrintResult TQzViewPrinter::Print(QPrinter &printer, const TQzPrintRequest &request, int copies,
                                     const QString &title)
{
    // The job is the end of the line for an error: it is reported here, the
    // printer is left without an open job, and the run counts as failed.
    try {
        return RunPrint(printer, request, copies, title);
    } catch (...) {
        ReportCurrentException();
        TQzPrintResult failed;
        failed.Failed = true;
        return failed;
    }
}

TQzPrintResult TQzViewPrinter::RunPrint(QPrinter &printer, const TQzPrintRequest &request,
                                        int copies, const QString &title)
{
    const PrinterSetup setup(printer);
    m_pages = PageStarts();
    const TQzPreviewCallback callback = [&](QPainter *canvas, const QSize &size, int page) {
        return PreviewPages(canvas, size, request, page);
    };
    const bool print = Preview
                           ? Preview(printer, callback)
                           : TFormQzPreview::ShowTextPreview(printer, callback, m_view.window());
    if (!print)
        return {};
    const int count = copies > 0 ? copies : 1;
    printer.setCopyCount(count);
    printer.setDocName(title.isEmpty() ? DefaultJobTitle(DisplayFileName(m_view.FileName()))
                                       : title);
    // A device that makes no copies itself (a PDF file) gets each one drawn:
    // the whole run again when collated, else each page again.
    const bool drawCopies = count > 1 && !printer.supportsMultipleCopies();
    const int runs = drawCopies && printer.collateCopies() ? count : 1;
    QPainter job;
    struct JobEnd
    {
        TQzViewPrinter &self;
        QPainter &job;
        ~JobEnd()
        {
            if (job.isActive())
                job.end();
            self.m_job = nullptr;
            self.m_pageCopies = 1;
        }
    } jobEnd{*this, job};
    m_job = &job;
    m_pageCopies = drawCopies && !printer.collateCopies() ? count : 1;
    TQzPrintResult total;
    for (int run = 0; run < runs; ++run) {
        const TQzPrintResult r = PrintPages(nullptr, ScreenPageSize(printer), &printer, request);
        total.PagesLaidOut += r.PagesLaidOut;
        total.PagesOutput += r.PagesOutput;
        total.Cancelled = r.Cancelled;
        total.ReadFailed = r.ReadFailed;
        if (r.Cancelled || r.ReadFailed || r.PagesOutput == 0)
            break;
    }
    return total;
}

TQzPreviewPages TQzViewPrinter::PreviewPages(QPainter *canvas, const QSize &pageSize,
                                             const TQzPrintRequest &request, int page)
{
    PageStarts &pages = m_pages;
    if (pages.PageSize != pageSize || pages.FileSize != m_view.FileSize() ||
        pages.Range != request.Range || pages.FromPage != request.FromPage ||
        pages.ToPage != request.ToPage) {
        pages = PageStarts();
        pages.PageSize = pageSize;
        pages.FileSize = m_view.FileSize();
        pages.Range = request.Range;
        pages.FromPage = request.FromPage;
        pages.ToPage = request.ToPage;
    }
    const auto known = [&pages](int drawn) {
        return TQzPreviewPages{drawn, int(pages.Starts.size()), pages.Complete};
    };
    if (pages.NoRoom)
        return known(0);

    const bool selection = request.Range == TQzPrintRange::Selection;
    if ((selection && m_view.SelLength() <= 0) || m_view.FileSize() < m_view.CharSize()) {
        pages.Complete = true; // nothing to print
        return known(0);
    }
    const qint64 start = selection ? m_view.SelStart() : 0;
    const qint64 end =
        selection ? m_view.SelStart() + m_view.SelLength() - m_view.CharSize() : m_view.MaxPos();
    const double dpi = ScreenDpi();
    const TQzEdges r = MarginRect(Margins, pageSize.width(), pageSize.height(), dpi, dpi);
    const int footer = FooterPixels();
    const QSize text(r.Width(), r.Height() - footer);
    if (text.width() < 1 || text.height() < m_view.LineHeight() + 2) {
        pages.NoRoom = true;
        pages.Complete = true;
        ShowMessage(ProgramTitle(),
                    QStringLiteral("The margins leave no room for a line of text on the page."),
                    MsgIcon::Error);
        return known(0);
    }
    page = std::max(page, 1);
    if (!canvas && (pages.Complete || int(pages.Starts.size()) >= page))
        return known(0);

    ViewState saved(m_view);
    int drawn = 0;
    try {
        m_view.SetSearchRunning(true); // a reload waits for the end of the run
        m_view.EnableDrawing(false);
        if (pages.NextPos < 0)
            StartAt(m_view, start);
        PrepareView(m_view, text);
        if (int(pages.Starts.size()) < page && !pages.Complete)
            WalkPages(pages, request, end, text, page);
        if (canvas && !pages.Starts.empty()) {
            drawn = std::min(page, int(pages.Starts.size()));
            GoTo(m_view, pages.Starts[size_t(drawn - 1)]);
            TQzBinHex::DrawResult result;
            canvas->save();
            canvas->translate(r.Left, r.Top);
            canvas->setClipRect(QRect(QPoint(0, 0), text));
            m_view.RenderTo(*canvas, text, end, true, nullptr, result);
            canvas->restore();
            const int number =
                (request.Range == TQzPrintRange::PageNums ? request.FromPage - 1 : 0) + drawn;
            DrawFooter(*canvas, QRect(r.Left, r.Bottom - footer, r.Width(), footer), number);
            canvas->save();
            canvas->setPen(QPen(Qt::black, 0, Qt::DashLine));
            canvas->setBrush(Qt::NoBrush);
            canvas->drawRect(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1));
            canvas->restore();
        }
    } catch (...) {
        saved.Restore();
        throw;
    }
    saved.Restore();
    return known(drawn);
}

void TQzViewPrinter::WalkPages(PageStarts &pages, const TQzPrintRequest &request, qint64 end,
                               const QSize &text, int upTo)
{
    const bool pageNums = request.Range == TQzPrintRange::PageNums;
    if (pages.NextPos >= 0)
        GoTo(m_view, pages.NextPos);
    const int pageLines = m_view.VisibleLines();
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter p(&scratch);
    while (int(pages.Starts.size()) < upTo && !pages.Complete) {
        const int page = pages.NextPage;
        if (!(pageNums && page < request.FromPage))
            pages.Starts.push_back(m_view.ViewPos());
        TQzBinHex::DrawResult drawn;
        m_view.RenderTo(p, text, end, true, nullptr, drawn);
        const qint64 size = CurrentFileSize(m_view);
        const bool cutShort =
            size >= 0 && size < std::min(m_view.ViewPos() + drawn.ViewPageSize, m_view.FileSize());
        if (!m_view.ReadOK() || cutShort || drawn.ViewAtEnd) {
            pages.Complete = true;
            break;
        }
        const qint64 before = m_view.ViewPos();
        m_view.MoveByLines(pageLines, true, false, false, before);
        pages.NextPos = m_view.ViewPos();
        pages.NextPage = page + 1;
        if (pages.NextPos <= before || (pageNums ? page + 1 > request.ToPage : pages.NextPos > end))
            pages.Complete = true;
    }
}

TQzPrintResult TQzViewPrinter::PrintPages(QPainter *canvas, const QSize &pageSize,
                                          QPrinter *printer, const TQzPrintRequest &request)
{
    TQzPrintResult result;
    if (canvas) {
        const TQzPreviewPages shown = PreviewPages(canvas, pageSize, request, 1);
        result.PagesLaidOut = result.PagesOutput = shown.Page;
        return result;
    }
    if (!printer)
        return result;
    const bool selection = request.Range == TQzPrintRange::Selection;
    const bool pageNums = request.Range == TQzPrintRange::PageNums;
    if (selection && m_view.SelLength() <= 0)
        return result;
    if (m_view.FileSize() < m_view.CharSize())
        return result; // an empty file has no page to print
    const qint64 start = selection ? m_view.SelStart() : 0;
    const qint64 end =
        selection ? m_view.SelStart() + m_view.SelLength() - m_view.CharSize() : m_view.MaxPos();

    const double dpi = ScreenDpi();
    const TQzEdges r = MarginRect(Margins, pageSize.width(), pageSize.height(), dpi, dpi);
    const int footer = FooterPixels();
    const QSize text(r.Width(), r.Height() - footer);
    if (text.width() < 1 || text.height() < m_view.LineHeight() + 2) {
        ShowMessage(ProgramTitle(),
                    QStringLiteral("The margins leave no room for a line of text on the page."),
                    MsgIcon::Error);
        return result;
    }

    ViewState saved(m_view);
    TQzPrintProgress defaultProgress;
    const auto progress = [&](int pages, double done) {
        return Progress ? Progress(pages, done) : defaultProgress.Step(pages, done);
    };
    // One painter for the whole job when Print runs it, so that copies
    // follow in the same file.
    QPainter own;
    QPainter &out = m_job ? *m_job : own;
    // Pages at the printer's own resolution when it would not take the
    // screen's: drawn into one bitmap and stretched onto the page.
    const bool raster = printer->logicalDpiX() != int(dpi) || printer->logicalDpiY() != int(dpi);
    QImage pageBitmap;
    QImage scratch(1, 1, QImage::Format_RGB32);
    try {
        m_view.SetSearchRunning(true); // a reload waits for the end of the run
        m_view.EnableDrawing(false);
        StartAt(m_view, start);
        PrepareView(m_view, text);
        const int pageLines = m_view.VisibleLines();

        for (int page = 1;; ++page) {
            if (!progress(result.PagesOutput,
                          double(m_view.ViewPos() - start) / double(end - start + 1))) {
                result.Cancelled = true;
                break;
            }
            const bool output = !(pageNums && page < request.FromPage);
            TQzBinHex::DrawResult drawn;
            for (int copy = 0; output && copy < m_pageCopies; ++copy) {
                if (!out.isActive()) {
                    if (!out.begin(printer))
                        throw PrinterError(*printer, true);
                } else if (!printer->newPage()) {
                    throw PrinterError(*printer, false);
                }
                const TQzEdges rp = MarginRect(Margins, printer->width(), printer->height(),
                                               printer->logicalDpiX(), printer->logicalDpiY());
                const int footerP = int(printer->logicalDpiY() / dpi * footer);
                const QRect area(rp.Left, rp.Top, rp.Width(), rp.Height() - footerP);
                if (raster) {
                    m_view.DrawTo(pageBitmap, text.width(), text.height(), end, true, nullptr,
                                  drawn);
                    out.drawImage(area, pageBitmap);
                } else {
                    out.save();
                    out.translate(area.topLeft());
                    out.setClipRect(QRect(QPoint(0, 0), text));
                    m_view.RenderTo(out, text, end, true, nullptr, drawn);
                    out.restore();
                }
                DrawFooter(out, QRect(rp.Left, rp.Bottom - footerP, rp.Width(), footerP), page);
                ++result.PagesOutput;
            }
            if (!output) {
                // Laid out only, to find where the next page starts.
                QPainter p(&scratch);
                m_view.RenderTo(p, text, end, true, nullptr, drawn);
            }
            ++result.PagesLaidOut;

            if (!m_view.ReadOK()) {
                result.ReadFailed = true;
                break;
            }
            const qint64 size = CurrentFileSize(m_view);
            if (size >= 0 &&
                size < std::min(m_view.ViewPos() + drawn.ViewPageSize, m_view.FileSize())) {
                result.ReadFailed = true; // cut short under the run: the rest is gone
                break;
            }
            if (drawn.ViewAtEnd)
                break;
            const qint64 before = m_view.ViewPos();
            m_view.MoveByLines(pageLines, true, false, false, before);
            if (m_view.ViewPos() <= before)
                break;
            if (pageNums ? page + 1 > request.ToPage : m_view.ViewPos() > end)
                break;
        }
        if (own.isActive())
            own.end();
    } catch (...) {
        if (own.isActive())
            own.end();
        saved.Restore();
        throw;
    }
    saved.Restore();
    return result;
}
