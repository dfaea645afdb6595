#include "viewer/gototarget.h"

#include <gtest/gtest.h>

namespace {

using Kind = GoToTarget::Kind;
constexpr qint64 kDay = 86400000;

qint64 wall(int y, int mo, int d, int h, int mi, int s = 0)
{
    return *daysFromCivil(y, mo, d) * kDay + ((h * 60 + mi) * 60 + s) * 1000;
}

TEST(GoToTarget, Forms)
{
    struct Case
    {
        const char16_t *typed;
        Kind kind;
        qint64 value; // line, offset, or wall milliseconds
        double percent = 0;
    };
    const Case cases[] = {
        {u"12345", Kind::Line, 12345},
        {u"  7 ", Kind::Line, 7},
        {u"50%", Kind::Percent, 0, 50},
        {u"12.5 %", Kind::Percent, 0, 12.5},
        {u"100%", Kind::Percent, 0, 100},
        {u"@123456", Kind::Offset, 123456},
        {u"@0x1e240", Kind::Offset, 0x1e240},
        {u"@0X1E240", Kind::Offset, 0x1e240},
        {u"@ 42", Kind::Offset, 42},
        {u"10:30", Kind::Time, (10 * 60 + 30) * 60000},
        {u"9:05", Kind::Time, (9 * 60 + 5) * 60000},
        {u"10:30:15", Kind::Time, ((10 * 60 + 30) * 60 + 15) * 1000},
        {u"10:30:15.250", Kind::Time, ((10 * 60 + 30) * 60 + 15) * 1000 + 250},
        {u"2026-12-09 10:30", Kind::Time, wall(2026, 12, 9, 10, 30)},
        {u"2026-12-09T10:30:15", Kind::Time, wall(2026, 12, 9, 10, 30, 15)},
        {u"2026-12-09", Kind::Time, wall(2026, 12, 9, 0, 0)},
    };
    for (const Case &c : cases) {
        const QString typed = QString::fromUtf16(c.typed);
        SCOPED_TRACE(typed.toStdString());
        const GoToTarget target = parseGoToTarget(typed);
        ASSERT_EQ(target.kind, c.kind) << target.error.toStdString();
        EXPECT_TRUE(target.error.isEmpty());
        switch (c.kind) {
        case Kind::Line:
            EXPECT_EQ(target.line, c.value);
            break;
        case Kind::Offset:
            EXPECT_EQ(target.offset, c.value);
            break;
        case Kind::Percent:
            EXPECT_DOUBLE_EQ(target.percent, c.percent);
            break;
        case Kind::Time:
            EXPECT_EQ(target.time.wallMs, c.value);
            EXPECT_EQ(target.dateless, c.value < kDay);
            break;
        case Kind::Invalid:
            break;
        }
    }
}

TEST(GoToTarget, TimeWithZone)
{
    const GoToTarget target = parseGoToTarget(u"2026-12-09T10:30:15+01:00");
    ASSERT_EQ(target.kind, Kind::Time);
    EXPECT_TRUE(target.time.hasZone);
    EXPECT_EQ(target.time.offsetSeconds, 3600);
    EXPECT_FALSE(target.dateless);
}

TEST(GoToTarget, BadInputNamesTheForms)
{
    const char16_t *bad[] = {u"abc",
                             u"10:3",
                             u"25:00",
                             u"2026-12-32 10:30",
                             u"12abc",
                             u"@",
                             u"@0x",
                             u"@12g",
                             u"@-5",
                             u"5%%",
                             u"-3",
                             u"1e5",
                             u"2026-12-09 10:30 trailing"};
    for (const char16_t *typed : bad) {
        SCOPED_TRACE(QString::fromUtf16(typed).toStdString());
        const GoToTarget target = parseGoToTarget(QString::fromUtf16(typed));
        EXPECT_EQ(target.kind, Kind::Invalid);
        EXPECT_TRUE(target.error.contains(QStringLiteral("a line number (12345)")))
            << target.error.toStdString();
        EXPECT_TRUE(target.error.contains(QStringLiteral("10:30")));
    }
}

TEST(GoToTarget, OutOfRange)
{
    const struct
    {
        const char16_t *typed;
        const char *says;
    } cases[] = {
        {u"0", "numbered from 1"},
        {u"", "a line number"},
        {u"101%", "0% to 100%"},
        {u"99999999999999999999", "too large"},
        {u"@0xffffffffffffffffff", "too large"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.says);
        const GoToTarget target = parseGoToTarget(QString::fromUtf16(c.typed));
        EXPECT_EQ(target.kind, Kind::Invalid);
        EXPECT_TRUE(target.error.contains(QLatin1String(c.says))) << target.error.toStdString();
    }
}

TEST(GoToTarget, ByteIn)
{
    GoToTarget percent;
    percent.kind = Kind::Percent;
    percent.percent = 50;
    EXPECT_EQ(percent.byteIn(1001, 1), 500);
    EXPECT_EQ(percent.byteIn(1002, 2), 500);
    EXPECT_EQ(percent.byteIn(1006, 2), 502); // 503 falls inside a unit
    percent.percent = 100;
    EXPECT_EQ(percent.byteIn(1000, 1), 999); // on the last byte, not past it
    EXPECT_EQ(percent.byteIn(0, 1), 0);
    // Large files: no overflow of the share.
    EXPECT_EQ(percent.byteIn(qint64(10) << 40, 1), (qint64(10) << 40) - 1);

    GoToTarget offset;
    offset.kind = Kind::Offset;
    offset.offset = 5000;
    EXPECT_EQ(offset.byteIn(100, 1), 99);
    offset.offset = 7;
    EXPECT_EQ(offset.byteIn(100, 2), 6);
}

} // namespace
