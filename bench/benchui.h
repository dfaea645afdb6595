#pragma once

#include "benchcommon.h"

#include "text/messages.h"

#include <QEvent>
#include <QObject>

namespace bench {

// A message box during a benchmark means a path went wrong: it fails the run
// instead of waiting for a click.
class QuietSink final : public MessageSink
{
public:
    MsgResult show(const QString &, const QString &text, MsgIcon, MsgButtons) override
    {
        fail(QStringLiteral("message: %1").arg(text));
        return MsgResult::Ok;
    }
};

// Notes that a widget painted.
class PaintSeen final : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            seen = true;
        return false;
    }
    bool seen = false;
};

} // namespace bench
