// The mouse and the keyboard on the viewer: clicks, Shift+click, double and
// triple clicks, dragging past the edges, the middle-button mode, the keys
// and the wheel's sideways and font-size turns.
#include "viewerfixture.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <thread>

namespace {

class Mouse : public ViewerFixture
{
protected:
    // The left or right half of a character of a drawn row.
    QPoint Char(int column, int row, bool rightHalf = false) const
    {
        const int x = m_view->textLeft() + column * m_charWidth;
        return QPoint(rightHalf ? x + m_charWidth - 2 : x + 1, row * m_lineHeight + 2);
    }
    void send(QEvent::Type type, const QPoint &at, Qt::MouseButton button,
              Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton
                                         : type == QEvent::MouseMove        ? Qt::LeftButton
                                                                            : button;
        QMouseEvent event(type, QPointF(at), m_view->viewport()->mapToGlobal(QPointF(at)), button,
                          buttons, mods);
        QApplication::sendEvent(m_view->viewport(), &event);
    }
    void press(const QPoint &at, Qt::KeyboardModifiers mods = Qt::NoModifier,
               Qt::MouseButton button = Qt::LeftButton)
    {
        send(QEvent::MouseButtonPress, at, button, mods);
    }
    void release(const QPoint &at, Qt::MouseButton button = Qt::LeftButton)
    {
        send(QEvent::MouseButtonRelease, at, button);
    }
    void click(const QPoint &at, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        press(at, mods);
        release(at);
    }
    // What Qt delivers for a double click: press, release, double click, release.
    void doubleClick(const QPoint &at)
    {
        click(at);
        send(QEvent::MouseButtonDblClick, at, Qt::LeftButton);
        release(at);
    }
    void move(const QPoint &at) { send(QEvent::MouseMove, at, Qt::NoButton); }
    void key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QKeyEvent event(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(m_view.get(), &event);
    }
    void wheel(QPoint angle, Qt::KeyboardModifiers mods)
    {
        const QPointF at(10, 10);
        QWheelEvent event(at, m_view->viewport()->mapToGlobal(at), QPoint(), angle, Qt::NoButton,
                          mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_view->viewport(), &event);
    }
    void pointerAt(const QPoint &at) { QCursor::setPos(m_view->viewport()->mapToGlobal(at)); }
    std::pair<qint64, qint64> sel() const { return {m_view->selStart(), m_view->selLength()}; }
};

TEST_F(Mouse, AClickClearsTheSelectionAndTheReleaseFires)
{
    m_view->open(write("0123456789012345678901234567890123456789\n"));
    showLines(3);
    m_view->setSelection(3, 4, false, false, true);
    int changes = 0;
    QObject::connect(m_view.get(), &LogView::selectionChanged, [&] { ++changes; });
    press(Char(5, 0));
    EXPECT_EQ(sel().second, 0);
    EXPECT_EQ(changes, 0) << "the press clears without an event";
    EXPECT_EQ(m_view->mouseDownPos(), 5);
    release(Char(5, 0));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(m_view->mouseDownPos(), -1);
    click(Char(5, 0));
    EXPECT_EQ(changes, 2) << "every release fires, changed or not";
}

TEST_F(Mouse, ShiftClickSelectsFromTheLastPlainClick)
{
    m_view->open(write("0123456789012345678901234567890123456789\n"));
    showLines(3);
    const struct
    {
        int shiftColumn;
        std::pair<qint64, qint64> selection;
    } cases[] = {{4, {4, 6}}, {20, {10, 10}}, {10, {10, 0}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.shiftColumn);
        click(Char(10, 0));
        click(Char(c.shiftColumn, 0), Qt::ShiftModifier);
        EXPECT_EQ(sel(), c.selection);
    }
    click(Char(10, 0));
    click(Char(4, 0), Qt::ShiftModifier);
    click(Char(20, 0), Qt::ShiftModifier);
    EXPECT_EQ(sel(), (std::pair<qint64, qint64>(10, 10))) << "the anchor stays at the plain click";
}

TEST_F(Mouse, DoubleClickSelectsAWordAndATripleClickItsLine)
{
    QApplication::setDoubleClickInterval(400);
    m_view->open(write("one_two-three\nnext line\n"));
    showLines(3);
    doubleClick(Char(0, 0, true));
    EXPECT_EQ(sel(), (std::pair<qint64, qint64>(0, 7))) << "one_two, up to the hyphen";
    press(Char(0, 0, true));
    EXPECT_EQ(sel(), (std::pair<qint64, qint64>(0, 13))) << "the whole line, no line break";
    move(Char(0, 0, true) + QPoint(1, 0));
    EXPECT_EQ(sel(), (std::pair<qint64, qint64>(0, 13))) << "a shaking hand keeps the line";
    release(Char(0, 0, true));

    // On the left half of a character the word is the one before it.
    doubleClick(Char(9, 0));
    EXPECT_EQ(sel(), (std::pair<qint64, qint64>(8, 5))) << "three";

    QApplication::setDoubleClickInterval(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    doubleClick(Char(2, 1, true));
    EXPECT_EQ(sel(), (std::pair<qint64, qint64>(14, 4)));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    press(Char(2, 1, true));
    EXPECT_EQ(sel().second, 0) << "too late for a triple click: a new selection";
    release(Char(2, 1, true));
    QApplication::setDoubleClickInterval(400);
}

TEST_F(Mouse, DraggingSelectsAndPastTheTopScrollsUpEveryTick)
{
    m_view->open(write(numberedLines(100))); // 8 bytes a line
    showLines(10);
    m_view->scrollTo(50 * 8);
    press(Char(3, 2));
    move(Char(5, 4));
    EXPECT_EQ(sel(), (std::pair<qint64, qint64>(52 * 8 + 3, 2 * 8 + 2)));
    EXPECT_FALSE(m_view->autoScrollRunning());

    move(QPoint(30, -3));
    EXPECT_EQ(m_view->autoScrollDir(), 1);
    EXPECT_TRUE(m_view->autoScrollRunning());
    m_view->autoScrollTick();
    m_view->autoScrollTick();
    EXPECT_EQ(m_view->viewPos(), 48 * 8);
    EXPECT_EQ(sel(), (std::pair<qint64, qint64>(48 * 8, 4 * 8 + 3)))
        << "from the first visible line's start to the press";

    move(QPoint(30, m_view->viewport()->height() + 5));
    EXPECT_EQ(m_view->autoScrollDir(), 2);
    m_view->autoScrollTick();
    EXPECT_EQ(m_view->viewPos(), 49 * 8);
    // Just below the view lies the partly shown 11th line, left of its text.
    const qint64 partlyShown = 49 * 8 + 10 * 8;
    EXPECT_EQ(sel(), (std::pair<qint64, qint64>(52 * 8 + 3, partlyShown - (52 * 8 + 3))));

    release(QPoint(30, 30));
    EXPECT_FALSE(m_view->autoScrollRunning());
    EXPECT_FALSE(m_view->selectingByMouse());
}

TEST_F(Mouse, ALineTheApplicationDrewGivesTheEndOfTheLastRecord)
{
    m_view->open(write("keep\ntake\nkeep\n"));
    m_view->onDrawLine = [](LogView *, QPainter &, const QString &str, const QString &,
                            const QRect &, const QPoint &,
                            bool &done) { done = str == QStringLiteral("take"); };
    showLines(5);
    press(Char(2, 1));
    EXPECT_EQ(m_view->mouseDownPos(), 14) << "the end of the second kept line";
    release(Char(2, 1));
}

TEST_F(Mouse, MiddleButtonScrollsByTheDistanceFromWhereItWasPressed)
{
    QByteArray lines;
    for (int i = 0; i < 100; ++i)
        lines += QByteArray(200, 'x') + '\n';
    m_view->open(write(lines));
    showLines(10);
    const QPoint origin(100, 40);
    press(origin, Qt::NoModifier, Qt::MiddleButton);
    ASSERT_TRUE(m_view->dragScrollMode());
    EXPECT_EQ(m_view->dragScrollOrigin(), origin);

    const struct
    {
        const char *name;
        QPoint offset;
        qint64 viewPos;
        int hViewPos;
        Qt::CursorShape cursor; // bitmap cursors: only their shape is known
    } cases[] = {
        {"within 16 pixels: nothing", {10, 10}, 0, 0, Qt::BitmapCursor},
        {"40 below: 2 lines", {3, 40}, 2 * 201, 0, Qt::BitmapCursor},
        {"40 right: 16 pixels", {40, -3}, 2 * 201, 16, Qt::BitmapCursor},
        {"20 above: 1 line", {0, -20}, 201, 16, Qt::BitmapCursor},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        pointerAt(origin + c.offset);
        m_view->dragScrollTick();
        EXPECT_EQ(m_view->viewPos(), c.viewPos);
        EXPECT_EQ(m_view->hViewPos(), c.hViewPos);
        EXPECT_EQ(m_view->viewport()->cursor().shape(), c.cursor);
    }
    key(Qt::Key_Shift);
    EXPECT_FALSE(m_view->dragScrollMode()) << "any key ends the mode";
    EXPECT_EQ(m_view->viewport()->cursor().shape(), Qt::IBeamCursor);

    press(origin, Qt::NoModifier, Qt::MiddleButton);
    press(origin + QPoint(0, 50));
    EXPECT_FALSE(m_view->dragScrollMode()) << "any press ends it";
    EXPECT_FALSE(m_view->selectingByMouse()) << "and does nothing else";
}

TEST_F(Mouse, KeysSelectAllCopyAndEndTheMiddleButtonMode)
{
    m_view->open(write("alpha\nbeta\n"));
    showLines(3);
    QApplication::clipboard()->clear();
    key(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(sel().second, 0) << "Ctrl+Shift+A is not Select All";
    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(sel(), (std::pair<qint64, qint64>(0, 11)));
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("alpha\nbeta\n"));
    m_view->setSelection(6, 4, false, false, true);
    key(Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("beta"));
}

TEST_F(Mouse, WheelWithShiftOrCtrlAndTheTiltWheel)
{
    QByteArray lines;
    for (int i = 0; i < 50; ++i)
        lines += QByteArray(300, 'x') + '\n';
    m_view->open(write(lines));
    showLines(10, 30);
    int optionChanges = 0;
    QObject::connect(m_view.get(), &LogView::optionsChanged, [&] { ++optionChanges; });

    wheel(QPoint(0, -120), Qt::ShiftModifier);
    EXPECT_EQ(m_view->hViewPos(), 200);
    EXPECT_EQ(m_view->viewPos(), 0) << "Shift+wheel does not scroll down";
    wheel(QPoint(-120, 0), Qt::ShiftModifier); // turned sideways by the system
    EXPECT_EQ(m_view->hViewPos(), 400);
    wheel(QPoint(120, 0), Qt::NoModifier); // tilt to the left
    EXPECT_EQ(m_view->hViewPos(), 200);
    wheel(QPoint(0, 120), Qt::ShiftModifier);
    EXPECT_EQ(m_view->hViewPos(), 0);

    const int size = m_view->options().font.font.pixelSize();
    wheel(QPoint(0, 120), Qt::ControlModifier);
    EXPECT_GT(m_view->options().font.font.pixelSize(), size);
    EXPECT_EQ(optionChanges, 1);
    wheel(QPoint(0, -120), Qt::ControlModifier);
    EXPECT_EQ(m_view->options().font.font.pixelSize(), size);
    EXPECT_EQ(optionChanges, 2);
    EXPECT_EQ(m_view->viewPos(), 0);
    wheel(QPoint(0, -120), Qt::AltModifier);
    EXPECT_EQ(m_view->viewPos(), 0) << "other combinations do nothing";
}

TEST_F(Mouse, KeysAndTheHorizontalBarMoveSideways)
{
    QByteArray lines;
    for (int i = 0; i < 50; ++i)
        lines += QByteArray(300, 'x') + '\n';
    m_view->open(write(lines));
    showLines(10, 30);
    const int hmax = m_view->hMaxPos();
    const int width = m_view->viewport()->width();
    ASSERT_GT(hmax, 2 * width);
    int scrolls = 0;
    QObject::connect(m_view.get(), &LogView::scrolled, [&] { ++scrolls; });
    QScrollBar *bar = m_view->horizontalScrollBar();
    const struct
    {
        const char *name;
        int key; // 0: the bar's action instead
        Qt::KeyboardModifiers mods;
        QAbstractSlider::SliderAction action;
        int hViewPos;
    } steps[] = {
        {"Right", Qt::Key_Right, Qt::NoModifier, {}, 200},
        {"Right again", Qt::Key_Right, Qt::NoModifier, {}, 400},
        {"Left", Qt::Key_Left, Qt::NoModifier, {}, 200},
        {"Shift+Right is not handled", Qt::Key_Right, Qt::ShiftModifier, {}, 200},
        {"End", Qt::Key_End, Qt::NoModifier, {}, hmax},
        {"Home", Qt::Key_Home, Qt::NoModifier, {}, 0},
        {"bar: line right", 0, {}, QAbstractSlider::SliderSingleStepAdd, 200},
        {"bar: page right", 0, {}, QAbstractSlider::SliderPageStepAdd, 200 + width},
        {"bar: page left", 0, {}, QAbstractSlider::SliderPageStepSub, 200},
        {"bar: line left", 0, {}, QAbstractSlider::SliderSingleStepSub, 0},
        {"bar: right end", 0, {}, QAbstractSlider::SliderToMaximum, hmax},
        {"bar: left end", 0, {}, QAbstractSlider::SliderToMinimum, 0},
    };
    int barActions = 0;
    for (const auto &s : steps) {
        SCOPED_TRACE(s.name);
        if (s.key != 0) {
            key(s.key, s.mods);
        } else {
            bar->triggerAction(s.action);
            ++barActions;
        }
        EXPECT_EQ(m_view->hViewPos(), s.hViewPos);
        EXPECT_EQ(bar->value(), s.hViewPos) << "the bar shows where the view is";
    }
    bar->setSliderPosition(123); // a tracking thumb
    EXPECT_EQ(m_view->hViewPos(), 123);
    EXPECT_EQ(scrolls, barActions + 1) << "every bar request, and only those, fires OnScroll";
    EXPECT_EQ(m_view->viewPos(), 0) << "nothing of it moved the view down";
}

TEST_F(Mouse, TheVerticalThumbDoesNotPushAVisibleEndFurther)
{
    m_view->open(write(numberedLines(100)));
    showLines(10);
    m_view->scrollToEnd();
    ASSERT_TRUE(m_view->viewAtEnd());
    const qint64 end = m_view->viewPos();
    QScrollBar *bar = m_view->verticalScrollBar();
    bar->setSliderPosition(bar->maximum());
    EXPECT_EQ(m_view->viewPos(), end);
    // Half way up the thumb's range is half way into the file.
    bar->setSliderPosition(bar->maximum() / 2);
    EXPECT_EQ(m_view->viewPos(), 800 * (bar->maximum() / 2) / bar->maximum() / 8 * 8);
    EXPECT_FALSE(m_view->viewAtEnd());
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(m_view->viewPos(), 0);
}

TEST_F(Mouse, ThePointerIsAHandOverAnAddressOnly)
{
    m_view->open(write("see www.example.com now\n"));
    showLines(3);
    const auto shape = [&] { return m_view->viewport()->cursor().shape(); };
    const struct
    {
        const char *name;
        QPoint at;
        Qt::CursorShape shape;
    } cases[] = {
        {"on the address", Char(6, 0), Qt::PointingHandCursor},
        {"before it", Char(1, 0), Qt::IBeamCursor},
        {"right half of the space before it", Char(3, 0, true), Qt::IBeamCursor},
        {"on its last character", Char(18, 0, true), Qt::PointingHandCursor},
        {"right of the line, where a loose test would give its end", Char(40, 0), Qt::IBeamCursor},
        {"below every line", Char(6, 2), Qt::IBeamCursor},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        send(QEvent::MouseMove, c.at, Qt::NoButton);
        EXPECT_EQ(shape(), c.shape);
    }
    press(Char(1, 0), Qt::NoModifier, Qt::MiddleButton);
    send(QEvent::MouseMove, Char(6, 0), Qt::NoButton);
    EXPECT_NE(shape(), Qt::PointingHandCursor) << "the scrolling mode keeps its own pointer";
    press(Char(1, 0));
    release(Char(1, 0));

    // A click where the hand shows opens the address; a drag does not.
    std::vector<QByteArray> clicked;
    QObject::connect(m_view.get(), &LogView::urlClicked,
                     [&](const QByteArray &url) { clicked.push_back(url); });
    click(Char(18, 0, true));
    click(Char(3, 0, true));
    press(Char(6, 0));
    move(Char(9, 0));
    release(Char(9, 0));
    EXPECT_EQ(clicked, (std::vector<QByteArray>{"http://www.example.com"}));
}

TEST_F(Mouse, TheScrollingModeShowsItsMarkerUntilTheFocusGoes)
{
    m_view->open(write("a\n"));
    showLines(6);
    const QPoint origin(60, 40);
    const auto centre = [&] { return m_view->viewport()->grab().toImage().pixelColor(origin); };
    ASSERT_EQ(centre(), QColor(Qt::white));
    press(origin, Qt::NoModifier, Qt::MiddleButton);
    ASSERT_TRUE(m_view->dragScrollMode());
    EXPECT_EQ(centre(), QColor(Qt::black)) << "the marker is centred on the origin";
    QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
    QApplication::sendEvent(m_view.get(), &out);
    EXPECT_FALSE(m_view->dragScrollMode());
    EXPECT_EQ(centre(), QColor(Qt::white));
}

TEST_F(Mouse, ShiftClickBeforeAnyClickSelectsFromTheStart)
{
    m_view->open(write("0123456789012345678901234567890123456789\n"));
    showLines(3);
    click(Char(6, 0), Qt::ShiftModifier);
    EXPECT_EQ(sel(), (std::pair<qint64, qint64>(0, 6)));
}

TEST_F(Mouse, DraggingPastEitherSideScrollsSidewaysAndSelectsToTheEdge)
{
    QByteArray lines;
    for (int i = 0; i < 5; ++i)
        lines += QByteArray(300, 'x') + '\n';
    m_view->open(write(lines));
    showLines(4, 30);
    press(Char(2, 1));
    const int right = m_view->viewport()->width() - 1;
    pointerAt(QPoint(right, Char(2, 1).y()));
    move(QPoint(right, Char(2, 1).y()));
    EXPECT_EQ(m_view->autoScrollDir(), 4);
    m_view->autoScrollTick();
    EXPECT_EQ(m_view->hViewPos(), 20);
    // Up to the character boundary just past the right edge, 20 pixels on.
    const qint64 edge = 301 + qRound(double(right + 2 - (m_view->textLeft() - 20)) / m_charWidth);
    EXPECT_EQ(sel(), (std::pair<qint64, qint64>(301 + 2, edge - 303)));
    move(QPoint(m_view->textLeft(), Char(2, 1).y()));
    EXPECT_EQ(m_view->autoScrollDir(), 3);
    m_view->autoScrollTick();
    EXPECT_EQ(m_view->hViewPos(), 0);
    EXPECT_EQ(sel(), (std::pair<qint64, qint64>(301, 2))) << "to the start of the line";
    release(Char(5, 1));
}

} // namespace
