// Web and e-mail addresses of the read window: found once per window read,
// drawn through the line decoration, looked up under the pointer.
#include "viewer/logview.h"

#include "viewer/qttextmeasurer.h"

#include <QMetaMethod>

#include <algorithm>

void LogView::windowRead()
{
    detectUrls();
    updateLineStarts();
}

void LogView::detectUrls()
{
    if (!m_opt.textUrlHilight || !m_doc.sourceAssigned() || !m_doc.readOK() ||
        m_doc.fileSize() <= 0) {
        m_urls.clear();
        return;
    }
    // Only the bytes the file has: the rest of the buffer is zero filler.
    const qint64 count =
        std::clamp<qint64>(m_doc.fileSize() - m_doc.bufferPos(), 0, m_doc.bufferSize());
    m_urls.detect(m_doc.buffer(), count, m_doc.bufferPos(), m_doc.isUnicodeMode(),
                  m_doc.isBigEndian());
}

UrlList::Url LogView::urlAt(const QPoint &clientPoint) const
{
    if (m_urls.urls().empty())
        return {};
    const DrawnLines &rec = m_strPositions;
    // Only the characters of a drawn line: a hex cell carries no address.
    const int rowHeight = m_measurer ? m_measurer->cellHeight() : m_lineHeight;
    bool onText = false;
    for (int i = 0; i < rec.count() && !onText; ++i) {
        const DrawnLines::Line &line = rec.at(i);
        onText = line.Y <= clientPoint.y() && clientPoint.y() < line.Y + rowHeight &&
                 clientPoint.x() >= line.X;
    }
    if (!onText)
        return {};
    const qint64 boundary = rec.posFromCoord(clientPoint.x(), clientPoint.y(), true);
    if (boundary < 0)
        return {};
    // The hit is the nearer edge of a character: on a right half it is the
    // edge after it, so the character under the point is the one before.
    QPoint at;
    const bool starts = rec.coordFromPos(boundary, &at) && at.y() <= clientPoint.y() &&
                        clientPoint.y() < at.y() + rowHeight && at.x() <= clientPoint.x();
    const qint64 byte = starts ? boundary : boundary - 1;
    for (const UrlList::Url &url : m_urls.urls()) {
        if (url.pos <= byte && byte < url.pos + url.length)
            return url;
    }
    return {};
}

bool LogView::clickUrlAt(qint64 position)
{
    if (!isSignalConnected(QMetaMethod::fromSignal(&LogView::urlClicked)))
        return false;
    const QByteArray target = UrlList::clickTarget(m_urls.urlAt(position));
    if (target.isEmpty())
        return false;
    Q_EMIT urlClicked(target);
    return true;
}
