// The general error report: an exception thrown by a command, a slot or an
// event handler is shown as one error message and the program goes on.
#include "formfixture.h"

#include "viewer/logview.h"
#include "text/contract.h"
#include "text/guard.h"

#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <functional>
#include <stdexcept>

namespace {

using ErrorsTest = FormFixture;

[[noreturn]] void breakContract()
{
    require(false, QStringLiteral("Buffer position out of range: GetChar"),
            QStringLiteral("QzBinHex"));
    throw std::logic_error("unreachable");
}

TEST_F(ErrorsTest, ThrowingCommandsAndHandlersReachTheReport)
{
    struct Case
    {
        const char *name;
        // Makes the next run of some code path throw, then runs that path.
        std::function<void(MainWindow &, LogView &)> run;
        QString text;
    };
    const QString contract = "Buffer position out of range: GetChar (QzBinHex)";
    const Case cases[] = {
        {"menu command",
         [](MainWindow &form, LogView &) {
             form.chooseFileToOpen = [](const QString &, const QString &) -> QStringList {
                 throw std::runtime_error("no dialog today");
             };
             form.acts().fileOpen->trigger();
         },
         "no dialog today"},
        {"scroll-bar action",
         [](MainWindow &, LogView &view) {
             QObject::connect(&view, &LogView::scrolled, [] { breakContract(); });
             view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
         },
         contract},
        {"key press",
         [](MainWindow &, LogView &view) {
             view.onDrawLine = [](LogView *, QPainter &, const QString &, const QString &,
                                  const QRect &, const QPoint &, bool &) { breakContract(); };
             QTest::keyClick(&view, Qt::Key_PageDown);
         },
         contract},
        {"wheel",
         [](MainWindow &, LogView &view) {
             view.onDrawLine = [](LogView *, QPainter &, const QString &, const QString &,
                                  const QRect &, const QPoint &,
                                  bool &) { throw std::runtime_error("wheel"); };
             QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120),
                               Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
             QCoreApplication::sendEvent(view.viewport(), &wheel);
         },
         "wheel"},
        {"resize",
         [](MainWindow &, LogView &view) {
             view.onDrawLine = [](LogView *, QPainter &, const QString &, const QString &,
                                  const QRect &, const QPoint &, bool &) { throw 42; };
             view.resize(view.width() + 20, view.height() + 20);
             QCoreApplication::sendPostedEvents();
         },
         "Unknown exception"},
    };
    QByteArray lines;
    for (int i = 0; i < 500; ++i)
        lines += "line\n";
    const QString path = writeFile("a.log", lines);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MainWindow &form = makeForm();
        form.openFileTab(path);
        form.show();
        QCoreApplication::processEvents();
        m_sink.clear();

        c.run(form, *form.activeView());
        ASSERT_EQ(m_sink.texts(), QStringList({c.text}));
        EXPECT_EQ(m_sink.messages()[0].caption, "Ravelin Pro");
        EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Error);

        // The program goes on: the next command works.
        form.chooseFileToOpen = [&](const QString &, const QString &) { return QStringList{path}; };
        form.acts().fileOpen->trigger();
        EXPECT_EQ(form.tabCount(), 2);
        m_form.reset();
    }
}

TEST(guarded, SlotsTakeTheSignalsArgumentsTheyNeedAndNeverThrow)
{
    RecordingSink sink;
    QTimer timer;
    int runs = 0;
    QObject::connect(&timer, &QTimer::objectNameChanged, &timer, guarded([&] { ++runs; }));
    QObject::connect(&timer, &QTimer::objectNameChanged, &timer, guarded([&](const QString &name) {
        ++runs;
        throw std::runtime_error(name.toStdString());
    }));
    timer.setObjectName(QStringLiteral("broken"));
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(sink.texts(), QStringList({"broken"}));
}

} // namespace
