// Following a growing log: how soon an appended line is drawn (polling and
// inotify, with tail -F beside them), what 300 idle polling viewers cost, and
// whether a storm of appends stalls the event loop or leaves the view behind.
#include "benchcommon.h"
#include "benchview.h"

#include "text/messages.h"
#include "viewer/qzbinhex.h"
#include "watch/qzfilenotificationsimple.h"

#include <QApplication>
#include <QEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFont>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr int PollMs = 500;
// Markers per latency figure: a smoke run only proves the path works.
int SampleCount()
{
    return bench::Smoke() ? 3 : 30;
}
constexpr int SampleTimeoutMs = 3000;

qint64 NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Messages would block or vanish; the bench wants them counted and visible.
class CountingSink final : public MessageSink
{
public:
    MsgResult Show(const QString &caption, const QString &text, MsgIcon, MsgButtons) override
    {
        ++Count;
        std::fprintf(stderr, "message: %s: %s\n", qPrintable(caption), qPrintable(text));
        return MsgResult::Cancel;
    }
    int Count = 0;
};

// Write and first-drawn times of each marker; 0 while not yet.
class MarkerTimes final
{
public:
    explicit MarkerTimes(int count) : m_write(size_t(count)), m_seen(size_t(count)) {}

    int Count() const { return int(m_write.size()); }
    void Wrote(int id, qint64 ns) { m_write[size_t(id)] = ns; }
    bool Seen(int id) const { return m_seen[size_t(id)].load() != 0; }

    // Every "MARKnnnnn" in text counts as drawn now, unless drawn before.
    void See(QStringView text)
    {
        qsizetype at = 0;
        while ((at = text.indexOf(u"MARK", at)) >= 0) {
            at += 4;
            int id = 0;
            int digits = 0;
            while (at < text.size() && digits < 5 && text[at].isDigit()) {
                id = id * 10 + text[at].digitValue();
                ++at;
                ++digits;
            }
            if (digits != 5 || id >= Count())
                continue;
            qint64 expected = 0;
            m_seen[size_t(id)].compare_exchange_strong(expected, NowNs());
        }
    }

    // Milliseconds from write to first drawing, of the markers seen.
    std::vector<double> LatenciesMs(int *missed) const
    {
        std::vector<double> ms;
        *missed = 0;
        for (int i = 0; i < Count(); ++i) {
            const qint64 w = m_write[size_t(i)].load();
            const qint64 s = m_seen[size_t(i)].load();
            if (w == 0 || s == 0) {
                ++*missed;
                continue;
            }
            ms.push_back(double(std::max<qint64>(s - w, 0)) / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        return ms;
    }

private:
    std::vector<std::atomic<qint64>> m_write;
    std::vector<std::atomic<qint64>> m_seen;
};

template <typename... Args>
QByteArray Format(const char *format, Args... args)
{
    char buffer[256];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    return QByteArray(buffer, std::clamp(n, 0, int(sizeof buffer) - 1));
}

void AppendText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Append);
    f.write(text);
}

QByteArray LogLines(int count, const char *tag)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += Format("2024-05-01 12:%02d:%02d.%03d INFO  [%s] request %d served\n",
                      (i / 60000) % 60, (i / 1000) % 60, i % 1000, tag, i);
    return out;
}

// A thread that appends one marker line per sample at a random moment: it
// waits until the previous marker was seen (the watcher has just fired), then
// sleeps a uniform part of the poll period, so writes fall evenly over it.
class MarkerWriter final
{
public:
    // also, when given, gets the same write times (a second way of seeing).
    MarkerWriter(const QString &path, MarkerTimes &times, unsigned seed,
                 MarkerTimes *also = nullptr)
        : m_path(QFile::encodeName(path)), m_times(times), m_also(also), m_seed(seed)
    {}
    ~MarkerWriter()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    MarkerWriter(const MarkerWriter &) = delete;
    MarkerWriter &operator=(const MarkerWriter &) = delete;

    void Start()
    {
        m_thread = std::thread([this] { Run(); });
    }
    bool Done() const { return m_done.load(); }

private:
    void WaitSeen(int id) const
    {
        const qint64 deadline = NowNs() + qint64(SampleTimeoutMs) * 1000000;
        while (!m_times.Seen(id) && NowNs() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(500));
    }

    void Run()
    {
        const int fd = ::open(m_path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        std::mt19937 rng(m_seed);
        std::uniform_int_distribution<int> phaseUs(0, PollMs * 1000 - 1);
        for (int id = 0; id < m_times.Count(); ++id) {
            if (id > 0)
                WaitSeen(id - 1);
            std::this_thread::sleep_for(std::chrono::microseconds(phaseUs(rng)));
            const QByteArray line =
                Format("2024-05-01 13:00:00.000 WARN  [writer] MARK%05d job finished\n", id);
            const qint64 now = NowNs();
            m_times.Wrote(id, now);
            if (m_also)
                m_also->Wrote(id, now);
            [[maybe_unused]] const ssize_t n = ::write(fd, line.constData(), size_t(line.size()));
        }
        WaitSeen(m_times.Count() - 1);
        ::close(fd);
        m_done = true;
    }

    QByteArray m_path;
    MarkerTimes &m_times;
    MarkerTimes *m_also;
    unsigned m_seed;
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// Runs the event loop until done() holds or timeoutMs passed.
void RunUntil(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    QTimer check;
    check.setInterval(5);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= timeoutMs)
            loop.quit();
    });
    check.start();
    loop.exec();
}

// Runs the event loop for ms with no timer of its own but the one that ends it.
void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// A 10 ms timer that records how late each of its ticks came.
class StallMeter final
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            const qint64 now = NowNs();
            const double late = double(now - m_last) / 1e6 - 10.0;
            m_worst = std::max(m_worst, late);
            if (late > 50)
                ++m_over50;
            m_last = now;
        });
    }
    void Start()
    {
        m_worst = 0;
        m_over50 = 0;
        m_last = NowNs();
        m_timer.start();
    }
    void Stop() { m_timer.stop(); }
    double WorstMs() const { return m_worst; }
    int Over50() const { return m_over50; }

private:
    QTimer m_timer;
    qint64 m_last = 0;
    double m_worst = 0;
    int m_over50 = 0;
};

// Sees the markers of the bitmap a paint event puts on screen: a reload
// draws into the bitmap, the screen shows it once the event loop runs again.
class PaintWatch final : public QObject
{
public:
    PaintWatch(TQzBinHex &view, MarkerTimes &times) : m_view(view), m_times(times)
    {
        view.viewport()->installEventFilter(this);
    }
    ~PaintWatch() override { m_view.viewport()->removeEventFilter(this); }
    PaintWatch(const PaintWatch &) = delete;
    PaintWatch &operator=(const PaintWatch &) = delete;

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++Paints;
            const TStrPositions &lines = m_view.StrPositions();
            for (int i = 0; i < lines.Count(); ++i)
                m_times.See(lines.At(i).Str);
        }
        return false;
    }
    int Paints = 0;

private:
    TQzBinHex &m_view;
    MarkerTimes &m_times;
};

std::unique_ptr<TQzBinHex> MakeFollowingView(const QString &path, bool simple)
{
    auto view = bench::MakeBenchView();
    view->AutoReloadSimple = simple;
    view->AutoReloadSimpleTime = PollMs;
    view->AutoReloadFollowTail = true;
    view->SetAutoReload(true);
    view->Open(path);
    view->ScrollToEnd();
    RunFor(200); // let show and resize settle
    if (!view->ViewAtEnd())
        std::fprintf(stderr, "warning: view not at the end after ScrollToEnd\n");
    return view;
}

struct Latency
{
    std::vector<double> Ms; // sorted
    int Missed = 0;
    double WorstStallMs = 0;
    int Reloads = 0;

    double Median() const { return Ms.empty() ? 0 : Ms[Ms.size() / 2]; }
    double Max() const { return Ms.empty() ? 0 : Ms.back(); }
    double P90() const { return Ms.empty() ? 0 : Ms[Ms.size() * 9 / 10]; }
};

void Print(const char *what, const Latency &l)
{
    std::fprintf(stderr,
                 "%s: n=%zu missed=%d min=%.1f median=%.1f p90=%.1f max=%.1f ms, reloads=%d, "
                 "worst stall %.1f ms\n",
                 what, l.Ms.size(), l.Missed, l.Ms.empty() ? 0 : l.Ms.front(), l.Median(), l.P90(),
                 l.Max(), l.Reloads, l.WorstStallMs);
}

QString FreshLog(const QTemporaryDir &dir, const char *name, int lines)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(LogLines(lines, "boot"));
    return path;
}

struct ViewerLatencies
{
    Latency Painted; // on screen
    Latency Drawn;   // into the bitmap
};

ViewerLatencies ViewerLatency(bool simple, unsigned seed)
{
    QTemporaryDir dir(bench::DataDir() + QStringLiteral("/watch-XXXXXX"));
    const QString path = FreshLog(dir, "follow.log", 300);
    auto view = MakeFollowingView(path, simple);
    const int samples = SampleCount();
    MarkerTimes painted(samples);
    MarkerTimes drawn(samples);
    ViewerLatencies result;
    PaintWatch paints(*view, painted);
    view->OnDrawLine2 = [&](TQzBinHex *, QPainter &, const QString &text, const QPoint &,
                            const TQzBinHexOutputOptions &) { drawn.See(text); };
    view->OnFileReload = [&](TQzBinHex *) { ++result.Painted.Reloads; };
    StallMeter stall;
    stall.Start();
    MarkerWriter writer(path, painted, seed, &drawn);
    writer.Start();
    RunUntil([&] { return writer.Done(); }, samples * (PollMs + SampleTimeoutMs) + 5000);
    stall.Stop();
    if (paints.Paints == 0)
        std::fprintf(stderr, "warning: no paint events: on-screen times are missing\n");
    result.Painted.Ms = painted.LatenciesMs(&result.Painted.Missed);
    result.Painted.WorstStallMs = stall.WorstMs();
    result.Drawn.Ms = drawn.LatenciesMs(&result.Drawn.Missed);
    result.Drawn.Reloads = result.Painted.Reloads;
    result.Drawn.WorstStallMs = stall.WorstMs();
    return result;
}

Latency TailLatency(unsigned seed, bool *ok)
{
    QTemporaryDir dir(bench::DataDir() + QStringLiteral("/watch-XXXXXX"));
    const QString path = FreshLog(dir, "follow.log", 300);
    const int samples = SampleCount();
    MarkerTimes times(samples);
    Latency result;
    QProcess tail;
    QByteArray pending;
    bool warm = false;
    QObject::connect(&tail, &QProcess::readyReadStandardOutput, &tail, [&] {
        pending += tail.readAllStandardOutput();
        qsizetype nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromLatin1(pending.left(nl));
            pending.remove(0, nl + 1);
            if (line.contains(QLatin1String("WARMUP")))
                warm = true;
            times.See(line);
        }
    });
    tail.start(QStringLiteral("tail"),
               {QStringLiteral("-n"), QStringLiteral("0"), QStringLiteral("-F"), path});
    *ok = tail.waitForStarted(5000);
    if (!*ok)
        return result;
    // tail may not watch yet: repeat a warm-up line until one comes through.
    for (int i = 0; i < 50 && !warm; ++i) {
        AppendText(path, "WARMUP\n");
        RunUntil([&] { return warm; }, 100);
    }
    *ok = warm;
    if (warm) {
        MarkerWriter writer(path, times, seed);
        writer.Start();
        RunUntil([&] { return writer.Done(); }, samples * (PollMs + SampleTimeoutMs) + 5000);
    }
    tail.kill();
    tail.waitForFinished(3000);
    result.Ms = times.LatenciesMs(&result.Missed);
    return result;
}

double CpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct WatchCost
{
    double CpuPerMinute = 0;
    int Ticks = 0;
    int Reloads = 0;
    double Seconds = 0;
};

WatchCost IdleWatchCost(int viewers, int seconds)
{
    QTemporaryDir dir(bench::DataDir() + QStringLiteral("/watch-XXXXXX"));
    const QByteArray text = LogLines(25, "idle");
    std::vector<std::unique_ptr<TQzBinHex>> views;
    WatchCost cost;
    for (int i = 0; i < viewers; ++i) {
        const QString path = dir.filePath(QStringLiteral("idle-%1.log").arg(i));
        AppendText(path, text);
        auto view = std::make_unique<TQzBinHex>();
        view->AutoReloadSimple = true;
        view->AutoReloadSimpleTime = PollMs;
        view->AutoReloadFollowTail = true;
        view->SetAutoReload(true);
        view->Open(path);
        view->ScrollToEnd();
        view->OnFileReload = [&](TQzBinHex *) { ++cost.Reloads; };
        QObject::connect(view->SimpleNotifier()->Timer(), &QTimer::timeout, view.get(),
                         [&] { ++cost.Ticks; });
        views.push_back(std::move(view));
    }
    RunFor(1000);
    cost.Ticks = 0;
    const double cpu0 = CpuSeconds();
    const qint64 t0 = NowNs();
    RunFor(seconds * 1000);
    const double cpu = CpuSeconds() - cpu0;
    cost.Seconds = double(NowNs() - t0) / 1e9;
    cost.CpuPerMinute = cpu / cost.Seconds * 60.0;
    return cost;
}

// Appends `rate` lines a second, in one write per millisecond or so.
class StormWriter final
{
public:
    StormWriter(const QString &path, int rate, int seconds)
        : m_path(QFile::encodeName(path)), m_rate(rate), m_total(qint64(rate) * seconds)
    {}
    ~StormWriter()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    StormWriter(const StormWriter &) = delete;
    StormWriter &operator=(const StormWriter &) = delete;

    void Start()
    {
        m_thread = std::thread([this] { Run(); });
    }
    bool Done() const { return m_done.load(); }
    qint64 Written() const { return m_written.load(); }
    qint64 Total() const { return m_total; }

private:
    void Run()
    {
        const int fd = ::open(m_path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        const qint64 t0 = NowNs();
        qint64 written = 0;
        QByteArray buffer;
        while (written < m_total) {
            const qint64 due = std::min(m_total, (NowNs() - t0) * m_rate / 1000000000);
            buffer.clear();
            for (qint64 i = written; i < due; ++i)
                buffer += Format(
                    "2024-05-01 14:00:00.000 INFO  [storm] STORM%07lld request served in 3 ms\n",
                    static_cast<long long>(i));
            if (!buffer.isEmpty()) {
                [[maybe_unused]] const ssize_t n =
                    ::write(fd, buffer.constData(), size_t(buffer.size()));
                written = due;
                m_written = written;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::close(fd);
        m_done = true;
    }

    QByteArray m_path;
    qint64 m_rate;
    qint64 m_total;
    std::atomic<qint64> m_written{0};
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// The highest STORM number among the drawn lines, -1 for none.
qint64 LastDrawnStorm(const TQzBinHex &view)
{
    qint64 last = -1;
    const TStrPositions &lines = view.StrPositions();
    for (int i = 0; i < lines.Count(); ++i) {
        const QString &s = lines.At(i).Str;
        const qsizetype at = s.indexOf(QLatin1String("STORM"));
        if (at < 0 || at + 5 + 7 >= s.size() || s[at + 5 + 7] != QLatin1Char(' '))
            continue; // a line still being written
        bool ok = false;
        const qint64 n = s.mid(at + 5, 7).toLongLong(&ok);
        if (ok)
            last = std::max(last, n);
    }
    return last;
}

struct Storm
{
    double WorstStallMs = 0;
    int StallsOver50 = 0;
    qint64 BehindAtEnd = 0;
    qint64 BehindLater = 0;
    int Reloads = 0;
    qint64 MaxLag = 0;
    qint64 MedianLag = 0;
};

Storm AppendStorm(bool simple, int seconds)
{
    constexpr int Rate = 10000;
    QTemporaryDir dir(bench::DataDir() + QStringLiteral("/watch-XXXXXX"));
    const QString path = FreshLog(dir, "storm.log", 300);
    auto view = MakeFollowingView(path, simple);
    StormWriter writer(path, Rate, seconds);
    Storm storm;
    std::vector<qint64> lags;
    view->OnFileReload = [&](TQzBinHex *v) {
        ++storm.Reloads;
        lags.push_back(writer.Written() - (LastDrawnStorm(*v) + 1));
    };
    StallMeter stall;
    stall.Start();
    writer.Start();
    RunUntil([&] { return writer.Done(); }, seconds * 1000 + 10000);
    stall.Stop();
    storm.WorstStallMs = stall.WorstMs();
    storm.StallsOver50 = stall.Over50();
    // One poll period and the reload after it to catch up.
    RunFor(PollMs + 500);
    storm.BehindAtEnd = writer.Total() - 1 - LastDrawnStorm(*view);
    if (storm.BehindAtEnd > 0) {
        RunFor(3000);
        storm.BehindLater = writer.Total() - 1 - LastDrawnStorm(*view);
    }
    std::sort(lags.begin(), lags.end());
    if (!lags.empty()) {
        storm.MaxLag = lags.back();
        storm.MedianLag = lags[lags.size() / 2];
    }
    std::fprintf(stderr,
                 "storm %s %d s: reloads=%d, lag at reload median=%lld max=%lld lines, worst stall "
                 "%.1f ms, stalls over 50 ms: %d, behind at end %lld, 3 s later %lld, at end %d\n",
                 simple ? "polling" : "inotify", seconds, storm.Reloads,
                 static_cast<long long>(storm.MedianLag), static_cast<long long>(storm.MaxLag),
                 storm.WorstStallMs, storm.StallsOver50, static_cast<long long>(storm.BehindAtEnd),
                 static_cast<long long>(storm.BehindLater), int(view->ViewAtEnd()));
    return storm;
}

// What one re-arm of the inotify watch costs the GUI thread: each reload does one.
double InotifyRearmMs()
{
    QTemporaryDir dir(bench::DataDir() + QStringLiteral("/watch-XXXXXX"));
    const QString path = FreshLog(dir, "rearm.log", 10);
    TQzBinHex view;
    view.AutoReloadSimple = false;
    view.SetAutoReload(true);
    view.Open(path);
    return bench::MedianSeconds(11,
                                [&] {
                                    view.SetAutoReload(false);
                                    view.SetAutoReload(true);
                                }) *
           1e3;
}

// A row without a goal of its own: it explains the rows that have one.
void Info(const QString &figure, double ours, const QString &unit, double peer = 0,
          const QString &peerName = QString())
{
    bench::Report({figure, ours, unit, peer, peerName, 0, false, QStringLiteral("(info)")});
}

// Lower is better; counts are whole, so a goal of 0 is given as 0.5.
void Goal(const QString &figure, double ours, const QString &unit, double goal,
          const QString &goalText, double peer = 0, const QString &peerName = QString())
{
    bench::Report({figure, ours, unit, peer, peerName, goal, false, goalText});
}

// A count whose goal is none at all: 0 is a measured answer here.
void NoneGoal(const QString &figure, double ours, const QString &unit)
{
    bench::Report({figure, ours, unit, 0, QString(), 0.5, false, QStringLiteral("= 0"), true});
}

void LatencyFigures()
{
    const ViewerLatencies pollView = ViewerLatency(true, 1);
    const Latency &poll = pollView.Painted;
    Print("viewer, polling 500 ms, on screen", poll);
    Print("viewer, polling 500 ms, into bitmap", pollView.Drawn);
    const ViewerLatencies notifyView = ViewerLatency(false, 2);
    const Latency &notify = notifyView.Painted;
    Print("viewer, inotify, on screen", notify);
    Print("viewer, inotify, into bitmap", notifyView.Drawn);
    bool tailOk = false;
    const Latency tail = TailLatency(3, &tailOk);
    Print("tail -F", tail);
    if (!tailOk)
        std::fprintf(stderr, "tail -F did not start or never echoed a line\n");

    const QString ms = QStringLiteral("ms");
    const QString tailName = QStringLiteral("tail -F");
    Info(QStringLiteral("tail latency, polling 500 ms, median"), poll.Median(), ms, tail.Median(),
         tailName);
    Goal(QStringLiteral("tail latency, polling 500 ms, max"), poll.Max(), ms, PollMs + 50,
         QStringLiteral("<= 550 ms"), tail.Max(), tailName);
    Info(QStringLiteral("tail latency, inotify, median"), notify.Median(), ms, tail.Median(),
         tailName);
    Goal(QStringLiteral("tail latency, inotify, max"), notify.Max(), ms, 150,
         QStringLiteral("<= 150 ms"), tail.Max(), tailName);
    Info(QStringLiteral("tail latency, inotify, on screen vs into bitmap, max"), notify.Max(), ms,
         notifyView.Drawn.Max(), QStringLiteral("bitmap"));
    if (poll.Missed + notify.Missed + tail.Missed > 0)
        bench::Report({QStringLiteral("tail latency, markers never shown (polling + inotify)"),
                       double(poll.Missed + notify.Missed), QStringLiteral("lines"),
                       double(tail.Missed), tailName, 0.5, false, QStringLiteral("= 0"), true});
    Info(QStringLiteral("worst event-loop stall while following, inotify"), notify.WorstStallMs, ms,
         poll.WorstStallMs, QStringLiteral("polling"));
    Info(QStringLiteral("inotify watch re-arm (every reload), GUI thread"), InotifyRearmMs(), ms);
}

void IdleFigures()
{
    const int viewers = bench::Smoke() ? 20 : 300;
    const WatchCost idle = IdleWatchCost(viewers, bench::Smoke() ? 2 : 20);
    std::fprintf(stderr, "idle: %.1f s, %d poll ticks (%.0f expected), %d reloads\n", idle.Seconds,
                 idle.Ticks, viewers * idle.Seconds * 1000 / PollMs, idle.Reloads);
    Goal(QStringLiteral("%1 idle viewers polling 500 ms, CPU").arg(viewers), idle.CpuPerMinute,
         QStringLiteral("s/min"), 1.2, QStringLiteral("<= 1.2 s/min"));
    Goal(QStringLiteral("%1 idle viewers polling 500 ms, CPU share").arg(viewers),
         idle.CpuPerMinute / 60 * 100, QStringLiteral("% core"), 2, QStringLiteral("<= 2 %"));
    if (idle.Ticks > 0)
        Info(QStringLiteral("idle poll, CPU per tick"),
             idle.CpuPerMinute / 60 * idle.Seconds / idle.Ticks * 1e6, QStringLiteral("us"));
}

void StormFigures()
{
    const QString ms = QStringLiteral("ms");
    const QString lines = QStringLiteral("lines");
    const bool smoke = bench::Smoke();
    const int pollSeconds = smoke ? 2 : 30;
    const int notifySeconds = smoke ? 2 : 10;
    const Storm poll = AppendStorm(true, pollSeconds);
    Goal(QStringLiteral("append storm 10k lines/s %1 s, polling, worst stall").arg(pollSeconds),
         poll.WorstStallMs, ms, 100, QStringLiteral("<= 100 ms"));
    NoneGoal(QStringLiteral("append storm, polling, lines behind 1 s after"),
             double(poll.BehindAtEnd), lines);
    const Storm notify = AppendStorm(false, notifySeconds);
    Goal(QStringLiteral("append storm 10k lines/s %1 s, inotify, worst stall").arg(notifySeconds),
         notify.WorstStallMs, ms, 100, QStringLiteral("<= 100 ms"));
    NoneGoal(QStringLiteral("append storm, inotify, lines behind 1 s after"),
             double(notify.BehindAtEnd), lines);
}

} // namespace

int main(int argc, char **argv)
{
    bench::InitSmoke(argc, argv);
    QApplication app(argc, argv);
    CountingSink sink;
    SetMessageSink(&sink);
    // Optional arguments pick parts: latency, idle, storm (default all).
    QStringList args = app.arguments().mid(1);
    args.removeAll(QStringLiteral("--smoke"));
    const auto part = [&](const char *name) {
        return args.isEmpty() || args.contains(QLatin1String(name));
    };

    if (part("latency"))
        LatencyFigures();
    if (part("idle"))
        IdleFigures();
    if (part("storm"))
        StormFigures();
    if (sink.Count > 0)
        std::fprintf(stderr, "%d messages shown\n", sink.Count);
    SetMessageSink(nullptr);
    return bench::ExitCode();
}
