#include "watch/pollingwatcher.h"

#include "watch/filewatcherror.h"

#include "text/fileutil.h"
#include "text/guard.h"

#include <QTimer>

namespace {

class BusyGuard final
{
public:
    explicit BusyGuard(bool &busy) : m_busy(busy) { m_busy = true; }
    ~BusyGuard() { m_busy = false; }
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;

private:
    bool &m_busy;
};

} // namespace

PollingWatcher::PollingWatcher() : m_timer(std::make_unique<QTimer>())
{
    m_timer->setInterval(1000);
    // A coarse timer may fire 5 % late: half a second plus 25 ms for a tail.
    m_timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), guarded([this] { poll(); }));
}

PollingWatcher::~PollingWatcher() = default;

void PollingWatcher::watchFile(const QString &fileName, bool allowMissing)
{
    const bool wasEnabled = m_timer->isActive();
    m_timer->stop();
    m_fileName = fileName;
    takeSnapshot(&m_exists, &m_size, &m_lastWrite);
    if (!m_fileName.isEmpty() && !m_exists && !allowMissing)
        throw FileWatchError(QStringLiteral("File to watch doesn't exist"));
    if (wasEnabled)
        m_timer->start();
}

void PollingWatcher::poll()
{
    if (m_busy)
        return;
    const BusyGuard guard(m_busy);
    // Opening refreshes what some file systems (network mounts) report for a
    // file another host writes; a failure to open says nothing, the lookup does.
    if (!m_fileName.isEmpty()) {
        const FileHandle handle = fileOpenRead(m_fileName);
        if (handle != invalidFileHandle)
            fileClose(handle);
    }
    bool exists = false;
    qint64 size = 0;
    qint64 lastWrite = 0;
    takeSnapshot(&exists, &size, &lastWrite);
    if (exists == m_exists && size == m_size && lastWrite == m_lastWrite)
        return;
    m_exists = exists;
    m_size = size;
    m_lastWrite = lastWrite;
    if (onChanged)
        onChanged();
}

void PollingWatcher::takeSnapshot(bool *exists, qint64 *size, qint64 *lastWrite) const
{
    *exists = !m_fileName.isEmpty() && fileInfoByName(m_fileName, size, lastWrite);
    if (!*exists)
        *size = *lastWrite = 0;
}
