// Tabs: opening a file into a new tab, closing tabs, the open dialog and
// dropped files.
#include "app/formview.h"

#include "app/appformat.h"
#include "app/colorconv.h"
#include "app/messagebatch.h"
#include "app/shellmessages.h"
#include "rules/substringsfilter.h"
#include "viewer/qzbinhex.h"
#include "text/codepagelist.h"
#include "text/fproc.h"
#include "text/guard.h"
#include "text/sproc.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QSysInfo>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kCaptionLength = 20;

int CodePoints(const QString &text)
{
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++count)
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    return count;
}

// The first two bytes are a UTF-16 byte order mark.
bool HasUnicodeMark(const QString &fileName)
{
    const FileHandle handle = FileOpenRead(fileName);
    if (handle == InvalidFileHandle)
        return false;
    const bool unicode = IsFileUnicode(handle);
    FileClose(handle);
    return unicode;
}

} // namespace

int TFormView::ActiveIndex() const
{
    const int index = m_pages->currentIndex();
    return index >= 0 && index < RecCount() ? index : -1;
}

TQzBinHex *TFormView::ActiveView() const
{
    const int index = ActiveIndex();
    return index >= 0 ? m_recs[size_t(index)].View : nullptr;
}

void TFormView::ShowPages(bool show)
{
    m_panel->setCurrentWidget(show ? static_cast<QWidget *>(m_pages)
                                   : static_cast<QWidget *>(m_panelCaption));
}

void TFormView::FocusActiveView()
{
    if (TQzBinHex *view = ActiveView())
        view->setFocus(Qt::OtherFocusReason);
}

namespace {

QString SheetText(const QByteArray &caption, bool padShort)
{
    QString text = QString::fromUtf8(caption);
    if (padShort && CodePoints(text) < kCaptionLength)
        text = QStringLiteral("  ") + text + QStringLiteral("  ");
    return PlainMenuText(text);
}

} // namespace

void TFormView::SetTabCaption(int index, const QByteArray &caption, bool padShort)
{
    m_pages->setTabText(index, SheetText(caption, padShort));
}

QByteArray TFormView::PathCaption(const QString &fileName)
{
    return ShortenText(ExtractFileNameW(DisplayFileName(fileName)), kCaptionLength).toUtf8();
}

QByteArray TFormView::UserCaption(const TRec &rec)
{
    return rec.Caption == PathCaption(rec.FileName) ? QByteArray() : rec.Caption;
}

void TFormView::OpenFileTab(const QString &name)
{
    if (name.isEmpty()) // names no file; would only leave an empty recent entry
        return;
    // The viewer's message and the shell's come as one, after the status bar
    // shows the new tab; a batch of openings shows them all at its end.
    const MessageBatch messages(OpenFailuresHeading);
    // Stored in the recent list and the settings: a relative name would mean
    // another file once the program starts in another folder.
    const QString fileName = AbsoluteFileName(name);
    const QString shownName = DisplayFileName(fileName);
    if (m_pages->count() >= kMaxTabs) {
        MsgWarning(QStringLiteral("Too many files opened (%1)").arg(kMaxTabs));
        return;
    }
    // A missing file still gets its (empty) tab, and so does a folder, a pipe
    // or a device, which the viewer refuses to open; a regular file that
    // cannot be read gets none.
    if (IsRegularFile(fileName) && !IsFileReadable(fileName)) {
        MsgWarning(FormatStrW(QStringLiteral("Cannot read file: \"%s\""), {shownName}));
        return;
    }

    ShowPages(true);
    const int code = m_openHistory.Touch(fileName);

    TRec rec;
    rec.Sheet = new QWidget;
    rec.FileName = fileName;
    rec.Caption = PathCaption(fileName);
    m_recs.push_back(rec);
    const int index = RecCount() - 1;
    {
        // Records and pages agree again only at the end of this block.
        const QSignalBlocker blocker(m_pages);
        // With its text at once: every change of a tab lays out all of them.
        m_pages->addTab(rec.Sheet, SheetText(rec.Caption, true));
        m_pages->setTabToolTip(index, PlainToolTip(shownName));
        if (!m_openBehind)
            m_pages->setCurrentIndex(index);
    }

    auto *view = new TQzBinHex(rec.Sheet);
    auto *layout = new QVBoxLayout(rec.Sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    view->show(); // now, not later from the layout: a hidden widget takes no focus
    m_recs[size_t(index)].View = view;
    ConfigureNewView(view);

    if (IsFileExist(fileName) && view->Open(fileName)) {
        if (m_settings.ToEnd)
            view->ScrollTo(view->FileSize());
        if (HasUnicodeMark(fileName))
            view->SetMode(vbmodeUnicode); // the viewer reads the byte order from the mark
        if (view->Mode() == vbmodeText)
            ApplyEncodingCode(view, code);
    } else {
        // A missing file is waited for: the tab follows it once it appears.
        if (!IsFileOrDirExist(fileName))
            view->WaitForFile(fileName);
        // Said once even when the viewer has said it already.
        MsgWarning(FormatStrW(QStringLiteral("Cannot open file: \"%s\""), {shownName}));
    }
    FocusActiveView();
    UpdateAll();
}

void TFormView::ConfigureNewView(TQzBinHex *view)
{
    view->SetFont(TextFont());
    view->SetFontGutter(GutterFont());
    view->SetColor(ColorFromInt(m_settings.ColorBack));
    view->SetMaxLengths(vbmodeText, m_settings.MaxLen);
    view->SetMaxLengths(vbmodeUnicode, m_settings.MaxLen);
    view->SetTextLineSpacing(m_settings.LineSp);
    view->SetTextTabSize(m_settings.TabSize);
    view->SetTextGutter(m_settings.Gutter);
    view->SetTextGutterLines(m_settings.GutterLines);
    view->SetTextGutterLinesBufSize(m_settings.GutterLinesBuf);
    view->SetTextGutterLinesCount(m_settings.GutterLinesCount);
    view->SetTextGutterLinesStep(m_settings.GutterLinesStep);
    view->SetTextWrap(m_settings.Wrap);
    view->SetTextUrlHilight(false);
    view->SetAutoReload(true);
    view->AutoReloadBeep = false;
    view->AutoReloadFollowTail = m_settings.Tail;
    view->AutoReloadSimple = true;
    view->AutoReloadSimpleTime = ReloadIntervalMs(m_settings.ReloadTime);
    // A tab opened behind another is laid out only when first shown; until
    // then it follows the tail at the size of the page shown now.
    view->HiddenSize = [this] {
        const QWidget *page = m_pages->currentWidget();
        return page ? page->size() : QSize();
    };

    view->OnFileReload = [this](TQzBinHex *sender) { ViewFileReload(sender); };
    view->OnOptionsChange = [this](TQzBinHex *) { ViewOptChange(); };
    // Colour rules first: they test the line as the file has it.
    view->SetLineDecorators(RuleDecorators());
    view->DumpTextFilter = [](const QString &text) { return FilterDisplayText(text); };
}

void TFormView::ApplyEncodingCode(TQzBinHex *view, int code)
{
    if (code == EncodingUtf16BE || code == EncodingUtf16LE) {
        view->SetMode(vbmodeUnicode);
        view->SetUnicodeOrder(code == EncodingUtf16BE ? UnicodeOrderBig : UnicodeOrderLittle);
        return;
    }
    // A hand-edited settings file may hold any number: only list entries count.
    if (code < 0 || code >= CodepageCount)
        code = EncodingAnsi;
    view->SetTextEncoding(code);
}

void TFormView::CloseTab(int index)
{
    if (index < 0 || index >= RecCount())
        return;
    const TTabWidgets widgets = m_recs[size_t(index)].Widgets();
    widgets.View->Open(QString(), false);
    {
        const QSignalBlocker blocker(m_pages);
        m_pages->removeTab(index);
    }
    // The viewer may be the caller (a command run from its callback): it goes
    // once control is back in the event loop. The sheet owns it.
    widgets.Sheet->hide();
    widgets.Sheet->deleteLater();
    // The later records move down with all their fields: record i is page i.
    m_recs.erase(m_recs.begin() + index);

    if (m_recs.empty()) {
        ShowPages(false);
        return;
    }
    {
        const QSignalBlocker blocker(m_pages);
        m_pages->setCurrentIndex(std::min(index, RecCount() - 1));
    }
    FocusActiveView();
}

void TFormView::CloseAllTabs()
{
    for (int i = RecCount() - 1; i >= 0; --i)
        CloseTab(i);
    UpdateAll();
}

void TFormView::acFileCloseExecute()
{
    CloseTab(ActiveIndex());
    UpdateAll();
}

void TFormView::Closeall1Click()
{
    CloseAllTabs();
}

void TFormView::PagesChange()
{
    UpdateAll();
    FocusActiveView();
}

QString TFormView::GetSRText() const
{
    const int index = ActiveIndex();
    return index >= 0 ? m_recs[size_t(index)].SRText : QString();
}

qint64 TFormView::GetSRPos() const
{
    const int index = ActiveIndex();
    return index >= 0 ? m_recs[size_t(index)].SRPos : 0;
}

quint8 TFormView::GetSROptions() const
{
    const int index = ActiveIndex();
    return index >= 0 ? m_recs[size_t(index)].SROptions : 0;
}

namespace {

// The nearest folder of the name that Qt's file dialog can enter: the dialog
// reads folder names as UTF-8 and cannot reach one whose bytes are not.
QString FolderForDialog(const QString &fileName)
{
    QString folder = QFileInfo(fileName).absolutePath();
    while (DisplayFileName(folder) != folder)
        folder = QFileInfo(folder).absolutePath();
    return folder;
}

// The local files of a drop, named by the bytes the drag source sent: QUrl
// would decode a name that is not UTF-8 into U+FFFD, which names no file.
QStringList DroppedFileNames(const QMimeData &data)
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
            names << FileNameFromBytes(bytes);
    }
    return names;
}

// A drop only opens the files: accepting the move a file manager proposes
// would let it delete the log. A copy, else a link; nothing else.
bool AcceptAsCopy(QDropEvent *event)
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

void TFormView::FileOpenExecute()
{
    QString startDir;
    if (const TQzBinHex *view = ActiveView(); view && !view->FileName().isEmpty())
        startDir = FolderForDialog(view->FileName());
    QString chosen;
    if (ChooseFileToOpen) {
        chosen = ChooseFileToOpen(startDir);
    } else {
        // An empty folder lets the dialog start where it was last left.
        chosen = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), startDir,
                                              QStringLiteral("Log files (*.log);;All files (*)"));
    }
    if (!chosen.isEmpty())
        OpenFileTab(FileNameFromDisplayed(chosen));
}

void TFormView::dragEnterEvent(QDragEnterEvent *event)
{
    AcceptAsCopy(event);
}

void TFormView::dragMoveEvent(QDragMoveEvent *event)
{
    AcceptAsCopy(event);
}

void TFormView::dropEvent(QDropEvent *event)
{
    RunGuarded([&] {
        if (!AcceptAsCopy(event))
            return;
        const QStringList names = DroppedFileNames(*event->mimeData());
        // Opened once the drop is over: the drag source waits for its answer,
        // and a message box would keep it waiting.
        QTimer::singleShot(0, this, Guarded([this, names] {
                               const MessageBatch messages(OpenFailuresHeading);
                               for (const QString &name : names)
                                   OpenFileTab(name);
                           }));
    });
}
