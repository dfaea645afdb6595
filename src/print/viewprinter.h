#pragma once

#include "print/pagegeometry.h"
#include "print/printpreviewdialog.h"

#include <QPointer>
#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QDialog;
class QPrinter;
class LogView;

enum class PrintRange { All = 0, Selection = 1, PageNums = 2 };

// What the pages of a run are taken from: the whole file, the lines of the
// selection, or a range of page numbers.
struct PrintRequest
{
    PrintRange range = PrintRange::All;
    int fromPage = 1;
    int toPage = 1;
};

// What a print run did.
struct PrintResult
{
    int pagesLaidOut = 0; // pages rendered, output or not
    int pagesOutput = 0;
    bool cancelled = false;
    bool readFailed = false; // a page could not be read; the run ended after it
    bool Failed = false;     // an error ended the run; it has been reported
};

// Prints a viewer's text page by page: wrapped, without gutter or markers,
// black on white, with the footer "file name - page" under each page. The
// viewer is used for its layout and is left exactly as it was found, also
// when the run fails.
class ViewPrinter
{
public:
    explicit ViewPrinter(LogView &view);
    ~ViewPrinter();
    ViewPrinter(ViewPrinter &&) noexcept;
    ViewPrinter(const ViewPrinter &) = delete;
    ViewPrinter &operator=(const ViewPrinter &) = delete;

    PageMargins margins;

    // The preview step: shows the page through the callback and says whether
    // to print. Unset: the print preview dialog.
    std::function<bool(QPrinter &printer, const PreviewCallback &callback)> preview;
    // For print(): called before each page is laid out, with the pages so
    // far and the share of the data done (0..1); false cancels.
    std::function<bool(int pages, double done)> progress;

    // Ends the run from an event handled while it runs (its viewer is going):
    // the preview closes without printing, no further page is drawn, and
    // the run comes back as cancelled. The viewer must live until then.
    void stop();
    bool stopped() const { return m_stopped; }

    // The whole run in one call: preview, then the pages to the printer. A
    // cancelled preview prints nothing. Copies below 1 print one; an empty
    // title gives "Viewer - file name". Nothing is thrown: an error is
    // reported through the general error message and the result says Failed.
    PrintResult print(QPrinter &printer, const PrintRequest &request, int copies,
                      const QString &title = QString());

    // The same run in steps, for a caller that prints a page per turn of
    // the event loop. start shows the preview and opens the job; false when
    // no page follows. printNext prints one page and says whether another
    // follows. finish ends the job and puts the viewer and the printer back
    // (also after an error, which it reports), and gives the result. Only
    // finish is needed after start or printNext threw.
    bool start(QPrinter &printer, const PrintRequest &request, int copies,
               const QString &title = QString());
    bool printNext();
    PrintResult finish(const std::exception_ptr &error = nullptr);
    // Where the run stands: pages output in this pass and the share of its
    // data done (0..1).
    int pagesOutput() const;
    double done() const;

    // The preview's pages: draws page `page` of those the run outputs (1 for
    // the first) onto the canvas, or the last one when there are fewer.
    // Without a canvas it only lays the pages out, up to that one. Where the
    // pages start is kept for the page size, so paging back and forth lays
    // nothing out twice.
    PreviewPages previewPages(QPainter *canvas, const QSize &pageSize, const PrintRequest &request,
                              int page);

    // The footer of a page into its rectangle, filled white first.
    void drawFooter(QPainter &painter, const QRect &rect, int page) const;
    // Footer height in pixels at screen resolution.
    int footerPixels() const;

private:
    // Where the output pages start, as far as they have been laid out.
    struct PageStarts
    {
        QSize pageSize;
        qint64 fileSize = -1;
        PrintRange range = PrintRange::All;
        int fromPage = 0;
        int toPage = 0;
        std::vector<qint64> starts;
        qint64 nextPos = -1; // where the walk goes on; -1: at the start
        int nextPage = 1;    // the page number there
        bool complete = false;
        bool noRoom = false;
    };
    struct Job;
    struct Pass;
    // One pass over the pages (each collated copy a device cannot make is
    // one); false when it has no page to print.
    bool beginPass();
    void endPass();
    bool printPage();
    void walkPages(PageStarts &pages, const PrintRequest &request, qint64 end, const QSize &text,
                   int upTo);

    LogView &m_view;
    bool m_stopped = false;
    QPointer<QDialog> m_previewDialog;
    PageStarts m_pages;
    std::unique_ptr<Job> m_job;
    std::unique_ptr<Pass> m_pass;
    PrintResult m_result;
};
