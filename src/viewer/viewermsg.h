#pragma once

#include "text/messages.h"

#include <QString>

// The viewer's own message texts and its message box (caption "Viewer",
// error icon), shown through the program's message interface.
namespace ViewerMsg {
inline const QString caption = QStringLiteral("Viewer");
inline const QString cannotOpenFile = QStringLiteral("Cannot open file: \"%s\"");
inline const QString cannotReadFile = QStringLiteral("Cannot read file: \"%s\"");
inline const QString cannotReadStream = QStringLiteral("Cannot read stream");
inline const QString readErrorAt = QStringLiteral("Read error at offset %s");

inline MsgResult show(const QString &text, MsgButtons buttons = MsgButtons::Ok)
{
    return showMessage(caption, text, MsgIcon::Error, buttons);
}
} // namespace ViewerMsg
