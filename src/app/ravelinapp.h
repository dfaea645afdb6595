#pragma once

#include <QApplication>

#include <functional>
#include <memory>

class ShutdownSignals;

// The application object. Its notify() is the general error handler: a
// violated contract or any other exception escaping an event handler is shown
// through the message interface and the program goes on running.
class RavelinApp final : public QApplication
{
public:
    RavelinApp(int &argc, char **argv);
    ~RavelinApp() override;
    RavelinApp(const RavelinApp &) = delete;
    RavelinApp &operator=(const RavelinApp &) = delete;

    bool notify(QObject *receiver, QEvent *event) override;

    // Called when the program is told to end from outside: SIGTERM, SIGINT or
    // SIGHUP, the desktop session ending, or the event loop quitting for any
    // other reason. onEnd closes the program as Exit does, without asking;
    // the event loop then ends, also from inside a dialog. Empty: nothing.
    void setEndHandler(std::function<void()> onEnd);

    static const QString &title();

private:
    void end();

    std::function<void()> m_onEnd;
    std::unique_ptr<ShutdownSignals> m_signals;
};
