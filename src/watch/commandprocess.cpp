#include "watch/commandprocess.h"

#include "text/fileutil.h"

#include "text/guard.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr qsizetype kErrorsKept = 64 * 1024;
constexpr int kLineShown = 300;

// Ends what is left of the group in the background: TERM now, KILL once the
// grace time is over, and the leader reaped.
void endGroup(pid_t leader)
{
    ::kill(-leader, SIGTERM);
    std::thread([leader] {
        bool reaped = false;
        for (int waited = 0; waited < CommandProcess::killAfterMs; waited += 50) {
            if (!reaped)
                reaped = ::waitpid(leader, nullptr, WNOHANG) == leader;
            // Once the leader is reaped, the group lives only while members do.
            if (reaped && ::kill(-leader, 0) != 0)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(-leader, SIGKILL);
        if (!reaped)
            ::waitpid(leader, nullptr, 0);
    }).detach();
}

} // namespace

CommandProcess::CommandProcess(const QString &command, QObject *parent)
    : QObject(parent), m_command(command)
{
    QByteArray line = command.toUtf8();
    char sh[] = "sh";
    char dashC[] = "-c";
    char *argv[] = {sh, dashC, line.data(), nullptr};
    start("/bin/sh", argv, false);
}

CommandProcess::CommandProcess(const QList<QByteArray> &arguments, QObject *parent)
    : QObject(parent)
{
    if (arguments.isEmpty())
        throw CommandError("No program to run");
    QList<QByteArray> copies = arguments;
    std::vector<char *> argv;
    for (QByteArray &argument : copies) {
        argv.push_back(argument.data());
        m_command += (m_command.isEmpty() ? QString() : QStringLiteral(" ")) +
                     QString::fromLocal8Bit(argument);
    }
    argv.push_back(nullptr);
    start(copies.front().constData(), argv.data(), true);
}

void CommandProcess::start(const char *program, char *const argv[], bool searchPath)
{
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0)
        throw CommandError(
            QStringLiteral("Cannot make a pipe: %1").arg(errnoText(errno)).toStdString());
    UniqueFd outRead(out[0]), outWrite(out[1]);
    if (::pipe2(err, O_CLOEXEC) != 0)
        throw CommandError(
            QStringLiteral("Cannot make a pipe: %1").arg(errnoText(errno)).toStdString());
    UniqueFd errRead(err[0]), errWrite(err[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errWrite.get(), STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0); // a group of its own, to end it whole
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    // What this program ignores, a command must not: a closed tab ends `yes`.
    for (const int signal : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP})
        sigaddset(&signals, signal);
    posix_spawnattr_setsigdefault(&attributes, &signals);

    const int spawned = searchPath
                            ? ::posix_spawnp(&m_pid, program, &actions, &attributes, argv, environ)
                            : ::posix_spawn(&m_pid, program, &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        m_pid = -1;
        throw CommandError(QStringLiteral("Cannot run %1: %2")
                               .arg(QString::fromLocal8Bit(program), errnoText(spawned))
                               .toStdString());
    }

    m_output = std::move(outRead);
    m_errorPipe = std::move(errRead);
    ::fcntl(m_errorPipe.get(), F_SETFL, ::fcntl(m_errorPipe.get(), F_GETFL) | O_NONBLOCK);
    m_errorNotifier = new QSocketNotifier(m_errorPipe.get(), QSocketNotifier::Read, this);
    connect(m_errorNotifier, &QSocketNotifier::activated, this, guarded([this] { readErrors(); }));

    m_pidFd.reset(int(::syscall(SYS_pidfd_open, m_pid, 0)));
    if (m_pidFd.valid()) {
        m_exitNotifier = new QSocketNotifier(m_pidFd.get(), QSocketNotifier::Read, this);
        connect(m_exitNotifier, &QSocketNotifier::activated, this,
                guarded([this] { checkExit(); }));
    } else {
        m_exitPoll = new QTimer(this);
        connect(m_exitPoll, &QTimer::timeout, this, guarded([this] { checkExit(); }));
        m_exitPoll->start(100);
    }
}

CommandProcess::~CommandProcess()
{
    if (m_pid > 0)
        endGroup(m_pid);
}

void CommandProcess::readErrors()
{
    char buffer[8192];
    QByteArray fresh;
    for (;;) {
        const ssize_t got = ::read(m_errorPipe.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0 || errno != EAGAIN)
                m_errorNotifier->setEnabled(false); // the end, or a pipe that failed
            break;
        }
        fresh.append(buffer, got);
    }
    if (fresh.isEmpty())
        return;
    m_errors += fresh;
    if (m_errors.size() > kErrorsKept)
        m_errors.remove(0, m_errors.size() - kErrorsKept);
    const qsizetype end = m_errors.lastIndexOf('\n');
    if (end < m_errors.size() - fresh.size())
        return; // no line ended in what came now
    const qsizetype start = m_errors.lastIndexOf('\n', end - 1) + 1;
    const QString text = QString::fromUtf8(m_errors.mid(start, end - start)).left(kLineShown);
    if (!text.trimmed().isEmpty())
        Q_EMIT errorLine(text);
}

void CommandProcess::checkExit()
{
    siginfo_t info{};
    // Not reaped: the leader's id keeps naming its group until it goes.
    if (::waitid(P_PID, id_t(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0)
        return;
    if (m_exitNotifier)
        m_exitNotifier->setEnabled(false);
    if (m_exitPoll)
        m_exitPoll->stop();
    m_status = info.si_code == CLD_EXITED
                   ? (info.si_status & 0xff) << 8
                   : (info.si_status & 0x7f) | (info.si_code == CLD_DUMPED ? 0x80 : 0);
    if (m_errorNotifier->isEnabled())
        readErrors(); // what it said last, before the exit is told
    Q_EMIT finished(m_status);
}

QString CommandProcess::describe(int status)
{
    if (WIFEXITED(status))
        return QStringLiteral("exited with status %1").arg(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return QStringLiteral("killed by signal %1 (%2)")
            .arg(WTERMSIG(status))
            .arg(QString::fromLocal8Bit(strsignal(WTERMSIG(status))));
    return QStringLiteral("ended with status %1").arg(status);
}
