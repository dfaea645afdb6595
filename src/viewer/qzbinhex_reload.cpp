// Reopening the file when a watcher reports a change, and tail following.
#include "viewer/qzbinhex.h"

#include "watch/dirthread.h"
#include "watch/filewatcherror.h"
#include "watch/qzfilenotification.h"
#include "watch/qzfilenotificationsimple.h"
#include "text/fproc.h"
#include "text/guard.h"

#include <QApplication>
#include <QTimer>

void TQzBinHex::StopWatchers()
{
    if (m_notifier && m_notifier->Active())
        m_notifier->Stop();
    if (m_simpleNotifier)
        m_simpleNotifier->Timer()->stop();
}

void TQzBinHex::ArmWatcher(bool start, bool allowMissing)
{
    if (AutoReloadSimple) {
        QTimer *timer = m_simpleNotifier->Timer();
        timer->stop();
        timer->setInterval(AutoReloadSimpleTime);
        // Throws when the file is gone, unless it is waited for.
        m_simpleNotifier->WatchFile(m_fileName, allowMissing);
        if (start)
            timer->start();
    } else {
        if (m_notifier->Active())
            m_notifier->Stop();
        m_notifier->SetFileName(m_fileName);
        if (start)
            m_notifier->Start();
    }
}

void TQzBinHex::NotifierEnded()
{
    // Following must never stop silently.
    if (!m_autoReload || AutoReloadSimple || m_fileName.isEmpty())
        return;
    AutoReloadSimple = true;
    // The file may have gone with its folder: its name is watched all the same.
    ArmWatcher(true, true);
    CatchUp();
}

void TQzBinHex::WaitForFile(const QString &fileName)
{
    StopWatchers();
    CloseSource();
    ResetMouseState();
    m_fileName = fileName;
    m_lastReloadReason = TQzReloadReason::None;
    if (!m_fileName.isEmpty())
        StartWaiting();
    Redraw();
}

void TQzBinHex::StartWaiting()
{
    m_waitingForFile = true;
    if (!m_autoReload)
        return; // nothing follows the file: a reload opens it
    if (!AutoReloadSimple && !m_notifier->Active()) {
        // Only polling can watch a name whose folder is gone.
        if (IsFileOrDirExist(TDirThread::FolderOfFile(m_fileName)))
            ArmWatcher();
        if (!m_notifier->Active())
            AutoReloadSimple = true;
    }
    // A running poll or folder watch goes on: its snapshot already says the
    // file is missing, so its appearance is a change.
    if (AutoReloadSimple &&
        !(m_simpleNotifier->Timer()->isActive() && m_simpleNotifier->FileName() == m_fileName))
        ArmWatcher(true, true);
    CatchUp();
}

void TQzBinHex::CatchUp()
{
    // Back already, between the look that missed it and a new watch, whose
    // first snapshot then holds it: no change would ever be reported.
    if (m_waitingForFile && IsFileExist(m_fileName))
        QTimer::singleShot(0, this, Guarded([this] {
                               if (m_waitingForFile)
                                   HandleFileChange();
                           }));
}

void TQzBinHex::SetAutoReload(bool value)
{
    if (value == m_autoReload)
        return;
    m_autoReload = value;
    if (m_waitingForFile) {
        StopWatchers();
        if (value)
            StartWaiting();
    } else if (!m_fileName.isEmpty()) {
        ArmWatcher(value);
    }
}

void TQzBinHex::HandleFileChange(const void *)
{
    if (m_selectingByMouse)
        return;
    if (m_searchRunning) {
        // The running search reads this source: reopen once it has returned.
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
                if (IsFileExist(m_fileName)) {
                    // The empty view showed its end: the new file is followed.
                    if (waited)
                        m_viewAtEnd = true;
                    try {
                        OpenSource(OpenKind::KeepPosition, true);
                        reopened = true;
                        if (waited)
                            m_lastReloadReason = TQzReloadReason::Replaced;
                    } catch (const FileWatchError &) {
                        // The file vanished between the check and the arming:
                        // handled below like a file found missing.
                    }
                }
                if (!reopened) {
                    // Gone (deleted, moved away, a folder now): the tab keeps
                    // the name and waits for a file to appear under it.
                    CloseSource();
                    StartWaiting();
                    m_lastReloadReason = TQzReloadReason::Deleted;
                }
            }
            Redraw();
        } catch (...) {
            --m_busyCount;
            throw;
        }
        --m_busyCount;
        if (AutoReloadBeep)
            QApplication::beep();
    }
    if (OnFileReload)
        OnFileReload(this);
}

void TQzBinHex::SetSearchRunning(bool running)
{
    m_searchRunning = running;
    if (!running && m_reloadPending) {
        m_reloadPending = false;
        HandleFileChange(nullptr);
    }
}
