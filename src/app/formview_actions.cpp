// Actions, menus, tool bar, status bar, and the commands that act on the
// active viewer directly.
#include "app/formview.h"

#include "viewer/qzbinhex.h"
#include "text/codepagelist.h"
#include "text/fproc.h"
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

using Member = QAction *TFormView::Actions::*;
using Handler = void (*)(TFormView *);

struct ActionDef
{
    Member Field;
    const char *Name;
    const char *Caption;
    const char *Hint;     // tool tip; empty for none
    const char *Shortcut; // portable key text; empty for none
    Handler Run;
    const char *Icon; // theme name, also the name of the bundled fallback; empty for none
};

using A = TFormView::Actions;
using F = TFormView;

// clang-format off
const ActionDef kActions[] = {
    {&A::acFileOpen, "acFileOpen", "&Open...", "Open a file", "Ctrl+O", [](F *f) { f->FileOpenExecute(); }, "document-open"},
    {&A::acFileClose, "acFileClose", "&Close", "", "Ctrl+W", [](F *f) { f->acFileCloseExecute(); }, ""},
    {&A::acFileReload, "acFileReload", "&Reload", "Reload current file", "F5", [](F *f) { f->acFileReloadExecute(); }, "view-refresh"},
    {&A::acFileRecClear, "acFileRecClear", "&Clear list", "", "", [](F *f) { f->acFileRecClearExecute(); }, ""},
    {&A::acFilePrint, "acFilePrint", "&Print...", "", "Ctrl+P", [](F *f) { f->acFilePrintExecute(); }, ""},
    {&A::acFilePageSetup, "acFilePageSetup", "Pa&ge setup...", "", "", [](F *f) { f->acFilePageSetupExecute(); }, ""},
    {&A::acFileClear, "acFileClear", "Clear &log", "", "Ctrl+D", [](F *f) { f->acFileClearExecute(); }, ""},
    {&A::acFileExit, "acFileExit", "E&xit", "", "Esc", [](F *f) { f->FileExitExecute(); }, ""},
    {&A::acEditCopy, "acEditCopy", "&Copy", "", "Ctrl+C", [](F *f) { f->acEditCopyExecute(); }, ""},
    {&A::acEditSelectAll, "acEditSelectAll", "Select &all", "", "Ctrl+A", [](F *f) { f->acEditSelectAllExecute(); }, ""},
    {&A::acEditFind, "acEditFind", "&Find...", "Find", "Ctrl+F", [](F *f) { f->acEditFindExecute(); }, "edit-find"},
    {&A::acEditFindNext, "acEditFindNext", "Find &next", "Find next", "F3", [](F *f) { f->acEditFindNextExecute(); }, "go-down"},
    {&A::acEditFindPrev, "acEditFindPrev", "Find &previous", "Find previous", "Ctrl+F3", [](F *f) { f->acEditFindPrevExecute(); }, "go-up"},
    {&A::acGotoSet1, "acGotoSet1", "&Set bookmark 1", "", "Ctrl+1", [](F *f) { f->acGotoSetExecute(1); }, ""},
    {&A::acGotoSet2, "acGotoSet2", "S&et bookmark 2", "", "Ctrl+2", [](F *f) { f->acGotoSetExecute(2); }, ""},
    {&A::acGotoSet3, "acGotoSet3", "Se&t bookmark 3", "", "Ctrl+3", [](F *f) { f->acGotoSetExecute(3); }, ""},
    {&A::acGotoGo1, "acGotoGo1", "Go to bookmark &1", "", "Alt+1", [](F *f) { f->acGotoGoExecute(1); }, ""},
    {&A::acGotoGo2, "acGotoGo2", "Go to bookmark &2", "", "Alt+2", [](F *f) { f->acGotoGoExecute(2); }, ""},
    {&A::acGotoGo3, "acGotoGo3", "Go to bookmark &3", "", "Alt+3", [](F *f) { f->acGotoGoExecute(3); }, ""},
    {&A::acGotoClear, "acGotoClear", "&Clear bookmarks", "", "", [](F *f) { f->acGotoClearExecute(); }, ""},
    {&A::acOptDialog, "acOptDialog", "&Options...", "Options dialog", "F9", [](F *f) { f->acOptDialogExecute(); }, "preferences-system"},
    {&A::acOptColors, "acOptColors", "Colors...", "Colors/filters dialog", "F10", [](F *f) { f->acOptColorsExecute(); }, "preferences-desktop-color"},
    {&A::acOptTail, "acOptTail", "&Follow tail", "Follow tail on reload", "F", [](F *f) { f->acOptTailExecute(); }, "follow-tail"},
    {&A::acOptWrap, "acOptWrap", "&Word wrap", "", "W", [](F *f) { f->acOptWrapExecute(); }, ""},
    {&A::acHelpContents, "acHelpContents", "&Contents", "", "F1", [](F *f) { f->acHelpContentsExecute(); }, ""},
    {&A::acHelpAbout, "acHelpAbout", "&About...", "", "Alt+F1", [](F *f) { f->acHelpAboutExecute(); }, ""},

    {&A::Closeall1, "Closeall1", "Close &all", "", "", [](F *f) { f->Closeall1Click(); }, ""},
    {&A::mnuTabCap, "mnuTabCap", "Set &tab caption...", "", "F2", [](F *f) { f->mnuTabCapClick(); }, ""},
    {&A::mnuTabOrd, "mnuTabOrd", "Set tabs or&der...", "", "F4", [](F *f) { f->mnuTabOrdClick(); }, ""},
    {&A::mnuSessOpen, "mnuSessOpen", "&Open session...", "", "", [](F *f) { f->mnuSessOpenClick(); }, ""},
    {&A::mnuSessRecentClear, "mnuSessRecentClear", "&Clear list", "", "", [](F *f) { f->mnuSessRecentClearClick(); }, ""},
    {&A::mnuSessSave, "mnuSessSave", "&Save session", "", "", [](F *f) { f->mnuSessSaveClick(); }, ""},
    {&A::mnuSessSaveAs, "mnuSessSaveAs", "Save session &as...", "", "", [](F *f) { f->mnuSessSaveAsClick(); }, ""},
    {&A::mnuSessClose, "mnuSessClose", "&Close session", "", "", [](F *f) { f->mnuSessCloseClick(); }, ""},
    {&A::mnuEdFilter, "mnuEdFilter", "&Filter log...", "", "Ctrl+N", [](F *f) { f->mnuEdFilterClick(); }, ""},
    {&A::mnuSrGoto, "mnuSrGoto", "&Go to next...", "", "Ctrl+G", [](F *f) { f->mnuSrGotoClick(); }, ""},
    {&A::mnuEncANSI, "mnuEncANSI", "&ANSI (Windows)", "", "A", [](F *f) { f->mnuEncANSIClick(); }, ""},
    {&A::mnuEncOEM, "mnuEncOEM", "&OEM (DOS)", "", "S", [](F *f) { f->mnuEncOEMClick(); }, ""},
    {&A::mnuEncUTF8, "mnuEncUTF8", "&UTF-8", "", "U", [](F *f) { f->mnuEncUTF8Click(); }, ""},
    {&A::mnuEncUTF16, "mnuEncUTF16", "UTF-1&6", "", "", [](F *f) { f->mnuEncUTF16Click(); }, ""},
    {&A::mnuEncUTF16BE, "mnuEncUTF16BE", "UTF-16 &BE", "", "", [](F *f) { f->mnuEncUTF16BEClick(); }, ""},
    {&A::mnuEncMenu, "mnuEncMenu", "&Encoding menu...", "", "", [](F *f) { f->mnuEncMenuClick(); }, ""},
    {&A::Homepage1, "Homepage1", "&Homepage", "", "", [](F *f) { f->Homepage1Click(); }, ""},
};
// clang-format on

QIcon ToolIcon(const char *name)
{
    const QString theme = QString::fromLatin1(name);
    return QIcon::fromTheme(theme, QIcon(QStringLiteral(":/icons/%1.svg").arg(theme)));
}

constexpr int kPanelWidths[] = {70, 130, 200};

} // namespace

void TFormView::CreateActions()
{
    for (const ActionDef &def : kActions) {
        auto *action = new QAction(QString::fromUtf8(def.Caption), this);
        action->setObjectName(QString::fromLatin1(def.Name));
        if (*def.Hint)
            action->setToolTip(QString::fromUtf8(def.Hint));
        if (*def.Shortcut) {
            action->setShortcut(QKeySequence::fromString(QString::fromLatin1(def.Shortcut),
                                                         QKeySequence::PortableText));
            action->setShortcutContext(Qt::WindowShortcut);
        }
        if (*def.Icon)
            action->setIcon(ToolIcon(def.Icon));
        const Handler run = def.Run;
        connect(action, &QAction::triggered, this, Guarded([this, run] { run(this); }));
        m_ac.*def.Field = action;
        // Shortcuts work whether or not the menus are shown.
        addAction(action);
    }
    m_ac.acOptTail->setCheckable(true);
    m_ac.acOptWrap->setCheckable(true);

    m_encodingGroup = new QActionGroup(this);
    m_encodingGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction *item :
         {m_ac.mnuEncANSI, m_ac.mnuEncOEM, m_ac.mnuEncUTF8, m_ac.mnuEncUTF16, m_ac.mnuEncUTF16BE}) {
        item->setCheckable(true);
        m_encodingGroup->addAction(item);
    }

    for (int i = 0; i < kRecentItems; ++i) {
        m_ac.mnuRec[size_t(i)] = new QAction(this);
        m_ac.mnuRec[size_t(i)]->setObjectName(QStringLiteral("mnuRec%1").arg(i + 1));
        connect(m_ac.mnuRec[size_t(i)], &QAction::triggered, this,
                Guarded([this, i] { mnuRec1Click(i); }));
        m_ac.mnuSess[size_t(i)] = new QAction(this);
        m_ac.mnuSess[size_t(i)]->setObjectName(QStringLiteral("mnuSess%1").arg(i + 1));
        connect(m_ac.mnuSess[size_t(i)], &QAction::triggered, this,
                Guarded([this, i] { mnuSess1Click(i); }));
    }
    // Without a configured home page there is nothing to open.
    m_ac.Homepage1->setVisible(!QStringLiteral(RAVELIN_HOMEPAGE).isEmpty());
    m_goCaptions = {m_ac.acGotoGo1->text(), m_ac.acGotoGo2->text(), m_ac.acGotoGo3->text()};
}

void TFormView::CreateMenus()
{
    QMenuBar *bar = menuBar();
    const Actions &a = m_ac;

    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    file->addAction(a.acFileOpen);
    m_recentMenu = file->addMenu(QStringLiteral("Open r&ecent"));
    for (QAction *item : a.mnuRec)
        m_recentMenu->addAction(item);
    m_recentMenu->addSeparator();
    m_recentMenu->addAction(a.acFileRecClear);
    file->addActions({a.acFileClose, a.Closeall1, a.acFileReload});
    file->addSeparator();
    file->addActions({a.mnuTabCap, a.mnuTabOrd});
    file->addSeparator();
    file->addActions({a.acFilePrint, a.acFilePageSetup});
    file->addSeparator();
    file->addAction(a.acFileExit);

    QMenu *session = bar->addMenu(QStringLiteral("&Session"));
    session->addAction(a.mnuSessOpen);
    m_sessionRecentMenu = session->addMenu(QStringLiteral("Open &recent session"));
    for (QAction *item : a.mnuSess)
        m_sessionRecentMenu->addAction(item);
    m_sessionRecentMenu->addSeparator();
    m_sessionRecentMenu->addAction(a.mnuSessRecentClear);
    session->addActions({a.mnuSessSave, a.mnuSessSaveAs, a.mnuSessClose});

    QMenu *edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->addActions({a.acEditCopy, a.acEditSelectAll});
    edit->addSeparator();
    edit->addActions({a.acFileClear, a.mnuEdFilter});

    QMenu *search = bar->addMenu(QStringLiteral("Se&arch"));
    search->addActions({a.acEditFind, a.acEditFindNext, a.acEditFindPrev});
    search->addSeparator();
    search->addAction(a.mnuSrGoto);

    QMenu *bookmarks = bar->addMenu(QStringLiteral("&Bookmarks"));
    bookmarks->addActions({a.acGotoSet1, a.acGotoSet2, a.acGotoSet3});
    bookmarks->addSeparator();
    bookmarks->addActions({a.acGotoGo1, a.acGotoGo2, a.acGotoGo3});
    bookmarks->addSeparator();
    bookmarks->addAction(a.acGotoClear);

    QMenu *encoding = bar->addMenu(QStringLiteral("E&ncoding"));
    encoding->addActions({a.mnuEncANSI, a.mnuEncOEM, a.mnuEncUTF8});
    encoding->addSeparator();
    encoding->addActions({a.mnuEncUTF16, a.mnuEncUTF16BE});
    encoding->addSeparator();
    encoding->addAction(a.mnuEncMenu);

    QMenu *options = bar->addMenu(QStringLiteral("&Options"));
    options->addAction(a.acOptDialog);
    // The menu names the colours item in full; the action keeps its short
    // caption and its shortcut, which the item only displays.
    QAction *colors = options->addAction(QStringLiteral("&Colors && filters...\tF10"));
    colors->setObjectName(QStringLiteral("mnuOptColors"));
    colors->setIcon(a.acOptColors->icon());
    QAction *colorsAction = a.acOptColors;
    connect(colors, &QAction::triggered, colorsAction,
            Guarded([colorsAction] { colorsAction->trigger(); }));
    options->addSeparator();
    options->addActions({a.acOptTail, a.acOptWrap});

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->addActions({a.acHelpContents, a.Homepage1});
    help->addSeparator();
    help->addAction(a.acHelpAbout);
}

void TFormView::CreateToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("ToolBar1"));
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(24, 24));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const Actions &a = m_ac;
    m_toolBar->addAction(a.acFileOpen);
    m_toolBar->addSeparator();
    m_toolBar->addActions({a.acEditFind, a.acEditFindNext, a.acEditFindPrev});
    m_toolBar->addSeparator();
    m_toolBar->addActions({a.acOptDialog, a.acOptColors});
    m_toolBar->addSeparator();
    m_toolBar->addActions({a.acFileReload, a.acOptTail});
}

void TFormView::CreateStatusBar()
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

bool TFormView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == statusBar() && event->type() == QEvent::MouseButtonRelease) {
        RunGuarded(
            [&] { StatusBar1Click(static_cast<QMouseEvent *>(event)->position().toPoint()); });
        return false;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Commands on the active viewer -----------------------------------------

void TFormView::acFileReloadExecute()
{
    TQzBinHex *view = ActiveView();
    if (!view)
        return;
    // The viewer lets go of a deleted file; the tab keeps its name.
    const QString name = Rec(ActiveIndex()).FileName;
    if (!IsFileExist(name)) {
        QApplication::beep();
    } else if (view->SourceAssigned() && view->FileName() == name) {
        view->Reload();
    } else {
        // Deleted and created again, or unreadable when last opened: open anew.
        view->Open(QString(), false);
        view->Open(name);
    }
    UpdateAll();
}

void TFormView::acOptTailExecute()
{
    if (TQzBinHex *view = ActiveView())
        view->AutoReloadFollowTail = !view->AutoReloadFollowTail;
    UpdateAll();
}

void TFormView::acOptWrapExecute()
{
    if (TQzBinHex *view = ActiveView())
        view->SetTextWrap(!view->TextWrap());
    UpdateAll();
}

void TFormView::SetTextEncodingOfView(int encoding)
{
    TQzBinHex *view = ActiveView();
    if (!view)
        return;
    view->SetTextEncoding(encoding);
    view->SetMode(vbmodeText);
    ViewOptChange();
}

void TFormView::SetUnicodeOfView(quint8 order)
{
    TQzBinHex *view = ActiveView();
    if (!view)
        return;
    view->SetTextEncoding(EncodingAnsi);
    view->SetMode(vbmodeUnicode);
    view->SetUnicodeOrder(order);
    ViewOptChange();
}

void TFormView::mnuEncANSIClick()
{
    SetTextEncodingOfView(EncodingAnsi);
}

void TFormView::mnuEncOEMClick()
{
    SetTextEncodingOfView(EncodingOem);
}

void TFormView::mnuEncUTF8Click()
{
    SetTextEncodingOfView(EncodingUtf8);
}

void TFormView::mnuEncUTF16Click()
{
    SetUnicodeOfView(UnicodeOrderLittle);
}

void TFormView::mnuEncUTF16BEClick()
{
    SetUnicodeOfView(UnicodeOrderBig);
}

void TFormView::acFileRecClearExecute()
{
    m_openHistory.Clear();
    UpdateAll();
}

void TFormView::mnuRec1Click(int tag)
{
    if (tag < 0 || tag >= m_openHistory.Count())
        return;
    // A copy: opening moves the entry within the list.
    const QString path = m_openHistory.Items()[size_t(tag)].Path;
    OpenFileTab(path);
}
