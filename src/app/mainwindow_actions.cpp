// What the actions do, the status bar, and the commands that act on the
// active viewer directly.
#include "app/mainwindow.h"

#include "app/quickfind.h"
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

constexpr int kPanelWidths[] = {70, 130, 200};

} // namespace

void MainWindow::connectActions()
{
    using A = WindowActions;
    struct Handler
    {
        QAction *A::*field;
        void (*run)(MainWindow *);
    };
    // clang-format off
    static const Handler handlers[] = {
        {&A::fileOpen, [](MainWindow *f) { f->fileOpenTriggered(); }},
        {&A::openCommand, [](MainWindow *f) { f->openCommandTriggered(); }},
        {&A::openJournal, [](MainWindow *f) { f->openJournalTriggered(); }},
        {&A::fileClose, [](MainWindow *f) { f->fileCloseTriggered(); }},
        {&A::fileReload, [](MainWindow *f) { f->fileReloadTriggered(); }},
        {&A::clearRecentFiles, [](MainWindow *f) { f->clearRecentFilesTriggered(); }},
        {&A::filePrint, [](MainWindow *f) { f->filePrintTriggered(); }},
        {&A::filePageSetup, [](MainWindow *f) { f->filePageSetupTriggered(); }},
        {&A::clearLog, [](MainWindow *f) { f->clearLogTriggered(); }},
        {&A::fileExit, [](MainWindow *f) { f->fileExitTriggered(); }},
        {&A::copy, [](MainWindow *f) { f->copyTriggered(); }},
        {&A::selectAll, [](MainWindow *f) { f->selectAllTriggered(); }},
        {&A::find, [](MainWindow *f) { f->findTriggered(); }},
        {&A::findNext, [](MainWindow *f) { f->findNextTriggered(); }},
        {&A::findPrevious, [](MainWindow *f) { f->findPreviousTriggered(); }},
        {&A::setBookmark1, [](MainWindow *f) { f->setBookmarkTriggered(1); }},
        {&A::setBookmark2, [](MainWindow *f) { f->setBookmarkTriggered(2); }},
        {&A::setBookmark3, [](MainWindow *f) { f->setBookmarkTriggered(3); }},
        {&A::goToBookmark1, [](MainWindow *f) { f->goToBookmarkTriggered(1); }},
        {&A::goToBookmark2, [](MainWindow *f) { f->goToBookmarkTriggered(2); }},
        {&A::goToBookmark3, [](MainWindow *f) { f->goToBookmarkTriggered(3); }},
        {&A::clearBookmarks, [](MainWindow *f) { f->clearBookmarksTriggered(); }},
        {&A::options, [](MainWindow *f) { f->optionsTriggered(); }},
        {&A::colorsAndFilters, [](MainWindow *f) { f->colorsAndFiltersTriggered(); }},
        {&A::followTail, [](MainWindow *f) { f->followTailTriggered(); }},
        {&A::wordWrap, [](MainWindow *f) { f->wordWrapTriggered(); }},
        {&A::helpContents, [](MainWindow *f) { f->helpContentsTriggered(); }},
        {&A::about, [](MainWindow *f) { f->aboutTriggered(); }},
        {&A::closeAll, [](MainWindow *f) { f->closeAllTriggered(); }},
        {&A::setTabCaption, [](MainWindow *f) { f->setTabCaptionTriggered(); }},
        {&A::setTabsOrder, [](MainWindow *f) { f->setTabsOrderTriggered(); }},
        {&A::openSession, [](MainWindow *f) { f->openSessionTriggered(); }},
        {&A::clearRecentSessions, [](MainWindow *f) { f->clearRecentSessionsTriggered(); }},
        {&A::saveSession, [](MainWindow *f) { f->saveSessionTriggered(); }},
        {&A::saveSessionAs, [](MainWindow *f) { f->saveSessionAsTriggered(); }},
        {&A::closeSession, [](MainWindow *f) { f->closeSessionTriggered(); }},
        {&A::filterLog, [](MainWindow *f) { f->filterLogTriggered(); }},
        {&A::goToNext, [](MainWindow *f) { f->goToNextTriggered(); }},
        {&A::goTo, [](MainWindow *f) { f->goToTriggered(); }},
        {&A::encodingSystem, [](MainWindow *f) { f->encodingSystemTriggered(); }},
        {&A::encodingDos, [](MainWindow *f) { f->encodingDosTriggered(); }},
        {&A::encodingUtf8, [](MainWindow *f) { f->encodingUtf8Triggered(); }},
        {&A::encodingUtf16, [](MainWindow *f) { f->encodingUtf16Triggered(); }},
        {&A::encodingUtf16Be, [](MainWindow *f) { f->encodingUtf16BeTriggered(); }},
        {&A::encodingMenu, [](MainWindow *f) { f->encodingMenuTriggered(); }},
        {&A::homepage, [](MainWindow *f) { f->homepageTriggered(); }},
    };
    // clang-format on
    const WindowActions &a = acts();
    for (const Handler &handler : handlers) {
        const auto run = handler.run;
        connect(a.*handler.field, &QAction::triggered, this, guarded([this, run] { run(this); }));
    }
    for (int i = 0; i < WindowActions::kCandidates; ++i)
        connect(a.encodingCandidates[size_t(i)], &QAction::triggered, this, guarded([this, i] {
                    const int index = activeIndex();
                    if (index < 0 || size_t(i) >= tabAt(index).candidates.size())
                        return;
                    const Encoding encoding = tabAt(index).candidates[size_t(i)];
                    if (encoding.isUtf16())
                        setUnicodeOfView(encoding.isBigEndian() ? unicodeOrderBig
                                                                : unicodeOrderLittle);
                    else
                        setTextEncodingOfView(encoding);
                }));
    for (int i = 0; i < kRecentItems; ++i) {
        connect(a.recentFiles[size_t(i)], &QAction::triggered, this,
                guarded([this, i] { recentFileTriggered(i); }));
        connect(a.recentSessions[size_t(i)], &QAction::triggered, this,
                guarded([this, i] { recentSessionTriggered(i); }));
    }
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
    // Apart from the numbered panels: it changes with every scroll.
    m_linePanel = new QLabel(bar);
    m_linePanel->setObjectName(QStringLiteral("StatusLine"));
    m_linePanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_linePanel->setTextFormat(Qt::PlainText);
    m_linePanel->setAlignment(Qt::AlignCenter);
    m_linePanel->setMinimumWidth(110);
    bar->addPermanentWidget(m_linePanel);
    m_followPanel = new QLabel(bar);
    m_followPanel->setObjectName(QStringLiteral("StatusFollow"));
    m_followPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_followPanel->setTextFormat(Qt::PlainText);
    m_followPanel->setAlignment(Qt::AlignCenter);
    m_followPanel->setMinimumWidth(
        m_followPanel->fontMetrics().horizontalAdvance(QStringLiteral("following")) + 16);
    bar->addPermanentWidget(m_followPanel);
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
    } else if (view->document().sourceAssigned() && view->fileName() == name) {
        view->reload();
    } else {
        // Deleted and created again, or unreadable when last opened: open anew.
        view->open(QString(), false);
        view->open(name);
    }
    if (QuickFind *find = quickFindOf(view))
        find->sourceChanged();
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
    if (LogView *view = activeView()) {
        ViewOptions options = view->options();
        options.textWrap = !options.textWrap;
        view->setOptions(options);
    }
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
    m_sessions.recentFiles().clear();
    updateAll();
}

void MainWindow::recentFileTriggered(int tag)
{
    if (tag < 0 || tag >= m_sessions.recentFiles().count())
        return;
    // A copy: opening moves the entry within the list.
    const RecentFile item = m_sessions.recentFiles().items()[size_t(tag)];
    if (item.command)
        openCommandTab(item.path); // chosen from the menu: that is the user's yes
    else
        openFileTab(item.path);
}
