// Viewer figures: open plus first paint, moves and memory, each on a small
// and a huge file side by side. The repaint figures are in render_bench.
#include "benchcommon.h"
#include "benchview.h"

#include "viewer/logview.h"

#include <QApplication>
#include <QFile>
#include <QFont>

#include <algorithm>
#include <cstdio>

namespace {

QString smallFile(const QString &name, qint64 bytes)
{
    const QString big = bench::smoke()
                            ? bench::ensureLog(QStringLiteral("smoke-app-16m.log"), 16LL << 20)
                            : bench::ensureLog(QStringLiteral("app-64m.log"), 64LL << 20);
    const QString path = bench::dataDir() + QLatin1Char('/') + name;
    if (QFile(path).size() != bytes) {
        QFile in(big), out(path);
        in.open(QIODevice::ReadOnly);
        out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        out.write(in.read(bytes));
    }
    return path;
}

int runs()
{
    return bench::smoke() ? 3 : 21;
}

// Median of Open (which paints) on a closed view.
double openAndPaint(LogView &view, const QString &path)
{
    std::vector<double> times;
    for (int i = 0; i < runs(); ++i) {
        view.open(QString());
        times.push_back(bench::seconds([&] { view.open(path); }));
        if (!view.document().sourceAssigned() || view.strPositions().count() == 0) {
            bench::fail(QStringLiteral("%1 did not open and paint").arg(path));
            return 0;
        }
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    QApplication app(argc, argv);
    // A smoke run takes a "huge" file of 16 MB: the same paths, in seconds.
    const bool smoke = bench::smoke();
    const QString small = smallFile(QStringLiteral("app-1k.log"), 1024);
    const QString mid = smallFile(QStringLiteral("app-1m.log"), 1 << 20);
    const QString huge = smoke ? bench::ensureLog(QStringLiteral("smoke-app-16m.log"), 16LL << 20)
                               : bench::ensureLog(QStringLiteral("app-8g.log"), 8LL << 30);
    const QString hugeName = smoke ? QStringLiteral("16 MB") : QStringLiteral("8 GiB");

    auto view = bench::makeBenchView();
    view->open(small);

    // The goal compares the huge file with one that also fills the screen:
    // the same glyphs drawn, so only the cost of the file's size remains. The
    // 1 KB file fills 12 of the 66 rows, so beside it the figure mostly counts
    // glyphs: information only. The third row sizes the view to the rows the
    // 1 KB file fills, so both draw the same amount.
    const QString big = smoke ? mid : bench::ensureLog(QStringLiteral("app-64m.log"), 64LL << 20);
    const QString bigName = smoke ? QStringLiteral("1 MB") : QStringLiteral("64 MB");
    const double tSmall = openAndPaint(*view, small);
    const double tHuge = openAndPaint(*view, huge);
    const double tBig = openAndPaint(*view, big);
    bench::report({QStringLiteral("open + first paint 1280x1024, %1 vs %2").arg(hugeName, bigName),
                   tHuge * 1e3, QStringLiteral("ms"), tBig * 1e3,
                   QStringLiteral("%1 file").arg(bigName), 1.5, true,
                   QStringLiteral("ratio <= 1.5")});
    bench::report(
        {QStringLiteral("open + first paint 1280x1024, %1 vs 1 KB (unequal screens)").arg(hugeName),
         tHuge * 1e3, QStringLiteral("ms"), tSmall * 1e3, QStringLiteral("1 KB file"), 0, false,
         QStringLiteral("(info)")});
    {
        view->open(small);
        const int rows = view->strPositions().count();
        view->resize(1280,
                     view->height() - view->viewport()->height() + rows * view->lineHeight() + 2);
        const double s = openAndPaint(*view, small);
        const double h = openAndPaint(*view, huge);
        bench::report(
            {QStringLiteral("open + first paint, %1 rows, %2 vs 1 KB").arg(rows).arg(hugeName),
             h * 1e3, QStringLiteral("ms"), s * 1e3, QStringLiteral("1 KB file"), 1.5, true,
             QStringLiteral("ratio <= 1.5")});
        view->resize(1280, 1024);
    }

    // Each move starts from a place far from where it goes (untimed), so
    // every timed move has to bring its own window.
    struct Move
    {
        const char *name;
        std::function<void(LogView &)> setup;
        std::function<void(LogView &)> run;
    };
    const Move moves[] = {
        {"ScrollToEnd", [](LogView &v) { v.scrollTo(v.document().fileSize() / 3); },
         [](LogView &v) { v.scrollToEnd(); }},
        {"ScrollTo middle", [](LogView &v) { v.scrollToBegin(); },
         [](LogView &v) { v.scrollTo(v.document().fileSize() / 2); }},
        {"page down", [](LogView &v) { v.scrollTo(v.document().fileSize() / 3); },
         [](LogView &v) { v.scrollPageDown(); }},
    };
    for (const Move &m : moves) {
        double times[2];
        quint64 maxReads = 0;
        const QString files[2] = {mid, huge};
        for (int i = 0; i < 2; ++i) {
            view->open(files[i]);
            std::vector<double> t;
            for (int k = 0; k < runs(); ++k) {
                m.setup(*view);
                const quint64 before = view->document().windowReads();
                t.push_back(bench::seconds([&] { m.run(*view); }));
                if (i == 1)
                    maxReads = std::max<quint64>(maxReads, view->document().windowReads() - before);
            }
            std::sort(t.begin(), t.end());
            times[i] = t[t.size() / 2];
        }
        bench::report({QStringLiteral("%1, %2 vs 1 MB").arg(QLatin1String(m.name), hugeName),
                       times[1] * 1e3, QStringLiteral("ms"), times[0] * 1e3,
                       QStringLiteral("1 MB file"), 1.5, true, QStringLiteral("ratio <= 1.5")});
        bench::report(
            {QStringLiteral("%1, window reads per move (%2)").arg(QLatin1String(m.name), hugeName),
             double(maxReads),
             QStringLiteral("reads"),
             0,
             {},
             1,
             false,
             QStringLiteral("<= 1"),
             true});
    }

    // Resident memory with the huge file open against a tiny one.
    view->open(small);
    view->redraw();
    const qint64 rssSmall = bench::residentBytes();
    view->open(huge);
    view->scrollToEnd();
    view->scrollTo(view->document().fileSize() / 2);
    view->scrollPageDown();
    const qint64 rssHuge = bench::residentBytes();
    if (rssSmall <= 0 || rssHuge <= 0)
        bench::fail(QStringLiteral("resident memory could not be read"));
    // Memory given back counts as no growth.
    bench::report({QStringLiteral("resident memory, %1 minus 1 KB open").arg(hugeName),
                   double(std::max<qint64>(rssHuge - rssSmall, 0)) / 1048576.0,
                   QStringLiteral("MB"),
                   0,
                   {},
                   2,
                   false,
                   QStringLiteral("<= 2 MB"),
                   true});
    return bench::exitCode();
}
