#pragma once

#include "text/messages.h"

#include <QString>

#include <memory>

class QMessageBox;
class QWidget;

// The shell's message boxes: caption "Ravelin", one OK button.
void msgError(const QString &text);
void msgWarning(const QString &text);

// The window a message box goes over: the active one, else the shown main window.
QWidget *messageOwner();

// Whether the window stays above the others.
bool isFormOnTop(const QWidget *form);
// Moves the window into the top-most band or out of it, keeping its place,
// size and visibility.
void setFormOnTop(QWidget *form, bool onTop);

// The text as a message box shows it: the program's CR LF line breaks, and a
// lone CR, become the line feeds the box breaks lines at.
QString messageBoxText(const QString &text);

// Text from a file, a file name, a search, a rule or the settings file is
// shown as it is: never as markup, never as an access key.

// For menu items and tab captions, where "&" marks an access key.
QString plainMenuText(const QString &text);
// Item number of a numbered list (1 to 10) as its access key, then the text:
// "&1 text" ... "1&0 text". Empty for an empty text.
QString numberedMenuText(int number, const QString &text);
// Qt shows a tool tip as markup whenever it looks like markup: escaped and
// wrapped, the tip shows exactly the text. Empty stays empty (no tip).
QString plainToolTip(const QString &text);
// For window titles, where "[*]" marks where a modified window shows its star.
QString plainWindowTitle(const QString &text);
// Every label inside the widget takes its text as plain text: for dialogs Qt
// builds, whose labels would guess at markup.
void makeLabelsPlain(QWidget *widget);

// The box a MessageBoxSink shows, ready to run; its text is plain text.
std::unique_ptr<QMessageBox> createMessageBox(const QString &caption, const QString &text,
                                              MsgIcon icon, MsgButtons buttons);

// Shows messages in real modal QMessageBox dialogs; the application installs
// it at start-up, tests install a recording sink instead.
class MessageBoxSink final : public MessageSink
{
public:
    MsgResult show(const QString &caption, const QString &text, MsgIcon icon,
                   MsgButtons buttons) override;
};
