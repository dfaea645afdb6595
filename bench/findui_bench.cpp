// The search as the user runs it: the viewer's search on its worker with the
// progress window up and repainting, beside the same engine alone on the
// same file; how often the window repaints; and how fast Cancel stops a
// search of a 10 GiB file.
#include "benchcommon.h"

#include "app/formfindprogress.h"
#include "app/formfindtext.h"
#include "app/formview.h"
#include "search/qzstreamsearch.h"
#include "text/messages.h"
#include "viewer/filesource.h"
#include "viewer/qzbinhex.h"
#include "viewer/searchrun.h"

#include <QApplication>
#include <QComboBox>
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
    MsgResult Show(const QString &, const QString &text, MsgIcon, MsgButtons) override
    {
        Last = text;
        At = Clock::now();
        return MsgResult::Ok;
    }
    QString Last;
    Clock::time_point At;
};

// Counts the progress bar's repaints.
class PaintCounter final : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++Paints;
        return false;
    }
    int Paints = 0;
};

// CPU seconds of the whole process: the worker's search and the window's
// repaints, not the waits for a core on a busy machine.
double ProcessCpu()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Timed
{
    double Wall = 0;
    double Cpu = 0;
};

Timed Measure(const std::function<void()> &fn)
{
    const double cpu = ProcessCpu();
    const double wall = bench::Seconds(fn);
    return {wall, ProcessCpu() - cpu};
}

// The same engine on its own descriptor, on this thread, with a handler
// that only counts: what the search costs without any window.
struct EngineAlone
{
    explicit EngineAlone(const QString &path) : Source(LocalFileSource::Open(path))
    {
        if (!Source)
            return;
        Search.SetStream(Source.get());
        Search.OnProgress = [this](qint64, qint64, bool &) { ++Reports; };
    }
    Timed Once()
    {
        return Measure([this] { Search.FindFirst(kAbsent, 0, soCaseSensitive, 0); });
    }
    std::unique_ptr<LocalFileSource> Source;
    TQzStreamSearch Search;
    qint64 Reports = 0;
};

void Throughput(TFormView &form, const QString &tag, const QString &path, int runs)
{
    form.OpenFileTab(path);
    TQzBinHex *view = form.ActiveView();
    if (!view || !view->SourceAssigned()) {
        bench::Fail(QStringLiteral("no view for %1").arg(path));
        return;
    }
    const qint64 size = QFileInfo(path).size();
    bench::CommandSeconds(QStringLiteral("cat '%1' > /dev/null").arg(path));

    // The window up and handling the viewer's reports as during a real run;
    // only its own start of the search is held back, so that the viewer's
    // search is what is timed.
    TFormViewFindProgress *window = form.FindProgress();
    window->RunView = view;
    window->show();
    PaintCounter counter;
    window->ProgressBar1->installEventFilter(&counter);
    int deliveries = 0;
    // As a run of the window hands them on.
    view->OnSearchProgress = [&](qint64 current, qint64 maximal, bool &go) {
        ++deliveries;
        window->SearchProgress(current, maximal, go);
    };
    // Taken in turns, so that a busy machine weighs on both alike.
    EngineAlone engine(path);
    if (!engine.Source) {
        bench::Fail(QStringLiteral("cannot open %1").arg(path));
        return;
    }
    bool wrong = false;
    std::vector<double> windowWall, windowCpu, engineWall, engineCpu;
    int overDue = 0; // repaints beyond one per 20 ms of each run
    for (int i = 0; i < runs; ++i) {
        const int before = counter.Paints;
        const Timed withWindow = Measure([&] {
            wrong = wrong || view->FindFirst(kAbsent, soCaseSensitive, -1);
            QCoreApplication::processEvents(); // the last repaint
        });
        windowWall.push_back(withWindow.Wall);
        windowCpu.push_back(withWindow.Cpu);
        const int allowed = int(withWindow.Wall * 1000 / SearchRun::kReportIntervalMs) + 1;
        overDue += std::max(0, counter.Paints - before - allowed);
        const Timed alone = engine.Once();
        engineWall.push_back(alone.Wall);
        engineCpu.push_back(alone.Cpu);
    }
    window->Timer2->stop();
    window->hide();
    window->ProgressBar1->removeEventFilter(&counter);
    view->OnSearchProgress = nullptr;
    if (wrong)
        bench::Fail(QStringLiteral("found \"%1\" in %2").arg(kAbsent, path));
    // Noise on a shared machine only ever adds time: the least of each is
    // the cost itself.
    const auto least = [](const std::vector<double> &v) {
        return *std::min_element(v.begin(), v.end());
    };
    const double withWindow = least(windowWall);
    const double alone = least(engineWall);
    const qint64 engineReports = engine.Reports / runs;
    bench::Report({QStringLiteral("%1 search with the progress window up, least time").arg(tag),
                   withWindow * 1e3, QStringLiteral("ms"), alone * 1e3,
                   QStringLiteral("the engine alone"), 1.05, true,
                   QStringLiteral("<= 1.05x the engine alone")});
    bench::Report({QStringLiteral("%1 search with the progress window up, throughput").arg(tag),
                   size / withWindow / 1e9, QStringLiteral("GB/s"), size / alone / 1e9,
                   QStringLiteral("the engine alone"), 0, false, QStringLiteral("(info)")});
    bench::Report({QStringLiteral("%1 search with the progress window up, least CPU").arg(tag),
                   least(windowCpu) * 1e3, QStringLiteral("ms"), least(engineCpu) * 1e3,
                   QStringLiteral("the engine alone"), 0, true, QStringLiteral("(info)")});
    double seconds = 0;
    for (const double t : windowWall)
        seconds += t;
    bench::Report({QStringLiteral("%1 progress bar repaints per second").arg(tag),
                   counter.Paints / seconds, QStringLiteral("/s"),
                   engineReports / std::max(alone, 1e-9), QStringLiteral("engine reports/s"), 0,
                   false, QStringLiteral("(info)")});
    bench::Report({QStringLiteral("%1 repaints beyond one per 20 ms").arg(tag), double(overDue),
                   QStringLiteral(""), 0, QString(), 0.5, false, QStringLiteral("none"), true});
    bench::Report({QStringLiteral("%1 progress reports reaching the window per second").arg(tag),
                   deliveries / seconds, QStringLiteral("/s"), 0, QString(), 0, false,
                   QStringLiteral("(info)"), true});
}

// What one report costs the GUI thread: the new percentage set and painted.
void RepaintCost(TFormView &form)
{
    TFormViewFindProgress *window = form.FindProgress();
    window->RunView = form.ActiveView();
    window->show();
    window->Timer2->stop();
    QCoreApplication::processEvents();
    constexpr int kReports = 1000;
    const Timed t = Measure([&] {
        for (int i = 0; i < kReports; ++i) {
            bool go = true;
            window->SearchProgress(i % 100, 100, go);
            QCoreApplication::processEvents();
        }
    });
    window->hide();
    if (window->RunView)
        window->RunView->OnSearchProgress = nullptr;
    bench::Report({QStringLiteral("CPU per progress report shown"), t.Cpu / kReports * 1e3,
                   QStringLiteral("ms"), 0, QString(), 0, false, QStringLiteral("(info)")});
}

// From the Cancel click to the end of the search, with the view usable again and
// the status bar saying so, through the whole progress window, on a sparse
// file whose only text is at its end.
void CancelLatency(TFormView &form, TimingSink &sink, const QString &path, qint64 size)
{
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !file.resize(size - 6) ||
            !file.seek(size - 6) || file.write("needle") != 6) {
            bench::Fail(QStringLiteral("cannot write %1").arg(path));
            return;
        }
    }
    form.OpenFileTab(path);
    form.RunFindDialog = [](TFormViewFindText &dialog) {
        dialog.edText->setEditText(QStringLiteral("needle"));
        return true;
    };
    TFormViewFindProgress *window = form.FindProgress();
    Clock::time_point clicked;
    QTimer::singleShot(300, [&] {
        clicked = Clock::now();
        window->btnCancel->click();
    });
    sink.Last.clear();
    form.ShowFindDialog();
    const Clock::time_point ended = Clock::now();
    QFile::remove(path);
    const QString note = form.statusBar()->currentMessage();
    if (!sink.Last.isEmpty() || note != QStringLiteral("Search cancelled") ||
        clicked == Clock::time_point()) {
        bench::Fail(QStringLiteral("the search was not cancelled: %1 %2").arg(sink.Last, note));
        return;
    }
    const double ms = std::chrono::duration<double, std::milli>(ended - clicked).count();
    bench::Report({QStringLiteral("Cancel of a search of a %1 GiB file").arg(size >> 30), ms,
                   QStringLiteral("ms"), 0, QString(), 100, false,
                   QStringLiteral("<= 100 ms from the click to the end of the search")});
}

} // namespace

int main(int argc, char **argv)
{
    bench::InitSmoke(argc, argv);
    const bool smoke = bench::Smoke();
    QApplication app(argc, argv);
    TimingSink sink;
    SetMessageSink(&sink);
    QTemporaryDir dir;
    {
        TFormView form(dir.filePath(QStringLiteral("Ravelin.ini")), CommandLine{});
        if (smoke) {
            Throughput(form, QStringLiteral("16 MiB"),
                       bench::EnsureLog(QStringLiteral("smoke-app-16m.log"), 16LL << 20), 2);
        } else {
            Throughput(form, QStringLiteral("1 GiB"),
                       bench::EnsureLog(QStringLiteral("app-1g.log"), 1LL << 30), 5);
            Throughput(form, QStringLiteral("4 GiB"),
                       bench::EnsureLog(QStringLiteral("app-4g.log"), 4LL << 30), 5);
        }
        RepaintCost(form);
        CancelLatency(form, sink, bench::DataDir() + QStringLiteral("/findui-sparse.log"),
                      qint64(10) << 30);
    }
    SetMessageSink(nullptr);
    return bench::ExitCode();
}
