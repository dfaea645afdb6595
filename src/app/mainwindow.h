#pragma once

#include "viewer/backgroundjobs.h"
#include "app/commandline.h"
#include "app/findsettings.h"
#include "app/sessions.h"
#include "app/tabset.h"
#include "app/windowactions.h"
#include "app/windowsettings.h"
#include "viewer/linedecoration.h"
#include "watch/uniquefd.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <array>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

class CommandProcess;
class Spool;
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
class QuickFind;
class MatchPane;
class FindDialog;
class FilterLogDialog;
class LogView;
class ViewPrinter;
class PrintProgress;
class RuleDecorator;
class SubstringsFilterDecorator;
class WrapTabBar;
struct GoToFound;
struct GoToTarget;
struct ViewFont;

// The main window: a tool bar, one tab per open file (each holding a viewer),
// a status bar and the menus. It owns the settings for the whole run, reads
// them when it is created and writes them when it is closed.
//
// It ties together parts that each own one thing: the tabs (TabSet), the
// actions and menus (CommandSet), the session and recent lists (Sessions)
// and the settings (WindowSettings). Its own code is split by what it does:
// construction, the refresh cycle and the start and close sequences
// (mainwindow.cpp), what the actions do (mainwindow_actions.cpp,
// mainwindow_commands.cpp), opening and closing tabs (mainwindow_tabs.cpp),
// sessions, settings, colour rules, search and print.
class MainWindow final : public QMainWindow
{
public:
    static constexpr int kMaxTabs = 300;
    static constexpr int kRecentItems = WindowActions::kRecentItems;
    static constexpr int kStatusPanels = 4;

    // settingsPath is opened for the whole run; the files of commandLine are
    // opened when the window is first shown.
    explicit MainWindow(const QString &settingsPath, const CommandLine &commandLine = {},
                        QWidget *parent = nullptr);
    ~MainWindow() override;
    MainWindow(const MainWindow &) = delete;
    MainWindow &operator=(const MainWindow &) = delete;

    // --- Tabs
    LogView *activeView() const;
    void openFileTab(const QString &fileName);
    // Files another start handed over, one message for all that fail.
    void openFiles(const QStringList &fileNames);
    // A tab over a stream (standard input, a pipe) spooled to the cache
    // folder as it comes; caption names it ("stdin").
    void openStreamTab(UniqueFd input, const QByteArray &caption);
    // Read into a tab once the window shows (from main).
    void setStandardInput(UniqueFd input) { m_standardInput = std::move(input); }
    // A tab over a command's standard output, run by /bin/sh -c; its errors
    // go to the status bar, its end is told there, and closing the tab ends it.
    void openCommandTab(const QString &command, const QByteArray &caption = {});
    // remember: Ctrl+Shift+T may open it again.
    void closeTab(int index, bool remember = true);
    void reopenClosedTab();
    void closeAllTabs();
    int tabCount() const { return m_tabs.count(); }
    // ContractError for an index outside 0..tabCount() - 1.
    Tab &tabAt(int index) { return m_tabs.at(index); }
    const Tab &tabAt(int index) const { return m_tabs.at(index); }
    // Asks for a new caption of tab index.
    void renameTab(int index);

    // --- The parts and what the window shows
    TabSet &tabs() { return m_tabs; }
    const TabSet &tabs() const { return m_tabs; }
    const Sessions &sessions() const { return m_sessions; }
    const WindowActions &acts() const { return m_commands->actions(); }
    QLabel *statusPanel(int index) const { return m_statusPanels[size_t(index)]; }
    // The line number of the active view's selection or top line.
    QLabel *linePanel() const { return m_linePanel; }
    // "following" while new lines come into view, else "paused".
    QLabel *followPanel() const { return m_followPanel; }
    // Brings the caption, the actions and the status bar up to date.
    void updateAll();
    // Reloads come in bursts: the status bar follows them on this timer.
    QTimer *refreshTimer() { return &m_refreshTimer; }
    // The work that runs beside the window for its tabs and dialogs.
    BackgroundJobs &jobs() { return m_jobs; }

    // --- Sessions
    // False when the file could not be written (already reported); the
    // current session then stays as it was.
    bool saveSession(const QString &fileName);
    void openSession(const QString &fileName);
    void closeSession();

    // The settings as values: an options dialog edits a copy, sets it and
    // runs applyOptions.
    const AppSettings &settings() const { return m_config.app(); }
    void setSettings(const AppSettings &settings);
    void applyOptions();
    // False when the settings file could not be written (already reported).
    bool saveSettings();
    // Closes as Exit does, without the question, saving the settings first:
    // the way out when the program is told to end (a signal, the desktop
    // session ending).
    void closeWithoutAsking();

    // The live colour rules and the sub-strings filter (mainwindow_rules.cpp).
    // Setting either puts it into effect and repaints every viewer.
    const RuleSettings &ruleSettings() const { return m_rules; }
    void setColorRules(const ColorRules &rules);
    void setSubstringsFilter(const SubstringsFilterValues &values);

    // The open dialog; replaceable so that tests never block on a real one.
    // Gets the folder to start in (empty: where it was last) and the filter
    // to show first, and returns the chosen files (none when cancelled).
    std::function<QStringList(const QString &startDir, const QString &filter)> chooseFileToOpen;
    // Runs every other modal dialog of the window (file dialogs of sessions,
    // options, tabs order, the caption prompt, about) and returns its
    // result; replaceable for the same reason.
    std::function<int(QDialog &)> execDialog;
    // Opens a page or document in the desktop's program; false on failure.
    std::function<bool(const QUrl &)> openUrl;

    // --- Search and go to next (mainwindow_search.cpp)
    void showFindDialog();
    void runFindNext(bool findPrevious);
    const FindState &findState() const { return m_find; }
    void setFind(const FindState &find) { m_find = find; }
    SearchProgressWindow *findProgress() const { return m_findProgress; }
    // The quick find bar of the active tab, opened and focused.
    void openQuickFind();
    // The quick find of view's tab; made on first use when create is set.
    QuickFind *quickFindOf(LogView *view, bool create = false);
    // The lines holding the bar's text, listed in a pane under the log
    // (less's "&", Alt+M in the bar).
    void listMatchingLines(LogView *view);
    MatchPane *matchPaneOf(LogView *view, bool create = false);
    void restorePane(LogView *view, const SessionTab::Pane &stored);
    GoToNextWindow *gotoWindow() const { return m_gotoWindow; }
    // The colour rules the find dialog and the go-to-next window offer.
    const ColorRules &colorRules() const;
    // Shows the find dialog modally and tells whether it was accepted;
    // replaceable so that tests never block on a real one.
    std::function<bool(FindDialog &dialog)> runFindDialog;
    // --- Go to (mainwindow_goto.cpp)
    // Goes, in the active tab, to the place typed: at once for a percentage
    // or an offset, after a job for a line or a time (goToRunning meanwhile).
    void goTo(const QString &typed);
    bool goToRunning() const { return m_goToBusy; }

    // The print, page setup and preview dialogs, replaceable for the same
    // reason; each returns whether the user went on.
    std::function<bool(QPrintDialog &dialog)> runPrintDialog;
    std::function<bool(QPageSetupDialog &dialog)> runPageSetupDialog;
    std::function<bool(QPrinter &printer,
                       const std::function<void(QPainter &canvas, const QSize &page)> &draw)>
        runPrintPreview;
    // The progress of a print run: pages so far and share done; false cancels.
    std::function<bool(int pages, double done)> runPrintProgress;
    // A print run goes on from the event loop after the command returned.
    bool printing() const { return m_printRun != nullptr; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static constexpr int kRefreshIntervalMs = 500;

    // --- Handlers wired by the window
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
    void goToTriggered();
    void goToPosition(LogView *view, qint64 position);
    void goToFound(LogView *view, const GoToTarget &target, const GoToFound &found);
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

    // mainwindow_actions.cpp
    void connectActions();
    void createStatusBar();
    void setTextEncodingOfView(Encoding encoding);
    void setUnicodeOfView(quint8 order);

    // mainwindow.cpp
    void redrawViews();
    void updateCaption();
    void updateActions();
    void updateStatusBar();
    void updateLinePanel();
    void markFollowing(const LogView *view);
    int runDialog(QDialog &dialog);
    QString chooseSessionFile(bool save);
    // Opens a tab and gives it the stored caption, when it opened and the
    // caption is neither empty nor the one its path gives. False when no tab
    // was created.
    bool openFileTabWithCaption(const QString &path, const QByteArray &caption);

    // mainwindow_tabs.cpp
    int activeIndex() const { return m_tabs.activeIndex(); }
    // The last search of the active tab; empty or 0 while none is open.
    QString getSRText() const;
    qint64 getSRPos() const;
    quint8 getSROptions() const;
    // Closes a tab as the user does from the tab bar or the tabs order
    // dialog: closing another tab leaves the shown one shown.
    void closeTabKeepShown(int index);
    void moveTab(int from, int to);
    void fillTabList(QListWidget *list) const;
    void configureNewView(LogView *view);
    LogView *addTab(Tab rec, const QString &toolTip);
    // The encoding the first bytes of a file opened the first time suggest.
    void detectEncoding(Tab &rec);
    Spool *addSpooledTab(UniqueFd input, Tab rec, const QString &toolTip);
    void openCommandTriggered();
    // A command a session or the last run showed: run only when the user says so.
    void runCommandAgain(const QString &command, const QByteArray &caption);
    // Tells of a command's errors and end; one that failed with no output
    // closes its tab and says so, what naming it in the message.
    void watchCommand(std::unique_ptr<CommandProcess> process, Spool *spool, const QString &name,
                      const QString &what);
    // A compressed log decompressed into a spooled tab; false when the file
    // is not compressed (nothing done).
    bool openCompressedTab(const QString &fileName, const QString &shownName);
    void openJournalTriggered();
    void applyEncoding(LogView *view, Encoding encoding);

    // mainwindow_sessions.cpp
    void addRecentSession(const QString &fileName);

    // mainwindow_settings.cpp
    void loadSettings();
    void reopenLastLogs();

    // mainwindow_rules.cpp
    void applyRuleSettings();
    LineDecorators ruleDecorators() const;
    // The open filter dialog, closed with the tab it was opened for.
    QPointer<FilterLogDialog> m_filterDialog;
    // mainwindow_search.cpp
    // Keeps the active tab's last match, so that "Find next" goes on after a reload.
    void saveSR(const QString &text, quint8 options, qint64 position);
    void runFindFirst();
    // Jumps to the next line of colour rule n (1 to 20) in the active tab.
    void gotoRule(int n);
    void refreshGotoButtons();
    // The printer of the print and page setup dialogs, kept for the run.
    QPrinter &printer();
    void createSearchWindows();
    void showGotoWindowAtStart();
    void storeGotoWindow();
    bool searchRunning() const;
    // The key that opens the quick find bar from the viewer.
    void installQuickFindKey(LogView *view);
    // Enter and Shift+Enter in the bar: the next or previous match.
    void quickFindStep(QuickFind *find, bool previous);
    // Starts one search of view under the progress window; then follows
    // once it is over.
    void runProgress(LogView *view, const QString &text, quint8 options, bool first, bool previous,
                     std::function<void(bool found)> then = {});
    FindState m_find;
    bool m_goToBusy = false;
    QString m_goToText; // what was typed last
    SearchProgressWindow *m_findProgress = nullptr;
    GoToNextWindow *m_gotoWindow = nullptr;

    // The parts the window ties together.
    WindowSettings m_config;
    TabSet m_tabs;
    Sessions m_sessions;
    CommandSet *m_commands = nullptr;
    // The names the search and print code know these by.
    AppSettings &m_settings = m_config.app();
    RuleSettings &m_rules = m_config.rules();
    std::vector<Tab> &m_recs = m_tabs.records();

    std::shared_ptr<RuleDecorator> m_ruleDecorator;
    std::shared_ptr<SubstringsFilterDecorator> m_filterDecorator;
    // Closing the tab of the viewer a print run works on: the run stops and
    // keeps the tab's widgets until it is over, then they go. False when no
    // run works on it.
    bool holdForPrint(const TabWidgets &widgets);
    void endPrint(const std::exception_ptr &error);
    std::shared_ptr<QPrinter> m_printer;     // shared: deletes a type this header leaves incomplete
    std::unique_ptr<ViewPrinter> m_printRun; // the run under way
    PrintProgress *m_printProgress = nullptr; // what drives it, from the event loop
    LogView *m_printView = nullptr;           // its viewer
    QWidget *m_printHeldSheet = nullptr;      // its closed tab's page, deleted after the run
    CommandLine m_commandLine;
    QTimer m_refreshTimer;
    bool m_shown = false;
    bool m_settingsSaved = false;
    bool m_closeUnasked = false;

    std::array<QLabel *, kStatusPanels> m_statusPanels{};
    QLabel *m_linePanel = nullptr;
    QLabel *m_followPanel = nullptr;
    UniqueFd m_standardInput;
    QString m_lastCommand;
    // Closed tabs, the last at the back, for Ctrl+Shift+T.
    struct ClosedTab
    {
        QString path;
        QString command;
        QByteArray caption;
    };
    std::vector<ClosedTab> m_closedTabs;
    void installTabKeys();
    // Set while a session opens: new tabs open behind the shown one, so
    // that only the tab finally shown is laid out and painted.
    bool m_openBehind = false;

    // Last, so that it stops and waits for its jobs before any member goes.
    BackgroundJobs m_jobs;
};
