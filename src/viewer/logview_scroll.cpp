// Moving the view: by lines and pages, to an offset, to either end, sideways.
#include "viewer/logview.h"

#include "viewer/qttextmeasurer.h"
#include "text/stringutil.h"

#include <algorithm>
#include <climits>

int LogView::readLine(qint64 position, bool forward, QString *text)
{
    if (!m_measurer)
        updateMetrics(currentFont());
    const WrapContext wrap = makeWrapContext();
    const LineReader reader(m_doc, wrap);
    if (forward && text) {
        ScreenLine line = reader.readForward(position);
        *text = line.text;
        return line.count;
    }
    return reader.readLineCount(position, forward);
}

qint64 LogView::nextLineStart(qint64 position, bool forward, bool stayAtStart)
{
    if (!m_measurer)
        updateMetrics(currentFont());
    const WrapContext wrap = makeWrapContext();
    return LineReader(m_doc, wrap).nextLineStart(position, forward, stayAtStart);
}

void LogView::moveByLines(int n, bool forward, bool repaint, bool stayAtStart, qint64 from)
{
    const qint64 aligned = m_doc.alignDown(from);
    // Place the window so that the whole walk lies inside it: n lines of at
    // most MaxLength characters, each with a line break of up to two.
    qint64 p =
        aligned + (forward ? 1 : -1) * qint64(n) * (m_doc.maxLength() + 2) * m_doc.charSize();
    p = std::clamp<qint64>(p, 0, m_doc.maxPos());
    m_doc.readBuffer(p);

    p = aligned;
    for (int i = 0; i < n && p >= 0; ++i)
        p = nextLineStart(p, forward, stayAtStart);
    if (p < 0)
        p = forward ? std::max<qint64>(nextLineStart(m_doc.fileSize(), false, false), 0) : 0;
    m_viewPos = p;
    m_doc.readBuffer(m_viewPos);
    if (repaint)
        redraw();
}

void LogView::scrollTo(qint64 position)
{
    if (position <= 0) {
        scrollToBegin();
    } else if (position >= m_doc.maxPos()) {
        scrollToEnd();
    } else if (m_doc.isTextMode()) {
        moveByLines(1, false, true, true, position);
    } else {
        setViewPos(position);
    }
}

void LogView::setViewPos(qint64 position)
{
    if (position == m_viewPos || position < 0)
        return;
    position = std::min(position, m_doc.maxPos());
    const qint64 b = bytesPerLine();
    m_viewPos = position - position % b;
    m_doc.readBuffer(m_viewPos);
    redraw();
}

void LogView::scrollToBegin()
{
    m_hViewPos = 0;
    if (m_viewPos == 0) {
        // SetViewPos would do nothing; the window may still need to come back.
        m_doc.readBuffer(0);
        redraw();
        return;
    }
    setViewPos(0);
}

qint64 LogView::lastPagePos() const
{
    const qint64 b = bytesPerLine();
    qint64 p = (m_doc.fileSize() / b) * b;
    if (p == m_doc.fileSize())
        p -= b;
    p -= qint64(visibleLines() - 1) * b;
    return std::max<qint64>(p, 0);
}

void LogView::scrollToEnd()
{
    for (int pass = 0; pass < 2; ++pass) {
        // A second pass when the first redraw brought new metrics and so a
        // new count of visible lines.
        if (pass == 1 && m_viewAtEnd)
            break;
        m_hViewPos = 0;
        if (m_doc.isTextMode())
            moveByLines(visibleLines(), false, true, false, m_doc.fileSize());
        else
            setViewPos(lastPagePos());
    }
}

void LogView::scrollLinesUp(int n)
{
    if (m_doc.isTextMode()) {
        moveByLines(n, false, true, false, m_viewPos);
    } else if (m_viewPos < qint64(n) * bytesPerLine()) {
        scrollToBegin();
    } else {
        setViewPos(m_viewPos - qint64(n) * bytesPerLine());
    }
}

void LogView::scrollLinesDown(int n)
{
    if (m_doc.isTextMode()) {
        if (!m_viewAtEnd)
            moveByLines(n, true, true, false, m_viewPos);
    } else if (m_viewPos < lastPagePos()) {
        setViewPos(m_viewPos + qint64(n) * bytesPerLine());
    }
}

void LogView::scrollPageUp()
{
    scrollLinesUp(visibleLines());
}

void LogView::scrollPageDown()
{
    scrollLinesDown(visibleLines());
}

int LogView::hMaxPos() const
{
    return std::max(0, m_strPositions.maxRight() + m_hViewPos - viewSize().width());
}

void LogView::setHViewPos(int x, bool repaint)
{
    x = std::clamp(x, 0, hMaxPos());
    if (x == m_hViewPos)
        return;
    m_hViewPos = x;
    if (repaint)
        redraw();
}
