#include "viewer/qzbinhex.h"

#include "viewer/textlayout.h"
#include "viewer/qttextmeasurer.h"
#include "viewer/searchrun.h"
#include "viewer/viewermsg.h"
#include "watch/qzfilenotification.h"
#include "watch/qzfilenotificationsimple.h"
#include "text/contract.h"
#include "text/fproc.h"
#include "text/guard.h"
#include "text/messages.h"
#include "text/sproc.h"

#include <QApplication>
#include <QFontInfo>
#include <QIODevice>
#include <QPalette>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShowEvent>

#include <algorithm>
#include <exception>

namespace {
int Clamp(int value, int lo, int hi)
{
    LimitMin(value, lo);
    LimitMax(value, hi);
    return value;
}

QFont MakeFont(const QString &family, int points, bool fixedPitch)
{
    QFont f(family, points);
    if (fixedPitch) {
        // fontconfig may have no such face: ask for a fixed-pitch stand-in.
        f.setStyleHint(QFont::TypeWriter);
        f.setFixedPitch(true);
    }
    return f;
}

} // namespace

TQzBinHex::TQzBinHex(QWidget *parent)
    : QAbstractScrollArea(parent), m_search(std::make_unique<TQzStreamSearch>()),
      m_searchRun(std::make_unique<SearchRun>())
{
    const QPalette pal = QApplication::palette();
    m_color = pal.color(QPalette::Base);
    m_font = {MakeFont(QStringLiteral("Courier New"), 10, true), pal.color(QPalette::Text)};
    m_fontOEM = {MakeFont(QStringLiteral("Terminal"), 9, true), pal.color(QPalette::Text)};
    m_fontFooter = {MakeFont(QStringLiteral("Arial"), 9, false), Qt::black};
    m_fontGutter = {MakeFont(QStringLiteral("Courier New"), 9, true), Qt::black};

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

    m_doc.OnReadError = [this] { return ReadErrorRetry(); };
    m_doc.OnWindowRead = [this] { WindowRead(); };

    verticalScrollBar()->setRange(0, 0);
    horizontalScrollBar()->setRange(0, 0);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            Guarded([this](int action) { OnVScrollAction(action); }));
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            Guarded([this](int action) { OnHScrollAction(action); }));

    m_notifier = std::make_unique<TQzFileNotification>();
    m_notifier->SetOptions({foNotifyFilename, foNotifySize, foNotifyLastWrite});
    m_notifier->OnChanged = [this] { HandleFileChange(m_notifier.get()); };
    m_notifier->OnEnded = [this] { NotifierEnded(); };
    m_simpleNotifier = std::make_unique<TQzFileNotificationSimple>();
    m_simpleNotifier->OnChanged = [this] { HandleFileChange(m_simpleNotifier.get()); };
    SetUpInput();
}

TQzBinHex::~TQzBinHex()
{
    StopWatchers();
    CloseSource();
}

// --- Source ---------------------------------------------------------------

bool TQzBinHex::Open(const QString &fileName, bool redraw)
{
    if (fileName == m_fileName)
        return true;
    m_fileName = fileName;
    const bool ok = OpenSource(OpenKind::Fresh);
    if (redraw)
        Redraw();
    return ok;
}

void TQzBinHex::OpenStream(QIODevice *stream, bool redraw)
{
    StopWatchers();
    CloseSource();
    ResetMouseState();
    m_fileName.clear();
    m_doc.OpenStream(stream);
    if (redraw)
        Redraw();
}

void TQzBinHex::Reload()
{
    Require(SourceAssigned(), QStringLiteral("Source not assigned: Reload"),
            QStringLiteral("QzBinHex"));
    SetMode(Mode());
}

bool TQzBinHex::OpenSource(OpenKind kind, bool fromWatcher)
{
    if (kind == OpenKind::Fresh || !m_autoReload)
        StopWatchers();

    const qint64 oldViewPos = m_viewPos;
    const int oldHViewPos = m_hViewPos;
    const bool oldViewAtEnd = m_viewAtEnd;
    const qint64 oldSelStart = m_selStart;
    const qint64 oldSelLength = m_selLength;
    const ViewDocument::Identity oldIdentity = m_doc.FileIdentity();
    const qint64 oldSize = m_doc.FileSize();

    CloseSource();
    if (kind == OpenKind::Fresh) {
        ResetMouseState();
        m_waitingForFile = false;
    }
    m_lastReloadReason = TQzReloadReason::None;
    if (m_fileName.isEmpty())
        return true;
    // A file waited for opens when its watcher sees it, without a message before.
    if (m_waitingForFile && !IsFileExist(m_fileName))
        return false;
    m_waitingForFile = false;

    switch (m_doc.OpenFile(m_fileName, kind == OpenKind::KeepPosition)) {
    case ViewDocument::OpenResult::CannotOpen:
        // A file that stays unreadable while it is written would otherwise
        // bring one box per change report.
        if (!fromWatcher || !m_cannotOpenReported)
            ViewerMsg::Show(FormatStrW(ViewerMsg::CannotOpenFile, {m_fileName}));
        m_cannotOpenReported = true;
        return false;
    case ViewDocument::OpenResult::NoSize:
        return false;
    case ViewDocument::OpenResult::Ok:
        break;
    }
    m_cannotOpenReported = false;

    // A log rotated by rename-and-create is another file under the same
    // name: its offsets mean nothing for the old position or selection.
    const bool sameFile =
        oldIdentity == ViewDocument::Identity{} || oldIdentity == m_doc.FileIdentity();
    const bool keep = kind == OpenKind::KeepPosition && sameFile;
    if (kind == OpenKind::KeepPosition) {
        if (!sameFile)
            m_lastReloadReason = TQzReloadReason::Replaced;
        else if (FileSize() > oldSize)
            m_lastReloadReason = TQzReloadReason::Appended;
        else if (FileSize() < oldSize)
            m_lastReloadReason = TQzReloadReason::Truncated;
    }
    if (keep)
        SetSelection(oldSelStart, oldSelLength, false, false, false);

    bool followed = false;
    if (m_autoReload) {
        if (kind == OpenKind::KeepPosition && oldViewAtEnd && AutoReloadFollowTail) {
            ScrollToEnd();
            followed = true;
        }
        ArmWatcher();
    }
    if (keep && !followed) {
        ScrollTo(oldViewPos);
        SetHViewPos(oldHViewPos, true);
    }
    return true;
}

void TQzBinHex::CloseSource()
{
    m_doc.Close();
    m_urls.Clear();
    m_lineStarts.Clear();
    m_viewPos = 0;
    m_viewAtEnd = false;
    m_viewPageSize = 0;
    m_hViewPos = 0;
    m_hViewMax = 0;
    m_selStart = 0;
    m_selLength = 0;
    m_selectingByMouse = false;
    ReleaseSearchSource();
}

bool TQzBinHex::ReadErrorRetry()
{
    const QString text = m_doc.Kind() == ViewDocument::SourceKind::Stream
                             ? ViewerMsg::CannotReadStream
                             : FormatStrW(ViewerMsg::CannotReadFile, {m_fileName});
    return ViewerMsg::Show(text, MsgButtons::RetryCancel) == MsgResult::Retry;
}

void TQzBinHex::SetMode(TQzBinHexMode mode)
{
    SetDragScrollMode(false);
    m_doc.SetModeValue(mode);
    if (m_doc.Kind() == ViewDocument::SourceKind::Stream) {
        QIODevice *stream = m_doc.Stream();
        CloseSource();
        m_doc.OpenStream(stream, true);
    } else {
        const DrawBatch batch(*this);
        OpenSource(OpenKind::KeepPosition);
    }
    if (SourceAssigned())
        Redraw();
}

void TQzBinHex::SetTextEncoding(TQzEncoding encoding)
{
    if (encoding == m_doc.TextEncoding)
        return;
    m_doc.TextEncoding = encoding;
    Redraw();
}

void TQzBinHex::SetUnicodeOrder(quint8 order)
{
    if (order != UnicodeOrderLittle && order != UnicodeOrderBig)
        return;
    m_doc.SetUnicodeOrderValue(order);
    if (IsUnicodeMode())
        Redraw();
}

void TQzBinHex::SetMaxLengths(TQzBinHexMode mode, int value)
{
    m_doc.MaxLengths[mode] = Clamp(value, MaxLengthMin, MaxLengthMax);
    SetTextWidth(m_textWidth);
    SetTextWidthHex(m_textWidthHex);
    SetTextWidthUHex(m_textWidthUHex);
}

qint64 TQzBinHex::BytesPerLine() const
{
    switch (Mode()) {
    case vbmodeBinary:
        return m_textWidth;
    case vbmodeHex:
        return m_textWidthHex;
    case vbmodeUHex:
        return 2 * qint64(m_textWidthUHex);
    case vbmodeUnicode:
        return 2;
    case vbmodeText:
        break;
    }
    return 1;
}

// --- Fonts ----------------------------------------------------------------

const TQzFont &TQzBinHex::CurrentFont() const
{
    return m_doc.UsesOemSpecial() ? m_fontOEM : m_font;
}

void TQzBinHex::SetFont(const TQzFont &font)
{
    m_font = font;
}

bool TQzBinHex::StepFontSize(bool larger)
{
    TQzFont &target = m_doc.UsesOemSpecial() ? m_fontOEM : m_font;
    QFont f = target.Font;
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
    target.Font = f;
    Redraw();
    if (OnOptionsChange)
        OnOptionsChange(this);
    return true;
}

// --- Published property setters -------------------------------------------

void TQzBinHex::SetColor(const QColor &color)
{
    m_color = color;
}

void TQzBinHex::SetTextWidth(int value)
{
    m_textWidth = Clamp(value, 2, m_doc.MaxLengths[vbmodeBinary]);
}

int TQzBinHex::HexWidth(int value, int maxLength)
{
    value = Clamp(value, 2, maxLength);
    value -= value % 4;
    LimitMin(value, 2);
    return value;
}

void TQzBinHex::SetTextWidthHex(int value)
{
    m_textWidthHex = HexWidth(value, m_doc.MaxLengths[vbmodeHex]);
}

void TQzBinHex::SetTextWidthUHex(int value)
{
    m_textWidthUHex = HexWidth(value, m_doc.MaxLengths[vbmodeUHex]);
}

void TQzBinHex::SetTextWidthFitHex(bool value)
{
    if (value == m_textWidthFitHex)
        return;
    m_textWidthFitHex = value;
    if (!value)
        SetTextWidthHex(16);
}

void TQzBinHex::SetTextWidthFitUHex(bool value)
{
    if (value == m_textWidthFitUHex)
        return;
    m_textWidthFitUHex = value;
    if (!value)
        SetTextWidthUHex(8);
}

void TQzBinHex::SetTextWrap(bool value)
{
    if (value == m_textWrap)
        return;
    m_textWrap = value;
    if (value)
        m_hViewPos = 0;
    Redraw();
}

void TQzBinHex::SetTextNonPrintable(bool value)
{
    if (value == m_textNonPrintable)
        return;
    m_textNonPrintable = value;
    Redraw();
}

void TQzBinHex::SetTextOemSpecial(bool value)
{
    if (value == m_doc.TextOemSpecial)
        return;
    m_doc.TextOemSpecial = value;
    Redraw();
}

void TQzBinHex::SetTextUrlHilight(bool value)
{
    if (value == m_textUrlHilight)
        return;
    m_textUrlHilight = value;
    DetectUrls();
    Redraw();
}

void TQzBinHex::SetTextGutterLinesStep(int value)
{
    m_textGutterLinesStep = Clamp(value, 1, 10);
}

void TQzBinHex::SetTextGutterLinesCount(int value)
{
    m_textGutterLinesCount = Clamp(value, 10, 100000);
}

void TQzBinHex::SetTextGutterLinesBufSize(int value)
{
    m_textGutterLinesBufSize = Clamp(value, 1024, 20971520);
}

void TQzBinHex::SetTextSearchIndentVert(int value)
{
    m_textSearchIndentVert = Clamp(value, 0, 80);
}

void TQzBinHex::SetTextSearchIndentHorz(int value)
{
    m_textSearchIndentHorz = Clamp(value, 0, 80);
}

void TQzBinHex::SetTextTabSize(int value)
{
    m_textTabSize = Clamp(value, 2, 16);
}

void TQzBinHex::EnableDrawing(bool enable)
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

bool TQzBinHex::InHiddenPage() const
{
    return !isVisible() && !isWindow() && window()->isVisible();
}

QSize TQzBinHex::ViewSize() const
{
    if (!m_layoutSize.isEmpty())
        return m_layoutSize;
    if (!HiddenSize || !InHiddenPage())
        return viewport()->size();
    const QSize outer = HiddenSize();
    if (outer.isEmpty())
        return viewport()->size();
    // The viewport a shown viewer of that size has: inside the frame and
    // beside both scroll bars, which are always on.
    const int frame = 2 * frameWidth();
    return QSize(std::max(outer.width() - frame - verticalScrollBar()->sizeHint().width(), 0),
                 std::max(outer.height() - frame - horizontalScrollBar()->sizeHint().height(), 0));
}

void TQzBinHex::MeasureView()
{
    m_drawStale = true;
    m_drawnForScreen = isVisible() || InHiddenPage();
    UpdateMetrics(CurrentFont());
    PrepareGutter();
    m_strPositions.Clear(CharSize());
    m_viewAtEnd = false;
    m_viewPageSize = 0;
    if (m_doc.FileSize() < CharSize()) {
        m_viewAtEnd = SourceAssigned() && m_doc.ReadOK();
        return;
    }
    const int visibleLines = VisibleLines();
    m_viewPageSize = qint64(visibleLines) * BytesPerLine();
    if (m_doc.ReadOK() && !IsTextMode())
        m_viewAtEnd = m_viewPos >= FileSize() - m_viewPageSize;
    if (!m_doc.ReadOK() || !IsTextMode())
        return;
    // The same layout a drawing makes, without the pixels.
    m_strPositions.SetMeasuring(m_measurer, OutputOptions(false));
    const TQzTextLayout layout =
        LayOutText(m_doc, MakeWrapContext(), {m_viewPos, visibleLines, -1, false});
    int y = 0;
    for (const TQzLaidLine &laid : layout.Lines) {
        m_strPositions.Add(laid.Line.Text, TextLeft() - m_hViewPos, laid.Pos, y, laid.Line.Offsets);
        y += m_lineHeight;
    }
    m_viewPageSize = layout.ViewPageSize;
    m_viewAtEnd = layout.ViewAtEnd;
}

void TQzBinHex::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    RunGuarded([this] {
        // A view that showed the end shows it at any new size, so that tail
        // following goes on. A view never drawn for the screen had no end
        // in view: its first layout is no resize.
        if (m_viewAtEnd && m_drawnForScreen && SourceAssigned()) {
            if (IsTextMode()) {
                MoveByLines(VisibleLines(), false, false, false, FileSize());
            } else {
                m_viewPos = LastPagePos();
                m_doc.ReadBuffer(m_viewPos);
            }
        }
        Redraw();
    });
}

void TQzBinHex::showEvent(QShowEvent *event)
{
    QAbstractScrollArea::showEvent(event);
    if (m_drawStale)
        RunGuarded([this] { Redraw(); });
}

void TQzBinHex::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        RunGuarded([this] { Redraw(); });
}

// --- Selection --------------------------------------------------------------

void TQzBinHex::SetSelection(qint64 start, qint64 length, bool scroll, bool fireEvent, bool redraw)
{
    if (!m_textEnableSel) {
        m_selLength = 0;
        return;
    }
    if (start < 0 || start > MaxPos() || length < 0)
        return;
    // Compared once lowered and cut: a request that ends as the selection
    // already is changes nothing and fires nothing.
    const qint64 newStart = m_doc.AlignDown(start);
    // MaxPos is 0 in an empty file too: nothing lies past the data.
    const qint64 newLength =
        std::clamp<qint64>(m_doc.AlignDown(length), 0,
                           std::min(MaxPos() + CharSize(), m_doc.AlignDown(FileSize())) - newStart);
    const bool changed = newStart != m_selStart || newLength != m_selLength;
    m_selStart = newStart;
    m_selLength = newLength;
    if (scroll)
        BringIntoView(start);
    if (redraw)
        Redraw();
    if (changed && fireEvent && OnSelectionChange)
        OnSelectionChange(this);
}

void TQzBinHex::BringIntoView(qint64 position)
{
    if (IsTextMode()) {
        // The first step only reaches the start of the line holding the
        // position; each further one goes a whole line up.
        MoveByLines(1, false, false, true, position);
        MoveByLines(m_textSearchIndentVert, false, true, false, m_viewPos);
    } else {
        const qint64 b = BytesPerLine();
        m_viewPos =
            std::max<qint64>(position - position % b - qint64(m_textSearchIndentVert) * b, 0);
        m_doc.ReadBuffer(m_viewPos);
        Redraw();
    }
    QPoint at;
    if (!m_strPositions.CoordFromPos(position, &at))
        return;
    if (at.x() >= TextLeft() && at.x() < viewport()->width() - 8)
        return;
    SetHViewPos(at.x() + m_hViewPos - TextLeft() - m_textSearchIndentHorz * m_charWidth, false);
}
