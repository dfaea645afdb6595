#include "watch/qzfilenotification.h"

#include "watch/dirthread.h"
#include "watch/oldtimer.h"

#include "text/guard.h"
#include "text/messages.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>

#include <stdexcept>

namespace {

constexpr int PollStepMs = 40;
constexpr quint32 MergeIntervalMs = 100;

class HandshakeError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

void ShowError(const QString &text)
{
    ShowMessage(QStringLiteral("Error"), text, MsgIcon::Error);
}

} // namespace

TQzFileNotification::TQzFileNotification()
    : m_guiContext(std::make_unique<QObject>()), m_timer(std::make_unique<TOldTimer>())
{
    m_timer->SetEnabled(false);
    m_timer->SetInterval(MergeIntervalMs);
    m_timer->SetOnTimer([this] { TimerTick(); });
}

TQzFileNotification::~TQzFileNotification()
{
    // Bounded: a worker stuck in a lookup must not hang closing a tab or the
    // program. The cut link keeps it away from this object and the timer.
    if (m_link)
        m_link->Cut();
    TDirThread::Release(std::move(m_thread), ReleaseWaitMs);
    m_active = false;
}

void TQzFileNotification::SetDirectory(const QString &directory)
{
    if (directory == m_directory)
        return;
    m_directory = directory;
    m_fileName.clear();
}

void TQzFileNotification::SetFileName(const QString &fileName)
{
    if (fileName == m_fileName)
        return;
    m_directory.clear();
    m_fileName = fileName;
}

void TQzFileNotification::SetActive(bool value)
{
    if (value == Active())
        return;
    if (value)
        Start();
    else
        Stop();
}

void TQzFileNotification::Start()
{
    bool failed = false;
    {
        const std::lock_guard lock(m_lock);
        try {
            if (!m_active) {
                // What is left of a watch that never became active.
                if (m_thread)
                    EndThread();
                m_link = std::make_shared<TDirThreadLink>(this, m_timer.get(), ++m_generation);
                m_thread = std::make_unique<TDirThread>(m_link, quint32(m_options), m_subtree,
                                                        m_directory, m_fileName, FileProbe);
                m_thread->start();
                WaitForActive(true);
            }
        } catch (const std::exception &) {
            failed = true;
            // No events from a watch reported as failed, even one that comes up late.
            if (m_thread)
                EndThread();
            m_active = false;
        }
    }
    // Outside the lock: a modal box runs the event loop, which may call Start or Stop.
    if (failed)
        ShowError(QStringLiteral("Exception while creating thread"));
}

void TQzFileNotification::Stop()
{
    bool failed = false;
    {
        const std::lock_guard lock(m_lock);
        try {
            if (m_active && m_thread) {
                const bool ended = EndThread();
                m_active = false;
                if (!ended)
                    throw HandshakeError("File Notification system timed out at Start/Stop");
            }
        } catch (const std::exception &) {
            failed = true;
        }
    }
    if (failed)
        ShowError(QStringLiteral("Exception while terminating thread"));
}

// Signals the worker and joins it within the handshake limit. A worker still
// running then is let go to finish on its own, cut off from this object;
// false tells the caller it did not end in time.
bool TQzFileNotification::EndThread()
{
    m_thread->RequestStop();
    const bool ended = m_thread->wait(QDeadlineTimer(m_handshakeTimeout));
    if (m_link)
        m_link->Cut();
    m_link.reset();
    TDirThread::Release(std::move(m_thread), 0);
    return ended;
}

void TQzFileNotification::PostWorkerEnded(quint64 generation, bool reported)
{
    QMetaObject::invokeMethod(m_guiContext.get(), Guarded([this, generation, reported] {
                                  WorkerEnded(generation, reported);
                              }),
                              Qt::QueuedConnection);
}

void TQzFileNotification::WorkerEnded(quint64 generation, bool reported)
{
    {
        const std::lock_guard lock(m_lock);
        // A Stop or a newer Start came first: not the current watch.
        if (generation != m_generation || !m_thread)
            return;
        EndThread();
        m_active = false;
    }
    if (OnEnded)
        OnEnded();
    if (!reported)
        ShowError(QStringLiteral("File notification ended: changes are no longer reported"));
}

void TQzFileNotification::SetActiveFromWorker(bool value)
{
    {
        const std::lock_guard lock(m_activeMutex);
        m_active = value;
    }
    m_activeChanged.notify_all();
}

void TQzFileNotification::WakeWaiter()
{
    {
        const std::lock_guard lock(m_activeMutex);
    }
    m_activeChanged.notify_all();
}

void TQzFileNotification::WaitForActive(bool value)
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
        m_activeChanged.wait_for(lock, std::chrono::milliseconds(PollStepMs),
                                 [&] { return m_active == value || m_thread->isFinished(); });
    }
}

void TQzFileNotification::TimerTick()
{
    m_timer->SetEnabled(false);
    if (OnChanged)
        OnChanged();
}

void TQzFileNotification::PostException(std::exception_ptr error)
{
    // Rethrown inside the guarded call, which hands it to the general report.
    QMetaObject::invokeMethod(m_guiContext.get(),
                              Guarded([error] { std::rethrow_exception(error); }),
                              Qt::QueuedConnection);
}
