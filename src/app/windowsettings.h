#pragma once

#include "app/appsettings.h"
#include "app/inifile.h"
#include "app/rulesettings.h"
#include "app/sessionfile.h"

#include <QString>
#include <QStringList>

#include <vector>

class QWidget;
class LogView;
struct Tab;
struct ViewFont;
struct ViewOptions;

// The settings file of the run and the values the main window applies from
// it: the options, fonts and colours, the colour rules, the window's place
// and the tabs to reopen.
class WindowSettings final
{
public:
    explicit WindowSettings(const QString &path) : m_ini(path) {}

    IniFile &ini() { return m_ini; }
    const IniFile &ini() const { return m_ini; }
    AppSettings &app() { return m_app; }
    const AppSettings &app() const { return m_app; }
    RuleSettings &rules() { return m_rules; }

    // Takes the values from the file as read; a missing key keeps the value
    // held now.
    void load();
    // Why the file could not be read, as the user is told; empty when it was.
    QString readProblem() const;
    // Puts the values into the file, the tabs and the place of window
    // first; returns the tab paths a settings line cannot hold. The file is
    // written by the caller.
    QStringList store(const std::vector<Tab> &tabs, const QWidget &window);

    ViewFont textFont() const;
    ViewFont gutterFont() const;
    // options with the display settings put in.
    ViewOptions displayOptions(ViewOptions options) const;
    // Sets up a new viewer as the options say.
    void configureNewView(LogView *view) const;
    // Puts changed options into effect in an open viewer.
    void applyToView(LogView *view) const;
    void restoreWindowPlace(QWidget &window) const;

    // The session of the last run, or empty, and the tabs it had open
    // outside a session.
    QString lastSession() const;
    std::vector<SessionTab> lastTabs(int maxTabs) const;

private:
    // What a new viewer and one whose options changed both take.
    void applyDisplay(LogView *view, ViewOptions options) const;

    void storeWindowPlace(const QWidget &window);
    QStringList storeOpenTabs(const std::vector<Tab> &tabs);

    IniFile m_ini;
    AppSettings m_app;
    RuleSettings m_rules;
};
