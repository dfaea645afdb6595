#include "print/viewprinter.h"

#include "print/printprogress.h"
#include "viewer/filesource.h"
#include "viewer/logview.h"
#include "text/fileutil.h"
#include "text/guard.h"
#include "text/messages.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <stdexcept>

#include <sys/stat.h>

namespace {

// The bytes the open file holds now; -1 when that cannot be told. A file
// cut short under a run reads as zeros past its new end.
qint64 currentFileSize(const LogView &view)
{
    const auto *local = dynamic_cast<const LocalFileSource *>(view.document().source());
    if (!local)
        return -1;
    struct stat st
    {
    };
    if (::fstat(local->descriptor(), &st) != 0)
        return -1;
    return qint64(st.st_size);
}

// Everything a run changes on the viewer, put back however it ends.
class ViewState
{
public:
    explicit ViewState(LogView &view)
        : m_view(view), m_viewPos(view.viewPos()), m_selStart(view.selStart()),
          m_selLength(view.selLength()), m_hViewPos(view.hViewPos()),
          m_wrap(view.options().textWrap), m_nonPrintable(view.options().textNonPrintable),
          m_gutter(view.options().textGutter), m_drawEnabled(view.drawEnabled()),
          m_layoutSize(view.layoutSize())
    {}
    ViewState(const ViewState &) = delete;
    ViewState &operator=(const ViewState &) = delete;

    void restore()
    {
        m_view.setLayoutSize(m_layoutSize);
        ViewOptions options = m_view.options();
        options.textWrap = m_wrap;
        options.textNonPrintable = m_nonPrintable;
        options.textGutter = m_gutter;
        m_view.setOptions(options);
        m_view.setSelection(m_selStart, m_selLength, false, false, true);
        if (m_view.viewPos() != m_viewPos)
            m_view.setViewPos(m_viewPos);
        else
            m_view.document().readBuffer(m_viewPos);
        m_view.setHViewPos(m_hViewPos, false);
        if (m_drawEnabled)
            m_view.enableDrawing(true);
        m_view.setSearchRunning(false);
    }

private:
    LogView &m_view;
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
        printer.setResolution(int(screenDpi()));
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
std::runtime_error printerError(const QPrinter &printer, bool firstPage)
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
void startAt(LogView &view, qint64 start)
{
    if (start <= 0)
        view.scrollToBegin();
    else
        view.moveByLines(1, false, false, true, start);
}

// Lays the view out as paper wants it: wrapped, plain, no gutter, no
// selection, at the size of the text area. Drawing on screen is off.
void prepareView(LogView &view, const QSize &text)
{
    view.setSelection(0, 0, false, false, true);
    ViewOptions options = view.options();
    options.textWrap = true;
    options.textNonPrintable = false;
    options.textGutter = false;
    view.setOptions(options);
    view.setHViewPos(0, false);
    view.setLayoutSize(text);
}

void goTo(LogView &view, qint64 position)
{
    if (view.viewPos() == position)
        view.document().readBuffer(position);
    else
        view.setViewPos(position);
}

} // namespace

int ViewPrinter::footerPixels() const
{
    const QFont &font = m_view.options().fontFooter.font;
    if (font.pointSizeF() > 0)
        return footerHeight(font.pointSizeF(), screenDpi());
    return footerHeightPixels(font.pixelSize());
}

void ViewPrinter::drawFooter(QPainter &painter, const QRect &rect, int page) const
{
    painter.save();
    painter.fillRect(rect, Qt::white);
    painter.setFont(m_view.options().fontFooter.font);
    painter.setPen(m_view.options().fontFooter.color);
    const QString text = footerText(displayFileName(m_view.fileName()), page);
    const int width = painter.fontMetrics().horizontalAdvance(text);
    const int x = footerTextLeft(rect.left(), rect.left() + rect.width(), width);
    painter.drawText(x, rect.top() + painter.fontMetrics().ascent(), text);
    painter.restore();
}

void ViewPrinter::stop()
{
    m_stopped = true;
    if (m_previewDialog)
        m_previewDialog->reject();
}

// A job on the printer: its setup and painter, and the passes it makes.
struct ViewPrinter::Job
{
    explicit Job(QPrinter &target, const PrintRequest &what)
        : printer(target), request(what), setup(target)
    {}
    ~Job()
    {
        if (painter.isActive())
            painter.end();
    }
    Job(const Job &) = delete;
    Job &operator=(const Job &) = delete;

    QPrinter &printer;
    PrintRequest request;
    PrinterSetup setup;
    // One painter for the whole job, so that copies follow in the same file.
    QPainter painter;
    int pageCopies = 1; // times each page is drawn
    int passes = 1;
    int pass = 0;
};

// Where a pass over the pages stands; the viewer is laid out for paper
// until it ends.
struct ViewPrinter::Pass
{
    explicit Pass(LogView &view) : saved(view) {}

    ViewState saved;
    PrintResult result;
    qint64 start = 0;
    qint64 end = 0;
    QSize text;
    int footer = 0;
    // Pages at the printer's own resolution when it would not take the
    // screen's: drawn into one bitmap and stretched onto the page.
    bool raster = false;
    QImage pageBitmap;
    QImage scratch{1, 1, QImage::Format_RGB32};
    int pageLines = 0;
    int page = 1;
};

ViewPrinter::ViewPrinter(LogView &view) : m_view(view) {}

ViewPrinter::ViewPrinter(ViewPrinter &&) noexcept = default;

ViewPrinter::~ViewPrinter()
{
    if (m_job || m_pass)
        finish();
}

PrintResult ViewPrinter::print(QPrinter &printer, const PrintRequest &request, int copies,
                               const QString &title)
{
    try {
        if (start(printer, request, copies, title)) {
            while (!progress || progress(pagesOutput(), done())) {
                if (!printNext())
                    return finish();
            }
            m_result.cancelled = true;
        }
    } catch (...) {
        return finish(std::current_exception());
    }
    return finish();
}

bool ViewPrinter::start(QPrinter &printer, const PrintRequest &request, int copies,
                        const QString &title)
{
    m_result = PrintResult();
    m_pages = PageStarts();
    m_job = std::make_unique<Job>(printer, request);
    const PreviewCallback callback = [this](QPainter *canvas, const QSize &size, int page) {
        return previewPages(canvas, size, m_job->request, page);
    };
    const bool print = preview ? preview(printer, callback)
                               : PrintPreviewDialog::showTextPreview(
                                     printer, callback, m_view.window(), &m_previewDialog);
    if (!print || m_stopped) {
        m_result.cancelled = m_stopped;
        return false;
    }
    const int count = copies > 0 ? copies : 1;
    printer.setCopyCount(count);
    printer.setDocName(title.isEmpty() ? defaultJobTitle(displayFileName(m_view.fileName()))
                                       : title);
    // A device that makes no copies itself (a PDF file) gets each one drawn:
    // the whole run again when collated, else each page again.
    const bool drawCopies = count > 1 && !printer.supportsMultipleCopies();
    m_job->passes = drawCopies && printer.collateCopies() ? count : 1;
    m_job->pageCopies = drawCopies && !printer.collateCopies() ? count : 1;
    return beginPass();
}

bool ViewPrinter::printNext()
{
    if (!m_pass)
        return false;
    if (printPage())
        return true;
    const PrintResult pass = m_pass->result;
    endPass();
    if (pass.cancelled || pass.readFailed || pass.pagesOutput == 0)
        return false;
    return ++m_job->pass < m_job->passes && beginPass();
}

PrintResult ViewPrinter::finish(const std::exception_ptr &error)
{
    if (m_pass) {
        if (error) {
            // Put back as it was found; the pages of a failed pass count for nothing.
            m_pass->saved.restore();
            m_pass.reset();
        } else {
            m_result.cancelled = m_result.cancelled || m_stopped;
            endPass();
        }
    }
    m_job.reset();
    if (error) {
        // The job is the end of the line for an error: it is reported here,
        // the printer is left without an open job, and the run counts as failed.
        try {
            std::rethrow_exception(error);
        } catch (...) {
            reportCurrentException();
        }
        PrintResult failed;
        failed.Failed = true;
        m_result = failed;
    }
    return m_result;
}

int ViewPrinter::pagesOutput() const
{
    return m_pass ? m_pass->result.pagesOutput : 0;
}

double ViewPrinter::done() const
{
    if (!m_pass)
        return 0;
    return double(m_view.viewPos() - m_pass->start) / double(m_pass->end - m_pass->start + 1);
}

PreviewPages ViewPrinter::previewPages(QPainter *canvas, const QSize &pageSize,
                                       const PrintRequest &request, int page)
{
    PageStarts &pages = m_pages;
    if (pages.pageSize != pageSize || pages.fileSize != m_view.document().fileSize() ||
        pages.range != request.range || pages.fromPage != request.fromPage ||
        pages.toPage != request.toPage) {
        pages = PageStarts();
        pages.pageSize = pageSize;
        pages.fileSize = m_view.document().fileSize();
        pages.range = request.range;
        pages.fromPage = request.fromPage;
        pages.toPage = request.toPage;
    }
    const auto known = [&pages](int drawn) {
        return PreviewPages{drawn, int(pages.starts.size()), pages.complete};
    };
    if (pages.noRoom)
        return known(0);

    const bool selection = request.range == PrintRange::Selection;
    if ((selection && m_view.selLength() <= 0) ||
        m_view.document().fileSize() < m_view.document().charSize()) {
        pages.complete = true; // nothing to print
        return known(0);
    }
    const qint64 start = selection ? m_view.selStart() : 0;
    const qint64 end = selection
                           ? m_view.selStart() + m_view.selLength() - m_view.document().charSize()
                           : m_view.document().maxPos();
    const double dpi = screenDpi();
    const PageEdges r = marginRect(margins, pageSize.width(), pageSize.height(), dpi, dpi);
    const int footer = footerPixels();
    const QSize text(r.width(), r.height() - footer);
    if (text.width() < 1 || text.height() < m_view.lineHeight() + 2) {
        pages.noRoom = true;
        pages.complete = true;
        showMessage(programTitle(),
                    QStringLiteral("The margins leave no room for a line of text on the page."),
                    MsgIcon::Error);
        return known(0);
    }
    page = std::max(page, 1);
    if (!canvas && (pages.complete || int(pages.starts.size()) >= page))
        return known(0);

    ViewState saved(m_view);
    int drawn = 0;
    try {
        m_view.setSearchRunning(true); // a reload waits for the end of the run
        m_view.enableDrawing(false);
        if (pages.nextPos < 0)
            startAt(m_view, start);
        prepareView(m_view, text);
        if (int(pages.starts.size()) < page && !pages.complete)
            walkPages(pages, request, end, text, page);
        if (canvas && !pages.starts.empty()) {
            drawn = std::min(page, int(pages.starts.size()));
            goTo(m_view, pages.starts[size_t(drawn - 1)]);
            LogView::DrawResult result;
            canvas->save();
            canvas->translate(r.left, r.top);
            canvas->setClipRect(QRect(QPoint(0, 0), text));
            m_view.renderTo(*canvas, text, end, true, nullptr, result);
            canvas->restore();
            const int number =
                (request.range == PrintRange::PageNums ? request.fromPage - 1 : 0) + drawn;
            drawFooter(*canvas, QRect(r.left, r.bottom - footer, r.width(), footer), number);
            canvas->save();
            canvas->setPen(QPen(Qt::black, 0, Qt::DashLine));
            canvas->setBrush(Qt::NoBrush);
            canvas->drawRect(QRect(r.left, r.top, r.width() - 1, r.height() - 1));
            canvas->restore();
        }
    } catch (...) {
        saved.restore();
        throw;
    }
    saved.restore();
    return known(drawn);
}

void ViewPrinter::walkPages(PageStarts &pages, const PrintRequest &request, qint64 end,
                            const QSize &text, int upTo)
{
    const bool pageNums = request.range == PrintRange::PageNums;
    if (pages.nextPos >= 0)
        goTo(m_view, pages.nextPos);
    const int pageLines = m_view.visibleLines();
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter p(&scratch);
    while (int(pages.starts.size()) < upTo && !pages.complete) {
        const int page = pages.nextPage;
        if (!(pageNums && page < request.fromPage))
            pages.starts.push_back(m_view.viewPos());
        LogView::DrawResult drawn;
        m_view.renderTo(p, text, end, true, nullptr, drawn);
        const qint64 size = currentFileSize(m_view);
        const bool cutShort = size >= 0 && size < std::min(m_view.viewPos() + drawn.viewPageSize,
                                                           m_view.document().fileSize());
        if (!m_view.document().readOK() || cutShort || drawn.viewAtEnd) {
            pages.complete = true;
            break;
        }
        const qint64 before = m_view.viewPos();
        m_view.moveByLines(pageLines, true, false, false, before);
        pages.nextPos = m_view.viewPos();
        pages.nextPage = page + 1;
        if (pages.nextPos <= before || (pageNums ? page + 1 > request.toPage : pages.nextPos > end))
            pages.complete = true;
    }
}

bool ViewPrinter::beginPass()
{
    const PrintRequest &request = m_job->request;
    const bool selection = request.range == PrintRange::Selection;
    if (selection && m_view.selLength() <= 0)
        return false;
    if (m_view.document().fileSize() < m_view.document().charSize())
        return false; // an empty file has no page to print
    QPrinter &printer = m_job->printer;
    const QSize pageSize = screenPageSize(printer);
    const double dpi = screenDpi();
    const PageEdges r = marginRect(margins, pageSize.width(), pageSize.height(), dpi, dpi);
    const int footer = footerPixels();
    const QSize text(r.width(), r.height() - footer);
    if (text.width() < 1 || text.height() < m_view.lineHeight() + 2) {
        showMessage(programTitle(),
                    QStringLiteral("The margins leave no room for a line of text on the page."),
                    MsgIcon::Error);
        return false;
    }

    m_pass = std::make_unique<Pass>(m_view);
    Pass &pass = *m_pass;
    pass.start = selection ? m_view.selStart() : 0;
    pass.end = selection ? m_view.selStart() + m_view.selLength() - m_view.document().charSize()
                         : m_view.document().maxPos();
    pass.text = text;
    pass.footer = footer;
    pass.raster = printer.logicalDpiX() != int(dpi) || printer.logicalDpiY() != int(dpi);
    m_view.setSearchRunning(true); // a reload waits for the end of the run
    m_view.enableDrawing(false);
    startAt(m_view, pass.start);
    prepareView(m_view, text);
    pass.pageLines = m_view.visibleLines();
    return true;
}

void ViewPrinter::endPass()
{
    const PrintResult pass = m_pass->result;
    m_pass->saved.restore();
    m_pass.reset();
    m_result.pagesLaidOut += pass.pagesLaidOut;
    m_result.pagesOutput += pass.pagesOutput;
    m_result.cancelled = m_result.cancelled || pass.cancelled;
    m_result.readFailed = pass.readFailed;
}

bool ViewPrinter::printPage()
{
    Pass &pass = *m_pass;
    PrintResult &result = pass.result;
    if (m_stopped) {
        result.cancelled = true;
        return false;
    }
    const PrintRequest &request = m_job->request;
    const bool pageNums = request.range == PrintRange::PageNums;
    QPrinter *printer = &m_job->printer;
    QPainter &out = m_job->painter;
    const double dpi = screenDpi();
    const bool output = !(pageNums && pass.page < request.fromPage);
    LogView::DrawResult drawn;
    for (int copy = 0; output && copy < m_job->pageCopies; ++copy) {
        if (!out.isActive()) {
            if (!out.begin(printer))
                throw printerError(*printer, true);
        } else if (!printer->newPage()) {
            throw printerError(*printer, false);
        }
        const PageEdges rp = marginRect(margins, printer->width(), printer->height(),
                                        printer->logicalDpiX(), printer->logicalDpiY());
        const int footerP = int(printer->logicalDpiY() / dpi * pass.footer);
        const QRect area(rp.left, rp.top, rp.width(), rp.height() - footerP);
        if (pass.raster) {
            m_view.drawTo(pass.pageBitmap, pass.text.width(), pass.text.height(), pass.end, true,
                          nullptr, drawn);
            out.drawImage(area, pass.pageBitmap);
        } else {
            out.save();
            out.translate(area.topLeft());
            out.setClipRect(QRect(QPoint(0, 0), pass.text));
            m_view.renderTo(out, pass.text, pass.end, true, nullptr, drawn);
            out.restore();
        }
        drawFooter(out, QRect(rp.left, rp.bottom - footerP, rp.width(), footerP), pass.page);
        ++result.pagesOutput;
    }
    if (!output) {
        // Laid out only, to find where the next page starts.
        QPainter p(&pass.scratch);
        m_view.renderTo(p, pass.text, pass.end, true, nullptr, drawn);
    }
    ++result.pagesLaidOut;

    if (!m_view.document().readOK()) {
        result.readFailed = true;
        return false;
    }
    const qint64 size = currentFileSize(m_view);
    if (size >= 0 &&
        size < std::min(m_view.viewPos() + drawn.viewPageSize, m_view.document().fileSize())) {
        result.readFailed = true; // cut short under the run: the rest is gone
        return false;
    }
    if (drawn.viewAtEnd)
        return false;
    const qint64 before = m_view.viewPos();
    m_view.moveByLines(pass.pageLines, true, false, false, before);
    if (m_view.viewPos() <= before)
        return false;
    if (pageNums ? pass.page + 1 > request.toPage : m_view.viewPos() > pass.end)
        return false;
    ++pass.page;
    return true;
}
