#include "viewer/logview.h"

#include "viewer/textlayout.h"
#include "viewer/qttextmeasurer.h"
#include "viewer/documentsearch.h"
#include "viewer/viewermsg.h"
#include "watch/compression.h"
#include "watch/filefollower.h"
#include "text/contract.h"
#include "text/fileutil.h"
#include "text/guard.h"
#include "text/messages.h"
#include "text/stringutil.h"

#include <QApplication>
#include <QFontInfo>
#include <QIODevice>
#include <QLocale>
#include <QPalette>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShowEvent>

#include <algorithm>
#include <exception>

namespace {
int clamp(int value, int lo, int hi)
{
    limitMin(value, lo);
    limitMax(value, hi);
    return value;
}

} // namespace

LogView::LogView(QWidget *parent)
    : QAbstractScrollArea(parent), m_search(std::make_unique<DocumentSearch>(m_doc))
{
    m_search->setPageSource([this] {
        return DocumentSearch::Page{m_viewPos, m_viewPos + m_viewPageSize};
    });
    m_search->setNameSource([this] { return m_fileName; });
    connect(m_search.get(), &DocumentSearch::finished, this, guarded([this] { searchFinished(); }));
    m_opt = ViewOptions::defaults();

    resize(200, 150);
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setLineWidth(1);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setCursor(Qt::IBeamCursor);
    // The view paints every pixel itself from its bitmap: no background erase.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);

    m_doc.setReadErrorHandler([this] { return readErrorRetry(); });
    connect(&m_doc, &ViewDocument::windowRead, this, [this] { windowRead(); });
    connect(&m_doc, &ViewDocument::reloadDue, this, guarded([this] { reloadChangedFile(); }));

    verticalScrollBar()->setRange(0, 0);
    horizontalScrollBar()->setRange(0, 0);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            guarded([this](int action) { onVScrollAction(action); }));
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            guarded([this](int action) { onHScrollAction(action); }));

    m_lineIndexer = std::make_unique<LineIndexer>();
    connect(m_lineIndexer.get(), &LineIndexer::updated, this, guarded([this] {
                if (linesUsable())
                    redraw();
                Q_EMIT drawn();
            }));

    m_follower = std::make_unique<FileFollower>();
    connect(m_follower.get(), &FileFollower::changed, this,
            guarded([this] { handleFileChange(m_follower.get()); }));
    setUpInput();
}

LogView::~LogView()
{
    // Nothing may reach the window from a view half destroyed.
    disconnect(m_lineIndexer.get(), nullptr, this, nullptr);
    m_follower->stop();
    closeSource();
}

// --- Source ---------------------------------------------------------------

bool LogView::open(const QString &fileName, bool repaint)
{
    if (fileName == m_fileName)
        return true;
    m_fileName = fileName;
    m_follower->setFileName(fileName);
    const bool ok = openSource(OpenKind::Fresh);
    if (repaint)
        redraw();
    return ok;
}

void LogView::openStream(QIODevice *stream, bool repaint)
{
    m_follower->stop();
    closeSource();
    resetMouseState();
    m_fileName.clear();
    m_follower->setFileName({});
    m_doc.openStream(stream);
    if (repaint)
        redraw();
}

void LogView::reload()
{
    require(m_doc.sourceAssigned(), QStringLiteral("Source not assigned: Reload"),
            QStringLiteral("QzBinHex"));
    setMode(m_doc.mode());
}

bool LogView::openSource(OpenKind kind, bool fromWatcher)
{
    if (kind == OpenKind::Fresh || !autoReload())
        m_follower->stop();

    const qint64 oldViewPos = m_viewPos;
    const int oldHViewPos = m_hViewPos;
    const bool oldViewAtEnd = m_viewAtEnd;
    const qint64 oldSelStart = m_selStart;
    const qint64 oldSelLength = m_selLength;

    // The document stays open until it reopens: it compares the file with
    // the one it had.
    resetView();
    if (kind == OpenKind::Fresh) {
        resetMouseState();
        m_follower->endWait();
    }
    if (m_fileName.isEmpty()) {
        m_doc.close();
        return true;
    }
    // A file waited for opens when its watcher sees it, without a message before.
    if (m_follower->waiting() && !isFileExist(m_fileName)) {
        m_doc.close();
        return false;
    }
    m_follower->endWait();
    if (kind == OpenKind::Fresh)
        prepareCompressed();

    switch (m_doc.openFile(m_fileName, kind == OpenKind::KeepPosition)) {
    case ViewDocument::OpenResult::CannotOpen:
        // A file that stays unreadable while it is written would otherwise
        // bring one box per change report.
        if (!fromWatcher || !m_cannotOpenReported)
            ViewerMsg::show(formatStrW(ViewerMsg::cannotOpenFile, {m_fileName}));
        m_cannotOpenReported = true;
        return false;
    case ViewDocument::OpenResult::NoSize:
        return false;
    case ViewDocument::OpenResult::Ok:
        break;
    }
    m_cannotOpenReported = false;

    // Another file under the same name (a rotated log): the old position
    // and selection mean nothing in it.
    const bool keep =
        kind == OpenKind::KeepPosition && m_doc.lastReloadReason() != ReloadReason::Replaced;
    if (keep)
        setSelection(oldSelStart, oldSelLength, false, false, false);

    bool followed = false;
    if (autoReload()) {
        if (kind == OpenKind::KeepPosition && oldViewAtEnd && m_followTail) {
            scrollToEnd();
            followed = true;
        }
        m_follower->watch();
    }
    if (keep && !followed) {
        scrollTo(oldViewPos);
        setHViewPos(oldHViewPos, true);
    }
    updateLineIndex(kind == OpenKind::KeepPosition);
    return true;
}

void LogView::prepareCompressed()
{
    if (compressionOf(m_fileName) != Compression::Gzip) {
        if (m_gzip) {
            m_doc.setSourceOpener({});
            m_gzip.reset();
        }
        return;
    }
    if (m_gzip) {
        m_gzip->clear();
        return;
    }
    m_gzip = std::make_unique<GzipIndexer>();
    m_gzip->setJobs(m_jobs, this);
    // The index grows as a followed file does: the view reads it again.
    connect(m_gzip.get(), &GzipIndexer::grown, this,
            guarded([this] { handleFileChange(m_gzip.get()); }));
    connect(m_gzip.get(), &GzipIndexer::ended, this,
            guarded([this](GzipIndex::Result result, const QString &text) {
                compressedEnded(result, text);
            }));
    m_doc.setSourceOpener([this](const QString &fileName, LocalFileSource::OpenError *error) {
        return m_gzip->open(fileName, error);
    });
}

void LogView::compressedEnded(GzipIndex::Result result, const QString &text)
{
    const QString where = QLocale::system().formattedDataSize(m_gzip->indexedSize());
    if (result == GzipIndex::Result::Damaged)
        ViewerMsg::show(QStringLiteral("\"%1\" is damaged or cut short (%2). Shown is what "
                                       "decompressed before that: %3.")
                            .arg(m_fileName, text, where));
    else if (result == GzipIndex::Result::ReadFailed)
        ViewerMsg::show(QStringLiteral("\"%1\" could not be read to its end. Shown is what "
                                       "decompressed before that: %2.")
                            .arg(m_fileName, where));
}

void LogView::closeSource()
{
    resetView();
    m_doc.close();
    m_lineIndexer->clear();
}

void LogView::resetView()
{
    m_urls.clear();
    m_viewPos = 0;
    m_viewAtEnd = false;
    m_viewPageSize = 0;
    m_hViewPos = 0;
    m_hViewMax = 0;
    m_selStart = 0;
    m_selLength = 0;
    m_selectingByMouse = false;
    // A step still running reads a source no longer shown: it is abandoned.
    m_search->release();
}

bool LogView::readErrorRetry()
{
    const QString text = m_doc.kind() == ViewDocument::SourceKind::Stream
                             ? ViewerMsg::cannotReadStream
                             : formatStrW(ViewerMsg::cannotReadFile, {m_fileName});
    return ViewerMsg::show(text, MsgButtons::RetryCancel) == MsgResult::Retry;
}

void LogView::setMode(ViewMode mode)
{
    setDragScrollMode(false);
    m_doc.setModeValue(mode);
    if (m_doc.kind() == ViewDocument::SourceKind::Stream) {
        QIODevice *stream = m_doc.stream();
        closeSource();
        m_doc.openStream(stream, true);
    } else if (m_doc.kind() == ViewDocument::SourceKind::Other) {
        showSource(m_doc.source()->openAnother(), true);
    } else {
        const DrawBatch batch(*this);
        openSource(OpenKind::KeepPosition);
    }
    if (m_doc.sourceAssigned())
        redraw();
}

void LogView::setTextEncoding(Encoding encoding)
{
    if (encoding == m_doc.textEncoding)
        return;
    m_doc.textEncoding = encoding;
    redraw();
}

void LogView::setUnicodeOrder(quint8 order)
{
    if (order != unicodeOrderLittle && order != unicodeOrderBig)
        return;
    m_doc.setUnicodeOrderValue(order);
    if (m_doc.isUnicodeMode())
        redraw();
}

void LogView::setMaxLengths(ViewMode mode, int value)
{
    m_doc.maxLengths[mode] = clamp(value, maxLengthMin, maxLengthMax);
    m_opt = m_opt.normalized(m_doc.maxLengths, m_opt);
}

qint64 LogView::bytesPerLine() const
{
    switch (m_doc.mode()) {
    case vbmodeBinary:
        return m_opt.textWidth;
    case vbmodeHex:
        return m_opt.textWidthHex;
    case vbmodeUHex:
        return 2 * qint64(m_opt.textWidthUHex);
    case vbmodeUnicode:
        return 2;
    case vbmodeText:
        break;
    }
    return 1;
}

// --- Fonts ----------------------------------------------------------------

const ViewFont &LogView::currentFont() const
{
    return m_doc.usesOemSpecial() ? m_opt.fontOEM : m_opt.font;
}

bool LogView::stepFontSize(bool larger)
{
    ViewFont &target = m_doc.usesOemSpecial() ? m_opt.fontOEM : m_opt.font;
    QFont f = target.font;
    const int startHeight = QFontMetrics(f).height();
    qreal size = f.pointSizeF() > 0 ? f.pointSizeF() : f.pixelSize();
    for (;;) {
        size += larger ? 1 : -1;
        if (larger ? size > 71 : size < 2)
            return false;
        if (f.pointSizeF() > 0)
            f.setPointSizeF(size);
        else
            f.setPixelSize(int(size));
        if (QFontMetrics(f).height() != startHeight)
            break;
    }
    target.font = f;
    redraw();
    Q_EMIT optionsChanged();
    return true;
}

// --- Display options --------------------------------------------------------

void LogView::setOptions(const ViewOptions &options)
{
    const ViewOptions before = m_opt;
    m_opt = options.normalized(m_doc.maxLengths, before);
    m_doc.textOemSpecial = m_opt.textOemSpecial;
    if (m_opt.textWrap && !before.textWrap)
        m_hViewPos = 0;
    if (m_opt.textUrlHilight != before.textUrlHilight)
        detectUrls();
    // The rest shows at the next repaint, which the caller asks for.
    if (m_opt.textWrap != before.textWrap || m_opt.textNonPrintable != before.textNonPrintable ||
        m_opt.textOemSpecial != before.textOemSpecial ||
        m_opt.textUrlHilight != before.textUrlHilight)
        redraw();
}

void LogView::enableDrawing(bool enable)
{
    if (enable) {
        m_drawEnabled = true;
        setEnabled(true);
    } else {
        setEnabled(false);
        m_drawEnabled = false;
    }
}

// --- Size and visibility ----------------------------------------------------

bool LogView::inHiddenPage() const
{
    return !isVisible() && !isWindow() && window()->isVisible();
}

QSize LogView::viewSize() const
{
    if (!m_layoutSize.isEmpty())
        return m_layoutSize;
    if (!m_hiddenSize || !inHiddenPage())
        return viewport()->size();
    const QSize outer = m_hiddenSize();
    if (outer.isEmpty())
        return viewport()->size();
    // The viewport a shown viewer of that size has: inside the frame and
    // beside both scroll bars, which are always on.
    const int frame = 2 * frameWidth();
    return QSize(std::max(outer.width() - frame - verticalScrollBar()->sizeHint().width(), 0),
                 std::max(outer.height() - frame - horizontalScrollBar()->sizeHint().height(), 0));
}

void LogView::measureView()
{
    m_drawStale = true;
    m_drawnForScreen = isVisible() || inHiddenPage();
    updateMetrics(currentFont());
    prepareGutter();
    m_strPositions.clear(m_doc.charSize());
    m_viewAtEnd = false;
    m_viewPageSize = 0;
    if (m_doc.fileSize() < m_doc.charSize()) {
        m_viewAtEnd = m_doc.sourceAssigned() && m_doc.readOK();
        return;
    }
    const int lines = visibleLines();
    m_viewPageSize = qint64(lines) * bytesPerLine();
    if (m_doc.readOK() && !m_doc.isTextMode())
        m_viewAtEnd = m_viewPos >= m_doc.fileSize() - m_viewPageSize;
    if (!m_doc.readOK() || !m_doc.isTextMode())
        return;
    // The same layout a drawing makes, without the pixels.
    m_strPositions.setMeasuring(m_measurer, outputOptions(false));
    const TextLayout layout = layOutText(m_doc, makeWrapContext(), {m_viewPos, lines, -1, false});
    int y = 0;
    for (const LaidLine &laid : layout.lines) {
        m_strPositions.add(laid.line.text, textLeft() - m_hViewPos, laid.pos, y, laid.line.offsets);
        y += m_lineHeight;
    }
    m_viewPageSize = layout.viewPageSize;
    m_viewAtEnd = layout.viewAtEnd;
}

void LogView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    runGuarded([this] {
        // A view that showed the end shows it at any new size, so that tail
        // following goes on. A view never drawn for the screen had no end
        // in view: its first layout is no resize.
        if (m_viewAtEnd && m_drawnForScreen && m_doc.sourceAssigned()) {
            if (m_doc.isTextMode()) {
                moveByLines(visibleLines(), false, false, false, m_doc.fileSize());
            } else {
                m_viewPos = lastPagePos();
                m_doc.readBuffer(m_viewPos);
            }
        }
        redraw();
    });
}

void LogView::showEvent(QShowEvent *event)
{
    QAbstractScrollArea::showEvent(event);
    if (m_drawStale)
        runGuarded([this] { redraw(); });
}

void LogView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        runGuarded([this] { redraw(); });
}

// --- Selection --------------------------------------------------------------

void LogView::setSelection(qint64 start, qint64 length, bool scroll, bool fireEvent, bool repaint)
{
    if (!m_opt.textEnableSel) {
        m_selLength = 0;
        return;
    }
    if (start < 0 || start > m_doc.maxPos() || length < 0)
        return;
    // Compared once lowered and cut: a request that ends as the selection
    // already is changes nothing and fires nothing.
    const qint64 newStart = m_doc.alignDown(start);
    // MaxPos is 0 in an empty file too: nothing lies past the data.
    const qint64 newLength = std::clamp<qint64>(
        m_doc.alignDown(length), 0,
        std::min(m_doc.maxPos() + m_doc.charSize(), m_doc.alignDown(m_doc.fileSize())) - newStart);
    const bool changed = newStart != m_selStart || newLength != m_selLength;
    m_selStart = newStart;
    m_selLength = newLength;
    if (scroll)
        bringIntoView(start);
    if (repaint)
        redraw();
    if (changed && fireEvent)
        Q_EMIT selectionChanged();
}

void LogView::bringIntoView(qint64 position)
{
    if (m_doc.isTextMode()) {
        // The first step only reaches the start of the line holding the
        // position; each further one goes a whole line up.
        moveByLines(1, false, false, true, position);
        moveByLines(m_opt.textSearchIndentVert, false, true, false, m_viewPos);
    } else {
        const qint64 b = bytesPerLine();
        m_viewPos =
            std::max<qint64>(position - position % b - qint64(m_opt.textSearchIndentVert) * b, 0);
        m_doc.readBuffer(m_viewPos);
        redraw();
    }
    QPoint at;
    if (!m_strPositions.coordFromPos(position, &at))
        return;
    if (at.x() >= textLeft() && at.x() < viewport()->width() - 8)
        return;
    setHViewPos(at.x() + m_hViewPos - textLeft() - m_opt.textSearchIndentHorz * m_charWidth, false);
}
