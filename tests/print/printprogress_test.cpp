#include "print/printprogress.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProgressDialog>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <exception>
#include <functional>
#include <stdexcept>

namespace {

// As the application's loop runs it: without the pause QTest::qWaitFor takes
// between its turns, which a run of a page per turn would spend minutes in.
bool runEventsUntil(const std::function<bool()> &done, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

TEST(PrintProgress, ComesUpPastTwoThousandPagesAndCancelStopsTheRun)
{
    PrintProgress progress;
    for (int pages : {0, 1, 1999, 2000}) {
        EXPECT_TRUE(progress.step(pages, 0.1));
        EXPECT_FALSE(progress.shown()) << pages;
    }
    EXPECT_TRUE(progress.step(2001, 0.25));
    ASSERT_TRUE(progress.shown());
    EXPECT_TRUE(progress.dialog()->isVisible());
    EXPECT_EQ(progress.dialog()->value(), 250);
    EXPECT_EQ(progress.dialog()->labelText(), QStringLiteral("Printing page 2002..."));
    progress.dialog()->cancel();
    EXPECT_FALSE(progress.step(2002, 0.26));
}

TEST(PrintProgress, ComesUpAfterASecondWhateverThePages)
{
    PrintProgress progress;
    EXPECT_TRUE(progress.step(3, 0.5));
    EXPECT_FALSE(progress.shown());
    QThread::msleep(PrintProgress::showAfterMs + 50);
    EXPECT_TRUE(progress.step(4, 0.6));
    EXPECT_TRUE(progress.shown());
}

// The pages are printed one per turn of the event loop, before the window
// and under it: a Cancel that arrives as an event is heard between pages,
// and what a page throws ends the run with the window closed.
TEST(PrintProgress, RunsThePagesFromTheEventLoopUntilTheEndACancelOrAFailure)
{
    enum class Ending { Whole, Cancel, Fails };
    struct Case
    {
        const char *name;
        Ending ending;
    };
    const Case cases[] = {
        {"all pages", Ending::Whole},
        {"Cancel pressed in the window", Ending::Cancel},
        {"a page that fails", Ending::Fails},
    };
    constexpr int kPages = PrintProgress::showAfterPages + 500;
    constexpr int kEventAt = PrintProgress::showAfterPages + 100;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PrintProgress progress;
        int printed = 0;
        const auto position = [&] {
            return PrintProgress::Position{printed, double(printed) / kPages};
        };
        const auto printPage = [&] {
            if (++printed == kEventAt) {
                EXPECT_TRUE(progress.shown());
                if (c.ending == Ending::Fails)
                    throw std::runtime_error("paper jam");
                // Posted, as the click comes: only the event loop sees it.
                if (c.ending == Ending::Cancel)
                    QMetaObject::invokeMethod(
                        progress.dialog(), [&] { progress.dialog()->cancel(); },
                        Qt::QueuedConnection);
            }
            return printed < kPages;
        };
        int ends = 0;
        bool completed = false;
        std::exception_ptr error;
        progress.start(position, printPage, [&](bool whole, const std::exception_ptr &thrown) {
            ++ends;
            completed = whole;
            error = thrown;
        });
        EXPECT_TRUE(progress.running()) << "the run goes on after start returned";
        EXPECT_EQ(printed, 0);
        ASSERT_TRUE(runEventsUntil([&] { return ends > 0; }, 60000));
        EXPECT_EQ(ends, 1);
        EXPECT_FALSE(progress.running());
        switch (c.ending) {
        case Ending::Whole:
            EXPECT_TRUE(completed);
            EXPECT_FALSE(error);
            EXPECT_EQ(printed, kPages);
            break;
        case Ending::Cancel:
            EXPECT_FALSE(completed);
            EXPECT_FALSE(error);
            EXPECT_GE(printed, kEventAt);
            EXPECT_LT(printed, kPages);
            break;
        case Ending::Fails:
            EXPECT_FALSE(completed);
            EXPECT_THROW(std::rethrow_exception(error), std::runtime_error);
            EXPECT_EQ(printed, kEventAt);
            break;
        }
        ASSERT_TRUE(progress.shown());
        EXPECT_FALSE(progress.dialog()->isVisible());
    }
}

// Until the window shows, the run holds the user's input off as the modal
// window does later; Escape cancels it then already.
TEST(PrintProgress, HoldsTheInputOffBeforeTheWindowAndEscapeCancels)
{
    QWidget other;
    other.show();
    int keys = 0;
    struct Counter : QObject
    {
        int *keys;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::KeyPress)
                ++*keys;
            return false;
        }
    } counter;
    counter.keys = &keys;
    other.installEventFilter(&counter);

    PrintProgress progress;
    int printed = 0;
    bool completed = true;
    bool over = false;
    progress.start(
        [&] {
            return PrintProgress::Position{printed, 0};
        },
        [&] {
            ++printed;
            return true; // endless: only the Escape ends it
        },
        [&](bool whole, const std::exception_ptr &) {
            completed = whole;
            over = true;
        });
    QTimer::singleShot(20, &other, [&] {
        QTest::keyClick(&other, Qt::Key_A);
        QTest::keyClick(&other, Qt::Key_Escape);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return over; }, 10000));
    EXPECT_FALSE(completed);
    EXPECT_FALSE(progress.shown());
    EXPECT_EQ(keys, 0) << "a key reached another window during the run";
    EXPECT_GT(printed, 0);

    QTest::keyClick(&other, Qt::Key_A);
    EXPECT_EQ(keys, 1) << "the input is free again after the run";
}

} // namespace
