#include "viewer/gototarget.h"

#include <cmath>
#include <limits>

namespace {

const QString &formsText()
{
    static const QString text = QStringLiteral(
        "Type a line number (12345), a percentage (50%), a byte offset (@123456 or @0x1e240) or "
        "a time (10:30, 10:30:15, 2026-12-09 10:30 or 2026-12-09T10:30:15+01:00).");
    return text;
}

GoToTarget invalid(const QString &why)
{
    GoToTarget target;
    target.error = why;
    return target;
}

GoToTarget notRead(QStringView text)
{
    return invalid(QStringLiteral("\"%1\" is not a place to go to.\n%2")
                       .arg(text.left(80).toString(), formsText()));
}

bool allDigits(QStringView text, int base)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool digit = u >= u'0' && u <= u'9';
        const bool hex = (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
        if (!digit && !(base == 16 && hex))
            return false;
    }
    return true;
}

GoToTarget parseOffset(QStringView text, QStringView typed)
{
    const bool hex = text.startsWith(u"0x", Qt::CaseInsensitive);
    const QStringView digitsText = hex ? text.mid(2) : text;
    if (!allDigits(digitsText, hex ? 16 : 10))
        return notRead(typed);
    bool ok = false;
    const qint64 value = digitsText.toLongLong(&ok, hex ? 16 : 10);
    if (!ok)
        return invalid(QStringLiteral("The offset %1 is too large.").arg(typed.toString()));
    GoToTarget target;
    target.kind = GoToTarget::Kind::Offset;
    target.offset = value;
    return target;
}

GoToTarget parsePercent(QStringView text, QStringView typed)
{
    const qsizetype dot = text.indexOf(u'.');
    if (!allDigits(text.left(dot < 0 ? text.size() : dot), 10) ||
        (dot >= 0 && !allDigits(text.mid(dot + 1), 10)))
        return notRead(typed);
    const double value = text.toDouble();
    if (!(value >= 0 && value <= 100))
        return invalid(QStringLiteral("A percentage goes from 0% to 100%."));
    GoToTarget target;
    target.kind = GoToTarget::Kind::Percent;
    target.percent = value;
    return target;
}

} // namespace

qint64 GoToTarget::byteIn(qint64 size, int unitBytes) const
{
    qint64 byte = 0;
    if (kind == Kind::Offset)
        byte = offset;
    else if (kind == Kind::Percent)
        byte = qint64(std::floor(double(size) * percent / 100.0));
    byte = std::clamp<qint64>(byte, 0, std::max<qint64>(0, size - 1));
    return byte - byte % unitBytes;
}

GoToTarget parseGoToTarget(QStringView typed)
{
    const QStringView text = typed.trimmed();
    if (text.isEmpty())
        return invalid(formsText());
    if (text.startsWith(u'@'))
        return parseOffset(text.mid(1).trimmed(), text);
    if (text.endsWith(u'%'))
        return parsePercent(text.chopped(1).trimmed(), text);
    if (allDigits(text, 10)) {
        bool ok = false;
        const qint64 line = text.toLongLong(&ok);
        if (!ok)
            return invalid(QStringLiteral("The line number %1 is too large.").arg(text.toString()));
        if (line < 1)
            return invalid(QStringLiteral("Lines are numbered from 1."));
        GoToTarget target;
        target.kind = GoToTarget::Kind::Line;
        target.line = line;
        return target;
    }
    GoToTarget target;
    target.kind = GoToTarget::Kind::Time;
    qsizetype used = 0;
    if (const auto iso = readIsoTime(text, &used); iso && used == text.size()) {
        target.time = *iso;
        return target;
    }
    // A date alone is its midnight.
    if (text.size() == 10) {
        QString midnight = text.toString() + QStringLiteral(" 00:00");
        if (const auto iso = readIsoTime(midnight, &used); iso && used == midnight.size()) {
            target.time = *iso;
            return target;
        }
    }
    // "9:30" is "09:30".
    const QString clockText =
        text.size() > 1 && text[1] == u':' ? u'0' + text.toString() : text.toString();
    if (const auto clock = readClock(clockText, &used); clock && used == clockText.size()) {
        target.time.wallMs = *clock;
        target.dateless = true;
        return target;
    }
    return notRead(text);
}
