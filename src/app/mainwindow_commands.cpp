// Bookmarks, clear log, copy, the encoding menu, options, tab captions and
// order, help.
#include "app/mainwindow.h"

#include "app/fileclear.h"
#include "app/aboutdialog.h"
#include "app/optionsdialog.h"
#include "app/taborderdialog.h"
#include "app/helpwindow.h"
#include "app/ravelinapp.h"
#include "app/shellmessages.h"
#include "viewer/logview.h"
#include "text/fileutil.h"
#include "text/stringutil.h"

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

int MainWindow::runDialog(QDialog &dialog)
{
    return execDialog ? execDialog(dialog) : dialog.exec();
}

// --- Bookmarks --------------------------------------------------------------

void MainWindow::setBookmarkTriggered(int bookmark)
{
    const int index = activeIndex();
    if (index < 0 || bookmark < 1 || bookmark > 3)
        return;
    Tab &rec = tabAt(index);
    rec.bookmarks[size_t(bookmark - 1)] = rec.view->viewPos();
    updateAll();
}

void MainWindow::goToBookmarkTriggered(int bookmark)
{
    const int index = activeIndex();
    if (index < 0 || bookmark < 1 || bookmark > 3)
        return;
    const Tab &rec = tabAt(index);
    const qint64 offset = rec.bookmarks[size_t(bookmark - 1)];
    if (offset != Tab::kNoBookmark)
        rec.view->scrollTo(offset);
}

void MainWindow::clearBookmarksTriggered()
{
    const int index = activeIndex();
    if (index < 0)
        return;
    tabAt(index).bookmarks.fill(Tab::kNoBookmark);
    updateAll();
}

// --- Clear log, copy, encoding popup ----------------------------------------

void MainWindow::clearLogTriggered()
{
    const int index = activeIndex();
    if (index < 0)
        return;
    const QString name = tabAt(index).fileName;
    if (m_settings.cfmClear &&
        showMessage(RavelinApp::title(),
                    formatStrW(QStringLiteral("Do you want to clear the log file\n\"%s\" ?\n\n"
                                              "Warning: file could be updated since the last "
                                              "display."),
                               {displayFileName(name)}),
                    MsgIcon::Warning, MsgButtons::OkCancel) != MsgResult::Ok)
        return;
    if (!clearRegularFile(name))
        msgWarning(QStringLiteral("Could not clear file"));
    fileReloadTriggered();
}

void MainWindow::copyTriggered()
{
    if (LogView *view = activeView())
        view->copyToClipboard(false);
}

void MainWindow::selectAllTriggered()
{
    if (LogView *view = activeView())
        view->selectAll();
}

void MainWindow::statusBarClicked(const QPoint &position)
{
    // The encoding panel as laid out, both ends included.
    const QRect panel = m_statusPanels[2]->geometry();
    if (position.x() < panel.left() || position.x() > panel.left() + panel.width())
        return;
    if (LogView *view = activeView()) {
        const QPoint at = statusBar()->mapToGlobal(position);
        view->showEncodingMenu(at.x(), at.y());
    }
}

void MainWindow::encodingMenuTriggered()
{
    LogView *view = activeView();
    if (!view || view->document().mode() != vbmodeText)
        return;
    const QPoint at = QCursor::pos();
    view->showEncodingMenu(at.x(), at.y());
}

// --- Options ----------------------------------------------------------------

void MainWindow::optionsTriggered()
{
    OptionsDialog dialog(this);
    dialog.loadFrom(m_settings);
    if (runDialog(dialog) != QDialog::Accepted)
        return;
    AppSettings edited = m_settings;
    dialog.takeInto(edited);
    m_settings = edited;
    applyOptions();
    updateAll();
}

// --- Tab captions and order ---------------------------------------------------

void MainWindow::setTabCaptionTriggered()
{
    const int index = activeIndex();
    if (index >= 0)
        renameTab(index);
}

void MainWindow::renameTab(int index)
{
    if (index < 0 || index >= tabCount())
        return;
    Tab &rec = tabAt(index);
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("TabCaptionDialog"));
    dialog.setWindowTitle(QStringLiteral("Ravelin"));
    dialog.setLabelText(QStringLiteral("Tab caption for \"") +
                        extractFileNameW(displayFileName(rec.fileName)) + QStringLiteral("\":"));
    makeLabelsPlain(&dialog);
    dialog.setTextValue(QString::fromUtf8(rec.caption));
    if (runDialog(dialog) != QDialog::Accepted)
        return;
    rec.caption = dialog.textValue().toUtf8();
    m_tabs.setCaption(index, rec.caption, false);
}

void MainWindow::moveTab(int from, int to)
{
    m_tabs.move(from, to);
}

void MainWindow::fillTabList(QListWidget *list) const
{
    m_tabs.fillList(list);
}

void MainWindow::closeTabKeepShown(int index)
{
    QWidget *shown = m_tabs.pages()->currentWidget();
    const bool closesShown = shown == m_tabs.pages()->widget(index);
    closeTab(index);
    if (!closesShown && shown)
        m_tabs.setActiveQuietly(m_tabs.pages()->indexOf(shown));
    updateAll();
    m_tabs.focusActiveView();
}

void MainWindow::setTabsOrderTriggered()
{
    if (!activeView())
        return;
    TabOrderDialog dialog(this);
    dialog.moveTab = [this](int from, int to) { moveTab(from, to); };
    dialog.renameTab = [this](int index) { renameTab(index); };
    dialog.closeTab = [this](int index) { closeTabKeepShown(index); };
    dialog.fillTabList = [this](QListWidget *list) { fillTabList(list); };
    fillTabList(dialog.list);
    dialog.list->setCurrentRow(activeIndex());
    runDialog(dialog);
}

// --- Help -------------------------------------------------------------------

void MainWindow::helpContentsTriggered()
{
    showHelp(this, findHelpFile(QCoreApplication::applicationFilePath()),
             openUrl ? openUrl : OpenUrlFn(&QDesktopServices::openUrl));
}

void MainWindow::homepageTriggered()
{
    const QUrl url(QStringLiteral(RAVELIN_HOMEPAGE));
    if (url.isEmpty() || !(openUrl ? openUrl(url) : QDesktopServices::openUrl(url)))
        QApplication::beep();
}

void MainWindow::aboutTriggered()
{
    AboutDialog about(this);
    about.labName->setText(RavelinApp::title());
    about.labVer->setText(QStringLiteral("Version %1").arg(QStringLiteral(RAVELIN_VERSION)));
    runDialog(about);
}
