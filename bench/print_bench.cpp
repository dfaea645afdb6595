// Printing figures, with the tab as the application opens it (hooks, gutter,
// defaults): 100 pages of a log into a PDF file (pages per second, resident
// memory before and after), and the preview from "OK" in the print dialog
// to its page on screen.
#include "benchcommon.h"

#include "app/mainwindow.h"
#include "app/windowactions.h"
#include "print/zoomableimageview.h"
#include "print/printpreviewdialog.h"
#include "print/viewprinter.h"
#include "printingsink.h"
#include "text/messages.h"
#include "viewer/logview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextDocument>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

int pdfPages(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    if (!p.waitForFinished(60000))
        return -1;
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const int at = out.indexOf(QStringLiteral("Pages:"));
    return at < 0 ? -1 : out.mid(at + 6, out.indexOf(u'\n', at) - at - 6).trimmed().toInt();
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    QApplication app(argc, argv);
    bench::PrintingSink sink;
    setMessageSink(&sink);
    const bool smoke = bench::smoke();
    const int pages = smoke ? 5 : 100;
    const QString log = bench::ensureLog(smoke ? QStringLiteral("smoke-app-16m.log")
                                               : QStringLiteral("app-64m.log"),
                                         smoke ? (16LL << 20) : (64LL << 20));
    QTemporaryDir dir;
    MainWindow form(dir.filePath(QStringLiteral("Ravelin.ini")), CommandLine{});
    form.resize(1280, 1024);
    form.show();
    QCoreApplication::processEvents();
    form.openFileTab(log);
    LogView *view = form.activeView();
    if (!view) {
        bench::fail(QStringLiteral("no tab for %1").arg(log));
        return bench::exitCode();
    }
    QCoreApplication::processEvents();

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    printer.setOutputFileName(pdf);

    ViewPrinter run(*view);
    run.preview = [](QPrinter &, const PreviewCallback &) { return true; };
    // Sampled at every page, so that growth inside one run shows too.
    qint64 peak = 0;
    double reached = 0; // share of the file the pages cover
    run.progress = [&](int, double done) {
        peak = std::max(peak, bench::residentBytes());
        reached = done;
        return true;
    };
    const PrintRequest request{PrintRange::PageNums, 1, pages};

    // A first run brings fonts and the PDF engine in; the figures come from
    // the runs after it.
    run.print(printer, request, 1);
    const qint64 before = bench::residentBytes();
    peak = before;
    const int runs = smoke ? 1 : 3;
    const double seconds = bench::medianSeconds(runs, [&] {
        const PrintResult r = run.print(printer, request, 1);
        if (r.pagesOutput != pages)
            bench::fail(QStringLiteral("%1 pages printed, not %2").arg(r.pagesOutput).arg(pages));
    });
    const qint64 after = bench::residentBytes();
    if (pdfPages(pdf) != pages)
        bench::fail(QStringLiteral("the PDF has %1 pages, not %2").arg(pdfPages(pdf)).arg(pages));
    // The same pages as File > Print runs them: a page per turn of the
    // application's event loop, between the user's events.
    double appSeconds = 0;
    {
        const QString appPdf = dir.filePath(QStringLiteral("app.pdf"));
        form.runPrintDialog = [&](QPrintDialog &dialog) {
            QPrinter *p = dialog.printer();
            p->setOutputFormat(QPrinter::PdfFormat);
            p->setOutputFileName(appPdf);
            p->setPrintRange(QPrinter::PageRange);
            p->setFromTo(1, pages);
            return true;
        };
        form.runPrintPreview = [](QPrinter &, const auto &) { return true; };
        form.runPrintProgress = [](int, double) { return true; };
        appSeconds = bench::medianSeconds(runs, [&] {
            form.acts().filePrint->trigger();
            while (form.printing())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        });
        if (pdfPages(appPdf) != pages)
            bench::fail(QStringLiteral("File > Print wrote %1 pages, not %2")
                            .arg(pdfPages(appPdf))
                            .arg(pages));
    }
    // Its cost over the run in one call: the turns of the loop, at most a
    // tenth more.
    bench::report({QStringLiteral("print %1 pages through File > Print, time per page").arg(pages),
                   appSeconds / pages * 1e3, QStringLiteral("ms"), seconds / pages * 1e3,
                   QStringLiteral("the same pages in one call"), 1.1, true,
                   QStringLiteral("<= 1.1x")});

    // The peer: Qt's own text document printer given the same text, in the
    // same font, on the same paper with the same margins.
    double peerRate = 0;
    double peerBytesRate = 0;
    {
        QFile file(log);
        QByteArray text;
        if (file.open(QIODevice::ReadOnly))
            text = file.read(qint64(reached * double(view->document().fileSize())) + 4096);
        QTextDocument doc;
        doc.setDefaultFont(view->options().font.font);
        doc.setPlainText(QString::fromUtf8(text));
        QPrinter peer(QPrinter::HighResolution);
        peer.setOutputFormat(QPrinter::PdfFormat);
        peer.setPageSize(QPageSize(QPageSize::A4));
        peer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
        peer.setOutputFileName(dir.filePath(QStringLiteral("peer.pdf")));
        const double peerSeconds = bench::medianSeconds(runs, [&] { doc.print(&peer); });
        const int peerPages = pdfPages(peer.outputFileName());
        std::fprintf(stderr, "peer: %d pages from %lld bytes in %.3f s\n", peerPages,
                     qint64(text.size()), peerSeconds);
        peerRate = peerSeconds > 0 ? peerPages / peerSeconds : 0;
        peerBytesRate = peerSeconds > 0 ? text.size() / peerSeconds / 1024.0 : 0;
    }
    bench::report({QStringLiteral("print %1 pages of a log to PDF, pages per second").arg(pages),
                   pages / seconds, QStringLiteral("pages/s"), peerRate,
                   QStringLiteral("QTextDocument::print"), 0, false, QStringLiteral("(info)")});
    // Pages hold different amounts of text in the two layouts: the same text
    // per second compares like with like.
    bench::report({QStringLiteral("print %1 pages to PDF, log text per second").arg(pages),
                   reached * double(view->document().fileSize()) / seconds / 1024.0,
                   QStringLiteral("KB/s"), peerBytesRate, QStringLiteral("QTextDocument::print"), 0,
                   false, QStringLiteral("(info)")});
    bench::report({QStringLiteral("print %1 pages, time per page").arg(pages),
                   seconds / pages * 1e3, QStringLiteral("ms"), 0, QString(), 0, false,
                   QStringLiteral("(info)")});
    bench::report({QStringLiteral("print, resident memory before the runs"), before / 1048576.0,
                   QStringLiteral("MB"), 0, QString(), 0, false, QStringLiteral("(info)")});
    bench::report({QStringLiteral("print, resident memory after %1 more runs").arg(runs),
                   after / 1048576.0, QStringLiteral("MB"), 0, QString(), 0, false,
                   QStringLiteral("(info)")});
    bench::report({QStringLiteral("print, resident memory at its peak during the runs"),
                   peak / 1048576.0, QStringLiteral("MB"), 0, QString(), 0, false,
                   QStringLiteral("(info)")});
    bench::Row growth{QStringLiteral("print, resident memory growth over the runs"),
                      std::max<qint64>(std::max(after, peak) - before, 0) / 1048576.0,
                      QStringLiteral("MB"),
                      0,
                      QString(),
                      8,
                      false,
                      QStringLiteral("<= 8 MB (flat)")};
    growth.zeroAllowed = true;
    bench::report(growth);

    // The preview: from "OK" to the page painted in the dialog.
    std::vector<double> latencies;
    for (int i = 0; i < (smoke ? 1 : 9); ++i) {
        QElapsedTimer clock;
        clock.start();
        PrintPreviewDialog preview(printer, [&](QPainter *canvas, const QSize &size, int page) {
            return run.previewPages(canvas, size, {PrintRange::All, 1, 1}, page);
        });
        if (!preview.preparePage()) {
            bench::fail(QStringLiteral("no preview bitmap"));
            break;
        }
        preview.show();
        while (preview.view()->paintCount() == 0 && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        latencies.push_back(clock.nsecsElapsed() / 1e6);
        if (preview.view()->paintCount() == 0)
            bench::fail(QStringLiteral("the preview never painted its page"));
    }
    std::sort(latencies.begin(), latencies.end());
    bench::report({QStringLiteral("preview of the first page, OK to the page on screen, median"),
                   latencies.empty() ? 0 : latencies[latencies.size() / 2], QStringLiteral("ms"), 0,
                   QString(), 200, false, QStringLiteral("<= 200 ms")});

    // Every page laid out, as End in the preview asks for while its count goes on.
    {
        ViewPrinter counter(*view);
        const QSize size = screenPageSize(printer);
        QElapsedTimer clock;
        clock.start();
        const PreviewPages all =
            counter.previewPages(nullptr, size, {PrintRange::All, 1, 1}, INT_MAX);
        const double laidOut = clock.nsecsElapsed() / 1e9;
        std::fprintf(stderr, "preview: %d pages laid out in %.3f s\n", all.count, laidOut);
        bench::report({QStringLiteral("preview, every page of the log laid out (End)"), laidOut,
                       QStringLiteral("s"), 0, QString(), 0, false, QStringLiteral("(info)")});
    }
    setMessageSink(nullptr);
    return bench::exitCode();
}
