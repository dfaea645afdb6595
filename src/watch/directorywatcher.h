#pragma once

#include <QFlags>
#include <QString>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <condition_variable>
#include <mutex>

class QObject;
class DirectoryWatchThread;
class WatchThreadLink;
class CrossThreadTimer;
struct FileSnapshot;

// Kinds of change a folder watch reports; the values are the filter bits.
enum NotifyFilter : quint32 {
    foNotifyFilename = 0x1,   // a file was created, deleted or renamed
    foNotifyDirname = 0x2,    // a folder was created, deleted or renamed
    foNotifyAttributes = 0x4, // attributes (mode bits) changed
    foNotifySize = 0x8,
    foNotifyLastWrite = 0x10,
    foNotifyLastAccess = 0x20,
    foNotifyCreation = 0x40,
    foNotifySecurity = 0x100, // ownership and permissions
};
Q_DECLARE_FLAGS(NotifyFilters, NotifyFilter)
Q_DECLARE_OPERATORS_FOR_FLAGS(NotifyFilters)

// Reports changes of a folder (optionally with its subfolders) or of one file
// through OnChanged on the GUI thread, at least 100 ms after a change; changes
// within those 100 ms give one event. A worker thread (DirectoryWatchThread) waits for
// the system's notifications and enables a CrossThreadTimer, whose tick raises
// OnChanged. Create, use and destroy it on the GUI thread.
class DirectoryWatcher final
{
public:
    DirectoryWatcher();
    ~DirectoryWatcher();
    DirectoryWatcher(const DirectoryWatcher &) = delete;
    DirectoryWatcher &operator=(const DirectoryWatcher &) = delete;

    // Directory and FileName exclude each other: the last one set wins.
    const QString &directory() const { return m_directory; }
    void setDirectory(const QString &directory);
    const QString &fileName() const { return m_fileName; }
    void setFileName(const QString &fileName);
    // Subfolders too, also those created while watching (folder mode only).
    bool subtree() const { return m_subtree; }
    void setSubtree(bool value) { m_subtree = value; }
    NotifyFilters options() const { return m_options; }
    void setOptions(NotifyFilters options) { m_options = options; }

    // Set once the worker watches; cleared by Stop. The settings above take
    // effect at the next Start.
    bool active() const { return m_active.load(); }
    void setActive(bool value);
    // Failures do not throw: they show "Exception while creating thread" or
    // "Exception while terminating thread" through the message interface.
    void start();
    void stop();

    // How long Start and Stop wait for the worker (3000 ms by default).
    int handshakeTimeout() const { return m_handshakeTimeout; }
    void setHandshakeTimeout(int milliseconds) { m_handshakeTimeout = milliseconds; }

    std::function<void()> onChanged;
    // The watch ended without Stop (its folder went away, the system failed
    // it): Active is false again and an error was shown. Raised on the GUI
    // thread after that.
    std::function<void()> onEnded;
    // How the worker looks the watched file up; FileSnapshotByName when
    // empty. Taken at Start; it may still run after this watcher is gone, so
    // it must own whatever it uses.
    std::function<FileSnapshot(const QString &)> FileProbe;

    // How long destruction waits for a worker before leaving it to finish on
    // its own.
    static constexpr int releaseWaitMs = 1000;

private:
    friend class DirectoryWatchThread;
    friend class WatchThreadLink;

    void waitForActive(bool value);
    // Joins the worker, or lets one that would not stop finish on its own.
    bool endThread();
    // Worker side: the watch ended by itself.
    void postWorkerEnded(quint64 generation, bool reported);
    void workerEnded(quint64 generation, bool reported);
    void timerTick();
    // Worker side: reports what it threw on the GUI thread later.
    void postException(std::exception_ptr error);

    QString m_directory;
    QString m_fileName;
    bool m_subtree = false;
    NotifyFilters m_options = foNotifyFilename | foNotifyDirname | foNotifyLastWrite;
    int m_handshakeTimeout = 3000;

    std::atomic<bool> m_active{false};
    // Wakes the hand-shake as soon as the worker is watching or has ended,
    // instead of at the next 40 ms poll step.
    std::mutex m_activeMutex;
    std::condition_variable m_activeChanged;
    void setActiveFromWorker(bool value);
    void wakeWaiter();
    std::mutex m_lock;                     // serialises Start and Stop
    std::unique_ptr<QObject> m_guiContext; // receives the worker's queued messages
    std::unique_ptr<CrossThreadTimer> m_timer;
    std::unique_ptr<DirectoryWatchThread> m_thread;
    std::shared_ptr<WatchThreadLink> m_link; // the current worker's
    quint64 m_generation = 0;                // counts workers, to tell a late report
};
