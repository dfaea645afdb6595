#include "viewer/linerules.h"

#include "viewer/outputprep.h"
#include "viewer/textmeasurer.h"

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

char16_t LineRules::CharAt(qint64 position) const
{
    return IsOut(position) ? char16_t(0) : UnitAt(position);
}

int LineRules::Collect(qint64 position, bool forward, std::vector<char16_t> &units) const
{
    units.clear();
    const int cs = m_format.CharSize();
    const int maxLength = m_format.MaxLength;
    if (forward) {
        // A few units past the limit show whether the limit splits a character.
        const int limit = maxLength + m_format.LookAhead();
        for (qint64 p = position; int(units.size()) < limit && !IsOut(p); p += cs) {
            const char16_t c = UnitAt(p);
            if (IsBreak(c))
                break;
            units.push_back(c);
        }
        if (int(units.size()) > maxLength)
            units.resize(size_t(m_format.WholeCharacterCut(units.data(), int(units.size()))));
        return int(units.size());
    }
    for (qint64 p = position; int(units.size()) < maxLength && !IsOut(p); p -= cs) {
        const char16_t c = UnitAt(p);
        if (IsBreak(c))
            break;
        units.push_back(c);
    }
    std::reverse(units.begin(), units.end()); // file order, as the wrap cut reads them
    if (int(units.size()) == maxLength) {
        // Read back as far as allowed, the piece may begin inside a
        // character: it then begins with the next whole one.
        const int partial = m_format.PartialLead(units.data(), maxLength);
        units.erase(units.begin(), units.begin() + partial);
    }
    return int(units.size());
}

int LineRules::WrapCut(const std::vector<char16_t> &units, int count, QString *text,
                       std::vector<int> *offsets) const
{
    std::vector<int> localOffsets;
    std::vector<int> &offs = offsets ? *offsets : localOffsets;
    QString decoded = m_format.Decode(units.data(), count, &offs);
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

ScreenLine LineRules::ReadForward(qint64 position) const
{
    ScreenLine line;
    std::vector<char16_t> units;
    const int n = Collect(position, true, units);
    line.Count = WrapCut(units, n, &line.Text, &line.Offsets);
    line.NextPos = AfterLine(position, line.Count);
    return line;
}

qint64 LineRules::AfterLine(qint64 position, int count) const
{
    const int cs = m_format.CharSize();
    qint64 q = position + qint64(count) * cs;
    const char16_t c = CharAt(q);
    if (c == 10) {
        q += cs;
    } else if (c == 13) {
        q += cs;
        if (CharAt(q) == 10)
            q += cs;
    }
    if (q > LastPos() || IsOut(q) || DataSize() < cs)
        return -1;
    return q;
}

int LineRules::ForwardCount(qint64 position) const
{
    std::vector<char16_t> units;
    const int n = Collect(position, true, units);
    if (!m_wrap.Wrap || n == 0)
        return n;
    return WrapCut(units, n, nullptr, nullptr);
}

int LineRules::ReadLineCount(qint64 position, bool forward) const
{
    if (position < 0)
        return 0;
    if (forward)
        return ForwardCount(position);
    position = std::min(AlignDown(position), LastPos());
    std::vector<char16_t> units;
    const int n = Collect(position, false, units);
    if (!m_wrap.Wrap || n == 0)
        return n;
    // Wrapped rows are only known forward: lay them out from where the
    // backward read began and count from the row that holds the position,
    // so a move up lands where a move down would have.
    const int cs = m_format.CharSize();
    qint64 row = position - qint64(n - 1) * cs;
    for (;;) {
        const int c = ForwardCount(row);
        if (c <= 0 || row + qint64(c) * cs > position)
            break;
        row += qint64(c) * cs;
    }
    return int((position - row) / cs) + 1;
}

bool LineRules::StepBackOverPreviousLine(qint64 &q) const
{
    const int cs = m_format.CharSize();
    if (CharAt(q) == 10 && CharAt(q - cs) == 13)
        q -= cs;
    if (IsOut(q - cs))
        return true;
    const int c = ReadLineCount(q - cs, false);
    if (c > 0) {
        q -= qint64(c) * cs;
        return true;
    }
    return false;
}

qint64 LineRules::NextLineStart(qint64 position, bool forward, bool stayAtStart) const
{
    if (position < 0)
        return -1;
    const int cs = m_format.CharSize();
    qint64 q = AlignDown(position);
    if (m_format.IsTextMode() && CharAt(q) == 10 && CharAt(q - cs) == 13)
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
        if (IsOut(q))
            return -1;
        // Only a wrapped row starts right after another character: the row
        // before it is the one that holds that character.
        if (!IsBreak(CharAt(q)))
            return q - qint64(ReadLineCount(q, false) - 1) * cs;
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
    return IsOut(q) ? -1 : q;
}

bool LineRules::IsLineStart(qint64 position) const
{
    const int cs = m_format.CharSize();
    if (IsOut(position - cs))
        return true;
    return IsBreak(UnitAt(position - cs));
}
