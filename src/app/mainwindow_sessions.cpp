// Sessions of tabs and the recent sessions list.
#include "app/mainwindow.h"

#include "app/matchpane.h"
#include "viewer/logview.h"

#include "app/inifile.h"
#include "app/messagebatch.h"
#include "app/shellmessages.h"
#include "text/fileutil.h"
#include "text/stringutil.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTabWidget>

namespace {

// Opening many tabs lets the window repaint at least this often.
constexpr qint64 kRepaintEveryMs = 50;

} // namespace

void MainWindow::restorePane(LogView *view, const SessionTab::Pane &stored)
{
    if (!view || stored.text.isEmpty())
        return;
    using Flag = SessionTab::Pane;
    const QuickMatcher::Pattern pattern{stored.text, bool(stored.flags & Flag::CaseSensitive),
                                        bool(stored.flags & Flag::WholeWords),
                                        bool(stored.flags & Flag::Regex)};
    MatchPane *pane = matchPaneOf(view, true);
    pane->setRatio(stored.perMille / 1000.0);
    pane->list({pattern, view->document().shownEncoding(), bool(stored.flags & Flag::Invert)});
}

bool MainWindow::openFileTabWithCaption(const QString &path, const QByteArray &caption)
{
    const int before = tabCount();
    openFileTab(path);
    if (tabCount() == before)
        return false;
    // Earlier versions stored every caption: one the path gives anyway is
    // not the user's and must not freeze the tab's look.
    Tab &rec = m_recs.back();
    if (!caption.isEmpty() && caption != TabSet::pathCaption(rec.fileName)) {
        rec.caption = caption;
        m_tabs.setCaption(tabCount() - 1, rec.caption, false);
    }
    return true;
}

bool MainWindow::saveSession(const QString &fileName)
{
    if (!m_sessions.save(fileName, m_recs, activeIndex()))
        return false;
    updateAll();
    return true;
}

void MainWindow::openSession(const QString &fileName)
{
    SessionData session;
    if (!Sessions::read(fileName, session))
        return;
    closeAllTabs();
    m_sessions.setCurrent(fileName);

    // One message for every entry that fails, not one box per entry, and
    // only once the session is shown.
    const MessageBatch messages(openFailuresHeading);
    QElapsedTimer sinceRepaint;
    sinceRepaint.start();
    qsizetype notOpened = 0;
    {
        m_openBehind = true;
        const auto restore = qScopeGuard([this] { m_openBehind = false; });
        for (const SessionTab &tab : session.tabs) {
            if (tabCount() >= kMaxTabs) {
                ++notOpened;
                continue;
            }
            if (!tab.command.isEmpty())
                runCommandAgain(tab.command, tab.caption);
            else if (openFileTabWithCaption(tab.path, tab.caption)) {
                Tab &rec = m_recs.back();
                // What the session showed wins over what a look at the bytes suggests.
                if (tab.encoding && rec.view->document().sourceAssigned() &&
                    Encoding::fromStoredCode(*tab.encoding) !=
                        rec.view->document().shownEncoding()) {
                    applyEncoding(rec.view, Encoding::fromStoredCode(*tab.encoding));
                    rec.encodingNote.clear();
                    rec.candidates.clear();
                }
                restorePane(rec.view, tab.pane);
            }
            if (sinceRepaint.elapsed() >= kRepaintEveryMs) {
                // The window repaints while a large session opens, and nothing
                // else runs: clicks, keys, timers and watchers wait until it
                // is open, so none of them meets a half-opened session.
                QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
                repaint();
                sinceRepaint.restart();
            }
        }
    }
    if (notOpened > 0)
        msgWarning(QStringLiteral("Too many files opened (%1): %2 more files of the session "
                                  "were not opened")
                       .arg(kMaxTabs)
                       .arg(notOpened));
    // A stored index that names no opened tab: the last one opened is shown.
    if (tabCount() > 0)
        m_tabs.pages()->setCurrentIndex(
            session.active >= 0 && session.active < tabCount() ? session.active : tabCount() - 1);
    m_tabs.focusActiveView();
    addRecentSession(fileName);
    updateAll();
}

void MainWindow::closeSession()
{
    closeAllTabs();
    m_sessions.setCurrent(QString());
    updateAll();
}

void MainWindow::addRecentSession(const QString &fileName)
{
    m_sessions.recentSessions().add(fileName);
}

QString MainWindow::chooseSessionFile(bool save)
{
    return m_sessions.chooseFile(this, save, [this](QDialog &dialog) { return runDialog(dialog); });
}

void MainWindow::openSessionTriggered()
{
    const QString chosen = chooseSessionFile(false);
    if (!chosen.isEmpty())
        openSession(chosen);
}

void MainWindow::recentSessionTriggered(int tag)
{
    if (tag < 0 || tag >= m_sessions.recentSessions().count())
        return;
    // A copy: opening moves the entry within the list.
    const QString path = m_sessions.recentSessions().items()[tag];
    openSession(path);
}

void MainWindow::clearRecentSessionsTriggered()
{
    m_sessions.recentSessions().clear();
    updateAll();
}

void MainWindow::saveSessionTriggered()
{
    if (!m_sessions.current().isEmpty())
        saveSession(m_sessions.current());
}

void MainWindow::saveSessionAsTriggered()
{
    if (tabCount() == 0) {
        QApplication::beep();
        return;
    }
    const QString chosen = chooseSessionFile(true);
    if (!chosen.isEmpty())
        saveSession(chosen);
}

void MainWindow::closeSessionTriggered()
{
    closeSession();
}
