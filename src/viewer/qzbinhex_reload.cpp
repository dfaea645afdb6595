// Reopening the file when a watcher reports a change, and tail following.
#include "viewer/qzbinhex.h"

#include "watch/filewatcherror.h"
#include "watch/qzfilenotification.h"
#include "watch/qzfilenotificationsimple.h"
#include "text/fproc.h"

#include <QApplication>
#include <QTimer>

void TQzBinHex::StopWatchers()
{
    if (m_notifier && m_notifier->Active())
        m_notifier->Stop();
    if (m_simpleNotifier)
        m_simpleNotifier->Timer()->stop();
}

void TQzBinHex::ArmWatcher(bool start)
{
    if (AutoReloadSimple) {
        QTimer *timer = m_simpleNotifier->Timer();
        timer->stop();
        timer->setInterval(AutoReloadSimpleTime);
        m_simpleNotifier->WatchFile(m_fileName); // throws when the file is gone
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
    try {
        ArmWatcher();
    } catch (const FileWatchError &) {
        // The file went with its folder; the change report that came with
        // the end of the watch empties the view.
    }
}

void TQzBinHex::SetAutoReload(bool value)
{
    if (value == m_autoReload)
        return;
    m_autoReload = value;
    if (!m_fileName.isEmpty())
        ArmWatcher(value);
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
                if (IsFileExist(m_fileName)) {
                    try {
                        OpenSource(OpenKind::KeepPosition, true);
                        reopened = true;
                    } catch (const FileWatchError &) {
                        // The file vanished between the check and the arming:
                        // handled below like a file found missing.
                    }
                }
                if (!reopened) {
                    m_fileName.clear();
                    OpenSource(OpenKind::Fresh);
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
