#include "app/ravelinapp.h"

#include "text/contract.h"
#include "text/messages.h"

#include <exception>

TRavelinApp::TRavelinApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("ravelin"));
    setApplicationDisplayName(Title());
    setApplicationVersion(QStringLiteral(RAVELIN_VERSION));
}

const QString &TRavelinApp::Title()
{
    static const QString title = QStringLiteral("Ravelin Pro");
    return title;
}

bool TRavelinApp::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const ContractError &error) {
        ShowMessage(Title(), QString::fromStdString(error.what()), MsgIcon::Error);
    } catch (const std::exception &error) {
        ShowMessage(Title(), QString::fromLocal8Bit(error.what()), MsgIcon::Error);
    }
    return false;
}
