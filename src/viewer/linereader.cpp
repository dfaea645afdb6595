#include "viewer/linereader.h"

#include "viewer/outputprep.h"
#include "viewer/textmeasurer.h"
#include "viewer/viewdocument.h"

#include <algorithm>

namespace {
bool IsBreak(char16_t c)
{
    return c == 13 || c == 10;
}
bool IsWrapBreak(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\\');
}
} // namespace

char16_t LineReader::CharAt(qint64 position) const
{
    return m_doc.IsOutOfWindow(position) ? char16_t(0) : m_doc.GetChar(position);
}

int LineReader::Collect(qint64 position, bool forward, std::vector<char16_t> &units) const
{
    units.clear();
    const int step = forward ? m_doc.CharSize() : -m_doc.CharSize();
    const int maxLength = m_doc.MaxLength();
    qint64 p = position;
    while (int(units.size()) < maxLength && !m_doc.IsOutOfWindow(p)) {
        const char16_t c = m_doc.GetChar(p);
        if (IsBreak(c))
            break;
        units.push_back(c);
        p += step;
    }
    if (!forward)
        std::reverse(units.begin(), units.end()); // file order, as the wrap cut reads them
    return int(units.size());
}

int LineReader::WrapCut(const std::vector<char16_t> &units, int count, QString *text,
                        std::vector<int> *offsets) const
{
    std::vector<int> localOffsets;
    std::vector<int> &offs = offsets ? *offsets : localOffsets;
    QString decoded = m_doc.DecodeLine(units.data(), count, &offs);
    offs.push_back(count);
    if (m_wrap.Wrap && count > 0 && m_wrap.Measurer) {
        // Measured on the decoded text, so multi-byte encodings wrap where
        // their glyphs really end; the cut maps back to units.
        TQzBinHexOutputOptions o = m_wrap.Options;
        o.ShowEol = false;
        const TextMeasurer &m = *m_wrap.Measurer;
        if (m.Width(PrepareOutput(decoded, o)) > m_wrap.AvailableWidth) {
            std::vector<int> edges;
            if (CharEdges(decoded, o, m, edges)) {
                const int n = int(edges.size()) - 1;
                int k = n;
                while (k > 0 && edges[size_t(k)] > m_wrap.AvailableWidth)
                    --k;
                int cut;
                if (k == 0) {
                    cut = 1; // not even one character fits: keep one
                } else {
                    const int look = std::min(k + 1, int(decoded.size()));
                    cut = k;
                    for (int i = look; i >= 1; --i) {
                        if (IsWrapBreak(decoded.at(i - 1))) {
                            cut = i;
                            break;
                        }
                    }
                }
                cut = std::min<int>(cut, int(decoded.size()));
                // Never cut inside the first character's units: a line must move on.
                while (cut < int(decoded.size()) && offs[size_t(cut)] == 0)
                    ++cut;
                // offs[i] is where character i starts; offs[cut] is what the cut keeps.
                count = offs[size_t(cut)];
                decoded.truncate(cut);
                offs.resize(size_t(cut) + 1);
                // A blank at the cut is consumed but not shown.
                if (!decoded.isEmpty() &&
                    (decoded.back() == QLatin1Char(' ') || decoded.back() == QLatin1Char('\t'))) {
                    decoded.chop(1);
                    offs.resize(size_t(cut));
                }
            }
        }
    }
    if (text)
        *text = decoded;
    return count;
}

ScreenLine LineReader::ReadForward(qint64 position) const
{
    ScreenLine line;
    std::vector<char16_t> units;
    const int n = Collect(position, true, units);
    line.Count = WrapCut(units, n, &line.Text, &line.Offsets);
    line.NextPos = AfterLine(position, line.Count);
    return line;
}

qint64 LineReader::AfterLine(qint64 position, int count) const
{
    const int cs = m_doc.CharSize();
    qint64 q = position + qint64(count) * cs;
    const char16_t c = CharAt(q);
    if (c == 10) {
        q += cs;
    } else if (c == 13) {
        q += cs;
        if (CharAt(q) == 10)
            q += cs;
    }
    if (q > m_doc.MaxPos() || m_doc.IsOutOfWindow(q) || m_doc.FileSize() < m_doc.CharSize())
        return -1;
    return q;
}

int LineReader::ReadLineCount(qint64 position, bool forward) const
{
    if (position < 0)
        return 0;
    std::vector<char16_t> units;
    if (!forward)
        position = std::min(m_doc.AlignDown(position), m_doc.MaxPos());
    const int n = Collect(position, forward, units);
    if (!m_wrap.Wrap || n == 0)
        return n;
    return WrapCut(units, n, nullptr, nullptr);
}

bool LineReader::StepBackOverPreviousLine(qint64 &q) const
{
    const int cs = m_doc.CharSize();
    if (CharAt(q) == 10 && CharAt(q - cs) == 13)
        q -= cs;
    if (m_doc.IsOutOfWindow(q - cs))
        return true;
    const int c = ReadLineCount(q - cs, false);
    if (c > 0) {
        q -= qint64(c) * cs;
        return true;
    }
    return false;
}

qint64 LineReader::NextLineStart(qint64 position, bool forward, bool stayAtStart) const
{
    if (position < 0)
        return -1;
    const int cs = m_doc.CharSize();
    qint64 q = m_doc.AlignDown(position);
    if (m_doc.IsTextMode() && CharAt(q) == 10 && CharAt(q - cs) == 13)
        q -= cs;
    const int b = ReadLineCount(q, forward);
    if (forward)
        return AfterLine(q, b);

    if (b <= 1 && stayAtStart) {
        if (b == 0)
            StepBackOverPreviousLine(q);
        return q;
    }
    if (b == 1) {
        q -= cs;
        if (m_doc.IsOutOfWindow(q))
            return -1;
        if (StepBackOverPreviousLine(q))
            return q;
    } else if (b == 0) {
        if (StepBackOverPreviousLine(q))
            return q;
        q -= cs;
        if (StepBackOverPreviousLine(q))
            return q;
    } else {
        q -= qint64(b - 1) * cs;
    }
    return m_doc.IsOutOfWindow(q) ? -1 : q;
}

bool LineReader::IsLineStart(qint64 position) const
{
    const int cs = m_doc.CharSize();
    if (m_doc.IsOutOfWindow(position - cs))
        return true;
    return IsBreak(m_doc.GetChar(position - cs));
}
