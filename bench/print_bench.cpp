// Printing figures, with the tab as the application opens it (hooks, gutter,
// defaults): 100 pages of a log into a PDF file (pages per second, resident
// memory before and after), and the preview from "OK" in the print dialog
// to its page on screen.
#include "benchcommon.h"

#include "app/formview.h"
#include "print/qzimagebox.h"
#include "print/qzprintpreview.h"
#include "print/viewprinter.h"
#include "printingsink.h"
#include "text/messages.h"
#include "viewer/qzbinhex.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextDocument>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

int PdfPages(const QString &pdf)
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
    bench::InitSmoke(argc, argv);
    QApplication app(argc, argv);
    bench::PrintingSink sink;
    SetMessageSink(&sink);
    const bool smoke = bench::Smoke();
    const int pages = smoke ? 5 : 100;
    const QString log = bench::EnsureLog(smoke ? QStringLiteral("smoke-app-16m.log")
                                               : QStringLiteral("app-64m.log"),
                                         smoke ? (16LL << 20) : (64LL << 20));
    QTemporaryDir dir;
    TFormView form(dir.filePath(QStringLiteral("Ravelin.ini")), CommandLine{});
    form.resize(1280, 1024);
    form.show();
    QCoreApplication::processEvents();
    form.OpenFileTab(log);
    TQzBinHex *view = form.ActiveView();
    if (!view) {
        bench::Fail(QStringLiteral("no tab for %1").arg(log));
        return bench::ExitCode();
    }
    QCoreApplication::processEvents();

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    printer.setOutputFileName(pdf);

    TQzViewPrinter run(*view);
    run.Preview = [](QPrinter &, const TQzPreviewCallback &) { return true; };
    // Sampled at every page, so that growth inside one run shows too.
    qint64 peak = 0;
    double reached = 0; // share of the file the pages cover
    run.Progress = [&](int, double done) {
        peak = std::max(peak, bench::ResidentBytes());
        reached = done;
        return true;
    };
    const TQzPrintRequest request{TQzPrintRange::PageNums, 1, pages};

    // A first run brings fonts and the PDF engine in; the figures come from
    // the runs after it.
    run.Print(printer, request, 1);
    const qint64 before = bench::ResidentBytes();
    peak = before;
    const int runs = smoke ? 1 : 3;
    const double seconds = bench::MedianSeconds(runs, [&] {
        const TQzPrintResult r = run.Print(printer, request, 1);
        if (r.PagesOutput != pages)
            bench::Fail(QStringLiteral("%1 pages printed, not %2").arg(r.PagesOutput).arg(pages));
    });
    const qint64 after = bench::ResidentBytes();
    if (PdfPages(pdf) != pages)
        bench::Fail(QStringLiteral("the PDF has %1 pages, not %2").arg(PdfPages(pdf)).arg(pages));
    // The peer: Qt's own text document printer given the same text, in the
    // same font, on the same paper with the same margins.
    double peerRate = 0;
    double peerBytesRate = 0;
    {
        QFile file(log);
        QByteArray text;
        if (file.open(QIODevice::ReadOnly))
            text = file.read(qint64(reached * double(view->FileSize())) + 4096);
        QTextDocument doc;
        doc.setDefaultFont(view->Font().Font);
        doc.setPlainText(QString::fromUtf8(text));
        QPrinter peer(QPrinter::HighResolution);
        peer.setOutputFormat(QPrinter::PdfFormat);
        peer.setPageSize(QPageSize(QPageSize::A4));
        peer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
        peer.setOutputFileName(dir.filePath(QStringLiteral("peer.pdf")));
        const double peerSeconds = bench::MedianSeconds(runs, [&] { doc.print(&peer); });
        const int peerPages = PdfPages(peer.outputFileName());
        std::fprintf(stderr, "peer: %d pages from %lld bytes in %.3f s\n", peerPages,
                     qint64(text.size()), peerSeconds);
        peerRate = peerSeconds > 0 ? peerPages / peerSeconds : 0;
        peerBytesRate = peerSeconds > 0 ? text.size() / peerSeconds / 1024.0 : 0;
    }
    bench::Report({QStringLiteral("print %1 pages of a log to PDF, pages per second").arg(pages),
                   pages / seconds, QStringLiteral("pages/s"), peerRate,
                   QStringLiteral("QTextDocument::print"), 0, false, QStringLiteral("(info)")});
    // Pages hold different amounts of text in the two layouts: the same text
    // per second compares like with like.
    bench::Report({QStringLiteral("print %1 pages to PDF, log text per second").arg(pages),
                   reached * double(view->FileSize()) / seconds / 1024.0, QStringLiteral("KB/s"),
                   peerBytesRate, QStringLiteral("QTextDocument::print"), 0, false,
                   QStringLiteral("(info)")});
    bench::Report({QStringLiteral("print %1 pages, time per page").arg(pages),
                   seconds / pages * 1e3, QStringLiteral("ms"), 0, QString(), 0, false,
                   QStringLiteral("(info)")});
    bench::Report({QStringLiteral("print, resident memory before the runs"), before / 1048576.0,
                   QStringLiteral("MB"), 0, QString(), 0, false, QStringLiteral("(info)")});
    bench::Report({QStringLiteral("print, resident memory after %1 more runs").arg(runs),
                   after / 1048576.0, QStringLiteral("MB"), 0, QString(), 0, false,
                   QStringLiteral("(info)")});
    bench::Report({QStringLiteral("print, resident memory at its peak during the runs"),
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
    growth.ZeroAllowed = true;
    bench::Report(growth);

    // The preview: from "OK" to the page painted in the dialog.
    std::vector<double> latencies;
    for (int i = 0; i < (smoke ? 1 : 9); ++i) {
        QElapsedTimer clock;
        clock.start();
        TFormQzPreview preview(printer, [&](QPainter *canvas, const QSize &size, int page) {
            return run.PreviewPages(canvas, size, {TQzPrintRange::All, 1, 1}, page);
        });
        if (!preview.PreparePage()) {
            bench::Fail(QStringLiteral("no preview bitmap"));
            break;
        }
        preview.show();
        while (preview.View()->PaintCount() == 0 && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        latencies.push_back(clock.nsecsElapsed() / 1e6);
        if (preview.View()->PaintCount() == 0)
            bench::Fail(QStringLiteral("the preview never painted its page"));
    }
    std::sort(latencies.begin(), latencies.end());
    bench::Report({QStringLiteral("preview of the first page, OK to the page on screen, median"),
                   latencies.empty() ? 0 : latencies[latencies.size() / 2], QStringLiteral("ms"), 0,
                   QString(), 200, false, QStringLiteral("<= 200 ms")});

    // Every page laid out, as End in the preview asks for while its count goes on.
    {
        TQzViewPrinter counter(*view);
        const QSize size = ScreenPageSize(printer);
        QElapsedTimer clock;
        clock.start();
        const TQzPreviewPages all =
            counter.PreviewPages(nullptr, size, {TQzPrintRange::All, 1, 1}, INT_MAX);
        const double seconds = clock.nsecsElapsed() / 1e9;
        std::fprintf(stderr, "preview: %d pages laid out in %.3f s\n", all.Count, seconds);
        bench::Report({QStringLiteral("preview, every page of the log laid out (End)"), seconds,
                       QStringLiteral("s"), 0, QString(), 0, false, QStringLiteral("(info)")});
    }
    SetMessageSink(nullptr);
    return bench::ExitCode();
}
