#include "watch/oldtimer.h"

#include "text/guard.h"

#include <QMetaObject>
#include <QString>
#include <QThread>
#include <QTimer>

#include <climits>

TOldTimer::TOldTimer() : m_timer(std::make_unique<QTimer>())
{
    // Coarse timers may fire up to 5 % early; the merge window is a minimum.
    m_timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), Guarded([this] { Tick(); }));
}

TOldTimer::~TOldTimer()
{
    m_enabled = false;
    // Destroying the QTimer also drops any restart still queued for it.
    m_timer.reset();
}

void TOldTimer::SetEnabled(bool value)
{
    bool expected = !value;
    if (!m_enabled.compare_exchange_strong(expected, value))
        return;
    if (QThread::currentThread() == m_timer->thread())
        Restart();
    else
        QMetaObject::invokeMethod(m_timer.get(), Guarded([this] { Restart(); }),
                                  Qt::QueuedConnection);
}

void TOldTimer::SetInterval(quint32 milliseconds)
{
    if (milliseconds == m_interval)
        return;
    m_interval = milliseconds;
    Restart();
}

void TOldTimer::SetOnTimer(std::function<void()> handler)
{
    m_onTimer = std::move(handler);
    Restart();
}

// Reads the current state rather than a passed one, so restarts queued from a
// worker in any order leave the timer as the last change asked.
void TOldTimer::Restart()
{
    m_timer->stop();
    if (m_enabled.load() && m_interval > 0 && m_onTimer)
        m_timer->start(int(qMin<quint32>(m_interval, INT_MAX)));
}

void TOldTimer::Tick()
{
    // A copy: the handler may replace OnTimer while it runs.
    const std::function<void()> handler = m_onTimer;
    if (!handler)
        return;
    RunGuarded(handler);
}
