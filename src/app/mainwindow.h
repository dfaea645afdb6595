#pragma once

#include "app/appsettings.h"
#include "app/backgroundjobs.h"
#include "app/commandline.h"
#include "app/findsettings.h"
#include "app/inifile.h"
#include "app/recentfiles.h"
#include "app/rulesettings.h"
#include "app/sessionfile.h"
#include "app/tab.h"
#include "viewer/linedecoration.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QActionGroup;
class QDialog;
class QListWidget;
class QUrl;
class QLabel;
class QMenu;
class QPageSetupDialog;
class QPainter;
class QPrintDialog;
class QPrinter;
class QStackedWidget;
class QTabWidget;
class QToolBar;
struct ColorRules;
class GoToNextWindow;
class SearchProgressWindow;
class FindDialog;
class FilterLogDialog;
class LogView;
class RuleDecorator;
class SubstringsFilterDecorator;
class WrapTabBar;
struct ViewFont;

// The main window: a tool bar, one tab per open file (each holding a viewer),
// a status bar and the menus. It owns the settings for the whole run, reads
// them when it is created and writes them when it is closed.
//
// The implementation is split by responsibility: construction, the refresh
// cycle and the start and close sequences (formview.cpp), actions, menus and
// the simple commands (formview_actions.cpp), tabs and opening files
// (formview_tabs.cpp), settings (formview_settings.cpp).
class MainWindow final : public QMainWindow
{
public:
    static constexpr int kMaxTabs = 300;
    static constexpr int kRecentItems = 10;
    static constexpr int kRefreshIntervalMs = 500;
    static constexpr int kStatusPanels = 4;

    // The actions and the menu items that carry a handler of their own.
    struct Actions
    {
        QAction *fileOpen = nullptr;
        QAction *fileClose = nullptr;
        QAction *fileReload = nullptr;
        QAction *clearRecentFiles = nullptr;
        QAction *filePrint = nullptr;
        QAction *filePageSetup = nullptr;
        QAction *clearLog = nullptr;
        QAction *fileExit = nullptr;
        QAction *copy = nullptr;
        QAction *selectAll = nullptr;
        QAction *find = nullptr;
        QAction *findNext = nullptr;
        QAction *findPrevious = nullptr;
        QAction *setBookmark1 = nullptr;
        QAction *setBookmark2 = nullptr;
        QAction *setBookmark3 = nullptr;
        QAction *goToBookmark1 = nullptr;
        QAction *goToBookmark2 = nullptr;
        QAction *goToBookmark3 = nullptr;
        QAction *clearBookmarks = nullptr;
        QAction *options = nullptr;
        QAction *colorsAndFilters = nullptr;
        QAction *followTail = nullptr;
        QAction *wordWrap = nullptr;
        QAction *helpContents = nullptr;
        QAction *about = nullptr;

        std::array<QAction *, kRecentItems> recentFiles{};
        QAction *closeAll = nullptr;
        QAction *setTabCaption = nullptr;
        QAction *setTabsOrder = nullptr;
        QAction *openSession = nullptr;
        std::array<QAction *, kRecentItems> recentSessions{};
        QAction *clearRecentSessions = nullptr;
        QAction *saveSession = nullptr;
        QAction *saveSessionAs = nullptr;
        QAction *closeSession = nullptr;
        QAction *filterLog = nullptr;
        QAction *goToNext = nullptr;
        QAction *encodingSystem = nullptr;
        QAction *encodingDos = nullptr;
        QAction *encodingUtf8 = nullptr;
        QAction *encodingUtf16 = nullptr;
        QAction *encodingUtf16Be = nullptr;
        QAction *encodingMenu = nullptr;
        QAction *homepage = nullptr;
    };

    // settingsPath is opened for the whole run; the files of commandLine are
    // opened when the window is first shown.
    explicit MainWindow(const QString &settingsPath, const CommandLine &commandLine = {},
                        QWidget *parent = nullptr);
    ~MainWindow() override;
    MainWindow(const MainWindow &) = delete;
    MainWindow &operator=(const MainWindow &) = delete;

    // --- Operations the other parts of the shell use
    LogView *activeView() const;
    void updateAll();
    void openFileTab(const QString &fileName);
    void closeTab(int index);
    void closeAllTabs();
    void redrawViews();
    QString getSRText() const;
    qint64 getSRPos() const;
    quint8 getSROptions() const;

    int tabCount() const { return int(m_recs.size()); }
    // ContractError for an index outside 0..RecCount() - 1.
    Tab &tabAt(int index);
    const Tab &tabAt(int index) const;
    const Actions &acts() const { return m_ac; }
    QTabWidget *pages() const { return m_pages; }
    WrapTabBar *tabBar() const { return m_tabBar; }
    QLabel *statusPanel(int index) const { return m_statusPanels[size_t(index)]; }
    QTimer *refreshTimer() { return &m_refreshTimer; }
    const RecentFiles &openHistory() const { return m_openHistory; }
    const RecentSessions &sessHistory() const { return m_sessHistory; }
    const QString &sessionFile() const { return m_sessionFile; }
    const QString &lastDir() const { return m_lastDir; }
    // The work that runs beside the window for its tabs and dialogs.
    BackgroundJobs &jobs() { return m_jobs; }

    // --- Sessions
    // False when the file could not be written (already reported); the
    // current session then stays as it was.
    bool saveSession(const QString &fileName);
    void openSession(const QString &fileName);
    void closeSession();
    void addRecentSession(const QString &fileName);

    // --- Tab captions and order
    void renameTab(int index);
    void moveTab(int from, int to);
    void fillTabList(QListWidget *list) const;
    // Closes a tab as the user does from the tab bar or the tabs order
    // dialog: closing another tab leaves the shown one shown.
    void closeTabKeepShown(int index);

    // The settings as values: an options dialog edits a copy, sets it and
    // runs ApplyOptions.
    const AppSettings &settings() const { return m_settings; }
    void setSettings(const AppSettings &settings);
    void applyOptions();
    void loadSettings();
    // False when the settings file could not be written (already reported).
    bool saveSettings();
    // Closes as Exit does, without the question, saving the settings first:
    // the way out when the program is told to end (a signal, the desktop
    // session ending).
    void closeWithoutAsking();

    // The live colour rules and the sub-strings filter (formview_rules.cpp).
    // Setting either puts it into effect and repaints every viewer.
    const RuleSettings &ruleSettings() const { return m_rules; }
    void setColorRules(const ColorRules &rules);
    void setSubstringsFilter(const SubstringsFilterValues &values);

    // The open dialog; replaceable so that tests never block on a real one.
    // Gets the folder to start in (empty: where it was last) and returns the
    // chosen file or an empty string.
    std::function<QString(const QString &startDir)> chooseFileToOpen;
    // Runs every other modal dialog of the window (file dialogs of sessions,
    // options, tabs order, the caption prompt, about) and returns its
    // result; replaceable for the same reason.
    std::function<int(QDialog &)> execDialog;
    // Opens a page or document in the desktop's program; false on failure.
    std::function<bool(const QUrl &)> openUrl;

    // --- Search and go to next (formview_search.cpp)
    // Keeps the active tab's last match, so that "Find next" goes on after a reload.
    void saveSR(const QString &text, quint8 options, qint64 position);
    void showFindDialog();
    void runFindFirst();
    void runFindNext(bool findPrevious);
    // Jumps to the next line of colour rule n (1 to 20) in the active tab.
    void gotoRule(int n);
    void refreshGotoButtons();
    const FindState &findState() const { return m_find; }
    void setFind(const FindState &find) { m_find = find; }
    SearchProgressWindow *findProgress() const { return m_findProgress; }
    GoToNextWindow *gotoWindow() const { return m_gotoWindow; }
    // The colour rules the find dialog and the go-to-next window offer.
    const ColorRules &colorRules() const;
    // Shows the find dialog modally and tells whether it was accepted;
    // replaceable so that tests never block on a real one.
    std::function<bool(FindDialog &dialog)> runFindDialog;
    // The print, page setup and preview dialogs, replaceable for the same
    // reason; each returns whether the user went on.
    std::function<bool(QPrintDialog &dialog)> runPrintDialog;
    std::function<bool(QPageSetupDialog &dialog)> runPageSetupDialog;
    std::function<bool(QPrinter &printer,
                       const std::function<void(QPainter &canvas, const QSize &page)> &draw)>
        runPrintPreview;
    // The progress of a print run: pages so far and share done; false cancels.
    std::function<bool(int pages, double done)> runPrintProgress;
    // The printer of the print and page setup dialogs, kept for the run.
    QPrinter &printer();

    // --- Handlers wired by the form
    void formShow();
    bool formCloseQuery();
    void formClose();
    void formDestroy();
    void currentTabChanged();
    void statusBarClicked(const QPoint &position);
    void refreshTimerTick();
    void viewFileReload(LogView *sender);
    void viewOptionsChanged();

    void fileOpenTriggered();
    void fileCloseTriggered();
    void closeAllTriggered();
    void fileReloadTriggered();
    void clearRecentFilesTriggered();
    void recentFileTriggered(int tag);
    void filePrintTriggered();
    void filePageSetupTriggered();
    void clearLogTriggered();
    void fileExitTriggered();
    void setTabCaptionTriggered();
    void setTabsOrderTriggered();
    void openSessionTriggered();
    void recentSessionTriggered(int tag);
    void clearRecentSessionsTriggered();
    void saveSessionTriggered();
    void saveSessionAsTriggered();
    void closeSessionTriggered();
    void copyTriggered();
    void selectAllTriggered();
    void filterLogTriggered();
    void findTriggered();
    void findNextTriggered();
    void findPreviousTriggered();
    void goToNextTriggered();
    void setBookmarkTriggered(int bookmark);
    void goToBookmarkTriggered(int bookmark);
    void clearBookmarksTriggered();
    void encodingSystemTriggered();
    void encodingDosTriggered();
    void encodingUtf8Triggered();
    void encodingUtf16Triggered();
    void encodingUtf16BeTriggered();
    void encodingMenuTriggered();
    void optionsTriggered();
    void colorsAndFiltersTriggered();
    void followTailTriggered();
    void wordWrapTriggered();
    void helpContentsTriggered();
    void homepageTriggered();
    void aboutTriggered();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // formview_actions.cpp
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void setTextEncodingOfView(Encoding encoding);
    void setUnicodeOfView(quint8 order);

    // formview.cpp
    void createCentralPanel();
    void updateCaption();
    void updateActions();
    void updateEncodingMarks(const LogView *view);
    void updateStatusBar();
    void updateRecentMenu();
    void updateSessionMenu();
    void updateBookmarkCaptions();
    int runDialog(QDialog &dialog);
    QString chooseSessionFile(bool save);
    // Opens a tab and gives it the stored caption, when it opened and the
    // caption is neither empty nor the one its path gives. False when no tab
    // was created.
    bool openFileTabWithCaption(const QString &path, const QByteArray &caption);

    // formview_tabs.cpp
    int activeIndex() const;
    void showPages(bool show);
    void focusActiveView();
    void configureNewView(LogView *view);
    void applyEncoding(LogView *view, Encoding encoding);
    void setTabCaption(int index, const QByteArray &caption, bool padShort);
    // The caption a tab gets from its path. Only a caption that differs was
    // chosen by the user; UserCaption is empty for any other, so that what is
    // stored is made again from the path when the tab is reopened.
    static QByteArray pathCaption(const QString &fileName);
    static QByteArray userCaption(const Tab &rec);

    // formview_settings.cpp
    ViewFont textFont() const;
    ViewFont gutterFont() const;
    void applyViewOptions(LogView *view);
    void restoreWindowPlace();
    void storeWindowPlace();
    // The paths a settings line cannot hold are left out and returned.
    QStringList saveOpenTabs();
    void reopenLastLogs();

    // formview_rules.cpp
    void applyRuleSettings();
    LineDecorators ruleDecorators() const;
    // The open filter dialog, closed with the tab it was opened for.
    QPointer<FilterLogDialog> m_filterDialog;
    // formview_search.cpp
    void createSearchWindows();
    void showGotoWindowAtStart();
    void storeGotoWindow();
    bool searchRunning() const;
    // Shows the progress window over one search of view.
    void runProgress(LogView *view, const QString &text, quint8 options, bool first, bool previous);
    FindState m_find;
    SearchProgressWindow *m_findProgress = nullptr;
    GoToNextWindow *m_gotoWindow = nullptr;

    AppSettings m_settings;
    RuleSettings m_rules;
    std::shared_ptr<RuleDecorator> m_ruleDecorator;
    std::shared_ptr<SubstringsFilterDecorator> m_filterDecorator;
    std::shared_ptr<QPrinter> m_printer; // shared: deletes a type this header leaves incomplete
    IniFile m_ini;
    CommandLine m_commandLine;
    RecentFiles m_openHistory;
    RecentSessions m_sessHistory;
    QString m_sessionFile;
    QString m_lastDir;
    std::vector<Tab> m_recs;
    QTimer m_refreshTimer;
    bool m_shown = false;
    bool m_settingsSaved = false;
    bool m_closeUnasked = false;

    Actions m_ac;
    QActionGroup *m_encodingGroup = nullptr;
    QMenu *m_recentMenu = nullptr;
    QMenu *m_sessionRecentMenu = nullptr;
    QToolBar *m_toolBar = nullptr;
    QStackedWidget *m_panel = nullptr; // "(File not opened)" or the tabs
    QLabel *m_panelCaption = nullptr;
    QTabWidget *m_pages = nullptr;
    WrapTabBar *m_tabBar = nullptr; // the bar of m_pages
    std::array<QLabel *, kStatusPanels> m_statusPanels{};
    std::array<QString, 3> m_goCaptions; // "Go to bookmark n" without suffix
    // Set while a session opens: new tabs open behind the shown one, so
    // that only the tab finally shown is laid out and painted.
    bool m_openBehind = false;

    // Last, so that it stops and waits for its jobs before any member goes.
    BackgroundJobs m_jobs;
};
