#pragma once

#include "text/messages.h"

#include <QString>

class QWidget;

// The shell's message boxes: caption "Ravelin", one OK button.
void MsgError(const QString &text);
void MsgWarning(const QString &text);

// The window a message box goes over: the active one, else the shown main window.
QWidget *MessageOwner();

// Whether the window stays above the others.
bool IsFormOnTop(const QWidget *form);
// Moves the window into the top-most band or out of it, keeping its place,
// size and visibility.
void SetFormOnTop(QWidget *form, bool onTop);

// The text as a message box shows it: the program's CR LF line breaks, and a
// lone CR, become the line feeds the box breaks lines at.
QString MessageBoxText(const QString &text);

// Shows messages in real modal QMessageBox dialogs; the application installs
// it at start-up, tests install a recording sink instead.
class MessageBoxSink final : public MessageSink
{
public:
    MsgResult Show(const QString &caption, const QString &text, MsgIcon icon,
                   MsgButtons buttons) override;
};
