#pragma once

#include "text/messages.h"

#include <cstdio>

namespace bench {

// A benchmark never waits on a dialog; each message is printed, because a
// message in a run is worth seeing, and counted.
class PrintingSink final : public MessageSink
{
public:
    explicit PrintingSink(MsgResult answer = MsgResult::Ok) : m_answer(answer) {}
    MsgResult Show(const QString &caption, const QString &text, MsgIcon, MsgButtons) override
    {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(caption), qUtf8Printable(text));
        ++Count;
        return m_answer;
    }
    int Count = 0;

private:
    MsgResult m_answer;
};

} // namespace bench
