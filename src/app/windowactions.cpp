#include "text/codepages.h"
#include "app/windowactions.h"

#include "app/shellmessages.h"
#include "app/tab.h"
#include "text/codepagelist.h"
#include "text/guard.h"
#include "viewer/logview.h"

#include <QAction>
#include <QActionGroup>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>
#include <QToolBar>

namespace {

using Member = QAction *WindowActions::*;

struct ActionDef
{
    Member field;
    const char *name;
    const char *caption;
    const char *hint;     // tool tip; empty for none
    const char *shortcut; // portable key text; empty for none
    const char *icon;     // theme name, also the name of the bundled fallback; empty for none
};

using A = WindowActions;

// clang-format off
const ActionDef kActions[] = {
    {&A::fileOpen, "fileOpen", "&Open...", "Open a file", "Ctrl+O", "document-open"},
    {&A::openCommand, "openCommand", "Open co&mmand output...", "Show what a command writes", "", ""},
    {&A::openJournal, "openJournal", "Open system &journal", "Show and follow the system journal", "", ""},
    {&A::fileClose, "fileClose", "&Close", "", "Ctrl+W", ""},
    {&A::fileReload, "fileReload", "&Reload", "Reload current file", "F5", "view-refresh"},
    {&A::clearRecentFiles, "clearRecentFiles", "&Clear list", "", "", ""},
    {&A::filePrint, "filePrint", "&Print...", "", "Ctrl+P", ""},
    {&A::filePageSetup, "filePageSetup", "Pa&ge setup...", "", "", ""},
    {&A::clearLog, "clearLog", "Clear &log", "", "Ctrl+D", ""},
    {&A::fileExit, "fileExit", "E&xit", "", "Esc", ""},
    {&A::copy, "copy", "&Copy", "", "Ctrl+C", ""},
    {&A::selectAll, "selectAll", "Select &all", "", "Ctrl+A", ""},
    {&A::find, "find", "&Find...", "Find", "Ctrl+F", "edit-find"},
    {&A::findNext, "findNext", "Find &next", "Find next", "F3", "go-down"},
    {&A::findPrevious, "findPrevious", "Find &previous", "Find previous", "Ctrl+F3", "go-up"},
    {&A::setBookmark1, "setBookmark1", "&Set bookmark 1", "", "Ctrl+1", ""},
    {&A::setBookmark2, "setBookmark2", "S&et bookmark 2", "", "Ctrl+2", ""},
    {&A::setBookmark3, "setBookmark3", "Se&t bookmark 3", "", "Ctrl+3", ""},
    {&A::goToBookmark1, "goToBookmark1", "Go to bookmark &1", "", "Alt+1", ""},
    {&A::goToBookmark2, "goToBookmark2", "Go to bookmark &2", "", "Alt+2", ""},
    {&A::goToBookmark3, "goToBookmark3", "Go to bookmark &3", "", "Alt+3", ""},
    {&A::clearBookmarks, "clearBookmarks", "&Clear bookmarks", "", "", ""},
    {&A::options, "options", "&Options...", "Options dialog", "F9", "preferences-system"},
    {&A::colorsAndFilters, "colorsAndFilters", "Colors...", "Colors/filters dialog", "F10", "preferences-desktop-color"},
    {&A::followTail, "followTail", "&Follow tail", "Follow tail on reload", "F", "follow-tail"},
    {&A::wordWrap, "wordWrap", "&Word wrap", "", "W", ""},
    {&A::helpContents, "helpContents", "&Contents", "", "F1", ""},
    {&A::about, "about", "&About...", "", "Alt+F1", ""},

    {&A::closeAll, "closeAll", "Close &all", "", "", ""},
    {&A::setTabCaption, "setTabCaption", "Set &tab caption...", "", "F2", ""},
    {&A::setTabsOrder, "setTabsOrder", "Set tabs or&der...", "", "F4", ""},
    {&A::openSession, "openSession", "&Open session...", "", "", ""},
    {&A::clearRecentSessions, "clearRecentSessions", "&Clear list", "", "", ""},
    {&A::saveSession, "saveSession", "&Save session", "", "", ""},
    {&A::saveSessionAs, "saveSessionAs", "Save session &as...", "", "", ""},
    {&A::closeSession, "closeSession", "&Close session", "", "", ""},
    {&A::filterLog, "filterLog", "&Filter log...", "", "Ctrl+N", ""},
    {&A::goToNext, "goToNext", "&Go to next...", "", "Ctrl+G", ""},
    {&A::goTo, "goTo", "&Go to...", "", "Ctrl+L", ""},
    {&A::encodingSystem, "encodingSystem", "&System (UTF-8)", "", "A", ""},
    {&A::encodingDos, "encodingDos", "&DOS (437)", "", "S", ""},
    {&A::encodingUtf8, "encodingUtf8", "&UTF-8", "", "U", ""},
    {&A::encodingUtf16, "encodingUtf16", "UTF-1&6", "", "", ""},
    {&A::encodingUtf16Be, "encodingUtf16Be", "UTF-16 &BE", "", "", ""},
    {&A::encodingMenu, "encodingMenu", "&Encoding menu...", "", "", ""},
    {&A::homepage, "homepage", "&Homepage", "", "", ""},
};
// clang-format on

QIcon toolIcon(const char *name)
{
    const QString theme = QString::fromLatin1(name);
    return QIcon::fromTheme(theme, QIcon(QStringLiteral(":/icons/%1.svg").arg(theme)));
}

} // namespace

CommandSet::CommandSet(QMainWindow *window) : QObject(window)
{
    createActions(window);
    createMenus(window);
    createToolBar(window);
}

void CommandSet::createActions(QMainWindow *window)
{
    for (const ActionDef &def : kActions) {
        auto *action = new QAction(QString::fromUtf8(def.caption), window);
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
        m_ac.*def.field = action;
        window->addAction(action);
    }
    m_ac.followTail->setCheckable(true);
    m_ac.wordWrap->setCheckable(true);

    m_encodingGroup = new QActionGroup(window);
    m_encodingGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction *item : {m_ac.encodingSystem, m_ac.encodingDos, m_ac.encodingUtf8,
                          m_ac.encodingUtf16, m_ac.encodingUtf16Be}) {
        item->setCheckable(true);
        m_encodingGroup->addAction(item);
    }

    for (int i = 0; i < WindowActions::kCandidates; ++i) {
        m_ac.encodingCandidates[size_t(i)] = new QAction(window);
        m_ac.encodingCandidates[size_t(i)]->setObjectName(
            QStringLiteral("mnuCandidate%1").arg(i + 1));
        m_ac.encodingCandidates[size_t(i)]->setVisible(false);
        m_ac.encodingCandidates[size_t(i)]->setText(QStringLiteral("&%1").arg(i + 1));
    }
    for (int i = 0; i < WindowActions::kRecentItems; ++i) {
        m_ac.recentFiles[size_t(i)] = new QAction(window);
        m_ac.recentFiles[size_t(i)]->setObjectName(QStringLiteral("mnuRec%1").arg(i + 1));
        m_ac.recentSessions[size_t(i)] = new QAction(window);
        m_ac.recentSessions[size_t(i)]->setObjectName(QStringLiteral("mnuSess%1").arg(i + 1));
    }
    // Without a configured home page there is nothing to open.
    m_ac.homepage->setVisible(!QStringLiteral(RAVELIN_HOMEPAGE).isEmpty());
    m_goCaptions = {m_ac.goToBookmark1->text(), m_ac.goToBookmark2->text(),
                    m_ac.goToBookmark3->text()};
}

void CommandSet::createMenus(QMainWindow *window)
{
    QMenuBar *bar = window->menuBar();
    const WindowActions &a = m_ac;

    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    file->addActions({a.fileOpen, a.openCommand, a.openJournal});
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
    edit->addSeparator();
    edit->addAction(a.goTo);

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
    for (QAction *candidate : a.encodingCandidates)
        encoding->addAction(candidate);
    m_candidateSeparator = encoding->addSeparator();
    m_candidateSeparator->setVisible(false);
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

void CommandSet::createToolBar(QMainWindow *window)
{
    m_toolBar = window->addToolBar(QStringLiteral("ToolBar1"));
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(24, 24));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const WindowActions &a = m_ac;
    m_toolBar->addAction(a.fileOpen);
    m_toolBar->addSeparator();
    m_toolBar->addActions({a.find, a.findNext, a.findPrevious});
    m_toolBar->addSeparator();
    m_toolBar->addActions({a.options, a.colorsAndFilters});
    m_toolBar->addSeparator();
    m_toolBar->addActions({a.fileReload, a.followTail});
}

void CommandSet::update(const State &state)
{
    const bool tab = state.active != nullptr;
    const LogView *view = tab ? state.active->view : nullptr;

    for (QAction *action :
         {m_ac.fileReload, m_ac.fileClose, m_ac.filePrint, m_ac.clearLog, m_ac.copy, m_ac.selectAll,
          m_ac.find, m_ac.findNext, m_ac.findPrevious, m_ac.setBookmark1, m_ac.setBookmark2,
          m_ac.setBookmark3, m_ac.clearBookmarks, m_ac.followTail, m_ac.wordWrap})
        action->setEnabled(tab);
    // A spool is written at its own offset: a cleared one would grow a hole.
    // A gzip log shows text that is not the file: clearing would destroy
    // the archive, not empty a log.
    m_ac.clearLog->setEnabled(tab && !state.active->spooled && !view->compressedIndex());
    m_ac.clearRecentFiles->setEnabled(state.recentFiles);

    const std::array<QAction *, 3> go{m_ac.goToBookmark1, m_ac.goToBookmark2, m_ac.goToBookmark3};
    for (size_t i = 0; i < go.size(); ++i)
        go[i]->setEnabled(tab && state.active->bookmarks[i] != Tab::kNoBookmark);

    m_ac.followTail->setChecked(view && view->followTail());
    m_ac.wordWrap->setChecked(view && view->options().textWrap);

    for (QAction *action :
         {m_ac.encodingSystem, m_ac.encodingDos, m_ac.encodingUtf8, m_ac.encodingUtf16,
          m_ac.encodingUtf16Be, m_ac.filterLog, m_ac.setTabCaption, m_ac.setTabsOrder, m_ac.goTo})
        action->setEnabled(view != nullptr);
    m_ac.encodingMenu->setEnabled(view && view->document().mode() == vbmodeText);
    if (view)
        updateEncodingMarks(view);
    // Other encodings the detector found likely for this tab's file.
    const std::vector<Encoding> none;
    const std::vector<Encoding> &candidates = tab ? state.active->candidates : none;
    for (size_t i = 0; i < m_ac.encodingCandidates.size(); ++i) {
        QAction *action = m_ac.encodingCandidates[i];
        const bool shown = i < candidates.size() && view;
        action->setVisible(shown);
        if (shown)
            action->setText(QStringLiteral("&%1 ").arg(i + 1) +
                            QString::fromUtf8(encodingLabel(candidates[i]))
                                .replace(QLatin1Char('&'), QStringLiteral("&&")) +
                            QStringLiteral(" (likely)"));
    }
    if (m_candidateSeparator)
        m_candidateSeparator->setVisible(view && !candidates.empty());

    m_ac.saveSession->setEnabled(state.anyTab && state.session);
    m_ac.saveSessionAs->setEnabled(state.anyTab);
    m_ac.closeSession->setEnabled(state.session);
    m_ac.clearRecentSessions->setEnabled(state.recentSessions);
    if (tab)
        updateBookmarkCaptions(*state.active);
}

void CommandSet::updateEncodingMarks(const LogView *view)
{
    const bool text = view->document().mode() == vbmodeText;
    const bool unicode = view->document().mode() == vbmodeUnicode;
    const bool big = view->document().unicodeOrder() == unicodeOrderBig;
    QAction *mark = nullptr;
    if (text && view->document().textEncoding == encodingAnsi)
        mark = m_ac.encodingSystem;
    else if (text && view->document().textEncoding == encodingOem)
        mark = m_ac.encodingDos;
    else if (text && view->document().textEncoding == encodingUtf8)
        mark = m_ac.encodingUtf8;
    else if (unicode)
        mark = big ? m_ac.encodingUtf16Be : m_ac.encodingUtf16;
    for (QAction *action : m_encodingGroup->actions())
        action->setChecked(action == mark);
}

void CommandSet::updateBookmarkCaptions(const Tab &active)
{
    const std::array<QAction *, 3> go{m_ac.goToBookmark1, m_ac.goToBookmark2, m_ac.goToBookmark3};
    for (size_t i = 0; i < go.size(); ++i) {
        const qint64 offset = active.bookmarks[i];
        QString suffix;
        if (offset >= 0 && offset < 1048576)
            suffix = QStringLiteral(" (%1 K)").arg(offset / 1024);
        else if (offset >= 1048576)
            suffix = QStringLiteral(" (%1 M)").arg(offset / 1048576);
        go[i]->setText(m_goCaptions[i] + suffix);
    }
}

namespace {

void showRecent(const std::array<QAction *, WindowActions::kRecentItems> &items,
                const QStringList &shownPaths, QAction *clear)
{
    for (size_t i = 0; i < items.size(); ++i) {
        const QString caption = qsizetype(i) < shownPaths.size()
                                    ? numberedMenuText(int(i) + 1, shownPaths[qsizetype(i)])
                                    : QString();
        items[i]->setText(caption);
        items[i]->setVisible(!caption.isEmpty());
    }
    clear->setEnabled(!shownPaths.isEmpty());
}

} // namespace

void CommandSet::showRecentFiles(const QStringList &shownPaths)
{
    showRecent(m_ac.recentFiles, shownPaths, m_ac.clearRecentFiles);
}

void CommandSet::showRecentSessions(const QStringList &shownPaths)
{
    showRecent(m_ac.recentSessions, shownPaths, m_ac.clearRecentSessions);
}
