// Line numbers and line-start marks in the gutter.
#include "viewer/logview.h"

#include "viewer/qttextmeasurer.h"

namespace {
// The text after the last full stop of the file name, if no folder
// separator follows it; none otherwise.
QString extension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0 || fileName.indexOf(u'/', dot) >= 0)
        return {};
    return fileName.mid(dot + 1);
}
} // namespace

bool LogView::linesUsable() const
{
    if (!m_doc.isTextMode() || !m_opt.textGutter || !m_opt.textGutterLines)
        return false;
    if (!m_opt.textGutterLinesExtUse)
        return true;
    const QString ext = extension(m_fileName);
    if (ext.isEmpty())
        return false;
    const QString list = u',' + QString::fromUtf8(m_opt.textGutterLinesExtList).toLower() + u',';
    return list.contains(u',' + ext.toLower() + u',');
}

void LogView::updateLineStarts()
{
    // Also reached from a drawing: numbers switched on after the window was
    // read need not wait for the next read.
    if (!linesUsable() || m_lineStartsRead == m_doc.windowReads())
        return;
    m_lineStartsRead = m_doc.windowReads();
    const qint64 range =
        LineStarts::rangeFor(m_doc.bufferPos(), m_doc.bufferSize(), m_opt.textGutterLinesBufSize);
    // Counted afresh from the same read as the window: a table kept from an
    // earlier read would number bytes rewritten since then.
    if (range >= 0)
        m_doc.countLines(range, m_opt.textGutterLinesCount);
}

void LogView::prepareGutter()
{
    m_gutterWidth = 10;
    if (!m_opt.textGutter || !linesUsable())
        return;
    if (!m_gutterMeasurer || m_gutterMeasurer->font() != m_opt.fontGutter.font)
        m_gutterMeasurer = std::make_shared<QtTextMeasurer>(m_opt.fontGutter.font);
    updateLineStarts();
    const QString widest = QString::number(m_doc.lineStarts().lineStartCount() + 1);
    m_gutterWidth = std::max(10, m_gutterMeasurer->width(widest) + 2);
}
