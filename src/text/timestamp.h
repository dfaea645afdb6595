#pragma once

#include <QStringView>
#include <QtGlobal>

#include <optional>

// A time read from a log line or typed by the user, in milliseconds. wallMs
// counts the clock digits as written (as if they were UTC), so that times
// without a zone compare by what they say; a zone, when one was given, is
// kept beside them.
struct LogTime
{
    qint64 wallMs = 0;
    bool hasZone = false;
    int offsetSeconds = 0; // east of UTC, when hasZone

    // The instant, for times with a zone.
    qint64 utcMs() const { return wallMs - qint64(offsetSeconds) * 1000; }
    // The day of wallMs, in days since 1970-01-01.
    qint64 day() const;
};

// What a line's time alone does not say: the year of syslog lines (they
// carry none) comes from the file's date, a line from a month after that
// date being from the year before.
struct TimeContext
{
    int year = 1970;
    int month = 12;
};

// Days since 1970-01-01 of a proleptic Gregorian date; nullopt for a day the
// month does not have.
std::optional<qint64> daysFromCivil(int year, int month, int day);

// "YYYY-MM-DD" then "T" or a space and "HH:MM[:SS[.fff]]" with an optional
// zone ("Z", "+01:00", "+0100", "+01", after at most one space) at the
// start of text; used receives the units read.
std::optional<LogTime> readIsoTime(QStringView text, qsizetype *used = nullptr);
// "HH:MM[:SS[.fff]]" at the start of text: milliseconds since midnight.
std::optional<qint64> readClock(QStringView text, qsizetype *used = nullptr);

// The time at the start of a log line: ISO 8601 ("2026-12-09T10:30:15.123+01:00",
// a space for T, "," for the fraction, also inside a leading "["), syslog
// ("Dec  9 10:30:15"), Apache and nginx ("[09/Dec/2026:10:30:15 +0000]", also
// after the host and names of the common log format), or Unix seconds or
// milliseconds (10 or 13 digits). Unix times are instants: they come back
// with the local zone's offset at that instant, so that their digits read as
// the local clock.
std::optional<LogTime> readLineTime(QStringView line, const TimeContext &context);

// The key a line's time is compared by against target: when both carry a
// zone, the line's instant on the target's clock; otherwise its digits.
qint64 compareKey(const LogTime &line, const LogTime &target);
