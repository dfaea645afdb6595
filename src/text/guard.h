#pragma once

#include <QString>

#include <type_traits>
#include <utility>

// Qt cannot unwind: an exception that leaves a slot or an event handler is
// undefined behaviour. Every slot and handler therefore runs through the
// helpers below, which hand any exception to the one general error report.

// The program's title, the caption of the general error report.
const QString &programTitle();

// The general error report: shows the exception being handled (call it only
// from a catch block) as an error message captioned with the program's title.
void reportCurrentException() noexcept;

// Runs fn; whatever it throws is reported instead of propagated.
template <typename Fn>
void runGuarded(Fn &&fn) noexcept
{
    try {
        std::forward<Fn>(fn)();
    } catch (...) {
        reportCurrentException();
    }
}

// A callable that runs the wrapped one guarded. Its call operator takes only
// the arguments the wrapped callable takes, so that connect() can drop the
// signal's extra arguments as it does for a plain lambda.
template <typename Fn>
class GuardedSlot
{
public:
    explicit GuardedSlot(Fn fn) : m_fn(std::move(fn)) {}

    template <typename... Args>
    auto operator()(Args &&...args) noexcept
        -> decltype(void(std::declval<Fn &>()(std::forward<Args>(args)...)))
    {
        runGuarded([&] { m_fn(std::forward<Args>(args)...); });
    }

private:
    Fn m_fn;
};

// Wraps a slot for connect(), a timer or a queued call.
template <typename Fn>
GuardedSlot<std::decay_t<Fn>> guarded(Fn &&fn)
{
    return GuardedSlot<std::decay_t<Fn>>(std::forward<Fn>(fn));
}
