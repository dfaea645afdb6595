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
    if (m_gutterLabel)
        return m_doc.isTextMode() && m_opt.textGutter;
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
    if (m_gutterLabel) {
        m_gutterWidth = std::max(10, m_gutterMeasurer->width(m_widestLabel) + 4);
        return;
    }
    updateLineStarts();
    // The byte order chosen from the menu reads the same file in other units.
    if (m_lineIndexer->unit() && m_lineIndexer->unit() != m_doc.lineUnit() && m_doc.source())
        m_lineIndexer->restart(*m_doc.source(), m_doc.lineUnit());
    qint64 widest = m_doc.lineStarts().lineStartCount() + 1;
    if (const LineIndex *index = m_lineIndexer->index(); index && index->unit() == m_doc.lineUnit())
        widest = std::max(widest, index->lastLine());
    m_gutterWidth = std::max(10, m_gutterMeasurer->width(QString::number(widest)) + 2);
}

void LogView::setGutterLabels(GutterLabel label, const QString &widest)
{
    m_gutterLabel = std::move(label);
    m_widestLabel = widest;
    redraw();
}

void LogView::setBackgroundJobs(BackgroundJobs *jobs)
{
    m_jobs = jobs;
    m_lineIndexer->setJobs(jobs, this);
    if (m_gzip)
        m_gzip->setJobs(jobs, this);
    updateLineIndex(false);
}

void LogView::updateLineIndex(bool reopened)
{
    const FileSource *source = m_doc.source();
    if (!source || m_doc.kind() != ViewDocument::SourceKind::File || !m_doc.isTextMode()) {
        m_lineIndexer->clear();
        return;
    }
    // Only appended bytes keep what was indexed; any other change of the
    // file may have moved every line.
    if (reopened && m_doc.lastReloadReason() == ReloadReason::Appended)
        m_lineIndexer->extend(*source, m_doc.lineUnit());
    else
        m_lineIndexer->restart(*source, m_doc.lineUnit());
}

qint64 LogView::lineNumberAt(qint64 position) const
{
    if (const int counted = m_doc.lineStarts().lineNumber(position))
        return counted;
    const LineIndex *index = m_lineIndexer->index();
    const FileSource *source = m_doc.source();
    if (!index || !source || !m_doc.isTextMode() || index->unit() != m_doc.lineUnit())
        return 0;
    return index->lineNumberAt(*source, position);
}

qint64 LogView::shownLineNumber() const
{
    if (!m_doc.sourceAssigned() || !m_doc.isTextMode())
        return 0;
    return lineNumberAt(m_selLength > 0 ? m_selStart : m_viewPos);
}
