#pragma once

#include "app/appsettings.h"
#include "app/commandline.h"
#include "app/findsettings.h"
#include "app/inifile.h"
#include "app/recentfiles.h"
#include "app/rulesettings.h"
#include "app/sessionfile.h"
#include "app/trec.h"
#include "viewer/linedecoration.h"

#include <QMainWindow>
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
struct TColorRec;
class TFormGotoRegex;
class TFormViewFindProgress;
class TFormViewFindText;
class TQzBinHex;
class TRuleDecorator;
class TSubstringsFilterDecorator;
class TWrapTabBar;
struct TQzFont;

// The main window: a tool bar, one tab per open file (each holding a viewer),
// a status bar and the menus. It owns the settings for the whole run, reads
// them when it is created and writes them when it is closed.
//
// The implementation is split by responsibility: construction, the refresh
// cycle and the start and close sequences (formview.cpp), actions, menus and
// the simple commands (formview_actions.cpp), tabs and opening files
// (formview_tabs.cpp), settings (formview_settings.cpp).
class TFormView final : public QMainWindow
{
public:
    static constexpr int kMaxTabs = 300;
    static constexpr int kRecentItems = 10;
    static constexpr int kRefreshIntervalMs = 500;
    static constexpr int kStatusPanels = 4;

    // The actions and the menu items that carry a handler of their own.
    struct Actions
    {
        QAction *acFileOpen = nullptr;
        QAction *acFileClose = nullptr;
        QAction *acFileReload = nullptr;
        QAction *acFileRecClear = nullptr;
        QAction *acFilePrint = nullptr;
        QAction *acFilePageSetup = nullptr;
        QAction *acFileClear = nullptr;
        QAction *acFileExit = nullptr;
        QAction *acEditCopy = nullptr;
        QAction *acEditSelectAll = nullptr;
        QAction *acEditFind = nullptr;
        QAction *acEditFindNext = nullptr;
        QAction *acEditFindPrev = nullptr;
        QAction *acGotoSet1 = nullptr;
        QAction *acGotoSet2 = nullptr;
        QAction *acGotoSet3 = nullptr;
        QAction *acGotoGo1 = nullptr;
        QAction *acGotoGo2 = nullptr;
        QAction *acGotoGo3 = nullptr;
        QAction *acGotoClear = nullptr;
        QAction *acOptDialog = nullptr;
        QAction *acOptColors = nullptr;
        QAction *acOptTail = nullptr;
        QAction *acOptWrap = nullptr;
        QAction *acHelpContents = nullptr;
        QAction *acHelpAbout = nullptr;

        std::array<QAction *, kRecentItems> mnuRec{};
        QAction *Closeall1 = nullptr;
        QAction *mnuTabCap = nullptr;
        QAction *mnuTabOrd = nullptr;
        QAction *mnuSessOpen = nullptr;
        std::array<QAction *, kRecentItems> mnuSess{};
        QAction *mnuSessRecentClear = nullptr;
        QAction *mnuSessSave = nullptr;
        QAction *mnuSessSaveAs = nullptr;
        QAction *mnuSessClose = nullptr;
        QAction *mnuEdFilter = nullptr;
        QAction *mnuSrGoto = nullptr;
        QAction *mnuEncANSI = nullptr;
        QAction *mnuEncOEM = nullptr;
        QAction *mnuEncUTF8 = nullptr;
        QAction *mnuEncUTF16 = nullptr;
        QAction *mnuEncUTF16BE = nullptr;
        QAction *mnuEncMenu = nullptr;
        QAction *Homepage1 = nullptr;
    };

    // settingsPath is opened for the whole run; the files of commandLine are
    // opened when the window is first shown.
    explicit TFormView(const QString &settingsPath, const CommandLine &commandLine = {},
                       QWidget *parent = nullptr);
    ~TFormView() override;
    TFormView(const TFormView &) = delete;
    TFormView &operator=(const TFormView &) = delete;

    // --- Operations the other parts of the shell use
    TQzBinHex *ActiveView() const;
    void UpdateAll();
    void OpenFileTab(const QString &fileName);
    void CloseTab(int index);
    void CloseAllTabs();
    void RedrawViews();
    QString GetSRText() const;
    qint64 GetSRPos() const;
    quint8 GetSROptions() const;

    int RecCount() const { return int(m_recs.size()); }
    // ContractError for an index outside 0..RecCount() - 1.
    TRec &Rec(int index);
    const TRec &Rec(int index) const;
    const Actions &Acts() const { return m_ac; }
    QTabWidget *Pages() const { return m_pages; }
    TWrapTabBar *TabBar() const { return m_tabBar; }
    QLabel *StatusPanel(int index) const { return m_statusPanels[size_t(index)]; }
    QTimer *RefreshTimer() { return &m_refreshTimer; }
    const RecentFiles &OpenHistory() const { return m_openHistory; }
    const RecentSessions &SessHistory() const { return m_sessHistory; }
    const QString &SessionFile() const { return m_sessionFile; }
    const QString &LastDir() const { return m_lastDir; }

    // --- Sessions
    // False when the file could not be written (already reported); the
    // current session then stays as it was.
    bool SaveSession(const QString &fileName);
    void OpenSession(const QString &fileName);
    void CloseSession();
    void AddRecentSession(const QString &fileName);

    // --- Tab captions and order
    void RenameTab(int index);
    void MoveTab(int from, int to);
    void FillTabList(QListWidget *list) const;
    // Closes a tab as the user does from the tab bar or the tabs order
    // dialog: closing another tab leaves the shown one shown.
    void CloseTabKeepShown(int index);

    // The settings as values: an options dialog edits a copy, sets it and
    // runs ApplyOptions.
    const AppSettings &Settings() const { return m_settings; }
    void SetSettings(const AppSettings &settings);
    void ApplyOptions();
    void LoadSettings();
    // False when the settings file could not be written (already reported).
    bool SaveSettings();
    // Closes as Exit does, without the question, saving the settings first:
    // the way out when the program is told to end (a signal, the desktop
    // session ending).
    void CloseWithoutAsking();

    // The live colour rules and the sub-strings filter (formview_rules.cpp).
    // Setting either puts it into effect and repaints every viewer.
    const TRuleSettings &RuleSettings() const { return m_rules; }
    void SetColorRules(const TColorRec &rules);
    void SetSubstringsFilter(const TSubstringsFilterValues &values);

    // The open dialog; replaceable so that tests never block on a real one.
    // Gets the folder to start in (empty: where it was last) and returns the
    // chosen file or an empty string.
    std::function<QString(const QString &startDir)> ChooseFileToOpen;
    // Runs every other modal dialog of the window (file dialogs of sessions,
    // options, tabs order, the caption prompt, about) and returns its
    // result; replaceable for the same reason.
    std::function<int(QDialog &)> ExecDialog;
    // Opens a page or document in the desktop's program; false on failure.
    std::function<bool(const QUrl &)> OpenUrl;

    // --- Search and go to next (formview_search.cpp)
    // Keeps the active tab's last match, so that "Find next" goes on after a reload.
    void SaveSR(const QString &text, quint8 options, qint64 position);
    void ShowFindDialog();
    void RunFindFirst();
    void RunFindNext(bool findPrevious);
    // Jumps to the next line of colour rule n (1 to 20) in the active tab.
    void GotoRule(int n);
    void RefreshGotoButtons();
    const FindState &Find() const { return m_find; }
    void SetFind(const FindState &find) { m_find = find; }
    TFormViewFindProgress *FindProgress() const { return m_findProgress; }
    TFormGotoRegex *GotoWindow() const { return m_gotoWindow; }
    // The colour rules the find dialog and the go-to-next window offer.
    const TColorRec &ColorRules() const;
    // Shows the find dialog modally and tells whether it was accepted;
    // replaceable so that tests never block on a real one.
    std::function<bool(TFormViewFindText &dialog)> RunFindDialog;
    // The print, page setup and preview dialogs, replaceable for the same
    // reason; each returns whether the user went on.
    std::function<bool(QPrintDialog &dialog)> RunPrintDialog;
    std::function<bool(QPageSetupDialog &dialog)> RunPageSetupDialog;
    std::function<bool(QPrinter &printer,
                       const std::function<void(QPainter &canvas, const QSize &page)> &draw)>
        RunPrintPreview;
    // The progress of a print run: pages so far and share done; false cancels.
    std::function<bool(int pages, double done)> RunPrintProgress;
    // The printer of the print and page setup dialogs, kept for the run.
    QPrinter &Printer();

    // --- Handlers wired by the form
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    void FormDestroy();
    void PagesChange();
    void StatusBar1Click(const QPoint &position);
    void RefreshTimerTimer();
    void ViewFileReload(TQzBinHex *sender);
    void ViewOptChange();

    void FileOpenExecute();
    void acFileCloseExecute();
    void Closeall1Click();
    void acFileReloadExecute();
    void acFileRecClearExecute();
    void mnuRec1Click(int tag);
    void acFilePrintExecute();
    void acFilePageSetupExecute();
    void acFileClearExecute();
    void FileExitExecute();
    void mnuTabCapClick();
    void mnuTabOrdClick();
    void mnuSessOpenClick();
    void mnuSess1Click(int tag);
    void mnuSessRecentClearClick();
    void mnuSessSaveClick();
    void mnuSessSaveAsClick();
    void mnuSessCloseClick();
    void acEditCopyExecute();
    void acEditSelectAllExecute();
    void mnuEdFilterClick();
    void acEditFindExecute();
    void acEditFindNextExecute();
    void acEditFindPrevExecute();
    void mnuSrGotoClick();
    void acGotoSetExecute(int bookmark);
    void acGotoGoExecute(int bookmark);
    void acGotoClearExecute();
    void mnuEncANSIClick();
    void mnuEncOEMClick();
    void mnuEncUTF8Click();
    void mnuEncUTF16Click();
    void mnuEncUTF16BEClick();
    void mnuEncMenuClick();
    void acOptDialogExecute();
    void acOptColorsExecute();
    void acOptTailExecute();
    void acOptWrapExecute();
    void acHelpContentsExecute();
    void Homepage1Click();
    void acHelpAboutExecute();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // formview_actions.cpp
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void SetTextEncodingOfView(int encoding);
    void SetUnicodeOfView(quint8 order);

    // formview.cpp
    void CreateCentralPanel();
    void UpdateCaption();
    void UpdateActions();
    void UpdateEncodingMarks(const TQzBinHex *view);
    void UpdateStatusBar();
    void UpdateRecentMenu();
    void UpdateSessionMenu();
    void UpdateBookmarkCaptions();
    int RunDialog(QDialog &dialog);
    QString ChooseSessionFile(bool save);
    // Opens a tab and gives it the stored caption, when it opened and the
    // caption is neither empty nor the one its path gives. False when no tab
    // was created.
    bool OpenFileTabWithCaption(const QString &path, const QByteArray &caption);

    // formview_tabs.cpp
    int ActiveIndex() const;
    void ShowPages(bool show);
    void FocusActiveView();
    void ConfigureNewView(TQzBinHex *view);
    void ApplyEncodingCode(TQzBinHex *view, int code);
    void SetTabCaption(int index, const QByteArray &caption, bool padShort);
    // The caption a tab gets from its path. Only a caption that differs was
    // chosen by the user; UserCaption is empty for any other, so that what is
    // stored is made again from the path when the tab is reopened.
    static QByteArray PathCaption(const QString &fileName);
    static QByteArray UserCaption(const TRec &rec);

    // formview_settings.cpp
    TQzFont TextFont() const;
    TQzFont GutterFont() const;
    void ApplyViewOptions(TQzBinHex *view);
    void RestoreGeometry();
    void StoreGeometry();
    // The paths a settings line cannot hold are left out and returned.
    QStringList SaveOpenTabs();
    void ReopenLastLogs();

    // formview_rules.cpp
    void ApplyRuleSettings();
    TQzLineDecorators RuleDecorators() const;
    // formview_search.cpp
    void CreateSearchWindows();
    void ShowGotoWindowAtStart();
    void StoreGotoWindow();
    bool SearchRunning() const;
    // Shows the progress window over one search of view.
    void RunProgress(TQzBinHex *view, const QString &text, quint8 options, bool first,
                     bool previous);
    FindState m_find;
    TFormViewFindProgress *m_findProgress = nullptr;
    TFormGotoRegex *m_gotoWindow = nullptr;

    AppSettings m_settings;
    TRuleSettings m_rules;
    std::shared_ptr<TRuleDecorator> m_ruleDecorator;
    std::shared_ptr<TSubstringsFilterDecorator> m_filterDecorator;
    std::shared_ptr<QPrinter> m_printer; // shared: deletes a type this header leaves incomplete
    IniFile m_ini;
    CommandLine m_commandLine;
    RecentFiles m_openHistory;
    RecentSessions m_sessHistory;
    QString m_sessionFile;
    QString m_lastDir;
    std::vector<TRec> m_recs;
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
    TWrapTabBar *m_tabBar = nullptr; // the bar of m_pages
    std::array<QLabel *, kStatusPanels> m_statusPanels{};
    std::array<QString, 3> m_goCaptions; // "Go to bookmark n" without suffix
    // Set while a session opens: new tabs open behind the shown one, so
    // that only the tab finally shown is laid out and painted.
    bool m_openBehind = false;
};
