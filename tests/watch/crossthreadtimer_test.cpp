#include "watch/crossthreadtimer.h"

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
void runEventsFor(int milliseconds)
{
    EventWaiter elapsed;
    QTimer::singleShot(milliseconds, [&elapsed] { elapsed.fire(); });
    ASSERT_TRUE(elapsed.waitFor(1));
}

} // namespace

TEST(OldTimer, EnabledFromWorkerTicksOnOwnerThread)
{
    CrossThreadTimer timer;
    timer.setEnabled(false);
    timer.setInterval(10);
    EventWaiter ticks;
    QThread *tickThread = nullptr;
    timer.setOnTimer([&] {
        tickThread = QThread::currentThread();
        timer.setEnabled(false);
        ticks.fire();
    });

    std::thread worker([&timer] { timer.setEnabled(true); });
    worker.join();

    ASSERT_TRUE(ticks.waitFor(1));
    EXPECT_EQ(tickThread, QCoreApplication::instance()->thread());
    EXPECT_FALSE(timer.enabled());
}

TEST(OldTimer, ZeroIntervalStopsItAndANewIntervalRestartsIt)
{
    CrossThreadTimer timer;
    EventWaiter ticks;
    timer.setInterval(0);
    timer.setOnTimer([&] {
        timer.setEnabled(false);
        ticks.fire();
    });
    ASSERT_TRUE(timer.enabled());

    runEventsFor(50);
    EXPECT_EQ(ticks.count(), 0);

    timer.setInterval(10);
    EXPECT_TRUE(ticks.waitFor(1));
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
         [] { require(false, QStringLiteral("Bad state: Tick"), QStringLiteral("Unit")); },
         QStringLiteral("Bad state: Tick (Unit)")},
        {"not a std::exception", [] { throw 42; }, QStringLiteral("Unknown exception")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        CrossThreadTimer timer;
        timer.setInterval(10);
        EventWaiter ticks;
        timer.setOnTimer([&] {
            timer.setEnabled(false);
            ticks.fire();
            c.raise();
        });

        ASSERT_TRUE(ticks.waitFor(1));
        ASSERT_EQ(sink.messages().size(), 1u);
        EXPECT_EQ(sink.messages()[0].caption, QStringLiteral("Ravelin Pro"));
        EXPECT_EQ(sink.messages()[0].text, c.text);
        EXPECT_EQ(sink.messages()[0].icon, MsgIcon::Error);
    }
}

TEST(OldTimer, EnableQueuedFromWorkerDiesWithTheTimer)
{
    auto timer = std::make_unique<CrossThreadTimer>();
    timer->setEnabled(false);
    timer->setInterval(10);
    int ticks = 0;
    timer->setOnTimer([&ticks] { ++ticks; });

    std::thread worker([&timer] { timer->setEnabled(true); });
    worker.join();
    timer.reset(); // the restart is still queued

    QCoreApplication::sendPostedEvents();
    runEventsFor(30);
    EXPECT_EQ(ticks, 0);
}
