#pragma once

#include "text/messages.h"

#include <QString>
#include <QStringList>

#include <vector>

// The heading of the list of files that a run of openings could not open.
inline const QString openFailuresHeading = QStringLiteral("Some files could not be opened:");

// Holds the messages of a run of file openings (the start, a session, a drop)
// so that the user gets one box that lists every failure instead of one box
// per file, each waiting for a click. Installs itself as the message sink for
// its lifetime and shows what it held when it ends:
//   - one distinct text: that message, as it would have come alone;
//   - several: one warning, the heading and every text on a line of its own.
// A text that comes twice (the viewer and the shell both saying a file
// cannot be opened) is listed once. Only messages that just inform (an OK
// button) are held: a question still goes to the user at once. A batch
// begun while another is active adds to that one. Escaped bytes of file
// names show as U+FFFD.
class MessageBatch final : public MessageSink
{
public:
    explicit MessageBatch(QString heading);
    ~MessageBatch() override;
    MessageBatch(const MessageBatch &) = delete;
    MessageBatch &operator=(const MessageBatch &) = delete;

    MsgResult show(const QString &caption, const QString &text, MsgIcon icon,
                   MsgButtons buttons) override;

private:
    struct Held
    {
        QString caption;
        QString text;
        MsgIcon icon;
    };

    void showHeld();

    QString m_heading;
    MessageSink *m_previous = nullptr;
    bool m_outermost = false;
    int m_exceptions = 0; // in flight when the batch began
    std::vector<Held> m_held;
};
