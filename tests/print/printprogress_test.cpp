#include "print/printprogress.h"

#include <QProgressDialog>
#include <QThread>

#include <gtest/gtest.h>

namespace {

TEST(PrintProgress, ComesUpPastTwoThousandPagesAndCancelStopsTheRun)
{
    TQzPrintProgress progress;
    for (int pages : {0, 1, 1999, 2000}) {
        EXPECT_TRUE(progress.Step(pages, 0.1));
        EXPECT_FALSE(progress.Shown()) << pages;
    }
    EXPECT_TRUE(progress.Step(2001, 0.25));
    ASSERT_TRUE(progress.Shown());
    EXPECT_TRUE(progress.Dialog()->isVisible());
    EXPECT_EQ(progress.Dialog()->value(), 250);
    EXPECT_EQ(progress.Dialog()->labelText(), QStringLiteral("Printing page 2002..."));
    progress.Dialog()->cancel();
    EXPECT_FALSE(progress.Step(2002, 0.26));
}

TEST(PrintProgress, ComesUpAfterASecondWhateverThePages)
{
    TQzPrintProgress progress;
    EXPECT_TRUE(progress.Step(3, 0.5));
    EXPECT_FALSE(progress.Shown());
    QThread::msleep(TQzPrintProgress::ShowAfterMs + 50);
    EXPECT_TRUE(progress.Step(4, 0.6));
    EXPECT_TRUE(progress.Shown());
}

} // namespace
