#include "print/printprogress.h"

#include <QProgressDialog>
#include <QThread>

#include <gtest/gtest.h>

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

} // namespace
