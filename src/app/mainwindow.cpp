// Construction, the start and close sequences and the refresh cycle.
#include "app/mainwindow.h"

#include "app/appformat.h"
#include "app/messagebatch.h"
#include "app/ravelinapp.h"
#include "app/shellmessages.h"
#include "app/wraptabbar.h"
#include "viewer/logview.h"
#include "text/codepagelist.h"
#include "text/codepages.h"
#include "text/contract.h"
#include "text/fileutil.h"
#include "text/guard.h"
#include "text/messages.h"
#include "text/stringutil.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QSignalBlocker>
#include <QFileInfo>
#include <QLabel>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

// The icons live in this static library; without a reference the linker
// would drop them.
static void initResources()
{
    Q_INIT_RESOURCE(ravelin);
}

namespace {
const QString kUnit = QStringLiteral("FormView");
const QString kNotOpened = QStringLiteral("(File not opened)");

Encoding encodingOf(const LogView *view)
{
    if (view->mode() == vbmodeUnicode)
        return Encoding::utf16(view->unicodeOrder() == unicodeOrderBig);
    return view->textEncoding();
}
} // namespace

MainWindow::MainWindow(const QString &settingsPath, const CommandLine &commandLine, QWidget *parent)
    : QMainWindow(parent), m_ini(settingsPath), m_commandLine(commandLine)
{
    initResources();
    setObjectName(QStringLiteral("FormView"));
    setContextMenuPolicy(Qt::NoContextMenu); // no tool bar hiding behind the settings' back
    createActions();
    createMenus();
    createToolBar();
    createCentralPanel();
    createStatusBar();

    // The settings are read only once every control they apply to exists.
    m_refreshTimer.setObjectName(QStringLiteral("RefreshTimer"));
    m_refreshTimer.setInterval(kRefreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, guarded([this] { refreshTimerTick(); }));
    m_ini.load();
    loadSettings();
    applyOptions();
    createSearchWindows();
    updateAll();
    setWindowTitle(RavelinApp::title());
    setAcceptDrops(true);
}

MainWindow::~MainWindow()
{
    // Pages lose their tabs while the base class tears them down: no refresh
    // may run on this half-destroyed window.
    disconnect(m_pages, nullptr, this, nullptr);
    // Viewers first: their watchers must not report into a half-destroyed window.
    for (Tab &rec : m_recs) {
        delete rec.view;
        rec.view = nullptr;
    }
}

void MainWindow::createCentralPanel()
{
    m_panel = new QStackedWidget(this);
    m_panel->setObjectName(QStringLiteral("CentralPanel"));
    m_panelCaption = new QLabel(kNotOpened, m_panel);
    m_panelCaption->setAlignment(Qt::AlignCenter);
    auto *pages = new WrapTabWidget(m_panel);
    m_pages = pages;
    m_tabBar = pages->wrapBar();
    m_pages->setObjectName(QStringLiteral("Pages"));
    // Keys belong to the active viewer: a clicked tab must not keep the focus
    // (Right would switch tabs, Ctrl+End would reach nothing).
    m_pages->setFocusPolicy(Qt::NoFocus);
    m_pages->tabBar()->setFocusPolicy(Qt::NoFocus);
    m_panel->addWidget(m_panelCaption);
    m_panel->addWidget(m_pages);
    connect(m_pages, &QTabWidget::currentChanged, this, guarded([this] { currentTabChanged(); }));
    // A middle click on a tab closes it; the tab shown stays shown.
    connect(m_tabBar, &QTabBar::tabCloseRequested, this,
            guarded([this](int index) { closeTabKeepShown(index); }));
    setCentralWidget(m_panel);
}

Tab &MainWindow::tabAt(int index)
{
    require(index >= 0 && index < tabCount(), QStringLiteral("Tab index out of range: Rec"), kUnit);
    return m_recs[size_t(index)];
}

const Tab &MainWindow::tabAt(int index) const
{
    require(index >= 0 && index < tabCount(), QStringLiteral("Tab index out of range: Rec"), kUnit);
    return m_recs[size_t(index)];
}

// --- Start and close ------------------------------------------------------

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        // Not from inside the show: the messages of the start must come once
        // the window is on the screen, over it.
        const auto start = [this] {
            if (!m_settingsSaved) // closed in the meantime: nothing to open
                formShow();
        };
        QTimer::singleShot(0, this, guarded(start));
    }
}

void MainWindow::formShow()
{
    if (m_commandLine.skipReopen) {
        if (m_settings.reopen && m_ini.readInteger("Save", "Num", 0) > 0)
            showMessage(
                RavelinApp::title(),
                QStringLiteral("Command line param specified - skipping reopening last logs"),
                MsgIcon::Information);
        // One message for every file that fails, not one box per file.
        const MessageBatch messages(openFailuresHeading);
        for (const QString &file : m_commandLine.files)
            openFileTab(file);
    } else if (m_settings.reopen) {
        const MessageBatch messages(openFailuresHeading);
        reopenLastLogs();
    }
    showGotoWindowAtStart();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    runGuarded([&] {
        // A search still reads through a viewer that closing would destroy.
        if (searchRunning()) {
            event->ignore();
            return;
        }
        if (!formCloseQuery()) {
            event->ignore();
            return;
        }
        formClose();
        formDestroy();
        QMainWindow::closeEvent(event);
    });
}

bool MainWindow::formCloseQuery()
{
    if (!m_settings.cfmExit || m_closeUnasked)
        return true;
    return showMessage(QStringLiteral("Ravelin"), QStringLiteral("Do you want to exit Ravelin?"),
                       MsgIcon::Warning, MsgButtons::OkCancel) == MsgResult::Ok;
}

void MainWindow::formClose()
{
    storeGotoWindow();
}

void MainWindow::formDestroy()
{
    if (m_settingsSaved)
        return;
    m_settingsSaved = true;
    m_refreshTimer.stop();
    // A settings file that cannot be written has been reported; the program
    // still ends.
    saveSettings();
}

void MainWindow::fileExitTriggered()
{
    close();
}

// --- Refresh cycle ----------------------------------------------------------

void MainWindow::updateAll()
{
    updateCaption();
    updateActions();
    updateStatusBar();
    updateRecentMenu();
    updateSessionMenu();
    updateBookmarkCaptions();
}

void MainWindow::updateCaption()
{
    QString caption = RavelinApp::title();
    const int index = activeIndex();
    if (index >= 0)
        caption = extractFileNameW(displayFileName(m_recs[size_t(index)].fileName)) +
                  QStringLiteral(" - ") + caption;
    if (!m_sessionFile.isEmpty())
        caption = u'{' + QFileInfo(displayFileName(m_sessionFile)).completeBaseName() +
                  QStringLiteral("} ") + caption;
    setWindowTitle(plainWindowTitle(caption));
}

void MainWindow::updateActions()
{
    const int index = activeIndex();
    const bool tab = index >= 0;
    const LogView *view = activeView();
    const bool anyTab = tabCount() > 0;
    const bool session = !m_sessionFile.isEmpty();

    for (QAction *action :
         {m_ac.fileReload, m_ac.fileClose, m_ac.filePrint, m_ac.clearLog, m_ac.copy, m_ac.selectAll,
          m_ac.find, m_ac.findNext, m_ac.findPrevious, m_ac.setBookmark1, m_ac.setBookmark2,
          m_ac.setBookmark3, m_ac.clearBookmarks, m_ac.followTail, m_ac.wordWrap})
        action->setEnabled(tab);
    m_ac.clearRecentFiles->setEnabled(!m_openHistory.isEmpty());

    const std::array<QAction *, 3> go{m_ac.goToBookmark1, m_ac.goToBookmark2, m_ac.goToBookmark3};
    for (size_t i = 0; i < go.size(); ++i)
        go[i]->setEnabled(tab && m_recs[size_t(index)].bookmarks[i] != Tab::kNoBookmark);

    m_ac.followTail->setChecked(view && view->followTail());
    m_ac.wordWrap->setChecked(view && view->textWrap());

    for (QAction *action :
         {m_ac.encodingSystem, m_ac.encodingDos, m_ac.encodingUtf8, m_ac.encodingUtf16,
          m_ac.encodingUtf16Be, m_ac.filterLog, m_ac.setTabCaption, m_ac.setTabsOrder})
        action->setEnabled(view != nullptr);
    m_ac.encodingMenu->setEnabled(view && view->mode() == vbmodeText);
    if (view)
        updateEncodingMarks(view);

    m_ac.saveSession->setEnabled(anyTab && session);
    m_ac.saveSessionAs->setEnabled(anyTab);
    m_ac.closeSession->setEnabled(session);
    m_ac.clearRecentSessions->setEnabled(!m_sessHistory.isEmpty());
}

void MainWindow::updateEncodingMarks(const LogView *view)
{
    const bool text = view->mode() == vbmodeText;
    const bool unicode = view->mode() == vbmodeUnicode;
    const bool big = view->unicodeOrder() == unicodeOrderBig;
    QAction *mark = nullptr;
    if (text && view->textEncoding() == encodingAnsi)
        mark = m_ac.encodingSystem;
    else if (text && view->textEncoding() == encodingOem)
        mark = m_ac.encodingDos;
    else if (text && view->textEncoding() == encodingUtf8)
        mark = m_ac.encodingUtf8;
    else if (unicode)
        mark = big ? m_ac.encodingUtf16Be : m_ac.encodingUtf16;
    for (QAction *action : m_encodingGroup->actions())
        action->setChecked(action == mark);
}

void MainWindow::updateStatusBar()
{
    std::array<QString, kStatusPanels> texts;
    if (const LogView *view = activeView()) {
        // The file as it is on disk now, not as the viewer last read it. A
        // tab that could not open its file has no size: a folder's or a
        // device's would mislead.
        qint64 size = 0;
        qint64 time = 0;
        if (view->sourceAssigned() && fileInfoByName(view->fileName(), &size, &time)) {
            texts[0] = formatFileSize(size);
            texts[1] = formatFileTime(time);
        }
        texts[2] = QString::fromUtf8(codepageName(encodingOf(view)));
        // The tab's own path, also when the viewer never got it.
        texts[3] = displayFileName(m_recs[size_t(activeIndex())].fileName);
        if (view->waitingForFile())
            texts[3] = QStringLiteral("Deleted; waiting for it to appear again: ") + texts[3];
    }
    for (size_t i = 0; i < texts.size(); ++i)
        m_statusPanels[i]->setText(texts[i]);
}

void MainWindow::updateRecentMenu()
{
    const auto &items = m_openHistory.items();
    for (size_t i = 0; i < m_ac.recentFiles.size(); ++i) {
        const QString caption = i < items.size()
                                    ? numberedMenuText(int(i) + 1, displayFileName(items[i].path))
                                    : QString();
        m_ac.recentFiles[i]->setText(caption);
        m_ac.recentFiles[i]->setVisible(!caption.isEmpty());
    }
    m_ac.clearRecentFiles->setEnabled(!m_openHistory.isEmpty());
}

void MainWindow::updateSessionMenu()
{
    const QStringList &items = m_sessHistory.items();
    for (size_t i = 0; i < m_ac.recentSessions.size(); ++i) {
        const QString caption =
            qsizetype(i) < items.size()
                ? numberedMenuText(int(i) + 1, displayFileName(items[qsizetype(i)]))
                : QString();
        m_ac.recentSessions[i]->setText(caption);
        m_ac.recentSessions[i]->setVisible(!caption.isEmpty());
    }
    m_ac.clearRecentSessions->setEnabled(!m_sessHistory.isEmpty());
}

void MainWindow::updateBookmarkCaptions()
{
    const int index = activeIndex();
    if (index < 0)
        return;
    const std::array<QAction *, 3> go{m_ac.goToBookmark1, m_ac.goToBookmark2, m_ac.goToBookmark3};
    for (size_t i = 0; i < go.size(); ++i) {
        const qint64 offset = m_recs[size_t(index)].bookmarks[i];
        QString suffix;
        if (offset >= 0 && offset < 1048576)
            suffix = QStringLiteral(" (%1 K)").arg(offset / 1024);
        else if (offset >= 1048576)
            suffix = QStringLiteral(" (%1 M)").arg(offset / 1048576);
        go[i]->setText(m_goCaptions[i] + suffix);
    }
}

void MainWindow::refreshTimerTick()
{
    m_refreshTimer.stop();
    updateAll();
}

void MainWindow::viewFileReload(LogView *sender)
{
    // A tab closed from inside the viewer's callback has left the list already.
    const auto rec = std::find_if(m_recs.begin(), m_recs.end(),
                                  [sender](const Tab &r) { return r.view == sender; });
    if (rec == m_recs.end())
        return;
    rec->reloadReason = sender->lastReloadReason();
    // However many reloads come in, the status bar follows at most twice a second.
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void MainWindow::viewOptionsChanged()
{
    updateAll();
    const LogView *view = activeView();
    if (!view)
        return;
    m_openHistory.setEncoding(view->fileName(), encodingOf(view));
}

void MainWindow::redrawViews()
{
    for (const Tab &rec : m_recs)
        if (rec.view)
            rec.view->redraw();
    refreshGotoButtons();
}
