#include "watch/oldtimer.h"

#include "eventwaiter.h"
#include "common/recordingsink.h"

#include "text/contract.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <thread>

namespace {

// Runs the event loop until a plain timer of the given length fired.
void RunEventsFor(int milliseconds)
{
    EventWaiter elapsed;
    QTimer::singleShot(milliseconds, [&elapsed] { elapsed.Fire(); });
    ASSERT_TRUE(elapsed.WaitFor(1));
}

} // namespace

TEST(OldTimer, EnabledFromWorkerTicksOnOwnerThread)
{
    TOldTimer timer;
    timer.SetEnabled(false);
    timer.SetInterval(10);
    EventWaiter ticks;
    QThread *tickThread = nullptr;
    timer.SetOnTimer([&] {
        tickThread = QThread::currentThread();
        timer.SetEnabled(false);
        ticks.Fire();
    });

    std::thread worker([&timer] { timer.SetEnabled(true); });
    worker.join();

    ASSERT_TRUE(ticks.WaitFor(1));
    EXPECT_EQ(tickThread, QCoreApplication::instance()->thread());
    EXPECT_FALSE(timer.Enabled());
}

TEST(OldTimer, ZeroIntervalStopsItAndANewIntervalRestartsIt)
{
    TOldTimer timer;
    EventWaiter ticks;
    timer.SetInterval(0);
    timer.SetOnTimer([&] {
        timer.SetEnabled(false);
        ticks.Fire();
    });
    ASSERT_TRUE(timer.Enabled());

    RunEventsFor(50);
    EXPECT_EQ(ticks.Count(), 0);

    timer.SetInterval(10);
    EXPECT_TRUE(ticks.WaitFor(1));
}

TEST(OldTimer, ExceptionFromOnTimerIsShownAndStaysInside)
{
    const struct
    {
        const char *name;
        std::function<void()> raise;
        QString text;
    } cases[] = {
        {"runtime error", [] { throw std::runtime_error("tick failed"); },
         QStringLiteral("tick failed")},
        {"contract",
         [] { Require(false, QStringLiteral("Bad state: Tick"), QStringLiteral("Unit")); },
         QStringLiteral("Bad state: Tick (Unit)")},
        {"not a std::exception", [] { throw 42; }, QStringLiteral("Unknown exception")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        TOldTimer timer;
        timer.SetInterval(10);
        EventWaiter ticks;
        timer.SetOnTimer([&] {
            timer.SetEnabled(false);
            ticks.Fire();
            c.raise();
        });

        ASSERT_TRUE(ticks.WaitFor(1));
        ASSERT_EQ(sink.Messages().size(), 1u);
        EXPECT_EQ(sink.Messages()[0].Caption, QStringLiteral("Ravelin Pro"));
        EXPECT_EQ(sink.Messages()[0].Text, c.text);
        EXPECT_EQ(sink.Messages()[0].Icon, MsgIcon::Error);
    }
}

TEST(OldTimer, EnableQueuedFromWorkerDiesWithTheTimer)
{
    auto timer = std::make_unique<TOldTimer>();
    timer->SetEnabled(false);
    timer->SetInterval(10);
    int ticks = 0;
    timer->SetOnTimer([&ticks] { ++ticks; });

    std::thread worker([&timer] { timer->SetEnabled(true); });
    worker.join();
    timer.reset(); // the restart is still queued

    QCoreApplication::sendPostedEvents();
    RunEventsFor(30);
    EXPECT_EQ(ticks, 0);
}
