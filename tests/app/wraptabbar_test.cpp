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
QStringList sixteenNames()
{
    QStringList names;
    for (int i = 0; i < 16; ++i)
        names << QStringLiteral("application-server-%1.log").arg(i) // 26+ characters: shortened
              << QStringLiteral("auth-%1.log").arg(i);
    names.resize(16);
    return names;
}

// Names of varied widths, as many as asked.
QStringList manyNames(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << (i % 3 == 0 ? QStringLiteral("application-server-%1.log").arg(i)
                             : QStringLiteral("auth-%1.log").arg(i));
    return names;
}

// The part of the bar the rows are shown in: left of their scroll bar.
QRect rowsArea(const WrapTabBar &bar)
{
    QRect area(0, 0, bar.width(), bar.visibleRowCount() * bar.wrappedTabRect(0).height());
    if (bar.rowScrollBar()->isVisible())
        area.setRight(bar.rowScrollBar()->geometry().left() - 1);
    return area;
}

// Every tab of the rows in view lies whole in the rows' area and is found at
// its centre and just inside its corners; every other tab lies wholly
// outside the bar and is found nowhere. Returns the tabs in view.
QList<int> checkTabsInView(const WrapTabBar &bar)
{
    QList<int> inView;
    const QRect area = rowsArea(bar);
    for (int i = 0; i < bar.count(); ++i) {
        SCOPED_TRACE(i);
        const QRect rect = bar.wrappedTabRect(i);
        EXPECT_FALSE(rect.isEmpty());
        if (!rect.intersects(bar.rect())) {
            EXPECT_EQ(bar.wrappedTabAt(rect.center()), -1);
            continue;
        }
        inView << i;
        EXPECT_TRUE(area.contains(rect)) << "cut off: " << rect.x() << "," << rect.y() << " "
                                         << rect.width() << "x" << rect.height();
        const QRect inside = rect.adjusted(1, 1, -1, -1);
        for (const QPoint &at : {rect.center(), inside.topLeft(), inside.topRight(),
                                 inside.bottomLeft(), inside.bottomRight()})
            EXPECT_EQ(bar.wrappedTabAt(at), i) << at.x() << "," << at.y();
    }
    return inView;
}

TEST_F(WrapTabBarTest, WrappedRowsShowEveryCaptionWhole)
{
    struct Case
    {
        const char *name;
        QByteArray opt;
        bool multiRow;
    };
    const Case cases[] = {{"several rows", "", true}, {"one row", "MLine=0", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings("[Opt]\n" + c.opt + "\n");
        MainWindow &form = makeForm();
        form.resize(1000, 600);
        showForm(form);
        for (const QString &name : sixteenNames())
            form.openFileTab(writeFile(name, "x\n"));
        QCoreApplication::processEvents();
        WrapTabBar *bar = form.tabs().tabBar();
        ASSERT_EQ(bar->count(), 16);
        EXPECT_EQ(bar->multiRow(), c.multiRow);
        const QFontMetrics metrics(bar->font());
        for (int i = 0; i < bar->count(); ++i) {
            SCOPED_TRACE(i);
            const QRect rect = bar->wrappedTabRect(i);
            EXPECT_GE(rect.width(), metrics.horizontalAdvance(bar->tabText(i)));
            EXPECT_EQ(bar->wrappedTabAt(rect.center()), i);
            EXPECT_EQ(shownToolTip(bar->tabToolTip(i)), form.tabAt(i).fileName);
            if (c.multiRow) {
                // Inside the bar, which the window holds.
                EXPECT_TRUE(bar->rect().contains(rect)) << rect.x() << "," << rect.y();
            }
        }
        if (c.multiRow) {
            EXPECT_GT(bar->rowCount(), 1);
            EXPECT_EQ(bar->height(), bar->rowCount() * bar->wrappedTabRect(0).height());
            EXPECT_LE(bar->width(), form.tabs().pages()->width());
        } else {
            EXPECT_EQ(bar->rowCount(), 1);
        }
        EXPECT_LE(form.width(), 1000) << "the tabs never widen the window";

        // Narrower: more rows, still every tab inside.
        if (c.multiRow) {
            const int rows = bar->rowCount();
            form.resize(500, 600);
            QCoreApplication::processEvents();
            EXPECT_GT(bar->rowCount(), rows);
            for (int i = 0; i < bar->count(); ++i)
                EXPECT_TRUE(bar->rect().contains(bar->wrappedTabRect(i)));
        }
    }
}

TEST_F(WrapTabBarTest, TabsFollowANewCaptionAndANewFont)
{
    MainWindow &form = makeForm();
    form.resize(1000, 600);
    showForm(form);
    form.openFileTab(writeFile("a.log", "x\n"));
    form.openFileTab(writeFile("b.log", "x\n"));
    QCoreApplication::processEvents();
    WrapTabBar *bar = form.tabs().tabBar();
    ASSERT_TRUE(bar->multiRow());
    const int before = bar->wrappedTabRect(1).width();

    const QString longer = QStringLiteral("a caption much longer than the file name");
    bar->setTabText(1, longer);
    QCoreApplication::processEvents();
    EXPECT_GE(bar->wrappedTabRect(1).width(), QFontMetrics(bar->font()).horizontalAdvance(longer));

    // Both tabs had the same width; a larger font makes the same caption wider.
    bar->setTabText(1, bar->tabText(0));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->wrappedTabRect(1).width(), before);
    QFont font = bar->font();
    font.setPointSizeF(font.pointSizeF() * 2);
    bar->setFont(font);
    QCoreApplication::processEvents();
    EXPECT_GE(bar->wrappedTabRect(1).width(),
              QFontMetrics(font).horizontalAdvance(bar->tabText(1)));
    EXPECT_GT(bar->wrappedTabRect(1).width(), before);
}

TEST_F(WrapTabBarTest, ClicksChooseAndMiddleClicksClose)
{
    for (const QByteArray &opt : {QByteArray(""), QByteArray("MLine=0")}) {
        SCOPED_TRACE(opt.constData());
        writeSettings("[Opt]\n" + opt + "\n");
        MainWindow &form = makeForm();
        form.resize(700, 500);
        showForm(form);
        for (const QString &name : sixteenNames().mid(0, 6))
            form.openFileTab(writeFile(name, "x\n"));
        QCoreApplication::processEvents();
        WrapTabBar *bar = form.tabs().tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->wrappedTabRect(2).center());
        EXPECT_EQ(form.tabs().pages()->currentIndex(), 2);
        const QString third = form.tabAt(3).fileName;
        QTest::mouseClick(bar, Qt::MiddleButton, Qt::NoModifier, bar->wrappedTabRect(3).center());
        ASSERT_EQ(form.tabCount(), 5);
        EXPECT_NE(form.tabAt(3).fileName, third);
        EXPECT_EQ(form.tabs().pages()->count(), 5);
        EXPECT_EQ(form.tabs().pages()->currentIndex(), 2);
    }
}

TEST_F(WrapTabBarTest, EveryTabIsWholeAndFoundAtAnyCountAndWidthAndTheWindowKeepsItsSize)
{
    struct Case
    {
        const char *name;
        int tabs;
        QSize window;
        int captionLength = 0; // of a caption the user gave the second tab
    };
    const Case cases[] = {
        {"40 tabs, wide", 40, {1200, 800}},
        {"40 tabs, narrow", 40, {420, 800}},
        {"300 tabs scroll their rows", 300, {1000, 700}},
        {"40 tabs, low window", 40, {900, 300}},
        {"a caption wider than the bar", 3, {500, 400}, 300},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MainWindow &form = makeForm();
        form.resize(c.window);
        showForm(form);
        const QRect placed = form.geometry();
        for (const QString &name : manyNames(c.tabs))
            form.openFileTab(writeFile(name, "x\n"));
        WrapTabBar *bar = form.tabs().tabBar();
        if (c.captionLength > 0)
            bar->setTabText(1, QString(c.captionLength, u'w'));
        QCoreApplication::processEvents();
        ASSERT_EQ(bar->count(), c.tabs);
        ASSERT_TRUE(bar->multiRow());
        if (c.captionLength > 0) {
            ASSERT_GT(QFontMetrics(bar->font()).horizontalAdvance(bar->tabText(1)), bar->width());
        }

        EXPECT_EQ(form.geometry(), placed) << "the tabs never move or grow the window";
        EXPECT_LE(form.minimumSizeHint().height(), c.window.height());
        const int rowHeight = bar->wrappedTabRect(0).height();
        EXPECT_LE(bar->height(), std::max(rowHeight, form.tabs().pages()->height() / 3));
        EXPECT_EQ(bar->height(), bar->visibleRowCount() * rowHeight);
        const bool scrolls = bar->visibleRowCount() < bar->rowCount();
        EXPECT_EQ(bar->rowScrollBar()->isVisible(), scrolls);
        EXPECT_LE(bar->width(), form.tabs().pages()->width());

        // Row by row, every tab comes into view whole, once.
        QList<int> seen;
        for (int row = 0; row <= bar->rowCount() - bar->visibleRowCount(); ++row) {
            SCOPED_TRACE(row);
            bar->rowScrollBar()->setValue(row);
            EXPECT_EQ(bar->firstVisibleRow(), row);
            for (int i : checkTabsInView(*bar))
                if (!seen.contains(i))
                    seen << i;
            if (!scrolls)
                break;
        }
        EXPECT_EQ(seen.size(), c.tabs);
    }
}

TEST_F(WrapTabBarTest, TheCurrentTabCoversNoOtherTab)
{
    // A tab looks the same whichever other tab is current: the current one
    // once covered the tab below it and the bottom row.
    MainWindow &form = makeForm();
    form.resize(1200, 800);
    showForm(form);
    for (const QString &name : manyNames(40))
        form.openFileTab(writeFile(name, "x\n"));
    QCoreApplication::processEvents();
    WrapTabBar *bar = form.tabs().tabBar();
    ASSERT_GE(bar->rowCount(), 4);
    ASSERT_EQ(bar->visibleRowCount(), bar->rowCount());
    auto firstOfRow = [bar](int row) {
        int i = 0;
        while (i < bar->count() &&
               bar->wrappedTabRect(i).top() < row * bar->wrappedTabRect(0).height())
            ++i;
        return i;
    };
    const int lastRow = bar->rowCount() - 1;
    struct Case
    {
        const char *name;
        int current;
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
        return image.copy(bar->wrappedTabRect(i).adjusted(3, 3, -3, -3));
    };
    const int reference = 0;
    const QImage base = shot(reference);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QImage image = shot(c.current);
        EXPECT_EQ(bar->wrappedTabAt(bar->wrappedTabRect(c.current).center()), c.current);
        EXPECT_NE(inside(image, c.current), inside(base, c.current)) << "the current tab shows";
        for (int i = 0; i < bar->count(); ++i) {
            if (i == c.current || i == reference)
                continue;
            EXPECT_EQ(inside(image, i), inside(base, i)) << "tab " << i;
        }
    }
}

TEST_F(WrapTabBarTest, RowsScrollWithTheWheelAndToTheCurrentTab)
{
    MainWindow &form = makeForm();
    form.resize(1000, 600);
    showForm(form);
    for (const QString &name : manyNames(100))
        form.openFileTab(writeFile(name, "x\n"));
    QCoreApplication::processEvents();
    WrapTabBar *bar = form.tabs().tabBar();
    const int last = bar->rowCount() - bar->visibleRowCount();
    ASSERT_GT(last, 2);
    EXPECT_EQ(bar->firstVisibleRow(), last) << "the tab opened last is current and in view";
    EXPECT_TRUE(rowsArea(*bar).contains(bar->wrappedTabRect(bar->currentIndex())));

    auto wheel = [bar](int angle) {
        const QPointF at = bar->wrappedTabRect(bar->count() - 1).center();
        QWheelEvent event(at, bar->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(bar, &event);
    };
    const int current = bar->currentIndex();
    wheel(120); // up a row
    EXPECT_EQ(bar->firstVisibleRow(), last - 1);
    wheel(60);
    EXPECT_EQ(bar->firstVisibleRow(), last - 1) << "half a notch is not a row yet";
    wheel(60);
    EXPECT_EQ(bar->firstVisibleRow(), last - 2);
    wheel(-120 * 100);
    EXPECT_EQ(bar->firstVisibleRow(), last) << "never past the last row";
    EXPECT_EQ(bar->currentIndex(), current) << "the wheel scrolls, it does not switch tabs";
    wheel(120 * 100);
    EXPECT_EQ(bar->firstVisibleRow(), 0);
    EXPECT_EQ(bar->rowScrollBar()->value(), 0);

    // A click in the scrolled rows picks the tab drawn there.
    const int top = bar->wrappedTabAt(QPoint(2, 2));
    EXPECT_EQ(top, 0);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->wrappedTabRect(1).center());
    EXPECT_EQ(form.tabs().pages()->currentIndex(), 1);

    // The current tab, chosen elsewhere (Ctrl+Tab, the tabs order dialog),
    // is scrolled into view.
    form.tabs().pages()->setCurrentIndex(bar->count() - 2);
    QCoreApplication::processEvents();
    EXPECT_TRUE(rowsArea(*bar).contains(bar->wrappedTabRect(bar->count() - 2)));
    // Closing tabs until all rows fit hides the scroll bar.
    while (bar->rowCount() > bar->visibleRowCount())
        form.closeTab(0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(bar->rowScrollBar()->isVisible());
    EXPECT_EQ(bar->firstVisibleRow(), 0);
    checkTabsInView(*bar);
}

} // namespace
