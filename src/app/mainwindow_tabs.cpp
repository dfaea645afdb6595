// Tabs: opening a file into a new tab, closing tabs, the open dialog and
// dropped files.
#include "app/mainwindow.h"

#include "watch/compression.h"

#include "app/appformat.h"
#include "app/colorconv.h"
#include "app/filterlogdialog.h"
#include "app/messagebatch.h"
#include "app/shellmessages.h"
#include "rules/substringsfilter.h"
#include "viewer/logview.h"
#include "text/codepagelist.h"
#include "text/encodingdetect.h"
#include "text/fileutil.h"
#include "text/guard.h"
#include "text/stringutil.h"
#include "watch/compression.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QSysInfo>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The first two bytes are a UTF-16 byte order mark.
bool hasUnicodeMark(const QString &fileName)
{
    const FileHandle handle = fileOpenRead(fileName);
    if (handle == invalidFileHandle)
        return false;
    const bool unicode = isFileUnicode(handle);
    fileClose(handle);
    return unicode;
}

} // namespace

LogView *MainWindow::addTab(Tab rec, const QString &toolTip)
{
    m_tabs.showPages(true);
    rec.sheet = new QWidget;
    const int index = m_tabs.add(rec, toolTip, m_openBehind);
    auto *view = new LogView(rec.sheet);
    auto *layout = new QVBoxLayout(rec.sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    view->show(); // now, not later from the layout: a hidden widget takes no focus
    m_recs[size_t(index)].view = view;
    configureNewView(view);
    return view;
}

LogView *MainWindow::activeView() const
{
    return m_tabs.activeView();
}

void MainWindow::openFileTab(const QString &name)
{
    if (name.isEmpty()) // names no file; would only leave an empty recent entry
        return;
    // The viewer's message and the shell's come as one, after the status bar
    // shows the new tab; a batch of openings shows them all at its end.
    const MessageBatch messages(openFailuresHeading);
    // Stored in the recent list and the settings: a relative name would mean
    // another file once the program starts in another folder.
    const QString fileName = absoluteFileName(name);
    const QString shownName = displayFileName(fileName);
    if (tabCount() >= kMaxTabs) {
        msgWarning(QStringLiteral("Too many files opened (%1)").arg(kMaxTabs));
        return;
    }
    // A missing file still gets its (empty) tab, and so does a folder, a pipe
    // or a device, which the viewer refuses to open; a regular file that
    // cannot be read gets none.
    if (isRegularFile(fileName) && !isFileReadable(fileName)) {
        msgWarning(formatStrW(QStringLiteral("Cannot read file: \"%s\""), {shownName}));
        return;
    }

    if (isRegularFile(fileName) && openCompressedTab(fileName, shownName))
        return;
    bool known = false;
    const Encoding encoding = m_sessions.recentFiles().touch(fileName, &known);
    Tab rec;
    rec.fileName = fileName;
    rec.caption = TabSet::pathCaption(fileName);
    LogView *view = addTab(rec, plainToolTip(shownName));

    if (isFileExist(fileName) && view->open(fileName)) {
        if (m_settings.toEnd)
            view->scrollTo(view->document().fileSize());
        if (hasUnicodeMark(fileName))
            view->setMode(vbmodeUnicode); // the viewer reads the byte order from the mark
        if (view->document().mode() == vbmodeText) {
            // A file met for the first time gets what its bytes suggest;
            // one met before, what it had.
            if (!known && m_settings.detectEncoding)
                detectEncoding(m_recs.back());
            else
                applyEncoding(view, encoding);
        }
    } else {
        // A missing file is waited for: the tab follows it once it appears.
        if (!isFileOrDirExist(fileName))
            view->waitForFile(fileName);
        // Said once even when the viewer has said it already.
        msgWarning(formatStrW(QStringLiteral("Cannot open file: \"%s\""), {shownName}));
    }
    m_tabs.focusActiveView();
    updateAll();
}

void MainWindow::configureNewView(LogView *view)
{
    m_config.configureNewView(view);
    // A tab opened behind another is laid out only when first shown; until
    // then it follows the tail at the size of the page shown now.
    view->setHiddenSizeSource([this] {
        const QWidget *page = m_tabs.pages()->currentWidget();
        return page ? page->size() : QSize();
    });

    connect(view, &LogView::fileReloaded, this, [this, view] { viewFileReload(view); });
    connect(view, &LogView::optionsChanged, this, [this] { viewOptionsChanged(); });
    connect(view, &LogView::drawn, this, guarded([this, view] {
                if (view == activeView())
                    updateLinePanel();
                else
                    markFollowing(view);
            }));
    view->setBackgroundJobs(&m_jobs);
    // Colour rules first: they test the line as the file has it.
    view->setLineDecorators(ruleDecorators());
    installQuickFindKey(view);
    view->setDumpTextFilter([](const QString &text) { return filterDisplayText(text); });
}

void MainWindow::applyEncoding(LogView *view, Encoding encoding)
{
    if (encoding.isUtf16()) {
        view->setMode(vbmodeUnicode);
        view->setUnicodeOrder(encoding.isBigEndian() ? unicodeOrderBig : unicodeOrderLittle);
        return;
    }
    // A hand-edited settings file may hold any number: only list entries count.
    view->setTextEncoding(encoding.isListed() ? encoding : encodingAnsi);
}

void MainWindow::detectEncoding(Tab &rec)
{
    // A gzip log's text, not its compressed bytes.
    const EncodingGuess guess = guessEncoding(textHead(rec.fileName, 64 * 1024));
    switch (guess.kind) {
    case EncodingGuess::Kind::None:
    case EncodingGuess::Kind::Utf8:
        return; // the system's UTF-8 shows it
    case EncodingGuess::Kind::Utf8Mixed:
        rec.encodingNote = QStringLiteral(" (not all UTF-8)");
        break;
    case EncodingGuess::Kind::Utf16:
    case EncodingGuess::Kind::Detected:
        rec.encodingNote = QStringLiteral(" (detected)");
        applyEncoding(rec.view, guess.encoding);
        break;
    }
    rec.noted = guess.encoding;
    rec.candidates = guess.candidates;
    // Remembered with the file, as a choice of the user's would be.
    m_sessions.recentFiles().setEncoding(rec.fileName, guess.encoding);
}

void MainWindow::closeTab(int index, bool remember)
{
    if (index < 0 || index >= tabCount())
        return;
    const Tab &closing = m_recs[size_t(index)];
    // A stream's data goes with its tab: nothing to open again.
    if (remember && (!closing.spooled || !closing.command.isEmpty() || !closing.source.isEmpty())) {
        constexpr size_t kClosedKept = 20;
        m_closedTabs.push_back(
            {closing.spooled ? closing.source : closing.fileName,
             closing.spooled && closing.source.isEmpty() ? closing.command : QString(),
             closing.spooled ? QByteArray() : TabSet::userCaption(closing)});
        if (m_closedTabs.size() > kClosedKept)
            m_closedTabs.erase(m_closedTabs.begin());
    }
    const TabWidgets widgets = m_recs[size_t(index)].widgets();
    // Nothing that served the tab may report to it once it is gone.
    m_jobs.stop(widgets.view);
    if (m_filterDialog && m_filterDialog->client() == widgets.view)
        m_filterDialog->abandon();
    const bool printing = holdForPrint(widgets);
    if (!printing)
        widgets.view->open(QString(), false);
    // The viewer may be the caller (a command run from its callback): it goes
    // once control is back in the event loop. The sheet owns it. A print run
    // still drawing it deletes it once the run returns.
    m_tabs.remove(index, printing);

    if (tabCount() == 0) {
        m_tabs.showPages(false);
        return;
    }
    m_tabs.setActiveQuietly(std::min(index, tabCount() - 1));
    m_tabs.focusActiveView();
}

void MainWindow::openFiles(const QStringList &fileNames)
{
    const MessageBatch messages(openFailuresHeading);
    for (const QString &name : fileNames)
        openFileTab(name);
}

void MainWindow::reopenClosedTab()
{
    if (m_closedTabs.empty())
        return;
    const ClosedTab tab = m_closedTabs.back();
    m_closedTabs.pop_back();
    // The user asks for it: a command runs again without a question.
    if (!tab.command.isEmpty())
        openCommandTab(tab.command);
    else
        openFileTabWithCaption(tab.path, tab.caption);
}

void MainWindow::installTabKeys()
{
    const auto step = [this](int by) {
        const int count = tabCount();
        if (count > 1)
            m_tabs.pages()->setCurrentIndex((activeIndex() + by + count) % count);
    };
    const struct
    {
        const char *keys;
        int by;
    } steps[] = {{"Ctrl+PgDown", 1}, {"Ctrl+Tab", 1}, {"Ctrl+PgUp", -1}, {"Ctrl+Shift+Tab", -1}};
    for (const auto &s : steps) {
        auto *key = new QShortcut(QKeySequence(QString::fromLatin1(s.keys)), this);
        connect(key, &QShortcut::activated, this, guarded([step, by = s.by] { step(by); }));
    }
    auto *reopen = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+T")), this);
    connect(reopen, &QShortcut::activated, this, guarded([this] { reopenClosedTab(); }));
}

void MainWindow::closeAllTabs()
{
    for (int i = tabCount() - 1; i >= 0; --i)
        closeTab(i);
    updateAll();
}

void MainWindow::fileCloseTriggered()
{
    closeTab(activeIndex());
    updateAll();
}

void MainWindow::closeAllTriggered()
{
    closeAllTabs();
}

void MainWindow::currentTabChanged()
{
    updateAll();
    m_tabs.focusActiveView();
}

QString MainWindow::getSRText() const
{
    const int index = activeIndex();
    return index >= 0 ? m_recs[size_t(index)].srText : QString();
}

qint64 MainWindow::getSRPos() const
{
    const int index = activeIndex();
    return index >= 0 ? m_recs[size_t(index)].srPos : 0;
}

quint8 MainWindow::getSROptions() const
{
    const int index = activeIndex();
    return index >= 0 ? m_recs[size_t(index)].srOptions : 0;
}

namespace {

// The nearest folder of the name that Qt's file dialog can enter: the dialog
// reads folder names as UTF-8 and cannot reach one whose bytes are not.
QString folderForDialog(const QString &fileName)
{
    QString folder = QFileInfo(fileName).absolutePath();
    while (displayFileName(folder) != folder)
        folder = QFileInfo(folder).absolutePath();
    return folder;
}

// The local files of a drop, named by the bytes the drag source sent: QUrl
// would decode a name that is not UTF-8 into U+FFFD, which names no file.
QStringList droppedFileNames(const QMimeData &data)
{
    QStringList names;
    const QByteArray list = data.data(QStringLiteral("text/uri-list"));
    if (list.isEmpty()) {
        for (const QUrl &url : data.urls())
            if (url.isLocalFile() && !url.toLocalFile().isEmpty())
                names << url.toLocalFile();
        return names;
    }
    for (QByteArray line : list.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#') || !line.toLower().startsWith("file:"))
            continue;
        QByteArray path = line.mid(5);
        if (path.startsWith("//")) {
            const qsizetype slash = path.indexOf('/', 2);
            const QByteArray host = path.mid(2, slash < 0 ? -1 : slash - 2);
            // A file of another host is none of ours.
            if (slash < 0 || !(host.isEmpty() || host == "localhost" ||
                               host == QSysInfo::machineHostName().toUtf8()))
                continue;
            path = path.mid(slash);
        }
        const auto end =
            std::find_if(path.cbegin(), path.cend(), [](char c) { return c == '?' || c == '#'; });
        path.truncate(end - path.cbegin());
        const QByteArray bytes = QByteArray::fromPercentEncoding(path);
        if (!bytes.isEmpty())
            names << fileNameFromBytes(bytes);
    }
    return names;
}

// A drop only opens the files: accepting the move a file manager proposes
// would let it delete the log. A copy, else a link; nothing else.
bool acceptAsCopy(QDropEvent *event)
{
    const QMimeData *data = event->mimeData();
    const Qt::DropActions possible = event->possibleActions();
    if (!data || !data->hasUrls() || !(possible & (Qt::CopyAction | Qt::LinkAction))) {
        event->ignore();
        return false;
    }
    event->setDropAction(possible & Qt::CopyAction ? Qt::CopyAction : Qt::LinkAction);
    event->accept();
    return true;
}

} // namespace

void MainWindow::fileOpenTriggered()
{
    QString startDir;
    if (const LogView *view = activeView(); view && !view->fileName().isEmpty())
        startDir = folderForDialog(view->fileName());
    static const QString logFiles = QStringLiteral(
        "Log files (*.log *.log.* *.txt *.out *.err *.gz syslog* messages* *.journal)");
    static const QString allFiles = QStringLiteral("All files (*)");
    // Where no .log file is, the logs are syslog, messages, *.1: all files first.
    const QString folder = startDir.isEmpty() ? QDir::currentPath() : startDir;
    QString filter = QDir(folder).entryList({QStringLiteral("*.log")}, QDir::Files).isEmpty()
                         ? allFiles
                         : logFiles;
    QStringList chosen;
    if (chooseFileToOpen) {
        chosen = chooseFileToOpen(startDir, filter);
    } else {
        // An empty folder lets the dialog start where it was last left.
        chosen = QFileDialog::getOpenFileNames(this, QStringLiteral("Open"), startDir,
                                               logFiles + QStringLiteral(";;") + allFiles, &filter);
    }
    const MessageBatch messages(openFailuresHeading);
    for (const QString &name : chosen)
        openFileTab(fileNameFromDisplayed(name));
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    acceptAsCopy(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent *event)
{
    acceptAsCopy(event);
}

void MainWindow::dropEvent(QDropEvent *event)
{
    runGuarded([&] {
        if (!acceptAsCopy(event))
            return;
        const QStringList names = droppedFileNames(*event->mimeData());
        // Opened once the drop is over: the drag source waits for its answer,
        // and a message box would keep it waiting.
        QTimer::singleShot(0, this, guarded([this, names] {
                               const MessageBatch messages(openFailuresHeading);
                               for (const QString &name : names)
                                   openFileTab(name);
                           }));
    });
}
