// Selecting: all, a word, a line, and reading the selected bytes.
#include "viewer/logview.h"

#include "viewer/viewermsg.h"
#include "text/codepages.h"
#include "text/contract.h"
#include "text/stringutil.h"

#include <QSysInfo>

#include <algorithm>

namespace {
// The furthest a word or line scan goes either way: it never leaves the read
// window anyway, so it never reads the file.
constexpr int maxScanChars = 8192;

bool isLineDelimiter(char16_t c)
{
    return c == 13 || c == 10;
}

// Space, every ASCII punctuation mark but the underscore, DEL, and the line
// breaks and tab. Everything above 127 belongs to words.
bool isWordDelimiter(char16_t c)
{
    return (c >= 32 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 94) || c == 96 ||
           (c >= 123 && c <= 127) || c == 13 || c == 10 || c == 9;
}
} // namespace

void LogView::selectAll()
{
    setSelection(0, m_doc.fileSize(), false, true, true);
}

void LogView::clearSelection(bool fireEvent)
{
    setSelection(0, 0, false, fireEvent, true);
}

qint64 LogView::scanDelimited(qint64 position, bool forward, bool lines) const
{
    const int step = forward ? m_doc.charSize() : -m_doc.charSize();
    qint64 q = m_doc.alignDown(position);
    for (int i = 0; i < maxScanChars; ++i) {
        const qint64 r = q + step;
        if (m_doc.isOutOfWindow(r))
            break;
        const char16_t c = m_doc.getChar(r);
        if (lines ? isLineDelimiter(c) : isWordDelimiter(c))
            break;
        q = r;
    }
    return q;
}

void LogView::selectWord(qint64 position)
{
    const qint64 start = scanDelimited(position, false, false);
    const qint64 end = scanDelimited(position, true, false);
    setSelection(start, end + m_doc.charSize() - start, false, true, true);
}

void LogView::selectLine(qint64 position)
{
    const qint64 start = scanDelimited(position, false, true);
    const qint64 end = scanDelimited(position, true, true);
    setSelection(start, end + m_doc.charSize() - start, false, true, true);
}

qint64 LogView::selectionBytes(qint32 maxBytes) const
{
    if (m_selLength <= 0 || !m_doc.sourceAssigned())
        return 0;
    return std::min<qint64>(m_selLength, maxBytes > 0 ? qint64(maxBytes) : maxCopyBytes);
}

qint64 LogView::readSelection(char *buffer, qint64 count) const
{
    qint64 got = 0;
    // Straight from the file: the window holds a screen or so, the selection
    // may be the whole file. A file cut short since gives what is left.
    if (!m_doc.readSource(buffer, count, &got, m_selStart)) {
        ViewerMsg::show(m_doc.kind() == ViewDocument::SourceKind::Stream
                            ? ViewerMsg::cannotReadStream
                            : formatStrW(ViewerMsg::cannotReadFile, {m_fileName}));
        return -1;
    }
    return std::clamp<qint64>(got, 0, count);
}

QByteArray LogView::selText(qint32 maxBytes) const
{
    const qint64 n = selectionBytes(maxBytes);
    if (n <= 0)
        return {};
    QByteArray bytes(qsizetype(n), Qt::Uninitialized);
    const qint64 got = readSelection(bytes.data(), n);
    if (got < 0)
        return {};
    bytes.truncate(qsizetype(got));
    return bytes;
}

QString LogView::selTextW() const
{
    require(m_doc.isUnicodeMode(), QStringLiteral("SelTextW is called in non-Unicode mode"),
            QStringLiteral("QzBinHex"));
    const qint64 n = selectionBytes(0) / 2 * 2;
    if (n <= 0)
        return {};
    // Read straight into the text: a 16 MiB copy then needs no second buffer.
    QString text(qsizetype(n / 2), Qt::Uninitialized);
    const qint64 got = readSelection(reinterpret_cast<char *>(text.data()), n);
    if (got < 0)
        return {};
    text.truncate(qsizetype(got / 2)); // a last odd byte is dropped
    const bool swap = m_doc.isBigEndian() != (QSysInfo::ByteOrder == QSysInfo::BigEndian);
    if (swap) {
        for (QChar &c : text)
            c = QChar(char16_t((c.unicode() >> 8) | (c.unicode() << 8)));
    }
    return text;
}
