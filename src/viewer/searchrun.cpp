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
    cancel();
}

void SearchRun::cancel()
{
    if (m_state)
        m_state->stop.request_stop();
}

bool SearchRun::run(const Job &job, const Progress &progress, bool onWorker,
                    QEventLoop::ProcessEventsFlags flags)
{
    // One search at a time: the loop below must not start another.
    if (m_state)
        return false;
    m_stopped = false;
    m_state = std::make_shared<State>();
    struct Clear
    {
        SearchRun &run;
        ~Clear()
        {
            run.m_stopped = run.m_state->stop.stop_requested();
            run.m_state.reset();
        }
    } clear{*this};
    return onWorker ? runOnWorker(job, progress, flags) : runHere(job, progress, flags);
}

bool SearchRun::runOnWorker(const Job &job, const Progress &progress,
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
    std::exception_ptr handlerError;
    bool handled = false;
    bool reenter = false;

    const auto deliver = [state, &progress, &done, &handlerError, &handled, &reenter, &loop] {
        state->posted = false;
        if (done)
            return;
        bool go = true;
        // Nothing may unwind through the event loop: the caller gets it once
        // the worker has stopped.
        try {
            if (progress)
                progress(state->current, state->maximal, go);
        } catch (...) {
            if (!handlerError)
                handlerError = std::current_exception();
            go = false;
        }
        if (!go)
            state->stop.request_stop();
        if (!handled) {
            handled = true;
            reenter = true; // now with the caller's flags
            loop.quit();
        }
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
    QEventLoop::ProcessEventsFlags current = flags | QEventLoop::ExcludeUserInputEvents;
    while (!done) {
        reenter = false;
        loop.exec(current);
        // Otherwise the job is done, or the application is leaving.
        if (!reenter)
            break;
        current = flags;
    }
    if (!done)
        state->stop.request_stop();
    worker.join();
    if (handlerError)
        std::rethrow_exception(handlerError);
    if (error)
        std::rethrow_exception(error);
    return result;
}

bool SearchRun::runHere(const Job &job, const Progress &progress,
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
