// Laying out the visible lines and handing them to the renderer.
#include "viewer/qzbinhex.h"

#include "viewer/qttextmeasurer.h"
#include "viewer/textlayout.h"
#include "viewer/textrenderer.h"
#include "viewer/urldecorator.h"
#include "viewer/viewermsg.h"
#include "text/contract.h"
#include "text/guard.h"
#include "text/sproc.h"

#include <QApplication>
#include <QPainter>
#include <QPaintEvent>
#include <QPalette>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <algorithm>

namespace {
// Keeps the busy count raised for the duration of a redraw, also when an
// exception leaves it.
class BusyGuard
{
public:
    explicit BusyGuard(int &count) : m_count(count) { ++m_count; }
    ~BusyGuard() { --m_count; }
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;

private:
    int &m_count;
};

QString HexOffset(qint64 value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}
} // namespace

int TQzBinHex::TextLeft() const
{
    return m_textGutter ? m_gutterWidth + 2 : 2;
}

int TQzBinHex::LinesFitting(int height) const
{
    return std::clamp((height - 2) / std::max(m_lineHeight, 1), 0, MaxScreenLines);
}

int TQzBinHex::VisibleLines() const
{
    return LinesFitting(ViewSize().height());
}

TQzBinHexOutputOptions TQzBinHex::OutputOptions(bool showEol) const
{
    TQzBinHexOutputOptions o;
    o.ShowNonPrintable = m_textNonPrintable;
    o.ShowEol = showEol;
    o.OemFont = m_doc.UsesOemSpecial();
    o.FontMonospaced = m_fontMonospaced;
    o.TabSize = m_textTabSize;
    return o;
}

WrapContext TQzBinHex::MakeWrapContext() const
{
    WrapContext w;
    w.Wrap = m_textWrap && IsTextMode();
    w.AvailableWidth = ViewSize().width() - TextLeft();
    w.Measurer = m_measurer.get();
    w.Options = OutputOptions(false);
    return w;
}

void TQzBinHex::UpdateMetrics(const TQzFont &font)
{
    if (!m_measurer || m_measurer->Font() != font.Font) {
        // A new measurer, never a changed one: the record of the last drawing
        // keeps measuring with the font it was drawn in.
        m_measurer = std::make_shared<QtTextMeasurer>(font.Font);
        m_charWidth = m_measurer->Width(QStringLiteral("0"));
        m_fontMonospaced =
            m_measurer->Width(QStringLiteral("W")) == m_measurer->Width(QStringLiteral("."));
        m_doc.FirstPrintable = m_measurer->FirstChar();
    }
    m_lineHeight = m_measurer->CellHeight() + m_textLineSpacing;
}

void TQzBinHex::SetLineDecorators(TQzLineDecorators decorators)
{
    m_decorators = std::move(decorators);
    Redraw();
}

void TQzBinHex::Redraw()
{
    if (!m_drawEnabled)
        return;
    if (m_deferDraws > 0 || InHiddenPage()) {
        MeasureView();
        return;
    }
    m_drawStale = false;
    m_drawnForScreen = isVisible();
    BusyGuard busy(m_busyCount);
    const QSize size = viewport()->size().expandedTo(QSize(1, 1));
    // The bitmap has the screen's pixels; everything else counts in logical ones.
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size) * ratio).toSize();
    if (m_doc.FileSize() >= CharSize())
        CheckViewInBuffer(); // before any pixel changes: the last picture stays
    // Reuse the bitmap: a fresh 5 MB image costs page faults on every close.
    if (m_bitmap.size() != pixels || m_bitmap.devicePixelRatio() != ratio) {
        m_bitmap = QImage(pixels, QImage::Format_RGB32);
        m_bitmap.setDevicePixelRatio(ratio);
    }
    QPainter painter(&m_bitmap);
    if (m_doc.FileSize() < CharSize()) {
        UpdateMetrics(CurrentFont());
        PrepareGutter();
        const TQzRenderSetup setup = MakeRenderSetup(size, false);
        TQzTextRenderer(setup).DrawBackground(painter);
        m_strPositions.Clear(CharSize());
        // An open file with nothing in it shows its end: what is written to
        // it next is followed.
        m_viewAtEnd = SourceAssigned() && m_doc.ReadOK();
        m_viewPageSize = 0;
    } else {
        DrawResult result{false, 0, m_textWidth, m_textWidthHex, m_textWidthUHex};
        RenderTo(painter, size, -1, false, &m_strPositions, result);
        m_viewAtEnd = result.ViewAtEnd;
        m_viewPageSize = result.ViewPageSize;
        m_textWidth = result.TextWidth;
        m_textWidthHex = result.TextWidthHex;
        m_textWidthUHex = result.TextWidthUHex;
    }
    painter.end();
    UpdateScrollBars();
    viewport()->update();
}

void TQzBinHex::CheckViewInBuffer() const
{
    const qint64 bufferPos = m_doc.BufferPos();
    if (bufferPos < 0 || bufferPos > MaxPos() || bufferPos > m_viewPos ||
        m_viewPos > bufferPos + 2 * m_doc.BufMaxOffset()) {
        throw ContractError(
            QStringLiteral("Positions out of range: DrawTo\rBufferPos: %1, ViewPos: %2, "
                           "BufMaxOffset: %3")
                .arg(bufferPos)
                .arg(m_viewPos)
                .arg(m_doc.BufMaxOffset()),
            QStringLiteral("QzBinHex"));
    }
}

void TQzBinHex::DrawTo(QImage &bitmap, int width, int height, qint64 limitPos, bool printing,
                       TStrPositions *positions, DrawResult &result)
{
    CheckViewInBuffer();
    if (bitmap.width() != width || bitmap.height() != height)
        bitmap = QImage(width, height, QImage::Format_RGB32);
    QPainter painter(&bitmap);
    RenderTo(painter, bitmap.deviceIndependentSize().toSize(), limitPos, printing, positions,
             result);
}

TQzRenderSetup TQzBinHex::MakeRenderSetup(const QSize &size, bool printing)
{
    TQzRenderSetup s;
    s.Measurer = m_measurer;
    s.Size = size;
    s.LineHeight = m_lineHeight;
    s.TextLeft = TextLeft();
    s.HViewPos = m_hViewPos;
    s.Gutter = m_textGutter;
    s.GutterWidth = m_gutterWidth;
    s.GutterColor = TextColorGutter;
    const bool enabled = isEnabled();
    const QColor gray = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
    s.Colors.Background = printing ? QColor(Qt::white) : m_color;
    s.Colors.Text = printing ? QColor(Qt::black) : enabled ? CurrentFont().Color : gray;
    s.Colors.Error = printing ? QColor(Qt::black) : enabled ? TextColorError : gray;
    const QColor printGray(128, 128, 128);
    s.Colors.Url = printing ? printGray : enabled ? TextColorURL : gray;
    s.Colors.Hex = printing ? QColor(Qt::black) : enabled ? TextColorHex : gray;
    s.Colors.Hex2 = printing ? QColor(Qt::black) : enabled ? TextColorHex2 : gray;
    s.Colors.HexBack = printing ? QColor(Qt::white) : TextColorHexBack;
    s.Colors.Lines = printing ? printGray : enabled ? TextColorLines : gray;
    if (m_textGutter) {
        s.GutterCells.Numbers = LinesUsable();
        s.GutterCells.Step = m_textGutterLinesStep;
        s.GutterCells.LineNumber = [this](qint64 pos) { return m_lineStarts.LineNumber(pos); };
        s.GutterCells.Font = m_gutterMeasurer;
        s.GutterCells.FontColor = m_fontGutter.Color;
    }
    s.Options = OutputOptions(false);
    s.CharSize = CharSize();
    s.Printing = printing;
    s.Decorators = m_decorators;
    s.DumpText = DumpTextFilter;
    // Addresses before the selection, which inverts whatever lies under it.
    if (m_textUrlHilight && !m_urls.Urls().empty())
        s.Decorators.push_back(std::make_shared<TQzUrlDecorator>(m_urls, s.Colors.Url));
    if (m_selLength > 0)
        s.Decorators.push_back(std::make_shared<TQzSelectionDecorator>(m_selStart, m_selLength));
    if (!printing && OnDrawLine) {
        s.BeforeLine = [this](QPainter &painter, const QString &str, const QString &strAll,
                              const QRect &rect, const QPoint &point, bool &done) {
            OnDrawLine(this, painter, str, strAll, rect, point, done);
        };
    }
    if (!printing && OnDrawLine2) {
        s.AfterLine = [this](QPainter &painter, const QString &str, const QPoint &point,
                             const TQzBinHexOutputOptions &options) {
            OnDrawLine2(this, painter, str, point, options);
        };
    }
    return s;
}

void TQzBinHex::RenderTo(QPainter &painter, const QSize &size, qint64 limitPos, bool printing,
                         TStrPositions *positions, DrawResult &result)
{
    CheckViewInBuffer();
    result.ViewPageSize = 0;
    result.ViewAtEnd = false;
    UpdateMetrics(CurrentFont());
    PrepareGutter();
    const TQzRenderSetup setup = MakeRenderSetup(size, printing);
    const TQzTextRenderer renderer(setup);
    renderer.DrawBackground(painter);
    if (positions) {
        positions->Clear(CharSize());
        positions->SetMeasuring(m_measurer, OutputOptions(false));
    }

    const int width = size.width();
    const int fit =
        std::clamp((width - TextLeft()) / std::max(m_charWidth, 1), 2, std::max(MaxLength(), 2));
    if (m_textWidthFit)
        result.TextWidth = std::clamp(fit, 2, m_doc.MaxLengths[vbmodeBinary]);
    if (m_textWidthFitHex)
        result.TextWidthHex = HexWidth((fit - OffsetDigits() - 5) / 4, m_doc.MaxLengths[vbmodeHex]);
    if (m_textWidthFitUHex)
        result.TextWidthUHex =
            HexWidth((fit - OffsetDigits() - 5) / 6, m_doc.MaxLengths[vbmodeUHex]);

    const int visibleLines = LinesFitting(size.height());
    result.ViewPageSize = qint64(visibleLines) * BytesPerLine();

    if (!m_doc.ReadOK()) {
        renderer.DrawMessage(
            painter, FormatStrW(ViewerMsg::ReadErrorAt, {HexOffset(m_viewPos, OffsetDigits())}),
            setup.Colors.Error);
        return;
    }
    if (!IsTextMode()) {
        RenderDump(painter, setup, limitPos, visibleLines, positions, result);
        return;
    }
    WrapContext wrap = MakeWrapContext();
    wrap.AvailableWidth = width - TextLeft();
    TQzTextLayout layout =
        LayOutText(m_doc, wrap, {m_viewPos, visibleLines, limitPos, setup.NeedsLogicalLines()});
    // A page holds whole lines only: the line cut at its foot starts the next
    // page, and printed twice it would also be found twice in the text.
    if (printing && layout.Lines.size() > size_t(visibleLines))
        layout.Lines.resize(size_t(visibleLines));
    renderer.DrawLines(painter, layout, positions);
    result.ViewPageSize = layout.ViewPageSize;
    result.ViewAtEnd = layout.ViewAtEnd;
}

void TQzBinHex::UpdateScrollBars()
{
    const QScopedValueRollback<bool> guard(m_settingBars, true);
    QScrollBar *v = verticalScrollBar();
    QScrollBar *h = horizontalScrollBar();
    const qint64 size = FileSize();
    const bool empty = !m_doc.ReadOK() || size < CharSize();

    if (empty || (IsTextMode() && m_viewPos == 0 && m_viewPageSize >= size)) {
        m_vMax = m_vPos = 0;
        v->setRange(0, 0);
        v->setEnabled(false);
    } else {
        const qint64 b = BytesPerLine();
        const int m = int(std::clamp<qint64>(size / b, 4, 32767));
        m_vMax = m;
        m_vPos = int(std::min<qint64>(MulDiv64(m_viewPos, m, size), m));
        qint64 page = 0;
        if (!IsTextMode()) {
            page = std::max<qint64>(qint64(VisibleLines()) * b * m / size, 1);
            if (page >= m)
                page = m + 1;
            page = std::min<qint64>(page, 32767);
        }
        v->setEnabled(true);
        v->setRange(0, m);
        v->setPageStep(int(std::max<qint64>(page, 1)));
        v->setValue(m_vPos);
    }

    const int clientWidth = viewport()->width();
    if (empty || (IsTextMode() && m_textWrap) ||
        (Mode() == vbmodeBinary && m_textWidthFit && m_fontMonospaced)) {
        m_hPos = 0;
        h->setRange(0, 0);
        h->setEnabled(false);
    } else {
        m_hViewMax = std::max(
            {m_hViewMax, m_strPositions.MaxRight() + m_hViewPos, clientWidth + m_hViewPos});
        m_hPos = m_hViewPos;
        const int range = std::max(m_hViewMax - clientWidth, 0);
        h->setEnabled(range > 0);
        h->setRange(0, range);
        h->setPageStep(std::max(clientWidth, 1));
        h->setSingleStep(200);
        h->setValue(m_hPos);
    }
}

void TQzBinHex::paintEvent(QPaintEvent *)
{
    RunGuarded([&] {
        // Moved to a screen of another density: draw anew rather than let
        // the old pixels be scaled.
        if (!m_bitmap.isNull() && m_bitmap.devicePixelRatio() != devicePixelRatioF() &&
            m_busyCount == 0)
            Redraw();
        QPainter p(viewport());
        if (m_bitmap.isNull())
            p.fillRect(viewport()->rect(), m_color);
        else
            p.drawImage(0, 0, m_bitmap);
        PaintDragMarker(p);
    });
}
