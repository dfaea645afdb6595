// Actions, menus, tool bar, status bar, and the commands that act on the
// active viewer directly.
#include "app/mainwindow.h"

#include "viewer/logview.h"
#include "text/codepagelist.h"
#include "text/fileutil.h"
#include "text/guard.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QToolBar>

namespace {

using Member = QAction *MainWindow::Actions::*;
using Handler = void (*)(MainWindow *);

struct ActionDef
{
    Member field;
    const char *name;
    const char *caption;
    const char *hint;     // tool tip; empty for none
    const char *shortcut; // portable key text; empty for none
    Handler run;
    const char *icon; // theme name, also the name of the bundled fallback; empty for none
};

using A = MainWindow::Actions;
using F = MainWindow;

// clang-format off
const ActionDef kActions[] = {
    {&A::fileOpen, "fileOpen", "&Open...", "Open a file", "Ctrl+O", [](F *f) { f->fileOpenTriggered(); }, "document-open"},
    {&A::fileClose, "fileClose", "&Close", "", "Ctrl+W", [](F *f) { f->fileCloseTriggered(); }, ""},
    {&A::fileReload, "fileReload", "&Reload", "Reload current file", "F5", [](F *f) { f->fileReloadTriggered(); }, "view-refresh"},
    {&A::clearRecentFiles, "clearRecentFiles", "&Clear list", "", "", [](F *f) { f->clearRecentFilesTriggered(); }, ""},
    {&A::filePrint, "filePrint", "&Print...", "", "Ctrl+P", [](F *f) { f->filePrintTriggered(); }, ""},
    {&A::filePageSetup, "filePageSetup", "Pa&ge setup...", "", "", [](F *f) { f->filePageSetupTriggered(); }, ""},
    {&A::clearLog, "clearLog", "Clear &log", "", "Ctrl+D", [](F *f) { f->clearLogTriggered(); }, ""},
    {&A::fileExit, "fileExit", "E&xit", "", "Esc", [](F *f) { f->fileExitTriggered(); }, ""},
    {&A::copy, "copy", "&Copy", "", "Ctrl+C", [](F *f) { f->copyTriggered(); }, ""},
    {&A::selectAll, "selectAll", "Select &all", "", "Ctrl+A", [](F *f) { f->selectAllTriggered(); }, ""},
    {&A::find, "find", "&Find...", "Find", "Ctrl+F", [](F *f) { f->findTriggered(); }, "edit-find"},
    {&A::findNext, "findNext", "Find &next", "Find next", "F3", [](F *f) { f->findNextTriggered(); }, "go-down"},
    {&A::findPrevious, "findPrevious", "Find &previous", "Find previous", "Ctrl+F3", [](F *f) { f->findPreviousTriggered(); }, "go-up"},
    {&A::setBookmark1, "setBookmark1", "&Set bookmark 1", "", "Ctrl+1", [](F *f) { f->setBookmarkTriggered(1); }, ""},
    {&A::setBookmark2, "setBookmark2", "S&et bookmark 2", "", "Ctrl+2", [](F *f) { f->setBookmarkTriggered(2); }, ""},
    {&A::setBookmark3, "setBookmark3", "Se&t bookmark 3", "", "Ctrl+3", [](F *f) { f->setBookmarkTriggered(3); }, ""},
    {&A::goToBookmark1, "goToBookmark1", "Go to bookmark &1", "", "Alt+1", [](F *f) { f->goToBookmarkTriggered(1); }, ""},
    {&A::goToBookmark2, "goToBookmark2", "Go to bookmark &2", "", "Alt+2", [](F *f) { f->goToBookmarkTriggered(2); }, ""},
    {&A::goToBookmark3, "goToBookmark3", "Go to bookmark &3", "", "Alt+3", [](F *f) { f->goToBookmarkTriggered(3); }, ""},
    {&A::clearBookmarks, "clearBookmarks", "&Clear bookmarks", "", "", [](F *f) { f->clearBookmarksTriggered(); }, ""},
    {&A::options, "options", "&Options...", "Options dialog", "F9", [](F *f) { f->optionsTriggered(); }, "preferences-system"},
    {&A::colorsAndFilters, "colorsAndFilters", "Colors...", "Colors/filters dialog", "F10", [](F *f) { f->colorsAndFiltersTriggered(); }, "preferences-desktop-color"},
    {&A::followTail, "followTail", "&Follow tail", "Follow tail on reload", "F", [](F *f) { f->followTailTriggered(); }, "follow-tail"},
    {&A::wordWrap, "wordWrap", "&Word wrap", "", "W", [](F *f) { f->wordWrapTriggered(); }, ""},
    {&A::helpContents, "helpContents", "&Contents", "", "F1", [](F *f) { f->helpContentsTriggered(); }, ""},
    {&A::about, "about", "&About...", "", "Alt+F1", [](F *f) { f->aboutTriggered(); }, ""},

    {&A::closeAll, "closeAll", "Close &all", "", "", [](F *f) { f->closeAllTriggered(); }, ""},
    {&A::setTabCaption, "setTabCaption", "Set &tab caption...", "", "F2", [](F *f) { f->setTabCaptionTriggered(); }, ""},
    {&A::setTabsOrder, "setTabsOrder", "Set tabs or&der...", "", "F4", [](F *f) { f->setTabsOrderTriggered(); }, ""},
    {&A::openSession, "openSession", "&Open session...", "", "", [](F *f) { f->openSessionTriggered(); }, ""},
    {&A::clearRecentSessions, "clearRecentSessions", "&Clear list", "", "", [](F *f) { f->clearRecentSessionsTriggered(); }, ""},
    {&A::saveSession, "saveSession", "&Save session", "", "", [](F *f) { f->saveSessionTriggered(); }, ""},
    {&A::saveSessionAs, "saveSessionAs", "Save session &as...", "", "", [](F *f) { f->saveSessionAsTriggered(); }, ""},
    {&A::closeSession, "closeSession", "&Close session", "", "", [](F *f) { f->closeSessionTriggered(); }, ""},
    {&A::filterLog, "filterLog", "&Filter log...", "", "Ctrl+N", [](F *f) { f->filterLogTriggered(); }, ""},
    {&A::goToNext, "goToNext", "&Go to next...", "", "Ctrl+G", [](F *f) { f->goToNextTriggered(); }, ""},
    {&A::encodingSystem, "encodingSystem", "&ANSI (Windows)", "", "A", [](F *f) { f->encodingSystemTriggered(); }, ""},
    {&A::encodingDos, "encodingDos", "&OEM (DOS)", "", "S", [](F *f) { f->encodingDosTriggered(); }, ""},
    {&A::encodingUtf8, "encodingUtf8", "&UTF-8", "", "U", [](F *f) { f->encodingUtf8Triggered(); }, ""},
    {&A::encodingUtf16, "encodingUtf16", "UTF-1&6", "", "", [](F *f) { f->encodingUtf16Triggered(); }, ""},
    {&A::encodingUtf16Be, "encodingUtf16Be", "UTF-16 &BE", "", "", [](F *f) { f->encodingUtf16BeTriggered(); }, ""},
    {&A::encodingMenu, "encodingMenu", "&Encoding menu...", "", "", [](F *f) { f->encodingMenuTriggered(); }, ""},
    {&A::homepage, "homepage", "&Homepage", "", "", [](F *f) { f->homepageTriggered(); }, ""},
};
// clang-format on

QIcon toolIcon(const char *name)
{
    const QString theme = QString::fromLatin1(name);
    return QIcon::fromTheme(theme, QIcon(QStringLiteral(":/icons/%1.svg").arg(theme)));
}

constexpr int kPanelWidths[] = {70, 130, 200};

} // namespace

void MainWindow::createActions()
{
    for (const ActionDef &def : kActions) {
        auto *action = new QAction(QString::fromUtf8(def.caption), this);
        action->setObjectName(QString::fromLatin1(def.name));
        if (*def.hint)
            action->setToolTip(QString::fromUtf8(def.hint));
        if (*def.shortcut) {
            action->setShortcut(QKeySequence::fromString(QString::fromLatin1(def.shortcut),
                                                         QKeySequence::PortableText));
            action->setShortcutContext(Qt::WindowShortcut);
        }
        if (*def.icon)
            action->setIcon(toolIcon(def.icon));
        const Handler run = def.run;
        connect(action, &QAction::triggered, this, guarded([this, run] { run(this); }));
        m_ac.*def.field = action;
        // Shortcuts work whether or not the menus are shown.
        addAction(action);
    }
    m_ac.followTail->setCheckable(true);
    m_ac.wordWrap->setCheckable(true);

    m_encodingGroup = new QActionGroup(this);
    m_encodingGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction *item : {m_ac.encodingSystem, m_ac.encodingDos, m_ac.encodingUtf8,
                          m_ac.encodingUtf16, m_ac.encodingUtf16Be}) {
        item->setCheckable(true);
        m_encodingGroup->addAction(item);
    }

    for (int i = 0; i < kRecentItems; ++i) {
        m_ac.recentFiles[size_t(i)] = new QAction(this);
        m_ac.recentFiles[size_t(i)]->setObjectName(QStringLiteral("mnuRec%1").arg(i + 1));
        connect(m_ac.recentFiles[size_t(i)], &QAction::triggered, this,
                guarded([this, i] { recentFileTriggered(i); }));
        m_ac.recentSessions[size_t(i)] = new QAction(this);
        m_ac.recentSessions[size_t(i)]->setObjectName(QStringLiteral("mnuSess%1").arg(i + 1));
        connect(m_ac.recentSessions[size_t(i)], &QAction::triggered, this,
                guarded([this, i] { recentSessionTriggered(i); }));
    }
    // Without a configured home page there is nothing to open.
    m_ac.homepage->setVisible(!QStringLiteral(RAVELIN_HOMEPAGE).isEmpty());
    m_goCaptions = {m_ac.goToBookmark1->text(), m_ac.goToBookmark2->text(),
                    m_ac.goToBookmark3->text()};
}

void MainWindow::createMenus()
{
    QMenuBar *bar = menuBar();
    const Actions &a = m_ac;

    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    file->addAction(a.fileOpen);
    m_recentMenu = file->addMenu(QStringLiteral("Open r&ecent"));
    for (QAction *item : a.recentFiles)
        m_recentMenu->addAction(item);
    m_recentMenu->addSeparator();
    m_recentMenu->addAction(a.clearRecentFiles);
    file->addActions({a.fileClose, a.closeAll, a.fileReload});
    file->addSeparator();
    file->addActions({a.setTabCaption, a.setTabsOrder});
    file->addSeparator();
    file->addActions({a.filePrint, a.filePageSetup});
    file->addSeparator();
    file->addAction(a.fileExit);

    QMenu *session = bar->addMenu(QStringLiteral("&Session"));
    session->addAction(a.openSession);
    m_sessionRecentMenu = session->addMenu(QStringLiteral("Open &recent session"));
    for (QAction *item : a.recentSessions)
        m_sessionRecentMenu->addAction(item);
    m_sessionRecentMenu->addSeparator();
    m_sessionRecentMenu->addAction(a.clearRecentSessions);
    session->addActions({a.saveSession, a.saveSessionAs, a.closeSession});

    QMenu *edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->addActions({a.copy, a.selectAll});
    edit->addSeparator();
    edit->addActions({a.clearLog, a.filterLog});

    QMenu *search = bar->addMenu(QStringLiteral("Se&arch"));
    search->addActions({a.find, a.findNext, a.findPrevious});
    search->addSeparator();
    search->addAction(a.goToNext);

    QMenu *bookmarks = bar->addMenu(QStringLiteral("&Bookmarks"));
    bookmarks->addActions({a.setBookmark1, a.setBookmark2, a.setBookmark3});
    bookmarks->addSeparator();
    bookmarks->addActions({a.goToBookmark1, a.goToBookmark2, a.goToBookmark3});
    bookmarks->addSeparator();
    bookmarks->addAction(a.clearBookmarks);

    QMenu *encoding = bar->addMenu(QStringLiteral("E&ncoding"));
    encoding->addActions({a.encodingSystem, a.encodingDos, a.encodingUtf8});
    encoding->addSeparator();
    encoding->addActions({a.encodingUtf16, a.encodingUtf16Be});
    encoding->addSeparator();
    encoding->addAction(a.encodingMenu);

    QMenu *options = bar->addMenu(QStringLiteral("&Options"));
    options->addAction(a.options);
    // The menu names the colours item in full; the action keeps its short
    // caption and its shortcut, which the item only displays.
    QAction *colors = options->addAction(QStringLiteral("&Colors && filters...\tF10"));
    colors->setObjectName(QStringLiteral("mnuOptColors"));
    colors->setIcon(a.colorsAndFilters->icon());
    QAction *colorsAction = a.colorsAndFilters;
    connect(colors, &QAction::triggered, colorsAction,
            guarded([colorsAction] { colorsAction->trigger(); }));
    options->addSeparator();
    options->addActions({a.followTail, a.wordWrap});

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->addActions({a.helpContents, a.homepage});
    help->addSeparator();
    help->addAction(a.about);
}

void MainWindow::createToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("ToolBar1"));
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(24, 24));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const Actions &a = m_ac;
    m_toolBar->addAction(a.fileOpen);
    m_toolBar->addSeparator();
    m_toolBar->addActions({a.find, a.findNext, a.findPrevious});
    m_toolBar->addSeparator();
    m_toolBar->addActions({a.options, a.colorsAndFilters});
    m_toolBar->addSeparator();
    m_toolBar->addActions({a.fileReload, a.followTail});
}

void MainWindow::createStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    for (int i = 0; i < kStatusPanels; ++i) {
        auto *panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // Paths are shown as they are, whatever they look like.
        panel->setTextFormat(Qt::PlainText);
        if (i < kStatusPanels - 1) {
            panel->setFixedWidth(kPanelWidths[i]);
            panel->setAlignment(Qt::AlignCenter);
            bar->addWidget(panel);
        } else {
            panel->setMinimumWidth(50);
            panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            // A long path must not widen the window.
            panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            bar->addWidget(panel, 1);
        }
        m_statusPanels[size_t(i)] = panel;
    }
    bar->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == statusBar() && event->type() == QEvent::MouseButtonRelease) {
        runGuarded(
            [&] { statusBarClicked(static_cast<QMouseEvent *>(event)->position().toPoint()); });
        return false;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Commands on the active viewer -----------------------------------------

void MainWindow::fileReloadTriggered()
{
    LogView *view = activeView();
    if (!view)
        return;
    // The viewer lets go of a deleted file; the tab keeps its name.
    const QString name = tabAt(activeIndex()).fileName;
    if (!isFileExist(name)) {
        QApplication::beep();
    } else if (view->sourceAssigned() && view->fileName() == name) {
        view->reload();
    } else {
        // Deleted and created again, or unreadable when last opened: open anew.
        view->open(QString(), false);
        view->open(name);
    }
    updateAll();
}

void MainWindow::followTailTriggered()
{
    if (LogView *view = activeView())
        view->setFollowTail(!view->followTail());
    updateAll();
}

void MainWindow::wordWrapTriggered()
{
    if (LogView *view = activeView())
        view->setTextWrap(!view->textWrap());
    updateAll();
}

void MainWindow::setTextEncodingOfView(Encoding encoding)
{
    LogView *view = activeView();
    if (!view)
        return;
    view->setTextEncoding(encoding);
    view->setMode(vbmodeText);
    viewOptionsChanged();
}

void MainWindow::setUnicodeOfView(quint8 order)
{
    LogView *view = activeView();
    if (!view)
        return;
    view->setTextEncoding(encodingAnsi);
    view->setMode(vbmodeUnicode);
    view->setUnicodeOrder(order);
    viewOptionsChanged();
}

void MainWindow::encodingSystemTriggered()
{
    setTextEncodingOfView(encodingAnsi);
}

void MainWindow::encodingDosTriggered()
{
    setTextEncodingOfView(encodingOem);
}

void MainWindow::encodingUtf8Triggered()
{
    setTextEncodingOfView(encodingUtf8);
}

void MainWindow::encodingUtf16Triggered()
{
    setUnicodeOfView(unicodeOrderLittle);
}

void MainWindow::encodingUtf16BeTriggered()
{
    setUnicodeOfView(unicodeOrderBig);
}

void MainWindow::clearRecentFilesTriggered()
{
    m_openHistory.clear();
    updateAll();
}

void MainWindow::recentFileTriggered(int tag)
{
    if (tag < 0 || tag >= m_openHistory.count())
        return;
    // A copy: opening moves the entry within the list.
    const QString path = m_openHistory.items()[size_t(tag)].path;
    openFileTab(path);
}
