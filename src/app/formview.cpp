// Construction, the start and close sequences and the refresh cycle.
#include "app/formview.h"

#include "app/appformat.h"
#include "app/messagebatch.h"
#include "app/ravelinapp.h"
#include "app/shellmessages.h"
#include "app/wraptabbar.h"
#include "viewer/qzbinhex.h"
#include "text/codepagelist.h"
#include "text/codepages.h"
#include "text/contract.h"
#include "text/fproc.h"
#include "text/guard.h"
#include "text/messages.h"
#include "text/sproc.h"

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
static void InitResources()
{
    Q_INIT_RESOURCE(ravelin);
}

namespace {
const QString kUnit = QStringLiteral("FormView");
const QString kNotOpened = QStringLiteral("(File not opened)");

// -1 UTF-16 LE, -2 UTF-16 BE, otherwise the code page index.
int EncodingCode(const TQzBinHex *view)
{
    if (view->Mode() == vbmodeUnicode)
        return view->UnicodeOrder() == UnicodeOrderBig ? EncodingUtf16BE : EncodingUtf16LE;
    return view->TextEncoding();
}
} // namespace

TFormView::TFormView(const QString &settingsPath, const CommandLine &commandLine, QWidget *parent)
    : QMainWindow(parent), m_ini(settingsPath), m_commandLine(commandLine)
{
    InitResources();
    setObjectName(QStringLiteral("FormView"));
    setContextMenuPolicy(Qt::NoContextMenu); // no tool bar hiding behind the settings' back
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateCentralPanel();
    CreateStatusBar();

    // The settings are read only once every control they apply to exists.
    m_refreshTimer.setObjectName(QStringLiteral("RefreshTimer"));
    m_refreshTimer.setInterval(kRefreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, Guarded([this] { RefreshTimerTimer(); }));
    m_ini.Load();
    LoadSettings();
    ApplyOptions();
    CreateSearchWindows();
    UpdateAll();
    setWindowTitle(TRavelinApp::Title());
    setAcceptDrops(true);
}

TFormView::~TFormView()
{
    // Pages lose their tabs while the base class tears them down: no refresh
    // may run on this half-destroyed window.
    disconnect(m_pages, nullptr, this, nullptr);
    // Viewers first: their watchers must not report into a half-destroyed window.
    for (TRec &rec : m_recs) {
        delete rec.View;
        rec.View = nullptr;
    }
}

void TFormView::CreateCentralPanel()
{
    m_panel = new QStackedWidget(this);
    m_panel->setObjectName(QStringLiteral("Panel1"));
    m_panelCaption = new QLabel(kNotOpened, m_panel);
    m_panelCaption->setAlignment(Qt::AlignCenter);
    auto *pages = new TPageControl(m_panel);
    m_pages = pages;
    m_tabBar = pages->WrapBar();
    m_pages->setObjectName(QStringLiteral("Pages"));
    // Keys belong to the active viewer: a clicked tab must not keep the focus
    // (Right would switch tabs, Ctrl+End would reach nothing).
    m_pages->setFocusPolicy(Qt::NoFocus);
    m_pages->tabBar()->setFocusPolicy(Qt::NoFocus);
    m_panel->addWidget(m_panelCaption);
    m_panel->addWidget(m_pages);
    connect(m_pages, &QTabWidget::currentChanged, this, Guarded([this] { PagesChange(); }));
    // A middle click on a tab closes it; the tab shown stays shown.
    connect(m_tabBar, &QTabBar::tabCloseRequested, this,
            Guarded([this](int index) { CloseTabKeepShown(index); }));
    setCentralWidget(m_panel);
}

TRec &TFormView::Rec(int index)
{
    Require(index >= 0 && index < RecCount(), QStringLiteral("Tab index out of range: Rec"), kUnit);
    return m_recs[size_t(index)];
}

const TRec &TFormView::Rec(int index) const
{
    Require(index >= 0 && index < RecCount(), QStringLiteral("Tab index out of range: Rec"), kUnit);
    return m_recs[size_t(index)];
}

// --- Start and close ------------------------------------------------------

void TFormView::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        // Not from inside the show: the messages of the start must come once
        // the window is on the screen, over it.
        const auto start = [this] {
            if (!m_settingsSaved) // closed in the meantime: nothing to open
                FormShow();
        };
        QTimer::singleShot(0, this, Guarded(start));
    }
}

void TFormView::FormShow()
{
    if (m_commandLine.SkipReopen) {
        if (m_settings.Reopen && m_ini.ReadInteger("Save", "Num", 0) > 0)
            ShowMessage(
                TRavelinApp::Title(),
                QStringLiteral("Command line param specified - skipping reopening last logs"),
                MsgIcon::Information);
        // One message for every file that fails, not one box per file.
        const MessageBatch messages(OpenFailuresHeading);
        for (const QString &file : m_commandLine.Files)
            OpenFileTab(file);
    } else if (m_settings.Reopen) {
        const MessageBatch messages(OpenFailuresHeading);
        ReopenLastLogs();
    }
    ShowGotoWindowAtStart();
}

void TFormView::closeEvent(QCloseEvent *event)
{
    RunGuarded([&] {
        // A search still reads through a viewer that closing would destroy.
        if (SearchRunning()) {
            event->ignore();
            return;
        }
        if (!FormCloseQuery()) {
            event->ignore();
            return;
        }
        FormClose();
        FormDestroy();
        QMainWindow::closeEvent(event);
    });
}

bool TFormView::FormCloseQuery()
{
    if (!m_settings.CfmExit || m_closeUnasked)
        return true;
    return ShowMessage(QStringLiteral("Ravelin"), QStringLiteral("Do you want to exit Ravelin?"),
                       MsgIcon::Warning, MsgButtons::OkCancel) == MsgResult::Ok;
}

void TFormView::FormClose()
{
    StoreGotoWindow();
}

void TFormView::FormDestroy()
{
    if (m_settingsSaved)
        return;
    m_settingsSaved = true;
    m_refreshTimer.stop();
    // A settings file that cannot be written has been reported; the program
    // still ends.
    SaveSettings();
}

void TFormView::FileExitExecute()
{
    close();
}

// --- Refresh cycle ----------------------------------------------------------

void TFormView::UpdateAll()
{
    UpdateCaption();
    UpdateActions();
    UpdateStatusBar();
    UpdateRecentMenu();
    UpdateSessionMenu();
    UpdateBookmarkCaptions();
}

void TFormView::UpdateCaption()
{
    QString caption = TRavelinApp::Title();
    const int index = ActiveIndex();
    if (index >= 0)
        caption = ExtractFileNameW(DisplayFileName(m_recs[size_t(index)].FileName)) +
                  QStringLiteral(" - ") + caption;
    if (!m_sessionFile.isEmpty())
        caption = u'{' + QFileInfo(DisplayFileName(m_sessionFile)).completeBaseName() +
                  QStringLiteral("} ") + caption;
    setWindowTitle(PlainWindowTitle(caption));
}

void TFormView::UpdateActions()
{
    const int index = ActiveIndex();
    const bool tab = index >= 0;
    const TQzBinHex *view = ActiveView();
    const bool anyTab = RecCount() > 0;
    const bool session = !m_sessionFile.isEmpty();

    for (QAction *action :
         {m_ac.acFileReload, m_ac.acFileClose, m_ac.acFilePrint, m_ac.acFileClear, m_ac.acEditCopy,
          m_ac.acEditSelectAll, m_ac.acEditFind, m_ac.acEditFindNext, m_ac.acEditFindPrev,
          m_ac.acGotoSet1, m_ac.acGotoSet2, m_ac.acGotoSet3, m_ac.acGotoClear, m_ac.acOptTail,
          m_ac.acOptWrap})
        action->setEnabled(tab);
    m_ac.acFileRecClear->setEnabled(!m_openHistory.IsEmpty());

    const std::array<QAction *, 3> go{m_ac.acGotoGo1, m_ac.acGotoGo2, m_ac.acGotoGo3};
    for (size_t i = 0; i < go.size(); ++i)
        go[i]->setEnabled(tab && m_recs[size_t(index)].Bookmarks[i] != TRec::kNoBookmark);

    m_ac.acOptTail->setChecked(view && view->AutoReloadFollowTail);
    m_ac.acOptWrap->setChecked(view && view->TextWrap());

    for (QAction *action : {m_ac.mnuEncANSI, m_ac.mnuEncOEM, m_ac.mnuEncUTF8, m_ac.mnuEncUTF16,
                            m_ac.mnuEncUTF16BE, m_ac.mnuEdFilter, m_ac.mnuTabCap, m_ac.mnuTabOrd})
        action->setEnabled(view != nullptr);
    m_ac.mnuEncMenu->setEnabled(view && view->Mode() == vbmodeText);
    if (view)
        UpdateEncodingMarks(view);

    m_ac.mnuSessSave->setEnabled(anyTab && session);
    m_ac.mnuSessSaveAs->setEnabled(anyTab);
    m_ac.mnuSessClose->setEnabled(session);
    m_ac.mnuSessRecentClear->setEnabled(!m_sessHistory.IsEmpty());
}

void TFormView::UpdateEncodingMarks(const TQzBinHex *view)
{
    const bool text = view->Mode() == vbmodeText;
    const bool unicode = view->Mode() == vbmodeUnicode;
    const bool big = view->UnicodeOrder() == UnicodeOrderBig;
    QAction *mark = nullptr;
    if (text && view->TextEncoding() == EncodingAnsi)
        mark = m_ac.mnuEncANSI;
    else if (text && view->TextEncoding() == EncodingOem)
        mark = m_ac.mnuEncOEM;
    else if (text && view->TextEncoding() == EncodingUtf8)
        mark = m_ac.mnuEncUTF8;
    else if (unicode)
        mark = big ? m_ac.mnuEncUTF16BE : m_ac.mnuEncUTF16;
    for (QAction *action : m_encodingGroup->actions())
        action->setChecked(action == mark);
}

void TFormView::UpdateStatusBar()
{
    std::array<QString, kStatusPanels> texts;
    if (const TQzBinHex *view = ActiveView()) {
        // The file as it is on disk now, not as the viewer last read it. A
        // tab that could not open its file has no size: a folder's or a
        // device's would mislead.
        qint64 size = 0;
        qint64 time = 0;
        if (view->SourceAssigned() && FileInfoByName(view->FileName(), &size, &time)) {
            texts[0] = FormatFileSize(size);
            texts[1] = FormatFileTime(time);
        }
        texts[2] = QString::fromUtf8(CodepageName(EncodingCode(view)));
        // The tab's own path, also when the viewer never got it.
        texts[3] = DisplayFileName(m_recs[size_t(ActiveIndex())].FileName);
        if (view->WaitingForFile())
            texts[3] = QStringLiteral("Deleted; waiting for it to appear again: ") + texts[3];
    }
    for (size_t i = 0; i < texts.size(); ++i)
        m_statusPanels[i]->setText(texts[i]);
}

void TFormView::UpdateRecentMenu()
{
    const auto &items = m_openHistory.Items();
    for (size_t i = 0; i < m_ac.mnuRec.size(); ++i) {
        const QString caption =
            i < items.size() ? NumberedMenuText(int(i) + 1, DisplayFileName(items[i].Path))
                             : QString();
        m_ac.mnuRec[i]->setText(caption);
        m_ac.mnuRec[i]->setVisible(!caption.isEmpty());
    }
    m_ac.acFileRecClear->setEnabled(!m_openHistory.IsEmpty());
}

void TFormView::UpdateSessionMenu()
{
    const QStringList &items = m_sessHistory.Items();
    for (size_t i = 0; i < m_ac.mnuSess.size(); ++i) {
        const QString caption =
            qsizetype(i) < items.size()
                ? NumberedMenuText(int(i) + 1, DisplayFileName(items[qsizetype(i)]))
                : QString();
        m_ac.mnuSess[i]->setText(caption);
        m_ac.mnuSess[i]->setVisible(!caption.isEmpty());
    }
    m_ac.mnuSessRecentClear->setEnabled(!m_sessHistory.IsEmpty());
}

void TFormView::UpdateBookmarkCaptions()
{
    const int index = ActiveIndex();
    if (index < 0)
        return;
    const std::array<QAction *, 3> go{m_ac.acGotoGo1, m_ac.acGotoGo2, m_ac.acGotoGo3};
    for (size_t i = 0; i < go.size(); ++i) {
        const qint64 offset = m_recs[size_t(index)].Bookmarks[i];
        QString suffix;
        if (offset >= 0 && offset < 1048576)
            suffix = QStringLiteral(" (%1 K)").arg(offset / 1024);
        else if (offset >= 1048576)
            suffix = QStringLiteral(" (%1 M)").arg(offset / 1048576);
        go[i]->setText(m_goCaptions[i] + suffix);
    }
}

void TFormView::RefreshTimerTimer()
{
    m_refreshTimer.stop();
    UpdateAll();
}

void TFormView::ViewFileReload(TQzBinHex *sender)
{
    // A tab closed from inside the viewer's callback has left the list already.
    const auto rec = std::find_if(m_recs.begin(), m_recs.end(),
                                  [sender](const TRec &r) { return r.View == sender; });
    if (rec == m_recs.end())
        return;
    rec->ReloadReason = sender->LastReloadReason();
    // However many reloads come in, the status bar follows at most twice a second.
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void TFormView::ViewOptChange()
{
    UpdateAll();
    const TQzBinHex *view = ActiveView();
    if (!view)
        return;
    m_openHistory.SetEncoding(view->FileName(), EncodingCode(view));
}

void TFormView::RedrawViews()
{
    for (const TRec &rec : m_recs)
        if (rec.View)
            rec.View->Redraw();
    RefreshGotoButtons();
}
