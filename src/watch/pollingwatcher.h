#pragma once

#include <QString>

#include <functional>
#include <memory>

class QTimer;

// Polls one file's existence, size and last-write time on a GUI timer and
// raises OnChanged when one of them differs from the last poll. Runs entirely
// on the GUI thread.
class PollingWatcher final
{
public:
    PollingWatcher();
    ~PollingWatcher();
    PollingWatcher(const PollingWatcher &) = delete;
    PollingWatcher &operator=(const PollingWatcher &) = delete;

    // Created stopped with 1000 ms; the owner sets the interval and starts and
    // stops it directly. Each tick calls Poll.
    QTimer *timer() const { return m_timer.get(); }

    // Replaces the watched file and its snapshot without raising OnChanged.
    // Throws FileWatchError("File to watch doesn't exist") for a non-empty
    // name that does not exist, unless allowMissing; Timer is left stopped
    // then, else as it was. A missing file watched raises OnChanged when it
    // appears.
    void watchFile(const QString &fileName, bool allowMissing = false);
    const QString &fileName() const { return m_fileName; }

    // One poll. Does nothing while another poll runs (an OnChanged handler
    // that shows a modal box keeps timer ticks coming).
    void poll();

    std::function<void()> onChanged;

private:
    void takeSnapshot(bool *exists, qint64 *size, qint64 *lastWrite) const;

    QString m_fileName;
    bool m_exists = false;
    qint64 m_size = 0;
    qint64 m_lastWrite = 0;
    bool m_busy = false;
    std::unique_ptr<QTimer> m_timer;
};
