#include "viewer/textlayout.h"

#include "viewer/viewdocument.h"

#include "text/linebreak.h"

#include <algorithm>
#include <limits>

namespace {

// No stop found (a stop may be at -1: before the file).
constexpr qint64 kNone = std::numeric_limits<qint64>::min();

// Finds the text around the screen lines of one logical line. They share the
// stops before and after them (a line break or the window's edge), so each
// stop is looked for once per logical line, not once per screen line.
class LogicalFinder
{
public:
    explicit LogicalFinder(const ViewDocument &document)
        : m_doc(document), m_cs(document.charSize())
    {}

    // A new logical line begins at the screen line at position.
    void begin(qint64 position)
    {
        m_backStop = findBackward(position - m_cs, position - qint64(lookAround) * m_cs);
        m_forwardStop = kNone;
        m_next = position + m_cs;
    }

    // [start, end) of the text shown as the whole line of the screen line at
    // position: the character there, and up to LookAround characters on
    // either side that are neither a break nor outside the window.
    std::pair<qint64, qint64> bounds(qint64 position)
    {
        qint64 start = position - qint64(lookAround) * m_cs;
        if (m_backStop != kNone)
            start = std::max(start, m_backStop + m_cs);
        const qint64 last = position + qint64(lookAround) * m_cs;
        if (m_forwardStop == kNone && m_next <= last) {
            m_forwardStop = findForward(m_next, last);
            m_next = last + m_cs;
        }
        qint64 end = last + m_cs;
        if (m_forwardStop != kNone)
            end = std::min(end, m_forwardStop);
        return {start, end};
    }

private:
    bool isStop(qint64 p) const { return m_doc.isOutOfWindow(p) || isLineBreak(m_doc.getChar(p)); }

    // The end of the window's valid bytes (exclusive).
    qint64 windowEnd() const
    {
        return std::min(m_doc.bufferPos() + m_doc.bufferSize(), m_doc.maxPos() + 1);
    }

    // The first stop in [from, to], walking forward, or kNone.
    qint64 findForward(qint64 from, qint64 to) const
    {
        if (m_cs == 1 && from >= m_doc.bufferPos()) {
            // Bytes are the characters here: scan the window itself.
            const qint64 base = m_doc.bufferPos();
            const qint64 end = std::min(to + 1, windowEnd());
            const char *b = m_doc.buffer();
            for (qint64 p = from; p < end; ++p) {
                const char c = b[p - base];
                if (isLineBreak(c))
                    return p;
            }
            if (end <= to)
                return std::max(end, from); // the window's edge
            return kNone;
        }
        for (qint64 p = from; p <= to; p += m_cs) {
            if (isStop(p))
                return p;
        }
        return kNone;
    }

    // The first stop in [to, from], walking backward, or kNone.
    qint64 findBackward(qint64 from, qint64 to) const
    {
        if (m_cs == 1 && from < windowEnd()) {
            const qint64 base = m_doc.bufferPos();
            const qint64 stop = std::max(to, base);
            const char *b = m_doc.buffer();
            for (qint64 p = from; p >= stop; --p) {
                const char c = b[p - base];
                if (isLineBreak(c))
                    return p;
            }
            if (stop > to)
                return std::min(stop - 1, from); // the window's edge
            return kNone;
        }
        for (qint64 p = from; p >= to; p -= m_cs) {
            if (isStop(p))
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

LogicalLine decode(const ViewDocument &document, qint64 start, qint64 end)
{
    const int cs = document.charSize();
    std::vector<char16_t> units;
    units.reserve(size_t(std::max<qint64>((end - start) / cs, 0)));
    for (qint64 p = start; p < end; p += cs)
        units.push_back(document.getChar(p));
    LogicalLine line;
    line.pos = start;
    line.charSize = cs;
    line.text = document.decodeLine(units.data(), int(units.size()), &line.offsets);
    line.offsets.push_back(int(units.size()));
    return line;
}

} // namespace

TextLayout layOutText(const ViewDocument &document, const WrapContext &wrap,
                      const LayoutRequest &request)
{
    TextLayout out;
    const int cs = document.charSize();
    const LineReader reader(document, wrap);
    const int lines = std::min(request.visibleLines + 1, maxScreenLines);
    LogicalFinder finder(document);
    qint64 shownStart = -1;
    qint64 shownEnd = -1;

    qint64 pos = request.viewPos;
    bool lineStart = reader.isLineStart(pos);
    for (int i = 1; i <= lines; ++i) {
        LaidLine laid;
        laid.pos = pos;
        laid.line = reader.readForward(pos);
        laid.LineStart = lineStart;
        const qint64 textUnits = laid.line.offsets.empty() ? 0 : laid.line.offsets.back();
        const qint64 eolPos = pos + textUnits * cs;
        laid.eolFollows = !document.isOutOfWindow(eolPos) && isLineBreak(document.getChar(eolPos));
        if (request.logicalLines) {
            // Most lines fit on one screen line: their text is already decoded.
            const bool whole = lineStart && laid.line.count == textUnits &&
                               (laid.eolFollows || document.isOutOfWindow(eolPos));
            if (whole) {
                out.logical.push_back({laid.line.text, pos, cs, laid.line.offsets});
                shownStart = pos;
                shownEnd = eolPos;
            } else {
                if (i == 1 || lineStart)
                    finder.begin(pos);
                const auto [start, end] = finder.bounds(pos);
                if (start != shownStart || end != shownEnd) {
                    out.logical.push_back(decode(document, start, end));
                    shownStart = start;
                    shownEnd = end;
                }
            }
            laid.logical = int(out.logical.size()) - 1;
        }
        const qint64 next = laid.line.nextPos;
        if (i <= request.visibleLines) {
            out.viewPageSize = (next < 0 ? document.fileSize() : next) - request.viewPos;
            out.viewAtEnd = next < 0;
        }
        // Without a skipped line break the next screen line goes on with this one.
        lineStart = next != pos + qint64(laid.line.count) * cs;
        out.lines.push_back(std::move(laid));
        if (next < 0 || (request.limitPos >= 0 && next > request.limitPos))
            break;
        pos = next;
    }
    return out;
}
