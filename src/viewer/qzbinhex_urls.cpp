// Web and e-mail addresses of the read window: found once per window read,
// drawn through the line decoration, looked up under the pointer.
#include "viewer/qzbinhex.h"

#include "viewer/qttextmeasurer.h"

#include <algorithm>

void TQzBinHex::WindowRead()
{
    DetectUrls();
    UpdateLineStarts();
}

void TQzBinHex::DetectUrls()
{
    if (!m_textUrlHilight || !SourceAssigned() || !m_doc.ReadOK() || m_doc.FileSize() <= 0) {
        m_urls.Clear();
        return;
    }
    // Only the bytes the file has: the rest of the buffer is zero filler.
    const qint64 count =
        std::clamp<qint64>(m_doc.FileSize() - m_doc.BufferPos(), 0, m_doc.BufferSize());
    m_urls.Detect(m_doc.Buffer(), count, m_doc.BufferPos(), IsUnicodeMode(), IsBigEndian());
}

TQzUrlList::Url TQzBinHex::UrlAt(const QPoint &clientPoint) const
{
    if (m_urls.Urls().empty())
        return {};
    const TStrPositions &rec = m_strPositions;
    // Only the characters of a drawn line: a hex cell carries no address.
    const int rowHeight = m_measurer ? m_measurer->CellHeight() : m_lineHeight;
    bool onText = false;
    for (int i = 0; i < rec.Count() && !onText; ++i) {
        const TStrPositions::Line &line = rec.At(i);
        onText = line.Y <= clientPoint.y() && clientPoint.y() < line.Y + rowHeight &&
                 clientPoint.x() >= line.X;
    }
    if (!onText)
        return {};
    const qint64 boundary = rec.PosFromCoord(clientPoint.x(), clientPoint.y(), true);
    if (boundary < 0)
        return {};
    // The hit is the nearer edge of a character: on a right half it is the
    // edge after it, so the character under the point is the one before.
    QPoint at;
    const bool starts = rec.CoordFromPos(boundary, &at) && at.y() <= clientPoint.y() &&
                        clientPoint.y() < at.y() + rowHeight && at.x() <= clientPoint.x();
    const qint64 byte = starts ? boundary : boundary - 1;
    for (const TQzUrlList::Url &url : m_urls.Urls()) {
        if (url.Pos <= byte && byte < url.Pos + url.Length)
            return url;
    }
    return {};
}

bool TQzBinHex::ClickUrlAt(qint64 position)
{
    if (!OnClickURL)
        return false;
    const QByteArray target = TQzUrlList::ClickTarget(m_urls.UrlAt(position));
    if (target.isEmpty())
        return false;
    OnClickURL(this, target);
    return true;
}
