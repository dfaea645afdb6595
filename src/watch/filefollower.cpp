#include "watch/filefollower.h"

#include "watch/directorywatcher.h"
#include "watch/directorywatchthread.h"
#include "watch/pollingwatcher.h"
#include "text/fileutil.h"
#include "text/guard.h"

#include <QTimer>

FileFollower::FileFollower(QObject *parent)
    : QObject(parent), m_directory(std::make_unique<DirectoryWatcher>()),
      m_poller(std::make_unique<PollingWatcher>())
{
    m_directory->setOptions({foNotifyFilename, foNotifySize, foNotifyLastWrite});
    m_directory->onChanged = [this] { Q_EMIT changed(); };
    m_directory->onEnded = [this] { directoryWatchEnded(); };
    m_poller->onChanged = [this] { Q_EMIT changed(); };
}

FileFollower::~FileFollower()
{
    stop();
}

void FileFollower::stop()
{
    if (m_directory->active())
        m_directory->stop();
    m_poller->timer()->stop();
}

void FileFollower::watch(bool start, bool allowMissing)
{
    if (m_polling) {
        QTimer *timer = m_poller->timer();
        timer->stop();
        timer->setInterval(m_pollIntervalMs);
        m_poller->watchFile(m_fileName, allowMissing);
        if (start)
            timer->start();
    } else {
        if (m_directory->active())
            m_directory->stop();
        m_directory->setFileName(m_fileName);
        if (start)
            m_directory->start();
    }
}

void FileFollower::directoryWatchEnded()
{
    // Following must never stop silently.
    if (!m_enabled || m_polling || m_fileName.isEmpty())
        return;
    m_polling = true;
    // The file may have gone with its folder: its name is watched all the same.
    watch(true, true);
    catchUp();
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
    if (!m_polling && !m_directory->active()) {
        // Only polling can watch a name whose folder is gone.
        if (isFileOrDirExist(DirectoryWatchThread::folderOfFile(m_fileName)))
            watch();
        if (!m_directory->active())
            m_polling = true;
    }
    // A running poll or folder watch goes on: its snapshot already says the
    // file is missing, so its appearance is a change.
    if (m_polling && !(m_poller->timer()->isActive() && m_poller->fileName() == m_fileName))
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
