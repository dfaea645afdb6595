// Sessions of tabs and the recent sessions list.
#include "app/mainwindow.h"

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

const QString kSessionFilter = QStringLiteral("Sessions (*.ravelin-session)");
const QString kSessionSuffix = QStringLiteral("ravelin-session");
// Opening many tabs lets the window repaint at least this often.
constexpr qint64 kRepaintEveryMs = 50;

} // namespace

bool MainWindow::openFileTabWithCaption(const QString &path, const QByteArray &caption)
{
    const int before = tabCount();
    openFileTab(path);
    if (tabCount() == before)
        return false;
    // Earlier versions stored every caption: one the path gives anyway is
    // not the user's and must not freeze the tab's look.
    Tab &rec = m_recs.back();
    if (!caption.isEmpty() && caption != pathCaption(rec.fileName)) {
        rec.caption = caption;
        setTabCaption(tabCount() - 1, rec.caption, false);
    }
    return true;
}

bool MainWindow::saveSession(const QString &fileName)
{
    std::vector<SessionTab> tabs;
    tabs.reserve(m_recs.size());
    for (const Tab &rec : m_recs)
        tabs.push_back({rec.fileName, userCaption(rec)});
    IniFile ini(fileName);
    // An unreadable file is reported by UpdateFile and left as it is.
    ini.load();
    const QStringList leftOut = writeSession(ini, tabs, activeIndex());
    if (!ini.updateFile())
        return false;
    if (!leftOut.isEmpty())
        msgWarning(QStringLiteral("A path with a line break cannot be kept in a session; "
                                  "it is left out:\n") +
                   leftOut.join(QLatin1Char('\n')));
    m_sessionFile = fileName;
    addRecentSession(fileName);
    updateAll();
    return true;
}

void MainWindow::openSession(const QString &fileName)
{
    bool isFolder = false;
    if (!isFileOrDirExist(fileName, &isFolder)) {
        QApplication::beep();
        return;
    }
    IniFile ini(fileName);
    if (isFolder || !ini.load()) {
        msgError(formatStrW(QStringLiteral("Cannot read session file: \"%s\""),
                            {displayFileName(fileName)}) +
                 QStringLiteral("\n") +
                 (isFolder ? QStringLiteral("It is a folder") : ini.lastError()));
        return;
    }
    const SessionData session = readSession(ini);
    closeAllTabs();
    m_sessionFile = fileName;

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
            openFileTabWithCaption(tab.path, tab.caption);
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
        m_pages->setCurrentIndex(
            session.active >= 0 && session.active < tabCount() ? session.active : tabCount() - 1);
    focusActiveView();
    addRecentSession(fileName);
    updateAll();
}

void MainWindow::closeSession()
{
    closeAllTabs();
    m_sessionFile.clear();
    updateAll();
}

void MainWindow::addRecentSession(const QString &fileName)
{
    m_sessHistory.add(fileName);
}

QString MainWindow::chooseSessionFile(bool save)
{
    QFileDialog dialog(this, save ? QStringLiteral("Save session") : QStringLiteral("Open session"),
                       m_lastDir);
    dialog.setNameFilter(kSessionFilter);
    dialog.setDefaultSuffix(kSessionSuffix);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (runDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString chosen = fileNameFromDisplayed(dialog.selectedFiles().constFirst());
    m_lastDir = QFileInfo(chosen).absolutePath();
    return chosen;
}

void MainWindow::openSessionTriggered()
{
    const QString chosen = chooseSessionFile(false);
    if (!chosen.isEmpty())
        openSession(chosen);
}

void MainWindow::recentSessionTriggered(int tag)
{
    if (tag < 0 || tag >= m_sessHistory.count())
        return;
    // A copy: opening moves the entry within the list.
    const QString path = m_sessHistory.items()[tag];
    openSession(path);
}

void MainWindow::clearRecentSessionsTriggered()
{
    m_sessHistory.clear();
    updateAll();
}

void MainWindow::saveSessionTriggered()
{
    if (!m_sessionFile.isEmpty())
        saveSession(m_sessionFile);
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
