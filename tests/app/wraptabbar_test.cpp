// The tab bar of the main window: with several rows every caption shows
// whole; tool tips give the path; a middle click closes a tab; rows beyond a
// third of the window scroll instead of growing it.
#include "formfixture.h"

#include "app/wraptabbar.h"
#include "tooltiptext.h"

#include <QFontMetrics>
#include <QImage>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>

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

// Names of varied widths, as many as asked.
QStringList ManyNames(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << (i % 3 == 0 ? QStringLiteral("application-server-%1.log").arg(i)
                             : QStringLiteral("auth-%1.log").arg(i));
    return names;
}

// The part of the bar the rows are shown in: left of their scroll bar.
QRect RowsArea(const TWrapTabBar &bar)
{
    QRect area(0, 0, bar.width(), bar.VisibleRowCount() * bar.TabRect(0).height());
    if (bar.RowScrollBar()->isVisible())
        area.setRight(bar.RowScrollBar()->geometry().left() - 1);
    return area;
}

// Every tab of the rows in view lies whole in the rows' area and is found at
// its centre and just inside its corners; every other tab lies wholly
// outside the bar and is found nowhere. Returns the tabs in view.
QList<int> CheckTabsInView(const TWrapTabBar &bar)
{
    QList<int> inView;
    const QRect area = RowsArea(bar);
    for (int i = 0; i < bar.count(); ++i) {
        SCOPED_TRACE(i);
        const QRect rect = bar.TabRect(i);
        EXPECT_FALSE(rect.isEmpty());
        if (!rect.intersects(bar.rect())) {
            EXPECT_EQ(bar.TabAt(rect.center()), -1);
            continue;
        }
        inView << i;
        EXPECT_TRUE(area.contains(rect)) << "cut off: " << rect.x() << "," << rect.y() << " "
                                         << rect.width() << "x" << rect.height();
        const QRect inside = rect.adjusted(1, 1, -1, -1);
        for (const QPoint &at : {rect.center(), inside.topLeft(), inside.topRight(),
                                 inside.bottomLeft(), inside.bottomRight()})
            EXPECT_EQ(bar.TabAt(at), i) << at.x() << "," << at.y();
    }
    return inView;
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

TEST_F(WrapTabBarTest, EveryTabIsWholeAndFoundAtAnyCountAndWidthAndTheWindowKeepsItsSize)
{
    struct Case
    {
        const char *Name;
        int Tabs;
        QSize Window;
        int CaptionLength = 0; // of a caption the user gave the second tab
    };
    const Case cases[] = {
        {"40 tabs, wide", 40, {1200, 800}},
        {"40 tabs, narrow", 40, {420, 800}},
        {"300 tabs scroll their rows", 300, {1000, 700}},
        {"40 tabs, low window", 40, {900, 300}},
        {"a caption wider than the bar", 3, {500, 400}, 300},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        TFormView &form = MakeForm();
        form.resize(c.Window);
        ShowForm(form);
        const QRect placed = form.geometry();
        for (const QString &name : ManyNames(c.Tabs))
            form.OpenFileTab(WriteFile(name, "x\n"));
        TWrapTabBar *bar = form.TabBar();
        if (c.CaptionLength > 0)
            bar->setTabText(1, QString(c.CaptionLength, u'w'));
        QCoreApplication::processEvents();
        ASSERT_EQ(bar->count(), c.Tabs);
        ASSERT_TRUE(bar->MultiRow());
        if (c.CaptionLength > 0) {
            ASSERT_GT(QFontMetrics(bar->font()).horizontalAdvance(bar->tabText(1)), bar->width());
        }

        EXPECT_EQ(form.geometry(), placed) << "the tabs never move or grow the window";
        EXPECT_LE(form.minimumSizeHint().height(), c.Window.height());
        const int rowHeight = bar->TabRect(0).height();
        EXPECT_LE(bar->height(), std::max(rowHeight, form.Pages()->height() / 3));
        EXPECT_EQ(bar->height(), bar->VisibleRowCount() * rowHeight);
        const bool scrolls = bar->VisibleRowCount() < bar->RowCount();
        EXPECT_EQ(bar->RowScrollBar()->isVisible(), scrolls);
        EXPECT_LE(bar->width(), form.Pages()->width());

        // Row by row, every tab comes into view whole, once.
        QList<int> seen;
        for (int row = 0; row <= bar->RowCount() - bar->VisibleRowCount(); ++row) {
            SCOPED_TRACE(row);
            bar->RowScrollBar()->setValue(row);
            EXPECT_EQ(bar->FirstVisibleRow(), row);
            for (int i : CheckTabsInView(*bar))
                if (!seen.contains(i))
                    seen << i;
            if (!scrolls)
                break;
        }
        EXPECT_EQ(seen.size(), c.Tabs);
    }
}

TEST_F(WrapTabBarTest, TheCurrentTabCoversNoOtherTab)
{
    // A tab looks the same whichever other tab is current: the current one
    // once covered the tab below it and the bottom row.
    TFormView &form = MakeForm();
    form.resize(1200, 800);
    ShowForm(form);
    for (const QString &name : ManyNames(40))
        form.OpenFileTab(WriteFile(name, "x\n"));
    QCoreApplication::processEvents();
    TWrapTabBar *bar = form.TabBar();
    ASSERT_GE(bar->RowCount(), 4);
    ASSERT_EQ(bar->VisibleRowCount(), bar->RowCount());
    auto firstOfRow = [bar](int row) {
        int i = 0;
        while (i < bar->count() && bar->TabRect(i).top() < row * bar->TabRect(0).height())
            ++i;
        return i;
    };
    const int lastRow = bar->RowCount() - 1;
    struct Case
    {
        const char *Name;
        int Current;
    };
    const Case cases[] = {
        {"a tab of row 2", firstOfRow(1) + 1},
        {"a tab of the last row but one", firstOfRow(lastRow - 1)},
        {"the last tab", bar->count() - 1},
    };
    auto shot = [&](int current) {
        bar->setCurrentIndex(current);
        QCoreApplication::processEvents();
        return bar->grab().toImage();
    };
    // Inside the tab, off its edges, which neighbours share.
    auto inside = [&](const QImage &image, int i) {
        return image.copy(bar->TabRect(i).adjusted(3, 3, -3, -3));
    };
    const int reference = 0;
    const QImage base = shot(reference);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        const QImage image = shot(c.Current);
        EXPECT_EQ(bar->TabAt(bar->TabRect(c.Current).center()), c.Current);
        EXPECT_NE(inside(image, c.Current), inside(base, c.Current)) << "the current tab shows";
        for (int i = 0; i < bar->count(); ++i) {
            if (i == c.Current || i == reference)
                continue;
            EXPECT_EQ(inside(image, i), inside(base, i)) << "tab " << i;
        }
    }
}

TEST_F(WrapTabBarTest, RowsScrollWithTheWheelAndToTheCurrentTab)
{
    TFormView &form = MakeForm();
    form.resize(1000, 600);
    ShowForm(form);
    for (const QString &name : ManyNames(100))
        form.OpenFileTab(WriteFile(name, "x\n"));
    QCoreApplication::processEvents();
    TWrapTabBar *bar = form.TabBar();
    const int last = bar->RowCount() - bar->VisibleRowCount();
    ASSERT_GT(last, 2);
    EXPECT_EQ(bar->FirstVisibleRow(), last) << "the tab opened last is current and in view";
    EXPECT_TRUE(RowsArea(*bar).contains(bar->TabRect(bar->currentIndex())));

    auto wheel = [bar](int angle) {
        const QPointF at = bar->TabRect(bar->count() - 1).center();
        QWheelEvent event(at, bar->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(bar, &event);
    };
    const int current = bar->currentIndex();
    wheel(120); // up a row
    EXPECT_EQ(bar->FirstVisibleRow(), last - 1);
    wheel(60);
    EXPECT_EQ(bar->FirstVisibleRow(), last - 1) << "half a notch is not a row yet";
    wheel(60);
    EXPECT_EQ(bar->FirstVisibleRow(), last - 2);
    wheel(-120 * 100);
    EXPECT_EQ(bar->FirstVisibleRow(), last) << "never past the last row";
    EXPECT_EQ(bar->currentIndex(), current) << "the wheel scrolls, it does not switch tabs";
    wheel(120 * 100);
    EXPECT_EQ(bar->FirstVisibleRow(), 0);
    EXPECT_EQ(bar->RowScrollBar()->value(), 0);

    // A click in the scrolled rows picks the tab drawn there.
    const int top = bar->TabAt(QPoint(2, 2));
    EXPECT_EQ(top, 0);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->TabRect(1).center());
    EXPECT_EQ(form.Pages()->currentIndex(), 1);

    // The current tab, chosen elsewhere (Ctrl+Tab, the tabs order dialog),
    // is scrolled into view.
    form.Pages()->setCurrentIndex(bar->count() - 2);
    QCoreApplication::processEvents();
    EXPECT_TRUE(RowsArea(*bar).contains(bar->TabRect(bar->count() - 2)));
    // Closing tabs until all rows fit hides the scroll bar.
    while (bar->RowCount() > bar->VisibleRowCount())
        form.CloseTab(0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(bar->RowScrollBar()->isVisible());
    EXPECT_EQ(bar->FirstVisibleRow(), 0);
    CheckTabsInView(*bar);
}

} // namespace
