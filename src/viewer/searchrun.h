#pragma once

#include <QEventLoop>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <stop_token>

// Runs one search while the calling GUI thread keeps its message loop going,
// so that windows repaint, timers run and Cancel can be pressed.
//
// On a worker the job reports progress into atomics; the GUI thread gets the
// latest report through a queued call, at most one every kReportInterval and
// never more than one in flight, and none once the job has returned. Here (a
// source only this thread may read) the reports call the progress handler
// directly, as often, and process the pending messages. Either way the
// progress handler runs on the GUI thread and may clear its flag to stop;
// Cancel() stops at once.
//
// The user's input waits until the progress handler has run once: the window
// that takes it (and its Escape) may only appear then, and nothing may reach
// the windows behind it before.
class SearchRun
{
public:
    static constexpr int kReportIntervalMs = 20;

    // Worker side: tells the position; false means stop.
    using Report = std::function<bool(qint64 current, qint64 maximal)>;
    using Job = std::function<bool(const Report &report, std::stop_token stop)>;
    // GUI side.
    using Progress = std::function<void(qint64 current, qint64 maximal, bool &go)>;

    SearchRun() = default;
    ~SearchRun();
    SearchRun(const SearchRun &) = delete;
    SearchRun &operator=(const SearchRun &) = delete;

    // Returns the job's result once it has returned; rethrows what the job or
    // the progress handler threw. flags choose what the loop processes once
    // the progress handler has run.
    bool run(const Job &job, const Progress &progress, bool onWorker,
             QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);
    // From the GUI thread, also from inside Run's loop.
    void cancel();
    bool running() const { return m_state != nullptr; }
    // Whether a stop was asked for (Cancel or the progress handler) during
    // the last run.
    bool stopped() const { return m_stopped; }

private:
    struct State;
    bool runOnWorker(const Job &job, const Progress &progress,
                     QEventLoop::ProcessEventsFlags flags);
    bool runHere(const Job &job, const Progress &progress, QEventLoop::ProcessEventsFlags flags);

    std::shared_ptr<State> m_state;
    bool m_stopped = false;
};
