#pragma once

#include "text/messages.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <initializer_list>
#include <optional>
#include <vector>

// Records every message instead of showing it, so no test waits on a dialog.
// Installs itself for its lifetime and puts the previous sink back after, so
// a fixture just holds one and a test may nest another for a narrower scope.
class RecordingSink final : public MessageSink
{
public:
    struct Message
    {
        QString caption;
        QString text;
        MsgIcon icon;
        MsgButtons buttons;
    };

    RecordingSink() : m_previous(setMessageSink(this)) {}
    ~RecordingSink() override { setMessageSink(m_previous); }
    RecordingSink(const RecordingSink &) = delete;
    RecordingSink &operator=(const RecordingSink &) = delete;

    MsgResult show(const QString &caption, const QString &text, MsgIcon icon,
                   MsgButtons buttons) override
    {
        m_messages.push_back({caption, text, icon, buttons});
        if (!m_queued.empty()) {
            const MsgResult answer = m_queued.front();
            m_queued.pop_front();
            return answer;
        }
        return m_answer ? *m_answer : ::safeAnswer(buttons);
    }

    // Answers for the next messages, in order; once used up, the answer below.
    void queueAnswers(std::initializer_list<MsgResult> answers)
    {
        m_queued.insert(m_queued.end(), answers);
    }

    // One answer for every message without a queued one, whatever its
    // buttons; std::nullopt goes back to the safe answer.
    void setAnswer(std::optional<MsgResult> answer) { m_answer = answer; }

    const std::vector<Message> &messages() const { return m_messages; }
    QStringList texts() const
    {
        QStringList texts;
        for (const Message &message : m_messages)
            texts << message.text;
        return texts;
    }
    void clear() { m_messages.clear(); }

private:
    MessageSink *m_previous;
    std::vector<Message> m_messages;
    std::deque<MsgResult> m_queued;
    std::optional<MsgResult> m_answer;
};
