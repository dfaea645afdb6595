// Go to time against a linear scan: in a log whose times never go back,
// bisecting lands on the first line at or after the time asked for, or
// tells that every time is earlier, or that no line has one. The log is
// written from the input in ISO 8601, syslog and common log format lines
// with untimed lines between them, in UTF-8, Windows-1252, Shift-JIS, GBK
// or UTF-16, read through a window of 4 KiB to 16 KiB (the program's), so
// that small logs bisect and lines cross its edges; at most 32 KiB. (A
// window must hold a few line heads, or every line reads one afresh.)
//
// Input: the page and the window, line ends and padding, repeats, the time
// asked for (two bytes), then one byte per line: a time step, or a line
// without a time.
#include "inputbytes.h"

#include "text/codepagelist.h"
#include "text/codepages.h"
#include "viewer/spansource.h"
#include "viewer/timeseek.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Line
{
    qint64 start;
    qint64 wallMs; // -1: no time
};

constexpr qint64 kSecondMs = 1000;
constexpr qint64 kMaxBytes = 32 * 1024;
const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// A line in one of the formats read, for a time in seconds since 1970.
std::string timedLine(int format, qint64 seconds, int padding)
{
    using namespace std::chrono;
    const sys_days day{days(seconds / 86400)};
    const year_month_day date(day);
    const qint64 s = seconds % 86400;
    const int y = int(date.year()), mo = int(unsigned(date.month())), d = int(unsigned(date.day()));
    const int h = int(s / 3600), mi = int(s / 60 % 60), se = int(s % 60);
    char text[160];
    switch (format) {
    case 0:
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.000+01:00 ERROR [main] ", y,
                      mo, d, h, mi, se);
        break;
    case 1:
        std::snprintf(text, sizeof text, "[%04d-%02d-%02d %02d:%02d:%02d,000] INFO ", y, mo, d, h,
                      mi, se);
        break;
    case 2:
        std::snprintf(text, sizeof text, "%s %2d %02d:%02d:%02d host app[42]: ", kMonths[mo - 1], d,
                      h, mi, se);
        break;
    default:
        std::snprintf(text, sizeof text,
                      "127.0.0.1 - - [%02d/%s/%04d:%02d:%02d:%02d +0000] \"GET / HTTP/1.1\" 200 ",
                      d, kMonths[mo - 1], y, h, mi, se);
        break;
    }
    return text + std::string(size_t(padding), 'x');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    InputBytes in(data, size);
    static const int pages[] = {65001, 1252, 932, 936, 1200, 1201};
    const uint8_t pageAndWindow = in.byte();
    const int page = pages[(pageAndWindow & 7) % std::size(pages)];
    const qint64 window = qint64(4096) << (pageAndWindow >> 3) % 3;
    Encoding encoding = page == 1200   ? encodingUtf16LE
                        : page == 1201 ? encodingUtf16BE
                                       : Encoding::codePage(0);
    for (const Encoding e : listedCodePages())
        if (page < 1200 && codepageID(e) == page)
            encoding = e;
    const uint8_t shape = in.byte();
    const char *const lineEnd = shape & 1 ? "\r\n" : "\n";
    const int padding = shape >> 1;
    const int repeats = 1 + in.byte() % 16;
    const qint64 askedOffset = qint64(in.word());

    // December 2026, where a syslog line's year is the file's.
    const qint64 first = 1796774400; // 2026-12-09T00:00:00
    qint64 seconds = first;
    std::string bytes;
    std::vector<Line> lines;
    bytes.reserve(size_t(kMaxBytes) + 1024);
    const auto append = [&](const std::string &ascii) {
        if (!encoding.isUtf16()) {
            bytes += ascii;
            bytes += lineEnd;
            return;
        }
        for (const char c : ascii + lineEnd) {
            if (encoding == encodingUtf16BE)
                bytes += '\0';
            bytes += c;
            if (encoding == encodingUtf16LE)
                bytes += '\0';
        }
    };
    while (in.left() > 0) {
        const uint8_t step = in.byte();
        for (int r = 0; r < repeats && qint64(bytes.size()) < std::min(32 * window, kMaxBytes);
             ++r) {
            const qint64 start = qint64(bytes.size());
            if (step & 0x80) {
                append("    at com.example.Worker.run(Worker.java:" + std::to_string(step) + ")");
                lines.push_back({start, -1});
            } else {
                seconds += (step & 0x1f) * 37;
                append(timedLine(step >> 5 & 3, seconds, padding));
                lines.push_back({start, seconds * kSecondMs});
            }
        }
    }
    const qint64 asked = (first + askedOffset % (seconds - first + 240) - 120) * kSecondMs;

    const SpanSource source(bytes.data(), qint64(bytes.size()));
    TimeSeek seek(source, encoding, TimeContext{2026, 12});
    seek.windowBytes = window;
    const TimeSeek::Result result = seek.find(LogTime{asked, false, 0}, false, 0);

    using Status = TimeSeek::Result::Status;
    Status status = Status::NoTimestamps;
    qint64 position = 0;
    for (const Line &line : lines) {
        if (line.wallMs < 0)
            continue;
        status = Status::AfterLast;
        position = line.start;
        if (line.wallMs >= asked) {
            status = Status::Found;
            break;
        }
    }
    if (result.status != status ||
        (status != Status::NoTimestamps && result.position != position) || result.approximate) {
        std::fprintf(stderr, "asked %lld: status %d at %lld%s, the scan says %d at %lld\n", asked,
                     int(result.status), result.position,
                     result.approximate ? " (approximate)" : "", int(status), position);
        std::abort();
    }
    return 0;
}
