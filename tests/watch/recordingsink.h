#pragma once

#include "text/messages.h"

#include <QString>
#include <QStringList>

#include <vector>

// Records messages instead of showing them; installed for its lifetime.
class RecordingSink final : public MessageSink
{
public:
    struct Message
    {
        QString Caption;
        QString Text;
        MsgIcon Icon;
    };

    RecordingSink() : m_previous(SetMessageSink(this)) {}
    ~RecordingSink() override { SetMessageSink(m_previous); }
    RecordingSink(const RecordingSink &) = delete;
    RecordingSink &operator=(const RecordingSink &) = delete;

    MsgResult Show(const QString &caption, const QString &text, MsgIcon icon, MsgButtons) override
    {
        m_messages.push_back({caption, text, icon});
        return MsgResult::Ok;
    }

    const std::vector<Message> &Messages() const { return m_messages; }
    QStringList Texts() const
    {
        QStringList texts;
        for (const Message &message : m_messages)
            texts << message.Text;
        return texts;
    }

private:
    MessageSink *m_previous;
    std::vector<Message> m_messages;
};
