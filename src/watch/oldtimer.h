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
class TOldTimer final
{
public:
    TOldTimer();
    ~TOldTimer();
    TOldTimer(const TOldTimer &) = delete;
    TOldTimer &operator=(const TOldTimer &) = delete;

    bool Enabled() const { return m_enabled.load(); }
    void SetEnabled(bool value); // any thread

    quint32 Interval() const { return m_interval; }
    void SetInterval(quint32 milliseconds);

    const std::function<void()> &OnTimer() const { return m_onTimer; }
    // Always restarts the timer, even when the same handler is set again.
    void SetOnTimer(std::function<void()> handler);

private:
    void Restart();
    void Tick();

    std::atomic<bool> m_enabled{true};
    quint32 m_interval = 1000;
    std::function<void()> m_onTimer;
    std::unique_ptr<QTimer> m_timer;
};
