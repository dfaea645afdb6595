#include "benchcommon.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

// The JSON object of the one row Report prints.
QJsonObject reported(const bench::Row &row)
{
    testing::internal::CaptureStdout();
    bench::report(row);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string prefix = "BENCH ";
    EXPECT_EQ(out.rfind(prefix, 0), 0u) << out;
    return QJsonDocument::fromJson(QByteArray::fromStdString(out.substr(prefix.size()))).object();
}

TEST(BenchReport, AFigureThatWasNotMeasuredIsNeverMet)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case
    {
        const char *name;
        bench::Row row;
        bool valid;
        bool met;
    };
    const Case cases[] = {
        {"within the goal", {"f", 2, "ms", 0, {}, 4, false, "<= 4 ms"}, true, true},
        {"over the goal", {"f", 5, "ms", 0, {}, 4, false, "<= 4 ms"}, true, false},
        {"zero time", {"f", 0, "ms", 0, {}, 4, false, "<= 4 ms"}, false, false},
        {"negative time", {"f", -1, "ms", 0, {}, 4, false, "<= 4 ms"}, false, false},
        {"not a number", {"f", nan, "ms", 0, {}, 4, false, "<= 4 ms"}, false, false},
        {"ratio without its peer", {"f", 1, "ms", 0, {}, 1.5, true, "ratio <= 1.5"}, false, false},
        {"ratio within", {"f", 1, "ms", 1, "p", 1.5, true, "ratio <= 1.5"}, true, true},
        {"count of zero", {"f", 0, "reads", 0, {}, 1, false, "<= 1", true}, true, true},
        {"info row", {"f", 3, "ms", 0, {}, 0, false, "(info)"}, true, true},
        {"info row with nothing", {"f", 0, "ms", 0, {}, 0, false, "(info)"}, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QJsonObject o = reported(c.row);
        EXPECT_EQ(o.value(QStringLiteral("valid")).toBool(), c.valid);
        EXPECT_EQ(o.value(QStringLiteral("met")).toBool(), c.met);
    }
    EXPECT_EQ(bench::exitCode(), 1) << "a missing figure fails the program";
}

} // namespace
