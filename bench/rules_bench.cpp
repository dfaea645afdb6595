// Colour rules and filtered logs as the application runs them: a full
// repaint with 20 rules and 3 sub-strings filter expressions against the
// same repaint without them; a repaint of a 1 MB line full of the filter's
// matches; FilterLog of a 1 GB log against grep -E (and rg) writing the same
// lines; FilterLog of lines without a break (time against the length, and
// the memory it takes); the filter dialog's gauge and its Cancel.
#include "benchcommon.h"

#include "app/filterlogdialog.h"
#include "app/mainwindow.h"
#include "rules/filterlog.h"
#include "printingsink.h"
#include "text/messages.h"
#include "viewer/logview.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {

const QByteArray kRegex = "ERROR.*timeout=[0-9]+";
const QByteArray kWord = "signed";

// A log whose ERROR lines sometimes carry "timeout=N", made once.
QString filterSource(const QString &name, qint64 bytes)
{
    const QString path = bench::dataDir() + QLatin1Char('/') + name;
    if (QFile(path).size() >= bytes)
        return path;
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    static const char *const levels[] = {"INFO",  "INFO",    "INFO",  "DEBUG",
                                         "DEBUG", "WARNING", "ERROR", "INFO"};
    static const char *const messages[] = {
        "request completed in %d ms",      "connection %d returned to pool",
        "user %d signed in from 10.0.0.1", "db call failed, timeout=%d ms",
        "job %d scheduled for next run",   "retrying delivery, attempt %d",
        "upstream timeout after %d ms",    "cache miss for key item:%d",
    };
    quint64 s = 88172645463325252ull;
    QByteArray block;
    char line[256];
    for (qint64 seq = 0; block.size() < (8 << 20); ++seq) {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        char msg[128];
        std::snprintf(msg, sizeof msg, messages[s % 8], int(s >> 24) % 100000);
        const int n =
            std::snprintf(line, sizeof line, "2026-12-10 %02d:%02d:%02d.%03d %-7s %s\n",
                          int(seq / 3600000 % 24), int(seq / 60000 % 60), int(seq / 1000 % 60),
                          int(seq % 1000), levels[(s >> 8) % 8], msg);
        block.append(line, n);
    }
    while (out.size() < bytes)
        if (out.write(block) != block.size())
            return QString();
    return path;
}

qint64 grepCount(const QStringList &args, const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("grep"), QStringList{QStringLiteral("-c")} + args + QStringList{path});
    p.waitForFinished(-1);
    return p.readAllStandardOutput().trimmed().toLongLong();
}

QString quote(const QByteArray &s)
{
    return QLatin1Char('\'') + QString::fromUtf8(s) + QLatin1Char('\'');
}

void filterRuns(const QString &path, const QString &out, int runs)
{
    const qint64 size = QFile(path).size();
    struct Case
    {
        const char *name;
        QByteArray pattern;
        bool regex;
        bool caseSensitive;
        QString grepFlags;
        double goal; // 0: info
    };
    const Case cases[] = {
        {"regular expression", kRegex, true, true, QStringLiteral("-E"), 1.0},
        {"plain word", kWord, false, true, QStringLiteral("-E"), 1.0},
        {"regular expression, caseless (the dialog's default)", kRegex, true, false,
         QStringLiteral("-i -E"), 0},
    };
    for (const Case &c : cases) {
        FilterLogOptions options;
        options.filter = c.pattern;
        options.isRegex = c.regex;
        options.caseSensitive = c.caseSensitive;
        std::atomic<int> percent = 0;
        FilterLogResult result;
        const double ours = bench::medianSeconds(runs, [&] {
            QFile::remove(out); // a new file, as grep's "> OUT" makes one
            result = filterLog(path, out, options, [&](int p) { percent.store(p); });
        });
        const qint64 expect = grepCount(
            c.grepFlags.split(QLatin1Char(' ')) + QStringList{QString::fromUtf8(c.pattern)}, path);
        if (result.state != FilterLogResult::Status::Written || result.linesWritten != expect ||
            percent.load() != 100) {
            bench::fail(QStringLiteral("%1: %2 lines written, grep counts %3")
                            .arg(QLatin1String(c.name))
                            .arg(result.linesWritten)
                            .arg(expect));
            continue;
        }
        const QString grep =
            QStringLiteral("grep %1 %2 '%3' > '%4'").arg(c.grepFlags, quote(c.pattern), path, out);
        const QString rg = QStringLiteral("rg %1 %2 '%3' > '%4'")
                               .arg(c.caseSensitive ? QString() : QStringLiteral("-i"),
                                    quote(c.pattern), path, out);
        const double grepTime = bench::medianSeconds(runs, [&] { bench::commandSeconds(grep); });
        const double rgTime = bench::medianSeconds(runs, [&] { bench::commandSeconds(rg); });
        const QString figure = QStringLiteral("FilterLog %1 MB, %2 (%3)")
                                   .arg(size >> 20)
                                   .arg(QLatin1String(c.name), QString::fromUtf8(c.pattern));
        const auto mbs = [&](double t) { return t > 0 ? double(size) / t / 1e6 : 0; };
        std::fprintf(stderr, "%s: ours %.0f MB/s, grep %.0f MB/s, rg %.0f MB/s, %lld lines\n",
                     qUtf8Printable(figure), mbs(ours), mbs(grepTime), mbs(rgTime),
                     static_cast<long long>(expect));
        // Times compare lower-is-better: at least g times grep's throughput
        // is at most 1/g times its time.
        bench::report(
            {figure + QStringLiteral(", time"), ours * 1e3, QStringLiteral("ms"), grepTime * 1e3,
             QStringLiteral("grep ") + c.grepFlags, c.goal > 0 ? 1.0 / c.goal : 0, c.goal > 0,
             c.goal > 0 ? QStringLiteral("throughput >= 1.0x grep") : QStringLiteral("(info)")});
        bench::report({figure + QStringLiteral(", beside rg"), ours * 1e3, QStringLiteral("ms"),
                       rgTime * 1e3, QStringLiteral("rg"), 0, false, QStringLiteral("(info)")});
    }
    QFile::remove(out);
}

ColorRules noRules()
{
    ColorRules rec;
    for (ColorRule &item : rec.items) {
        item.en = false;
        item.text.clear();
    }
    return rec;
}

// Twenty enabled rules that match no line of the log: every rule is tried
// on every line, the worst case.
ColorRules twentyRules()
{
    static const char *const texts[] = {
        "FATAL",
        "panic:",
        "Exception in thread",
        "segfault",
        "out of memory",
        "deadlock",
        "timeout=[0-9]{7,}",
        "user [0-9]+ denied",
        "\\bcore dumped",
        "^\\s+at \\w+\\.",
        "(?i)stack ?trace",
        "refused.*port [0-9]+",
        "disk (full|bad)",
        "SIG(SEGV|BUS)",
        "[0-9]{3}\\.[0-9]{3}\\.9",
        "assert(ion)? failed",
        "CRITICAL",
        "leak of [0-9]+",
        "killed process",
        "corrupt(ed)? (index|page)",
    };
    ColorRules rec;
    for (int n = 1; n <= ColorRules::count; ++n) {
        ColorRule &item = rec.rule(n);
        item.en = true;
        item.text = texts[n - 1];
        item.colorB = 0x00FFFF;
    }
    return rec;
}

void repaint(MainWindow &form, const QString &log, int runs)
{
    form.openFileTab(log);
    LogView *view = form.activeView();
    if (!view || !view->document().sourceAssigned()) {
        bench::fail(QStringLiteral("no view for %1").arg(log));
        return;
    }
    const QSize want(1280, 1024);
    for (int i = 0; i < 10 && view->viewport()->size() != want; ++i) {
        form.resize(form.size() + want - view->viewport()->size());
        QCoreApplication::processEvents();
    }
    view->scrollTo(view->document().fileSize() / 2);

    form.setColorRules(noRules());
    form.setSubstringsFilter(SubstringsFilterValues{});
    view->redraw();
    if (view->strPositions().count() == 0)
        bench::fail(QStringLiteral("nothing drawn"));
    const double bare = bench::medianSeconds(runs, [&] { view->redraw(); });

    form.setColorRules(twentyRules());
    SubstringsFilterValues filter;
    filter.repFrom = {"10\\.0\\.0\\.[0-9]+", "password=\\S+", "[0-9]{16}"};
    form.setSubstringsFilter(filter);
    const double ruled = bench::medianSeconds(runs, [&] { view->redraw(); });
    bench::report({QStringLiteral("full repaint 1280x1024, 20 enabled rules matching nothing and 3 "
                                  "filter expressions, against no rules"),
                   ruled * 1e3, QStringLiteral("ms"), bare * 1e3, QStringLiteral("no rules"), 2,
                   true, QStringLiteral("<= 2x no rules")});
    form.closeAllTabs();
}

// The sub-strings filter on the repaint path: one 1 MB line full of its
// matches, painted as the application paints it (its decorators, the
// gutter, default settings and rules).
void repaintLongLine(MainWindow &form, int runs)
{
    const QString log = bench::dataDir() + QStringLiteral("/filter-matches-1m.log");
    QByteArray line;
    while (line.size() < (1 << 20))
        line += "10.0.0.17 password=hunter2 4111111111111111 ";
    {
        QFile out(log);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            out.write(line + '\n') != line.size() + 1) {
            bench::fail(QStringLiteral("cannot write %1").arg(log));
            return;
        }
    }
    form.openFileTab(log);
    LogView *view = form.activeView();
    if (!view || !view->document().sourceAssigned()) {
        bench::fail(QStringLiteral("no view for %1").arg(log));
        return;
    }
    const QSize want(1280, 1024);
    for (int i = 0; i < 10 && view->viewport()->size() != want; ++i) {
        form.resize(form.size() + want - view->viewport()->size());
        QCoreApplication::processEvents();
    }
    view->scrollTo(view->document().fileSize() / 2);
    form.setColorRules(defaultColorRec());
    SubstringsFilterValues filter;
    filter.repFrom = {"10\\.0\\.0\\.[0-9]+", "password=\\S+", "[0-9]{16}"};
    form.setSubstringsFilter(filter);
    view->redraw();
    const DrawnLines &drawn = view->strPositions();
    if (drawn.count() == 0 || drawn.at(0).str.contains(QLatin1String("hunter2")))
        bench::fail(QStringLiteral("the filter did not rewrite the long line"));
    const bench::Times time = bench::medianTimes(runs, [&] { view->redraw(); });
    const QString figure = QStringLiteral("full repaint 1280x1024 of a 1 MB line full of the 3 "
                                          "filter expressions' matches (defaults, gutter)");
    bench::report({figure, time.wall * 1e3, QStringLiteral("ms"), 0, QString(), 20, false,
                   QStringLiteral("<= 20 ms")});
    // On a busy machine the wall time counts waits for a core.
    bench::report({figure + QStringLiteral(", CPU time"), time.cpu * 1e3, QStringLiteral("ms"), 0,
                   QString(), 0, false, QStringLiteral("(info)")});
    form.setSubstringsFilter(SubstringsFilterValues{});
    form.closeAllTabs();
}

// FilterLog over a file that is one line without a break: time must grow
// with the length, not its square, and memory must not grow at all.
void filterUnbrokenLine(const QString &out)
{
    const qint64 small = bench::smoke() ? (qint64(8) << 20) : (qint64(32) << 20);
    const qint64 large = 4 * small;
    const auto make = [](qint64 bytes) {
        const QString path =
            bench::dataDir() + QStringLiteral("/filter-unbroken-%1m.log").arg(bytes >> 20);
        if (QFile(path).size() == bytes)
            return path;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        QByteArray chunk;
        while (chunk.size() < (1 << 20))
            chunk += "payload=QQQQQQQQQQQQ ERROR request ";
        chunk.truncate(1 << 20);
        for (qint64 n = 0; n < bytes; n += chunk.size())
            if (file.write(chunk) != chunk.size())
                return QString();
        return path;
    };
    const QString smallPath = make(small);
    const QString largePath = make(large);
    if (smallPath.isEmpty() || largePath.isEmpty()) {
        bench::fail(QStringLiteral("cannot write the unbroken logs"));
        return;
    }
    bench::commandSeconds(QStringLiteral("cat '%1' '%2' > /dev/null").arg(smallPath, largePath));
    struct Case
    {
        const char *name;
        QByteArray pattern;
        bool regex;
    };
    const Case cases[] = {{"plain word", "timeout", false},
                          {"regular expression", "ERROR.*timeout=[0-9]+", true}};
    for (const Case &c : cases) {
        FilterLogOptions options;
        options.filter = c.pattern;
        options.isRegex = c.regex;
        qint64 peak = 0;
        const auto run = [&](const QString &path) {
            const qint64 before = bench::residentBytes();
            return bench::seconds([&] {
                QFile::remove(out);
                const FilterLogResult result = filterLog(path, out, options, [&](int) {
                    peak = std::max(peak, bench::residentBytes() - before);
                });
                if (result.state != FilterLogResult::Status::NoLines)
                    bench::fail(
                        QStringLiteral("an unbroken line passed: %1").arg(QLatin1String(c.name)));
            });
        };
        const double smallTime = run(smallPath);
        const double largeTime = run(largePath);
        const double grepTime =
            bench::commandSeconds(QStringLiteral("grep -c %1 %2 '%3' > /dev/null")
                                      .arg(c.regex ? QStringLiteral("-E") : QStringLiteral("-F"),
                                           quote(c.pattern), largePath));
        const QString figure =
            QStringLiteral("FilterLog of one line without a break (%1)").arg(QLatin1String(c.name));
        bench::report({figure + QStringLiteral(", %1 MiB").arg(large >> 20), largeTime * 1e3,
                       QStringLiteral("ms"), grepTime * 1e3, QStringLiteral("grep -c"), 0, false,
                       QStringLiteral("(info)")});
        bench::report({figure + QStringLiteral(", time for 4x the length"), largeTime * 1e3,
                       QStringLiteral("ms"), smallTime * 1e3,
                       QStringLiteral("%1 MiB").arg(small >> 20), 5, true,
                       QStringLiteral("<= 5x (linear: 4x)")});
        bench::report({figure + QStringLiteral(", memory growth"), double(peak) / (1 << 20),
                       QStringLiteral("MiB"), 0, QString(), 64, false, QStringLiteral("<= 64 MiB"),
                       true});
    }
    QFile::remove(out);
}

// The filter dialog as the user runs it: the gauge's repaints, and Cancel
// pressed at 60 %.
void dialog(const QString &path, const QString &out)
{
    BackgroundJobs jobs;
    FilterLogDialog dialog(jobs);
    dialog.setSource(path, encodingAnsi);
    dialog.findChild<QLineEdit *>(QStringLiteral("edFN"))->setText(out);
    dialog.findChild<QLineEdit *>(QStringLiteral("edFilter"))->setText(QString::fromUtf8(kRegex));
    dialog.findChild<QCheckBox *>(QStringLiteral("chkRE"))->setChecked(true);
    auto *gauge = dialog.findChild<QProgressBar *>(QStringLiteral("Gauge1"));
    auto *cancel = dialog.findChild<QPushButton *>(QStringLiteral("bCan"));
    dialog.show();
    QCoreApplication::processEvents();
    QElapsedTimer clock;
    std::vector<qint64> repaints;
    qint64 cancelledAt = -1;
    QObject::connect(gauge, &QProgressBar::valueChanged, &dialog, [&](int value) {
        if (cancelledAt >= 0)
            return; // the reset after the stop is no progress
        repaints.push_back(clock.nsecsElapsed());
        if (value >= 60) {
            cancelledAt = clock.nsecsElapsed();
            cancel->click();
        }
    });
    clock.start();
    dialog.findChild<QPushButton *>(QStringLiteral("bOk"))->click();
    while (dialog.running())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 ended = clock.nsecsElapsed();
    if (bench::smoke() && !dialog.running() && (cancelledAt < 0 || QFile::exists(out))) {
        // A smoke run's file can be written whole before the gauge shows
        // 60 % or before the worker sees the Cancel: nothing to time.
        QFile::remove(out);
        return;
    }
    if (cancelledAt < 0 || QFile::exists(out) || dialog.running()) {
        bench::fail(QStringLiteral("the run was not cancelled at 60 %"));
        return;
    }
    if (repaints.size() < 3 && bench::smoke()) {
        // A small file ends before the gauge moves twice: nothing to time.
        bench::report({QStringLiteral("filter dialog: Cancel until the dialog is usable"),
                       double(ended - cancelledAt) / 1e6, QStringLiteral("ms"), 0, QString(), 100,
                       false, QStringLiteral("<= 100 ms")});
        return;
    }
    qint64 widest = 0;
    for (size_t i = 1; i < repaints.size(); ++i)
        widest = std::max(widest, repaints[i] - repaints[i - 1]);
    const double perSecond = repaints.size() > 1 ? double(repaints.size() - 1) * 1e9 /
                                                       double(repaints.back() - repaints.front())
                                                 : 0;
    bench::report({QStringLiteral("filter dialog: gauge repaints per second during a run"),
                   perSecond, QStringLiteral("/s"), 0, QString(), 20, false,
                   QStringLiteral("<= 20 (at most every 50 ms)")});
    bench::report({QStringLiteral("filter dialog: widest gap between gauge repaints"),
                   double(widest) / 1e6, QStringLiteral("ms"), 0, QString(), 0, false,
                   QStringLiteral("(info)")});
    bench::report({QStringLiteral("filter dialog: Cancel at 60 % until the dialog is usable"),
                   double(ended - cancelledAt) / 1e6, QStringLiteral("ms"), 0, QString(), 100,
                   false, QStringLiteral("<= 100 ms")});
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    QApplication app(argc, argv);
    bench::PrintingSink sink(MsgResult::Cancel);
    setMessageSink(&sink);
    const bool smoke = bench::smoke();
    const QString big = filterSource(smoke ? QStringLiteral("smoke-filter-128m.log")
                                           : QStringLiteral("filter-1g.log"),
                                     smoke ? (128LL << 20) : (1LL << 30));
    if (big.isEmpty()) {
        bench::fail(QStringLiteral("cannot write the log"));
        return bench::exitCode();
    }
    const QString out = bench::dataDir() + QStringLiteral("/filter-out.log");
    // Warm cache: the peers and we read the same file from memory.
    bench::commandSeconds(QStringLiteral("cat '%1' > /dev/null").arg(big));
    filterRuns(big, out, smoke ? 1 : 3);
    filterUnbrokenLine(out);

    QTemporaryDir dir;
    {
        MainWindow form(dir.filePath(QStringLiteral("Ravelin.ini")));
        form.show();
        QCoreApplication::processEvents();
        repaint(form, big, smoke ? 3 : 51);
        repaintLongLine(form, smoke ? 3 : 21);
    }
    dialog(big, out);
    QFile::remove(out);
    setMessageSink(nullptr);
    return bench::exitCode();
}
