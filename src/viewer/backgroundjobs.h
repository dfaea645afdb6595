#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QPromise>
#include <QThreadPool>

#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <utility>
#include <vector>

// Work the windows hand to other threads. It belongs to the main window,
// which outlives every tab and dialog, so that no job depends on the one who
// started it: that one watches the job's future with a watcher of its own
// (gone with it) and asks the job to stop when it goes. A job also names
// what it serves (a tab's view), so that closing the tab stops it.
class BackgroundJobs final
{
public:
    // A started job. The future carries progress, the result or what the
    // work threw; stop asks the work to end early, which it sees between
    // steps and still reports a result for.
    template <typename T>
    struct Job
    {
        QFuture<T> future;
        std::stop_source stop;
    };
    // Runs on a pool thread. Reports through the promise; may throw.
    template <typename T>
    using Work = std::function<void(QPromise<T> &promise, std::stop_token stop)>;

    BackgroundJobs() = default;
    // Stops every job and waits for it: none outlives the window.
    ~BackgroundJobs();
    BackgroundJobs(const BackgroundJobs &) = delete;
    BackgroundJobs &operator=(const BackgroundJobs &) = delete;

    // Starts work for client (null: for nobody in particular).
    template <typename T>
    Job<T> start(const void *client, Work<T> work);

    // Starts work for client, watched by a watcher made afresh into watcher:
    // each progress report calls onProgress, the end calls onFinished, on
    // context's thread. The job's stop source.
    template <typename T, typename OnProgress, typename OnFinished>
    std::stop_source
    startWatched(const void *client, Work<T> work, std::unique_ptr<QFutureWatcher<T>> &watcher,
                 const QObject *context, OnProgress onProgress, OnFinished onFinished);

    // Asks every job that serves client to stop.
    void stop(const void *client);
    // Whether no job is running.
    bool idle();
    // Blocks until every job has ended; for the end of the run and tests.
    void waitForDone();

private:
    struct Entry
    {
        const void *client;
        QFuture<void> future;
        std::stop_source stop;
    };
    void add(const void *client, const QFuture<void> &future, const std::stop_source &stop);
    void prune();

    std::vector<Entry> m_jobs;
    QThreadPool m_pool;
};

// The newest value a job hands over while it runs, taken on the GUI thread
// by whoever watches the job. Shared between the two, as the job may
// outlive its watcher.
template <typename T>
class Handover
{
public:
    void put(T value)
    {
        const std::lock_guard lock(m_mutex);
        m_latest = std::move(value);
    }
    // The value put since the last take, if any.
    std::optional<T> take()
    {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_latest, std::nullopt);
    }

private:
    std::mutex m_mutex;
    std::optional<T> m_latest;
};

template <typename T>
BackgroundJobs::Job<T> BackgroundJobs::start(const void *client, Work<T> work)
{
    // Shared: the pool copies what it runs, a promise cannot be copied.
    auto promise = std::make_shared<QPromise<T>>();
    Job<T> job{promise->future(), {}};
    promise->start();
    add(client, QFuture<void>(job.future), job.stop);
    m_pool.start([promise, work = std::move(work), stop = job.stop.get_token()] {
        // Nothing may leave the thread: what the work throws reaches the
        // watcher through the future.
        try {
            work(*promise, stop);
        } catch (...) {
            promise->setException(std::current_exception());
        }
        promise->finish();
    });
    return job;
}

template <typename T, typename OnProgress, typename OnFinished>
std::stop_source BackgroundJobs::startWatched(const void *client, Work<T> work,
                                              std::unique_ptr<QFutureWatcher<T>> &watcher,
                                              const QObject *context, OnProgress onProgress,
                                              OnFinished onFinished)
{
    watcher = std::make_unique<QFutureWatcher<T>>();
    QObject::connect(watcher.get(), &QFutureWatcherBase::progressValueChanged, context,
                     std::move(onProgress));
    QObject::connect(watcher.get(), &QFutureWatcherBase::finished, context, std::move(onFinished));
    Job<T> job = start<T>(client, std::move(work));
    watcher->setFuture(job.future);
    return job.stop;
}
