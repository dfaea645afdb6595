#pragma once

#include "text/messages.h"

#include <QString>

// The viewer's own message texts and its message box (caption "Viewer",
// error icon), shown through the program's message interface.
namespace ViewerMsg {
inline const QString Caption = QStringLiteral("Viewer");
inline const QString CannotOpenFile = QStringLiteral("Cannot open file: \"%s\"");
inline const QString CannotReadFile = QStringLiteral("Cannot read file: \"%s\"");
inline const QString CannotReadStream = QStringLiteral("Cannot read stream");
inline const QString ReadErrorAt = QStringLiteral("Read error at offset %s");

inline MsgResult Show(const QString &text, MsgButtons buttons = MsgButtons::Ok)
{
    return ShowMessage(Caption, text, MsgIcon::Error, buttons);
}
} // namespace ViewerMsg
