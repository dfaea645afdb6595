// Reopening the file when a watcher reports a change, and tail following.
#include "viewer/logview.h"

#include "watch/filefollower.h"
#include "watch/filewatcherror.h"
#include "text/fileutil.h"
#include "text/guard.h"

#include <QApplication>
#include <QTimer>

void LogView::waitForFile(const QString &fileName)
{
    m_follower->stop();
    closeSource();
    resetMouseState();
    m_fileName = fileName;
    m_follower->setFileName(fileName);
    m_follower->waitForFile();
    redraw();
}

void LogView::showSource(std::unique_ptr<FileSource> source, bool keepPosition)
{
    const qint64 oldViewPos = m_viewPos;
    const int oldHViewPos = m_hViewPos;
    const bool oldViewAtEnd = m_viewAtEnd;
    const qint64 oldSelStart = m_selStart;
    const qint64 oldSelLength = m_selLength;
    {
        const DrawBatch batch(*this);
        m_follower->stop();
        m_fileName.clear();
        m_follower->setFileName({});
        resetView();
        if (!keepPosition)
            resetMouseState();
        m_lineIndexer->clear();
        m_doc.openSource(std::move(source), true);
        if (keepPosition && m_doc.sourceAssigned()) {
            setSelection(oldSelStart, oldSelLength, false, false, false);
            if (oldViewAtEnd && m_followTail) {
                scrollToEnd();
            } else {
                scrollTo(oldViewPos);
                setHViewPos(oldHViewPos, true);
            }
        }
    }
    redraw();
}

void LogView::setAutoReload(bool value)
{
    m_follower->setEnabled(value);
}

void LogView::setPollForChanges(bool on)
{
    m_follower->setPolling(on);
}

void LogView::setPollInterval(int ms)
{
    m_follower->setPollInterval(ms);
}

void LogView::handleFileChange(const void *)
{
    if (m_selectingByMouse) {
        m_changeWhileSelecting = true; // taken when the button goes up
        return;
    }
    // A running job reads this source: the document holds the reload back
    // until it has returned.
    m_doc.setReloadsHeld(isSearchRunning());
    m_doc.reportChange();
}

void LogView::reloadChangedFile()
{
    if (m_busyCount == 0) {
        ++m_busyCount;
        try {
            {
                // The reopen moves the view more than once: draw the result only.
                const DrawBatch batch(*this);
                bool reopened = false;
                const bool waited = m_follower->waiting();
                if (isFileExist(m_fileName)) {
                    // The empty view showed its end: the new file is followed.
                    if (waited)
                        m_viewAtEnd = true;
                    try {
                        openSource(OpenKind::KeepPosition, true);
                        reopened = true;
                        if (waited)
                            m_doc.fileAppeared();
                    } catch (const FileWatchError &) {
                        // The file vanished between the check and the arming:
                        // handled below like a file found missing.
                    }
                }
                if (!reopened) {
                    // Gone (deleted, moved away, a folder now): the tab keeps
                    // the name and waits for a file to appear under it.
                    resetView();
                    m_doc.fileGone();
                    m_lineIndexer->clear();
                    m_follower->waitForFile();
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
    m_doc.setReloadsHeld(isSearchRunning());
}
