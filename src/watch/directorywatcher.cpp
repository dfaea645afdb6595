#include "watch/directorywatcher.h"

#include "watch/directorywatchthread.h"
#include "watch/crossthreadtimer.h"

#include "text/guard.h"
#include "text/messages.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>

#include <stdexcept>

namespace {

constexpr int pollStepMs = 40;
constexpr quint32 mergeIntervalMs = 100;

class HandshakeError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

void showError(const QString &text)
{
    showMessage(QStringLiteral("Error"), text, MsgIcon::Error);
}

} // namespace

DirectoryWatcher::DirectoryWatcher()
    : m_guiContext(std::make_unique<QObject>()), m_timer(std::make_unique<CrossThreadTimer>())
{
    m_timer->setEnabled(false);
    m_timer->setInterval(mergeIntervalMs);
    m_timer->setOnTimer([this] { timerTick(); });
}

DirectoryWatcher::~DirectoryWatcher()
{
    // Bounded: a worker stuck in a lookup must not hang closing a tab or the
    // program. The cut link keeps it away from this object and the timer.
    if (m_link)
        m_link->cut();
    DirectoryWatchThread::release(std::move(m_thread), releaseWaitMs);
    m_active = false;
}

void DirectoryWatcher::setDirectory(const QString &directory)
{
    if (directory == m_directory)
        return;
    m_directory = directory;
    m_fileName.clear();
}

void DirectoryWatcher::setFileName(const QString &fileName)
{
    if (fileName == m_fileName)
        return;
    m_directory.clear();
    m_fileName = fileName;
}

void DirectoryWatcher::setActive(bool value)
{
    if (value == active())
        return;
    if (value)
        start();
    else
        stop();
}

void DirectoryWatcher::start()
{
    bool failed = false;
    {
        const std::lock_guard lock(m_lock);
        try {
            if (!m_active) {
                // What is left of a watch that never became active.
                if (m_thread)
                    endThread();
                m_link = std::make_shared<WatchThreadLink>(this, m_timer.get(), ++m_generation);
                m_thread = std::make_unique<DirectoryWatchThread>(
                    m_link, quint32(m_options), m_subtree, m_directory, m_fileName, FileProbe);
                m_thread->start();
                waitForActive(true);
            }
        } catch (const std::exception &) {
            failed = true;
            // No events from a watch reported as failed, even one that comes up late.
            if (m_thread)
                endThread();
            m_active = false;
        }
    }
    // Outside the lock: a modal box runs the event loop, which may call Start or Stop.
    if (failed)
        showError(QStringLiteral("Exception while creating thread"));
}

void DirectoryWatcher::stop()
{
    bool failed = false;
    {
        const std::lock_guard lock(m_lock);
        try {
            if (m_active && m_thread) {
                const bool ended = endThread();
                m_active = false;
                if (!ended)
                    throw HandshakeError("File Notification system timed out at Start/Stop");
            }
        } catch (const std::exception &) {
            failed = true;
        }
    }
    if (failed)
        showError(QStringLiteral("Exception while terminating thread"));
}

// Signals the worker and joins it within the handshake limit. A worker still
// running then is let go to finish on its own, cut off from this object;
// false tells the caller it did not end in time.
bool DirectoryWatcher::endThread()
{
    m_thread->requestStop();
    const bool ended = m_thread->wait(QDeadlineTimer(m_handshakeTimeout));
    if (m_link)
        m_link->cut();
    m_link.reset();
    DirectoryWatchThread::release(std::move(m_thread), 0);
    return ended;
}

void DirectoryWatcher::postWorkerEnded(quint64 generation, bool reported)
{
    QMetaObject::invokeMethod(m_guiContext.get(), guarded([this, generation, reported] {
                                  workerEnded(generation, reported);
                              }),
                              Qt::QueuedConnection);
}

void DirectoryWatcher::workerEnded(quint64 generation, bool reported)
{
    {
        const std::lock_guard lock(m_lock);
        // A Stop or a newer Start came first: not the current watch.
        if (generation != m_generation || !m_thread)
            return;
        endThread();
        m_active = false;
    }
    if (onEnded)
        onEnded();
    if (!reported)
        showError(QStringLiteral("File notification ended: changes are no longer reported"));
}

void DirectoryWatcher::setActiveFromWorker(bool value)
{
    {
        const std::lock_guard lock(m_activeMutex);
        m_active = value;
    }
    m_activeChanged.notify_all();
}

void DirectoryWatcher::wakeWaiter()
{
    {
        const std::lock_guard lock(m_activeMutex);
    }
    m_activeChanged.notify_all();
}

void DirectoryWatcher::waitForActive(bool value)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (m_active == value)
            return;
        // A worker that could not set up its watch ends at once: no need to
        // sit out the whole limit.
        if (!m_thread->isRunning()) {
            if (m_active == value)
                return;
            throw HandshakeError("File Notification thread ended before watching");
        }
        if (clock.elapsed() >= m_handshakeTimeout)
            throw HandshakeError("File Notification system timed out at Start/Stop");
        // Sleeps one poll step, or less when the worker reports meanwhile.
        std::unique_lock lock(m_activeMutex);
        m_activeChanged.wait_for(lock, std::chrono::milliseconds(pollStepMs),
                                 [&] { return m_active == value || m_thread->isFinished(); });
    }
}

void DirectoryWatcher::timerTick()
{
    m_timer->setEnabled(false);
    if (onChanged)
        onChanged();
}

void DirectoryWatcher::postException(std::exception_ptr error)
{
    // Rethrown inside the guarded call, which hands it to the general report.
    QMetaObject::invokeMethod(m_guiContext.get(),
                              guarded([error] { std::rethrow_exception(error); }),
                              Qt::QueuedConnection);
}
