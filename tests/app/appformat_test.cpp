#include "app/appformat.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <cstdlib>
#include <ctime>

namespace {

TEST(FormatFileSizeTest, RoundsToTheNearestTenthBelowTenAndWholeAbove)
{
    const struct
    {
        qint64 size;
        const char *text;
    } cases[] = {
        {0, "0 bytes"},
        {1023, "1023 bytes"},
        {1024, "1.0 Kb"},
        {1075, "1.0 Kb"},     // 1.0498
        {1076, "1.1 Kb"},     // 1.0508
        {1536, "1.5 Kb"},     // a tie goes up
        {10188, "9.9 Kb"},    // 9.949
        {10189, "10 Kb"},     // 9.950: ten tenths make a whole
        {15871, "15 Kb"},     // 15.499
        {15872, "16 Kb"},     // 15.5
        {1048063, "1023 Kb"}, // 1023.499
        {1048064, "1.0 Mb"},  // 1023.5 Kb would show as 1024 Kb
        {1048575, "1.0 Mb"},  // one byte short of 1 Mb
        {1048576, "1.0 Mb"},
        {1073741823, "1.0 Gb"}, // one byte short of 1 Gb
        {1073741824, "1.0 Gb"},
        {2147035571, "2.0 Gb"}, // showed as "1 Gb"
        {2147483648, "2.0 Gb"},
        {1879048191, "1.7 Gb"},         // 1.7499
        {qint64(1535) << 20, "1.5 Gb"}, // 1.499
        {qint64(5) << 40, "5120 Gb"},   // no larger unit
        {std::numeric_limits<qint64>::max(), "8589934592 Gb"},
        {-1, "-1 bytes"},
        {-1048576, "-1048576 bytes"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(formatFileSize(c.size, QStringLiteral(".")), QString::fromUtf8(c.text));
    }
    EXPECT_EQ(formatFileSize(1536, QStringLiteral(",")), QStringLiteral("1,5 Kb"));
    EXPECT_EQ(formatFileSize(1536), "1" + QLocale::system().decimalPoint() + "5 Kb");
}

TEST(ShortenTextTest, CutsToExactlyMaxLenCharacters)
{
    const QString name25 = QStringLiteral("abcdefghijklmnopqrstuvwxy");
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // one character, two UTF-16 units
    const struct
    {
        const char *name;
        QString text;
        int maxLen;
        QString expected;
    } cases[] = {
        {"short", QStringLiteral("app.log"), 20, QStringLiteral("app.log")},
        {"exactly the limit", name25.left(20), 20, name25.left(20)},
        {"one over", name25.left(21), 20, name25.left(19) + QChar(0x2026)},
        {"25 characters", name25, 20, name25.left(19) + QChar(0x2026)},
        {"limit one", QStringLiteral("ab"), 1, QString(QChar(0x2026))},
        {"limit zero", QStringLiteral("ab"), 0, QString()},
        {"empty", QString(), 0, QString()},
        {"pair counts once", emoji.repeated(20), 20, emoji.repeated(20)},
        {"pair is not split", QStringLiteral("a") + emoji + emoji, 2,
         QStringLiteral("a") + QChar(0x2026)},
        {"pair kept before the cut", emoji + emoji + emoji, 3, emoji + emoji + emoji},
        {"pairs cut whole", emoji.repeated(4), 3, emoji + emoji + QChar(0x2026)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(shortenText(c.text, c.maxLen), c.expected);
    }
}

class FormatFileTimeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char *tz = std::getenv("TZ");
        m_hadTz = tz != nullptr;
        if (tz)
            m_oldTz = tz;
    }
    void TearDown() override
    {
        if (m_hadTz)
            setenv("TZ", m_oldTz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static void setTz(const char *tz)
    {
        setenv("TZ", tz, 1);
        tzset();
    }

private:
    bool m_hadTz = false;
    std::string m_oldTz;
};

constexpr qint64 kNs = 1000000000;

TEST_F(FormatFileTimeTest, FormatsLocalTimeWithTheGivenSeparators)
{
    const struct
    {
        const char *tz;
        qint64 ns;
        const char *text;
    } cases[] = {
        {"UTC", 1700000000 * kNs + 999999999, "14.11.2023 22:13:20"},
        {"UTC", 86400 * kNs, "02.01.1970 00:00:00"},
        {"UTC", -1, "31.12.1969 23:59:59"},
        {"<+03>-3", 1700000000 * kNs, "15.11.2023 01:13:20"},
        {"<-05>5", 1700000000 * kNs, "14.11.2023 17:13:20"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.tz);
        setTz(c.tz);
        EXPECT_EQ(formatFileTime(c.ns, QStringLiteral("."), QStringLiteral(":")),
                  QString::fromUtf8(c.text));
    }
    setTz("UTC");
    EXPECT_EQ(formatFileTime(1700000000 * kNs, QStringLiteral("/"), QStringLiteral("-")),
              QStringLiteral("14/11/2023 22-13-20"));
    EXPECT_EQ(formatFileTime(0, QStringLiteral("."), QStringLiteral(":")), QString());
}

TEST_F(FormatFileTimeTest, UsesTheSystemLocaleSeparators)
{
    setTz("UTC");
    const QLocale system = QLocale::system();
    const QString date = dateSeparator(system);
    const QString time = timeSeparator(system);
    EXPECT_EQ(formatFileTime(1700000000 * kNs),
              "14" + date + "11" + date + "2023 22" + time + "13" + time + "20");
    EXPECT_EQ(formatFileTime(0), QString());
}

TEST(LocaleSeparatorTest, ComesFromTheShortFormats)
{
    const struct
    {
        QLocale locale;
        const char *date;
        const char *time;
    } cases[] = {
        {QLocale(QLocale::German, QLocale::Germany), ".", ":"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "/", ":"},
        {QLocale(QLocale::Swedish, QLocale::Sweden), "-", ":"},
        {QLocale(QLocale::Finnish, QLocale::Finland), ".", "."},
        {QLocale(QLocale::French, QLocale::Canada), "-", ":"}, // "HH 'h' mm"
        {QLocale::c(), "/", ":"},                              // "d MMM yyyy"
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(c.locale.name()));
        EXPECT_EQ(dateSeparator(c.locale), QString::fromUtf8(c.date));
        EXPECT_EQ(timeSeparator(c.locale), QString::fromUtf8(c.time));
    }
}

} // namespace
