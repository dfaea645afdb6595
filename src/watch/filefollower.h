#pragma once

#include "watch/folderwatchhub.h"

#include <QObject>
#include <QString>

#include <memory>

class PollingWatcher;

// Follows one file by its name while a view shows it: the program's shared
// folder watch tells of changes at once; a poll at the reload interval takes
// over where the folder cannot be watched (no inotify, a network file system,
// the watch limit, the folder gone). A file that is not there is
// waited for until one appears under its name, as "tail -F" does. It only
// tells that the file should be read again; reading it is the viewer's.
class FileFollower final : public QObject
{
    Q_OBJECT

public:
    explicit FileFollower(QObject *parent = nullptr);
    ~FileFollower() override;
    FileFollower(const FileFollower &) = delete;
    FileFollower &operator=(const FileFollower &) = delete;

    // Following at all (the viewer's auto reload). Changing it re-arms at once.
    bool enabled() const { return m_enabled; }
    void setEnabled(bool on);
    // Polls the file instead of watching its folder; also true while the
    // poll stands in for a folder that cannot be watched.
    bool polls() const { return m_polling || m_fellBack; }
    void setPolling(bool on) { m_polling = on; }
    int pollIntervalMs() const { return m_pollIntervalMs; }
    void setPollInterval(int ms) { m_pollIntervalMs = ms; }

    // The name followed; set whenever the viewer opens another one.
    const QString &fileName() const { return m_fileName; }
    void setFileName(const QString &fileName) { m_fileName = fileName; }

    // Watches the file just opened. Throws FileWatchError when a polled file
    // is gone, unless allowMissing.
    void watch(bool start = true, bool allowMissing = false);
    void stop();
    // No file is open under the name: waits for one (none for an empty name).
    void waitForFile();
    bool waiting() const { return m_waiting; }
    // The file was opened (or given up): nothing is waited for any more.
    void endWait() { m_waiting = false; }

    // Told of changes by the folder watch right now.
    bool notified() const { return m_subscription != 0; }
    PollingWatcher *pollingWatcher() const { return m_poller.get(); }

Q_SIGNALS:
    // The file changed, vanished, or the file waited for is there.
    void changed();

private:
    void startWaiting();
    // Opens a file waited for that is there already.
    void catchUp();
    void hubReport(FolderWatchHub::Report report);
    // The folder watch ended by itself: poll instead.
    void directoryWatchEnded();
    void startPolling(bool allowMissing);
    void unsubscribe();

    QString m_fileName;
    bool m_enabled = false;
    bool m_polling = false;
    bool m_fellBack = false; // polling where the folder watch cannot serve
    int m_pollIntervalMs = 1000;
    bool m_waiting = false;
    std::shared_ptr<FolderWatchHub> m_hub;
    quint64 m_subscription = 0;
    QString m_subscribedName;
    std::unique_ptr<PollingWatcher> m_poller;
};
