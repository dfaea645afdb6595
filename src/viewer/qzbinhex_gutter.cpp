// Line numbers and line-start marks in the gutter.
#include "viewer/qzbinhex.h"

#include "viewer/qttextmeasurer.h"

namespace {
// The text after the last full stop of the file name, if no folder
// separator follows it; none otherwise.
QString Extension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0 || fileName.indexOf(u'/', dot) >= 0)
        return {};
    return fileName.mid(dot + 1);
}
} // namespace

bool TQzBinHex::LinesUsable() const
{
    if (!IsTextMode() || !m_textGutter || !m_textGutterLines)
        return false;
    if (!m_textGutterLinesExtUse)
        return true;
    const QString ext = Extension(m_fileName);
    if (ext.isEmpty())
        return false;
    const QString list = u',' + QString::fromUtf8(m_textGutterLinesExtList).toLower() + u',';
    return list.contains(u',' + ext.toLower() + u',');
}

bool TQzBinHex::CountLines(qint64 size)
{
    if (!m_doc.Source()) {
        m_lineStarts.Clear();
        return false;
    }
    const LineCountUnit unit = !IsUnicodeMode() ? LineCountUnit::Byte
                               : IsBigEndian()  ? LineCountUnit::Utf16Big
                                                : LineCountUnit::Utf16Little;
    // Bounded: at most 20 MiB, read in blocks and scanned with memchr, once
    // per window move within the counted range.
    return m_lineStarts.CountLines(*m_doc.Source(), size, unit, m_textGutterLinesCount);
}

void TQzBinHex::UpdateLineStarts()
{
    // Also reached from a drawing: numbers switched on after the window was
    // read need not wait for the next read.
    if (!LinesUsable() || m_lineStartsRead == m_doc.WindowReads())
        return;
    m_lineStartsRead = m_doc.WindowReads();
    const qint64 range =
        LineStarts::RangeFor(m_doc.BufferPos(), m_doc.BufferSize(), m_textGutterLinesBufSize);
    // Counted afresh from the same read as the window: a table kept from an
    // earlier read would number bytes rewritten since then.
    if (range >= 0)
        CountLines(range);
}

void TQzBinHex::PrepareGutter()
{
    m_gutterWidth = 10;
    if (!m_textGutter || !LinesUsable())
        return;
    if (!m_gutterMeasurer || m_gutterMeasurer->Font() != m_fontGutter.Font)
        m_gutterMeasurer = std::make_shared<QtTextMeasurer>(m_fontGutter.Font);
    UpdateLineStarts();
    const QString widest = QString::number(m_lineStarts.LineStartCount() + 1);
    m_gutterWidth = std::max(10, m_gutterMeasurer->Width(widest) + 2);
}
