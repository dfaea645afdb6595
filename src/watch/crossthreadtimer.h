#pragma once

#include <QtGlobal>

#include <atomic>
#include <functional>
#include <memory>

class QTimer;

// A repeating timer owned by the thread that creates it (the GUI thread).
// Enabled may also be set from a worker thread: the change is queued to the
// owning thread, so OnTimer always runs there. Enabling a timer that is
// already enabled changes nothing, which is what merges a burst of reports
// from the folder watcher into one tick.
//
// Interval and OnTimer belong to the owning thread. Whoever lets a worker set
// Enabled must stop that worker before destroying the timer.
class CrossThreadTimer final
{
public:
    CrossThreadTimer();
    ~CrossThreadTimer();
    CrossThreadTimer(const CrossThreadTimer &) = delete;
    CrossThreadTimer &operator=(const CrossThreadTimer &) = delete;

    bool enabled() const { return m_enabled.load(); }
    void setEnabled(bool value); // any thread

    quint32 interval() const { return m_interval; }
    void setInterval(quint32 milliseconds);

    const std::function<void()> &onTimer() const { return m_onTimer; }
    // Always restarts the timer, even when the same handler is set again.
    void setOnTimer(std::function<void()> handler);

private:
    void restart();
    void tick();

    std::atomic<bool> m_enabled{true};
    quint32 m_interval = 1000;
    std::function<void()> m_onTimer;
    std::unique_ptr<QTimer> m_timer;
};
