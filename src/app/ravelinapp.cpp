#include "app/ravelinapp.h"

#include "app/shutdownsignals.h"
#include "text/guard.h"

#include <QSessionManager>

TRavelinApp::TRavelinApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("ravelin"));
    // No display name: the desktop would append it to every window title,
    // and message boxes must show their captions exactly.
    setApplicationVersion(QStringLiteral(RAVELIN_VERSION));
}

TRavelinApp::~TRavelinApp() = default;

const QString &TRavelinApp::Title()
{
    return ProgramTitle();
}

bool TRavelinApp::notify(QObject *receiver, QEvent *event)
{
    bool result = false;
    RunGuarded([&] { result = QApplication::notify(receiver, event); });
    return result;
}

void TRavelinApp::SetEndHandler(std::function<void()> onEnd)
{
    m_onEnd = std::move(onEnd);
    if (m_signals)
        return;
    m_signals = std::make_unique<ShutdownSignals>([this](int) { End(); });
    // The session manager may end the process once this returns: the
    // settings are saved before.
    connect(this, &QGuiApplication::commitDataRequest, this, Guarded([this] { End(); }));
    // A quit that came another way still saves.
    connect(this, &QCoreApplication::aboutToQuit, this, Guarded([this] {
                if (m_onEnd)
                    m_onEnd();
            }));
}

void TRavelinApp::End()
{
    RunGuarded([this] {
        if (m_onEnd)
            m_onEnd();
    });
    // Modal dialogs and searches run event loops of their own: all of them end.
    quit();
}
