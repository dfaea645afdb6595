#pragma once

#include "viewer/linecount.h"
#include "viewer/linedecoration.h"
#include "viewer/linereader.h"
#include "viewer/strpositions.h"
#include "viewer/urldetect.h"
#include "viewer/viewdocument.h"
#include "viewer/viewtypes.h"
#include "search/qzstreamsearch.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QImage>

#include <functional>
#include <memory>

class QActionGroup;
class QMenu;
class QPainter;
class QTimer;
class QtTextMeasurer;
class SearchRun;
class TQzFileNotification;
class TQzFileNotificationSimple;
struct TQzRenderSetup;

// A font with the colour its text is drawn in.
struct TQzFont
{
    QFont Font;
    QColor Color;
};

class TQzBinHex;
using TQzNotifyEvent = std::function<void(TQzBinHex *sender)>;
// Raised before a text line is drawn; set ADone to take the drawing over.
using TQzBinHexDrawLine = std::function<void(
    TQzBinHex *sender, QPainter &canvas, const QString &AStr, const QString &AStrAll,
    const QRect &ARect, const QPoint &ATextPnt, bool &ADone)>;
// Raised after the viewer drew a text line.
using TQzBinHexDrawLine2 =
    std::function<void(TQzBinHex *sender, QPainter &canvas, const QString &AStr, const QPoint &APnt,
                       const TQzBinHexOutputOptions &AOptions)>;
// Raised for a click on an address, with "mailto:" before an e-mail address.
using TQzBinHexClickURL = std::function<void(TQzBinHex *sender, const QByteArray &AString)>;

// Commands of the viewer's context menu; TextPopupCommands holds them as
// bits (1 << command), all six by default.
enum TQzPopupCommand {
    vpCmdCopy = 0,
    vpCmdCopyHex,
    vpCmdCopyLink,
    vpCmdSelectLine,
    vpCmdSelectAll,
    vpCmdEncMenu
};
inline constexpr int PopupCommandCount = 6;

// The viewer control: one file, shown through a window of it. The document
// model, line location, drawing, movement and input live in files of their
// own (qzbinhex_*.cpp); this class keeps the public face in one place.
class TQzBinHex : public QAbstractScrollArea
{
public:
    explicit TQzBinHex(QWidget *parent = nullptr);
    ~TQzBinHex() override;
    TQzBinHex(const TQzBinHex &) = delete;
    TQzBinHex &operator=(const TQzBinHex &) = delete;

    // --- Source
    bool Open(const QString &fileName, bool redraw = true);
    // The caller keeps ownership of the stream; it must stay open and alive
    // until the viewer opens something else or is destroyed.
    void OpenStream(QIODevice *stream, bool redraw = true);
    void Reload();
    bool SourceAssigned() const { return m_doc.SourceAssigned(); }
    const QString &FileName() const { return m_fileName; }
    qint64 FileSize() const { return m_doc.FileSize(); }
    bool ReadOK() const { return m_doc.ReadOK(); }

    // --- Mode and text
    TQzBinHexMode Mode() const { return m_doc.Mode(); }
    void SetMode(TQzBinHexMode mode);
    TQzEncoding TextEncoding() const { return m_doc.TextEncoding; }
    void SetTextEncoding(TQzEncoding encoding);
    quint8 UnicodeOrder() const { return m_doc.UnicodeOrder(); }
    void SetUnicodeOrder(quint8 order);
    int MaxLengths(TQzBinHexMode mode) const { return m_doc.MaxLengths[mode]; }
    void SetMaxLengths(TQzBinHexMode mode, int value);
    int MaxLength() const { return m_doc.MaxLength(); }
    int OffsetDigits() const { return m_doc.OffsetDigits(); }
    int CharSize() const { return m_doc.CharSize(); }
    qint64 BytesPerLine() const;
    bool IsTextMode() const { return m_doc.IsTextMode(); }
    bool IsUnicodeMode() const { return m_doc.IsUnicodeMode(); }
    bool IsBigEndian() const { return m_doc.IsBigEndian(); }
    qint64 MaxPos() const { return m_doc.MaxPos(); }

    // --- Characters and the window
    char16_t GetChar(qint64 position) const { return m_doc.GetChar(position); }
    QString GetHex(qint64 position) const { return m_doc.GetHex(position); }
    bool ReadSource(char *buffer, qint64 count, qint64 *bytesRead, qint64 position) const
    {
        return m_doc.ReadSource(buffer, count, bytesRead, position);
    }
    void ReadBuffer(qint64 position) { m_doc.ReadBuffer(position); }
    bool IsOutOfWindow(qint64 position) const { return m_doc.IsOutOfWindow(position); }
    bool IsNonPrintable(char16_t c) const { return m_doc.IsNonPrintable(c); }
    QString DecodeLine(const char16_t *units, int count) const
    {
        return m_doc.DecodeLine(units, count);
    }
    qint64 BufferPos() const { return m_doc.BufferPos(); }
    qint64 BufferSize() const { return m_doc.BufferSize(); }
    qint64 BufMaxOffset() const { return m_doc.BufMaxOffset(); }
    const ViewDocument &Document() const { return m_doc; }

    // --- Fonts and metrics
    const TQzFont &Font() const { return m_font; }
    void SetFont(const TQzFont &font);
    const TQzFont &FontOEM() const { return m_fontOEM; }
    void SetFontOEM(const TQzFont &font) { m_fontOEM = font; }
    const TQzFont &FontFooter() const { return m_fontFooter; }
    void SetFontFooter(const TQzFont &font) { m_fontFooter = font; }
    const TQzFont &FontGutter() const { return m_fontGutter; }
    void SetFontGutter(const TQzFont &font) { m_fontGutter = font; }
    const TQzFont &CurrentFont() const;
    bool StepFontSize(bool larger);
    int LineHeight() const { return m_lineHeight; }
    int CharWidth() const { return m_charWidth; }
    int FirstPrintable() const { return m_doc.FirstPrintable; }
    bool FontMonospaced() const { return m_fontMonospaced; }

    // --- Published properties
    QColor Color() const { return m_color; }
    void SetColor(const QColor &color);
    int TextLineSpacing() const { return m_textLineSpacing; }
    void SetTextLineSpacing(int value) { m_textLineSpacing = value; }
    bool TextEnableSel() const { return m_textEnableSel; }
    void SetTextEnableSel(bool value) { m_textEnableSel = value; }
    int TextWidth() const { return m_textWidth; }
    void SetTextWidth(int value);
    int TextWidthHex() const { return m_textWidthHex; }
    void SetTextWidthHex(int value);
    int TextWidthUHex() const { return m_textWidthUHex; }
    void SetTextWidthUHex(int value);
    bool TextWidthFit() const { return m_textWidthFit; }
    void SetTextWidthFit(bool value) { m_textWidthFit = value; }
    bool TextWidthFitHex() const { return m_textWidthFitHex; }
    void SetTextWidthFitHex(bool value);
    bool TextWidthFitUHex() const { return m_textWidthFitUHex; }
    void SetTextWidthFitUHex(bool value);
    bool TextWrap() const { return m_textWrap; }
    void SetTextWrap(bool value);
    bool TextNonPrintable() const { return m_textNonPrintable; }
    void SetTextNonPrintable(bool value);
    bool TextOemSpecial() const { return m_doc.TextOemSpecial; }
    void SetTextOemSpecial(bool value);
    bool TextUrlHilight() const { return m_textUrlHilight; }
    void SetTextUrlHilight(bool value);
    bool TextGutter() const { return m_textGutter; }
    void SetTextGutter(bool value) { m_textGutter = value; }
    bool TextGutterLines() const { return m_textGutterLines; }
    void SetTextGutterLines(bool value) { m_textGutterLines = value; }
    int TextGutterLinesStep() const { return m_textGutterLinesStep; }
    void SetTextGutterLinesStep(int value);
    int TextGutterLinesCount() const { return m_textGutterLinesCount; }
    void SetTextGutterLinesCount(int value);
    int TextGutterLinesBufSize() const { return m_textGutterLinesBufSize; }
    void SetTextGutterLinesBufSize(int value);
    bool TextGutterLinesExtUse() const { return m_textGutterLinesExtUse; }
    void SetTextGutterLinesExtUse(bool value) { m_textGutterLinesExtUse = value; }
    const QByteArray &TextGutterLinesExtList() const { return m_textGutterLinesExtList; }
    void SetTextGutterLinesExtList(const QByteArray &value) { m_textGutterLinesExtList = value; }
    QColor TextColorHex = QColor(0, 0, 128);
    QColor TextColorHex2 = QColor(0, 0, 255);
    QColor TextColorHexBack = QColor(236, 237, 236);
    QColor TextColorLines = QColor(128, 128, 128);
    QColor TextColorError = QColor(255, 0, 0);
    QColor TextColorGutter = QColor(192, 192, 192);
    QColor TextColorURL = QColor(0, 0, 255);
    QColor TextColorHi = QColor(255, 255, 0);
    int TextSearchIndentVert() const { return m_textSearchIndentVert; }
    void SetTextSearchIndentVert(int value);
    int TextSearchIndentHorz() const { return m_textSearchIndentHorz; }
    void SetTextSearchIndentHorz(int value);
    int TextTabSize() const { return m_textTabSize; }
    void SetTextTabSize(int value);
    int TextPopupCommands = 63;

    bool AutoReload() const { return m_autoReload; }
    void SetAutoReload(bool value);
    // Shows nothing and, with AutoReload, watches the name until a file of
    // that name appears; then opens it and follows it, as "tail -F" does. A
    // watched file that is deleted or moved away is waited for the same way.
    void WaitForFile(const QString &fileName);
    bool WaitingForFile() const { return m_waitingForFile; }
    bool AutoReloadBeep = false;
    bool AutoReloadFollowTail = true;
    bool AutoReloadSimple = false;
    int AutoReloadSimpleTime = 1000;

    TQzNotifyEvent OnFileReload;
    TQzNotifyEvent OnSelectionChange;
    TQzNotifyEvent OnOptionsChange;
    TQzNotifyEvent OnScroll;
    TQzBinHexDrawLine OnDrawLine;
    TQzBinHexDrawLine2 OnDrawLine2;
    // Outer size to lay out at while the viewer sits hidden in a shown window
    // (a background tab has no geometry of its own until it is shown).
    std::function<QSize()> HiddenSize;
    // Client size that lines are laid out and moved at instead of the
    // window's, while a printed page is being drawn; empty for the window's.
    void SetLayoutSize(const QSize &size) { m_layoutSize = size; }
    QSize LayoutSize() const { return m_layoutSize; }

    // --- View state
    qint64 ViewPos() const { return m_viewPos; }
    bool ViewAtEnd() const { return m_viewAtEnd; }
    qint64 ViewPageSize() const { return m_viewPageSize; }
    int HViewPos() const { return m_hViewPos; }
    int HViewMax() const { return m_hViewMax; }
    int HMaxPos() const;
    int VisibleLines() const;
    qint64 SelStart() const { return m_selStart; }
    qint64 SelLength() const { return m_selLength; }
    void SetSelection(qint64 start, qint64 length, bool scroll, bool fireEvent, bool redraw);
    int BusyCount() const { return m_busyCount; }
    bool DrawEnabled() const { return m_drawEnabled; }
    void EnableDrawing(bool enable);

    // --- Lines and movement
    int ReadLine(qint64 position, bool forward, QString *text = nullptr);
    qint64 NextLineStart(qint64 position, bool forward, bool stayAtStart);
    void MoveByLines(int n, bool forward, bool redraw, bool stayAtStart, qint64 from);
    void ScrollTo(qint64 position);
    void ScrollToBegin();
    void ScrollToEnd();
    void ScrollLinesUp(int n);
    void ScrollLinesDown(int n);
    void ScrollPageUp();
    void ScrollPageDown();
    void SetViewPos(qint64 position);
    void SetHViewPos(int x, bool redraw);
    qint64 LastPagePos() const;

    // --- Drawing
    struct DrawResult
    {
        bool ViewAtEnd = false;
        qint64 ViewPageSize = 0;
        int TextWidth = 0;
        int TextWidthHex = 0;
        int TextWidthUHex = 0;
    };
    void Redraw();
    // Draws the view into bitmap at the given size. limitPos -1 means no limit.
    void DrawTo(QImage &bitmap, int width, int height, qint64 limitPos, bool printing,
                TStrPositions *positions, DrawResult &result);
    // The same onto any painter (a page, a preview), size in its logical pixels.
    void RenderTo(QPainter &painter, const QSize &size, qint64 limitPos, bool printing,
                  TStrPositions *positions, DrawResult &result);
    // Rewrites the dump modes' offsets and hex cells as shown (their text
    // column goes through the line decorators); empty: shown as they are.
    std::function<QString(const QString &text)> DumpTextFilter;
    // Decorators of every logical line drawn (colour rules, filters, marks).
    void SetLineDecorators(TQzLineDecorators decorators);
    const TQzLineDecorators &LineDecorators() const { return m_decorators; }
    const QImage &Bitmap() const { return m_bitmap; }
    const TStrPositions &StrPositions() const { return m_strPositions; }
    int TextLeft() const;
    int GutterWidth() const { return m_gutterWidth; }

    // Watcher hand-over (file change reports).
    void HandleFileChange(const void *sender = nullptr);
    TQzFileNotification *Notifier() const { return m_notifier.get(); }
    TQzFileNotificationSimple *SimpleNotifier() const { return m_simpleNotifier.get(); }
    // True while a search of this viewer keeps the message loop running.
    void SetSearchRunning(bool running);
    bool SelectingByMouse() const { return m_selectingByMouse; }
    // What the last reload found: the file grew, shrank, was replaced or deleted.
    TQzReloadReason LastReloadReason() const { return m_lastReloadReason; }

    // --- Search (qzbinhex_search.cpp)
    // Both run with the message loop going (the engine reads its own source
    // on a worker) and return when the search is over; a reload that falls
    // due meanwhile follows it. Without soFromPosition, or with a negative
    // AStartPos, the start is 0, or with soFromPage the first byte shown
    // (backward: just after the last one).
    bool FindFirst(const QString &AText, TQzStreamSearchOptions AOptions, qint64 AStartPos);
    // Steps from the last match found, also after a step that failed; after
    // a stopped search, or before any match, it starts where the view is.
    bool FindNext(bool AFindPrevious);
    // Stands a search on a match found before (a negative position: on none)
    // without reading anything; the next FindNext goes on from there.
    void ResumeSearch(const QString &text, TQzStreamSearchOptions options, qint64 position);
    // Stops a running search, which then ends as "not found".
    void CancelSearch();
    bool IsSearchRunning() const { return m_searchRunning; }
    // Called on this thread while a search runs; clearing the flag stops it.
    TQzStreamSearchProgress OnSearchProgress;
    // Runs where the search runs, just before the engine; a hook that throws
    // stands for a failure inside the search.
    std::function<void()> SearchHook;
    // From FindFirst or ResumeSearch until the source is closed or reopened.
    bool SearchStarted() const { return m_searchStarted; }
    // The last match found, kept when a step fails; -1 when there is none.
    qint64 SearchResultStart() const { return m_searchResultStart; }
    qint64 SearchResultLength() const { return m_searchResultLength; }
    const QString &SearchString() const { return m_searchString; }
    TQzStreamSearchOptions SearchOptions() const { return m_searchOptions; }

    // Scroll-bar positions last set by a repaint (16-bit mapping).
    int VScrollMax() const { return m_vMax; }
    int VScrollPos() const { return m_vPos; }

    // --- Addresses (web and e-mail) found in the read window
    // The address over a client point (logical pixels) of the last screen
    // drawing, with its file bytes; Text is empty where there is none.
    TQzUrlList::Url UrlAt(const QPoint &clientPoint) const;
    // The address covering a file position, or empty.
    QByteArray UrlAt(qint64 position) const { return m_urls.UrlAt(position); }
    const TQzUrlList &Urls() const { return m_urls; }
    // Raises OnClickURL for the address at a position; false when there is
    // none or nobody listens.
    bool ClickUrlAt(qint64 position);
    TQzBinHexClickURL OnClickURL;

    // --- Line numbers in the gutter
    // Numbers are shown: a text mode, gutter and numbers on, the file's
    // extension listed when the list is in use.
    bool LinesUsable() const;
    // Rebuilds the line starts from the first size bytes of the file.
    bool CountLines(qint64 size);
    int LineNumber(qint64 position) const { return m_lineStarts.LineNumber(position); }
    int LineStartCount() const { return m_lineStarts.LineStartCount(); }
    const LineStarts &LineStartTable() const { return m_lineStarts; }
    // --- Selection, mouse and clipboard
    void SelectAll();
    void ClearSelection(bool fireEvent);
    // The word or line around a position, as far as the read window and
    // 8192 characters either way reach.
    void SelectWord(qint64 position);
    void SelectLine(qint64 position);
    // The selected bytes as stored, read from the file (not the window).
    // maxBytes <= 0: at most MaxCopyBytes.
    QByteArray SelText(qint32 maxBytes) const;
    // The selection of a Unicode mode as text.
    QString SelTextW() const;
    void CopyToClipboard(bool asHex);
    static constexpr qint64 MaxCopyBytes = 16 * 1024 * 1024;
    // Where the context menu was asked for; (-1, -1) from the keyboard.
    QPoint PopupPoint() const { return m_popupPoint; }
    qint64 MouseDownPos() const { return m_mouseDownPos; }
    int AutoScrollDir() const { return m_autoScrollDir; }
    bool AutoScrollRunning() const;
    bool DragScrollMode() const { return m_dragScrollMode; }
    void SetDragScrollMode(bool on);
    QPoint DragScrollOrigin() const { return m_dragScrollOrigin; }
    // The two mouse timers' ticks, at the pointer's current place.
    void AutoScrollTimerTimer();
    void DragScrollTimerTimer();

    // --- Context and encoding menus
    QMenu *PopupMenu() const { return m_popupMenu; }
    QAction *PopupAction(TQzPopupCommand command) const { return m_popupActions[command]; }
    // Sets every item's state as the menu does when it opens.
    void UpdatePopupItems();
    // Shows the encoding menu of the mode at a screen point and returns once
    // it closed.
    void ShowEncodingMenu(int x, int y);
    // The menu ShowEncodingMenu shows, brought up to date.
    QMenu *PrepareEncodingMenu();
    static QByteArray EncodingName(TQzEncoding encoding);
    // The encoding shown now, UTF-16 as -1 (LE) or -2 (BE).
    TQzEncoding CurrentEncoding() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int, int) override {}
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    // The bodies of the event handlers, which run them guarded.
    void KeyPress(QKeyEvent *event);
    void Wheel(QWheelEvent *event);

    enum class OpenKind { Fresh, KeepPosition };
    // fromWatcher: a failure already reported is not shown again.
    bool OpenSource(OpenKind kind, bool fromWatcher = false);
    // Repaints inside it are measured only; its owner draws once after.
    class DrawBatch
    {
    public:
        explicit DrawBatch(TQzBinHex &view) : m_view(view) { ++m_view.m_deferDraws; }
        ~DrawBatch() { --m_view.m_deferDraws; }
        DrawBatch(const DrawBatch &) = delete;
        DrawBatch &operator=(const DrawBatch &) = delete;

    private:
        TQzBinHex &m_view;
    };
    void CloseSource();
    void StopWatchers();
    // allowMissing: watch the name of a file that is not there (yet).
    void ArmWatcher(bool start = true, bool allowMissing = false);
    // The source is closed: watch the file's name until it appears.
    void StartWaiting();
    // Opens a file waited for that is there already.
    void CatchUp();
    // The notification watch ended by itself: poll instead.
    void NotifierEnded();
    void BringIntoView(qint64 position);
    // Hidden in a shown window: drawing waits until the viewer is shown.
    bool InHiddenPage() const;
    // The client size drawing and line movement work with.
    QSize ViewSize() const;
    // What a repaint would find (end in view, page size, line record),
    // without painting; the view is left stale.
    void MeasureView();
    // A hex row width: within 2..maxLength, a multiple of 4, at least 2.
    static int HexWidth(int value, int maxLength);
    // Fully visible lines in a bitmap of that height.
    int LinesFitting(int height) const;
    void UpdateMetrics(const TQzFont &font);
    WrapContext MakeWrapContext() const;
    TQzBinHexOutputOptions OutputOptions(bool showEol) const;
    void UpdateScrollBars();
    void OnVScrollAction(int action);
    void OnHScrollAction(int action);
    // Contract: the view position lies in the read window.
    void CheckViewInBuffer() const;
    TQzRenderSetup MakeRenderSetup(const QSize &size, bool printing);
    // After each window read: addresses and line starts follow the window.
    void WindowRead();
    void DetectUrls();
    // Counts line starts for the read window unless done for it already.
    void UpdateLineStarts();
    // The gutter's font and width for the coming drawing.
    void PrepareGutter();
    // The dump modes' rows (qzbinhex_dump.cpp).
    void RenderDump(QPainter &painter, const TQzRenderSetup &setup, qint64 limitPos,
                    int visibleLines, TStrPositions *positions, DrawResult &result);
    bool ReadErrorRetry();

    // Selection, mouse and menus (qzbinhex_select/_mouse/_clipboard/_menu.cpp).
    void SetUpInput();
    void ResetMouseState();
    void MousePress(QMouseEvent *event);
    void MouseMove(QMouseEvent *event);
    void MouseRelease(QMouseEvent *event);
    void MouseDoubleClick(QMouseEvent *event);
    void ExtendSelectionTo(const QPoint &point);
    void UpdatePointer(const QPoint &point);
    // The last character from position that is no delimiter, moving one way.
    qint64 ScanDelimited(qint64 position, bool forward, bool lines) const;
    // The address under a client point, UTF-8; empty where there is none.
    QByteArray LinkAt(const QPoint &point) const;
    void CopyLink();
    void PopupSelectLine();
    void PlaceOnClipboard(const QString &text);
    // How many selected bytes a read of at most maxBytes takes (<= 0: the cap).
    qint64 SelectionBytes(qint32 maxBytes) const;
    // Reads count bytes from the selection's start; -1 after a read error
    // was shown, else the bytes read.
    qint64 ReadSelection(char *buffer, qint64 count) const;
    // The selection as text of an 8-bit code page, zero bytes as spaces.
    QString SelTextAsUnicode() const;
    void PaintDragMarker(QPainter &painter) const;
    void BuildPopupMenu();
    void RebuildCodepageMenu();
    void RefreshByteOrderMenu();

    qint64 m_mouseDownPos = -1;
    qint64 m_shiftAnchor = -1;
    qint64 m_lastClickPos = -1;
    bool m_dblClicked = false;
    bool m_waitTripleClick = false;
    qint64 m_dblClickTick = 0;
    // A double or triple click's selection stays until the pointer leaves
    // the boundary it was pressed at.
    bool m_keepClickSelection = false;
    QPoint m_popupPoint{-1, -1};
    int m_autoScrollDir = 0; // 0 none, 1 up, 2 down, 3 left, 4 right
    bool m_dragScrollMode = false;
    QPoint m_dragScrollOrigin{0, 0};
    QTimer *m_autoScrollTimer = nullptr;
    QTimer *m_dragScrollTimer = nullptr;
    QMenu *m_popupMenu = nullptr;
    QAction *m_popupActions[PopupCommandCount] = {};
    QMenu *m_codepageMenu = nullptr;
    QActionGroup *m_codepageGroup = nullptr;
    QMenu *m_byteOrderMenu = nullptr;
    QAction *m_byteOrderActions[2] = {}; // BE, LE
    int m_wheelSideRest = 0;             // sideways or font-size wheel angle not yet a step

    ViewDocument m_doc;
    QString m_fileName;

    TQzFont m_font;
    TQzFont m_fontOEM;
    TQzFont m_fontFooter;
    TQzFont m_fontGutter;
    QColor m_color;
    // Shared with the record of drawn lines, which must outlive a font change.
    std::shared_ptr<QtTextMeasurer> m_measurer;
    std::shared_ptr<QtTextMeasurer> m_gutterMeasurer; // of FontGutter
    TQzLineDecorators m_decorators;

    int m_lineHeight = 8;
    int m_charWidth = 4;
    bool m_fontMonospaced = false;
    int m_gutterWidth = 10;

    int m_textLineSpacing = 0;
    bool m_textEnableSel = true;
    int m_textWidth = 80;
    int m_textWidthHex = 16;
    int m_textWidthUHex = 8;
    bool m_textWidthFit = false;
    bool m_textWidthFitHex = false;
    bool m_textWidthFitUHex = false;
    bool m_textWrap = false;
    bool m_textNonPrintable = false;
    bool m_textUrlHilight = true;
    bool m_textGutter = false;
    bool m_textGutterLines = true;
    int m_textGutterLinesStep = 5;
    int m_textGutterLinesCount = 2000;
    int m_textGutterLinesBufSize = 307200;
    bool m_textGutterLinesExtUse = false;
    QByteArray m_textGutterLinesExtList;
    int m_textSearchIndentVert = 5;
    int m_textSearchIndentHorz = 5;
    int m_textTabSize = 8;
    bool m_autoReload = false;

    qint64 m_viewPos = 0;
    bool m_viewAtEnd = false;
    qint64 m_viewPageSize = 0;
    int m_hViewPos = 0;
    int m_hViewMax = 0;
    qint64 m_selStart = 0;
    qint64 m_selLength = 0;
    bool m_selectingByMouse = false;
    int m_busyCount = 0;
    bool m_drawEnabled = true;
    int m_deferDraws = 0;              // > 0: repaints are measured only, one follows
    bool m_drawStale = false;          // measured but not painted since the last change
    bool m_drawnForScreen = false;     // the last draw or measure was at a shown size
    bool m_cannotOpenReported = false; // a failing reopen was shown; quiet until it opens
    int m_wheelRest = 0;               // wheel angle not yet worth a line
    int m_wheelPixelRest = 0;          // pixel scrolling not yet worth a line
    int m_vMax = 0;
    int m_vPos = 0;
    int m_hPos = 0;
    bool m_settingBars = false; // our own slider updates are not user actions

    bool m_searchRunning = false;
    bool m_reloadPending = false;
    bool m_waitingForFile = false;
    TQzReloadReason m_lastReloadReason = TQzReloadReason::None;

    // --- Search (qzbinhex_search.cpp)
    bool RunSearch(const std::function<bool()> &search);
    void ReleaseSearchSource();
    bool TakeSearchSource();
    TQzEncoding SearchEncoding() const;
    qint64 SearchStart(TQzStreamSearchOptions options, qint64 startPos) const;
    std::unique_ptr<TQzStreamSearch> m_search;
    std::unique_ptr<SearchRun> m_searchRun;
    bool m_searchStarted = false;
    bool m_searchStands = false; // the engine's last step found m_searchResultStart
    bool m_searchOnWorker = true;
    qint64 m_searchResultStart = -1;
    qint64 m_searchResultLength = 0;
    QString m_searchString;
    TQzStreamSearchOptions m_searchOptions;

    QSize m_layoutSize;
    QImage m_bitmap;
    TStrPositions m_strPositions;
    std::unique_ptr<TQzFileNotification> m_notifier;
    std::unique_ptr<TQzFileNotificationSimple> m_simpleNotifier;

    TQzUrlList m_urls;            // of the read window; empty while not highlighted
    LineStarts m_lineStarts;      // of the first bytes of the file
    quint64 m_lineStartsRead = 0; // the window read they were counted for
};
