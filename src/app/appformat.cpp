#include "app/appformat.h"

#include <QLocale>

#include <ctime>
#include <iterator>

namespace {

// The text between the first two fields of a date or time format.
QString fieldSeparator(const QString &format, const QString &fallback)
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

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QString shortenText(const QString &text, int maxLen)
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

QString formatFileSize(qint64 size)
{
    return formatFileSize(size, QLocale::system().decimalPoint());
}

QString formatFileSize(qint64 size, const QString &decimalPoint)
{
    constexpr qint64 kUnit = 1024;
    if (size < kUnit)
        return QStringLiteral("%1 bytes").arg(size);
    static const char *const kUnits[] = {"Kb", "Mb", "Gb"};
    qint64 divisor = kUnit;
    for (size_t u = 0;; ++u, divisor *= kUnit) {
        // Integer halves and tenths: a double would round sizes near 2^63 wrongly.
        const qint64 whole = size / divisor;
        const qint64 rest = size % divisor;
        const qint64 rounded = whole + (rest >= divisor - rest ? 1 : 0);
        const bool largest = u + 1 == std::size(kUnits);
        // 1023.6 Kb reads better as 1.0 Mb.
        if (rounded >= kUnit && !largest)
            continue;
        const QString unit = QString::fromLatin1(kUnits[u]);
        if (whole < 10) {
            const qint64 tenths = whole * 10 + (rest * 20 + divisor) / (divisor * 2);
            if (tenths < 100)
                return QStringLiteral("%1%2%3 %4")
                    .arg(tenths / 10)
                    .arg(decimalPoint)
                    .arg(tenths % 10)
                    .arg(unit);
        }
        return QStringLiteral("%1 %2").arg(rounded).arg(unit);
    }
}

QString formatFileTime(qint64 nsSinceEpochUtc)
{
    const QLocale locale = QLocale::system();
    return formatFileTime(nsSinceEpochUtc, dateSeparator(locale), timeSeparator(locale));
}

QString formatFileTime(qint64 nsSinceEpochUtc, const QString &dateSeparator,
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
    return twoDigits(local.tm_mday) + dateSeparator + twoDigits(local.tm_mon + 1) + dateSeparator +
           QString::number(qint64(local.tm_year) + 1900) + u' ' + twoDigits(local.tm_hour) +
           timeSeparator + twoDigits(local.tm_min) + timeSeparator + twoDigits(local.tm_sec);
}

QString dateSeparator(const QLocale &locale)
{
    return fieldSeparator(locale.dateFormat(QLocale::ShortFormat), QStringLiteral("/"));
}

QString timeSeparator(const QLocale &locale)
{
    return fieldSeparator(locale.timeFormat(QLocale::ShortFormat), QStringLiteral(":"));
}
