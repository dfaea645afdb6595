// Reopening the file when a watcher reports a change, and tail following.
#include "viewer/logview.h"

#include "watch/directorywatchthread.h"
#include "watch/filewatcherror.h"
#include "watch/directorywatcher.h"
#include "watch/pollingwatcher.h"
#include "text/fileutil.h"
#include "text/guard.h"

#include <QApplication>
#include <QTimer>

void LogView::stopWatchers()
{
    if (m_notifier && m_notifier->active())
        m_notifier->stop();
    if (m_simpleNotifier)
        m_simpleNotifier->timer()->stop();
}

void LogView::armWatcher(bool start, bool allowMissing)
{
    if (m_pollForChanges) {
        QTimer *timer = m_simpleNotifier->timer();
        timer->stop();
        timer->setInterval(m_pollIntervalMs);
        // Throws when the file is gone, unless it is waited for.
        m_simpleNotifier->watchFile(m_fileName, allowMissing);
        if (start)
            timer->start();
    } else {
        if (m_notifier->active())
            m_notifier->stop();
        m_notifier->setFileName(m_fileName);
        if (start)
            m_notifier->start();
    }
}

void LogView::notifierEnded()
{
    // Following must never stop silently.
    if (!m_autoReload || m_pollForChanges || m_fileName.isEmpty())
        return;
    m_pollForChanges = true;
    // The file may have gone with its folder: its name is watched all the same.
    armWatcher(true, true);
    catchUp();
}

void LogView::waitForFile(const QString &fileName)
{
    stopWatchers();
    closeSource();
    resetMouseState();
    m_fileName = fileName;
    m_lastReloadReason = ReloadReason::None;
    if (!m_fileName.isEmpty())
        startWaiting();
    redraw();
}

void LogView::startWaiting()
{
    m_waitingForFile = true;
    if (!m_autoReload)
        return; // nothing follows the file: a reload opens it
    if (!m_pollForChanges && !m_notifier->active()) {
        // Only polling can watch a name whose folder is gone.
        if (isFileOrDirExist(DirectoryWatchThread::folderOfFile(m_fileName)))
            armWatcher();
        if (!m_notifier->active())
            m_pollForChanges = true;
    }
    // A running poll or folder watch goes on: its snapshot already says the
    // file is missing, so its appearance is a change.
    if (m_pollForChanges &&
        !(m_simpleNotifier->timer()->isActive() && m_simpleNotifier->fileName() == m_fileName))
        armWatcher(true, true);
    catchUp();
}

void LogView::catchUp()
{
    // Back already, between the look that missed it and a new watch, whose
    // first snapshot then holds it: no change would ever be reported.
    if (m_waitingForFile && isFileExist(m_fileName))
        QTimer::singleShot(0, this, guarded([this] {
                               if (m_waitingForFile)
                                   handleFileChange();
                           }));
}

void LogView::setAutoReload(bool value)
{
    if (value == m_autoReload)
        return;
    m_autoReload = value;
    if (m_waitingForFile) {
        stopWatchers();
        if (value)
            startWaiting();
    } else if (!m_fileName.isEmpty()) {
        armWatcher(value);
    }
}

void LogView::handleFileChange(const void *)
{
    if (m_selectingByMouse)
        return;
    if (isSearchRunning()) {
        // A running job reads this source: reopen once it has returned.
        m_reloadPending = true;
        return;
    }
    if (m_busyCount == 0) {
        ++m_busyCount;
        try {
            {
                // The reopen moves the view more than once: draw the result only.
                const DrawBatch batch(*this);
                bool reopened = false;
                const bool waited = m_waitingForFile;
                if (isFileExist(m_fileName)) {
                    // The empty view showed its end: the new file is followed.
                    if (waited)
                        m_viewAtEnd = true;
                    try {
                        openSource(OpenKind::KeepPosition, true);
                        reopened = true;
                        if (waited)
                            m_lastReloadReason = ReloadReason::Replaced;
                    } catch (const FileWatchError &) {
                        // The file vanished between the check and the arming:
                        // handled below like a file found missing.
                    }
                }
                if (!reopened) {
                    // Gone (deleted, moved away, a folder now): the tab keeps
                    // the name and waits for a file to appear under it.
                    closeSource();
                    startWaiting();
                    m_lastReloadReason = ReloadReason::Deleted;
                }
            }
            redraw();
        } catch (...) {
            --m_busyCount;
            throw;
        }
        --m_busyCount;
        if (m_reloadBeep)
            QApplication::beep();
    }
    Q_EMIT fileReloaded();
}

void LogView::setSearchRunning(bool running)
{
    m_searchRunning = running;
    reloadIfDue();
}

void LogView::reloadIfDue()
{
    if (!isSearchRunning() && m_reloadPending) {
        m_reloadPending = false;
        handleFileChange(nullptr);
    }
}
