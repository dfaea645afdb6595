#include "viewer/linerules.h"

#include "viewer/outputprep.h"
#include "viewer/textmeasurer.h"

#include "text/linebreak.h"

#include <algorithm>

namespace {
bool isWrapBreak(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\\');
}
} // namespace

char16_t LineRules::charAt(qint64 position) const
{
    return isOut(position) ? char16_t(0) : unitAt(position);
}

int LineRules::collect(qint64 position, bool forward, std::vector<char16_t> &units) const
{
    units.clear();
    const int cs = m_format.charSize();
    const int maxLength = m_format.maxLength;
    if (forward) {
        // A few units past the limit show whether the limit splits a character.
        const int limit = maxLength + m_format.lookAhead();
        for (qint64 p = position; int(units.size()) < limit && !isOut(p); p += cs) {
            const char16_t c = unitAt(p);
            if (isLineBreak(c))
                break;
            units.push_back(c);
        }
        if (int(units.size()) > maxLength)
            units.resize(size_t(m_format.wholeCharacterCut(units.data(), int(units.size()))));
        return int(units.size());
    }
    for (qint64 p = position; int(units.size()) < maxLength && !isOut(p); p -= cs) {
        const char16_t c = unitAt(p);
        if (isLineBreak(c))
            break;
        units.push_back(c);
    }
    std::reverse(units.begin(), units.end()); // file order, as the wrap cut reads them
    if (int(units.size()) == maxLength) {
        // Read back as far as allowed, the piece may begin inside a
        // character: it then begins with the next whole one.
        const int partial = m_format.partialLead(units.data(), maxLength);
        units.erase(units.begin(), units.begin() + partial);
    }
    return int(units.size());
}

int LineRules::wrapCut(const std::vector<char16_t> &units, int count, QString *text,
                       std::vector<int> *offsets) const
{
    std::vector<int> localOffsets;
    std::vector<int> &offs = offsets ? *offsets : localOffsets;
    QString decoded = m_format.decode(units.data(), count, &offs);
    offs.push_back(count);
    if (m_wrap.wrap && count > 0 && m_wrap.measurer) {
        // Measured on the decoded text, so multi-byte encodings wrap where
        // their glyphs really end; the cut maps back to units.
        OutputOptions o = m_wrap.options;
        o.showEol = false;
        const TextMeasurer &m = *m_wrap.measurer;
        if (m.width(prepareOutput(decoded, o)) > m_wrap.availableWidth) {
            std::vector<int> edges;
            if (charEdges(decoded, o, m, edges)) {
                const int n = int(edges.size()) - 1;
                int k = n;
                while (k > 0 && edges[size_t(k)] > m_wrap.availableWidth)
                    --k;
                int cut;
                if (k == 0) {
                    cut = 1; // not even one character fits: keep one
                } else {
                    const int look = std::min(k + 1, int(decoded.size()));
                    cut = k;
                    for (int i = look; i >= 1; --i) {
                        if (isWrapBreak(decoded.at(i - 1))) {
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

ScreenLine LineRules::readForward(qint64 position) const
{
    ScreenLine line;
    std::vector<char16_t> units;
    const int n = collect(position, true, units);
    line.count = wrapCut(units, n, &line.text, &line.offsets);
    line.nextPos = afterLine(position, line.count);
    return line;
}

qint64 LineRules::afterLine(qint64 position, int count) const
{
    const int cs = m_format.charSize();
    qint64 q = position + qint64(count) * cs;
    const char16_t c = charAt(q);
    if (c == 10) {
        q += cs;
    } else if (c == 13) {
        q += cs;
        if (charAt(q) == 10)
            q += cs;
    }
    if (q > lastPos() || isOut(q) || dataSize() < cs)
        return -1;
    return q;
}

int LineRules::forwardCount(qint64 position) const
{
    std::vector<char16_t> units;
    const int n = collect(position, true, units);
    if (!m_wrap.wrap || n == 0)
        return n;
    return wrapCut(units, n, nullptr, nullptr);
}

int LineRules::readLineCount(qint64 position, bool forward) const
{
    if (position < 0)
        return 0;
    if (forward)
        return forwardCount(position);
    position = std::min(alignDown(position), lastPos());
    std::vector<char16_t> units;
    const int n = collect(position, false, units);
    if (!m_wrap.wrap || n == 0)
        return n;
    // Wrapped rows are only known forward: lay them out from where the
    // backward read began and count from the row that holds the position,
    // so a move up lands where a move down would have.
    const int cs = m_format.charSize();
    qint64 row = position - qint64(n - 1) * cs;
    for (;;) {
        const int c = forwardCount(row);
        if (c <= 0 || row + qint64(c) * cs > position)
            break;
        row += qint64(c) * cs;
    }
    return int((position - row) / cs) + 1;
}

bool LineRules::stepBackOverPreviousLine(qint64 &q) const
{
    const int cs = m_format.charSize();
    if (charAt(q) == 10 && charAt(q - cs) == 13)
        q -= cs;
    if (isOut(q - cs))
        return true;
    const int c = readLineCount(q - cs, false);
    if (c > 0) {
        q -= qint64(c) * cs;
        return true;
    }
    return false;
}

qint64 LineRules::nextLineStart(qint64 position, bool forward, bool stayAtStart) const
{
    if (position < 0)
        return -1;
    const int cs = m_format.charSize();
    qint64 q = alignDown(position);
    if (m_format.isTextMode() && charAt(q) == 10 && charAt(q - cs) == 13)
        q -= cs;
    const int b = readLineCount(q, forward);
    if (forward)
        return afterLine(q, b);

    if (b <= 1 && stayAtStart) {
        if (b == 0)
            stepBackOverPreviousLine(q);
        return q;
    }
    if (b == 1) {
        q -= cs;
        if (isOut(q))
            return -1;
        // Only a wrapped row starts right after another character: the row
        // before it is the one that holds that character.
        if (!isLineBreak(charAt(q)))
            return q - qint64(readLineCount(q, false) - 1) * cs;
        if (stepBackOverPreviousLine(q))
            return q;
    } else if (b == 0) {
        if (stepBackOverPreviousLine(q))
            return q;
        q -= cs;
        if (stepBackOverPreviousLine(q))
            return q;
    } else {
        q -= qint64(b - 1) * cs;
    }
    return isOut(q) ? -1 : q;
}

bool LineRules::isLineStart(qint64 position) const
{
    const int cs = m_format.charSize();
    if (isOut(position - cs))
        return true;
    return isLineBreak(unitAt(position - cs));
}
