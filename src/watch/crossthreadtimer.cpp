#include "watch/crossthreadtimer.h"

#include "text/guard.h"

#include <QMetaObject>
#include <QString>
#include <QThread>
#include <QTimer>

#include <climits>

CrossThreadTimer::CrossThreadTimer() : m_timer(std::make_unique<QTimer>())
{
    // Coarse timers may fire up to 5 % early; the merge window is a minimum.
    m_timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), guarded([this] { tick(); }));
}

CrossThreadTimer::~CrossThreadTimer()
{
    m_enabled = false;
    // Destroying the QTimer also drops any restart still queued for it.
    m_timer.reset();
}

void CrossThreadTimer::setEnabled(bool value)
{
    bool expected = !value;
    if (!m_enabled.compare_exchange_strong(expected, value))
        return;
    if (QThread::currentThread() == m_timer->thread())
        restart();
    else
        QMetaObject::invokeMethod(m_timer.get(), guarded([this] { restart(); }),
                                  Qt::QueuedConnection);
}

void CrossThreadTimer::setInterval(quint32 milliseconds)
{
    if (milliseconds == m_interval)
        return;
    m_interval = milliseconds;
    restart();
}

void CrossThreadTimer::setOnTimer(std::function<void()> handler)
{
    m_onTimer = std::move(handler);
    restart();
}

// Reads the current state rather than a passed one, so restarts queued from a
// worker in any order leave the timer as the last change asked.
void CrossThreadTimer::restart()
{
    m_timer->stop();
    if (m_enabled.load() && m_interval > 0 && m_onTimer)
        m_timer->start(int(qMin<quint32>(m_interval, INT_MAX)));
}

void CrossThreadTimer::tick()
{
    // A copy: the handler may replace OnTimer while it runs.
    const std::function<void()> handler = m_onTimer;
    if (!handler)
        return;
    runGuarded(handler);
}
