// Settings: reading and writing them in their fixed order, putting the
// options into effect, and the tabs of the last run.
#include "app/mainwindow.h"

#include "app/matchpane.h"

#include "app/shellmessages.h"
#include "app/wraptabbar.h"
#include "viewer/logview.h"
#include "text/guard.h"

#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>

void MainWindow::setSettings(const AppSettings &settings)
{
    m_settings = settings;
    boundAppSettings(m_settings);
}

void MainWindow::loadSettings()
{
    // Said once, as the window comes up; the exit then saves nothing.
    if (const QString problem = m_config.readProblem(); !problem.isEmpty())
        QTimer::singleShot(0, this, guarded([problem] { msgWarning(problem); }));
    // Every key's default is the value held now, so a missing key keeps it.
    m_config.load();
    applyRuleSettings();
    m_config.restoreWindowPlace(*this);
    m_sessions.load(m_config.ini());
    loadFindSettings(m_config.ini(), m_find);
}

bool MainWindow::saveSettings()
{
    IniFile &ini = m_config.ini();
    // A file that could not be read is left as it is; the start said so.
    if (ini.readFailed())
        return false;
    const QStringList tabsLeftOut = m_config.store(m_recs, *this);
    saveFindSettings(ini, m_find);
    QStringList leftOut = m_sessions.saveRecentFiles(ini) + tabsLeftOut;
    leftOut += m_sessions.saveRest(ini);
    leftOut.removeDuplicates();
    if (!leftOut.isEmpty())
        msgWarning(QStringLiteral("A path with a line break cannot be kept in the settings; "
                                  "it is left out of the recent files and the tabs to reopen:\n") +
                   leftOut.join(QLatin1Char('\n')));
    return ini.updateFile();
}

void MainWindow::closeWithoutAsking()
{
    m_closeUnasked = true;
    // Saved at once: the desktop may end the process before the close is done.
    if (!m_settingsSaved) {
        formClose();
        formDestroy();
    }
    for (const Tab &rec : m_recs)
        if (rec.view && rec.view->isSearchRunning())
            rec.view->cancelSearch();
    if (isVisible())
        close();
}

void MainWindow::reopenLastLogs()
{
    const QString current = m_config.lastSession();
    if (!current.isEmpty()) {
        openSession(current);
        return;
    }
    for (const SessionTab &tab : m_config.lastTabs(kMaxTabs)) {
        if (tab.command.isEmpty())
            openFileTabWithCaption(tab.path, tab.caption);
        else
            runCommandAgain(tab.command, tab.caption);
    }
}

void MainWindow::applyOptions()
{
    // What is saved is what the window and the viewers use.
    boundAppSettings(m_settings);
    m_tabs.tabBar()->setMultiRow(m_settings.mLine);
    for (const Tab &rec : m_recs) {
        if (!rec.view)
            continue;
        m_config.applyToView(rec.view);
        if (MatchPane *pane = MatchPane::of(rec.view)) {
            pane->setLimit(m_settings.paneLimit);
            m_config.applyToView(pane->view());
        }
    }
    m_tabs.pages()->setTabPosition(m_settings.tabs ? QTabWidget::South : QTabWidget::North);
    m_tabs.pages()->setDocumentMode(!m_settings.tabs);
    m_commands->toolBar()->setVisible(m_settings.tool);
    statusBar()->setVisible(m_settings.status);
    if (isFormOnTop(this) != m_settings.onTop)
        setFormOnTop(this, m_settings.onTop);
}
