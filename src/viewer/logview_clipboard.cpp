// Copying the selection, as text in its encoding or as hex digits.
#include "viewer/logview.h"

#include "viewer/viewermsg.h"
#include "text/codepages.h"
#include "text/messages.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cstring>
#include <exception>

#include <sys/mman.h>

namespace {
const QString cannotCopy = QStringLiteral("Cannot copy data to Clipboard");
const QString copiedFirstPart =
    QStringLiteral("Only the first 16 MiB of the selection were copied to the Clipboard.");

QByteArray hexDigits(const QByteArray &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    if (bytes.isEmpty())
        return {};
    QByteArray out(bytes.size() * 3 - 1, ' ');
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        out[i * 3] = digits[b >> 4];
        out[i * 3 + 1] = digits[b & 15];
    }
    return out;
}

// A large copy faults its buffer in by 2 MiB pages instead of 4 KiB ones,
// where the system lets a program ask for that.
void adviseHugePages(void *data, qint64 bytes)
{
#ifdef MADV_HUGEPAGE
    constexpr quintptr huge = 2 * 1024 * 1024;
    const auto from = (quintptr(data) + huge - 1) & ~(huge - 1);
    const auto to = (quintptr(data) + quintptr(bytes)) & ~(huge - 1);
    if (to > from)
        madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
#endif
}
} // namespace

QString LogView::selTextAsUnicode() const
{
    const qint64 n = selectionBytes(0);
    if (n <= 0)
        return {};
    const Encoding encoding = m_doc.textEncoding;
    if (encoding != encodingAnsi && encoding != encodingUtf8) {
        QByteArray bytes = selText(0);
        bytes.replace('\0', ' ');
        return codepageToUnicode(bytes, encoding);
    }
    // UTF-8, mostly ASCII: the bytes are read into the upper half of the
    // text's own buffer and widened in place, so a 16 MiB copy costs one
    // allocation, which goes back to the system when the clipboard lets go.
    // Writing unit i (bytes 2i, 2i + 1) never reaches byte n + i + 1 that is
    // still to be read.
    QString text(qsizetype(n), Qt::Uninitialized);
    adviseHugePages(text.data(), 2 * n);
    char *raw = reinterpret_cast<char *>(text.data()) + n;
    const qint64 got = readSelection(raw, n);
    if (got <= 0)
        return {};
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    qint64 i = 0;
    // Eight bytes at a time: they are loaded before their 16 bytes are
    // written, and those end at or before byte n + i + 8.
    for (; i + 8 <= got; i += 8) {
        unsigned char bytes[8];
        std::memcpy(bytes, raw + i, 8);
        quint64 block;
        std::memcpy(&block, bytes, 8);
        if (block & 0x8080808080808080ULL)
            break;
        for (int k = 0; k < 8; ++k)
            out[i + k] = bytes[k] == 0 ? u' ' : char16_t(bytes[k]);
    }
    for (; i < got; ++i) {
        const auto b = static_cast<unsigned char>(raw[i]);
        if (b >= 0x80)
            break;
        out[i] = b == 0 ? u' ' : char16_t(b);
    }
    if (i == got) {
        text.truncate(qsizetype(got));
        return text;
    }
    // The rest from its first non-ASCII byte, which starts a sequence since
    // everything before it was ASCII.
    QByteArray rest(raw + i, qsizetype(got - i));
    text.truncate(qsizetype(i));
    rest.replace('\0', ' ');
    return text + codepageToUnicode(rest, encoding);
}

void LogView::placeOnClipboard(const QString &text)
{
    // No clipboard (no display, a console run): nothing to copy to, and
    // nothing the user must be told.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    auto *mime = new QMimeData;
    mime->setText(text);
    clipboard->setMimeData(mime);
}

void LogView::offerPrimarySelection()
{
    // A mouse selection goes to X11's primary selection, for the middle
    // button elsewhere; a huge one is for Ctrl+C, not for every release.
    if (m_selLength <= 0 || m_selLength > maxPrimaryBytes ||
        !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard || !clipboard->supportsSelection())
        return;
    QString text = m_doc.isUnicodeMode() ? selTextW() : selTextAsUnicode();
    text.replace(QChar(0), QLatin1Char(' '));
    if (!text.isEmpty())
        clipboard->setText(text, QClipboard::Selection);
}

void LogView::copyToClipboard(bool asHex)
{
    if (m_selLength <= 0)
        return;
    try {
        QString text;
        if (m_doc.isUnicodeMode()) {
            text = selTextW();
            text.replace(QChar(0), QLatin1Char(' '));
        } else {
            if (asHex) {
                text = QString::fromLatin1(hexDigits(selText(0)));
            } else {
                // The exact characters of the file's code page; the OEM page
                // is 437 and ANSI is UTF-8 here.
                text = selTextAsUnicode();
            }
        }
        if (text.isEmpty())
            return;
        placeOnClipboard(text);
    } catch (const std::exception &) {
        ViewerMsg::show(cannotCopy);
        return;
    }
    // Whoever pastes must not take the copy for the whole selection.
    if (m_selLength > maxCopyBytes)
        showMessage(ViewerMsg::caption, copiedFirstPart, MsgIcon::Information);
}

void LogView::copyLink()
{
    const QByteArray url = linkAt(m_popupPoint);
    if (url.isEmpty())
        return;
    try {
        placeOnClipboard(QString::fromUtf8(url));
    } catch (const std::exception &) {
        ViewerMsg::show(cannotCopy);
    }
}
