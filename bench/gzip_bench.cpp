// A gzip log opened as the user opens it: the first screen, the checkpoint
// index built beside `gzip -dc > /dev/null`, a screen anywhere once it is
// built, a search through it beside `zgrep -c` and `rg -z -c`, and the
// index's memory.
#include "benchcommon.h"
#include "benchui.h"

#include "app/mainwindow.h"
#include "text/messages.h"
#include "viewer/documentsearch.h"
#include "viewer/gzipsource.h"
#include "viewer/logview.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::time_point from)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

const QByteArray kLastLine =
    "2026-12-10 23:59:59.999 ERROR   [http.server] NEEDLE-7f3a upstream timeout=30000 ms\n";
const QString kNeedle = QStringLiteral("NEEDLE-7f3a");

// The log gzipped, with its last line as a second member, as `cat a.gz
// b.gz` makes it: the only match sits at the very end.
QString ensureGzip(const QString &log)
{
    const QString gz = log + QStringLiteral(".needle.gz");
    if (QFile(gz).size() > 0)
        return gz;
    const QString command =
        QStringLiteral("{ gzip -c '%1'; printf '%2' | gzip -c; } > '%3.part' && mv '%3.part' '%3'")
            .arg(log, QString::fromLatin1(kLastLine.trimmed()) + QStringLiteral("\\n"), gz);
    return bench::commandSeconds(command) > 0 && QFile(gz).size() > 0 ? gz : QString();
}

template <typename Done>
bool waitFor(Done done, double limitMs)
{
    const Clock::time_point start = Clock::now();
    while (!done()) {
        if (ms(start) > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    return true;
}

struct Run
{
    double firstScreen = 0; // open to a screen of text shown
    double indexed = 0;     // open to the index whole
    double screen = 0;      // median of a screen drawn anywhere after
    double search = 0;      // the needle found from the top
    double memoryMiB = 0;
};

Run openOnce(MainWindow &form, const QString &gz, qint64 size)
{
    Run run;
    const Clock::time_point open = Clock::now();
    form.openFileTab(gz);
    LogView *view = form.activeView();
    if (!view || !view->compressedIndex()) {
        bench::fail(QStringLiteral("%1 did not open as a gzip log").arg(gz));
        return run;
    }
    const GzipIndexer *index = view->compressedIndex();
    if (!waitFor([&] { return view->document().fileSize() >= 65536; }, 10000)) {
        bench::fail(QStringLiteral("no first screen of %1").arg(gz));
        return run;
    }
    view->repaint();
    run.firstScreen = ms(open);
    if (!waitFor([&] { return !index->running(); }, 600000) ||
        view->document().fileSize() != size) {
        bench::fail(QStringLiteral("the index of %1 did not cover it").arg(gz));
        return run;
    }
    run.indexed = ms(open);
    // The view has read the last hand-over once the event is handled.
    QCoreApplication::processEvents();

    std::mt19937_64 rng(11);
    std::vector<double> screens;
    for (int i = 0; i < 21; ++i) {
        const qint64 at = qint64(rng() % quint64(size));
        const Clock::time_point start = Clock::now();
        view->scrollTo(at);
        view->repaint();
        screens.push_back(ms(start));
    }
    run.screen = median(screens);
    run.memoryMiB = double(index->index().memoryBytes()) / 1048576.0;

    DocumentSearch &search = view->search();
    bool ended = false;
    const QMetaObject::Connection connection =
        QObject::connect(&search, &DocumentSearch::finished, [&] { ended = true; });
    const Clock::time_point start = Clock::now();
    if (search.findFirst(form.jobs(), view, kNeedle, {}, 0) &&
        waitFor([&] { return ended; }, 600000))
        run.search = ms(start);
    QObject::disconnect(connection);
    if (search.outcome() != DocumentSearch::Outcome::Found ||
        search.resultStart() != size - kLastLine.size() + kLastLine.indexOf("NEEDLE")) {
        bench::fail(QStringLiteral("the search through %1 missed the needle").arg(gz));
        run.search = 0;
    }
    form.closeAllTabs();
    QCoreApplication::processEvents();
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    const bool smoke = bench::smoke();
    // --4g: once, by hand, the 4 GiB case (opened, searched, closed).
    const bool large = argc > 1 && QByteArray(argv[argc - 1]) == "--4g";
    QApplication app(argc, argv);
    bench::QuietSink sink;
    setMessageSink(&sink);
    QTemporaryDir dir;
    // Nothing of a gzip log may land in the cache folder.
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    const QString log = smoke   ? bench::ensureLog(QStringLiteral("smoke-gzip-16m.log"), 16LL << 20)
                        : large ? bench::ensureLog(QStringLiteral("app-4g.log"), 4LL << 30)
                                : bench::ensureLog(QStringLiteral("app-1g.log"), 1LL << 30);
    const QString gz = log.isEmpty() ? QString() : ensureGzip(log);
    if (gz.isEmpty()) {
        bench::fail(QStringLiteral("cannot make the gzip log"));
        return bench::exitCode();
    }
    const qint64 size = QFile(log).size() + kLastLine.size();
    const QString quoted = QLatin1Char('\'') + gz + QLatin1Char('\'');
    bench::commandSeconds(QStringLiteral("cat %1 > /dev/null").arg(quoted));
    const int runs = smoke || large ? 1 : 3;
    std::vector<double> firsts, indexed, screens, searches, memory, gzips, zgreps, rgs;
    {
        MainWindow form(dir.filePath(QStringLiteral("Ravelin.ini")), CommandLine{});
        form.resize(1200, 900);
        form.show();
        QCoreApplication::processEvents();
        for (int i = 0; i < runs; ++i) {
            gzips.push_back(
                bench::commandSeconds(QStringLiteral("gzip -dc %1 > /dev/null").arg(quoted)) * 1e3);
            zgreps.push_back(
                bench::commandSeconds(
                    QStringLiteral("zgrep -c %1 %2 > /dev/null").arg(kNeedle, quoted)) *
                1e3);
            rgs.push_back(bench::commandSeconds(
                              QStringLiteral("rg -z -c %1 %2 > /dev/null").arg(kNeedle, quoted)) *
                          1e3);
            const Run run = openOnce(form, gz, size);
            firsts.push_back(run.firstScreen);
            indexed.push_back(run.indexed);
            screens.push_back(run.screen);
            searches.push_back(run.search);
            memory.push_back(run.memoryMiB);
        }
    }
    setMessageSink(nullptr);
    const QDir cacheFolder(cache.filePath(QStringLiteral("ravelin")));
    const qsizetype left =
        cacheFolder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size();
    if (left != 0)
        bench::fail(QStringLiteral("%1 files left in the cache folder").arg(left));
    const QString name = smoke   ? QStringLiteral("16 MiB")
                         : large ? QStringLiteral("4 GiB")
                                 : QStringLiteral("1 GiB");
    std::fprintf(stderr,
                 ".gz of %s: first screen %.1f ms, index %.1f ms (gzip -dc %.1f ms), screen "
                 "anywhere %.1f ms, search %.1f ms (zgrep -c %.1f ms, rg -z -c %.1f ms), "
                 "index %.1f MiB\n",
                 qPrintable(name), median(firsts), median(indexed), median(gzips), median(screens),
                 median(searches), median(zgreps), median(rgs), median(memory));
    bench::report({QStringLiteral(".gz of %1: first screen in the tab").arg(name), median(firsts),
                   QStringLiteral("ms"), 0, QString(), 200, false, QStringLiteral("<= 200 ms")});
    // At least 0.8x gzip's speed: at most 1.25x its time.
    bench::report({QStringLiteral(".gz of %1: checkpoint index built in the tab").arg(name),
                   median(indexed), QStringLiteral("ms"), median(gzips),
                   QStringLiteral("gzip -dc > /dev/null"), 1.25, true,
                   QStringLiteral("ratio <= 1.25 (0.8x gzip's speed)")});
    bench::report({QStringLiteral(".gz of %1: a screen anywhere once indexed").arg(name),
                   median(screens), QStringLiteral("ms"), 0, QString(), 50, false,
                   QStringLiteral("<= 50 ms")});
    bench::report(
        {QStringLiteral(".gz of %1: search through the index, match at the end").arg(name),
         median(searches), QStringLiteral("ms"), median(zgreps), QStringLiteral("zgrep -c"), 1.25,
         true, QStringLiteral("ratio <= 1.25 (0.8x zgrep's speed)")});
    bench::report({QStringLiteral(".gz of %1: search through the index, vs rg -z -c").arg(name),
                   median(searches), QStringLiteral("ms"), median(rgs), QStringLiteral("rg -z -c"),
                   0, false, QStringLiteral("(info)")});
    bench::report({QStringLiteral(".gz of %1: index memory").arg(name), median(memory),
                   QStringLiteral("MiB"), 0, QString(), 64.0 * double(size) / 20e9 / 1.048576,
                   false, QStringLiteral("<= 64 MB for 20 GB, pro rata")});
    return bench::exitCode();
}
