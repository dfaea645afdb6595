#include "watch/filefollower.h"

#include "watch/pollingwatcher.h"
#include "text/fileutil.h"
#include "text/guard.h"

#include <QTimer>

FileFollower::FileFollower(QObject *parent)
    : QObject(parent), m_hub(FolderWatchHub::instance()),
      m_poller(std::make_unique<PollingWatcher>())
{
    m_poller->onChanged = [this] { Q_EMIT changed(); };
}

FileFollower::~FileFollower()
{
    stop();
}

void FileFollower::stop()
{
    unsubscribe();
    m_poller->timer()->stop();
}

void FileFollower::unsubscribe()
{
    if (m_subscription)
        m_hub->unsubscribe(std::exchange(m_subscription, 0));
    m_subscribedName.clear();
}

void FileFollower::watch(bool start, bool allowMissing)
{
    // A reload re-arms on every change: the folder watch simply goes on.
    if (start && !m_polling && m_subscription && m_subscribedName == m_fileName)
        return;
    stop();
    if (!start)
        return;
    if (!m_polling) {
        m_subscription = m_hub->subscribe(
            m_fileName, [this](FolderWatchHub::Report report) { hubReport(report); });
        if (m_subscription) {
            m_subscribedName = m_fileName;
            m_fellBack = false;
            return;
        }
        m_fellBack = true;
    }
    startPolling(allowMissing);
}

void FileFollower::startPolling(bool allowMissing)
{
    QTimer *timer = m_poller->timer();
    timer->stop();
    timer->setInterval(m_pollIntervalMs);
    m_poller->watchFile(m_fileName, allowMissing);
    timer->start();
}

void FileFollower::hubReport(FolderWatchHub::Report report)
{
    if (report == FolderWatchHub::Report::Changed)
        Q_EMIT changed();
    else
        directoryWatchEnded();
}

void FileFollower::directoryWatchEnded()
{
    unsubscribe();
    // Following must never stop silently.
    if (!m_enabled || m_polling || m_fileName.isEmpty())
        return;
    m_fellBack = true;
    // The file may have gone with its folder: its name is watched all the same.
    startPolling(true);
    catchUp();
    // What changed while the folder moved is looked at now.
    Q_EMIT changed();
}

void FileFollower::waitForFile()
{
    m_waiting = false;
    if (!m_fileName.isEmpty())
        startWaiting();
}

void FileFollower::startWaiting()
{
    m_waiting = true;
    if (!m_enabled)
        return; // nothing follows the file: a reload opens it
    // A running poll goes on: its snapshot already says the file is missing,
    // so its appearance is a change. A folder watch goes on too; where the
    // folder is gone only a poll can wait for the name.
    const bool polled = m_poller->timer()->isActive() && m_poller->fileName() == m_fileName;
    if (!polled)
        watch(true, true);
    catchUp();
}

void FileFollower::catchUp()
{
    // Back already, between the look that missed it and a new watch, whose
    // first snapshot then holds it: no change would ever be reported.
    if (m_waiting && isFileExist(m_fileName))
        QTimer::singleShot(0, this, guarded([this] {
                               if (m_waiting)
                                   Q_EMIT changed();
                           }));
}

void FileFollower::setEnabled(bool on)
{
    if (on == m_enabled)
        return;
    m_enabled = on;
    if (m_waiting) {
        stop();
        if (on)
            startWaiting();
    } else if (!m_fileName.isEmpty()) {
        watch(on);
    }
}
