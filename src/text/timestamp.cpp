#include "text/timestamp.h"

#include <QDateTime>

#include <array>

namespace {

constexpr qint64 kDayMs = 86400000;
// Only the first characters of a line are looked at: a timestamp sits near
// its start, and a long line must not cost more than a short one.
constexpr qsizetype kScanLimit = 512;

bool isDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// Exactly count digits at pos.
std::optional<int> digits(QStringView text, qsizetype pos, int count)
{
    if (pos + count > text.size())
        return std::nullopt;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = text[pos + i];
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

bool charAt(QStringView text, qsizetype pos, char16_t c)
{
    return pos < text.size() && text[pos].unicode() == c;
}

// The month of an English three-letter abbreviation, 1 to 12.
std::optional<int> monthAt(QStringView text, qsizetype pos)
{
    static constexpr std::array<const char16_t *, 12> names = {u"Jan", u"Feb", u"Mar", u"Apr",
                                                               u"May", u"Jun", u"Jul", u"Aug",
                                                               u"Sep", u"Oct", u"Nov", u"Dec"};
    if (pos + 3 > text.size())
        return std::nullopt;
    const QStringView abbr = text.mid(pos, 3);
    for (size_t i = 0; i < names.size(); ++i)
        if (abbr.compare(QStringView(names[i]), Qt::CaseInsensitive) == 0)
            return int(i) + 1;
    return std::nullopt;
}

// "[+-]HH[:]MM", "[+-]HH" or "Z" at pos: seconds east of UTC.
std::optional<int> zoneAt(QStringView text, qsizetype pos, qsizetype *used)
{
    if (charAt(text, pos, u'Z')) {
        *used = 1;
        return 0;
    }
    if (!charAt(text, pos, u'+') && !charAt(text, pos, u'-'))
        return std::nullopt;
    const int sign = text[pos] == u'-' ? -1 : 1;
    const auto hours = digits(text, pos + 1, 2);
    if (!hours || *hours > 23)
        return std::nullopt;
    qsizetype at = pos + 3;
    const bool colon = charAt(text, at, u':');
    const auto minutes = digits(text, at + (colon ? 1 : 0), 2);
    if (minutes && *minutes < 60)
        at += (colon ? 1 : 0) + 2;
    else if (colon)
        return std::nullopt;
    *used = at - pos;
    return sign * (*hours * 3600 + (minutes && *minutes < 60 ? *minutes * 60 : 0));
}

// Digits of a fraction after its separator: milliseconds, further digits dropped.
int fractionAt(QStringView text, qsizetype pos, qsizetype *end)
{
    int ms = 0, n = 0;
    qsizetype at = pos;
    for (; at < text.size() && isDigit(text[at]); ++at, ++n)
        if (n < 3)
            ms = ms * 10 + (text[at].unicode() - u'0');
    for (; n < 3; ++n)
        ms *= 10;
    *end = at;
    return ms;
}

// A line time whose digits are an instant: read on the local clock.
LogTime fromInstant(qint64 utcMs)
{
    const int offset = QDateTime::fromMSecsSinceEpoch(utcMs).offsetFromUtc();
    return LogTime{utcMs + qint64(offset) * 1000, true, offset};
}

std::optional<LogTime> readUnixTime(QStringView line)
{
    qsizetype n = 0;
    while (n < line.size() && n < 14 && isDigit(line[n]))
        ++n;
    if ((n != 10 && n != 13) || line[0] == u'0')
        return std::nullopt;
    qint64 value = 0;
    for (qsizetype i = 0; i < n; ++i)
        value = value * 10 + (line[i].unicode() - u'0');
    if (n == 13)
        return fromInstant(value);
    qint64 ms = value * 1000;
    if (charAt(line, n, u'.')) {
        qsizetype end = 0;
        ms += fractionAt(line, n + 1, &end);
    }
    return fromInstant(ms);
}

std::optional<LogTime> readSyslogTime(QStringView line, const TimeContext &context)
{
    const auto month = monthAt(line, 0);
    if (!month || !charAt(line, 3, u' '))
        return std::nullopt;
    qsizetype at = 4;
    if (charAt(line, at, u' '))
        ++at;
    int day = 0;
    if (const auto two = digits(line, at, 2)) {
        day = *two;
        at += 2;
    } else if (const auto one = digits(line, at, 1)) {
        day = *one;
        at += 1;
    } else {
        return std::nullopt;
    }
    if (!charAt(line, at, u' '))
        return std::nullopt;
    qsizetype used = 0;
    const auto clock = readClock(line.mid(at + 1), &used);
    // A line from a later month than the file's date was written the year before.
    const int year = *month > context.month ? context.year - 1 : context.year;
    const auto days = daysFromCivil(year, *month, day);
    // Syslog always writes the seconds.
    if (!clock || used < 8 || !days)
        return std::nullopt;
    return LogTime{*days * kDayMs + *clock, false, 0};
}

// "[09/Dec/2026:10:30:15 +0000]" at pos (the bracket).
std::optional<LogTime> readApacheTimeAt(QStringView text, qsizetype pos)
{
    const auto day = digits(text, pos + 1, 2);
    const auto month = monthAt(text, pos + 4);
    const auto year = digits(text, pos + 8, 4);
    if (!day || !month || !year || !charAt(text, pos + 3, u'/') || !charAt(text, pos + 7, u'/') ||
        !charAt(text, pos + 12, u':'))
        return std::nullopt;
    qsizetype used = 0;
    const auto clock = readClock(text.mid(pos + 13), &used);
    const auto days = daysFromCivil(*year, *month, *day);
    if (!clock || !days)
        return std::nullopt;
    LogTime time{*days * kDayMs + *clock, false, 0};
    qsizetype at = pos + 13 + used;
    if (charAt(text, at, u' ')) {
        qsizetype zoneUsed = 0;
        if (const auto offset = zoneAt(text, at + 1, &zoneUsed)) {
            time.hasZone = true;
            time.offsetSeconds = *offset;
        }
    }
    return time;
}

std::optional<LogTime> readApacheTime(QStringView line)
{
    for (qsizetype at = line.indexOf(u'['); at >= 0; at = line.indexOf(u'[', at + 1))
        if (const auto time = readApacheTimeAt(line, at))
            return time;
    return std::nullopt;
}

} // namespace

qint64 LogTime::day() const
{
    return wallMs >= 0 ? wallMs / kDayMs : -((-wallMs + kDayMs - 1) / kDayMs);
}

std::optional<qint64> daysFromCivil(int year, int month, int day)
{
    static constexpr std::array<int, 12> lengths = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1)
        return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > lengths[size_t(month - 1)] + (month == 2 && leap ? 1 : 0))
        return std::nullopt;
    // Howard Hinnant's days_from_civil.
    const qint64 y = year - (month <= 2 ? 1 : 0);
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::optional<qint64> readClock(QStringView text, qsizetype *used)
{
    const auto hours = digits(text, 0, 2);
    const auto minutes = digits(text, 3, 2);
    if (!hours || !minutes || !charAt(text, 2, u':') || *hours > 23 || *minutes > 59)
        return std::nullopt;
    qint64 ms = (*hours * 60 + *minutes) * 60000;
    qsizetype at = 5;
    if (charAt(text, at, u':')) {
        const auto seconds = digits(text, at + 1, 2);
        if (!seconds || *seconds > 60)
            return std::nullopt;
        // A leap second sorts with the one before it.
        ms += qint64(std::min(*seconds, 59)) * 1000;
        at += 3;
        if ((charAt(text, at, u'.') || charAt(text, at, u',')) && at + 1 < text.size() &&
            isDigit(text[at + 1]))
            ms += fractionAt(text, at + 1, &at);
    }
    if (used)
        *used = at;
    return ms;
}

std::optional<LogTime> readIsoTime(QStringView text, qsizetype *used)
{
    const auto year = digits(text, 0, 4);
    const auto month = digits(text, 5, 2);
    const auto day = digits(text, 8, 2);
    if (!year || !month || !day || !charAt(text, 4, u'-') || !charAt(text, 7, u'-') ||
        !(charAt(text, 10, u'T') || charAt(text, 10, u' ')))
        return std::nullopt;
    qsizetype clockUsed = 0;
    const auto clock = readClock(text.mid(11), &clockUsed);
    const auto days = daysFromCivil(*year, *month, *day);
    if (!clock || !days)
        return std::nullopt;
    LogTime time{*days * kDayMs + *clock, false, 0};
    qsizetype at = 11 + clockUsed;
    qsizetype zoneUsed = 0;
    const qsizetype zoneAtPos = charAt(text, at, u' ') && !charAt(text, at + 1, u'Z') ? at + 1 : at;
    if (const auto offset = zoneAt(text, zoneAtPos, &zoneUsed)) {
        time.hasZone = true;
        time.offsetSeconds = *offset;
        at = zoneAtPos + zoneUsed;
    }
    if (used)
        *used = at;
    return time;
}

std::optional<LogTime> readLineTime(QStringView line, const TimeContext &context)
{
    line = line.left(kScanLimit);
    if (line.isEmpty())
        return std::nullopt;
    const QChar first = line[0];
    if (isDigit(first)) {
        if (const auto iso = readIsoTime(line))
            return iso;
        if (const auto unixTime = readUnixTime(line))
            return unixTime;
    }
    if (first == u'[') {
        if (const auto iso = readIsoTime(line.mid(1)))
            return iso;
    } else if (const auto syslog = readSyslogTime(line, context)) {
        return syslog;
    }
    return readApacheTime(line);
}

qint64 compareKey(const LogTime &line, const LogTime &target)
{
    if (line.hasZone && target.hasZone)
        return line.utcMs() + qint64(target.offsetSeconds) * 1000;
    return line.wallMs;
}
