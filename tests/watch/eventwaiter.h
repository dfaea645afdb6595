#pragma once

#include <QEventLoop>
#include <QTimer>

#include <functional>

// Counts events and runs the event loop until enough have arrived. The time
// limit only turns a missing event into a failure; nothing waits for it.
class EventWaiter final
{
public:
    std::function<void()> callback()
    {
        return [this] { fire(); };
    }
    void fire()
    {
        ++m_count;
        if (m_loop && m_count >= m_target)
            m_loop->quit();
    }
    int count() const { return m_count; }

    bool waitFor(int count, int limitMs = 5000)
    {
        if (m_count >= count)
            return true;
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(limitMs);
        m_target = count;
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
        return m_count >= count;
    }

private:
    int m_count = 0;
    int m_target = 0;
    QEventLoop *m_loop = nullptr;
};
