#include "viewer/timeseek.h"

#include "testfiles.h"
#include "search/memorysource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

using Status = TimeSeek::Result::Status;
constexpr qint64 kDay = 86400000;

qint64 wall(int y, int mo, int d, int h, int mi, int s = 0)
{
    return *daysFromCivil(y, mo, d) * kDay + ((h * 60 + mi) * 60 + s) * 1000;
}

LogTime at(int h, int mi, int s = 0, int day = 9)
{
    return LogTime{wall(2026, 12, day, h, mi, s), false, 0};
}

QString clock(int seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// A log with a line every 10 seconds from 10:00:00, every third one
// followed by a line without a time; starts receives where each timed
// line starts, in characters.
QString makeLog(int lines, const QString &eol, std::vector<qint64> *starts)
{
    QString text = QStringLiteral("header without a time") + eol;
    for (int i = 0; i < lines; ++i) {
        starts->push_back(text.size());
        text += QStringLiteral("2026-12-09 ") + clock(36000 + i * 10) +
                QStringLiteral(" INFO event %1 ").arg(i) + QString(i % 7 * 9, u'.') + eol;
        if (i % 3 == 0)
            text += QStringLiteral("    at frame %1").arg(i) + eol;
    }
    return text;
}

struct Encoded
{
    const char *name;
    Encoding encoding;
    int unit;
};

QByteArray encode(const QString &text, Encoding encoding)
{
    if (encoding.isUtf16())
        return utf16(text, encoding.isBigEndian());
    return text.toLatin1();
}

TEST(TimeSeek, FindsTheFirstLineAtOrAfterInEveryEncoding)
{
    const Encoded encodings[] = {{"UTF-8", encodingUtf8, 1},
                                 {"1252", entryOf(1252), 1},
                                 {"UTF-16 LE", encodingUtf16LE, 2},
                                 {"UTF-16 BE", encodingUtf16BE, 2}};
    for (const Encoded &e : encodings) {
        for (const QString &eol :
             {QStringLiteral("\n"), QStringLiteral("\r\n"), QStringLiteral("\r")}) {
            SCOPED_TRACE(std::string(e.name) + (eol.size() == 2 ? " CR LF"
                                                : eol == u"\r"  ? " CR"
                                                                : " LF"));
            std::vector<qint64> starts;
            const QByteArray bytes = encode(makeLog(3000, eol, &starts), e.encoding);
            MemorySource source(bytes);
            const struct
            {
                LogTime target;
                int line; // index into starts
            } cases[] = {
                {at(10, 0), 0},         // the first line
                {at(9, 0), 0},          // before every line
                {at(10, 30), 180},      // a line's exact time
                {at(10, 30, 5), 181},   // between two lines
                {at(18, 19, 50), 2999}, // the last line
            };
            for (const auto &c : cases) {
                TimeSeek seek(source, e.encoding, TimeContext{2026, 12});
                const auto result = seek.find(c.target, false, 0);
                EXPECT_EQ(result.status, Status::Found);
                EXPECT_EQ(result.position, starts[size_t(c.line)] * e.unit);
                EXPECT_FALSE(result.approximate);
                EXPECT_EQ(result.reads, seek.reads());
            }
            TimeSeek after(source, e.encoding, TimeContext{2026, 12});
            const auto result = after.find(at(23, 0), false, 0);
            EXPECT_EQ(result.status, Status::AfterLast);
            EXPECT_EQ(result.position, starts.back() * e.unit);
        }
    }
}

TEST(TimeSeek, ByteOrderMarkBeforeTheFirstTime)
{
    const QString text =
        QChar(0xFEFF) + QStringLiteral("2026-12-09 10:00:00 a\n2026-12-09 11:00:00 b\n");
    MemorySource source(utf16(text, false));
    TimeSeek seek(source, encodingUtf16LE, {});
    const auto result = seek.find(at(9, 0), false, 0);
    EXPECT_EQ(result.status, Status::Found);
    EXPECT_EQ(result.position, 0);
    EXPECT_EQ(result.lineTime.wallMs, at(10, 0).wallMs);
}

TEST(TimeSeek, OtherForms)
{
    const QByteArray syslog = "Dec  9 10:00:00 h a\nDec  9 10:10:00 h b\nDec  9 10:20:00 h c\n";
    const QByteArray clf = "1.2.3.4 - - [09/Dec/2026:10:00:00 +0000] \"GET /\"\n"
                           "1.2.3.4 - - [09/Dec/2026:10:10:00 +0000] \"GET /a\"\n";
    const QByteArray epoch = "1796810400 a\n1796811000 b\n";
    MemorySource a(syslog), b(clf), c(epoch);
    // Times with a zone against one: the same instant.
    const LogTime utc{wall(2026, 12, 9, 10, 5), true, 0};
    const LogTime paris{wall(2026, 12, 9, 11, 5), true, 3600};
    EXPECT_EQ(TimeSeek(a, encodingUtf8, TimeContext{2026, 12}).find(at(10, 5), false, 0).position,
              syslog.indexOf("Dec  9 10:10"));
    EXPECT_EQ(TimeSeek(b, encodingUtf8, {}).find(utc, false, 0).position, clf.indexOf("\n") + 1);
    EXPECT_EQ(TimeSeek(b, encodingUtf8, {}).find(paris, false, 0).position, clf.indexOf("\n") + 1);
    EXPECT_EQ(TimeSeek(c, encodingUtf8, {}).find(utc, false, 0).position, epoch.indexOf("\n") + 1);
}

TEST(TimeSeek, NoTimestamps)
{
    for (const QByteArray &bytes :
         {QByteArray(), QByteArray("plain text\nno times here\n"), QByteArray(100000, 'x')}) {
        MemorySource source(bytes);
        TimeSeek seek(source, encodingUtf8, {});
        EXPECT_EQ(seek.find(at(10, 0), false, 0).status, Status::NoTimestamps);
        EXPECT_EQ(seek.find(LogTime{36000000, false, 0}, true, 0).status, Status::NoTimestamps);
    }
}

TEST(TimeSeek, TimesGoingBackwardsGiveAnApproximateLine)
{
    // Runs appended to one file: each starts earlier again. Eight equal runs
    // put the same time at every eighth of the file, where even samples
    // would see no disorder; runs whose times all lie in their first part
    // hide it from samples at uneven places.
    const struct
    {
        int runs;
        int untimedAfter; // lines without a time closing each run
    } cases[] = {{2, 0}, {8, 0}, {2, 6000}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.runs << " runs, " << c.untimedAfter);
        std::vector<qint64> starts;
        const QString one = makeLog(1000, QStringLiteral("\n"), &starts) +
                            QStringLiteral("no time on this line\n").repeated(c.untimedAfter);
        MemorySource source(one.repeated(c.runs).toLatin1());
        TimeSeek seek(source, encodingUtf8, {});
        const auto result = seek.find(at(10, 30), false, 0);
        EXPECT_EQ(result.status, Status::Found);
        EXPECT_TRUE(result.approximate);
        EXPECT_GE(compareKey(result.lineTime, at(10, 30)), at(10, 30).wallMs);
    }
}

TEST(TimeSeek, ClockTimeTakesTheDateOfTheViewElseOfTheLastLine)
{
    const QByteArray bytes = "2026-12-08 23:00:00 a\n2026-12-09 09:00:00 b\n2026-12-09 10:30:00 c\n"
                             "2026-12-10 10:30:00 d\nno time\n";
    MemorySource source(bytes);
    const LogTime tenThirty{(10 * 60 + 30) * 60000, false, 0};
    // From the top: the first time's date, 8 December; its 10:30 is before
    // the first line.
    TimeSeek top(source, encodingUtf8, {});
    EXPECT_EQ(top.find(tenThirty, true, 0).position, 0);
    // From a line of the 9th: 10:30 on the 9th.
    TimeSeek ninth(source, encodingUtf8, {});
    EXPECT_EQ(ninth.find(tenThirty, true, bytes.indexOf("2026-12-09 09")).position,
              bytes.indexOf("2026-12-09 10"));
    // From the last line, which has no time: the last time's date, the 10th.
    TimeSeek last(source, encodingUtf8, {});
    EXPECT_EQ(last.find(tenThirty, true, bytes.indexOf("no time")).position,
              bytes.indexOf("2026-12-10"));
}

// A large log made up as it is read: a timed line every stride bytes (one
// second apart from 00:00:00), padded with blanks to the next line. Lines
// longer than the window make every probe walk to the next line start.
class StridedLog final : public FileSource
{
public:
    StridedLog(qint64 size, qint64 stride) : m_size(size), m_stride(stride) {}
    qint64 size() const override { return m_size; }
    ReadResult read(char *buffer, qint64 count, qint64 position, qint64 *bytesRead,
                    std::stop_token stop = {}) const override
    {
        if (stop.stop_requested())
            return ReadResult::Cancelled;
        ++reads;
        largest = std::max(largest, count);
        const qint64 n = std::max<qint64>(0, std::min(count, m_size - position));
        std::memset(buffer, ' ', size_t(count));
        for (qint64 line = position / m_stride; line * m_stride < position + n; ++line) {
            const qint64 start = line * m_stride;
            const int s = int(line % 86400);
            const QByteArray text =
                QStringLiteral("2026-12-09 %1 line %2").arg(clock(s)).arg(line).toLatin1();
            for (qint64 i = 0; i < text.size(); ++i)
                if (start + i >= position && start + i < position + n)
                    buffer[start + i - position] = text[i];
            const qint64 eol = start + m_stride - 1;
            if (eol >= position && eol < position + n)
                buffer[eol - position] = '\n';
        }
        *bytesRead = n;
        return ReadResult::Ok;
    }
    std::unique_ptr<FileSource> openAnother() const override { return nullptr; }

    mutable int reads = 0;
    mutable qint64 largest = 0;

private:
    qint64 m_size;
    qint64 m_stride;
};

TEST(TimeSeek, FewReadsInAHugeFile)
{
    // 5 GiB with a line every 64 KiB: 81920 lines, less than a day.
    const qint64 stride = 64 * 1024;
    StridedLog log(qint64(5) << 30, stride);
    TimeSeek seek(log, encodingUtf8, {});
    const auto result = seek.find(at(10, 30), false, 0);
    EXPECT_EQ(result.status, Status::Found);
    EXPECT_EQ(result.position, qint64(10 * 3600 + 30 * 60) * stride);
    // 15 samples for disorder, then the bisection: a few dozen at most.
    EXPECT_LE(result.reads, 72);
    EXPECT_LE(log.largest, qint64(1) << 20);
}

TEST(TimeSeek, AHundredMegabyteLineIsNeverReadWhole)
{
    const qint64 stride = 100 << 20;
    StridedLog log(stride * 4, stride);
    TimeSeek seek(log, encodingUtf8, {});
    const auto result = seek.find(at(0, 0, 2), false, 0);
    EXPECT_EQ(result.status, Status::Found);
    EXPECT_EQ(result.position, 2 * stride);
    EXPECT_LE(log.largest, qint64(1) << 20);
}

TEST(TimeSeek, ReadFailureAndStop)
{
    std::vector<qint64> starts;
    MemorySource source(makeLog(3000, QStringLiteral("\n"), &starts).toLatin1());
    source.failAt = source.size() / 2;
    TimeSeek failing(source, encodingUtf8, {});
    EXPECT_EQ(failing.find(at(10, 30), false, 0).status, Status::Failed);

    source.failAt = -1;
    std::stop_source stop;
    stop.request_stop();
    TimeSeek stopped(source, encodingUtf8, {}, stop.get_token());
    EXPECT_EQ(stopped.find(at(10, 30), false, 0).status, Status::Cancelled);
}

} // namespace
