// Following a growing log: how soon an appended line is drawn (polling and
// inotify, with tail -F beside them), what 300 idle viewers cost (polling and inotify), and
// whether a storm of appends stalls the event loop or leaves the view behind.
#include "benchcommon.h"
#include "benchview.h"

#include "text/messages.h"
#include "viewer/logview.h"
#include "watch/filefollower.h"
#include "watch/pollingwatcher.h"
#include "watch/spool.h"
#include "watch/uniquefd.h"

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
#include <spawn.h>
#include <sys/wait.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>
#include <vector>

extern char **environ;

namespace {

constexpr int pollMs = 500;
// Markers per latency figure: a smoke run only proves the path works.
int sampleCount()
{
    return bench::smoke() ? 3 : 100; // enough for a p99
}
constexpr int sampleTimeoutMs = 3000;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Messages would block or vanish; the bench wants them counted and visible.
class CountingSink final : public MessageSink
{
public:
    MsgResult show(const QString &caption, const QString &text, MsgIcon, MsgButtons) override
    {
        ++count;
        std::fprintf(stderr, "message: %s: %s\n", qPrintable(caption), qPrintable(text));
        return MsgResult::Cancel;
    }
    int count = 0;
};

// Write and first-drawn times of each marker; 0 while not yet.
class MarkerTimes final
{
public:
    explicit MarkerTimes(int count) : m_write(size_t(count)), m_seen(size_t(count)) {}

    int count() const { return int(m_write.size()); }
    void wrote(int id, qint64 ns) { m_write[size_t(id)] = ns; }
    bool seen(int id) const { return m_seen[size_t(id)].load() != 0; }

    // Every "MARKnnnnn" in text counts as drawn now, unless drawn before.
    void see(QStringView text)
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
            if (digits != 5 || id >= count())
                continue;
            qint64 expected = 0;
            m_seen[size_t(id)].compare_exchange_strong(expected, nowNs());
        }
    }

    // Milliseconds from write to first drawing, of the markers seen.
    std::vector<double> latenciesMs(int *missed) const
    {
        std::vector<double> ms;
        *missed = 0;
        for (int i = 0; i < count(); ++i) {
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
QByteArray format(const char *format, Args... args)
{
    char buffer[256];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    return QByteArray(buffer, std::clamp(n, 0, int(sizeof buffer) - 1));
}

void appendText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Append);
    f.write(text);
}

QByteArray logLines(int count, const char *tag)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += format("2024-05-01 12:%02d:%02d.%03d INFO  [%s] request %d served\n",
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

    void start()
    {
        m_thread = std::thread([this] { run(); });
    }
    bool done() const { return m_done.load(); }

private:
    void waitSeen(int id) const
    {
        const qint64 deadline = nowNs() + qint64(sampleTimeoutMs) * 1000000;
        while (!m_times.seen(id) && nowNs() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(500));
    }

    void run()
    {
        const int fd = ::open(m_path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        std::mt19937 rng(m_seed);
        std::uniform_int_distribution<int> phaseUs(0, pollMs * 1000 - 1);
        for (int id = 0; id < m_times.count(); ++id) {
            if (id > 0)
                waitSeen(id - 1);
            std::this_thread::sleep_for(std::chrono::microseconds(phaseUs(rng)));
            const QByteArray line =
                format("2024-05-01 13:00:00.000 WARN  [writer] MARK%05d job finished\n", id);
            const qint64 now = nowNs();
            m_times.wrote(id, now);
            if (m_also)
                m_also->wrote(id, now);
            [[maybe_unused]] const ssize_t n = ::write(fd, line.constData(), size_t(line.size()));
        }
        waitSeen(m_times.count() - 1);
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
void runUntil(const std::function<bool()> &done, int timeoutMs)
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
void runFor(int ms)
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
            const qint64 now = nowNs();
            const double late = double(now - m_last) / 1e6 - 10.0;
            m_worst = std::max(m_worst, late);
            if (late > 50)
                ++m_over50;
            m_last = now;
        });
    }
    void start()
    {
        m_worst = 0;
        m_over50 = 0;
        m_last = nowNs();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    double worstMs() const { return m_worst; }
    int over50() const { return m_over50; }

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
    PaintWatch(LogView &view, MarkerTimes &times) : m_view(view), m_times(times)
    {
        view.viewport()->installEventFilter(this);
    }
    ~PaintWatch() override { m_view.viewport()->removeEventFilter(this); }
    PaintWatch(const PaintWatch &) = delete;
    PaintWatch &operator=(const PaintWatch &) = delete;

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            const DrawnLines &lines = m_view.strPositions();
            for (int i = 0; i < lines.count(); ++i)
                m_times.see(lines.at(i).str);
        }
        return false;
    }
    int paints = 0;

private:
    LogView &m_view;
    MarkerTimes &m_times;
};

std::unique_ptr<LogView> makeFollowingView(const QString &path, bool simple)
{
    auto view = bench::makeBenchView();
    view->setPollForChanges(simple);
    view->setPollInterval(pollMs);
    view->setFollowTail(true);
    view->setAutoReload(true);
    view->open(path);
    view->scrollToEnd();
    runFor(200); // let show and resize settle
    if (!view->viewAtEnd())
        std::fprintf(stderr, "warning: view not at the end after ScrollToEnd\n");
    return view;
}

struct Latency
{
    std::vector<double> ms; // sorted
    int missed = 0;
    double worstStallMs = 0;
    int reloads = 0;

    double median() const { return ms.empty() ? 0 : ms[ms.size() / 2]; }
    double max() const { return ms.empty() ? 0 : ms.back(); }
    double P90() const { return ms.empty() ? 0 : ms[ms.size() * 9 / 10]; }
    double P99() const { return ms.empty() ? 0 : ms[ms.size() * 99 / 100]; }
};

void print(const char *what, const Latency &l)
{
    std::fprintf(stderr,
                 "%s: n=%zu missed=%d min=%.1f median=%.1f p90=%.1f max=%.1f ms, reloads=%d, "
                 "worst stall %.1f ms\n",
                 what, l.ms.size(), l.missed, l.ms.empty() ? 0 : l.ms.front(), l.median(), l.P90(),
                 l.max(), l.reloads, l.worstStallMs);
}

QString freshLog(const QTemporaryDir &dir, const char *name, int lines)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(logLines(lines, "boot"));
    return path;
}

struct ViewerLatencies
{
    Latency painted; // on screen
    Latency drawn;   // into the bitmap
};

ViewerLatencies viewerLatency(bool simple, unsigned seed)
{
    QTemporaryDir dir(bench::dataDir() + QStringLiteral("/watch-XXXXXX"));
    const QString path = freshLog(dir, "follow.log", 300);
    auto view = makeFollowingView(path, simple);
    const int samples = sampleCount();
    MarkerTimes painted(samples);
    MarkerTimes drawn(samples);
    ViewerLatencies result;
    PaintWatch paints(*view, painted);
    view->onDrawLine2 = [&](LogView *, QPainter &, const QString &text, const QPoint &,
                            const OutputOptions &) { drawn.see(text); };
    QObject::connect(view.get(), &LogView::fileReloaded, [&] { ++result.painted.reloads; });
    StallMeter stall;
    stall.start();
    MarkerWriter writer(path, painted, seed, &drawn);
    writer.start();
    runUntil([&] { return writer.done(); }, samples * (pollMs + sampleTimeoutMs) + 5000);
    stall.stop();
    if (paints.paints == 0)
        std::fprintf(stderr, "warning: no paint events: on-screen times are missing\n");
    result.painted.ms = painted.latenciesMs(&result.painted.missed);
    result.painted.worstStallMs = stall.worstMs();
    result.drawn.ms = drawn.latenciesMs(&result.drawn.missed);
    result.drawn.reloads = result.painted.reloads;
    result.drawn.worstStallMs = stall.worstMs();
    return result;
}

Latency tailLatency(unsigned seed, bool *ok)
{
    QTemporaryDir dir(bench::dataDir() + QStringLiteral("/watch-XXXXXX"));
    const QString path = freshLog(dir, "follow.log", 300);
    const int samples = sampleCount();
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
            times.see(line);
        }
    });
    tail.start(QStringLiteral("tail"),
               {QStringLiteral("-n"), QStringLiteral("0"), QStringLiteral("-F"), path});
    *ok = tail.waitForStarted(5000);
    if (!*ok)
        return result;
    // tail may not watch yet: repeat a warm-up line until one comes through.
    for (int i = 0; i < 50 && !warm; ++i) {
        appendText(path, "WARMUP\n");
        runUntil([&] { return warm; }, 100);
    }
    *ok = warm;
    if (warm) {
        MarkerWriter writer(path, times, seed);
        writer.start();
        runUntil([&] { return writer.done(); }, samples * (pollMs + sampleTimeoutMs) + 5000);
    }
    tail.kill();
    tail.waitForFinished(3000);
    result.ms = times.latenciesMs(&result.missed);
    return result;
}

double cpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct WatchCost
{
    double cpuPerMinute = 0;
    int ticks = 0;
    int reloads = 0;
    double seconds = 0;
};

WatchCost idleWatchCost(int viewers, int seconds, bool simple)
{
    QTemporaryDir dir(bench::dataDir() + QStringLiteral("/watch-XXXXXX"));
    const QByteArray text = logLines(25, "idle");
    std::vector<std::unique_ptr<LogView>> views;
    WatchCost cost;
    for (int i = 0; i < viewers; ++i) {
        const QString path = dir.filePath(QStringLiteral("idle-%1.log").arg(i));
        appendText(path, text);
        auto view = std::make_unique<LogView>();
        view->setPollForChanges(simple);
        view->setPollInterval(pollMs);
        view->setFollowTail(true);
        view->setAutoReload(true);
        view->open(path);
        view->scrollToEnd();
        QObject::connect(view.get(), &LogView::fileReloaded, [&] { ++cost.reloads; });
        QObject::connect(view->follower().pollingWatcher()->timer(), &QTimer::timeout, view.get(),
                         [&] { ++cost.ticks; });
        views.push_back(std::move(view));
    }
    runFor(1000);
    cost.ticks = 0;
    const double cpu0 = cpuSeconds();
    const qint64 t0 = nowNs();
    runFor(seconds * 1000);
    const double cpu = cpuSeconds() - cpu0;
    cost.seconds = double(nowNs() - t0) / 1e9;
    cost.cpuPerMinute = cpu / cost.seconds * 60.0;
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

    void start()
    {
        m_thread = std::thread([this] { run(); });
    }
    bool done() const { return m_done.load(); }
    qint64 written() const { return m_written.load(); }
    qint64 total() const { return m_total; }

private:
    void run()
    {
        const int fd = ::open(m_path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        const qint64 t0 = nowNs();
        qint64 written = 0;
        QByteArray buffer;
        while (written < m_total) {
            const qint64 due = std::min(m_total, (nowNs() - t0) * m_rate / 1000000000);
            buffer.clear();
            for (qint64 i = written; i < due; ++i)
                buffer += format(
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
qint64 lastDrawnStorm(const LogView &view)
{
    qint64 last = -1;
    const DrawnLines &lines = view.strPositions();
    for (int i = 0; i < lines.count(); ++i) {
        const QString &s = lines.at(i).str;
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
    double worstStallMs = 0;
    int stallsOver50 = 0;
    qint64 behindAtEnd = 0;
    qint64 behindLater = 0;
    int reloads = 0;
    qint64 maxLag = 0;
    qint64 medianLag = 0;
    int busiest100Ms = 0; // most reloads within any 100 ms
};

Storm appendStorm(bool simple, int seconds)
{
    constexpr int rate = 10000;
    QTemporaryDir dir(bench::dataDir() + QStringLiteral("/watch-XXXXXX"));
    const QString path = freshLog(dir, "storm.log", 300);
    auto view = makeFollowingView(path, simple);
    StormWriter writer(path, rate, seconds);
    Storm storm;
    std::vector<qint64> lags;
    std::vector<qint64> reloadTimes;
    QObject::connect(view.get(), &LogView::fileReloaded, [&] {
        reloadTimes.push_back(nowNs());
        ++storm.reloads;
        lags.push_back(writer.written() - (lastDrawnStorm(*view) + 1));
    });
    StallMeter stall;
    stall.start();
    writer.start();
    runUntil([&] { return writer.done(); }, seconds * 1000 + 10000);
    stall.stop();
    storm.worstStallMs = stall.worstMs();
    storm.stallsOver50 = stall.over50();
    // One poll period and the reload after it to catch up.
    runFor(pollMs + 500);
    storm.behindAtEnd = writer.total() - 1 - lastDrawnStorm(*view);
    if (storm.behindAtEnd > 0) {
        runFor(3000);
        storm.behindLater = writer.total() - 1 - lastDrawnStorm(*view);
    }
    for (size_t first = 0, last = 0; last < reloadTimes.size(); ++last) {
        while (reloadTimes[last] - reloadTimes[first] >= 100'000'000)
            ++first;
        storm.busiest100Ms = std::max(storm.busiest100Ms, int(last - first + 1));
    }
    std::sort(lags.begin(), lags.end());
    if (!lags.empty()) {
        storm.maxLag = lags.back();
        storm.medianLag = lags[lags.size() / 2];
    }
    std::fprintf(stderr,
                 "storm %s %d s: reloads=%d, lag at reload median=%lld max=%lld lines, worst stall "
                 "%.1f ms, stalls over 50 ms: %d, behind at end %lld, 3 s later %lld, at end %d\n",
                 simple ? "polling" : "inotify", seconds, storm.reloads,
                 static_cast<long long>(storm.medianLag), static_cast<long long>(storm.maxLag),
                 storm.worstStallMs, storm.stallsOver50, static_cast<long long>(storm.behindAtEnd),
                 static_cast<long long>(storm.behindLater), int(view->viewAtEnd()));
    return storm;
}

// What following a file by the folder watch costs the GUI thread when a tab opens.
double inotifyRearmMs()
{
    QTemporaryDir dir(bench::dataDir() + QStringLiteral("/watch-XXXXXX"));
    const QString path = freshLog(dir, "rearm.log", 10);
    LogView view;
    view.setPollForChanges(false);
    view.setAutoReload(true);
    view.open(path);
    return bench::medianSeconds(11,
                                [&] {
                                    view.setAutoReload(false);
                                    view.setAutoReload(true);
                                }) *
           1e3;
}

// A row without a goal of its own: it explains the rows that have one.
void info(const QString &figure, double ours, const QString &unit, double peer = 0,
          const QString &peerName = QString())
{
    bench::report({figure, ours, unit, peer, peerName, 0, false, QStringLiteral("(info)")});
}

// Lower is better; counts are whole, so a goal of 0 is given as 0.5.
void goal(const QString &figure, double ours, const QString &unit, double goal,
          const QString &goalText, double peer = 0, const QString &peerName = QString())
{
    bench::report({figure, ours, unit, peer, peerName, goal, false, goalText});
}

// A count whose goal is none at all: 0 is a measured answer here.
void noneGoal(const QString &figure, double ours, const QString &unit)
{
    bench::report({figure, ours, unit, 0, QString(), 0.5, false, QStringLiteral("= 0"), true});
}

void latencyFigures()
{
    const ViewerLatencies pollView = viewerLatency(true, 1);
    const Latency &poll = pollView.painted;
    print("viewer, polling 500 ms, on screen", poll);
    print("viewer, polling 500 ms, into bitmap", pollView.drawn);
    const ViewerLatencies notifyView = viewerLatency(false, 2);
    const Latency &notify = notifyView.painted;
    print("viewer, inotify, on screen", notify);
    print("viewer, inotify, into bitmap", notifyView.drawn);
    bool tailOk = false;
    const Latency tail = tailLatency(3, &tailOk);
    print("tail -F", tail);
    if (!tailOk)
        std::fprintf(stderr, "tail -F did not start or never echoed a line\n");

    const QString ms = QStringLiteral("ms");
    const QString tailName = QStringLiteral("tail -F");
    info(QStringLiteral("tail latency, polling 500 ms, median"), poll.median(), ms, tail.median(),
         tailName);
    goal(QStringLiteral("tail latency, polling 500 ms, max"), poll.max(), ms, pollMs + 50,
         QStringLiteral("<= 550 ms"), tail.max(), tailName);
    goal(QStringLiteral("tail latency, inotify, median"), notify.median(), ms, 20,
         QStringLiteral("<= 20 ms"), tail.median(), tailName);
    goal(QStringLiteral("tail latency, inotify, p99"), notify.P99(), ms, 50,
         QStringLiteral("<= 50 ms"), tail.P99(), tailName);
    info(QStringLiteral("tail latency, inotify, on screen vs into bitmap, max"), notify.max(), ms,
         notifyView.drawn.max(), QStringLiteral("bitmap"));
    if (poll.missed + notify.missed + tail.missed > 0)
        bench::report({QStringLiteral("tail latency, markers never shown (polling + inotify)"),
                       double(poll.missed + notify.missed), QStringLiteral("lines"),
                       double(tail.missed), tailName, 0.5, false, QStringLiteral("= 0"), true});
    info(QStringLiteral("worst event-loop stall while following, inotify"), notify.worstStallMs, ms,
         poll.worstStallMs, QStringLiteral("polling"));
    info(QStringLiteral("inotify subscription (opening a tab), GUI thread"), inotifyRearmMs(), ms);
}

void idleFigures()
{
    const int viewers = bench::smoke() ? 20 : 300;
    const WatchCost idle = idleWatchCost(viewers, bench::smoke() ? 2 : 20, true);
    std::fprintf(stderr, "idle: %.1f s, %d poll ticks (%.0f expected), %d reloads\n", idle.seconds,
                 idle.ticks, viewers * idle.seconds * 1000 / pollMs, idle.reloads);
    goal(QStringLiteral("%1 idle viewers polling 500 ms, CPU").arg(viewers), idle.cpuPerMinute,
         QStringLiteral("s/min"), 1.2, QStringLiteral("<= 1.2 s/min"));
    goal(QStringLiteral("%1 idle viewers polling 500 ms, CPU share").arg(viewers),
         idle.cpuPerMinute / 60 * 100, QStringLiteral("% core"), 2, QStringLiteral("<= 2 %"));
    if (idle.ticks > 0)
        info(QStringLiteral("idle poll, CPU per tick"),
             idle.cpuPerMinute / 60 * idle.seconds / idle.ticks * 1e6, QStringLiteral("us"));
    // As the application follows: the folder watch, nothing woken while nothing changes.
    const WatchCost quiet = idleWatchCost(viewers, bench::smoke() ? 2 : 20, false);
    std::fprintf(stderr, "idle inotify: %.1f s, %d reloads\n", quiet.seconds, quiet.reloads);
    goal(QStringLiteral("%1 idle viewers, inotify, CPU share").arg(viewers),
         quiet.cpuPerMinute / 60 * 100, QStringLiteral("% core"), 0.5, QStringLiteral("<= 0.5 %"),
         idle.cpuPerMinute / 60 * 100, QStringLiteral("polling"));
}

// A command writing as fast as it can (cat of a cached log) into a spooled,
// followed tab: the event loop must stay free while the spool keeps up.
void fullSpeedFigures()
{
    const bool smoke = bench::smoke();
    const QString log = smoke ? bench::ensureLog(QStringLiteral("smoke-app-16m.log"), 16LL << 20)
                              : bench::ensureLog(QStringLiteral("app-1g.log"), 1LL << 30);
    const qint64 size = QFile(log).size();
    QTemporaryDir dir(bench::dataDir() + QStringLiteral("/watch-XXXXXX"));
    int fds[2];
    if (size <= 0 || ::pipe2(fds, O_CLOEXEC) != 0) {
        bench::fail(QStringLiteral("no log or no pipe for the full-speed stream"));
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    const QByteArray file = QFile::encodeName(log);
    char cat[] = "cat";
    char *argv[] = {cat, const_cast<char *>(file.constData()), nullptr};
    pid_t pid = 0;
    auto spool = std::make_unique<Spool>(UniqueFd(fds[0]), dir.path());
    auto view = makeFollowingView(spool->path(), false);
    StallMeter stall;
    stall.start();
    const qint64 t0 = nowNs();
    const int spawned = ::posix_spawnp(&pid, "cat", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        bench::fail(QStringLiteral("cat did not start"));
        return;
    }
    runUntil([&] { return !spool->running(); }, 120000);
    const double spooledMs = double(nowNs() - t0) / 1e6;
    runUntil([&] { return view->document().fileSize() == size && view->viewAtEnd(); }, 10000);
    const double shownMs = double(nowNs() - t0) / 1e6;
    stall.stop();
    ::waitpid(pid, nullptr, 0);
    const bool whole = spool->written() == size && view->document().fileSize() == size;
    std::fprintf(stderr,
                 "full speed: %lld bytes spooled in %.1f ms (%.2f GB/s), shown at %.1f ms, worst "
                 "stall %.1f ms, stalls over 50 ms: %d, whole %d\n",
                 static_cast<long long>(spool->written()), spooledMs,
                 double(size) / 1e6 / spooledMs, shownMs, stall.worstMs(), stall.over50(),
                 int(whole));
    if (!whole)
        bench::fail(QStringLiteral("the full-speed stream was not shown whole"));
    const QString name = smoke ? QStringLiteral("16 MiB") : QStringLiteral("1 GiB");
    goal(QStringLiteral("command output at full speed (cat of %1), worst event-loop stall")
             .arg(name),
         stall.worstMs(), QStringLiteral("ms"), 100, QStringLiteral("<= 100 ms"));
    info(QStringLiteral("command output at full speed (cat of %1), end on screen").arg(name),
         shownMs, QStringLiteral("ms"), spooledMs, QStringLiteral("spooled"));
}

void stormFigures()
{
    const QString ms = QStringLiteral("ms");
    const QString lines = QStringLiteral("lines");
    const bool smoke = bench::smoke();
    const int pollSeconds = smoke ? 2 : 30;
    const int notifySeconds = smoke ? 2 : 10;
    const Storm poll = appendStorm(true, pollSeconds);
    goal(QStringLiteral("append storm 10k lines/s %1 s, polling, worst stall").arg(pollSeconds),
         poll.worstStallMs, ms, 100, QStringLiteral("<= 100 ms"));
    noneGoal(QStringLiteral("append storm, polling, lines behind 1 s after"),
             double(poll.behindAtEnd), lines);
    const Storm notify = appendStorm(false, notifySeconds);
    goal(QStringLiteral("append storm 10k lines/s %1 s, inotify, worst stall").arg(notifySeconds),
         notify.worstStallMs, ms, 100, QStringLiteral("<= 100 ms"));
    noneGoal(QStringLiteral("append storm, inotify, lines behind 1 s after"),
             double(notify.behindAtEnd), lines);
    // Coalesced to a frame: 1000 writes a second give one reload each 16 ms.
    info(QStringLiteral("append storm, inotify, reloads a second"),
         double(notify.reloads) / notifySeconds, QStringLiteral("/s"));
    // One a 16 ms frame: at most 7 in any 100 ms (at 0, 16, ..., 96).
    goal(QStringLiteral("append storm, inotify, most reloads in any 100 ms"), notify.busiest100Ms,
         QStringLiteral("reloads"), 7, QStringLiteral("<= 7 (one a frame)"));
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    QApplication app(argc, argv);
    CountingSink sink;
    setMessageSink(&sink);
    // Optional arguments pick parts: latency, idle, storm (default all).
    QStringList args = app.arguments().mid(1);
    args.removeAll(QStringLiteral("--smoke"));
    const auto part = [&](const char *name) {
        return args.isEmpty() || args.contains(QLatin1String(name));
    };

    if (part("latency"))
        latencyFigures();
    if (part("idle"))
        idleFigures();
    if (part("storm"))
        stormFigures();
    if (part("stream"))
        fullSpeedFigures();
    if (sink.count > 0)
        std::fprintf(stderr, "%d messages shown\n", sink.count);
    setMessageSink(nullptr);
    return bench::exitCode();
}
