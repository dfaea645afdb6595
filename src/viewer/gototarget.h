#pragma once

#include "text/timestamp.h"

#include <QString>
#include <QStringView>
#include <QtGlobal>

// A place typed into "Go to": a line number ("12345"), a share of the file
// ("50%", "12.5%"), a byte offset ("@123456", "@0x1e240"), or a time
// ("10:30", "10:30:15.250", "2026-12-09 10:30", "2026-12-09T10:30:15+01:00").
struct GoToTarget
{
    enum class Kind { Invalid, Line, Percent, Offset, Time };

    Kind kind = Kind::Invalid;
    qint64 line = 0;       // Line: from 1
    double percent = 0;    // Percent: 0 to 100
    qint64 offset = 0;     // Offset
    LogTime time;          // Time
    bool dateless = false; // Time: a clock time; wallMs holds the time of day
    QString error;         // Invalid: why, for the user

    // The byte a Percent or Offset target names in a file of size bytes,
    // within the file and on a whole unit (2 for UTF-16).
    qint64 byteIn(qint64 size, int unitBytes) const;
};

GoToTarget parseGoToTarget(QStringView text);
