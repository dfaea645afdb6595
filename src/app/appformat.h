#pragma once

#include <QString>

class QLocale;

// At most maxLen characters: a longer text keeps its first maxLen - 1
// characters and ends in "…". Characters are code points, so a surrogate
// pair is never split; maxLen below 1 gives an empty text.
QString shortenText(const QString &text, int maxLen);

// "%d bytes" below 1 Kb (and for negative sizes); otherwise the size in the
// largest unit ("Kb", "Mb", "Gb") that keeps it from rounding to 1024,
// rounded to the nearest tenth below 10 ("2.0 Gb") and to the nearest whole
// above ("512 Mb"). The first form uses the system locale's decimal point.
QString formatFileSize(qint64 size);
QString formatFileSize(qint64 size, const QString &decimalPoint);

// A file time as local date and time, "dd.MM.yyyy hh:mm:ss" with the system
// locale's separators. Empty for time 0 (no time) or a time the local clock
// cannot express.
QString formatFileTime(qint64 nsSinceEpochUtc);
QString formatFileTime(qint64 nsSinceEpochUtc, const QString &dateSeparator,
                       const QString &timeSeparator);

// The separators of a locale's short date and time formats ("/" of
// "dd/MM/yyyy", ":" of "HH:mm").
QString dateSeparator(const QLocale &locale);
QString timeSeparator(const QLocale &locale);
