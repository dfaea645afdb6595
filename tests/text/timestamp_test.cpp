#include "text/timestamp.h"

#include <QString>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

constexpr qint64 kDay = 86400000;

qint64 wall(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return *daysFromCivil(y, mo, d) * kDay + ((h * 60 + mi) * 60 + s) * 1000 + ms;
}

// Unix times read on the local clock: pinned to UTC for the table.
class TimestampTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char *tz = std::getenv("TZ");
        m_savedTz = tz ? QByteArray(tz) : QByteArray();
        m_hadTz = tz != nullptr;
        qputenv("TZ", "UTC");
        tzset();
    }
    void TearDown() override
    {
        if (m_hadTz)
            qputenv("TZ", m_savedTz);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_savedTz;
    bool m_hadTz = false;
};

TEST(TimestampCivil, DaysFromCivil)
{
    EXPECT_EQ(daysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(daysFromCivil(2000, 3, 1), 11017);
    EXPECT_EQ(daysFromCivil(1969, 12, 31), -1);
    EXPECT_EQ(daysFromCivil(2024, 2, 29), 19782);
    EXPECT_FALSE(daysFromCivil(2026, 2, 29));
    EXPECT_FALSE(daysFromCivil(1900, 2, 29));
    EXPECT_FALSE(daysFromCivil(2026, 13, 1));
    EXPECT_FALSE(daysFromCivil(2026, 4, 31));
}

TEST_F(TimestampTest, LineForms)
{
    const TimeContext context{2026, 12};
    struct Case
    {
        const char *name;
        const char16_t *line;
        qint64 wallMs;
        bool hasZone;
        int offset;
    };
    const Case cases[] = {
        {"iso T", u"2026-12-09T10:30:15 x", wall(2026, 12, 9, 10, 30, 15), false, 0},
        {"iso space", u"2026-12-09 10:30:15 INFO", wall(2026, 12, 9, 10, 30, 15), false, 0},
        {"iso minutes only", u"2026-12-09 10:30 go", wall(2026, 12, 9, 10, 30, 0), false, 0},
        {"iso fraction", u"2026-12-09 10:30:15.123456 x", wall(2026, 12, 9, 10, 30, 15, 123), false,
         0},
        {"iso comma fraction", u"2026-12-09 10:30:15,5 x", wall(2026, 12, 9, 10, 30, 15, 500),
         false, 0},
        {"iso Z", u"2026-12-09T10:30:15Z x", wall(2026, 12, 9, 10, 30, 15), true, 0},
        {"iso offset colon", u"2026-12-09T10:30:15+01:00", wall(2026, 12, 9, 10, 30, 15), true,
         3600},
        {"iso offset plain", u"2026-12-09T10:30:15-0530 x", wall(2026, 12, 9, 10, 30, 15), true,
         -19800},
        {"iso offset hours", u"2026-12-09T10:30:15.1+02 x", wall(2026, 12, 9, 10, 30, 15, 100),
         true, 7200},
        {"iso offset after blank", u"2026-12-09 10:30:15 +0100 x", wall(2026, 12, 9, 10, 30, 15),
         true, 3600},
        {"dash after blank is text", u"2026-12-09 10:30:15 - x", wall(2026, 12, 9, 10, 30, 15),
         false, 0},
        {"iso in bracket", u"[2026-12-09 10:30:15] x", wall(2026, 12, 9, 10, 30, 15), false, 0},
        {"leap second", u"2016-12-31T23:59:60Z", wall(2016, 12, 31, 23, 59, 59), true, 0},
        {"syslog padded day", u"Dec  9 10:30:15 host sshd[1]: x", wall(2026, 12, 9, 10, 30, 15),
         false, 0},
        {"syslog two-digit day", u"Nov 19 08:00:01 host x", wall(2026, 11, 19, 8, 0, 1), false, 0},
        {"apache at start", u"[09/Dec/2026:10:30:15 +0000] GET", wall(2026, 12, 9, 10, 30, 15),
         true, 0},
        {"common log format", u"10.0.0.1 - frank [09/Dec/2026:10:30:15 -0700] \"GET / HTTP/1.0\"",
         wall(2026, 12, 9, 10, 30, 15), true, -25200},
        {"nginx error bracket skipped", u"[error] [09/Dec/2026:10:30:15 +0100] x",
         wall(2026, 12, 9, 10, 30, 15), true, 3600},
        {"unix seconds", u"1765276215 started", wall(2025, 12, 9, 10, 30, 15), true, 0},
        {"unix seconds fraction", u"1765276215.250 x", wall(2025, 12, 9, 10, 30, 15, 250), true, 0},
        {"unix milliseconds", u"1765276215250 x", wall(2025, 12, 9, 10, 30, 15, 250), true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto time = readLineTime(QStringView(c.line), context);
        ASSERT_TRUE(time);
        EXPECT_EQ(time->wallMs, c.wallMs);
        EXPECT_EQ(time->hasZone, c.hasZone);
        EXPECT_EQ(time->offsetSeconds, c.offset);
    }
}

TEST_F(TimestampTest, LinesWithoutTime)
{
    const TimeContext context{2026, 12};
    const char16_t *lines[] = {
        u"",
        u"    at com.example.Foo.bar(Foo.java:10)",
        u"2026-12-09",                   // a date is no time
        u"2026-13-09 10:30:15 x",        // no month 13
        u"2026-02-30 10:30:15 x",        // no such day
        u"2026-12-09 24:00:00 x",        // no hour 24
        u"2026-12-09 10:61 x",           // no minute 61
        u"12345 lines read",             // too few digits for a Unix time
        u"17652762150 x",                // eleven digits
        u"0765276215 x",                 // a leading zero is no Unix time
        u"Dez  9 10:30:15 host x",       // not an English month
        u"Dec 9 10:30 host x",           // syslog carries seconds
        u"[09/Foo/2026:10:30:15 +0000]", // no such month
        u"x [09/Dec/2026 10:30:15]",     // a blank for the colon
    };
    for (const char16_t *line : lines) {
        SCOPED_TRACE(QString::fromUtf16(line).toStdString());
        EXPECT_FALSE(readLineTime(QStringView(line), context));
    }
}

TEST(Timestamp, SyslogYearFromFileDate)
{
    // A file last written in January holds December lines of the year before.
    const auto december = readLineTime(u"Dec 31 23:59:59 h x", TimeContext{2027, 1});
    const auto january = readLineTime(u"Jan  1 00:00:01 h x", TimeContext{2027, 1});
    ASSERT_TRUE(december && january);
    EXPECT_EQ(december->wallMs, wall(2026, 12, 31, 23, 59, 59));
    EXPECT_EQ(january->wallMs, wall(2027, 1, 1, 0, 0, 1));
    // 29 February only exists in a leap year.
    EXPECT_FALSE(readLineTime(u"Feb 29 10:00:00 h x", TimeContext{2026, 3}));
    EXPECT_TRUE(readLineTime(u"Feb 29 10:00:00 h x", TimeContext{2028, 3}));
}

TEST(Timestamp, OnlyTheLineStartIsRead)
{
    // A time far into a long line is not its time.
    const QString line = QString(600, u'x') + QStringLiteral(" [09/Dec/2026:10:30:15 +0000]");
    EXPECT_FALSE(readLineTime(line, TimeContext{}));
}

TEST(Timestamp, CompareKey)
{
    LogTime zoned{wall(2026, 12, 9, 12, 0, 0), true, 3600}; // 11:00 UTC
    LogTime plain{wall(2026, 12, 9, 12, 0, 0), false, 0};
    LogTime utcTarget{wall(2026, 12, 9, 11, 0, 0), true, 0};
    LogTime plainTarget{wall(2026, 12, 9, 11, 0, 0), false, 0};
    // Both zoned: the same instant on the target's clock.
    EXPECT_EQ(compareKey(zoned, utcTarget), utcTarget.wallMs);
    // Either without a zone: the digits as written.
    EXPECT_EQ(compareKey(zoned, plainTarget), zoned.wallMs);
    EXPECT_EQ(compareKey(plain, utcTarget), plain.wallMs);
    EXPECT_EQ((LogTime{-1, false, 0}.day()), -1);
    EXPECT_EQ(plain.day(), *daysFromCivil(2026, 12, 9));
}

} // namespace
