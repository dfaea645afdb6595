#include "app/appformat.h"

#include <QLocale>

#include <ctime>

namespace {

// The text between the first two fields of a date or time format.
QString FieldSeparator(const QString &format, const QString &fallback)
{
    qsizetype i = 0;
    while (i < format.size() && !format[i].isLetter())
        ++i;
    const QChar field = i < format.size() ? format[i] : QChar();
    while (i < format.size() && format[i] == field)
        ++i;
    QString separator;
    while (i < format.size() && !format[i].isLetter() && format[i] != u'\'')
        separator += format[i++];
    // A blank between fields ("d MMM yyyy") would make numeric dates unreadable.
    separator = separator.trimmed();
    return separator.isEmpty() ? fallback : separator;
}

QString TwoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QString ShortenText(const QString &text, int maxLen)
{
    if (maxLen < 1)
        return QString();
    qsizetype cut = -1; // end of the first maxLen - 1 code points
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++count) {
        if (count == maxLen - 1)
            cut = i;
        if (count == maxLen)
            return text.left(cut) + QChar(0x2026);
        const bool pair =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        i += pair ? 2 : 1;
    }
    return text;
}

QString FormatFileSize(qint64 size)
{
    constexpr qint64 kKb = 1024;
    constexpr qint64 kMb = kKb * 1024;
    constexpr qint64 kGb = kMb * 1024;
    if (size >= kGb)
        return QStringLiteral("%1 Gb").arg(size / kGb);
    if (size >= kMb)
        return QStringLiteral("%1 Mb").arg(size / kMb);
    if (size >= kKb)
        return QStringLiteral("%1 Kb").arg(size / kKb);
    return QStringLiteral("%1 bytes").arg(size);
}

QString FormatFileTime(qint64 nsSinceEpochUtc)
{
    const QLocale locale = QLocale::system();
    return FormatFileTime(nsSinceEpochUtc, DateSeparator(locale), TimeSeparator(locale));
}

QString FormatFileTime(qint64 nsSinceEpochUtc, const QString &dateSeparator,
                       const QString &timeSeparator)
{
    if (nsSinceEpochUtc == 0)
        return QString();
    constexpr qint64 kNsPerSecond = 1000000000;
    qint64 seconds = nsSinceEpochUtc / kNsPerSecond;
    if (nsSinceEpochUtc % kNsPerSecond < 0)
        --seconds; // a time before 1970 still belongs to the second it falls in
    const time_t t = time_t(seconds);
    // localtime_r need not look at TZ again; tzset makes it follow changes.
    ::tzset();
    struct tm local;
    if (!::localtime_r(&t, &local))
        return QString();
    return TwoDigits(local.tm_mday) + dateSeparator + TwoDigits(local.tm_mon + 1) + dateSeparator +
           QString::number(qint64(local.tm_year) + 1900) + u' ' + TwoDigits(local.tm_hour) +
           timeSeparator + TwoDigits(local.tm_min) + timeSeparator + TwoDigits(local.tm_sec);
}

QString DateSeparator(const QLocale &locale)
{
    return FieldSeparator(locale.dateFormat(QLocale::ShortFormat), QStringLiteral("/"));
}

QString TimeSeparator(const QLocale &locale)
{
    return FieldSeparator(locale.timeFormat(QLocale::ShortFormat), QStringLiteral(":"));
}
