#pragma once

#include "app/recentfiles.h"
#include "app/sessionfile.h"

#include <QString>

#include <functional>
#include <vector>

class IniFile;
class LogView;
class QDialog;
class QWidget;
struct Tab;

// The session the window has open, the folder its dialogs start in, and the
// recent files and recent sessions lists.
class Sessions final
{
public:
    const QString &current() const { return m_current; }
    void setCurrent(const QString &fileName) { m_current = fileName; }
    const QString &lastDir() const { return m_lastDir; }
    RecentFiles &recentFiles() { return m_recentFiles; }
    const RecentFiles &recentFiles() const { return m_recentFiles; }
    RecentSessions &recentSessions() { return m_recentSessions; }
    const RecentSessions &recentSessions() const { return m_recentSessions; }
    // The recent entries as the menus show them.
    QStringList shownRecentFiles() const;
    QStringList shownRecentSessions() const;

    // Writes tabs as the session fileName and makes it the current one.
    // False when the file could not be written (already reported); the
    // current session then stays as it was.
    bool save(const QString &fileName, const std::vector<Tab> &tabs, int active);
    // What a session keeps of a tab's matching-lines pane (nothing when closed).
    static SessionTab::Pane paneOf(LogView *view);
    // False when there is nothing to open (a beep or a message said why).
    static bool read(const QString &fileName, SessionData &session);
    // The open or save dialog of sessions, run by runDialog; empty when
    // cancelled. Remembers the folder chosen.
    QString chooseFile(QWidget *parent, bool save, const std::function<int(QDialog &)> &runDialog);

    void load(const IniFile &ini);
    // The paths a settings line cannot hold are left out and returned.
    QStringList saveRecentFiles(IniFile &ini) const;
    QStringList saveRest(IniFile &ini) const;

private:
    QString m_current;
    QString m_lastDir;
    RecentFiles m_recentFiles;
    RecentSessions m_recentSessions;
};
