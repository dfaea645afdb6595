#pragma once

#include <QString>

#include <stdexcept>

// A watcher cannot be armed; the caller of WatchFile sees it.
class FileWatchError : public std::runtime_error
{
public:
    explicit FileWatchError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};
