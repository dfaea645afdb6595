// Viewer figures: open plus first paint, moves, repaint and memory, each on a
// small and a huge file side by side.
#include "benchcommon.h"
#include "benchview.h"

#include "viewer/qzbinhex.h"

#include <QApplication>
#include <QFile>
#include <QFont>

#include <algorithm>
#include <cstdio>

namespace {

QString SmallFile(const QString &name, qint64 bytes)
{
    const QString big = bench::EnsureLog(QStringLiteral("app-64m.log"), 64LL << 20);
    const QString path = bench::DataDir() + QLatin1Char('/') + name;
    if (QFile(path).size() != bytes) {
        QFile in(big), out(path);
        in.open(QIODevice::ReadOnly);
        out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        out.write(in.read(bytes));
    }
    return path;
}

// Median of Open (which paints) on a closed view.
double OpenAndPaint(TQzBinHex &view, const QString &path)
{
    std::vector<double> times;
    for (int i = 0; i < 21; ++i) {
        view.Open(QString());
        times.push_back(bench::Seconds([&] { view.Open(path); }));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString small = SmallFile(QStringLiteral("app-1k.log"), 1024);
    const QString mid = SmallFile(QStringLiteral("app-1m.log"), 1 << 20);
    const QString huge = bench::EnsureLog(QStringLiteral("app-8g.log"), 8LL << 30);

    auto view = bench::MakeBenchView();
    view->Open(small);

    // The 1 KB file fills 12 of the 66 rows of a 1280x1024 view, so on that
    // view the figure mostly counts glyphs drawn. The second row sizes the
    // view to the rows the 1 KB file fills, so both draw the same amount and
    // only the cost of the file's size remains; the third compares two files
    // that both fill the screen.
    const QString big = bench::EnsureLog(QStringLiteral("app-64m.log"), 64LL << 20);
    const double tSmall = OpenAndPaint(*view, small);
    const double tHuge = OpenAndPaint(*view, huge);
    const double tBig = OpenAndPaint(*view, big);
    bench::Report({QStringLiteral("open + first paint 1280x1024, 8 GiB vs 1 KB"), tHuge * 1e3,
                   QStringLiteral("ms"), tSmall * 1e3, QStringLiteral("1 KB file"), 1.5, true,
                   QStringLiteral("ratio <= 1.5")});
    bench::Report({QStringLiteral("open + first paint 1280x1024, 8 GiB vs 64 MB"), tHuge * 1e3,
                   QStringLiteral("ms"), tBig * 1e3, QStringLiteral("64 MB file"), 1.5, true,
                   QStringLiteral("ratio <= 1.5")});
    {
        view->Open(small);
        const int rows = view->StrPositions().Count();
        view->resize(1280,
                     view->height() - view->viewport()->height() + rows * view->LineHeight() + 2);
        const double s = OpenAndPaint(*view, small);
        const double h = OpenAndPaint(*view, huge);
        bench::Report({QStringLiteral("open + first paint, %1 rows, 8 GiB vs 1 KB").arg(rows),
                       h * 1e3, QStringLiteral("ms"), s * 1e3, QStringLiteral("1 KB file"), 1.5,
                       true, QStringLiteral("ratio <= 1.5")});
        view->resize(1280, 1024);
    }

    // Each move starts from a place far from where it goes (untimed), so
    // every timed move has to bring its own window.
    struct Move
    {
        const char *name;
        std::function<void(TQzBinHex &)> setup;
        std::function<void(TQzBinHex &)> run;
    };
    const Move moves[] = {
        {"ScrollToEnd", [](TQzBinHex &v) { v.ScrollTo(v.FileSize() / 3); },
         [](TQzBinHex &v) { v.ScrollToEnd(); }},
        {"ScrollTo middle", [](TQzBinHex &v) { v.ScrollToBegin(); },
         [](TQzBinHex &v) { v.ScrollTo(v.FileSize() / 2); }},
        {"page down", [](TQzBinHex &v) { v.ScrollTo(v.FileSize() / 3); },
         [](TQzBinHex &v) { v.ScrollPageDown(); }},
    };
    for (const Move &m : moves) {
        double times[2];
        quint64 maxReads = 0;
        const QString files[2] = {mid, huge};
        for (int i = 0; i < 2; ++i) {
            view->Open(files[i]);
            std::vector<double> t;
            for (int k = 0; k < 21; ++k) {
                m.setup(*view);
                const quint64 before = view->Document().WindowReads();
                t.push_back(bench::Seconds([&] { m.run(*view); }));
                if (i == 1)
                    maxReads = std::max<quint64>(maxReads, view->Document().WindowReads() - before);
            }
            std::sort(t.begin(), t.end());
            times[i] = t[t.size() / 2];
        }
        bench::Report({QStringLiteral("%1, 8 GiB vs 1 MB").arg(QLatin1String(m.name)),
                       times[1] * 1e3, QStringLiteral("ms"), times[0] * 1e3,
                       QStringLiteral("1 MB file"), 1.5, true, QStringLiteral("ratio <= 1.5")});
        bench::Report(
            {QStringLiteral("%1, window reads per move (8 GiB)").arg(QLatin1String(m.name)),
             double(maxReads),
             QStringLiteral("reads"),
             0,
             {},
             1,
             false,
             QStringLiteral("<= 1")});
    }

    view->Open(huge);
    view->ScrollTo(view->FileSize() / 2);
    const double repaint = bench::MedianSeconds(51, [&] { view->Redraw(); });
    bench::Report({QStringLiteral("full repaint 1280x1024, median"),
                   repaint * 1e3,
                   QStringLiteral("ms"),
                   0,
                   {},
                   4,
                   false,
                   QStringLiteral("<= 4 ms")});

    // Resident memory with the huge file open against a tiny one.
    view->Open(small);
    view->Redraw();
    const qint64 rssSmall = bench::ResidentBytes();
    view->Open(huge);
    view->ScrollToEnd();
    view->ScrollTo(view->FileSize() / 2);
    view->ScrollPageDown();
    const qint64 rssHuge = bench::ResidentBytes();
    bench::Report({QStringLiteral("resident memory, 8 GiB minus 1 KB open"),
                   double(rssHuge - rssSmall) / 1048576.0,
                   QStringLiteral("MB"),
                   0,
                   {},
                   2,
                   false,
                   QStringLiteral("<= 2 MB")});
    return 0;
}
