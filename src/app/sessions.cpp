#include "app/sessions.h"

#include "viewer/logview.h"

#include "app/matchpane.h"

#include "app/inifile.h"
#include "app/shellmessages.h"
#include "app/tabset.h"
#include "text/fileutil.h"
#include "text/stringutil.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

namespace {

const QString kSessionFilter = QStringLiteral("Sessions (*.ravelin-session)");
const QString kSessionSuffix = QStringLiteral("ravelin-session");
const QByteArray kSessHistory = "SessHistory";

} // namespace

QStringList Sessions::shownRecentFiles() const
{
    QStringList shown;
    for (const RecentFile &item : m_recentFiles.items())
        shown << (item.command ? QStringLiteral("Command: ") + item.path
                               : displayFileName(item.path));
    return shown;
}

QStringList Sessions::shownRecentSessions() const
{
    QStringList shown;
    for (const QString &path : m_recentSessions.items())
        shown << displayFileName(path);
    return shown;
}

SessionTab::Pane Sessions::paneOf(LogView *view)
{
    SessionTab::Pane stored;
    const MatchPane *pane = MatchPane::of(view);
    if (!pane || !pane->isOpen())
        return stored;
    const LineFilter &filter = pane->filter();
    stored.text = filter.pattern.text;
    stored.flags = (filter.pattern.caseSensitive ? SessionTab::Pane::CaseSensitive : 0) |
                   (filter.pattern.wholeWords ? SessionTab::Pane::WholeWords : 0) |
                   (filter.pattern.regex ? SessionTab::Pane::Regex : 0) |
                   (filter.invert ? SessionTab::Pane::Invert : 0);
    stored.perMille = int(pane->ratio() * 1000 + 0.5);
    return stored;
}

bool Sessions::save(const QString &fileName, const std::vector<Tab> &tabs, int active)
{
    std::vector<SessionTab> entries;
    entries.reserve(tabs.size());
    int shownActive = 0;
    for (size_t i = 0; i < tabs.size(); ++i) {
        const Tab &rec = tabs[i];
        // A stream cannot be opened again from its spool; a command can be
        // run again and a compressed file decompressed again.
        const bool file = !rec.spooled || !rec.source.isEmpty();
        if (!file && rec.command.isEmpty())
            continue;
        if (int(i) == active)
            shownActive = int(entries.size());
        SessionTab entry(file ? (rec.spooled ? rec.source : rec.fileName) : QString(),
                         file ? TabSet::userCaption(rec) : QByteArray());
        entry.command = rec.command;
        entry.pane = paneOf(rec.view);
        // A stream has none worth keeping; a file, the one it is shown in.
        if (file && rec.view && rec.view->document().sourceAssigned())
            entry.encoding = rec.view->document().shownEncoding().storedCode();
        entries.push_back(std::move(entry));
    }
    active = shownActive;
    IniFile ini(fileName);
    // An unreadable file is reported by UpdateFile and left as it is.
    ini.load();
    const QStringList leftOut = writeSession(ini, entries, active);
    if (!ini.updateFile())
        return false;
    if (!leftOut.isEmpty())
        msgWarning(QStringLiteral("A path with a line break cannot be kept in a session; "
                                  "it is left out:\n") +
                   leftOut.join(QLatin1Char('\n')));
    m_current = fileName;
    m_recentSessions.add(fileName);
    return true;
}

bool Sessions::read(const QString &fileName, SessionData &session)
{
    bool isFolder = false;
    if (!isFileOrDirExist(fileName, &isFolder)) {
        QApplication::beep();
        return false;
    }
    IniFile ini(fileName);
    if (isFolder || !ini.load()) {
        msgError(formatStrW(QStringLiteral("Cannot read session file: \"%s\""),
                            {displayFileName(fileName)}) +
                 QStringLiteral("\n") +
                 (isFolder ? QStringLiteral("It is a folder") : ini.lastError()));
        return false;
    }
    session = readSession(ini);
    return true;
}

QString Sessions::chooseFile(QWidget *parent, bool save,
                             const std::function<int(QDialog &)> &runDialog)
{
    QFileDialog dialog(
        parent, save ? QStringLiteral("Save session") : QStringLiteral("Open session"), m_lastDir);
    dialog.setNameFilter(kSessionFilter);
    dialog.setDefaultSuffix(kSessionSuffix);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (runDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString chosen = fileNameFromDisplayed(dialog.selectedFiles().constFirst());
    m_lastDir = QFileInfo(chosen).absolutePath();
    return chosen;
}

void Sessions::load(const IniFile &ini)
{
    m_recentFiles.load(ini);
    m_recentSessions.load(ini);
    // Read whether or not the last logs are reopened: otherwise the folder
    // of the session dialogs would be lost at the next exit.
    m_lastDir = fileNameFromBytes(ini.readString(kSessHistory, "LastDir", {}));
}

QStringList Sessions::saveRecentFiles(IniFile &ini) const
{
    return m_recentFiles.save(ini);
}

QStringList Sessions::saveRest(IniFile &ini) const
{
    ini.writeExact(kSessHistory, "Current", fileNameToBytes(m_current));
    ini.writeExact(kSessHistory, "LastDir", fileNameToBytes(m_lastDir));
    return m_recentSessions.save(ini);
}
