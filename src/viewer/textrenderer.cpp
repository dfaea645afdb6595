#include "viewer/textrenderer.h"

#include "viewer/outputprep.h"
#include "viewer/qttextmeasurer.h"
#include "viewer/drawnlines.h"

#include <QPainter>

#include <algorithm>

namespace {

// Index of the first character of a line whose unit offset is at least unit.
int charIndexAtUnit(const std::vector<int> &offsets, qint64 unit)
{
    if (unit <= 0)
        return 0;
    const auto it = std::lower_bound(offsets.begin(), offsets.end(), unit,
                                     [](int a, qint64 b) { return qint64(a) < b; });
    return int(std::min<ptrdiff_t>(it - offsets.begin(), ptrdiff_t(offsets.size()) - 1));
}

// Index of the character that holds unit (a character may stand for several).
int charIndexHolding(const std::vector<int> &offsets, qint64 unit)
{
    if (unit <= 0 || offsets.size() < 2)
        return 0;
    const auto it = std::upper_bound(offsets.begin(), offsets.end() - 1, unit,
                                     [](qint64 a, int b) { return a < qint64(b); });
    return int(std::max<ptrdiff_t>(it - offsets.begin() - 1, 0));
}

// The part of a rewritten logical line that falls on one screen line, with
// its offsets made relative to the screen line.
void sliceRow(const LineDecoration &decoration, qint64 logicalPos, int charSize, qint64 rowPos,
              int rowUnits, QString &text, std::vector<int> &offsets)
{
    const qint64 first = (rowPos - logicalPos) / charSize;
    text.clear();
    offsets.clear();
    const qsizetype n =
        std::min<qsizetype>(decoration.text.size(), qsizetype(decoration.offsets.size()));
    for (qsizetype i = 0; i < n; ++i) {
        const qint64 unit = decoration.offsets[size_t(i)];
        if (unit >= first && unit < first + rowUnits) {
            text.append(decoration.text.at(i));
            offsets.push_back(int(unit - first));
        }
    }
    offsets.push_back(rowUnits);
}

} // namespace

void TextRenderer::drawBackground(QPainter &painter) const
{
    painter.fillRect(QRect(QPoint(0, 0), m_s.size), m_s.colors.background);
    if (m_s.gutter)
        painter.fillRect(0, 0, m_s.gutterWidth, m_s.size.height(), m_s.gutterColor);
    painter.setFont(m_s.measurer->font());
    painter.setPen(m_s.colors.text);
    painter.setBackground(m_s.colors.background);
}

void TextRenderer::drawLines(QPainter &painter, const TextLayout &layout,
                             DrawnLines *positions) const
{
    const int x = m_s.textLeft;
    const int drawX = x - m_s.hViewPos;
    const DecorationContext context{m_s.printing};
    OutputOptions plain = m_s.options;
    plain.showEol = false;
    // Decorations are made once per logical line, when its first line is drawn.
    std::vector<LineDecoration> decorations(layout.logical.size());
    std::vector<bool> decorated(layout.logical.size(), false);
    QString shown;
    std::vector<int> offsets;

    int y = 0;
    for (const LaidLine &laid : layout.lines) {
        const ScreenLine &line = laid.line;
        const LogicalLine *logical =
            laid.logical >= 0 ? &layout.logical[size_t(laid.logical)] : nullptr;
        const LineDecoration *decoration = nullptr;
        if (logical && !m_s.decorators.empty()) {
            LineDecoration &d = decorations[size_t(laid.logical)];
            if (!decorated[size_t(laid.logical)]) {
                d.text = logical->text;
                d.offsets = logical->offsets;
                for (const auto &decorator : m_s.decorators)
                    decorator->decorate(*logical, context, d);
                decorated[size_t(laid.logical)] = true;
            }
            decoration = &d;
        }

        const QRect band(0, y, m_s.size.width(), m_s.lineHeight);
        // Each line starts from the viewer's colours: a handler's never leak on.
        painter.setPen(m_s.colors.text);
        painter.setBackground(m_s.colors.background);
        if (decoration && decoration->bandBack.isValid()) {
            painter.fillRect(band, decoration->bandBack);
            painter.setBackground(decoration->bandBack);
        }
        if (decoration && decoration->bandFore.isValid())
            painter.setPen(decoration->bandFore);

        // What both hooks are given, prepared once.
        const bool hooks = !m_s.printing && (m_s.beforeLine || m_s.afterLine);
        const QString hookText = hooks ? prepareOutput(line.text, plain) : QString();
        bool done = false;
        if (!m_s.printing && m_s.beforeLine)
            m_s.beforeLine(painter, hookText, logical ? logical->text : QString(), band,
                           QPoint(x, y), done);
        if (!done && decoration && decoration->replaceLine) {
            outputText(painter, x, y, decoration->replacement, plain);
            done = true;
        }
        if (!done) {
            OutputOptions options = m_s.options;
            options.showEol = laid.eolFollows;
            if (decoration && decoration->rewritten) {
                const int rowUnits = line.offsets.empty() ? 0 : line.offsets.back();
                sliceRow(*decoration, logical->pos, m_s.charSize, laid.pos, rowUnits, shown,
                         offsets);
            } else {
                shown = line.text;
                offsets = line.offsets;
            }
            outputText(painter, drawX, y, shown, options);
            if (decoration)
                drawMarks(painter, *decoration, laid.pos, drawX, y, shown, offsets);
            if (positions)
                positions->add(shown, drawX, laid.pos, y, offsets);
            if (!m_s.printing && m_s.afterLine)
                m_s.afterLine(painter, hookText, QPoint(drawX, y), options);
        }
        // After the text, so that text scrolled under the gutter is covered.
        if (m_s.gutter)
            drawGutterCell(painter, y, laid.pos, laid.LineStart);
        y += m_s.lineHeight;
    }
}

void TextRenderer::drawMarks(QPainter &painter, const LineDecoration &decoration, qint64 pos, int x,
                             int y, const QString &text, const std::vector<int> &offsets) const
{
    if (decoration.marks.empty() || x >= m_s.size.width() || y >= m_s.size.height())
        return;
    const int cs = m_s.charSize;
    const qint64 textUnits = offsets.empty() ? 0 : offsets.back();
    const qint64 lineLast = pos + (textUnits - 1) * cs;
    OutputOptions plain = m_s.options;
    plain.showEol = false;
    std::vector<int> edges;
    for (const LineDecoration::Mark &mark : decoration.marks) {
        if (mark.to - cs < pos || mark.from > lineLast)
            continue;
        if (edges.empty() && !charEdges(text, plain, *m_s.measurer, edges))
            return; // no extents: the line is not overdrawn
        const int last = int(edges.size()) - 1;
        const int a = std::min(charIndexHolding(offsets, (mark.from - pos) / cs), last);
        const int b = std::min(charIndexAtUnit(offsets, (mark.to - pos) / cs), last);
        if (b <= a)
            continue;
        const QRect r(x + edges[size_t(a)], y, edges[size_t(b)] - edges[size_t(a)], m_s.lineHeight);
        painter.save();
        if (mark.invert) {
            painter.setCompositionMode(QPainter::CompositionMode_Difference);
            painter.fillRect(r, Qt::white);
        } else {
            if (mark.back.isValid())
                painter.setBackground(mark.back);
            if (mark.fore.isValid())
                painter.setPen(mark.fore);
            outputText(painter, r.x(), y, text.mid(a, b - a), plain);
            if (mark.underline) {
                const QFontMetrics &fm = m_s.measurer->metrics();
                const int thick = std::max(fm.lineWidth(), 1);
                painter.fillRect(r.x(), y + fm.ascent() + fm.underlinePos(), r.width(), thick,
                                 painter.pen().color());
            }
        }
        painter.restore();
    }
}

void TextRenderer::drawGutterCell(QPainter &painter, int y, qint64 pos, bool lineStart) const
{
    const int w = m_s.gutterWidth;
    const int h = m_s.lineHeight;
    painter.fillRect(0, y, w, h, m_s.gutterColor);
    if (lineStart) {
        const GutterSetup &g = m_s.gutterCells;
        const qint64 n = g.numbers && g.lineNumber && g.font && !g.label ? g.lineNumber(pos) : 0;
        const QString text = g.label && g.font                        ? g.label(pos)
                             : n >= 1 && n % std::max(g.step, 1) == 0 ? QString::number(n)
                                                                      : QString();
        painter.save();
        if (!text.isEmpty()) {
            const int top = y + (h - g.font->cellHeight()) / 2;
            painter.setFont(g.font->font());
            painter.setPen(g.fontColor);
            painter.drawText(w - g.font->width(text) - 2, top + g.font->ascent(), text);
        } else {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setBrush(m_s.colors.background);
            painter.setPen(QPen(m_s.colors.text, 1));
            // The 6-pixel box of the mark, its outline inside it.
            painter.drawEllipse(QRectF(w / 2 - 3 + 0.5, y + h / 2 - 3 + 0.5, 5, 5));
        }
        painter.restore();
    }
    painter.setBackground(m_s.colors.background);
}

void TextRenderer::drawMessage(QPainter &painter, const QString &text, const QColor &color) const
{
    const int w = m_s.measurer->width(text);
    const int x = std::max((m_s.size.width() - w) / 2, m_s.textLeft);
    const int y = std::max((m_s.size.height() - m_s.lineHeight) / 2, 0);
    painter.setPen(color);
    painter.setBackground(m_s.colors.background);
    OutputOptions plain = m_s.options;
    plain.showEol = false;
    outputText(painter, x, y, text, plain);
}

void TextRenderer::outputText(QPainter &painter, int x, int y, const QString &text,
                              const OutputOptions &options) const
{
    QString prepared = prepareOutput(text, options);
    if (prepared.isEmpty())
        return;
    // A long line reaches far past the target: only what falls on it is drawn.
    const int right = m_s.size.width();
    std::vector<int> extents;
    if ((x < 0 || x + prepared.size() * qsizetype(m_s.measurer->metrics().maxWidth()) > right) &&
        m_s.measurer->extents(prepared, extents) && extents.size() == size_t(prepared.size())) {
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
    if (m_s.measurer->drawSimple(painter, x, y, prepared, true))
        return;
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.drawText(x, y + m_s.measurer->ascent(), prepared);
    painter.setBackgroundMode(Qt::TransparentMode);
}
