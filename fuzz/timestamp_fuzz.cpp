// The timestamp reader over any line: nothing it reads overflows (UBSan
// watches), and an ISO 8601 time it reads, written out in full and read
// again, alone or as a line's start, is the same time.
//
// Input: the context's year and month, then the line (UTF-8).
#include "inputbytes.h"

#include "text/timestamp.h"

#include <QString>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

QString isoText(const LogTime &t)
{
    using namespace std::chrono;
    const milliseconds wall(t.wallMs);
    const sys_days day = floor<days>(sys_time<milliseconds>(wall));
    const year_month_day date(day);
    const qint64 ms = (wall - duration_cast<milliseconds>(day.time_since_epoch())).count();
    QString text = QString::asprintf("%04d-%02u-%02uT%02lld:%02lld:%02lld.%03lld", int(date.year()),
                                     unsigned(date.month()), unsigned(date.day()), ms / 3600000,
                                     ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    if (t.hasZone) {
        const int off = t.offsetSeconds < 0 ? -t.offsetSeconds : t.offsetSeconds;
        text += QString::asprintf("%c%02d:%02d", t.offsetSeconds < 0 ? '-' : '+', off / 3600,
                                  off / 60 % 60);
    }
    return text;
}

bool same(const LogTime &a, const LogTime &b)
{
    return a.wallMs == b.wallMs && a.hasZone == b.hasZone &&
           (!a.hasZone || a.offsetSeconds == b.offsetSeconds);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    InputBytes in(data, size);
    const TimeContext context{1900 + in.word() % 300, 1 + in.byte() % 12};
    const std::string_view bytes = in.rest();
    const QString line = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));

    (void)readLineTime(line, context);
    qsizetype used = -1;
    (void)readClock(line, &used);
    used = -1;
    const std::optional<LogTime> iso = readIsoTime(line, &used);
    if (!iso)
        return 0;
    if (used <= 0 || used > line.size()) {
        std::fprintf(stderr, "read %lld of %lld units\n", (long long)used, (long long)line.size());
        std::abort();
    }
    const QString text = isoText(*iso);
    qsizetype again = -1;
    const std::optional<LogTime> back = readIsoTime(text, &again);
    const std::optional<LogTime> asLine = readLineTime(text + QStringLiteral(" INFO x"), context);
    if (!back || !same(*back, *iso) || again != text.size() || !asLine || !same(*asLine, *iso)) {
        std::fprintf(stderr, "\"%s\" read as %lld, written \"%s\", read back as %lld\n",
                     qPrintable(line.left(used)), iso->wallMs, qPrintable(text),
                     back ? back->wallMs : -1);
        std::abort();
    }
    return 0;
}
