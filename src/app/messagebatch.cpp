#include "app/messagebatch.h"

#include "text/fileutil.h"

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
    m_previous = setMessageSink(this);
}

MessageBatch::~MessageBatch()
{
    if (!m_outermost)
        return;
    setMessageSink(m_previous);
    g_active = nullptr;
    // While an exception unwinds, its own report is what the user needs.
    if (std::uncaught_exceptions() > m_exceptions)
        return;
    try {
        showHeld();
    } catch (...) {
        // Nothing may leave a destructor; the messages were only information.
    }
}

MsgResult MessageBatch::show(const QString &caption, const QString &text, MsgIcon icon,
                             MsgButtons buttons)
{
    const QString shown = displayFileName(text);
    if (buttons != MsgButtons::Ok) {
        // Through whatever the sink was, also the fallback when there was none.
        setMessageSink(m_previous);
        const MsgResult answer = showMessage(caption, shown, icon, buttons);
        setMessageSink(this);
        return answer;
    }
    const bool known = std::any_of(m_held.begin(), m_held.end(),
                                   [&shown](const Held &held) { return held.text == shown; });
    if (!known)
        m_held.push_back({caption, shown, icon});
    return MsgResult::Ok;
}

void MessageBatch::showHeld()
{
    MessageSink &sink = messages();
    if (m_held.size() == 1) {
        sink.show(m_held[0].caption, m_held[0].text, m_held[0].icon, MsgButtons::Ok);
    } else if (m_held.size() > 1) {
        QStringList lines{m_heading};
        for (const Held &held : m_held)
            lines << held.text;
        sink.show(QStringLiteral("Ravelin"), lines.join(u'\n'), MsgIcon::Warning, MsgButtons::Ok);
    }
}
