#include "print/printprogress.h"

#include <QProgressDialog>
#include <QThread>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

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

// Once the window is up the pages are printed from its own event loop: a
// Cancel that arrives as an event is heard between pages, and what a page
// throws comes out of the run with the window closed.
TEST(PrintProgress, RunsThePagesUnderTheWindowUntilTheEndACancelOrAFailure)
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
                // Posted, as the click comes: only the window's loop sees it.
                if (c.ending == Ending::Cancel)
                    QMetaObject::invokeMethod(
                        progress.dialog(), [&] { progress.dialog()->cancel(); },
                        Qt::QueuedConnection);
            }
            return printed < kPages;
        };
        switch (c.ending) {
        case Ending::Whole:
            EXPECT_TRUE(progress.run(position, printPage));
            EXPECT_EQ(printed, kPages);
            break;
        case Ending::Cancel:
            EXPECT_FALSE(progress.run(position, printPage));
            EXPECT_GE(printed, kEventAt);
            EXPECT_LT(printed, kPages);
            break;
        case Ending::Fails:
            EXPECT_THROW(progress.run(position, printPage), std::runtime_error);
            EXPECT_EQ(printed, kEventAt);
            break;
        }
        ASSERT_TRUE(progress.shown());
        EXPECT_FALSE(progress.dialog()->isVisible());
    }
}

} // namespace
