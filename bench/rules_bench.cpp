// Colour rules and filtered logs as the application runs them: a full
// repaint with 20 rules and 3 sub-strings filter expressions against the
// same repaint without them; a repaint of a 1 MB line full of the filter's
// matches; FilterLog of a 1 GB log against grep -E (and rg) writing the same
// lines; FilterLog of lines without a break (time against the length, and
// the memory it takes); the filter dialog's gauge and its Cancel.
#include "benchcommon.h"

#include "app/formfilter.h"
#include "app/formview.h"
#include "rules/filterlog.h"
#include "printingsink.h"
#include "text/messages.h"
#include "viewer/qzbinhex.h"

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
QString FilterSource(const QString &name, qint64 bytes)
{
    const QString path = bench::DataDir() + QLatin1Char('/') + name;
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

qint64 GrepCount(const QStringList &args, const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("grep"), QStringList{QStringLiteral("-c")} + args + QStringList{path});
    p.waitForFinished(-1);
    return p.readAllStandardOutput().trimmed().toLongLong();
}

QString Quote(const QByteArray &s)
{
    return QLatin1Char('\'') + QString::fromUtf8(s) + QLatin1Char('\'');
}

void FilterRuns(const QString &path, const QString &out, int runs)
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
        TFilterLogOptions options;
        options.Filter = c.pattern;
        options.IsRegex = c.regex;
        options.CaseSensitive = c.caseSensitive;
        std::atomic<int> percent = 0;
        TFilterLogResult result;
        const double ours = bench::MedianSeconds(runs, [&] {
            QFile::remove(out); // a new file, as grep's "> OUT" makes one
            result = FilterLog(path, out, options, [&](int p) { percent.store(p); });
        });
        const qint64 expect = GrepCount(
            c.grepFlags.split(QLatin1Char(' ')) + QStringList{QString::fromUtf8(c.pattern)}, path);
        if (result.State != TFilterLogResult::Status::Written || result.LinesWritten != expect ||
            percent.load() != 100) {
            bench::Fail(QStringLiteral("%1: %2 lines written, grep counts %3")
                            .arg(QLatin1String(c.name))
                            .arg(result.LinesWritten)
                            .arg(expect));
            continue;
        }
        const QString grep =
            QStringLiteral("grep %1 %2 '%3' > '%4'").arg(c.grepFlags, Quote(c.pattern), path, out);
        const QString rg = QStringLiteral("rg %1 %2 '%3' > '%4'")
                               .arg(c.caseSensitive ? QString() : QStringLiteral("-i"),
                                    Quote(c.pattern), path, out);
        const double grepTime = bench::MedianSeconds(runs, [&] { bench::CommandSeconds(grep); });
        const double rgTime = bench::MedianSeconds(runs, [&] { bench::CommandSeconds(rg); });
        const QString figure = QStringLiteral("FilterLog %1 MB, %2 (%3)")
                                   .arg(size >> 20)
                                   .arg(QLatin1String(c.name), QString::fromUtf8(c.pattern));
        const auto mbs = [&](double t) { return t > 0 ? double(size) / t / 1e6 : 0; };
        std::fprintf(stderr, "%s: ours %.0f MB/s, grep %.0f MB/s, rg %.0f MB/s, %lld lines\n",
                     qUtf8Printable(figure), mbs(ours), mbs(grepTime), mbs(rgTime),
                     static_cast<long long>(expect));
        // Times compare lower-is-better: at least g times grep's throughput
        // is at most 1/g times its time.
        bench::Report(
            {figure + QStringLiteral(", time"), ours * 1e3, QStringLiteral("ms"), grepTime * 1e3,
             QStringLiteral("grep ") + c.grepFlags, c.goal > 0 ? 1.0 / c.goal : 0, c.goal > 0,
             c.goal > 0 ? QStringLiteral("throughput >= 1.0x grep") : QStringLiteral("(info)")});
        bench::Report({figure + QStringLiteral(", beside rg"), ours * 1e3, QStringLiteral("ms"),
                       rgTime * 1e3, QStringLiteral("rg"), 0, false, QStringLiteral("(info)")});
    }
    QFile::remove(out);
}

TColorRec NoRules()
{
    TColorRec rec;
    for (TColorRecItem &item : rec.Items) {
        item.En = false;
        item.Text.clear();
    }
    return rec;
}

// Twenty enabled rules that match no line of the log: every rule is tried
// on every line, the worst case.
TColorRec TwentyRules()
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
    TColorRec rec;
    for (int n = 1; n <= TColorRec::Count; ++n) {
        TColorRecItem &item = rec.Rule(n);
        item.En = true;
        item.Text = texts[n - 1];
        item.ColorB = 0x00FFFF;
    }
    return rec;
}

void Repaint(TFormView &form, const QString &log, int runs)
{
    form.OpenFileTab(log);
    TQzBinHex *view = form.ActiveView();
    if (!view || !view->SourceAssigned()) {
        bench::Fail(QStringLiteral("no view for %1").arg(log));
        return;
    }
    const QSize want(1280, 1024);
    for (int i = 0; i < 10 && view->viewport()->size() != want; ++i) {
        form.resize(form.size() + want - view->viewport()->size());
        QCoreApplication::processEvents();
    }
    view->ScrollTo(view->FileSize() / 2);

    form.SetColorRules(NoRules());
    form.SetSubstringsFilter(TSubstringsFilterValues{});
    view->Redraw();
    if (view->StrPositions().Count() == 0)
        bench::Fail(QStringLiteral("nothing drawn"));
    const double bare = bench::MedianSeconds(runs, [&] { view->Redraw(); });

    form.SetColorRules(TwentyRules());
    TSubstringsFilterValues filter;
    filter.RepFrom = {"10\\.0\\.0\\.[0-9]+", "password=\\S+", "[0-9]{16}"};
    form.SetSubstringsFilter(filter);
    const double ruled = bench::MedianSeconds(runs, [&] { view->Redraw(); });
    bench::Report({QStringLiteral("full repaint 1280x1024, 20 enabled rules matching nothing and 3 "
                                  "filter expressions, against no rules"),
                   ruled * 1e3, QStringLiteral("ms"), bare * 1e3, QStringLiteral("no rules"), 2,
                   true, QStringLiteral("<= 2x no rules")});
    form.CloseAllTabs();
}

// The sub-strings filter on the repaint path: one 1 MB line full of its
// matches, painted as the application paints it (its decorators, the
// gutter, default settings and rules).
void RepaintLongLine(TFormView &form, int runs)
{
    const QString log = bench::DataDir() + QStringLiteral("/filter-matches-1m.log");
    QByteArray line;
    while (line.size() < (1 << 20))
        line += "10.0.0.17 password=hunter2 4111111111111111 ";
    {
        QFile out(log);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            out.write(line + '\n') != line.size() + 1) {
            bench::Fail(QStringLiteral("cannot write %1").arg(log));
            return;
        }
    }
    form.OpenFileTab(log);
    TQzBinHex *view = form.ActiveView();
    if (!view || !view->SourceAssigned()) {
        bench::Fail(QStringLiteral("no view for %1").arg(log));
        return;
    }
    const QSize want(1280, 1024);
    for (int i = 0; i < 10 && view->viewport()->size() != want; ++i) {
        form.resize(form.size() + want - view->viewport()->size());
        QCoreApplication::processEvents();
    }
    view->ScrollTo(view->FileSize() / 2);
    form.SetColorRules(DefaultColorRec());
    TSubstringsFilterValues filter;
    filter.RepFrom = {"10\\.0\\.0\\.[0-9]+", "password=\\S+", "[0-9]{16}"};
    form.SetSubstringsFilter(filter);
    view->Redraw();
    const TStrPositions &drawn = view->StrPositions();
    if (drawn.Count() == 0 || drawn.At(0).Str.contains(QLatin1String("hunter2")))
        bench::Fail(QStringLiteral("the filter did not rewrite the long line"));
    const bench::Times time = bench::MedianTimes(runs, [&] { view->Redraw(); });
    const QString figure = QStringLiteral("full repaint 1280x1024 of a 1 MB line full of the 3 "
                                          "filter expressions' matches (defaults, gutter)");
    bench::Report({figure, time.Wall * 1e3, QStringLiteral("ms"), 0, QString(), 20, false,
                   QStringLiteral("<= 20 ms")});
    // On a busy machine the wall time counts waits for a core.
    bench::Report({figure + QStringLiteral(", CPU time"), time.Cpu * 1e3, QStringLiteral("ms"), 0,
                   QString(), 0, false, QStringLiteral("(info)")});
    form.SetSubstringsFilter(TSubstringsFilterValues{});
    form.CloseAllTabs();
}

// FilterLog over a file that is one line without a break: time must grow
// with the length, not its square, and memory must not grow at all.
void FilterUnbrokenLine(const QString &out)
{
    const qint64 small = bench::Smoke() ? (qint64(8) << 20) : (qint64(32) << 20);
    const qint64 large = 4 * small;
    const auto make = [](qint64 bytes) {
        const QString path =
            bench::DataDir() + QStringLiteral("/filter-unbroken-%1m.log").arg(bytes >> 20);
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
        bench::Fail(QStringLiteral("cannot write the unbroken logs"));
        return;
    }
    bench::CommandSeconds(QStringLiteral("cat '%1' '%2' > /dev/null").arg(smallPath, largePath));
    struct Case
    {
        const char *name;
        QByteArray pattern;
        bool regex;
    };
    const Case cases[] = {{"plain word", "timeout", false},
                          {"regular expression", "ERROR.*timeout=[0-9]+", true}};
    for (const Case &c : cases) {
        TFilterLogOptions options;
        options.Filter = c.pattern;
        options.IsRegex = c.regex;
        qint64 peak = 0;
        const auto run = [&](const QString &path) {
            const qint64 before = bench::ResidentBytes();
            return bench::Seconds([&] {
                QFile::remove(out);
                const TFilterLogResult result = FilterLog(path, out, options, [&](int) {
                    peak = std::max(peak, bench::ResidentBytes() - before);
                });
                if (result.State != TFilterLogResult::Status::NoLines)
                    bench::Fail(
                        QStringLiteral("an unbroken line passed: %1").arg(QLatin1String(c.name)));
            });
        };
        const double smallTime = run(smallPath);
        const double largeTime = run(largePath);
        const double grepTime =
            bench::CommandSeconds(QStringLiteral("grep -c %1 %2 '%3' > /dev/null")
                                      .arg(c.regex ? QStringLiteral("-E") : QStringLiteral("-F"),
                                           Quote(c.pattern), largePath));
        const QString figure =
            QStringLiteral("FilterLog of one line without a break (%1)").arg(QLatin1String(c.name));
        bench::Report({figure + QStringLiteral(", %1 MiB").arg(large >> 20), largeTime * 1e3,
                       QStringLiteral("ms"), grepTime * 1e3, QStringLiteral("grep -c"), 0, false,
                       QStringLiteral("(info)")});
        bench::Report({figure + QStringLiteral(", time for 4x the length"), largeTime * 1e3,
                       QStringLiteral("ms"), smallTime * 1e3,
                       QStringLiteral("%1 MiB").arg(small >> 20), 5, true,
                       QStringLiteral("<= 5x (linear: 4x)")});
        bench::Report({figure + QStringLiteral(", memory growth"), double(peak) / (1 << 20),
                       QStringLiteral("MiB"), 0, QString(), 64, false, QStringLiteral("<= 64 MiB"),
                       true});
    }
    QFile::remove(out);
}

// The filter dialog as the user runs it: the gauge's repaints, and Cancel
// pressed at 60 %.
void Dialog(const QString &path, const QString &out)
{
    TFormFilter dialog;
    dialog.SetSource(path, 0);
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
    dialog.findChild<QPushButton *>(QStringLiteral("bOk"))->click(); // returns when the run ends
    const qint64 ended = clock.nsecsElapsed();
    if (bench::Smoke() && !dialog.Running() && (cancelledAt < 0 || QFile::exists(out))) {
        // A smoke run's file can be written whole before the gauge shows
        // 60 % or before the worker sees the Cancel: nothing to time.
        QFile::remove(out);
        return;
    }
    if (cancelledAt < 0 || QFile::exists(out) || dialog.Running()) {
        bench::Fail(QStringLiteral("the run was not cancelled at 60 %"));
        return;
    }
    if (repaints.size() < 3 && bench::Smoke()) {
        // A small file ends before the gauge moves twice: nothing to time.
        bench::Report({QStringLiteral("filter dialog: Cancel until the dialog is usable"),
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
    bench::Report({QStringLiteral("filter dialog: gauge repaints per second during a run"),
                   perSecond, QStringLiteral("/s"), 0, QString(), 20, false,
                   QStringLiteral("<= 20 (at most every 50 ms)")});
    bench::Report({QStringLiteral("filter dialog: widest gap between gauge repaints"),
                   double(widest) / 1e6, QStringLiteral("ms"), 0, QString(), 0, false,
                   QStringLiteral("(info)")});
    bench::Report({QStringLiteral("filter dialog: Cancel at 60 % until the dialog is usable"),
                   double(ended - cancelledAt) / 1e6, QStringLiteral("ms"), 0, QString(), 100,
                   false, QStringLiteral("<= 100 ms")});
}

} // namespace

int main(int argc, char **argv)
{
    bench::InitSmoke(argc, argv);
    QApplication app(argc, argv);
    bench::PrintingSink sink(MsgResult::Cancel);
    SetMessageSink(&sink);
    const bool smoke = bench::Smoke();
    const QString big = FilterSource(smoke ? QStringLiteral("smoke-filter-128m.log")
                                           : QStringLiteral("filter-1g.log"),
                                     smoke ? (128LL << 20) : (1LL << 30));
    if (big.isEmpty()) {
        bench::Fail(QStringLiteral("cannot write the log"));
        return bench::ExitCode();
    }
    const QString out = bench::DataDir() + QStringLiteral("/filter-out.log");
    // Warm cache: the peers and we read the same file from memory.
    bench::CommandSeconds(QStringLiteral("cat '%1' > /dev/null").arg(big));
    FilterRuns(big, out, smoke ? 1 : 3);
    FilterUnbrokenLine(out);

    QTemporaryDir dir;
    {
        TFormView form(dir.filePath(QStringLiteral("Ravelin.ini")));
        form.show();
        QCoreApplication::processEvents();
        Repaint(form, big, smoke ? 3 : 51);
        RepaintLongLine(form, smoke ? 3 : 21);
    }
    Dialog(big, out);
    QFile::remove(out);
    SetMessageSink(nullptr);
    return bench::ExitCode();
}
