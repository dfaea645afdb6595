#include "app/messagebatch.h"

#include "text/fproc.h"

#include <algorithm>
#include <exception>

namespace {
const MessageBatch *g_active = nullptr;
} // namespace

MessageBatch::MessageBatch(QString heading)
    : m_heading(std::move(heading)), m_outermost(g_active == nullptr),
      m_exceptions(std::uncaught_exceptions())
{
    if (!m_outermost)
        return;
    g_active = this;
    m_previous = SetMessageSink(this);
}

MessageBatch::~MessageBatch()
{
    if (!m_outermost)
        return;
    SetMessageSink(m_previous);
    g_active = nullptr;
    // While an exception unwinds, its own report is what the user needs.
    if (std::uncaught_exceptions() > m_exceptions)
        return;
    try {
        ShowHeld();
    } catch (...) {
        // Nothing may leave a destructor; the messages were only information.
    }
}

MsgResult MessageBatch::Show(const QString &caption, const QString &text, MsgIcon icon,
                             MsgButtons buttons)
{
    const QString shown = DisplayFileName(text);
    if (buttons != MsgButtons::Ok) {
        // Through whatever the sink was, also the fallback when there was none.
        SetMessageSink(m_previous);
        const MsgResult answer = ShowMessage(caption, shown, icon, buttons);
        SetMessageSink(this);
        return answer;
    }
    const bool known = std::any_of(m_held.begin(), m_held.end(),
                                   [&shown](const Held &held) { return held.Text == shown; });
    if (!known)
        m_held.push_back({caption, shown, icon});
    return MsgResult::Ok;
}

void MessageBatch::ShowHeld()
{
    MessageSink &sink = Messages();
    if (m_held.size() == 1) {
        sink.Show(m_held[0].Caption, m_held[0].Text, m_held[0].Icon, MsgButtons::Ok);
    } else if (m_held.size() > 1) {
        QStringList lines{m_heading};
        for (const Held &held : m_held)
            lines << held.Text;
        sink.Show(QStringLiteral("Ravelin"), lines.join(u'\n'), MsgIcon::Warning, MsgButtons::Ok);
    }
}
