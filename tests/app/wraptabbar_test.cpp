// The tab bar of the main window: with several rows every caption shows
// whole; tool tips give the path; a middle click closes a tab.
#include "formfixture.h"

#include "app/wraptabbar.h"
#include "tooltiptext.h"

#include <QFontMetrics>
#include <QTabWidget>
#include <QTest>

namespace {

using WrapTabBarTest = FormFixture;

// Sixteen logs with names of the lengths real logs have.
QStringList SixteenNames()
{
    QStringList names;
    for (int i = 0; i < 16; ++i)
        names << QStringLiteral("application-server-%1.log").arg(i) // 26+ characters: shortened
              << QStringLiteral("auth-%1.log").arg(i);
    names.resize(16);
    return names;
}

TEST_F(WrapTabBarTest, WrappedRowsShowEveryCaptionWhole)
{
    struct Case
    {
        const char *Name;
        QByteArray Opt;
        bool MultiRow;
    };
    const Case cases[] = {{"several rows", "", true}, {"one row", "MLine=0", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        WriteSettings("[Opt]\n" + c.Opt + "\n");
        TFormView &form = MakeForm();
        form.resize(1000, 600);
        ShowForm(form);
        for (const QString &name : SixteenNames())
            form.OpenFileTab(WriteFile(name, "x\n"));
        QCoreApplication::processEvents();
        TWrapTabBar *bar = form.TabBar();
        ASSERT_EQ(bar->count(), 16);
        EXPECT_EQ(bar->MultiRow(), c.MultiRow);
        const QFontMetrics metrics(bar->font());
        for (int i = 0; i < bar->count(); ++i) {
            SCOPED_TRACE(i);
            const QRect rect = bar->TabRect(i);
            EXPECT_GE(rect.width(), metrics.horizontalAdvance(bar->tabText(i)));
            EXPECT_EQ(bar->TabAt(rect.center()), i);
            EXPECT_EQ(ShownToolTip(bar->tabToolTip(i)), form.Rec(i).FileName);
            if (c.MultiRow) {
                // Inside the bar, which the window holds.
                EXPECT_TRUE(bar->rect().contains(rect)) << rect.x() << "," << rect.y();
            }
        }
        if (c.MultiRow) {
            EXPECT_GT(bar->RowCount(), 1);
            EXPECT_EQ(bar->height(), bar->RowCount() * bar->TabRect(0).height());
            EXPECT_LE(bar->width(), form.Pages()->width());
        } else {
            EXPECT_EQ(bar->RowCount(), 1);
        }
        EXPECT_LE(form.width(), 1000) << "the tabs never widen the window";

        // Narrower: more rows, still every tab inside.
        if (c.MultiRow) {
            const int rows = bar->RowCount();
            form.resize(500, 600);
            QCoreApplication::processEvents();
            EXPECT_GT(bar->RowCount(), rows);
            for (int i = 0; i < bar->count(); ++i)
                EXPECT_TRUE(bar->rect().contains(bar->TabRect(i)));
        }
    }
}

TEST_F(WrapTabBarTest, TabsFollowANewCaptionAndANewFont)
{
    TFormView &form = MakeForm();
    form.resize(1000, 600);
    ShowForm(form);
    form.OpenFileTab(WriteFile("a.log", "x\n"));
    form.OpenFileTab(WriteFile("b.log", "x\n"));
    QCoreApplication::processEvents();
    TWrapTabBar *bar = form.TabBar();
    ASSERT_TRUE(bar->MultiRow());
    const int before = bar->TabRect(1).width();

    const QString longer = QStringLiteral("a caption much longer than the file name");
    bar->setTabText(1, longer);
    QCoreApplication::processEvents();
    EXPECT_GE(bar->TabRect(1).width(), QFontMetrics(bar->font()).horizontalAdvance(longer));

    // Both tabs had the same width; a larger font makes the same caption wider.
    bar->setTabText(1, bar->tabText(0));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->TabRect(1).width(), before);
    QFont font = bar->font();
    font.setPointSizeF(font.pointSizeF() * 2);
    bar->setFont(font);
    QCoreApplication::processEvents();
    EXPECT_GE(bar->TabRect(1).width(), QFontMetrics(font).horizontalAdvance(bar->tabText(1)));
    EXPECT_GT(bar->TabRect(1).width(), before);
}

TEST_F(WrapTabBarTest, ClicksChooseAndMiddleClicksClose)
{
    for (const QByteArray &opt : {QByteArray(""), QByteArray("MLine=0")}) {
        SCOPED_TRACE(opt.constData());
        WriteSettings("[Opt]\n" + opt + "\n");
        TFormView &form = MakeForm();
        form.resize(700, 500);
        ShowForm(form);
        for (const QString &name : SixteenNames().mid(0, 6))
            form.OpenFileTab(WriteFile(name, "x\n"));
        QCoreApplication::processEvents();
        TWrapTabBar *bar = form.TabBar();
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->TabRect(2).center());
        EXPECT_EQ(form.Pages()->currentIndex(), 2);
        const QString third = form.Rec(3).FileName;
        QTest::mouseClick(bar, Qt::MiddleButton, Qt::NoModifier, bar->TabRect(3).center());
        ASSERT_EQ(form.RecCount(), 5);
        EXPECT_NE(form.Rec(3).FileName, third);
        EXPECT_EQ(form.Pages()->count(), 5);
        EXPECT_EQ(form.Pages()->currentIndex(), 2);
    }
}

} // namespace
