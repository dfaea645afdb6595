#pragma once

#include <QString>

#include <stdexcept>

// A search that cannot go on for a reason the user must see: a pattern that
// does not compile, a read that fails, an encoding or a direction the engine
// cannot serve, a file that does not open. The viewer's callers show
// message() in their "Search error" box. Violated contracts of the caller are
// ContractError (text/contract.h) instead.
class SearchError : public std::runtime_error
{
public:
    explicit SearchError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};
