// Sessions of tabs and the recent sessions list.
#include "app/formview.h"

#include "app/inifile.h"
#include "app/messagebatch.h"
#include "app/shellmessages.h"
#include "text/fproc.h"
#include "text/sproc.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTabWidget>

namespace {

const QString kSessionFilter = QStringLiteral("Sessions (*.ravelin-session)");
const QString kSessionSuffix = QStringLiteral("ravelin-session");
// Opening many tabs lets the window repaint at least this often.
constexpr qint64 kRepaintEveryMs = 50;

} // namespace

bool TFormView::OpenFileTabWithCaption(const QString &path, const QByteArray &caption)
{
    const int before = RecCount();
    OpenFileTab(path);
    if (RecCount() == before)
        return false;
    // Earlier versions stored every caption: one the path gives anyway is
    // not the user's and must not freeze the tab's look.
    TRec &rec = m_recs.back();
    if (!caption.isEmpty() && caption != PathCaption(rec.FileName)) {
        rec.Caption = caption;
        SetTabCaption(RecCount() - 1, rec.Caption, false);
    }
    return true;
}

bool TFormView::SaveSession(const QString &fileName)
{
    std::vector<SessionTab> tabs;
    tabs.reserve(m_recs.size());
    for (const TRec &rec : m_recs)
        tabs.push_back({rec.FileName, UserCaption(rec)});
    IniFile ini(fileName);
    // An unreadable file is reported by UpdateFile and left as it is.
    ini.Load();
    const QStringList leftOut = WriteSession(ini, tabs, ActiveIndex());
    if (!ini.UpdateFile())
        return false;
    if (!leftOut.isEmpty())
        MsgWarning(QStringLiteral("A path with a line break cannot be kept in a session; "
                                  "it is left out:\n") +
                   leftOut.join(QLatin1Char('\n')));
    m_sessionFile = fileName;
    AddRecentSession(fileName);
    UpdateAll();
    return true;
}

void TFormView::OpenSession(const QString &fileName)
{
    bool isFolder = false;
    if (!IsFileOrDirExist(fileName, &isFolder)) {
        QApplication::beep();
        return;
    }
    IniFile ini(fileName);
    if (isFolder || !ini.Load()) {
        MsgError(FormatStrW(QStringLiteral("Cannot read session file: \"%s\""),
                            {DisplayFileName(fileName)}) +
                 QStringLiteral("\n") +
                 (isFolder ? QStringLiteral("It is a folder") : ini.LastError()));
        return;
    }
    const SessionData session = ReadSession(ini);
    CloseAllTabs();
    m_sessionFile = fileName;

    // One message for every entry that fails, not one box per entry, and
    // only once the session is shown.
    const MessageBatch messages(OpenFailuresHeading);
    QElapsedTimer sinceRepaint;
    sinceRepaint.start();
    qsizetype notOpened = 0;
    {
        m_openBehind = true;
        const auto restore = qScopeGuard([this] { m_openBehind = false; });
        for (const SessionTab &tab : session.Tabs) {
            if (RecCount() >= kMaxTabs) {
                ++notOpened;
                continue;
            }
            OpenFileTabWithCaption(tab.Path, tab.Caption);
            if (sinceRepaint.elapsed() >= kRepaintEveryMs) {
                // The window repaints while a large session opens; the user's
                // clicks and keys wait until it is open.
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                sinceRepaint.restart();
            }
        }
    }
    if (notOpened > 0)
        MsgWarning(QStringLiteral("Too many files opened (%1): %2 more files of the session "
                                  "were not opened")
                       .arg(kMaxTabs)
                       .arg(notOpened));
    // A stored index that names no opened tab: the last one opened is shown.
    if (RecCount() > 0)
        m_pages->setCurrentIndex(
            session.Active >= 0 && session.Active < RecCount() ? session.Active : RecCount() - 1);
    FocusActiveView();
    AddRecentSession(fileName);
    UpdateAll();
}

void TFormView::CloseSession()
{
    CloseAllTabs();
    m_sessionFile.clear();
    UpdateAll();
}

void TFormView::AddRecentSession(const QString &fileName)
{
    m_sessHistory.Add(fileName);
}

QString TFormView::ChooseSessionFile(bool save)
{
    QFileDialog dialog(this, save ? QStringLiteral("Save session") : QStringLiteral("Open session"),
                       m_lastDir);
    dialog.setNameFilter(kSessionFilter);
    dialog.setDefaultSuffix(kSessionSuffix);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (RunDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString chosen = FileNameFromDisplayed(dialog.selectedFiles().constFirst());
    m_lastDir = QFileInfo(chosen).absolutePath();
    return chosen;
}

void TFormView::mnuSessOpenClick()
{
    const QString chosen = ChooseSessionFile(false);
    if (!chosen.isEmpty())
        OpenSession(chosen);
}

void TFormView::mnuSess1Click(int tag)
{
    if (tag < 0 || tag >= m_sessHistory.Count())
        return;
    // A copy: opening moves the entry within the list.
    const QString path = m_sessHistory.Items()[tag];
    OpenSession(path);
}

void TFormView::mnuSessRecentClearClick()
{
    m_sessHistory.Clear();
    UpdateAll();
}

void TFormView::mnuSessSaveClick()
{
    if (!m_sessionFile.isEmpty())
        SaveSession(m_sessionFile);
}

void TFormView::mnuSessSaveAsClick()
{
    if (RecCount() == 0) {
        QApplication::beep();
        return;
    }
    const QString chosen = ChooseSessionFile(true);
    if (!chosen.isEmpty())
        SaveSession(chosen);
}

void TFormView::mnuSessCloseClick()
{
    CloseSession();
}
