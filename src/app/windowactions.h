#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;
class QToolBar;
class LogView;
struct Tab;

// The window's actions and the menu items that carry a handler of their own.
struct WindowActions
{
    static constexpr int kRecentItems = 10;

    QAction *fileOpen = nullptr;
    QAction *openCommand = nullptr;
    QAction *openJournal = nullptr;
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
    // The detector's next choices for the active tab, at the top of the
    // Encoding menu; hidden beyond their number.
    static constexpr int kCandidates = 4;
    std::array<QAction *, kCandidates> encodingCandidates{};
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
    QAction *goTo = nullptr;
    QAction *encodingSystem = nullptr;
    QAction *encodingDos = nullptr;
    QAction *encodingUtf8 = nullptr;
    QAction *encodingUtf16 = nullptr;
    QAction *encodingUtf16Be = nullptr;
    QAction *encodingMenu = nullptr;
    QAction *homepage = nullptr;
};

// Makes the actions, the menus and the tool bar of a main window, and keeps
// them enabled, checked and captioned for what is open. What an action does
// is connected by the window.
class CommandSet final : public QObject
{
    Q_OBJECT

public:
    // The actions become the window's, so that their shortcuts work whether
    // or not the menus are shown.
    explicit CommandSet(QMainWindow *window);

    const WindowActions &actions() const { return m_ac; }
    QToolBar *toolBar() const { return m_toolBar; }

    // What the actions follow: the active tab (null for none), whether any
    // tab is open, whether a session is, and the lengths of the recent lists.
    struct State
    {
        const Tab *active = nullptr;
        bool anyTab = false;
        bool session = false;
        bool recentFiles = false;
        bool recentSessions = false;
    };
    void update(const State &state);
    // The recent entries as they are shown, most recent first.
    void showRecentFiles(const QStringList &shownPaths);
    void showRecentSessions(const QStringList &shownPaths);

private:
    void createActions(QMainWindow *window);
    void createMenus(QMainWindow *window);
    void createToolBar(QMainWindow *window);
    void updateEncodingMarks(const LogView *view);
    void updateBookmarkCaptions(const Tab &active);

    WindowActions m_ac;
    QActionGroup *m_encodingGroup = nullptr;
    QMenu *m_recentMenu = nullptr;
    QAction *m_candidateSeparator = nullptr;
    QMenu *m_sessionRecentMenu = nullptr;
    QToolBar *m_toolBar = nullptr;
    std::array<QString, 3> m_goCaptions; // "Go to bookmark n" without suffix
};
