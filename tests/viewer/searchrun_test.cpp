#include "viewer/searchrun.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Waits on the worker until the condition holds; false after 10 s, so that
// a broken run fails instead of hanging the suite.
template <typename Condition>
bool waitFor(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(SearchRun, WorkerJobAndGuiProgressRunOnTheirThreads)
{
    QThread *const gui = QThread::currentThread();
    for (const bool onWorker : {true, false}) {
        SCOPED_TRACE(onWorker ? "worker" : "here");
        SearchRun run;
        QThread *jobThread = nullptr;
        std::vector<QThread *> progressThreads;
        std::vector<qint64> positions;
        const bool result = run.run(
            [&](const SearchRun::Report &report, std::stop_token) {
                jobThread = QThread::currentThread();
                EXPECT_TRUE(report(25, 100));
                return true;
            },
            [&](qint64 current, qint64 maximal, bool &) {
                progressThreads.push_back(QThread::currentThread());
                positions.push_back(current * 100 / maximal);
            },
            onWorker);
        EXPECT_TRUE(result);
        EXPECT_EQ(jobThread != gui, onWorker);
        // The first report always gets through; it may come after the job
        // ended only on a worker, where it is queued.
        if (!onWorker) {
            ASSERT_EQ(positions, std::vector<qint64>{25});
        }
        for (QThread *thread : progressThreads)
            EXPECT_EQ(thread, gui);
        EXPECT_FALSE(run.running());
    }
}

TEST(SearchRun, WhatTheJobThrowsReachesTheCaller)
{
    for (const bool onWorker : {true, false}) {
        SearchRun run;
        try {
            run.run(
                [](const SearchRun::Report &, std::stop_token) -> bool {
                    throw std::runtime_error("Read error at offset 65536");
                },
                {}, onWorker);
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error &error) {
            EXPECT_STREQ(error.what(), "Read error at offset 65536");
        }
        EXPECT_FALSE(run.running()) << "a failed run must not block the next";
    }
}

TEST(SearchRun, WhatTheProgressHandlerThrowsStopsTheJobAndReachesTheCaller)
{
    // On a worker the handler runs from the event loop, which must not be
    // unwound.
    for (const bool onWorker : {true, false}) {
        SCOPED_TRACE(onWorker ? "worker" : "here");
        SearchRun run;
        bool stopped = false;
        try {
            run.run(
                [&](const SearchRun::Report &report, std::stop_token stop) {
                    stopped = waitFor([&] { return !report(1, 2); }) && stop.stop_requested();
                    return true;
                },
                [](qint64, qint64, bool &) { throw std::bad_alloc(); }, onWorker);
            ADD_FAILURE() << "no exception";
        } catch (const std::bad_alloc &) {
        }
        // Here it unwinds the job itself; the worker is told to stop.
        if (onWorker) {
            EXPECT_TRUE(stopped);
        }
        EXPECT_FALSE(run.running()) << "a failed run must not block the next";
    }
}

TEST(SearchRun, StoppedTellsWhetherTheLastRunWasCutShort)
{
    SearchRun run;
    run.run([](const SearchRun::Report &, std::stop_token) { return false; }, {}, true);
    EXPECT_FALSE(run.stopped());
    QTimer::singleShot(5, [&run] { run.cancel(); });
    run.run([](const SearchRun::Report &,
               std::stop_token stop) { return !waitFor([&] { return stop.stop_requested(); }); },
            {}, true);
    EXPECT_TRUE(run.stopped());
    run.run([](const SearchRun::Report &, std::stop_token) { return true; }, {}, true);
    EXPECT_FALSE(run.stopped()) << "each run starts afresh";
}

TEST(SearchRun, MessageLoopRunsWhileTheWorkerSearches)
{
    SearchRun run;
    std::atomic<bool> timerFired{false};
    QTimer::singleShot(5, [&] { timerFired = true; });
    const bool result =
        run.run([&](const SearchRun::Report &,
                    std::stop_token) { return waitFor([&] { return timerFired.load(); }); },
                {}, true);
    EXPECT_TRUE(result) << "the timer never fired while the job waited";
}

TEST(SearchRun, ProgressReachesTheGuiAtMostEveryInterval)
{
    SearchRun run;
    int deliveries = 0;
    const auto started = std::chrono::steady_clock::now();
    run.run(
        [](const SearchRun::Report &report, std::stop_token) {
            // Far more reports than any window could show, over some 100 ms.
            const auto end = std::chrono::steady_clock::now() + 100ms;
            for (qint64 i = 0; std::chrono::steady_clock::now() < end; ++i)
                report(i, qint64(1) << 40);
            return true;
        },
        [&](qint64, qint64, bool &) { ++deliveries; }, true);
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_GE(deliveries, 1);
    EXPECT_LE(deliveries, elapsed / std::chrono::milliseconds(SearchRun::kReportIntervalMs) + 1);
}

TEST(SearchRun, ProgressHandlerStopsTheJob)
{
    for (const bool onWorker : {true, false}) {
        SCOPED_TRACE(onWorker ? "worker" : "here");
        SearchRun run;
        bool sawStop = false;
        const bool result = run.run(
            [&](const SearchRun::Report &report, std::stop_token stop) {
                // Reports until one comes back "stop".
                sawStop = waitFor([&] { return !report(1, 2); });
                EXPECT_TRUE(stop.stop_requested());
                return false;
            },
            [](qint64, qint64, bool &go) { go = false; }, onWorker);
        EXPECT_FALSE(result);
        EXPECT_TRUE(sawStop);
    }
}

TEST(SearchRun, CancelFromTheLoopStopsTheWorkerAndASecondRunIsRefused)
{
    SearchRun run;
    bool nested = true;
    QTimer::singleShot(5, [&] {
        nested = run.run([](const SearchRun::Report &, std::stop_token) { return true; }, {}, true);
        run.cancel();
    });
    bool stopped = false;
    run.run(
        [&](const SearchRun::Report &, std::stop_token stop) {
            stopped = waitFor([&] { return stop.stop_requested(); });
            return false;
        },
        {}, true);
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(nested);
}

} // namespace
