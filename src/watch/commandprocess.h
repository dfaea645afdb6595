#pragma once

#include "watch/uniquefd.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <stdexcept>

#include <sys/types.h>

class QSocketNotifier;
class QTimer;

// A command that cannot be started: the text says why, for the user.
class CommandError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A command line run by /bin/sh -c in a process group of its own, standard
// input closed, its standard output in a pipe for a Spool and its standard
// error read here. Going away ends the whole group (a pipeline, a command's
// own children): TERM, then KILL 2 s later for what is still there. The
// group leader is reaped only then, so its id cannot name another group
// when the signal goes.
class CommandProcess final : public QObject
{
    Q_OBJECT

public:
    // Throws CommandError.
    explicit CommandProcess(const QString &command, QObject *parent = nullptr);
    // Runs a program with these arguments, no shell between (the first is
    // the program, looked up in PATH): a file name of any bytes goes as it is.
    explicit CommandProcess(const QList<QByteArray> &arguments, QObject *parent = nullptr);
    ~CommandProcess() override;
    CommandProcess(const CommandProcess &) = delete;
    CommandProcess &operator=(const CommandProcess &) = delete;

    const QString &command() const { return m_command; }
    // The group's id, which is the shell's.
    pid_t processGroup() const { return m_pid; }
    // The read end of the command's standard output; once.
    UniqueFd takeOutput() { return std::move(m_output); }
    bool running() const { return m_status < 0; }
    // As waitpid gives it; -1 while running.
    int status() const { return m_status; }
    // The end of what the command wrote to its standard error (64 KiB at most).
    const QByteArray &errorOutput() const { return m_errors; }

    // "exited with status 1", "killed by signal 9 (Killed)".
    static QString describe(int status);
    static constexpr int killAfterMs = 2000;

Q_SIGNALS:
    // The last whole line the command wrote to its standard error.
    void errorLine(const QString &line);
    void finished(int status);

private:
    void start(const char *program, char *const argv[], bool searchPath);
    void readErrors();
    void checkExit();

    QString m_command;
    pid_t m_pid = -1;
    int m_status = -1;
    UniqueFd m_output;
    UniqueFd m_errorPipe;
    UniqueFd m_pidFd;
    QByteArray m_errors;
    QSocketNotifier *m_errorNotifier = nullptr;
    QSocketNotifier *m_exitNotifier = nullptr;
    QTimer *m_exitPoll = nullptr; // where pidfd_open is missing
};
