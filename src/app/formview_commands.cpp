// Bookmarks, clear log, copy, the encoding menu, options, tab captions and
// order, help.
#include "app/formview.h"

#include "app/fileclear.h"
#include "app/formabout.h"
#include "app/formoptions.h"
#include "app/formtaborder.h"
#include "app/helpwindow.h"
#include "app/ravelinapp.h"
#include "app/shellmessages.h"
#include "viewer/qzbinhex.h"
#include "text/fproc.h"
#include "text/sproc.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>

int TFormView::RunDialog(QDialog &dialog)
{
    return ExecDialog ? ExecDialog(dialog) : dialog.exec();
}

// --- Bookmarks --------------------------------------------------------------

void TFormView::acGotoSetExecute(int bookmark)
{
    const int index = ActiveIndex();
    if (index < 0 || bookmark < 1 || bookmark > 3)
        return;
    TRec &rec = Rec(index);
    rec.Bookmarks[size_t(bookmark - 1)] = rec.View->ViewPos();
    UpdateAll();
}

void TFormView::acGotoGoExecute(int bookmark)
{
    const int index = ActiveIndex();
    if (index < 0 || bookmark < 1 || bookmark > 3)
        return;
    const TRec &rec = Rec(index);
    const qint64 offset = rec.Bookmarks[size_t(bookmark - 1)];
    if (offset != TRec::kNoBookmark)
        rec.View->ScrollTo(offset);
}

void TFormView::acGotoClearExecute()
{
    const int index = ActiveIndex();
    if (index < 0)
        return;
    Rec(index).Bookmarks.fill(TRec::kNoBookmark);
    UpdateAll();
}

// --- Clear log, copy, encoding popup ----------------------------------------

void TFormView::acFileClearExecute()
{
    const int index = ActiveIndex();
    if (index < 0)
        return;
    const QString name = Rec(index).FileName;
    if (m_settings.CfmClear &&
        ShowMessage(TRavelinApp::Title(),
                    FormatStrW(QStringLiteral("Do you want to clear the log file\n\"%s\" ?\n\n"
                                              "Warning: file could be updated since the last "
                                              "display."),
                               {DisplayFileName(name)}),
                    MsgIcon::Warning, MsgButtons::OkCancel) != MsgResult::Ok)
        return;
    if (!ClearRegularFile(name))
        MsgWarning(QStringLiteral("Could not clear file"));
    acFileReloadExecute();
}

void TFormView::acEditCopyExecute()
{
    if (TQzBinHex *view = ActiveView())
        view->CopyToClipboard(false);
}

void TFormView::acEditSelectAllExecute()
{
    if (TQzBinHex *view = ActiveView())
        view->SelectAll();
}

void TFormView::StatusBar1Click(const QPoint &position)
{
    // The encoding panel as laid out, both ends included.
    const QRect panel = m_statusPanels[2]->geometry();
    if (position.x() < panel.left() || position.x() > panel.left() + panel.width())
        return;
    if (TQzBinHex *view = ActiveView()) {
        const QPoint at = statusBar()->mapToGlobal(position);
        view->ShowEncodingMenu(at.x(), at.y());
    }
}

void TFormView::mnuEncMenuClick()
{
    TQzBinHex *view = ActiveView();
    if (!view || view->Mode() != vbmodeText)
        return;
    const QPoint at = QCursor::pos();
    view->ShowEncodingMenu(at.x(), at.y());
}

// --- Options ----------------------------------------------------------------

void TFormView::acOptDialogExecute()
{
    TFormOptions dialog(this);
    dialog.LoadFrom(m_settings);
    if (RunDialog(dialog) != QDialog::Accepted)
        return;
    AppSettings edited = m_settings;
    dialog.TakeInto(edited);
    m_settings = edited;
    ApplyOptions();
    UpdateAll();
}

// --- Tab captions and order ---------------------------------------------------

void TFormView::mnuTabCapClick()
{
    const int index = ActiveIndex();
    if (index >= 0)
        RenameTab(index);
}

void TFormView::RenameTab(int index)
{
    if (index < 0 || index >= RecCount())
        return;
    TRec &rec = Rec(index);
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("TabCaptionDialog"));
    dialog.setWindowTitle(QStringLiteral("Ravelin"));
    dialog.setLabelText(QStringLiteral("Tab caption for \"") +
                        ExtractFileNameW(DisplayFileName(rec.FileName)) + QStringLiteral("\":"));
    MakeLabelsPlain(&dialog);
    dialog.setTextValue(QString::fromUtf8(rec.Caption));
    if (RunDialog(dialog) != QDialog::Accepted)
        return;
    rec.Caption = dialog.textValue().toUtf8();
    SetTabCaption(index, rec.Caption, false);
}

void TFormView::MoveTab(int from, int to)
{
    if (from == to || from < 0 || to < 0 || from >= RecCount() || to >= RecCount())
        return;
    // Every field moves with its record, so record i keeps describing page i.
    const TRec moved = m_recs[size_t(from)];
    m_recs.erase(m_recs.begin() + from);
    m_recs.insert(m_recs.begin() + to, moved);
    const QSignalBlocker blocker(m_pages);
    m_pages->tabBar()->moveTab(from, to);
}

void TFormView::FillTabList(QListWidget *list) const
{
    const int selected = list->currentRow();
    list->setUpdatesEnabled(false);
    list->clear();
    for (const TRec &rec : m_recs) {
        QString line = DisplayFileName(rec.FileName);
        if (!rec.Caption.isEmpty())
            line = QString::fromUtf8(rec.Caption) + QStringLiteral("   [") +
                   DisplayFileName(rec.FileName) + u']';
        list->addItem(line);
    }
    list->setCurrentRow(selected >= 0 && selected < list->count() ? selected : 0);
    list->setUpdatesEnabled(true);
}

void TFormView::CloseTabKeepShown(int index)
{
    QWidget *shown = m_pages->currentWidget();
    const bool closesShown = shown == m_pages->widget(index);
    CloseTab(index);
    if (!closesShown && shown) {
        const QSignalBlocker blocker(m_pages);
        m_pages->setCurrentWidget(shown);
    }
    UpdateAll();
    FocusActiveView();
}

void TFormView::mnuTabOrdClick()
{
    if (!ActiveView())
        return;
    TFormTabOrder dialog(this);
    dialog.MoveTab = [this](int from, int to) { MoveTab(from, to); };
    dialog.RenameTab = [this](int index) { RenameTab(index); };
    dialog.CloseTab = [this](int index) { CloseTabKeepShown(index); };
    dialog.FillTabList = [this](QListWidget *list) { FillTabList(list); };
    FillTabList(dialog.List);
    dialog.List->setCurrentRow(ActiveIndex());
    RunDialog(dialog);
}

// --- Help -------------------------------------------------------------------

void TFormView::acHelpContentsExecute()
{
    ShowHelp(this, FindHelpFile(QCoreApplication::applicationFilePath()),
             OpenUrl ? OpenUrl : OpenUrlFn(&QDesktopServices::openUrl));
}

void TFormView::Homepage1Click()
{
    const QUrl url(QStringLiteral(RAVELIN_HOMEPAGE));
    if (url.isEmpty() || !(OpenUrl ? OpenUrl(url) : QDesktopServices::openUrl(url)))
        QApplication::beep();
}

void TFormView::acHelpAboutExecute()
{
    TFormAbout about(this);
    about.labName->setText(TRavelinApp::Title());
    about.labVer->setText(QStringLiteral("Version %1").arg(QStringLiteral(RAVELIN_VERSION)));
    RunDialog(about);
}
