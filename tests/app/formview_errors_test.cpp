// The general error report: an exception thrown by a command, a slot or an
// event handler is shown as one error message and the program goes on.
#include "formfixture.h"

#include "viewer/qzbinhex.h"
#include "text/contract.h"
#include "text/guard.h"

#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <functional>
#include <stdexcept>

namespace {

using ErrorsTest = FormFixture;

[[noreturn]] void BreakContract()
{
    Require(false, QStringLiteral("Buffer position out of range: GetChar"),
            QStringLiteral("QzBinHex"));
    throw std::logic_error("unreachable");
}

TEST_F(ErrorsTest, ThrowingCommandsAndHandlersReachTheReport)
{
    struct Case
    {
        const char *Name;
        // Makes the next run of some code path throw, then runs that path.
        std::function<void(TFormView &, TQzBinHex &)> Run;
        QString Text;
    };
    const QString contract = "Buffer position out of range: GetChar (QzBinHex)";
    const Case cases[] = {
        {"menu command",
         [](TFormView &form, TQzBinHex &) {
             form.ChooseFileToOpen = [](const QString &) -> QString {
                 throw std::runtime_error("no dialog today");
             };
             form.Acts().acFileOpen->trigger();
         },
         "no dialog today"},
        {"scroll-bar action",
         [](TFormView &, TQzBinHex &view) {
             view.OnScroll = [](TQzBinHex *) { BreakContract(); };
             view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
         },
         contract},
        {"key press",
         [](TFormView &, TQzBinHex &view) {
             view.OnDrawLine = [](TQzBinHex *, QPainter &, const QString &, const QString &,
                                  const QRect &, const QPoint &, bool &) { BreakContract(); };
             QTest::keyClick(&view, Qt::Key_PageDown);
         },
         contract},
        {"wheel",
         [](TFormView &, TQzBinHex &view) {
             view.OnDrawLine = [](TQzBinHex *, QPainter &, const QString &, const QString &,
                                  const QRect &, const QPoint &,
                                  bool &) { throw std::runtime_error("wheel"); };
             QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120),
                               Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
             QCoreApplication::sendEvent(view.viewport(), &wheel);
         },
         "wheel"},
        {"resize",
         [](TFormView &, TQzBinHex &view) {
             view.OnDrawLine = [](TQzBinHex *, QPainter &, const QString &, const QString &,
                                  const QRect &, const QPoint &, bool &) { throw 42; };
             view.resize(view.width() + 20, view.height() + 20);
             QCoreApplication::sendPostedEvents();
         },
         "Unknown exception"},
    };
    QByteArray lines;
    for (int i = 0; i < 500; ++i)
        lines += "line\n";
    const QString path = WriteFile("a.log", lines);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        TFormView &form = MakeForm();
        form.OpenFileTab(path);
        form.show();
        QCoreApplication::processEvents();
        m_sink.Clear();

        c.Run(form, *form.ActiveView());
        ASSERT_EQ(m_sink.Texts(), QStringList({c.Text}));
        EXPECT_EQ(m_sink.Messages()[0].Caption, "Ravelin Pro");
        EXPECT_EQ(m_sink.Messages()[0].Icon, MsgIcon::Error);

        // The program goes on: the next command works.
        form.ChooseFileToOpen = [&](const QString &) { return path; };
        form.Acts().acFileOpen->trigger();
        EXPECT_EQ(form.RecCount(), 2);
        m_form.reset();
    }
}

TEST(Guarded, SlotsTakeTheSignalsArgumentsTheyNeedAndNeverThrow)
{
    RecordingSink sink;
    QTimer timer;
    int runs = 0;
    QObject::connect(&timer, &QTimer::objectNameChanged, &timer, Guarded([&] { ++runs; }));
    QObject::connect(&timer, &QTimer::objectNameChanged, &timer, Guarded([&](const QString &name) {
        ++runs;
        throw std::runtime_error(name.toStdString());
    }));
    timer.setObjectName(QStringLiteral("broken"));
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(sink.Texts(), QStringList({"broken"}));
}

} // namespace
