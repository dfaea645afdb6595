// Moving the view: by lines and pages, to an offset, to either end, sideways.
#include "viewer/qzbinhex.h"

#include "viewer/qttextmeasurer.h"
#include "text/sproc.h"

#include <algorithm>
#include <climits>

int TQzBinHex::ReadLine(qint64 position, bool forward, QString *text)
{
    if (!m_measurer)
        UpdateMetrics(CurrentFont());
    const WrapContext wrap = MakeWrapContext();
    const LineReader reader(m_doc, wrap);
    if (forward && text) {
        ScreenLine line = reader.ReadForward(position);
        *text = line.Text;
        return line.Count;
    }
    return reader.ReadLineCount(position, forward);
}

qint64 TQzBinHex::NextLineStart(qint64 position, bool forward, bool stayAtStart)
{
    if (!m_measurer)
        UpdateMetrics(CurrentFont());
    const WrapContext wrap = MakeWrapContext();
    return LineReader(m_doc, wrap).NextLineStart(position, forward, stayAtStart);
}

void TQzBinHex::MoveByLines(int n, bool forward, bool redraw, bool stayAtStart, qint64 from)
{
    const qint64 aligned = m_doc.AlignDown(from);
    // Place the window so that the whole walk lies inside it: n lines of at
    // most MaxLength characters, each with a line break of up to two.
    qint64 p = aligned + (forward ? 1 : -1) * qint64(n) * (MaxLength() + 2) * CharSize();
    p = std::clamp<qint64>(p, 0, MaxPos());
    m_doc.ReadBuffer(p);

    p = aligned;
    for (int i = 0; i < n && p >= 0; ++i)
        p = NextLineStart(p, forward, stayAtStart);
    if (p < 0)
        p = forward ? std::max<qint64>(NextLineStart(FileSize(), false, false), 0) : 0;
    m_viewPos = p;
    m_doc.ReadBuffer(m_viewPos);
    if (redraw)
        Redraw();
}

void TQzBinHex::ScrollTo(qint64 position)
{
    if (position <= 0) {
        ScrollToBegin();
    } else if (position >= MaxPos()) {
        ScrollToEnd();
    } else if (IsTextMode()) {
        MoveByLines(1, false, true, true, position);
    } else {
        SetViewPos(position);
    }
}

void TQzBinHex::SetViewPos(qint64 position)
{
    if (position == m_viewPos || position < 0)
        return;
    position = std::min(position, MaxPos());
    const qint64 b = BytesPerLine();
    m_viewPos = position - position % b;
    m_doc.ReadBuffer(m_viewPos);
    Redraw();
}

void TQzBinHex::ScrollToBegin()
{
    m_hViewPos = 0;
    if (m_viewPos == 0) {
        // SetViewPos would do nothing; the window may still need to come back.
        m_doc.ReadBuffer(0);
        Redraw();
        return;
    }
    SetViewPos(0);
}

qint64 TQzBinHex::LastPagePos() const
{
    const qint64 b = BytesPerLine();
    qint64 p = (FileSize() / b) * b;
    if (p == FileSize())
        p -= b;
    p -= qint64(VisibleLines() - 1) * b;
    return std::max<qint64>(p, 0);
}

void TQzBinHex::ScrollToEnd()
{
    for (int pass = 0; pass < 2; ++pass) {
        // A second pass when the first redraw brought new metrics and so a
        // new count of visible lines.
        if (pass == 1 && m_viewAtEnd)
            break;
        m_hViewPos = 0;
        if (IsTextMode())
            MoveByLines(VisibleLines(), false, true, false, FileSize());
        else
            SetViewPos(LastPagePos());
    }
}

void TQzBinHex::ScrollLinesUp(int n)
{
    if (IsTextMode()) {
        MoveByLines(n, false, true, false, m_viewPos);
    } else if (m_viewPos < qint64(n) * BytesPerLine()) {
        ScrollToBegin();
    } else {
        SetViewPos(m_viewPos - qint64(n) * BytesPerLine());
    }
}

void TQzBinHex::ScrollLinesDown(int n)
{
    if (IsTextMode()) {
        if (!m_viewAtEnd)
            MoveByLines(n, true, true, false, m_viewPos);
    } else if (m_viewPos < LastPagePos()) {
        SetViewPos(m_viewPos + qint64(n) * BytesPerLine());
    }
}

void TQzBinHex::ScrollPageUp()
{
    ScrollLinesUp(VisibleLines());
}

void TQzBinHex::ScrollPageDown()
{
    ScrollLinesDown(VisibleLines());
}

int TQzBinHex::HMaxPos() const
{
    return std::max(0, m_strPositions.MaxRight() + m_hViewPos - ViewSize().width());
}

void TQzBinHex::SetHViewPos(int x, bool redraw)
{
    x = std::clamp(x, 0, HMaxPos());
    if (x == m_hViewPos)
        return;
    m_hViewPos = x;
    if (redraw)
        Redraw();
}
