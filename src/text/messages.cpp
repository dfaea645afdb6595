#include "text/messages.h"

#include <cstdio>

namespace {

class StderrSink final : public MessageSink
{
public:
    MsgResult show(const QString &caption, const QString &text, MsgIcon,
                   MsgButtons buttons) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        return safeAnswer(buttons);
    }
};

StderrSink g_stderrSink;
MessageSink *g_sink = nullptr;

} // namespace

MsgResult safeAnswer(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok:
        return MsgResult::Ok;
    case MsgButtons::OkCancel:
    case MsgButtons::RetryCancel:
        return MsgResult::Cancel;
    case MsgButtons::YesNo:
        return MsgResult::No;
    }
    return MsgResult::Cancel;
}

MessageSink &messages()
{
    return g_sink ? *g_sink : g_stderrSink;
}

MessageSink *setMessageSink(MessageSink *sink)
{
    MessageSink *previous = g_sink;
    g_sink = sink;
    return previous;
}
