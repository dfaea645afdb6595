// Selecting: all, a word, a line, and reading the selected bytes.
#include "viewer/qzbinhex.h"

#include "viewer/viewermsg.h"
#include "text/codepages.h"
#include "text/contract.h"
#include "text/sproc.h"

#include <QSysInfo>

#include <algorithm>

namespace {
// The furthest a word or line scan goes either way: it never leaves the read
// window anyway, so it never reads the file.
constexpr int MaxScanChars = 8192;

bool IsLineDelimiter(char16_t c)
{
    return c == 13 || c == 10;
}

// Space, every ASCII punctuation mark but the underscore, DEL, and the line
// breaks and tab. Everything above 127 belongs to words.
bool IsWordDelimiter(char16_t c)
{
    return (c >= 32 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 94) || c == 96 ||
           (c >= 123 && c <= 127) || c == 13 || c == 10 || c == 9;
}
} // namespace

void TQzBinHex::SelectAll()
{
    SetSelection(0, FileSize(), false, true, true);
}

void TQzBinHex::ClearSelection(bool fireEvent)
{
    SetSelection(0, 0, false, fireEvent, true);
}

qint64 TQzBinHex::ScanDelimited(qint64 position, bool forward, bool lines) const
{
    const int step = forward ? CharSize() : -CharSize();
    qint64 q = m_doc.AlignDown(position);
    for (int i = 0; i < MaxScanChars; ++i) {
        const qint64 r = q + step;
        if (IsOutOfWindow(r))
            break;
        const char16_t c = GetChar(r);
        if (lines ? IsLineDelimiter(c) : IsWordDelimiter(c))
            break;
        q = r;
    }
    return q;
}

void TQzBinHex::SelectWord(qint64 position)
{
    const qint64 start = ScanDelimited(position, false, false);
    const qint64 end = ScanDelimited(position, true, false);
    SetSelection(start, end + CharSize() - start, false, true, true);
}

void TQzBinHex::SelectLine(qint64 position)
{
    const qint64 start = ScanDelimited(position, false, true);
    const qint64 end = ScanDelimited(position, true, true);
    SetSelection(start, end + CharSize() - start, false, true, true);
}

qint64 TQzBinHex::SelectionBytes(qint32 maxBytes) const
{
    if (m_selLength <= 0 || !SourceAssigned())
        return 0;
    return std::min<qint64>(m_selLength, maxBytes > 0 ? qint64(maxBytes) : MaxCopyBytes);
}

qint64 TQzBinHex::ReadSelection(char *buffer, qint64 count) const
{
    qint64 got = 0;
    // Straight from the file: the window holds a screen or so, the selection
    // may be the whole file. A file cut short since gives what is left.
    if (!ReadSource(buffer, count, &got, m_selStart)) {
        ViewerMsg::Show(m_doc.Kind() == ViewDocument::SourceKind::Stream
                            ? ViewerMsg::CannotReadStream
                            : FormatStrW(ViewerMsg::CannotReadFile, {m_fileName}));
        return -1;
    }
    return std::clamp<qint64>(got, 0, count);
}

QByteArray TQzBinHex::SelText(qint32 maxBytes) const
{
    const qint64 n = SelectionBytes(maxBytes);
    if (n <= 0)
        return {};
    QByteArray bytes(qsizetype(n), Qt::Uninitialized);
    const qint64 got = ReadSelection(bytes.data(), n);
    if (got < 0)
        return {};
    bytes.truncate(qsizetype(got));
    return bytes;
}

QString TQzBinHex::SelTextW() const
{
    Require(IsUnicodeMode(), QStringLiteral("SelTextW is called in non-Unicode mode"),
            QStringLiteral("QzBinHex"));
    const qint64 n = SelectionBytes(0) / 2 * 2;
    if (n <= 0)
        return {};
    // Read straight into the text: a 16 MiB copy then needs no second buffer.
    QString text(qsizetype(n / 2), Qt::Uninitialized);
    const qint64 got = ReadSelection(reinterpret_cast<char *>(text.data()), n);
    if (got < 0)
        return {};
    text.truncate(qsizetype(got / 2)); // a last odd byte is dropped
    const bool swap = IsBigEndian() != (QSysInfo::ByteOrder == QSysInfo::BigEndian);
    if (swap) {
        for (QChar &c : text)
            c = QChar(char16_t((c.unicode() >> 8) | (c.unicode() << 8)));
    }
    return text;
}
