#pragma once

#include "watch/uniquefd.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <stdexcept>
#include <thread>

struct sd_journal;

// The journal cannot be read here: the text says why, for the user.
class JournalError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Writes the system journal into a pipe as text lines, oldest first, then
// each new entry as it comes, until it goes. One line an entry:
//   2026-12-09T10:30:15.123456+0100 host sshd[812]: WARNING message
// with the priority as a word the default colour rules know (ERROR for err
// and worse, WARNING, NOTICE, INFO, DEBUG).
class JournalReader final : public QObject
{
public:
    // The local system journal, or the journal files of folder. Throws
    // JournalError when there is no entry to read.
    explicit JournalReader(UniqueFd output, const QString &folder = {});
    ~JournalReader() override;
    JournalReader(const JournalReader &) = delete;
    JournalReader &operator=(const JournalReader &) = delete;

    struct Entry
    {
        quint64 realtimeUsec = 0;
        QByteArray host;
        QByteArray identifier;
        QByteArray pid;
        int priority = 6;
        QByteArray message;
    };
    // One line with its line break, in the local time zone.
    static QByteArray format(const Entry &entry);

private:
    void run();
    bool writeOut(QByteArray &pending);

    sd_journal *m_journal = nullptr;
    UniqueFd m_output;
    UniqueFd m_stop; // eventfd: readable once this object goes
    std::thread m_thread;
};
