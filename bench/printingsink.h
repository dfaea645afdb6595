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
    MsgResult show(const QString &caption, const QString &text, MsgIcon, MsgButtons) override
    {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(caption), qUtf8Printable(text));
        ++count;
        return m_answer;
    }
    int count = 0;

private:
    MsgResult m_answer;
};

} // namespace bench
