#include "watch/commandprocess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <optional>

#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray readAll(int fd)
{
    QByteArray bytes;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, got);
    return bytes;
}

// The exit status once the command ended; the limit only turns a missing
// report into a failure.
std::optional<int> waitForExit(CommandProcess &process, int limitMs = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (process.running() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return process.running() ? std::nullopt : std::optional<int>(process.status());
}

// Processes of the group still alive; a zombie is dead, and reaping an
// orphan is its new parent's business (a container's init may be slow at it).
int livingMembers(pid_t group)
{
    int living = 0;
    QDir proc(QStringLiteral("/proc"));
    for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        entry.toInt(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // pid (comm) state ppid pgrp ...: comm may hold spaces, not ')'.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields[2].toInt() == group && fields[0] != "Z")
            ++living;
    }
    return living;
}

// Whether every process of the group ended within limitMs.
bool groupEnds(pid_t group, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (livingMembers(group) > 0 && clock.elapsed() < limitMs)
        ::usleep(20000);
    return livingMembers(group) == 0;
}

TEST(CommandProcess, OutputErrorsAndExitStatusAreKeptApart)
{
    CommandProcess process(
        QStringLiteral("printf 'one\\ntwo\\n'; echo 'it went wrong' >&2; exit 3"));
    QString lastError;
    QObject::connect(&process, &CommandProcess::errorLine,
                     [&](const QString &line) { lastError = line; });
    UniqueFd output = process.takeOutput();
    EXPECT_EQ(readAll(output.get()), "one\ntwo\n");
    const std::optional<int> status = waitForExit(process);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(CommandProcess::describe(*status), QStringLiteral("exited with status 3"));
    EXPECT_EQ(lastError, QStringLiteral("it went wrong"));
    EXPECT_EQ(process.errorOutput(), "it went wrong\n");
}

TEST(CommandProcess, ACommandThatDoesNotExistSaysSo)
{
    CommandProcess process(QStringLiteral("no-such-command-here --flag"));
    UniqueFd output = process.takeOutput();
    EXPECT_TRUE(readAll(output.get()).isEmpty());
    const std::optional<int> status = waitForExit(process);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(WEXITSTATUS(*status), 127);
    EXPECT_TRUE(process.errorOutput().contains("not found")) << process.errorOutput().constData();
}

// Closing the tab ends every process of the command, also one that shrugs
// off TERM, and a command whose reader went gets SIGPIPE as in a terminal,
// though this program ignores it.
TEST(CommandProcess, GoingAwayEndsTheWholeGroup)
{
    const struct
    {
        const char *what;
        const char *command;
        int limitMs;
    } cases[] = {
        {"a pipeline", "sleep 30 | cat", 1500},
        {"TERM ignored: KILL after the grace time", "trap '' TERM; sleep 30 & sleep 30; wait",
         CommandProcess::killAfterMs + 1500},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        auto process = std::make_unique<CommandProcess>(QString::fromLatin1(c.command));
        const pid_t group = process->processGroup();
        ::usleep(100000); // let the shell start its children
        EXPECT_GE(livingMembers(group), 2) << "running";
        process.reset();
        EXPECT_TRUE(groupEnds(group, c.limitMs));
    }

    const auto old = std::signal(SIGPIPE, SIG_IGN);
    CommandProcess yes(QStringLiteral("exec yes"));
    std::signal(SIGPIPE, old);
    yes.takeOutput().reset(); // nobody reads
    const std::optional<int> status = waitForExit(yes);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFSIGNALED(*status)) << qPrintable(CommandProcess::describe(*status));
    EXPECT_EQ(WTERMSIG(*status), SIGPIPE);
}

} // namespace
