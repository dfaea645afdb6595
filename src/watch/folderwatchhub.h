#pragma once

#include "watch/uniquefd.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

// One inotify instance and one thread for the whole program. Each followed
// file's folder is watched once, however many tabs show files in it, so 300
// tabs neither reach the per-user instance limit nor wake 300 threads.
// Reports reach subscribers on the thread that made the hub, at most one a
// frame, so a burst of appends gives one reload, not thousands.
class FolderWatchHub final : public QObject
{
    Q_OBJECT

public:
    enum class Report {
        Changed, // the file was written, truncated, created, deleted or renamed
        Ended,   // its folder left its path or events were lost for good: poll instead
    };
    using Callback = std::function<void(Report)>;

    // Shared by every follower alive; the thread ends with the last of them.
    static std::shared_ptr<FolderWatchHub> instance();
    ~FolderWatchHub() override;
    FolderWatchHub(const FolderWatchHub &) = delete;
    FolderWatchHub &operator=(const FolderWatchHub &) = delete;

    // 0 when the name cannot be watched here: no inotify, the watch limit
    // reached, its folder missing or on a network file system, where other
    // machines' writes raise no events.
    quint64 subscribe(const QString &fileName, Callback callback);
    void unsubscribe(quint64 id);

    int watchedFolders() const;

    // Forces every follower onto the timer (RAVELIN_NO_INOTIFY=1 does too).
    static void setDisabled(bool disabled);
    static bool disabled();

    static constexpr int frameMs = 16;

private:
    FolderWatchHub();

    struct Key
    {
        int wd;
        std::string name;
    };
    struct Subscriber
    {
        std::vector<Key> keys;
        Callback callback;
        bool changed = false;
        bool ended = false;
    };

    bool addKey(const std::string &path, std::vector<Key> &keys);
    void releaseKeys(const std::vector<Key> &keys);
    void run();
    void readEvents();
    void markLocked(int wd, const char *name, bool ended);
    void postLocked();
    void deliver();

    UniqueFd m_inotify;
    UniqueFd m_stop; // eventfd: readable once the hub goes
    std::thread m_thread;

    mutable std::mutex m_lock;
    std::unordered_map<int, int> m_folderRefs; // watch descriptor -> keys on it
    std::unordered_map<quint64, Subscriber> m_subscribers;
    quint64 m_nextId = 1;
    bool m_posted = false;
    bool m_failed = false; // the thread ended by itself: nothing more is watched

    QElapsedTimer m_clock;
    qint64 m_lastDelivery = -qint64(frameMs) * 1000 * 1000; // nanoseconds
    QTimer m_frame;
};
