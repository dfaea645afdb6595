#include "text/messages.h"

#include <cstdio>

namespace {

class StderrSink final : public MessageSink
{
public:
    MsgResult Show(const QString &caption, const QString &text, MsgIcon,
                   MsgButtons buttons) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        return SafeAnswer(buttons);
    }
};

StderrSink g_stderrSink;
MessageSink *g_sink = nullptr;

} // namespace

MsgResult SafeAnswer(MsgButtons buttons)
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

MessageSink &Messages()
{
    return g_sink ? *g_sink : g_stderrSink;
}

MessageSink *SetMessageSink(MessageSink *sink)
{
    MessageSink *previous = g_sink;
    g_sink = sink;
    return previous;
}
