// Laying out and drawing the visible lines into the off-screen bitmap.
#include "viewer/qzbinhex.h"

#include "viewer/outputprep.h"
#include "viewer/qttextmeasurer.h"
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

struct DrawColors
{
    QColor Background;
    QColor Text;
    QColor Error;
};

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

// Index of the first character of a line whose unit offset is at least unit.
int CharIndexAtUnit(const std::vector<int> &offsets, qint64 unit)
{
    if (unit <= 0)
        return 0;
    const auto it = std::lower_bound(offsets.begin(), offsets.end(), unit,
                                     [](int a, qint64 b) { return qint64(a) < b; });
    return int(std::min<ptrdiff_t>(it - offsets.begin(), ptrdiff_t(offsets.size()) - 1));
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
        m_measurer = std::make_unique<QtTextMeasurer>(font.Font);
        m_charWidth = m_measurer->Width(QStringLiteral("0"));
        m_fontMonospaced =
            m_measurer->Width(QStringLiteral("W")) == m_measurer->Width(QStringLiteral("."));
        m_doc.FirstPrintable = m_measurer->FirstChar();
    }
    m_lineHeight = m_measurer->CellHeight() + m_textLineSpacing;
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
    const QSize size = viewport()->size();
    if (m_doc.FileSize() < CharSize()) {
        UpdateMetrics(CurrentFont());
        // Reuse the bitmap: a fresh 5 MB image costs page faults on every close.
        if (m_bitmap.size() != size.expandedTo(QSize(1, 1)))
            m_bitmap = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        m_bitmap.fill(m_color);
        if (m_textGutter) {
            QPainter p(&m_bitmap);
            p.fillRect(0, 0, m_gutterWidth, m_bitmap.height(), TextColorGutter);
        }
        m_strPositions.Clear(CharSize());
        m_viewAtEnd = false;
        m_viewPageSize = 0;
        UpdateScrollBars();
    } else {
        DrawResult result{false, 0, m_textWidth, m_textWidthHex, m_textWidthUHex};
        DrawTo(m_bitmap, std::max(size.width(), 1), std::max(size.height(), 1), -1, false,
               &m_strPositions, result);
        m_viewAtEnd = result.ViewAtEnd;
        m_viewPageSize = result.ViewPageSize;
        m_textWidth = result.TextWidth;
        m_textWidthHex = result.TextWidthHex;
        m_textWidthUHex = result.TextWidthUHex;
        UpdateScrollBars();
    }
    viewport()->update();
}

void TQzBinHex::DrawTo(QImage &bitmap, int width, int height, qint64 limitPos, bool printing,
                       TStrPositions *positions, DrawResult &result)
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
    result.ViewPageSize = 0;
    result.ViewAtEnd = false;

    const bool enabled = isEnabled();
    const QColor gray = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
    DrawColors colors;
    colors.Background = printing ? QColor(Qt::white) : m_color;
    colors.Text = printing ? QColor(Qt::black) : enabled ? CurrentFont().Color : gray;
    colors.Error = printing ? QColor(Qt::black) : enabled ? TextColorError : gray;

    if (bitmap.width() != width || bitmap.height() != height)
        bitmap = QImage(width, height, QImage::Format_RGB32);
    bitmap.fill(colors.Background);
    m_gutterWidth = 10;
    QPainter painter(&bitmap);
    if (m_textGutter)
        painter.fillRect(0, 0, m_gutterWidth, height, TextColorGutter);
    if (positions)
        positions->Clear(CharSize());

    UpdateMetrics(CurrentFont());
    painter.setFont(m_measurer->Font());
    painter.setPen(colors.Text);
    if (positions)
        positions->SetMeasuring(m_measurer.get(), OutputOptions(false));

    const int fit =
        std::clamp((width - TextLeft()) / std::max(m_charWidth, 1), 2, std::max(MaxLength(), 2));
    if (m_textWidthFit)
        result.TextWidth = std::clamp(fit, 2, m_doc.MaxLengths[vbmodeBinary]);
    if (m_textWidthFitHex)
        result.TextWidthHex = HexWidth((fit - OffsetDigits() - 5) / 4, m_doc.MaxLengths[vbmodeHex]);
    if (m_textWidthFitUHex)
        result.TextWidthUHex =
            HexWidth((fit - OffsetDigits() - 5) / 6, m_doc.MaxLengths[vbmodeUHex]);

    const int visibleLines = LinesFitting(height);
    result.ViewPageSize = qint64(visibleLines) * BytesPerLine();

    if (!m_doc.ReadOK()) {
        DrawReadError(painter, bitmap, colors);
        return;
    }
    if (IsTextMode())
        DrawTextLines(painter, bitmap, limitPos, printing, positions, result, visibleLines, colors);
}

void TQzBinHex::DrawTextLines(QPainter &painter, const QImage &bitmap, qint64 limitPos,
                              bool printing, TStrPositions *positions, DrawResult &result,
                              int visibleLines, const DrawColors &colors)
{
    const int cs = CharSize();
    const int x = TextLeft();
    const int drawX = x - m_hViewPos;
    const int lines = std::min(visibleLines + 1, MaxScreenLines);
    WrapContext wrap = MakeWrapContext();
    wrap.AvailableWidth = bitmap.width() - x;
    const LineReader reader(m_doc, wrap);
    std::vector<int> edges;

    qint64 pos = m_viewPos;
    for (int i = 1; i <= lines; ++i) {
        ScreenLine line = reader.ReadForward(pos);
        const qint64 textUnits = line.Offsets.empty() ? 0 : line.Offsets.back();
        const qint64 eolPos = pos + textUnits * cs;
        const bool eolFollows = !m_doc.IsOutOfWindow(eolPos) &&
                                (m_doc.GetChar(eolPos) == 13 || m_doc.GetChar(eolPos) == 10);
        const int y = (i - 1) * m_lineHeight;

        bool done = false;
        if (!printing) {
            painter.setPen(colors.Text);
            painter.setBackground(colors.Background);
            if (OnDrawLine) {
                const QString prepared = PrepareOutput(line.Text, OutputOptions(false));
                OnDrawLine(this, painter, prepared, WholeLineAt(pos),
                           QRect(0, y, bitmap.width(), m_lineHeight), QPoint(x, y), done);
            }
        }
        if (!done) {
            OutputText(painter, drawX, y, line.Text, OutputOptions(eolFollows));
            // Selection: invert the part of this line it covers.
            const qint64 selLast = m_selStart + m_selLength - cs;
            const qint64 lineLast = pos + (textUnits - 1) * cs;
            if (m_selLength > 0 && selLast >= pos && m_selStart <= lineLast &&
                drawX < bitmap.width() && y < bitmap.height() &&
                CharEdges(line.Text, OutputOptions(false), *m_measurer, edges)) {
                const int last = int(edges.size()) - 1;
                const int a =
                    std::min(CharIndexAtUnit(line.Offsets, (m_selStart - pos) / cs), last);
                const int b = std::min(
                    CharIndexAtUnit(line.Offsets, (m_selStart + m_selLength - pos) / cs), last);
                const QRect r(drawX + edges[size_t(a)], y, edges[size_t(b)] - edges[size_t(a)],
                              m_lineHeight);
                painter.save();
                painter.setCompositionMode(QPainter::CompositionMode_Difference);
                painter.fillRect(r, Qt::white);
                painter.restore();
            }
            if (positions)
                positions->Add(line.Text, drawX, pos, y, line.Offsets);
            if (OnDrawLine2 && !printing)
                OnDrawLine2(this, painter, PrepareOutput(line.Text, OutputOptions(false)),
                            QPoint(drawX, y), OutputOptions(eolFollows));
        }
        if (m_textGutter) {
            painter.fillRect(0, y, m_gutterWidth, m_lineHeight, TextColorGutter);
            painter.setBackground(colors.Background);
        }
        if (i <= visibleLines) {
            result.ViewPageSize = (line.NextPos < 0 ? FileSize() : line.NextPos) - m_viewPos;
            result.ViewAtEnd = line.NextPos < 0;
        }
        if (line.NextPos < 0 || (limitPos >= 0 && line.NextPos > limitPos))
            break;
        pos = line.NextPos;
    }
}

void TQzBinHex::OutputText(QPainter &painter, int x, int y, const QString &text,
                           const TQzBinHexOutputOptions &options)
{
    const QString prepared = PrepareOutput(text, options);
    if (prepared.isEmpty())
        return;
    if (m_measurer->DrawSimple(painter, x, y, prepared, true))
        return;
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.drawText(x, y + m_measurer->Ascent(), prepared);
    painter.setBackgroundMode(Qt::TransparentMode);
}

void TQzBinHex::DrawReadError(QPainter &painter, const QImage &bitmap, const DrawColors &colors)
{
    const QString text = FormatStrW(ViewerMsg::ReadErrorAt, {HexOffset(m_viewPos, OffsetDigits())});
    const int w = m_measurer->Width(text);
    const int x = std::max((bitmap.width() - w) / 2, TextLeft());
    const int y = std::max((bitmap.height() - m_lineHeight) / 2, 0);
    painter.setPen(colors.Error);
    painter.setBackground(colors.Background);
    OutputText(painter, x, y, text, OutputOptions(false));
}

QString TQzBinHex::WholeLineAt(qint64 position) const
{
    const int cs = CharSize();
    constexpr int kLook = 8192;
    qint64 start = position;
    for (int i = 0; i < kLook; ++i) {
        const qint64 p = start - cs;
        if (m_doc.IsOutOfWindow(p))
            break;
        const char16_t c = m_doc.GetChar(p);
        if (c == 13 || c == 10)
            break;
        start = p;
    }
    std::vector<char16_t> units;
    qint64 p = start;
    // The character at position always belongs to the line.
    while (p < position && !m_doc.IsOutOfWindow(p)) {
        units.push_back(m_doc.GetChar(p));
        p += cs;
    }
    if (!m_doc.IsOutOfWindow(position))
        units.push_back(m_doc.GetChar(position));
    p = position + cs;
    for (int i = 0; i < kLook; ++i, p += cs) {
        if (m_doc.IsOutOfWindow(p))
            break;
        const char16_t c = m_doc.GetChar(p);
        if (c == 13 || c == 10)
            break;
        units.push_back(c);
    }
    return m_doc.DecodeLine(units.data(), int(units.size()));
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
        QPainter p(viewport());
        if (m_bitmap.isNull())
            p.fillRect(viewport()->rect(), m_color);
        else
            p.drawImage(0, 0, m_bitmap);
    });
}
