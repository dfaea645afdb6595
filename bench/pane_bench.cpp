// The matching-lines pane as the user gets it: the bar's text, Alt+M, and
// the pane filled to its last row, beside grep -n and rg -n writing the same
// lines; the first screen of rows; a line appended to a followed log until
// the pane shows it; and the pane's memory per row at 10 million rows.
#include "benchcommon.h"
#include "benchui.h"

#include "app/findbar.h"
#include "app/mainwindow.h"
#include "app/matchpane.h"
#include "app/quickfind.h"
#include "text/messages.h"
#include "viewer/filesource.h"
#include "viewer/logview.h"
#include "viewer/matchinglines.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::time_point from)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// One line in a hundred holds "failover" and matches ERROR.*timeout=[0-9]+;
// the rest are the generated log's (an eighth of them ERROR lines).
QString ensurePaneLog(const QString &name, qint64 bytes)
{
    const QString path = bench::dataDir() + QLatin1Char('/') + name;
    if (QFile(path).size() >= bytes)
        return path;
    QFile in(bench::ensureLog(bytes >= (1LL << 30) ? QStringLiteral("app-1g.log")
                                                   : QStringLiteral("app-64m.log"),
                              bytes));
    QFile out(path);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    QByteArray chunk;
    qint64 written = 0;
    for (qint64 n = 0; written < bytes; ++n) {
        QByteArray line = in.readLine();
        if (line.isEmpty())
            break;
        if (n % 100 == 99)
            line = "2026-12-10 00:00:00.000 ERROR   [db] failover after timeout=" +
                   QByteArray::number(n % 9000 + 100) + " ms\n";
        chunk += line;
        written += line.size();
        if (chunk.size() > (4 << 20)) {
            out.write(chunk);
            chunk.clear();
        }
    }
    out.write(chunk);
    return path;
}

void waitFor(const std::function<bool()> &done, int limitMs = 600000)
{
    const auto start = Clock::now();
    while (!done() && ms(start) < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Listing
{
    double firstScreenMs = 0;
    double completeMs = 0;
    qint64 rows = 0;
};

Listing listOnce(MainWindow &form, const QuickMatcher::Pattern &pattern)
{
    LogView *view = form.activeView();
    QuickFind *find = form.quickFindOf(view, true);
    find->open();
    find->bar()->setToggles(pattern.caseSensitive, pattern.wholeWords, pattern.regex);
    find->bar()->edText->setText(pattern.text);
    find->bar()->typingTimer->stop();
    QCoreApplication::processEvents();
    Listing listing;
    MatchPane *pane = form.matchPaneOf(view, true);
    bench::PaintSeen paints;
    pane->view()->viewport()->installEventFilter(&paints);
    const auto start = Clock::now();
    form.listMatchingLines(view);
    waitFor([&] { return (pane->rowCount() > 0 && paints.seen) || !pane->running(); });
    listing.firstScreenMs = ms(start);
    waitFor([&] { return !pane->running(); });
    listing.completeMs = ms(start);
    listing.rows = pane->rowCount();
    pane->view()->viewport()->removeEventFilter(&paints);
    return listing;
}

qint64 linesOf(const QString &command)
{
    QProcess p;
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    p.waitForFinished(-1);
    return p.readAllStandardOutput().trimmed().toLongLong();
}

void compareListing(MainWindow &form, const QString &path, const QString &tag,
                    const QuickMatcher::Pattern &pattern, int runs)
{
    const QString quoted = u'\'' + pattern.text + u'\'';
    const QString grepPattern =
        (pattern.regex ? QStringLiteral("-E ") : QStringLiteral("-F ")) + quoted;
    const QString rgPattern = (pattern.regex ? QString() : QStringLiteral("-F ")) + quoted;
    const qint64 expected = linesOf(QStringLiteral("grep -c %1 '%2'").arg(grepPattern, path));
    std::vector<double> complete, first;
    for (int i = 0; i < runs; ++i) {
        const Listing l = listOnce(form, pattern);
        if (l.rows != expected)
            bench::fail(QStringLiteral("the pane listed %1 lines of \"%2\", grep %3")
                            .arg(l.rows)
                            .arg(pattern.text)
                            .arg(expected));
        complete.push_back(l.completeMs);
        first.push_back(l.firstScreenMs);
    }
    const auto least = [](const std::vector<double> &v) {
        return *std::min_element(v.begin(), v.end());
    };
    // Into a file in memory: given /dev/null, GNU grep stops at the first
    // match, which is no listing at all.
    const QString out = QStringLiteral("/dev/shm/ravelin-pane-bench.out");
    std::vector<double> grep, rg, alone, grepNull;
    for (int i = 0; i < runs; ++i) {
        auto source = LocalFileSource::open(path);
        if (!source)
            return bench::fail(QStringLiteral("cannot open %1").arg(path));
        qint64 rows = 0;
        grepNull.push_back(
            1e3 * bench::commandSeconds(
                      QStringLiteral("grep -n %1 '%2' > /dev/null").arg(grepPattern, path)));
        alone.push_back(1e3 * bench::seconds([&] {
                            MatchingLinesScanner scanner(*source, {pattern, encodingAnsi, false});
                            scanner.scan(0, [&](qint64, qint64) { ++rows; });
                        }));
        grep.push_back(1e3 *
                       bench::commandSeconds(
                           QStringLiteral("grep -n %1 '%2' > %3").arg(grepPattern, path, out)));
        rg.push_back(1e3 * bench::commandSeconds(
                               QStringLiteral("rg -n %1 '%2' > %3").arg(rgPattern, path, out)));
    }
    bench::report({QStringLiteral("Pane, %1: every matching line listed").arg(tag), least(complete),
                   QStringLiteral("ms"), least(grep), QStringLiteral("grep -n > file in /dev/shm"),
                   1.0, true, QStringLiteral("<= 1x grep -n")});
    bench::report({QStringLiteral("Pane, %1: every matching line listed").arg(tag), least(complete),
                   QStringLiteral("ms"), least(rg), QStringLiteral("rg -n > file in /dev/shm"), 2.0,
                   true, QStringLiteral("<= 2x rg -n")});
    bench::report({QStringLiteral("Pane, %1: the scan alone, no pane").arg(tag), least(alone),
                   QStringLiteral("ms"), least(grep), QStringLiteral("grep -n > file in /dev/shm"),
                   0, true, QStringLiteral("(info)")});
    bench::report({QStringLiteral("Pane, %1: every matching line listed").arg(tag), least(complete),
                   QStringLiteral("ms"), least(grepNull),
                   QStringLiteral("grep -n > /dev/null (stops at the first match)"), 0, true,
                   QStringLiteral("(info)")});
    QFile::remove(out);
    bench::report({QStringLiteral("Pane, %1: first screen of rows painted").arg(tag), least(first),
                   QStringLiteral("ms"), 0, QString(), 100, false, QStringLiteral("<= 100 ms")});
}

// A matching line appended to a followed log: the log's reload, then the
// pane's row, both timed from the write.
void liveLatency(MainWindow &form, const QString &dirPath, int runs)
{
    const QString path = dirPath + QStringLiteral("/live.log");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return bench::fail(QStringLiteral("cannot write %1").arg(path));
        for (int i = 0; i < 1000; ++i)
            f.write("2026-12-10 00:00:00.000 INFO    [web] ok\n");
    }
    form.openFileTab(path);
    LogView *view = form.activeView();
    const Listing l = listOnce(form, {QStringLiteral("failover")});
    MatchPane *pane = form.matchPaneOf(view);
    if (!pane || l.rows != 0)
        return bench::fail(QStringLiteral("the live pane did not start empty"));
    bool reloaded = false;
    QObject::connect(view, &LogView::fileReloaded, view, [&] { reloaded = true; });
    std::vector<double> follow, paneMs;
    QFile f(path);
    if (!f.open(QIODevice::Append))
        return bench::fail(QStringLiteral("cannot append to %1").arg(path));
    for (int i = 0; i < runs; ++i) {
        QCoreApplication::processEvents();
        reloaded = false;
        const qint64 before = pane->rowCount();
        const auto start = Clock::now();
        f.write("2026-12-10 00:00:01.000 ERROR   [db] failover after timeout=9 ms\n");
        f.flush();
        double followMs = -1;
        waitFor(
            [&] {
                if (reloaded && followMs < 0)
                    followMs = ms(start);
                return pane->rowCount() > before;
            },
            5000);
        paneMs.push_back(ms(start));
        follow.push_back(followMs);
    }
    std::sort(paneMs.begin(), paneMs.end());
    std::sort(follow.begin(), follow.end());
    const double p = paneMs[paneMs.size() / 2];
    const double fl = follow[follow.size() / 2];
    bench::report({QStringLiteral("Live pane: appended line to its row, median"), p,
                   QStringLiteral("ms"), fl + 20, QStringLiteral("follow latency + 20 ms"), 1.0,
                   true, QStringLiteral("<= follow latency + 20 ms")});
    bench::report({QStringLiteral("Live pane: the log's follow latency, median"), fl,
                   QStringLiteral("ms"), 0, QString(), 0, false, QStringLiteral("(info)")});
}

// Rows of a file where every line matches: the resident memory the pane adds.
void memoryPerRow(MainWindow &form, const QString &dirPath, qint64 lines)
{
    const QString path = dirPath + QStringLiteral("/every.log");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return bench::fail(QStringLiteral("cannot write %1").arg(path));
        QByteArray chunk;
        for (qint64 i = 0; i < lines; ++i) {
            chunk += "hit\n";
            if (chunk.size() >= (1 << 20)) {
                f.write(chunk);
                chunk.clear();
            }
        }
        f.write(chunk);
    }
    form.openFileTab(path);
    QCoreApplication::processEvents();
    const qint64 before = bench::residentBytes();
    const Listing l = listOnce(form, {QStringLiteral("hit")});
    const qint64 after = bench::residentBytes();
    if (l.rows != lines)
        bench::fail(QStringLiteral("the pane listed %1 of %2 lines").arg(l.rows).arg(lines));
    bench::report(
        {QStringLiteral("Pane memory at %1 rows, per row").arg(QuickFind::groupDigits(lines)),
         double(after - before) / double(std::max<qint64>(l.rows, 1)), QStringLiteral("bytes"), 0,
         QString(), 16.5, false, QStringLiteral("<= 16 bytes a row (and what the view holds)")});
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    const bool smoke = bench::smoke();
    QApplication app(argc, argv);
    bench::QuietSink sink;
    setMessageSink(&sink);
    QTemporaryDir dir;
    const QString path = smoke ? ensurePaneLog(QStringLiteral("smoke-pane-16m.log"), 16LL << 20)
                               : ensurePaneLog(QStringLiteral("pane-1g.log"), 1LL << 30);
    if (path.isEmpty()) {
        bench::fail(QStringLiteral("cannot make the pane's log"));
        return bench::exitCode();
    }
    bench::commandSeconds(QStringLiteral("cat '%1' > /dev/null").arg(path));
    {
        MainWindow form(dir.filePath(QStringLiteral("Ravelin.ini")), CommandLine{});
        form.resize(1200, 900);
        form.show();
        form.openFileTab(path);
        QCoreApplication::processEvents();
        const QString tag = smoke ? QStringLiteral("16 MiB") : QStringLiteral("1 GiB");
        const int runs = smoke ? 1 : 3;
        compareListing(form, path, tag + QStringLiteral(", plain word"),
                       {QStringLiteral("failover"), true}, runs);
        compareListing(form, path, tag + QStringLiteral(", ERROR.*timeout=[0-9]+"),
                       {QStringLiteral("ERROR.*timeout=[0-9]+"), true, false, true}, runs);
        liveLatency(form, dir.path(), smoke ? 3 : 20);
        memoryPerRow(form, dir.path(), smoke ? 100'000 : 10'000'000);
    }
    setMessageSink(nullptr);
    return bench::exitCode();
}
