#include "text/guard.h"

#include "text/contract.h"
#include "text/messages.h"

#include <exception>

const QString &programTitle()
{
    static const QString title = QStringLiteral("Ravelin Pro");
    return title;
}

void reportCurrentException() noexcept
{
    QString text;
    try {
        throw;
    } catch (const ContractError &error) {
        text = error.message() + QStringLiteral(" (") + error.unit() + u')';
    } catch (const std::exception &error) {
        text = QString::fromUtf8(error.what());
    } catch (...) {
        text = QStringLiteral("Unknown exception");
    }
    // The report itself must not throw back into the event loop.
    try {
        showMessage(programTitle(), text, MsgIcon::Error);
    } catch (...) {
    }
}
