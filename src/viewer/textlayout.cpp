#include "viewer/textlayout.h"

#include "viewer/viewdocument.h"

#include <algorithm>
#include <limits>

namespace {

bool IsBreak(char16_t c)
{
    return c == 13 || c == 10;
}

// No stop found (a stop may be at -1: before the file).
constexpr qint64 kNone = std::numeric_limits<qint64>::min();

// Finds the text around the screen lines of one logical line. They share the
// stops before and after them (a line break or the window's edge), so each
// stop is looked for once per logical line, not once per screen line.
class LogicalFinder
{
public:
    explicit LogicalFinder(const ViewDocument &document)
        : m_doc(document), m_cs(document.CharSize())
    {}

    // A new logical line begins at the screen line at position.
    void Begin(qint64 position)
    {
        m_backStop = FindBackward(position - m_cs, position - qint64(LookAround) * m_cs);
        m_forwardStop = kNone;
        m_next = position + m_cs;
    }

    // [start, end) of the text shown as the whole line of the screen line at
    // position: the character there, and up to LookAround characters on
    // either side that are neither a break nor outside the window.
    std::pair<qint64, qint64> Bounds(qint64 position)
    {
        qint64 start = position - qint64(LookAround) * m_cs;
        if (m_backStop != kNone)
            start = std::max(start, m_backStop + m_cs);
        const qint64 last = position + qint64(LookAround) * m_cs;
        if (m_forwardStop == kNone && m_next <= last) {
            m_forwardStop = FindForward(m_next, last);
            m_next = last + m_cs;
        }
        qint64 end = last + m_cs;
        if (m_forwardStop != kNone)
            end = std::min(end, m_forwardStop);
        return {start, end};
    }

private:
    bool IsStop(qint64 p) const { return m_doc.IsOutOfWindow(p) || IsBreak(m_doc.GetChar(p)); }

    // The end of the window's valid bytes (exclusive).
    qint64 WindowEnd() const
    {
        return std::min(m_doc.BufferPos() + m_doc.BufferSize(), m_doc.MaxPos() + 1);
    }

    // The first stop in [from, to], walking forward, or kNone.
    qint64 FindForward(qint64 from, qint64 to) const
    {
        if (m_cs == 1 && from >= m_doc.BufferPos()) {
            // Bytes are the characters here: scan the window itself.
            const qint64 base = m_doc.BufferPos();
            const qint64 end = std::min(to + 1, WindowEnd());
            const char *b = m_doc.Buffer();
            for (qint64 p = from; p < end; ++p) {
                const char c = b[p - base];
                if (c == '\n' || c == '\r')
                    return p;
            }
            if (end <= to)
                return std::max(end, from); // the window's edge
            return kNone;
        }
        for (qint64 p = from; p <= to; p += m_cs) {
            if (IsStop(p))
                return p;
        }
        return kNone;
    }

    // The first stop in [to, from], walking backward, or kNone.
    qint64 FindBackward(qint64 from, qint64 to) const
    {
        if (m_cs == 1 && from < WindowEnd()) {
            const qint64 base = m_doc.BufferPos();
            const qint64 stop = std::max(to, base);
            const char *b = m_doc.Buffer();
            for (qint64 p = from; p >= stop; --p) {
                const char c = b[p - base];
                if (c == '\n' || c == '\r')
                    return p;
            }
            if (stop > to)
                return std::min(stop - 1, from); // the window's edge
            return kNone;
        }
        for (qint64 p = from; p >= to; p -= m_cs) {
            if (IsStop(p))
                return p;
        }
        return kNone;
    }

    const ViewDocument &m_doc;
    const int m_cs;
    qint64 m_backStop = kNone;
    qint64 m_forwardStop = kNone;
    qint64 m_next = 0;
};

TQzLogicalLine Decode(const ViewDocument &document, qint64 start, qint64 end)
{
    const int cs = document.CharSize();
    std::vector<char16_t> units;
    units.reserve(size_t(std::max<qint64>((end - start) / cs, 0)));
    for (qint64 p = start; p < end; p += cs)
        units.push_back(document.GetChar(p));
    TQzLogicalLine line;
    line.Pos = start;
    line.CharSize = cs;
    line.Text = document.DecodeLine(units.data(), int(units.size()), &line.Offsets);
    line.Offsets.push_back(int(units.size()));
    return line;
}

} // namespace

TQzTextLayout LayOutText(const ViewDocument &document, const WrapContext &wrap,
                         const TQzLayoutRequest &request)
{
    TQzTextLayout out;
    const int cs = document.CharSize();
    const LineReader reader(document, wrap);
    const int lines = std::min(request.VisibleLines + 1, MaxScreenLines);
    LogicalFinder finder(document);
    qint64 shownStart = -1;
    qint64 shownEnd = -1;

    qint64 pos = request.ViewPos;
    bool lineStart = reader.IsLineStart(pos);
    for (int i = 1; i <= lines; ++i) {
        TQzLaidLine laid;
        laid.Pos = pos;
        laid.Line = reader.ReadForward(pos);
        laid.LineStart = lineStart;
        const qint64 textUnits = laid.Line.Offsets.empty() ? 0 : laid.Line.Offsets.back();
        const qint64 eolPos = pos + textUnits * cs;
        laid.EolFollows = !document.IsOutOfWindow(eolPos) && IsBreak(document.GetChar(eolPos));
        if (request.LogicalLines) {
            // Most lines fit on one screen line: their text is already decoded.
            const bool whole = lineStart && laid.Line.Count == textUnits &&
                               (laid.EolFollows || document.IsOutOfWindow(eolPos));
            if (whole) {
                out.Logical.push_back({laid.Line.Text, pos, cs, laid.Line.Offsets});
                shownStart = pos;
                shownEnd = eolPos;
            } else {
                if (i == 1 || lineStart)
                    finder.Begin(pos);
                const auto [start, end] = finder.Bounds(pos);
                if (start != shownStart || end != shownEnd) {
                    out.Logical.push_back(Decode(document, start, end));
                    shownStart = start;
                    shownEnd = end;
                }
            }
            laid.Logical = int(out.Logical.size()) - 1;
        }
        const qint64 next = laid.Line.NextPos;
        if (i <= request.VisibleLines) {
            out.ViewPageSize = (next < 0 ? document.FileSize() : next) - request.ViewPos;
            out.ViewAtEnd = next < 0;
        }
        // Without a skipped line break the next screen line goes on with this one.
        lineStart = next != pos + qint64(laid.Line.Count) * cs;
        out.Lines.push_back(std::move(laid));
        if (next < 0 || (request.LimitPos >= 0 && next > request.LimitPos))
            break;
        pos = next;
    }
    return out;
}
