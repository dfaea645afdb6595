#pragma once

#include <QString>

// Every modal message of the program goes through this one interface, so that
// tests record messages instead of blocking on a real dialog. The GUI layer
// installs a QMessageBox-backed sink at start-up.
enum class MsgIcon { Error, Warning, Information, Question };
enum class MsgButtons { Ok, OkCancel, RetryCancel, YesNo };
enum class MsgResult { Ok, Cancel, Retry, Yes, No };

class MessageSink
{
public:
    virtual ~MessageSink() = default;
    virtual MsgResult show(const QString &caption, const QString &text, MsgIcon icon,
                           MsgButtons buttons) = 0;
};

// The answer that keeps things as they are: Ok, Cancel or No. Headless runs give it.
MsgResult safeAnswer(MsgButtons buttons);

// The sink in use. Without an installed sink messages go to stderr and the
// answer is the safe one (Ok, Cancel or No), so headless code never blocks.
MessageSink &messages();

// Installs a sink (nullptr restores the stderr fallback); returns the previous one.
MessageSink *setMessageSink(MessageSink *sink);

// Convenience: Messages().Show(...)
inline MsgResult showMessage(const QString &caption, const QString &text, MsgIcon icon,
                             MsgButtons buttons = MsgButtons::Ok)
{
    return messages().show(caption, text, icon, buttons);
}
