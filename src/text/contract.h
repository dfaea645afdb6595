#pragma once

#include <QString>

#include <stdexcept>

// A violated internal contract ("assertion failure"). It names the operation
// and the unit; the application's general error handler shows it. It never
// aborts the process.
class ContractError : public std::runtime_error
{
public:
    ContractError(const QString &message, const QString &unit)
        : std::runtime_error(
              (message + QStringLiteral(" (") + unit + QStringLiteral(")")).toStdString()),
          m_message(message), m_unit(unit)
    {}
    const QString &message() const { return m_message; }
    const QString &unit() const { return m_unit; }

private:
    QString m_message;
    QString m_unit;
};

// Throws ContractError unless the condition holds.
inline void require(bool condition, const QString &message, const QString &unit)
{
    if (!condition)
        throw ContractError(message, unit);
}
