#include "watch/journalreader.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

namespace {

// One line an entry, the priority as a word the default colour rules know.
TEST(JournalReader, EntriesBecomeLinesTheRulesColour)
{
    const QByteArray oldZone = qgetenv("TZ");
    qputenv("TZ", "UTC");
    tzset();
    const quint64 usec = 1765276215123456ull; // 2025-12-09T10:30:15.123456Z
    const struct
    {
        JournalReader::Entry entry;
        QByteArray line;
    } cases[] = {
        {{usec, "web1", "sshd", "812", 4, "Failed password"},
         "2025-12-09T10:30:15.123456+0000 web1 sshd[812]: WARNING Failed password\n"},
        {{usec, "web1", "kernel", "", 3, "I/O error"},
         "2025-12-09T10:30:15.123456+0000 web1 kernel: ERROR I/O error\n"},
        {{usec, "web1", "app", "9", 2, "disk gone"},
         "2025-12-09T10:30:15.123456+0000 web1 app[9]: ERROR (critical) disk gone\n"},
        {{1000000, "", "", "", 42, "two\nlines\n"},
         "1970-01-01T00:00:01.000000+0000 localhost unknown: INFO two\n    lines\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line.constData());
        EXPECT_EQ(JournalReader::format(c.entry), c.line);
    }
    if (oldZone.isEmpty())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldZone);
    tzset();
}

TEST(JournalReader, NoJournalIsSaidPlainly)
{
    QTemporaryDir empty;
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    ::close(fds[0]);
    try {
        JournalReader reader(UniqueFd(fds[1]), empty.path());
        FAIL() << "an empty folder has no journal";
    } catch (const JournalError &e) {
        EXPECT_TRUE(QByteArray(e.what()).startsWith("There is no system journal to show"))
            << e.what();
    }
}

} // namespace
