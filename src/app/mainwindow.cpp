// Construction, the start and close sequences and the refresh cycle.
#include "app/mainwindow.h"

#include "app/matchpane.h"

#include "app/appformat.h"
#include "app/messagebatch.h"
#include "app/ravelinapp.h"
#include "app/shellmessages.h"
#include "app/wraptabbar.h"
#include "print/printprogress.h"
#include "print/viewprinter.h"
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

Encoding encodingOf(const LogView *view)
{
    return view->document().shownEncoding();
}

// New lines of the file come into view as they are written.
bool followsTheEnd(const LogView &view)
{
    return view.document().sourceAssigned() && view.autoReload() && view.followTail() &&
           view.viewAtEnd();
}
} // namespace

MainWindow::MainWindow(const QString &settingsPath, const CommandLine &commandLine, QWidget *parent)
    : QMainWindow(parent), m_config(settingsPath), m_commandLine(commandLine)
{
    initResources();
    setObjectName(QStringLiteral("FormView"));
    setContextMenuPolicy(Qt::NoContextMenu); // no tool bar hiding behind the settings' back
    m_commands = new CommandSet(this);
    connectActions();
    setCentralWidget(m_tabs.createPanel(this));
    connect(&m_tabs, &TabSet::currentChanged, this, guarded([this] { currentTabChanged(); }));
    // A middle click on a tab closes it; the tab shown stays shown.
    connect(&m_tabs, &TabSet::closeRequested, this,
            guarded([this](int index) { closeTabKeepShown(index); }));
    createStatusBar();

    // The settings are read only once every control they apply to exists.
    m_refreshTimer.setObjectName(QStringLiteral("RefreshTimer"));
    m_refreshTimer.setInterval(kRefreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, guarded([this] { refreshTimerTick(); }));
    m_config.ini().load();
    loadSettings();
    applyOptions();
    createSearchWindows();
    installTabKeys();
    updateAll();
    setWindowTitle(RavelinApp::title());
    setAcceptDrops(true);
}

MainWindow::~MainWindow()
{
    // Pages lose their tabs while the base class tears them down: no refresh
    // may run on this half-destroyed window.
    disconnect(&m_tabs, nullptr, this, nullptr);
    // A print run still going ends before its viewer does.
    delete std::exchange(m_printProgress, nullptr);
    if (m_printRun)
        m_printRun->finish();
    m_printRun.reset();
    // Viewers first: their watchers must not report into a half-destroyed window.
    for (Tab &rec : m_recs) {
        delete rec.view;
        rec.view = nullptr;
    }
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
        if (m_settings.reopen && m_config.ini().readInteger("Save", "Num", 0) > 0)
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
    if (m_standardInput.valid())
        openStreamTab(std::move(m_standardInput), "stdin");
    for (const QString &command : m_commandLine.commands)
        openCommandTab(command);
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
}

void MainWindow::updateCaption()
{
    QString caption = RavelinApp::title();
    const int index = activeIndex();
    if (index >= 0)
        caption = extractFileNameW(displayFileName(m_recs[size_t(index)].fileName)) +
                  QStringLiteral(" - ") + caption;
    if (!m_sessions.current().isEmpty())
        caption = u'{' + QFileInfo(displayFileName(m_sessions.current())).completeBaseName() +
                  QStringLiteral("} ") + caption;
    setWindowTitle(plainWindowTitle(caption));
}

void MainWindow::updateActions()
{
    CommandSet::State state;
    const int index = activeIndex();
    state.active = index >= 0 ? &m_recs[size_t(index)] : nullptr;
    state.anyTab = tabCount() > 0;
    state.session = !m_sessions.current().isEmpty();
    state.recentFiles = !m_sessions.recentFiles().isEmpty();
    state.recentSessions = !m_sessions.recentSessions().isEmpty();
    m_commands->update(state);
    m_commands->showRecentFiles(m_sessions.shownRecentFiles());
    m_commands->showRecentSessions(m_sessions.shownRecentSessions());
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
        const GzipIndexer *gzip = view->compressedIndex();
        if (view->document().sourceAssigned() && fileInfoByName(view->fileName(), &size, &time)) {
            // A gzip log's text, as far as it has been read.
            texts[0] = formatFileSize(gzip ? view->document().fileSize() : size);
            texts[1] = formatFileTime(time);
        }
        const Tab &shown = m_recs[size_t(activeIndex())];
        const Encoding encoding = encodingOf(view);
        texts[2] = QString::fromUtf8(encodingLabel(encoding));
        // Said only while the tab shows what detection chose.
        if (!shown.encodingNote.isEmpty() && encoding == shown.noted)
            texts[2] += shown.encodingNote;
        // The tab's own path, also when the viewer never got it.
        const Tab &rec = m_recs[size_t(activeIndex())];
        texts[3] = displayFileName(rec.fileName);
        if (!rec.source.isEmpty())
            texts[3] = displayFileName(rec.source) + QStringLiteral(" (decompressed into ") +
                       texts[3] + QLatin1Char(')');
        else if (rec.spooled)
            texts[3] = (rec.command.isEmpty() ? QString::fromUtf8(rec.caption) : rec.command) +
                       QStringLiteral(" (spooled to ") + texts[3] + QLatin1Char(')');
        if (gzip && view->document().sourceAssigned())
            texts[3] +=
                QStringLiteral(" (gzip of %1%2)")
                    .arg(formatFileSize(size),
                         gzip->running() ? QStringLiteral("; still reading it") : QString());
        if (view->waitingForFile())
            texts[3] = QStringLiteral("Deleted; waiting for it to appear again: ") + texts[3];
    }
    for (size_t i = 0; i < texts.size(); ++i)
        m_statusPanels[i]->setText(texts[i]);
    updateLinePanel();
}

void MainWindow::updateLinePanel()
{
    const LogView *view = activeView();
    const qint64 line = view ? view->shownLineNumber() : 0;
    m_linePanel->setText(line > 0 ? QStringLiteral("Line %1").arg(line) : QString());
    QString follow;
    if (view && view->document().sourceAssigned())
        follow = followsTheEnd(*view) ? QStringLiteral("following") : QStringLiteral("paused");
    m_followPanel->setText(follow);
    if (view)
        markFollowing(view);
}

void MainWindow::markFollowing(const LogView *view)
{
    const auto &recs = m_tabs.records();
    for (size_t i = 0; i < recs.size(); ++i)
        if (recs[i].view == view)
            m_tabs.markFollowing(int(i), followsTheEnd(*view));
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
    rec->reloadReason = sender->document().lastReloadReason();
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
    m_sessions.recentFiles().setEncoding(view->fileName(), encodingOf(view));
}

void MainWindow::redrawViews()
{
    for (const Tab &rec : m_recs) {
        if (!rec.view)
            continue;
        rec.view->redraw();
        if (MatchPane *pane = MatchPane::of(rec.view))
            pane->view()->redraw();
    }
    refreshGotoButtons();
}
