#include "app/ravelinapp.h"

#include "app/shutdownsignals.h"
#include "text/guard.h"

#include <QSessionManager>

RavelinApp::RavelinApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("ravelin"));
    // No display name: the desktop would append it to every window title,
    // and message boxes must show their captions exactly.
    setApplicationVersion(QStringLiteral(RAVELIN_VERSION));
    // The desktop entry's name: the task bar groups the windows under its icon.
    setDesktopFileName(QStringLiteral("org.ravelin.Ravelin"));
}

RavelinApp::~RavelinApp() = default;

const QString &RavelinApp::title()
{
    return programTitle();
}

bool RavelinApp::notify(QObject *receiver, QEvent *event)
{
    bool result = false;
    runGuarded([&] { result = QApplication::notify(receiver, event); });
    return result;
}

void RavelinApp::setEndHandler(std::function<void()> onEnd)
{
    m_onEnd = std::move(onEnd);
    if (m_signals)
        return;
    m_signals = std::make_unique<ShutdownSignals>([this](int) { end(); });
    // The session manager may end the process once this returns: the
    // settings are saved before.
    connect(this, &QGuiApplication::commitDataRequest, this, guarded([this] { end(); }));
    // A quit that came another way still saves.
    connect(this, &QCoreApplication::aboutToQuit, this, guarded([this] {
                if (m_onEnd)
                    m_onEnd();
            }));
}

void RavelinApp::end()
{
    runGuarded([this] {
        if (m_onEnd)
            m_onEnd();
    });
    // Modal dialogs and searches run event loops of their own: all of them end.
    quit();
}
