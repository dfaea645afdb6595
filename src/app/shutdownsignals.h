#pragma once

#include "watch/uniquefd.h"

#include <array>
#include <functional>
#include <memory>

#include <signal.h>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a call on the GUI thread, so that
// the program can end as on Exit instead of dying with its changes unsaved.
// The handler only writes the signal's number into a pipe, whose other end
// a socket notifier reads. After the first signal the earlier handlers are
// back, so that a second one ends a program that hangs while closing.
// One instance at a time.
class ShutdownSignals final
{
public:
    static constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

    explicit ShutdownSignals(std::function<void(int signal)> onSignal);
    ~ShutdownSignals();
    ShutdownSignals(const ShutdownSignals &) = delete;
    ShutdownSignals &operator=(const ShutdownSignals &) = delete;

private:
    void receive();
    void restoreHandlers();

    std::function<void(int)> m_onSignal;
    UniqueFd m_read;
    UniqueFd m_write;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::array<struct sigaction, kSignals.size()> m_previous{};
    bool m_installed = false;
};
