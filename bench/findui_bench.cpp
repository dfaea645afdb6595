// The search as the user runs it: the viewer's search on its worker with the
// progress window up and repainting, beside the same engine alone on the
// same file; how often the window repaints; and how fast Cancel stops a
// search of a 10 GiB file.
#include "benchcommon.h"

#include "app/searchprogresswindow.h"
#include "app/finddialog.h"
#include "app/mainwindow.h"
#include "search/streamsearch.h"
#include "text/messages.h"
#include "viewer/filesource.h"
#include "viewer/logview.h"
#include "viewer/documentsearch.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A text no generated log holds: every search reads the whole file.
const QString kAbsent = QStringLiteral("NEEDLE-none");

// Notes when the last message came, without waiting on a dialog.
class TimingSink final : public MessageSink
{
public:
    MsgResult show(const QString &, const QString &text, MsgIcon, MsgButtons) override
    {
        last = text;
        at = Clock::now();
        return MsgResult::Ok;
    }
    QString last;
    Clock::time_point at;
};

// Counts the progress bar's repaints.
class PaintCounter final : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

// CPU seconds of the whole process: the worker's search and the window's
// repaints, not the waits for a core on a busy machine.
double processCpu()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Timed
{
    double wall = 0;
    double cpu = 0;
};

Timed measure(const std::function<void()> &fn)
{
    const double cpu = processCpu();
    const double wall = bench::seconds(fn);
    return {wall, processCpu() - cpu};
}

// The same engine on its own descriptor, on this thread, with a handler
// that only counts: what the search costs without any window.
struct EngineAlone
{
    explicit EngineAlone(const QString &path) : source(LocalFileSource::open(path))
    {
        if (!source)
            return;
        search.setStream(source.get());
        search.onProgress = [this](qint64, qint64, bool &) { ++reports; };
    }
    Timed once()
    {
        return measure([this] { search.findFirst(kAbsent, encodingAnsi, soCaseSensitive, 0); });
    }
    std::unique_ptr<LocalFileSource> source;
    StreamSearch search;
    qint64 reports = 0;
};

void throughput(MainWindow &form, const QString &tag, const QString &path, int runs)
{
    form.openFileTab(path);
    LogView *view = form.activeView();
    if (!view || !view->document().sourceAssigned()) {
        bench::fail(QStringLiteral("no view for %1").arg(path));
        return;
    }
    const qint64 size = QFileInfo(path).size();
    bench::commandSeconds(QStringLiteral("cat '%1' > /dev/null").arg(path));

    // The window up and handling the viewer's reports as during a real run;
    // only its own start of the search is held back, so that the viewer's
    // search is what is timed.
    SearchProgressWindow *window = form.findProgress();
    window->runView = view;
    window->show();
    PaintCounter counter;
    window->progressBar->installEventFilter(&counter);
    int deliveries = 0;
    // As a run of the window hands them on.
    DocumentSearch &search = view->search();
    const QMetaObject::Connection reports =
        QObject::connect(&search, &DocumentSearch::progress, [&](qint64 current, qint64 maximal) {
            ++deliveries;
            bool go = true;
            window->searchProgress(current, maximal, go);
        });
    QEventLoop loop;
    const QMetaObject::Connection ends =
        QObject::connect(&search, &DocumentSearch::finished, &loop, &QEventLoop::quit);
    // Taken in turns, so that a busy machine weighs on both alike.
    EngineAlone engine(path);
    if (!engine.source) {
        bench::fail(QStringLiteral("cannot open %1").arg(path));
        return;
    }
    bool wrong = false;
    std::vector<double> windowWall, windowCpu, engineWall, engineCpu;
    int overDue = 0; // repaints beyond one per 20 ms of each run
    for (int i = 0; i < runs; ++i) {
        const int before = counter.paints;
        const Timed withWindow = measure([&] {
            if (search.findFirst(form.jobs(), view, kAbsent, soCaseSensitive, -1))
                loop.exec();
            wrong = wrong || search.outcome() != DocumentSearch::Outcome::NotFound;
            QCoreApplication::processEvents(); // the last repaint
        });
        windowWall.push_back(withWindow.wall);
        windowCpu.push_back(withWindow.cpu);
        const int allowed = int(withWindow.wall * 1000 / DocumentSearch::kReportIntervalMs) + 1;
        overDue += std::max(0, counter.paints - before - allowed);
        const Timed alone = engine.once();
        engineWall.push_back(alone.wall);
        engineCpu.push_back(alone.cpu);
    }
    window->fadeTimer->stop();
    window->hide();
    window->progressBar->removeEventFilter(&counter);
    QObject::disconnect(reports);
    QObject::disconnect(ends);
    if (wrong)
        bench::fail(QStringLiteral("found \"%1\" in %2").arg(kAbsent, path));
    // Noise on a shared machine only ever adds time: the least of each is
    // the cost itself.
    const auto least = [](const std::vector<double> &v) {
        return *std::min_element(v.begin(), v.end());
    };
    const double withWindow = least(windowWall);
    const double alone = least(engineWall);
    const qint64 engineReports = engine.reports / runs;
    bench::report({QStringLiteral("%1 search with the progress window up, least time").arg(tag),
                   withWindow * 1e3, QStringLiteral("ms"), alone * 1e3,
                   QStringLiteral("the engine alone"), 1.05, true,
                   QStringLiteral("<= 1.05x the engine alone")});
    bench::report({QStringLiteral("%1 search with the progress window up, throughput").arg(tag),
                   size / withWindow / 1e9, QStringLiteral("GB/s"), size / alone / 1e9,
                   QStringLiteral("the engine alone"), 0, false, QStringLiteral("(info)")});
    bench::report({QStringLiteral("%1 search with the progress window up, least CPU").arg(tag),
                   least(windowCpu) * 1e3, QStringLiteral("ms"), least(engineCpu) * 1e3,
                   QStringLiteral("the engine alone"), 0, true, QStringLiteral("(info)")});
    double seconds = 0;
    for (const double t : windowWall)
        seconds += t;
    bench::report({QStringLiteral("%1 progress bar repaints per second").arg(tag),
                   counter.paints / seconds, QStringLiteral("/s"),
                   engineReports / std::max(alone, 1e-9), QStringLiteral("engine reports/s"), 0,
                   false, QStringLiteral("(info)")});
    bench::report({QStringLiteral("%1 repaints beyond one per 20 ms").arg(tag), double(overDue),
                   QStringLiteral(""), 0, QString(), 0.5, false, QStringLiteral("none"), true});
    bench::report({QStringLiteral("%1 progress reports reaching the window per second").arg(tag),
                   deliveries / seconds, QStringLiteral("/s"), 0, QString(), 0, false,
                   QStringLiteral("(info)"), true});
}

// What one report costs the GUI thread: the new percentage set and painted.
void repaintCost(MainWindow &form)
{
    SearchProgressWindow *window = form.findProgress();
    window->runView = form.activeView();
    window->show();
    window->fadeTimer->stop();
    QCoreApplication::processEvents();
    constexpr int kReports = 1000;
    const Timed t = measure([&] {
        for (int i = 0; i < kReports; ++i) {
            bool go = true;
            window->searchProgress(i % 100, 100, go);
            QCoreApplication::processEvents();
        }
    });
    window->hide();
    bench::report({QStringLiteral("CPU per progress report shown"), t.cpu / kReports * 1e3,
                   QStringLiteral("ms"), 0, QString(), 0, false, QStringLiteral("(info)")});
}

// From the Cancel click to the end of the search, with the view usable again and
// the status bar saying so, through the whole progress window, on a sparse
// file whose only text is at its end.
void cancelLatency(MainWindow &form, TimingSink &sink, const QString &path, qint64 size)
{
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !file.resize(size - 6) ||
            !file.seek(size - 6) || file.write("needle") != 6) {
            bench::fail(QStringLiteral("cannot write %1").arg(path));
            return;
        }
    }
    form.openFileTab(path);
    form.runFindDialog = [](FindDialog &dialog) {
        dialog.edText->setEditText(QStringLiteral("needle"));
        return true;
    };
    SearchProgressWindow *window = form.findProgress();
    Clock::time_point clicked;
    QTimer::singleShot(300, [&] {
        clicked = Clock::now();
        window->btnCancel->click();
    });
    sink.last.clear();
    form.showFindDialog();
    while (window->running())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const Clock::time_point ended = Clock::now();
    QFile::remove(path);
    const QString note = form.statusBar()->currentMessage();
    if (!sink.last.isEmpty() || note != QStringLiteral("Search cancelled") ||
        clicked == Clock::time_point()) {
        bench::fail(QStringLiteral("the search was not cancelled: %1 %2").arg(sink.last, note));
        return;
    }
    const double ms = std::chrono::duration<double, std::milli>(ended - clicked).count();
    bench::report({QStringLiteral("Cancel of a search of a %1 GiB file").arg(size >> 30), ms,
                   QStringLiteral("ms"), 0, QString(), 100, false,
                   QStringLiteral("<= 100 ms from the click to the end of the search")});
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    const bool smoke = bench::smoke();
    QApplication app(argc, argv);
    TimingSink sink;
    setMessageSink(&sink);
    QTemporaryDir dir;
    {
        MainWindow form(dir.filePath(QStringLiteral("Ravelin.ini")), CommandLine{});
        if (smoke) {
            throughput(form, QStringLiteral("16 MiB"),
                       bench::ensureLog(QStringLiteral("smoke-app-16m.log"), 16LL << 20), 2);
        } else {
            throughput(form, QStringLiteral("1 GiB"),
                       bench::ensureLog(QStringLiteral("app-1g.log"), 1LL << 30), 5);
            throughput(form, QStringLiteral("4 GiB"),
                       bench::ensureLog(QStringLiteral("app-4g.log"), 4LL << 30), 5);
        }
        repaintCost(form);
        cancelLatency(form, sink, bench::dataDir() + QStringLiteral("/findui-sparse.log"),
                      qint64(10) << 30);
    }
    setMessageSink(nullptr);
    return bench::exitCode();
}
