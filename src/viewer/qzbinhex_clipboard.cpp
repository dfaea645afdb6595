// Copying the selection, as text in its encoding or as hex digits.
#include "viewer/qzbinhex.h"

#include "viewer/viewermsg.h"
#include "text/codepages.h"
#include "text/messages.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <exception>

namespace {
const QString CannotCopy = QStringLiteral("Cannot copy data to Clipboard");
const QString CopiedFirstPart =
    QStringLiteral("Only the first 16 MiB of the selection were copied to the Clipboard.");

QByteArray HexDigits(const QByteArray &bytes)
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
} // namespace

void TQzBinHex::PlaceOnClipboard(const QString &text)
{
    // No clipboard (no display, a console run): nothing to copy to, and
    // nothing the user must be told.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    auto *data = new QMimeData;
    data->setText(text);
    clipboard->setMimeData(data);
}

void TQzBinHex::CopyToClipboard(bool asHex)
{
    if (m_selLength <= 0)
        return;
    try {
        QString text;
        if (IsUnicodeMode()) {
            text = SelTextW();
            text.replace(QChar(0), QLatin1Char(' '));
        } else {
            QByteArray bytes = SelText(0);
            if (bytes.isEmpty())
                return;
            if (asHex) {
                text = QString::fromLatin1(HexDigits(bytes));
            } else {
                bytes.replace('\0', ' ');
                // The exact characters of the file's code page; the OEM page
                // is 437 and ANSI is UTF-8 here.
                text = CodepageToUnicode(bytes, TextEncoding());
            }
        }
        if (text.isEmpty())
            return;
        PlaceOnClipboard(text);
    } catch (const std::exception &) {
        ViewerMsg::Show(CannotCopy);
        return;
    }
    // Whoever pastes must not take the copy for the whole selection.
    if (m_selLength > MaxCopyBytes)
        ShowMessage(ViewerMsg::Caption, CopiedFirstPart, MsgIcon::Information);
}

void TQzBinHex::CopyLink()
{
    const QByteArray url = LinkAt(m_popupPoint);
    if (url.isEmpty())
        return;
    try {
        PlaceOnClipboard(QString::fromUtf8(url));
    } catch (const std::exception &) {
        ViewerMsg::Show(CannotCopy);
    }
}
