#pragma once

#include "watch/uniquefd.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <optional>
#include <stdexcept>
#include <thread>

// A spool that cannot be made: the text says why, for the user.
class SpoolError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Copies a stream (standard input, a pipe) into a file of the cache folder
// as it comes, so that a tab follows it as a growing file and every tool of
// the viewer works on it unchanged. The file is the user's alone (0600 in a
// 0700 folder), is locked while this object lives and goes with it; one that
// a program which died left behind is removed at the next start.
class Spool final : public QObject
{
    Q_OBJECT

public:
    // Takes input over. Throws SpoolError.
    Spool(UniqueFd input, const QString &folder);
    ~Spool() override;
    Spool(const Spool &) = delete;
    Spool &operator=(const Spool &) = delete;

    const QString &path() const { return m_path; }
    qint64 written() const { return m_written.load(); }
    bool running() const { return !m_ended.load(); }

    // $XDG_CACHE_HOME/ravelin, ~/.cache/ravelin when that is unset.
    static QString cacheFolder();
    // Removes the spools no living program holds; returns how many.
    static int removeStale(const QString &folder);

Q_SIGNALS:
    // The stream ended; error is empty at a plain end of input, else it says
    // why the copy stopped (the disk full, a read failing). What was
    // written stays. Emitted from the copying thread.
    void ended(const QString &error);

private:
    void run();
    std::optional<QString> copy();

    QString m_path;
    UniqueFd m_input;
    UniqueFd m_file;
    UniqueFd m_stop; // eventfd: readable once this object goes
    std::atomic<qint64> m_written{0};
    std::atomic<bool> m_ended{false};
    std::thread m_thread;
};
