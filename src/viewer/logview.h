#pragma once

#include "viewer/gzipsource.h"
#include "viewer/linecount.h"
#include "viewer/linedecoration.h"
#include "viewer/lineindexer.h"
#include "viewer/linereader.h"
#include "viewer/drawnlines.h"
#include "viewer/urldetect.h"
#include "viewer/viewdocument.h"
#include "viewer/viewoptions.h"
#include "viewer/viewtypes.h"
#include "watch/filefollower.h"

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
class DocumentSearch;
struct RenderSetup;

class LogView;
// Raised before a text line is drawn; set done to take the drawing over.
using DrawLineHandler = std::function<void(LogView *sender, QPainter &canvas, const QString &text,
                                           const QString &wholeLine, const QRect &rect,
                                           const QPoint &textPoint, bool &done)>;
// Raised after the viewer drew a text line.
using DrawnLineHandler = std::function<void(LogView *sender, QPainter &canvas, const QString &text,
                                            const QPoint &point, const OutputOptions &options)>;

// The viewer control: one file, shown through a window of it. The document
// model, line location, drawing, movement and input live in files of their
// own (logview_*.cpp); this class keeps the public face in one place.
class LogView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit LogView(QWidget *parent = nullptr);
    ~LogView() override;
    LogView(const LogView &) = delete;
    LogView &operator=(const LogView &) = delete;

    // --- Source
    bool open(const QString &fileName, bool repaint = true);
    // The caller keeps ownership of the stream; it must stay open and alive
    // until the viewer opens something else or is destroyed.
    void openStream(QIODevice *stream, bool repaint = true);
    void reload();
    const QString &fileName() const { return m_fileName; }
    // Shows data of the caller's making (the lines a pane lists from another
    // view). keepPosition: the same data, grown or changed; the view keeps
    // its place and selection, or its end when it stood there.
    void showSource(std::unique_ptr<FileSource> source, bool keepPosition);

    // --- Mode and text
    void setMode(ViewMode mode);
    void setTextEncoding(Encoding encoding);
    void setUnicodeOrder(quint8 order);
    void setMaxLengths(ViewMode mode, int value);
    qint64 bytesPerLine() const;

    // --- The document shown: its window, characters and line starts
    const ViewDocument &document() const { return m_doc; }
    // Moving its window (printing reads ahead of the view) is done here too.
    ViewDocument &document() { return m_doc; }

    // --- Display options
    const ViewOptions &options() const { return m_opt; }
    // Takes the options in range and puts what changed into effect.
    void setOptions(const ViewOptions &options);
    // The font of the text as shown now (the OEM one for OEM special text).
    const ViewFont &currentFont() const;
    bool stepFontSize(bool larger);
    int lineHeight() const { return m_lineHeight; }
    int charWidth() const { return m_charWidth; }
    bool fontMonospaced() const { return m_fontMonospaced; }

    bool autoReload() const { return m_follower->enabled(); }
    void setAutoReload(bool value);
    // Shows nothing and, with AutoReload, watches the name until a file of
    // that name appears; then opens it and follows it, as "tail -F" does. A
    // watched file that is deleted or moved away is waited for the same way.
    void waitForFile(const QString &fileName);
    bool waitingForFile() const { return m_follower->waiting(); }
    // Beeps after each reload.
    bool reloadBeeps() const { return m_reloadBeep; }
    void setReloadBeep(bool on) { m_reloadBeep = on; }
    // A view at the end stays at the end as the file grows.
    bool followTail() const { return m_followTail; }
    void setFollowTail(bool on) { m_followTail = on; }
    // How the file is followed (watched folder or poll) and waited for.
    FileFollower &follower() const { return *m_follower; }
    void setPollForChanges(bool on);
    void setPollInterval(int ms);

    DrawLineHandler onDrawLine;
    DrawnLineHandler onDrawLine2;
    // Outer size to lay out at while the viewer sits hidden in a shown window
    // (a background tab has no geometry of its own until it is shown).
    using SizeSource = std::function<QSize()>;
    void setHiddenSizeSource(SizeSource source) { m_hiddenSize = std::move(source); }
    // Client size that lines are laid out and moved at instead of the
    // window's, while a printed page is being drawn; empty for the window's.
    void setLayoutSize(const QSize &size) { m_layoutSize = size; }
    QSize layoutSize() const { return m_layoutSize; }

    // --- View state
    qint64 viewPos() const { return m_viewPos; }
    bool viewAtEnd() const { return m_viewAtEnd; }
    qint64 viewPageSize() const { return m_viewPageSize; }
    int hViewPos() const { return m_hViewPos; }
    int hViewMax() const { return m_hViewMax; }
    int hMaxPos() const;
    int visibleLines() const;
    qint64 selStart() const { return m_selStart; }
    qint64 selLength() const { return m_selLength; }
    void setSelection(qint64 start, qint64 length, bool scroll, bool fireEvent, bool repaint);
    int busyCount() const { return m_busyCount; }
    bool drawEnabled() const { return m_drawEnabled; }
    void enableDrawing(bool enable);

    // --- Lines and movement
    int readLine(qint64 position, bool forward, QString *text = nullptr);
    qint64 nextLineStart(qint64 position, bool forward, bool stayAtStart);
    void moveByLines(int n, bool forward, bool repaint, bool stayAtStart, qint64 from);
    void scrollTo(qint64 position);
    void scrollToBegin();
    void scrollToEnd();
    void scrollLinesUp(int n);
    void scrollLinesDown(int n);
    void scrollPageUp();
    void scrollPageDown();
    void setViewPos(qint64 position);
    void setHViewPos(int x, bool repaint);
    qint64 lastPagePos() const;

    // --- Drawing
    struct DrawResult
    {
        bool viewAtEnd = false;
        qint64 viewPageSize = 0;
        int textWidth = 0;
        int textWidthHex = 0;
        int textWidthUHex = 0;
    };
    void redraw();
    // Draws the view into bitmap at the given size. limitPos -1 means no limit.
    void drawTo(QImage &bitmap, int width, int height, qint64 limitPos, bool printing,
                DrawnLines *positions, DrawResult &result);
    // The same onto any painter (a page, a preview), size in its logical pixels.
    void renderTo(QPainter &painter, const QSize &size, qint64 limitPos, bool printing,
                  DrawnLines *positions, DrawResult &result);
    // Rewrites the dump modes' offsets and hex cells as shown (their text
    // column goes through the line decorators); empty: shown as they are.
    using TextFilter = std::function<QString(const QString &text)>;
    void setDumpTextFilter(TextFilter filter) { m_dumpTextFilter = std::move(filter); }
    // Decorators of every logical line drawn (colour rules, filters, marks).
    void setLineDecorators(LineDecorators decorators);
    const LineDecorators &lineDecorators() const { return m_decorators; }
    const QImage &bitmap() const { return m_bitmap; }
    const DrawnLines &strPositions() const { return m_strPositions; }
    int textLeft() const;
    int gutterWidth() const { return m_gutterWidth; }

    // Watcher hand-over (file change reports).
    void handleFileChange(const void *sender = nullptr);
    // A run of another job reads through the viewer (a print run): a
    // reload that falls due waits for its end, as it does for a search.
    void setSearchRunning(bool running);
    // A search step or such a run is on.
    bool isSearchRunning() const;
    bool selectingByMouse() const { return m_selectingByMouse; }

    // --- Search: the document's own, which the viewer only holds.
    DocumentSearch &search() const { return *m_search; }
    void cancelSearch();

    // Scroll-bar positions last set by a repaint (16-bit mapping).
    int vScrollMax() const { return m_vMax; }
    int vScrollPos() const { return m_vPos; }

    // --- Addresses (web and e-mail) found in the read window
    // The address over a client point (logical pixels) of the last screen
    // drawing, with its file bytes; Text is empty where there is none.
    UrlList::Url urlAt(const QPoint &clientPoint) const;
    // The address covering a file position, or empty.
    QByteArray urlAt(qint64 position) const { return m_urls.urlAt(position); }
    const UrlList &urls() const { return m_urls; }
    // Raises urlClicked for the address at a position; false when there is
    // none or nobody listens.
    bool clickUrlAt(qint64 position);

    // --- Line numbers in the gutter
    // Numbers are shown: a text mode, gutter and numbers on, the file's
    // extension listed when the list is in use.
    bool linesUsable() const;
    // Line numbers anywhere come from an index built on these jobs (the
    // window's); without them only the first lines are numbered.
    void setBackgroundJobs(BackgroundJobs *jobs);
    const LineIndexer &lineIndexer() const { return *m_lineIndexer; }
    // The index of the gzip file shown; null when the file is not one.
    const GzipIndexer *compressedIndex() const { return m_gzip.get(); }
    // The exact number of the line holding position, 0 while not known.
    qint64 lineNumberAt(qint64 position) const;
    // The line of the selection's start, or of the view's top without one.
    qint64 shownLineNumber() const;
    // Texts the gutter shows at each line start in place of its own numbers
    // (the log's numbers of the lines a pane lists); empty: the numbers.
    // The gutter is as wide as widest.
    using GutterLabel = std::function<QString(qint64 position)>;
    void setGutterLabels(GutterLabel label, const QString &widest);
    // --- Selection, mouse and clipboard
    void selectAll();
    void clearSelection(bool fireEvent);
    // The word or line around a position, as far as the read window and
    // 8192 characters either way reach.
    void selectWord(qint64 position);
    void selectLine(qint64 position);
    // The selected bytes as stored, read from the file (not the window).
    // maxBytes <= 0: at most MaxCopyBytes.
    QByteArray selText(qint32 maxBytes) const;
    // The selection of a Unicode mode as text.
    QString selTextW() const;
    void copyToClipboard(bool asHex);
    static constexpr qint64 maxCopyBytes = 16 * 1024 * 1024;
    // The most a mouse selection offers as the primary selection.
    static constexpr qint64 maxPrimaryBytes = 1024 * 1024;
    // Puts a mouse selection on X11's primary selection (where there is one).
    void offerPrimarySelection();
    // Where the context menu was asked for; (-1, -1) from the keyboard.
    QPoint popupPoint() const { return m_popupPoint; }
    qint64 mouseDownPos() const { return m_mouseDownPos; }
    int autoScrollDir() const { return m_autoScrollDir; }
    bool autoScrollRunning() const;
    bool dragScrollMode() const { return m_dragScrollMode; }
    void setDragScrollMode(bool on);
    QPoint dragScrollOrigin() const { return m_dragScrollOrigin; }
    // The two mouse timers' ticks, at the pointer's current place.
    void autoScrollTick();
    void dragScrollTick();

    // --- Context and encoding menus
    QMenu *popupMenu() const { return m_popupMenu; }
    QAction *popupAction(PopupCommand command) const { return m_popupActions[command]; }
    // Sets every item's state as the menu does when it opens.
    void updatePopupItems();
    // Shows the encoding menu of the mode at a screen point and returns once
    // it closed.
    void showEncodingMenu(int x, int y);
    // The menu ShowEncodingMenu shows, brought up to date.
    QMenu *prepareEncodingMenu();
    static QByteArray encodingName(Encoding encoding);
    // The encoding shown now, UTF-16 in the byte order of the mode.
    Encoding currentEncoding() const;

Q_SIGNALS:
    // The file was read again (a reload, a change seen by a watcher).
    void fileReloaded();
    void selectionChanged();
    // An option the user can change from the viewer itself (its menu, keys).
    void optionsChanged();
    void scrolled();
    // A click on an address, with "mailto:" before an e-mail address.
    void urlClicked(const QByteArray &address);
    // A drawing is on screen, or more lines got numbers: what it shows or
    // numbers may have changed.
    void drawn();

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
    void keyPress(QKeyEvent *event);
    void wheel(QWheelEvent *event);

    enum class OpenKind { Fresh, KeepPosition };
    // fromWatcher: a failure already reported is not shown again.
    bool openSource(OpenKind kind, bool fromWatcher = false);
    // Repaints inside it are measured only; its owner draws once after.
    class DrawBatch
    {
    public:
        explicit DrawBatch(LogView &view) : m_view(view) { ++m_view.m_deferDraws; }
        ~DrawBatch() { --m_view.m_deferDraws; }
        DrawBatch(const DrawBatch &) = delete;
        DrawBatch &operator=(const DrawBatch &) = delete;

    private:
        LogView &m_view;
    };
    void closeSource();
    // A gzip file is shown decompressed through an index of its own.
    void prepareCompressed();
    void compressedEnded(GzipIndex::Result result, const QString &text);
    // The view's state of a source: positions, selection, addresses, a search step.
    void resetView();
    // Reads the file again after its document asked for it.
    void reloadChangedFile();
    void bringIntoView(qint64 position);
    // Hidden in a shown window: drawing waits until the viewer is shown.
    bool inHiddenPage() const;
    // The client size drawing and line movement work with.
    QSize viewSize() const;
    // What a repaint would find (end in view, page size, line record),
    // without painting; the view is left stale.
    void measureView();
    // Fully visible lines in a bitmap of that height.
    int linesFitting(int height) const;
    void updateMetrics(const ViewFont &font);
    WrapContext makeWrapContext() const;
    OutputOptions outputOptions(bool showEol) const;
    void updateScrollBars();
    void onVScrollAction(int action);
    void onHScrollAction(int action);
    // Contract: the view position lies in the read window.
    void checkViewInBuffer() const;
    RenderSetup makeRenderSetup(const QSize &size, bool printing);
    // After each window read: addresses and line starts follow the window.
    void windowRead();
    void detectUrls();
    // Counts line starts for the read window unless done for it already.
    void updateLineStarts();
    // The gutter's font and width for the coming drawing.
    void prepareGutter();
    // After an open or reopen: the index follows the file.
    void updateLineIndex(bool reopened);
    // The dump modes' rows (qzbinhex_dump.cpp).
    void renderDump(QPainter &painter, const RenderSetup &setup, qint64 limitPos, int visibleLines,
                    DrawnLines *positions, DrawResult &result);
    bool readErrorRetry();

    // Selection, mouse and menus (qzbinhex_select/_mouse/_clipboard/_menu.cpp).
    void setUpInput();
    void resetMouseState();
    void mousePress(QMouseEvent *event);
    void mouseMove(QMouseEvent *event);
    void mouseRelease(QMouseEvent *event);
    void mouseDoubleClick(QMouseEvent *event);
    void extendSelectionTo(const QPoint &point);
    void updatePointer(const QPoint &point);
    // The last character from position that is no delimiter, moving one way.
    qint64 scanDelimited(qint64 position, bool forward, bool lines) const;
    // The address under a client point, UTF-8; empty where there is none.
    QByteArray linkAt(const QPoint &point) const;
    void copyLink();
    void popupSelectLine();
    void placeOnClipboard(const QString &text);
    // How many selected bytes a read of at most maxBytes takes (<= 0: the cap).
    qint64 selectionBytes(qint32 maxBytes) const;
    // Reads count bytes from the selection's start; -1 after a read error
    // was shown, else the bytes read.
    qint64 readSelection(char *buffer, qint64 count) const;
    // The selection as text of an 8-bit code page, zero bytes as spaces.
    QString selTextAsUnicode() const;
    void paintDragMarker(QPainter &painter) const;
    void buildPopupMenu();
    void rebuildCodepageMenu();
    void refreshByteOrderMenu();

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
    QAction *m_popupActions[popupCommandCount] = {};
    QMenu *m_codepageMenu = nullptr;
    QActionGroup *m_codepageGroup = nullptr;
    QMenu *m_byteOrderMenu = nullptr;
    QAction *m_byteOrderActions[2] = {}; // BE, LE
    int m_wheelSideRest = 0;             // sideways or font-size wheel angle not yet a step

    ViewDocument m_doc;
    QString m_fileName;

    ViewOptions m_opt;
    // Shared with the record of drawn lines, which must outlive a font change.
    std::shared_ptr<QtTextMeasurer> m_measurer;
    std::shared_ptr<QtTextMeasurer> m_gutterMeasurer; // of FontGutter
    LineDecorators m_decorators;

    int m_lineHeight = 8;
    int m_charWidth = 4;
    bool m_fontMonospaced = false;
    int m_gutterWidth = 10;

    SizeSource m_hiddenSize;
    TextFilter m_dumpTextFilter;
    bool m_reloadBeep = false;
    bool m_followTail = true;

    qint64 m_viewPos = 0;
    bool m_viewAtEnd = false;
    qint64 m_viewPageSize = 0;
    int m_hViewPos = 0;
    int m_hViewMax = 0;
    qint64 m_selStart = 0;
    qint64 m_selLength = 0;
    bool m_selectingByMouse = false;
    bool m_changeWhileSelecting = false;
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

    void searchFinished();
    std::unique_ptr<DocumentSearch> m_search;

    QSize m_layoutSize;
    QImage m_bitmap;
    DrawnLines m_strPositions;
    // Owned here, not a child: it must stop before the document closes.
    std::unique_ptr<FileFollower> m_follower;

    UrlList m_urls;               // of the read window; empty while not highlighted
    quint64 m_lineStartsRead = 0; // the window read they were counted for
    std::unique_ptr<LineIndexer> m_lineIndexer;
    std::unique_ptr<GzipIndexer> m_gzip; // while a gzip file is shown
    BackgroundJobs *m_jobs = nullptr;
    GutterLabel m_gutterLabel;
    QString m_widestLabel;
};
