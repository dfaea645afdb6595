// Laying out the visible lines and handing them to the renderer.
#include "viewer/logview.h"

#include "viewer/qttextmeasurer.h"
#include "viewer/textlayout.h"
#include "viewer/textrenderer.h"
#include "viewer/urldecorator.h"
#include "viewer/viewermsg.h"
#include "text/contract.h"
#include "text/guard.h"
#include "text/stringutil.h"

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

QString hexOffset(qint64 value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}
} // namespace

int LogView::textLeft() const
{
    return m_opt.textGutter ? m_gutterWidth + 2 : 2;
}

int LogView::linesFitting(int height) const
{
    return std::clamp((height - 2) / std::max(m_lineHeight, 1), 0, maxScreenLines);
}

int LogView::visibleLines() const
{
    return linesFitting(viewSize().height());
}

OutputOptions LogView::outputOptions(bool showEol) const
{
    OutputOptions o;
    o.showNonPrintable = m_opt.textNonPrintable;
    o.showEol = showEol;
    o.oemFont = m_doc.usesOemSpecial();
    o.fontMonospaced = m_fontMonospaced;
    o.tabSize = m_opt.textTabSize;
    return o;
}

WrapContext LogView::makeWrapContext() const
{
    WrapContext w;
    w.wrap = m_opt.textWrap && m_doc.isTextMode();
    w.availableWidth = viewSize().width() - textLeft();
    w.measurer = m_measurer.get();
    w.options = outputOptions(false);
    return w;
}

void LogView::updateMetrics(const ViewFont &font)
{
    if (!m_measurer || m_measurer->font() != font.font) {
        // A new measurer, never a changed one: the record of the last drawing
        // keeps measuring with the font it was drawn in.
        m_measurer = std::make_shared<QtTextMeasurer>(font.font);
        m_charWidth = m_measurer->width(QStringLiteral("0"));
        m_fontMonospaced =
            m_measurer->width(QStringLiteral("W")) == m_measurer->width(QStringLiteral("."));
        m_doc.firstPrintable = m_measurer->firstChar();
    }
    m_lineHeight = m_measurer->cellHeight() + m_opt.textLineSpacing;
}

void LogView::setLineDecorators(LineDecorators decorators)
{
    m_decorators = std::move(decorators);
    redraw();
}

void LogView::redraw()
{
    if (!m_drawEnabled)
        return;
    if (m_deferDraws > 0 || inHiddenPage()) {
        measureView();
        return;
    }
    m_drawStale = false;
    m_drawnForScreen = isVisible();
    BusyGuard busy(m_busyCount);
    const QSize size = viewport()->size().expandedTo(QSize(1, 1));
    // The bitmap has the screen's pixels; everything else counts in logical ones.
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size) * ratio).toSize();
    if (m_doc.fileSize() >= m_doc.charSize())
        checkViewInBuffer(); // before any pixel changes: the last picture stays
    // Reuse the bitmap: a fresh 5 MB image costs page faults on every close.
    if (m_bitmap.size() != pixels || m_bitmap.devicePixelRatio() != ratio) {
        m_bitmap = QImage(pixels, QImage::Format_RGB32);
        m_bitmap.setDevicePixelRatio(ratio);
    }
    QPainter painter(&m_bitmap);
    if (m_doc.fileSize() < m_doc.charSize()) {
        updateMetrics(currentFont());
        prepareGutter();
        const RenderSetup setup = makeRenderSetup(size, false);
        TextRenderer(setup).drawBackground(painter);
        m_strPositions.clear(m_doc.charSize());
        // An open file with nothing in it shows its end: what is written to
        // it next is followed.
        m_viewAtEnd = m_doc.sourceAssigned() && m_doc.readOK();
        m_viewPageSize = 0;
    } else {
        DrawResult result{false, 0, m_opt.textWidth, m_opt.textWidthHex, m_opt.textWidthUHex};
        renderTo(painter, size, -1, false, &m_strPositions, result);
        m_viewAtEnd = result.viewAtEnd;
        m_viewPageSize = result.viewPageSize;
        m_opt.textWidth = result.textWidth;
        m_opt.textWidthHex = result.textWidthHex;
        m_opt.textWidthUHex = result.textWidthUHex;
    }
    painter.end();
    updateScrollBars();
    viewport()->update();
    Q_EMIT drawn();
}

void LogView::checkViewInBuffer() const
{
    const qint64 bufferPos = m_doc.bufferPos();
    if (bufferPos < 0 || bufferPos > m_doc.maxPos() || bufferPos > m_viewPos ||
        m_viewPos > bufferPos + 2 * m_doc.bufMaxOffset()) {
        throw ContractError(
            QStringLiteral("Positions out of range: DrawTo\rBufferPos: %1, ViewPos: %2, "
                           "BufMaxOffset: %3")
                .arg(bufferPos)
                .arg(m_viewPos)
                .arg(m_doc.bufMaxOffset()),
            QStringLiteral("QzBinHex"));
    }
}

void LogView::drawTo(QImage &bitmap, int width, int height, qint64 limitPos, bool printing,
                     DrawnLines *positions, DrawResult &result)
{
    checkViewInBuffer();
    if (bitmap.width() != width || bitmap.height() != height)
        bitmap = QImage(width, height, QImage::Format_RGB32);
    QPainter painter(&bitmap);
    renderTo(painter, bitmap.deviceIndependentSize().toSize(), limitPos, printing, positions,
             result);
}

RenderSetup LogView::makeRenderSetup(const QSize &size, bool printing)
{
    RenderSetup s;
    s.measurer = m_measurer;
    s.size = size;
    s.lineHeight = m_lineHeight;
    s.textLeft = textLeft();
    s.hViewPos = m_hViewPos;
    s.gutter = m_opt.textGutter;
    s.gutterWidth = m_gutterWidth;
    s.gutterColor = m_opt.colors.gutter;
    const bool enabled = isEnabled();
    const QColor gray = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
    s.colors.background = printing ? QColor(Qt::white) : m_opt.color;
    s.colors.text = printing ? QColor(Qt::black) : enabled ? currentFont().color : gray;
    s.colors.error = printing ? QColor(Qt::black) : enabled ? m_opt.colors.error : gray;
    const QColor printGray(128, 128, 128);
    s.colors.url = printing ? printGray : enabled ? m_opt.colors.url : gray;
    s.colors.hex = printing ? QColor(Qt::black) : enabled ? m_opt.colors.hex : gray;
    s.colors.hex2 = printing ? QColor(Qt::black) : enabled ? m_opt.colors.hex2 : gray;
    s.colors.hexBack = printing ? QColor(Qt::white) : m_opt.colors.hexBack;
    s.colors.lines = printing ? printGray : enabled ? m_opt.colors.lines : gray;
    if (m_opt.textGutter) {
        s.gutterCells.numbers = linesUsable();
        s.gutterCells.step = m_opt.textGutterLinesStep;
        s.gutterCells.lineNumber = [this](qint64 pos) { return lineNumberAt(pos); };
        s.gutterCells.label = m_gutterLabel;
        s.gutterCells.font = m_gutterMeasurer;
        s.gutterCells.fontColor = m_opt.fontGutter.color;
    }
    s.options = outputOptions(false);
    s.charSize = m_doc.charSize();
    s.printing = printing;
    s.decorators = m_decorators;
    s.dumpText = m_dumpTextFilter;
    // Addresses before the selection, which inverts whatever lies under it.
    if (m_opt.textUrlHilight && !m_urls.urls().empty())
        s.decorators.push_back(std::make_shared<UrlDecorator>(m_urls, s.colors.url));
    if (m_selLength > 0)
        s.decorators.push_back(std::make_shared<SelectionDecorator>(m_selStart, m_selLength));
    if (!printing && onDrawLine) {
        s.beforeLine = [this](QPainter &painter, const QString &str, const QString &strAll,
                              const QRect &rect, const QPoint &point, bool &done) {
            onDrawLine(this, painter, str, strAll, rect, point, done);
        };
    }
    if (!printing && onDrawLine2) {
        s.afterLine = [this](QPainter &painter, const QString &str, const QPoint &point,
                             const OutputOptions &options) {
            onDrawLine2(this, painter, str, point, options);
        };
    }
    return s;
}

void LogView::renderTo(QPainter &painter, const QSize &size, qint64 limitPos, bool printing,
                       DrawnLines *positions, DrawResult &result)
{
    checkViewInBuffer();
    result.viewPageSize = 0;
    result.viewAtEnd = false;
    updateMetrics(currentFont());
    prepareGutter();
    const RenderSetup setup = makeRenderSetup(size, printing);
    const TextRenderer renderer(setup);
    renderer.drawBackground(painter);
    if (positions) {
        positions->clear(m_doc.charSize());
        positions->setMeasuring(m_measurer, outputOptions(false));
    }

    const int width = size.width();
    const int fit = std::clamp((width - textLeft()) / std::max(m_charWidth, 1), 2,
                               std::max(m_doc.maxLength(), 2));
    if (m_opt.textWidthFit)
        result.textWidth = std::clamp(fit, 2, m_doc.maxLengths[vbmodeBinary]);
    if (m_opt.textWidthFitHex)
        result.textWidthHex =
            hexRowWidth((fit - m_doc.offsetDigits() - 5) / 4, m_doc.maxLengths[vbmodeHex]);
    if (m_opt.textWidthFitUHex)
        result.textWidthUHex =
            hexRowWidth((fit - m_doc.offsetDigits() - 5) / 6, m_doc.maxLengths[vbmodeUHex]);

    const int visibleLines = linesFitting(size.height());
    result.viewPageSize = qint64(visibleLines) * bytesPerLine();

    if (!m_doc.readOK()) {
        renderer.drawMessage(
            painter,
            formatStrW(ViewerMsg::readErrorAt, {hexOffset(m_viewPos, m_doc.offsetDigits())}),
            setup.colors.error);
        return;
    }
    if (!m_doc.isTextMode()) {
        renderDump(painter, setup, limitPos, visibleLines, positions, result);
        return;
    }
    WrapContext wrap = makeWrapContext();
    wrap.availableWidth = width - textLeft();
    TextLayout layout =
        layOutText(m_doc, wrap, {m_viewPos, visibleLines, limitPos, setup.needsLogicalLines()});
    // A page holds whole lines only: the line cut at its foot starts the next
    // page, and printed twice it would also be found twice in the text.
    if (printing && layout.lines.size() > size_t(visibleLines))
        layout.lines.resize(size_t(visibleLines));
    renderer.drawLines(painter, layout, positions);
    result.viewPageSize = layout.viewPageSize;
    result.viewAtEnd = layout.viewAtEnd;
}

void LogView::updateScrollBars()
{
    const QScopedValueRollback<bool> guard(m_settingBars, true);
    QScrollBar *v = verticalScrollBar();
    QScrollBar *h = horizontalScrollBar();
    const qint64 size = m_doc.fileSize();
    const bool empty = !m_doc.readOK() || size < m_doc.charSize();

    if (empty || (m_doc.isTextMode() && m_viewPos == 0 && m_viewPageSize >= size)) {
        m_vMax = m_vPos = 0;
        v->setRange(0, 0);
        v->setEnabled(false);
    } else {
        const qint64 b = bytesPerLine();
        const int m = int(std::clamp<qint64>(size / b, 4, 32767));
        m_vMax = m;
        m_vPos = int(std::min<qint64>(mulDiv64(m_viewPos, m, size), m));
        qint64 page = 0;
        if (!m_doc.isTextMode()) {
            page = std::max<qint64>(qint64(visibleLines()) * b * m / size, 1);
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
    if (empty || (m_doc.isTextMode() && m_opt.textWrap) ||
        (m_doc.mode() == vbmodeBinary && m_opt.textWidthFit && m_fontMonospaced)) {
        m_hPos = 0;
        h->setRange(0, 0);
        h->setEnabled(false);
    } else {
        m_hViewMax = std::max(
            {m_hViewMax, m_strPositions.maxRight() + m_hViewPos, clientWidth + m_hViewPos});
        m_hPos = m_hViewPos;
        const int range = std::max(m_hViewMax - clientWidth, 0);
        h->setEnabled(range > 0);
        h->setRange(0, range);
        h->setPageStep(std::max(clientWidth, 1));
        h->setSingleStep(200);
        h->setValue(m_hPos);
    }
}

void LogView::paintEvent(QPaintEvent *)
{
    runGuarded([&] {
        // Moved to a screen of another density: draw anew rather than let
        // the old pixels be scaled.
        if (!m_bitmap.isNull() && m_bitmap.devicePixelRatio() != devicePixelRatioF() &&
            m_busyCount == 0)
            redraw();
        QPainter p(viewport());
        if (m_bitmap.isNull())
            p.fillRect(viewport()->rect(), m_opt.color);
        else
            p.drawImage(0, 0, m_bitmap);
        paintDragMarker(p);
    });
}
