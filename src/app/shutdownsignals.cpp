#include "app/shutdownsignals.h"

#include "text/contract.h"
#include "text/guard.h"

#include <QSocketNotifier>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The write end of the pipe, for the handler; -1 while none is installed.
volatile sig_atomic_t g_writeFd = -1;

extern "C" void onShutdownSignal(int signal)
{
    // Only async-signal-safe calls here; errno belongs to the code interrupted.
    const int savedErrno = errno;
    const int fd = g_writeFd;
    if (fd >= 0) {
        const unsigned char number = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(fd, &number, 1);
    }
    errno = savedErrno;
}

} // namespace

ShutdownSignals::ShutdownSignals(std::function<void(int signal)> onSignal)
    : m_onSignal(std::move(onSignal))
{
    require(g_writeFd < 0, QStringLiteral("Signals already watched: ShutdownSignals"),
            QStringLiteral("ShutdownSignals"));
    int fds[2];
    // Non-blocking: a handler must never wait on a full pipe.
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals then keep their default action
    m_read.reset(fds[0]);
    m_write.reset(fds[1]);
    g_writeFd = m_write.get();

    m_notifier = std::make_unique<QSocketNotifier>(m_read.get(), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     guarded([this] { receive(); }));

    struct sigaction action
    {
    };
    action.sa_handler = onShutdownSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls go on; the event loop sees the pipe.
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &action, &m_previous[i]);
    m_installed = true;
}

ShutdownSignals::~ShutdownSignals()
{
    restoreHandlers();
    m_notifier.reset();
    g_writeFd = -1;
}

void ShutdownSignals::restoreHandlers()
{
    if (!m_installed)
        return;
    m_installed = false;
    for (size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &m_previous[i], nullptr);
}

void ShutdownSignals::receive()
{
    unsigned char number = 0;
    ssize_t n;
    do {
        n = ::read(m_read.get(), &number, 1);
    } while (n < 0 && errno == EINTR);
    if (n != 1)
        return;
    // Further signals of the run find their earlier handlers.
    restoreHandlers();
    m_notifier->setEnabled(false);
    if (m_onSignal)
        m_onSignal(number);
}
