// The general error handler. The test makes its own application object, so
// it runs with the plain GoogleTest main.
#include "app/ravelinapp.h"

#include "text/contract.h"
#include "text/messages.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QEvent>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

namespace {

class Sink final : public MessageSink
{
public:
    MsgResult Show(const QString &caption, const QString &text, MsgIcon icon, MsgButtons) override
    {
        Captions << caption;
        Texts << text;
        Icons.push_back(icon);
        return MsgResult::Ok;
    }
    QStringList Captions;
    QStringList Texts;
    std::vector<MsgIcon> Icons;
};

// Throws from its event handler, as a broken command would.
class Thrower final : public QObject
{
public:
    explicit Thrower(std::function<void()> fn) : m_fn(std::move(fn)) {}
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        m_fn();
        return true;
    }

private:
    std::function<void()> m_fn;
};

TEST(RavelinApp, ExceptionsFromHandlersAreShownAndTheProgramGoesOn)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "ravelin";
    char *argv[] = {name, nullptr};
    TRavelinApp app(argc, argv);
    EXPECT_EQ(QCoreApplication::applicationName(), "ravelin");

    Sink sink;
    MessageSink *previous = SetMessageSink(&sink);

    Thrower contract([] { Require(false, "Buffer position out of range: GetChar", "QzBinHex"); });
    Thrower runtime([] { throw std::runtime_error("disk on fire"); });
    Thrower unknown([] { throw 42; });
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&contract, &event));
    EXPECT_FALSE(QCoreApplication::sendEvent(&runtime, &event));
    EXPECT_FALSE(QCoreApplication::sendEvent(&unknown, &event));

    EXPECT_EQ(sink.Texts, QStringList({"Buffer position out of range: GetChar (QzBinHex)",
                                       "disk on fire", "Unknown exception"}));
    EXPECT_EQ(sink.Captions, QStringList({"Ravelin Pro", "Ravelin Pro", "Ravelin Pro"}));
    EXPECT_EQ(sink.Icons, std::vector<MsgIcon>(3, MsgIcon::Error));

    // Events without trouble pass through unchanged.
    Thrower quiet([] {});
    EXPECT_TRUE(QCoreApplication::sendEvent(&quiet, &event));
    EXPECT_EQ(sink.Texts.size(), 3);

    // A display name would be appended to every window title by the desktop;
    // message boxes show exactly their captions ("Ravelin", "Viewer").
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());

    SetMessageSink(previous);
}

} // namespace
