#include "app/ravelinapp.h"

#include "text/guard.h"

TRavelinApp::TRavelinApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("ravelin"));
    // No display name: the desktop would append it to every window title,
    // and message boxes must show their captions exactly.
    setApplicationVersion(QStringLiteral(RAVELIN_VERSION));
}

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
