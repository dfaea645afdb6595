#include "viewer/textrenderer.h"

#include "viewer/outputprep.h"
#include "viewer/qttextmeasurer.h"
#include "viewer/strpositions.h"

#include <QPainter>

#include <algorithm>

namespace {

// Index of the first character of a line whose unit offset is at least unit.
int CharIndexAtUnit(const std::vector<int> &offsets, qint64 unit)
{
    if (unit <= 0)
        return 0;
    const auto it = std::lower_bound(offsets.begin(), offsets.end(), unit,
                                     [](int a, qint64 b) { return qint64(a) < b; });
    return int(std::min<ptrdiff_t>(it - offsets.begin(), ptrdiff_t(offsets.size()) - 1));
}

// Index of the character that holds unit (a character may stand for several).
int CharIndexHolding(const std::vector<int> &offsets, qint64 unit)
{
    if (unit <= 0 || offsets.size() < 2)
        return 0;
    const auto it = std::upper_bound(offsets.begin(), offsets.end() - 1, unit,
                                     [](qint64 a, int b) { return a < qint64(b); });
    return int(std::max<ptrdiff_t>(it - offsets.begin() - 1, 0));
}

// The part of a rewritten logical line that falls on one screen line, with
// its offsets made relative to the screen line.
void SliceRow(const TQzLineDecoration &decoration, qint64 logicalPos, int charSize, qint64 rowPos,
              int rowUnits, QString &text, std::vector<int> &offsets)
{
    const qint64 first = (rowPos - logicalPos) / charSize;
    text.clear();
    offsets.clear();
    const qsizetype n =
        std::min<qsizetype>(decoration.Text.size(), qsizetype(decoration.Offsets.size()));
    for (qsizetype i = 0; i < n; ++i) {
        const qint64 unit = decoration.Offsets[size_t(i)];
        if (unit >= first && unit < first + rowUnits) {
            text.append(decoration.Text.at(i));
            offsets.push_back(int(unit - first));
        }
    }
    offsets.push_back(rowUnits);
}

} // namespace

void TQzTextRenderer::DrawBackground(QPainter &painter) const
{
    painter.fillRect(QRect(QPoint(0, 0), m_s.Size), m_s.Colors.Background);
    if (m_s.Gutter)
        painter.fillRect(0, 0, m_s.GutterWidth, m_s.Size.height(), m_s.GutterColor);
    painter.setFont(m_s.Measurer->Font());
    painter.setPen(m_s.Colors.Text);
    painter.setBackground(m_s.Colors.Background);
}

void TQzTextRenderer::DrawLines(QPainter &painter, const TQzTextLayout &layout,
                                TStrPositions *positions) const
{
    const int x = m_s.TextLeft;
    const int drawX = x - m_s.HViewPos;
    const TQzDecorationContext context{m_s.Printing};
    TQzBinHexOutputOptions plain = m_s.Options;
    plain.ShowEol = false;
    // Decorations are made once per logical line, when its first line is drawn.
    std::vector<TQzLineDecoration> decorations(layout.Logical.size());
    std::vector<bool> decorated(layout.Logical.size(), false);
    QString shown;
    std::vector<int> offsets;

    int y = 0;
    for (const TQzLaidLine &laid : layout.Lines) {
        const ScreenLine &line = laid.Line;
        const TQzLogicalLine *logical =
            laid.Logical >= 0 ? &layout.Logical[size_t(laid.Logical)] : nullptr;
        const TQzLineDecoration *decoration = nullptr;
        if (logical && !m_s.Decorators.empty()) {
            TQzLineDecoration &d = decorations[size_t(laid.Logical)];
            if (!decorated[size_t(laid.Logical)]) {
                d.Text = logical->Text;
                d.Offsets = logical->Offsets;
                for (const auto &decorator : m_s.Decorators)
                    decorator->Decorate(*logical, context, d);
                decorated[size_t(laid.Logical)] = true;
            }
            decoration = &d;
        }

        const QRect band(0, y, m_s.Size.width(), m_s.LineHeight);
        // Each line starts from the viewer's colours: a handler's never leak on.
        painter.setPen(m_s.Colors.Text);
        painter.setBackground(m_s.Colors.Background);
        if (decoration && decoration->BandBack.isValid()) {
            painter.fillRect(band, decoration->BandBack);
            painter.setBackground(decoration->BandBack);
        }
        if (decoration && decoration->BandFore.isValid())
            painter.setPen(decoration->BandFore);

        // What both hooks are given, prepared once.
        const bool hooks = !m_s.Printing && (m_s.BeforeLine || m_s.AfterLine);
        const QString hookText = hooks ? PrepareOutput(line.Text, plain) : QString();
        bool done = false;
        if (!m_s.Printing && m_s.BeforeLine)
            m_s.BeforeLine(painter, hookText, logical ? logical->Text : QString(), band,
                           QPoint(x, y), done);
        if (!done && decoration && decoration->ReplaceLine) {
            OutputText(painter, x, y, decoration->Replacement, plain);
            done = true;
        }
        if (!done) {
            TQzBinHexOutputOptions options = m_s.Options;
            options.ShowEol = laid.EolFollows;
            if (decoration && decoration->Rewritten) {
                const int rowUnits = line.Offsets.empty() ? 0 : line.Offsets.back();
                SliceRow(*decoration, logical->Pos, m_s.CharSize, laid.Pos, rowUnits, shown,
                         offsets);
            } else {
                shown = line.Text;
                offsets = line.Offsets;
            }
            OutputText(painter, drawX, y, shown, options);
            if (decoration)
                DrawMarks(painter, *decoration, laid.Pos, drawX, y, shown, offsets);
            if (positions)
                positions->Add(shown, drawX, laid.Pos, y, offsets);
            if (!m_s.Printing && m_s.AfterLine)
                m_s.AfterLine(painter, hookText, QPoint(drawX, y), options);
        }
        // After the text, so that text scrolled under the gutter is covered.
        if (m_s.Gutter)
            DrawGutterCell(painter, y, laid.Pos, laid.LineStart);
        y += m_s.LineHeight;
    }
}

void TQzTextRenderer::DrawMarks(QPainter &painter, const TQzLineDecoration &decoration, qint64 pos,
                                int x, int y, const QString &text,
                                const std::vector<int> &offsets) const
{
    if (decoration.Marks.empty() || x >= m_s.Size.width() || y >= m_s.Size.height())
        return;
    const int cs = m_s.CharSize;
    const qint64 textUnits = offsets.empty() ? 0 : offsets.back();
    const qint64 lineLast = pos + (textUnits - 1) * cs;
    TQzBinHexOutputOptions plain = m_s.Options;
    plain.ShowEol = false;
    std::vector<int> edges;
    for (const TQzLineDecoration::Mark &mark : decoration.Marks) {
        if (mark.To - cs < pos || mark.From > lineLast)
            continue;
        if (edges.empty() && !CharEdges(text, plain, *m_s.Measurer, edges))
            return; // no extents: the line is not overdrawn
        const int last = int(edges.size()) - 1;
        const int a = std::min(CharIndexHolding(offsets, (mark.From - pos) / cs), last);
        const int b = std::min(CharIndexAtUnit(offsets, (mark.To - pos) / cs), last);
        if (b <= a)
            continue;
        const QRect r(x + edges[size_t(a)], y, edges[size_t(b)] - edges[size_t(a)], m_s.LineHeight);
        painter.save();
        if (mark.Invert) {
            painter.setCompositionMode(QPainter::CompositionMode_Difference);
            painter.fillRect(r, Qt::white);
        } else {
            if (mark.Back.isValid())
                painter.setBackground(mark.Back);
            if (mark.Fore.isValid())
                painter.setPen(mark.Fore);
            OutputText(painter, r.x(), y, text.mid(a, b - a), plain);
            if (mark.Underline) {
                const QFontMetrics &fm = m_s.Measurer->Metrics();
                const int thick = std::max(fm.lineWidth(), 1);
                painter.fillRect(r.x(), y + fm.ascent() + fm.underlinePos(), r.width(), thick,
                                 painter.pen().color());
            }
        }
        painter.restore();
    }
}

void TQzTextRenderer::DrawGutterCell(QPainter &painter, int y, qint64 pos, bool lineStart) const
{
    const int w = m_s.GutterWidth;
    const int h = m_s.LineHeight;
    painter.fillRect(0, y, w, h, m_s.GutterColor);
    if (lineStart) {
        const TQzGutterSetup &g = m_s.GutterCells;
        const int n = g.Numbers && g.LineNumber && g.Font ? g.LineNumber(pos) : 0;
        painter.save();
        if (n >= 1 && n % std::max(g.Step, 1) == 0) {
            const QString text = QString::number(n);
            const int top = y + (h - g.Font->CellHeight()) / 2;
            painter.setFont(g.Font->Font());
            painter.setPen(g.FontColor);
            painter.drawText(w - g.Font->Width(text) - 2, top + g.Font->Ascent(), text);
        } else {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setBrush(m_s.Colors.Background);
            painter.setPen(QPen(m_s.Colors.Text, 1));
            // The 6-pixel box of the mark, its outline inside it.
            painter.drawEllipse(QRectF(w / 2 - 3 + 0.5, y + h / 2 - 3 + 0.5, 5, 5));
        }
        painter.restore();
    }
    painter.setBackground(m_s.Colors.Background);
}

void TQzTextRenderer::DrawMessage(QPainter &painter, const QString &text, const QColor &color) const
{
    const int w = m_s.Measurer->Width(text);
    const int x = std::max((m_s.Size.width() - w) / 2, m_s.TextLeft);
    const int y = std::max((m_s.Size.height() - m_s.LineHeight) / 2, 0);
    painter.setPen(color);
    painter.setBackground(m_s.Colors.Background);
    TQzBinHexOutputOptions plain = m_s.Options;
    plain.ShowEol = false;
    OutputText(painter, x, y, text, plain);
}

void TQzTextRenderer::OutputText(QPainter &painter, int x, int y, const QString &text,
                                 const TQzBinHexOutputOptions &options) const
{
    QString prepared = PrepareOutput(text, options);
    if (prepared.isEmpty())
        return;
    // A long line reaches far past the target: only what falls on it is drawn.
    const int right = m_s.Size.width();
    std::vector<int> extents;
    if ((x < 0 || x + prepared.size() * qsizetype(m_s.Measurer->Metrics().maxWidth()) > right) &&
        m_s.Measurer->Extents(prepared, extents) && extents.size() == size_t(prepared.size())) {
        const qsizetype n = prepared.size();
        qsizetype first = 0;
        while (first < n && x + extents[size_t(first)] <= 0)
            ++first;
        qsizetype last = first;
        while (last < n && x + (last > 0 ? extents[size_t(last - 1)] : 0) < right)
            ++last;
        // One character more on each side, for glyphs wider than their cell;
        // never half of a surrogate pair.
        first = std::max<qsizetype>(first - 1, 0);
        last = std::min(last + 1, n);
        if (first > 0 && prepared.at(first).isLowSurrogate())
            --first;
        if (last < n && prepared.at(last).isLowSurrogate())
            ++last;
        if (first >= last)
            return;
        x += first > 0 ? extents[size_t(first - 1)] : 0;
        prepared = prepared.mid(first, last - first);
    }
    if (m_s.Measurer->DrawSimple(painter, x, y, prepared, true))
        return;
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.drawText(x, y + m_s.Measurer->Ascent(), prepared);
    painter.setBackgroundMode(Qt::TransparentMode);
}
