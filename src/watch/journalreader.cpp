#include "watch/journalreader.h"

#include "text/fileutil.h"

#include <systemd/sd-journal.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

constexpr qsizetype kFlushAt = 256 * 1024;

// The field's value, without its "NAME=".
QByteArray field(sd_journal *journal, const char *name)
{
    const void *data = nullptr;
    size_t length = 0;
    if (sd_journal_get_data(journal, name, &data, &length) < 0)
        return {};
    const size_t skip = std::strlen(name) + 1;
    if (length < skip)
        return {};
    return QByteArray(static_cast<const char *>(data) + skip, qsizetype(length - skip));
}

} // namespace

JournalReader::JournalReader(UniqueFd output, const QString &folder)
    : m_output(std::move(output)), m_stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    const int opened =
        folder.isEmpty()
            ? sd_journal_open(&m_journal, SD_JOURNAL_LOCAL_ONLY)
            : sd_journal_open_directory(&m_journal, fileNameToBytes(folder).constData(), 0);
    if (opened < 0) {
        m_journal = nullptr;
        throw JournalError(QStringLiteral("The system journal cannot be opened: %1")
                               .arg(errnoText(-opened))
                               .toStdString());
    }
    if (sd_journal_seek_head(m_journal) < 0 || sd_journal_next(m_journal) <= 0) {
        sd_journal_close(m_journal);
        m_journal = nullptr;
        throw JournalError(
            "There is no system journal to show: no journal files under /var/log/journal or "
            "/run/log/journal that this user may read (members of the group systemd-journal "
            "or adm see the whole journal).");
    }
    sd_journal_seek_head(m_journal);
    ::fcntl(m_output.get(), F_SETFL, ::fcntl(m_output.get(), F_GETFL) | O_NONBLOCK);
    if (!m_stop.valid() || !m_output.valid()) {
        sd_journal_close(m_journal);
        m_journal = nullptr;
        throw JournalError("The system journal cannot be read");
    }
    m_thread = std::thread([this] { run(); });
}

JournalReader::~JournalReader()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_stop.get(), &one, sizeof one);
    if (m_thread.joinable())
        m_thread.join();
    if (m_journal)
        sd_journal_close(m_journal);
}

QByteArray JournalReader::format(const Entry &entry)
{
    static const char *const kLevels[] = {"ERROR (emergency)",
                                          "ERROR (alert)",
                                          "ERROR (critical)",
                                          "ERROR",
                                          "WARNING",
                                          "NOTICE",
                                          "INFO",
                                          "DEBUG"};
    const time_t seconds = time_t(entry.realtimeUsec / 1000000);
    tm local{};
    localtime_r(&seconds, &local);
    char stamp[64];
    const size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    char zone[16];
    std::strftime(zone, sizeof zone, "%z", &local);
    QByteArray line;
    line.reserve(entry.message.size() + 96);
    line.append(stamp, qsizetype(length));
    line += '.' + QByteArray::number(entry.realtimeUsec % 1000000).rightJustified(6, '0') + zone;
    line += ' ' + (entry.host.isEmpty() ? QByteArray("localhost") : entry.host) + ' ';
    line += entry.identifier.isEmpty() ? QByteArray("unknown") : entry.identifier;
    if (!entry.pid.isEmpty())
        line += '[' + entry.pid + ']';
    line += ": ";
    line += kLevels[entry.priority >= 0 && entry.priority <= 7 ? entry.priority : 6];
    line += ' ';
    // One entry, one line: what follows a break is indented, as journalctl does.
    QByteArray message = entry.message;
    while (message.endsWith('\n'))
        message.chop(1);
    line += message.replace('\n', "\n    ");
    line += '\n';
    return line;
}

// Writes all of pending unless stopped first; false then.
bool JournalReader::writeOut(QByteArray &pending)
{
    qsizetype done = 0;
    while (done < pending.size()) {
        pollfd fds[2] = {{m_stop.get(), POLLIN, 0}, {m_output.get(), POLLOUT, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return false;
        if (fds[0].revents != 0 || (fds[1].revents & (POLLERR | POLLHUP)))
            return false;
        if (!(fds[1].revents & POLLOUT))
            continue;
        const ssize_t n =
            ::write(m_output.get(), pending.constData() + done, size_t(pending.size() - done));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    pending.clear();
    return true;
}

void JournalReader::run()
{
    try {
        QByteArray pending;
        for (;;) {
            const int next = sd_journal_next(m_journal);
            if (next < 0)
                break;
            if (next > 0) {
                Entry entry;
                uint64_t usec = 0;
                sd_journal_get_realtime_usec(m_journal, &usec);
                entry.realtimeUsec = usec;
                entry.host = field(m_journal, "_HOSTNAME");
                entry.identifier = field(m_journal, "SYSLOG_IDENTIFIER");
                if (entry.identifier.isEmpty())
                    entry.identifier = field(m_journal, "_COMM");
                entry.pid = field(m_journal, "_PID");
                const QByteArray priority = field(m_journal, "PRIORITY");
                entry.priority = priority.isEmpty() ? 6 : priority.toInt();
                entry.message = field(m_journal, "MESSAGE");
                pending += format(entry);
                if (pending.size() >= kFlushAt && !writeOut(pending))
                    break;
                continue;
            }
            // Caught up: what was read goes out, then wait for the journal to grow.
            if (!pending.isEmpty() && !writeOut(pending))
                break;
            const int fd = sd_journal_get_fd(m_journal);
            if (fd < 0)
                break;
            pollfd fds[2] = {{m_stop.get(), POLLIN, 0},
                             {fd, short(sd_journal_get_events(m_journal)), 0}};
            uint64_t until = 0;
            int timeout = -1;
            if (sd_journal_get_timeout(m_journal, &until) > 0 && until != UINT64_MAX) {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                const uint64_t nowUsec =
                    uint64_t(now.tv_sec) * 1000000 + uint64_t(now.tv_nsec) / 1000;
                timeout = until > nowUsec ? int((until - nowUsec + 999) / 1000) : 0;
            }
            if (::poll(fds, 2, timeout) < 0 && errno != EINTR)
                break;
            if (fds[0].revents != 0)
                break;
            sd_journal_process(m_journal);
        }
    } catch (...) {
        // Nothing may leave the thread; the tab keeps what came.
    }
    m_output.reset(); // the spool sees the end
}
