#include "viewer/searchrun.h"

#include <QCoreApplication>
#include <QObject>

#include <atomic>
#include <chrono>
#include <exception>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto kInterval = std::chrono::milliseconds(SearchRun::kReportIntervalMs);
} // namespace

struct SearchRun::State
{
    std::stop_source stop;
    std::atomic<qint64> current{0};
    std::atomic<qint64> maximal{0};
    std::atomic<bool> posted{false};
};

SearchRun::~SearchRun()
{
    Cancel();
}

void SearchRun::Cancel()
{
    if (m_state)
        m_state->stop.request_stop();
}

bool SearchRun::Run(const Job &job, const Progress &progress, bool onWorker,
                    QEventLoop::ProcessEventsFlags flags)
{
    // One search at a time: the loop below must not start another.
    if (m_state)
        return false;
    m_state = std::make_shared<State>();
    struct Clear
    {
        std::shared_ptr<State> &state;
        ~Clear() { state.reset(); }
    } clear{m_state};
    return onWorker ? RunOnWorker(job, progress, flags) : RunHere(job, progress, flags);
}

bool SearchRun::RunOnWorker(const Job &job, const Progress &progress,
                            QEventLoop::ProcessEventsFlags flags)
{
    const std::shared_ptr<State> state = m_state;
    // Receives the queued calls on this thread; destroyed only after the
    // worker has been joined, and its pending calls with it.
    QObject context;
    QEventLoop loop;
    std::atomic<bool> done{false};
    bool result = false;
    std::exception_ptr error;

    const auto deliver = [state, &progress] {
        state->posted = false;
        bool go = true;
        if (progress)
            progress(state->current, state->maximal, go);
        if (!go)
            state->stop.request_stop();
    };
    const Report report = [state, &context, &deliver,
                           last = Clock::time_point()](qint64 current, qint64 maximal) mutable {
        state->current = current;
        state->maximal = maximal;
        const auto now = Clock::now();
        if (now - last >= kInterval && !state->posted.exchange(true)) {
            last = now;
            QMetaObject::invokeMethod(&context, deliver, Qt::QueuedConnection);
        }
        return !state->stop.stop_requested();
    };

    std::thread worker([&] {
        try {
            result = job(report, state->stop.get_token());
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
        QMetaObject::invokeMethod(
            &context, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    if (!done)
        loop.exec(flags);
    // Only the application's exit ends the loop before the worker is done.
    if (!done)
        state->stop.request_stop();
    worker.join();
    if (error)
        std::rethrow_exception(error);
    return result;
}

bool SearchRun::RunHere(const Job &job, const Progress &progress,
                        QEventLoop::ProcessEventsFlags flags)
{
    const std::shared_ptr<State> state = m_state;
    const Report report = [state, &progress, flags,
                           last = Clock::time_point()](qint64 current, qint64 maximal) mutable {
        const auto now = Clock::now();
        if (now - last >= kInterval) {
            last = now;
            bool go = true;
            if (progress)
                progress(current, maximal, go);
            QCoreApplication::processEvents(flags);
            if (!go)
                state->stop.request_stop();
        }
        return !state->stop.stop_requested();
    };
    return job(report, state->stop.get_token());
}
